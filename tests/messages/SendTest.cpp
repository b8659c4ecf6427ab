// Saving and sending from the window: the questions, the rows written, the signals.
#include "core/Moments.h"
#include "fixture.h"
#include "ui/DateCombo.h"

#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace tzsndmsg::testing {
namespace {

class SendTest : public ComposeTest {
protected:
    void compose(tzSndMsgFrm& w, const QString& body, const QString& to = {},
                 const QString& cc = {})
    {
        w.resetToNewMessage();
        subjectBox(w)->setText("  Staff meeting  ");
        textBox(w)->setPlainText(body);
        if (!to.isEmpty())
            w.ToListPid(0, to);
        if (!cc.isEmpty())
            w.ToListPid(1, cc);
    }
    void expectDetail(qint32 cmId, const QList<std::pair<QString, QString>>& expected)
    {
        expectColumns("select * from EVTable where EvLinID=?", {cmId}, expected);
    }
};

TEST_F(SendTest, SendingToPersonsWritesTheRowsAndTheSignals)
{
    tzSndMsgFrm& w = open();
    compose(w, "Room 4 at noon", ids({nurse, doctor}), ids({doctor, front}));
    w.toListMachine(1, "WS2\n");
    control<QCheckBox>(&w, "chkDoc_1")->setChecked(true);
    ASSERT_EQ(w.SaveMessage(false, false), 6);

    ASSERT_EQ(office.count("CMTable"), 1);
    const qint32 cmId = office.scalar("select cmID from CMTable").toInt();
    EXPECT_EQ(w.CMID(), cmId);
    expectColumns("select * from CMTable", {},
                  {{"cmTyp", "256"},
                   {"cmTraLinID", "0"},
                   {"cmDat", "12/06/2026"},
                   {"cmTim", "10:00:00 AM"},
                   {"cmWho", "FRONT"},
                   {"cmWhoMod", "FRONT"},
                   {"cmPid", QString::number(front)},
                   {"cmCat", "Message"},
                   {"cmSubCat", "EMS"},
                   {"CMSubjec", "Staff meeting"},
                   {"cmDoc", "Room 4 at noon"},
                   {"CMNeeCom", "-1"},
                   {"cmConRec", "0"}});
    // Delivery starts now, "Unlimited" times.
    expectDetail(cmId, {{"EvPID", QString::number(front)},
                        {"EvTyp", "0"},
                        {"EvPri", "False"},
                        {"EvBroFla", "-1"},
                        {"EvBroStaDatFla", "-1"},
                        {"EvBroStaDat", "12/06/2026"},
                        {"EvBroStaTim", "10:00:00 AM"},
                        {"EVAlaFla", "0"},
                        {"EvBroReaTyp", "-1"},
                        {"EvBroNumOfTim", "-1"}});
    // The doctor in both lists keeps only the To row.
    EXPECT_EQ(rowsOf(cmId), (Rows{{nurse, 0, ""}, {doctor, 0, ""}, {front, 1, ""}, {0, 1, "WS2"}}));
    // A signal for each of the three tables.
    for (const char* tag : {"CMCM", "CMEV", "CMBC"}) {
        QFile file(signalFile(tag));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << tag;
        EXPECT_EQ(file.size(), 40) << tag;
    }
    EXPECT_FALSE(w.hasUnsavedChanges());
}

TEST_F(SendTest, PickedDepartmentOfficeAndComputerAreWrittenOncePerPerson)
{
    office.writeMachinesIni("ws2\r\nfront-pc\r\n");
    tzSndMsgFrm& w = open();
    struct Case {
        QStringList picks;
        Rows rows;
    } cases[] = {
        // A department: every person whose department matches, whatever its case.
        {{" Clinical Department"}, {{nurse, 0, ""}, {doctor, 0, ""}}},
        // A person chosen also through the department or the whole office is written once.
        {{"Nurse, Ned", " Clinical Department"}, {{nurse, 0, ""}, {doctor, 0, ""}}},
        {{"Entire Office", "Nurse, Ned"}, {{front, 0, ""}, {nurse, 0, ""}, {doctor, 0, ""}}},
        {{"-Computer WS2", "Front, Fay"}, {{front, 0, ""}, {0, 0, "WS2"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picks.join("|").toStdString());
        compose(w, "Hello");
        {
            ModalScript script;
            script.then(pickEntries(c.picks));
            control<QPushButton>(&w, "CmdTo_0")->click();
        }
        removeSignalFiles();
        ASSERT_EQ(w.SaveMessage(false, false), 6);
        EXPECT_EQ(rowsOf(w.CMID()), c.rows);
        EXPECT_TRUE(QFile::exists(signalFile("CMBC")));
    }
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "FF, WS2");
}

TEST_F(SendTest, QuestionsBeforeANewMessageIsSent)
{
    tzSndMsgFrm& w = open();
    struct Case {
        bool allowCancel;
        QString to, cc;
        QList<int> answers; // the send question, then the recipient question when asked
        int result;
        int messages; // CMTable rows afterwards
        int rows;     // BroChkTable rows afterwards
    } cases[] = {
        {true, ids({nurse}), {}, {2}, 2, 0, 0},
        {true, ids({nurse}), {}, {7}, 7, 0, 0},
        {false, {}, {}, {6, 7}, 2, 0, 0}, // No counts as Cancel
        {true, {}, {}, {6, 2}, 2, 0, 0},
        {true, {}, ids({nurse}), {6, 2}, 2, 0, 0}, // only Cc is asked about too
        {true, {}, {}, {6, 6}, 6, 1, 0},           // saved without addressee rows
        {true, ids({nurse}), {}, {6}, 6, 2, 1},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        compose(w, "Text", c.to, c.cc);
        prompter->shown.clear();
        prompter->expect("Would you like to send current message?", "Send Message", c.answers[0]);
        if (c.answers.size() > 1)
            prompter->expect(
                "You have entered a message, but you have not selected a recipient name(s).\n\n"
                "To send a message, you must select a name(s) by clicking on the [To...] "
                "button.\n\nAre you sure you want to continue?",
                "Save Message", c.answers[1]);
        EXPECT_EQ(w.SaveMessage(true, c.allowCancel), c.result);
        EXPECT_EQ(office.count("CMTable"), c.messages);
        EXPECT_EQ(office.count("BroChkTable"), c.rows);
        ASSERT_EQ(prompter->shown.size(), c.answers.size());
        for (const auto& box : prompter->shown)
            EXPECT_EQ(box.buttons, c.allowCancel ? 3 : 4);
        EXPECT_EQ(prompter->shown[0].icon, 32);
        if (c.answers.size() > 1) {
            EXPECT_EQ(prompter->shown[1].defaultButton, 256);
        }
    }
}

TEST_F(SendTest, AMessageSentBeforeIsSentAgainOnlyOnYes)
{
    tzSndMsgFrm& w = open();
    const QString thirty = "abcdefghijklmnopqrstuvwxyz1234";
    compose(w, "first", ids({nurse}));
    ASSERT_EQ(w.SaveMessage(false, false), 6);
    const qint32 first = w.CMID();
    ASSERT_NE(first, 0);
    struct Case {
        QString body, preview;
        int answer, messages;
    } cases[] = {{thirty, thirty, 7, 1}, {thirty + "5", thirty + "...", 6, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        textBox(w)->setPlainText(c.body);
        ASSERT_TRUE(w.hasUnsavedChanges());
        prompter->expect("The selected message (" + c.preview +
                             ") was already sent.\n\nWould you like to send it again?",
                         "Send Message", c.answer);
        EXPECT_EQ(w.SaveMessage(false, false), c.answer);
        EXPECT_EQ(office.count("CMTable"), c.messages);
    }
    EXPECT_NE(w.CMID(), first);
}

TEST_F(SendTest, AnUnmarkedHeaderSavesNothing)
{
    tzSndMsgFrm& w = open();
    for (const QString body : {"Some text", ""}) {
        SCOPED_TRACE(body.toStdString());
        w.resetToNewMessage();
        textBox(w)->setPlainText(body);
        w.markSaved(); // as saved
        control<QCheckBox>(&w, "ChkRea_0")
            ->setChecked(
                !control<QCheckBox>(&w, "ChkRea_0")->isChecked()); // only the detail pane changes
        ASSERT_TRUE(w.hasUnsavedChanges());
        prompter->shown.clear();
        if (body.isEmpty())
            prompter->expect("Nothing to save because there is no document", "Send Message", 1);
        EXPECT_EQ(w.SaveMessage(false, false), 6);
        EXPECT_EQ(office.count("CMTable"), 0);
        EXPECT_FALSE(w.hasUnsavedChanges());
        EXPECT_EQ(prompter->shown.size(), body.isEmpty() ? 1 : 0);
        if (body.isEmpty()) {
            EXPECT_EQ(prompter->shown.value(0).icon, 64);
        }
    }
}

TEST_F(SendTest, AFailingWriteLeavesNoHalfMessage)
{
    tzSndMsgFrm& w = open();
    compose(w, "Will not arrive", ids({nurse}));
    office.exec("DROP TABLE BroChkTable");
    prompter->expect("The message could not be saved; nothing of it was written.\n\n",
                     "Send Message", 1);
    EXPECT_EQ(w.SaveMessage(false, false), 2);
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown[0].icon, 16);
    EXPECT_FALSE(prompter->shown[0].text.endsWith("\n\n")); // the database's reason follows
    EXPECT_EQ(office.count("CMTable"), 0);
    EXPECT_EQ(office.count("EVTable"), 0);
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_TRUE(w.hasUnsavedChanges()); // the user can try again
    EXPECT_FALSE(QFile::exists(signalFile("CMCM")));
}

TEST_F(SendTest, PrivateRepeatSettingsReadBackAsTheyWereSent)
{
    tzSndMsgFrm& w = open();
    compose(w, "Weekly", ids({nurse}));
    control<QCheckBox>(&w, "ChkRea_0")->setChecked(true);
    control<QLineEdit>(&w, "txtReaEve_0")->setText("2");
    control<QComboBox>(&w, "cmbRea_0")->setCurrentIndex(1);
    control<QRadioButton>(&w, "OptReaForTim_0")->setChecked(true);
    control<QLineEdit>(&w, "txtReaTim_0")->setText("3");
    control<QCheckBox>(&w, "ChkUnt_0")->setChecked(true);
    control<ui::DateCombo>(&w, "dcmbUnt_0")->setText("12/31/2026");
    control<ui::DateCombo>(&w, "dCmbFro_0")->setText("not a date");
    control<QRadioButton>(&w, "OptPub_1")->setChecked(true);
    ASSERT_EQ(w.SaveMessage(false, false), 6);
    const qint32 cmId = w.CMID();
    // The check boxes' own values; a From date that is not a date became today.
    expectDetail(cmId, {{"EvBroReaFla", "1"},
                        {"EvBroReaEve", "2"},
                        {"EvBroReaTyp", "7"},
                        {"EvBroNumOfTim", "3"},
                        {"EvBroEndDatFla", "1"},
                        {"EvBroEndDat", "12/31/2026"},
                        {"EvBroStaDat", "12/06/2026"},
                        {"EvPri", "True"}});
    // A private message keeps its recipients.
    EXPECT_EQ(rowsOf(cmId), (Rows{{nurse, 0, ""}}));

    w.resetToNewMessage();
    w.LoadMessage(9, 0, cmId);
    EXPECT_TRUE(control<QCheckBox>(&w, "ChkRea_0")->isChecked());
    EXPECT_EQ(control<QLineEdit>(&w, "txtReaEve_0")->text(), "2");
    EXPECT_TRUE(control<QRadioButton>(&w, "OptReaForTim_0")->isChecked());
    EXPECT_EQ(control<QLineEdit>(&w, "txtReaTim_0")->text(), "3");
    EXPECT_TRUE(control<QCheckBox>(&w, "ChkUnt_0")->isChecked());
    EXPECT_EQ(control<ui::DateCombo>(&w, "dcmbUnt_0")->text(), "12/31/2026");
    EXPECT_TRUE(control<QCheckBox>(&w, "ChkBro_0")->isChecked());
    EXPECT_EQ(control<QComboBox>(&w, "cmbFroTim_0")->currentText(), "10:00 am");
    EXPECT_TRUE(control<QRadioButton>(&w, "OptPub_1")->isChecked());
    EXPECT_FALSE(w.hasUnsavedChanges());
}

// A user ticks "Repeat Every:", types the count and picks the unit by its first letter, sends
// from the compact window; the sent message shows the same unit again.
TEST_F(SendTest, TheChosenRepeatUnitIsStoredAndReadBack)
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
        tzSndMsgFrm& w = open();
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        QTest::mouseClick(subjectBox(w), Qt::LeftButton);
        QTest::keyClicks(subjectBox(w), "Autoclave check");
        QTest::mouseClick(textBox(w)->viewport(), Qt::LeftButton);
        QTest::keyClicks(textBox(w), "Run the test cycle.");
        w.ToListPid(0, ids({nurse}));
        QTest::mouseClick(control<QTabBar>(&w, "TS"), Qt::LeftButton, {},
                          control<QTabBar>(&w, "TS")->tabRect(1).center());
        ASSERT_TRUE(control<QCheckBox>(&w, "ChkRea_0")->isVisible());
        QTest::mouseClick(control<QCheckBox>(&w, "ChkRea_0"), Qt::LeftButton, {},
                          QPoint(6, control<QCheckBox>(&w, "ChkRea_0")->height() / 2));
        ASSERT_TRUE(control<QCheckBox>(&w, "ChkRea_0")->isChecked());
        QTest::mouseClick(control<QLineEdit>(&w, "txtReaEve_0"), Qt::LeftButton);
        QTest::keyClicks(control<QLineEdit>(&w, "txtReaEve_0"), "2");
        QTest::keyClicks(control<QComboBox>(&w, "cmbRea_0"), c.typed);
        ASSERT_EQ(control<QComboBox>(&w, "cmbRea_0")->currentText(), c.entry);
        auto* send = qobject_cast<QToolButton*>(
            control<QToolBar>(&w, "TB_Small")->widgetForAction(buttonOf(w, "TB_Small", "MsgSend")));
        ASSERT_TRUE(send);
        QTest::mouseClick(send, Qt::LeftButton);
        EXPECT_FALSE(w.isVisible()); // sent: the compact window closes

        const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
        expectDetail(cmId, {{"EvBroReaFla", "1"},
                            {"EvBroReaEve", "2"},
                            {"EvBroReaTyp", QString::number(c.stored)}});
        const auto stored = core::readMessage(*office.services(), cmId);
        ASSERT_TRUE(stored);
        const auto plan = core::deliveryPlan(*stored);
        ASSERT_TRUE(plan);
        EXPECT_TRUE(plan->isRepeating());

        tzSndMsgFrm& again = openFull();
        pressButton(again, "TB", "MsgSItem");
        ASSERT_TRUE(show(again, cmId));
        EXPECT_TRUE(control<QCheckBox>(&again, "ChkRea_0")->isChecked());
        EXPECT_EQ(control<QLineEdit>(&again, "txtReaEve_0")->text(), "2");
        EXPECT_EQ(control<QComboBox>(&again, "cmbRea_0")->currentText(), c.entry);
        again.Unload();
    }
}

