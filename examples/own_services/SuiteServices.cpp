#include "SuiteServices.h"

#include <QDir>
#include <tzsndmsg/db/Recordset.h>

using tzsndmsg::db::Database;

SuiteServices::SuiteServices(std::shared_ptr<Database> database, QString dataFolder,
                             QString loginName, QString computerName)
    : m_db(std::move(database)), m_dataFolder(QDir::cleanPath(dataFolder) + QLatin1Char('/')),
      m_computer(computerName.trimmed().toUpper())
{
    setLogin(loginName);
}

// The component compares logins in upper case.
void SuiteServices::setLogin(const QString& loginName)
{
    m_login = loginName.trimmed().toUpper();
}

qint32 SuiteServices::employeeOfLogin(const QString& loginName)
{
    const QVariant id = m_db->scalar(
        adaptSql(QStringLiteral("SELECT PWMPID FROM PWMTable WHERE upper(PWMUseNam) = ?")),
        {loginName.trimmed().toUpper()});
    return id.isNull() ? 0 : qint32(id.toLongLong());
}

QString SuiteServices::personName(qint32 personId)
{
    tzsndmsg::db::Recordset rs = m_db->query(
        adaptSql(QStringLiteral("SELECT PFirNam, PLasNam FROM PATable WHERE pID = ?")), {personId});
    if (!rs.isOpen() || rs.isEmpty())
        return QString();
    rs.moveFirst();
    return (rs.value(QStringLiteral("PFirNam")).toString().trimmed() + QLatin1Char(' ') +
            rs.value(QStringLiteral("PLasNam")).toString().trimmed())
        .trimmed();
}

QString SuiteServices::personDepartment(qint32 personId)
{
    return m_db
        ->scalar(adaptSql(QStringLiteral("SELECT EBDep FROM EBTable WHERE EBPid = ?")), {personId})
        .toString()
        .trimmed();
}

bool SuiteServices::writeNote(qint32, const tzsndmsg::NoteEntry&, QString* error)
{
    if (error)
        *error = QStringLiteral("this suite keeps no notes");
    return false;
}

bool SuiteServices::writeTodo(qint32, const tzsndmsg::NoteEntry&, QString* error)
{
    if (error)
        *error = QStringLiteral("this suite keeps no to-do list");
    return false;
}
