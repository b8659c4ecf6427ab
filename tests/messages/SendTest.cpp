// Saving and sending from the window: the questions, the rows written, the signals.
#include "fixture.h"

namespace tzsndmsg::testing {
namespace {

using SendTest = ComposeTest;

TEST_F(SendTest, SendingToPersonsWritesTheRowsAndTheSignals)
{
    office.writeMachinesIni("ws2\r\n");
    tzSndMsgFrm& w = write("  Staff meeting  ", "Room 4 at noon");
    pick(w, 0, {"Nurse, Ned", "Doctor, Dora"});
    pick(w, 1, {"Doctor, Dora", "Front, Fay", "-Computer WS2"});
    control<QCheckBox>(&w, "chkDoc_1")->click();
    const qint32 cmId = send(w);

    ASSERT_EQ(office.count("CMTable"), 1);
    office.expectColumns(
        "select * from CMTable", {},
        "cmTyp=256|cmTraLinID=0|cmDat=12/06/2026|cmTim=10:00:00 AM|cmWho=FRONT|"
        "cmWhoMod=FRONT|cmPid=" +
            QString::number(front) +
            "|cmCat=Message|cmSubCat=EMS|CMSubjec=Staff meeting|cmDoc=Room 4 at noon|"
            "CMNeeCom=-1|cmConRec=0");
    // Delivery starts now, "Unlimited" times.
    expectDetail(cmId, "EvPID=" + QString::number(front) +
                           "|EvTyp=0|EvPri=False|EvBroFla=-1|EvBroStaDatFla=-1|"
                           "EvBroStaDat=12/06/2026|EvBroStaTim=10:00:00 AM|EVAlaFla=0|"
                           "EvBroReaTyp=-1|EvBroNumOfTim=-1");
    // The doctor in both lists keeps only the To row.
    EXPECT_EQ(rowsOf(cmId), (Rows{{nurse, 0, ""}, {doctor, 0, ""}, {front, 1, ""}, {0, 1, "WS2"}}));
    EXPECT_FALSE(w.hasUnsavedChanges());
    EXPECT_FALSE(w.isVisible()); // sent: the compact window closes
}

TEST_F(SendTest, PickedDepartmentOfficeAndComputerAreWrittenOncePerPerson)
{
    office.writeMachinesIni("ws2\r\nfront-pc\r\n");
    struct Case {
        QStringList picks;
        Rows rows;
        QString shown; // the To box
    } cases[] = {
        // A department: every person whose department matches, whatever its case.
        {{" Clinical Department"}, {{nurse, 0, ""}, {doctor, 0, ""}}, "NN, DD"},
        // A person chosen also through the department or the whole office is written once.
        {{"Nurse, Ned", " Clinical Department"}, {{nurse, 0, ""}, {doctor, 0, ""}}, "NN, DD"},
        {{"Entire Office", "Nurse, Ned"},
         {{front, 0, ""}, {nurse, 0, ""}, {doctor, 0, ""}},
         "FF, NN, DD"},
        {{"-Computer WS2", "Front, Fay"}, {{front, 0, ""}, {0, 0, "WS2"}}, "FF, WS2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picks.join("|").toStdString());
        tzSndMsgFrm& w = write("Staff meeting", "Hello");
        pick(w, 0, c.picks);
        EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), c.shown);
        office.removeSignalFiles();
        EXPECT_EQ(rowsOf(send(w)), c.rows);
        EXPECT_TRUE(QFile::exists(office.signalFile("CMBC")));
    }
}

// Closing the compact window over a message not sent asks first; Cancel keeps it open and
// working.
TEST_F(SendTest, QuestionsBeforeANewMessageIsSent)
{
    struct Case {
        QStringList to, cc;
        QList<int> answers; // the send question, then the recipient question when asked
        bool stays;         // Cancel keeps the window open
        int messages;       // CMTable rows afterwards
        int rows;           // BroChkTable rows afterwards
    } cases[] = {
        {{"Nurse, Ned"}, {}, {2}, true, 0, 0},
        {{"Nurse, Ned"}, {}, {7}, false, 0, 0},
        {{}, {}, {6, 2}, true, 0, 0},
        {{}, {"Nurse, Ned"}, {6, 2}, true, 0, 0}, // only Cc is asked about too
        {{}, {}, {6, 6}, false, 1, 0},            // saved without addressee rows
        {{"Nurse, Ned"}, {}, {6}, false, 2, 1},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        tzSndMsgFrm& w = write("Staff meeting", "Text");
        if (!c.to.isEmpty())
            pick(w, 0, c.to);
        if (!c.cc.isEmpty())
            pick(w, 1, c.cc);
        prompter->shown.clear();
        prompter->expect("Would you like to send current message?", "Send Message", c.answers[0]);
        if (c.answers.size() > 1)
            prompter->expect(
                "You have entered a message, but you have not selected a recipient name(s).\n\n"
                "To send a message, you must select a name(s) by clicking on the [To...] "
                "button.\n\nAre you sure you want to continue?",
                "Save Message", c.answers[1]);
        pressButton(w, "TB_Small", "Close");
        EXPECT_EQ(w.isVisible(), c.stays);
        EXPECT_TRUE(w.isEnabled());
        EXPECT_EQ(office.count("CMTable"), c.messages);
        EXPECT_EQ(office.count("BroChkTable"), c.rows);
        ASSERT_EQ(prompter->shown.size(), c.answers.size());
        for (const auto& box : prompter->shown)
            EXPECT_EQ(box.buttons, 3);
        if (c.answers.size() > 1) {
            EXPECT_EQ(prompter->shown[1].defaultButton, 256);
        }
    }
}

TEST_F(SendTest, AnUnmarkedHeaderSavesNothing)
{
    for (const QString body : {"Some text", ""}) {
        SCOPED_TRACE(body.toStdString());
        tzSndMsgFrm& w = open();
        textBox(w)->setPlainText(body);
        w.markSaved();                               // as saved
        control<QCheckBox>(&w, "ChkRea_0")->click(); // only the detail pane changes
        ASSERT_TRUE(w.hasUnsavedChanges());
        prompter->shown.clear();
        if (body.isEmpty())
            prompter->expect("Nothing to save because there is no document", "Send Message", 1);
        send(w);
        EXPECT_EQ(office.count("CMTable"), 0);
        // With no text the box says so and the window keeps what was set in it.
        EXPECT_EQ(w.hasUnsavedChanges(), body.isEmpty());
        EXPECT_EQ(prompter->shown.size(), body.isEmpty() ? 1 : 0);
    }
}

TEST_F(SendTest, AFailingWriteLeavesNoHalfMessage)
{
    tzSndMsgFrm& w = write("Staff meeting", "Will not arrive");
    pick(w, 0, {"Nurse, Ned"});
    office.exec("DROP TABLE BroChkTable");
    prompter->expect("The message could not be saved; nothing of it was written.\n\n",
                     "Send Message", 1);
    send(w);
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown[0].icon, 16);
    EXPECT_FALSE(prompter->shown[0].text.endsWith("\n\n")); // the database's reason follows
    EXPECT_EQ(office.count("CMTable"), 0); // the rest left unwritten: the core's own test
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_TRUE(w.isVisible());         // not sent: the window stays
    EXPECT_TRUE(w.hasUnsavedChanges()); // the user can try again
}

