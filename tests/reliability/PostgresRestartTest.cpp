// The office's PostgreSQL server stopped and started again while workstations send: each send
// is stored whole and says so, or is not stored and says why; none waits for ever.
#include "HostRun.h"
#include "ThrowawayServer.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <atomic>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

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

} // namespace
} // namespace tzsndmsg::testing
