#pragma once

#include <memory>
#include <tzsndmsg/HostServices.h>
#include <tzsndmsg/db/Database.h>

// The suite's own services object: what the component asks of its host, answered from the
// suite's one database. It replaces tzglob::tzGlobal entirely; what it does not override (the
// SQL adapter, the record writer, the clock, the text helpers, the window calls, no settings)
// is the library's default for a host over one database.
class SuiteServices : public tzsndmsg::HostServices {
public:
    SuiteServices(std::shared_ptr<tzsndmsg::db::Database> database, QString dataFolder,
                  QString loginName, QString computerName);

    std::shared_ptr<tzsndmsg::db::Database> personsConnection() override { return m_db; }
    std::shared_ptr<tzsndmsg::db::Database> suiteConnection() override { return m_db; }
    std::shared_ptr<tzsndmsg::db::Database> messageStoreConnection() override { return m_db; }

    QString dataFolder() const override { return m_dataFolder; }
    QString helpFolder() const override { return QString(); }

    void setLogin(const QString& loginName) override;
    QString currentLoginName() const override { return m_login; }
    QString computerName() const override { return m_computer; }
    qint32 employeeOfLogin(const QString& loginName) override;
    bool checkRight(const QString&, const QString&, const QString&, const QString&) override
    {
        return false; // this suite grants no special rights
    }
    bool loginMayChooseSender(const QString&) override { return false; }

    QString personName(qint32 personId) override;
    QString personDepartment(qint32 personId) override;

    bool writeNote(qint32, const tzsndmsg::NoteEntry&, QString* error = nullptr) override;
    bool writeTodo(qint32, const tzsndmsg::NoteEntry&, QString* error = nullptr) override;

    // The suite's windows always paint.
    void freezeWindow(QObject*) override {}

private:
    std::shared_ptr<tzsndmsg::db::Database> m_db;
    QString m_dataFolder, m_login, m_computer;
};
