// The office watcher on a real store, two workstations at once: what each is told, when, and
// never twice.
#include "WatcherFixture.h"
#include "core/FileSystemHelpers.h"
#include "core/MessageWrite.h"
#include "db/Internals.h"
#include "tzsndmsg/db/Database.h"
#include "watcher/WatcherInternals.h"

#include <QDir>
#include <QFile>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QDateTime kMorning(QDate(2026, 12, 7), QTime(10, 0));

class Watcher : public TwoWorkstations {
protected:
    Watcher() { setNow(kMorning); }

    std::unique_ptr<OfficeWatcher> watch(const std::shared_ptr<tzglob::tzGlobal>& services,
                                         const QString& name, Channel channel = Channel::Files)
    {
        return std::make_unique<OfficeWatcher>(services, options(name, channel));
    }
    static void start(OfficeWatcher& w)
    {
        QString error;
        ASSERT_TRUE(w.start(&error)) << error.toStdString();
    }
};

TEST_F(Watcher, TwoWorkstationsHearEachOtherThroughTheSignalFiles)
{
    Started front(watch(ws1, u"front"_s)), back(watch(ws2, u"back"_s));
    EXPECT_TRUE(front.notices.isEmpty() && back.notices.isEmpty())
        << "an empty office tells nothing";

    const qint32 toBack = sendToBob(u"Room 2 autoclave"_s);
    ASSERT_TRUE(back.waitFor(1));
    EXPECT_EQ(back.texts(), QStringList{u"arrived %1"_s.arg(toBack)});
    const OfficeNotice& n = back.notices.first();
    EXPECT_EQ(n.sender, u"FRONT"_s);
    EXPECT_EQ(n.senderName, u"Anna Front"_s);
    EXPECT_EQ(n.subject, u"Room 2 autoclave"_s);
    EXPECT_FALSE(n.late);
    EXPECT_EQ(back.counts.last(), 1);

    // A message to the person and to her computer is told once, with both rows; her inbox
    // lists (and counts) it twice.
    const qint32 toFront =
        send(*ws2, message(*ws2, bob, u"Thanks"_s, QString::number(anna) + u',', u"WS1\n"_s));
    ASSERT_TRUE(front.waitFor(1));
    Told::settle();
    EXPECT_EQ(front.texts(), QStringList{u"arrived %1"_s.arg(toFront)});
    const QList<qint32> rows = front.notices[0].rows;
    ASSERT_EQ(rows.size(), 2);
    EXPECT_LT(rows[0], rows[1]);
    EXPECT_EQ(front.notices[0].BroChkID, rows[0]);
    EXPECT_EQ(back.notices.size(), 1) << "the sender is not told of his own message";
    EXPECT_EQ(front.counts.last(), 2);
}

// The signal files, or PostgreSQL's notices alone: one statement per change, none while idle.
TEST_F(Watcher, EachChannelBringsAMessageWithOneStatementAndNoneWhileIdle)
{
    for (const Channel channel : {Channel::Files, Channel::Notices}) {
        if (channel == Channel::Notices && !office.usingPostgres())
            continue; // SQLite sends no notices
        SCOPED_TRACE(channel == Channel::Files ? "files" : "notices");
        Started back(watch(ws2, u"back"_s, channel));
        Told::settle(300);
        const quint64 idle = WatcherInternals::statementsRun(*back);
        Told::settle(700); // the signal files are looked at meanwhile
        EXPECT_EQ(WatcherInternals::statementsRun(*back), idle) << "an idle watcher runs none";
        const qint32 id = sendToBob(u"Lunch"_s);
        ASSERT_TRUE(back.waitFor(1));
        EXPECT_EQ(back.last(), u"arrived %1"_s.arg(id));
        Told::settle(500);
        EXPECT_EQ(WatcherInternals::statementsRun(*back), idle + 1) << "one statement per change";
        if (channel == Channel::Files)
            continue;
        ASSERT_TRUE(back->isListening());
        // One connection: the notices are heard on the store's, the one a window of the tray saves
        // through; a notice that arrives while a statement runs on it is heard after the statement.
        auto store = ws2->messageStoreConnection();
        // (channels it listens on / the watcher's other connections)
        EXPECT_EQ(store
                      ->scalar(u"SELECT (SELECT count(*) FROM pg_listening_channels()) || '/' || "
                               u"(SELECT count(*) FROM pg_stat_activity WHERE application_name = ? "
                               u"AND pid <> pg_backend_pid())"_s,
                               {u"tzsndmsg-watcher-%1"_s.arg(QCoreApplication::applicationPid())})
                      .toString(),
                  u"1/0"_s);
        const qint32 own = send(
            *ws2, message(*ws2, anna, QStringLiteral("Saved here"), QString::number(bob) + u','));
        ASSERT_TRUE(back.waitFor(2));
        EXPECT_EQ(back.last(), QStringLiteral("arrived %1").arg(own));

        // Opened again under the watcher (as the database layer does after a failover), the
        // connection listens again, and what came meanwhile is told.
        ASSERT_TRUE(store->reopen());
        const qint32 later =
            send(*ws1, message(*ws1, anna, QStringLiteral("Later"), QString::number(bob) + u','));
        ASSERT_TRUE(back.waitFor(3, 8000));
        EXPECT_EQ(back.last(), QStringLiteral("arrived %1").arg(later));
    }
}

