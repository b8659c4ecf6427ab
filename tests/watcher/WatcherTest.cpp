// The office watcher on a real store, two workstations at once: what each is told, when, and
// never twice.
#include "WatcherFixture.h"
#include "core/MessageWrite.h"
#include "db/Internals.h"
#include "tzsndmsg/db/Database.h"
#include "watcher/WatcherInternals.h"

#include <QDir>
#include <QFile>
#include <sys/file.h>
#include <unistd.h>

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
        auto w = std::make_unique<OfficeWatcher>(services, options(name, channel));
        return w;
    }
    static void start(OfficeWatcher& w)
    {
        QString error;
        ASSERT_TRUE(w.start(&error)) << error.toStdString();
    }
};

TEST_F(Watcher, TwoWorkstationsHearEachOtherThroughTheSignalFiles)
{
    auto atFront = watch(ws1, QStringLiteral("front"));
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told front(*atFront), back(*atBack);
    start(*atFront);
    start(*atBack);
    EXPECT_TRUE(front.notices.isEmpty() && back.notices.isEmpty())
        << "an empty office tells nothing";

    const qint32 toBack = send(
        *ws1, message(*ws1, anna, QStringLiteral("Room 2 autoclave"), QString::number(bob) + u','));
    ASSERT_TRUE(back.waitFor(1));
    EXPECT_EQ(back.texts(), QStringList{QStringLiteral("arrived %1").arg(toBack)});
    const OfficeNotice& n = back.notices.first();
    EXPECT_EQ(n.sender, QStringLiteral("FRONT"));
    EXPECT_EQ(n.senderName, QStringLiteral("Anna Front"));
    EXPECT_EQ(n.subject, QStringLiteral("Room 2 autoclave"));
    EXPECT_FALSE(n.late);
    EXPECT_EQ(back.counts.last(), 1);

    // A message to the person and to her computer is told once, with both rows; her inbox
    // lists (and counts) it twice.
    const qint32 toFront =
        send(*ws2, message(*ws2, bob, QStringLiteral("Thanks"), QString::number(anna) + u',',
                           QStringLiteral("WS1\n")));
    ASSERT_TRUE(front.waitFor(1));
    Told::settle();
    EXPECT_EQ(front.texts(), QStringList{QStringLiteral("arrived %1").arg(toFront)});
    const QList<qint32> rows = front.notices[0].rows;
    ASSERT_EQ(rows.size(), 2);
    EXPECT_LT(rows[0], rows[1]);
    EXPECT_EQ(front.notices[0].BroChkID, rows[0]);
    EXPECT_EQ(back.notices.size(), 1) << "the sender is not told of his own message";
    EXPECT_EQ(front.counts.last(), 2);
}

TEST_F(Watcher, PostgresNoticesAloneBringAMessageWithOneStatement)
{
    TZ_POSTGRES_ONLY(office);
    auto atBack = watch(ws2, QStringLiteral("back"), Channel::Notices);
    Told back(*atBack);
    start(*atBack);
    ASSERT_TRUE(atBack->isListening());

    Told::settle(300);
    const quint64 idle = WatcherInternals::statementsRun(*atBack);
    Told::settle(600);
    EXPECT_EQ(WatcherInternals::statementsRun(*atBack), idle)
        << "an idle watcher runs no statement";

    const qint32 id =
        send(*ws1, message(*ws1, anna, QStringLiteral("Lunch"), QString::number(bob) + u','));
    ASSERT_TRUE(back.waitFor(1));
    EXPECT_EQ(back.last(), QStringLiteral("arrived %1").arg(id));
    Told::settle(200);
    EXPECT_EQ(WatcherInternals::statementsRun(*atBack), idle + 1) << "one statement per change";

    // One connection: the notices are heard on the store's, the one a window of the tray saves
    // through; a notice that arrives while a statement runs on it is heard after the statement.
    auto store = ws2->messageStoreConnection();
    EXPECT_EQ(store->scalar(QStringLiteral("SELECT count(*) FROM pg_listening_channels()")).toInt(),
              1);
    EXPECT_EQ(
        store
            ->scalar(
                QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE "
                               "application_name = ? AND pid <> pg_backend_pid()"),
                {QStringLiteral("tzsndmsg-watcher-%1").arg(QCoreApplication::applicationPid())})
            .toInt(),
        0);
    const qint32 own =
        send(*ws2, message(*ws2, anna, QStringLiteral("Saved here"), QString::number(bob) + u','));
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

