// A signed-in office on a server of the test's own that asks for passwords: a wrong password, a
// released person and the right password, each as a workstation meets them.
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "core/FileSystemHelpers.h"
#include "tzsndmsg/db/Database.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

using SignedInServer = WithOwnServer<>;

TEST_F(SignedInServer, AWrongPasswordOrAReleasedPersonIsOneLineAndExit2)
{
    QTemporaryDir home;
    // A workstation in `home` that finds no password file.
    const auto station = [&] {
        HostRun at(home.path() + u"/data/"_s);
        at.setEnv(u"TZSNDMSG_HOME"_s, home.path());
        at.setEnv(u"PGPASSFILE"_s, home.path() + u"/none"_s);
        return at;
    };
    const HostRun host = station();
    const Outcome init = host.run({"init", "--demo", "--signed-in"}, server.url());
    ASSERT_EQ(init.code, 0) << init.err.toStdString();
    auto password = host.start({"logins", "password", "ANNA"}, server.url());
    password->write("the right one\n");
    password->closeWriteChannel();
    const Outcome set = HostRun::finish(*password, 60000);
    ASSERT_EQ(set.code, 0) << set.err.toStdString();

    // Passwords from the network from now on; the administrator keeps its own line.
    {
        auto admin = db::Database::open(server.url());
        ASSERT_TRUE(admin);
        const QString hba = admin->scalar(u"SHOW hba_file"_s).toString();
        ASSERT_TRUE(writeFile(hba, "local all all trust\n"
                                   "host all postgres 127.0.0.1/32 trust\n"
                                   "host all all 127.0.0.1/32 scram-sha-256\n"));
        QFile::setPermissions(hba, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                       QFile::ReadGroup);
        ASSERT_TRUE(admin->exec(u"SELECT pg_reload_conf()"_s));
    }
    const QString anna = QString(server.url()).replace(u"postgres@"_s, u"postgres.anna@"_s);
    const QString kyle = QString(server.url()).replace(u"postgres@"_s, u"postgres.kyle@"_s);

    struct Case {
        const char* what;
        QString url;
        const char* password;
        int code;
    };
    const Case cases[] = {
        {"a wrong password", anna, "not the one", 2},
        {"no password", anna, "", 2},
        {"a released person", kyle, "anything", 2},
        {"the right password", anna, "the right one", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostRun at = station();
        if (*c.password)
            at.setEnv(u"PGPASSWORD"_s, QString::fromLatin1(c.password));
        const Outcome r = at.run({u"inbox"_s}, c.url, 30000);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        if (c.code != 0) {
            EXPECT_EQ(r.said().size(), 1) << r.err.toStdString();
        } else {
            EXPECT_TRUE(r.out.contains(u"of ANNA at"_s)) << r.out.toStdString();
        }
    }
}

} // namespace
} // namespace tzsndmsg::testing
