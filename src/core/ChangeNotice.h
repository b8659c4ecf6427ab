#pragma once

#include <QString>

namespace tzsndmsg::db {
class Database;
}

// On PostgreSQL a save and a confirmation tell the office's watchers at once, with the message
// id, on a channel of the store's schema (offices that share a server do not hear each other).
namespace tzsndmsg::core {

// The statement that gives the channel of the connection's schema (PostgreSQL).
QString changeChannelStatement();

// Sends the message id on the channel; does nothing on SQLite, whose watchers read the station
// signal files. Run after the commit: a notice that fails never undoes what was written.
bool notifyChange(db::Database& store, qint64 cmId, QString* error = nullptr);

} // namespace tzsndmsg::core
