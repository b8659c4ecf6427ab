#include "StoreCheck.h"

#include "Schema.h"
#include "SearchIndex.h"
#include "db/Internals.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace tzsndmsg::store {

namespace {

const QString kRepairIndex = QStringLiteral(": run tzsndmsg check --repair-index");

QString label(const IndexedTable& t)
{
    return QLatin1String(t.table) == QLatin1String("CMTable")
               ? QStringLiteral("the messages' words")
               : QStringLiteral("the persons' names");
}

OfficeDamage indexDamage(const IndexedTable& t, const QString& why)
{
    return {QStringLiteral("the search index is damaged (%1: %2)").arg(label(t), why) +
                kRepairIndex,
            true};
}

OfficeDamage indexMissing(const IndexedTable& t)
{
    return {QStringLiteral("the search index is missing (%1)").arg(label(t)) + kRepairIndex, true};
}

QString ident(db::Database& db, const QString& name)
{
    return db::Internals::handle(db).driver()->escapeIdentifier(name, QSqlDriver::TableName);
}

// The rows of a statement run as it stands, and the error that may end them half way: a
// SQLite check reports what it found and then stops at the damage.
struct Lines {
    QStringList rows;
    QString error;
    QString code;
    bool ok() const { return error.isEmpty() && rows == QStringList{QStringLiteral("ok")}; }
    QString summary() const
    {
        static const QRegularExpression database(
            QStringLiteral("^\\*\\*\\* in database \\S+ \\*\\*\\*"));
        QStringList parts;
        for (QString row : rows) {
            row = row.remove(database).simplified();
            if (!row.isEmpty())
                parts << row;
        }
        if (!error.isEmpty())
            parts << error;
        if (parts.size() > 3)
            parts = parts.mid(0, 3) << QStringLiteral("...");
        return parts.join(QStringLiteral("; "));
    }
};

Lines readLines(db::Database& db, const QString& statement, const QVariantList& params = {})
{
    QSqlQuery q(db::Internals::handle(db));
    q.setForwardOnly(true);
    Lines out;
    bool ran = false;
    if (params.isEmpty()) {
        ran = q.exec(statement);
    } else if (q.prepare(statement)) {
        for (const QVariant& v : params)
            q.addBindValue(v);
        ran = q.exec();
    }
    if (ran)
        while (q.next())
            out.rows << q.value(0).toString();
    if (!ran || q.lastError().isValid()) {
        out.error = (q.lastError().databaseText().isEmpty() ? q.lastError().text()
                                                            : q.lastError().databaseText())
                        .simplified();
        if (out.error.isEmpty())
            out.error = QStringLiteral("unknown database error");
        out.code = q.lastError().nativeErrorCode();
    }
    return out;
}

// SQLite's "malformed" and "not a database", in any extended form.
bool sqliteDamage(const Lines& r)
{
    const int primary = r.code.toInt() & 0xff;
    return primary == 11 || primary == 26 || r.error.contains(QLatin1String("malformed"));
}

const IndexedTable* ftsOwning(const QString& table)
{
    for (const IndexedTable& t : kIndexedTables)
        if (table.startsWith(QLatin1String(t.fts) + QLatin1Char('_'), Qt::CaseInsensitive))
            return &t;
    return nullptr;
}

bool checkSqlite(db::Database& db, OfficeCheckDepth depth, QList<OfficeDamage>& found,
                 QString* error)
{
    const QString pragma = depth == OfficeCheckDepth::Quick ? QStringLiteral("quick_check")
                                                            : QStringLiteral("integrity_check");
    const Lines whole = readLines(db, QStringLiteral("PRAGMA %1").arg(pragma));
    if (!whole.error.isEmpty() && !sqliteDamage(whole)) {
        if (error)
            *error = QStringLiteral("cannot check the store: %1").arg(whole.error);
        return false;
    }
    QList<const IndexedTable*> damagedIndex;
    if (!whole.ok()) {
        // The check of the whole file says that something is wrong; the check of each table
        // says what.
        const Lines tables =
            readLines(db, QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'table' AND "
                                         "rootpage > 0 ORDER BY rootpage"));
        // An index whose first page is named by the check is named in turn.
        QHash<QString, QString> indexes;
        const Lines roots = readLines(
            db, QStringLiteral("SELECT 'Page ' || rootpage || ':' || char(9) || name FROM "
                               "sqlite_schema WHERE type = 'index' AND rootpage > 0"));
        for (const QString& row : roots.rows)
            indexes.insert(row.section(QLatin1Char('\t'), 0, 0), row.section(QLatin1Char('\t'), 1));
        if (!tables.error.isEmpty()) {
            found.append(OfficeDamage{QStringLiteral("the store's list of tables is damaged (%1)")
                                          .arg(tables.summary())});
            return true;
        }
        const qsizetype before = found.size();
        for (const QString& table : tables.rows) {
            const Lines one =
                readLines(db, QStringLiteral("PRAGMA %1(%2)").arg(pragma, ident(db, table)));
            if (one.ok())
                continue;
            if (const IndexedTable* t = ftsOwning(table)) {
                if (!damagedIndex.contains(t)) {
                    damagedIndex << t;
                    found.append(indexDamage(*t, one.summary()));
                }
                continue;
            }
            QString index;
            for (auto it = indexes.cbegin(); it != indexes.cend() && index.isEmpty(); ++it)
                if (one.summary().contains(it.key()))
                    index = it.value();
            found.append(OfficeDamage{
                index.isEmpty()
                    ? QStringLiteral("the table %1 is damaged (%2)").arg(table, one.summary())
                    : QStringLiteral("the index %1 of the table %2 is damaged (%3)")
                          .arg(index, table, one.summary())});
        }
        // Pages that belong to no table: the file is damaged, not a table.
        if (found.size() == before)
            found.append(OfficeDamage{
                QStringLiteral("the store's file is damaged (%1)").arg(whole.summary())});
    }

