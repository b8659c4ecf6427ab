#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// Who has confirmed a sent message: the counts the sent items show beside each message, and the
// rows of the panel under a sent message. And a received message confirmed or snoozed without
// the message window.
//
// Threads: call on the thread that uses the services' connections (the thread that opened them);
// nothing here shows a window or a message box, and nothing throws.
namespace tzsndmsg {

class HostServices;

// How far a sent message got: its To and Cc addressee rows, and how many of them confirmed
// reading it (their read mark BroChkDonDis is -1).
struct ConfirmationCount {
    int confirmed = 0;
    int addressees = 0;
    bool needsConfirmation = false; // the sender ticked "Need Confirmation" (CMNeeCom)
    int pending() const { return addressees - confirmed; }
    // It asked for confirmation and someone has not confirmed yet: the sent items mark it.
    bool awaited() const { return needsConfirmation && confirmed < addressees; }
};

// "3 of 5 confirmed"; a message to nobody reads "0 of 0 confirmed".
QString confirmationCountText(const ConfirmationCount& count);

// The counts of several messages in one grouped statement (the sent items read them a screen at
// a time). A message without addressees counts 0 of 0; an id that is no message is left out.
// False with the database's reason when the store cannot be read; counts is then empty.
bool readConfirmationCounts(HostServices& services, const QList<qint32>& messageIds,
                            QHash<qint32, ConfirmationCount>& counts, QString* error = nullptr);

// One addressee of a sent message, as the confirmation panel lists it.
struct AddresseeConfirmation {
    qint32 addresseeRowId = 0; // BroChkTable.BroChkID
    bool cc = false;           // in the Cc list; else in To
    bool computer = false;     // a workstation; else a person
    // A person: the person's id. A computer: the employee who confirmed there, 0 while pending.
    qint32 personId = 0;
    QString name;        // the person's name, or the computer's
    QString confirmedBy; // a computer: the name of the employee who confirmed there
    bool confirmed = false;
    QDateTime confirmedAt; // BroChkLasReaDatTim; invalid when the store holds no time
};

struct MessageConfirmations {
    qint32 messageId = 0;
    qint32 senderId = 0; // the sender's person id
    QString from;        // the sender's login
    QString subject;
    QString text; // the whole message
    ConfirmationCount count;
    // Pending ones first; then To before Cc, each in the order it was written.
    QList<AddresseeConfirmation> addressees;
};

// The confirmations of one of the login's sent messages, current or purged (the sent items and
// their history, under the views' own rules). loginName empty: the services' current login.
// False, with a reason fit to show, when the login is not one of the office's or its person has
// left the office, when no message has that id, when it is not among the login's sent items
// (another person's message, an event, a hidden row), or when the store cannot be read.
bool readSentMessageConfirmations(HostServices& services, qint32 messageId,
                                  const QString& loginName, MessageConfirmations& confirmations,
                                  QString* error = nullptr);

// Confirming or snoozing one received message, by the addressee row it came through (the
// inbox's row, BroChkID), as the services' current login at the services' computer. Only the
// login's own rows and the rows of its computer, as the inbox lists them (every category), and
// only while unread. False with a reason fit to show when there is no such row, it is another
// person's or another computer's, it is already confirmed, it is not in the inbox (purged, or a
// delivery that has not started), or the store cannot be read.

// Marks the row read as the confirm panel's OK does (read now, by whom; on a computer's row the
// login's person as the confirming employee), and signals the other workstations. Refused,
// with the reason, for a message that needs the message window: one saved to the notes after
// it is read (payroll related among them) or one that asks for a return receipt.
bool confirmReceivedMessage(HostServices& services, qint32 addresseeRowId,
                            QString* error = nullptr);

// "Display this message 15 minutes later": every watcher of this login at this computer (the
// tray, `watch`) tells the message again `minutes` from now on the services' clock, once per
// snooze, across their restarts; not when it was confirmed or deleted meanwhile. The store is
// not changed: the snooze is kept by the workstation (a small file beside the watchers'
// states). Minutes from 1 to MaxSnoozeMinutes.
inline constexpr int DefaultSnoozeMinutes = 15;
inline constexpr int MaxSnoozeMinutes = 24 * 60;
bool snoozeReceivedMessage(HostServices& services, qint32 addresseeRowId,
                           int minutes = DefaultSnoozeMinutes, QString* error = nullptr);

} // namespace tzsndmsg
