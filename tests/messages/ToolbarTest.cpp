// Toolbars and the commands of the message window.
#include "fixture.h"

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

class Toolbar : public ConfirmTest {
protected:
    void seedInbox(int count)
    {
        for (int i = 0; i < count; ++i)
            inbox << seed(
                {"BEN", ben, QString("m%1").arg(i), "", QString("12/0%1/2026").arg(i + 1)},
                {{front}});
    }

    QList<qint32> inbox;
};

TEST_F(Toolbar, SelectAllTogglesAndLeavesAnEmptyListAlone)
{
    for (int count : {0, 3}) {
        SCOPED_TRACE(count);
        seedInbox(count);
        tzSndMsgFrm& w = openFull();
        ASSERT_EQ(model(w)->rowCount(), count);
        pressButton(w, "TB", "ChkAll");
        EXPECT_EQ(toolTipOf(w, "ChkAll"), count ? "Deselect All" : "Select All");
        EXPECT_EQ(selectedRows(w), count);
        if (count) {
            // A tooltip that changes with the view keeps its key.
            EXPECT_EQ(buttonOf(w, "TB", "ChkAll")->toolTip(), "Deselect All (Ctrl+Shift+A)");
            EXPECT_EQ(textOf(w, "SB_Panel1"), "3 of 3"); // current row kept
            EXPECT_EQ(w.CMID(), inbox.last());
            pressButton(w, "TB", "ChkAll");
            EXPECT_EQ(toolTipOf(w, "ChkAll"), "Select All");
            EXPECT_EQ(selectedRows(w), 0);
            // Refresh puts the button back to "Select All".
            pressButton(w, "TB", "ChkAll");
            pressButton(w, "TB", "Refresh");
            EXPECT_EQ(toolTipOf(w, "ChkAll"), "Select All");
        }
        w.Unload();
    }
}

TEST_F(Toolbar, EscIsIgnoredWhileLoadingOrBusyAndClosesOtherwise)
{
    tzSndMsgFrm& w = open();
    w.show();                            // the first activation waits for the event loop
    QTest::keyClick(&w, Qt::Key_Escape); // still loading
    EXPECT_TRUE(w.isVisible());
    ASSERT_TRUE(showActive(&w));
    pressButton(w, "TB_Small", "MsgHisMsg");
    listView(w)->setProperty("tag", "BUSY"); // a list query is running
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    listView(w)->setProperty("tag", "");
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Toolbar, DeleteAsksAndRefreshesInPlace)
{
    seedInbox(3);
    tzSndMsgFrm& w = view(inbox[1], "MsgHisMsg");
    for (int answer : {7, 6})
        prompter->expect("Are you sure you want to delete this message?", "Delete Message", answer);
    pressButton(w, "TB", "Delete");
    EXPECT_EQ(office.count("CMTable"), 3);
    EXPECT_EQ(prompter->shown.last().buttons, 4);

    pressButton(w, "TB", "Delete");
    for (const char* table :
         {"CMTable where cmID", "BroChkTable where BroChkLinID", "EVTable where EvLinID"})
        EXPECT_EQ(
            office.scalar(QString("select count(*) from ") + table + "=?", {inbox[1]}).toInt(), 0)
            << table;
    // The row before the deleted one is current now.
    EXPECT_EQ(model(w)->rowCount(), 2);
    EXPECT_EQ(w.CMID(), inbox[0]);
    EXPECT_EQ(textOf(w, "SB_Panel1"), "1 of 2");
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(control<QToolBar>(&w, "TB")->isEnabled());

    // A delete the store refuses is said, and the message stays whole and shown.
    office.refuseDeletes("BroChkTable");
    prompter->expect("Are you sure you want to delete this message?", "Delete Message", 6);
    prompter->expect("The message could not be deleted.\n\n", "Delete Message", 1);
    pressButton(w, "TB", "Delete");
    EXPECT_EQ(office.count("CMTable", "cmID=?", {inbox[0]}), 1);
    EXPECT_EQ(office.count("BroChkTable", "BroChkLinID=?", {inbox[0]}), 1);
    EXPECT_EQ(w.CMID(), inbox[0]);
}

