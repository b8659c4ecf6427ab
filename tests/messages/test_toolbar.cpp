// Toolbars and the commands of the message window.
#include "test_views_seed.h"

#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "db/Recordset.h"
#include "messages/tzSndMsgFrm.h"

#include <QAction>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QMenu>
#include <QLineEdit>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;
using namespace tzsndmsg::testing::views;

namespace {

class Toolbar : public ::testing::Test {
protected:
    void SetUp() override
    {
        front = office.addEmployee("Front", "Fran", "FF", "FRONT", "Front Desk");
        back = office.addEmployee("Back", "Bob", "BB", "BACK", "Billing");
        useOffice(office, front);
    }
    void TearDown() override
    {
        expectNoVisibleWindows();
        SharedState::current() = SharedState{};
    }
    std::unique_ptr<tzSndMsgFrm> openFull()
    {
        auto w = std::make_unique<tzSndMsgFrm>();
        w->load();
        w->firstActivation();
        w->TB_Small_ButtonMenuClick("MsgHisMsg");
        return w;
    }
    void seedInbox(int count)
    {
        for (int i = 0; i < count; ++i)
            ids << addMessage(office, {"BACK", back, QString("m%1").arg(i), QString("12/0%1/2026").arg(i + 1)},
                              {{front, 0}});
    }
    static void pressEsc(QWidget* w)
    {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &esc);
    }

    Office office;
    PrompterGuard prompter;
    qint32 front = 0, back = 0;
    QList<qint32> ids;
};

TEST_F(Toolbar, ButtonsKeysTooltipsAndMenus)
{
    tzSndMsgFrm w;
    w.load();
    QStringList keys, tips;
    for (QAction* a : w.TB->actions()) {
        if (a->isSeparator())
            keys << "|";
        else {
            keys << a->objectName();
            tips << a->toolTip();
        }
    }
    EXPECT_EQ(keys.join(","), "|,MsgNew,|,MsgSend,|,Delete,|,Refresh,|,MsgIn,MsgSItem,|,ChkAll,Purge,"
                              "TDLstHis,|,Help,Close");
    EXPECT_EQ(tips.join(","), "New Message,Send Message,Delete,Refresh,Message Inbox,Message Sent Items,"
                              "Select All,Purge,View History,Help,Close");
    ASSERT_TRUE(w.tbButton("MsgIn")->menu());
    QStringList entries;
    for (QAction* a : w.tbButton("MsgIn")->menu()->actions())
        entries << a->objectName() + ":" + a->text();
    EXPECT_EQ(entries, (QStringList{"MsgInMsg:Message Category Only", "MsgInAllCat:All Categories"}));
    // Compact: the small toolbar, whose history button is off unless the host allows it.
    EXPECT_TRUE(w.TB->isHidden());
    EXPECT_TRUE(w.TDBG->isHidden());
    EXPECT_FALSE(w.TB_Small->isHidden());
    EXPECT_FALSE(w.tbSmallButton("MsgHis")->isVisible());
    EXPECT_EQ(w.tbSmallButton("MsgSend")->toolTip(), "Send Message");
    EXPECT_EQ(w.windowTitle(), "New Message");
    EXPECT_EQ(w.cmCat(), "Message");
    EXPECT_EQ(w.cmSubCat(), "EMS");
    w.Unload();

    SharedState::current().SndMsgHistoryButtonVisible = true;
    tzSndMsgFrm w2;
    w2.load();
    EXPECT_TRUE(w2.tbSmallButton("MsgHis")->isVisible());
    EXPECT_TRUE(w2.tbSmallButton("MsgHis")->isEnabled());
    w2.Unload();
}

