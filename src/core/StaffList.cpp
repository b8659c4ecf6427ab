// The staff lists of the windows: departments and persons of the employees of the login list,
// employees without a login, and the initials the recipient boxes show.
#include "core/StaffList.h"

#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <algorithm>
#include <exception>

namespace tzsndmsg::core {

namespace {

// Ids per statement: a longer list goes in parts.
constexpr qsizetype kIdBatch = 500;

// "?,?,?" for n values.
QString placeholders(qsizetype n)
{
    QString text;
    text.reserve(n * 2);
    for (qsizetype i = 0; i < n; ++i)
        text += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return text;
}

QVariantList valuesOf(const QList<qint32>& ids)
{
    QVariantList values;
    values.reserve(ids.size());
    for (qint32 id : ids)
        values << id;
    return values;
}

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
    const QVariantList idValues = valuesOf(wanted);

    try {
        // Departments, from each employee's latest employment record.
        const QString latestRecords =
            QStringLiteral("SELECT Max(EBTable.EBID) AS EBID, EBTable.EBPid ") +
            QStringLiteral("FROM EBTable INNER JOIN ESTable ON EBTable.EBID = ESTable.EBID ") +
            QStringLiteral("WHERE ") +
            services.statusFilter(QStringLiteral("ESTable"), QStringLiteral("pdlTable")) +
            QStringLiteral("EBTable.EBPid In (") + placeholders(wanted.size()) +
            QStringLiteral(") GROUP BY EBTable.EBPid ORDER BY Max(EBTable.EBID) DESC");
        db::Recordset records = suite->query(services.adaptSqlFor(*suite, latestRecords), idValues);
        if (!records.isOpen())
            return list;
        QList<qint32> recordIds;
        for (records.moveFirst(); !records.eof(); records.moveNext())
            if (!records.isNull(QStringLiteral("EBID")))
                recordIds << qint32(records.value(QStringLiteral("EBID")).toLongLong());
        // The department of every latest record, a part of the records at a time.
        QHash<qint64, QString> departmentOf;
        for (qsizetype at = 0; at < recordIds.size(); at += kIdBatch) {
            const QList<qint32> part = recordIds.mid(at, kIdBatch);
            db::Recordset dep = suite->query(
                services.adaptSqlFor(
                    *suite, QStringLiteral("Select EBID, EBDep from EBTable where EBID In (") +
                                placeholders(part.size()) + QLatin1Char(')')),
                valuesOf(part));
            if (!dep.isOpen())
                return list;
            for (dep.moveFirst(); !dep.eof(); dep.moveNext())
                departmentOf.insert(dep.value(QStringLiteral("EBID")).toLongLong(),
                                    textOf(dep, QStringLiteral("EBDep")));
        }
        for (qint32 recordId : std::as_const(recordIds)) {
            const QString name = departmentOf.value(recordId);
            if (name.isEmpty())
                continue;
            const bool known = std::any_of(
                list.departments.cbegin(), list.departments.cend(),
                [&](const QString& d) { return d.compare(name, Qt::CaseInsensitive) == 0; });
            if (!known)
                list.departments << name;
        }

        // Persons, in the order of the ids.
        db::Recordset rs = persons->query(
            services.adaptSqlFor(*persons,
                                 QStringLiteral("SELECT * FROM PATable WHERE PATable.pID In (") +
                                     placeholders(wanted.size()) +
                                     QStringLiteral(") ORDER BY PATable.pID")),
            idValues);
        if (!rs.isOpen())
            return list;
        // Row of each pID (the first, as a search from the top finds it).
        QHash<qint64, int> rowOf;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            if (!rs.isNull(QStringLiteral("pID"))) {
                const qint64 pid = rs.value(QStringLiteral("pID")).toLongLong();
                if (!rowOf.contains(pid))
                    rowOf.insert(pid, rs.absolutePosition());
            }
        for (int i = 1; i < ids.size(); ++i) {
            const qint32 id = ids.at(i);
            if (id == 0)
                continue;
            const int row = rowOf.value(id, 0);
            if (row == 0 || !rs.setAbsolutePosition(row))
                continue;
            if (!rs.isNull(QStringLiteral("pDatRel")))
                continue; // released
            list.persons << personAt(rs, i);
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
    for (qsizetype at = 0; at < ids.size(); at += kIdBatch) {
        const QList<qint32> part = ids.mid(at, kIdBatch);
        db::Reader reader = persons->read(
            services.adaptSqlFor(*persons,
                                 QStringLiteral("select pID, pDocIni from paTable where pID In (") +
                                     placeholders(part.size()) + QLatin1Char(')')),
            valuesOf(part));
        if (!reader.isValid())
            continue; // a part that cannot be read leaves its persons out
        while (reader.next())
            initials.insert(qint32(reader.value(0).toLongLong()),
                            reader.value(1).isNull() ? QString()
                                                     : reader.value(1).toString().trimmed());
    }
    return initials;
}

} // namespace tzsndmsg::core
