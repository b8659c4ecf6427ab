#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// Snoozes of one login at one computer: received messages to be told again later. The store is
// not changed by a snooze; the workstation keeps them in a small JSON file beside the watchers'
// states, which the message window, the host program and every watcher of that login and
// computer share. It is written whole (a file beside it renamed over it) under a short lock of
// its own, so a reader sees the old list or the new one.
namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::core {

struct Snooze {
    QString id;         // unique: each snooze is told once, however many there are of one row
    qint32 row = 0;     // BroChkTable.BroChkID
    qint32 message = 0; // its cmID
    QDateTime at;       // when it is told again (the services' clock, local time)
    QDateTime made;     // when it was asked for
};

// $XDG_STATE_HOME/tzsndmsg/snoozes-<login>-<computer>-<store>.json, named as the watchers' states.
QString snoozeFilePath(const QString& login, const QString& computer, const QString& storeUrl);

// The snoozes in the file; a missing file holds none. False with the reason when it cannot be
// read (snoozes is then empty).
bool readSnoozes(const QString& path, QList<Snooze>& snoozes, QString* error = nullptr);

// Adds one snooze under the file's lock (waiting at most a few seconds for another writer).
// Snoozes told more than a week before `now` are dropped on the way; a file that cannot be read
// is kept beside as <file>.damaged and a new list begun.
bool addSnooze(const QString& path, const Snooze& snooze, const QDateTime& now,
               QString* error = nullptr);

// snoozeReceivedMessage: the row snoozed when it is the login's own or its computer's, unread
// and listed in its inbox. False with the reason otherwise; `refused`, when given, is true when
// the row is one the login may not snooze (gone, someone else's, read, not listed), false when
// the store or the snooze file failed.
bool snoozeIfOwnUnread(HostServices& services, qint32 addresseeRowId, int minutes, bool* refused,
                       QString* error = nullptr);

} // namespace tzsndmsg::core
