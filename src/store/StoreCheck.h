#pragma once

#include "tzsndmsg/Office.h"

#include <QList>
#include <QString>

namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::store {

// The store's own integrity check and the search index's, each damaged part named once. False
// (with the reason) only when the check itself could not run: the store is busy, read-only or
// unreachable.
bool checkStore(db::Database& db, OfficeCheckDepth depth, QList<OfficeDamage>& found,
                QString* error = nullptr);

// Builds the search index again from the messages and the persons, making whatever of it is
// missing. A SQLite index whose pages are damaged is taken out of the file and made anew.
bool rebuildSearchIndex(db::Database& db, QString* error = nullptr);

// What init makes in the data folder and is not there (or not of its kind).
void checkDataFolderLayout(const QString& folder, QList<OfficeDamage>& found);

} // namespace tzsndmsg::store
