#pragma once

#include <QList>
#include <QString>

// Setting up an office: the database's schema and the data folder. A host calls createOffice
// once before it opens its services (tzglob::tzGlobal::open refuses a database without the
// schema); calling it again on every start is safe and brings a store of an older version up to
// date.
//
// Threads: any thread, one call at a time per database; nothing here shows a window or a message
// box. Failures return false with a one-line reason in *error (when error is not null).
namespace tzsndmsg {

namespace db {
class Database;
}

// Creates or completes the office at the database address (sqlite:///abs/path.db, where the
// file's folder is made when missing, or postgresql://user@host:port/dbname) and the data folder:
// createDataFolder, then createOfficeSchema. Tables, indexes and files that exist are kept.
bool createOffice(const QString& databaseUrl, const QString& dataFolder, QString* error = nullptr);

// The tables of the component, of the suite tables it reads and writes and of the services, with
// the indexes the lists need, in one transaction: nothing is left half made on failure. Tables
// and indexes that exist are kept, missing ones are added. The reason reads "cannot create the
// schema: ..." on failure.
bool createOfficeSchema(db::Database& database, QString* error = nullptr);

// The data folder's layout: TEMP/ (station signal files), stp/Machines.Ini (the computer list,
// kept when present), ICO/SMALL/ (toolbar icons) and icons/ (holiday icons). False when the
// folder cannot be made or written.
bool createDataFolder(const QString& dataFolder, QString* error = nullptr);

// How far a check reads. Quick: the store's pages and their links (SQLite's quick_check; on
// PostgreSQL the indexes the server marks unusable), about one read of the file. Full: also every
// row against its indexes, and the search index's words against the messages and names.
enum class OfficeCheckDepth { Quick, Full };

// One damaged part of an office, named: "the table ApTable is damaged (...)", "the search
// index is damaged (...): run tzsndmsg check --repair-index", "the data folder lacks
// stp/Machines.Ini (...)". searchIndex: repairSearchIndex mends it.
struct OfficeDamage {
    QString text;
    bool searchIndex = false;
};

// Checks the office's store and, unless dataFolder is empty, the data folder's layout; damage
// holds what is damaged, nothing when the office is sound. Reads only. False, with the reason,
// when the check could not run: the database cannot be opened, is busy or unreachable (a SQLite
// file whose header is damaged cannot be opened either: the reason then says "the store is
// damaged").
bool checkOffice(const QString& databaseUrl, const QString& dataFolder, QList<OfficeDamage>& damage,
                 OfficeCheckDepth depth = OfficeCheckDepth::Full, QString* error = nullptr);

// Builds the search index again from the stored messages and persons (made when missing).
bool repairSearchIndex(const QString& databaseUrl, QString* error = nullptr);

// Whether a reason given by this library says that the store is damaged, as opposed to missing,
// busy or unreachable.
bool isStoreDamage(const QString& reason);

// How this workstation's connection to a PostgreSQL office crosses the network.
struct ConnectionSecurity {
    bool encrypted = false;
    QString protocol;             // "TLSv1.3"; empty when not encrypted
    QString mode;                 // libpq's sslmode in force: the address's, PGSSLMODE or "prefer"
    bool serverVerified = false;  // the server's certificate checked against sslrootcert
    bool hostNameChecked = false; // and its name against the address's host (verify-full)
    bool clientCertificate = false; // this side showed a certificate of its own
    QString describe() const;       // one line, as `tzsndmsg config` prints it
};

// Connects to the office as the workstation would and reads how the connection is protected.
// False with the reason when the address is not a PostgreSQL one or the server cannot be reached.
bool readConnectionSecurity(const QString& databaseUrl, ConnectionSecurity& security,
                            QString* error = nullptr);

// What lets messages cross the network in clear at this server: TLS off, or authentication lines
// that admit addresses beyond this machine without hostssl. Each a sentence; none when nothing
// was found. Reading the server's authentication lines needs the right to (a superuser or a role
// granted pg_hba_file_rules); without it the sentence says that they could not be read.
QStringList plainConnectionRisks(db::Database& database);

// A demo office for a trial: employees, departments, logins (ANNA at the front desk, MARIA the
// office manager with the supervisor right), computers, holidays, messages and events. Does
// nothing when the store already has logins. The schema and data folder must exist.
bool addDemoOffice(db::Database& database, const QString& dataFolder, QString* error = nullptr);

// The demo office added to the office at this address, on a connection of its own; the data
// folder's settings then name this workstation the demo's front desk (ANNA at FRONTDESK), unless
// they name a login or a computer already.
bool addDemoOffice(const QString& databaseUrl, const QString& dataFolder, QString* error = nullptr);

} // namespace tzsndmsg
