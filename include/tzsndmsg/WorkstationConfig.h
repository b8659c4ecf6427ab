#pragma once

#include <QString>
#include <QTime>
#include <optional>
#include <tzsndmsg/tzGlobal.h>

namespace tzglob {

// One setting of a workstation and where it came from ("default", a file's path, "environment
// TZSNDMSG_DB_URL", "--db", ...), so that a person can see why a workstation uses what it uses.
struct ConfigValue {
    QString value;
    QString origin;
};

// Where a workstation keeps its office, read in this order, each layer over the one before:
//   1. defaults: a SQLite office under $TZSNDMSG_HOME, else the user's data folder
//      (~/.local/share/tzsndmsg); the login SUPERVISOR; the machine's host name;
//   2. the data folder's settings.ini, section [Workstation] (LoginName, ComputerName);
//   3. the machine's file /etc/tzsndmsg.conf ($TZSNDMSG_SYSTEM_CONFIG names another);
//   4. the user's file $XDG_CONFIG_HOME/tzsndmsg/tzsndmsg.conf (~/.config/...);
//   5. the environment: TZSNDMSG_DB_URL, TZSNDMSG_DATA, TZSNDMSG_HELP, TZSNDMSG_LOGIN,
//      TZSNDMSG_COMPUTER.
// The files are INI files with the keys database, data, help, login and computer, outside any
// section; the tray's own keys are quiet (hours without notices, "12:00-13:00", over midnight too:
// "22:00-6:30") and sound (on arrival: off, the default, on, or a sound file's path), read from
// the files only. A host program lays its own flags over the result with set(). Reading never
// fails and never waits: a missing file is skipped; what is wrong in a file (an unknown key, a
// quiet or sound value that is none, a section nobody reads, a line that is no key=value) is one
// warning per file and line (the value is ignored), and a path
// that is no regular file (a FIFO, a device, a folder) is read as nothing and named in `refused`.
// Call from the thread that uses the result.
class WorkstationConfig {
public:
    static WorkstationConfig load();

    ConfigValue databaseUrl, dataFolder, helpFolder, loginName, computerName;
    ConfigValue quiet, sound;

    // Quiet hours: from `from` up to (not including) `to`, across midnight when `to` is earlier.
    struct QuietHours {
        QTime from, to;
        bool contains(QTime time) const;
    };
    // "H:MM-H:MM"; nothing for a value that is not a range of hours (or is an empty one).
    static std::optional<QuietHours> quietHours(const QString& text);
    // A sound setting: "beep" for on, empty (not null) for off, a sound file's absolute path;
    // null for a value that is none of these.
    static QString soundOf(const QString& text);

    // The files that were read, in order.
    QStringList filesRead;
    // What is wrong in the files, each once: "FILE:LINE: what" or "FILE: what".
    QStringList warnings;
    // The first configuration path that is no regular file, or too large to be one, in one line
    // that names it; empty when none. A host should refuse to run on such a configuration.
    QString refused;

    // A value given by the host (a command-line flag) wins over every layer. A new data folder
    // brings its own [Workstation] login and computer where nothing above the defaults set them.
    void set(ConfigValue& field, const QString& value, const QString& origin);

    // The services' configuration: folders end in "/", names in upper case.
    Config toConfig() const;

    static QString systemFile();
    static QString userFile();

private:
    void applyDataFolderWorkstation();
    bool readable(const QString& file, bool keysToCheck);
};

} // namespace tzglob
