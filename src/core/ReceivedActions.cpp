// A received message confirmed or snoozed without the message window: the host program's
// `confirm` and `snooze`, the tray's notice, and the window's Snooze.
#include "core/LoginList.h"
#include "core/Message.h"
#include "core/MessageWrite.h"
#include "core/Snoozes.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/Messages.h"
#include "tzsndmsg/db/Database.h"

#include <algorithm>

namespace tzsndmsg {

namespace {

bool failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

struct ReceivedRow {
    core::Addressee row;
    core::MessageHeader header;
    qint32 employeeId = 0; // the login's person; 0 for a login without one
    QString login, computer;
};

// The row when the login may act on it: its own or its computer's, listed in its inbox, unread.
// `refused`, when given, tells a row the login may not act on (gone, someone else's, read, not
// listed) from a store that could not be read.
std::optional<ReceivedRow> receivedRow(HostServices& services, qint32 rowId, QString* error,
                                       bool* refused = nullptr)
{
    if (refused)
        *refused = false;
    const auto refuse = [&](const QString& text) {
        if (refused)
            *refused = true;
        failWith(error, text);
        return std::nullopt;
    };
    ReceivedRow r;
    r.login = services.currentLoginName().trimmed().toUpper();
    r.computer = services.computerName().trimmed().toUpper();
    QString why;
    const std::optional<core::Addressee> row =
        rowId > 0 ? core::readAddressee(services, rowId, &why) : std::nullopt;
    if (!row) {
        if (why.isEmpty())
            return refuse(QStringLiteral("there is no message row %1").arg(rowId));
        failWith(error, why);
        return std::nullopt;
    }
    const core::ViewLogin login = core::ResolveViewLogin(services, r.login);
    if (!login.error.isEmpty()) {
        failWith(error, core::viewLoginRefusal(login));
        return std::nullopt;
    }
    r.employeeId = login.employeeId;
    const bool own = (r.employeeId != 0 && row->BroChkPID == r.employeeId) ||
                     (row->BroChkPID == 0 && !r.computer.isEmpty() &&
                      row->BroChkToMac.trimmed().toUpper() == r.computer);
    if (!own)
        return refuse(QStringLiteral("message row %1 is addressed to someone else, not to %2 "
                                     "or to this computer (%3)")
                          .arg(rowId)
                          .arg(r.login, r.computer));
    if (row->isRead())
        return refuse(QStringLiteral("message row %1 is already confirmed").arg(rowId));
    MessageViewRequest request;
    request.allCategories = true;
    request.loginName = r.login;
    request.computerName = r.computer;
    request.withToCc = false;
    QList<MessageViewRow> inbox;
    if (!readMessageView(services, request, inbox, error))
        return std::nullopt;
    const bool listed = std::any_of(inbox.cbegin(), inbox.cend(), [rowId](const MessageViewRow& m) {
        return m.addresseeRowId == rowId;
    });
    if (!listed)
        return refuse(QStringLiteral("message row %1 is not in the inbox of %2 (purged, deleted "
                                     "or not delivered yet)")
                          .arg(rowId)
                          .arg(r.login));
    const std::optional<core::MessageHeader> header =
        core::readHeader(services, row->BroChkLinID, &why);
    if (!header) {
        failWith(error,
                 !why.isEmpty() ? why : QStringLiteral("the message of row %1 is gone").arg(rowId));
        return std::nullopt;
    }
    r.row = *row;
    r.header = *header;
    return r;
}

} // namespace

bool confirmReceivedMessage(HostServices& services, qint32 addresseeRowId, QString* error)
{
    const std::optional<ReceivedRow> r = receivedRow(services, addresseeRowId, error);
    if (!r)
        return false;
    // OK writes these into the notes from what the window shows, and sends the receipt from a
    // window of its own.
    if (r->header.cmDocAftDis || r->header.CMShoOnRep)
        return failWith(error, QStringLiteral("message %1 is saved to the notes after it is read: "
                                              "confirm it in the message window")
                                   .arg(r->header.cmID));
    if (r->header.cmConRec)
        return failWith(error, QStringLiteral("message %1 asks for a return receipt: confirm it "
                                              "in the message window")
                                   .arg(r->header.cmID));
    const core::Confirmation confirmed =
        core::confirmAddressee(services, addresseeRowId, r->employeeId);
    if (!confirmed.written)
        return failWith(
            error,
            confirmed.error.isEmpty()
                ? QStringLiteral("message row %1 could not be marked as read").arg(addresseeRowId)
                : confirmed.error);
    if (error)
        error->clear();
    return true;
}

bool snoozeReceivedMessage(HostServices& services, qint32 addresseeRowId, int minutes,
                           QString* error)
{
    return core::snoozeIfOwnUnread(services, addresseeRowId, minutes, nullptr, error);
}

bool core::snoozeIfOwnUnread(HostServices& services, qint32 addresseeRowId, int minutes,
                             bool* refused, QString* error)
{
    if (refused)
        *refused = false;
    if (minutes < 1 || minutes > MaxSnoozeMinutes)
        return failWith(error, QStringLiteral("a snooze is 1 to %1 minutes, not %2")
                                   .arg(MaxSnoozeMinutes)
                                   .arg(minutes));
    const auto store = services.messageStoreConnection();
    if (!store)
        return failWith(error, QStringLiteral("The message store is not open."));
    const std::optional<ReceivedRow> r = receivedRow(services, addresseeRowId, error, refused);
    if (!r)
        return false;
    const QDateTime now = services.currentDateTime();
    core::Snooze snooze;
    snooze.row = addresseeRowId;
    snooze.message = r->header.cmID;
    snooze.at = now.addSecs(qint64(minutes) * 60);
    snooze.made = now;
    if (!core::addSnooze(core::snoozeFilePath(r->login, r->computer, store->url()), snooze, now,
                         error))
        return false;
    if (error)
        error->clear();
    return true;
}

} // namespace tzsndmsg
