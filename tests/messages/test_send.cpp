#include "test_form_fixture.h"

#include "ui/DateCombo.h"

#include <QFile>
#include <QRadioButton>

#include <set>
#include <tuple>

namespace tzsndmsg::testing {
namespace {

using Row = std::tuple<qint64, int, QString>; // person, list, computer

class SendTest : public ComposeTest {
protected:
    void compose(tzSndMsgFrm& w, const QString& body, const QString& to = QString(),
                 const QString& cc = QString())
    {
        w.resetToNewMessage();
        w.txtSubject->setText(QStringLiteral("  Staff meeting  "));
        w.txtMsg->setPlainText(body);
        if (!to.isNull())
            w.ToListPid(0, to);
        if (!cc.isNull())
            w.ToListPid(1, cc);
    }
    std::set<Row> rowsOf(qint32 cmId)
    {
        std::set<Row> rows;
        db::Recordset rs = office.query(
            QStringLiteral("select BroChkPID, BroChkTyp, BroChkToMac from BroChkTable where BroChkLinID=?"),
            {cmId});
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows.insert({rs.value(QStringLiteral("BroChkPID")).toLongLong(),
                         rs.value(QStringLiteral("BroChkTyp")).toInt(),
                         rs.value(QStringLiteral("BroChkToMac")).toString()});
        return rows;
    }
    QString id(qint32 person) { return QString::number(person) + QLatin1Char(','); }
};

TEST_F(SendTest, SendingToPersonsWritesTheRowsAndTheSignals)
{
    removeSignalFiles();
    tzSndMsgFrm& w = open();
    PrompterGuard prompts;
    compose(w, QStringLiteral("Room 4 at noon"), id(nurse) + id(doctor), id(doctor) + id(front));
    w.toListMachine(1, QStringLiteral("WS2\n"));
    w.chkDoc[1]->setChecked(true);
    ASSERT_EQ(w.SaveMessage(false, false), 6);

    ASSERT_EQ(office.count(QStringLiteral("CMTable")), 1);
    db::Recordset cm = office.query(QStringLiteral("select * from CMTable"));
    cm.moveFirst();
    const qint32 cmId = cm.value(QStringLiteral("cmID")).toInt();
    EXPECT_EQ(w.CMID(), cmId);
    EXPECT_EQ(cm.value(QStringLiteral("cmTyp")).toInt(), 256);
    EXPECT_EQ(cm.value(QStringLiteral("cmTraLinID")).toInt(), 0);
    EXPECT_EQ(cm.value(QStringLiteral("cmDat")).toString(), QStringLiteral("12/06/2026"));
    EXPECT_EQ(cm.value(QStringLiteral("cmTim")).toString(), QStringLiteral("10:00:00 AM"));
    EXPECT_EQ(cm.value(QStringLiteral("cmWho")).toString(), QStringLiteral("FRONT"));
    EXPECT_EQ(cm.value(QStringLiteral("cmWhoMod")).toString(), QStringLiteral("FRONT"));
    EXPECT_EQ(cm.value(QStringLiteral("cmPid")).toInt(), front);
    EXPECT_EQ(cm.value(QStringLiteral("cmCat")).toString(), QStringLiteral("Message"));
    EXPECT_EQ(cm.value(QStringLiteral("cmSubCat")).toString(), QStringLiteral("EMS"));
    EXPECT_EQ(cm.value(QStringLiteral("CMSubjec")).toString(), QStringLiteral("Staff meeting"));
    EXPECT_EQ(cm.value(QStringLiteral("cmDoc")).toString(), QStringLiteral("Room 4 at noon"));
    EXPECT_EQ(cm.value(QStringLiteral("CMNeeCom")).toInt(), -1);
    EXPECT_EQ(cm.value(QStringLiteral("cmConRec")).toInt(), 0);

    db::Recordset ev = office.query(QStringLiteral("select * from EVTable where EvLinID=?"), {cmId});
    ASSERT_EQ(ev.recordCount(), 1);
    ev.moveFirst();
    EXPECT_EQ(ev.value(QStringLiteral("EvPID")).toInt(), front);
    EXPECT_EQ(ev.value(QStringLiteral("EvTyp")).toInt(), 0);
    EXPECT_EQ(ev.value(QStringLiteral("EvPri")).toString(), QStringLiteral("False"));
    // Delivery starts now.
    EXPECT_EQ(ev.value(QStringLiteral("EvBroFla")).toInt(), -1);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroStaDatFla")).toInt(), -1);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroStaDat")).toString(), QStringLiteral("12/06/2026"));
    EXPECT_EQ(ev.value(QStringLiteral("EvBroStaTim")).toString(), QStringLiteral("10:00:00 AM"));
    EXPECT_EQ(ev.value(QStringLiteral("EVAlaFla")).toInt(), 0);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroReaTyp")).toInt(), -1);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroNumOfTim")).toInt(), -1); // "Unlimited" is the default

    // The doctor in both lists keeps only the To row.
    EXPECT_EQ(rowsOf(cmId), (std::set<Row>{{nurse, 0, QString()},
                                          {doctor, 0, QString()},
                                          {front, 1, QString()},
                                          {0, 1, QStringLiteral("WS2")}}));
    for (const char* tag : {"CMCM", "CMEV", "CMBC"}) {
        QFile file(signalFile(QString::fromLatin1(tag)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << tag;
        EXPECT_EQ(file.size(), 40) << tag;
    }
    EXPECT_FALSE(w.m_changed);
    EXPECT_TRUE(w.m_changeMarks[0].isEmpty());
}

TEST_F(SendTest, SendingToADepartmentTheWholeOfficeAndAComputer)
{
    office.writeMachinesIni("ws2\r\n");
    tzSndMsgFrm& w = open();
    struct Case {
        QString pick;
        std::set<Row> rows;
    } cases[] = {
        {QStringLiteral(" Clinical Department"), {{nurse, 0, {}}, {doctor, 0, {}}}},
        {QStringLiteral("Entire Office"), {{front, 0, {}}, {nurse, 0, {}}, {doctor, 0, {}}}},
        {QStringLiteral("-Computer WS2"), {{0, 0, QStringLiteral("WS2")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pick.toStdString());
        compose(w, QStringLiteral("Hello"));
        {
            ModalScript script;
            script.then(pickEntries({c.pick}));
            w.CmdTo[0]->click();
        }
        PrompterGuard prompts;
        ASSERT_EQ(w.SaveMessage(false, false), 6);
        EXPECT_EQ(rowsOf(w.CMID()), c.rows);
    }
}

TEST_F(SendTest, QuestionsBeforeANewMessageIsSent)
{
    tzSndMsgFrm& w = open();
    const QString recipientQuestion = QStringLiteral("you have not selected a recipient name(s).");
    struct Case {
        bool allowCancel;
        QString to, cc;
        QList<int> answers; // the send question, then the recipient question when asked
        int result;
        int messages;       // CMTable rows afterwards
        int rows;           // BroChkTable rows afterwards
    } cases[] = {
        {true, id(nurse), {}, {2}, 2, 0, 0},
        {true, id(nurse), {}, {7}, 7, 0, 0},
        {false, {}, {}, {6, 7}, 2, 0, 0},                 // No counts as Cancel
        {true, {}, {}, {6, 2}, 2, 0, 0},
        {true, {}, id(nurse), {6, 2}, 2, 0, 0},           // only Cc is asked about too
        {true, {}, {}, {6, 6}, 6, 1, 0},                  // saved without addressee rows
        {true, id(nurse), {}, {6}, 6, 2, 1},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        compose(w, QStringLiteral("Text"), c.to.isEmpty() ? QString() : c.to,
                c.cc.isEmpty() ? QString() : c.cc);
        PrompterGuard prompts;
        prompts->expect(QStringLiteral("Would you like to send current message?"),
                        QStringLiteral("Send Message"), c.answers[0]);
        if (c.answers.size() > 1)
            prompts->expect(recipientQuestion, QStringLiteral("Save Message"), c.answers[1]);
        EXPECT_EQ(w.SaveMessage(true, c.allowCancel), c.result);
        EXPECT_EQ(office.count(QStringLiteral("CMTable")), c.messages);
        EXPECT_EQ(office.count(QStringLiteral("BroChkTable")), c.rows);
        ASSERT_FALSE(prompts->shown.isEmpty());
        EXPECT_EQ(prompts->shown[0].buttons, c.allowCancel ? 3 : 4);
        EXPECT_EQ(prompts->shown[0].icon, 32);
        if (prompts->shown.size() > 1) {
            const auto& r = prompts->shown[1];
            EXPECT_EQ(r.text, QStringLiteral("You have entered a message, but you have not selected a "
                                             "recipient name(s).\n\nTo send a message, you must select a "
                                             "name(s) by clicking on the [To...] button.\n\nAre you sure "
                                             "you want to continue?"));
            EXPECT_EQ(r.defaultButton, 256);
            EXPECT_EQ(r.buttons, c.allowCancel ? 3 : 4);
        }
    }
}

TEST_F(SendTest, AMessageSentBeforeIsSentAgainOnlyOnYes)
{
    tzSndMsgFrm& w = open();
    const QString thirty = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234");
    struct Case {
        QString body;
        QString preview;
        int answer;
        int result;
        int messages;
    } cases[] = {
        {thirty, thirty, 7, 7, 1},
        {thirty + QStringLiteral("5"), thirty + QStringLiteral("..."), 6, 6, 2},
    };
    {
        PrompterGuard prompts;
        compose(w, QStringLiteral("first"), id(nurse));
        ASSERT_EQ(w.SaveMessage(false, false), 6);
    }
    const qint32 first = w.CMID();
    ASSERT_NE(first, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        w.txtMsg->setPlainText(c.body);
        ASSERT_TRUE(w.m_changed);
        PrompterGuard prompts;
        prompts->expect(QStringLiteral("The selected message (") + c.preview +
                            QStringLiteral(") was already sent.\n\nWould you like to send it again?"),
                        QStringLiteral("Send Message"), c.answer);
        EXPECT_EQ(w.SaveMessage(false, false), c.result);
        EXPECT_EQ(office.count(QStringLiteral("CMTable")), c.messages);
    }
    EXPECT_NE(w.CMID(), first);
}

TEST_F(SendTest, AnUnmarkedHeaderSavesNothing)
{
    tzSndMsgFrm& w = open();
    for (const QString& body : {QStringLiteral("Some text"), QString()}) {
        SCOPED_TRACE(body.toStdString());
        w.resetToNewMessage();
        w.txtMsg->setPlainText(body);
        w.Set_ChangeFalg(false, 0);
        w.ChkRea[0]->setChecked(!w.ChkRea[0]->isChecked()); // only the detail pane changes
        ASSERT_TRUE(w.m_changed);
        ASSERT_TRUE(w.m_changeMarks[0].isEmpty());
        PrompterGuard prompts;
        if (body.isEmpty())
            prompts->expect(QStringLiteral("Nothing to save because there is no document"),
                            QStringLiteral("Send Message"), 1);
        EXPECT_EQ(w.SaveMessage(false, false), 6);
        EXPECT_EQ(office.count(QStringLiteral("CMTable")), 0);
        EXPECT_FALSE(w.m_changed);
        EXPECT_TRUE(w.m_changeMarks[1].isEmpty());
        if (body.isEmpty()) {
            EXPECT_EQ(prompts->shown.value(0).icon, 64);
        }
    }
}

TEST_F(SendTest, APrivateMessageKeepsItsDetailRowAndRecipients)
{
    tzSndMsgFrm& w = open();
    PrompterGuard prompts;
    compose(w, QStringLiteral("Just for you"), id(nurse));
    w.OptPub[1]->setChecked(true);
    ASSERT_EQ(w.SaveMessage(false, false), 6);
    EXPECT_EQ(office.scalar(QStringLiteral("select EvPri from EVTable where EvLinID=?"), {w.CMID()}).toString(),
              QStringLiteral("True"));
    EXPECT_EQ(rowsOf(w.CMID()), (std::set<Row>{{nurse, 0, QString()}}));
}

TEST_F(SendTest, AFailingWriteLeavesNoHalfMessage)
{
    removeSignalFiles();
    tzSndMsgFrm& w = open();
    compose(w, QStringLiteral("Will not arrive"), id(nurse));
    office.exec(QStringLiteral("DROP TABLE BroChkTable"));
    PrompterGuard prompts;
    prompts->expect(QStringLiteral("could not be saved"), QStringLiteral("Send Message"), 1);
    EXPECT_EQ(w.SaveMessage(false, false), 2);
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_EQ(prompts->shown[0].icon, 16);
    EXPECT_GT(prompts->shown[0].text.size(), QStringLiteral("The message could not be saved; nothing of "
                                                           "it was written.\n\n").size());
    EXPECT_EQ(office.count(QStringLiteral("CMTable")), 0);
    EXPECT_EQ(office.count(QStringLiteral("EVTable")), 0);
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_TRUE(w.m_changed); // the user can try again
    EXPECT_EQ(w.m_changeMarks[0], QStringLiteral("C"));
    EXPECT_FALSE(QFile::exists(signalFile(QStringLiteral("CMCM"))));
}

TEST_F(SendTest, LabOrderMessageThroughTheWindowsSendMethod)
{
    auto& st = SharedState::current();
    st.LinkTyp = 4;
    st.LinkID = 77;
    tzSndMsgFrm& w = open();
    PrompterGuard prompts;
    w.txtMsg->setPlainText(QStringLiteral("Results are in"));
    w.ToListPid(0, id(doctor));
    w.Set_ChangeFalg(false, 0);
    w.SendMessage(); // marks both panes and presses the small toolbar's send button
    ASSERT_EQ(office.count(QStringLiteral("CMTable")), 1);
    const qint32 cmId = office.scalar(QStringLiteral("select cmID from CMTable")).toInt();
    EXPECT_EQ(st.LastSavedMessageID, cmId);
    EXPECT_EQ(office.scalar(QStringLiteral("select cmTyp from CMTable where cmID=?"), {cmId}).toInt(), 4);
    EXPECT_EQ(office.scalar(QStringLiteral("select cmTraLinID from CMTable where cmID=?"), {cmId}).toInt(),
              77);
    EXPECT_EQ(rowsOf(cmId), (std::set<Row>{{doctor, 0, QString()}}));
}

TEST_F(SendTest, LinkedReminderIsWrittenBeforeTheRecord)
{
    auto& st = SharedState::current();
    tzSndMsgFrm& w = open();
    struct Case {
        QString choice;
        bool typed;
        QString date, time;
    } cases[] = {
        {QStringLiteral("1 hr 15 min"), false, QStringLiteral("12/10/2026"), QStringLiteral("8:45:00 AM")},
        {QStringLiteral("90"), true, QStringLiteral("12/10/2026"), QStringLiteral("8:30:00 AM")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice.toStdString());
        st.ReminderFlag = true;
        st.LinkTyp = 2;
        st.LinkID = 5;
        st.ReminderDate = QDateTime(QDate(2026, 12, 10), QTime(0, 0));
        st.ReminderTime = QDateTime(QDate(1899, 12, 30), QTime(10, 0));
        compose(w, QStringLiteral("Call the patient"));
        w.BuildReminderChoices(true);
        if (c.typed)
            w.cmbAla->setEditText(c.choice);
        else
            w.cmbAla->setCurrentIndex(w.cmbAla->findText(c.choice));
        PrompterGuard prompts; // a reminder asks nothing about recipients
        ASSERT_EQ(w.SaveMessage(false, false), 6);
        db::Recordset ev = office.query(QStringLiteral("select * from EVTable where EvLinID=?"), {w.CMID()});
        ASSERT_EQ(ev.recordCount(), 1);
        ev.moveFirst();
        EXPECT_EQ(ev.value(QStringLiteral("EVAlaFla")).toInt(), -1);
        EXPECT_EQ(ev.value(QStringLiteral("EVAlaStaDatFla")).toInt(), -1);
        EXPECT_EQ(ev.value(QStringLiteral("EVAlaStaDat")).toString(), c.date);
        EXPECT_EQ(ev.value(QStringLiteral("EVAlaStaTim")).toString(), c.time);
        EXPECT_EQ(office.scalar(QStringLiteral("select cmTyp from CMTable where cmID=?"), {w.CMID()}).toInt(), 2);
    }
}

TEST_F(SendTest, RepeatSettingsReadBackAsTheyWereSent)
{
    tzSndMsgFrm& w = open();
    PrompterGuard prompts;
    compose(w, QStringLiteral("Weekly"), id(nurse));
    w.ChkRea[0]->setChecked(true);
    w.txtReaEve[0]->setText(QStringLiteral("2"));
    w.cmbRea[0]->setCurrentIndex(1);
    w.OptReaForTim[0]->setChecked(true);
    w.txtReaTim[0]->setText(QStringLiteral("3"));
    w.ChkUnt[0]->setChecked(true);
    w.dcmbUnt[0]->setText(QStringLiteral("12/31/2026"));
    w.dCmbFro[0]->setText(QStringLiteral("not a date"));
    ASSERT_EQ(w.SaveMessage(false, false), 6);
    const qint32 cmId = w.CMID();
    db::Recordset ev = office.query(QStringLiteral("select * from EVTable where EvLinID=?"), {cmId});
    ev.moveFirst();
    EXPECT_EQ(ev.value(QStringLiteral("EvBroReaFla")).toInt(), 1); // the check box's own value
    EXPECT_EQ(ev.value(QStringLiteral("EvBroReaEve")).toInt(), 2);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroReaTyp")).toInt(), 0);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroNumOfTim")).toInt(), 3);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroEndDatFla")).toInt(), 1);
    EXPECT_EQ(ev.value(QStringLiteral("EvBroEndDat")).toString(), QStringLiteral("12/31/2026"));
    // A From date that is not a date was replaced by today when the message was delivered.
    EXPECT_EQ(ev.value(QStringLiteral("EvBroStaDat")).toString(), QStringLiteral("12/06/2026"));

    w.resetToNewMessage();
    w.LoadMessage(9, 0, cmId);
    EXPECT_TRUE(w.ChkRea[0]->isChecked());
    EXPECT_EQ(w.txtReaEve[0]->text(), QStringLiteral("2"));
    EXPECT_TRUE(w.OptReaForTim[0]->isChecked());
    EXPECT_EQ(w.txtReaTim[0]->text(), QStringLiteral("3"));
    EXPECT_TRUE(w.ChkUnt[0]->isChecked());
    EXPECT_EQ(w.dcmbUnt[0]->text(), QStringLiteral("12/31/2026"));
    EXPECT_TRUE(w.ChkBro[0]->isChecked());
    EXPECT_EQ(w.cmbFroTim[0]->currentText(), QStringLiteral("10:00 am"));
    EXPECT_FALSE(w.m_changed);
}

