#include "tzsndmsg/tzSndMsgCls.h"

#include "holidays/Ems_HolidayFrm.h"
#include "holidays/HolidayStart.h"
#include "state/SharedState.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace tzsndmsg {
namespace {

using testing::control;
using testing::ModalScript;
using testing::PrompterGuard;

const QString NoLoginText = u"Please setup employee information and login name first."_s;

// Every test starts from a thread state without services and ends without leaving any.
class ClassTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        releaseHolidayWindow();
        testing::expectNoVisibleWindows();
    }
    qint32 addFront() { return office.addEmployee(u"Diaz"_s, u"Ana"_s, u"AD"_s, u"FRONT"_s); }
    testing::Office office;
    testing::FreshSharedState state; // after the office: it goes first
};

// The full list of reset fields is in SharedStateTest; here: the class resets on creation.
TEST_F(ClassTest, NewInstanceResetsTheMessageContextButNotTheUser)
{
    tzSndMsgCls first;
    first.setReplyFlag(mfForward);
    first.setClockInterval(5);
    first.setLinkID(12);
    first.setHolidayChanged(true);
    first.setMsgHisOn(true);
    SharedState::current().CurrentEmployeeID = 42;

    tzSndMsgCls second;
    for (const tzSndMsgCls* instance : {&first, &second}) {
        EXPECT_EQ(instance->ReplyFlag(), mfUnknown);
        EXPECT_EQ(instance->ClockInterval(), 15);
        EXPECT_TRUE(instance->HolidayChanged());
        EXPECT_TRUE(instance->MsgHisOn());
    }
    EXPECT_EQ(SharedState::current().LinkID, 0);
    EXPECT_EQ(SharedState::current().CurrentEmployeeID, 42);
}

TEST_F(ClassTest, HandingOverServicesLooksUpTheCurrentEmployee)
{
    const qint32 front = addFront();
    tzSndMsgCls cls;
    cls.setGIC(office.services());
    EXPECT_EQ(SharedState::current().CurrentEmployeeID, front);
    EXPECT_TRUE(office.services()->hasTodoDialogHandler());
    EXPECT_TRUE(office.services()->hasCannedTextHandler());

    // A login without an employee.
    cls.setGIC(office.workstation(u"WS2"_s, u"TEMPSTAFF"_s));
    EXPECT_EQ(SharedState::current().CurrentEmployeeID, 0);
}

TEST_F(ClassTest, MessageStartRefusesBeforeALoginWithAnEmployeeExists)
{
    for (bool supervisorRow : {false, true}) {
        SCOPED_TRACE(supervisorRow);
        if (supervisorRow)
            office.addLogin(u"SUPERVISOR"_s, QVariant());
        tzSndMsgCls cls;
        cls.setGIC(office.services());
        PrompterGuard prompter;
        prompter->expect(NoLoginText, QString(), 1);
        ModalScript noWindow;
        EXPECT_FALSE(cls.Message_Start().isValid());
        ASSERT_EQ(prompter->shown.size(), 1);
        EXPECT_TRUE(prompter->shown[0].title.isEmpty());
        EXPECT_EQ(prompter->shown[0].buttons, 0);
        cls.Message_Stop();
    }
}

TEST_F(ClassTest, SendMessageWithoutServicesMakesItsOwnAndLeavesNone)
{
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
        EXPECT_EQ(cls.SendMessage(u"Lab"_s, u"Results are in"_s, LabLinkOrder, 55, u"FRONT"_s, 1),
                  0);
    }
    qunsetenv("TZSNDMSG_DB_URL");
    qunsetenv("TZSNDMSG_DATA");
    EXPECT_EQ(cls.GIC(), nullptr);
    EXPECT_EQ(SharedState::current().LinkTyp, LabLinkOrder);
    EXPECT_EQ(SharedState::current().LinkID, 55);
    EXPECT_EQ(cls.ReplyFlag(), mfRegular);
    EXPECT_EQ(cls.ReplyBCID(), 0);
    EXPECT_FALSE(cls.MsgHisOn());
}

TEST_F(ClassTest, SendMessageOpensTheWindowFilledIn)
{
    addFront();
    tzSndMsgCls cls;
    cls.setGIC(office.services());
    ModalScript script;
    script.then([](QDialog& window) {
        EXPECT_EQ(control<QLineEdit>(&window, u"txtSubject"_s)->text(), u"Appointment moved"_s);
        EXPECT_EQ(control<QPlainTextEdit>(&window, u"txtMsg"_s)->toPlainText(), u"Now at 3 pm"_s);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(cls.SendMessage(u"Appointment moved"_s, u"Now at 3 pm"_s, StandardMessage, 8,
                              u"IGNORED"_s, 99),
              0);
    EXPECT_EQ(cls.GIC(), office.services()) << "a handed-over services object stays";
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
}

// An announcement reaches the person given; sent by a login whose person has left, it is
// refused and nothing is stored.
TEST_F(ClassTest, AnnouncementSendReachesThePersonGivenAndNotForOneWhoHasLeft)
{
    addFront();
    const qint32 nurse = office.addEmployee(u"Lee"_s, u"Kim"_s, u"KL"_s, u"NURSE"_s);
    QString tx = u"Staff meeting moved to 1 pm"_s;
    QString to = QString::number(nurse) + QLatin1Char(','), mac;
    QString cat = u"Message"_s, sub = u"EMS"_s;
    tzSndMsgCls cls;
    // Without services it is the caller's error.
    EXPECT_THROW(cls.AnnouncementSend(tx, to, mac, cat, sub), std::runtime_error);

    cls.setGIC(office.services());
    ModalScript noWindow;
    cls.AnnouncementSend(tx, to, mac, cat, sub);
    EXPECT_TRUE(SharedState::current().AnnouncementMode);
    EXPECT_EQ(office.count(u"CMTable"_s), 1);
    EXPECT_EQ(office.count(u"BroChkTable"_s, u"BroChkPID = ?"_s, {nurse}), 1);
    EXPECT_EQ(office.count(u"BroChkTable"_s), 1);
    EXPECT_EQ(office.scalar(u"SELECT cmDoc FROM CMTable"_s).toString(), tx);

    const qint32 gone = office.addPerson(u"Gray"_s, u"Sam"_s, u"SG"_s, true, true);
    office.addLogin(u"SAM"_s, gone);
    office.services()->setLogin(u"SAM"_s);
    cls.setGIC(office.services());
    tx = u"Closing early"_s;
    try {
        cls.AnnouncementSend(tx, to, mac, cat, sub);
        ADD_FAILURE() << "sent for a person who has left, id " << gone;
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("has left the office"), std::string::npos) << e.what();
    }
    EXPECT_EQ(office.count(u"CMTable"_s), 1);
}

TEST_F(ClassTest, EventWindowIsNewEachTimeAndTheHolidayWindowIsKept)
{
    addFront();
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
        script.then(record).then(record).then(record);
        cls.Holiday_Start();
        cls.Holiday_Start();
        cls.Event_Start();
    }
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], &holidayWindow());
    EXPECT_EQ(names, QStringList({"Ems_HolidayFrm", "Ems_HolidayFrm", "EMS_EventsFrm"}));
}

} // namespace
} // namespace tzsndmsg
