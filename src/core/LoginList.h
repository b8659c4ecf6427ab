#pragma once

#include <QStringList>
#include <QVector>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::core {

// The office's logins as PWMTable holds them: entry 0 empty, then one entry per login (trimmed
// upper-case name, person id or 0), in the table's order; "SUPERVISOR" is always in it. A row
// that cannot be read stays as far as it was read; without a persons connection only
// "SUPERVISOR" is listed.
struct LoginList {
    QStringList names{QString()};
    QVector<qint32> employeeIds{0};
    QString error; // why the login table could not be read; the list then holds what was read
};

LoginList readLoginList(HostServices& services);

// Employee 0, who sees every message and event of the office, is a login that is in the login
// list without a person (SUPERVISOR). A login that is not in the list, or a blank one, is nobody:
// it must never be given that view. The names and ids as LoginList holds them.
bool IsWholeOfficeLogin(const QStringList& loginNames, const QVector<qint32>& loginEmployeeIds,
                        const QString& login);

// True when the person has left the office (PATable.pDatRel is set). Person 0 and a person
// the table does not hold have not; neither has anyone when the persons cannot be read (error
// then holds the reason).
bool IsReleasedPerson(HostServices& services, qint32 personId, QString* error = nullptr);

// A login as every view, search, confirmation list and watcher takes it: the login list, and
// the person the services give the login (employeeOfLogin). A login whose person has left the
// office is nobody: no person, and not the whole office either.
struct ViewLogin {
    LoginList list;
    QString name;          // trimmed, upper case
    qint32 employeeId = 0; // 0 for a login without a person, an unknown and a released one
    bool listed = false;   // in the login list
    bool released = false; // listed, and its person has left the office
    QString error;         // why the logins or the person could not be read: nothing is known
};
ViewLogin ResolveViewLogin(HostServices& services, const QString& loginName);

// Why the login's views may not be read: the logins could not be read (the database's reason
// first: a login is never called unknown for a store that did not answer), a login the office
// does not know, or one whose person has left the office; empty when they may. Every view,
// search and confirmation list refuses with it.
QString viewLoginRefusal(const ViewLogin& login);

} // namespace tzsndmsg::core
