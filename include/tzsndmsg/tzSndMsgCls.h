#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <memory>
#include <stdexcept>
#include <tzsndmsg/HostServices.h>
#include <tzsndmsg/LinkIDTypes.h>

namespace tzsndmsg {

enum MessageFlag : qint32 {
    mfUnknown = -1,
    mfRegular = 0,
    mfReply = 1,
    mfForward = 2,
    mfReturnReceipt = 3,
};

class tzSndMsgFrm;

// What AnnouncementSend throws when the announcement was not stored; what() is the reason, on
// one line. Nothing of the announcement is in the store then.
class SendError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The component's public class. Every property reads or writes the state shared by all
// instances on the calling thread; creating an instance resets the message context.
//
// Threads: create and call it on the thread of the QApplication (its windows are Qt widgets);
// the shared state is kept per thread, and the services handed over as GIC are called on that
// thread. Failures: the start methods and SendMessage never throw; a window that cannot open
// leaves the caller where it was, and what goes wrong inside a window is told to the user in a
// message box (ui::MessageBox, which a host can answer itself). AnnouncementSend is the only
// call that throws.
class tzSndMsgCls {
public:
    tzSndMsgCls();
    ~tzSndMsgCls();
    tzSndMsgCls(const tzSndMsgCls&) = delete;
    tzSndMsgCls& operator=(const tzSndMsgCls&) = delete;

    // IGlobal: only GIC is used; the others are kept and handed back. The services stay the
    // host's: the component keeps a reference until another is set.
    std::shared_ptr<void> PV() const;
    void setPV(std::shared_ptr<void> value);
    std::shared_ptr<void> GC() const;
    void setGC(std::shared_ptr<void> value);
    std::shared_ptr<void> DAC() const;
    void setDAC(std::shared_ptr<void> value);
    std::shared_ptr<HostServices> GIC() const;
    void setGIC(std::shared_ptr<HostServices> services); // also looks up the current employee

    void setLocationID(qint32 locationId); // handed to the services' setLocation
    // The office events window, modal; returns when it closes (on LinkID's event when not 0).
    QVariant Event_Start();
    void setSndMsgHistoryButtonVisible(bool visible);
    bool MsgHisOn() const;
    void setMsgHisOn(bool on);
    // Closes a message window that Message_Start left loaded.
    QVariant Message_Stop();
    // Kept for the suite: MultiUser is always false, Path empty.
    bool MultiUser() const;
    void setMultiUser(bool value);
    QString Path() const;
    void setPath(const QString& value);
    // The message window, modal; returns when it closes. With no login that has an employee it
    // tells the user "Please setup employee information and login name first." and returns.
    QVariant Message_Start();
    // Message_Start on a received message: the full window on the inbox of every category with
    // the message of that addressee row (BroChkID, as the office watcher tells it) shown and its
    // confirm panel ready. A row no longer listed (purged, deleted) leaves the inbox on its
    // last row. Returns when the window closes; MsgHisOn is left as it was.
    QVariant Message_ShowReceived(qint32 BroChkID);
    // While the message window of this instance's Message_Start or Message_ShowReceived is open
    // (from a notice, a timer, another window): shows the received message of that addressee
    // row there, in the inbox of every category when the view shown does not list it, its row
    // current. A window where a message is being written, or with a dialog of its own open over
    // it, keeps the row waiting, with a mark ("1 new message - press F6 to show it"), until the
    // user asks. False when this instance has no message window open.
    bool Message_ShowInOpenWindow(qint32 BroChkID);
    // Opens the message window filled with the subject and text, linked to a record of the suite;
    // returns when it closes. The id of the saved message for a lab order (LabLinkOrder), else 0
    // (also when nothing was saved). Without a services object it makes one from the
    // workstation's configuration (WorkstationConfig) for LoginName and drops it afterwards.
    qint32 SendMessage(QString Subject, QString BodyText, LinkIDTypes LinkType, qint32 LinkToID,
                       QString LoginName, qint32 LocationID);
    QString LoginName() const; // kept for the suite; always empty
    void setLoginName(const QString& value);
    qint32 PatientID() const;
    void setPatientID(qint32 id);
    bool DefaultSaveToPID() const;
    void setDefaultSaveToPID(bool value);
    qint32 ReplyBCID() const;
    void setReplyBCID(qint32 id);
    MessageFlag ReplyFlag() const;
    void setReplyFlag(MessageFlag flag);
    // The context of the next Message_Start: notes, a reminder and the record it is linked to.
    void setNotes(const QString& notes);
    void setReminderFlag(bool flag);
    void setReminderDate(const QDateTime& date);
    void setReminderTime(const QDateTime& time);
    void setReplyAutoSend(bool value);
    void setLinkTyp(LinkIDTypes type);
    void setLinkID(qint32 id);
    // The holiday setup window, modal; returns when it closes. HolidayChanged tells whether the
    // user saved a change.
    QVariant Holiday_Start();
    // The office setup window (people, departments, logins and their rights, computers), modal;
    // returns when it closes. Only for a login with the supervisor right: any other is told so in
    // a message box and nothing opens. Changes are written as they are made.
    QVariant Setup_Start();
    bool HolidayChanged() const;
    void setHolidayChanged(bool changed);
    bool RightToEdit() const;
    void setRightToEdit(bool value);
    // Minutes between the entries of the time lists (15 by default).
    qint16 ClockInterval() const;
    void setClockInterval(qint16 minutes);
    // Sends tx to the persons in toID (ids separated by ",") and the computers in ToMac
    // (names separated by line feeds) without showing a window, a message box or a dialog,
    // whether or not anyone could answer one. It returns once the announcement is stored, and
    // throws SendError when it is not: no services object handed over, no addressee, an entry
    // of toID that is no person's id or the id of a person who has left the office (nothing is
    // sent then, not even to the others), or a store that did not take it (busy, read-only,
    // damaged, unreachable). Computer names are taken as given.
    void AnnouncementSend(QString& tx, QString& toID, QString& ToMac, QString& Cat,
                          QString& subCat);
    // The same, with its delivery set to start at `startsAt` ("Broadcast:" and "From :" ticked
    // on that date and time of day): recipients list it from then on. Invalid: at once.
    void AnnouncementSend(QString& tx, QString& toID, QString& ToMac, QString& Cat, QString& subCat,
                          const QDateTime& startsAt);

private:
    std::unique_ptr<tzSndMsgFrm> m_window; // the window of Message_Start
};

} // namespace tzsndmsg
