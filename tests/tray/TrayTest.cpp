// The tray of a workstation, driven offscreen as a person meets it: its window, its notification,
// its menu, and the message window that a click on a notification opens.
#include "NotificationPopup.h"
#include "TrayApp.h"
#include "core/Snoozes.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "support/Appearance.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowWalk.h"
#include "tzsndmsg/tzSndMsgCls.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "watcher/WatcherFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;
using tzsndmsg::app::NotificationPopup;
using tzsndmsg::app::TrayApp;

namespace {

// The tray of the back office (ws2, Bob) on Monday 7 December 2026, 10:00, in the small window a
// desktop without a system tray gets; Anna sends from the front desk (ws1).
class TrayFixture : public TwoWorkstations {
protected:
    TrayFixture() { setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 0))); }
    void TearDown() override { ui::MessageBox::setPrompter(nullptr); }
    FreshSharedState state; // before the offices go

    std::unique_ptr<app::TrayApp> startTray()
    {
        auto tray = std::make_unique<app::TrayApp>(ws2, options(u"tray"_s, Channel::Both),
                                                   app::TrayApp::Mode::Window);
        QString error;
        EXPECT_TRUE(tray->start(&error)) << error.toStdString();
        return tray;
    }

    // The tray's notice, once it tells the message given.
    app::NotificationPopup* noticeOf(app::TrayApp& tray, qint32 cmId)
    {
        app::NotificationPopup* popup = tray.popup();
        EXPECT_TRUE(waitUntil([&] { return popup->isVisible() && popup->notice().cmID == cmId; }));
        pump(5);
        return popup;
    }

    PrompterGuard boxes; // any box not expected fails the test
};

// The message window as the handler gets it: shown and active, grown into its full shape when
// it opens on the inbox.
tzSndMsgFrm& shown(QDialog& dialog, bool full)
{
    auto& window = static_cast<tzSndMsgFrm&>(dialog);
    window.show();
    window.activateWindow();
    waitUntil([&] { return !window.isLoading() && (!full || window.isFullWindow()); }, 5000);
    return window;
}

// Whatever dialog the handler gets, shown and then closed: its name.
int record(QDialog& dialog, QStringList& names)
{
    dialog.show();
    pump(5);
    names << dialog.objectName() +
                 (dialog.objectName() == QLatin1String("tzSndMsgFrm")
                      ? (static_cast<tzSndMsgFrm&>(dialog).isFullWindow() ? u" full"_s
                                                                          : u" compact"_s)
                      : QString());
    dialog.hide();
    return int(QDialog::Rejected);
}

class Tray : public TrayFixture {
protected:
    // Waits until the tray's own notification shows, at most ms.
    static bool popupShown(TrayApp& tray, int ms = 5000)
    {
        return waitUntil([&] { return tray.popup()->isVisible(); }, ms);
    }
    static void clickPopup(TrayApp& tray)
    {
        QTest::mouseClick(tray.popup(), Qt::LeftButton, {}, tray.popup()->rect().center());
    }
};

// What the message window showed when the click opened it.
struct Opened {
    QString subject;
    bool confirmPanel = false;
    qint32 row = -1;
};
Opened openedBy(const std::function<void()>& click)
{
    Opened opened;
    ModalScript script;
    script.then([&](QDialog& dialog) {
        tzSndMsgFrm& window = shown(dialog, true);
        opened = {control<QLineEdit>(&window, "txtSubject")->text(),
                  control<QWidget>(&window, "PicConfirm")->isVisible(), window.currentBroChkID()};
        window.hide();
        return int(QDialog::Rejected);
    });
    click();
    return opened;
}

QStringList entries(QMenu* menu)
{
    QStringList out;
    for (QAction* action : menu->actions())
        out << action->text().section(u"   "_s, 1);
    return out;
}

