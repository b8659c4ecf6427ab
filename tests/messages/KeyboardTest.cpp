// The message window worked from the keyboard alone, as a user meets it: shown, active, Qt
// giving the focus, then keys; and what a screen reader is given to read.
#include "core/Snoozes.h"
#include "fixture.h"
#include "support/Appearance.h"

#include <QHeaderView>

namespace tzsndmsg::testing {
namespace {

class Keyboard : public ConfirmTest {
protected:
    void SetUp() override
    {
        ConfirmTest::SetUp();
        SharedState::current().SndMsgHistoryButtonVisible = true;
    }
    // Grown to the full window by its history key.
    tzSndMsgFrm& openListShown()
    {
        tzSndMsgFrm& w = openShown();
        pressKey(Qt::Key_H, Qt::ControlModifier);
        EXPECT_TRUE(w.isFullWindow());
        return w;
    }
    static QString accessible(const tzSndMsgFrm& w, int row, int column)
    {
        return model(w)->index(row, column).data(Qt::AccessibleTextRole).toString();
    }
};

TEST_F(Keyboard, ComposeAndSendWithoutTheMouse)
{
    tzSndMsgFrm& w = openShown();
    ASSERT_EQ(focusedName(), "CmdTo_0"); // a new message starts on its addressees
    {
        ModalScript script;
        script.then(pickEntries({"Bennet, Ben"}));
        pressKey(Qt::Key_Space);
    }
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "BN");
    pressKey(Qt::Key_B, Qt::AltModifier); // the Subject label's letter
    ASSERT_EQ(focusedName(), "txtSubject");
    QTest::keyClicks(QApplication::focusWidget(), "Keys");
    pressKey(Qt::Key_Tab);
    ASSERT_EQ(focusedName(), "txtMsg");
    QTest::keyClicks(QApplication::focusWidget(), "At the front desk");
    pressKey(Qt::Key_Return, Qt::ControlModifier);

