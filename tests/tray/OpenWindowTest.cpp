// Notices while a window of the component is open: the tray's notice over the modal message
// window can be clicked, keeps the window's controls clear, and shows its message there (or
// waits there, marked, while a message is being written).
#include "NotificationPopup.h"
#include "TrayApp.h"
#include "TrayFixture.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"

#include <QAbstractButton>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>
#include <QWindow>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;
using tzsndmsg::app::NotificationPopup;
using tzsndmsg::app::TrayApp;

namespace {

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