TEST_F(Tray, AnArrivalIsNotifiedAndItsClickOpensTheMessageReadyToConfirm)
{
    auto tray = startTray();
    ASSERT_NE(tray->window(), nullptr);
    EXPECT_TRUE(tray->window()->isVisible());
    auto* unread = control<QLabel>(tray->window(), u"lblUnread"_s);
    EXPECT_EQ(unread->text(), u"No unread messages"_s);

    const qint32 id = sendToBob(u"Room 2 autoclave"_s);
    NotificationPopup* popup = tray->popup();
    ASSERT_TRUE(popupShown(*tray));
    EXPECT_EQ(control<QLabel>(popup, u"lblTitle"_s)->text(), u"New message from Anna Front"_s);
    EXPECT_EQ(control<QLabel>(popup, u"lblSubject"_s)->text(), u"Room 2 autoclave"_s);
    EXPECT_EQ(popup->notice().cmID, id);
    Told::settle(100);
    EXPECT_EQ(unread->text(), u"1 unread"_s);

    const Opened opened = openedBy([&] { clickPopup(*tray); });
    EXPECT_EQ(opened.row, popup->notice().BroChkID);
    EXPECT_TRUE(opened.confirmPanel);
    EXPECT_EQ(opened.subject, u"Room 2 autoclave"_s);
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(Tray, TheMenuOpensEachWindowAndQuits)
{
    auto tray = startTray();
    QStringList names;
    {
        // Open Inbox as a person does: the window's menu button, then the entry.
        ModalScript script;
        script.then([&](QDialog& d) { return record(d, names); });
        auto* button = control<QToolButton>(tray->window(), u"cmdMenu"_s);
        QAction* inbox = tray->menu()->findChild<QAction*>(u"actInbox"_s);
        ASSERT_NE(inbox, nullptr);
        QTimer::singleShot(0, [&] {
            waitUntil([&] { return tray->menu()->isVisible(); }, 3000);
            QTest::mouseClick(tray->menu(), Qt::LeftButton, {},
                              tray->menu()->actionGeometry(inbox).center());
        });
        QTest::mouseClick(button, Qt::LeftButton);
        pump(5);
    }
    {
        ModalScript script;
        script.then([&](QDialog& d) { return record(d, names); })
            .then([&](QDialog& d) { return record(d, names); })
            .then([&](QDialog& d) { return record(d, names); });
        for (const char* action : {"actNewMessage", "actEvents", "actHolidays"})
            tray->menu()->findChild<QAction*>(QLatin1String(action))->trigger();
    }
    EXPECT_EQ(names, (QStringList{"tzSndMsgFrm full", "tzSndMsgFrm compact", "EMS_EventsFrm",
                                  "Ems_HolidayFrm"}));

    QSignalSpy quit(tray.get(), &TrayApp::quitRequested);
    tray->menu()->findChild<QAction*>(u"actQuit"_s)->trigger();
    EXPECT_EQ(quit.size(), 1);
}

TEST_F(Tray, TheMessageWindowOpensOnAReceivedMessageOfAnyCategoryOrOnTheInbox)
{
    // An "Events" message is listed only in the inbox of every category.
    core::OutgoingMessage m = toBob(u"Fire drill"_s);
    m.cmCat = u"Events"_s;
    send(*ws1, m);
    sendToBob(u"Later one"_s);
    const qint32 row = office.scalar(u"select min(BroChkID) from BroChkTable"_s).toInt();

    struct Case {
        const char* name;
        qint32 row;
        const char* subject;
    } cases[] = {{"the Events message", row, "Fire drill"},
                 {"a row no longer there: the inbox's last row", 999999, "Later one"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tzSndMsgCls messages;
        messages.setGIC(ws2);
        const Opened opened = openedBy([&] { messages.Message_ShowReceived(c.row); });
        EXPECT_FALSE(messages.MsgHisOn()) << "left as it was";
        EXPECT_EQ(opened.subject, QString::fromLatin1(c.subject));
        EXPECT_TRUE(opened.confirmPanel);
    }
}

TEST_F(Tray, QuittingEndsAnOpenWindowWithoutAQuestionAndSavesNothing)
{
    auto tray = startTray();
    bool typed = false;
    {
        ModalScript script;
        script.then([&](QDialog& dialog) {
            tzSndMsgFrm& window = shown(dialog, false);
            control<QPlainTextEdit>(&window, "txtMsg")->setFocus();
            QTest::keyClicks(control<QPlainTextEdit>(&window, "txtMsg"), u"Half written"_s);
            typed = window.hasUnsavedChanges();
            // What SIGTERM does to the tray: every event loop ends, the window's too.
            QTimer::singleShot(50, qApp, [] { QCoreApplication::exit(0); });
            return dialog.exec();
        });
        tray->menu()->findChild<QAction*>(u"actNewMessage"_s)->trigger();
    }
    EXPECT_TRUE(typed);
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
    // The application's own loop resets what quitting left behind for the next test.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(Tray, RecentKeepsTheDaysNoticesNewestFirstEachOpeningItsMessage)
{
    auto tray = startTray();
    EXPECT_EQ(entries(tray->recentMenu()), QStringList{QString()})
        << "one disabled line: none today";
    sendToBob(u"Room 2 autoclave"_s);
    ASSERT_TRUE(popupShown(*tray));
    tray->popup()->hide();
    setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 5)));
    sendToBob(u"Lunch & learn"_s);
    ASSERT_TRUE(popupShown(*tray));
    tray->popup()->hide();

    QMenu* recent = tray->recentMenu();
    EXPECT_EQ(entries(recent),
              (QStringList{"Anna Front: Lunch && learn", "Anna Front: Room 2 autoclave"}));
    EXPECT_TRUE(recent->actions().first()->text().startsWith(u"10:05 am"_s));
    // The older one, clicked as a person does: the window opens on it, the popup long gone.
    EXPECT_EQ(openedBy([&] {
                  recent->actions().last()->trigger();
                  pump(5);
              }).subject,
              u"Room 2 autoclave"_s);

    // The next day Recent starts empty.
    setNow(QDateTime(QDate(2026, 12, 8), QTime(8, 0)));
    emit recent->aboutToShow();
    EXPECT_TRUE(tray->recent().isEmpty());
    ASSERT_EQ(recent->actions().size(), 1);
    EXPECT_FALSE(recent->actions().first()->isEnabled());
}

