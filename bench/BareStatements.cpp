#include "BareStatements.h"

#include "db/Internals.h"
#include "tzsndmsg/db/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>

namespace tzsndmsg::bench {

namespace {

QString purgeFilter(bool history)
{
    return history ? QStringLiteral("CMTable.CMPurFla>255")
                   : QStringLiteral("(CMTable.CMPurFla<=255 OR CMTable.CMPurFla IS NULL)");
}

QString typeTest(bool forSqlite)
{
    return forSqlite ? QStringLiteral("+EVTable.EvTyp = 0") : QStringLiteral("EVTable.EvTyp = 0");
}

} // namespace

std::optional<std::vector<QVariantList>> readBare(db::Database& db, const QString& sql,
                                                  const QVariantList& params, QSqlRecord* record)
{
    QSqlQuery q(tzsndmsg::db::Internals::handle(db));
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        std::fprintf(stderr, "bare statement failed: %s\n%s\n", qPrintable(q.lastError().text()),
                     qPrintable(sql));
        return std::nullopt;
    }
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
    if (!q.exec()) {
        std::fprintf(stderr, "bare statement failed: %s\n", qPrintable(q.lastError().text()));
        return std::nullopt;
    }
    std::vector<QVariantList> rows;
    const int columns = q.record().count();
    while (q.next()) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row << q.value(c);
        rows.push_back(std::move(row));
    }
    if (record)
        *record = q.record();
    return rows;
}

QString bareInboxStatement(bool msgCatOnly, bool history, bool forSqlite)
{
    // "+EVTable.EvTyp" keeps SQLite from driving the join by the detail table's type index,
    // which holds every message.
    return QStringLiteral(
               "SELECT CMTable.*, EVTable.*, BroChkTable.BroChkDonDis, BroChkTable.BroChkID, "
               "BroChkTable.BroChkLinID FROM BroChkTable "
               "INNER JOIN CMTable ON CMTable.cmID = BroChkTable.BroChkLinID "
               "INNER JOIN EVTable ON CMTable.cmID = EVTable.EVLinID "
               "WHERE (BroChkTable.BroChkPID = ? OR BroChkTable.BroChkToMac = ?) "
               "AND ") +
           typeTest(forSqlite) + QStringLiteral(" ") +
           (msgCatOnly ? QStringLiteral("AND CMTable.CMCat = 'Message' ") : QString()) +
           QStringLiteral("AND ") + purgeFilter(history) +
           QStringLiteral(
               " ORDER BY CMTable.cmDat, CMTable.cmTim, CMTable.cmID, BroChkTable.BroChkID");
}

QString bareSentStatement(bool history, bool forSqlite)
{
    return QStringLiteral(
               "SELECT CMTable.*, EVTable.* FROM CMTable "
               "INNER JOIN EVTable ON CMTable.cmID = EVTable.EVLinID "
               "WHERE CMTable.cmWho = ? AND (CMTable.cmTyp >= 0 OR CMTable.cmTyp IS NULL) "
               "AND ") +
           typeTest(forSqlite) + QStringLiteral(" AND ") + purgeFilter(history) +
           QStringLiteral(" ORDER BY CMTable.cmDat, CMTable.cmTim, CMTable.cmID");
}

QString bareRecipientsOf(const QString& idList)
{
    return QStringLiteral(
               "SELECT BroChkTable.BroChkLinID, BroChkTable.BroChkPID, "
               "BroChkTable.BroChkTyp, BroChkTable.BroChkToMac, PATable.pDocIni "
               "FROM BroChkTable LEFT JOIN PATable ON BroChkTable.BroChkPID = PATable.pID "
               "WHERE BroChkTable.BroChkLinID IN (") +
           idList + QStringLiteral(") ORDER BY BroChkTable.BroChkLinID, BroChkTable.BroChkID");
}

QString withBareToCcNames(const QString& rowsSql, bool forSqlite)
{
    const QString name = QStringLiteral(
        "CASE WHEN coalesce(b.BroChkPID, 0)<>0 AND coalesce(trim(b.BroChkToMac), '')='' "
        "THEN coalesce(p.PDocIni, '') ELSE coalesce(b.BroChkToMac, '') END");
    const QString from =
        QStringLiteral(" FROM BroChkTable b LEFT JOIN PATable p ON b.BroChkPID = p.pID ");
    if (forSqlite) {
        const auto names = [&](int type) {
            return QStringLiteral("(SELECT group_concat(n, ', ') FROM (SELECT ") + name +
                   QStringLiteral(" AS n") + from +
                   QStringLiteral("WHERE b.BroChkLinID = s.cmID AND b.BroChkTyp = ") +
                   QString::number(type) + QStringLiteral(" ORDER BY b.BroChkID))");
        };
        return QStringLiteral("SELECT s.*, ") + names(0) + QStringLiteral(" AS toNames, ") +
               names(1) + QStringLiteral(" AS ccNames FROM (") + rowsSql + QStringLiteral(") s");
    }
    return QStringLiteral("SELECT s.*, c.toNames, c.ccNames FROM (") + rowsSql +
           QStringLiteral(") s LEFT JOIN LATERAL (SELECT string_agg(") + name +
           QStringLiteral(", ', ' ORDER BY b.BroChkID) FILTER (WHERE b.BroChkTyp = 0) AS toNames, "
                          "string_agg(") +
           name +
           QStringLiteral(", ', ' ORDER BY b.BroChkID) FILTER (WHERE b.BroChkTyp = 1) AS ccNames") +
           from + QStringLiteral("WHERE b.BroChkLinID = s.cmID) c ON true");
}

} // namespace tzsndmsg::bench
