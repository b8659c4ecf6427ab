#pragma once

#include <memory>
#include <tzsndmsg/HostServices.h>
#include <tzsndmsg/db/Database.h>

// The suite's own services object: what the component asks of its host, answered from the
// suite's one database and its own settings. It replaces tzglob::tzGlobal entirely.
class SuiteServices : public tzsndmsg::HostServices {
public:
    SuiteServices(std::shared_ptr<tzsndmsg::db::Database> database, QString dataFolder,
                  QString loginName, QString computerName);

    bool startUp() override { return m_db && m_db->isOpen(); }
    void shutDown() override {} // the suite owns its connection
    void setApplication(const QString&, const QString&) override {}
    void setLocation(qint32 locationId) override { m_location = locationId; }
    void setLogin(const QString& loginName) override;

    QString currentLoginName() const override { return m_login; }
    qint32 employeeOfLogin(const QString& loginName) override;
    bool checkRight(const QString&, const QString&, const QString&, const QString&) override
    {
        return false; // this suite grants no special rights
    }
    bool loginMayChooseSender(const QString&) override { return false; }

    std::shared_ptr<tzsndmsg::db::Database> personsConnection() override { return m_db; }
    std::shared_ptr<tzsndmsg::db::Database> suiteConnection() override { return m_db; }
    std::shared_ptr<tzsndmsg::db::Database> messageStoreConnection() override { return m_db; }
    std::shared_ptr<tzsndmsg::db::Database> connectionByIndex(int) override { return m_db; }

    QString adaptSql(const QString& statement, int mode = 1) override;
    QString adaptSqlFor(tzsndmsg::db::Database& connection, const QString& statement,
                        int mode = 1) override;
    bool writeRecord(int storeKind, const QString& table, const QString& keyColumn, qint64& key,
                     const QStringList& names, const QStringList& texts,
                     QString* error = nullptr) override;
    void releaseAfterWrite(tzsndmsg::db::Database&) override {}
    QString statusFilter(const QString&, const QString&) override { return QString(); }

    QDate currentDate() const override { return currentDateTime().date(); }
    QTime currentTime() const override { return currentDateTime().time(); }
    QDateTime currentDateTime() const override;

    QString nextToken(const QString& list, const QString& separator, int& position) override;
    QStringList split(const QString& text, const QString& separator, int maxCount = -1) override;
    QString replaceText(const QString& text, const QString& find,
                        const QString& replacement) override;
    QString quote(const QString& text) override;

    QString personName(qint32 personId) override;
    QString personDepartment(qint32 personId) override;

    QString dataFolder() const override { return m_dataFolder; }
    QString helpFolder() const override { return QString(); }
    bool fileExists(const QString& path) override;

    QString stationText() override { return m_computer + QLatin1Char(' ') + m_login; }
    QString computerName() const override { return m_computer; }
    bool removeComputerName(const QString&) override { return false; }

    QVariant readSetting(const QString&, const QString&, int, const QVariant& defaultValue) override
    {
        return defaultValue; // the office's defaults
    }
    void setLunchLength(const QString&) override {}

    void setBusy(QObject*, bool busy) override { m_busy += busy ? 1 : (m_busy > 0 ? -1 : 0); }
    bool isBusy() const override { return m_busy > 0; }
    void freezeWindow(QObject*) override {}
    QObject* mainWindow() override { return nullptr; }
    bool isQnsProductLine() override { return false; }

    bool writeNote(qint32, const tzsndmsg::NoteEntry&, QString* error = nullptr) override;
    bool writeTodo(qint32, const tzsndmsg::NoteEntry&, QString* error = nullptr) override;
    bool openTodoDialog(QObject*, QString&) override { return false; }
    QString chooseCannedText(QObject*, const QString&, const QString&) override
    {
        return QString();
    }
    bool announceLabOrderMessage(const QString&, qint64, qint64) override { return false; }

private:
    std::shared_ptr<tzsndmsg::db::Database> m_db;
    QString m_dataFolder, m_login, m_computer;
    qint32 m_location = 0;
    int m_busy = 0;
};