TEST_F(Tray, ManyArrivalsAtOnceAreOneSummaryThatOpensTheInbox)
{
    for (int i = 1; i <= 40; ++i)
        sendToBob(u"Chart %1"_s.arg(i));
    auto tray =
        std::make_unique<TrayApp>(ws2, options(u"tray"_s, Channel::Both), TrayApp::Mode::Window);
    QSignalSpy single(tray.get(), &TrayApp::notified);
    QSignalSpy summaries(tray.get(), &TrayApp::summarized);
    QString error;
    ASSERT_TRUE(tray->start(&error)) << error.toStdString();
    ASSERT_TRUE(popupShown(*tray));
    Told::settle(2 * TrayApp::kGatherMs);
    EXPECT_EQ(single.size(), 0);
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_EQ(summaries.first().at(1).toInt(), 40);
    NotificationPopup* popup = tray->popup();
    EXPECT_EQ(control<QLabel>(popup, u"lblTitle"_s)->text(), u"40 new messages"_s);
    EXPECT_EQ(control<QLabel>(popup, u"lblSubject"_s)->text(), u"Anna Front: Chart 40"_s);
    EXPECT_TRUE(control<QLabel>(popup, u"lblText"_s)->text().endsWith(u"and 37 more"_s));
    EXPECT_EQ(tray->recent().size(), TrayApp::kRecentCap);
    EXPECT_EQ(tray->recent().first().subject, u"Chart 40"_s);
    // The inbox, on its newest row: no one message of the forty.
    EXPECT_EQ(popup->notice().BroChkID, 0);
    EXPECT_EQ(openedBy([&] { clickPopup(*tray); }).subject, u"Chart 40"_s);
}

// A summary goes after its time, unless one of its messages needs confirmation.
TEST_F(Tray, ASummaryHoldingAMessageThatNeedsConfirmationStays)
{
    for (const bool needs : {false, true}) {
        SCOPED_TRACE(needs ? "one needs confirmation" : "plain");
        const QString tag = needs ? u"needs"_s : u"plain"_s;
        sendToBob(u"Chart A "_s + tag);
        core::OutgoingMessage m = toBob(u"Chart B "_s + tag);
        m.CMNeeCom = needs;
        send(*ws1, m);
        auto tray = std::make_unique<TrayApp>(ws2, options(u"tray-"_s + tag, Channel::Both),
                                              TrayApp::Mode::Window);
        tray->popup()->setTimeout(300); // stands for its 20 s
        QSignalSpy summaries(tray.get(), &TrayApp::summarized);
        QString error;
        ASSERT_TRUE(tray->start(&error)) << error.toStdString();
        ASSERT_TRUE(popupShown(*tray));
        Told::settle(2 * TrayApp::kGatherMs + 700);
        EXPECT_GE(summaries.size(), 1);
        EXPECT_EQ(tray->popup()->isVisible(), needs);
        // What this round sent is read, so the next round's start tells only its own.
        ws1->messageStoreConnection()->exec(u"UPDATE BroChkTable SET BroChkDonDis = -1"_s);
    }
}

// A notice that needs confirmation stays until acted on: later notices wait their turn behind
// it instead of replacing it, and each shows once the one before is acted on.
TEST_F(Tray, ANoticeThatNeedsConfirmationIsNeverReplaced)
{
    auto tray = startTray();
    NotificationPopup* popup = tray->popup();
    popup->setTimeout(300); // stands for its 20 s
    core::OutgoingMessage first = toBob(u"First to confirm"_s);
    first.CMNeeCom = true;
    const qint32 firstId = send(*ws1, first);
    noticeOf(*tray, firstId);
    Told::settle(TrayApp::kGatherMs + 400); // the next ones come on their own
    core::OutgoingMessage second = toBob(u"Second to confirm"_s);
    second.CMNeeCom = true;
    const qint32 secondId = send(*ws1, second);
    Told::settle(TrayApp::kGatherMs + 400);
    const qint32 plainId = sendToBob(u"Plain"_s);
    Told::settle(TrayApp::kGatherMs + 1000); // past the plain notice's own time
    EXPECT_EQ(popup->notice().cmID, firstId);
    EXPECT_TRUE(popup->isVisible());
    // Confirmed: the next one that needs confirmation shows and stays; then the plain one.
    QTest::mouseClick(control<QPushButton>(popup, u"cmdConfirm"_s), Qt::LeftButton);
    noticeOf(*tray, secondId);
    Told::settle(1000);
    EXPECT_EQ(popup->notice().cmID, secondId);
    QTest::keyClick(popup, Qt::Key_Escape);
    noticeOf(*tray, plainId);
}

