// The tray of a workstation, driven offscreen as a person meets it: its window, its notification,
// its menu, and the message window that a click on a notification opens.
#include "watcher/WatcherFixture.h"

#include "NotificationPopup.h"
#include "TrayApp.h"

#include "component/SharedState.h"
#include "messages/tzSndMsgFrm.h"
#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/tzSndMsgCls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMenu>
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
    names << dialog.objectName() +
                 (dialog.objectName() == QLatin1String("tzSndMsgFrm")
                      ? (static_cast<tzSndMsgFrm&>(dialog).isFullWindow() ? QStringLiteral(" full")
                                                                          : QStringLiteral(" compact"))
                      : QString());
    dialog.hide();
    return int(QDialog::Rejected);
}

class Tray : public TwoWorkstations {
protected:
    Tray() { setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 0))); }
    void TearDown() override
    {
        SharedState::current() = SharedState{};
        ui::MessageBox::setPrompter(nullptr);
    }

    // The back office's tray, in the small window a desktop without a system tray gets.
    std::unique_ptr<TrayApp> startTray()
    {
        auto tray = std::make_unique<TrayApp>(ws2, options(QStringLiteral("tray"), Channel::Both),
                                              TrayApp::Mode::Window);
        QString error;
        EXPECT_TRUE(tray->start(&error)) << error.toStdString();
        return tray;
    }

    PrompterGuard boxes; // any box fails the test
};

TEST_F(Tray, AnArrivalIsNotifiedAndItsClickOpensTheMessageReadyToConfirm)
{
    auto tray = startTray();
    ASSERT_NE(tray->window(), nullptr);
    EXPECT_TRUE(tray->window()->isVisible());
    EXPECT_TRUE(tray->window()->windowFlags() & Qt::WindowStaysOnTopHint);
    auto* unread = control<QLabel>(tray->window(), QStringLiteral("lblUnread"));
    EXPECT_EQ(unread->text(), QStringLiteral("No unread messages"));

    const qint32 id = send(*ws1, message(*ws1, anna, QStringLiteral("Room 2 autoclave"),
                                         QString::number(bob) + u','));
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
            confirmPanel = window.PicConfirm && window.PicConfirm->isVisible();
            subject = window.txtSubject->text();
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
    EXPECT_EQ(names, (QStringList{QStringLiteral("tzSndMsgFrm full"),
                                  QStringLiteral("tzSndMsgFrm compact"),
                                  QStringLiteral("EMS_EventsFrm"), QStringLiteral("Ems_HolidayFrm")}));

    QSignalSpy quit(tray.get(), &TrayApp::quitRequested);
    tray->menu()->findChild<QAction*>(QStringLiteral("actQuit"))->trigger();
    EXPECT_EQ(quit.size(), 1);
}

TEST_F(Tray, TheMessageWindowOpensOnAReceivedMessageOfAnyCategoryOrOnTheInbox)
{
    // An "Events" message is listed only in the inbox of every category.
    core::OutgoingMessage m = message(*ws1, anna, QStringLiteral("Fire drill"),
                                      QString::number(bob) + u',');
    m.cmCat = QStringLiteral("Events");
    send(*ws1, m);
    send(*ws1, message(*ws1, anna, QStringLiteral("Later one"), QString::number(bob) + u','));
    const qint32 row = office.scalar(QStringLiteral("select min(BroChkID) from BroChkTable")).toInt();

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
                subject = window.txtSubject->text();
                confirmPanel = window.PicConfirm->isVisible();
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
            window.txtMsg->setFocus();
            QTest::keyClicks(window.txtMsg, QStringLiteral("Half written"));
            typed = window.m_changed;
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

TEST_F(Tray, TheIconCarriesTheCount)
{
    const QImage none = TrayApp::iconFor(0).pixmap(64, 64).toImage();
    const QImage three = TrayApp::iconFor(3).pixmap(64, 64).toImage();
    const QImage away = TrayApp::iconFor(-1).pixmap(64, 64).toImage();
    EXPECT_NE(none, three);
    EXPECT_NE(none, away);
    EXPECT_EQ(three.pixelColor(36, 17).red(), 0xd6) << "a red badge in the upper right corner";
}

} // namespace
