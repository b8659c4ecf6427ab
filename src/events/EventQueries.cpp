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

QHash<qint64, QString> attendeeCellTexts(HostServices& services, db::Database& db,
                                         const QList<qint64>& cmIds)
{
    QHash<qint64, QString> cells;
    QStringList list;
    for (qint64 id : cmIds) {
        cells.insert(id, QString());
        if (id != 0)
            list << QString::number(id);
    }
    if (list.isEmpty())
        return cells;
    db::Recordset rs = db.query(services.adaptSqlFor(
        db, QStringLiteral("Select * from BroChkTable where BROCHKLINID in (") +
                list.join(QLatin1Char(',')) + QStringLiteral(") order by BROCHKLINID, BroChkID")));
    if (!rs.isOpen())
        return cells;
    struct Attendee {
        qint64 cmId;
        qint32 pid;
        qint64 type; // BroChkTyp: 0 To, 1 Cc
    };
    QList<Attendee> attendees;
    QList<qint32> pids;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const qint64 pid = common::FieldValueOrZero(rs, QStringLiteral("BroChkPID")).toLongLong();
        if (pid == 0)
            continue;
        attendees.append({common::FieldValueOrZero(rs, QStringLiteral("BroChkLinID")).toLongLong(),
                          qint32(pid),
                          common::FieldValueOrZero(rs, QStringLiteral("BroChkTyp")).toLongLong()});
        pids << qint32(pid);
    }
    // One name lookup for all: an event for the whole office has an attendee per employee.
    const QHash<qint32, QString> names = services.personNames(pids);
    QHash<qint64, QPair<QString, QString>> toCc;
    for (const Attendee& a : attendees) {
        const QString name = QStringLiteral(", ") + names.value(a.pid);
        if (a.type == 0)
            toCc[a.cmId].first += name;
        else if (a.type == 1)
            toCc[a.cmId].second += name;
    }
    for (auto it = toCc.cbegin(); it != toCc.cend(); ++it) {
        const QString to = it->first.mid(2);
        const QString cc = it->second.mid(2);
        cells.insert(it.key(), cc.isEmpty() ? to : to + QStringLiteral("/ ") + cc);
    }
    return cells;
}

} // namespace tzsndmsg::events
