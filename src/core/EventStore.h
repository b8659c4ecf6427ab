#pragma once

#include "core/Recurrence.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QTime>
#include <QVariant>
#include <array>
#include <optional>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::db {
class Database;
class Recordset;
} // namespace tzsndmsg::db

namespace tzsndmsg::events {

// The grid's statement (LoadEventList); ownerFilter is " and EvPID=<id>" or empty, an empty
// order means "CMDat, CMTim, CMID".
QString eventListStatement(const QString& ownerFilter, const QString& order);

// An event row (CMTable joined with EVTable) read into plain values.
struct StoredEvent {
    qint64 cmId = 0;
    QString title;
    QString description;
    core::RecurrenceRule rule; // rule.start: the event's date (invalid when the text is not a date)
    QTime from, to;            // invalid when not a time
    QString createdStamp;      // cmDat and cmTim as yyyyMMddHHmmss, "0" when unreadable
};
StoredEvent readStoredEvent(const db::Recordset& rs);

// A row of the events grid: the columns it shows, as the store gives them (the grid formats).
struct EventListRow {
    qint64 cmId = 0;
    QVariant subject, description, who; // CmSubjec, CmDoc, CMWho
    QVariant date, from, to;            // EvBroStaDat, EvBroStaTim, evBroDat
};

// The events the grid lists, in the order (an empty order means "CMDat, CMTim, CMID"). Without
// an owner every live event; else the owner's own (EvPID), and none for owner 0, a login the
// office does not know.
std::optional<QList<EventListRow>> readEventList(HostServices& services,
                                                 std::optional<qint32> owner, const QString& order,
                                                 QString* error = nullptr);

// The repeat columns of the detail row. Read: every column as stored (null as 0). Written:
// evBroReaFla always, the others only when repeating, each only when it holds a value.
struct EventRepeat {
    bool recurring = false;              // evBroReaFla -1
    QString every;                       // evBroReaEve, as typed; written when it is a number
    qint32 unit = -1;                    // evBroReaTyp; -1: none chosen
    std::optional<qint64> numberOfTimes; // evBroNumOfTim: -1 unlimited, NumOfTimUntil, or N
    QString until;                       // EvBroEndDat, mm/dd/yyyy
};

// An event as its editing panel shows it: the header, the detail row and the attendees.
struct EventRecord {
    qint64 cmId = 0;
    qint64 ownerId = 0;  // EvPID
    QString title;       // CMSubjec
    QString description; // cmDoc
    QString date;        // EvBroStaDat
    QVariant from, to;   // EvBroStaTim, evBroDat as stored
    EventRepeat repeat;
    // Person ids each followed by ",": index 0 the attendees (To), 1 the copies (Cc).
    std::array<QString, 2> attendees;
};

// The live event of the header id, or (byDetailId) of the detail row's id; none when there is
// no such event or it cannot be read.
std::optional<EventRecord> readEvent(HostServices& services, qint64 id, bool byDetailId = false,
                                     QString* error = nullptr);

// An event as saved from the panel.
struct EventToSave {
    qint64 cmId = 0; // 0: a new event
    QString title, description;
    QString date;     // the start date's text as written
    QString from, to; // the times' texts as written
    EventRepeat repeat;
    std::array<QString, 2> attendees;
    // A new event: its creator (cmWho is the services' login, EvPID this person) and link.
    qint32 ownerId = 0;
    qint32 linkType = 512, linkId = 0; // cmTyp, cmTraLinID
};

struct EventSaveResult {
    bool ok = false;
    bool vanished = false; // the stored event is gone: nothing was written
    qint64 cmId = 0;       // the header written, also when a later row failed
    QString error;
    // The attendee lists as written (a person in both stays an attendee only); none when the
    // save stopped before the attendees.
    std::optional<std::array<QString, 2>> attendees;
};

// Writes the header (station signal "CMCM"), the detail row ("CMEV") and the attendee rows
// (one "CMBC" each written): rows still listed are kept with their marks reset, dropped ones
// deleted, new ones added; rows of other kinds stay.
EventSaveResult saveEvent(HostServices& services, const EventToSave& event);

// Deletes the event with its rows, as a message is deleted; false with the reason when it is
// still stored.
bool deleteEvent(HostServices& services, qint64 cmId, QString* error = nullptr);

// The persons' initials of an id list ("12,40,"), joined by ", ", up to the first 0.
QString attendeeInitials(HostServices& services, const QString& personIds);

// The grid's "To/ CC" cells of several events (a screen of the grid) in one statement and one
// name lookup: attendees' names, To then "/ " and Cc, in the order they were written. Every id
// asked gets a text, empty when its rows cannot be read.
QHash<qint64, QString> attendeeCellTexts(HostServices& services, db::Database& db,
                                         const QList<qint64>& cmIds);

} // namespace tzsndmsg::events
