// The views of the message window over a seeded office, on the real grid.
#include "test_views_seed.h"

#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "db/Recordset.h"
#include "messages/MessageListModel.h"
#include "messages/tzSndMsgFrm.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QTableView>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;
using namespace tzsndmsg::testing::views;

namespace {

class Views : public ::testing::Test {
protected:
    void SetUp() override
    {
        front = office.addEmployee("Front", "Fran", "FF", "FRONT", "Front Desk");
        back = office.addEmployee("Back", "Bob", "BB", "BACK", "Billing");
        carl = office.addEmployee("Carter", "Carl", "CC", "CARL", "Billing");
        dana = office.addEmployee("Dane", "Dana", "DD", "DANA", "Billing");

        // Inbox of FRONT at WS1.
        m1 = addMessage(office, {"BACK", back, "to Fran", "12/01/2026", "09:00 AM"}, {{front, 0}});
        m2 = addMessage(office, {"BACK", back, "to WS1", "12/02/2026", "09:00 AM"},
                        {{0, 0, "WS1", "-1"}});
        m3 = addMessage(office, {"CARL", carl, "other category", "12/02/2026", "10:00 AM", "Reminder"},
                        {{back, 0}, {front, 1}});
        m4 = addMessage(office, {"BACK", back, "purged", "12/03/2026", "09:00 AM", "Message", "0", "256"},
                        {{front, 0}});
        m5 = addMessage(office, {"BACK", back, "negative type", "12/04/2026", "08:00 AM", "Message", "-4"},
                        {{front, 0, "", "0"}});
        addMessage(office, {"BACK", back, "event", "12/04/2026", "09:00 AM", "Events", "0", "", "", "0", 1},
                   {{front, 0}});
        addMessage(office, {"BACK", back, "to WS2", "12/04/2026", "09:00 AM"}, {{0, 0, "WS2"}});
        // Sent items of FRONT.
        m6 = addMessage(office, {"FRONT", front, "sent", "11/30/2026", "01:00 PM", "Message", "0", "", "", "-1"},
                        {{back, 0}, {carl, 1}, {0, 1, "WS2"}, {dana, 2}});
        addMessage(office, {"FRONT", front, "sent negative", "11/30/2026", "02:00 PM", "Message", "-1"});
        m8 = addMessage(office, {"FRONT", front, "sent purged", "11/29/2026", "02:00 PM", "Message", "0", "257"});
        useOffice(office, front);
    }
    void TearDown() override
    {
        expectNoVisibleWindows();
        SharedState::current() = SharedState{};
    }

    // The subjects of the grid's rows, top to bottom.
    static QStringList subjects(const tzSndMsgFrm& w)
    {
        QStringList out;
        auto* model = w.TDBG->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 6).data().toString();
        return out;
    }

    std::unique_ptr<tzSndMsgFrm> openFull(const QString& entry = "MsgHisMsg")
    {
        auto w = std::make_unique<tzSndMsgFrm>();
        w->load();
        w->firstActivation();
        w->TB_Small_ButtonMenuClick(entry);
        return w;
    }

    Office office;
    PrompterGuard prompter;
    qint32 front = 0, back = 0, carl = 0, dana = 0;
    qint32 m1 = 0, m2 = 0, m3 = 0, m4 = 0, m5 = 0, m6 = 0, m8 = 0;
};

TEST_F(Views, EachViewListsItsRows)
{
    auto w = openFull();
    EXPECT_TRUE(w->isFullWindow());
    EXPECT_EQ(subjects(*w), (QStringList{"to Fran", "to WS1", "negative type"}));
    EXPECT_EQ(w->windowTitle(), "Inbox-Message Category Only - FRONT");

    w->TB_ButtonMenuClick("MsgInAllCat");
    EXPECT_EQ(subjects(*w), (QStringList{"to Fran", "to WS1", "other category", "negative type"}));
    EXPECT_EQ(w->windowTitle(), "Inbox-All Categories - FRONT");

    w->TB_ButtonClick("TDLstHis");
    EXPECT_EQ(w->tbToolTip("TDLstHis"), "Back");
    EXPECT_EQ(w->tbToolTip("Purge"), "UnPurge");
    EXPECT_EQ(subjects(*w), QStringList{"purged"});
    EXPECT_EQ(w->windowTitle(), "Inbox-All Categories - History - FRONT");

    w->TB_ButtonClick("MsgSItem");
    EXPECT_EQ(w->tbToolTip("TDLstHis"), "View History");
    EXPECT_EQ(subjects(*w), QStringList{"sent"});
    EXPECT_EQ(w->windowTitle(), "Sent Items - FRONT");

    w->TB_ButtonClick("TDLstHis");
    EXPECT_EQ(subjects(*w), QStringList{"sent purged"});
    EXPECT_EQ(w->windowTitle(), "Sent Items - History - FRONT");
    EXPECT_EQ(prompter->shown.size(), 0);
    w->Unload();
}

