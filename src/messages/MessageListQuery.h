#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

namespace tzsndmsg {

namespace db {
class Reader;
}

class HostServices;

// What a message list view is built from. The login list keeps entry 0 empty, as the shared
// state does.
struct MessageListParams {
    bool inboxView = true;
    bool msgCatOnly = true;
    bool history = false;
    qint32 currentEmployeeId = 0;
    QStringList loginNames;
    QVector<qint32> loginEmployeeIds;
    QString computerName;     // this workstation, as the services give it
    // Used when the employee is not in the login list, and for employee 0: only a login listed
    // without a person sees the whole office (see IsWholeOfficeLogin).
    QString currentLoginName;
};

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

// The stored sort order after a request: "" keeps the stored one ("CMDat, CMTim, CMID" when
// none yet); an order without CMID gets ", CMID" appended.
QString nextSortOrder(const QString& stored, const QString& requested);

// The "Comments" cell: the body's first 500 characters, trimmed, line breaks as blanks.
QString commentsCellText(const QVariant& cmDoc);

// One recipient row of a message, as the "To/ CC" cell reads it.
struct RecipientRow {
    qint32 personId = 0;
    int type = 0;        // BroChkTyp: 0 To, 1 Cc, others ignored
    QString computer;    // BroChkToMac
    QString initials;    // pDocIni of the person
};

// One row of the recipient statement (BroChkPID, BroChkTyp, BroChktoMac, pDocIni).
RecipientRow recipientRowFrom(const db::Reader& reader);

// The "To/ CC" cell: initials or computer names joined by ", ", then "/ " and the Cc names.
QString toCcCellText(const QVector<RecipientRow>& rows);

// The statement that reads the recipients of one message for the "To/ CC" cell.
QString recipientStatement(qint64 cmId);

// Runs that statement through the services' SQL adapter on the message store (empty on error).
QVector<RecipientRow> readRecipientRows(HostServices& services, qint64 cmId);

// The recipient rows of several messages in one statement, each message's rows in the order
// they were written (as one message's statement reads them): the cells of one screen.
QHash<qint32, QVector<RecipientRow>> readRecipientRowsOf(HostServices& services,
                                                         const QList<qint32>& ids);

} // namespace tzsndmsg
