#include "SearchIndex.h"

#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

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

// The row that says the index was built with this folding of letters; an index without it is
// built again (searchIndexUpgrade).
constexpr const char* kFoldMark = "letters folded 2";

// PostgreSQL's folding function says by its comment how it was made. This one folds as
// kFoldMark says and is a call of its own that the planner weighs: inlined, its thirty-odd
// string functions looked cheap, and a word in most messages ("p") was worked out for every row
// (8 s on 100,000 messages) instead of read from the index (60 ms).
constexpr const char* kPgFoldMark = "letters folded 2, weighed";

// A SQLite expression stays within the parser's depth with this many nested replace() calls.
constexpr qsizetype kFoldsPerView = 24;

QString sqlText(const QString& text)
{
    return u'\'' + QString(text).replace(u'\'', "''") + u'\'';
}

// Text of any character beyond ASCII (the folds only ever apply to such text).
const QString kBeyondAscii = QStringLiteral("('*[^' || char(1) || '-' || char(127) || ']*')");

QString viewName(const Indexed& t, int step)
{
    const QString base = QLatin1String(t.fts).chopped(5); // CMWrd, PAWrd
    return step > 0 ? base + QStringLiteral("Fold%1").arg(step) : base + QStringLiteral("Text");
}

// The views the index reads its text through: a chain of views, each spelling some of the
// letters plainly, and the last one taking the plain spelling only where a row has a letter
// beyond ASCII (most rows have none, and the chain is not run for them).
QStringList sqliteTextViews(const Indexed& t)
{
    QStringList out;
    const QVector<LetterFold>& folds = letterFolds();
    int step = 0;
    for (qsizetype from = 0; from < folds.size(); from += kFoldsPerView) {
        QStringList columns{QLatin1String(t.key)};
        for (const char* c : t.columns) {
            QString e = QLatin1String(c);
            for (qsizetype i = from; i < std::min(folds.size(), from + kFoldsPerView); ++i)
                e = QStringLiteral("replace(%1, %2, %3)")
                        .arg(e, sqlText(QString::fromUcs4(&folds.at(i).letter, 1)),
                             sqlText(folds.at(i).plain));
            columns << e + QStringLiteral(" AS ") + QLatin1String(c);
        }
        const QString source = step == 0 ? QLatin1String(t.table) : viewName(t, step);
        ++step;
        out << QStringLiteral("CREATE VIEW IF NOT EXISTS %1 AS SELECT %2 FROM %3")
                   .arg(viewName(t, step), columns.join(QStringLiteral(", ")), source);
    }
    QStringList columns{QStringLiteral("tzT.") + QLatin1String(t.key) + QStringLiteral(" AS ") +
                        QLatin1String(t.key)};
    for (const char* c : t.columns)
        columns << QStringLiteral("CASE WHEN tzT.%1 GLOB %2 THEN tzF.%1 ELSE tzT.%1 END AS %1")
                       .arg(QLatin1String(c), kBeyondAscii);
    out << QStringLiteral("CREATE VIEW IF NOT EXISTS %1 AS SELECT %2 FROM %3 tzT JOIN %4 tzF ON "
                          "tzF.%5 = tzT.%5")
               .arg(viewName(t, 0), columns.join(QStringLiteral(", ")), QLatin1String(t.table),
                    viewName(t, step), QLatin1String(t.key));
    return out;
}

QStringList sqliteStatements()
{
    QStringList out;
    // Which tables were filled from the rows already stored, so that a second init does not
    // read the whole store again, and the folding they were filled with.
    out << QStringLiteral("CREATE TABLE IF NOT EXISTS SrchIdxTable (SrchIdxNam TEXT PRIMARY KEY)");
    for (const Indexed& t : kIndexedTables) {
        const QString fts = QLatin1String(t.fts);
        const QString table = QLatin1String(t.table);
        const QString key = QLatin1String(t.key);
        out << sqliteTextViews(t);
        const QString text = viewName(t, 0);
        // remove_diacritics 2 folds every accent; detail=none keeps no word positions (the
        // search asks only which rows hold a word), columnsize=0 no lengths.
        out << QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS %1 USING fts5(%2, content='%3', "
                              "content_rowid='%4', tokenize='unicode61 remove_diacritics 2', "
                              "detail=none, columnsize=0, prefix='%5')")
                   .arg(fts, joined(t, ""), text, key, QLatin1String(t.prefixes));
        // A row's entries are removed with the text they were made from: read before the row
        // changes or goes.
        const QString oldRow = QStringLiteral("INSERT INTO %1(%1, rowid, %2) SELECT 'delete', %3, "
                                              "%2 FROM %4 WHERE %3 = old.%3;")
                                   .arg(fts, joined(t, ""), key, text);
        const QString newRow =
            QStringLiteral("INSERT INTO %1(rowid, %2) SELECT %3, %2 FROM %4 WHERE %3 = new.%3;")
                .arg(fts, joined(t, ""), key, text);
        const QString base = QStringLiteral("tr_%1_wrd").arg(table.toLower());
        // The delete trigger keeps the name it had when it ran after the delete, so that an
        // earlier program's init finds it there and adds none of its own.
        out << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ai AFTER INSERT ON %2 BEGIN %3 END")
                   .arg(base, table, newRow)
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ad BEFORE DELETE ON %2 BEGIN %3 END")
                   .arg(base, table, oldRow)
            // Purging changes CMPurFla only and leaves the index alone.
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_bu BEFORE UPDATE OF %2, %3 ON %4 "
                              "BEGIN %5 END")
                   .arg(base, key, joined(t, ""), table, oldRow)
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_au AFTER UPDATE OF %2, %3 ON %4 "
                              "BEGIN %5 END")
                   .arg(base, key, joined(t, ""), table, newRow)
            << QStringLiteral("INSERT INTO %1(%1) SELECT 'rebuild' WHERE NOT EXISTS "
                              "(SELECT 1 FROM SrchIdxTable WHERE SrchIdxNam='%1')")
                   .arg(fts)
            << QStringLiteral("INSERT INTO SrchIdxTable (SrchIdxNam) SELECT '%1' WHERE NOT EXISTS "
                              "(SELECT 1 FROM SrchIdxTable WHERE SrchIdxNam='%1')")
                   .arg(fts);
    }
    out << QStringLiteral("INSERT INTO SrchIdxTable (SrchIdxNam) SELECT '%1' WHERE NOT EXISTS "
                          "(SELECT 1 FROM SrchIdxTable WHERE SrchIdxNam='%1')")
               .arg(QLatin1String(kFoldMark));
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

