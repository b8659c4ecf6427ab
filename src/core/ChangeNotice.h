#pragma once

#include <QList>
#include <QSet>
#include <QString>

namespace tzsndmsg::db {
class Database;
}

// On PostgreSQL a save and a confirmation tell the office's watchers at once, on a channel of the
// store's schema (offices that share a server do not hear each other).
//
// A notice names the message and, when it fits, who the change is for: the person ids and the
// computer names of the addressee rows it wrote or changed, so that a watcher that is not among
// them reads nothing. It never carries the subject, the text or the sender: every role of the
// office may listen on the channel, and ids and computer names are all it learns there.
// Payloads:
//   "123"                     the message only (workstations of the previous version; a notice
//                             too big for the server): every watcher looks
//   "2;123;4-9,12;WS1,WS%2C2" the message, its rows' person ids (ranges) and computer names
//                             (upper case, percent-encoded)
// A notice of the second form is followed, in the same transaction, by one of the first form
// for workstations that read only that; a watcher that read the second skips it.
namespace tzsndmsg::core {

struct ChangeNotice {
    qint32 cmId = 0;      // 0: not a message id (a payload of a form unknown here)
    bool carried = false; // persons and computers name everyone the change is for
    QSet<qint32> persons;
    QSet<QString> computers; // upper case

    // Whether a watcher of this person (0: none) and computer must read the change: always, when
    // the notice does not say whom it is for.
    bool concerns(qint32 employeeId, const QString& computer) const;
};

// NOTIFY refuses payloads of 8000 bytes and more.
constexpr int MaxNoticePayload = 7999;

ChangeNotice parseChangeNotice(const QString& payload);
// The second form, or empty when it would not fit in `limit` bytes.
QString changeNoticePayload(qint32 cmId, const QSet<qint32>& persons,
                            const QSet<QString>& computers, int limit = MaxNoticePayload);

// The statement that gives the channel of the connection's schema (PostgreSQL).
QString changeChannelStatement();

// Sends the message id on the channel; does nothing on SQLite, whose watchers read the station
// signal files. Run after the commit: a notice that fails never undoes what was written.
bool notifyChange(db::Database& store, qint64 cmId, QString* error = nullptr);
// The same, naming whom the change is for: the person ids and computer names of every addressee
// row written, changed or removed (a person id of 0 is a computer's row).
bool notifyChange(db::Database& store, qint64 cmId, const QSet<qint32>& persons,
                  const QSet<QString>& computers, QString* error = nullptr);

} // namespace tzsndmsg::core