    // A store made before the search index has none: init makes it; only the full check says so.
    if (depth == OfficeCheckDepth::Quick)
        return true;
    for (const IndexedTable& t : kIndexedTables) {
        if (damagedIndex.contains(&t))
            continue;
        const Lines exists = readLines(
            db,
            QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?"),
            {QLatin1String(t.fts)});
        if (!exists.error.isEmpty()) {
            found.append(indexDamage(t, exists.summary()));
            continue;
        }
        if (exists.rows.value(0) == QLatin1String("0")) {
            found.append(indexMissing(t));
            continue;
        }
        // rank 1: the index's words are also compared with the rows they come from.
        const QString fts = QLatin1String(t.fts);
        const Lines words = readLines(
            db, QStringLiteral("INSERT INTO %1(%1, rank) VALUES('integrity-check', 1)").arg(fts));
        if (words.error.isEmpty())
            continue;
        // The index's own check is asked for as a write; a store this workstation may only read
        // keeps to the check of its pages above.
        if ((words.code.toInt() & 0xff) == 8)
            continue;
        if (!sqliteDamage(words)) {
            if (error)
                *error = QStringLiteral("cannot check the search index: %1").arg(words.error);
            return false;
        }
        found.append(indexDamage(t, words.error));
    }
    return true;
}

// --- PostgreSQL ------------------------------------------------------------------------------

const QString kInSchema = QStringLiteral(
    "relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema())");

// Runs statements with the planner held to index scans (or kept off them), in a transaction of
// its own that is rolled back: nothing of the session's settings stays.
QVariant scalarWith(db::Database& db, const QStringList& settings, const QString& statement,
                    QString* why)
{
    if (!db.transaction()) {
        *why = db.lastError();
        return {};
    }
    QVariant value;
    bool ok = true;
    for (const QString& s : settings)
        ok = ok && db.exec(s, why);
    if (ok)
        value = db.scalar(statement, {}, why);
    db.rollback();
    return value;
}

// The plan the server would follow for the statement under the settings.
QString planWith(db::Database& db, const QStringList& settings, const QString& statement)
{
    if (!db.transaction())
        return {};
    QString plan;
    bool ok = true;
    for (const QString& s : settings)
        ok = ok && db.exec(s);
    if (ok) {
        db::Recordset rs = db.query(QStringLiteral("EXPLAIN ") + statement);
        for (rs.moveFirst(); rs.isOpen() && !rs.eof(); rs.moveNext())
            plan += rs.value(0).toString() + QLatin1Char('\n');
    }
    db.rollback();
    return plan;
}

