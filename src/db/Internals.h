#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <tzsndmsg/db/Database.h>
#include <tzsndmsg/db/SqlDialect.h>

// The database layer's own, not installed: what the component's lower layers, the tests and the
// benchmarks reach below a Database. A host has no use for any of it.
namespace tzsndmsg::db {

struct Internals {
    // The Qt connection under a Database.
    static QSqlDatabase handle(const Database& db) { return db.handle(); }
    // A statement prepared once and kept for the life of the connection (dropped with the
    // schema), so that the record writer's inserts and updates run again without being parsed
    // again. Null with a reason when it cannot be prepared. Callers finish() it after each run.
    static QSqlQuery* preparedStatement(Database& db, const QString& statement,
                                        QString* error = nullptr)
    {
        return db.preparedStatement(statement, error);
    }
    // A statement of this connection prepared with preparedStatement, run under the
    // connection's time limit; false with the reason.
    static bool execPrepared(Database& db, QSqlQuery& query, QString* error = nullptr)
    {
        return db.execPrepared(query, error);
    }
    // Statements run by every connection of the process since it started (the office watcher's
    // cost is counted with it). Any thread.
    static quint64 statementsRun() { return Database::statementsRun(); }
    // Those run on the calling thread (a watcher counts its own beside others of the process).
    static quint64 statementsRunOnThisThread() { return Database::statementsRunOnThisThread(); }
};

// Inserts many rows of the same columns, in the order given (their keys follow that order),
// a few multi-row statements instead of one statement a row; every text converted as
// writeRecord converts it. Nothing is written when a text cannot be stored (run it inside a
// transaction: a statement the database rejects midway leaves the rows before it). False with
// the reason, in writeRecord's words.
bool insertRecords(Database& db, const QString& table, const QString& keyColumn,
                   const QStringList& names, const QList<QStringList>& rows,
                   QString* error = nullptr);

// ADO-style data-type codes, as the null-safe readers use them.
int adoTypeCode(ColumnType type);

// SQLite does not reduce "(<joins>) right JOIN <table> ON <c>" to an inner join when the WHERE
// rejects its null rows; the same rows as "<table> LEFT JOIN (<joins>) ON <c>". The adapter
// applies it on SQLite.
QString rewriteRightJoins(const QString& statement);

} // namespace tzsndmsg::db
