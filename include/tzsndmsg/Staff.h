#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Keeping an office's people, logins, rights and computers: the persons (PATable), their
// employment records and departments (EBTable with an ESTable status row), the login list
// (PWMTable), the rights of a login (PWATable) and the computer list file (stp/Machines.Ini of
// the data folder), written as the lists, the picker and the rights check read them.
//
// Every path that changes staff (the commands, an import, a window) goes through the checks
// below, so the same entry is refused the same way everywhere. People are never deleted: they are
// released, and can be rehired.
//
// Threads: call on the thread that opened the connection; nothing here shows a window or a
// message box. Failures return false with a one-line reason in *error (when error is not null),
// and write nothing. A host reaches the database as it likes: its own connection
// (db::Database::open) or the services' (HostServices::personsConnection).
namespace tzsndmsg {

namespace db {
class Database;
}

// The longest text each field holds. Longer entries are refused, never cut.
constexpr int kMaxLastNameLength = 50;
constexpr int kMaxFirstNameLength = 50;
constexpr int kMaxInitialsLength = 8;
constexpr int kMaxDepartmentLength = 50;
constexpr int kMaxLoginLength = 20;
constexpr int kMaxComputerNameLength = 63;

// One person of the office.
struct StaffPerson {
    qint32 id = 0; // PATable.pID
    QString last;
    QString first;
    QString initials;
    QString department;            // the latest employment record's EBDep, trimmed; empty when none
    QString login;                 // the person's login (the first when several); empty when none
    std::optional<QDate> released; // pDatRel; none while the person works in the office
};

// The office's people of type employee, ordered by last name, first name and id; released
// people included.
bool listStaff(db::Database& database, QList<StaffPerson>& people, QString* error = nullptr);

// One person by id; false with "no person with id N" when there is none.
bool readStaffPerson(db::Database& database, qint32 id, StaffPerson& person,
                     QString* error = nullptr);

// The fields of a person to add or change; a field that is not set is kept (edit) or empty (add).
struct StaffPersonFields {
    std::optional<QString> last;
    std::optional<QString> first;
    std::optional<QString> initials;
    std::optional<QString> department; // a change adds an employment record; empty: none named
    // A login for the person: added when the person has none, renamed (with its rights) when the
    // person has another; an empty text removes the person's logins.
    std::optional<QString> login;
};

// --- checks, the same for every path ----------------------------------------------------------

enum class StaffField { LastName, FirstName, Initials, Department, Login, ComputerName };

// The text as it is stored: trimmed; logins and computer names also in upper case, as the login
// list and the picker compare them.
QString normalizedStaffText(StaffField field, const QString& text);

// Why the (normalized) text cannot be stored in the field, or empty when it can: required
// fields (last name, initials, login, computer name) not empty, within the field's length, no
// control characters; a computer name also without the characters the list file cannot hold.
// Only the text itself: uniqueness is checked against the office by the calls that write.
QString staffTextProblem(StaffField field, const QString& text);

// --- people -----------------------------------------------------------------------------------

// Adds a person (pTypEmp "1"), an employment record for the department when one is named, and
// the login when one is given, in one transaction. Refused: a missing last name or initials,
// initials of a current person, a login held already (whatever its case and blanks). The new
// id in *id.
bool addStaffPerson(db::Database& database, const StaffPersonFields& fields, qint32* id = nullptr,
                    QString* error = nullptr);

// Changes the fields that are set. A department other than the latest record's adds an
// employment record (with its "Active" status row), so the lists show the new one; a released
// person's department is not changed.
bool editStaffPerson(db::Database& database, qint32 id, const StaffPersonFields& fields,
                     QString* error = nullptr);

// Sets the release date (today when none is given) and ends the person's employment (its status
// rows become "Terminated", so the lists no longer show the department for this person); the
// person's logins stay but are no longer accepted. Releasing a released person changes the date.
bool releaseStaffPerson(db::Database& database, qint32 id, std::optional<QDate> date = {},
                        QString* error = nullptr);

// Clears the release date and starts a new employment record in the department the person
// left. Refused when the initials are now held by a current person.
bool rehireStaffPerson(db::Database& database, qint32 id, QString* error = nullptr);

// --- many changes at once ---------------------------------------------------------------------

struct StaffChange {
    enum class Kind { Add, Edit, Release, Rehire };
    Kind kind = Kind::Add;
    qint32 personId = 0;              // Edit, Release, Rehire
    StaffPersonFields fields;         // Add, Edit
    std::optional<QDate> releaseDate; // Release: today when none
};

// Why one change of a list cannot be made: its index in the list and the reason.
struct StaffProblem {
    int index = 0;
    QString text;
};

// Checks every change against the office and against the changes before it in the list
// (two new people with the same initials are both named), then, unless dryRun, makes all of them
// in one transaction. False when anything is wrong: problems then names every bad change and
// nothing is written; a failure of the database itself is in *error. The ids of added people,
// in the order of the Add changes, in *addedIds (0 in a dry run).
bool applyStaffChanges(db::Database& database, const QList<StaffChange>& changes,
                       QList<StaffProblem>& problems, bool dryRun = false,
                       QList<qint32>* addedIds = nullptr, QString* error = nullptr);

// --- logins and rights ------------------------------------------------------------------------

// The right to see and keep every login's events.
inline constexpr const char* kSupervisorRight = "Tim_Sup_Rig";
// The right to mark messages payroll-related.
inline constexpr const char* kPayrollMessagesRight = "Tim_Mar_Pay_Rel_Mes";

struct StaffLogin {
    QString name;          // as stored, trimmed
    qint32 personId = 0;   // 0: a login without a person (SUPERVISOR)
    QString person;        // "Last, First" of the person; empty when none
    bool released = false; // the person is released: the login is not accepted
    bool supervisor = false;
    bool payroll = false;
};

// The stored logins, ordered by name.
bool listLogins(db::Database& database, QList<StaffLogin>& logins, QString* error = nullptr);

// Adds a login for a current person. Refused: a name held already (whatever its case and
// blanks), a person that does not exist or is released.
bool addLogin(db::Database& database, const QString& name, qint32 personId,
              QString* error = nullptr);

// Removes the login and its rights; false with "no login NAME" when there is none.
bool removeLogin(db::Database& database, const QString& name, QString* error = nullptr);

// Grants (on) or withdraws (off) a right of a stored login, written as the rights check reads
// it: PWATable rows with PWAWriFla -1.
bool setLoginRight(db::Database& database, const QString& name, const QString& right, bool on,
                   QString* error = nullptr);

// --- computers --------------------------------------------------------------------------------

// The names of stp/Machines.Ini under the data folder as the picker lists them (upper case,
// blank lines skipped); empty when the file is missing.
bool listComputers(const QString& dataFolder, QStringList& names, QString* error = nullptr);

// Adds or removes a name. The file is rewritten whole under a lock of the folder's
// Machines.lock, through a new file renamed over it, keeping its line ends; a name listed
// already (add) or not listed (remove) is an error.
bool addComputer(const QString& dataFolder, const QString& name, QString* error = nullptr);
bool removeComputer(const QString& dataFolder, const QString& name, QString* error = nullptr);

} // namespace tzsndmsg