const QStringList kIndexScans = {QStringLiteral("SET LOCAL enable_seqscan = off"),
                                 QStringLiteral("SET LOCAL enable_sort = off"),
                                 QStringLiteral("SET LOCAL enable_bitmapscan = off")};
const QStringList kBitmapScans = {QStringLiteral("SET LOCAL enable_seqscan = off")};
const QStringList kTableScans = {QStringLiteral("SET LOCAL enable_indexscan = off"),
                                 QStringLiteral("SET LOCAL enable_indexonlyscan = off"),
                                 QStringLiteral("SET LOCAL enable_bitmapscan = off")};

// Whether every row with words is found through the search index: the rows whose words start
// with any first letter the table holds, through the index, against the same rows read whole.
void checkWordsIndex(db::Database& db, const IndexedTable& t, QList<OfficeDamage>& found)
{
    QStringList columns;
    for (const char* c : t.columns)
        columns << QLatin1String(c);
    const QString vector =
        QStringLiteral("%1(%2)").arg(QLatin1String(t.function), columns.join(QStringLiteral(", ")));
    const QString table = QLatin1String(t.table);
    QString why;
    const QVariant firsts = db.scalar(
        QStringLiteral("SELECT string_agg(DISTINCT quote_literal(left(word, 1)) || ':*', ' | ') "
                       "FROM ts_stat('SELECT %1 FROM %2')")
            .arg(vector, table),
        {}, &why);
    if (!why.isEmpty()) {
        found.append(indexDamage(t, why));
        return;
    }
    if (firsts.isNull())
        return; // no words at all
    const QString count =
        QStringLiteral("SELECT count(*) FROM %1 WHERE %2 @@ to_tsquery('simple', %3)")
            .arg(table, vector, db.quote(firsts.toString()));
    const QVariant whole = scalarWith(db, kTableScans, count, &why);
    const QVariant indexed =
        whole.isValid() ? scalarWith(db, kBitmapScans, count, &why) : QVariant();
    if (!whole.isValid() || !indexed.isValid())
        found.append(indexDamage(t, why));
    else if (whole.toLongLong() != indexed.toLongLong())
        found.append(indexDamage(t, QStringLiteral("%1 of %2 rows are not found through it")
                                        .arg(whole.toLongLong() - indexed.toLongLong())
                                        .arg(whole.toLongLong())));
}

