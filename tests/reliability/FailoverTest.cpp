// The office server dies and its standby is promoted while workstations send and watch: every
// send that said it was stored is on the new server once, none twice, and every watcher comes
// back by itself and tells what came meanwhile once.
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "tzsndmsg/db/Database.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

constexpr int kSenders = 10;
constexpr int kWatchers = 10;

struct WatchLog {
    std::unique_ptr<QProcess> process;
    QHash<QString, int> told; // message text -> times told
    int lost = 0, restored = 0;
    bool ready = false;
    void read()
    {
        while (process->canReadLine()) {
            const QJsonObject line = QJsonDocument::fromJson(process->readLine()).object();
            const QString event = line.value(u"event"_s).toString();
            if (event == QLatin1String("ready"))
                ready = true;
            else if (event == QLatin1String("connection-lost"))
                ++lost;
            else if (event == QLatin1String("connection-restored"))
                ++restored;
            else if (event == QLatin1String("arrived"))
                ++told[line.value(u"text"_s).toString()];
        }
    }
};

// A long-lived connection (a host with its window open) whose server went away and came back
// carries on with its next statement; inside a transaction it is not opened behind the caller's
// back.
using Failover = WithOwnServer<>;

TEST_F(Failover, AConnectionWhoseServerCameBackCarriesOnOutsideATransaction)
{
    QString error;
    auto db = db::Database::open(server.url(), &error);
    ASSERT_TRUE(db) << error.toStdString();
    ASSERT_TRUE(db->exec(u"CREATE TABLE t (v int)"_s, &error)) << error.toStdString();

    ASSERT_TRUE(db->transaction());
    ASSERT_TRUE(db->exec(u"INSERT INTO t VALUES (1)"_s));
    ASSERT_TRUE(server.down());
    ASSERT_TRUE(server.up(&error)) << error.toStdString();
    EXPECT_FALSE(db->exec(u"INSERT INTO t VALUES (2)"_s, &error));
    EXPECT_FALSE(db->commit()) << "a transaction whose session is gone cannot commit";
    db->rollback();

    ASSERT_TRUE(server.down());
    ASSERT_TRUE(server.up(&error)) << error.toStdString();
    EXPECT_TRUE(db->exec(u"INSERT INTO t VALUES (3)"_s, &error)) << error.toStdString();
    EXPECT_EQ(db->scalar(u"SELECT string_agg(v::text, ',') FROM t"_s).toString(), u"3"_s);
}