// A message date that is not a date is refused before anything is written; the window keeps
// the message, and the date once corrected sends it.
TEST_F(SendTest, AMessageDateThatIsNoDateIsRefusedAndNothingLost)
{
    tzSndMsgFrm& w = write("Rota", "Swap on Friday");
    pick(w, 0, {"Nurse, Ned"});
    auto* date = control<ui::DateCombo>(&w, "DateCmb_Abs");
    for (const QString typed : {"hello", "02/30/2026", "9:30 am", ""}) {
        SCOPED_TRACE(typed.toStdString());
        date->setText(typed);
        prompter->expect("The message date \"" + typed + "\" is not a date.", "Send Message", 1);
        send(w);
        EXPECT_EQ(office.count("CMTable"), 0);
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(w.hasUnsavedChanges());
    }
    date->setText("12/07/2026");
    const qint32 cmId = send(w);
    EXPECT_EQ(office.scalar("select cmDat from CMTable where cmID=?", {cmId}).toString(),
              "12/07/2026");
}

TEST_F(SendTest, PrivateRepeatSettingsReadBackAsTheyWereSent)
{
    tzSndMsgFrm& w = write("Staff meeting", "Weekly");
    pick(w, 0, {"Nurse, Ned"});
    control<QCheckBox>(&w, "ChkRea_0")->setChecked(true);
    control<QLineEdit>(&w, "txtReaEve_0")->setText("2");
    control<QComboBox>(&w, "cmbRea_0")->setCurrentIndex(1);
    control<QRadioButton>(&w, "OptReaForTim_0")->setChecked(true);
    control<QLineEdit>(&w, "txtReaTim_0")->setText("3");
    control<QCheckBox>(&w, "ChkUnt_0")->setChecked(true);
    control<ui::DateCombo>(&w, "dcmbUnt_0")->setText("12/31/2026");
    control<ui::DateCombo>(&w, "dCmbFro_0")->setText("not a date");
    control<QRadioButton>(&w, "OptPub_1")->setChecked(true);
    const qint32 cmId = send(w);
    // The check boxes' own values; a From date that is not a date became today.
    expectDetail(cmId, "EvBroReaFla=1|EvBroReaEve=2|EvBroReaTyp=7|EvBroNumOfTim=3|"
                       "EvBroEndDatFla=1|EvBroEndDat=12/31/2026|EvBroStaDat=12/06/2026|"
                       "EvPri=True");
    // A private message keeps its recipients.
    EXPECT_EQ(rowsOf(cmId), (Rows{{nurse, 0, ""}}));

    tzSndMsgFrm& again = view(cmId);
    EXPECT_TRUE(control<QCheckBox>(&again, "ChkRea_0")->isChecked());
    EXPECT_EQ(control<QLineEdit>(&again, "txtReaEve_0")->text(), "2");
    EXPECT_TRUE(control<QRadioButton>(&again, "OptReaForTim_0")->isChecked());
    EXPECT_EQ(control<QLineEdit>(&again, "txtReaTim_0")->text(), "3");
    EXPECT_TRUE(control<QCheckBox>(&again, "ChkUnt_0")->isChecked());
    EXPECT_EQ(control<ui::DateCombo>(&again, "dcmbUnt_0")->text(), "12/31/2026");
    EXPECT_TRUE(control<QCheckBox>(&again, "ChkBro_0")->isChecked());
    EXPECT_EQ(control<QComboBox>(&again, "cmbFroTim_0")->currentText(), "10:00 am");
    EXPECT_TRUE(control<QRadioButton>(&again, "OptPub_1")->isChecked());
    EXPECT_FALSE(again.hasUnsavedChanges());
}