bool checkPostgres(db::Database& db, OfficeCheckDepth depth, QList<OfficeDamage>& found,
                   QString* error)
{
    struct Index {
        QString name, table, method, predicate;
        QStringList keys;
        bool usable = true;
    };
    QList<Index> indexes;
    {
        QString why;
        db::Recordset rs = db.query(
            QStringLiteral(
                "SELECT ic.relname AS ixname, tc.relname AS tname, am.amname AS method, "
                "(i.indisvalid AND i.indisready AND i.indislive) AS usable, "
                "coalesce(pg_get_expr(i.indpred, i.indrelid, true), '') AS predicate, "
                "(SELECT string_agg(pg_get_indexdef(i.indexrelid, k, true), ', ' ORDER BY k) "
                " FROM generate_series(1, i.indnkeyatts) k) AS keys "
                "FROM pg_index i JOIN pg_class ic ON ic.oid = i.indexrelid "
                "JOIN pg_class tc ON tc.oid = i.indrelid JOIN pg_am am ON am.oid = ic.relam "
                "WHERE tc.%1 ORDER BY tc.relname, ic.relname")
                .arg(kInSchema),
            &why);
        if (!rs.isOpen()) {
            if (error)
                *error = QStringLiteral("cannot check the store: %1").arg(why);
            return false;
        }
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            indexes.append(Index{rs.value(QStringLiteral("ixname")).toString(),
                                 rs.value(QStringLiteral("tname")).toString(),
                                 rs.value(QStringLiteral("method")).toString(),
                                 rs.value(QStringLiteral("predicate")).toString(),
                                 {rs.value(QStringLiteral("keys")).toString()},
                                 rs.value(QStringLiteral("usable")).toBool()});
    }
    auto searchIndexOf = [](const QString& index) -> const IndexedTable* {
        for (const IndexedTable& t : kIndexedTables)
            if (index.compare(QLatin1String(t.index), Qt::CaseInsensitive) == 0)
                return &t;
        return nullptr;
    };
    QList<const IndexedTable*> damagedIndex;
    for (const Index& ix : std::as_const(indexes)) {
        if (ix.usable)
            continue;
        if (const IndexedTable* t = searchIndexOf(ix.name)) {
            damagedIndex << t;
            found.append(indexDamage(*t, QStringLiteral("the server marks it unusable")));
        } else {
            found.append(
                OfficeDamage{QStringLiteral("the index %1 of the table %2 is damaged (the server "
                                            "marks it unusable)")
                                 .arg(ix.name, ix.table)});
        }
    }
    if (depth == OfficeCheckDepth::Quick)
        return true;
    for (const IndexedTable& t : kIndexedTables) {
        bool present = false;
        for (const Index& ix : std::as_const(indexes))
            present = present || ix.name.compare(QLatin1String(t.index), Qt::CaseInsensitive) == 0;
        if (!present) {
            damagedIndex << &t;
            found.append(indexMissing(t));
        }
    }

    // Every row of every table read whole, with its long values.
    QString why;
    db::Recordset tables = db.query(
        QStringLiteral("SELECT relname FROM pg_class WHERE relkind = 'r' AND %1 ORDER BY relname")
            .arg(kInSchema),
        &why);
    if (!tables.isOpen()) {
        if (error)
            *error = QStringLiteral("cannot check the store: %1").arg(why);
        return false;
    }
    QHash<QString, qint64> rows;
    QStringList unreadable;
    for (tables.moveFirst(); !tables.eof(); tables.moveNext()) {
        const QString table = tables.value(0).toString();
        const QVariant read = db.scalar(
            QStringLiteral("SELECT count(*), sum(length(t::text)) FROM %1 t").arg(ident(db, table)),
            {}, &why);
        if (!read.isValid()) {
            unreadable << table;
            found.append(
                OfficeDamage{QStringLiteral("the table %1 is damaged (%2)").arg(table, why)});
            continue;
        }
        rows.insert(table, read.toLongLong());
    }

    // Every B-tree index read through from end to end: as many entries as its table has rows.
    for (const Index& ix : std::as_const(indexes)) {
        if (!ix.usable || ix.method != QLatin1String("btree") || unreadable.contains(ix.table))
            continue;
        const QString where =
            ix.predicate.isEmpty() ? QString() : QStringLiteral(" WHERE ") + ix.predicate;
        const QString byIndex = QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1%2 ORDER BY "
                                               "%3) s")
                                    .arg(ident(db, ix.table), where, ix.keys.join(QString()));
        if (!planWith(db, kIndexScans, byIndex).contains(ix.name))
            continue; // the planner reads it otherwise: nothing to compare
        const QVariant expected =
            ix.predicate.isEmpty()
                ? QVariant(rows.value(ix.table))
                : scalarWith(
                      db, kTableScans,
                      QStringLiteral("SELECT count(*) FROM %1%2").arg(ident(db, ix.table), where),
                      &why);
        const QVariant got = scalarWith(db, kIndexScans, byIndex, &why);
        if (!got.isValid() || !expected.isValid())
            found.append(OfficeDamage{QStringLiteral("the index %1 of the table %2 is damaged (%3)")
                                          .arg(ix.name, ix.table, why)});
        else if (got.toLongLong() != expected.toLongLong())
            found.append(
                OfficeDamage{QStringLiteral("the index %1 of the table %2 is damaged (it holds %3 "
                                            "of %4 rows)")
                                 .arg(ix.name, ix.table)
                                 .arg(got.toLongLong())
                                 .arg(expected.toLongLong())});
    }

    for (const IndexedTable& t : kIndexedTables)
        if (!damagedIndex.contains(&t) && !unreadable.contains(QLatin1String(t.table)))
            checkWordsIndex(db, t, found);
    return true;
}

