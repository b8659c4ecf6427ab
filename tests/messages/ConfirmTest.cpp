// Reading and confirming a received message through the confirm panel of the real window.
#include "fixture.h"

namespace tzsndmsg::testing {
namespace {

using Confirm = ConfirmTest;

QPushButton* button(tzSndMsgFrm& w, int index)
{
    return control<QPushButton>(&w, "ConfirmCmdTo_" + QString::number(index));
}

TEST_F(Confirm, SecondWorkstationSeesTheMessageBoldUntilOk)
{
    // FRONT sends from WS1 through the compact window.
    tzSndMsgFrm& sender = write("Lunch", "Pizza at noon");
    pick(sender, 0, {"Bennet, Ben"});
    const qint32 cmId = send(sender);
    const qint32 rowId =
        office.scalar("select BroChkID from BroChkTable where BroChkLinID=?", {cmId}).toInt();
    ASSERT_NE(rowId, 0);
    QList<qint32> machineRow;
    const qint32 toWs2 =
        seed({"CARL", carl, "Printer", "Out of toner"}, {{0, 0, "WS2"}}, &machineRow);

    // BEN at WS2 lists it in bold with the confirm panel.
    atWorkstation(ben, office.workstation("WS2", "BEN"));
    tzSndMsgFrm& w = view(cmId, "MsgHisMsg");
    EXPECT_TRUE(bold(w, cmId));
    EXPECT_TRUE(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w));
    EXPECT_FALSE(
        control<QCheckBox>(&w, "ConfirmChkYes")->isVisibleTo(&w)); // no confirmation was asked for

    // OK confirms the row (what a confirmation writes and signals: the core's test).
    button(w, 2)->click();
    EXPECT_EQ(recipient(rowId, "BroChkDonDis").toInt(), -1);
    EXPECT_FALSE(bold(w, cmId));
    EXPECT_EQ(office.count("NoteTable"), 0); // nothing asked to be filed

    // The computer's row gets the confirming employee.
    ASSERT_TRUE(show(w, toWs2));
    button(w, 2)->click();
    EXPECT_EQ(recipient(machineRow[0], "BroChkPID").toInt(), ben);
}

// The panel comes only with a received message of an inbox; when the message needs confirmation,
// OK is refused until its box is ticked.
TEST_F(Confirm, PanelOnlyForAReceivedMessageOfAnInboxAndRefusesUntilTheBoxIsTicked)
{
    QList<qint32> rows;
    const qint32 in =
        seed({.who = "BEN", .pid = ben, .subject = "In", .needConfirm = true}, {{front}}, &rows);
    const qint32 out = seed({"FRONT", front, "Out", "body"}, {{ben}});
    tzSndMsgFrm& w = openFull();
    for (const char* view : {"", "MsgSItem", "MsgIn"}) {
        SCOPED_TRACE(view);
        if (*view)
            pressButton(w, "TB", view);
        const bool inbox = QString(view) != "MsgSItem";
        ASSERT_TRUE(show(w, inbox ? in : out));
        EXPECT_EQ(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w), inbox);
        // A received message is shown as it was sent (OK files what the form shows); the
        // sender's own message may be changed and sent again.
        EXPECT_EQ(control<QLineEdit>(&w, "txtSubject")->isReadOnly(), inbox);
        for (const char* name : {"CmdTo_0", "CmdTo_3", "chkDoc_2", "cmbAla", "ChkBro_0"})
            EXPECT_EQ(control<QWidget>(&w, name)->isEnabled(), !inbox) << name;
    }
    {
        // What a reader types or clicks there changes nothing.
        ASSERT_TRUE(showActive(&w));
        ASSERT_TRUE(show(w, in));
        auto* subject = control<QLineEdit>(&w, "txtSubject");
        subject->setFocus();
        QTest::keyClicks(subject, " - approved");
        auto* payroll = control<QCheckBox>(&w, "chkDoc_2");
        QTest::mouseClick(payroll, Qt::LeftButton);
        EXPECT_EQ(subject->text(), "In");
        EXPECT_FALSE(payroll->isChecked());
    }
    ASSERT_TRUE(control<QCheckBox>(&w, "ConfirmChkYes")->isVisibleTo(&w));
    prompter->expect("You must confirm that you have read this entire message.\r\n\r\n"
                     "Please checkmark box [Yes, I have read the entire message.].",
                     "Message", 1);
    button(w, 2)->click();
    EXPECT_TRUE(recipient(rows[0], "BroChkDonDis").isNull());
    EXPECT_FALSE(QFile::exists(office.signalFile("CMBC")));
    EXPECT_TRUE(bold(w, in));