// A user ticks "Repeat Every:", types the count and picks the unit by its first letter, sends
// from the compact window; the sent message shows the same unit again. A stored unit of 0 is an
// unknown unit.
TEST_F(SendTest, TheChosenRepeatUnitIsStoredAndReadBackAndZeroIsUnknown)
{
    struct Case {
        const char* typed;
        QString entry;
        int stored;
    } cases[] = {{"D", "Day(s)", 1},
                 {"W", "Week(s)", 7},
                 {"M", "Month(s)", 30},
                 {"Q", "Quarter(s)", 91},
                 {"Y", "Year(s)", 365}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.toStdString());
        tzSndMsgFrm& w = write("Autoclave check", "Run the test cycle.");
        pick(w, 0, {"Nurse, Ned"});
        QTest::mouseClick(control<QTabBar>(&w, "TS"), Qt::LeftButton, {},
                          control<QTabBar>(&w, "TS")->tabRect(1).center());
        ASSERT_TRUE(control<QCheckBox>(&w, "ChkRea_0")->isVisible());
        clickCheck(w, "ChkRea_0");
        ASSERT_TRUE(control<QCheckBox>(&w, "ChkRea_0")->isChecked());
        QTest::mouseClick(control<QLineEdit>(&w, "txtReaEve_0"), Qt::LeftButton);
        QTest::keyClicks(control<QLineEdit>(&w, "txtReaEve_0"), "2");
        QTest::keyClicks(control<QComboBox>(&w, "cmbRea_0"), c.typed);
        ASSERT_EQ(control<QComboBox>(&w, "cmbRea_0")->currentText(), c.entry);
        const qint32 cmId = send(w);
        expectDetail(cmId, "EvBroReaFla=1|EvBroReaEve=2|EvBroReaTyp=" + QString::number(c.stored));

        tzSndMsgFrm& again = view(cmId);
        EXPECT_EQ(control<QComboBox>(&again, "cmbRea_0")->currentText(), c.entry);
        again.Unload();
    }
    // Messages stored before the unit was kept carry 0: no unit, so no repeats.
    const qint32 old =
        seed({.who = "FRONT", .pid = front, .subject = "Old", .body = "Weekly"}, {{nurse}});
    office.exec("update EVTable set EvBroReaFla=1, EvBroReaEve=1, EvBroReaTyp=0 where EvLinID=?",
                {old});
    tzSndMsgFrm& w = view(old);
    EXPECT_TRUE(control<QCheckBox>(&w, "ChkRea_0")->isChecked());
    EXPECT_EQ(control<QComboBox>(&w, "cmbRea_0")->currentIndex(), -1);
}

TEST_F(SendTest, AMessageToNobodyIsInTheSendersSentItems)
{
    tzSndMsgFrm& w = write("Gloves", "Order gloves for room 2");
    prompter->expect("You have entered a message, but you have not selected a recipient name(s).",
                     "Save Message", ui::vbYes);
    const qint32 cmId = send(w);
    ASSERT_NE(cmId, 0);

    // The sender finds it (it has the detail row every view needs: the core's test), opens it and
    // can delete it.
    tzSndMsgFrm& full = view(cmId);
    EXPECT_TRUE(buttonOf(full, "TB", "Delete")->isEnabled());
}

TEST_F(SendTest, APersonWithoutInitialsIsNamedInTheBoxAndReached)
{
    const qint32 temp = office.addEmployee("Temp", "Tim", "", "TEMP", "Front Desk");
    atWorkstation(front); // the login list with the new login
    tzSndMsgFrm& w = write("Keys", "Your keys are at the front desk");
    pick(w, 0, {"Temp, Tim"});
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "Tim Temp");
    const qint32 cmId = send(w); // no recipient question
    EXPECT_TRUE(prompter->shown.isEmpty());
    ASSERT_NE(cmId, 0);
    EXPECT_EQ(rowsOf(cmId), (Rows{{temp, 0, ""}}));
}

} // namespace
} // namespace tzsndmsg::testing
