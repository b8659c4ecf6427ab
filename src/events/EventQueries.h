#pragma once

#include "Recurrence.h"

#include <QString>
#include <QTime>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::db {
class Database;
class Recordset;
}

namespace tzsndmsg::events {

// The grid's statement (LoadEventList); ownerFilter is " and EvPID=<id>" or empty, an empty
// order means "CMDat, CMTim, CMID".
QString eventListStatement(const QString& ownerFilter, const QString& order);

// An event row (CMTable joined with EVTable) read into plain values.
struct StoredEvent {
    qint64 cmId = 0;
    QString title;
    QString description;
    RecurrenceRule rule; // rule.start: the event's date (invalid when the text is not a date)
    QTime from, to;      // invalid when not a time
    QString createdStamp; // cmDat and cmTim as yyyyMMddHHmmss, "0" when unreadable
};
StoredEvent readStoredEvent(const db::Recordset& rs);

// The grid's "To/ CC" cell of an event: its attendees' names, To then "/ " and Cc, in the
// order they were written; empty when the rows cannot be read.
QString attendeeCellText(HostServices& services, db::Database& db, qint64 cmId);

} // namespace tzsndmsg::events
