// The views of the message window over a seeded office, on the real grid.
#include "fixture.h"

#include <QAbstractItemModelTester>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

class Views : public ConfirmTest {
protected:
    void SetUp() override
    {
        ConfirmTest::SetUp();
        dana = office.addEmployee("Dane", "Dana", "DD", "DANA", "Billing");

        // Inbox of FRONT at WS1: to the person, to the computer, Cc, purged, negative cmTyp,
        // another category, an event, another computer.
        seed({"BEN", ben, "to Fran", "line one\r\nline two", "12/01/2026", "09:00 AM"}, {{front}});
        m2 = seed({"BEN", ben, "to WS1", "", "12/02/2026", "09:00 AM"}, {{0, 0, "WS1", "-1"}});
        seed({"CARL", carl, "other category", "", "12/02/2026", "10:00 AM", "Reminder"},
             {{ben}, {front, 1}});
        seed({"BEN", ben, "purged", "", "12/03/2026", "09:00 AM", "Message", "0", "256"},
             {{front}});
        m5 = seed({"BEN", ben, "negative type", QString(600, 'b') + "\r\nend", "12/04/2026",
                   "08:00 AM", "Message", "-4"},
                  {{front, 0, "", "0"}});
        seed({.who = "BEN", .pid = ben, .subject = "event", .date = "12/04/2026", .evTyp = 1},
             {{front}});
        seed({"BEN", ben, "to WS2", "", "12/04/2026"}, {{0, 0, "WS2"}});
        // Sent items of FRONT.
        Msg sent{"FRONT", front, "sent", "", "11/30/2026", "01:00 PM"};
        sent.payroll = true;
        seed(sent, {{ben}, {carl, 1}, {0, 1, "WS2"}, {dana, 2}});
        seed({"FRONT", front, "sent negative", "", "11/30/2026", "02:00 PM", "Message", "-1"});
        seed({"FRONT", front, "sent purged", "", "11/29/2026", "02:00 PM", "Message", "0", "257"});
    }

    qint32 dana = 0, m2 = 0, m5 = 0;
};

TEST_F(Views, EachViewListsItsRowsUnderItsCaption)
{
    tzSndMsgFrm& w = openFull();
    EXPECT_TRUE(w.isFullWindow());
    struct Step {
        const char* command; // main toolbar button or menu entry; empty: as opened
        QStringList rows;
        QString caption, historyTip;
    } steps[] = {
        {"",
         {"to Fran", "to WS1", "negative type"},
         "Inbox-Message Category Only - FRONT",
         "View History"},
        {"MsgInAllCat",
         {"to Fran", "to WS1", "other category", "negative type"},
         "Inbox-All Categories - FRONT",
         "View History"},
        {"TDLstHis", {"purged"}, "Inbox-All Categories - History - FRONT", "Back"},
        {"MsgSItem", {"sent"}, "Sent Items - FRONT", "View History"},
        {"TDLstHis", {"sent purged"}, "Sent Items - History - FRONT", "Back"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        if (*s.command)
            pressButton(w, "TB", s.command);
        EXPECT_EQ(subjects(w), s.rows);
        EXPECT_EQ(w.windowTitle(), s.caption);
        EXPECT_EQ(toolTipOf(w, "TDLstHis"), s.historyTip);
        EXPECT_EQ(toolTipOf(w, "Purge"), s.historyTip == "Back" ? "UnPurge" : "Purge");
    }
    EXPECT_TRUE(prompter->shown.isEmpty());
}

// The cells, bold rows and the counter of the inbox, the current row kept over a refresh, and the
// sent items with the start of a delivery set to start later.
TEST_F(Views, CellsBoldRowsCounterAndRefresh)
{
    const qint32 later =
        seed({"FRONT", front, "sent later", "", "11/30/2026", "03:00 PM"}, {{ben}});
    const qint32 unticked =
        seed({"FRONT", front, "from unticked", "", "11/30/2026", "04:00 PM"}, {{ben}});
    const QString starts =
        "update EVTable set EvBroFla=-1, EvBroStaDatFla=?, EvBroStaDat='2026-12-24', "
        "EvBroStaTim='14:30:00' where EvLinID=?";
    office.exec(starts, {-1, later});
    office.exec(starts, {0, unticked});
    tzSndMsgFrm& w = openFull("MsgHisAll");
    QAbstractItemModelTester tester(listView(w)->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model(w)->rowCount(), 4);
    EXPECT_EQ(
        (QStringList{cell(w, 0, 2), cell(w, 0, 3), cell(w, 0, 4), cell(w, 0, 5), cell(w, 0, 8)}),
        (QStringList{"BEN", "FF", "12/01/2026", "09:00", "line one line two"}));
    // How each cell is made (To/ CC, the comments cut): the core's views test.
    EXPECT_TRUE(boldRow(w, 0));  // BroChkDonDis null
    EXPECT_FALSE(boldRow(w, 1)); // read (-1)
    EXPECT_TRUE(boldRow(w, 3));  // 0 counts as unread
    // The last row is current after the first query.
    EXPECT_EQ(textOf(w, "SB_Panel1"), "4 of 4");
    // A hidden message (negative cmTyp) is listed in the inbox but not opened: no message is.
    EXPECT_EQ(model(w)->cmIdAt(listView(w)->currentIndex().row()), m5);
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_NE(subjectBox(w)->text(), "negative type");

    // A new message arrives before the current one; the current one stays selected.
    ASSERT_TRUE(show(w, m2));
    EXPECT_EQ(textOf(w, "SB_Panel1"), "2 of 4");
    seed({"BEN", ben, "early", "", "11/01/2026", "09:00 AM"}, {{front}});
    pressButton(w, "TB", "Refresh");
    EXPECT_EQ(w.CMID(), m2);
    EXPECT_EQ(textOf(w, "SB_Panel1"), "3 of 5");
    EXPECT_EQ(listView(w)->currentIndex().row(), 2);
    // Once it left the view, the last row becomes current.
    office.exec("update CMTable set CMPurFla=256 where cmID=?", {m2});
    pressButton(w, "TB", "Refresh");
    EXPECT_EQ(model(w)->cmIdAt(listView(w)->currentIndex().row()), m5);
    EXPECT_EQ(w.CMID(), 0); // a hidden row: not opened
    EXPECT_EQ(textOf(w, "SB_Panel1"), "4 of 4");

    pressButton(w, "TB", "MsgSItem");
    ASSERT_EQ(subjects(w), (QStringList{"sent", "sent later", "from unticked"}));
    EXPECT_FALSE(boldRow(w, 0)); // sent items are never bold
    EXPECT_FALSE(model(w)->index(0, 7).data(Qt::DecorationRole).value<QIcon>().isNull()); // PR
    EXPECT_EQ(textOf(w, "SB_Panel1"), "3 of 3");
    EXPECT_EQ(cell(w, 0, 5), "13:00");
    EXPECT_EQ(cell(w, 1, 5), "15:00 (starts 12/24/2026 2:30 PM)");
    EXPECT_EQ(cell(w, 2, 5), "16:00");
}

TEST_F(Views, ToCcShowsATypicalListAndGrowsWithTheWindow)
{
    const qint32 many = seed({"BEN", ben, "to many", "", "12/05/2026"},
                             {{front}, {ben}, {carl}, {dana}, {0, 1, "FRONTDESK"}});
    tzSndMsgFrm& w = openFullShown("MsgHisAll");
    const int column = MessageListModel::columnOf(MessageListModel::Kind::ToCc);
    const QModelIndex index = model(w)->index(rowOf(w, many), column);
    const QString text = index.data().toString();
    ASSERT_EQ(text, "FF, BN, CC, DD/ FRONTDESK");
    EXPECT_EQ(index.data(Qt::ToolTipRole).toString(), text);
    QFont bold = listView(w)->font();
    bold.setBold(true); // unread rows are bold
    const int width = listView(w)->columnWidth(column);
    EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance(text) + 6);

    // A wider window gives "To/ CC" some of the room too, "Comments" the most.
    const int commentsColumn = MessageListModel::columnOf(MessageListModel::Kind::Comments);
    QList<int> toCc{width}, comments{listView(w)->columnWidth(commentsColumn)};
    for (int step = 0; step < 2; ++step) {
        w.resize(w.width() + 300, w.height());
        pump();
        toCc << listView(w)->columnWidth(column);
        comments << listView(w)->columnWidth(commentsColumn);
    }
    EXPECT_GT(toCc[1], toCc[0]);
    EXPECT_GT(comments[1], comments[0]);
    EXPECT_GT(comments[2] - comments[1], toCc[2] - toCc[1]);
}

