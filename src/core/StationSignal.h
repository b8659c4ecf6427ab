#pragma once

#include <QString>
#include <QStringList>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::core {

// The 40-byte record: the services' date-time in General Date form, the station text,
// blanks, cut to 40 characters.
QByteArray stationSignalRecord(HostServices& services);

// Rewrites the first 40 bytes of <data folder>/TEMP/<tag>.STA ("CMCM", "CMEV", "CMBC") without
// shortening the file, retrying for 2 seconds while another process holds a lock on it.
// Returns false when it gave up (callers go on as if it was written).
bool WriteStationSignal(HostServices& services, const QString& tag, int timeoutMs = 2000);

// The signals of one save: each file named by the tags written once, with one wait of timeoutMs
// for the whole save while files are locked or the folder is missing. Returns how many of the
// tags' files were written. A file left unwritten is told once per folder and process, as a
// Qt warning of the category "tzsndmsg"; the caller goes on.
int WriteStationSignals(HostServices& services, const QStringList& tags, int timeoutMs = 2000);

} // namespace tzsndmsg::core