// A PostgreSQL text literal of the characters given, as Unicode escapes (the statement stays
// ASCII whatever the client's encoding).
QString pgUnicodeLiteral(const QString& text)
{
    QString out = QStringLiteral("U&'");
    for (char32_t c : text.toUcs4())
        out += c < 0x80 && c != u'\\' && c != u'\''
                   ? QString(QChar(char16_t(c)))
                   : (c <= 0xFFFF ? QStringLiteral("\\%1").arg(uint(c), 4, 16, QChar(u'0'))
                                  : QStringLiteral("\\+%1").arg(uint(c), 6, 16, QChar(u'0')));
    return out + u'\'';
}

// The expression that spells the letters of letterFolds() in `text` plainly: translate() for
// those that become one letter, replace() for the others.
QString pgPlainLetters(const QString& text)
{
    QString from, to;
    QVector<const LetterFold*> longer;
    for (const LetterFold& fold : letterFolds()) {
        if (fold.plain.size() == 1) {
            from += QString::fromUcs4(&fold.letter, 1);
            to += fold.plain;
        } else {
            longer << &fold;
        }
    }
    QString e = QStringLiteral("translate(%1, %2, '%3')").arg(text, pgUnicodeLiteral(from), to);
    for (const LetterFold* fold : std::as_const(longer))
        e = QStringLiteral("replace(%1, %2, '%3')")
                .arg(e, pgUnicodeLiteral(QString::fromUcs4(&fold->letter, 1)), fold->plain);
    return e;
}