TEST_F(Views, EmployeeWithoutLoginSeesOwnInboxAndLoginsSentItems)
{
    const qint32 stranger = office.addPerson("Nolog", "Nina", "NN");
    seed({"BEN", ben, "to Nina", "", "12/05/2026", "09:00 AM"}, {{stranger}});
    atWorkstation(stranger);
    tzSndMsgFrm& w = openFull("MsgHisAll");
    EXPECT_EQ(subjects(w), (QStringList{"to WS1", "to Nina"}));
    pressButton(w, "TB", "MsgSItem");
    EXPECT_EQ(subjects(w), QStringList{"sent"});
    EXPECT_TRUE(prompter->shown.isEmpty()); // no statement was rejected
}

TEST_F(Views, BindingABigListFetchesNoRecipientsAndPaintingFetchesOnlyVisibleRows)
{
    // 5,000 messages to FRONT, each with an addressee row (ids far above the seeded ones).
    const QString rows =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<5000) ";
    office.exec(
        rows +
            "INSERT INTO CMTable (cmID, cmTyp, cmTim, cmDat, cmWho, cmPid, cmCat, cmDoc, CMSubjec) "
            "SELECT 100000+i, 0, '08:00:00', '2026-10-01', 'BEN', ?, 'Message', 'bulk', 'bulk' "
            "FROM n",
        {ben});
    office.exec(rows + "INSERT INTO EVTable (EVID, EvPID, EvLinID, EvTyp) SELECT 100000+i, ?, "
                       "100000+i, 0 FROM n",
                {ben});
    office.exec(
        rows + "INSERT INTO BroChkTable (BroChkID, BroChkLinID, BroChkPID, BroChkTyp, BroChkToMac) "
               "SELECT 100000+i, 100000+i, ?, 0, '' FROM n",
        {front});
    const int before = tzSndMsgFrm::recipientQueryCount();
    tzSndMsgFrm& w = openFull();
    ASSERT_EQ(model(w)->rowCount(), 5003);
    EXPECT_EQ(tzSndMsgFrm::recipientQueryCount(), before); // nothing fetched while binding

    // Painting asks only for the rows on screen, once each.
    w.resize(1280, 800);
    w.grab();
    w.grab();
    const int painted = tzSndMsgFrm::recipientQueryCount() - before;
    EXPECT_GT(painted, 0);
    EXPECT_LT(painted, 60);
}

} // namespace
