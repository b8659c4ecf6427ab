#pragma once

#include <QCommandLineParser>
#include <QStringList>

namespace tzsndmsg::app {

// Each command takes the arguments after its name and returns the exit code:
// 0 done, 1 the operation failed, 2 bad arguments or set-up.
int runInit(const QStringList& args);
int runMessages(const QStringList& args);
int runEvents(const QStringList& args);
int runHolidays(const QStringList& args);
int runSend(const QStringList& args);
int runAnnounce(const QStringList& args);
int runInbox(const QStringList& args);
int runConfig(const QStringList& args);
int runSearch(const QStringList& args);

} // namespace tzsndmsg::app
