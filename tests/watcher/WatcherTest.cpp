// The office watcher on a real store, two workstations at once: what each is told, when, and
// never twice.
#include "WatcherFixture.h"
#include "core/ChangeNotice.h"
#include "core/MessageWrite.h"
#include "core/Snoozes.h"
#include "db/Internals.h"
#include "support/Files.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/db/Database.h"
#include "watcher/StoreChanges.h"
#include "watcher/WatcherInternals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QUrl>
#include <functional>
#include <optional>
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

// What a window hears of the office's store while it is open: a save at another workstation,
// through the signal files or PostgreSQL's notices, with no statement while nothing changes.
using StoreChangesTest = TwoWorkstations;

TEST_F(StoreChangesTest, ASaveElsewhereIsHeardAndNothingRunsWhileIdle)
{
    struct Case {
        const char* name;
        int fileCheckMs;
        bool fileEvents;
        bool postgresOnly;
    } cases[] = {
        {"the signal files' events", 0, true, false},
        {"the look at the signal files of a folder without events", 200, false, false},
        {"PostgreSQL's notices alone (a data folder of its own)", 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.postgresOnly && !office.usingPostgres())
            continue; // SQLite sends no notices: its windows hear the signal files
        watcher::StoreChanges changes(ws2, c.fileCheckMs, c.fileEvents);
        ASSERT_TRUE(changes.start());
        EXPECT_EQ(changes.isListening(), office.usingPostgres());
        QSignalSpy heard(&changes, &watcher::StoreChanges::changed);
        Told::settle(300);
        const quint64 idle = db::Internals::statementsRun();
        Told::settle(600);
        EXPECT_EQ(db::Internals::statementsRun(), idle) << "no statement while idle";
        EXPECT_EQ(heard.size(), 0);

        sendToBob(u"Lunch"_s);
        EXPECT_TRUE(heard.wait(5000) || !heard.isEmpty());
    }
}

TEST_F(StoreChangesTest, WhatTheReaderAcknowledgedIsNoChange)
{
    if (office.usingPostgres())
        GTEST_SKIP() << "a save's notice comes whatever the files say; SQLite hears files only";
    watcher::StoreChanges changes(ws2, 200, true);
    ASSERT_TRUE(changes.start());
    QSignalSpy heard(&changes, &watcher::StoreChanges::changed);
    send(*ws2, message(*ws2, bob, u"Own"_s, QString::number(anna) + u','));
    changes.acknowledge(); // the window read its list again right after its own save
    Told::settle(600);
    EXPECT_EQ(heard.size(), 0);
}

TEST_F(StoreChangesTest, NoticesAreHeardAgainAfterTheListeningConnectionWasCut)
{
    if (!office.usingPostgres())
        GTEST_SKIP() << "SQLite has no listening connection to cut";
    watcher::StoreChanges changes(ws2, 0, false); // the notices alone
    ASSERT_TRUE(changes.start());
    ASSERT_TRUE(changes.isListening());
    QSignalSpy heard(&changes, &watcher::StoreChanges::changed);
    office.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                               "WHERE application_name = ?"),
                {u"tzsndmsg-watcher-%1"_s.arg(QCoreApplication::applicationPid())});
    ASSERT_TRUE(waitUntil([&] { return !changes.isListening(); }, 5000)) << "the cut is noticed";
    ASSERT_TRUE(waitUntil([&] { return changes.isListening(); }, 10000)) << "listening again";
    EXPECT_FALSE(heard.isEmpty()) << "what was saved meanwhile is to be read";

    heard.clear();
    sendToBob(u"After"_s);
    EXPECT_TRUE(heard.wait(5000) || !heard.isEmpty());
}

