#include "MessageListQuery.h"

#include "db/Database.h"
#include "directory/StaffDirectory.h"
#include "db/Recordset.h"
#include "tzsndmsg/HostServices.h"

namespace tzsndmsg {

namespace {

const QString kSentBase =
    QStringLiteral("((CMTable.cmTyp)>=0 or CMTable.cmTyp is null) and EvTable.EvTyp=0");

QString inboxCondition(qint32 employeeId, const QString& computerLiteral, ListStatementForm form)
{
    const QString id = QString::number(employeeId);
    if (form == ListStatementForm::ToRun)
        return QStringLiteral("(EvTable.EvTyp=0 and (BroChkPid=") + id
               + QStringLiteral(" or BroChkToMac=") + computerLiteral + QStringLiteral("))");
    return QStringLiteral("(") + QStringLiteral("EvTable.EvTyp=0 and (CMTable.cmid in (SELECT CMTable.cmID")
           + QStringLiteral(" FROM CMTable INNER JOIN BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID")
           + QStringLiteral(" WHERE (((BroChkTable.BroChkPID)=") + id + QStringLiteral(" or BroChkToMac=")
           + computerLiteral + QStringLiteral("))))") + QStringLiteral(") and (BroChkPid=") + id
           + QStringLiteral(" or BroChkToMac=") + computerLiteral + QStringLiteral(")");
}

} // namespace

QString buildMessageListStatement(const MessageListParams& p,
                                  const std::function<QString(const QString&)>& quote,
                                  ListStatementForm form)
{
    QString where;
    if (p.currentEmployeeId != 0) {
        QString loginName;
        bool found = false;
        for (int i = 1; i < p.loginEmployeeIds.size() && i < p.loginNames.size(); ++i) {
            if (p.loginEmployeeIds.at(i) == p.currentEmployeeId) {
                loginName = p.loginNames.at(i);
                found = true;
                break;
            }
        }
        if (p.inboxView) {
            // An employee missing from the login list still gets the inbox of that employee
            // and this computer (an empty condition would be rejected by the store).
            where = inboxCondition(p.currentEmployeeId, quote(p.computerName.toUpper()), form);
        } else {
            // Missing from the login list: the sent items of the current login instead.
            where = kSentBase + QStringLiteral(" and (cmWho=")
                    + quote(found ? loginName : p.currentLoginName) + QStringLiteral(")");
        }
    } else if (IsWholeOfficeLogin(p.loginNames, p.loginEmployeeIds, p.currentLoginName)) {
        QStringList names;
        for (int i = 1; i < p.loginNames.size(); ++i)
            names << quote(p.loginNames.at(i));
        where = kSentBase;
        if (!names.isEmpty())
            where += QStringLiteral(" and cmWho in (") + names.join(QLatin1Char(','))
                     + QStringLiteral(")");
    } else {
        // Not a login of the office: the view is empty, never the whole office's.
        where = kSentBase + QStringLiteral(" and 1=0");
    }

    QString from;
    QString columns;
    if (p.inboxView) {
        from = QStringLiteral("((CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID) right JOIN "
                              "BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID)");
        columns = QStringLiteral("SELECT CMTable.*, EVTable.*, BroChkTable.BroChkDonDis, "
                                 "BroChkTable.BroChkID, BroChkTable.BroChkLinID");
        if (p.msgCatOnly)
            where = QStringLiteral("(") + where + QStringLiteral(") and CMTable.CMCat='Message'");
    } else {
        from = QStringLiteral("(CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID)");
        columns = QStringLiteral("SELECT CMTable.*, EVTable.*");
    }

    if (!p.history)
        where = QStringLiteral("(") + where
                + QStringLiteral(") and ((CMTable.CMPurFla<=255) or (CMTable.CMPurFla is Null))");
    else
        where = QStringLiteral("(") + where + QStringLiteral(") and CMTable.CMPurFla>255");

    return columns + QStringLiteral(" FROM ") + from + QStringLiteral(" WHERE ") + where;
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
        const QString name = row.personId != 0 ? row.initials : row.computer;
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

QString recipientStatement(qint64 cmId)
{
    return QStringLiteral("Select BroChkPID, BroChkTyp, BroChktoMac, zelowin.dbo.paTable.pDocIni from "
                          "BROCHKTable left join zelowin.dbo.paTable on "
                          "BroChkTable.BroChkPID=zelowin.dbo.patable.pid where BROCHKLINID=")
           + QString::number(cmId);
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

QVector<RecipientRow> readRecipientRows(HostServices& services, qint64 cmId)
{
    QVector<RecipientRow> rows;
    auto conn = services.messageStoreConnection();
    if (!conn)
        return rows;
    db::Reader reader = conn->read(services.adaptSql(recipientStatement(cmId)));
    try {
        while (reader.isValid() && reader.next()) {
            rows << recipientRowFrom(reader);
        }
    } catch (const db::FieldError&) {
    }
    return rows;
}

} // namespace tzsndmsg
