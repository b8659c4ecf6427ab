#pragma once

#include <QSqlDatabase>
#include <QString>

namespace tzsndmsg::db::detail {

// The password as libpq hashes it for the server (SCRAM-SHA-256 or whatever the server's
// password_encryption asks for), so that the clear text never travels in a statement or reaches
// the server's log. Empty when the connection is not PostgreSQL or libpq cannot hash it.
QString postgresHashedPassword(const QSqlDatabase& db, const QString& role,
                               const QString& password);

} // namespace tzsndmsg::db::detail