// A watcher in a signed-in office whose person's role goes away while it watches.
class SignedInWatcher : public TwoWorkstations {
protected:
    void SetUp() override
    {
        TZ_POSTGRES_ONLY(office) << ": database roles are PostgreSQL's; a SQLite office has none";
        QString error;
        ASSERT_TRUE(secureOffice(*office.db(), &error)) << error.toStdString();
        secured = true;
        ASSERT_TRUE(roleOfLogin(*office.db(), u"BACK"_s, role, &error)) << error.toStdString();
        QUrl url(office.databaseUrl());
        url.setUserName(role);
        tzglob::Config config = ws2->config();
        config.databaseUrl = url.toString();
        back = std::make_shared<tzglob::tzGlobal>(config);
        ASSERT_TRUE(back->open(&error)) << error.toStdString();
        ASSERT_EQ(back->currentLoginName(), u"BACK"_s);
    }

    void TearDown() override
    {
        back.reset();
        QString error;
        if (secured) {
            EXPECT_TRUE(unsecureOffice(*office.db(), &error)) << error.toStdString();
        }
    }

    bool secured = false;
    QString role;
    std::shared_ptr<tzglob::tzGlobal> back;
};

TEST_F(SignedInWatcher, ItsPersonsAndItsComputersArrivalsAreToldOnceAndNoOneElses)
{
    Started told(std::make_unique<OfficeWatcher>(back, options(u"back"_s, Channel::Both)));
    const qint32 toBob = sendToBob(u"Lunch"_s);
    send(*ws1, message(*ws1, anna, u"For Anna"_s, QString::number(anna) + u','));
    const qint32 toWs2 = send(*ws1, message(*ws1, anna, u"For the back desk"_s, {}, u"WS2\n"_s));
    ASSERT_TRUE(told.waitFor(2));
    Told::settle();
    EXPECT_EQ(told.texts(), (QStringList{u"arrived %1"_s.arg(toBob), u"arrived %1"_s.arg(toWs2)}));
    EXPECT_EQ(told.counts.value(told.counts.size() - 1), 2);
}

TEST_F(SignedInWatcher, ARoleDroppedWhileWatchingIsToldOnceAndNotAskedAgain)
{
    OfficeWatcher watcher(back, options(u"back"_s, Channel::Both));
    Told told(watcher);
    QStringList lost;
    int restored = 0;
    QObject::connect(&watcher, &OfficeWatcher::connectionLost,
                     [&](const QString& reason) { lost << reason; });
    QObject::connect(&watcher, &OfficeWatcher::connectionRestored, [&] { ++restored; });
    QString error;
    ASSERT_TRUE(watcher.start(&error)) << error.toStdString();
    ASSERT_TRUE(watcher.isConnected());

    office.exec(u"DROP ROLE \"%1\""_s.arg(role));
    watcher.lookNow();
    const auto saidSo = [&] {
        return (lost + told.logged).filter(u"can no longer sign in"_s).size();
    };
    waitUntil([&] { return saidSo() > 0; }, 5000);
    ASSERT_EQ(saidSo(), 1) << (lost + told.logged).join(u'\n').toStdString();
    EXPECT_TRUE((lost + told.logged)
                    .filter(u"can no longer sign in"_s)
                    .first()
                    .startsWith(u"BACK can no longer sign in"_s));
    EXPECT_LE(lost.size(), 1);
    EXPECT_FALSE(watcher.isConnected());

    // The pause between tries would be at most 400 ms: nothing more is said or tried, not even
    // once the role is back (the watcher is started again for that).
    Told::settle(1200);
    EXPECT_EQ(saidSo(), 1);
    ASSERT_TRUE(secureOffice(*office.db(), &error)) << error.toStdString();
    Told::settle(1000);
    EXPECT_EQ(restored, 0);
    EXPECT_LE(lost.size(), 1);
    EXPECT_EQ(saidSo(), 1);
    watcher.stop();
}

// A snoozed message told again by every watcher of the login at that computer: at its moment on
// the services' clock, once per snooze, across restarts, and not when confirmed or gone.
class Snooze : public TwoWorkstations {
protected:
    Snooze()
    {
        // The snoozes live beside the workstation's states.
        previous = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", home.path().toLocal8Bit());
        setNow(kMorning);
    }
    ~Snooze() override { qputenv("XDG_STATE_HOME", previous); }

