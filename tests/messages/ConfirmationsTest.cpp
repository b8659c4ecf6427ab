// Who has confirmed a sent message, as the sender meets it in the real window: the "Confirmed"
// column of the sent items, the panel under a sent message and "Remind the Others".
#include "core/MessageWrite.h"
#include "fixture.h"
#include "tzsndmsg/tzSndMsgCls.h"

namespace tzsndmsg::testing {
namespace {

class Confirmations : public MessagesTest {
protected:
    void SetUp() override
    {
        std::tie(front, nurse, doctor, billing) = office.addClinicStaff();
        atWorkstation(front);
    }
    // Confirms an addressee row as the confirm panel's OK at that desk does.
    void confirm(qint32 row, qint32 employee, const QDateTime& at)
    {
        office.services()->setFixedNow(at);
        const core::Confirmation done = core::confirmAddressee(*office.services(), row, employee);
        ASSERT_TRUE(done.written) << done.error.toStdString();
        office.services()->setFixedNow(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    }
    static int confirmedColumn()
    {
        return MessageListModel::columnOf(MessageListModel::Kind::Confirmations);
    }
    static void clickMessage(tzSndMsgFrm& w, qint32 cmId)
    {
        ASSERT_GE(rowOf(w, cmId), 0) << "message " << cmId << " is not listed";
        clickRow(w, rowOf(w, cmId));
        ASSERT_EQ(w.CMID(), cmId);
    }
    static QString confirmedCell(tzSndMsgFrm& w, qint32 cmId)
    {
        return cell(w, rowOf(w, cmId), confirmedColumn());
    }
    static bool marked(tzSndMsgFrm& w, qint32 cmId)
    {
        const QModelIndex index = model(w)->index(rowOf(w, cmId), confirmedColumn());
        return !index.data(Qt::DecorationRole).value<QIcon>().isNull();
    }
    // The panel's rows as "name|To or Cc|confirmed|by".
    static QStringList panelRows(tzSndMsgFrm& w)
    {
        auto* list = control<QTableWidget>(&w, "lstConfirmations");
        QStringList rows;
        for (int r = 0; r < list->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < list->columnCount(); ++c)
                cells << list->item(r, c)->text();
            rows << cells.join('|');
        }
        return rows;
    }

    qint32 front = 0, nurse = 0, doctor = 0, billing = 0;
    const QDateTime monday{QDate(2026, 12, 7), QTime(8, 15)};
};

TEST_F(Confirmations, TheSenderSeesWhoConfirmedAndRemindsTheOthers)
{
    QList<qint32> rows;
    Msg out{"FRONT", front, "Autoclave out", "Use room 3 until Friday."};
    out.needConfirm = true;
    const qint32 autoclave =
        seed(out, {{nurse}, {doctor}, {0, 0, "WS2"}, {billing, 1}, {0, 1, "WS3"}}, &rows);
    const qint32 nobody =
        seed({.who = "FRONT", .pid = front, .subject = "Note to self", .body = "Order gloves"});
    QList<qint32> lunchRows;
    const qint32 lunch = seed(
        {.who = "FRONT", .pid = front, .subject = "Lunch", .body = "Pizza", .needConfirm = true},
        {{nurse}}, &lunchRows);
    const qint32 received =
        seed({.who = "NURSE", .pid = nurse, .subject = "For the desk", .body = "Hi"}, {{front}});
    confirm(rows[1], doctor, monday);               // Dora herself
    confirm(rows[2], billing, monday.addSecs(300)); // at WS2, by Bo
    confirm(lunchRows[0], nurse, monday);

    tzSndMsgFrm& w = openFull();
    w.resize(1100, 760);
    ASSERT_TRUE(showActive(&w));
    // The inbox has no such column and no panel.
    ASSERT_TRUE(show(w, received));
    EXPECT_TRUE(listView(w)->isColumnHidden(confirmedColumn()));
    EXPECT_FALSE(control<QWidget>(&w, "PicConfirmations")->isVisible());

    clickButton(w, "TB", "MsgSItem");
    ASSERT_EQ(model(w)->rowCount(), 3);
    EXPECT_FALSE(listView(w)->isColumnHidden(confirmedColumn()));
    // The counts and who is awaited are the core's; the column shows them.
    EXPECT_EQ(confirmedCell(w, autoclave), "2 of 5 confirmed");
    EXPECT_TRUE(marked(w, autoclave)) << "asked for confirmation, still waiting";
    EXPECT_FALSE(marked(w, lunch));

    // The panel under the message: pending first, To before Cc, the computer with who confirmed.
    clickMessage(w, autoclave);
    ASSERT_TRUE(control<QWidget>(&w, "PicConfirmations")->isVisible());
    EXPECT_FALSE(control<QWidget>(&w, "PicConfirm")->isVisible())
        << "the received message's panel is not the sender's";
    EXPECT_EQ(control<QLabel>(&w, "lblConfirmations")->text(),
              "2 of 5 confirmed - needs confirmation, 3 not confirmed yet");
    EXPECT_EQ(panelRows(w),
              QStringList({"Ned Nurse|To|Pending|", "Bo Billing|Cc|Pending|",
                           "WS3 (computer)|Cc|Pending|", "Dora Doctor|To|12/07/2026 08:15 am|",
                           "WS2 (computer)|To|12/07/2026 08:20 am|Bo Billing"}));
    EXPECT_TRUE(control<QPushButton>(&w, "cmdRemindOthers")->isEnabled());

    clickMessage(w, nobody);
    EXPECT_EQ(control<QLabel>(&w, "lblConfirmations")->text(), "0 of 0 confirmed");
    EXPECT_EQ(control<QTableWidget>(&w, "lstConfirmations")->rowCount(), 0);
    EXPECT_FALSE(control<QPushButton>(&w, "cmdRemindOthers")->isEnabled());

    // Someone confirms meanwhile at another desk; a refresh shows it and it is not reminded.
    clickMessage(w, autoclave);
    confirm(rows[0], nurse, monday.addSecs(600));
    clickButton(w, "TB", "Refresh");
    EXPECT_EQ(confirmedCell(w, autoclave), "3 of 5 confirmed");
    ASSERT_EQ(w.CMID(), autoclave);
    EXPECT_EQ(control<QLabel>(&w, "lblConfirmations")->text(),
              "3 of 5 confirmed - needs confirmation, 2 not confirmed yet");

    // "Remind the Others": a new message to exactly the pending ones, quoting the original.
    QTest::mouseClick(control<QPushButton>(&w, "cmdRemindOthers"), Qt::LeftButton);
    EXPECT_FALSE(control<QWidget>(&w, "PicConfirmations")->isVisible());
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_FALSE(textBox(w)->isReadOnly());
    EXPECT_EQ(subjectBox(w)->text(), "RE: Autoclave out");
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "BB, WS3")
        << "nobody of To is left: the Cc ones go to To";
    EXPECT_EQ(textBox(w)->toPlainText(),
              "\n------ Original Message ------\nFrom: Fay Front, To: NN, DD, WS2, "
              "Cc: BB, WS3/ Subject: Autoclave out\nUse room 3 until Friday.");
    EXPECT_TRUE(control<QCheckBox>(&w, "chkDoc_1")->isChecked())
        << "it needs confirmation as the original did";
    EXPECT_TRUE(textBox(w)->hasFocus());
    EXPECT_EQ(w.windowTitle(), "New Message");

