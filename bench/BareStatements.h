#pragma once

#include <QSqlRecord>
#include <QString>
#include <QVariantList>
#include <optional>
#include <vector>

namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::bench {

// Every value of a bare statement, as a client that shows the rows reads them, with the
// statement's columns in `record`; nothing (and a line on stderr) when the database refuses it.
std::optional<std::vector<QVariantList>> readBare(db::Database& db, const QString& sql,
                                                  const QVariantList& params,
                                                  QSqlRecord* record = nullptr);

// The fastest statements we found that return the same rows as the views' statements, written
// for both databases with bound values (person id, computer or login name). They are the
// baselines of the benchmarks and the reference of the equivalence tests; rows come in the
// list's order "CMDat, CMTim, CMID" (and the recipient row's key for a message listed twice).
//
// Inbox: the IN subquery is implied by the row's own recipient test, and the WHERE turns both
// outer joins into inner joins. Driven by the recipient rows (the two indexes of the OR), so
// its cost follows the employee's messages, not the store.
// forSqlite writes "+EVTable.EvTyp", which keeps SQLite (no statistics) from driving the join
// by the detail table; PostgreSQL's planner, which has them, misjudges it as rare and loops.
QString bareInboxStatement(bool msgCatOnly, bool history, bool forSqlite = true);
// Sent items of one login (cmWho = ?).
QString bareSentStatement(bool history, bool forSqlite = true);
// The recipients of a batch of messages (ids spliced as integers only), for the "To/ CC" cells.
QString bareRecipientsOf(const QString& idList);

// The rows of `rowsSql` (which lists cmID) with their "To/ CC" names grouped by the database in
// the same statement: toNames and ccNames, each joined by ", " in the order the recipient rows
// were written (group_concat over an ordered subquery on SQLite, string_agg on PostgreSQL).
QString withBareToCcNames(const QString& rowsSql, bool forSqlite);

} // namespace tzsndmsg::bench
