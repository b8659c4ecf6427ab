#include "StaffDirectory.h"

#include "component/SharedState.h"
#include "core/LoginList.h"
#include "db/Database.h"
#include "db/Recordset.h"

#include <QComboBox>
#include <QHash>
#include <QListWidget>

#include <algorithm>
#include <exception>
#include <functional>

namespace tzsndmsg {

namespace {

const QString kSupervisor = QStringLiteral("SUPERVISOR");

// Where a staff routine puts its entries: a list box or a combo box.
struct EntrySink {
    std::function<void()> clear;
    std::function<void(const QString& text, qint32 value)> add;
};

EntrySink sinkFor(QListWidget* list)
{
    return {[list] { list->clear(); },
            [list](const QString& text, qint32 value) {
                auto* item = new QListWidgetItem(text, list);
                item->setData(Qt::UserRole, value);
            }};
}

EntrySink sinkFor(QComboBox* combo)
{
    return {[combo] { combo->clear(); },
            [combo](const QString& text, qint32 value) { combo->addItem(text, value); }};
}

// A column as trimmed text, Null giving the empty string.
QString textOf(const db::Recordset& rs, const QString& column)
{
    return rs.isNull(column) ? QString() : rs.value(column).toString().trimmed();
}

QString personEntryText(const db::Recordset& rs, bool incomplete)
{
    const QString last = textOf(rs, QStringLiteral("PLasNam"));
    const QString first = textOf(rs, QStringLiteral("PFirNam"));
    if (incomplete)
        return last + QStringLiteral(", ") + first + QStringLiteral(" [Incomplete Entry]");
    return last + QStringLiteral(", ") + first + QStringLiteral("--(") +
           textOf(rs, QStringLiteral("PDocIni")) + QLatin1Char(')');
}

void fillStaff(const EntrySink& sink, const QVector<qint32>& ids)
{
    sink.clear();
    sink.add(QStringLiteral("  Entire Office"), 0);

    SharedState& state = SharedState::current();
    HostServices* gic = state.GIC.get();
    if (!gic)
        return;

    // Only integers reach the statements.
    QStringList idTexts;
    for (int i = 1; i < ids.size(); ++i)
        if (ids.at(i) != 0)
            idTexts << QString::number(ids.at(i));
    // With no employee the In lists would be empty: the whole office is all there is.
    if (idTexts.isEmpty())
        return;
    const QString idList = idTexts.join(QLatin1Char(','));

    auto suite = gic->suiteConnection();
    auto persons = gic->personsConnection();
    if (!suite || !persons)
        return;

    try {
        // Departments, from each employee's latest employment record.
        const QString statusFilter = gic->statusFilter(QStringLiteral("ESTable"),
                                                       QStringLiteral("pdlTable"));
        const QString latestRecords =
            QStringLiteral("SELECT Max(EBTable.EBID) AS EBID, EBTable.EBPid ") +
            QStringLiteral("FROM EBTable INNER JOIN ESTable ON EBTable.EBID = ESTable.EBID ") +
            QStringLiteral("WHERE ") + statusFilter + QStringLiteral("EBTable.EBPid In (") +
            idList + QStringLiteral(") ") + QStringLiteral("GROUP BY EBTable.EBPid ") +
            QStringLiteral("ORDER BY Max(EBTable.EBID) DESC");
        db::Recordset records = suite->query(gic->adaptSql(latestRecords, 1));
        if (!records.isOpen())
            return;
        // The department of every latest record in one statement (ids read from the store).
        QStringList recordIds;
        for (records.moveFirst(); !records.eof(); records.moveNext())
            if (!records.isNull(QStringLiteral("EBID")))
                recordIds << QString::number(records.value(QStringLiteral("EBID")).toLongLong());
        QHash<qint64, QString> departmentOf;
        if (!recordIds.isEmpty()) {
            const QString depStatement = QStringLiteral("Select EBID, EBDep from EBTable where EBID In (") +
                                         recordIds.join(QLatin1Char(',')) + QLatin1Char(')');
            db::Recordset dep = suite->query(gic->adaptSql(depStatement, 1));
            if (!dep.isOpen())
                return;
            for (dep.moveFirst(); !dep.eof(); dep.moveNext())
                departmentOf.insert(dep.value(QStringLiteral("EBID")).toLongLong(),
                                    textOf(dep, QStringLiteral("EBDep")));
        }
        QStringList departments;
        for (const QString& recordId : std::as_const(recordIds)) {
            const QString name = departmentOf.value(recordId.toLongLong());
            if (name.isEmpty())
                continue;
            const bool known = std::any_of(departments.cbegin(), departments.cend(),
                                           [&](const QString& d) {
                                               return d.compare(name, Qt::CaseInsensitive) == 0;
                                           });
            if (known)
                continue;
            departments << name;
            sink.add(QLatin1Char(' ') + departmentTitle(name) + QStringLiteral(" Department"), 0);
        }

        // Persons, in the order of the ids.
        const QString personsStatement =
            QStringLiteral("SELECT * FROM PATable WHERE PATable.pID In (") + idList +
            QStringLiteral(") ") + QStringLiteral("ORDER BY PATable.pID;");
        db::Recordset rs = persons->query(gic->adaptSql(personsStatement, 1));
        if (!rs.isOpen())
            return;
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
            const bool incomplete =
                i < state.LoginNames.size() && state.LoginNames.at(i).trimmed().isEmpty();
            sink.add(personEntryText(rs, incomplete),
                     qint32(rs.value(QStringLiteral("PID")).toLongLong()));
        }
    } catch (const std::exception&) {
        // A column that cannot be read ends the list where it stands.
    }
}

} // namespace

