// The office's PostgreSQL server freezes (every process of it stopped, its sockets open) while a
// workstation sends: the send gives up within the bound README states, says so, and leaves the
// message whole or absent once the server runs again.
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "tzsndmsg/db/Database.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

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

} // namespace
} // namespace tzsndmsg::testing
