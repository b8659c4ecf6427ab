#pragma once

#include "HostServices.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <memory>

namespace tzsndmsg {

enum LinkIDTypes : qint32 {
    Unspecified = 0,
    QNSAppointment = 1,
    ZELOAppointment = 2,
    LabLinkOrder = 4,
    StandardMessage = 256,
    StandardEvent = 512,
};

enum MessageFlag : qint32 {
    mfUnknown = -1,
    mfRegular = 0,
    mfReply = 1,
    mfForward = 2,
    mfReturnReceipt = 3,
};

class tzSndMsgFrm;

// The component's public class. Every property reads or writes the state shared by all
// instances on the calling thread; creating an instance resets the message context.
class tzSndMsgCls {
public:
    tzSndMsgCls();
    ~tzSndMsgCls();
    tzSndMsgCls(const tzSndMsgCls&) = delete;
    tzSndMsgCls& operator=(const tzSndMsgCls&) = delete;

    // IGlobal: only GIC is used; the others are kept and handed back.
    std::shared_ptr<void> PV() const;
    void setPV(std::shared_ptr<void> value);
    std::shared_ptr<void> GC() const;
    void setGC(std::shared_ptr<void> value);
    std::shared_ptr<void> DAC() const;
    void setDAC(std::shared_ptr<void> value);
    std::shared_ptr<HostServices> GIC() const;
    void setGIC(std::shared_ptr<HostServices> services); // also looks up the current employee

    void setLocationID(qint32 locationId);
    QVariant Event_Start();
    void setSndMsgHistoryButtonVisible(bool visible);
    bool MsgHisOn() const;
    void setMsgHisOn(bool on);
    QVariant Message_Stop();
    bool MultiUser() const;
    void setMultiUser(bool value);
    QString Path() const;
    void setPath(const QString& value);
    QVariant Message_Start();
    // Message_Start on a received message: the full window on the inbox of every category with
    // the message of that addressee row (BroChkID, as the office watcher tells it) shown and its
    // confirm panel ready. A row no longer listed (purged, deleted) leaves the inbox on its
    // last row. Returns when the window closes; MsgHisOn is left as it was.
    QVariant Message_ShowReceived(qint32 BroChkID);
    qint32 SendMessage(QString Subject, QString BodyText, LinkIDTypes LinkType, qint32 LinkToID,
                       QString LoginName, qint32 LocationID);
    QString LoginName() const;
    void setLoginName(const QString& value);
    qint32 PatientID() const;
    void setPatientID(qint32 id);
    bool DefaultSaveToPID() const;
    void setDefaultSaveToPID(bool value);
    qint32 ReplyBCID() const;
    void setReplyBCID(qint32 id);
    MessageFlag ReplyFlag() const;
    void setReplyFlag(MessageFlag flag);
    void setNotes(const QString& notes);
    void setReminderFlag(bool flag);
    void setReminderDate(const QDateTime& date);
    void setReminderTime(const QDateTime& time);
    void setReplyAutoSend(bool value);
    void setLinkTyp(LinkIDTypes type);
    void setLinkID(qint32 id);
    QVariant Holiday_Start();
    bool HolidayChanged() const;
    void setHolidayChanged(bool changed);
    bool RightToEdit() const;
    void setRightToEdit(bool value);
    qint16 ClockInterval() const;
    void setClockInterval(qint16 minutes);
    // Sends tx to the persons in toID (ids separated by ",") and the computers in ToMac
    // (names separated by line feeds) without showing a window. Unlike the other operations it
    // passes its errors on: std::runtime_error with the reason (for example when no services
    // object was handed over); the window's own send problems are told to the user.
    void AnnouncementSend(QString& tx, QString& toID, QString& ToMac, QString& Cat,
                          QString& subCat);

private:
    std::unique_ptr<tzSndMsgFrm> m_window; // the window of Message_Start / AnnouncementSend
};

} // namespace tzsndmsg