TEST_F(Watcher, ConfirmingChangesTheUnreadCount)
{
    Started back(watch(ws2, u"back"_s, Channel::Both));
    sendToBob(u"One"_s);
    sendToBob(u"Two"_s);
    ASSERT_TRUE(back.waitFor(2));
    Told::settle(200);
    ASSERT_EQ(back->unreadCount(), 2);

    const core::Confirmation done = core::confirmAddressee(*ws2, back.notices[0].BroChkID, bob);
    ASSERT_TRUE(done.written) << done.error.toStdString();
    EXPECT_TRUE(waitUntil([&] { return back->unreadCount() == 1; }, 5000));
    EXPECT_EQ(back.notices.size(), 2) << "a confirmation is no new message";
}

TEST_F(Watcher, StartsRemindersAndRepeatsAtTheirMomentsOnAnAdvancedClock)
{
    Started back(watch(ws2, u"back"_s));

    // Starts at 10:30, again every day for 2 more times; a reminder at 11:00.
    core::OutgoingMessage m = toBob(u"Autoclave check"_s);
    m.EvBroStaTim = u"10:30 am"_s;
    m.EvBroReaFla = true;
    m.EvBroReaEve = 1;
    m.EvBroReaTyp = 1;
    m.EvBroNumOfTim = 2;
    m.reminder = *core::freeReminderColumns(u"12/07/2026"_s, u"11:00 am"_s);
    const qint32 id = send(*ws1, m);
    back->lookNow();
    EXPECT_TRUE(back.notices.isEmpty()) << "told when it starts, not when it is saved";

    struct Step {
        QDateTime now;
        QStringList told; // all told so far
    } steps[] = {
        {QDateTime(QDate(2026, 12, 7), QTime(10, 29, 59)), {}},
        {QDateTime(QDate(2026, 12, 7), QTime(10, 30)), {u"started %1"_s}},
        {QDateTime(QDate(2026, 12, 7), QTime(10, 59)), {u"started %1"_s}},
        {QDateTime(QDate(2026, 12, 7), QTime(11, 0)), {"started %1", "reminder %1"}},
        {QDateTime(QDate(2026, 12, 8), QTime(10, 30)),
         {"started %1", "reminder %1", "repeated %1"}},
        // Two days on: the last repeat, then no more.
        {QDateTime(QDate(2026, 12, 12), QTime(9, 0)),
         {"started %1", "reminder %1", "repeated %1", "repeated %1"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.now.toString(Qt::ISODate).toStdString());
        setNow(step.now);
        back->clockChanged();
        QStringList expected;
        for (const QString& t : step.told)
            expected << t.arg(id);
        EXPECT_EQ(back.texts(), expected);
    }
    EXPECT_FALSE(back.notices[0].late);
    EXPECT_TRUE(back.notices.last().late) << "the last repeat was due on the 9th";
}

TEST_F(Watcher, AMessageDeletedOrPurgedBeforeItsStartIsNotTold)
{
    Started back(watch(ws2, u"back"_s));
    core::OutgoingMessage later = toBob(u"At eleven"_s);
    later.EvBroStaTim = u"11:00 am"_s;
    const qint32 deleted = send(*ws1, later);
    const qint32 purged = send(*ws1, later);
    const qint32 kept = send(*ws1, later);
    back->lookNow();
    ASSERT_TRUE(back.notices.isEmpty());
    EXPECT_EQ(back->unreadCount(), 0) << "not counted before its start";

    deleteMessage(deleted);
    office.exec(u"update CMTable set CMPurFla=256 where cmID=?"_s, {purged});
    setNow(QDateTime(kMorning.date(), QTime(11, 0)));
    back->clockChanged();
    EXPECT_EQ(back.texts(), QStringList{u"started %1"_s.arg(kept)});
    EXPECT_EQ(back->unreadCount(), 1);
}

TEST_F(Watcher, AClockSetBackOrForwardTellsEachMomentOnce)
{
    Started back(watch(ws2, u"back"_s));
    core::OutgoingMessage m = toBob(u"Call the lab"_s);
    m.reminder = *core::freeReminderColumns(u"12/07/2026"_s, u"11:00 am"_s);
    const qint32 id = send(*ws1, m);
    back->lookNow();
    ASSERT_EQ(back.texts(), QStringList{u"arrived %1"_s.arg(id)});

    const QTime times[] = {QTime(12, 0), QTime(9, 0), QTime(11, 30), QTime(13, 0)};
    for (const QTime& t : times) {
        setNow(QDateTime(kMorning.date(), t));
        back->clockChanged();
    }
    EXPECT_EQ(back.texts(), (QStringList{u"arrived %1"_s.arg(id), u"reminder %1"_s.arg(id)}));
    EXPECT_TRUE(back.notices.last().late) << "told at noon for 11:00";
}

TEST_F(Watcher, NothingIsToldTwiceAcrossARestartAndWhatCameMeanwhileOnce)
{
    const qint32 first = sendToBob(u"Before"_s);
    {
        Started back(watch(ws2, u"back"_s));
        EXPECT_EQ(back.texts(), QStringList{u"arrived %1"_s.arg(first)})
            << "the first start tells the unread messages";
    }
    // While the workstation is off: a message now, one set to start at 11:00, one deleted
    // before its start.
    const qint32 now = sendToBob(u"Meanwhile"_s);
    core::OutgoingMessage later = toBob(u"At eleven"_s);
    later.EvBroStaTim = u"11:00 am"_s;
    const qint32 atEleven = send(*ws1, later);
    later.CMSubjec = u"Withdrawn"_s;
    const qint32 withdrawn = send(*ws1, later);
    {
        Started back(watch(ws2, u"back"_s));
        EXPECT_EQ(back.texts(), QStringList{u"arrived %1"_s.arg(now)});
        deleteMessage(withdrawn);
    }
    setNow(QDateTime(kMorning.date(), QTime(12, 0)));
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Started back(watch(ws2, u"back"_s));
        const QStringList expected =
            run == 0 ? QStringList{u"started %1"_s.arg(atEleven)} : QStringList{};
        EXPECT_EQ(back.texts(), expected);
        if (run == 0 && !back.notices.isEmpty()) {
            EXPECT_TRUE(back.notices.first().late);
        }
    }
}

