// The actions on the tray's own notice: Open, Confirm and Snooze, each by a click or its key,
// and a notice of a message that needs confirmation staying until acted on.
#include "NotificationPopup.h"
#include "TrayApp.h"
#include "TrayFixture.h"
#include "core/Snoozes.h"
#include "state/SharedState.h"
#include "support/Appearance.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowWalk.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;
using tzsndmsg::app::NotificationPopup;
using tzsndmsg::app::TrayApp;

namespace {

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

} // namespace

namespace tzsndmsg::testing {
namespace {

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

} // namespace
} // namespace tzsndmsg::testing
