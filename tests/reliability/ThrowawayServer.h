#pragma once

// A PostgreSQL server of a test's own, run by the postgres user, that the test may stop, start,
// freeze and thaw (never the shared server other tests use).
#include "support/Office.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tzsndmsg::testing {

inline const QString kPgBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

// A port nothing listens on just now.
inline int freePort()
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

// Why this run cannot have a server of its own (empty when it can): the PostgreSQL runs only, as
// root, with the server programs installed.
inline QString whyNoOwnServer()
{
    if (!Office::usingPostgres())
        return QStringLiteral("PostgreSQL run only: a SQLite office has no server of its own");
    if (::geteuid() != 0 || !QFileInfo::exists(kPgBin + QStringLiteral("pg_ctl")))
        return QStringLiteral("needs root and the PostgreSQL 15 server programs");
    return {};
}

// A server of this test's own, run by the postgres user, that the test may stop and start.
class ThrowawayServer {
public:
    ~ThrowawayServer()
    {
        if (m_started)
            control({QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("immediate")});
    }

    bool start(QString* error) { return initialise(error) && up(error); }

    // The server's files made, not yet started: a test may add to its configuration first.
    bool initialise(QString* error)
    {
        if (!handOver(error) ||
            !asPostgres(kPgBin + QStringLiteral("initdb"),
                        {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"),
                         QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                         QStringLiteral("postgres"), QStringLiteral("--no-sync")},
                        error))
            return false;
        m_port = freePort();
        return true;
    }

    // A standby of the primary, kept by streaming replication: a copy of its data folder taken
    // while it runs, that follows it from then on. Start it with up().
    bool initialiseAsStandbyOf(const ThrowawayServer& primary, QString* error)
    {
        if (!handOver(error) ||
            !asPostgres(kPgBin + QStringLiteral("pg_basebackup"),
                        {QStringLiteral("-D"), m_dir.path() + QStringLiteral("/data"),
                         QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(primary.m_port), QStringLiteral("-U"),
                         QStringLiteral("postgres"), QStringLiteral("-R"), QStringLiteral("-X"),
                         QStringLiteral("stream"), QStringLiteral("--no-sync")},
                        error))
            return false;
        m_port = freePort();
        return true;
    }

    // Lines added to the server's postgresql.conf (before up()).
    bool configure(const QString& lines)
    {
        QFile conf(m_dir.path() + QStringLiteral("/data/postgresql.conf"));
        return conf.open(QIODevice::Append) && conf.write(lines.toUtf8() + "\n") > 0;
    }

    // A standby becomes the server that takes writes.
    bool promote(QString* error = nullptr)
    {
        return control({QStringLiteral("-w"), QStringLiteral("promote")}, error);
    }

    // The server's own folder (its data folder is data/ inside) and more settings for up().
    QString folder() const { return m_dir.path(); }
    void setServerOptions(const QString& options) { m_options = options; }
    int port() const { return m_port; }

    bool up(QString* error = nullptr)
    {
        const QString options =
            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off %3")
                .arg(m_port)
                .arg(m_dir.path(), m_options);
        m_started =
            control({QStringLiteral("-l"), m_dir.path() + QStringLiteral("/log"),
                     QStringLiteral("-w"), QStringLiteral("-o"), options, QStringLiteral("start")},
                    error);
        return m_started;
    }
    bool down()
    {
        return control({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                        QStringLiteral("stop")});
    }

    QString url() const
    {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres").arg(m_port);
    }

    // Stops (SIGSTOP) or resumes (SIGCONT) the server and every process of it, as a hung
    // machine would: its sockets stay open and the kernel still takes what is sent.
    bool signalAll(int signal) const
    {
        const QList<pid_t> pids = processes();
        for (pid_t pid : pids)
            ::kill(pid, signal);
        return !pids.isEmpty();
    }

private:
    // The server's folder given to the postgres user.
    bool handOver(QString* error)
    {
        const passwd* postgres = ::getpwnam("postgres");
        if (!postgres || !m_dir.isValid()) {
            *error = QStringLiteral("no postgres user");
            return false;
        }
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        if (::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid,
                    postgres->pw_gid) != 0) {
            *error = QStringLiteral("cannot hand the folder to postgres");
            return false;
        }
        return true;
    }

    // The main process (its pid file's first line) and its children.
    QList<pid_t> processes() const
    {
        QFile pidFile(m_dir.path() + QStringLiteral("/data/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            return {};
        const pid_t main = pid_t(pidFile.readLine().trimmed().toLongLong());
        if (main <= 0)
            return {};
        QList<pid_t> pids{main};
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString& entry : entries) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces, the fields after it do not.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields.at(1).toLongLong() == main)
                pids << pid_t(entry.toLongLong());
        }
        return pids;
    }

    bool control(QStringList args, QString* error = nullptr)
    {
        args.prepend(m_dir.path() + QStringLiteral("/data"));
        args.prepend(QStringLiteral("-D"));
        return asPostgres(kPgBin + QStringLiteral("pg_ctl"), args, error);
    }

    static bool asPostgres(const QString& program, const QStringList& args, QString* error)
    {
        QProcess p;
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            program} +
                    args);
        const bool ok =
            p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok && error)
            *error = QString::fromLocal8Bit(p.readAllStandardError());
        return ok;
    }

    QTemporaryDir m_dir{QStringLiteral("/tmp/tzsndmsg-restart-XXXXXX")};
    QString m_options;
    int m_port = 0;
    bool m_started = false;
};

// A test with a server of its own, started; skipped where it cannot have one.
template <class Base = ::testing::Test> class WithOwnServer : public Base {
protected:
    void SetUp() override
    {
        if (const QString why = whyNoOwnServer(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        QString error;
        ASSERT_TRUE(server.start(&error)) << error.toStdString();
    }

    ThrowawayServer server;
};

} // namespace tzsndmsg::testing
