// Who has confirmed a sent message: the grouped counts of a screen of the sent items, the rows of
// the panel, whether a login may see them, and who a reminder to confirm goes to.
#include "core/Confirmations.h"

#include "common/VbFormat.h"
#include "core/LoginList.h"
#include "core/Message.h"
#include "fields/FieldValue.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QSet>
#include <algorithm>

namespace tzsndmsg {

QString confirmationCountText(const ConfirmationCount& count)
{
    return QStringLiteral("%1 of %2 confirmed").arg(count.confirmed).arg(count.addressees);
}

namespace core {

namespace {

// Messages per counting statement: a screen is far fewer; a long list goes in parts.
constexpr qsizetype kCountBatch = 500;

const QString kStoreClosed = QStringLiteral("The message store is not open.");

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

qint64 whole(const QVariant& value)
{
    if (value.isNull())
        return 0;
    const auto n = common::vb::toNumber(common::vb::toText(value));
    return n ? qint64(*n) : 0;
}

} // namespace

QString confirmationCountsStatement(const QList<qint32>& messageIds)
{
    QStringList ids;
    for (qint32 id : messageIds)
        ids << QString::number(id);
    return QStringLiteral(
               "Select CMTable.cmID, CMTable.CMNeeCom, count(BroChkTable.BroChkID) As Addressees, "
               "sum(case when BroChkTable.BroChkDonDis=-1 then 1 else 0 end) As Confirmed "
               "from CMTable left join BroChkTable on CMTable.cmID=BroChkTable.BroChkLinID "
               "and (BroChkTable.BroChkTyp=0 or BroChkTable.BroChkTyp=1) where CMTable.cmID In (") +
           ids.join(u',') + QStringLiteral(") group by CMTable.cmID, CMTable.CMNeeCom");
}

QString confirmationRowsStatement(qint32 messageId)
{
    return QStringLiteral("Select BroChkID, BroChkPID, BroChkTyp, BroChkToMac, BroChkDonDis, "
                          "BroChkLasReaDatTim from BroChkTable where BroChkLinID=") +
           QString::number(messageId) +
           QStringLiteral(" And (BroChkTyp = 0 Or BroChkTyp = 1) order by BroChkID");
}

std::optional<MessageConfirmations> readConfirmations(HostServices& services, qint32 messageId,
                                                      QString* error)
{
    auto store = services.messageStoreConnection();
    if (!store) {
        setError(error, kStoreClosed);
        return std::nullopt;
    }
    QString reason;
    const std::optional<MessageHeader> header = readHeader(services, messageId, &reason);
    if (!header) {
        setError(error, reason.isEmpty()
                            ? QStringLiteral("There is no message with id %1.").arg(messageId)
                            : reason);
        return std::nullopt;
    }
    MessageConfirmations out;
    out.messageId = header->cmID;
    out.senderId = header->cmPid;
    out.from = header->cmWho;
    out.subject = header->CMSubjec;
    out.text = header->cmDoc;
    out.count.needsConfirmation = header->CMNeeCom;

    struct Read {
        AddresseeConfirmation row;
        qint32 pid = 0;
    };
    QVector<Read> rows;
    db::Reader reader =
        store->read(services.adaptSqlFor(*store, confirmationRowsStatement(messageId)), &reason);
    if (!reader.isValid()) {
        setError(error, reason);
        return std::nullopt;
    }
    try {
        while (reader.next()) {
            Read r;
            r.row.addresseeRowId = qint32(whole(reader.value(QStringLiteral("BroChkID"))));
            r.row.cc = whole(reader.value(QStringLiteral("BroChkTyp"))) == 1;
            r.pid = qint32(whole(reader.value(QStringLiteral("BroChkPID"))));
            const QString computer =
                reader.value(QStringLiteral("BroChkToMac")).toString().trimmed();
            // A computer row keeps its name; confirming there writes the employee into BroChkPID.
            r.row.computer = !computer.isEmpty();
            r.row.name = computer;
            r.row.confirmed = listFlag(reader.value(QStringLiteral("BroChkDonDis")));
            if (const auto when =
                    common::vb::toDate(reader.value(QStringLiteral("BroChkLasReaDatTim"))))
                r.row.confirmedAt = when->dateTime();
            rows << r;
        }
    } catch (const db::FieldError& e) {
        setError(error, QString::fromUtf8(e.what()));
        return std::nullopt;
    }

    QList<qint32> people;
    for (const Read& r : std::as_const(rows))
        if (r.pid != 0)
            people << r.pid;
    const QHash<qint32, QString> names = services.personNames(people);
    auto nameOf = [&names](qint32 id) {
        const QString name = names.value(id).trimmed();
        return name.isEmpty() ? QStringLiteral("Person ID %1").arg(id) : name;
    };
    for (Read& r : rows) {
        if (r.row.computer) {
            // The employee is written only by confirming; a pending row keeps 0.
            r.row.personId = r.pid;
            if (r.pid != 0)
                r.row.confirmedBy = nameOf(r.pid);
        } else {
            r.row.personId = r.pid;
            r.row.name = r.pid != 0 ? nameOf(r.pid) : QString();
        }
        out.addressees << r.row;
        ++out.count.addressees;
        if (r.row.confirmed)
            ++out.count.confirmed;
    }
    std::stable_sort(out.addressees.begin(), out.addressees.end(),
                     [](const AddresseeConfirmation& a, const AddresseeConfirmation& b) {
                         if (a.confirmed != b.confirmed)
                             return !a.confirmed;
                         return !a.cc && b.cc;
                     });
    return out;
}

bool sentItemsList(HostServices& services, MessageListParams params, qint32 messageId,
                   QString* error)
{
    auto store = services.messageStoreConnection();
    if (!store) {
        setError(error, kStoreClosed);
        return false;
    }
    params.inboxView = false;
    for (const bool history : {false, true}) {
        params.history = history;
        // The view's own statement, narrowed to the one message: the same rules decide.
        const QString statement =
            buildMessageListStatement(
                params, [&services](const QString& text) { return services.quote(text); },
                ListStatementForm::ToRun) +
            QStringLiteral(" and CMTable.cmID=") + QString::number(messageId);
        QString reason;
        db::Reader reader = store->read(services.adaptSqlFor(*store, statement), &reason);
        if (!reader.isValid()) {
            setError(error, reason);
            return false;
        }
        if (reader.next())
            return true;
    }
    return false;
}

std::optional<MessageConfirmations> readSentConfirmations(HostServices& services,
                                                          const MessageListParams& params,
                                                          qint32 messageId, QString* error)
{
    QString reason;
    if (!sentItemsList(services, params, messageId, &reason)) {
        if (reason.isEmpty()) {
            const bool exists = readHeader(services, messageId, &reason).has_value();
            if (reason.isEmpty())
                reason = exists ? QStringLiteral("Message %1 is not among the sent items of %2.")
                                      .arg(messageId)
                                      .arg(params.currentLoginName)
                                : QStringLiteral("There is no message with id %1.").arg(messageId);
        }
        setError(error, reason);
        return std::nullopt;
    }
    return readConfirmations(services, messageId, error);
}

qint32 todoListPerson(HostServices& services, qint32 broChkId, bool received, qint32 self)
{
    auto store = services.messageStoreConnection();
    if (!store)
        return 0;
    const QString statement =
        received ? QStringLiteral("select BroChkSavToFla, BroChkAssPID, BroChkPID from BroChkTable "
                                  "where BroChkID=?")
                 : QStringLiteral("select cmPid from BroChkTable left join cmTable on "
                                  "BroChkTable.BroChkLinID=cmTable.CmID where BroChkID=?");
    db::Recordset rs = store->query(services.adaptSqlFor(*store, statement), {broChkId});
    if (!rs.isOpen() || rs.isEmpty())
        return 0;
    rs.moveFirst();
    const auto number = [&rs](const QString& column) -> qint32 {
        const auto n =
            common::vb::toNumber(common::vb::toText(common::FieldValueOrZero(rs, column)));
        return n ? qint32(common::vb::roundHalfEven(*n)) : 0;
    };
    if (!received)
        return number(QStringLiteral("cmPid"));
    const qint32 chosen = number(QStringLiteral("BroChkAssPID"));
    if (number(QStringLiteral("BroChkSavToFla")) != 0 && chosen != self && chosen != 0)
        return chosen;
    return number(QStringLiteral("BroChkPID"));
}

AddresseeLists pendingAddressees(const MessageConfirmations& confirmations)
{
    AddresseeLists lists;
    bool anyTo = false;
    for (const AddresseeConfirmation& a : confirmations.addressees)
        if (!a.confirmed && !a.cc && (a.computer || a.personId != 0))
            anyTo = true;
    QSet<qint32> people;
    QSet<QString> computers;
    for (const AddresseeConfirmation& a : confirmations.addressees) {
        if (a.confirmed)
            continue;
        const size_t list = a.cc && anyTo ? 1 : 0;
        if (a.computer) {
            const QString key = a.name.toUpper();
            if (!computers.contains(key)) {
                computers.insert(key);
                lists.computers[list] += a.name + QLatin1Char('\n');
            }
        } else if (a.personId != 0 && !people.contains(a.personId)) {
            people.insert(a.personId);
            lists.personIds[list] += QString::number(a.personId) + QLatin1Char(',');
        }
    }
    return lists;
}

} // namespace core

bool readConfirmationCounts(HostServices& services, const QList<qint32>& messageIds,
                            QHash<qint32, ConfirmationCount>& counts, QString* error)
{
    counts.clear();
    auto store = services.messageStoreConnection();
    if (!store) {
        core::setError(error, core::kStoreClosed);
        return false;
    }
    QList<qint32> ids;
    QSet<qint32> seen;
    for (qint32 id : messageIds)
        if (!seen.contains(id)) {
            seen.insert(id);
            ids << id;
        }
    for (qsizetype at = 0; at < ids.size(); at += core::kCountBatch) {
        QString reason;
        db::Reader reader = store->read(
            services.adaptSqlFor(*store,
                                 core::confirmationCountsStatement(ids.mid(at, core::kCountBatch))),
            &reason);
        if (!reader.isValid()) {
            counts.clear();
            core::setError(error, reason);
            return false;
        }
        while (reader.next()) {
            ConfirmationCount count;
            count.needsConfirmation = core::whole(reader.value(1)) != 0;
            count.addressees = int(core::whole(reader.value(2)));
            count.confirmed = int(core::whole(reader.value(3)));
            counts.insert(qint32(core::whole(reader.value(0))), count);
        }
    }
    if (error)
        error->clear();
    return true;
}

bool readSentMessageConfirmations(HostServices& services, qint32 messageId,
                                  const QString& loginName, MessageConfirmations& confirmations,
                                  QString* error)
{
    confirmations = MessageConfirmations();
    core::MessageListParams params;
    params.inboxView = false;
    const core::ViewLogin login = core::ResolveViewLogin(
        services, loginName.trimmed().isEmpty() ? services.currentLoginName() : loginName);
    // The views give a login without an employee what every login sent: only a login of the
    // office (SUPERVISOR among them) may be one.
    if (const QString why = core::viewLoginRefusal(login); !why.isEmpty()) {
        core::setError(error, why);
        return false;
    }
    core::setViewLogin(params, login, services.computerName());
    auto read = core::readSentConfirmations(services, params, messageId, error);
    if (!read)
        return false;
    confirmations = std::move(*read);
    return true;
}

} // namespace tzsndmsg
