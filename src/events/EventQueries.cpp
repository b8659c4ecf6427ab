#include "EventQueries.h"

#include "common/FieldValue.h"
#include "common/VbFormat.h"
#include "db/Database.h"
#include "db/Recordset.h"
#include "tzsndmsg/HostServices.h"

#include <algorithm>

namespace tzsndmsg::events {

namespace {

QVariant valueOf(const db::Recordset& rs, const char* column)
{
    const QString name = QString::fromLatin1(column);
    if (!rs.hasField(name))
        return {};
    try {
        return rs.value(name);
    } catch (const db::FieldError&) {
        return {};
    }
}

QString textOf(const db::Recordset& rs, const char* column)
{
    return common::vb::toText(valueOf(rs, column));
}

qint64 numberOf(const db::Recordset& rs, const char* column)
{
    const QVariant v = valueOf(rs, column);
    if (v.isNull())
        return 0;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (ok)
        return n;
    const auto d = common::vb::toNumber(v.toString());
    return d ? common::vb::roundHalfEven(*d) : 0;
}

QDate dateOf(const db::Recordset& rs, const char* column)
{
    const QVariant v = valueOf(rs, column);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return {};
    const auto d = common::vb::toDate(v);
    return d ? d->date() : QDate();
}

QTime timeOf(const db::Recordset& rs, const char* column)
{
    const QVariant v = valueOf(rs, column);
    if (v.isNull() || v.toString().trimmed().isEmpty())
        return {};
    const auto d = common::vb::toDate(v);
    return d ? d->time() : QTime();
}

} // namespace

QString eventListStatement(const QString& ownerFilter, const QString& order)
{
    return QStringLiteral("SELECT CMTable.*, EVTable.*") + QStringLiteral(" FROM ") +
           QStringLiteral("CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID") +
           QStringLiteral(" WHERE ((CMTable.cmTyp)>=0 or (CMTable.cmTyp is Null)) and "
                          "EvTable.EvTyp=1") +
           ownerFilter + QStringLiteral(" order by ") +
           (order.isEmpty() ? QStringLiteral("CMDat, CMTim, CMID") : order);
}

StoredEvent readStoredEvent(const db::Recordset& rs)
{
    StoredEvent e;
    e.cmId = numberOf(rs, "cmID");
    e.title = textOf(rs, "CMSubjec");
    e.description = textOf(rs, "cmDoc");
    e.rule.start = dateOf(rs, "EvBroStaDat");
    e.rule.recurring = numberOf(rs, "EvBroReaFla") == -1;
    e.rule.every = int(std::clamp<qint64>(numberOf(rs, "EvBroReaEve"), 1, 1000000));
    e.rule.unit = int(numberOf(rs, "EvBroReaTyp"));
    e.rule.numberOfTimes = int(std::clamp<qint64>(numberOf(rs, "EvBroNumOfTim"), -1000, 1000000000));
    e.rule.until = dateOf(rs, "EvBroEndDat");
    e.from = timeOf(rs, "EvBroStaTim");
    e.to = timeOf(rs, "evBroDat");
    const QDate made = dateOf(rs, "cmDat");
    const QTime at = timeOf(rs, "cmTim");
    e.createdStamp = made.isValid() ? made.toString(QStringLiteral("yyyyMMdd")) +
                                          (at.isValid() ? at.toString(QStringLiteral("HHmmss"))
                                                        : QStringLiteral("000000"))
                                    : QStringLiteral("0");
    return e;
}

QString attendeeCellText(HostServices& services, db::Database& db, qint64 cmId)
{
    if (cmId == 0)
        return QString();
    db::Recordset rs = db.query(services.adaptSqlFor(
        db, QStringLiteral("Select * from BroChkTable where BROCHKLINID") + QStringLiteral("=") +
                QString::number(cmId) + QStringLiteral(";")));
    if (!rs.isOpen())
        return QString();
    QList<QPair<qint32, qint64>> attendees; // person, BroChkTyp
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const qint64 pid = common::FieldValueOrZero(rs, QStringLiteral("BroChkPID")).toLongLong();
        if (pid != 0)
            attendees.append({qint32(pid), common::FieldValueOrZero(rs, QStringLiteral("BroChkTyp")).toLongLong()});
    }
    // One name lookup for all: an event for the whole office has an attendee per employee.
    QList<qint32> ids;
    for (const auto& a : attendees)
        ids << a.first;
    const QHash<qint32, QString> names = services.personNames(ids);
    QString to, cc;
    for (const auto& [pid, type] : attendees) {
        const QString name = QStringLiteral(", ") + names.value(pid);
        if (type == 0)
            to += name;
        else if (type == 1)
            cc += name;
    }
    to = to.mid(2);
    cc = cc.mid(2);
    return cc.isEmpty() ? to : to + QStringLiteral("/ ") + cc;
}

} // namespace tzsndmsg::events
