#pragma once

#include "tzsndmsg/WorkstationConfig.h"

#include <QCommandLineParser>
#include <QString>

namespace tzsndmsg::app {

// The workstation's configuration (defaults, the data folder's [Workstation], /etc/tzsndmsg.conf,
// ~/.config/tzsndmsg/tzsndmsg.conf, the environment) with the command's flags over it.
// What is wrong in the files is told on stderr, each once (unless tellWarnings is false); a
// configuration path that is no regular file ends the program with 2 and one line.
tzglob::WorkstationConfig resolvedConfig(const QCommandLineParser& parser,
                                         bool tellWarnings = true);
tzglob::Config configFrom(const QCommandLineParser& parser);
// " (set in FILE)" for a value that came from a file or the environment, for the line that
// refuses it; empty for a default or a flag.
QString setIn(const tzglob::ConfigValue& value);

// Adds --db, --data, --computer, --login and --help.
void addCommonOptions(QCommandLineParser& parser);

// The command being run, for its --help text.
void setCommandName(const QString& command);
// When --help was given: prints the command's options and ends the program with 0, as Qt's own
// help option does.
void showHelpIfAsked(const QCommandLineParser& parser);

} // namespace tzsndmsg::app