// What quiet time held back is told when the tray starts again (the person logged out in Do
// Not Disturb): the watcher had told it already.
TEST_F(Tray, WhatQuietTimeHeldIsToldWhenTheTrayStartsAgain)
{
    QString held;
    {
        auto tray = startTray();
        tray->setDoNotDisturb(true);
        Told told(*tray->watcher());
        sendToBob(u"Held while away"_s);
        ASSERT_TRUE(told.waitFor(1));
        Told::settle(TrayApp::kGatherMs + 300);
        EXPECT_FALSE(tray->popup()->isVisible());
        EXPECT_EQ(tray->heldBack(), 1);
        held = tray->watcher()->stateFile() + u".held"_s;
        EXPECT_TRUE(QFile::exists(held));
    }
    auto tray = startTray();
    ASSERT_TRUE(popupShown(*tray));
    EXPECT_EQ(tray->popup()->notice().subject, u"Held while away"_s);
    EXPECT_EQ(tray->heldBack(), 0);
    EXPECT_FALSE(QFile::exists(held));
}

TEST_F(Tray, AMessageThatNeedsConfirmationCountsUntilItIsConfirmed)
{
    auto tray = startTray();
    core::OutgoingMessage m = toBob(u"Sign the rota"_s);
    m.CMNeeCom = true;
    send(*ws1, m);
    ASSERT_TRUE(popupShown(*tray));
    NotificationPopup* popup = tray->popup();
    const OfficeNotice notice = popup->notice();
    // Read and closed without confirming: still counted.
    EXPECT_EQ(openedBy([&] { clickPopup(*tray); }).subject, u"Sign the rota"_s);
    Told::settle(300);
    EXPECT_EQ(tray->unreadCount(), 1);
    {
        ModalScript script;
        script.then([&](QDialog& dialog) {
            tzSndMsgFrm& window = shown(dialog, true);
            QTest::mouseClick(
                control<QCheckBox>(&window, "ConfirmChkYes"), Qt::LeftButton, {},
                QPoint(4, control<QCheckBox>(&window, "ConfirmChkYes")->height() / 2));
            QTest::mouseClick(control<QPushButton>(&window, "ConfirmCmdTo_2"), Qt::LeftButton);
            window.hide();
            return int(QDialog::Accepted);
        });
        tray->openNotice(notice);
    }
    Told::settle(300);
    EXPECT_EQ(tray->unreadCount(), 0) << "confirmed";
}

TEST_F(Tray, QuietTimeShowsNothingKeepsTheCountAndTellsWhatCameAsOneSummaryAfter)
{
    struct Case {
        const char* name;
        bool byMenu; // "Do not disturb" rather than the configured hours
    } cases[] = {{"quiet hours", false}, {"do not disturb", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        office.exec(u"delete from BroChkTable"_s);
        setNow(QDateTime(QDate(2026, 12, 7), QTime(c.byMenu ? 10 : 12, 30)));
        auto tray = startTray();
        QStringList rung;
        tray->setSound(u"beep"_s);
        tray->setSoundPlayer([&](const QString& sound) { rung << sound; });
        tray->setQuietHours(tzglob::WorkstationConfig::quietHours(u"12:00-13:00"_s));
        if (c.byMenu)
            tray->menu()->findChild<QAction*>(u"actDoNotDisturb"_s)->trigger();
        EXPECT_TRUE(tray->isQuiet());
        EXPECT_EQ(tray->doNotDisturb(), c.byMenu);
        QSignalSpy single(tray.get(), &TrayApp::notified);
        QSignalSpy summaries(tray.get(), &TrayApp::summarized);

        for (const char* subject : {"Autoclave", "Lunch", "Courier"}) {
            sendToBob(QLatin1String(subject));
            Told::settle(TrayApp::kGatherMs + 100);
        }
        Told::settle(300);
        EXPECT_FALSE(tray->popup()->isVisible());
        EXPECT_EQ(single.size() + summaries.size(), 0);
        EXPECT_TRUE(rung.isEmpty());
        EXPECT_EQ(tray->unreadCount(), 3) << "the count is kept";
        EXPECT_EQ(tray->heldBack(), 3);
        EXPECT_EQ(tray->recent().size(), 3) << "and Recent";

        tray->clockChanged();
        EXPECT_FALSE(tray->popup()->isVisible()) << "still quiet";
        if (c.byMenu) {
            tray->menu()->findChild<QAction*>(u"actDoNotDisturb"_s)->trigger();
        } else {
            setNow(QDateTime(QDate(2026, 12, 7), QTime(13, 0)));
            tray->clockChanged();
        }
        EXPECT_FALSE(tray->isQuiet());
        ASSERT_TRUE(popupShown(*tray, 1000));
        ASSERT_EQ(summaries.size(), 1);
        EXPECT_EQ(single.size(), 0);
        EXPECT_EQ(control<QLabel>(tray->popup(), u"lblTitle"_s)->text(), u"3 new messages"_s);
        EXPECT_EQ(rung, QStringList{u"beep"_s}) << "one sound for the summary";
        tray->clockChanged();
        EXPECT_EQ(summaries.size(), 1) << "told once";
        EXPECT_EQ(tray->heldBack(), 0);

        // Outside quiet time an arrival is shown and sounded at once.
        tray->popup()->hide();
        sendToBob(u"Afternoon"_s);
        ASSERT_TRUE(popupShown(*tray));
        EXPECT_EQ(single.size(), 1);
        EXPECT_EQ(rung.size(), 2);
    }
}

TEST_F(Tray, QuietHoursMayCrossMidnight)
{
    struct Case {
        const char* range;
        const char* time;
        bool quiet;
    } cases[] = {
        {"12:00-13:00", "12:00", true},  {"12:00-13:00", "12:59", true},
        {"12:00-13:00", "13:00", false}, {"12:00-13:00", "11:59", false},
        {"22:00-6:30", "23:15", true},   {"22:00-6:30", "3:00", true},
        {"22:00-6:30", "6:30", false},   {"22:00-6:30", "12:00", false},
        {"8:00-24:00", "23:59", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.range) + " at " + c.time);
        const auto hours = tzglob::WorkstationConfig::quietHours(QLatin1String(c.range));
        ASSERT_TRUE(hours.has_value());
        EXPECT_EQ(hours->contains(QTime::fromString(QLatin1String(c.time), u"H:mm"_s)), c.quiet);
    }
    for (const char* bad : {"12-13", "12:00", "12:00-12:00", "25:00-26:00", "noon-one", ""})
        EXPECT_FALSE(tzglob::WorkstationConfig::quietHours(QLatin1String(bad))) << bad;
}

