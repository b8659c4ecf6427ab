// The tray of a workstation, driven offscreen as a person meets it: its window, its notification,
// its menu, and the message window that a click on a notification opens.
#include "NotificationPopup.h"
#include "TrayApp.h"
#include "TrayFixture.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/tzSndMsgCls.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;
using tzsndmsg::app::NotificationPopup;
using tzsndmsg::app::TrayApp;

namespace {

// The message window as the handler gets it: shown and active, grown into its full shape when
// it opens on the inbox.
tzSndMsgFrm& shown(QDialog& dialog, bool full)
{
    auto& window = static_cast<tzSndMsgFrm&>(dialog);
    window.show();
    window.activateWindow();
    QElapsedTimer clock;
    clock.start();
    while ((window.isLoading() || (full && !window.isFullWindow())) && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return window;
}

// Whatever dialog the handler gets, shown and then closed: its name.
int record(QDialog& dialog, QStringList& names)
{
    dialog.show();
    pump(5);
    names << dialog.objectName() + (dialog.objectName() == QLatin1String("tzSndMsgFrm")
                                        ? (static_cast<tzSndMsgFrm&>(dialog).isFullWindow()
                                               ? QStringLiteral(" full")
                                               : QStringLiteral(" compact"))
                                        : QString());
    dialog.hide();
    return int(QDialog::Rejected);
}

class Tray : public TrayFixture {
protected:
    // Waits until the tray's own notification shows, at most ms.
    static bool popupShown(TrayApp& tray, int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!tray.popup()->isVisible() && clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return tray.popup()->isVisible();
    }

    qint32 sendToBob(const QString& subject)
    {
        return send(*ws1, message(*ws1, anna, subject, QString::number(bob) + u','));
    }

    PrompterGuard boxes; // any box fails the test
};

// The subject of the message the window opened on.
QString openedBy(const std::function<void()>& click)
{
    QString opened;
    ModalScript script;
    script.then([&](QDialog& dialog) {
        tzSndMsgFrm& window = shown(dialog, true);
        opened = control<QLineEdit>(&window, "txtSubject")->text();
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
        out << action->text().section(QStringLiteral("   "), 1);
    return out;
}

TEST_F(Tray, AnArrivalIsNotifiedAndItsClickOpensTheMessageReadyToConfirm)
{
    auto tray = startTray();
    ASSERT_NE(tray->window(), nullptr);
    EXPECT_TRUE(tray->window()->isVisible());
    EXPECT_TRUE(tray->window()->windowFlags() & Qt::WindowStaysOnTopHint);
    auto* unread = control<QLabel>(tray->window(), QStringLiteral("lblUnread"));
    EXPECT_EQ(unread->text(), QStringLiteral("No unread messages"));

    const qint32 id = send(
        *ws1, message(*ws1, anna, QStringLiteral("Room 2 autoclave"), QString::number(bob) + u','));
    NotificationPopup* popup = tray->popup();
    QElapsedTimer clock;
    clock.start();
    while (!popup->isVisible() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(control<QLabel>(popup, QStringLiteral("lblTitle"))->text(),
              QStringLiteral("New message from Anna Front"));
    EXPECT_EQ(control<QLabel>(popup, QStringLiteral("lblSubject"))->text(),
              QStringLiteral("Room 2 autoclave"));
    EXPECT_TRUE(popup->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(popup->notice().cmID, id);
    Told::settle(100);
    EXPECT_EQ(unread->text(), QStringLiteral("1 unread"));

    qint32 openedOn = -1;
    bool confirmPanel = false;
    QString subject;
    {
        ModalScript script;
        script.then([&](QDialog& dialog) {
            tzSndMsgFrm& window = shown(dialog, true);
            openedOn = window.currentBroChkID();
            confirmPanel = control<QWidget>(&window, "PicConfirm")->isVisible();
            subject = control<QLineEdit>(&window, "txtSubject")->text();
            window.hide();
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->rect().center());
    }
    EXPECT_EQ(openedOn, popup->notice().BroChkID);
    EXPECT_TRUE(confirmPanel);
    EXPECT_EQ(subject, QStringLiteral("Room 2 autoclave"));
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
        auto* button = control<QToolButton>(tray->window(), QStringLiteral("cmdMenu"));
        QAction* inbox = tray->menu()->findChild<QAction*>(QStringLiteral("actInbox"));
        ASSERT_NE(inbox, nullptr);
        QTimer::singleShot(0, [&] {
            QElapsedTimer clock;
            clock.start();
            while (!tray->menu()->isVisible() && clock.elapsed() < 3000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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
    EXPECT_EQ(names, (QStringList{
                         QStringLiteral("tzSndMsgFrm full"), QStringLiteral("tzSndMsgFrm compact"),
                         QStringLiteral("EMS_EventsFrm"), QStringLiteral("Ems_HolidayFrm")}));

    QSignalSpy quit(tray.get(), &TrayApp::quitRequested);
    tray->menu()->findChild<QAction*>(QStringLiteral("actQuit"))->trigger();
    EXPECT_EQ(quit.size(), 1);
}

TEST_F(Tray, TheMessageWindowOpensOnAReceivedMessageOfAnyCategoryOrOnTheInbox)
{
    // An "Events" message is listed only in the inbox of every category.
    core::OutgoingMessage m =
        message(*ws1, anna, QStringLiteral("Fire drill"), QString::number(bob) + u',');
    m.cmCat = QStringLiteral("Events");
    send(*ws1, m);
    send(*ws1, message(*ws1, anna, QStringLiteral("Later one"), QString::number(bob) + u','));
    const qint32 row =
        office.scalar(QStringLiteral("select min(BroChkID) from BroChkTable")).toInt();

    struct Case {
        const char* name;
        qint32 row;
        const char* subject;
    } cases[] = {{"the Events message", row, "Fire drill"},
                 {"a row no longer there: the inbox's last row", 999999, "Later one"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString subject;
        bool confirmPanel = false;
        {
            ModalScript script;
            script.then([&](QDialog& dialog) {
                tzSndMsgFrm& window = shown(dialog, true);
                subject = control<QLineEdit>(&window, "txtSubject")->text();
                confirmPanel = control<QWidget>(&window, "PicConfirm")->isVisible();
                window.hide();
                return int(QDialog::Rejected);
            });
            tzSndMsgCls messages;
            messages.setGIC(ws2);
            messages.Message_ShowReceived(c.row);
            EXPECT_FALSE(messages.MsgHisOn()) << "left as it was";
        }
        EXPECT_EQ(subject, QString::fromLatin1(c.subject));
        EXPECT_TRUE(confirmPanel);
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
            QTest::keyClicks(control<QPlainTextEdit>(&window, "txtMsg"),
                             QStringLiteral("Half written"));
            typed = window.hasUnsavedChanges();
            // What SIGTERM does to the tray: every event loop ends, the window's too.
            QTimer::singleShot(50, qApp, [] { QCoreApplication::exit(0); });
            return dialog.exec();
        });
        tray->menu()->findChild<QAction*>(QStringLiteral("actNewMessage"))->trigger();
    }
    EXPECT_TRUE(typed);
    EXPECT_EQ(office.count(QStringLiteral("CMTable")), 0);
    // The application's own loop resets what quitting left behind for the next test.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(Tray, RecentKeepsTheDaysNoticesNewestFirstEachOpeningItsMessage)
{
    auto tray = startTray();
    EXPECT_EQ(entries(tray->recentMenu()), QStringList{QString()})
        << "one disabled line: none today";
    sendToBob(QStringLiteral("Room 2 autoclave"));
    ASSERT_TRUE(popupShown(*tray));
    tray->popup()->hide();
    setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 5)));
    sendToBob(QStringLiteral("Lunch & learn"));
    ASSERT_TRUE(popupShown(*tray));
    tray->popup()->hide();

    QMenu* recent = tray->recentMenu();
    EXPECT_EQ(entries(recent), (QStringList{QStringLiteral("Anna Front: Lunch && learn"),
                                            QStringLiteral("Anna Front: Room 2 autoclave")}));
    EXPECT_TRUE(recent->actions().first()->text().startsWith(QStringLiteral("10:05 am")));
    // The older one, clicked as a person does: the window opens on it, the popup long gone.
    EXPECT_EQ(openedBy([&] {
                  recent->actions().last()->trigger();
                  pump(5);
              }),
              QStringLiteral("Room 2 autoclave"));

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
        sendToBob(QStringLiteral("Chart %1").arg(i));
    auto tray = std::make_unique<TrayApp>(ws2, options(QStringLiteral("tray"), Channel::Both),
                                          TrayApp::Mode::Window);
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
    EXPECT_EQ(control<QLabel>(popup, QStringLiteral("lblTitle"))->text(),
              QStringLiteral("40 new messages"));
    EXPECT_EQ(control<QLabel>(popup, QStringLiteral("lblSubject"))->text(),
              QStringLiteral("Anna Front: Chart 40"));
    EXPECT_TRUE(control<QLabel>(popup, QStringLiteral("lblText"))
                    ->text()
                    .endsWith(QStringLiteral("and 37 more")));
    EXPECT_EQ(tray->recent().size(), TrayApp::kRecentCap);
    EXPECT_EQ(tray->recent().first().subject, QStringLiteral("Chart 40"));
    // The inbox, on its newest row: no one message of the forty.
    EXPECT_EQ(popup->notice().BroChkID, 0);
    EXPECT_EQ(
        openedBy([&] { QTest::mouseClick(popup, Qt::LeftButton, {}, popup->rect().center()); }),
        QStringLiteral("Chart 40"));
}

// A summary goes after its time, unless one of its messages needs confirmation.
TEST_F(Tray, ASummaryHoldingAMessageThatNeedsConfirmationStays)
{
    for (const bool needs : {false, true}) {
        SCOPED_TRACE(needs ? "one needs confirmation" : "plain");
        const QString tag = needs ? QStringLiteral("needs") : QStringLiteral("plain");
        sendToBob(QStringLiteral("Chart A ") + tag);
        core::OutgoingMessage m =
            message(*ws1, anna, QStringLiteral("Chart B ") + tag, QString::number(bob) + u',');
        m.CMNeeCom = needs;
        send(*ws1, m);
        auto tray = std::make_unique<TrayApp>(
            ws2, options(QStringLiteral("tray-") + tag, Channel::Both), TrayApp::Mode::Window);
        tray->popup()->setTimeout(300); // stands for its 20 s
        QSignalSpy summaries(tray.get(), &TrayApp::summarized);
        QString error;
        ASSERT_TRUE(tray->start(&error)) << error.toStdString();
        ASSERT_TRUE(popupShown(*tray));
        Told::settle(2 * TrayApp::kGatherMs + 700);
        EXPECT_GE(summaries.size(), 1);
        EXPECT_EQ(tray->popup()->isVisible(), needs);
        // What this round sent is read, so the next round's start tells only its own.
        ws1->messageStoreConnection()->exec(
            QStringLiteral("UPDATE BroChkTable SET BroChkDonDis = -1"));
    }
}

TEST_F(Tray, AMessageThatNeedsConfirmationCountsUntilItIsConfirmed)
{
    auto tray = startTray();
    core::OutgoingMessage m =
        message(*ws1, anna, QStringLiteral("Sign the rota"), QString::number(bob) + u',');
    m.CMNeeCom = true;
    send(*ws1, m);
    ASSERT_TRUE(popupShown(*tray));
    NotificationPopup* popup = tray->popup();
    const OfficeNotice notice = popup->notice();
    // Read and closed without confirming: still counted.
    EXPECT_EQ(
        openedBy([&] { QTest::mouseClick(popup, Qt::LeftButton, {}, popup->rect().center()); }),
        QStringLiteral("Sign the rota"));
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
        office.exec(QStringLiteral("delete from BroChkTable"));
        setNow(QDateTime(QDate(2026, 12, 7), QTime(c.byMenu ? 10 : 12, 30)));
        auto tray = startTray();
        QStringList rung;
        tray->setSound(QStringLiteral("beep"));
        tray->setSoundPlayer([&](const QString& sound) { rung << sound; });
        tray->setQuietHours(tzglob::WorkstationConfig::quietHours(QStringLiteral("12:00-13:00")));
        if (c.byMenu)
            tray->menu()->findChild<QAction*>(QStringLiteral("actDoNotDisturb"))->trigger();
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
            tray->menu()->findChild<QAction*>(QStringLiteral("actDoNotDisturb"))->trigger();
        } else {
            setNow(QDateTime(QDate(2026, 12, 7), QTime(13, 0)));
            tray->clockChanged();
        }
        EXPECT_FALSE(tray->isQuiet());
        ASSERT_TRUE(popupShown(*tray, 1000));
        ASSERT_EQ(summaries.size(), 1);
        EXPECT_EQ(single.size(), 0);
        EXPECT_EQ(control<QLabel>(tray->popup(), QStringLiteral("lblTitle"))->text(),
                  QStringLiteral("3 new messages"));
        EXPECT_EQ(rung, QStringList{QStringLiteral("beep")}) << "one sound for the summary";
        tray->clockChanged();
        EXPECT_EQ(summaries.size(), 1) << "told once";
        EXPECT_EQ(tray->heldBack(), 0);

        // Outside quiet time an arrival is shown and sounded at once.
        tray->popup()->hide();
        sendToBob(QStringLiteral("Afternoon"));
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
        EXPECT_EQ(hours->contains(QTime::fromString(QLatin1String(c.time), QStringLiteral("H:mm"))),
                  c.quiet);
    }
    for (const char* bad : {"12-13", "12:00", "12:00-12:00", "25:00-26:00", "noon-one", ""})
        EXPECT_FALSE(tzglob::WorkstationConfig::quietHours(QLatin1String(bad))) << bad;
}

TEST_F(Tray, AFloatingWindowTurnsIntoTheIconWhenTheDesktopsTrayAppears)
{
    bool available = false;
    auto tray =
        std::make_unique<TrayApp>(ws2, options(QStringLiteral("tray")), TrayApp::Mode::Auto);
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
        QTest::mouseClick(control<QToolButton>(tray->window(), QStringLiteral("cmdInbox")),
                          Qt::LeftButton);
    }
    EXPECT_TRUE(available);
    QElapsedTimer clock;
    clock.start();
    while (!tray->usesIcon() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(tray->usesIcon());
    EXPECT_EQ(tray->window(), nullptr);
    pump(5);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_NE(widget->objectName(), QStringLiteral("TrayWindow")) << "the window is gone";

    // Started with the session, it waits a moment for the tray before it floats.
    auto late =
        std::make_unique<TrayApp>(ws2, options(QStringLiteral("late")), TrayApp::Mode::Auto);
    late->setTrayAvailability([] { return false; }, 50);
    late->setStartGrace(300);
    ASSERT_TRUE(late->start(&error)) << error.toStdString();
    EXPECT_EQ(late->window(), nullptr);
    clock.restart();
    while (!late->window() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_NE(late->window(), nullptr);
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_TRUE(late->window()->isVisible());
}

TEST_F(Tray, ATrayThatCannotStartSaysWhyInANoticeAndEndsInItsTime)
{
    QString title, text;
    QTimer::singleShot(100, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("NotificationPopup") && widget->isVisible()) {
                title = control<QLabel>(widget, QStringLiteral("lblTitle"))->text();
                text = control<QLabel>(widget, QStringLiteral("lblSubject"))->text();
            }
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(TrayApp::reportFailure(QStringLiteral("data folder /srv/office/ is missing"), 2, 600),
              2);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_GE(clock.elapsed(), 500);
    EXPECT_EQ(title, QStringLiteral("Office Messages could not start"));
    EXPECT_EQ(text, QStringLiteral("data folder /srv/office/ is missing"));

    // Closed by the person: it ends at once.
    QTimer::singleShot(100, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("NotificationPopup") && widget->isVisible())
                QTest::mouseClick(control<QToolButton>(widget, QStringLiteral("cmdClose")),
                                  Qt::LeftButton);
    });
    clock.restart();
    EXPECT_EQ(TrayApp::reportFailure(QStringLiteral("no server"), 1, 60000), 1);
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(Tray, TheIconCarriesTheCount)
{
    const QImage none = TrayApp::iconFor(0).pixmap(64, 64).toImage();
    const QImage three = TrayApp::iconFor(3).pixmap(64, 64).toImage();
    const QImage away = TrayApp::iconFor(-1).pixmap(64, 64).toImage();
    EXPECT_NE(none, three);
    EXPECT_NE(none, away);
}

} // namespace
