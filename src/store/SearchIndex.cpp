#include "SearchIndex.h"

#include "db/Database.h"

namespace tzsndmsg::store {

namespace {

using Indexed = IndexedTable;

QString joined(const Indexed& t, const char* prefix, const char* separator = ", ")
{
    QStringList out;
    for (const char* c : t.columns)
        out << QLatin1String(prefix) + QLatin1String(c);
    return out.join(QLatin1String(separator));
}

QStringList sqliteStatements()
{
    QStringList out;
    // Which tables were filled from the rows already stored, so that a second init does not
    // read the whole store again.
    out << QStringLiteral("CREATE TABLE IF NOT EXISTS SrchIdxTable (SrchIdxNam TEXT PRIMARY KEY)");
    for (const Indexed& t : kIndexedTables) {
        const QString fts = QLatin1String(t.fts);
        const QString table = QLatin1String(t.table);
        const QString key = QLatin1String(t.key);
        // remove_diacritics 2 folds every accent; detail=none keeps no word positions (the
        // search asks only which rows hold a word), columnsize=0 no lengths.
        out << QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS %1 USING fts5(%2, content='%3', "
                              "content_rowid='%4', tokenize='unicode61 remove_diacritics 2', "
                              "detail=none, columnsize=0, prefix='%5')")
                   .arg(fts, joined(t, ""), table, key, QLatin1String(t.prefixes));
        const QString oldRow =
            QStringLiteral("INSERT INTO %1(%1, rowid, %2) VALUES ('delete', old.%3, %4);")
                .arg(fts, joined(t, ""), key, joined(t, "old."));
        const QString newRow = QStringLiteral("INSERT INTO %1(rowid, %2) VALUES (new.%3, %4);")
                                   .arg(fts, joined(t, ""), key, joined(t, "new."));
        const QString base = QStringLiteral("tr_%1_wrd").arg(table.toLower());
        out << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ai AFTER INSERT ON %2 BEGIN %3 END")
                   .arg(base, table, newRow)
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ad AFTER DELETE ON %2 BEGIN %3 END")
                   .arg(base, table, oldRow)
            // Purging changes CMPurFla only and leaves the index alone.
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_au AFTER UPDATE OF %2, %3 ON %4 "
                              "BEGIN %5 %6 END")
                   .arg(base, key, joined(t, ""), table, oldRow, newRow)
            << QStringLiteral("INSERT INTO %1(%1) SELECT 'rebuild' WHERE NOT EXISTS "
                              "(SELECT 1 FROM SrchIdxTable WHERE SrchIdxNam='%1')")
                   .arg(fts)
            << QStringLiteral("INSERT INTO SrchIdxTable (SrchIdxNam) SELECT '%1' WHERE NOT EXISTS "
                              "(SELECT 1 FROM SrchIdxTable WHERE SrchIdxNam='%1')")
                   .arg(fts);
    }
    return out;
}

// Creates a function of the store's schema unless it is there. The bodies are SQL-standard
// (parsed when created), so an index that uses them does not depend on the search path of
// whoever writes or analyses the table later.
QString pgFunction(const QString& signature, const QString& definition)
{
    return QStringLiteral(
               "DO $do$ BEGIN IF to_regprocedure(quote_ident(current_schema()) || '.%1') "
               "IS NULL THEN %2; END IF; END $do$")
        .arg(signature, definition);
}

QStringList postgresStatements()
{
    QStringList out;
    // Case and accents folded as SQLite's tokenizer folds them: the text decomposed and its
    // combining marks (U+0300 to U+036F) dropped. Only a UTF8 database can decompose; another
    // encoding folds case only.
    out << QStringLiteral(
        "DO $do$ BEGIN IF to_regprocedure(quote_ident(current_schema()) || '.tz_fold(text)') IS "
        "NULL "
        "THEN IF current_setting('server_encoding') = 'UTF8' THEN "
        "CREATE FUNCTION tz_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE "
        "RETURN lower(regexp_replace(normalize(coalesce(t, ''), NFD), "
        "'[' || chr(768) || '-' || chr(879) || ']', '', 'g')); "
        "ELSE CREATE FUNCTION tz_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE "
        "RETURN lower(coalesce(t, '')); END IF; END IF; END $do$");
    // Words are runs of letters and digits, whatever else stands between them: "x-ray" and
    // "autoclave.pdf" are two words each, as in SQLite.
    out << pgFunction(
        QStringLiteral("tz_words(text)"),
        QStringLiteral("CREATE FUNCTION tz_words(t text) RETURNS text LANGUAGE sql "
                       "IMMUTABLE PARALLEL SAFE RETURN "
                       "btrim(regexp_replace(tz_fold(t), '[^[:alnum:]]+', ' ', 'g'))"));
    for (const Indexed& t : kIndexedTables) {
        QStringList params, parts;
        for (const char* c : t.columns) {
            params << QLatin1String(c) + QStringLiteral(" text");
            parts << QStringLiteral("coalesce(%1, '')").arg(QLatin1String(c));
        }
        // The "simple" configuration: no stemming and no stop words, so that the start of any
        // word (a name, a drug, an abbreviation) finds it.
        out << pgFunction(
            QStringLiteral("%1(text,text,text)").arg(QLatin1String(t.function)),
            QStringLiteral("CREATE FUNCTION %1(%2) RETURNS tsvector LANGUAGE sql "
                           "IMMUTABLE PARALLEL SAFE RETURN to_tsvector('simple'::regconfig, "
                           "tz_words(%3))")
                .arg(QLatin1String(t.function), params.join(QStringLiteral(", ")),
                     parts.join(QStringLiteral(" || ' ' || "))));
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin (%3(%4))")
                   .arg(QLatin1String(t.index), QLatin1String(t.table), QLatin1String(t.function),
                        joined(t, ""));
    }
    // A typed word as the start of an indexed word: 'word':*.
    out << pgFunction(QStringLiteral("tz_prefix_query(text)"),
                      QStringLiteral("CREATE FUNCTION tz_prefix_query(word text) RETURNS tsquery "
                                     "LANGUAGE sql IMMUTABLE PARALLEL SAFE RETURN "
                                     "to_tsquery('simple'::regconfig, '''' || "
                                     "replace(tz_words(word), '''', '''''') || ''':*')"));
    return out;
}

} // namespace

QStringList searchIndexStatements(const db::Database& database)
{
    return database.backend() == db::Backend::Postgres ? postgresStatements() : sqliteStatements();
}

} // namespace tzsndmsg::store
