#pragma once

#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>
#include <memory>

namespace tzsndmsg {
class HostServices;
}
namespace tzsndmsg::db {
class Database;
}
namespace tzglob {
class tzGlobal;
}

namespace tzsndmsg::app {

// The program's standard output, and a failure told as one line on stderr; gives the exit code.
QTextStream& out();
int fail(int code, const QString& message);

// Each command takes the arguments after its name and returns the exit code:
// 0 done, 1 the operation failed, 2 bad arguments or set-up.
int runInit(const QStringList& args);
int runSecure(const QStringList& args);
int runMessages(const QStringList& args);
int runEvents(const QStringList& args);
int runHolidays(const QStringList& args);
int runSetup(const QStringList& args);
int runSend(const QStringList& args);
int runAnnounce(const QStringList& args);
int runInbox(const QStringList& args);
int runConfig(const QStringList& args);
// The watcher makes its own application object (no display): it runs before the program's.
int runWatch(int argc, char** argv, const QStringList& args);
int runTray(const QStringList& args);
int runSearch(const QStringList& args);
int runConfirmations(const QStringList& args);
int runConfirm(const QStringList& args);
int runSnooze(const QStringList& args);
// The office's people, logins with their rights, and computers.
int runStaff(const QStringList& args);
int runLogins(const QStringList& args);
int runComputers(const QStringList& args);

enum class DataUse { Write, ReadOnly };
// The services of this workstation for its login, open; nullptr (a line printed) when the set-up
// is not usable or the login is not one of the office's: whoever is not in the login list is
// nobody here, not the whole office.
std::shared_ptr<tzglob::tzGlobal> openServices(const QCommandLineParser& parser,
                                               DataUse use = DataUse::Write);

// The exit code after openServices failed: 1 when the store is damaged, else 2.
int setUpExitCode();
// The reason last told on stderr, for a program that also shows it.
QString lastFailure();

// The office's database for the commands that keep its people and computers; null (a line
// printed) when it cannot be opened or holds no office.
std::shared_ptr<db::Database> openOfficeDatabase(const QCommandLineParser& parser);

// The store's integrity, the search index's and the data folder's layout.
int runCheck(const QStringList& args);

// import staff FILE.csv [--dry-run] and export staff FILE.csv.
int runImport(const QStringList& args);
int runExport(const QStringList& args);

// The sent items' "Confirmed" column: a cell per message id ("3 of 5 confirmed") and whether the
// message still waits for a confirmation it asked for. False with the reason when the store
// cannot be read.
bool confirmationCells(HostServices& services, const QList<qint32>& messageIds, QStringList& cells,
                       QList<bool>& awaited, QString* error);

} // namespace tzsndmsg::app