TEST_F(Views, CellsBoldRowsAndCounter)
{
    auto w = openFull("MsgHisAll");
    auto* model = w->TDBG->model();
    ASSERT_EQ(model->rowCount(), 4);
    auto cell = [&](int row, int col) { return model->index(row, col).data().toString(); };
    auto bold = [&](int row) { return model->index(row, 2).data(Qt::FontRole).value<QFont>().bold(); };
    EXPECT_EQ(cell(0, 2), "BACK");
    EXPECT_EQ(cell(0, 3), "FF");
    EXPECT_EQ(cell(0, 4), "12/1/2026");
    EXPECT_EQ(cell(0, 5), "09:00");
    EXPECT_EQ(cell(2, 3), "BB/ FF");
    EXPECT_EQ(cell(1, 3), "WS1");
    EXPECT_TRUE(bold(0));   // BroChkDonDis null
    EXPECT_FALSE(bold(1));  // read (-1)
    EXPECT_TRUE(bold(3));   // 0 counts as unread
    // The last row is current after the first query.
    EXPECT_EQ(w->SB_Panel1->text(), "4 of 4");
    EXPECT_EQ(w->CMID(), m5);

    w->TB_ButtonClick("MsgSItem");
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(cell(0, 3), "BB/ CC, WS2"); // type 2 (DD) left out
    EXPECT_FALSE(bold(0));                // sent items are never bold
    EXPECT_FALSE(model->index(0, 7).data(Qt::DecorationRole).value<QIcon>().isNull()); // PR
    EXPECT_EQ(w->SB_Panel1->text(), "1 of 1");
    w->Unload();
}

TEST_F(Views, CommentsCellCutsLongBodies)
{
    const QString body = QString(600, 'b') + "\r\nend";
    addMessage(office, {"BACK", back, "long", "12/05/2026", "09:00 AM", "Message", "0", "", "line one\r\nline two"},
               {{front, 0}});
    addMessage(office, {"BACK", back, "longer", "12/05/2026", "10:00 AM", "Message", "0", "", body}, {{front, 0}});
    auto w = openFull();
    auto* model = w->TDBG->model();
    ASSERT_EQ(model->rowCount(), 5);
    EXPECT_EQ(model->index(3, 8).data().toString(), "line one line two");
    EXPECT_EQ(model->index(4, 8).data().toString(), QString(500, 'b'));
    w->Unload();
}

TEST_F(Views, RefreshKeepsTheMessageOrTakesTheLastRow)
{
    auto w = openFull("MsgHisAll");
    w->TDBG->setCurrentIndex(w->TDBG->model()->index(1, 2));
    EXPECT_EQ(w->CMID(), m2);
    EXPECT_EQ(w->SB_Panel1->text(), "2 of 4");
    // A new message arrives before the current one; the current one stays selected.
    addMessage(office, {"BACK", back, "early", "11/01/2026", "09:00 AM"}, {{front, 0}});
    w->TB_ButtonClick("Refresh");
    EXPECT_EQ(w->CMID(), m2);
    EXPECT_EQ(w->SB_Panel1->text(), "3 of 5");
    EXPECT_EQ(w->TDBG->currentIndex().row(), 2);
    // Once it left the view, the last row becomes current.
    office.exec("update CMTable set CMPurFla=256 where cmID=?", {m2});
    w->TB_ButtonClick("Refresh");
    EXPECT_EQ(w->CMID(), m5);
    EXPECT_EQ(w->SB_Panel1->text(), "4 of 4");
    w->Unload();
}

TEST_F(Views, EmployeeWithoutLoginSeesOwnInboxAndLoginsSentItems)
{
    const qint32 stranger = office.addPerson("Nolog", "Nina", "NN");
    addMessage(office, {"BACK", back, "to Nina", "12/05/2026", "09:00 AM"}, {{stranger, 0}});
    useOffice(office, stranger);
    auto w = openFull("MsgHisAll");
    EXPECT_EQ(subjects(*w), (QStringList{"to WS1", "to Nina"}));
    w->TB_ButtonClick("MsgSItem");
    EXPECT_EQ(subjects(*w), QStringList{"sent"});
    EXPECT_EQ(prompter->shown.size(), 0); // no statement was rejected
    w->Unload();
}

TEST_F(Views, GridModelIsSound)
{
    auto w = openFull("MsgHisAll");
    QAbstractItemModelTester tester(w->TDBG->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    w->TB_ButtonClick("Refresh");
    w->TB_ButtonClick("MsgSItem");
    w->Unload();
}

TEST_F(Views, BindingABigListFetchesNoRecipientsAndPaintingFetchesOnlyVisibleRows)
{
    // 5,000 messages to FRONT, each with an addressee row (ids far above the seeded ones).
    const QString rows = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<5000) ";
    office.exec(rows + "INSERT INTO CMTable (cmID, cmTyp, cmTim, cmDat, cmWho, cmPid, cmCat, cmDoc, CMSubjec) "
                       "SELECT 100000+i, 0, '08:00:00', '2026-10-01', 'BACK', ?, 'Message', 'bulk', 'bulk' FROM n",
                {back});
    office.exec(rows + "INSERT INTO EVTable (EVID, EvPID, EvLinID, EvTyp) SELECT 100000+i, ?, 100000+i, 0 FROM n",
                {back});
    office.exec(rows + "INSERT INTO BroChkTable (BroChkID, BroChkLinID, BroChkPID, BroChkTyp, BroChkToMac) "
                       "SELECT 100000+i, 100000+i, ?, 0, '' FROM n",
                {front});
    const int before = tzSndMsgFrm::recipientQueryCount();
    auto w = openFull();
    ASSERT_EQ(w->TDBG->model()->rowCount(), 5003);
    EXPECT_EQ(tzSndMsgFrm::recipientQueryCount(), before); // nothing fetched while binding

    // Painting asks only for the rows on screen, once each.
    w->resize(1280, 800);
    w->grab();
    w->grab();
    const int painted = tzSndMsgFrm::recipientQueryCount() - before;
    EXPECT_GT(painted, 0);
    EXPECT_LT(painted, 60);
    w->Unload();
}

} // namespace
