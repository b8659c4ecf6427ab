#include "core/LoginList.h"

#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <exception>

namespace tzsndmsg::core {

LoginList readLoginList(HostServices& services)
{
    const QString supervisor = QStringLiteral("SUPERVISOR");
    LoginList list;
    bool haveSupervisor = false;
    auto persons = services.personsConnection();
    if (!persons)
        list.error = QStringLiteral("the persons table cannot be read");
    if (persons) {
        db::Reader reader = persons->read(
            services.adaptSql(QStringLiteral("SELECT * FROM PWMTable"), 1), &list.error);
        while (reader.isValid() && reader.next()) {
            list.names.append(QString());
            list.employeeIds.append(0);
            const int n = int(list.names.size()) - 1;
            try {
                if (!reader.isNull(QStringLiteral("PWMUseNam")))
                    list.names[n] =
                        reader.value(QStringLiteral("PWMUseNam")).toString().trimmed().toUpper();
                if (list.names.at(n) == supervisor)
                    haveSupervisor = true;
                if (!reader.isNull(QStringLiteral("PWMPID")))
                    list.employeeIds[n] =
                        qint32(reader.value(QStringLiteral("PWMPID")).toLongLong());
            } catch (const std::exception&) {
                // The entry stays as far as it was read.
            }
        }
    }
    if (!haveSupervisor) {
        list.names.append(supervisor);
        list.employeeIds.append(0);
    }
    return list;
}

bool IsWholeOfficeLogin(const QStringList& loginNames, const QVector<qint32>& loginEmployeeIds,
                        const QString& login)
{
    const QString name = login.trimmed().toUpper();
    if (name.isEmpty())
        return false;
    for (qsizetype i = 1; i < loginNames.size() && i < loginEmployeeIds.size(); ++i)
        if (loginNames.at(i) == name)
            return loginEmployeeIds.at(i) == 0;
    return false;
}

bool IsReleasedPerson(HostServices& services, qint32 personId, QString* error)
{
    if (personId == 0)
        return false;
    auto persons = services.personsConnection();
    if (!persons)
        return false;
    const QVariant released =
        persons->scalar(services.adaptSqlFor(
                            *persons, QStringLiteral("SELECT count(*) FROM PATable WHERE pID=? AND "
                                                     "pDatRel IS NOT NULL")),
                        {personId}, error);
    return released.toLongLong() > 0;
}

ViewLogin ResolveViewLogin(HostServices& services, const QString& loginName)
{
    ViewLogin login;
    login.list = readLoginList(services);
    login.name = loginName.trimmed().toUpper();
    login.error = login.list.error;
    login.listed = !login.name.isEmpty() && login.list.names.indexOf(login.name, 1) >= 1;
    if (!login.listed)
        return login;
    login.employeeId = services.employeeOfLogin(login.name);
    login.released = IsReleasedPerson(services, login.employeeId, &login.error);
    if (login.released)
        login.employeeId = 0;
    return login;
}

QString viewLoginRefusal(const ViewLogin& login)
{
    if (!login.error.isEmpty())
        return QStringLiteral("The office's logins cannot be read: %1").arg(login.error);
    if (login.released)
        return QStringLiteral("\"%1\" is the login of a person who has left the office.")
            .arg(login.name);
    if (!login.listed)
        return QStringLiteral("There is no login \"%1\" in this office.").arg(login.name);
    return QString();
}

} // namespace tzsndmsg::core
