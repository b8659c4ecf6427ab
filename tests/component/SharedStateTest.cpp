#include "component/SharedState.h"

#include <gtest/gtest.h>
#include <thread>

namespace tzsndmsg {
namespace {

TEST(SharedState, ZeroDateIsTheAutomationDayZero)
{
    EXPECT_EQ(SharedState::zeroDate(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(SharedState::current().ReminderDate, SharedState::zeroDate());
}

TEST(SharedState, InstanceResetRestoresTheMessageContextAndKeepsTheRest)
{
    SharedState& s = SharedState::current();
    const SharedState saved = s;

    s.AnnouncementMode = true;
    s.PatientID = 12;
    s.DefaultSaveToPID = true;
    s.ReplyBCID = 44;
    s.ReplyFlag = 2;
    s.ReplyAutoSend = true;
    s.ReminderDate = QDateTime(QDate(2026, 12, 7), QTime(0, 0));
    s.ReminderTime = QDateTime(QDate(1899, 12, 30), QTime(9, 30));
    s.ReminderFlag = true;
    s.SndMsgHistoryButtonVisible = true;
    s.Notes = QStringLiteral("call back");
    s.LinkTyp = 4;
    s.LinkID = 77;
    s.ClockInterval = 5;
    // Values that belong to the thread, not to an instance.
    s.CurrentEmployeeID = 9;
    s.HolidayChanged = true;
    s.RightToEdit = true;
    s.MsgHisOn = true;
    s.LastSavedMessageID = 31;
    s.LoginNames = {QString(), QStringLiteral("SUPERVISOR")};
    s.LoginEmployeeIDs = {0, 0};

    s.resetInstanceValues();

    EXPECT_FALSE(s.AnnouncementMode);
    EXPECT_EQ(s.PatientID, 0);
    EXPECT_FALSE(s.DefaultSaveToPID);
    EXPECT_EQ(s.ReplyBCID, 0);
    EXPECT_EQ(s.ReplyFlag, -1);
    EXPECT_FALSE(s.ReplyAutoSend);
    EXPECT_EQ(s.ReminderDate, SharedState::zeroDate());
    EXPECT_EQ(s.ReminderTime, SharedState::zeroDate());
    EXPECT_FALSE(s.ReminderFlag);
    EXPECT_FALSE(s.SndMsgHistoryButtonVisible);
    EXPECT_TRUE(s.Notes.isEmpty());
    EXPECT_EQ(s.LinkTyp, 0);
    EXPECT_EQ(s.LinkID, 0);
    EXPECT_EQ(s.ClockInterval, 15);

    EXPECT_EQ(s.CurrentEmployeeID, 9);
    EXPECT_TRUE(s.HolidayChanged);
    EXPECT_TRUE(s.RightToEdit);
    EXPECT_TRUE(s.MsgHisOn);
    EXPECT_EQ(s.LastSavedMessageID, 31);
    EXPECT_EQ(s.LoginNames.size(), 2);

    s = saved;
}

TEST(SharedState, EachThreadHasItsOwn)
{
    SharedState::current().PatientID = 5;
    qint32 seenOnOtherThread = -1;
    std::thread other([&] {
        seenOnOtherThread = SharedState::current().PatientID;
        SharedState::current().PatientID = 99;
    });
    other.join();
    EXPECT_EQ(seenOnOtherThread, 0);
    EXPECT_EQ(SharedState::current().PatientID, 5);
    SharedState::current().PatientID = 0;
}

} // namespace
} // namespace tzsndmsg
