// Reading and confirming a received message through the confirm panel of the real window.
#include "test_confirm_fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

namespace tzsndmsg::testing::confirm {
namespace {

using Confirm = ConfirmFixture;

QPushButton* button(tzSndMsgFrm& w, int index)
{
    return control<QPushButton>(&w, QStringLiteral("ConfirmCmdTo_") + QString::number(index));
}

struct Note {
    qint32 person;
    QString text;
    qint64 message;
    bool payroll;
};

QList<Note> notesOf(Office& office, const QString& kind = QStringLiteral("Note"))
{
    QList<Note> notes;
    db::Recordset rs = office.query(
        "select NTPid, NTTxt, NTLinID, NTPayRel from NoteTable where NTKind=? order by NTID", {kind});
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        notes << Note{qint32(rs.value("NTPid").toLongLong()), rs.value("NTTxt").toString(),
                      rs.value("NTLinID").toLongLong(), rs.value("NTPayRel").toLongLong() != 0};
    return notes;
}

TEST_F(Confirm, SecondWorkstationSeesTheMessageBoldUntilOk)
{
    // FRONT sends from WS1 through the compact window.
    {
        auto w = std::make_unique<tzSndMsgFrm>();
        w->load();
        w->txtSubject->setText("Lunch");
        w->txtMsg->setPlainText("Pizza at noon");
        w->ToListPid(0, QString::number(ben) + ",");
        w->SendMessage();
        w->Unload();
    }
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    const qint32 rowId = office.scalar("select BroChkID from BroChkTable where BroChkLinID=?", {cmId}).toInt();
    ASSERT_NE(rowId, 0);
    removeSignalFiles();

    // BEN at WS2 lists it in bold with the confirm panel.
    atWorkstation(office.workstation("WS2", "BEN"), ben);
    auto w = openInbox();
    ASSERT_TRUE(show(*w, cmId));
    EXPECT_TRUE(bold(*w, cmId));
    EXPECT_TRUE(w->PicConfirm->isVisibleTo(w.get()));
    EXPECT_FALSE(w->ConfirmChkYes->isVisibleTo(w.get())); // no confirmation was asked for
    EXPECT_TRUE(w->txtMsg->isReadOnly());

    button(*w, 2)->click();
    EXPECT_EQ(recipient(rowId, "BroChkDonDis").toInt(), -1);
    EXPECT_EQ(recipient(rowId, "BroChkLasReaDatTim").toDateTime(), QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    EXPECT_EQ(recipient(rowId, "BroChkPID").toInt(), ben);
    EXPECT_TRUE(QFile::exists(signalFile("CMBC")));
    EXPECT_FALSE(bold(*w, cmId));
    EXPECT_EQ(office.count("NoteTable"), 0); // nothing asked to be filed
    EXPECT_TRUE(prompter->shown.isEmpty());
    w->Unload();
}

TEST_F(Confirm, PanelOnlyForAReceivedMessageOfAnInbox)
{
    const qint32 in = seed({"BEN", ben, "In", "body"}, {{front}});
    const qint32 out = seed({"FRONT", front, "Out", "body"}, {{ben}});
    auto w = openInbox();
    ASSERT_TRUE(show(*w, in));
    EXPECT_TRUE(w->PicConfirm->isVisibleTo(w.get()));
    w->TB_ButtonClick("MsgSItem");
    ASSERT_TRUE(show(*w, out));
    EXPECT_FALSE(w->PicConfirm->isVisibleTo(w.get()));
    w->TB_ButtonClick("MsgIn");
    ASSERT_TRUE(show(*w, in));
    EXPECT_TRUE(w->PicConfirm->isVisibleTo(w.get()));
    w->resetToNewMessage();
    EXPECT_FALSE(w->PicConfirm->isVisibleTo(w.get()));
    w->Unload();
}

TEST_F(Confirm, NeedConfirmationRefusesUntilTheBoxIsTicked)
{
    QList<qint32> rows;
    const qint32 cmId = seed({"BEN", ben, "Policy", "Read all of it", true}, {{front}}, &rows);
    auto w = openInbox();
    ASSERT_TRUE(show(*w, cmId));
    ASSERT_TRUE(w->ConfirmChkYes->isVisibleTo(w.get()));

    prompter->expect("You must confirm that you have read this entire message.\r\n\r\n"
                     "Please checkmark box [Yes, I have read the entire message.].",
                     "Message", 1);
    button(*w, 2)->click();
    EXPECT_TRUE(recipient(rows[0], "BroChkDonDis").isNull());
    EXPECT_FALSE(QFile::exists(signalFile("CMBC")));
    EXPECT_TRUE(bold(*w, cmId));

    ASSERT_TRUE(show(*w, cmId));
    w->ConfirmChkYes->setChecked(true);
    button(*w, 2)->click();
    EXPECT_EQ(recipient(rows[0], "BroChkDonDis").toInt(), -1);
    EXPECT_FALSE(bold(*w, cmId));
    w->Unload();
}

TEST_F(Confirm, ComputerRowGetsTheConfirmingEmployee)
{
    QList<qint32> rows;
    const qint32 cmId = seed({"CARL", carl, "Printer", "Out of toner"}, {{0, "WS2"}}, &rows);
    atWorkstation(office.workstation("WS2", "BEN"), ben);
    auto w = openInbox();
    ASSERT_TRUE(show(*w, cmId));
    button(*w, 2)->click();
    EXPECT_EQ(recipient(rows[0], "BroChkPID").toInt(), ben);
    EXPECT_EQ(recipient(rows[0], "BroChkDonDis").toInt(), -1);
    EXPECT_EQ(recipient(rows[0], "BroChkToMac").toString(), "WS2");
    w->Unload();
}

TEST_F(Confirm, PayrollRelatedGoesToTheConfirmingUserAndTheSenderOnce)
{
    struct Case {
        const char* name;
        bool fromSelf;
        int notes;
    } cases[] = {{"sent by another", false, 2}, {"sent to oneself", true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        office.exec("delete from NoteTable");
        const qint32 sender = c.fromSelf ? front : carl;
        const qint32 cmId = seed({c.fromSelf ? "FRONT" : "CARL", sender, "Hours", "  Overtime fixed  ",
                                  false, false, true},
                                 {{front}});
        auto w = openInbox();
        ASSERT_TRUE(show(*w, cmId));
        const QString to = w->txtTo[0]->text();
        button(*w, 2)->click();

        const QList<Note> notes = notesOf(office);
        ASSERT_EQ(notes.size(), c.notes);
        EXPECT_EQ(notes[0].person, front);
        if (c.notes == 2) {
            EXPECT_EQ(notes[1].person, carl);
        }
        for (const Note& n : notes) {
            EXPECT_EQ(n.message, cmId);
            EXPECT_TRUE(n.payroll);
            EXPECT_EQ(n.text, "From: " + office.services()->personName(sender) + "\r\nTO: " + to +
                                  "\r\nSubject: Hours\r\nDate: 12/6/2026 10:00 AM\r\n\r\nOvertime fixed");
        }
        EXPECT_EQ(header(cmId, "cmDocAftDis").toInt(), -1);
        EXPECT_EQ(header(cmId, "CMShoOnRep").toInt(), -1);
        w->Unload();
    }
}

TEST_F(Confirm, PanelsPayrollBoxMarksTheMessageForAUserWithTheRight)
{
    office.insert("PWATable", "PWAID", {"PWAUseNam", "PWARigNam", "PWAWriFla"},
                  {"FRONT", "Tim_Mar_Pay_Rel_Mes", -1});
    const qint32 cmId = seed({"CARL", carl, "Mileage", "Trip to the lab"}, {{front}});
    auto w = openInbox();
    ASSERT_TRUE(show(*w, cmId));
    ASSERT_TRUE(w->ConfirmchkDoc[2]->isVisibleTo(w.get()));
    w->ConfirmchkDoc[2]->setChecked(true);
    button(*w, 2)->click();
    EXPECT_EQ(header(cmId, "CMShoOnRep").toInt(), -1);
    EXPECT_EQ(header(cmId, "cmDocAftDis").toInt(), -1);
    const QList<Note> notes = notesOf(office);
    ASSERT_EQ(notes.size(), 2);
    EXPECT_EQ(notes[0].person, front);
    EXPECT_EQ(notes[1].person, carl);
    // Once confirmed, the panel no longer offers it.
    ASSERT_TRUE(show(*w, cmId));
    EXPECT_FALSE(w->ConfirmchkDoc[2]->isVisibleTo(w.get()));
    w->Unload();
}

TEST_F(Confirm, SaveAfterDisplayFilesIntoTheChosenPersonsNotes)
{
    const qint32 patient = office.addPerson("Patient", "Pat", "PP", false);
    struct Case {
        const char* name;
        int saveTo;
        qint32 assPid;
        qint32 expected;
    } cases[] = {{"the patient", 1, patient, patient},
                 {"own notes", 0, patient, front},
                 {"no person chosen", 1, 0, front}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        office.exec("delete from NoteTable");
        Seed m{"CARL", carl, "Lab", "Results normal", true};
        m.saveAfterDisplay = true;
        const qint32 cmId = seed(m, {{front, QString(), QString(), c.saveTo, c.assPid}});
        auto w = openInbox();
        ASSERT_TRUE(show(*w, cmId));
        w->ConfirmChkYes->setChecked(true);
        button(*w, 2)->click();
        const QList<Note> notes = notesOf(office);
        ASSERT_EQ(notes.size(), 1);
        EXPECT_EQ(notes[0].person, c.expected);
        EXPECT_FALSE(notes[0].payroll);
        EXPECT_TRUE(notes[0].text.endsWith(
            "\r\n\r\nResults normal\r\nConfirmed by FRONT on 12/6/2026 at 10:00 AM"));
        w->Unload();
    }
}

TEST_F(Confirm, ReturnReceiptIsSentWithoutAWindow)
{
    ModalScript modals; // any window shown fails the test
    QList<qint32> rows;
    Seed m{"CARL", carl, "Budget", "Numbers attached"};
    m.receipt = true;
    const qint32 cmId = seed(m, {{front}}, &rows);
    auto& st = SharedState::current();
    st.Notes = "kept";
    auto w = openInbox();
    ASSERT_TRUE(show(*w, cmId));
    button(*w, 2)->click();

    const qint32 receipt = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(receipt, cmId);
    EXPECT_EQ(header(receipt, "CMSubjec").toString(), "RR: Budget");
    EXPECT_TRUE(header(receipt, "cmDoc").toString().startsWith(
        "Return Receipt. Message received by FRONT on 12/06/2026 10:00 am"));
    EXPECT_EQ(header(receipt, "cmConRec").toInt(), 0); // no receipt for a receipt
    EXPECT_EQ(office.scalar("select BroChkPID from BroChkTable where BroChkLinID=?", {receipt}).toInt(), carl);
    EXPECT_EQ(recipient(rows[0], "BroChkDonDis").toInt(), -1);
    // The shared values are as they were.
    EXPECT_EQ(st.ReplyFlag, -1);
    EXPECT_EQ(st.ReplyBCID, 0);
    EXPECT_FALSE(st.ReplyAutoSend);
    EXPECT_EQ(st.Notes, "kept");
    EXPECT_EQ(modals.shown, 0);
    w->Unload();
}

TEST_F(Confirm, SnoozeReplyAndForwardLeaveTheMessageUnread)
{
    QList<qint32> rows;
    const qint32 cmId = seed({"CARL", carl, "Schedule", "Can you swap Friday?"}, {{front}, {ben}}, &rows);
    auto w = openInbox();
    ASSERT_TRUE(show(*w, cmId));

    button(*w, 3)->click();
    EXPECT_EQ(office.count("CMTable"), 1);
    EXPECT_FALSE(QFile::exists(signalFile("CMBC")));

    struct Case {
        int index;
        QString title, subject;
        bool toAuthor;
    } cases[] = {{4, "Reply Message", "RE: Schedule", true}, {5, "Forward Message", "FW: Schedule", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        ASSERT_TRUE(show(*w, cmId));
        ModalScript modals;
        QString title, subject, to;
        qint32 replyFlagInside = 0;
        modals.then([&](QDialog& dialog) {
            auto& nested = static_cast<tzSndMsgFrm&>(dialog);
            title = nested.windowTitle();
            subject = nested.txtSubject->text();
            to = nested.txtTo[0]->text();
            replyFlagInside = SharedState::current().ReplyFlag;
            nested.Unload();
            return int(QDialog::Rejected);
        });
        button(*w, c.index)->click();
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(subject, c.subject);
        EXPECT_EQ(to.isEmpty(), !c.toAuthor);
        EXPECT_EQ(replyFlagInside, c.index == 4 ? 1 : 2);
        EXPECT_EQ(SharedState::current().ReplyFlag, -1);
    }
    EXPECT_TRUE(recipient(rows[0], "BroChkDonDis").isNull());
    EXPECT_TRUE(bold(*w, cmId));
    EXPECT_EQ(office.count("CMTable"), 1);
    w->Unload();
}

TEST_F(Confirm, ToDoListAcceptCancelAndTheChosenPerson)
{
    const qint32 patient = office.addPerson("Patient", "Pat", "PP", false);
    QString dialogTitle;
    bool accept = true;
    office.services()->setTodoDialogHandler([&](QObject*, QString& title) {
        dialogTitle = title;
        title += " (call back)";
        return accept;
    });
    const qint32 plain = seed({"CARL", carl, "Call Mrs. Smith", "About her refill"}, {{front}});
    Seed filed{"CARL", carl, "Lab", "Results normal"};
    filed.saveAfterDisplay = true;
    const qint32 chosen = seed(filed, {{front, QString(), QString(), 1, patient}});
    auto w = openInbox();

    // Accepted: filed for the sender.
    ASSERT_TRUE(show(*w, plain));
    prompter->expect("Message was added to ToDo List.", "Add to ToDoList", 1);
    button(*w, 6)->click();
    EXPECT_EQ(dialogTitle, "Call Mrs. Smith");
    db::Recordset rs = office.query("select NTPid, NTTxt, NTTitle, NTSrc, NTCat, NTSubCat, NTWho "
                                    "from NoteTable where NTKind='ToDo'");
    ASSERT_EQ(rs.recordCount(), 1);
    rs.moveFirst();
    EXPECT_EQ(rs.value("NTPid").toInt(), carl);
    EXPECT_EQ(rs.value("NTTxt").toString(), "About her refill");
    EXPECT_EQ(rs.value("NTTitle").toString(), "Call Mrs. Smith (call back)");
    EXPECT_EQ(rs.value("NTSrc").toString(), "CM");
    EXPECT_EQ(rs.value("NTCat").toString(), "ToDo");
    EXPECT_EQ(rs.value("NTSubCat").toString(), "Comment");
    EXPECT_EQ(rs.value("NTWho").toString(), "FRONT");

    // Saved after display to a chosen person: filed for that person.
    ASSERT_TRUE(show(*w, chosen));
    prompter->expect("Message was added to ToDo List.", "Add to ToDoList", 1);
    button(*w, 6)->click();
    EXPECT_EQ(office.scalar("select NTPid from NoteTable where NTKind='ToDo' order by NTID desc").toInt(),
              patient);

    // Cancelled: nothing filed.
    accept = false;
    ASSERT_TRUE(show(*w, plain));
    prompter->expect("Adding message to ToDo List is canceled.", "Add to ToDoList", 1);
    button(*w, 6)->click();
    EXPECT_EQ(office.count("NoteTable", "NTKind='ToDo'"), 2);
    EXPECT_EQ(prompter->shown.last().icon, 64);
    EXPECT_TRUE(recipient(office.scalar("select BroChkID from BroChkTable where BroChkLinID=?", {plain}).toInt(),
                          "BroChkDonDis")
                    .isNull());
    w->Unload();
}

TEST_F(Confirm, ToDoListWithoutAnEmployeeWritesNothing)
{
    // A computer's message from the supervisor, read at a station whose login has no employee.
    const qint32 cmId = seed({"SUPERVISOR", 0, "Backup", "Tape change tonight"}, {{0, "WS3"}});
    bool asked = false;
    auto station = office.workstation("WS3", "TEMPUSER");
    station->setTodoDialogHandler([&](QObject*, QString&) { return asked = true; });
    atWorkstation(station, 0);
    auto w = openInbox("MsgHisAll");
    ASSERT_TRUE(show(*w, cmId));
    prompter->expect("Cannot add this message to ToDoList due to missing Employee ID.", "Save to ToDo List", 1);
    button(*w, 6)->click();
    EXPECT_FALSE(asked);
    EXPECT_EQ(office.count("NoteTable"), 0);
    w->Unload();
}

} // namespace
} // namespace tzsndmsg::testing::confirm
