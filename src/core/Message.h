#pragma once

#include "common/AutoDate.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

namespace tzsndmsg {
class HostServices;
namespace db {
class Recordset;
}
} // namespace tzsndmsg

namespace tzsndmsg::core {

// The store kind of the message store, as the record writer takes it.
constexpr int MessageStoreKind = 9;

// A CMTable row. Texts as stored (empty when null); flags set when not 0 (-1, 1 or True).
struct MessageHeader {
    qint32 cmID = 0;
    std::optional<qint32> cmTyp; // null counts as a live plain message
    qint32 cmTraLinID = 0;
    QString cmDat, cmTim; // the date and time texts of the row
    QString cmWho;
    qint32 cmPid = 0;
    QString cmCat, cmSubCat;
    QString cmDoc, CMSubjec;
    bool cmDocAftDis = false, CMNeeCom = false, CMShoOnRep = false, cmConRec = false;
    std::optional<qint32> CMPurFla;

    qint32 linkType() const { return cmTyp.value_or(0); }
    // A reminder linked to an absence or an appointment: either of cmTyp's two lowest bits.
    bool isLinkedReminder() const { return (linkType() & 3) != 0; }
    // The visibility rule: cmTyp 0 or more, or null.
    bool isLive() const { return !cmTyp || *cmTyp >= 0; }
    bool isPurged() const { return CMPurFla.value_or(0) > 255; }
};

// The EVTable row of a header, when it has one.
struct MessageDetail {
    bool exists = false;
    qint32 EVID = 0;
    bool EvPri = false;
    // The reminder.
    bool EVAlaFla = false, EVAlaStaDatFla = false;
    QString EVAlaStaDat, EVAlaStaTim;
    // The delivery ("Broadcast:", "From :") and its repeats.
    bool EvBroFla = false, EvBroStaDatFla = false;
    QString EvBroStaDat, EvBroStaTim;
    bool EvBroReaFla = false;          // "Repeat Every:" ticked
    qint32 EvBroReaEve = 0;            // every N ...
    std::optional<qint32> EvBroReaTyp; // ... units; -1 when none was chosen
    qint32 EvBroNumOfTim = 0;          // -1 unlimited, N times
    bool EvBroEndDatFla = false;       // "Until :" ticked
    QString EvBroEndDat;
};

// A BroChkTable row: one addressee of a message.
struct Addressee {
    qint32 BroChkID = 0;
    qint32 BroChkLinID = 0;
    qint32 BroChkPID = 0; // 0 on a computer row
    int BroChkTyp = 0;    // 0 To, 1 Cc
    QString BroChkToMac;
    qint32 BroChkAssPID = 0;
    int BroChkSavToFla = 0;
    std::optional<qint32> BroChkDonDis;
    QDateTime BroChkLasReaDatTim;

    bool isRead() const { return BroChkDonDis == -1; }
    // The note goes to the chosen person when one was chosen, else to whoever confirms.
    bool savesToChosenPerson() const { return BroChkSavToFla != 0 && BroChkAssPID != 0; }
};

struct StoredMessage {
    MessageHeader header;
    MessageDetail detail;
    // The To and Cc rows in the order read; read only for a message with its detail row, as
    // the window loads recipients.
    QVector<Addressee> addressees;
};

// The message as the inbox shows it, through its addressee row (BroChkID).
std::optional<StoredMessage> readMessageOfAddressee(HostServices& services, qint32 broChkId,
                                                    QString* error = nullptr);
// The message by its id, whatever its cmTyp.
std::optional<StoredMessage> readMessage(HostServices& services, qint32 cmId,
                                         QString* error = nullptr);
// The message by its id under the visibility rule (none when cmTyp is negative).
std::optional<StoredMessage> readLiveMessage(HostServices& services, qint32 cmId,
                                             QString* error = nullptr);
// The header alone.
std::optional<MessageHeader> readHeader(HostServices& services, qint32 cmId,
                                        QString* error = nullptr);
// One addressee row.
std::optional<Addressee> readAddressee(HostServices& services, qint32 broChkId,
                                       QString* error = nullptr);

// The rows as they are read from a statement's current row.
MessageHeader headerFrom(const db::Recordset& rs);
MessageDetail detailFrom(const db::Recordset& rs);
Addressee addresseeFrom(const db::Recordset& rs);

// A login's own reminder for a linked record (cmTyp = link type, cmTraLinID = the record,
// cmWho = the login), the first one found; 0 when there is none.
qint32 findLinkedReminder(HostServices& services, qint32 linkType, qint32 linkId,
                          const QString& loginName);

// The date and start time of the appointment (link type 2) or absence (1) a reminder is
// linked to, read on the suite's connection; none when the record is gone.
struct LinkedRecord {
    common::AutoDate date;
    common::AutoDate time;
};
std::optional<LinkedRecord> readLinkedRecord(HostServices& services, qint32 linkType,
                                             qint32 linkId);

} // namespace tzsndmsg::core
