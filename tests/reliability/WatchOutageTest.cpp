// The office's PostgreSQL server stopped and started again under a running `watch`, or a standby
// promoted under it: the watcher sees the outage from its connection, comes back by itself and
// tells what came meanwhile, with no signal file touched (the sender uses a data folder of its
// own).
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "tzsndmsg/db/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <algorithm>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

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
    ASSERT_TRUE(
        QFile(server.folder() + QStringLiteral("/data/standby.signal")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(server.up());

    auto watch =
        desk.start({QStringLiteral("watch"), QStringLiteral("--login"), QStringLiteral("DAVE")},
                   server.url(), 120000);
    QList<QJsonObject> seen;
    const QJsonObject ready = waitForEvent(*watch, seen, QStringLiteral("ready"), 20000);
    ASSERT_FALSE(ready.isEmpty()) << watch->readAllStandardError().toStdString();
    EXPECT_FALSE(ready.value(QStringLiteral("listening")).toBool());
    ASSERT_TRUE(server.promote());

    for (const QString& text : {u"After the promotion"_s, u"Later"_s}) {
        const Outcome sent = send(text);
        ASSERT_EQ(sent.code, 0) << sent.err.toStdString();
        QJsonObject arrived;
        do // the demo's unread may still be told first
            arrived = waitForEvent(*watch, seen, QStringLiteral("arrived"), 15000);
        while (!arrived.isEmpty() && arrived.value(QStringLiteral("text")).toString() != text);
        ASSERT_FALSE(arrived.isEmpty()) << text.toStdString() << " was not told";
    }
    watch->terminate();
    ASSERT_TRUE(watch->waitForFinished(10000));
    const QString log = QString::fromLocal8Bit(watch->readAllStandardError());
    EXPECT_EQ(log.count(QStringLiteral("cannot listen for notices")), 1) << log.toStdString();
}

} // namespace
} // namespace tzsndmsg::testing