QStringList postgresStatements()
{
    QStringList out;
    // The letters of letterFolds() spelled plainly, then case and accents folded as SQLite's
    // tokenizer folds them: the text decomposed and its combining marks (U+0300 to U+036F)
    // dropped. Only a UTF8 database can decompose; another encoding folds case only. A store
    // whose function folds otherwise (an earlier program's) gets this one and its indexes built
    // again; the comment names the folding. One that folds alike and was only inlined keeps its
    // indexes: they hold the same words. STRICT keeps the server from inlining the body (its
    // coalesce is not strict), so that the COST stands; the calls never pass a null. A login
    // that does not own them leaves them as they are (the owner's next init folds anew) rather
    // than fail the set-up.
    out << QStringLiteral(
               "DO $do$ DECLARE was text := coalesce(obj_description(to_regprocedure("
               "quote_ident(current_schema()) || '.tz_fold(text)'), 'pg_proc'), ''); "
               "BEGIN IF was <> '%1' THEN "
               "BEGIN "
               "IF current_setting('server_encoding') = 'UTF8' THEN "
               "EXECUTE $f$CREATE OR REPLACE FUNCTION tz_fold(t text) RETURNS text LANGUAGE sql "
               "IMMUTABLE STRICT PARALLEL SAFE COST 1000 RETURN lower(regexp_replace(normalize(%2, "
               "NFD), '[' || chr(768) || '-' || chr(879) || ']', '', 'g'))$f$; "
               "ELSE EXECUTE $f$CREATE OR REPLACE FUNCTION tz_fold(t text) RETURNS text "
               "LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE COST 1000 RETURN "
               "lower(coalesce(t, ''))$f$; END IF; "
               "COMMENT ON FUNCTION tz_fold(text) IS '%1'; "
               "IF was <> '%3' THEN "
               "IF to_regclass(quote_ident(current_schema()) || '.ix_cm_words') IS NOT NULL "
               "THEN REINDEX INDEX ix_cm_words; END IF; "
               "IF to_regclass(quote_ident(current_schema()) || '.ix_pa_words') IS NOT NULL "
               "THEN REINDEX INDEX ix_pa_words; END IF; END IF; "
               "EXCEPTION WHEN insufficient_privilege THEN NULL; END; END IF; END $do$")
               .arg(QLatin1String(kPgFoldMark), pgPlainLetters(QStringLiteral("coalesce(t, '')")),
                    QLatin1String(kFoldMark));
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

bool searchIndexUpgrade(db::Database& database, QStringList* statements, QString* error)
{
    statements->clear();
    // PostgreSQL replaces its folding function in the statements themselves.
    if (database.backend() != db::Backend::Sqlite)
        return true;
    const QVariant built =
        database.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN (?, ?)"),
                        {QLatin1String(kMessageFtsTable), QLatin1String(kPersonFtsTable)}, error);
    if (!built.isValid())
        return false;
    if (built.toLongLong() == 0)
        return true;
    const QVariant listed =
        database.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND "
                                       "name='SrchIdxTable'"),
                        {}, error);
    if (!listed.isValid())
        return false;
    if (listed.toLongLong() > 0) {
        const QVariant folded =
            database.scalar(QStringLiteral("SELECT count(*) FROM SrchIdxTable WHERE SrchIdxNam=?"),
                            {QLatin1String(kFoldMark)}, error);
        if (!folded.isValid())
            return false;
        if (folded.toLongLong() > 0)
            return true;
    }
    // Everything of the index goes, whatever an earlier program made it of; the index's
    // statements then build it again from the rows.
    db::Reader objects = database.read(
        QStringLiteral("SELECT type, name FROM sqlite_master WHERE (type='trigger' AND tbl_name "
                       "IN ('CMTable', 'PATable') AND name LIKE 'tr!_%!_wrd!_%' ESCAPE '!') OR "
                       "(type='view' AND (name LIKE 'CMWrd%' OR name LIKE 'PAWrd%'))"),
        error);
    if (!objects.isValid())
        return false;
    while (objects.next())
        *statements << QStringLiteral("DROP %1 IF EXISTS %2")
                           .arg(objects.value(0).toString().toUpper(), objects.value(1).toString());
    *statements << QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(kMessageFtsTable))
                << QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(kPersonFtsTable))
                << QStringLiteral("DROP TABLE IF EXISTS SrchIdxTable");
    return true;
}

const QVector<LetterFold>& letterFolds()
{
    static const QVector<LetterFold> folds = [] {
        QVector<LetterFold> out{
            {U'Ł', QStringLiteral("l")},   {U'ł', QStringLiteral("l")},
            {U'Ŀ', QStringLiteral("l")},   {U'ŀ', QStringLiteral("l")},
            {U'ß', QStringLiteral("ss")},  {U'ẞ', QStringLiteral("ss")},
            {U'ſ', QStringLiteral("s")},   {U'Ø', QStringLiteral("o")},
            {U'ø', QStringLiteral("o")},   {U'Ǿ', QStringLiteral("o")},
            {U'ǿ', QStringLiteral("o")},   {U'Æ', QStringLiteral("ae")},
            {U'æ', QStringLiteral("ae")},  {U'Ǽ', QStringLiteral("ae")},
            {U'ǽ', QStringLiteral("ae")},  {U'Ǣ', QStringLiteral("ae")},
            {U'ǣ', QStringLiteral("ae")},  {U'Œ', QStringLiteral("oe")},
            {U'œ', QStringLiteral("oe")},  {U'Đ', QStringLiteral("d")},
            {U'đ', QStringLiteral("d")},   {U'Ð', QStringLiteral("d")},
            {U'ð', QStringLiteral("d")},   {U'Þ', QStringLiteral("th")},
            {U'þ', QStringLiteral("th")},  {U'Ħ', QStringLiteral("h")},
            {U'ħ', QStringLiteral("h")},   {U'ı', QStringLiteral("i")},
            {U'Ŧ', QStringLiteral("t")},   {U'ŧ', QStringLiteral("t")},
            {U'Ĳ', QStringLiteral("ij")},  {U'ĳ', QStringLiteral("ij")},
            {U'ﬀ', QStringLiteral("ff")},  {U'ﬁ', QStringLiteral("fi")},
            {U'ﬂ', QStringLiteral("fl")},  {U'ﬃ', QStringLiteral("ffi")},
            {U'ﬄ', QStringLiteral("ffl")}, {U'ﬅ', QStringLiteral("st")},
            {U'ﬆ', QStringLiteral("st")},
        };
        for (char16_t i = 0; i < 10; ++i)
            out.append({char32_t(0xFF10 + i), QString(QChar(u'0' + i))});
        for (char16_t i = 0; i < 26; ++i) {
            out.append({char32_t(0xFF21 + i), QString(QChar(u'a' + i))});
            out.append({char32_t(0xFF41 + i), QString(QChar(u'a' + i))});
        }
        return out;
    }();
    return folds;
}

} // namespace tzsndmsg::store
