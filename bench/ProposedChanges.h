#pragma once

#include <QString>
#include <QStringList>

namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::bench {

// The SQL adapter's rewrite on SQLite (db::rewriteRightJoins), named here for the benchmark's
// before/after runs: "(<joins>) right JOIN <table> ON <condition>" becomes
// "<table> LEFT JOIN (<joins>) ON <condition>", the same rows. SQLite 3.40 does not turn a
// RIGHT JOIN into an inner join when the WHERE rejects its null rows, so the inbox statement
// scanned every message of the store; as a LEFT JOIN the planner reduces it and starts from
// the employee's recipient rows. Left alone when the select list has a bare "*" (its column
// order would change) or when the statement has no such join.
QString rewriteRightJoins(const QString& statement);

// Proposed for the schema: the detail table's type index (EvTyp, EvPID) draws SQLite's planner
// (which has no statistics) to "EvTyp=0", a condition every message row meets; the event
// list's only need is events by owner, which a partial index serves.
QStringList proposedIndexStatements();
QStringList originalIndexStatements();
bool applyIndexes(db::Database& db, const QStringList& statements, QString* error = nullptr);

} // namespace tzsndmsg::bench
