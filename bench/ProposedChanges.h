#pragma once

#include <QString>
#include <QStringList>

namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::bench {

// Proposed for the schema: the detail table's type index (EvTyp, EvPID) draws SQLite's planner
// (which has no statistics) to "EvTyp=0", a condition every message row meets; the event
// list's only need is events by owner, which a partial index serves.
QStringList proposedIndexStatements();
QStringList originalIndexStatements();
bool applyIndexes(db::Database& db, const QStringList& statements, QString* error = nullptr);

} // namespace tzsndmsg::bench