    ASSERT_TRUE(show(w, in));
    control<QCheckBox>(&w, "ConfirmChkYes")->setChecked(true);
    button(w, 2)->click();
    EXPECT_EQ(recipient(rows[0], "BroChkDonDis").toInt(), -1);
    EXPECT_FALSE(bold(w, in));
    w.resetToNewMessage();
    EXPECT_FALSE(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w));
    EXPECT_FALSE(control<QLineEdit>(&w, "txtSubject")->isReadOnly());
    EXPECT_TRUE(control<QWidget>(&w, "chkDoc_2")->isEnabled());
}

TEST_F(Confirm, AHiddenRowIsNeitherShownNorConfirmedNorDeleted)
{
    const qint32 seen = seed(
        {.who = "BEN", .pid = ben, .subject = "Seen", .body = "The seen one", .needConfirm = false},
        {{front}});
    QList<qint32> rows;
    const qint32 hidden = seed(
        {.who = "BEN", .pid = ben, .subject = "Hidden", .body = "Not for the list", .typ = "-1"},
        {{front}}, &rows);
    tzSndMsgFrm& w = openFullShown();
    ASSERT_EQ(model(w)->rowCount(), 2);
    clickRow(w, rowOf(w, seen));
    ASSERT_EQ(textBox(w)->toPlainText(), "The seen one");
    ASSERT_TRUE(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w));

    // The hidden row is current but not opened: nothing of the message before stays to act on.
    clickRow(w, rowOf(w, hidden));
    EXPECT_EQ(model(w)->cmIdAt(listView(w)->currentIndex().row()), hidden);
    EXPECT_TRUE(textBox(w)->toPlainText().isEmpty());
    EXPECT_TRUE(subjectBox(w)->text().isEmpty());
    EXPECT_FALSE(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w));
    EXPECT_FALSE(buttonOf(w, "TB", "Delete")->isEnabled());
    {
        ModalScript none; // no reply or forward window may open
        for (int index : {2, 3, 4, 5, 6})
            control<QPushButton>(&w, nth("ConfirmCmdTo", index))
                ->click();              // on a button no one can see
        pressButton(w, "TB", "Delete"); // asks nothing
    }
    EXPECT_TRUE(recipient(rows[0], "BroChkDonDis").isNull());
    EXPECT_EQ(office.count("CMTable", "cmID=?", {hidden}), 1);
    EXPECT_EQ(office.count("CMTable"), 2) << "no reply, forward or receipt was made";
    EXPECT_TRUE(prompter->shown.isEmpty());

    // Back on the other row everything works again.
    clickRow(w, rowOf(w, seen));
    EXPECT_EQ(textBox(w)->toPlainText(), "The seen one");
    EXPECT_TRUE(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w));
    EXPECT_TRUE(buttonOf(w, "TB", "Delete")->isEnabled());
}

