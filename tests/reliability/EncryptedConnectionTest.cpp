// A PostgreSQL office reached over TLS: a server and a certificate authority made for the test,
// the address's TLS settings passed through to every connection (the watcher's too), and
// `config` saying what protects the connection.
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "core/FileSystemHelpers.h"
#include "tzsndmsg/Office.h"
#include "tzsndmsg/db/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

bool openssl(const QString& folder, const QStringList& args, QString* error)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(u"openssl"_s, args);
    const bool ok =
        p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        *error = u"openssl %1: %2"_s.arg(args.join(u' '),
                                         QString::fromLocal8Bit(p.readAllStandardError()));
    return ok;
}

// A certificate authority, and a certificate with its key signed by it.
bool makeAuthority(const QString& folder, const QString& name, QString* error)
{
    return openssl(folder,
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=" + name + " authority", "-keyout",
                    name + ".key", "-out", name + ".crt"},
                   error);
}

bool makeCertificate(const QString& folder, const QString& authority, const QString& name,
                     const QString& commonName, const QString& altName, QString* error)
{
    return writeFile(folder + u'/' + name + ".ext",
                     altName.isEmpty() ? "basicConstraints=CA:FALSE\n"
                                       : ("subjectAltName=" + altName + "\n").toUtf8()) &&
           openssl(folder,
                   {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-subj", "/CN=" + commonName, "-keyout", name + ".key", "-out", name + ".csr"},
                   error) &&
           openssl(folder,
                   {"x509", "-req", "-in", name + ".csr", "-CA", authority + ".crt", "-CAkey",
                    authority + ".key", "-CAcreateserial", "-days", "2", "-extfile", name + ".ext",
                    "-out", name + ".crt"},
                   error) &&
           ::chmod(QFile::encodeName(folder + u'/' + name + ".key").constData(), 0600) == 0;
}

QString securityLine(const Outcome& config)
{
    for (const QString& line : config.out.split(u'\n'))
        if (line.startsWith(u"security"_s))
            return line;
    return {};
}

TEST(EncryptedConnection, TheAddressesTlsSettingsReachTheServerAndConfigSaysWhatProtectsIt)
{
    if (const QString why = whyNoOwnServer(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    if (QStandardPaths::findExecutable(u"openssl"_s).isEmpty())
        GTEST_SKIP() << "needs openssl to make the certificates";

    ThrowawayServer server;
    QString error;
    ASSERT_TRUE(server.initialise(&error)) << error.toStdString();
    const QString tls = server.folder() + u"/tls"_s;
    ASSERT_TRUE(QDir().mkpath(tls));
    ASSERT_TRUE(makeAuthority(tls, u"office"_s, &error)) << error.toStdString();
    ASSERT_TRUE(makeAuthority(tls, u"stranger"_s, &error)) << error.toStdString();
    ASSERT_TRUE(
        makeCertificate(tls, u"office"_s, u"server"_s, u"localhost"_s, u"DNS:localhost"_s, &error))
        << error.toStdString();
    ASSERT_TRUE(makeCertificate(tls, u"office"_s, u"desk"_s, u"certdesk"_s, QString(), &error))
        << error.toStdString();
    const passwd* postgres = ::getpwnam("postgres");
    ASSERT_NE(postgres, nullptr);
    for (const char* file : {"server.key", "server.crt", "office.crt"})
        ASSERT_EQ(::chown(QFile::encodeName(tls + u'/' + QLatin1String(file)).constData(),
                          postgres->pw_uid, postgres->pw_gid),
                  0);
    ::chmod(QFile::encodeName(tls).constData(), 0755);
    // The workstation "certdesk" must show a certificate; everyone else is let in as before.
    const QString hba = server.folder() + u"/data/pg_hba.conf"_s;
    ASSERT_TRUE(writeFile(hba, "hostssl all certdesk 127.0.0.1/32 cert\n"
                               "hostnossl all certdesk 127.0.0.1/32 reject\n"
                               "hostssl all all 192.168.0.0/16 scram-sha-256\n"
                               "host all all 10.0.0.0/8 scram-sha-256\n" +
                                   readAll(hba)));
    server.setServerOptions(
        QStringLiteral("-c ssl=on -c ssl_cert_file=%1/server.crt "
                       "-c ssl_key_file=%1/server.key -c ssl_ca_file=%1/office.crt")
            .arg(tls));
    ASSERT_TRUE(server.up(&error)) << error.toStdString();
    {
        auto db = db::Database::open(server.url(), &error);
        ASSERT_TRUE(db) << error.toStdString();
        ASSERT_TRUE(db->exec(u"CREATE ROLE certdesk LOGIN SUPERUSER"_s, &error))
            << error.toStdString();
        // What lets a message cross the network in clear: the one line without hostssl that
        // admits more than this machine.
        const QStringList risks = plainConnectionRisks(*db);
        ASSERT_EQ(risks.size(), 1) << risks.join(u'|').toStdString();
        EXPECT_TRUE(risks.first().contains(u"line 4"_s) && risks.first().contains(u"10.0.0.0"_s))
            << risks.first().toStdString();
    }

    QTemporaryDir home;
    HostRun desk = HostRun::inHome(home.path());
    const Outcome made = desk.run({"init", "--demo"}, server.url());
    ASSERT_EQ(made.code, 0) << made.err.toStdString();

    const QString port = QString::number(server.port());
    auto address = [&](const QString& user, const QString& host, const QString& options) {
        return u"postgresql://%1@%2:%3/postgres?%4"_s.arg(user, host, port, options);
    };
    const QString office = u"sslrootcert="_s + tls + u"/office.crt"_s;
    const QString stranger = u"sslrootcert="_s + tls + u"/stranger.crt"_s;
    const QString deskCertificate = u"&sslcert=%1/desk.crt&sslkey=%1/desk.key"_s.arg(tls);
    const struct {
        const char* name;
        QString url;
        int code;         // the inbox's exit code
        const char* said; // in the refusal, or in config's security line
    } cases[] = {
        {"verified by certificate and name",
         address("postgres", "localhost", "sslmode=verify-full&" + office), 0,
         "server verified by its certificate and name"},
        {"a certificate of another name",
         address("postgres", "127.0.0.1", "sslmode=verify-full&" + office), 2,
         "does not match host name"},
        {"the name not checked", address("postgres", "127.0.0.1", "sslmode=verify-ca&" + office), 0,
         "its name not checked"},
        {"an authority the office does not use",
         address("postgres", "localhost", "sslmode=verify-full&" + stranger), 2,
         "certificate verify failed"},
        {"encrypted, nothing verified", address("postgres", "127.0.0.1", "sslmode=require"), 0,
         "server not verified"},
        {"in clear", address("postgres", "127.0.0.1", "sslmode=disable"), 0, "not encrypted"},
        {"a workstation without its certificate",
         address("certdesk", "localhost", "sslmode=verify-full&" + office), 2, "certificate"},
        {"a workstation with its certificate",
         address("certdesk", "localhost", "sslmode=verify-full&" + office + deskCertificate), 0,
         "client certificate shown"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome inbox = desk.run({"inbox", "--login", "ANNA"}, c.url);
        EXPECT_EQ(inbox.code, c.code) << inbox.err.toStdString();
        const Outcome config = desk.run({u"config"_s}, c.url);
        EXPECT_EQ(config.code, 0);
        if (c.code == 0) {
            EXPECT_TRUE(inbox.out.contains(u"Room 2 autoclave"_s)) << inbox.out.toStdString();
            EXPECT_TRUE(securityLine(config).contains(QLatin1String(c.said)))
                << securityLine(config).toStdString();
        } else {
            EXPECT_TRUE(inbox.err.contains(QLatin1String(c.said))) << inbox.err.toStdString();
            EXPECT_TRUE(securityLine(config).contains(u"cannot connect"_s))
                << securityLine(config).toStdString();
        }
    }

    // The watcher's own connection, that hears the office's notices, shows the certificate too
    // (without it the server would turn that connection away).
    const QString verified =
        address("certdesk", "localhost", "sslmode=verify-full&" + office + deskCertificate);
    auto watch = desk.start({"watch", "--login", "DAVE"}, verified, 60000);
    QList<QJsonObject> seen;
    const QJsonObject ready = waitForEvent(*watch, seen, u"ready"_s, 20000);
    ASSERT_FALSE(ready.isEmpty()) << watch->readAllStandardError().toStdString();
    EXPECT_TRUE(ready.value(u"listening"_s).toBool());
    {
        auto db = db::Database::open(server.url(), &error);
        ASSERT_TRUE(db) << error.toStdString();
        EXPECT_EQ(
            db->scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity a JOIN pg_stat_ssl s "
                                      "ON s.pid = a.pid WHERE a.application_name LIKE "
                                      "'tzsndmsg-watcher-%' AND s.ssl AND s.client_dn IS NOT NULL"))
                .toInt(),
            1);
    }
    watch->terminate();
    EXPECT_TRUE(watch->waitForFinished(10000));
}

} // namespace
} // namespace tzsndmsg::testing
