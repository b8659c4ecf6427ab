// The watcher's state file: what it keeps, one holder at a time, and a damaged one.
#include "watcher/WatchState.h"

#include "core/FileSystemHelpers.h"
#include "support/TestPrinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg::watcher;

namespace {

TEST(WatchState, KeepsWhatWasToldAcrossAWriteAndARead)
{
    QTemporaryDir dir;
    StateFile file;
    QString error;
    ASSERT_TRUE(file.acquire(dir.filePath(u"s.json"_s), &error)) << error.toStdString();
    QString problem;
    EXPECT_TRUE(file.load(&problem).isFirstStart());
    EXPECT_TRUE(problem.isEmpty());

    WatchState state;
    state.floor = 40;
    state.seen = {42, 45};
    state.candidate = 45;
    state.candidateAt = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
    state.toldUpTo = QDateTime(QDate(2026, 12, 7), QTime(10, 30, 15));
    ASSERT_TRUE(file.save(state, &error)) << error.toStdString();
    const WatchState back = file.load(&problem);
    EXPECT_EQ(back.floor, 40);
    EXPECT_EQ(back.seen, (QSet<qint32>{42, 45}));
    EXPECT_EQ(back.candidate, 45);
    EXPECT_EQ(back.candidateAt, state.candidateAt);
    EXPECT_EQ(back.toldUpTo, state.toldUpTo);
    EXPECT_TRUE(back.isSeen(12) && back.isSeen(42) && !back.isSeen(41) && !back.isSeen(46));
}

TEST(WatchState, TheFloorRisesOnlyWhenNoEarlierSaveCanStillCommit)
{
    WatchState state;
    state.floor = 10;
    state.seen = {12, 15};
    const QDateTime t0(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
    state.advanceFloor(t0);
    EXPECT_EQ(state.floor, 10);
    EXPECT_EQ(state.candidate, 15);
    state.seen.insert(17);
    state.advanceFloor(t0.addSecs(10));
    EXPECT_EQ(state.floor, 10) << "row 11 may still be committed by a save that started before";
    state.advanceFloor(t0.addSecs(31));
    EXPECT_EQ(state.floor, 15);
    EXPECT_EQ(state.seen, QSet<qint32>{17});
    EXPECT_EQ(state.candidate, 17);
}

TEST(WatchState, OneHolderAtATimeAndADamagedFileStartsAfresh)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"nested/s.json"_s);
    StateFile one, two;
    QString error;
    ASSERT_TRUE(one.acquire(path, &error)) << error.toStdString();
    EXPECT_FALSE(two.acquire(path, &error));
    EXPECT_TRUE(error.contains(u"another watcher"_s));
    one.release();
    EXPECT_TRUE(two.acquire(path, &error)) << "released, it can be taken";

    ASSERT_TRUE(tzsndmsg::testing::writeFile(path, "{\"version\": 1, \"floor\": "));
    QString problem;
    EXPECT_TRUE(two.load(&problem).isFirstStart());
    EXPECT_TRUE(problem.contains(u"not readable"_s));
}

TEST(WatchState, DefaultPathsSeparateRolesLoginsComputersAndStores)
{
    qputenv("XDG_STATE_HOME", "/tmp/state-home");
    const QString a =
        StateFile::defaultPath(u"tray"_s, u"anna"_s, u"frontdesk"_s, u"sqlite:///a.db"_s);
    EXPECT_TRUE(a.startsWith(u"/tmp/state-home/tzsndmsg/tray-ANNA-FRONTDESK-"_s));
    EXPECT_NE(a,
              StateFile::defaultPath(u"watch"_s, u"anna"_s, u"frontdesk"_s, u"sqlite:///a.db"_s));
    EXPECT_NE(a, StateFile::defaultPath(u"tray"_s, u"anna"_s, u"frontdesk"_s, u"sqlite:///b.db"_s));
    EXPECT_FALSE(
        StateFile::defaultPath(u"tray"_s, u"../../etc"_s, u"x/y"_s, QString()).contains(u"../"_s))
        << "names from outside never leave the folder";
    qunsetenv("XDG_STATE_HOME");
}

} // namespace
