#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace tzsndmsg {
class HostServices;
namespace db {
class Database;
class Reader;
class Recordset;
} // namespace db
} // namespace tzsndmsg

namespace tzsndmsg::core {

// What a message list view is built from. The login list keeps entry 0 empty, as the shared
// state does.
struct MessageListParams {
    bool inboxView = true;
    bool msgCatOnly = true;
    bool history = false;
    qint32 currentEmployeeId = 0;
    QStringList loginNames;
    QVector<qint32> loginEmployeeIds;
    QString computerName; // this workstation, as the services give it
    // Used when the employee is not in the login list, and for employee 0: only a login listed
    // without a person sees the whole office (see IsWholeOfficeLogin).
    QString currentLoginName;
    // The inbox lists a delivery set to start later from its start on: only those whose start
    // is at or before this moment. Invalid: the statement leaves the start out (the readers
    // below give it the services' clock).
    QDateTime startedBy;
};

struct ViewLogin;
// The parameters with the services' clock as startedBy when none was set.
MessageListParams withClock(HostServices& services, const MessageListParams& params);

// The login's part of a view's parameters (see ResolveViewLogin): the login list, the login,
// its person (0 for nobody) and this workstation's name.
void setViewLogin(MessageListParams& params, ViewLogin login, const QString& computerName);

// AsWritten is the view's statement as the component has always written it. ToRun lists the
// same rows in the same columns: the inbox's "cmid in (SELECT ...)" is left out, since the
// row's own recipient test already implies it, and a server planner that keeps it reads every
// recipient row of each listed message (a whole-office message has one per employee).
enum class ListStatementForm { AsWritten, ToRun };

// The statement of a view, in the store's older dialect (run it through the SQL adapter).
// Every outside text (login and computer names) goes through `quote`, the services' quoting.
QString buildMessageListStatement(const MessageListParams& params,
                                  const std::function<QString(const QString&)>& quote,
                                  ListStatementForm form = ListStatementForm::AsWritten);

// The same statement in its three parts, "SELECT <columns>", the table expression and the
// condition, for statements that narrow a view (the search) and keep its rules.
struct ListStatementParts {
    QString columns, from, where;
};
ListStatementParts
buildMessageListStatementParts(const MessageListParams& params,
                               const std::function<QString(const QString&)>& quote,
                               ListStatementForm form = ListStatementForm::ToRun);

// The stored sort order after a request: "" keeps the stored one ("CMDat, CMTim, CMID" when
// none yet); an order without CMID gets ", CMID" appended.
QString nextSortOrder(const QString& stored, const QString& requested);

// The "Comments" cell: the body's first 500 characters, trimmed, line breaks as blanks.
QString commentsCellText(const QVariant& cmDoc);

// One recipient row of a message, as the "To/ CC" cell reads it.
struct RecipientRow {
    qint32 personId = 0;
    int type = 0;     // BroChkTyp: 0 To, 1 Cc, others ignored
    QString computer; // BroChkToMac
    QString initials; // pDocIni of the person
};

// One row of the recipient statement (BroChkPID, BroChkTyp, BroChktoMac, pDocIni).
RecipientRow recipientRowFrom(const db::Reader& reader);

// The "To/ CC" cell: initials or computer names joined by ", ", then "/ " and the Cc names.
QString toCcCellText(const QVector<RecipientRow>& rows);

// The recipient rows of several messages in one statement, each message's rows in the order
// they were written (as one message's statement reads them): the cells of one screen.
QHash<qint32, QVector<RecipientRow>> readRecipientRowsOf(HostServices& services,
                                                         const QList<qint32>& ids);

// The "To/ CC" cell from its two lists as the database joins them: the To names and the Cc
// names, each joined by ", " (null when the message has no row of that list).
QString toCcCellFrom(const QString& toNames, const QString& ccNames);

// The statement that builds the To and Cc names of the listed messages in the database, one row
// per message that has a recipient row (BroChkLinID, toNames, ccNames): the names as
// toCcCellText chooses them, in the order the rows were written. Its "?" take the blanks that
// count as space (toCcBlanks()), once for each.
QString toCcNamesStatement(bool postgres, const QList<qint32>& ids);
int toCcNamesParameterCount();
QString toCcBlanks();

// The "To/ CC" cells of several messages, grouped in the database (a few statements however
// long the list); the same texts as toCcCellText over readRecipientRowsOf. A message without
// recipient rows gets "". False, with the reason, when the store rejects the statement.
bool readToCcCellsOf(HostServices& services, const QList<qint32>& ids,
                     QHash<qint32, QString>& cells, QString* error = nullptr);

// A flag as the lists read it (the read mark BroChkDonDis, the "PR" column): -1 or True is set;
// 0, null and anything else clear. An inbox row whose read mark is clear is unread (bold).
bool listFlag(const QVariant& value);

// The rows of a view as the window lists them: the view's statement in the form the window
// runs it, through the services' SQL adapter on the message store, sorted on the client by
// `sortOrder` (empty: "CMDat, CMTim, CMID"). Closed, with the reason, when the store rejects it.
db::Recordset queryView(HostServices& services, const MessageListParams& params,
                        const QString& sortOrder = QString(), QString* error = nullptr,
                        ListStatementForm form = ListStatementForm::ToRun);

// One row of a view, typed.
struct ViewRow {
    qint32 cmID = 0;
    qint32 BroChkID = 0;  // inbox rows: the addressee row the message came through; else 0
    qint32 cmPid = 0;     // the sender
    QString cmWho;        // "From"
    QString cmDat, cmTim; // as stored (a date and a time text, or what was typed)
    QString CMSubjec;
    QString cmDoc;
    QString cmCat;
    bool payrollRelated = false; // CMShoOnRep, the "PR" column
    bool unread = false;         // inbox rows drawn bold; sent items never
    QString toCc;                // the "To/ CC" cell, when the rows were read with it
};

// The rows of a view in the list's order, with their "To/ CC" cells when asked (grouped by the
// database, see readToCcCellsOf). Empty, with the reason, when the store rejects the statement.
QVector<ViewRow> readViewRows(HostServices& services, const MessageListParams& params,
                              bool withToCc, QString* error = nullptr);

// The rows of a list already read, first to last in its order. A row of an inbox list that
// came through no addressee row (a sent message beside inbox rows) is never unread.
QVector<ViewRow> viewRowsOf(HostServices& services, const db::Recordset& list, bool inboxView,
                            bool withToCc);

// The statement that counts the unread (bold) rows of an inbox view: the view's rows whose
// BroChkDonDis is not -1, null counting as unread.
QString buildUnreadCountStatement(const MessageListParams& params,
                                  const std::function<QString(const QString&)>& quote);

// How many rows of an inbox view are unread, in one statement; 0 for a sent-items view, -1
// (with the reason) when the store rejects it.
qint64 countUnread(HostServices& services, const MessageListParams& params,
                   QString* error = nullptr);

// What a workstation's watcher reads on a change, in one statement. Every row carries, as
// `unreadCount`, the unread (bold) rows of the person's inbox of every category; the rows are
// that inbox's current rows (columns as the inbox view's) whose addressee row is above
// `afterBroChkId` or whose message is one of `messageIds`; every row when `afterBroChkId` is
// negative. With no such row there is one row: the count, and nulls. A login without a person
// (employee 0) watches the computer's rows only: it is never widened to the whole office.
QString buildInboxChangesStatement(const MessageListParams& params,
                                   const std::function<QString(const QString&)>& quote,
                                   qint64 afterBroChkId, const QList<qint32>& messageIds = {});

// The same read where row-level security keeps the connection to its rows (PostgreSQL, a
// signed-in office): through the office's tz_inbox_changes, which reads as the office's owner
// and keeps to the signed-in person's and the computers' rows, so that the server does not test
// each row of the inbox against the policies. The same columns and rows as the statement above.
struct InboxChangesCall {
    QString text;
    QVariantList values;
};
InboxChangesCall buildKeptInboxChangesCall(const MessageListParams& params, qint64 afterBroChkId,
                                           const QList<qint32>& messageIds = {});

// Whether `connection` reads the inbox changes through buildKeptInboxChangesCall: the office has
// the function and row-level security binds the connected role.
bool inboxChangesKeptToCaller(db::Database& connection);

} // namespace tzsndmsg::core
