#pragma once

#include "core/Message.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <array>
#include <optional>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::core {

// The four reminder columns as they are written: EVAlaFla, EVAlaStaDatFla, EVAlaStaDat,
// EVAlaStaTim, in the system's own text forms of a date and a time.
struct ReminderColumns {
    QString EVAlaFla, EVAlaStaDatFla, EVAlaStaDat, EVAlaStaTim;
    bool operator==(const ReminderColumns&) const = default;
};
// No reminder: both flags "0", the texts of the zero date-time.
ReminderColumns noReminderColumns();
// A reminder on a day at a time of day, each as typed; none when either is not one.
std::optional<ReminderColumns> freeReminderColumns(const QString& dayText, const QString& timeText);
// A reminder `minutes` before the date and time of a linked appointment or absence.
ReminderColumns linkedReminderColumns(const QDate& recordDate, const QTime& recordTime,
                                      qint64 minutes);

// cmTyp and cmTraLinID of a new message: a linked reminder keeps its link type and record, a
// message linked to a lab order (4) too; anything else is a plain message (256, 0).
struct MessageLink {
    qint32 cmTyp = 256;
    qint32 cmTraLinID = 0;
};
MessageLink messageLink(bool reminder, qint32 linkType, qint32 linkId);

// A new message as composed: the values of its rows as the record writer takes them.
struct OutgoingMessage {
    // Nothing is written unless the header pane changed. A message that is written always gets
    // its detail row, whatever its pane says: the views list only messages that have one, and a
    // message in no list could be neither read, purged nor deleted.
    bool headerChanged = false;
    // Not 0: the user's own linked reminder opened again, saved over itself, so that one
    // reminder fires, with the new text. Its creation (cmTyp to cmSubCat, the detail row's
    // EvPID and EvTyp) stays; cmWhoMod and cmModDat say who changed it and when. Addressees
    // that remain keep their rows (ids and read marks), new ones are added, dropped ones
    // removed. 0: a new message, as always.
    qint32 replaceId = 0;

    // The header. cmTim, cmWho and cmWhoMod come from the services; cmDat, the link and the
    // sender are not written when saving over a reminder.
    MessageLink link;
    QString cmDat;             // the text of the message's date field
    qint32 senderId = 0;       // cmPid and EvPID
    bool announcement = false; // an announcement of the host: SUPERVISOR sends as person 0
    QString cmCat, cmSubCat;
    QString cmDoc;    // as typed
    QString CMSubjec; // trimmed when written
    bool cmDocAftDis = false, CMNeeCom = false, CMShoOnRep = false, cmConRec = false;

    // The detail row.
    ReminderColumns reminder = noReminderColumns();
    bool EvPri = false;
    bool EvBroFla = false, EvBroStaDatFla = false;
    QString EvBroStaDat, EvBroStaTim; // left out (null) when empty
    bool EvBroReaFla = false;         // written as the check box's own value, 1 or 0
    qint64 EvBroReaEve = 0;
    qint32 EvBroReaTyp = -1; // -1: no unit chosen
    qint64 EvBroNumOfTim = 0;
    bool EvBroEndDatFla = false; // 1 or 0
    QString EvBroEndDat;         // left out when empty

    // Addressees, index 0 To and 1 Cc: person ids each followed by "," and computer names
    // each followed by a line feed. A person or computer in both lists gets only its To row.
    std::array<QString, 2> personIds;
    std::array<QString, 2> computers;
    qint32 saveToPerson = 0; // BroChkAssPID of every row
    int saveToChoice = 0;    // BroChkSavToFla of every row

    // A message linked to a lab order is announced to the lab-order link once it is stored.
    std::optional<qint64> labOrderId;
};

struct SaveResult {
    bool ok = false;
    qint32 cmId = 0;               // the new message; 0 when nothing was written
    QString error;                 // why nothing was written
    bool labOrderAccepted = false; // the lab-order link took the new message
};

// Writes a new message (or replaces an opened reminder): header, detail and addressee rows in
// one transaction; after the commit the station signals ("CMCM", "CMEV", one "CMBC" per
// addressee row) and the lab-order announcement. Nothing is written when the header did not
// change.
SaveResult saveMessage(HostServices& services, const OutgoingMessage& message);

struct Confirmation {
    std::optional<Addressee> row; // the addressee row as it was; none when it does not exist
    bool written = false;
    QString error; // why the row could not be marked read
};

// Marks an addressee row read, as the confirm panel's OK does: BroChkDonDis -1, the moment in
// BroChkLasReaDatTim, and on a computer's row (BroChkPID 0) the confirming employee. The
// station signal "CMBC" follows the write.
Confirmation confirmAddressee(HostServices& services, qint32 broChkId, qint32 confirmingEmployeeId);

// Deletes a message: its header, addressee rows and detail row. Nothing for id 0. False with
// the reason when it is still stored (see store::DeleteMessage).
bool deleteMessage(HostServices& services, qint64 cmId, QString* error = nullptr);

// A confirming reader marks the message payroll related: cmDocAftDis and CMShoOnRep -1.
bool markPayrollRelated(HostServices& services, qint32 cmId, QString* error = nullptr);

} // namespace tzsndmsg::core
