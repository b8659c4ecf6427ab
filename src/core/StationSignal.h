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

// The signals of one save, in order, each written and locked as WriteStationSignal does, with
// each file opened once for all its writes. Returns how many were written.
int WriteStationSignals(HostServices& services, const QStringList& tags, int timeoutMs = 2000);

} // namespace tzsndmsg::core
