#pragma once

#include <QString>

namespace tzsndmsg {

class HostServices;

// The 40-byte record: the services' date-time in General Date form, the station text,
// blanks, cut to 40 characters.
QByteArray stationSignalRecord(HostServices& services);

// Rewrites the first 40 bytes of <data folder>/TEMP/<tag>.STA ("CMCM", "CMEV", "CMBC") without
// shortening the file, retrying for 2 seconds while another process holds a lock on it.
// Returns false when it gave up (callers go on as if it was written).
bool WriteStationSignal(HostServices& services, const QString& tag, int timeoutMs = 2000);

} // namespace tzsndmsg
