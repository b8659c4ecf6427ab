// The office's PostgreSQL server of the test's own, as workstations meet its faults: stopped and
// started again while they send or watch, frozen mid-send, a standby promoted, passwords asked,
// TLS settings that must reach it.
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "support/Files.h"
#include "tzsndmsg/Office.h"

#include <QStandardPaths>
#include <atomic>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

// The office's PostgreSQL server stopped and started again while workstations send: each send
// is stored whole and says so, or is not stored and says why; none waits for ever.
class PostgresRestart : public WithOwnServer<> {};

TEST_F(PostgresRestart, EverySendIsStoredWholeOrReportedAndNoneHangs)
{
    QTemporaryDir home;
    const HostRun host = HostRun::inHome(home.path());
    ASSERT_EQ(host.run({"init", "--demo"}, server.url()).code, 0);
    QList<qint32> to;
    {
        auto db = db::Database::open(server.url());
        ASSERT_TRUE(db);
        db::Recordset rs = db->query(u"SELECT pID FROM PATable WHERE pDatRel IS NULL"_s);
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            to << qint32(rs.value(0).toLongLong());
    }
    ASSERT_FALSE(to.isEmpty());

    // The server goes down a moment after the first sends and comes back two seconds later.
    std::atomic<bool> restarted{false};
    std::thread outage([&] {
        QThread::msleep(1500);
        server.down();
        QThread::msleep(2000);
        restarted = server.up();
    });

    struct Send {
        QString marker;
        std::unique_ptr<QProcess> process;
        Outcome outcome;
    };
    std::vector<Send> sends;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; clock.elapsed() < 7000 && i < 40; ++i) {
        const QString marker = u"restart %1"_s.arg(i);
        sends.push_back({marker,
                         host.start({"announce", "--login", "MARIA", "--text",
                                     marker + u": drill"_s, "--to", idList(to)},
                                    server.url()),
                         {}});
        QThread::msleep(250);
    }
    for (Send& s : sends)
        s.outcome = HostRun::finish(*s.process, 90000);
    outage.join();
    ASSERT_TRUE(restarted);

    auto db = db::Database::open(server.url());
    ASSERT_TRUE(db);
    int stored = 0, refused = 0;
    for (const Send& s : sends) {
        SCOPED_TRACE(s.marker.toStdString());
        EXPECT_FALSE(s.outcome.hung);
        EXPECT_FALSE(s.outcome.crashed);
        expectWholeOrAbsent(*db, s.marker, s.outcome.code == 0, s.marker + u": drill"_s, to);
        if (s.outcome.code == 0) {
            ++stored;
        } else {
            ++refused;
            // Not stored; 1 when the send failed, 2 when the database could not be reached at all.
            EXPECT_TRUE(s.outcome.code == 1 || s.outcome.code == 2) << s.outcome.code;
            EXPECT_EQ(s.outcome.said().size(), 1) << s.outcome.err.toStdString();
        }
    }
    EXPECT_GT(stored, 0);
    EXPECT_GT(refused, 0);
    expectNoOrphans(*db);
}

// The office's PostgreSQL server freezes (every process of it stopped, its sockets open) while a
// workstation sends: the send gives up within the bound README states, says so, and leaves the
// message whole or absent once the server runs again.

// A server that stops answering is given up this long after its last answer (README); a
// connection is refused after the connect timeout.
constexpr int kGivenUpMs = 15000;
constexpr int kMarginMs = 7000;

// The rows of the tables a send writes to.
QList<int> rowCounts(db::Database& db)
{
    QList<int> counts;
    for (const char* table : {"CMTable", "EVTable", "BroChkTable"})
        counts << db.scalar(u"SELECT count(*) FROM "_s + QLatin1String(table)).toInt();
    return counts;
}

struct FrozenCase {
    const char* name;
    bool midSave;     // frozen while the send waits on a lock after writing its header
    int expectedCode; // 1: the send failed; 2: the store could not be reached
};

void PrintTo(const FrozenCase& c, std::ostream* out)
{
    *out << c.name;
}

class FrozenServer : public WithOwnServer<::testing::TestWithParam<FrozenCase>> {};