    EXPECT_FALSE(w.isVisible()); // the compact window closes once it has sent
    EXPECT_TRUE(prompter->shown.isEmpty());
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(cmId, 0);
    EXPECT_EQ(header(cmId, "CMSubjec").toString(), "Keys");
    EXPECT_EQ(rowsOf(cmId), (Rows{{ben, 0, ""}}));
}

TEST_F(Keyboard, SnoozeRecordsTheMessageToBeToldAgainAndLeavesItUnread)
{
    QList<qint32> rows;
    const qint32 cmId = seed(
        {.who = "BEN", .pid = ben, .subject = "Call back", .body = "Mrs Green"}, {{front}}, &rows);
    tzSndMsgFrm& w = openListShown();
    pressKey(Qt::Key_Home);
    pressKey(Qt::Key_Return);
    ASSERT_EQ(w.CMID(), cmId);
    QSignalSpy snooze(control<QPushButton>(&w, "ConfirmCmdTo_3"), &QPushButton::clicked);
    pressKey(Qt::Key_S, Qt::AltModifier); // "&Snooze"
    ASSERT_TRUE(snooze.wait(1000));

    auto& gic = *SharedState::current().GIC;
    QList<core::Snooze> snoozes;
    ASSERT_TRUE(core::readSnoozes(core::snoozeFilePath(gic.currentLoginName(), gic.computerName(),
                                                       gic.messageStoreConnection()->url()),
                                  snoozes));
    ASSERT_EQ(snoozes.size(), 1);
    EXPECT_EQ(snoozes[0].row, rows[0]);
    EXPECT_EQ(snoozes[0].message, cmId);
    EXPECT_EQ(snoozes[0].made.secsTo(snoozes[0].at), 15 * 60)
        << "Display this message 15 minutes later";
    EXPECT_TRUE(recipient(rows[0], "BroChkDonDis").isNull());
    EXPECT_TRUE(bold(w, cmId));
    // "&OK" keeps its letter too.
    QSignalSpy ok(control<QPushButton>(&w, "ConfirmCmdTo_2"), &QPushButton::clicked);
    pressKey(Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(ok.wait(1000));
    EXPECT_EQ(recipient(rows[0], "BroChkDonDis").toInt(), -1);
    EXPECT_TRUE(prompter->shown.isEmpty());
}

TEST_F(Keyboard, PurgeDeleteAndTheirKeysAct)
{
    const qint32 read =
        seed({.who = "BEN", .pid = ben, .subject = "Read one"}, {{front, 0, "", "-1"}});
    const qint32 other =
        seed({.who = "CARL", .pid = carl, .subject = "Another"}, {{front, 0, "", "-1"}});
    tzSndMsgFrm& w = openListShown();
    ASSERT_EQ(focusedName(), "TDBG");
    ASSERT_EQ(subjects(w), (QStringList{"Read one", "Another"}));
    ASSERT_EQ(w.CMID(), other); // the view opens on its last message
    pressKey(Qt::Key_Up);
    ASSERT_EQ(w.CMID(), read);

    pressKey(Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(header(read, "CMPurFla").toInt(), 256);
    EXPECT_EQ(rowOf(w, read), -1);
    EXPECT_EQ(focusedName(), "TDBG"); // the list keeps the focus

    // Enter opens the row left; Del in its text deletes no message.
    pressKey(Qt::Key_Down);
    pressKey(Qt::Key_Return);
    ASSERT_EQ(w.CMID(), other);
    ASSERT_EQ(focusedName(), "txtMsg");
    pressKey(Qt::Key_Delete);
    EXPECT_TRUE(prompter->shown.isEmpty());
    // On the list Del asks as the button does.
    ASSERT_TRUE(tabTo("TDBG"));
    prompter->expect("Are you sure you want to delete this message?", "Delete Message", 6);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(office.count("CMTable", "cmID=?", {other}), 0);
}

// The views by their keys, each read once, the list keeping the focus; and what a screen reader
// is given for a row: what its style shows.
TEST_F(Keyboard, ViewsByKeysAndRowsSayWhatTheirStyleShows)
{
    seed({.who = "BEN", .pid = ben, .subject = "Pay", .payroll = true}, {{front}});
    seed({.who = "BEN", .pid = ben, .subject = "Old", .date = "11/01/2026"},
         {{front, 0, "", "-1"}});
    seed({.who = "BEN", .pid = ben, .subject = "Filed one", .purged = "256"},
         {{front, 0, "", "-1"}});
    seed({.who = "FRONT", .pid = front, .subject = "Rota", .needConfirm = true}, {{ben}, {carl}});
    tzSndMsgFrm& w = openListShown();
    const int subject = 6, pr = 7;
    const QStringList inbox{"Old", "Pay"};
    ASSERT_EQ(subjects(w), inbox);
    EXPECT_EQ(accessible(w, 0, subject), "Old");
    EXPECT_EQ(accessible(w, 1, subject), "Pay, unread, payroll related");
    EXPECT_EQ(accessible(w, 1, pr), "payroll related");
    EXPECT_EQ(accessible(w, 1, 0), ""); // the id column is never shown, nor read
    const int confirmed = MessageListModel::columnOf(MessageListModel::Kind::Confirmations);
    struct Step {
        int key;
        Qt::KeyboardModifiers modifiers;
        QStringList listed;
    } steps[] = {
        {Qt::Key_3, Qt::ControlModifier, {"Rota"}},
        {Qt::Key_1, Qt::ControlModifier, inbox},
        {Qt::Key_H, Qt::ControlModifier, {"Filed one"}}, // history, and back
        {Qt::Key_H, Qt::ControlModifier, inbox},
        {Qt::Key_2, Qt::ControlModifier, inbox},
        {Qt::Key_F5, Qt::NoModifier, inbox},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(QKeySequence(s.key | s.modifiers).toString().toStdString());
        QSignalSpy loaded(&w, &tzSndMsgFrm::listLoaded);
        pressKey(s.key, s.modifiers);
        EXPECT_EQ(loaded.count(), 1);
        EXPECT_EQ(subjects(w), s.listed);
        EXPECT_EQ(focusedName(), "TDBG");
        if (s.key == Qt::Key_3) {
            EXPECT_TRUE(accessible(w, 0, confirmed).endsWith(", needs confirmation, 2 pending"))
                << accessible(w, 0, confirmed).toStdString();
        }
    }
    EXPECT_FALSE(w.isMsgCatOnly()); // Ctrl+2: every category
}

// Every view's chain: each control once, in the order the window reads, with a name, and back.
TEST_F(Keyboard, FocusChainsFollowTheWindowAndNameEveryControl)
{
    const qint32 asked =
        seed({.who = "FRONT", .pid = front, .subject = "Sign the rota", .needConfirm = true},
             {{ben}, {carl}});
    seed({.who = "BEN", .pid = ben, .subject = "Hello"}, {{front}});
    // Cycles, each from the control its view starts on. The sender list is off for this login,
    // the radio pair is one stop as the desktop has it, a date box is reached through its edit.
    const QStringList compose{"CmdTo_0",  "txtTo_0",    "CmdTo_2",  "CmdTo_3",  "CmdTo_1",
                              "txtTo_1",  "txtSubject", "txtMsg",   "dateEdit", "OptPub_0",
                              "chkDoc_0", "chkDoc_1",   "chkDoc_2", "chkDoc_3", "cmbAla"};
    auto group = [](const QString& i) {
        QStringList names;
        for (const char* n : {"ChkBro", "ChkFro", "ChkUnt", "ChkRea", "txtReaEve", "cmbRea",
                              "OptReaUnl", "txtReaTim"})
            names << QString::fromLatin1(n) + "_" + i;
        return names;
    };
    const QStringList confirmPanel{"ConfirmCmdTo_2", "ConfirmCmdTo_3", "ConfirmCmdTo_4",
                                   "ConfirmCmdTo_5", "ConfirmCmdTo_6"};
    struct View {
        const char* name;
        bool full;
        qint32 shown;
        QStringList chain;
        bool delivery = false; // the second page of the tab strip
    } views[] = {
        {"compact", false, 0, compose + QStringList{"TS"}},
        {"delivery", false, 0, QStringList{"TS"} + group("0") + group("1"),
         true}, // the dates wait for their boxes
        // A received message is read-only: its boxes are read, nothing else is reached.
        {"inbox", true, 0,
         QStringList{"TDBG", "TS", "txtTo_0", "txtTo_1", "txtSubject", "txtMsg"} + confirmPanel +
             QStringList{"txtSearch", "chkSearchAll"}},
        {"sent items", true, asked,
         QStringList{"TDBG", "TS"} + compose +
             QStringList{"cmdRemindOthers", "lstConfirmations", "txtSearch", "chkSearchAll"}},
    };
    for (const View& v : views) {
        SCOPED_TRACE(v.name);
        tzSndMsgFrm& w = v.full ? openListShown() : openShown();
        if (v.shown) {
            pressKey(Qt::Key_3, Qt::ControlModifier);
            ASSERT_TRUE(show(w, v.shown));
            ASSERT_TRUE(control<QTableWidget>(&w, "lstConfirmations")->isVisible());
        }
        if (v.delivery) {
            pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
            pressKey(Qt::Key_Right);
            ASSERT_EQ(control<QStackedWidget>(&w, "PicPanels")->currentIndex(), 1);
        }
        ASSERT_EQ(focusedName(), v.chain.first());
        expectTabRing(&w, v.chain.mid(1));
        w.Unload();
        window.reset();
    }
}

class KeyboardDemo : public DemoFrontDesk {};

// The demo office's front desk in large print on a dark desktop: nothing cut, the list keeps its
// rows on a small laptop's screen, the text in the palette's colours.
TEST_F(KeyboardDemo, LargePrintOnADarkDesktop)
{
    Appearance desktop(16);
    tzSndMsgFrm& compact = open();
    ASSERT_TRUE(showActive(&compact));
    keepShot(&compact, "messages-demo-compact-16pt-dark.png");
    compact.Unload();
    tzSndMsgFrm& w = openFull(1280, 800);
    for (const char* view : {"inbox", "sent"}) {
        SCOPED_TRACE(view);
        if (QString(view) == "sent")
            pressKey(Qt::Key_3, Qt::ControlModifier);
        pump();
        EXPECT_LE(w.height(), 800);
        EXPECT_GE(listView(w)->viewport()->height(),
                  tzSndMsgFrm::MinimumListRows *
                      listView(w)->verticalHeader()->defaultSectionSize());
        EXPECT_EQ(cutCaptions(&w), QStringList());
        EXPECT_EQ(textBox(w)->palette().color(QPalette::Base), darkPalette().color(QPalette::Base));
        EXPECT_FALSE(listView(w)->model()->index(0, 6).data(Qt::ForegroundRole).isValid());
        keepShot(&w, QString("messages-demo-%1-16pt-dark.png").arg(view));
    }
}

} // namespace
} // namespace tzsndmsg::testing