// Payroll-related messages go to the confirming user and the sender once; a message saved after
// display goes to the chosen person, else to the confirming user.
TEST_F(Confirm, ConfirmingFilesTheNotesTheMessageAsksFor)
{
    // The panel's own payroll box is offered to a user with the right.
    office.insert("PWATable", "PWAID", {"PWAUseNam", "PWARigNam", "PWAWriFla"},
                  {"FRONT", "Tim_Mar_Pay_Rel_Mes", -1});
    const qint32 patient = office.addPerson("Patient", "Pat", "PP", false);
    struct Case {
        const char* name;
        bool fromSelf, payroll, markedInPanel, saveAfterDisplay;
        int saveTo;
        qint32 assPid;
        QList<qint32> notes;
    } cases[] = {{"payroll, sent by another", false, true, false, false, 0, 0, {front, carl}},
                 {"payroll, sent to oneself", true, true, false, false, 0, 0, {front}},
                 {"payroll marked in the panel", false, true, true, false, 0, 0, {front, carl}},
                 {"saved to the patient", false, false, false, true, 1, patient, {patient}},
                 {"saved to own notes", false, false, false, true, 0, patient, {front}},
                 {"saved, no person chosen", false, false, false, true, 1, 0, {front}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        office.exec("delete from NoteTable");
        const qint32 sender = c.fromSelf ? front : carl;
        Msg hours{c.fromSelf ? "FRONT" : "CARL", sender, "Hours", "  Overtime fixed  "};
        hours.needConfirm = hours.saveAfterDisplay = c.saveAfterDisplay;
        hours.payroll = c.payroll && !c.markedInPanel;
        const qint32 cmId = seed(hours, {{front, 0, "", "", c.saveTo, c.assPid}});
        tzSndMsgFrm& w = view(cmId, "MsgHisMsg");
        if (c.markedInPanel) {
            ASSERT_TRUE(control<QCheckBox>(&w, "ConfirmchkDoc_2")->isVisibleTo(&w));
            control<QCheckBox>(&w, "ConfirmchkDoc_2")->setChecked(true);
        }
        if (c.saveAfterDisplay)
            control<QCheckBox>(&w, "ConfirmChkYes")->setChecked(true);
        const QString to = control<QLineEdit>(&w, "txtTo_0")->text();
        button(w, 2)->click();

        // Each note: for whom, its text, its message and whether it is payroll related.
        const QString note =
            "%1|From: " + office.services()->personName(sender) + "\r\nTO: " + to +
            "\r\nSubject: Hours\r\nDate: 12/6/2026 10:00 AM\r\n\r\nOvertime fixed" +
            (c.saveAfterDisplay ? "\r\nConfirmed by FRONT on 12/6/2026 at 10:00 AM" : "") +
            QString("|%1|%2").arg(cmId).arg(c.payroll ? -1 : 0);
        QStringList expected;
        for (qint32 person : c.notes)
            expected << note.arg(person);
        EXPECT_EQ(office.rows("select NTPid, NTTxt, NTLinID, NTPayRel from NoteTable where "
                              "NTKind='Note' order by NTID"),
                  expected);
        EXPECT_EQ(header(cmId, "cmDocAftDis").toInt(), -1);
        EXPECT_EQ(header(cmId, "CMShoOnRep").toInt(), c.payroll ? -1 : 0);
        // Once confirmed, the panel no longer offers it.
        ASSERT_TRUE(show(w, cmId));
        EXPECT_FALSE(control<QCheckBox>(&w, "ConfirmchkDoc_2")->isVisibleTo(&w));
        w.Unload();
    }
}

TEST_F(Confirm, ReturnReceiptIsSentWithoutAWindow)
{
    ModalScript modals; // any window shown fails the test
    QList<qint32> rows;
    Msg budget{"CARL", carl, "Budget", "Numbers attached"};
    budget.receipt = true;
    const qint32 cmId = seed(budget, {{front}}, &rows);
    auto& st = SharedState::current();
    st.Notes = "kept";
    tzSndMsgFrm& w = view(cmId, "MsgHisMsg");
    button(w, 2)->click();

    const qint32 receipt = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(receipt, cmId);
    EXPECT_EQ(header(receipt, "CMSubjec").toString(), "RR: Budget");
    EXPECT_TRUE(
        header(receipt, "cmDoc")
            .toString()
            .startsWith("Return Receipt. Message received by FRONT on 12/06/2026 10:00 am"));
    EXPECT_EQ(header(receipt, "cmConRec").toInt(), 0); // no receipt for a receipt
    EXPECT_EQ(rowsOf(receipt), (Rows{{carl, 0, ""}}));
    EXPECT_EQ(recipient(rows[0], "BroChkDonDis").toInt(), -1);
    // The shared values are as they were.
    EXPECT_EQ(st.ReplyFlag, -1);
    EXPECT_EQ(st.ReplyBCID, 0);
    EXPECT_FALSE(st.ReplyAutoSend);
    EXPECT_EQ(st.Notes, "kept");

    // From SUPERVISOR, who is no person: confirmed without a receipt, and without a box.
    budget = {"SUPERVISOR", 0, "Budget", "Numbers attached"};
    budget.receipt = true;
    const qint32 fromSupervisor = seed(budget, {{front}}, &rows);
    pressButton(w, "TB", "Refresh");
    ASSERT_TRUE(show(w, fromSupervisor));
    button(w, 2)->click();
    EXPECT_EQ(office.scalar("select max(cmID) from CMTable").toInt(), fromSupervisor);
    EXPECT_EQ(recipient(rows[0], "BroChkDonDis").toInt(), -1);
}

TEST_F(Confirm, SnoozeReplyAndForwardLeaveTheMessageUnread)
{
    QList<qint32> rows;
    const qint32 cmId =
        seed({"CARL", carl, "Schedule", "Can you swap Friday?"}, {{front}, {ben}}, &rows);
    tzSndMsgFrm& w = view(cmId, "MsgHisMsg");
    button(w, 3)->click(); // snooze
    EXPECT_FALSE(QFile::exists(office.signalFile("CMBC")));

    struct Case {
        int index;
        QString title, subject;
        bool toAuthor;
    } cases[] = {{4, "Reply Message", "RE: Schedule", true},
                 {5, "Forward Message", "FW: Schedule", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        ASSERT_TRUE(show(w, cmId));
        ModalScript modals;
        QString title, subject, to;
        qint32 replyFlagInside = 0;
        modals.then([&](QDialog& dialog) {
            auto& nested = static_cast<tzSndMsgFrm&>(dialog);
            title = nested.windowTitle();
            subject = control<QLineEdit>(&nested, "txtSubject")->text();
            to = control<QLineEdit>(&nested, "txtTo_0")->text();
            replyFlagInside = SharedState::current().ReplyFlag;
            nested.Unload();
            return int(QDialog::Rejected);
        });
        button(w, c.index)->click();
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(subject, c.subject);
        EXPECT_EQ(to.isEmpty(), !c.toAuthor);
        EXPECT_EQ(replyFlagInside, c.index == 4 ? 1 : 2);
        EXPECT_EQ(SharedState::current().ReplyFlag, -1);
    }
    EXPECT_TRUE(recipient(rows[0], "BroChkDonDis").isNull());
    EXPECT_TRUE(bold(w, cmId));
    EXPECT_EQ(office.count("CMTable"), 1);

    // Snooze on a message already read only refreshes the list: there is nothing to tell again,
    // and no box says so (the guard fails on any).
    office.exec("update BroChkTable set BroChkDonDis=-1 where BroChkID=?", {rows[0]});
    ASSERT_TRUE(show(w, cmId));
    button(w, 3)->click();
    EXPECT_FALSE(bold(w, cmId));
}

TEST_F(Confirm, ToDoListAcceptCancelChosenPersonAndNoEmployee)
{
    const qint32 patient = office.addPerson("Patient", "Pat", "PP", false);
    QString dialogTitle;
    bool accept = true;
    office.services()->setTodoDialogHandler([&](QObject*, QString& title) {
        dialogTitle = title;
        title += " (call back)";
        return accept;
    });
    QList<qint32> rows;
    const qint32 plain =
        seed({"CARL", carl, "Call Mrs. Smith", "About her refill"}, {{front}}, &rows);
    Msg lab{"CARL", carl, "Lab", "Results normal"};
    lab.saveAfterDisplay = true;
    const qint32 chosen = seed(lab, {{front, 0, "", "", 1, patient}});
    tzSndMsgFrm& w = openFull();
    const QString todo =
        "select NTPid, NTTxt, NTTitle, NTSrc, NTCat, NTSubCat, NTWho from NoteTable "
        "where NTKind='ToDo' order by NTID desc";

    // Accepted: filed for the sender; saved after display to a chosen person: for that person.
    for (const auto& [cmId, person] : {std::pair{plain, carl}, std::pair{chosen, patient}}) {
        ASSERT_TRUE(show(w, cmId));
        prompter->expect("Message was added to ToDo List.", "Add to ToDoList", 1);
        button(w, 6)->click();
        EXPECT_EQ(office.scalar(todo).toInt(), person);
    }
    EXPECT_EQ(dialogTitle, "Lab");
    office.expectColumns(todo + " limit 1 offset 1", {},
                         "NTPid=" + QString::number(carl) +
                             "|NTTxt=About her refill|NTTitle=Call Mrs. Smith (call back)|NTSrc=CM|"
                             "NTCat=ToDo|NTSubCat=Comment|NTWho=FRONT");

    // Cancelled: nothing filed, the message stays unread.
    accept = false;
    ASSERT_TRUE(show(w, plain));
    prompter->expect("Adding message to ToDo List is canceled.", "Add to ToDoList", 1);
    button(w, 6)->click();
    EXPECT_EQ(office.count("NoteTable", "NTKind='ToDo'"), 2);
    EXPECT_TRUE(recipient(rows[0], "BroChkDonDis").isNull());
    w.Unload();

    // A computer's message from the supervisor, read at a station whose login has no employee.
    const qint32 backup = seed({"SUPERVISOR", 0, "Backup", "Tape change tonight"}, {{0, 0, "WS3"}});
    bool asked = false;
    office.addLogin("TEMPUSER", QVariant());
    auto station = office.workstation("WS3", "TEMPUSER");
    station->setTodoDialogHandler([&](QObject*, QString&) { return asked = true; });
    atWorkstation(0, station);
    tzSndMsgFrm& ws3 = openFull("MsgHisAll");
    ASSERT_TRUE(show(ws3, backup));
    prompter->expect("Cannot add this message to ToDoList due to missing Employee ID.",
                     "Save to ToDo List", 1);
    button(ws3, 6)->click();
    EXPECT_FALSE(asked);
    EXPECT_EQ(office.count("NoteTable"), 2);
}

} // namespace
} // namespace tzsndmsg::testing