// Messages stored before the unit was kept carry 0: no unit, so no repeats.
TEST_F(SendTest, AStoredUnitOfZeroIsAnUnknownUnit)
{
    const qint32 cmId =
        seed({.who = "FRONT", .pid = front, .subject = "Old", .body = "Weekly"}, {{nurse}});
    office.exec("update EVTable set EvBroReaFla=1, EvBroReaEve=1, EvBroReaTyp=0 where EvLinID=?",
                {cmId});
    tzSndMsgFrm& w = open();
    w.LoadMessage(tzSndMsgFrm::StoreKind, 0, cmId);
    EXPECT_TRUE(control<QCheckBox>(&w, "ChkRea_0")->isChecked());
    EXPECT_EQ(control<QComboBox>(&w, "cmbRea_0")->currentIndex(), -1);
    const auto stored = core::readMessage(*office.services(), cmId);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->detail.EvBroReaTyp, 0);
    const auto plan = core::deliveryPlan(*stored);
    ASSERT_TRUE(plan);
    EXPECT_FALSE(plan->isRepeating());
    w.Unload();
}

// Types into the compact window and presses its send button, as the front desk does.
void typeAndSend(tzSndMsgFrm& w, const QString& subject, const QString& body)
{
    QTest::mouseClick(subjectBox(w), Qt::LeftButton);
    QTest::keyClicks(subjectBox(w), subject);
    QTest::mouseClick(textBox(w)->viewport(), Qt::LeftButton);
    QTest::keyClicks(textBox(w), body);
    QTest::mouseClick(
        control<QToolBar>(&w, "TB_Small")->widgetForAction(buttonOf(w, "TB_Small", "MsgSend")),
        Qt::LeftButton);
}

