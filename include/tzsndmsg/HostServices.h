#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>

#include <memory>

namespace tzsndmsg {

namespace db {
class Database;
}

// What the note writer and the to-do writer file for a person.
struct NoteEntry {
    QString text;
    QString source;       // "CM" for entries filed by the message window
    qint64 messageId = 0; // CMTable id the entry came from, 0 when none
    QString category;     // cmCat of the message, or the to-do kind ("ToDo")
    QString subCategory;  // cmSubCat of the message, or the to-do type ("Comment")
    bool payrollRelated = false;
    bool saveAfterDisplay = false;
    QDate date;           // to-do entries: the date handed over
    QString loginName;    // to-do entries: who filed it
    QString title;        // to-do entries: the title accepted in the to-do dialog
};

// The services the component takes from the application that hosts it. tzglob::tzGlobal is
// the implementation over the office database; a host may hand over its own (see
// examples/own_services): it returns connections opened with db::Database::open
// (<tzsndmsg/db/Database.h>), and can adapt statements with the connection's dialect() and write
// rows with db::writeRecord (<tzsndmsg/db/RecordWriter.h>).
//
// Threads: the component calls these on the thread it runs on (the QApplication's), never from
// another. Failures: an implementation answers with its return values (a null connection,
// false with a reason, an empty text, 0) and should not throw; the component treats such answers
// as "not there" and tells the user where a window needs them.
class HostServices {
public:
    virtual ~HostServices() = default;

    // Life of a services object that the component made itself (SendMessage without GIC);
    // startUp is false when the services cannot work.
    virtual bool startUp() = 0;
    virtual void shutDown() = 0;
    virtual void setApplication(const QString& folder, const QString& programName) = 0;
    virtual void setLocation(qint32 locationId) = 0;
    virtual void setLogin(const QString& loginName) = 0;

    // User context and rights. Login names compare in upper case; employeeOfLogin is 0 for a
    // login without an employee; checkRight is false when the right is not held or unknown.
    virtual QString currentLoginName() const = 0;
    virtual qint32 employeeOfLogin(const QString& loginName) = 0;
    virtual bool checkRight(const QString& loginName, const QString& right, const QString& column,
                            const QString& programName) = 0;
    virtual bool loginMayChooseSender(const QString& loginName) = 0;

    // Connections: persons, suite, message store, or by index (9 is the message store). Open
    // connections, or null when there is none; they may all be the same one.
    virtual std::shared_ptr<db::Database> personsConnection() = 0;
    virtual std::shared_ptr<db::Database> suiteConnection() = 0;
    virtual std::shared_ptr<db::Database> messageStoreConnection() = 0;
    virtual std::shared_ptr<db::Database> connectionByIndex(int index) = 0;

    // The SQL adapter: the statement in the dialect of the message store's database.
    virtual QString adaptSql(const QString& statement, int mode = 1) = 0;
    // Same, for a statement that will run on the given connection.
    virtual QString adaptSqlFor(db::Database& connection, const QString& statement, int mode = 1) = 0;

    // Record writer: insert when key is 0 (the new key is returned in it), else update that row.
    // Every value arrives as text and is converted by the column's declared type.
    virtual bool writeRecord(int storeKind, const QString& table, const QString& keyColumn,
                             qint64& key, const QStringList& names, const QStringList& texts,
                             QString* error = nullptr) = 0;
    virtual void releaseAfterWrite(db::Database& connection) = 0;

    virtual QString statusFilter(const QString& table, const QString& alias) = 0;

    // The suite's clock.
    virtual QDate currentDate() const = 0;
    virtual QTime currentTime() const = 0;
    virtual QDateTime currentDateTime() const = 0;

    // Text helpers.
    // Next entry of a separated list from position (0-based, advanced past the separator);
    // empty when the list is exhausted.
    virtual QString nextToken(const QString& list, const QString& separator, int& position) = 0;
    virtual QStringList split(const QString& text, const QString& separator, int maxCount = -1) = 0;
    virtual QString replaceText(const QString& text, const QString& find,
                                const QString& replacement) = 0;
    // The text as an SQL text literal, quotes included.
    virtual QString quote(const QString& text) = 0;

    virtual QString personName(qint32 personId) = 0;
    // The names of several persons at once (a grid cell lists every attendee of an event);
    // persons without a name are left out. A host that has no faster way need not override it.
    virtual QHash<qint32, QString> personNames(const QList<qint32>& personIds);
    virtual QString personDepartment(qint32 personId) = 0;

    // Folders end in "/".
    virtual QString dataFolder() const = 0;
    virtual QString helpFolder() const = 0;
    virtual bool fileExists(const QString& path) = 0;

    virtual QString stationText() = 0;
    virtual QString computerName() const = 0;
    virtual bool removeComputerName(const QString& name) = 0;

    // kind 1: a number, 2: a time; the default when the key is missing.
    virtual QVariant readSetting(const QString& section, const QString& key, int kind,
                                 const QVariant& defaultValue) = 0;
    virtual void setLunchLength(const QString& minutes) = 0;

    // Window-side services; window handles are QWidget objects passed as QObject.
    virtual void setBusy(QObject* window, bool busy) = 0;
    virtual bool isBusy() const = 0;
    virtual void freezeWindow(QObject* window) = 0; // nullptr ends the freeze
    virtual QObject* mainWindow() = 0;
    virtual bool isQnsProductLine() = 0;

    // Filing.
    virtual bool writeNote(qint32 personId, const NoteEntry& entry, QString* error = nullptr) = 0;
    virtual bool writeTodo(qint32 personId, const NoteEntry& entry, QString* error = nullptr) = 0;
    // The to-do entry dialog: true when the user accepted; title may be edited.
    virtual bool openTodoDialog(QObject* owner, QString& title) = 0;
    // The canned-text chooser: the chosen text, empty when none.
    virtual QString chooseCannedText(QObject* owner, const QString& caption,
                                     const QString& storeName) = 0;
    // The lab-order link: told of a new message linked to a lab order; true when it accepts.
    virtual bool announceLabOrderMessage(const QString& sender, qint64 messageId,
                                         qint64 labOrderId) = 0;
};

inline QHash<qint32, QString> HostServices::personNames(const QList<qint32>& personIds)
{
    QHash<qint32, QString> names;
    for (qint32 id : personIds)
        if (!names.contains(id)) {
            const QString name = personName(id);
            if (!name.isEmpty())
                names.insert(id, name);
        }
    return names;
}

} // namespace tzsndmsg