    // Bob's watcher (BACK at WS2) of the state given.
    std::unique_ptr<OfficeWatcher> watcher(const QString& name)
    {
        return std::make_unique<OfficeWatcher>(ws2, options(name));
    }
    static QStringList snoozed(const Told& told) { return told.texts().filter(u"snoozed "_s); }
    void at(const QTime& time, std::initializer_list<const Started*> watchers)
    {
        setNow(QDateTime(kMorning.date(), time));
        for (const Started* w : watchers)
            (*w)->clockChanged();
    }

    QByteArray previous;
    QTemporaryDir home;
};

TEST_F(Snooze, ToldAgainAfterItsMinutesOnceAcrossARestartByTrayAndWatch)
{
    const qint32 cmId = sendToBob(u"Call Mrs Green"_s), row = rowOf(cmId);
    std::optional<Started> watch;
    watch.emplace(watcher(u"watch"_s));
    Started tray(watcher(u"tray"_s));
    ASSERT_EQ(watch->texts(), QStringList{u"arrived %1"_s.arg(cmId)});

    QString error;
    ASSERT_TRUE(snoozeReceivedMessage(*ws2, row, DefaultSnoozeMinutes, &error))
        << error.toStdString();
    Told::settle(100);
    at(QTime(10, 14, 59), {&*watch, &tray});
    EXPECT_TRUE(snoozed(*watch).isEmpty()) << "not before its 15 minutes";
    at(QTime(10, 15), {&*watch, &tray});
    const QStringList once{u"snoozed %1"_s.arg(cmId)};
    EXPECT_EQ(snoozed(*watch), once);
    EXPECT_EQ(snoozed(tray), once) << "every watcher of the login at the computer tells it";
    ASSERT_FALSE(watch->notices.isEmpty());
    EXPECT_EQ(watch->notices.last().BroChkID, row);
    EXPECT_EQ(watch->notices.last().due, QDateTime(kMorning.date(), QTime(10, 15)));
    at(QTime(10, 40), {&*watch, &tray});
    EXPECT_EQ(snoozed(*watch), once);

    // A second snooze, due while the watcher is stopped: told once when it starts again.
    ASSERT_TRUE(snoozeReceivedMessage(*ws2, row, 5, &error)) << error.toStdString();
    watch.reset();
    setNow(QDateTime(kMorning.date(), QTime(11, 0)));
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const Started again(watcher(u"watch"_s));
        EXPECT_EQ(snoozed(again).size(), run == 0 ? 1 : 0);
        if (run == 0 && !again.notices.isEmpty()) {
            EXPECT_TRUE(again.notices.last().late);
        }
    }
    // The other watcher, running all along, on its timer.
    tray->clockChanged();
    EXPECT_EQ(snoozed(tray).size(), 2);
}

TEST_F(Snooze, NotToldWhenConfirmedOrDeletedMeanwhile)
{
    const qint32 confirmed = rowOf(sendToBob(u"Confirmed"_s));
    const qint32 deletedId = sendToBob(u"Deleted"_s), deleted = rowOf(deletedId);
    const qint32 keptId = sendToBob(u"Kept"_s), kept = rowOf(keptId);
    const Started watch(watcher(u"watch"_s));
    for (qint32 row : {confirmed, deleted, kept}) {
        QString error;
        ASSERT_TRUE(snoozeReceivedMessage(*ws2, row, 10, &error)) << error.toStdString();
    }
    QString error;
    ASSERT_TRUE(confirmReceivedMessage(*ws2, confirmed, &error)) << error.toStdString();
    deleteMessage(deletedId);
    at(QTime(10, 10), {&watch});
    EXPECT_EQ(snoozed(watch), QStringList{u"snoozed %1"_s.arg(keptId)});
}

