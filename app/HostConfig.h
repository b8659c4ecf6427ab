#pragma once

#include "tzsndmsg/WorkstationConfig.h"

#include <QCommandLineParser>
#include <QString>

namespace tzsndmsg::app {

// The workstation's configuration (defaults, the data folder's [Workstation], /etc/tzsndmsg.conf,
// ~/.config/tzsndmsg/tzsndmsg.conf, the environment) with the command's flags over it.
tzglob::WorkstationConfig resolvedConfig(const QCommandLineParser& parser);
tzglob::Config configFrom(const QCommandLineParser& parser);

// Adds --db, --data, --computer, --login and --help.
void addCommonOptions(QCommandLineParser& parser);

// The command being run, for its --help text.
void setCommandName(const QString& command);
// When --help was given: prints the command's options and ends the program with 0, as Qt's own
// help option does.
void showHelpIfAsked(const QCommandLineParser& parser);

} // namespace tzsndmsg::app
