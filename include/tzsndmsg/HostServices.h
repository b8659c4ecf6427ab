#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>
#include <memory>

namespace tzsndmsg {

namespace db {
class Database;
}

// How the library's calls fail, every one outside tzSndMsgCls (whose AnnouncementSend throws
// SendError): they return bool, true when done; false with the reason, a sentence fit to show, in
// *error when error is not null. What a call reads comes back in out-parameters. Only functions
// that turn a text into a value (ConnectionUrl::parse, quietHours) return the value or nothing.

// What the note writer and the to-do writer file for a person.
struct NoteEntry {
    QString text;
    QString source;       // "CM" for entries filed by the message window
    qint64 messageId = 0; // CMTable id the entry came from, 0 when none
    QString category;     // cmCat of the message, or the to-do kind ("ToDo")
    QString subCategory;  // cmSubCat of the message, or the to-do type ("Comment")
    bool payrollRelated = false;
    bool saveAfterDisplay = false;
    QDate date;        // to-do entries: the date handed over
    QString loginName; // to-do entries: who filed it
    QString title;     // to-do entries: the title accepted in the to-do dialog
};

// The services the component takes from the application that hosts it. tzglob::tzGlobal is
// the implementation over the office database; a host may hand over its own (see
// examples/own_services): it returns connections opened with db::Database::open
// (<tzsndmsg/db/Database.h>).
//
// What a host writes: the pure virtual calls below are what only it knows (its database
// connections, its folders, its login and the people behind it, its rights and filing). Every
// other call has a default in the library that serves a host over one office database (the
// dialect of its connections, the record writer, a system clock in whole seconds, the text
// helpers, no settings of its own, window calls that keep count and freeze painting); a host
// overrides one only to answer differently.
//
// Threads: the component calls these on the thread it runs on (the QApplication's), never from
// another. Failures: an implementation answers with its return values (a null connection,
// false with a reason, an empty text, 0) and should not throw; the component treats such answers
// as "not there" and tells the user where a window needs them.
class HostServices {
public:
    virtual ~HostServices();

    // --- what every host implements ----------------------------------------------------------

    // Connections: persons, suite, message store. Open connections, or null when there is
    // none; they may all be the same one.
    virtual std::shared_ptr<db::Database> personsConnection() = 0;
    virtual std::shared_ptr<db::Database> suiteConnection() = 0;
    virtual std::shared_ptr<db::Database> messageStoreConnection() = 0;

    // Folders end in "/".
    virtual QString dataFolder() const = 0;
    virtual QString helpFolder() const = 0;

    // The login and this workstation. Login names compare in upper case; employeeOfLogin is 0
    // for a login without an employee; checkRight is false when the right is not held or
    // unknown.
    virtual void setLogin(const QString& loginName) = 0;
    virtual QString currentLoginName() const = 0;
    virtual QString computerName() const = 0;
    virtual qint32 employeeOfLogin(const QString& loginName) = 0;
    virtual bool checkRight(const QString& loginName, const QString& right, const QString& column,
                            const QString& programName) = 0;
    // Whether the login holds any of the rights; by default checkRight for each in turn.
    virtual bool checkAnyRight(const QString& loginName, const QStringList& rights,
                               const QString& column, const QString& programName);
    virtual bool loginMayChooseSender(const QString& loginName) = 0;

    // The people of the office.
    virtual QString personName(qint32 personId) = 0;
    virtual QString personDepartment(qint32 personId) = 0;

    // Filing to a person's record.
    virtual bool writeNote(qint32 personId, const NoteEntry& entry, QString* error = nullptr) = 0;
    virtual bool writeTodo(qint32 personId, const NoteEntry& entry, QString* error = nullptr) = 0;

    // --- what has a default ------------------------------------------------------------------

    // Life of a services object that the component made itself (SendMessage without GIC);
    // startUp is false when the services cannot work. Default: true when the message store is
    // open; the others do nothing.
    virtual bool startUp();
    virtual void shutDown();
    virtual void setApplication(const QString& folder, const QString& programName);
    virtual void setLocation(qint32 locationId);

    // A connection by index: 9 is the message store, any other the suite's.
    virtual std::shared_ptr<db::Database> connectionByIndex(int index);

    // The SQL adapter: the statement in the dialect of the message store's database (SQLite's
    // when none is open).
    virtual QString adaptSql(const QString& statement, int mode = 1);
    // Same, for a statement that will run on the given connection.
    virtual QString adaptSqlFor(db::Database& connection, const QString& statement, int mode = 1);

    // Record writer: insert when key is 0 (the new key is returned in it), else update that row,
    // on the message store (storeKind 9) or the suite's connection. Every value arrives as text
    // and is converted by the column's declared type.
    virtual bool writeRecord(int storeKind, const QString& table, const QString& keyColumn,
                             qint64& key, const QStringList& names, const QStringList& texts,
                             QString* error = nullptr);
    virtual void releaseAfterWrite(db::Database& connection);

    // A condition that leaves out the table's records a host keeps but no longer uses; empty.
    virtual QString statusFilter(const QString& table, const QString& alias);

    // The suite's clock: the system's, in whole seconds.
    virtual QDate currentDate() const;
    virtual QTime currentTime() const;
    virtual QDateTime currentDateTime() const;

    // Text helpers.
    // Next entry of a separated list from position (0-based, advanced past the separator);
    // empty when the list is exhausted.
    virtual QString nextToken(const QString& list, const QString& separator, int& position);
    virtual QStringList split(const QString& text, const QString& separator, int maxCount = -1);
    virtual QString replaceText(const QString& text, const QString& find,
                                const QString& replacement);
    // The text as an SQL text literal, quotes included, as the message store's driver quotes.
    virtual QString quote(const QString& text);

    // The names of several persons at once (a grid cell lists every attendee of an event);
    // persons without a name are left out. Default: personName for each.
    virtual QHash<qint32, QString> personNames(const QList<qint32>& personIds);

    // Whether a file exists, the path relative to the data folder or absolute, its "\" as "/"
    // and each part matched without regard to case.
    virtual bool fileExists(const QString& path);

    // "<computer> <login>", as the station signal files record it.
    virtual QString stationText();
    // Takes a computer off the office's computer list; default: false, the list is not kept.
    virtual bool removeComputerName(const QString& name);

    // kind 1: a number, 2: a time; the default when the key is missing (always, by default).
    virtual QVariant readSetting(const QString& section, const QString& key, int kind,
                                 const QVariant& defaultValue);
    virtual void setLunchLength(const QString& minutes);

    // Window-side services; window handles are QWidget objects passed as QObject. Default:
    // busy calls nest; one window at a time is frozen (it does not paint until the freeze ends
    // or another window is frozen); no main window; not the QNS product line.
    virtual void setBusy(QObject* window, bool busy);
    virtual bool isBusy() const;
    virtual void freezeWindow(QObject* window); // nullptr ends the freeze
    virtual QObject* mainWindow();
    virtual bool isQnsProductLine();

    // The to-do entry dialog: true when the user accepted; title may be edited. Default: none
    // (false).
    virtual bool openTodoDialog(QObject* owner, QString& title);
    // The canned-text chooser: the chosen text, empty when none (always, by default).
    virtual QString chooseCannedText(QObject* owner, const QString& caption,
                                     const QString& storeName);
    // The lab-order link: told of a new message linked to a lab order; true when it accepts.
    // Default: false.
    virtual bool announceLabOrderMessage(const QString& sender, qint64 messageId,
                                         qint64 labOrderId);

private:
    int m_busyDepth = 0;
    QPointer<QObject> m_frozen;
};

} // namespace tzsndmsg