TEST_F(Tray, AFloatingWindowTurnsIntoTheIconWhenTheDesktopsTrayAppears)
{
    bool available = false;
    auto tray = std::make_unique<TrayApp>(ws2, options(u"tray"_s), TrayApp::Mode::Auto);
    tray->setTrayAvailability([&] { return available; }, 50);
    QString error;
    ASSERT_TRUE(tray->start(&error)) << error.toStdString();
    ASSERT_NE(tray->window(), nullptr);
    EXPECT_TRUE(tray->window()->isVisible());
    EXPECT_FALSE(tray->usesIcon());
    Told::settle(200);
    EXPECT_FALSE(tray->usesIcon()) << "no tray yet";

    // Not while a window opened from the floating one is up: it switches after.
    {
        ModalScript script;
        script.then([&](QDialog& dialog) {
            dialog.show();
            available = true;
            Told::settle(300);
            EXPECT_FALSE(tray->usesIcon());
            dialog.hide();
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(control<QToolButton>(tray->window(), u"cmdInbox"_s), Qt::LeftButton);
    }
    EXPECT_TRUE(available);
    EXPECT_TRUE(waitUntil([&] { return tray->usesIcon(); }, 2000));
    EXPECT_EQ(tray->window(), nullptr);
    pump(5);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_NE(widget->objectName(), u"TrayWindow"_s) << "the window is gone";

    // Started with the session, it waits a moment for the tray before it floats.
    auto late = std::make_unique<TrayApp>(ws2, options(u"late"_s), TrayApp::Mode::Auto);
    late->setTrayAvailability([] { return false; }, 50);
    late->setStartGrace(300);
    ASSERT_TRUE(late->start(&error)) << error.toStdString();
    EXPECT_EQ(late->window(), nullptr);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return late->window() != nullptr; }, 2000));
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_TRUE(late->window()->isVisible());
}

TEST_F(Tray, ATrayThatCannotStartSaysWhyInANoticeAndEndsInItsTime)
{
    QString title, text;
    QTimer::singleShot(100, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("NotificationPopup") && widget->isVisible()) {
                title = control<QLabel>(widget, u"lblTitle"_s)->text();
                text = control<QLabel>(widget, u"lblSubject"_s)->text();
            }
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(TrayApp::reportFailure(u"data folder /srv/office/ is missing"_s, 2, 600), 2);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_GE(clock.elapsed(), 500);
    EXPECT_EQ(title, u"Office Messages could not start"_s);
    EXPECT_EQ(text, u"data folder /srv/office/ is missing"_s);

    // Closed by the person: it ends at once.
    QTimer::singleShot(100, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("NotificationPopup") && widget->isVisible())
                QTest::mouseClick(control<QToolButton>(widget, u"cmdClose"_s), Qt::LeftButton);
    });
    clock.restart();
    EXPECT_EQ(TrayApp::reportFailure(u"no server"_s, 1, 60000), 1);
    EXPECT_LT(clock.elapsed(), 3000);
}

// The actions on the tray's own notice: Open, Confirm and Snooze, each by a click or its key,
// and a notice of a message that needs confirmation staying until acted on.
const QDateTime kMorning(QDate(2026, 12, 7), QTime(10, 0));

