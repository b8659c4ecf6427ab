// The staff lists of the windows: departments and persons of the employees of the login list,
// employees without a login, and the initials the recipient boxes show.
#include "core/StaffList.h"

#include "core/KeyList.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <algorithm>
#include <exception>

namespace tzsndmsg::core {

namespace {

// A column as trimmed text, null giving the empty string.
QString textOf(const db::Recordset& rs, const QString& column)
{
    return rs.isNull(column) ? QString() : rs.value(column).toString().trimmed();
}

StaffPerson personAt(const db::Recordset& rs, int index)
{
    return {qint32(rs.value(QStringLiteral("PID")).toLongLong()),
            textOf(rs, QStringLiteral("PLasNam")), textOf(rs, QStringLiteral("PFirNam")),
            textOf(rs, QStringLiteral("PDocIni")), index};
}

} // namespace

StaffList readStaffList(HostServices& services, const QVector<qint32>& ids)
{
    StaffList list;
    QList<qint32> wanted;
    for (int i = 1; i < ids.size(); ++i)
        if (ids.at(i) != 0)
            wanted << ids.at(i);
    // With no employee the whole office is all there is.
    if (wanted.isEmpty())
        return list;
    auto suite = services.suiteConnection();
    auto persons = services.personsConnection();
    if (!suite || !persons)
        return list;

    try {
        // Departments, from each employee's latest employment record, newest record first: one
        // statement, the latest records found inside it.
        const QString latestRecords =
            QStringLiteral("SELECT Max(EBTable.EBID) FROM EBTable INNER JOIN ESTable ON ") +
            QStringLiteral("EBTable.EBID = ESTable.EBID WHERE ") +
            services.statusFilter(QStringLiteral("ESTable"), QStringLiteral("pdlTable")) +
            keysAmong(suite->backend(), QStringLiteral("EBTable.EBPid")) +
            QStringLiteral(" GROUP BY EBTable.EBPid");
        // A reader ends before the next statement starts (the connections may be one).
        {
            db::Reader dep =
                suite->read(services.adaptSqlFor(
                                *suite, QStringLiteral("SELECT EBID, EBDep FROM EBTable WHERE "
                                                       "EBID In (") +
                                            latestRecords + QStringLiteral(") ORDER BY EBID DESC")),
                            {keysValue(suite->backend(), wanted)});
            if (!dep.isValid())
                return list;
            while (dep.next()) {
                const QString name =
                    dep.value(1).isNull() ? QString() : dep.value(1).toString().trimmed();
                if (name.isEmpty())
                    continue;
                const bool known = std::any_of(
                    list.departments.cbegin(), list.departments.cend(),
                    [&](const QString& d) { return d.compare(name, Qt::CaseInsensitive) == 0; });
                if (!known)
                    list.departments << name;
            }
        }

        // Persons, in the order of the ids; the first row of a pID counts.
        db::Reader rs = persons->read(
            services.adaptSqlFor(
                *persons, QStringLiteral("SELECT pID, PLasNam, PFirNam, PDocIni, pDatRel FROM "
                                         "PATable WHERE ") +
                              keysAmong(persons->backend(), QStringLiteral("PATable.pID")) +
                              QStringLiteral(" ORDER BY PATable.pID")),
            {keysValue(persons->backend(), wanted)});
        if (!rs.isValid())
            return list;
        const auto text = [&rs](int column) {
            const QVariant v = rs.value(column);
            return v.isNull() ? QString() : v.toString().trimmed();
        };
        struct Row {
            StaffPerson person;
            bool released = false;
        };
        QHash<qint64, Row> rowOf;
        while (rs.next()) {
            const QVariant pid = rs.value(0);
            if (pid.isNull() || rowOf.contains(pid.toLongLong()))
                continue;
            rowOf.insert(
                pid.toLongLong(),
                {{qint32(pid.toLongLong()), text(1), text(2), text(3), 0}, !rs.value(4).isNull()});
        }
        for (int i = 1; i < ids.size(); ++i) {
            const auto row = rowOf.constFind(ids.at(i));
            if (ids.at(i) == 0 || row == rowOf.cend() || row->released)
                continue;
            list.persons << row->person;
            list.persons.last().index = i;
        }
    } catch (const std::exception&) {
        // A column that cannot be read ends the list where it stands.
    }
    return list;
}

QVector<StaffPerson> readUnlinkedEmployees(HostServices& services)
{
    QVector<StaffPerson> found;
    auto persons = services.personsConnection();
    if (!persons)
        return found;
    db::Recordset rs = persons->query(services.adaptSqlFor(
        *persons,
        QStringLiteral("Select * from PaTable left Join PWMTable on "
                       "PaTable.Pid=PWMTable.PWMPid where PaTable.pTypEmp='1' and "
                       "PWMTable.PWMUseNam is null Order by PaTable.PLasNam,PaTable.PFirNam")));
    if (!rs.isOpen())
        return found;
    try {
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            if (rs.isNull(QStringLiteral("pDatRel"))) // not released
                found << personAt(rs, 0);
    } catch (const std::exception&) {
        // The list keeps the entries read so far.
    }
    return found;
}

QHash<qint32, QString> readPersonInitials(HostServices& services, const QList<qint32>& ids)
{
    QHash<qint32, QString> initials;
    auto persons = services.personsConnection();
    if (!persons || ids.isEmpty())
        return initials;
    db::Reader reader = persons->read(
        services.adaptSqlFor(*persons, QStringLiteral("select pID, pDocIni from paTable where ") +
                                           keysAmong(persons->backend(), QStringLiteral("pID"))),
        {keysValue(persons->backend(), ids)});
    if (!reader.isValid())
        return initials; // persons that cannot be read are left out
    while (reader.next())
        initials.insert(qint32(reader.value(0).toLongLong()),
                        reader.value(1).isNull() ? QString()
                                                 : reader.value(1).toString().trimmed());
    return initials;
}

} // namespace tzsndmsg::core
