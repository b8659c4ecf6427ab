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
// The tables the schema makes.
QStringList schemaTableNames();
// Creates the schema in one transaction; nothing is left half made on failure. Several
// workstations may run it at once: they take turns, and the later ones find it made.
bool createSchema(db::Database& db, QString* error = nullptr);

// The statement that makes the set-ups of several workstations take turns, run first in the
// set-up's transaction (empty where beginning the transaction is enough).
QString setUpLockStatement(const db::Database& db);
constexpr qint64 kSetUpLock = 0x747a736e646d7367; // "tzsndmsg"

// Creates the data folder's layout: TEMP/, stp/Machines.Ini (kept when present), ICO/SMALL/*.ico
// and icons/*.ico drawn by the program. False with a reason when the folder cannot be written.
bool initDataFolder(const QString& folder, QString* error = nullptr);

// Adds the demo office (employees, departments, logins, computers, settings, holidays,
// messages and events) to an empty store, in one transaction. Does nothing when the store
// holds the demo already, also when another workstation added it a moment before; false with
// the reason, adding nothing, when the store has people or logins of its own.
bool seedDemoOffice(db::Database& db, const QString& dataFolder, QString* error = nullptr);

} // namespace tzsndmsg::store
