// Saving and sending from the window: the questions, the rows written, the signals.
#include "fixture.h"

#include "core/Moments.h"
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
    void compose(tzSndMsgFrm& w, const QString& body, const QString& to = {}, const QString& cc = {})
    {
        w.resetToNewMessage();
        w.txtSubject->setText("  Staff meeting  ");
        w.txtMsg->setPlainText(body);
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
    w.chkDoc[1]->setChecked(true);
    ASSERT_EQ(w.SaveMessage(false, false), 6);

    ASSERT_EQ(office.count("CMTable"), 1);
    const qint32 cmId = office.scalar("select cmID from CMTable").toInt();
    EXPECT_EQ(w.CMID(), cmId);
    expectColumns("select * from CMTable", {},
                  {{"cmTyp", "256"}, {"cmTraLinID", "0"}, {"cmDat", "12/06/2026"}, {"cmTim", "10:00:00 AM"},
                   {"cmWho", "FRONT"}, {"cmWhoMod", "FRONT"}, {"cmPid", QString::number(front)},
                   {"cmCat", "Message"}, {"cmSubCat", "EMS"}, {"CMSubjec", "Staff meeting"},
                   {"cmDoc", "Room 4 at noon"}, {"CMNeeCom", "-1"}, {"cmConRec", "0"}});
    // Delivery starts now, "Unlimited" times.
    expectDetail(cmId, {{"EvPID", QString::number(front)}, {"EvTyp", "0"}, {"EvPri", "False"},
                        {"EvBroFla", "-1"}, {"EvBroStaDatFla", "-1"}, {"EvBroStaDat", "12/06/2026"},
                        {"EvBroStaTim", "10:00:00 AM"}, {"EVAlaFla", "0"}, {"EvBroReaTyp", "-1"},
                        {"EvBroNumOfTim", "-1"}});
    // The doctor in both lists keeps only the To row.
    EXPECT_EQ(rowsOf(cmId), (Rows{{nurse, 0, ""}, {doctor, 0, ""}, {front, 1, ""}, {0, 1, "WS2"}}));
    // A signal for each of the three tables.
    for (const char* tag : {"CMCM", "CMEV", "CMBC"}) {
        QFile file(signalFile(tag));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << tag;
        EXPECT_EQ(file.size(), 40) << tag;
    }
    EXPECT_FALSE(w.m_changed);
    EXPECT_TRUE(w.m_changeMarks[0].isEmpty());
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
            w.CmdTo[0]->click();
        }
        removeSignalFiles();
        ASSERT_EQ(w.SaveMessage(false, false), 6);
        EXPECT_EQ(rowsOf(w.CMID()), c.rows);
        EXPECT_TRUE(QFile::exists(signalFile("CMBC")));
    }
    EXPECT_EQ(w.txtTo[0]->text(), "FF, WS2");
}

