#pragma once

#include "TestPrinters.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"
#include "tzsndmsg/tzGlobal.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QVariantList>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <tuple>

namespace tzsndmsg::testing {

// A fresh office for one test: a new database (a SQLite file in a temporary folder, or a new
// schema on the PostgreSQL server named by TZSNDMSG_TEST_PG), the full schema, a data folder,
// and a tzGlobal on it with a fixed clock (Sunday 6 December 2026, 10:00 am), login "FRONT"
// and computer "WS1".
class Office {
public:
    struct Options {
        QString loginName = "FRONT";
        QString computerName = "WS1";
        QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(10, 0));
        bool createSchema = true;
        bool initDataFolder = true;
    };
    Office();
    explicit Office(const Options& options);
    ~Office();

    static bool usingPostgres();
    // The URL of this office's database (a second workstation opens the same one).
    QString databaseUrl() const { return m_url; }
    QString dataFolder() const { return m_dataDir.path() + QLatin1Char('/'); }
    QString tempPath() const { return m_tempDir.path(); }

    // Null when the office was made without its schema.
    std::shared_ptr<tzglob::tzGlobal> services() const { return m_services; }
    std::shared_ptr<db::Database> db() const { return m_db; }
    // Another workstation on the same database and data folder.
    std::shared_ptr<tzglob::tzGlobal> workstation(const QString& computerName,
                                                  const QString& loginName) const;

    // SQL helpers that fail the test with the database's error. The statement is adapted first.
    void exec(const QString& statement, const QVariantList& params = {});
    qint64 insert(const QString& table, const QString& keyColumn, const QStringList& names,
                  const QVariantList& values);
    db::Recordset query(const QString& statement, const QVariantList& params = {});
    QVariant scalar(const QString& statement, const QVariantList& params = {});
    int count(const QString& table, const QString& where = QString(),
              const QVariantList& params = {});
    // Each row of the statement as its columns' texts joined by '|', a NULL as "<null>".
    QStringList rows(const QString& statement, const QVariantList& params = {});
    // The one row of the statement against "name=value|name=value", as texts, a NULL as "<null>".
    void expectColumns(const QString& statement, const QVariantList& params,
                       const QString& expected);
    // Takes the search index away, as a store made before it was.
    void dropSearchIndex();
    // From now on the database refuses to delete rows of the table, with an error.
    void refuseDeletes(const QString& table);

    // Seeding: a person (PATable), a login (PWMTable), an employment record with its status row.
    qint32 addPerson(const QString& last, const QString& first, const QString& initials,
                     bool employee = true, bool released = false);
    void addLogin(const QString& loginName, const QVariant& personId);
    void addEmployment(qint32 personId, const QString& department);
    // An employee with a login and a department, in one step.
    qint32 addEmployee(const QString& last, const QString& first, const QString& initials,
                       const QString& loginName, const QString& department = QString());
    void writeMachinesIni(const QByteArray& content);
    // The data folder's signal file of a table ("CMCM", "CMEV", "CMBC"); the tags of those there.
    QString signalFile(const char* tag) const { return dataFolder() + "TEMP/" + tag + ".STA"; }
    void removeSignalFiles() const;
    QStringList signalsWritten() const;
    // A small clinic's staff, each with a login of the same name: FRONT (Front Desk), NURSE and
    // DOCTOR (Clinical), BILLING (Billing); their ids in that order.
    std::tuple<qint32, qint32, qint32, qint32> addClinicStaff();

    // People as a message's or an event's list of them keeps them: "1,2,3,".
    static QString ids(std::initializer_list<qint32> people);

private:
    Options m_options;
    QTemporaryDir m_tempDir;
    QTemporaryDir m_dataDir;
    QString m_url;
    QString m_pgSchema;
    std::shared_ptr<tzglob::tzGlobal> m_services;
    std::shared_ptr<db::Database> m_db;
};

// Skips the test unless it runs on the named database.
#define TZ_SQLITE_ONLY(office)                                                                     \
    if ((office).usingPostgres())                                                                  \
    GTEST_SKIP() << "SQLite only"
#define TZ_POSTGRES_ONLY(office)                                                                   \
    if (!(office).usingPostgres())                                                                 \
    GTEST_SKIP() << "PostgreSQL only"

} // namespace tzsndmsg::testing
