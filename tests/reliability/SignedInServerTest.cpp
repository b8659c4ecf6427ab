// A signed-in office on a server of the test's own that asks for passwords: a wrong password, a
// released person and the right password, each as a workstation meets them.
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "tzsndmsg/db/Database.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace tzsndmsg::testing {
namespace {

TEST(SignedInServer, AWrongPasswordOrAReleasedPersonIsOneLineAndExit2)
{
    if (const QString why = whyNoOwnServer(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ThrowawayServer server;
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();

    QTemporaryDir home;
    HostRun host(home.path() + QStringLiteral("/data/"));
    host.setEnv(QStringLiteral("TZSNDMSG_HOME"), home.path());
    host.setEnv(QStringLiteral("PGPASSFILE"), home.path() + QStringLiteral("/none"));
    const Outcome init =
        host.run({QStringLiteral("init"), QStringLiteral("--demo"), QStringLiteral("--signed-in")},
                 server.url());
    ASSERT_EQ(init.code, 0) << init.err.toStdString();
    auto password =
        host.start({QStringLiteral("logins"), QStringLiteral("password"), QStringLiteral("ANNA")},
                   server.url());
    password->write("the right one\n");
    password->closeWriteChannel();
    const Outcome set = HostRun::finish(*password, 60000);
    ASSERT_EQ(set.code, 0) << set.err.toStdString();

    // Passwords from the network from now on; the administrator keeps its own line.
    {
        auto admin = db::Database::open(server.url());
        ASSERT_TRUE(admin);
        const QString hba = admin->scalar(QStringLiteral("SHOW hba_file")).toString();
        QFile file(hba);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("local all all trust\n"
                   "host all postgres 127.0.0.1/32 trust\n"
                   "host all all 127.0.0.1/32 scram-sha-256\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                            QFile::ReadGroup);
        ASSERT_TRUE(admin->exec(QStringLiteral("SELECT pg_reload_conf()")));
    }
    QString url = server.url();
    const QString anna = url.replace(QStringLiteral("postgres@"), QStringLiteral("postgres.anna@"));
    url = server.url();
    const QString kyle = url.replace(QStringLiteral("postgres@"), QStringLiteral("postgres.kyle@"));

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
        HostRun at(home.path() + QStringLiteral("/data/"));
        at.setEnv(QStringLiteral("TZSNDMSG_HOME"), home.path());
        at.setEnv(QStringLiteral("PGPASSFILE"), home.path() + QStringLiteral("/none"));
        if (*c.password)
            at.setEnv(QStringLiteral("PGPASSWORD"), QString::fromLatin1(c.password));
        const Outcome r = at.run({QStringLiteral("inbox")}, c.url, 30000);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        if (c.code != 0) {
            EXPECT_EQ(r.said().size(), 1) << r.err.toStdString();
        } else {
            EXPECT_TRUE(r.out.contains(QStringLiteral("of ANNA at"))) << r.out.toStdString();
        }
    }
}

} // namespace
} // namespace tzsndmsg::testing
