#include "tzsndmsg/tzSndMsgCls.h"

#include "component/SharedState.h"
#include "events/EMS_EventsFrm.h"
#include "holidays/Ems_HolidayFrm.h"
#include "holidays/HolidayStart.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <stdexcept>

namespace tzsndmsg {
namespace {

using testing::control;
using testing::ModalScript;
using testing::Office;
using testing::PrompterGuard;

const QString NoLoginText =
    QStringLiteral("Please setup employee information and login name first.");

// Every test starts from a thread state without services and ends without leaving any.
class ClassTest : public ::testing::Test {
protected:
    void SetUp() override { clear(); }
    void TearDown() override
    {
        releaseHolidayWindow();
        clear();
        testing::expectNoVisibleWindows();
    }
    static void clear()
    {
        SharedState& s = SharedState::current();
        s.GIC.reset();
        s.DAC.reset();
        s.GC.reset();
        s.PV.reset();
        s.CurrentEmployeeID = 0;
        s.HolidayChanged = false;
        s.resetInstanceValues();
    }
};

TEST_F(ClassTest, NewInstanceResetsTheMessageContextButNotTheUser)
{
    tzSndMsgCls first;
    EXPECT_EQ(first.ReplyFlag(), mfUnknown);
    EXPECT_EQ(first.ClockInterval(), 15);

    first.setReplyFlag(mfForward);
    first.setClockInterval(5);
    first.setLinkTyp(LabLinkOrder);
    first.setLinkID(12);
    first.setPatientID(300);
    first.setReplyBCID(7);
    first.setNotes(QStringLiteral("call back"));
    first.setReminderFlag(true);
    first.setHolidayChanged(true);
    first.setMsgHisOn(true);
    SharedState::current().CurrentEmployeeID = 42;
    SharedState::current().AnnouncementMode = true;

    tzSndMsgCls second;
    for (const tzSndMsgCls* instance : {&first, &second}) {
        EXPECT_EQ(instance->ReplyFlag(), mfUnknown);
        EXPECT_EQ(instance->ClockInterval(), 15);
        EXPECT_EQ(instance->PatientID(), 0);
        EXPECT_EQ(instance->ReplyBCID(), 0);
        EXPECT_TRUE(instance->HolidayChanged());
        EXPECT_TRUE(instance->MsgHisOn());
    }
    const SharedState& s = SharedState::current();
    EXPECT_EQ(s.LinkTyp, 0);
    EXPECT_EQ(s.LinkID, 0);
    EXPECT_TRUE(s.Notes.isEmpty());
    EXPECT_FALSE(s.ReminderFlag);
    EXPECT_FALSE(s.AnnouncementMode);
    EXPECT_EQ(s.CurrentEmployeeID, 42);
}

TEST_F(ClassTest, PathMultiUserAndLoginNameAreIgnored)
{
    tzSndMsgCls cls;
    cls.setPath(QStringLiteral("C:\\ZELO"));
    cls.setMultiUser(true);
    cls.setLoginName(QStringLiteral("FRONT"));
    EXPECT_TRUE(cls.Path().isEmpty());
    EXPECT_FALSE(cls.MultiUser());
    EXPECT_TRUE(cls.LoginName().isEmpty());
}

TEST_F(ClassTest, HandingOverServicesLooksUpTheCurrentEmployee)
{
    Office office;
    const qint32 front = office.addEmployee(QStringLiteral("Diaz"), QStringLiteral("Ana"),
                                            QStringLiteral("AD"), QStringLiteral("FRONT"));
    tzSndMsgCls cls;
    auto other = std::make_shared<int>(5);
    cls.setDAC(other);
    cls.setGIC(office.services());
    EXPECT_EQ(SharedState::current().CurrentEmployeeID, front);
    EXPECT_EQ(cls.GIC(), office.services());
    EXPECT_EQ(cls.DAC(), other);
    EXPECT_EQ(cls.GC(), nullptr);
    EXPECT_TRUE(office.services()->hasTodoDialogHandler());
    EXPECT_TRUE(office.services()->hasCannedTextHandler());

    // A login without an employee.
    auto nobody = office.workstation(QStringLiteral("WS2"), QStringLiteral("TEMPSTAFF"));
    cls.setGIC(nobody);
    EXPECT_EQ(SharedState::current().CurrentEmployeeID, 0);
}

TEST_F(ClassTest, MessageStartRefusesBeforeALoginWithAnEmployeeExists)
{
    Office office;
    for (bool supervisorRow : {false, true}) {
        if (supervisorRow)
            office.addLogin(QStringLiteral("SUPERVISOR"), QVariant());
        tzSndMsgCls cls;
        cls.setGIC(office.services());
        PrompterGuard prompter;
        prompter->expect(NoLoginText, QString(), 1);
        ModalScript noWindow;
        EXPECT_FALSE(cls.Message_Start().isValid());
        ASSERT_EQ(prompter->shown.size(), 1);
        EXPECT_EQ(prompter->shown[0].text, NoLoginText);
        EXPECT_TRUE(prompter->shown[0].title.isEmpty());
        EXPECT_EQ(prompter->shown[0].buttons, 0);
        cls.Message_Stop();
    }
}

TEST_F(ClassTest, SendMessageWithoutServicesMakesItsOwnAndLeavesNone)
{
    Office office;
    qputenv("TZSNDMSG_DB_URL", office.databaseUrl().toUtf8());
    qputenv("TZSNDMSG_DATA", office.dataFolder().toUtf8());
    tzSndMsgCls cls;
    cls.setReplyFlag(mfReply);
    cls.setReplyBCID(9);
    cls.setMsgHisOn(true);
    {
        // The empty office has no login yet: the set-up box, no window, result 0.
        PrompterGuard prompter;
        prompter->expect(NoLoginText, QString(), 1);
        ModalScript noWindow;
        EXPECT_EQ(cls.SendMessage(QStringLiteral("Lab"), QStringLiteral("Results are in"),
                                  LabLinkOrder, 55, QStringLiteral("FRONT"), 1),
                  0);
    }
    qunsetenv("TZSNDMSG_DB_URL");
    qunsetenv("TZSNDMSG_DATA");
    EXPECT_EQ(cls.GIC(), nullptr);
    const SharedState& s = SharedState::current();
    EXPECT_EQ(s.LinkTyp, LabLinkOrder);
    EXPECT_EQ(s.LinkID, 55);
    EXPECT_EQ(cls.ReplyFlag(), mfRegular);
    EXPECT_EQ(cls.ReplyBCID(), 0);
    EXPECT_FALSE(cls.MsgHisOn());
}

TEST_F(ClassTest, SendMessageOpensTheWindowFilledIn)
{
    Office office;
    office.addEmployee(QStringLiteral("Diaz"), QStringLiteral("Ana"), QStringLiteral("AD"),
                       QStringLiteral("FRONT"));
    tzSndMsgCls cls;
    cls.setGIC(office.services());
    ModalScript script;
    script.then([](QDialog& window) {
        EXPECT_EQ(window.objectName(), QStringLiteral("tzSndMsgFrm"));
        EXPECT_EQ(control<QLineEdit>(&window, QStringLiteral("txtSubject"))->text(),
                  QStringLiteral("Appointment moved"));
        EXPECT_EQ(control<QPlainTextEdit>(&window, QStringLiteral("txtMsg"))->toPlainText(),
                  QStringLiteral("Now at 3 pm"));
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(cls.SendMessage(QStringLiteral("Appointment moved"), QStringLiteral("Now at 3 pm"),
                              StandardMessage, 8, QStringLiteral("IGNORED"), 99),
              0);
    EXPECT_EQ(cls.GIC(), office.services()) << "a handed-over services object stays";
    EXPECT_EQ(office.count(QStringLiteral("CMTable")), 0);
}

TEST_F(ClassTest, AnnouncementSendReachesThePersonGiven)
{
    Office office;
    office.addEmployee(QStringLiteral("Diaz"), QStringLiteral("Ana"), QStringLiteral("AD"),
                       QStringLiteral("FRONT"));
    const qint32 nurse = office.addEmployee(QStringLiteral("Lee"), QStringLiteral("Kim"),
                                            QStringLiteral("KL"), QStringLiteral("NURSE"));
    office.addEmployee(QStringLiteral("Roe"), QStringLiteral("Sam"), QStringLiteral("SR"),
                       QStringLiteral("BILLING"));
    tzSndMsgCls cls;
    cls.setGIC(office.services());
    QString tx = QStringLiteral("Staff meeting moved to 1 pm");
    QString to = QString::number(nurse) + QLatin1Char(',');
    QString mac, cat = QStringLiteral("Message"), sub = QStringLiteral("EMS");
    ModalScript noWindow;
    cls.AnnouncementSend(tx, to, mac, cat, sub);

    EXPECT_TRUE(SharedState::current().AnnouncementMode);
    EXPECT_EQ(office.count(QStringLiteral("CMTable")), 1);
    EXPECT_EQ(office.count(QStringLiteral("BroChkTable"), QStringLiteral("BroChkPID = ?"), {nurse}),
              1);
    EXPECT_EQ(office.count(QStringLiteral("BroChkTable"), QStringLiteral("BroChkToMac <> ''")), 0);
    EXPECT_EQ(office.scalar(QStringLiteral("SELECT cmDoc FROM CMTable")).toString(), tx);
    EXPECT_EQ(to, QString::number(nurse) + QLatin1Char(',')) << "arguments are not changed";
}

TEST_F(ClassTest, AnnouncementSendWithoutServicesIsTheCallersError)
{
    tzSndMsgCls cls;
    QString tx = QStringLiteral("x"), to, mac, cat, sub;
    EXPECT_THROW(cls.AnnouncementSend(tx, to, mac, cat, sub), std::runtime_error);
}

TEST_F(ClassTest, EventWindowIsNewEachTimeAndTheHolidayWindowIsKept)
{
    Office office;
    office.addEmployee(QStringLiteral("Diaz"), QStringLiteral("Ana"), QStringLiteral("AD"),
                       QStringLiteral("FRONT"));
    tzSndMsgCls cls;
    cls.setGIC(office.services());
    QList<QDialog*> seen;
    QStringList names;
    auto record = [&](QDialog& dialog) {
        seen << &dialog;
        names << dialog.objectName();
        return int(QDialog::Rejected);
    };
    {
        ModalScript script;
        script.then(record).then(record).then(record).then(record);
        cls.Holiday_Start();
        cls.Holiday_Start();
        cls.Event_Start();
        cls.Event_Start();
    }
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], &holidayWindow());
    EXPECT_EQ(names,
              QStringList({QStringLiteral("Ems_HolidayFrm"), QStringLiteral("Ems_HolidayFrm"),
                           QStringLiteral("EMS_EventsFrm"), QStringLiteral("EMS_EventsFrm")}));
}

} // namespace
} // namespace tzsndmsg