TEST_F(Snooze, ADamagedListIsLoggedOnceAndPutAsideByTheNextSnooze)
{
    const qint32 cmId = sendToBob(u"After the damage"_s), row = rowOf(cmId);
    const QString path =
        core::snoozeFilePath(u"BACK"_s, u"WS2"_s, ws2->messageStoreConnection()->url());
    ASSERT_TRUE(writeFile(path, "{\"version\": 1, \"snoozes\": ["));
    const Started watch(watcher(u"watch"_s));
    at(QTime(10, 1), {&watch});
    EXPECT_EQ(watch.logged.filter(u"not readable"_s).size(), 1)
        << watch.logged.join('\n').toStdString();

    QString error;
    ASSERT_TRUE(snoozeReceivedMessage(*ws2, row, 15, &error)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(path + u".damaged"_s));
    at(QTime(10, 16), {&watch});
    EXPECT_EQ(snoozed(watch), QStringList{u"snoozed %1"_s.arg(cmId)});
}

TEST_F(Snooze, AnotherPersonsConfirmedOrUnknownRowIsRefusedWithItsReason)
{
    const qint32 bobs = rowOf(sendToBob(u"For Bob"_s));
    const qint32 annas =
        rowOf(send(*ws2, message(*ws2, bob, u"For Anna"_s, QString::number(anna) + u',')));
    QString error;
    ASSERT_TRUE(confirmReceivedMessage(*ws2, bobs, &error)) << error.toStdString();
    EXPECT_EQ(readMark(bobs).toInt(), -1);

    // A message that the window saves to the notes after it is read stays for the window.
    core::OutgoingMessage notes = toBob(u"To the notes"_s);
    notes.cmDocAftDis = true;
    const qint32 notesRow = rowOf(send(*ws1, notes));

    struct Case {
        const char* name;
        bool snooze;
        qint32 row;
        int minutes;
        QString reason;
    } cases[] = {
        {"another person's row", false, annas, 15, u"addressed to someone else"_s},
        {"another person's row", true, annas, 15, u"addressed to someone else"_s},
        {"already confirmed", false, bobs, 15, u"already confirmed"_s},
        {"already confirmed", true, bobs, 15, u"already confirmed"_s},
        {"unknown row", true, 999999, 15, u"no message row 999999"_s},
        {"no minutes", true, notesRow, 0, u"1 to 1440 minutes"_s},
        {"needs the window", false, notesRow, 15, u"confirm it in the message window"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString why;
        const bool done = c.snooze ? snoozeReceivedMessage(*ws2, c.row, c.minutes, &why)
                                   : confirmReceivedMessage(*ws2, c.row, &why);
        EXPECT_FALSE(done);
        EXPECT_TRUE(why.contains(c.reason)) << why.toStdString();
    }
    EXPECT_TRUE(readMark(notesRow).isNull()) << "refused, so left unread";
    EXPECT_TRUE(readMark(annas).isNull());
}

// PostgreSQL's notices name whom a change is for: a watcher that is not among them reads
// nothing, and notices of the previous form, or too big to name everyone, still deliver.
TEST(ChangeNotice, PayloadsAndWhomTheyConcern)
{
    const QString named =
        core::changeNoticePayload(7, {0, 3, 4, 5, 9}, {u"ws1"_s, u"Front desk, left;2"_s});
    EXPECT_EQ(named, u"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1"_s);

    struct Case {
        const char* payload;
        qint32 cmId;
        qint32 person;
        const char* computer;
        bool concerns;
    } const cases[] = {
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 4, "WS9", true},
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 6, "ws1", true},
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 6, "Front desk, left;2", true},
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 6, "WS9", false},
        {"2;7;0;WS1", 7, 0, "WS9", false},         // a login without a person: its computer only
        {"123", 123, 6, "WS9", true},              // the previous form: everyone looks
        {"3;7;extra;fields;x", 0, 6, "WS9", true}, // a later form: everyone looks
        {"2;7;4-x;WS1", 7, 6, "WS9", true},        // damaged: everyone looks
        {"", 0, 6, "WS9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        const core::ChangeNotice n = core::parseChangeNotice(QString::fromLatin1(c.payload));
        EXPECT_EQ(n.cmId, c.cmId);
        EXPECT_EQ(n.concerns(c.person, QString::fromLatin1(c.computer)), c.concerns);
    }

    QSet<qint32> many;
    for (qint32 id = 1; id < 4000; id += 2)
        many.insert(id);
    EXPECT_TRUE(core::changeNoticePayload(7, many, {}).isEmpty()) << "over NOTIFY's 8000 bytes";
    for (qint32 id = 2; id < 4000; id += 2)
        many.insert(id);
    EXPECT_EQ(core::changeNoticePayload(7, many, {}), u"2;7;1-3999;"_s)
        << "a whole office's ids fit as a range";
}

