#include "core/MessageListQuery.h"

#include "common/VbFormat.h"
#include "core/LoginList.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QLocale>
#include <QSet>

namespace tzsndmsg::core {

namespace {

const QString kSentBase =
    QStringLiteral("((CMTable.cmTyp)>=0 or CMTable.cmTyp is null) and EvTable.EvTyp=0");

QString inboxCondition(qint32 employeeId, const QString& computerLiteral, ListStatementForm form)
{
    const QString id = QString::number(employeeId);
    if (form == ListStatementForm::ToRun)
        return QStringLiteral("(EvTable.EvTyp=0 and (BroChkPid=") + id +
               QStringLiteral(" or BroChkToMac=") + computerLiteral + QStringLiteral("))");
    return QStringLiteral("(") +
           QStringLiteral("EvTable.EvTyp=0 and (CMTable.cmid in (SELECT CMTable.cmID") +
           QStringLiteral(
               " FROM CMTable INNER JOIN BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID") +
           QStringLiteral(" WHERE (((BroChkTable.BroChkPID)=") + id +
           QStringLiteral(" or BroChkToMac=") + computerLiteral + QStringLiteral("))))") +
           QStringLiteral(") and (BroChkPid=") + id + QStringLiteral(" or BroChkToMac=") +
           computerLiteral + QStringLiteral(")");
}

using ViewParts = ListStatementParts;

// Rows whose delivery is set to start later than `by` ("Broadcast:" and "From :" ticked, a
// start date stored) are left out. The store keeps a readable date as "yyyy-MM-dd" and a time as
// "HH:mm:ss", so the texts compare in order on every server; a start whose text cannot be read
// never hides its message.
QString startedCondition(const QDateTime& by, const std::function<QString(const QString&)>& quote)
{
    const QString day = quote(QLocale::c().toString(by.date(), QStringLiteral("yyyy-MM-dd")));
    const QString time = quote(QLocale::c().toString(by.time(), QStringLiteral("HH:mm:ss")));
    return QStringLiteral(
               "(EvTable.EvBroFla is null or EvTable.EvBroFla=0 or "
               "EvTable.EvBroStaDatFla is null or EvTable.EvBroStaDatFla=0 or "
               "EvTable.EvBroStaDat is null or EvTable.EvBroStaDat not like '____-__-__' or "
               "EvTable.EvBroStaDat<") +
           day + QStringLiteral(" or (EvTable.EvBroStaDat=") + day +
           QStringLiteral(" and (EvTable.EvBroStaTim is null or EvTable.EvBroStaTim not like "
                          "'__:__:__' or EvTable.EvBroStaTim<=") +
           time + QStringLiteral(")))");
}

QStringList loginsOfPerson(const MessageListParams& p)
{
    QStringList names;
    for (int i = 1; i < p.loginEmployeeIds.size() && i < p.loginNames.size(); ++i)
        if (p.loginEmployeeIds.at(i) == p.currentEmployeeId && !names.contains(p.loginNames.at(i)))
            names << p.loginNames.at(i);
    if (names.size() > 1)
        names.removeAll(QString()); // a blank login is nobody's sender
    if (names.isEmpty())
        names << p.currentLoginName;
    return names;
}

ViewParts viewParts(const MessageListParams& p, const std::function<QString(const QString&)>& quote,
                    ListStatementForm form)
{
    QString where;
    if (p.currentEmployeeId != 0) {
        if (p.inboxView) {
            // An employee missing from the login list still gets the inbox of that employee
            // and this computer (an empty condition would be rejected by the store).
            where = inboxCondition(p.currentEmployeeId, quote(p.computerName.toUpper()), form);
        } else {
            // What the person sent under each of the person's logins, the first listed first;
            // missing from the login list: the sent items of the current login instead.
            const QStringList logins = loginsOfPerson(p);
            where = kSentBase;
            if (logins.size() == 1) {
                where +=
                    QStringLiteral(" and (cmWho=") + quote(logins.first()) + QStringLiteral(")");
            } else {
                QStringList quoted;
                for (const QString& name : logins)
                    quoted << quote(name);
                where += QStringLiteral(" and (cmWho in (") + quoted.join(QLatin1Char(',')) +
                         QStringLiteral("))");
            }
        }
    } else if (IsWholeOfficeLogin(p.loginNames, p.loginEmployeeIds, p.currentLoginName)) {
        QStringList names;
        for (int i = 1; i < p.loginNames.size(); ++i)
            names << quote(p.loginNames.at(i));
        where = kSentBase;
        if (!names.isEmpty())
            where += QStringLiteral(" and cmWho in (") + names.join(QLatin1Char(',')) +
                     QStringLiteral(")");
    } else {
        // Not a login of the office: the view is empty, never the whole office's.
        where = kSentBase + QStringLiteral(" and 1=0");
    }

    ViewParts parts;
    if (p.inboxView) {
        parts.from =
            QStringLiteral("((CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID) "
                           "right JOIN BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID)");
        parts.columns = QStringLiteral("SELECT CMTable.*, EVTable.*, BroChkTable.BroChkDonDis, "
                                       "BroChkTable.BroChkID, BroChkTable.BroChkLinID");
        if (p.msgCatOnly)
            where = QStringLiteral("(") + where + QStringLiteral(") and CMTable.CMCat='Message'");
        if (p.startedBy.isValid())
            where = QStringLiteral("(") + where + QStringLiteral(") and ") +
                    startedCondition(p.startedBy, quote);
    } else {
        parts.from =
            QStringLiteral("(CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID)");
        parts.columns = QStringLiteral("SELECT CMTable.*, EVTable.*");
    }

    if (!p.history)
        where = QStringLiteral("(") + where +
                QStringLiteral(") and ((CMTable.CMPurFla<=255) or (CMTable.CMPurFla is Null))");
    else
        where = QStringLiteral("(") + where + QStringLiteral(") and CMTable.CMPurFla>255");
    parts.where = where;
    return parts;
}

// Values read from a list row; a column the row lacks reads as null.
QVariant valueOf(const db::Recordset& rs, const QString& column)
{
    try {
        return rs.value(column);
    } catch (const db::FieldError&) {
        return QVariant();
    }
}

} // namespace

MessageListParams withClock(HostServices& services, const MessageListParams& params)
{
    MessageListParams p = params;
    if (!p.startedBy.isValid())
        p.startedBy = services.currentDateTime();
    return p;
}

void setViewLogin(MessageListParams& params, ViewLogin login, const QString& computerName)
{
    params.loginNames = std::move(login.list.names);
    params.loginEmployeeIds = std::move(login.list.employeeIds);
    params.currentLoginName = login.name;
    params.currentEmployeeId = login.employeeId;
    params.computerName = computerName;
}

QString buildMessageListStatement(const MessageListParams& p,
                                  const std::function<QString(const QString&)>& quote,
                                  ListStatementForm form)
{
    const ViewParts parts = viewParts(p, quote, form);
    return parts.columns + QStringLiteral(" FROM ") + parts.from + QStringLiteral(" WHERE ") +
           parts.where;
}

ListStatementParts
buildMessageListStatementParts(const MessageListParams& params,
                               const std::function<QString(const QString&)>& quote,
                               ListStatementForm form)
{
    return viewParts(params, quote, form);
}

QString nextSortOrder(const QString& stored, const QString& requested)
{
    QString result = stored.isEmpty() ? QStringLiteral("CMDat, CMTim, CMID") : stored;
    if (!requested.isEmpty()) {
        result = requested;
        if (!requested.toUpper().contains(QLatin1String("CMID")))
            result += QStringLiteral(", CMID");
    }
    return result;
}

QString commentsCellText(const QVariant& cmDoc)
{
    QString text = cmDoc.isNull() ? QString() : cmDoc.toString();
    text = text.left(500).trimmed();
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    // Bodies typed on this platform break lines with a lone line feed.
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

QString toCcCellText(const QVector<RecipientRow>& rows)
{
    QString to;
    QString cc;
    for (const RecipientRow& row : rows) {
        // A computer's row keeps its name after the employee who confirmed there is written
        // into it: it was addressed to the computer.
        const QString name =
            row.personId != 0 && row.computer.trimmed().isEmpty() ? row.initials : row.computer;
        if (row.type == 0)
            to += QStringLiteral(", ") + name;
        else if (row.type == 1)
            cc += QStringLiteral(", ") + name;
    }
    to = to.mid(2);
    cc = cc.mid(2);
    if (!cc.isEmpty()) {
        cc = QStringLiteral("/ ") + cc;
        if (cc.trimmed() == QLatin1String("/"))
            cc.clear();
    }
    return to + cc;
}

RecipientRow recipientRowFrom(const db::Reader& reader)
{
    RecipientRow row;
    row.personId = reader.value(QStringLiteral("BroChkPID")).toInt();
    row.type = reader.isNull(QStringLiteral("BroChkTyp"))
                   ? -1
                   : reader.value(QStringLiteral("BroChkTyp")).toInt();
    row.computer = reader.value(QStringLiteral("BroChktoMac")).toString();
    row.initials = reader.value(QStringLiteral("pDocIni")).toString();
    return row;
}

QHash<qint32, QVector<RecipientRow>> readRecipientRowsOf(HostServices& services,
                                                         const QList<qint32>& ids)
{
    QHash<qint32, QVector<RecipientRow>> out;
    auto conn = services.messageStoreConnection();
    if (!conn || ids.isEmpty())
        return out;
    QStringList list;
    for (qint32 id : ids)
        list << QString::number(id); // numbers only reach the statement
    db::Reader reader = conn->read(services.adaptSql(
        QStringLiteral("Select BroChkLinID, BroChkPID, BroChkTyp, BroChktoMac, "
                       "zelowin.dbo.paTable.pDocIni from BROCHKTable left join zelowin.dbo.paTable "
                       "on BroChkTable.BroChkPID=zelowin.dbo.patable.pid where BROCHKLINID In (") +
        list.join(u',') + QStringLiteral(") order by BroChkLinID, BroChkID")));
    try {
        while (reader.isValid() && reader.next()) {
            out[reader.value(QStringLiteral("BroChkLinID")).toInt()] << recipientRowFrom(reader);
        }
    } catch (const db::FieldError&) {
    }
    return out;
}

QString toCcCellFrom(const QString& toNames, const QString& ccNames)
{
    // As toCcCellText finishes its two lists.
    QString cc;
    if (!ccNames.isEmpty()) {
        cc = QStringLiteral("/ ") + ccNames;
        if (cc.trimmed() == QLatin1String("/"))
            cc.clear();
    }
    return toNames + cc;
}

QString toCcBlanks()
{
    // What QString::trimmed takes for space, so that the database tells a blank computer name
    // exactly as the cell's own reading does.
    static const QString blanks = [] {
        QString out;
        for (char16_t c = 1; c < 0xFFFF; ++c)
            if (QChar::isSpace(c) && !QChar::isSurrogate(c))
                out += QChar(c);
        return out;
    }();
    return blanks;
}

int toCcNamesParameterCount()
{
    return 2;
}

QString toCcNamesStatement(bool postgres, const QList<qint32>& ids)
{
    QStringList list;
    list.reserve(ids.size());
    for (qint32 id : ids)
        list << QString::number(id); // numbers only reach the statement
    const QString in = list.join(u',');
    // A person's row names the person's initials (none for someone no longer in the person
    // table); a computer's row, also once the employee who confirmed there is written into it,
    // the computer.
    const QString trimmed = postgres ? QStringLiteral("btrim(b.BroChkToMac, ?)")
                                     : QStringLiteral("trim(b.BroChkToMac, ?)");
    // The empty name first: trimming with the whole set of blanks on every row costs.
    const QString name =
        QStringLiteral("CASE WHEN coalesce(b.BroChkPID, 0)<>0 AND (b.BroChkToMac IS NULL OR "
                       "b.BroChkToMac='' OR ") +
        trimmed +
        QStringLiteral("='') THEN coalesce(p.PDocIni, '') ELSE coalesce(b.BroChkToMac, '') END");
    const QString from =
        QStringLiteral(" FROM BroChkTable b LEFT JOIN PATable p ON b.BroChkPID=p.pID");
    if (postgres)
        // The ids as one array: the server plans a few thousand literals slowly.
        return QStringLiteral("SELECT b.BroChkLinID, string_agg(") + name +
               QStringLiteral(
                   ", ', ' ORDER BY b.BroChkID) FILTER (WHERE b.BroChkTyp=0), string_agg(") +
               name + QStringLiteral(", ', ' ORDER BY b.BroChkID) FILTER (WHERE b.BroChkTyp=1)") +
               from + QStringLiteral(" WHERE b.BroChkLinID = ANY ('{") + in +
               QStringLiteral("}'::integer[]) AND b.BroChkTyp IN (0, 1) GROUP BY b.BroChkLinID");
    // SQLite joins in the order its input comes: each message's names come from a subquery in
    // the order the rows were written (an ordered subquery under an aggregate keeps its order).
    const auto names = [&](int type) {
        return QStringLiteral("(SELECT group_concat(n, ', ') FROM (SELECT ") + name +
               QStringLiteral(" AS n") + from +
               QStringLiteral(" WHERE b.BroChkLinID=m.BroChkLinID AND b.BroChkTyp=") +
               QString::number(type) + QStringLiteral(" ORDER BY b.BroChkID))");
    };
    return QStringLiteral("SELECT m.BroChkLinID, ") + names(0) + QStringLiteral(", ") + names(1) +
           QStringLiteral(
               " FROM (SELECT DISTINCT BroChkLinID FROM BroChkTable WHERE BroChkLinID IN (") +
           in + QStringLiteral(")) m");
}

bool readToCcCellsOf(HostServices& services, const QList<qint32>& ids,
                     QHash<qint32, QString>& cells, QString* error)
{
    cells.clear();
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return false;
    }
    // Each message once; a few thousand to a statement keeps its text short.
    QList<qint32> unique;
    {
        QSet<qint32> seen;
        seen.reserve(ids.size());
        for (qint32 id : ids)
            if (!seen.contains(id)) {
                seen.insert(id);
                unique << id;
            }
    }
    constexpr qsizetype Batch = 10000;
    const bool postgres = conn->backend() == db::Backend::Postgres;
    QVariantList params;
    for (int i = 0; i < toCcNamesParameterCount(); ++i)
        params << toCcBlanks();
    cells.reserve(unique.size());
    for (qsizetype at = 0; at < unique.size(); at += Batch) {
        QString why;
        db::Reader reader =
            conn->read(toCcNamesStatement(postgres, unique.mid(at, Batch)), params, &why);
        if (!reader.isValid()) {
            cells.clear();
            if (error)
                *error = why;
            return false;
        }
        while (reader.next())
            cells.insert(reader.value(0).toInt(),
                         toCcCellFrom(reader.value(1).toString(), reader.value(2).toString()));
    }
    for (qint32 id : std::as_const(unique))
        if (!cells.contains(id))
            cells.insert(id, QString());
    if (error)
        error->clear();
    return true;
}

bool listFlag(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toString().trimmed() == QLatin1String("-1") ||
           value.toString() == QLatin1String("true");
}

db::Recordset queryView(HostServices& services, const MessageListParams& params,
                        const QString& sortOrder, QString* error, ListStatementForm form)
{
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return {};
    }
    const QString statement = buildMessageListStatement(
        withClock(services, params),
        [&services](const QString& text) { return services.quote(text); }, form);
    db::Recordset list = conn->query(services.adaptSql(statement), error);
    if (list.isOpen() && !list.isEmpty())
        list.setSort(nextSortOrder(QString(), sortOrder));
    return list;
}