TEST_F(SendTest, QuestionsBeforeANewMessageIsSent)
{
    tzSndMsgFrm& w = open();
    struct Case {
        bool allowCancel;
        QString to, cc;
        QList<int> answers; // the send question, then the recipient question when asked
        int result;
        int messages;       // CMTable rows afterwards
        int rows;           // BroChkTable rows afterwards
    } cases[] = {
        {true, ids({nurse}), {}, {2}, 2, 0, 0},
        {true, ids({nurse}), {}, {7}, 7, 0, 0},
        {false, {}, {}, {6, 7}, 2, 0, 0},       // No counts as Cancel
        {true, {}, {}, {6, 2}, 2, 0, 0},
        {true, {}, ids({nurse}), {6, 2}, 2, 0, 0}, // only Cc is asked about too
        {true, {}, {}, {6, 6}, 6, 1, 0},        // saved without addressee rows
        {true, ids({nurse}), {}, {6}, 6, 2, 1},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        compose(w, "Text", c.to, c.cc);
        prompter->shown.clear();
        prompter->expect("Would you like to send current message?", "Send Message", c.answers[0]);
        if (c.answers.size() > 1)
            prompter->expect("You have entered a message, but you have not selected a recipient name(s).\n\n"
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
        w.txtMsg->setPlainText(c.body);
        ASSERT_TRUE(w.m_changed);
        prompter->expect("The selected message (" + c.preview + ") was already sent.\n\nWould you like to send it again?",
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
        w.txtMsg->setPlainText(body);
        w.Set_ChangeFalg(false, 0);
        w.ChkRea[0]->setChecked(!w.ChkRea[0]->isChecked()); // only the detail pane changes
        ASSERT_TRUE(w.m_changed);
        ASSERT_TRUE(w.m_changeMarks[0].isEmpty());
        prompter->shown.clear();
        if (body.isEmpty())
            prompter->expect("Nothing to save because there is no document", "Send Message", 1);
        EXPECT_EQ(w.SaveMessage(false, false), 6);
        EXPECT_EQ(office.count("CMTable"), 0);
        EXPECT_FALSE(w.m_changed);
        EXPECT_TRUE(w.m_changeMarks[1].isEmpty());
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
    prompter->expect("The message could not be saved; nothing of it was written.\n\n", "Send Message", 1);
    EXPECT_EQ(w.SaveMessage(false, false), 2);
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown[0].icon, 16);
    EXPECT_FALSE(prompter->shown[0].text.endsWith("\n\n")); // the database's reason follows
    EXPECT_EQ(office.count("CMTable"), 0);
    EXPECT_EQ(office.count("EVTable"), 0);
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_TRUE(w.m_changed); // the user can try again
    EXPECT_EQ(w.m_changeMarks[0], "C");
    EXPECT_FALSE(QFile::exists(signalFile("CMCM")));
}

TEST_F(SendTest, PrivateRepeatSettingsReadBackAsTheyWereSent)
{
    tzSndMsgFrm& w = open();
    compose(w, "Weekly", ids({nurse}));
    w.ChkRea[0]->setChecked(true);
    w.txtReaEve[0]->setText("2");
    w.cmbRea[0]->setCurrentIndex(1);
    w.OptReaForTim[0]->setChecked(true);
    w.txtReaTim[0]->setText("3");
    w.ChkUnt[0]->setChecked(true);
    w.dcmbUnt[0]->setText("12/31/2026");
    w.dCmbFro[0]->setText("not a date");
    w.OptPub[1]->setChecked(true);
    ASSERT_EQ(w.SaveMessage(false, false), 6);
    const qint32 cmId = w.CMID();
    // The check boxes' own values; a From date that is not a date became today.
    expectDetail(cmId, {{"EvBroReaFla", "1"}, {"EvBroReaEve", "2"}, {"EvBroReaTyp", "7"},
                        {"EvBroNumOfTim", "3"}, {"EvBroEndDatFla", "1"}, {"EvBroEndDat", "12/31/2026"},
                        {"EvBroStaDat", "12/06/2026"}, {"EvPri", "True"}});
    // A private message keeps its recipients.
    EXPECT_EQ(rowsOf(cmId), (Rows{{nurse, 0, ""}}));

    w.resetToNewMessage();
    w.LoadMessage(9, 0, cmId);
    EXPECT_TRUE(w.ChkRea[0]->isChecked());
    EXPECT_EQ(w.txtReaEve[0]->text(), "2");
    EXPECT_TRUE(w.OptReaForTim[0]->isChecked());
    EXPECT_EQ(w.txtReaTim[0]->text(), "3");
    EXPECT_TRUE(w.ChkUnt[0]->isChecked());
    EXPECT_EQ(w.dcmbUnt[0]->text(), "12/31/2026");
    EXPECT_TRUE(w.ChkBro[0]->isChecked());
    EXPECT_EQ(w.cmbFroTim[0]->currentText(), "10:00 am");
    EXPECT_TRUE(w.OptPub[1]->isChecked());
    EXPECT_FALSE(w.m_changed);
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
        QTest::mouseClick(w.txtSubject, Qt::LeftButton);
        QTest::keyClicks(w.txtSubject, "Autoclave check");
        QTest::mouseClick(w.txtMsg->viewport(), Qt::LeftButton);
        QTest::keyClicks(w.txtMsg, "Run the test cycle.");
        w.ToListPid(0, ids({nurse}));
        QTest::mouseClick(w.TS, Qt::LeftButton, {}, w.TS->tabRect(1).center());
        ASSERT_TRUE(w.ChkRea[0]->isVisible());
        QTest::mouseClick(w.ChkRea[0], Qt::LeftButton, {}, QPoint(6, w.ChkRea[0]->height() / 2));
        ASSERT_TRUE(w.ChkRea[0]->isChecked());
        QTest::mouseClick(w.txtReaEve[0], Qt::LeftButton);
        QTest::keyClicks(w.txtReaEve[0], "2");
        QTest::keyClicks(w.cmbRea[0], c.typed);
        ASSERT_EQ(w.cmbRea[0]->currentText(), c.entry);
        auto* send = qobject_cast<QToolButton*>(w.TB_Small->widgetForAction(w.tbSmallButton("MsgSend")));
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
        again.TB_ButtonClick("MsgSItem");
        ASSERT_TRUE(show(again, cmId));
        EXPECT_TRUE(again.ChkRea[0]->isChecked());
        EXPECT_EQ(again.txtReaEve[0]->text(), "2");
        EXPECT_EQ(again.cmbRea[0]->currentText(), c.entry);
        again.Unload();
    }
}

// Messages stored before the unit was kept carry 0: no unit, so no repeats.
TEST_F(SendTest, AStoredUnitOfZeroIsAnUnknownUnit)
{
    const qint32 cmId = seed({.who = "FRONT", .pid = front, .subject = "Old", .body = "Weekly"}, {{nurse}});
    office.exec("update EVTable set EvBroReaFla=1, EvBroReaEve=1, EvBroReaTyp=0 where EvLinID=?", {cmId});
    tzSndMsgFrm& w = open();
    w.LoadMessage(tzSndMsgFrm::StoreKind, 0, cmId);
    EXPECT_TRUE(w.ChkRea[0]->isChecked());
    EXPECT_EQ(w.cmbRea[0]->currentIndex(), -1);
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
    QTest::mouseClick(w.txtSubject, Qt::LeftButton);
    QTest::keyClicks(w.txtSubject, subject);
    QTest::mouseClick(w.txtMsg->viewport(), Qt::LeftButton);
    QTest::keyClicks(w.txtMsg, body);
    QTest::mouseClick(w.TB_Small->widgetForAction(w.tbSmallButton("MsgSend")), Qt::LeftButton);
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
    full.TB_ButtonClick("MsgSItem");
    ASSERT_TRUE(show(full, cmId));
    EXPECT_EQ(full.txtMsg->toPlainText(), "Order gloves for room 2");
    EXPECT_TRUE(full.tbButton("Delete")->isEnabled());
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
        QTest::mouseClick(w.CmdTo[0], Qt::LeftButton);
    }
    EXPECT_EQ(w.txtTo[0]->text(), "Tim Temp");
    typeAndSend(w, "Keys", "Your keys are at the front desk"); // no recipient question
    EXPECT_TRUE(prompter->shown.isEmpty());
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(cmId, 0);
    EXPECT_EQ(rowsOf(cmId), (Rows{{temp, 0, ""}}));
}

} // namespace
} // namespace tzsndmsg::testing
