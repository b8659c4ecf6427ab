#pragma once

#include <QString>
#include <QStringList>

namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::store {

// The DDL of every table the component and its services use, for the connection's database,
// with the indexes the list queries need. Idempotent: tables and indexes that exist are kept.
QStringList schemaStatements(const db::Database& db);
// Creates the schema in one transaction; nothing is left half made on failure.
bool createSchema(db::Database& db, QString* error = nullptr);

// Creates the data folder's layout: TEMP/, stp/Machines.Ini (kept when present), ICO/SMALL/*.ico
// and icons/*.ico drawn by the program. False with a reason when the folder cannot be written.
bool initDataFolder(const QString& folder, QString* error = nullptr);

// Adds the demo office (employees, departments, logins, computers, settings, holidays,
// messages and events) to an empty store. Does nothing when the store already has logins.
bool seedDemoOffice(db::Database& db, const QString& dataFolder, QString* error = nullptr);

} // namespace tzsndmsg::store
