#pragma once

#include "tzsndmsg/tzGlobal.h"

#include <QCommandLineParser>
#include <QString>

namespace tzsndmsg::app {

// Where a workstation keeps its office when no flag says otherwise.
QString defaultDataFolder();
QString defaultDatabaseUrl();
QString defaultHelpFolder();

// The services' configuration from the common flags, the workstation settings of the data
// folder ([Workstation] LoginName, ComputerName) and the defaults.
tzglob::Config configFrom(const QCommandLineParser& parser);

// Adds --db, --data, --computer, --login.
void addCommonOptions(QCommandLineParser& parser);

} // namespace tzsndmsg::app