TEST_F(Watcher, ASecondWatcherOfTheSameStateDoesNotStart)
{
    auto one = watch(ws2, u"back"_s);
    auto two = watch(ws2, u"back"_s);
    start(*one);
    QString error;
    EXPECT_FALSE(two->start(&error));
    EXPECT_TRUE(error.contains(u"another watcher"_s)) << error.toStdString();
}

TEST_F(Watcher, AReminderDateThatIsNotADateIsSkippedAndLoggedOnce)
{
    Started back(watch(ws2, u"back"_s));
    core::OutgoingMessage m = toBob(u"Typed"_s);
    m.reminder = {"-1", "-1", "next week", "9:00 am"};
    const qint32 typed = send(*ws1, m);
    const qint32 plain = sendToBob(u"Plain"_s);
    back->lookNow();
    back->lookNow();
    EXPECT_EQ(back.texts(), (QStringList{u"arrived %1"_s.arg(typed), u"arrived %1"_s.arg(plain)}));
    ASSERT_EQ(back.logged.size(), 1) << back.logged.join(u'\n').toStdString();
    EXPECT_TRUE(back.logged.first().contains(u"\"next week\" is not a date"_s));
}

TEST_F(Watcher, SignalFilesDeletedRecreatedTruncatedOrLockedStillBringMessages)
{
    Started back(watch(ws2, u"back"_s));
    const QString temp = office.dataFolder() + u"TEMP/"_s;
    int expected = 0;
    auto sendOne = [&](const char* what) {
        SCOPED_TRACE(what);
        const qint32 id = sendToBob(QString::fromLatin1(what));
        ++expected;
        ASSERT_TRUE(back.waitFor(expected));
        EXPECT_EQ(back.last(), u"arrived %1"_s.arg(id));
    };
    sendOne("files as they are");
    for (const char* tag : {"CMCM", "CMEV", "CMBC"})
        QFile::remove(temp + QLatin1String(tag) + u".STA"_s);
    sendOne("files deleted and made again");
    QDir(temp).removeRecursively();
    sendOne("TEMP folder deleted and made again");
    for (const char* tag : {"CMCM", "CMEV", "CMBC"}) {
        QFile f(temp + QLatin1String(tag) + u".STA"_s);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    Told::settle(400); // a truncated file is a change: the look finds nothing new
    EXPECT_EQ(back.notices.size(), expected);
    sendOne("files truncated");

    // Another process holds a lock on the addressee signal: the header's signal still comes.
    const int fd = ::open(QFile::encodeName(temp + u"CMBC.STA"_s).constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    sendOne("CMBC locked");
    ::close(fd);
}

TEST_F(Watcher, ASignalFileThatIsALinkIsToldOnceAndTheOtherFilesStillBringMessages)
{
    const QString temp = office.dataFolder() + u"TEMP/"_s;
    ASSERT_TRUE(QDir().mkpath(temp));
    const QString outside = office.tempPath() + u"/outside"_s;
    const QByteArray content("a file outside the data folder");
    ASSERT_TRUE(writeFile(outside, content));
    ASSERT_TRUE(QFile::link(outside, temp + u"CMCM.STA"_s));
    Started back(watch(ws2, u"back"_s));
    for (int i = 1; i <= 2; ++i) {
        const qint32 id = sendToBob(u"Linked %1"_s.arg(i));
        ASSERT_TRUE(back.waitFor(i));
        EXPECT_EQ(back.last(), u"arrived %1"_s.arg(id));
    }
    ASSERT_EQ(back.logged.size(), 1) << back.logged.join(u'\n').toStdString();
    EXPECT_TRUE(back.logged.first().contains(u"CMCM.STA is a link"_s))
        << back.logged.first().toStdString();
    EXPECT_EQ(readAll(outside), content);
}

TEST_F(Watcher, TheDatabaseGoingAwayIsReportedOnceAndWhatCameMeanwhileToldOnce)
{
    auto atBack = watch(ws2, u"back"_s, Channel::Both);
    Told back(*atBack);
    QStringList connection;
    QObject::connect(atBack.get(), &OfficeWatcher::connectionLost,
                     [&](const QString&) { connection << u"lost"_s; });
    QObject::connect(atBack.get(), &OfficeWatcher::connectionRestored,
                     [&] { connection << u"restored"_s; });
    start(*atBack);

    // The back office's store goes away for a while: on SQLite its file, on PostgreSQL its
    // schema (the connections are cut and what comes back finds no tables).
    QString away, home;
    auto store = ws2->messageStoreConnection();
    if (office.usingPostgres()) {
        home = office.scalar(u"SELECT current_schema()"_s).toString();
        away = home + u"_away"_s;
        office.exec(u"ALTER SCHEMA "_s + home + u" RENAME TO "_s + away);
        office.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                   "WHERE application_name = ?"),
                    {u"tzsndmsg-watcher-%1"_s.arg(QCoreApplication::applicationPid())});
    } else {
        home = office.tempPath() + u"/office.db"_s;
        away = home + u".away"_s;
        ASSERT_TRUE(QFile::rename(home, away));
    }
    tzsndmsg::db::Internals::handle(*store).close();
    atBack->lookNow();
    waitUntil([&] { return !connection.isEmpty(); }, 5000);
    ASSERT_EQ(connection, QStringList{u"lost"_s});
    EXPECT_FALSE(atBack->isConnected());

    Told::settle(1500); // several tries, each failing
    EXPECT_EQ(connection, QStringList{u"lost"_s}) << "the outage is reported once";

    // Back again; a message was sent meanwhile (through the front desk's own connection).
    if (office.usingPostgres())
        office.exec(u"ALTER SCHEMA "_s + away + u" RENAME TO "_s + home);
    else
        ASSERT_TRUE(QFile::rename(away, home));
    const qint32 id = sendToBob(u"During the outage"_s);
    ASSERT_TRUE(back.waitFor(1, 8000));
    EXPECT_EQ(connection, (QStringList{"lost", "restored"}));
    Told::settle(600);
    EXPECT_EQ(back.texts(), QStringList{u"arrived %1"_s.arg(id)});
    EXPECT_TRUE(atBack->isConnected());
}

} // namespace
