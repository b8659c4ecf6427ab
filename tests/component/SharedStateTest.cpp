#include "state/SharedState.h"

#include <gtest/gtest.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace tzsndmsg {
namespace {

TEST(SharedState, InstanceResetRestoresTheMessageContextAndKeepsTheRest)
{
    SharedState& s = SharedState::current();
    const SharedState saved = s;

    s.AnnouncementMode = s.DefaultSaveToPID = s.ReplyAutoSend = s.ReminderFlag = true;
    s.SndMsgHistoryButtonVisible = true;
    s.PatientID = 12;
    s.ReplyBCID = 44;
    s.ReplyFlag = 2;
    s.ReminderDate = s.ReminderTime = QDateTime(QDate(2026, 12, 7), QTime(9, 30));
    s.Notes = u"call back"_s;
    s.LinkTyp = 4;
    s.LinkID = 77;
    s.ClockInterval = 5;
    // Values that belong to the thread, not to an instance.
    s.CurrentEmployeeID = 9;
    s.HolidayChanged = s.RightToEdit = s.MsgHisOn = true;
    s.LastSavedMessageID = 31;
    s.LoginNames = {QString(), u"SUPERVISOR"_s};

    s.resetInstanceValues();

    EXPECT_FALSE(s.AnnouncementMode || s.DefaultSaveToPID || s.ReplyAutoSend || s.ReminderFlag ||
                 s.SndMsgHistoryButtonVisible);
    EXPECT_EQ(s.PatientID, 0);
    EXPECT_EQ(s.ReplyBCID, 0);
    EXPECT_EQ(s.ReplyFlag, -1);
    EXPECT_EQ(s.ReminderDate, SharedState::zeroDate());
    EXPECT_EQ(s.ReminderTime, SharedState::zeroDate());
    EXPECT_TRUE(s.Notes.isEmpty());
    EXPECT_EQ(s.LinkTyp, 0);
    EXPECT_EQ(s.LinkID, 0);
    EXPECT_EQ(s.ClockInterval, 15);

    EXPECT_EQ(s.CurrentEmployeeID, 9);
    EXPECT_TRUE(s.HolidayChanged && s.RightToEdit && s.MsgHisOn);
    EXPECT_EQ(s.LastSavedMessageID, 31);
    EXPECT_EQ(s.LoginNames.size(), 2);
    s = saved;
}

TEST(SharedState, EachThreadHasItsOwn)
{
    SharedState::current().PatientID = 5;
    qint32 seenOnOtherThread = -1;
    QDateTime reminderOnOtherThread;
    std::thread other([&] {
        // A thread's first state has the automation zero date, not an invalid one.
        reminderOnOtherThread = SharedState::current().ReminderDate;
        seenOnOtherThread = SharedState::current().PatientID;
        SharedState::current().PatientID = 99;
    });
    other.join();
    EXPECT_EQ(seenOnOtherThread, 0);
    EXPECT_EQ(reminderOnOtherThread, QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(SharedState::current().PatientID, 5);
    SharedState::current().PatientID = 0;
}

} // namespace
} // namespace tzsndmsg