QString departmentTitle(const QString& department)
{
    const QString trimmed = department.trimmed();
    if (trimmed.isEmpty())
        return QString();
    QString text = QLatin1Char(' ') + trimmed.toLower();
    for (int i = 0; i + 1 < text.size(); ++i)
        if (text.at(i) == QLatin1Char(' '))
            text[i + 1] = text.at(i + 1).toUpper();
    return text.mid(1);
}

void LoadLoginNames()
{
    SharedState& state = SharedState::current();
    if (!state.GIC) {
        state.LoginNames = QStringList{QString(), kSupervisor};
        state.LoginEmployeeIDs = QVector<qint32>{0, 0};
        return;
    }
    core::LoginList logins = core::readLoginList(*state.GIC);
    state.LoginNames = std::move(logins.names);
    state.LoginEmployeeIDs = std::move(logins.employeeIds);
}

void FillStaffList(QListWidget* list, const QVector<qint32>& ids)
{
    if (list)
        fillStaff(sinkFor(list), ids);
}

void FillStaffList(QComboBox* combo, const QVector<qint32>& ids)
{
    if (combo)
        fillStaff(sinkFor(combo), ids);
}

void FillUnlinkedEmployees(QListWidget* list)
{
    if (!list)
        return;
    list->clear();
    HostServices* gic = SharedState::current().GIC.get();
    auto persons = gic ? gic->personsConnection() : nullptr;
    if (!persons)
        return;
    const QString statement = QStringLiteral(
        "Select * from PaTable left Join PWMTable on PaTable.Pid=PWMTable.PWMPid where "
        "PaTable.pTypEmp='1' and PWMTable.PWMUseNam is null Order by "
        "PaTable.PLasNam,PaTable.PFirNam");
    db::Recordset rs = persons->query(gic->adaptSql(statement, 1));
    if (!rs.isOpen())
        return;
    const EntrySink sink = sinkFor(list);
    try {
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            if (!rs.isNull(QStringLiteral("pDatRel")))
                continue; // released
            sink.add(personEntryText(rs, false),
                     qint32(rs.value(QStringLiteral("PID")).toLongLong()));
        }
    } catch (const std::exception&) {
        // The list keeps the entries read so far.
    }
}

bool SelectEmployeeOfLogin(QComboBox* combo, const QString& loginName)
{
    if (!combo || combo->count() == 0)
        return false;
    const SharedState& state = SharedState::current();
    int login = -1;
    for (int i = 1; i < state.LoginNames.size(); ++i) {
        if (state.LoginNames.at(i) == loginName) {
            login = i;
            break;
        }
    }
    if (login < 0 || login >= state.LoginEmployeeIDs.size())
        return false;
    const qint32 employee = state.LoginEmployeeIDs.at(login);
    if (combo->currentIndex() >= 0 && itemValue(combo, combo->currentIndex()) == employee)
        return true;
    for (int row = 0; row < combo->count(); ++row) {
        if (itemValue(combo, row) == employee) {
            combo->setCurrentIndex(row);
            return true;
        }
    }
    if (combo->currentIndex() < 0)
        combo->setCurrentIndex(0);
    return true;
}

qint32 itemValue(const QListWidget* list, int row)
{
    const QListWidgetItem* item = list ? list->item(row) : nullptr;
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

qint32 itemValue(const QComboBox* combo, int row)
{
    if (!combo || row < 0 || row >= combo->count())
        return 0;
    return combo->itemData(row, Qt::UserRole).toInt();
}

} // namespace tzsndmsg
