// The office's PostgreSQL server stopped and started again while workstations send: each send
// is stored whole and says so, or is not stored and says why; none waits for ever.
#include "HostRun.h"

#include "db/Database.h"
#include "db/Recordset.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tzsndmsg::testing {
namespace {

const QString kPgBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

// A port nothing listens on just now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// A server of this test's own, run by the postgres user, that the test may stop and start.
class ThrowawayServer {
public:
    ~ThrowawayServer()
    {
        if (m_started)
            control({QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("immediate")});
    }

    bool start(QString* error)
    {
        const passwd* postgres = ::getpwnam("postgres");
        if (!postgres || !m_dir.isValid()) {
            *error = QStringLiteral("no postgres user");
            return false;
        }
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        if (::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            *error = QStringLiteral("cannot hand the folder to postgres");
            return false;
        }
        if (!asPostgres(kPgBin + QStringLiteral("initdb"),
                        {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"), QStringLiteral("-A"),
                         QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("postgres"),
                         QStringLiteral("--no-sync")},
                        error))
            return false;
        m_port = freePort();
        return up(error);
    }

    bool up(QString* error = nullptr)
    {
        const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                    .arg(m_port)
                                    .arg(m_dir.path());
        m_started = control({QStringLiteral("-l"), m_dir.path() + QStringLiteral("/log"), QStringLiteral("-w"),
                             QStringLiteral("-o"), options, QStringLiteral("start")},
                            error);
        return m_started;
    }
    bool down() { return control({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")}); }

    QString url() const { return QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres").arg(m_port); }

private:
    bool control(QStringList args, QString* error = nullptr)
    {
        args.prepend(m_dir.path() + QStringLiteral("/data"));
        args.prepend(QStringLiteral("-D"));
        return asPostgres(kPgBin + QStringLiteral("pg_ctl"), args, error);
    }

    static bool asPostgres(const QString& program, const QStringList& args, QString* error)
    {
        QProcess p;
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                       QStringLiteral("--"), program} + args);
        const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok && error)
            *error = QString::fromLocal8Bit(p.readAllStandardError());
        return ok;
    }

    QTemporaryDir m_dir{QStringLiteral("/tmp/tzsndmsg-restart-XXXXXX")};
    int m_port = 0;
    bool m_started = false;
};

TEST(PostgresRestart, EverySendIsStoredWholeOrReportedAndNoneHangs)
{
    if (!Office::usingPostgres())
        GTEST_SKIP() << "PostgreSQL run only";
    if (::geteuid() != 0 || !QFileInfo::exists(kPgBin + QStringLiteral("pg_ctl")))
        GTEST_SKIP() << "needs root and the PostgreSQL 15 server programs";
    ThrowawayServer server;
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();

    QTemporaryDir home;
    HostRun host(home.path() + QStringLiteral("/data/"));
    host.setEnv(QStringLiteral("TZSNDMSG_HOME"), home.path());
    ASSERT_EQ(host.run({QStringLiteral("init"), QStringLiteral("--demo")}, server.url()).code, 0);
    QList<qint32> to;
    {
        auto db = db::Database::open(server.url());
        ASSERT_TRUE(db);
        db::Recordset rs = db->query(QStringLiteral("SELECT pID FROM PATable WHERE pDatRel IS NULL"));
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
        const QString marker = QStringLiteral("restart %1").arg(i);
        sends.push_back({marker,
                         host.start({QStringLiteral("announce"), QStringLiteral("--login"), QStringLiteral("MARIA"),
                                     QStringLiteral("--text"), marker + QStringLiteral(": drill"),
                                     QStringLiteral("--to"), idList(to)},
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
        const QVariant id = db->scalar(QStringLiteral("SELECT min(cmID) FROM CMTable WHERE cmDoc=?"),
                                       {s.marker + QStringLiteral(": drill")});
        const int headers = db->scalar(QStringLiteral("SELECT count(*) FROM CMTable WHERE cmDoc=?"),
                                       {s.marker + QStringLiteral(": drill")})
                                .toInt();
        if (s.outcome.code == 0) {
            ++stored;
            EXPECT_EQ(headers, 1);
            EXPECT_EQ(db->scalar(QStringLiteral("SELECT count(*) FROM EVTable WHERE EvLinID=?"), {id}).toInt(), 1);
            EXPECT_EQ(db->scalar(QStringLiteral("SELECT count(*) FROM BroChkTable WHERE BroChkLinID=?"), {id}).toInt(),
                      to.size());
        } else {
            ++refused;
            // Not stored; 1 when the send failed, 2 when the database could not be reached at all.
            EXPECT_TRUE(s.outcome.code == 1 || s.outcome.code == 2) << s.outcome.code;
            EXPECT_EQ(headers, 0) << s.outcome.err.toStdString();
            EXPECT_EQ(s.outcome.said().size(), 1) << s.outcome.err.toStdString();
        }
    }
    EXPECT_GT(stored, 0);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(db->scalar(QStringLiteral("SELECT count(*) FROM BroChkTable WHERE BroChkLinID NOT IN "
                                        "(SELECT cmID FROM CMTable)"))
                  .toInt(),
              0);
}

} // namespace
} // namespace tzsndmsg::testing