TEST_F(Watcher, SignalFilesBringAMessageWithOneStatementAndNoneWhileIdle)
{
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told back(*atBack);
    start(*atBack);
    Told::settle(300);
    const quint64 idle = WatcherInternals::statementsRun(*atBack);
    Told::settle(700); // the signal files are looked at meanwhile
    EXPECT_EQ(WatcherInternals::statementsRun(*atBack), idle);

    send(*ws1, message(*ws1, anna, QStringLiteral("Lunch"), QString::number(bob) + u','));
    ASSERT_TRUE(back.waitFor(1));
    Told::settle(500);
    EXPECT_EQ(WatcherInternals::statementsRun(*atBack), idle + 1);
}

TEST_F(Watcher, ConfirmingChangesTheUnreadCount)
{
    auto atBack = watch(ws2, QStringLiteral("back"), Channel::Both);
    Told back(*atBack);
    start(*atBack);
    send(*ws1, message(*ws1, anna, QStringLiteral("One"), QString::number(bob) + u','));
    send(*ws1, message(*ws1, anna, QStringLiteral("Two"), QString::number(bob) + u','));
    ASSERT_TRUE(back.waitFor(2));
    Told::settle(200);
    ASSERT_EQ(atBack->unreadCount(), 2);

    const core::Confirmation done = core::confirmAddressee(*ws2, back.notices[0].BroChkID, bob);
    ASSERT_TRUE(done.written) << done.error.toStdString();
    QElapsedTimer clock;
    clock.start();
    while (atBack->unreadCount() != 1 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(atBack->unreadCount(), 1);
    EXPECT_EQ(back.notices.size(), 2) << "a confirmation is no new message";
}

TEST_F(Watcher, StartsRemindersAndRepeatsAtTheirMomentsOnAnAdvancedClock)
{
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told back(*atBack);
    start(*atBack);

    // Starts at 10:30, again every day for 2 more times; a reminder at 11:00.
    core::OutgoingMessage m =
        message(*ws1, anna, QStringLiteral("Autoclave check"), QString::number(bob) + u',');
    m.EvBroStaTim = QStringLiteral("10:30 am");
    m.EvBroReaFla = true;
    m.EvBroReaEve = 1;
    m.EvBroReaTyp = 1;
    m.EvBroNumOfTim = 2;
    m.reminder =
        *core::freeReminderColumns(QStringLiteral("12/07/2026"), QStringLiteral("11:00 am"));
    const qint32 id = send(*ws1, m);
    atBack->lookNow();
    EXPECT_TRUE(back.notices.isEmpty()) << "told when it starts, not when it is saved";

    struct Step {
        QDateTime now;
        QStringList told; // all told so far
    } steps[] = {
        {QDateTime(QDate(2026, 12, 7), QTime(10, 29, 59)), {}},
        {QDateTime(QDate(2026, 12, 7), QTime(10, 30)), {QStringLiteral("started %1")}},
        {QDateTime(QDate(2026, 12, 7), QTime(10, 59)), {QStringLiteral("started %1")}},
        {QDateTime(QDate(2026, 12, 7), QTime(11, 0)),
         {QStringLiteral("started %1"), QStringLiteral("reminder %1")}},
        {QDateTime(QDate(2026, 12, 8), QTime(10, 30)),
         {QStringLiteral("started %1"), QStringLiteral("reminder %1"),
          QStringLiteral("repeated %1")}},
        // Two days on: the last repeat, then no more.
        {QDateTime(QDate(2026, 12, 12), QTime(9, 0)),
         {QStringLiteral("started %1"), QStringLiteral("reminder %1"),
          QStringLiteral("repeated %1"), QStringLiteral("repeated %1")}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.now.toString(Qt::ISODate).toStdString());
        setNow(step.now);
        atBack->clockChanged();
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
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told back(*atBack);
    start(*atBack);
    core::OutgoingMessage later =
        message(*ws1, anna, QStringLiteral("At eleven"), QString::number(bob) + u',');
    later.EvBroStaTim = QStringLiteral("11:00 am");
    const qint32 deleted = send(*ws1, later);
    const qint32 purged = send(*ws1, later);
    const qint32 kept = send(*ws1, later);
    atBack->lookNow();
    ASSERT_TRUE(back.notices.isEmpty());
    EXPECT_EQ(atBack->unreadCount(), 0) << "not counted before its start";

    office.exec(QStringLiteral("delete from BroChkTable where BroChkLinID=?"), {deleted});
    office.exec(QStringLiteral("delete from EvTable where EvLinID=?"), {deleted});
    office.exec(QStringLiteral("delete from CMTable where cmID=?"), {deleted});
    office.exec(QStringLiteral("update CMTable set CMPurFla=256 where cmID=?"), {purged});
    setNow(QDateTime(kMorning.date(), QTime(11, 0)));
    atBack->clockChanged();
    EXPECT_EQ(back.texts(), QStringList{QStringLiteral("started %1").arg(kept)});
    EXPECT_EQ(atBack->unreadCount(), 1);
}

TEST_F(Watcher, AClockSetBackOrForwardTellsEachMomentOnce)
{
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told back(*atBack);
    start(*atBack);
    core::OutgoingMessage m =
        message(*ws1, anna, QStringLiteral("Call the lab"), QString::number(bob) + u',');
    m.reminder =
        *core::freeReminderColumns(QStringLiteral("12/07/2026"), QStringLiteral("11:00 am"));
    const qint32 id = send(*ws1, m);
    atBack->lookNow();
    ASSERT_EQ(back.texts(), QStringList{QStringLiteral("arrived %1").arg(id)});

    const QTime times[] = {QTime(12, 0), QTime(9, 0), QTime(11, 30), QTime(13, 0)};
    for (const QTime& t : times) {
        setNow(QDateTime(kMorning.date(), t));
        atBack->clockChanged();
    }
    EXPECT_EQ(back.texts(), (QStringList{QStringLiteral("arrived %1").arg(id),
                                         QStringLiteral("reminder %1").arg(id)}));
    EXPECT_TRUE(back.notices.last().late) << "told at noon for 11:00";
}

TEST_F(Watcher, NothingIsToldTwiceAcrossARestartAndWhatCameMeanwhileOnce)
{
    const qint32 first =
        send(*ws1, message(*ws1, anna, QStringLiteral("Before"), QString::number(bob) + u','));
    {
        auto atBack = watch(ws2, QStringLiteral("back"));
        Told back(*atBack);
        start(*atBack);
        EXPECT_EQ(back.texts(), QStringList{QStringLiteral("arrived %1").arg(first)})
            << "the first start tells the unread messages";
    }
    // While the workstation is off: a message now, one set to start at 11:00, one deleted
    // before its start.
    const qint32 now =
        send(*ws1, message(*ws1, anna, QStringLiteral("Meanwhile"), QString::number(bob) + u','));
    core::OutgoingMessage later =
        message(*ws1, anna, QStringLiteral("At eleven"), QString::number(bob) + u',');
    later.EvBroStaTim = QStringLiteral("11:00 am");
    const qint32 atEleven = send(*ws1, later);
    later.CMSubjec = QStringLiteral("Withdrawn");
    const qint32 withdrawn = send(*ws1, later);
    {
        auto atBack = watch(ws2, QStringLiteral("back"));
        Told back(*atBack);
        start(*atBack);
        EXPECT_EQ(back.texts(), QStringList{QStringLiteral("arrived %1").arg(now)});
        office.exec(QStringLiteral("delete from BroChkTable where BroChkLinID=?"), {withdrawn});
        office.exec(QStringLiteral("delete from EvTable where EvLinID=?"), {withdrawn});
        office.exec(QStringLiteral("delete from CMTable where cmID=?"), {withdrawn});
    }
    setNow(QDateTime(kMorning.date(), QTime(12, 0)));
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        auto atBack = watch(ws2, QStringLiteral("back"));
        Told back(*atBack);
        start(*atBack);
        const QStringList expected =
            run == 0 ? QStringList{QStringLiteral("started %1").arg(atEleven)} : QStringList{};
        EXPECT_EQ(back.texts(), expected);
        if (run == 0 && !back.notices.isEmpty()) {
            EXPECT_TRUE(back.notices.first().late);
        }
    }
}

TEST_F(Watcher, ASecondWatcherOfTheSameStateDoesNotStart)
{
    auto one = watch(ws2, QStringLiteral("back"));
    auto two = watch(ws2, QStringLiteral("back"));
    start(*one);
    QString error;
    EXPECT_FALSE(two->start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("another watcher"))) << error.toStdString();
}

