#pragma once

#include <QString>
#include <QStringList>

namespace tzglob {

// The computer list file stp/Machines.Ini of a data folder, one name a line. Every edit, from the
// office setup or from the picker, is made under an exclusive lock of stp/Machines.lock (waiting
// at most 10 seconds for another workstation's edit) and written as a new file renamed over the
// old one, every line ended by carriage return and line feed as the list is read. A link or
// anything but a plain file in the list's place is refused, never followed.

// The names as the picker lists them: trimmed, upper case, blank lines skipped; none when the
// file is missing.
bool readComputerList(const QString& dataFolder, QStringList& names, QString* error = nullptr);

// Adds a name (already checked and in upper case); false when it is listed already.
bool addToComputerList(const QString& dataFolder, const QString& name, QString* error = nullptr);

// Removes every line of the name, compared trimmed and without regard to case. *removed says
// whether one was there; a missing file holds no name.
bool removeFromComputerList(const QString& dataFolder, const QString& name, bool* removed,
                            QString* error = nullptr);

} // namespace tzglob
