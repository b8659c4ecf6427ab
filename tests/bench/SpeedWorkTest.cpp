// The faster paths give what the plain ones gave: kept writer statements and the picker's
// departments in one statement.
#include "StoreGenerator.h"
#include "directory/StaffDirectory.h"
#include "state/SharedState.h"
#include "support/Office.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"
#include "tzsndmsg/db/Recordset.h"

#include <QListWidget>
#include <algorithm>

using namespace tzsndmsg;
using tzsndmsg::testing::Office;

namespace {

TEST(KeptWriterStatements, SameRowsAcrossRepeatsFailuresSchemaChangesAndConnections)
{
    Office office;
    auto& db = *office.db();
    const QStringList cols{"BroChkLinID", "BroChkPid", "BroChkTyp"};
    QString error;
    const auto write = [&](db::Database& on, qint64 key, const QStringList& names,
                           const QStringList& texts) {
        return db::writeRecord(on, "BroChkTable", "BroChkID", key, names, texts, &error) ? key : -1;
    };
    const auto column = [&](const char* name, qint64 key) {
        return office.scalar(QString("SELECT %1 FROM BroChkTable WHERE BroChkID = ?").arg(name),
                             {key});
    };
    QList<qint64> keys;
    {
        db::Transaction t(db);
        for (int pid = 1; pid <= 3; ++pid) {
            keys << write(db, 0, cols, {"7", QString::number(pid), "1"});
            ASSERT_GT(keys.last(), 0) << error.toStdString();
        }
        // A value the column cannot take fails alone; the kept statement still serves.
        EXPECT_EQ(write(db, 0, cols, {"7", "x", "1"}), -1);
        EXPECT_EQ(write(db, 999999, {"BroChkTyp"}, {"0"}), -1);
        EXPECT_TRUE(error.contains("There is no row")) << error.toStdString();
        ASSERT_TRUE(t.commit());
    }
    EXPECT_EQ(office.count("BroChkTable", "BroChkLinID = 7"), 3);
    EXPECT_EQ(office.scalar("SELECT sum(BroChkPID) FROM BroChkTable WHERE BroChkLinID = 7").toInt(),
              6);

    // Updates by key, the same statement each time, each to its own row.
    for (qint64 key : keys)
        ASSERT_EQ(write(db, key, {"BroChkTyp"}, {QString::number(key)}), key);
    for (qint64 key : keys)
        EXPECT_EQ(column("BroChkTyp", key).toLongLong(), key);

    // A column added later is known at once, and its declared type converts the text.
    ASSERT_TRUE(db.exec("ALTER TABLE BroChkTable ADD COLUMN BroChkNote integer", &error))
        << error.toStdString();
    const qint64 key = write(db, 0, cols + QStringList{"BroChkNote"}, {"8", "1", "0", " 41.6 "});
    ASSERT_GT(key, 0) << error.toStdString();
    EXPECT_EQ(column("BroChkNote", key).toInt(), 42);

    // A second connection to the same store keeps its own statements.
    auto other = db::Database::open(office.databaseUrl(), &error);
    ASSERT_TRUE(other) << error.toStdString();
    for (auto* conn : {other.get(), &db, other.get()})
        ASSERT_GT(write(*conn, 0, cols, {"9", "2", "0"}), 0) << error.toStdString();
    EXPECT_EQ(office.count("BroChkTable", "BroChkLinID = 9"), 3);
}

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
