#pragma once

// Runs the real host program on a test's office, each process under a time limit: a process
// that does not end within it is killed and counts as hung.
#include "support/Office.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <algorithm>
#include <memory>
#include <vector>

namespace tzsndmsg::testing {

using namespace Qt::StringLiterals;

struct Outcome {
    int code = -1;        // the exit code; -1 when it crashed or hung
    bool crashed = false; // ended by a signal it did not ask for
    bool hung = false;    // killed at the time limit
    QString out, err;
    QString all() const { return out + err; }
    // The program's own lines on stderr ("tzsndmsg: ..."), without the platform's notices.
    QStringList said() const
    {
        QStringList lines;
        for (const QString& line : err.split(u'\n', Qt::SkipEmptyParts))
            if (line.startsWith(QLatin1String("tzsndmsg:")))
                lines << line;
        return lines;
    }
};

class HostRun {
public:
    explicit HostRun(QString dataFolder) : m_data(std::move(dataFolder)) {}
    // A workstation whose home, data folder (home/data) and watcher state (home/state) are in
    // the folder given.
    static HostRun inHome(const QString& home)
    {
        HostRun run(home + u"/data/"_s);
        run.setEnv(u"TZSNDMSG_HOME"_s, home);
        run.setEnv(u"XDG_STATE_HOME"_s, home + u"/state"_s);
        return run;
    }

    // Environment for every process: a home of its own and no display.
    void setEnv(const QString& name, const QString& value) { m_env.insert(name, value); }
    // Runs the program as another user (root ignores file permissions).
    void setUser(const QString& user) { m_user = user; }

    // limitMs: as run(); a process run as another user is ended by timeout(1) at that limit, as
    // killing runuser would leave it running.
    std::unique_ptr<QProcess> start(QStringList args, const QString& url, int limitMs = 60000) const
    {
        args << u"--db"_s << url << u"--data"_s << m_data;
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.remove(u"XDG_RUNTIME_DIR"_s); // the program makes one per user
        for (const QString& key : m_env.keys())
            env.insert(key, m_env.value(key));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(QDir::tempPath());
        if (m_user.isEmpty()) {
            p->start(QStringLiteral(TZSNDMSG_APP), args);
        } else {
            p->start(u"runuser"_s, QStringList{"-u", m_user, "--", "timeout", "-s", "KILL",
                                               QString::number(limitMs / 1000 + 1),
                                               QStringLiteral(TZSNDMSG_APP)} +
                                       args);
        }
        return p;
    }

    static Outcome finish(QProcess& p, int limitMs)
    {
        Outcome r;
        if (!p.waitForFinished(limitMs)) {
            p.kill();
            p.waitForFinished(5000);
            r.hung = true;
        } else if (p.exitStatus() != QProcess::NormalExit) {
            r.crashed = true;
        } else {
            r.code = p.exitCode();
        }
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    Outcome run(const QStringList& args, const QString& url, int limitMs = 60000) const
    {
        auto p = start(args, url, limitMs);
        return finish(*p, limitMs);
    }

private:
    QString m_data;
    QString m_user;
    QHash<QString, QString> m_env;
};

// Reads a running watch's JSON lines until one of `event` comes, the process ends or the time is
// up; the lines read are kept in `seen`.
inline QJsonObject waitForEvent(QProcess& watch, QList<QJsonObject>& seen, const QString& event,
                                int limitMs = 15000)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        while (watch.canReadLine()) {
            const QJsonObject line = QJsonDocument::fromJson(watch.readLine()).object();
            seen << line;
            if (line.value(u"event"_s).toString() == event)
                return line;
        }
        if (clock.elapsed() >= limitMs || watch.state() == QProcess::NotRunning)
            return {};
        watch.waitForReadyRead(100);
    }
}

// Asks `done` every 100 ms, the first time after 100 ms, until it holds or `limitMs` is up;
// whether it held.
template <typename Done> bool pollUntil(int limitMs, Done done)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QThread::msleep(100);
        if (done())
            return true;
    } while (clock.elapsed() < limitMs);
    return false;
}

// The messages whose text starts with "marker:" as the store holds them.
struct Stored {
    int headers = 0;
    int details = 0;
    QList<qint32> persons; // of every addressee row
    QString text;
};
inline Stored storedWith(db::Database& db, const QString& marker)
{
    Stored s;
    db::Recordset rs =
        db.query(u"SELECT cmID, cmDoc FROM CMTable WHERE cmDoc LIKE ?"_s, {marker + u":%"_s});
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        ++s.headers;
        const qint64 id = rs.value(u"cmID"_s).toLongLong();
        s.text = rs.value(u"cmDoc"_s).toString();
        s.details += db.scalar(u"SELECT count(*) FROM EVTable WHERE EvLinID=?"_s, {id}).toInt();
        db::Recordset rows =
            db.query(u"SELECT BroChkPID FROM BroChkTable WHERE BroChkLinID=?"_s, {id});
        for (rows.moveFirst(); !rows.eof(); rows.moveNext())
            s.persons << qint32(rows.value(0).toLongLong());
    }
    return s;
}

// A run that ended by itself and said one line of its own, holding the words given.
inline void expectOneLine(const Outcome& r, const QString& contains)
{
    EXPECT_FALSE(r.hung);
    EXPECT_FALSE(r.crashed);
    const QStringList said = r.said();
    ASSERT_EQ(said.size(), 1) << r.err.toStdString();
    EXPECT_TRUE(said.first().contains(contains, Qt::CaseInsensitive)) << said.first().toStdString();
}

// Sent whole (one header, its detail row, one row per addressee), or not there at all.
inline void expectWholeOrAbsent(db::Database& db, const QString& marker, bool sent,
                                const QString& text, const QList<qint32>& to)
{
    SCOPED_TRACE(marker.toStdString());
    const Stored s = storedWith(db, marker);
    if (!sent) {
        EXPECT_EQ(s.headers, 0);
        EXPECT_TRUE(s.persons.isEmpty());
        return;
    }
    EXPECT_EQ(s.headers, 1);
    EXPECT_EQ(s.details, 1);
    EXPECT_EQ(s.text, text);
    QList<qint32> got = s.persons, want = to;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
}

// No addressee or detail row without its message, no message without its detail row.
inline void expectNoOrphans(db::Database& db)
{
    for (const char* orphans :
         {"SELECT count(*) FROM BroChkTable WHERE BroChkLinID NOT IN (SELECT cmID FROM CMTable)",
          "SELECT count(*) FROM EVTable WHERE EvLinID NOT IN (SELECT cmID FROM CMTable)",
          "SELECT count(*) FROM CMTable WHERE cmCat='Message' AND cmID NOT IN (SELECT EvLinID "
          "FROM EVTable)"})
        EXPECT_EQ(db.scalar(QString::fromLatin1(orphans)).toInt(), 0) << orphans;
}

// "1,2,3" of the ids.
inline QString idList(const QList<qint32>& ids)
{
    QStringList parts;
    for (qint32 id : ids)
        parts << QString::number(id);
    return parts.join(u',');
}

} // namespace tzsndmsg::testing