// Takes a damaged FTS table out of the file without reading its pages (dropping it would read
// them and fail), then leaves the pages behind for VACUUM to drop.
bool forgetSqliteIndex(db::Database& db, const IndexedTable& t, QString* error)
{
    const QString fts = QLatin1String(t.fts);
    const QString base = QStringLiteral("tr_%1_wrd").arg(QString::fromLatin1(t.table).toLower());
    QStringList script;
    for (const char* suffix : {"_ai", "_ad", "_au", "_bu"})
        script << QStringLiteral("DROP TRIGGER IF EXISTS %1%2").arg(base, QLatin1String(suffix));
    script << QStringLiteral("PRAGMA writable_schema = ON")
           << QStringLiteral(
                  "DELETE FROM sqlite_schema WHERE name = %1 OR substr(name, 1, %2) = %3")
                  .arg(db.quote(fts))
                  .arg(fts.size() + 1)
                  .arg(db.quote(fts + QLatin1Char('_')))
           << QStringLiteral("PRAGMA writable_schema = OFF")
           << QStringLiteral("DELETE FROM SrchIdxTable WHERE SrchIdxNam = %1").arg(db.quote(fts));
    if (!db.execScript(script, error))
        return false;
    // The connection's own copy of the schema still holds the table.
    return db.reopen(error);
}

bool rebuildSqlite(db::Database& db, QString* error)
{
    bool forgotten = false;
    for (const IndexedTable& t : kIndexedTables) {
        const QString fts = QLatin1String(t.fts);
        const Lines exists = readLines(
            db,
            QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?"),
            {fts});
        if (exists.rows.value(0) != QLatin1String("1"))
            continue; // made below
        const Lines rebuilt =
            readLines(db, QStringLiteral("INSERT INTO %1(%1) VALUES('rebuild')").arg(fts));
        const Lines checked =
            rebuilt.error.isEmpty()
                ? readLines(db,
                            QStringLiteral("INSERT INTO %1(%1, rank) VALUES('integrity-check', 1)")
                                .arg(fts))
                : rebuilt;
        if (checked.error.isEmpty())
            continue;
        if (!sqliteDamage(checked)) {
            if (error)
                *error = checked.error;
            return false;
        }
        if (!forgetSqliteIndex(db, t, error))
            return false;
        forgotten = true;
    }
    QString vacuumError;
    if (forgotten && !db.exec(QStringLiteral("VACUUM"), &vacuumError))
        vacuumError = QStringLiteral("the damaged pages of the old index stay in the file (%1)")
                          .arg(vacuumError);
    if (!db.execScript(searchIndexStatements(db), error))
        return false;
    db.forgetSchema();
    for (const IndexedTable& t : kIndexedTables)
        if (!db.exec(
                QStringLiteral("INSERT INTO %1(%1) VALUES('rebuild')").arg(QLatin1String(t.fts)),
                error))
            return false;
    if (!vacuumError.isEmpty()) {
        if (error)
            *error = vacuumError;
        return false;
    }
    return true;
}

bool rebuildPostgres(db::Database& db, QString* error)
{
    if (!db.execScript(searchIndexStatements(db), error))
        return false;
    for (const IndexedTable& t : kIndexedTables)
        if (!db.exec(QStringLiteral("REINDEX INDEX %1").arg(QLatin1String(t.index)), error))
            return false;
    return true;
}

} // namespace

bool checkStore(db::Database& db, OfficeCheckDepth depth, QList<OfficeDamage>& found,
                QString* error)
{
    return db.backend() == db::Backend::Postgres ? checkPostgres(db, depth, found, error)
                                                 : checkSqlite(db, depth, found, error);
}

bool rebuildSearchIndex(db::Database& db, QString* error)
{
    QString why;
    const bool ok =
        db.backend() == db::Backend::Postgres ? rebuildPostgres(db, &why) : rebuildSqlite(db, &why);
    if (!ok && error)
        *error = QStringLiteral("cannot rebuild the search index: %1").arg(why);
    return ok;
}

} // namespace tzsndmsg::store