    // The user sends it as it stands.
    clickButton(w, "TB", "MsgSend");
    EXPECT_TRUE(prompter->shown.isEmpty()) << "ready to send: no question";
    const qint32 reminder = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_GT(reminder, received);
    EXPECT_EQ(header(reminder, "CMSubjec").toString(), "RE: Autoclave out");
    EXPECT_EQ(header(reminder, "CMNeeCom").toInt(), -1);
    EXPECT_EQ(rowsOf(reminder), Rows({{billing, 0, ""}, {0, 0, "WS3"}}));
    EXPECT_TRUE(marked(w, reminder)) << "listed at once";
}

// While someone of To is pending, To stays To and Cc stays Cc; a purged message keeps its
// confirmations in the history.
TEST_F(Confirmations, ToStaysToAndCcStaysCcWhileSomeoneOfToIsPendingAndAPurgedOneKeepsItsOwn)
{
    QList<qint32> rows;
    Msg old{"FRONT", front, "Old news", "Done"};
    old.purged = "256";
    old.needConfirm = true;
    const qint32 purged = seed(old, {{nurse}, {doctor}}, &rows);
    confirm(rows[0], nurse, monday);
    const qint32 earlier =
        seed({.who = "FRONT", .pid = front, .subject = "Earlier", .body = "x"}, {{nurse}});
    const qint32 cmId =
        seed({.who = "FRONT", .pid = front, .subject = "RE: Rota", .body = "New rota"},
             {{nurse}, {0, 0, "WS2"}, {doctor, 1}, {billing, 1}});
    confirm(office.scalar("select BroChkID from BroChkTable where BroChkPID=?", {billing}).toInt(),
            billing, monday);
    tzSndMsgFrm& w = openFullShown("MsgHisMsg");
    clickButton(w, "TB", "MsgSItem");
    EXPECT_EQ(rowOf(w, purged), -1);
    clickMessage(w, cmId);
    EXPECT_FALSE(marked(w, cmId)) << "no confirmation was asked for";
    QTest::mouseClick(control<QPushButton>(&w, "cmdRemindOthers"), Qt::LeftButton);
    EXPECT_EQ(subjectBox(w)->text(), "RE: Rota") << "prefixed once, as a reply is";
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "NN, WS2");
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_1")->text(), "DD");
    EXPECT_FALSE(control<QCheckBox>(&w, "chkDoc_1")->isChecked());

    // Moving to another row asks first: the reminder is not lost silently.
    prompter->expect("Would you like to send current message?", "Send Message", ui::vbYes);
    clickMessage(w, earlier);
    const qint32 reminder = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(reminder, cmId);
    EXPECT_EQ(rowsOf(reminder), Rows({{nurse, 0, ""}, {0, 0, "WS2"}, {doctor, 1, ""}}));

