#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace tzsndmsg::db {

class Database;
enum class ColumnType;

// Converts one value text to what is stored for a column of the given declared type. Any thread.
// ok is false (with a reason) for a text that cannot be stored in a numeric column.
// An empty text stores NULL in non-text columns.
QVariant convertText(const QString& text, ColumnType type, bool* ok = nullptr,
                     QString* error = nullptr);

// Insert when key is 0 (the new key is returned in it), else update the row with that key.
// Values are bound as parameters. False with a reason on failure; nothing is written then.
// A host's HostServices::writeRecord can hand its rows here. On the connection's thread.
bool writeRecord(Database& db, const QString& table, const QString& keyColumn, qint64& key,
                 const QStringList& names, const QStringList& texts, QString* error = nullptr);

} // namespace tzsndmsg::db
