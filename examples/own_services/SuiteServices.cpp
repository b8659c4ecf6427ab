#include "SuiteServices.h"

#include <QDir>
#include <QFileInfo>
#include <tzsndmsg/db/RecordWriter.h>
#include <tzsndmsg/db/Recordset.h>
#include <tzsndmsg/db/SqlDialect.h>

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

QString SuiteServices::adaptSql(const QString& statement, int mode)
{
    return m_db->dialect().adapt(statement, mode);
}

QString SuiteServices::adaptSqlFor(Database& connection, const QString& statement, int mode)
{
    return connection.dialect().adapt(statement, mode);
}

bool SuiteServices::writeRecord(int, const QString& table, const QString& keyColumn, qint64& key,
                                const QStringList& names, const QStringList& texts, QString* error)
{
    return tzsndmsg::db::writeRecord(*m_db, table, keyColumn, key, names, texts, error);
}

QDateTime SuiteServices::currentDateTime() const
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.addMSecs(-now.time().msec()); // the suite's clock counts whole seconds
}

QString SuiteServices::nextToken(const QString& list, const QString& separator, int& position)
{
    if (position < 0)
        position = 0;
    if (position >= list.size())
        return QString();
    const qsizetype at = separator.isEmpty() ? -1 : list.indexOf(separator, position);
    const qsizetype end = at < 0 ? list.size() : at;
    const QString token = list.mid(position, end - position);
    position = int(at < 0 ? list.size() : at + separator.size());
    return token;
}

QStringList SuiteServices::split(const QString& text, const QString& separator, int maxCount)
{
    if (text.isEmpty() || maxCount == 0)
        return {};
    QStringList parts = separator.isEmpty() ? QStringList{text} : text.split(separator);
    if (maxCount > 0 && parts.size() > maxCount) // the last entry keeps the rest
        parts = parts.mid(0, maxCount - 1) << parts.mid(maxCount - 1).join(separator);
    return parts;
}

QString SuiteServices::replaceText(const QString& text, const QString& find,
                                   const QString& replacement)
{
    return find.isEmpty() ? text : QString(text).replace(find, replacement);
}

QString SuiteServices::quote(const QString& text)
{
    return tzsndmsg::db::SqlDialect::quote(text);
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

// The component names files of the data folder the suite's way: relative, with "\".
bool SuiteServices::fileExists(const QString& path)
{
    if (path.trimmed().isEmpty())
        return false;
    const QString file = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QFileInfo(QDir::isRelativePath(file) ? m_dataFolder + file : file).isFile();
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