QVector<ViewRow> readViewRows(HostServices& services, const MessageListParams& params,
                              bool withToCc, QString* error)
{
    db::Recordset list = queryView(services, params, QString(), error);
    if (!list.isOpen())
        return {};
    return viewRowsOf(services, list, params.inboxView, withToCc);
}

QVector<ViewRow> viewRowsOf(HostServices& services, const db::Recordset& read, bool inboxView,
                            bool withToCc)
{
    QVector<ViewRow> rows;
    if (!read.isOpen())
        return rows;
    db::Recordset list = read.clone();
    rows.reserve(list.recordCount());
    auto text = [&list](const QString& column) {
        return common::vb::toText(valueOf(list, column));
    };
    for (list.moveFirst(); !list.eof(); list.moveNext()) {
        ViewRow row;
        row.cmID = valueOf(list, QStringLiteral("cmID")).toInt();
        const QVariant addressee =
            inboxView ? valueOf(list, QStringLiteral("BroChkID")) : QVariant();
        row.BroChkID = addressee.toInt();
        row.cmPid = valueOf(list, QStringLiteral("cmPid")).toInt();
        row.cmWho = text(QStringLiteral("cmWho"));
        row.cmDat = text(QStringLiteral("cmDat"));
        row.cmTim = text(QStringLiteral("cmTim"));
        row.CMSubjec = text(QStringLiteral("CMSubjec"));
        row.cmDoc = text(QStringLiteral("cmDoc"));
        row.cmCat = text(QStringLiteral("cmCat"));
        row.payrollRelated = listFlag(valueOf(list, QStringLiteral("CMShoOnRep")));
        row.unread = inboxView && !addressee.isNull() &&
                     !listFlag(valueOf(list, QStringLiteral("BroChkDonDis")));
        rows.append(row);
    }
    if (withToCc) {
        QList<qint32> ids;
        ids.reserve(rows.size());
        for (const ViewRow& row : std::as_const(rows))
            ids << row.cmID;
        QHash<qint32, QString> cells;
        if (!readToCcCellsOf(services, ids, cells)) {
            // A store that cannot group its names in one statement: the recipient rows of a
            // batch of messages per statement, joined here.
            constexpr int Batch = 500;
            const QList<qint32> unique = QSet<qint32>(ids.begin(), ids.end()).values();
            for (qsizetype at = 0; at < unique.size(); at += Batch) {
                const QList<qint32> batch = unique.mid(at, Batch);
                const QHash<qint32, QVector<RecipientRow>> recipients =
                    readRecipientRowsOf(services, batch);
                for (qint32 id : batch)
                    cells.insert(id, toCcCellText(recipients.value(id)));
            }
        }
        for (ViewRow& row : rows)
            row.toCc = cells.value(row.cmID);
    }
    return rows;
}

