#pragma once

#include "tzsndmsg/HostServices.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class QObject;

namespace tzsndmsg {

// The state shared by every tzSndMsgCls instance and every window on one thread.
struct SharedState {
    std::shared_ptr<HostServices> GIC;
    std::shared_ptr<void> DAC, GC, PV;

    qint32 CurrentEmployeeID = 0;
    qint32 PatientID = 0;
    bool DefaultSaveToPID = false;
    bool MsgHisOn = false;
    bool SndMsgHistoryButtonVisible = false;
    qint32 ReplyBCID = 0;
    qint32 ReplyFlag = -1;
    bool ReplyAutoSend = false;
    QString Notes;
    bool ReminderFlag = false;
    QDateTime ReminderDate = zeroDate();
    QDateTime ReminderTime = zeroDate();
    qint32 LinkTyp = 0;
    qint32 LinkID = 0;
    bool HolidayChanged = false;
    bool RightToEdit = false;
    qint16 ClockInterval = 15;

    // The login list: entry 0 empty, entries 1..n upper-case names and their person ids.
    QStringList LoginNames{QString()};
    QVector<qint32> LoginEmployeeIDs{0};

    // The addressee row the message window opens on (Message_ShowReceived); 0: none.
    qint32 ShowBroChkID = 0;

    bool AnnouncementMode = false;
    qint32 LastSavedMessageID = 0;
    QPointer<QObject> HostMainForm;

    // The help file, chosen once per process by SetupHelpFile.
    QString HelpFile;

    // The values a new tzSndMsgCls instance sets again.
    void resetInstanceValues();
    // The zero date of the automation types.
    static QDateTime zeroDate();

    // The state of the calling thread.
    static SharedState& current();
};

} // namespace tzsndmsg
