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

using namespace Qt::StringLiterals;

inline const QString kPgBin = u"/usr/lib/postgresql/15/bin/"_s;

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
        return u"PostgreSQL run only: a SQLite office has no server of its own"_s;
    if (::geteuid() != 0 || !QFileInfo::exists(kPgBin + u"pg_ctl"_s))
        return u"needs root and the PostgreSQL 15 server programs"_s;
    return {};
}

// A server of this test's own, run by the postgres user, that the test may stop and start.
class ThrowawayServer {
public:
    ~ThrowawayServer()
    {
        if (m_started)
            control({"stop", "-m", "immediate"});
    }

    bool start(QString* error) { return initialise(error) && up(error); }

    // The server's files made, not yet started: a test may add to its configuration first.
    bool initialise(QString* error)
    {
        if (!handOver(error) || !asPostgres(kPgBin + u"initdb"_s,
                                            {"-D", m_dir.path() + u"/data"_s, "-A", "trust", "-U",
                                             "postgres", "--no-sync"},
                                            error))
            return false;
        m_port = freePort();
        return true;
    }

    // A standby of the primary, kept by streaming replication: a copy of its data folder taken
    // while it runs, that follows it from then on. Start it with up().
    bool initialiseAsStandbyOf(const ThrowawayServer& primary, QString* error)
    {
        if (!handOver(error) || !asPostgres(kPgBin + u"pg_basebackup"_s,
                                            {"-D", m_dir.path() + u"/data"_s, "-h", "127.0.0.1",
                                             "-p", QString::number(primary.m_port), "-U",
                                             "postgres", "-R", "-X", "stream", "--no-sync"},
                                            error))
            return false;
        m_port = freePort();
        return true;
    }

    // Lines added to the server's postgresql.conf (before up()).
    bool configure(const QString& lines)
    {
        QFile conf(m_dir.path() + u"/data/postgresql.conf"_s);
        return conf.open(QIODevice::Append) && conf.write(lines.toUtf8() + "\n") > 0;
    }

    // A standby becomes the server that takes writes.
    bool promote(QString* error = nullptr) { return control({"-w", "promote"}, error); }

    // The server's own folder (its data folder is data/ inside) and more settings for up().
    QString folder() const { return m_dir.path(); }
    void setServerOptions(const QString& options) { m_options = options; }
    int port() const { return m_port; }

    bool up(QString* error = nullptr)
    {
        const QString options =
            u"-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off %3"_s.arg(m_port).arg(
                m_dir.path(), m_options);
        m_started = control({"-l", m_dir.path() + u"/log"_s, "-w", "-o", options, "start"}, error);
        return m_started;
    }
    bool down() { return control({"-m", "fast", "-w", "stop"}); }

    QString url() const { return u"postgresql://postgres@127.0.0.1:%1/postgres"_s.arg(m_port); }

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
            *error = u"no postgres user"_s;
            return false;
        }
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        if (::chown(QFile::encodeName(m_dir.path()).constData(), postgres->pw_uid,
                    postgres->pw_gid) != 0) {
            *error = u"cannot hand the folder to postgres"_s;
            return false;
        }
        return true;
    }

    // The main process (its pid file's first line) and its children.
    QList<pid_t> processes() const
    {
        QFile pidFile(m_dir.path() + u"/data/postmaster.pid"_s);
        if (!pidFile.open(QIODevice::ReadOnly))
            return {};
        const pid_t main = pid_t(pidFile.readLine().trimmed().toLongLong());
        if (main <= 0)
            return {};
        QList<pid_t> pids{main};
        const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs);
        for (const QString& entry : entries) {
            QFile stat(u"/proc/%1/stat"_s.arg(entry));
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
        args.prepend(m_dir.path() + u"/data"_s);
        args.prepend(u"-D"_s);
        return asPostgres(kPgBin + u"pg_ctl"_s, args, error);
    }

    static bool asPostgres(const QString& program, const QStringList& args, QString* error)
    {
        QProcess p;
        p.start(u"runuser"_s, QStringList{"-u", "postgres", "--", program} + args);
        const bool ok =
            p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok && error)
            *error = QString::fromLocal8Bit(p.readAllStandardError());
        return ok;
    }

    QTemporaryDir m_dir{u"/tmp/tzsndmsg-restart-XXXXXX"_s};
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