QString buildUnreadCountStatement(const MessageListParams& params,
                                  const std::function<QString(const QString&)>& quote)
{
    const ViewParts parts = viewParts(params, quote, ListStatementForm::ToRun);
    return QStringLiteral("SELECT count(*) FROM ") + parts.from + QStringLiteral(" WHERE (") +
           parts.where +
           QStringLiteral(
               ") and (BroChkTable.BroChkDonDis is null or BroChkTable.BroChkDonDis<>-1)");
}

qint64 countUnread(HostServices& services, const MessageListParams& params, QString* error)
{
    if (!params.inboxView)
        return 0;
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return -1;
    }
    const QVariant count =
        conn->scalar(services.adaptSql(buildUnreadCountStatement(
                         withClock(services, params),
                         [&services](const QString& text) { return services.quote(text); })),
                     {}, error);
    return count.isValid() ? count.toLongLong() : -1;
}

QString buildInboxChangesStatement(const MessageListParams& params,
                                   const std::function<QString(const QString&)>& quote,
                                   qint64 afterBroChkId, const QList<qint32>& messageIds)
{
    MessageListParams p = params;
    p.inboxView = true;
    p.msgCatOnly = false;
    p.history = false;
    // The rows include deliveries that start later (the watcher times them); the count is the
    // inbox's own, from the start on.
    const QDateTime startedBy = p.startedBy;
    p.startedBy = QDateTime();
    ViewParts parts = viewParts(p, quote, ListStatementForm::ToRun);
    if (p.currentEmployeeId == 0)
        parts.where =
            QStringLiteral("(EvTable.EvTyp=0 and BroChkToMac=") + quote(p.computerName.toUpper()) +
            QStringLiteral(") and ((CMTable.CMPurFla<=255) or (CMTable.CMPurFla is Null))");
    QString countWhere = parts.where;
    if (startedBy.isValid())
        countWhere = QStringLiteral("(") + countWhere + QStringLiteral(") and ") +
                     startedCondition(startedBy, quote);

    const QString count = QStringLiteral("SELECT count(*) AS unreadCount FROM ") + parts.from +
                          QStringLiteral(" WHERE (") + countWhere +
                          QStringLiteral(") and (BroChkTable.BroChkDonDis is null or "
                                         "BroChkTable.BroChkDonDis<>-1)");
    QString rows = parts.columns + QStringLiteral(" FROM ") + parts.from +
                   QStringLiteral(" WHERE (") + parts.where + QStringLiteral(")");
    if (afterBroChkId >= 0) {
        QString which = QStringLiteral("BroChkTable.BroChkID>") + QString::number(afterBroChkId);
        if (!messageIds.isEmpty()) {
            QStringList ids;
            for (qint32 id : messageIds)
                ids << QString::number(id); // numbers only reach the statement
            which += QStringLiteral(" or BroChkTable.BroChkLinID In (") + ids.join(u',') +
                     QStringLiteral(")");
        }
        rows += QStringLiteral(" and (") + which + QStringLiteral(")");
    }
    return QStringLiteral("SELECT u.unreadCount, n.* FROM (") + count +
           QStringLiteral(") u LEFT JOIN (") + rows + QStringLiteral(") n ON 1=1");
}

