#pragma once

#include "core/Recurrence.h"
#include "tzsndmsg/Events.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>
#include <optional>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::events {

// One office event as the calendar file shows it.
struct IcsEvent {
    QString uid;
    QString title;
    QString description;
    core::RecurrenceRule rule; // rule.start is the event's date
    QTime from, to;            // both invalid: an all-day event
};

// The RRULE value for the rule, or none when the rule adds no dates or cannot be written as
// one (the first date is not itself a date of the rule). allDay picks the UNTIL value form.
std::optional<QString> rruleFor(const core::RecurrenceRule& rule, bool allDay);

// Text value escaping (backslash, semicolon, comma, line breaks).
QString icsEscape(const QString& text);
// Folds one content line at 75 octets (CRLF and a blank), never inside a UTF-8 sequence.
QByteArray icsFold(const QByteArray& line);

// The whole calendar. stamp becomes DTSTAMP (in UTC). Rules that have no RRULE are written as
// RDATEs up to rdateHorizon (at most maxRdates dates).
QByteArray buildIcs(const QList<IcsEvent>& events, const QDateTime& stamp,
                    const QDate& rdateHorizon, int maxRdates = 1000);

// The office events of the message store (every live event, as a supervisor sees them).
QList<IcsEvent> loadIcsEvents(HostServices& services, QString* error = nullptr,
                              int* skipped = nullptr);

} // namespace tzsndmsg::events