class NoticeActions : public TrayFixture {
protected:
    NoticeActions() { setNow(kMorning); }
    // A message from Anna to Bob, as configured; its addressee row once the tray shows it.
    qint32 notified(TrayApp& tray, const core::OutgoingMessage& m)
    {
        return noticeOf(tray, send(*ws1, m))->notice().BroChkID;
    }
    QList<qint32> snoozedRows()
    {
        QList<core::Snooze> snoozes;
        core::readSnoozes(
            core::snoozeFilePath(u"BACK"_s, u"WS2"_s, ws2->messageStoreConnection()->url()),
            snoozes);
        QList<qint32> rows;
        for (const core::Snooze& s : snoozes)
            rows << s.row;
        return rows;
    }
};

TEST_F(NoticeActions, ConfirmAndSnoozeByClickOrKeyWithoutAWindow)
{
    auto tray = startTray();
    NotificationPopup* popup = tray->popup();
    for (const char* name : {"cmdOpen", "cmdConfirm", "cmdSnooze", "cmdClose"})
        EXPECT_FALSE(control<QWidget>(popup, QString::fromLatin1(name))->accessibleName().isEmpty())
            << name;

    struct Case {
        const char* name;
        bool byKey;
        bool confirm; // else snooze
    } cases[] = {
        {"confirm by click", false, true},
        {"confirm by key", true, true},
        {"snooze by click", false, false},
        {"snooze by key", true, false},
    };
    QList<qint32> snoozed;
    int minute = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A minute apart: snoozes that fell due together would be told as one summary.
        setNow(kMorning.addSecs(qint64{60} * minute++));
        const qint32 row = notified(*tray, toBob(QString::fromLatin1(c.name)));
        ASSERT_NE(row, 0);
        auto* confirm = control<QPushButton>(popup, u"cmdConfirm"_s);
        auto* snooze = control<QPushButton>(popup, u"cmdSnooze"_s);
        EXPECT_TRUE(confirm->isVisible());
        EXPECT_TRUE(snooze->isVisible());
        if (c.byKey)
            QTest::keyClick(popup, c.confirm ? Qt::Key_C : Qt::Key_S);
        else
            QTest::mouseClick(c.confirm ? confirm : snooze, Qt::LeftButton);
        EXPECT_FALSE(popup->isVisible());
        if (c.confirm) {
            EXPECT_EQ(readMark(row).toInt(), -1);
        } else {
            EXPECT_TRUE(readMark(row).isNull()) << "a snooze leaves it unread";
            snoozed << row;
        }
        EXPECT_EQ(snoozedRows(), snoozed);
    }
    Told::settle(100);
    EXPECT_EQ(tray->unreadCount(), 2) << "the confirmed ones left the count";

    // Fifteen minutes on, the first snoozed one comes back.
    setNow(kMorning.addSecs(qint64{17} * 60));
    tray->watcher()->clockChanged();
    ASSERT_TRUE(waitUntil([&] { return popup->isVisible(); }, 3000));
    EXPECT_EQ(popup->notice().kind, OfficeNotice::Kind::Snoozed);
    EXPECT_TRUE(snoozed.contains(popup->notice().BroChkID));
    EXPECT_EQ(control<QLabel>(popup, u"lblTitle"_s)->text(), u"Snoozed: message from Anna Front"_s);
}

TEST_F(NoticeActions, ANoticeThatNeedsConfirmationStaysAndOneForTheWindowOffersNoConfirm)
{
    auto tray = startTray();
    NotificationPopup* popup = tray->popup();
    popup->setTimeout(300); // stands for its 20 s

    core::OutgoingMessage plain = toBob(u"Plain"_s);
    notified(*tray, plain);
    Told::settle(700);
    EXPECT_FALSE(popup->isVisible()) << "an ordinary notice goes after its time";

    core::OutgoingMessage needs = toBob(u"Read and confirm"_s);
    needs.CMNeeCom = true;
    const qint32 row = notified(*tray, needs);
    Told::settle(700);
    EXPECT_TRUE(popup->isVisible()) << "it stays until acted on";
    EXPECT_TRUE(control<QPushButton>(popup, u"cmdConfirm"_s)->isVisible());
    QTest::mouseClick(control<QPushButton>(popup, u"cmdConfirm"_s), Qt::LeftButton);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(readMark(row).toInt(), -1);

    // Longer than the notice shows: confirmed as read whole only where it is read whole.
    core::OutgoingMessage longer = toBob(u"Read all of it"_s);
    longer.CMNeeCom = true;
    longer.cmDoc = QString(u"The new rota starts on Monday. "_s).repeated(6);
    notified(*tray, longer);
    EXPECT_FALSE(control<QPushButton>(popup, u"cmdConfirm"_s)->isVisible());
    QTest::keyClick(popup, Qt::Key_Escape);

    core::OutgoingMessage toNotes = toBob(u"Into the notes"_s);
    toNotes.cmDocAftDis = true;
    toNotes.CMNeeCom = true;
    const qint32 notesRow = notified(*tray, toNotes);
    EXPECT_FALSE(control<QPushButton>(popup, u"cmdConfirm"_s)->isVisible())
        << "confirmed only in the message window";
    EXPECT_TRUE(control<QPushButton>(popup, u"cmdOpen"_s)->isVisible());
    QTest::keyClick(popup, Qt::Key_C);
    EXPECT_TRUE(popup->isVisible()) << "its key does nothing either";
    EXPECT_TRUE(readMark(notesRow).isNull());
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
}

