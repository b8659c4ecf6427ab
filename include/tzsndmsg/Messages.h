#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>
#include <tzsndmsg/LinkIDTypes.h>

// Reading the message store without a window: the rows of a list view as the message window lists
// them, and the moment a reminder is linked to.
//
// Threads: call on the thread that uses the services' connections (the thread that opened them);
// nothing here shows a window or a message box, and nothing throws.
namespace tzsndmsg {

class HostServices;

enum class MessageFolder {
    Inbox,     // what was sent to the login's employee or to the computer
    SentItems, // what the login sent
};

struct MessageViewRequest {
    MessageFolder folder = MessageFolder::Inbox;
    bool allCategories = false; // the inbox: every category, not only "Message"
    bool history = false;       // the purged messages instead of the current ones
    QString loginName;          // empty: the services' current login
    QString computerName;       // the inbox's workstation; empty: the services' computer
    bool withToCc = true;       // fill toCc (one more statement: the names grouped by the database)
};

// One row of a view. A message addressed to a person and to her workstation is listed once for
// each, as the window lists it.
struct MessageViewRow {
    qint32 messageId = 0;      // CMTable.cmID
    qint32 addresseeRowId = 0; // the inbox: the BroChkTable row the message came through; else 0
    qint32 senderId = 0;       // the sender's person id
    QString from;              // the sender's login, the "From" column
    QString toCc;              // the "To/ CC" column: initials and computers, "/ " before the Cc
    QDate date;                // invalid when the stored date is not a date
    QTime time;                // invalid when the stored time is not a time
    QString dateText;          // the "Date" column: mm/dd/yyyy, or the stored text
    QString timeText;          // the "Time" column: the short time, or the stored text
    QString subject;
    QString text;     // the whole message
    QString comments; // the "Comments" column: the first 500 characters on one line
    QString category; // "Message", "Reminder", ...
    bool payrollRelated = false;
    bool unread = false; // the inbox: not yet confirmed (bold in the window); sent items never
};

// The rows of the view in the window's order (date, time, message id). A login without an
// employee (SUPERVISOR) sees what every login sent, as the window shows it.
// False, with no rows, for a login the office does not know or whose person has left the office
// (the reason as searchMessages gives it), and with the database's reason when the store cannot
// be read.
bool readMessageView(HostServices& services, const MessageViewRequest& request,
                     QList<MessageViewRow>& rows, QString* error = nullptr);

// The day and start time of the absence (QNSAppointment: AbsTable) or appointment
// (ZELOAppointment: ApTable) a reminder is linked to, in the forms setReminderDate and
// setReminderTime take: the day at midnight, and the time on the zero date (30 December 1899).
// False with the reason when the link type is neither, the record is missing or its day or time
// cannot be read.
struct ReminderMoment {
    QDateTime date;
    QDateTime time;
};
bool readReminderMoment(HostServices& services, LinkIDTypes linkType, qint32 recordId,
                        ReminderMoment& moment, QString* error = nullptr);

} // namespace tzsndmsg
