#include "state/SharedState.h"

namespace tzsndmsg {

void SharedState::resetInstanceValues()
{
    AnnouncementMode = false;
    ShowBroChkID = 0;
    PatientID = 0;
    DefaultSaveToPID = false;
    ReplyBCID = 0;
    ReplyFlag = -1; // mfUnknown
    ReplyAutoSend = false;
    ReminderDate = zeroDate();
    ReminderTime = zeroDate();
    ReminderFlag = false;
    SndMsgHistoryButtonVisible = false;
    Notes.clear();
    LinkTyp = 0;
    LinkID = 0;
    ClockInterval = 15;
}

QDateTime SharedState::zeroDate()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

SharedState& SharedState::current()
{
    // Each thread that uses the component has its own copy; instances on a thread share it.
    thread_local SharedState state;
    return state;
}

} // namespace tzsndmsg