// On a dark desktop the notice is dark too, its words readable on it.
TEST(NoticeLook, TheNoticeFollowsTheDesktopsColours)
{
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        Appearance desktop(10, dark ? darkPalette() : QApplication::style()->standardPalette());
        app::NotificationPopup popup;
        OfficeNotice notice;
        notice.cmID = 1;
        notice.BroChkID = 1;
        notice.senderName = u"Dave Dawson"_s;
        notice.subject = u"Room 2 autoclave"_s;
        notice.text = u"It shows an error again."_s;
        popup.showNotice(notice);
        const QImage shot = popup.grab().toImage();
        const QColor ground = shot.pixelColor(shot.width() - 4, shot.height() / 2);
        EXPECT_EQ(ground, QApplication::palette().color(QPalette::Window));
        for (const char* name : {"lblTitle", "lblSubject", "lblFooter"}) {
            auto* label = popup.findChild<QLabel*>(QLatin1String(name));
            ASSERT_NE(label, nullptr) << name;
            EXPECT_GE(contrast(label->palette().color(label->foregroundRole()), ground), 3.0)
                << name;
        }
    }
}

// Notices while a window of the component is open: the tray's notice over the modal message
// window can be clicked, keeps the window's controls clear, and shows its message there (or
// waits there, marked, while a message is being written).
QRect globalRect(const QWidget* w)
{
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

// A click as the window system delivers it: through the notice's own window, where a modal
// window blocks what is not its own.
void clickNotice(NotificationPopup* popup)
{
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(30, popup->height() / 2));
    pump(5);
}

class OpenWindow : public TrayFixture {
protected:
    // Opens the message window through `open` (the tray's menu), modal for real, and runs
    // `drive` once it is shown, active and (when `full`) grown into its full shape.
    void inWindow(const std::function<void()>& open, bool full,
                  const std::function<void(tzSndMsgFrm&)>& drive)
    {
        bool driven = false;
        ModalScript script;
        script.then([&](QDialog& dialog) {
            auto& window = static_cast<tzSndMsgFrm&>(dialog);
            QTimer::singleShot(0, &window, [&] {
                window.activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(&window, 3000));
                EXPECT_TRUE(waitUntil(
                    [&] { return !window.isLoading() && (!full || window.isFullWindow()); }));
                pump(5);
                drive(window);
                driven = true;
                if (window.isVisible())
                    window.Unload();
            });
            // Whatever goes wrong, the window does not stay open.
            QTimer::singleShot(30000, &window, [&] { window.Unload(); });
            return dialog.exec();
        });
        open();
        EXPECT_TRUE(driven);
    }
};

// A notice over the open inbox covers none of its buttons and can be closed; a notice clicked
// there shows its message in that window.
TEST_F(OpenWindow, ANoticeOverTheOpenInboxCoversNoneOfItsButtonsAndShowsItsMessageThere)
{
    sendToBob(u"Older one"_s);
    sendToBob(u"Last before"_s);
    auto tray = startTray();
    ASSERT_TRUE(waitUntil([&] { return tray->unreadCount() == 2; }));
    // What was unread at the start is told (together) before the window opens.
    ASSERT_TRUE(waitUntil([&] { return tray->popup()->isVisible(); }));
    tray->popup()->hide();

    inWindow([&] { tray->openInbox(); }, true,
             [&](tzSndMsgFrm& window) {
                 ASSERT_TRUE(control<QWidget>(&window, "PicConfirm")->isVisible());
                 NotificationPopup* popup = noticeOf(*tray, sendToBob(u"Autoclave"_s));
                 ASSERT_TRUE(popup->isVisible());
                 const QRect notice = popup->frameGeometry();
                 // Reply, Forward and ToDoList, OK and Snooze, the toolbar, the search box.
                 QList<QWidget*> controls{control<QToolBar>(&window, "TB"),
                                          control<QLineEdit>(&window, "txtSearch")};
                 for (int i = 2; i <= 6; ++i)
                     controls << control<QPushButton>(&window, nth("ConfirmCmdTo", i));
                 const auto buttons = window.findChildren<QAbstractButton*>();
                 for (QAbstractButton* b : buttons)
                     controls << b;
                 for (QWidget* w : std::as_const(controls)) {
                     if (!w || !w->isVisible())
                         continue;
                     EXPECT_FALSE(notice.intersects(globalRect(w)))
                         << "covers " << w->objectName().toStdString() << " "
                         << w->accessibleName().toStdString();
                 }
                 // Its close button works while the window is modal.
                 QWidget* close = control<QWidget>(popup, u"cmdClose"_s);
                 QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                                   close->geometry().center());
                 pump(5);
                 EXPECT_FALSE(popup->isVisible());

                 const qint32 before = window.currentBroChkID();
                 ASSERT_NE(before, 0);
                 const qint32 id = sendToBob(u"Room 9 supplies"_s);
                 popup = noticeOf(*tray, id);
                 ASSERT_TRUE(popup->isVisible());
                 const qint32 row = popup->notice().BroChkID;
                 ASSERT_NE(row, before);

                 clickNotice(popup);
                 EXPECT_TRUE(waitUntil([&] { return window.currentBroChkID() == row; }, 3000));
                 EXPECT_EQ(control<QLineEdit>(&window, "txtSubject")->text(), u"Room 9 supplies"_s);
                 const QModelIndex current = control<QTableView>(&window, "TDBG")->currentIndex();
                 ASSERT_TRUE(current.isValid());
                 EXPECT_TRUE(control<QTableView>(&window, "TDBG")
                                 ->selectionModel()
                                 ->isRowSelected(current.row(), QModelIndex()));
                 EXPECT_TRUE(control<QWidget>(&window, "PicConfirm")->isVisible())
                     << "ready to confirm";
                 EXPECT_FALSE(popup->isVisible());
                 EXPECT_TRUE(window.isVisible()) << "the window already open shows it";
             });
}