TEST_F(Toolbar, SelectAllTogglesAndLeavesAnEmptyListAlone)
{
    auto w = openFull();
    ASSERT_EQ(w->TDBG->model()->rowCount(), 0);
    w->TB_ButtonClick("ChkAll");
    EXPECT_EQ(w->tbToolTip("ChkAll"), "Select All");
    EXPECT_TRUE(w->selectedBookmarks().isEmpty());
    w->Unload();

    seedInbox(3);
    w = openFull();
    ASSERT_EQ(w->TDBG->model()->rowCount(), 3);
    w->TB_ButtonClick("ChkAll");
    EXPECT_EQ(w->tbToolTip("ChkAll"), "Deselect All");
    EXPECT_EQ(w->selectedBookmarks().size(), 3);
    EXPECT_EQ(w->list()->absolutePosition(), 3); // current row kept
    EXPECT_EQ(w->CMID(), ids.last());
    w->TB_ButtonClick("ChkAll");
    EXPECT_EQ(w->tbToolTip("ChkAll"), "Select All");
    EXPECT_TRUE(w->selectedBookmarks().isEmpty());
    // Refresh puts the button back to "Select All".
    w->TB_ButtonClick("ChkAll");
    w->TB_ButtonClick("Refresh");
    EXPECT_EQ(w->tbToolTip("ChkAll"), "Select All");
    w->Unload();
}

TEST_F(Toolbar, EscIsIgnoredWhileLoadingOrBusyAndClosesOtherwise)
{
    tzSndMsgFrm w;
    w.load();
    pressEsc(&w); // still loading
    EXPECT_FALSE(w.m_unloaded);
    w.firstActivation();
    w.TB_Small_ButtonMenuClick("MsgHisMsg");
    w.TDBG->setProperty("tag", "BUSY"); // a list query is running
    pressEsc(&w);
    EXPECT_FALSE(w.m_unloaded);
    w.TDBG->setProperty("tag", "");
    pressEsc(&w);
    EXPECT_TRUE(w.m_unloaded);
}

TEST_F(Toolbar, DeleteAsksAndRefreshesInPlace)
{
    seedInbox(3);
    auto w = openFull();
    w->TDBG->setCurrentIndex(w->TDBG->model()->index(1, 2));
    ASSERT_EQ(w->CMID(), ids[1]);

    prompter->expect("Are you sure you want to delete this message?", "Delete Message", 7);
    w->TB_ButtonClick("Delete");
    EXPECT_EQ(office.count("CMTable"), 3);
    EXPECT_EQ(prompter->shown.last().buttons, 4);
    EXPECT_EQ(prompter->shown.last().icon, 32);

    prompter->expect("Are you sure you want to delete this message?", "Delete Message", 6);
    w->TB_ButtonClick("Delete");
    EXPECT_EQ(office.count("CMTable", "cmID=?", {ids[1]}), 0);
    EXPECT_EQ(office.count("BroChkTable", "BroChkLinID=?", {ids[1]}), 0);
    EXPECT_EQ(office.count("EVTable", "EvLinID=?", {ids[1]}), 0);
    // The row before the deleted one is current now.
    EXPECT_EQ(w->TDBG->model()->rowCount(), 2);
    EXPECT_EQ(w->CMID(), ids[0]);
    EXPECT_EQ(w->SB_Panel1->text(), "1 of 2");
    EXPECT_TRUE(w->isEnabled());
    EXPECT_TRUE(w->TB->isEnabled());
    w->Unload();
}

TEST_F(Toolbar, NewMessageKeepsTheThreeSharedValues)
{
    auto& st = SharedState::current();
    st.PatientID = 5;
    st.DefaultSaveToPID = true;
    st.SndMsgHistoryButtonVisible = true;
    auto w = openFull();
    ModalScript modal;
    modal.then([&](QDialog& second) {
        EXPECT_EQ(second.objectName(), "tzSndMsgFrm");
        EXPECT_NE(&second, w.get());
        auto* frm = static_cast<tzSndMsgFrm*>(&second);
        EXPECT_FALSE(frm->isFullWindow()); // compact, on a new message
        EXPECT_EQ(st.PatientID, 5);
        EXPECT_TRUE(st.DefaultSaveToPID);
        EXPECT_FALSE(st.SndMsgHistoryButtonVisible);
        EXPECT_FALSE(st.MsgHisOn);
        st.PatientID = 77;
        st.DefaultSaveToPID = false;
        st.SndMsgHistoryButtonVisible = false;
        frm->Unload();
        return int(QDialog::Rejected);
    });
    w->TB_ButtonClick("MsgNew");
    EXPECT_EQ(modal.shown, 1);
    EXPECT_EQ(st.PatientID, 5);
    EXPECT_TRUE(st.DefaultSaveToPID);
    EXPECT_TRUE(st.SndMsgHistoryButtonVisible);
    EXPECT_TRUE(w->isEnabled());
    w->Unload();
}

