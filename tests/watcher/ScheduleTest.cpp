// What one inbox row tells and when, on moments the test gives.
#include "watcher/Schedule.h"

#include "support/Files.h"
#include "support/TestPrinters.h"
#include "watcher/WatchState.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::watcher;

namespace {

QDateTime at(int d, int h, int m = 0)
{
    return QDateTime(QDate(2026, 12, d), QTime(h, m));
}

// A message sent on 7 December at 10:00, delivered from `start` (its own moment when empty).
core::StoredMessage message(const QString& start = QString(), int unit = -1, int times = -1)
{
    core::StoredMessage m;
    m.header.cmID = 40;
    m.header.cmDat = u"12/07/2026"_s;
    m.header.cmTim = u"10:00 AM"_s;
    m.header.cmWho = u"MARIA"_s;
    m.header.CMSubjec = u"Autoclave"_s;
    core::MessageDetail& d = m.detail;
    d.exists = true;
    d.EvBroFla = d.EvBroStaDatFla = true;
    d.EvBroStaDat = u"12/07/2026"_s;
    d.EvBroStaTim = start.isEmpty() ? u"10:00 am"_s : start;
    d.EvBroReaFla = unit != -1;
    d.EvBroReaEve = 1;
    d.EvBroReaTyp = unit;
    d.EvBroNumOfTim = times;
    return m;
}

core::StoredMessage withReminder(core::StoredMessage m, const QString& date, const QString& time)
{
    m.detail.EVAlaFla = m.detail.EVAlaStaDatFla = true;
    m.detail.EVAlaStaDat = date;
    m.detail.EVAlaStaTim = time;
    return m;
}

std::string show(const QList<OfficeNotice>& notices)
{
    QStringList out;
    for (const OfficeNotice& n : notices) {
        QString text = OfficeNotice::kindName(n.kind) + n.due.toString(u" d HH:mm"_s);
        if (n.missed)
            text += u" missed %1"_s.arg(n.missed);
        if (n.late)
            text += u" late"_s;
        out << text;
    }
    return out.join(u", "_s).toStdString();
}

TEST(Schedule, WhatARowTellsWhenFirstSeen)
{
    struct Case {
        const char* name;
        core::StoredMessage message;
        bool read, baseline;
        QDateTime now;
        const char* told;
    } cases[] = {
        {"a message sent now", message(), false, false, at(7, 10, 0), "arrived 7 10:00"},
        {"already read", message(), true, false, at(7, 10, 0), ""},
        {"sent while the workstation was off", message(), false, false, at(7, 12),
         "arrived 7 10:00 late"},
        {"set to start later", message(u"11:00 am"_s), false, false, at(7, 10), ""},
        {"its start passed while off", message(u"11:00 am"_s), false, false, at(7, 12),
         "started 7 11:00 late"},
        {"daily since, two repeats missed", message(u"11:00 am"_s, 1), false, false, at(9, 12),
         "started 9 11:00 missed 2 late"},
        {"read, its repeat still comes", message(QString(), 1), true, false, at(8, 10, 0),
         "repeated 8 10:00 missed 1"},
        {"a reminder already due", withReminder(message(), u"12/07/2026"_s, u"9:00 am"_s), false,
         false, at(7, 10), "arrived 7 10:00, reminder 7 09:00 late"},
        {"first start: unread told, reminders not",
         withReminder(message(), u"12/07/2026"_s, u"9:00 am"_s), false, true, at(7, 12),
         "arrived 7 10:00 late"},
        {"first start: read, nothing", message(), true, true, at(7, 12), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WatchedRow row = watchedRow(7, c.read, c.message);
        EXPECT_EQ(show(firstSight(row, c.now, c.baseline)), c.told);
    }
}

TEST(Schedule, WhatFallsDueBetweenTwoLooks)
{
    struct Case {
        const char* name;
        core::StoredMessage message;
        QDateTime after, upTo;
        const char* told;
        const char* next; // after upTo; "" when none
    } cases[] = {
        {"the start", message(u"11:00 am"_s), at(7, 10), at(7, 11), "started 7 11:00", ""},
        {"not yet", message(u"11:00 am"_s), at(7, 10), at(7, 10, 59), "", "7 11:00"},
        {"a start just told is not told again", message(u"11:00 am"_s), at(7, 11), at(7, 12), "",
         ""},
        {"three times: the last repeat", message(u"11:00 am"_s, 1, 2), at(8, 12), at(20, 9),
         "repeated 9 11:00 late", ""},
        {"unlimited weekly", message(u"11:00 am"_s, 7), at(7, 12), at(14, 11), "repeated 14 11:00",
         "21 11:00"},
        {"a reminder before the start comes with the start",
         withReminder(message(u"11:00 am"_s), u"12/07/2026"_s, u"10:30 am"_s), at(7, 10),
         at(7, 10, 45), "", "7 11:00"},
        {"the reminder after the start",
         withReminder(message(u"11:00 am"_s), u"12/07/2026"_s, u"2:00 pm"_s), at(7, 11), at(7, 14),
         "reminder 7 14:00", ""},
        {"a clock set back tells nothing", message(u"11:00 am"_s), at(7, 12), at(7, 9), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WatchedRow row = watchedRow(7, false, c.message);
        EXPECT_EQ(show(dueBetween(row, c.after, c.upTo)), c.told);
        const auto next = nextMoment(row, std::max(c.after, c.upTo));
        EXPECT_EQ(next ? next->toString(u"d HH:mm"_s).toStdString() : std::string(), c.next);
    }
}

TEST(Schedule, MomentsThatCannotBeReadAreNamedNotGuessed)
{
    const WatchedRow typed =
        watchedRow(7, false, withReminder(message(), u"Friday"_s, u"9:00 am"_s));
    EXPECT_FALSE(typed.reminder.has_value());
    EXPECT_TRUE(typed.problem.contains(u"\"Friday\" is not a date"_s));
    EXPECT_EQ(show(firstSight(typed, at(7, 10), false)), "arrived 7 10:00")
        << "the message still arrives";

    core::StoredMessage undated = message();
    undated.detail.EvBroStaDat = u"soon"_s;
    undated.header.cmDat = u"today"_s;
    const WatchedRow row = watchedRow(7, false, undated);
    EXPECT_FALSE(row.plan.has_value());
    EXPECT_EQ(show(firstSight(row, at(7, 10), false)), "arrived 7 10:00");
    EXPECT_FALSE(nextMoment(row, at(7, 10)).has_value());
}

// The watcher's state file: what it keeps, one holder at a time, and a damaged one.
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
    // A save whose statements ran near their minute each commits well after later ones.
    state.advanceFloor(t0.addSecs(90));
    EXPECT_EQ(state.floor, 10) << "row 11 may still be committed by a save that started before";
    state.advanceFloor(t0.addSecs(WatchState::kFloorLagSecs));
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