TEST_F(Failover, APromotedStandbyKeepsEveryConfirmedMessageOnceAndTheWatchersComeBack)
{
    ThrowawayServer& primary = server;
    ThrowawayServer standby;
    QString error;
    QTemporaryDir home;
    HostRun desk = HostRun::inHome(home.path());
    {
        const Outcome made = desk.run({"init", "--demo"}, primary.url());
        ASSERT_EQ(made.code, 0) << made.err.toStdString();
    }
    ASSERT_TRUE(standby.initialiseAsStandbyOf(primary, &error)) << error.toStdString();
    ASSERT_TRUE(standby.up(&error)) << error.toStdString();
    qint32 dave = 0;
    {
        auto db = db::Database::open(primary.url(), &error);
        ASSERT_TRUE(db) << error.toStdString();
        dave = db->scalar(u"SELECT PWMPID FROM PWMTable WHERE PWMUseNam='DAVE'"_s).toInt();
        // From now on a commit is confirmed only once the standby has it too.
        ASSERT_TRUE(db->exec(u"ALTER SYSTEM SET synchronous_standby_names = '*'"_s, &error))
            << error.toStdString();
        ASSERT_TRUE(db->exec(u"SELECT pg_reload_conf()"_s, &error)) << error.toStdString();
        // The standby is there and synchronous before anything is sent.
        ASSERT_TRUE(pollUntil(20000, [&] {
            return db->scalar(
                         u"SELECT count(*) FROM pg_stat_replication WHERE sync_state = 'sync'"_s)
                       .toInt() == 1;
        }));
    }
    ASSERT_GT(dave, 0);

    // Every workstation names both servers and keeps to the one that takes writes.
    const QString both = QStringLiteral("postgresql://postgres@127.0.0.1:%1,127.0.0.1:%2/postgres"
                                        "?target_session_attrs=read-write")
                             .arg(primary.port())
                             .arg(standby.port());

    std::vector<WatchLog> watchers(kWatchers);
    for (int i = 0; i < kWatchers; ++i) {
        watchers[i].process = desk.start(
            {"watch", "--login", "DAVE", "--computer", u"DESK%1"_s.arg(i)}, both, 240000);
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000 && !std::all_of(watchers.begin(), watchers.end(),
                                                   [](const WatchLog& w) { return w.ready; })) {
        for (WatchLog& w : watchers) {
            w.process->waitForReadyRead(20);
            w.read();
        }
    }
    ASSERT_TRUE(
        std::all_of(watchers.begin(), watchers.end(), [](const WatchLog& w) { return w.ready; }));
    for (WatchLog& w : watchers)
        w.told.clear(); // the demo's unread, told at the first start

    // Ten workstations send one message after another; each send says whether it was stored.
    std::atomic<bool> stop{false};
    std::mutex lock;
    QStringList confirmed, refused;
    std::vector<std::thread> senders;
    senders.reserve(kSenders);
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&, s] {
            QTemporaryDir own;
            HostRun station(home.path() + u"/data/"_s);
            station.setEnv(u"TZSNDMSG_HOME"_s, own.path());
            for (int n = 0; !stop; ++n) {
                const QString text = u"failover %1-%2"_s.arg(s).arg(n);
                const Outcome r = station.run(
                    {"announce", "--text", text, "--to", QString::number(dave)}, both, 60000);
                std::lock_guard<std::mutex> guard(lock);
                (r.code == 0 ? confirmed : refused) << text;
            }
        });
    }
    auto pump = [&](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            for (WatchLog& w : watchers) {
                w.process->waitForReadyRead(10);
                w.read();
            }
    };
    pump(4000);
    // The primary's machine dies; the standby is promoted a moment later.
    ASSERT_TRUE(primary.signalAll(SIGKILL));
    pump(1500);
    ASSERT_TRUE(standby.promote(&error)) << error.toStdString();
    QElapsedTimer sincePromotion;
    sincePromotion.start();
    pump(8000);
    stop = true;
    for (std::thread& t : senders)
        t.join();
    const qsizetype before = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return confirmed.size();
    }();
    ASSERT_GT(before, kSenders) << "the sends did not carry on after the promotion";

    // Each watcher is back within 30 s of the promotion and has told every stored message.
    auto db = db::Database::open(standby.url(), &error);
    ASSERT_TRUE(db) << error.toStdString();
    QStringList stored;
    {
        db::Reader r = db->read(u"SELECT cmDoc FROM CMTable WHERE cmDoc LIKE 'failover %'"_s);
        while (r.isValid() && r.next())
            stored << r.value(0).toString();
    }
    while (sincePromotion.elapsed() < 30000 &&
           !std::all_of(watchers.begin(), watchers.end(), [&](const WatchLog& w) {
               return std::all_of(stored.begin(), stored.end(),
                                  [&](const QString& text) { return w.told.contains(text); });
           }))
        pump(200);
    pump(1500); // anything told twice shows here

    for (const QString& text : std::as_const(confirmed))
        EXPECT_EQ(stored.count(text), 1) << "a confirmed send " << text.toStdString()
                                         << " is stored " << stored.count(text) << " times";
    for (const QString& text : std::as_const(refused))
        EXPECT_LE(stored.count(text), 1) << text.toStdString();
    for (int i = 0; i < kWatchers; ++i) {
        SCOPED_TRACE(i);
        const WatchLog& w = watchers[i];
        EXPECT_GE(w.lost, 1);
        EXPECT_EQ(w.lost, w.restored);
        for (const QString& text : std::as_const(stored))
            EXPECT_EQ(w.told.value(text), 1) << text.toStdString();
    }
    for (WatchLog& w : watchers) {
        w.process->terminate();
        w.process->waitForFinished(10000);
    }
    std::printf("%d sends confirmed, %d refused, %d stored\n", int(confirmed.size()),
                int(refused.size()), int(stored.size()));
}

} // namespace
} // namespace tzsndmsg::testing
