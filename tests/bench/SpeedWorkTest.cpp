// The picker's departments in one statement give what one statement per employee gave.
#include "StoreGenerator.h"
#include "directory/StaffDirectory.h"
#include "state/SharedState.h"
#include "support/Office.h"
#include "tzsndmsg/db/Recordset.h"

#include <QListWidget>
#include <algorithm>

using namespace tzsndmsg;
using tzsndmsg::testing::Office;

namespace {

// The picker as it was first written: one department statement per latest record.
QStringList pickerByOneQueryPerRecord(Office& office, const QVector<qint32>& ids)
{
    QStringList out{"  Entire Office"};
    QStringList idTexts;
    for (int i = 1; i < ids.size(); ++i)
        if (ids.at(i) != 0)
            idTexts << QString::number(ids.at(i));
    db::Recordset records = office.query(
        "SELECT Max(EBTable.EBID) AS EBID FROM EBTable INNER JOIN ESTable ON EBTable.EBID = "
        "ESTable.EBID WHERE (ESTable.ESSta is null or ESTable.ESSta<>'Terminated') and "
        "EBTable.EBPid In (" +
        idTexts.join(u',') + ") GROUP BY EBTable.EBPid ORDER BY Max(EBTable.EBID) DESC");
    QStringList seen;
    for (records.moveFirst(); !records.eof(); records.moveNext()) {
        const QString name =
            office.scalar("SELECT EBDep FROM EBTable WHERE EBID = ?", {records.value("EBID")})
                .toString()
                .trimmed();
        if (name.isEmpty() || std::any_of(seen.cbegin(), seen.cend(), [&](const QString& d) {
                return d.compare(name, Qt::CaseInsensitive) == 0;
            }))
            continue;
        seen << name;
        out << u' ' + departmentTitle(name) + " Department";
    }
    return out;
}

TEST(PickerOnAGeneratedOffice, SameEntriesAsOneQueryPerEmployee)
{
    Office office;
    bench::StoreSummary summary;
    QString error;
    ASSERT_TRUE(bench::generateStore(*office.db(), office.dataFolder(),
                                     bench::StoreSpec().scaled(0.002), &summary, &error))
        << error.toStdString();
    // Departments that differ only in case and blanks, a later record that moves an employee.
    office.addEmployment(3, "  front DESK ");
    office.addEmployment(5, "FRONT desk");
    office.addEmployment(7, QString());
    SharedState& st = SharedState::current();
    st.GIC = office.services();
    LoadLoginNames();

    QListWidget list;
    FillStaffList(&list, st.LoginEmployeeIDs);
    QStringList shown;
    for (int i = 0; i < list.count(); ++i)
        shown << list.item(i)->text();
    const QStringList expectedHead = pickerByOneQueryPerRecord(office, st.LoginEmployeeIDs);
    ASSERT_GT(expectedHead.size(), 5);
    EXPECT_EQ(shown.mid(0, expectedHead.size()), expectedHead);
    // Then the employees of the logins, in login order.
    int persons = 0; // one entry per login of a person not released
    for (int i = 1; i < st.LoginEmployeeIDs.size(); ++i)
        if (st.LoginEmployeeIDs.at(i) != 0)
            persons +=
                office.count("PATable", "pID = ? AND pDatRel IS NULL", {st.LoginEmployeeIDs.at(i)});
    EXPECT_EQ(shown.size(), expectedHead.size() + persons);
    st.GIC.reset();
}

} // namespace