class NoticeAddressees : public TwoWorkstations {
protected:
    NoticeAddressees() { setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 0))); }

    // A message to Anna, its row then given to Bob the way a workstation of the previous
    // version would write it, with the notice such a workstation sends.
    qint32 sendAsBefore()
    {
        const qint32 id =
            send(*ws1, message(*ws1, anna, u"As before"_s, QString::number(anna) + u','));
        office.exec(u"UPDATE BroChkTable SET BroChkPID=? WHERE BroChkLinID=?"_s, {bob, id});
        EXPECT_TRUE(core::notifyChange(*office.db(), id));
        return id;
    }
    // To Bob and to more computers than a notice can name.
    qint32 sendToManyComputers()
    {
        QString computers;
        for (int i = 0; i < 700; ++i)
            computers += u"EXAM-ROOM-%1\n"_s.arg(i, 3, 10, QLatin1Char('0'));
        return send(*ws1,
                    message(*ws1, anna, u"Everyone"_s, QString::number(bob) + u',', computers));
    }
};

TEST_F(NoticeAddressees, AWatcherNotAddressedRunsNoStatementAndOldOrOversizedNoticesDeliver)
{
    TZ_POSTGRES_ONLY(office); // SQLite's watchers hear the signal files, which name nobody
    Started back(std::make_unique<OfficeWatcher>(ws2, options(u"back"_s, Channel::Notices)));
    ASSERT_TRUE(back->isListening());

    struct Case {
        const char* what;
        std::function<qint32()> change;
        bool told; // a notice to Bob, with the one statement that reads it
    } const cases[] = {
        {"a message to another person",
         [&] { return send(*ws1, message(*ws1, anna, u"A"_s, QString::number(anna) + u',')); },
         false},
        {"a message to another computer",
         [&] { return send(*ws1, message(*ws1, anna, u"B"_s, QString(), u"WS1\n"_s)); }, false},
        {"a confirmation of another person's row",
         [&] {
             const qint32 id =
                 send(*ws1, message(*ws1, anna, u"C"_s, QString::number(anna) + u','));
             Told::settle(200);
             EXPECT_TRUE(core::confirmAddressee(*ws1, rowOf(id), anna).written);
             return 0;
         },
         false},
        {"a message to this computer",
         [&] { return send(*ws1, message(*ws1, anna, u"D"_s, QString(), u"WS2\n"_s)); }, true},
        {"a message to Bob from a workstation of the previous version",
         [&] { return sendAsBefore(); }, true},
        {"a message too big to name everyone in its notice", [&] { return sendToManyComputers(); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Told::settle(300);
        const qsizetype toldBefore = back.notices.size();
        const quint64 before = WatcherInternals::statementsRun(*back);
        const qint32 id = c.change();
        if (c.told) {
            ASSERT_TRUE(back.waitFor(int(toldBefore) + 1));
            EXPECT_EQ(back.last(), u"arrived %1"_s.arg(id));
        }
        Told::settle(400);
        EXPECT_EQ(back.notices.size(), toldBefore + (c.told ? 1 : 0));
        EXPECT_EQ(WatcherInternals::statementsRun(*back) - before, c.told ? 1u : 0u);
    }
}

} // namespace
