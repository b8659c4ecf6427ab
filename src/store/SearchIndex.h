#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::store {

// The full-text index of the messages and of the persons' names, kept in step by the database
// itself. Part of the schema script: idempotent, and on a store made before the index it builds
// the index from the rows already there.
//
// SQLite: FTS5 tables over CMTable (subject, text, sender's login) and PATable (first and last
// name, initials), reading their text through views that spell the letters of letterFolds()
// plainly, filled by triggers on insert, update and delete; "rebuild" once for rows written
// before the index.
// PostgreSQL: GIN indexes on the tsvector of the same columns (an expression index, so the
// database keeps it with every write), through immutable functions that fold those letters,
// case and accents and split words as SQLite's tokenizer does.
//
// Addressees are not copied into the index: a To/Cc name is found through the persons' names
// and the addressee rows' own (BroChkPID, BroChkLinID) index, so a whole-office send writes its
// addressee rows as before.
QStringList searchIndexStatements(const db::Database& db);

// The statements that take away an index an earlier program built with another folding, so that
// the statements above build it again from the rows (none when there is no such index). Read in
// the set-up's transaction, after its lock. False, with the reason, when the store cannot be read.
bool searchIndexUpgrade(db::Database& db, QStringList* statements, QString* error = nullptr);

// The SQLite index's tables. Their names sort after CMTable and PATable, whose columns they
// repeat: a column's declared type is taken from the first table that names it.
inline constexpr const char* kMessageFtsTable = "CMWrdTable";
inline constexpr const char* kPersonFtsTable = "PAWrdTable";

// One indexed table: its FTS table (SQLite) or tsvector function and index (PostgreSQL), the
// columns whose words are indexed and the key.
struct IndexedTable {
    const char* table;
    const char* key;
    const char* fts;      // SQLite
    const char* function; // PostgreSQL
    const char* index;    // PostgreSQL
    const char* columns[3];
    const char* prefixes; // the word starts FTS5 keeps ready, by length
};

inline constexpr IndexedTable kIndexedTables[] = {
    {"CMTable",
     "cmID",
     kMessageFtsTable,
     "tz_cm_words",
     "ix_cm_words",
     {"CMSubjec", "cmDoc", "cmWho"},
     "2 3"},
    {"PATable",
     "pID",
     kPersonFtsTable,
     "tz_pa_words",
     "ix_pa_words",
     {"PFirNam", "PLasNam", "PDocIni"},
     "2"},
};

// Letters the index writes as plain letters before it folds case and accents, alike on both
// databases and in the words typed: those that do not decompose into a letter and its accents
// (ł, ß, ø, æ, đ, þ...), the Latin ligatures and the fullwidth letters and digits.
struct LetterFold {
    char32_t letter;
    QString plain; // lower case
};
const QVector<LetterFold>& letterFolds();

} // namespace tzsndmsg::store
