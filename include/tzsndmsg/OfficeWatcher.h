#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <tzsndmsg/HostServices.h>

namespace tzsndmsg {

struct WatcherInternals;

// One thing the watcher tells its host.
struct OfficeNotice {
    enum class Kind {
        Arrived,  // a message newly in the person's (or the computer's) inbox, any category
        Started,  // a delivery set to start later has started
        Repeated, // a repeat ("Repeat Every") of a delivery fell due
        Reminder, // the message's reminder is due
        Snoozed,  // a message snoozed at this workstation ("Display this message later") is due
    };
    Kind kind = Kind::Arrived;
    qint32 cmID = 0;     // the message
    qint32 BroChkID = 0; // the addressee row it reached this person or computer through
    // Every addressee row told in this notice, BroChkID first: a message to the person and to
    // her computer is one notice with both rows.
    QList<qint32> rows;
    QString sender;      // cmWho: the sender's login
    QString senderName;  // the sender's name ("Dave Dawson"); the login when the person has none
    qint32 senderId = 0; // cmPid
    QString subject;     // CMSubjec
    QString text;        // cmDoc, whole
    QString category;    // cmCat
    QString date, time;  // cmDat and cmTim as stored
    QDateTime due;       // the moment it fell due (the services' clock); an arrival: when found
    QDateTime told;      // the services' clock when it was told
    int missed = 0;      // repeats that fell due while nobody watched, told in this one
    bool late = false;   // told more than a minute after its moment (workstation off, asleep)
    bool needsConfirmation = false; // the sender ticked "Need Confirmation" (CMNeeCom)
    // Confirmed only in the message window: saved to the notes after it is read (payroll
    // related among them), or it asks for a return receipt.
    bool needsWindow = false;

    // "arrived", "started", "repeated", "reminder", "snoozed"
    static QString kindName(Kind kind);
};

// Watches the office for one login and one computer, over the same services as the windows,
// and tells its host what the person should learn of at once:
//   - a message arrived: once per message, what the inbox view of any category would newly
//     list (a message for the person and for the computer: once, with both rows);
//   - a delivery set to start later ("Broadcast:"/"From :") started: at its start, not when it
//     was saved; its repeats ("Repeat Every" N days, weeks, months, quarters or years,
//     unlimited, N times or until a date) as they fall due;
//   - a reminder is due (EVAlaStaDat, EVAlaStaTim), not before its message's delivery started;
//   - a message snoozed at this workstation (snoozeReceivedMessage, the window's Snooze) is
//     due again: once per snooze, not when it was confirmed or deleted meanwhile;
//   - the unread count of the person's inbox (every category, as the list draws bold) changed.
// A message deleted or purged before its moment is not told. A message that is already read
// when the watcher first sees it is not told as an arrival.
//
// How it notices: the station signal files (TEMP/CMCM.STA, CMEV.STA, CMBC.STA of the data
// folder) through file-system events and a look at each file's first 40 bytes, size and time
// every fileCheckMs (shared folders on a network deliver no events); on PostgreSQL also the
// notice each save and confirmation sends after its commit, heard on the services' message
// store connection (one connection per watcher; a LISTEN refused, as a standby refuses it, is
// asked again with the pause of a lost connection). With nothing changing it runs no
// statement; on a change, one statement (the new rows and the unread count together), none for
// a notice naming only other people's and computers' rows. Moments are timed by one
// single-shot timer at the next one, on the wall clock (it fires after the machine wakes, and
// a clock that is set anew makes it look again).
//
// Told once: a small state file of the workstation (stateFile(), JSON, under
// $XDG_STATE_HOME/tzsndmsg/ unless Options::stateFile names one) keeps the highest addressee
// row seen (with the rows just above it, since rows of two saves can commit out of order) and
// the moment up to which due moments were told. A moment is told when it falls after that
// moment and at or before now: across a restart, a machine that slept, or a clock set back or
// forward, each is told once, not never and not twice; repeats that fell due while nobody
// watched are told as the last of them, with `missed`. The state is written before each
// notice is told, so a host that fails on a notice does not get it again (replaced whole, not
// flushed to the disk: only a power cut just after a notice can lose it). On the first start
// (no state yet) the unread messages are told as arrivals; earlier moments are not.
// One watcher per state file: a second one for the same login, computer, store and role fails
// to start. The snoozes are another small file of the login and computer (snoozes-<login>-
// <computer>-<store>.json beside the states), written by whoever snoozes and read by every
// watcher of that login and computer when it changes and when one falls due; the state keeps
// which of them this watcher told.
//
// Faults: when the database goes away, connectionLost is told once; the watcher opens the
// services' message store connection again with a growing pause (reconnectFirstMs, doubling up
// to reconnectMaxMs), tells connectionRestored, and then what was missed, once. When the server
// no longer lets the login sign in (its role dropped or barred from logging in, its password
// changed), the watcher says "... can no longer sign in ..." once (as connectionLost, or logged
// during an outage already told) and tries no more until it is started again. A signal file
// that is deleted, recreated, truncated or locked is watched again and counts as a change. A
// reminder date or time that is not one (stored as typed) is skipped and logged.
//
// Threads: create, start and use the watcher on the thread that uses the services object (its
// connections belong to that thread); that thread needs a running event loop. Signals are
// emitted on it.
class OfficeWatcher : public QObject {
    Q_OBJECT

public:
    struct Options {
        // Programs of one workstation that tell the same person keep separate states
        // ("tray", "watch").
        QString role = QStringLiteral("watch");
        QString stateFile; // empty: $XDG_STATE_HOME/tzsndmsg/<role>-<login>-<computer>-<store>.json
        QString snoozeFile; // empty: the login's and computer's, as snoozeReceivedMessage writes
        int fileCheckMs = 1000; // the look at the signal files' first 40 bytes; 0: none
        bool fileSystemEvents = true;
        bool notifications = true; // PostgreSQL's notices
        int reconnectFirstMs = 1000;
        int reconnectMaxMs = 60000;
    };