InboxChangesCall buildKeptInboxChangesCall(const MessageListParams& params, qint64 afterBroChkId,
                                           const QList<qint32>& messageIds)
{
    InboxChangesCall call;
    call.text = QStringLiteral(
        "SELECT tzC.unreadcount AS unreadCount, (tzC.tz_cm).*, (tzC.tz_ev).*, "
        "(tzC.tz_br).BroChkDonDis, (tzC.tz_br).BroChkID, (tzC.tz_br).BroChkLinID FROM "
        "tz_inbox_changes(?, ?, ?, ?, ?, ?) tzC");
    QStringList ids;
    for (qint32 id : messageIds)
        ids << QString::number(id);
    const QDateTime& by = params.startedBy;
    call.values << params.currentEmployeeId << params.computerName.toUpper()
                << (by.isValid()
                        ? QVariant(QLocale::c().toString(by.date(), QStringLiteral("yyyy-MM-dd")))
                        : QVariant(QMetaType::fromType<QString>()))
                << (by.isValid()
                        ? QVariant(QLocale::c().toString(by.time(), QStringLiteral("HH:mm:ss")))
                        : QVariant(QMetaType::fromType<QString>()))
                << afterBroChkId << QString(u'{' + ids.join(u',') + u'}');
    return call;
}

bool inboxChangesKeptToCaller(db::Database& connection)
{
    if (connection.backend() != db::Backend::Postgres)
        return false;
    const QVariant kept = connection.scalar(QStringLiteral(
        "SELECT to_regprocedure('tz_inbox_changes(integer,text,text,text,bigint,text)') IS "
        "NOT NULL AND NOT coalesce((SELECT rolsuper OR rolbypassrls FROM pg_roles WHERE rolname "
        "= current_user), false)"));
    return kept.isValid() && kept.toBool();
}

} // namespace tzsndmsg::core
