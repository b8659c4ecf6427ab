#pragma once

#include "core/Recurrence.h"

#include <QHash>
#include <QList>
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
    core::RecurrenceRule rule; // rule.start: the event's date (invalid when the text is not a date)
    QTime from, to;      // invalid when not a time
    QString createdStamp; // cmDat and cmTim as yyyyMMddHHmmss, "0" when unreadable
};
StoredEvent readStoredEvent(const db::Recordset& rs);

// The grid's "To/ CC" cells of several events (a screen of the grid) in one statement and one
// name lookup: attendees' names, To then "/ " and Cc, in the order they were written. Every id
// asked gets a text, empty when its rows cannot be read.
QHash<qint64, QString> attendeeCellTexts(HostServices& services, db::Database& db,
                                         const QList<qint64>& cmIds);

} // namespace tzsndmsg::events