TEST_F(Toolbar, MissingIconsAreListedInOneBox)
{
    QFile::remove(office.dataFolder() + "ICO/SMALL/Purge.ico");
    QFile::remove(office.dataFolder() + "ICO/SMALL/Help.ico");
    prompter->expect("The following file(s) are missing from your ZELO Windows ICO\\SMALL folder:", 1);
    tzSndMsgFrm w;
    w.load();
    ASSERT_EQ(prompter->shown.size(), 1);
    const auto& box = prompter->shown.first();
    EXPECT_TRUE(box.text.contains("Help.ico, Purge.ico") || box.text.contains("Purge.ico, Help.ico"))
        << box.text.toStdString();
    EXPECT_EQ(box.icon, 64);
    // The buttons are still there, without pictures.
    EXPECT_TRUE(w.tbButton("Purge"));
    w.Unload();
}

TEST_F(Toolbar, ClosingAsksToSaveAndCancelKeepsTheWindow)
{
    tzSndMsgFrm w;
    w.load();
    w.firstActivation();
    w.txtSubject->setText("half written");
    w.txtMsg->setPlainText("call the lab");
    ASSERT_TRUE(w.m_changed);
    prompter->expect("Would you like to send current message?", "Send Message", 2);
    w.TB_Small_ButtonClick("Close");
    EXPECT_FALSE(w.m_unloaded);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(w.TB->isEnabled() || w.TB->isHidden());
    prompter->expect("Would you like to send current message?", "Send Message", 7);
    w.TB_Small_ButtonClick("Close");
    EXPECT_TRUE(w.m_unloaded);
    EXPECT_EQ(office.count("CMTable"), 0);
}

TEST_F(Toolbar, MsgHisOnOpensFullOnTheMessageInbox)
{
    seedInbox(2);
    SharedState::current().MsgHisOn = true;
    tzSndMsgFrm w;
    w.load();
    EXPECT_FALSE(w.isFullWindow()); // compact until the first activation
    w.firstActivation();
    EXPECT_TRUE(w.isFullWindow());
    EXPECT_TRUE(w.TB_Small->isHidden());
    EXPECT_TRUE(w.isInboxView());
    EXPECT_TRUE(w.isMsgCatOnly());
    EXPECT_EQ(w.TDBG->model()->rowCount(), 2);
    w.Unload();
}

TEST_F(Toolbar, SendingClosesTheCompactWindowAndKeepsTheFullOneOpen)
{
    {
        tzSndMsgFrm w;
        w.load();
        w.firstActivation();
        w.ToListPid(0, QString::number(back) + ",");
        w.txtSubject->setText("compact");
        w.txtMsg->setPlainText("sent from the compact window");
        w.TB_Small_ButtonClick("MsgSend");
        EXPECT_TRUE(w.m_unloaded);
        EXPECT_EQ(office.count("CMTable", "CMSubjec='compact'"), 1);
    }
    seedInbox(2);
    auto w = openFull();
    ASSERT_EQ(w->CMID(), ids[1]);
    // Sending the received message on screen writes nothing (read-only body, toolbar shown),
    // counts as sent, keeps the full window open and refreshes the list in place.
    addMessage(office, {"BACK", back, "arrived meanwhile", "11/01/2026"}, {{front, 0}});
    w->TB_Small_ButtonClick("MsgSend");
    EXPECT_TRUE(w->m_sent);
    EXPECT_FALSE(w->m_unloaded);
    EXPECT_TRUE(w->isFullWindow());
    EXPECT_EQ(office.count("CMTable"), 4);
    EXPECT_EQ(w->TDBG->model()->rowCount(), 3);
    EXPECT_EQ(w->SB_Panel1->text(), "3 of 3");
    EXPECT_EQ(w->CMID(), ids[1]);
    w->Unload();
}

} // namespace
