#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::core {

// A person as the staff lists name them.
struct StaffPerson {
    qint32 id = 0;
    QString lastName, firstName, initials; // trimmed; empty for null
    int index = 0;                         // its entry in the ids the list was read for
};

// The departments and persons of a list of employees.
struct StaffList {
    // Each employee's latest employment record's department, newest record first, each name
    // once (regardless of case), none empty; as stored.
    QStringList departments;
    // The employees still in the office, in the order of the ids.
    QVector<StaffPerson> persons;
};

// The staff list of the employees `ids` names, as the login list holds them: entry 0 and ids 0
// are not read. A statement the store refuses, or a column it cannot read, ends the list where
// it stands.
StaffList readStaffList(HostServices& services, const QVector<qint32>& ids);

// Current employees that have no login, by last and first name (as far as they could be read).
QVector<StaffPerson> readUnlinkedEmployees(HostServices& services);

// The initials (pDocIni, trimmed; empty when it has none) of each of these persons the persons
// table holds. Empty when the persons cannot be read.
QHash<qint32, QString> readPersonInitials(HostServices& services, const QList<qint32>& ids);

} // namespace tzsndmsg::core