    // The purged message, in the sent items' history.
    clickButton(w, "TB", "TDLstHis");
    ASSERT_EQ(w.windowTitle(), "Sent Items - History - FRONT");
    ASSERT_EQ(model(w)->rowCount(), 1);
    EXPECT_EQ(confirmedCell(w, purged), "1 of 2 confirmed");
    EXPECT_TRUE(marked(w, purged));
    clickMessage(w, purged);
    EXPECT_TRUE(control<QWidget>(&w, "PicConfirmations")->isVisible());
    EXPECT_EQ(panelRows(w).size(), 2); // its rows in order: the core's confirmations test
}

TEST_F(Confirmations, AScreenOfCountsIsOneStatement)
{
    QList<qint32> messages;
    for (int i = 0; i < 40; ++i) {
        QList<To> to{{nurse}, {doctor, 1}};
        if (i % 4 == 0)
            to << To{0, 0, "WS2", "-1"};
        Msg m{"FRONT", front, QString("Message %1").arg(i), "x"};
        m.needConfirm = i % 2 == 0;
        messages << seed(m, to);
    }
    const int before = tzSndMsgFrm::confirmationQueryCount();
    tzSndMsgFrm& w = openFull();
    pressButton(w, "TB", "MsgSItem");
    ASSERT_EQ(model(w)->rowCount(), 40);
    EXPECT_EQ(tzSndMsgFrm::confirmationQueryCount(), before) << "nothing is counted while binding";
    // Tall enough that the list shows a screen of rows under the search bar.
    w.resize(1100, 900);
    w.grab();
    const int first = listView(w)->rowAt(0);
    const int last = listView(w)->rowAt(listView(w)->viewport()->height() - 1);
    ASSERT_GE(first, 0);
    ASSERT_GT(last, first + 5) << "a screen shows several rows";
    EXPECT_EQ(tzSndMsgFrm::confirmationQueryCount() - before, 1) << "one statement for the screen";
    for (int r = first; r <= last; ++r) {
        const int i = int(messages.indexOf(model(w)->cmIdAt(r)));
        SCOPED_TRACE(i);
        EXPECT_EQ(cell(w, r, confirmedColumn()),
                  i % 4 == 0 ? "1 of 3 confirmed" : "0 of 2 confirmed");
    }
    w.grab();
    EXPECT_EQ(tzSndMsgFrm::confirmationQueryCount() - before, 1) << "the screen's cells are kept";
}

// A host opens the window, shows its sent items (their "Confirmed" cells counted) and closes
// it: the window goes without touching what it has already let go (this aborted the host, or
// corrupted its memory for later).
TEST_F(Confirmations, AWindowClosedOnItsSentItemsLeavesTheHostWhole)
{
    Msg m{"FRONT", front, "Rota", "Please confirm"};
    m.needConfirm = true;
    seed(m, {{nurse}, {doctor, 1}});
    tzSndMsgCls host;
    host.setGIC(office.services());
    host.setSndMsgHistoryButtonVisible(true);
    host.setMsgHisOn(true);
    int counted = -1;
    ModalScript script;
    script.then([&](QDialog& dialog) {
        auto& w = static_cast<tzSndMsgFrm&>(dialog);
        const int before = tzSndMsgFrm::confirmationQueryCount();
        w.resize(1100, 800);
        EXPECT_TRUE(showActive(&w));
        pressButton(w, "TB", "MsgSItem");
        pump();
        counted = tzSndMsgFrm::confirmationQueryCount() - before;
        w.hide();
        return int(QDialog::Rejected);
    });
    host.Message_Start();
    EXPECT_EQ(counted, 1);
    // The heap is still sound: the allocator checks its lists as blocks come and go.
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(QString::number(i).repeated(8).size(), QString::number(i).size() * 8);
}

// The demo office's front desk opening its sent items: the message that asked for confirmation
// shows who has not confirmed yet, first.
class ConfirmationsDemo : public DemoFrontDesk {};

TEST_F(ConfirmationsDemo, TheFrontDesksSentItemsShowWhoIsStillPending)
{
    tzSndMsgFrm& w = openFull(1120, 800);
    pressButton(w, "TB", "MsgSItem");
    QTest::qWait(20);
    const auto* grid = listView(w)->model();
    ASSERT_GE(grid->rowCount(), 1);
    listView(w)->setCurrentIndex(grid->index(0, 2));
    QTest::qWait(20);
    EXPECT_EQ(subjectBox(w)->text(), "New phone system on Monday");
    ASSERT_TRUE(control<QWidget>(&w, "PicConfirmations")->isVisible());
    EXPECT_EQ(control<QLabel>(&w, "lblConfirmations")->text(),
              "4 of 6 confirmed - needs confirmation, 2 not confirmed yet");
    ASSERT_EQ(control<QTableWidget>(&w, "lstConfirmations")->rowCount(), 6);
    for (int r = 0; r < 2; ++r)
        EXPECT_EQ(control<QTableWidget>(&w, "lstConfirmations")->item(r, 2)->text(), "Pending")
            << r;
    keepShot(&w, "confirmations.png");
}

} // namespace
} // namespace tzsndmsg::testing