TEST_P(FrozenServer, TheSendGivesUpInTimeAndLeavesNothingHalfWritten)
{
    const FrozenCase& c = GetParam();
    QString error;
    struct Thaw {
        const ThrowawayServer& server;
        ~Thaw() { server.signalAll(SIGCONT); }
    } thaw{server};

    QTemporaryDir home;
    const HostRun host = HostRun::inHome(home.path());
    ASSERT_EQ(host.run({"init", "--demo"}, server.url()).code, 0);

    auto db = db::Database::open(server.url(), &error);
    ASSERT_TRUE(db) << error.toStdString();
    const QString text = u"frozen server drill"_s;
    const QVariant someone = db->scalar(u"SELECT min(pID) FROM PATable WHERE pDatRel IS NULL"_s);
    ASSERT_TRUE(someone.isValid());
    const QList<int> before = rowCounts(*db);
    if (c.midSave) {
        // The addressee rows wait for this lock: the header is written, the save not whole.
        ASSERT_TRUE(db->transaction());
        ASSERT_TRUE(db->exec(u"LOCK TABLE BroChkTable IN EXCLUSIVE MODE"_s, &error))
            << error.toStdString();
    }
    QElapsedTimer clock;
    std::unique_ptr<QProcess> send;
    auto startSend = [&] {
        send =
            host.start({"announce", "--login", "MARIA", "--text", text, "--to", someone.toString()},
                       server.url());
    };
    if (c.midSave) {
        startSend();
        // Inside the lock's transaction the server keeps the first activity it read: each look
        // asks for it afresh.
        ASSERT_TRUE(pollUntil(20000, [&] {
            db->scalar(u"SELECT pg_stat_clear_snapshot()"_s);
            return db->scalar(
                         u"SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"_s)
                       .toInt() > 0;
        })) << "the send never reached the locked table";
        ASSERT_TRUE(server.signalAll(SIGSTOP));
        clock.start();
    } else {
        ASSERT_TRUE(server.signalAll(SIGSTOP));
        clock.start();
        startSend();
    }

    const Outcome outcome = HostRun::finish(*send, 45000);
    const qint64 took = clock.elapsed();
    server.signalAll(SIGCONT);
    EXPECT_FALSE(outcome.hung) << "still waiting after 45 seconds";
    EXPECT_LT(took, kGivenUpMs + kMarginMs);
    EXPECT_EQ(outcome.code, c.expectedCode) << outcome.err.toStdString();
    EXPECT_EQ(outcome.said().size(), 1) << outcome.err.toStdString();
    if (c.midSave) {
        EXPECT_TRUE(outcome.err.contains(QLatin1String("stopped answering")))
            << outcome.err.toStdString();
    }

    // Running again, the server finds the send's session gone: its transaction is rolled back.
    if (c.midSave)
        db->rollback();
    EXPECT_TRUE(pollUntil(10000, [&] {
        return db->scalar(u"SELECT count(*) FROM pg_stat_activity WHERE backend_type = 'client "
                          u"backend' AND pid <> pg_backend_pid()"_s)
                   .toInt() == 0;
    })) << "the send's session outlived it";
    EXPECT_EQ(db->scalar(u"SELECT count(*) FROM CMTable WHERE cmDoc = ?"_s, {text}).toInt(), 0);
    EXPECT_EQ(rowCounts(*db), before) << "rows of the message were left behind";
}