TEST_F(SendTest, AFreeReminderNeedsATime)
{
    tzSndMsgFrm& w = open();
    struct Case {
        QString time;
        int flag;
        QString stored;
    } cases[] = {
        {QStringLiteral("02:15 pm"), -1, QStringLiteral("2:15:00 PM")},
        {QStringLiteral("later"), 0, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time.toStdString());
        compose(w, QStringLiteral("Remember"), id(nurse));
        w.cmbAla->setEditText(c.time);
        PrompterGuard prompts;
        ASSERT_EQ(w.SaveMessage(false, false), 6);
        db::Recordset ev = office.query(QStringLiteral("select * from EVTable where EvLinID=?"), {w.CMID()});
        ev.moveFirst();
        EXPECT_EQ(ev.value(QStringLiteral("EVAlaFla")).toInt(), c.flag);
        EXPECT_EQ(ev.value(QStringLiteral("EVAlaStaDatFla")).toInt(), c.flag);
        if (c.flag != 0) {
            EXPECT_EQ(ev.value(QStringLiteral("EVAlaStaDat")).toString(), QStringLiteral("12/06/2026"));
            EXPECT_EQ(ev.value(QStringLiteral("EVAlaStaTim")).toString(), c.stored);
        }
    }
}

TEST_F(SendTest, AnOpenedReminderIsTheLoginsOwn)
{
    auto& st = SharedState::current();
    auto prepare = [&st] {
        st.ReminderFlag = true;
        st.LinkTyp = 2;
        st.LinkID = 5;
        st.ReminderDate = QDateTime(QDate(2026, 12, 10), QTime(0, 0));
        st.ReminderTime = QDateTime(QDate(1899, 12, 30), QTime(10, 0));
    };
    const qint32 others = seedMessage(QStringLiteral("R"), QStringLiteral("the nurse's"), true, {}, 2, 5);
    office.exec(QStringLiteral("update CMTable set cmWho='NURSE' where cmID=?"), {others});
    prepare();
    st.Notes = QStringLiteral("Call back");
    {
        tzSndMsgFrm& w = open();
        EXPECT_EQ(w.CMID(), 0); // another login's reminder is not this one
        EXPECT_EQ(w.txtMsg->toPlainText(), QStringLiteral("Call back"));
        EXPECT_EQ(w.windowTitle(), QStringLiteral("New Reminder for FRONT on 12/10/26 at 10:00 am"));
        EXPECT_EQ(w.cmbAla->count(), 60);
    }
    const qint32 mine = seedMessage(QStringLiteral("R"), QStringLiteral("mine"), true, {}, 2, 5);
    office.exec(QStringLiteral("update CMTable set cmWho='FRONT' where cmID=?"), {mine});
    prepare();
    tzSndMsgFrm& w = open();
    EXPECT_EQ(w.CMID(), mine);
    EXPECT_EQ(w.txtMsg->toPlainText(), QStringLiteral("mine"));
    EXPECT_FALSE(w.txtMsg->isReadOnly());
    EXPECT_TRUE(st.ReminderFlag);
}

} // namespace
} // namespace tzsndmsg::testing