TEST_F(OpenWindow, WhileAMessageIsWrittenTheClickedNoticeWaitsMarkedUntilAsked)
{
    auto tray = startTray();
    inWindow(
        [&] { tray->newMessage(); }, false,
        [&](tzSndMsgFrm& window) {
            control<QPlainTextEdit>(&window, "txtMsg")->setFocus();
            QTest::keyClicks(control<QPlainTextEdit>(&window, "txtMsg"), u"Half written"_s);
            ASSERT_TRUE(window.hasUnsavedChanges());
            const qint32 id = sendToBob(u"Lab results"_s);
            NotificationPopup* popup = noticeOf(*tray, id);
            const qint32 row = popup->notice().BroChkID;
            clickNotice(popup);

            EXPECT_FALSE(window.isFullWindow()) << "the message written stays in front";
            EXPECT_EQ(control<QPlainTextEdit>(&window, "txtMsg")->toPlainText(), u"Half written"_s);
            EXPECT_EQ(window.waitingRows(), QList<qint32>{row});
            auto* mark = control<QPushButton>(&window, u"cmdWaiting"_s);
            ASSERT_TRUE(mark->isVisible());
            EXPECT_TRUE(mark->text().startsWith(u"1 new message"_s)) << mark->text().toStdString();

            // The window comes forward with its mark. Asked for: the question about the
            // message written comes first; Cancel keeps it.
            ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 3000));
            boxes->expect(u"send current message"_s, 2);
            QTest::keyClick(&window, Qt::Key_F6);
            pump(5);
            EXPECT_FALSE(window.isFullWindow());
            EXPECT_EQ(control<QPlainTextEdit>(&window, "txtMsg")->toPlainText(), u"Half written"_s);
            EXPECT_TRUE(mark->isVisible());

            boxes->expect(u"send current message"_s, 7);
            QTest::mouseClick(mark, Qt::LeftButton);
            EXPECT_TRUE(waitUntil([&] { return window.currentBroChkID() == row; }, 3000));
            EXPECT_TRUE(window.isFullWindow());
            EXPECT_EQ(control<QLineEdit>(&window, "txtSubject")->text(), u"Lab results"_s);
            EXPECT_FALSE(mark->isVisible());
        });
    EXPECT_EQ(office.count(u"CMTable"_s), 1) << "nothing was sent";
}

TEST_F(OpenWindow, ANoticeClickedOverTheEventsWindowOpensItsMessageOnceThatIsClosed)
{
    auto tray = startTray();
    qint32 row = 0;
    qint32 openedOn = -1;
    {
        ModalScript script;
        script.then([&](QDialog& events) {
            EXPECT_EQ(events.objectName(), u"EMS_EventsFrm"_s);
            QTimer::singleShot(0, &events, [&] {
                events.activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(&events, 3000));
                const qint32 id = sendToBob(u"Boiler check"_s);
                NotificationPopup* popup = noticeOf(*tray, id);
                row = popup->notice().BroChkID;
                clickNotice(popup);
                EXPECT_FALSE(popup->isVisible()) << "clicked through the modal window";
                events.reject();
            });
            QTimer::singleShot(30000, &events, [&] { events.reject(); });
            return events.exec();
        });
        script.then([&](QDialog& dialog) {
            auto& window = static_cast<tzSndMsgFrm&>(dialog);
            window.show();
            waitUntil([&] { return !window.isLoading() && window.isFullWindow(); });
            openedOn = window.currentBroChkID();
            window.hide();
            return int(QDialog::Rejected);
        });
        tray->openEvents();
        EXPECT_TRUE(waitUntil([&] { return openedOn != -1; }, 5000));
    }
    EXPECT_NE(row, 0);
    EXPECT_EQ(openedOn, row);
}

} // namespace