TEST_F(Toolbar, DeleteIsEnabledOnlyForASavedMessageThatIsShown)
{
    seedInbox(1);
    tzSndMsgFrm& w = openFullShown();
    QAction* del = buttonOf(w, "TB", "Delete");
    ASSERT_EQ(w.CMID(), inbox[0]);
    EXPECT_TRUE(del->isEnabled());
    EXPECT_TRUE(control<QToolBar>(&w, "TB")->widgetForAction(del)->isEnabled());

    // Sent items are empty: the received message is no longer shown, nothing can be deleted.
    clickButton(w, "TB", "MsgSItem");
    ASSERT_EQ(model(w)->rowCount(), 0);
    EXPECT_TRUE(textBox(w)->toPlainText().isEmpty());
    EXPECT_FALSE(del->isEnabled());
    pressButton(w, "TB", "Delete"); // no question, nothing deleted
    EXPECT_TRUE(prompter->shown.isEmpty());
    EXPECT_EQ(office.count("CMTable"), 1);

    // The inbox again: the message is shown and may be deleted.
    pressButton(w, "TB", "MsgIn");
    EXPECT_TRUE(del->isEnabled());
    prompter->expect("Are you sure you want to delete this message?", "Delete Message", ui::vbYes);
    clickButton(w, "TB", "Delete");
    EXPECT_EQ(office.count("CMTable"), 0);
    EXPECT_FALSE(del->isEnabled()) << "the view is empty now";
}

TEST_F(Toolbar, NewMessageKeepsTheThreeSharedValues)
{
    auto& st = SharedState::current();
    st.PatientID = 5;
    st.DefaultSaveToPID = true;
    st.SndMsgHistoryButtonVisible = true;
    tzSndMsgFrm& w = openFull();
    ModalScript modal;
    modal.then([&](QDialog& second) {
        auto* frm = static_cast<tzSndMsgFrm*>(&second);
        EXPECT_NE(frm, &w);
        EXPECT_FALSE(frm->isFullWindow()); // compact, on a new message
        EXPECT_EQ(st.PatientID, 5);
        EXPECT_TRUE(st.DefaultSaveToPID);
        EXPECT_FALSE(st.SndMsgHistoryButtonVisible);
        EXPECT_FALSE(st.MsgHisOn);
        st.PatientID = 77;
        st.DefaultSaveToPID = false;
        frm->Unload();
        return int(QDialog::Rejected);
    });
    pressButton(w, "TB", "MsgNew");
    EXPECT_EQ(modal.shown, 1);
    EXPECT_EQ(st.PatientID, 5);
    EXPECT_TRUE(st.DefaultSaveToPID);
    EXPECT_TRUE(st.SndMsgHistoryButtonVisible);
    EXPECT_TRUE(w.isEnabled());
}

TEST_F(Toolbar, MissingIconsAreListedInOneBox)
{
    QFile::remove(office.dataFolder() + "ICO/SMALL/Purge.ico");
    QFile::remove(office.dataFolder() + "ICO/SMALL/Help.ico");
    prompter->expect("The following file(s) are missing from your ZELO Windows ICO\\SMALL folder:",
                     1);
    tzSndMsgFrm& w = open();
    EXPECT_EQ(prompter->shown.size(), 1);    // the box's words: the image list's own test
    EXPECT_TRUE(buttonOf(w, "TB", "Purge")); // still there, without a picture
}

TEST_F(Toolbar, MsgHisOnOpensFullOnTheMessageInbox)
{
    seedInbox(2);
    SharedState::current().MsgHisOn = true;
    tzSndMsgFrm& w = open();
    EXPECT_FALSE(w.isFullWindow()); // compact until the first activation
    EXPECT_LE(w.height(), 768);
    w.firstActivation();
    EXPECT_TRUE(w.isFullWindow());
    // Both sizes fit a laptop screen.
    EXPECT_LE(w.height(), 768);
    EXPECT_LE(w.width(), 1366);
    EXPECT_TRUE(control<QToolBar>(&w, "TB_Small")->isHidden());
    EXPECT_TRUE(w.isInboxView() && w.isMsgCatOnly());
    EXPECT_EQ(model(w)->rowCount(), 2);
}

TEST_F(Toolbar, SendingFromTheFullWindowKeepsItOpen)
{
    seedInbox(2);
    tzSndMsgFrm& w = openFullShown();
    ASSERT_EQ(w.CMID(), inbox[1]);
    // Sending the received message on screen writes nothing (read-only body, toolbar shown),
    // counts as sent, keeps the full window open and refreshes the list in place.
    seed({"BEN", ben, "arrived meanwhile", "", "11/01/2026"}, {{front}});
    pressButton(w, "TB_Small", "MsgSend");
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isFullWindow());
    EXPECT_EQ(office.count("CMTable"), 3);
    EXPECT_EQ(model(w)->rowCount(), 3);
    EXPECT_EQ(textOf(w, "SB_Panel1"), "3 of 3");
    EXPECT_EQ(w.CMID(), inbox[1]);
}

} // namespace