TEST_F(SendTest, AMessageToNobodyIsInTheSendersSentItems)
{
    tzSndMsgFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    prompter->expect("You have entered a message, but you have not selected a recipient name(s).",
                     "Save Message", ui::vbYes);
    typeAndSend(w, "Gloves", "Order gloves for room 2");
    EXPECT_FALSE(w.isVisible()); // the compact window closes once it has sent
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(cmId, 0);
    EXPECT_EQ(office.count("EVTable", "EvLinID=? and EvTyp=0", {cmId}), 1);
    EXPECT_TRUE(rowsOf(cmId).empty());

    // The sender finds it, opens it and can delete it.
    tzSndMsgFrm& full = openFull();
    pressButton(full, "TB", "MsgSItem");
    ASSERT_TRUE(show(full, cmId));
    EXPECT_EQ(control<QPlainTextEdit>(&full, "txtMsg")->toPlainText(), "Order gloves for room 2");
    EXPECT_TRUE(buttonOf(full, "TB", "Delete")->isEnabled());
    full.Unload();
}

TEST_F(SendTest, APersonWithoutInitialsIsNamedInTheBoxAndReached)
{
    const qint32 temp = office.addEmployee("Temp", "Tim", "", "TEMP", "Front Desk");
    atWorkstation(front); // the login list with the new login
    tzSndMsgFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    {
        ModalScript script;
        script.then(pickEntries({"Temp, Tim"}));
        QTest::mouseClick(control<QPushButton>(&w, "CmdTo_0"), Qt::LeftButton);
    }
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "Tim Temp");
    typeAndSend(w, "Keys", "Your keys are at the front desk"); // no recipient question
    EXPECT_TRUE(prompter->shown.isEmpty());
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(cmId, 0);
    EXPECT_EQ(rowsOf(cmId), (Rows{{temp, 0, ""}}));
}

} // namespace
} // namespace tzsndmsg::testing
