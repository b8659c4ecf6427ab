#pragma once

#include "support/RowTexts.h"
#include "support/TestPrinters.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>

namespace tzsndmsg::db::test {

// One fresh database per test: a SQLite file, or a schema of its own on the server named by
// TZSNDMSG_TEST_PG (dropped afterwards). Parameter: "sqlite" or "postgres".
class DbTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        QString error;
        if (isPostgres()) {
            const QString server = qEnvironmentVariable("TZSNDMSG_TEST_PG");
            if (server.isEmpty())
                GTEST_SKIP() << "TZSNDMSG_TEST_PG not set";
            m_schema = "dbt_" + QUuid::createUuid().toString(QUuid::Id128).left(16);
            auto admin = Database::open(server, &error);
            ASSERT_TRUE(admin) << error.toStdString();
            ASSERT_TRUE(admin->exec("CREATE SCHEMA " + m_schema, &error)) << error.toStdString();
            m_url = server + (server.contains(u'?') ? u'&' : u'?') + "schema=" + m_schema;
        } else {
            ASSERT_TRUE(m_dir.isValid());
            m_url = "sqlite://" + m_dir.path() + "/test.db";
        }
        m_db = Database::open(m_url, &error);
        ASSERT_TRUE(m_db) << error.toStdString();
    }

    void TearDown() override
    {
        m_db.reset();
        if (!m_schema.isEmpty()) {
            auto admin = Database::open(qEnvironmentVariable("TZSNDMSG_TEST_PG"));
            if (admin)
                admin->exec("DROP SCHEMA " + m_schema + " CASCADE");
        }
    }

    bool isPostgres() const { return QString::fromLatin1(GetParam()) == "postgres"; }

    // The key column's declaration, the domains and the declared type names per database.
    QString keyDecl() const
    {
        return isPostgres() ? "serial PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
    }
    QString dateTimeDecl() const { return isPostgres() ? "timestamp" : "DATETIME"; }

    void createDomains()
    {
        if (!isPostgres())
            return;
        for (const char* d : {"datetext", "timetext", "longtext"})
            run(QString("CREATE DOMAIN %1 AS text").arg(QLatin1String(d)));
    }

    void run(const QString& statement, const QVariantList& params = {})
    {
        QString error;
        EXPECT_TRUE(m_db->exec(statement, params, &error))
            << error.toStdString() << "\n  in: " << statement.toStdString();
    }

    Recordset open(const QString& statement)
    {
        QString error;
        Recordset rs = m_db->query(m_db->dialect().adapt(statement), &error);
        EXPECT_TRUE(rs.isOpen()) << error.toStdString() << "\n  in: " << statement.toStdString();
        return rs;
    }

    // Each row of the statement as its columns' texts joined by '|', a NULL as "<null>".
    QStringList rows(const QString& statement)
    {
        Recordset rs = open(statement);
        return testing::rowTexts(rs);
    }

    QTemporaryDir m_dir;
    QString m_url;
    QString m_schema;
    std::shared_ptr<Database> m_db;
};

// A fresh database with the domains and the tables a suite works on, made before each test.
class TablesTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        createDomains();
        createTables();
    }

    // The suite's tables and rows; a fatal failure here stops the test.
    virtual void createTables() = 0;
};

inline auto backendName(const ::testing::TestParamInfo<const char*>& info)
{
    return std::string(info.param);
}

#define TZ_DB_BACKENDS(Suite)                                                                      \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::Values("sqlite", "postgres"),             \
                             ::tzsndmsg::db::test::backendName)

} // namespace tzsndmsg::db::test
