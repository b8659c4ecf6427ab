#include "Office.h"

#include "RowTexts.h"
#include "store/Schema.h"

#include <QFile>
#include <QUuid>

namespace tzsndmsg::testing {

// The PostgreSQL server the tests run on, when one is named.
bool Office::usingPostgres()
{
    return !qEnvironmentVariable("TZSNDMSG_TEST_PG").isEmpty();
}

Office::Office() : Office(Options()) {}

Office::Office(const Options& options) : m_options(options)
{
    if (usingPostgres()) {
        m_pgSchema = "t_" + QUuid::createUuid().toString(QUuid::Id128).left(16).toLower();
        const QString server = qEnvironmentVariable("TZSNDMSG_TEST_PG");
        QString error;
        auto admin = db::Database::open(server, &error);
        if (!admin) {
            ADD_FAILURE() << "cannot reach the test server: " << error.toStdString();
            return;
        }
        if (!admin->exec("CREATE SCHEMA " + m_pgSchema, &error))
            ADD_FAILURE() << "cannot create schema: " << error.toStdString();
        m_url = server + (server.contains(QLatin1Char('?')) ? "&" : "?") + "schema=" + m_pgSchema;
    } else {
        m_url = "sqlite://" + m_tempDir.path() + "/office.db";
    }

    QString error;
    m_db = db::Database::open(m_url, &error);
    if (!m_db) {
        ADD_FAILURE() << "cannot open " << m_url.toStdString() << ": " << error.toStdString();
        return;
    }
    if (options.createSchema && !store::createSchema(*m_db, &error))
        ADD_FAILURE() << "schema: " << error.toStdString();
    if (options.initDataFolder && !store::initDataFolder(dataFolder(), &error))
        ADD_FAILURE() << "data folder: " << error.toStdString();

    if (!options.createSchema)
        return; // the test makes the office itself (the host program's init)

    tzglob::Config config;
    config.databaseUrl = m_url;
    config.dataFolder = dataFolder();
    config.helpFolder = dataFolder() + "help/";
    config.loginName = options.loginName;
    config.computerName = options.computerName;
    m_services = std::make_shared<tzglob::tzGlobal>(config);
    if (!m_services->open(&error))
        ADD_FAILURE() << "services: " << error.toStdString();
    m_services->setFixedNow(options.now);
}

Office::~Office()
{
    m_services.reset();
    m_db.reset();
    if (!m_pgSchema.isEmpty()) {
        auto admin = db::Database::open(qEnvironmentVariable("TZSNDMSG_TEST_PG"));
        if (admin)
            admin->exec("DROP SCHEMA " + m_pgSchema + " CASCADE");
    }
}

std::shared_ptr<tzglob::tzGlobal> Office::workstation(const QString& computerName,
                                                      const QString& loginName) const
{
    tzglob::Config config = m_services->config();
    config.computerName = computerName;
    config.loginName = loginName;
    auto other = std::make_shared<tzglob::tzGlobal>(config);
    QString error;
    if (!other->open(&error))
        ADD_FAILURE() << "second workstation: " << error.toStdString();
    other->setFixedNow(m_options.now);
    return other;
}

void Office::refuseDeletes(const QString& table)
{
    if (usingPostgres()) {
        exec("CREATE OR REPLACE FUNCTION refuse_delete() RETURNS trigger LANGUAGE plpgsql AS "
             "$$ BEGIN RAISE EXCEPTION 'refused'; END $$");
        exec("CREATE TRIGGER refuse_delete_" + table + " BEFORE DELETE ON " + table +
             " FOR EACH ROW EXECUTE FUNCTION refuse_delete()");
    } else {
        exec("CREATE TRIGGER refuse_delete_" + table + " BEFORE DELETE ON " + table +
             " BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }
}

void Office::exec(const QString& statement, const QVariantList& params)
{
    QString error;
    const QString sql = m_db->dialect().adapt(statement);
    if (!m_db->exec(sql, params, &error))
        ADD_FAILURE() << sql.toStdString() << ": " << error.toStdString();
}

void Office::dropSearchIndex()
{
    if (usingPostgres()) {
        for (const char* statement :
             {"drop index ix_cm_words", "drop index ix_pa_words",
              "drop function tz_prefix_query(text)", "drop function tz_cm_words(text,text,text)",
              "drop function tz_pa_words(text,text,text)", "drop function tz_words(text)",
              "drop function tz_fold(text)"})
            exec(QLatin1String(statement));
    } else {
        // Every trigger, view and table of the index, whatever it is made of.
        QStringList statements;
        {
            db::Reader objects = m_db->read(QStringLiteral(
                "select type, name from sqlite_master where (type='trigger' and name like "
                "'tr_%_wrd_%') or (type='view' and (name like 'CMWrd%' or name like 'PAWrd%')) "
                "order by type"));
            while (objects.next())
                statements << QString("drop %1 %2")
                                  .arg(objects.value(0).toString(), objects.value(1).toString());
        }
        statements << "drop table CMWrdTable"
                   << "drop table PAWrdTable"
                   << "drop table SrchIdxTable";
        for (const QString& s : statements)
            exec(s);
    }
    m_db->forgetSchema();
}

qint64 Office::insert(const QString& table, const QString& keyColumn, const QStringList& names,
                      const QVariantList& values)
{
    const QStringList marks(names.size(), QStringLiteral("?"));
    const QString sql =
        QString("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
            .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')), keyColumn);
    QString error;
    const QVariant key = m_db->scalar(sql, values, &error);
    if (!key.isValid())
        ADD_FAILURE() << sql.toStdString() << ": " << error.toStdString();
    return key.toLongLong();
}

db::Recordset Office::query(const QString& statement, const QVariantList& params)
{
    QString error;
    const QString sql = m_db->dialect().adapt(statement);
    db::Recordset rs = m_db->query(sql, params, &error);
    if (!rs.isOpen())
        ADD_FAILURE() << sql.toStdString() << ": " << error.toStdString();
    return rs;
}

QVariant Office::scalar(const QString& statement, const QVariantList& params)
{
    QString error;
    const QString sql = m_db->dialect().adapt(statement);
    QVariant v = m_db->scalar(sql, params, &error);
    if (!error.isEmpty())
        ADD_FAILURE() << sql.toStdString() << ": " << error.toStdString();
    return v;
}

int Office::count(const QString& table, const QString& where, const QVariantList& params)
{
    QString sql = "SELECT count(*) FROM " + table;
    if (!where.isEmpty())
        sql += " WHERE " + where;
    return scalar(sql, params).toInt();
}

QStringList Office::rows(const QString& statement, const QVariantList& params)
{
    db::Recordset rs = query(statement, params);
    return rowTexts(rs);
}

void Office::expectColumns(const QString& statement, const QVariantList& params,
                           const QString& expected)
{
    db::Recordset rs = query(statement, params);
    ASSERT_EQ(rs.recordCount(), 1) << statement.toStdString();
    rs.moveFirst();
    for (const QString& pair : expected.split(u'|')) {
        const QString name = pair.section(u'=', 0, 0);
        EXPECT_EQ(rs.isNull(name) ? QStringLiteral("<null>") : rs.value(name).toString(),
                  pair.section(u'=', 1))
            << pair.toStdString();
    }
}

qint32 Office::addPerson(const QString& last, const QString& first, const QString& initials,
                         bool employee, bool released)
{
    return qint32(
        insert("PATable", "pID", {"PLasNam", "PFirNam", "PDocIni", "pTypEmp", "pDatRel"},
               {last, first, initials, employee ? "1" : "0",
                released ? QVariant("2025-06-30") : QVariant(QMetaType::fromType<QString>())}));
}

void Office::addLogin(const QString& loginName, const QVariant& personId)
{
    insert("PWMTable", "PWMID", {"PWMUseNam", "PWMPID"}, {loginName, personId});
}

void Office::addEmployment(qint32 personId, const QString& department)
{
    const qint64 ebid = insert("EBTable", "EBID", {"EBPid", "EBDep"}, {personId, department});
    insert("ESTable", "ESID", {"EBID", "ESSta"}, {ebid, "Active"});
}

qint32 Office::addEmployee(const QString& last, const QString& first, const QString& initials,
                           const QString& loginName, const QString& department)
{
    const qint32 id = addPerson(last, first, initials);
    addLogin(loginName, id);
    if (!department.isNull())
        addEmployment(id, department);
    return id;
}

std::tuple<qint32, qint32, qint32, qint32> Office::addClinicStaff()
{
    const qint32 front = addEmployee("Front", "Fay", "FF", "FRONT", "Front Desk");
    const qint32 nurse = addEmployee("Nurse", "Ned", "NN", "NURSE", "Clinical");
    const qint32 doctor = addEmployee("Doctor", "Dora", "DD", "DOCTOR", "Clinical");
    const qint32 billing = addEmployee("Billing", "Bo", "BB", "BILLING", "Billing");
    return {front, nurse, doctor, billing};
}

QString Office::ids(std::initializer_list<qint32> people)
{
    QString out;
    for (qint32 p : people)
        out += QString::number(p) + QLatin1Char(',');
    return out;
}

void Office::removeSignalFiles() const
{
    for (const char* tag : {"CMCM", "CMEV", "CMBC"})
        QFile::remove(signalFile(tag));
}

QStringList Office::signalsWritten() const
{
    QStringList tags;
    for (const char* tag : {"CMCM", "CMEV", "CMBC"})
        if (QFile::exists(signalFile(tag)))
            tags << tag;
    return tags;
}

void Office::writeMachinesIni(const QByteArray& content)
{
    QFile file(dataFolder() + "stp/Machines.Ini");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ADD_FAILURE() << "cannot write Machines.Ini";
    file.write(content);
}

} // namespace tzsndmsg::testing
