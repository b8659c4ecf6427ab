#pragma once

#include <QString>

// A signed-in office (PostgreSQL only): every login of the login list is a database role of the
// server, member of the office's staff role (and of its supervisor role when the login holds the
// supervisor right); the office's tables belong to an owner role that no workstation uses, and
// row-level security keeps each role to what the views give its person. The server
// authenticates; a workstation connects as its person's role, and that role is its login.
//
// Role names: "<office>.<login in lower case>" for the logins, "<office>_owner", "<office>_staff"
// and "<office>_supervisor" for the office's own, where <office> is the database's name (and
// "_<schema>" when the office is not in the schema public), shortened with a hash when long.
//
// Threads: call on the thread that opened the connection; nothing here shows a window. Failures
// return false with a one-line reason in *error (when error is not null), and change nothing.
namespace tzsndmsg {

namespace db {
class Database;
}

// Whether the office on this connection is signed in (false on SQLite).
bool isSignedInOffice(db::Database& database, bool& signedIn, QString* error = nullptr);

// Signs the office in: the roles, the owner, the grants and the policies, and a role for every
// login (released people's roles cannot sign in). Idempotent; several workstations running it at
// once take turns. Needs a connection that may create roles (the server's administrator or the
// office's owner). Refused on SQLite: "a SQLite office cannot be signed in: ...".
bool secureOffice(db::Database& database, QString* error = nullptr);
// The same on a connection of its own to the office at this address.
bool secureOffice(const QString& databaseUrl, QString* error = nullptr);

// Opens the office again: the tables go to the connected role, the policies and the office's
// roles are dropped. Needs the office's owner (a member of the owner role) or the administrator.
bool unsecureOffice(db::Database& database, QString* error = nullptr);

// Brings the logins' roles in line with the login list and rights (created, renamed, dropped,
// able to sign in or not). Does nothing in an office that is not signed in. The staff setup
// calls it in its own transaction.
bool syncOfficeRoles(db::Database& database, QString* error = nullptr);

// The role of a login in this office; empty on SQLite or when the office is not signed in.
// False with the reason when the office cannot be read.
bool roleOfLogin(db::Database& database, const QString& login, QString& role,
                 QString* error = nullptr);

// Sets the password of a login's role, hashed by the client so that the clear text is neither
// sent in the statement nor logged by the server. A person sets their own; a supervisor or the
// administrator sets anyone's.
bool setLoginPassword(db::Database& database, const QString& login, const QString& password,
                      QString* error = nullptr);

// Who this connection is in a signed-in office.
struct SignedInIdentity {
    bool signedIn = false;    // the office is signed in
    QString role;             // the connected role
    QString login;            // its login, upper case; empty when the role is none of the logins
    bool unprotected = false; // the role is a superuser or bypasses row-level security
};
bool readSignedInIdentity(db::Database& database, SignedInIdentity& identity,
                          QString* error = nullptr);

} // namespace tzsndmsg
