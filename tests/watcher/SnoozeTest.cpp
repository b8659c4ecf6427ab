// A snoozed message told again by every watcher of the login at that computer: at its moment on
// the services' clock, once per snooze, across restarts, and not when confirmed or gone.
#include "WatcherFixture.h"
#include "core/FileSystemHelpers.h"
#include "core/Snoozes.h"
#include "tzsndmsg/Confirmations.h"

#include <QFile>
#include <optional>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QDateTime kMorning(QDate(2026, 12, 7), QTime(10, 0));

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

} // namespace
