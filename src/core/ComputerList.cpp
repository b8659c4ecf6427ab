// The office's computers as the setup keeps them: checked here, written by the services' one
// writer of the list file, which the picker's delete uses too.
#include "services/ComputerListFile.h"
#include "tzsndmsg/Staff.h"

namespace tzsndmsg {

bool listComputers(const QString& dataFolder, QStringList& names, QString* error)
{
    return tzglob::readComputerList(dataFolder, names, error);
}

bool addComputer(const QString& dataFolder, const QString& name, QString* error)
{
    const QString wanted = normalizedStaffText(StaffField::ComputerName, name);
    if (const QString why = staffTextProblem(StaffField::ComputerName, wanted); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    return tzglob::addToComputerList(dataFolder, wanted, error);
}

bool removeComputer(const QString& dataFolder, const QString& name, QString* error)
{
    const QString wanted = normalizedStaffText(StaffField::ComputerName, name);
    bool removed = false;
    if (!tzglob::removeFromComputerList(dataFolder, wanted, &removed, error))
        return false;
    if (!removed && error)
        *error = QStringLiteral("the computer %1 is not listed").arg(wanted);
    return removed;
}

} // namespace tzsndmsg