TEST_F(Watcher, AReminderDateThatIsNotADateIsSkippedAndLoggedOnce)
{
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told back(*atBack);
    start(*atBack);
    core::OutgoingMessage m =
        message(*ws1, anna, QStringLiteral("Typed"), QString::number(bob) + u',');
    m.reminder = {QStringLiteral("-1"), QStringLiteral("-1"), QStringLiteral("next week"),
                  QStringLiteral("9:00 am")};
    const qint32 typed = send(*ws1, m);
    const qint32 plain =
        send(*ws1, message(*ws1, anna, QStringLiteral("Plain"), QString::number(bob) + u','));
    atBack->lookNow();
    atBack->lookNow();
    EXPECT_EQ(back.texts(), (QStringList{QStringLiteral("arrived %1").arg(typed),
                                         QStringLiteral("arrived %1").arg(plain)}));
    ASSERT_EQ(back.logged.size(), 1) << back.logged.join(u'\n').toStdString();
    EXPECT_TRUE(back.logged.first().contains(QStringLiteral("\"next week\" is not a date")));
}

TEST_F(Watcher, SignalFilesDeletedRecreatedTruncatedOrLockedStillBringMessages)
{
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told back(*atBack);
    start(*atBack);
    const QString temp = office.dataFolder() + QStringLiteral("TEMP/");
    int expected = 0;
    auto sendOne = [&](const char* what) {
        SCOPED_TRACE(what);
        const qint32 id =
            send(*ws1, message(*ws1, anna, QString::fromLatin1(what), QString::number(bob) + u','));
        ++expected;
        ASSERT_TRUE(back.waitFor(expected));
        EXPECT_EQ(back.last(), QStringLiteral("arrived %1").arg(id));
    };
    sendOne("files as they are");
    for (const char* tag : {"CMCM", "CMEV", "CMBC"})
        QFile::remove(temp + QLatin1String(tag) + QStringLiteral(".STA"));
    sendOne("files deleted and made again");
    QDir(temp).removeRecursively();
    sendOne("TEMP folder deleted and made again");
    for (const char* tag : {"CMCM", "CMEV", "CMBC"}) {
        QFile f(temp + QLatin1String(tag) + QStringLiteral(".STA"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    Told::settle(400); // a truncated file is a change: the look finds nothing new
    EXPECT_EQ(back.notices.size(), expected);
    sendOne("files truncated");

    // Another process holds a lock on the addressee signal: the header's signal still comes.
    const int fd = ::open(QFile::encodeName(temp + QStringLiteral("CMBC.STA")).constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    sendOne("CMBC locked");
    ::close(fd);
}

TEST_F(Watcher, ASignalFileThatIsALinkIsToldOnceAndTheOtherFilesStillBringMessages)
{
    const QString temp = office.dataFolder() + QStringLiteral("TEMP/");
    ASSERT_TRUE(QDir().mkpath(temp));
    const QString outside = office.tempPath() + QStringLiteral("/outside");
    const QByteArray content("a file outside the data folder");
    {
        QFile f(outside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    ASSERT_TRUE(QFile::link(outside, temp + QStringLiteral("CMCM.STA")));
    auto atBack = watch(ws2, QStringLiteral("back"));
    Told back(*atBack);
    start(*atBack);
    for (int i = 1; i <= 2; ++i) {
        const qint32 id = send(*ws1, message(*ws1, anna, QStringLiteral("Linked %1").arg(i),
                                             QString::number(bob) + u','));
        ASSERT_TRUE(back.waitFor(i));
        EXPECT_EQ(back.last(), QStringLiteral("arrived %1").arg(id));
    }
    ASSERT_EQ(back.logged.size(), 1) << back.logged.join(u'\n').toStdString();
    EXPECT_TRUE(back.logged.first().contains(QStringLiteral("CMCM.STA is a link")))
        << back.logged.first().toStdString();
    QFile f(outside);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), content);
}

TEST_F(Watcher, TheDatabaseGoingAwayIsReportedOnceAndWhatCameMeanwhileToldOnce)
{
    auto atBack = watch(ws2, QStringLiteral("back"), Channel::Both);
    Told back(*atBack);
    QStringList connection;
    QObject::connect(atBack.get(), &OfficeWatcher::connectionLost,
                     [&](const QString&) { connection << QStringLiteral("lost"); });
    QObject::connect(atBack.get(), &OfficeWatcher::connectionRestored,
                     [&] { connection << QStringLiteral("restored"); });
    start(*atBack);

    // The back office's store goes away for a while: on SQLite its file, on PostgreSQL its
    // schema (the connections are cut and what comes back finds no tables).
    QString away, home;
    auto store = ws2->messageStoreConnection();
    if (office.usingPostgres()) {
        home = office.scalar(QStringLiteral("SELECT current_schema()")).toString();
        away = home + QStringLiteral("_away");
        office.exec(QStringLiteral("ALTER SCHEMA ") + home + QStringLiteral(" RENAME TO ") + away);
        office.exec(
            QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                           "WHERE application_name = ?"),
            {QStringLiteral("tzsndmsg-watcher-%1").arg(QCoreApplication::applicationPid())});
    } else {
        home = office.tempPath() + QStringLiteral("/office.db");
        away = home + QStringLiteral(".away");
        ASSERT_TRUE(QFile::rename(home, away));
    }
    tzsndmsg::db::Internals::handle(*store).close();
    atBack->lookNow();
    QElapsedTimer clock;
    clock.start();
    while (connection.isEmpty() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(connection, QStringList{QStringLiteral("lost")});
    EXPECT_FALSE(atBack->isConnected());

    Told::settle(1500); // several tries, each failing
    EXPECT_EQ(connection, QStringList{QStringLiteral("lost")}) << "the outage is reported once";

    // Back again; a message was sent meanwhile (through the front desk's own connection).
    if (office.usingPostgres())
        office.exec(QStringLiteral("ALTER SCHEMA ") + away + QStringLiteral(" RENAME TO ") + home);
    else
        ASSERT_TRUE(QFile::rename(away, home));
    const qint32 id = send(*ws1, message(*ws1, anna, QStringLiteral("During the outage"),
                                         QString::number(bob) + u','));
    ASSERT_TRUE(back.waitFor(1, 8000));
    EXPECT_EQ(connection, (QStringList{QStringLiteral("lost"), QStringLiteral("restored")}));
    Told::settle(600);
    EXPECT_EQ(back.texts(), QStringList{QStringLiteral("arrived %1").arg(id)});
    EXPECT_TRUE(atBack->isConnected());
}

} // namespace
