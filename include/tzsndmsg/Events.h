#pragma once

#include <QByteArray>
#include <QString>

// The office events for a calendar program, as iCalendar (RFC 5545): one VEVENT per live event
// with its times (or all day), its description and its recurrence as an RRULE, or as RDATEs up to
// five years ahead when no RRULE can say it.
//
// Threads: call on the thread that uses the services' connections; nothing here shows a window
// or a message box, and nothing throws.
namespace tzsndmsg {

class HostServices;

// The calendar text (UTF-8, CRLF line ends), stamped with the services' clock. Events without a
// valid date are left out and counted in *skipped. False with the reason when the events cannot
// be read.
bool readEventsIcs(HostServices& services, QByteArray& calendar, QString* error = nullptr,
                   int* skipped = nullptr);

// The same calendar written to a file. An existing file is only replaced once the new one is
// complete. False with the reason ("Cannot write FILE: ...") when the events cannot be read or
// the file cannot be written.
bool exportEventsIcs(HostServices& services, const QString& file, QString* error,
                     int* skipped = nullptr);

} // namespace tzsndmsg
