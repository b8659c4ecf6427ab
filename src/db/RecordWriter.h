#pragma once
// Moved to the public headers; kept so that includes of the old path still compile.
#include "tzsndmsg/db/RecordWriter.h"

namespace tzsndmsg::db {

// Inserts many rows of the same columns, in the order given (their keys follow that order),
// a few multi-row statements instead of one statement a row; every text converted as
// writeRecord converts it. Nothing is written when a text cannot be stored (run it inside a
// transaction: a statement the database rejects midway leaves the rows before it). False with
// the reason, in writeRecord's words.
bool insertRecords(Database& db, const QString& table, const QString& keyColumn,
                   const QStringList& names, const QList<QStringList>& rows,
                   QString* error = nullptr);

} // namespace tzsndmsg::db