    explicit OfficeWatcher(std::shared_ptr<HostServices> services, QObject* parent = nullptr);
    OfficeWatcher(std::shared_ptr<HostServices> services, Options options,
                  QObject* parent = nullptr);
    ~OfficeWatcher() override; // stops

    // Takes the state, reads the store once and tells what is pending now (unseen arrivals,
    // moments that fell due while nobody watched), then watches. Connect the signals first.
    // False with the reason when it cannot watch: no services or no open message store, or
    // another watcher holds the state. A database that does not answer is not a reason: the
    // watcher starts in its outage (connectionLost) and reconnects.
    bool start(QString* error = nullptr);
    // Stops watching and releases the state; nothing is told after it.
    void stop();
    bool isRunning() const;

    QString loginName() const;
    QString computerName() const;
    QString stateFile() const;
    // The person's unread count as last read; -1 before the first read.
    qint64 unreadCount() const;
    // False while the database is away.
    bool isConnected() const;
    // True while PostgreSQL's notices are heard.
    bool isListening() const;
    // What `tzsndmsg watch --stats` prints, for measuring the watcher's cost: "statements" run
    // since it started (the notice subscription counted with them) and "looks", the times it
    // read the store. Nothing a host should decide on.
    QVariantMap stats() const;

public Q_SLOTS:
    // Reads the store now, as on a change.
    void lookNow();
    // The host's clock moved (or a test set it): tells what fell due and times the next moment.
    void clockChanged();

Q_SIGNALS:
    void messageArrived(const tzsndmsg::OfficeNotice& notice);
    void deliveryStarted(const tzsndmsg::OfficeNotice& notice); // Started and Repeated
    void reminderDue(const tzsndmsg::OfficeNotice& notice);
    void snoozeDue(const tzsndmsg::OfficeNotice& notice);
    void unreadCountChanged(qint64 count);
    void connectionLost(const QString& reason);
    void connectionRestored();
    // Something skipped and why (a reminder date that is not a date, a state that could not be
    // written); each once.
    void logged(const QString& text);

private:
    friend struct WatcherInternals;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tzsndmsg

Q_DECLARE_METATYPE(tzsndmsg::OfficeNotice)