INSTANTIATE_TEST_SUITE_P(Reliability, FrozenServer,
                         ::testing::Values(FrozenCase{"WaitingOnALockMidSave", true, 1},
                                           FrozenCase{"BeforeItConnects", false, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// A signed-in office on a server of the test's own that asks for passwords: a wrong password, a
// released person and the right password, each as a workstation meets them.
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

// The office's PostgreSQL server stopped and started again under a running `watch`, or a standby
// promoted under it: the watcher sees the outage from its connection, comes back by itself and
// tells what came meanwhile, with no signal file touched (the sender uses a data folder of its
// own).

// Each signal file of the data folder with its size and time.
QStringList signalFiles(const QString& home)
{
    QStringList files;
    const QDir temp(home + u"/data/TEMP"_s);
    for (const QFileInfo& f : temp.entryInfoList({u"*.STA"_s}, QDir::Files, QDir::Name))
        files << u"%1 %2 %3"_s.arg(f.fileName())
                     .arg(f.size())
                     .arg(f.lastModified().toMSecsSinceEpoch());
    return files;
}

int countOf(const QList<QJsonObject>& lines, const QString& event)
{
    return int(std::count_if(lines.begin(), lines.end(), [&](const QJsonObject& line) {
        return line.value(u"event"_s).toString() == event;
    }));
}

// The demo office on the test's own server; the watch's workstation in `home`, and a sender
// whose data folder is a copy, so that its saves touch no signal file of the watch.
class WatchOutage : public WithOwnServer<> {
protected:
    void SetUp() override
    {
        WithOwnServer::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(desk.run({"init", "--demo"}, server.url()).code, 0);
        auto db = db::Database::open(server.url());
        ASSERT_TRUE(db);
        dave = db->scalar(u"SELECT PWMPID FROM PWMTable WHERE PWMUseNam=?"_s, {u"DAVE"_s}).toInt();
        ASSERT_GT(dave, 0);
        ASSERT_EQ(QProcess::execute(
                      u"cp"_s, {"-r", home.path() + u"/data"_s, elsewhere.path() + u"/data"_s}),
                  0);
        back.setEnv(u"TZSNDMSG_HOME"_s, elsewhere.path());
    }
    // The sender's announcement to Dave.
    Outcome send(const QString& text) const
    {
        return back.run({"announce", "--text", text, "--to", QString::number(dave)}, server.url());
    }

    QTemporaryDir home, elsewhere;
    HostRun desk = HostRun::inHome(home.path());
    HostRun back{elsewhere.path() + u"/data/"_s};
    qint32 dave = 0;
};

TEST_F(WatchOutage, AStoppedServerIsSeenAndWhatCameAfterItsRestartToldOnce)
{
    auto watch =
        desk.start({"watch", "--login", "DAVE", "--computer", "LAB"}, server.url(), 120000);
    QList<QJsonObject> seen; // from the ready line on: the first start tells the demo's unread
    const QJsonObject ready = waitForEvent(*watch, seen, u"ready"_s, 20000);
    ASSERT_FALSE(ready.isEmpty()) << watch->readAllStandardError().toStdString();
    ASSERT_TRUE(ready.value(u"listening"_s).toBool());
    waitForEvent(*watch, seen, u"none"_s, 500);
    seen.clear();

    const QStringList filesBefore = signalFiles(home.path());
    ASSERT_TRUE(server.down());
    QElapsedTimer sinceStop;
    sinceStop.start();
    EXPECT_FALSE(waitForEvent(*watch, seen, u"connection-lost"_s, 10000).isEmpty())
        << "no connection-lost within 10 s of the stop";
    QThread::msleep(3000);
    ASSERT_TRUE(server.up());
    QElapsedTimer sinceStart;
    sinceStart.start();

    const Outcome sent = send(u"Saved after the restart"_s);
    ASSERT_EQ(sent.code, 0) << sent.err.toStdString();

    const QJsonObject arrived = waitForEvent(
        *watch, seen, u"arrived"_s, int(std::max<qint64>(0, 10000 - sinceStart.elapsed())));
    EXPECT_FALSE(arrived.isEmpty()) << "not told within 10 s of the start";
    EXPECT_EQ(arrived.value(u"text"_s).toString(), u"Saved after the restart"_s);
    waitForEvent(*watch, seen, u"none"_s, 1500); // anything told twice shows here
    EXPECT_EQ(countOf(seen, u"connection-lost"_s), 1);
    EXPECT_EQ(countOf(seen, u"connection-restored"_s), 1);
    EXPECT_EQ(countOf(seen, u"arrived"_s), 1);
    EXPECT_EQ(signalFiles(home.path()), filesBefore) << "the watch's signal files were touched";

    watch->terminate();
    ASSERT_TRUE(watch->waitForFinished(10000));
    EXPECT_EQ(watch->exitCode(), 0) << watch->readAllStandardError().toStdString();
}

// A standby refuses LISTEN until it is promoted: the watcher started on it asks again with the
// pause of a lost connection, and once the server takes writes it hears what is saved there.
TEST_F(WatchOutage, AWatcherStartedOnAStandbyHearsTheNoticesOnceItIsPromoted)
{
    ASSERT_TRUE(server.down());
    ASSERT_TRUE(QFile(server.folder() + u"/data/standby.signal"_s).open(QIODevice::WriteOnly));
    ASSERT_TRUE(server.up());

    auto watch = desk.start({"watch", "--login", "DAVE"}, server.url(), 120000);
    QList<QJsonObject> seen;
    const QJsonObject ready = waitForEvent(*watch, seen, u"ready"_s, 20000);
    ASSERT_FALSE(ready.isEmpty()) << watch->readAllStandardError().toStdString();
    EXPECT_FALSE(ready.value(u"listening"_s).toBool());
    ASSERT_TRUE(server.promote());

    for (const QString& text : {u"After the promotion"_s, u"Later"_s}) {
        const Outcome sent = send(text);
        ASSERT_EQ(sent.code, 0) << sent.err.toStdString();
        QJsonObject arrived;
        do // the demo's unread may still be told first
            arrived = waitForEvent(*watch, seen, u"arrived"_s, 15000);
        while (!arrived.isEmpty() && arrived.value(u"text"_s).toString() != text);
        ASSERT_FALSE(arrived.isEmpty()) << text.toStdString() << " was not told";
    }
    watch->terminate();
    ASSERT_TRUE(watch->waitForFinished(10000));
    const QString log = QString::fromLocal8Bit(watch->readAllStandardError());
    EXPECT_EQ(log.count(u"cannot listen for notices"_s), 1) << log.toStdString();
}

// A PostgreSQL office reached over TLS: a server and a certificate authority made for the test,
// the address's TLS settings passed through to every connection (the watcher's too), and
// `config` saying what protects the connection.

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
