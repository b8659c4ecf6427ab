#pragma once

#include <QList>
#include <QPair>
#include <functional>
#include <tzsndmsg/HostServices.h>

namespace tzglob {

struct Config {
    QString databaseUrl; // sqlite:///abs/path.db or postgresql://user@host:port/dbname
    QString dataFolder;  // TEMP/, stp/Machines.Ini, ICO/SMALL/, icons/
    QString helpFolder;  // the help pages
    QString loginName;
    QString computerName; // this workstation; upper case
    // Optional separate databases; empty means the one of databaseUrl.
    QString personsDatabaseUrl;
    QString suiteDatabaseUrl;
    // Settings file (INI); empty means "settings.ini" in the data folder.
    QString settingsFile;
    // A reader that writes nothing (no signal file, no setting) may use a read-only data folder.
    bool readOnlyDataFolder = false;
};

// The host services over the office database, a settings file and the system clock.
//
// Threads: use an object on one thread, the one that calls open() (its connections belong to
// it). Nothing here throws or shows a message box: failures are false with a reason, or an
// empty answer.
class tzGlobal : public tzsndmsg::HostServices {
public:
    explicit tzGlobal(Config config);
    ~tzGlobal() override;

    // Opens the connections; false with a one-line reason when the database cannot be reached,
    // has no schema yet (tzsndmsg::createOffice in <tzsndmsg/Office.h> makes it) or the data
    // folder is missing or read-only. A SQLite file is never created here (that is the set-up's
    // work).
    bool open(QString* error);
    const Config& config() const;

    // Tests fix the clock; an invalid value returns to the system clock.
    void setFixedNow(const QDateTime& now);

    // Seams for the small dialogs and outside components; the component installs its own
    // dialogs when none was set.
    using TodoDialogHandler = std::function<bool(QObject* owner, QString& title)>;
    using CannedTextHandler =
        std::function<QString(QObject* owner, const QString& caption, const QString& storeName)>;
    using LabOrderHandler =
        std::function<bool(const QString& sender, qint64 messageId, qint64 labOrderId)>;
    void setTodoDialogHandler(TodoDialogHandler handler);
    void setCannedTextHandler(CannedTextHandler handler);
    void setLabOrderHandler(LabOrderHandler handler); // nullptr: record the link and accept
    bool hasTodoDialogHandler() const;
    bool hasCannedTextHandler() const;

    // True when the login is in the login table; SUPERVISOR always is, a blank name never.
    // False with the reason in error when the table cannot be read.
    bool isLogin(const QString& loginName, QString* error = nullptr);
    // True when the login's person has left the office (a release date is set): such a login
    // is nobody's. False with the reason in error when the persons cannot be read.
    bool isReleasedLogin(const QString& loginName, QString* error = nullptr);
    // A signed-in office (PostgreSQL): the login is the connected role's, whatever the
    // configuration or setLogin names. signedInLogin is empty when the office is not signed in
    // or the role is none of its logins (an administrator); unprotectedRole is true when the
    // role is a superuser or bypasses row-level security, so that it reads every row.
    bool signedInOffice() const;
    QString signedInLogin() const;
    QString signedInRole() const;
    bool unprotectedRole() const;
    // The computer list (stp/Machines.Ini): the names in upper case, in their order.
    QStringList computerNames();

    // The texts of a canned-text store (title, text), for the chooser dialog; empty when none
    // or when the store cannot be read.
    QList<QPair<QString, QString>> cannedTexts(const QString& storeName);

    // HostServices: what differs from its defaults
    bool startUp() override;
    void shutDown() override;
    void setApplication(const QString& folder, const QString& programName) override;
    void setLocation(qint32 locationId) override;
    void setLogin(const QString& loginName) override;
    QString currentLoginName() const override;
    qint32 employeeOfLogin(const QString& loginName) override;
    bool checkRight(const QString& loginName, const QString& right, const QString& column,
                    const QString& programName) override;
    bool checkAnyRight(const QString& loginName, const QStringList& rights, const QString& column,
                       const QString& programName) override;
    bool loginMayChooseSender(const QString& loginName) override;
    std::shared_ptr<tzsndmsg::db::Database> personsConnection() override;
    std::shared_ptr<tzsndmsg::db::Database> suiteConnection() override;
    std::shared_ptr<tzsndmsg::db::Database> messageStoreConnection() override;
    QString adaptSql(const QString& statement, int mode = 1) override;
    QString statusFilter(const QString& table, const QString& alias) override;
    QDateTime currentDateTime() const override;
    QString personName(qint32 personId) override;
    QHash<qint32, QString> personNames(const QList<qint32>& personIds) override;
    QString personDepartment(qint32 personId) override;
    QString dataFolder() const override;
    QString helpFolder() const override;
    QString computerName() const override;
    bool removeComputerName(const QString& name) override;
    QVariant readSetting(const QString& section, const QString& key, int kind,
                         const QVariant& defaultValue) override;
    void setLunchLength(const QString& minutes) override;
    QString lunchLength() const;
    QObject* mainWindow() override;
    void setMainWindow(QObject* window);
    bool isQnsProductLine() override;
    void setQnsProductLine(bool qns);
    bool writeNote(qint32 personId, const tzsndmsg::NoteEntry& entry,
                   QString* error = nullptr) override;
    bool writeTodo(qint32 personId, const tzsndmsg::NoteEntry& entry,
                   QString* error = nullptr) override;
    bool openTodoDialog(QObject* owner, QString& title) override;
    QString chooseCannedText(QObject* owner, const QString& caption,
                             const QString& storeName) override;
    bool announceLabOrderMessage(const QString& sender, qint64 messageId,
                                 qint64 labOrderId) override;

    // Writes a setting into the settings file (tests and the host program's set-up).
    void writeSetting(const QString& section, const QString& key, const QVariant& value);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tzglob
