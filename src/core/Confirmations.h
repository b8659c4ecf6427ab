#pragma once

#include "core/MessageListQuery.h"
#include "tzsndmsg/Confirmations.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace tzsndmsg::core {

// The statement that counts the To and Cc rows of several messages, and the confirmed ones among
// them, grouped by message (one row per message id that exists, 0 of 0 for one without rows).
// Only the numbers given reach it.
QString confirmationCountsStatement(const QList<qint32>& messageIds);

// The To and Cc rows of one message, in the order they were written.
QString confirmationRowsStatement(qint32 messageId);

// The panel of a message the caller already lists (the window's own row): its header, its To and
// Cc rows with the persons' names, pending first. None, with the reason, when the message is gone
// or the store cannot be read.
std::optional<MessageConfirmations> readConfirmations(HostServices& services, qint32 messageId,
                                                      QString* error = nullptr);

// Whether the sent items of the login the parameters describe, current or history, list the
// message. False with `error` set when the store cannot be read.
bool sentItemsList(HostServices& services, MessageListParams params, qint32 messageId,
                   QString* error = nullptr);

// The panel of a message, only when the sent items (or their history) of the login the
// parameters describe list it; otherwise none with a reason fit to show.
std::optional<MessageConfirmations> readSentConfirmations(HostServices& services,
                                                          const MessageListParams& params,
                                                          qint32 messageId,
                                                          QString* error = nullptr);

// Addressee lists as the message window keeps them: index 0 To, 1 Cc; person ids each followed by
// ",", computer names each followed by a line feed.
struct AddresseeLists {
    std::array<QString, 2> personIds;
    std::array<QString, 2> computers;
    bool isEmpty() const
    {
        return personIds[0].isEmpty() && personIds[1].isEmpty() && computers[0].isEmpty() &&
               computers[1].isEmpty();
    }
};

// Who a reminder to confirm goes to: every addressee who has not confirmed, each once, To kept in
// To and Cc in Cc; when nobody of To is left, the Cc ones move to To, since a message is sent to
// someone in To. A row that names neither a person nor a computer cannot be addressed and is
// left out.
AddresseeLists pendingAddressees(const MessageConfirmations& confirmations);

// Whose to-do list a message read through an addressee row goes to. A received message: the
// person it is to be saved to (BroChkAssPID, when saving to someone was chosen and that is not
// `self`), else the addressee (BroChkPID). A sent one: its sender. 0 when the row is gone, names
// nobody or cannot be read.
qint32 todoListPerson(HostServices& services, qint32 broChkId, bool received, qint32 self);

} // namespace tzsndmsg::core
