#include "support/Office.h"

#include "component/SharedState.h"
#include "directory/StaffDirectory.h"

#include <QComboBox>
#include <QListWidget>

using tzsndmsg::SharedState;
using tzsndmsg::testing::Office;

namespace {

const QVariant kNullText = QVariant(QMetaType::fromType<QString>());
const QVariant kNullInt = QVariant(QMetaType::fromType<int>());

QStringList texts(const QListWidget& list)
{
    QStringList out;
    for (int row = 0; row < list.count(); ++row)
        out << list.item(row)->text();
    return out;
}

QVector<qint32> values(const QListWidget& list)
{
    QVector<qint32> out;
    for (int row = 0; row < list.count(); ++row)
        out << tzsndmsg::itemValue(&list, row);
    return out;
}

// The services of a fresh office in the shared state, the login list emptied afterwards.
class StaffDirectory : public ::testing::Test {
protected:
    void SetUp() override { SharedState::current().GIC = office.services(); }
    void TearDown() override
    {
        SharedState& state = SharedState::current();
        state.GIC.reset();
        state.LoginNames = QStringList{QString()};
        state.LoginEmployeeIDs = QVector<qint32>{0};
    }
    void addLogin(const QVariant& name, const QVariant& person)
    {
        office.insert("PWMTable", "PWMID", {"PWMUseNam", "PWMPID"}, {name, person});
    }
    void terminate(qint32 person)
    {
        office.exec("UPDATE ESTable SET ESSta='Terminated' WHERE EBID IN "
                    "(SELECT EBID FROM EBTable WHERE EBPid=?)",
                    {person});
    }
    Office office;
};

} // namespace

TEST_F(StaffDirectory, LoginListAlwaysHoldsSupervisorOnce)
{
    struct Login {
        QVariant name, person;
    };
    struct Case {
        const char* name;
        QList<Login> logins;
        QStringList names;
        QVector<qint32> ids;
    };
    const Case cases[] = {
        {"no logins", {}, {"", "SUPERVISOR"}, {0, 0}},
        {"supervisor in any case", {{" SuperVisor ", 12}}, {"", "SUPERVISOR"}, {0, 12}},
        {"blank and null names",
         {{" front ", 5}, {kNullText, kNullInt}, {"", 7}, {"o'hara", 8}},
         {"", "FRONT", "", "", "O'HARA", "SUPERVISOR"},
         {0, 5, 0, 7, 8, 0}},
    };
    for (const Case& c : cases) {
        office.exec("DELETE FROM PWMTable");
        for (const Login& login : c.logins)
            addLogin(login.name, login.person);
        tzsndmsg::LoadLoginNames();
        EXPECT_EQ(SharedState::current().LoginNames, c.names) << c.name;
        EXPECT_EQ(SharedState::current().LoginEmployeeIDs, c.ids) << c.name;
    }
}

TEST_F(StaffDirectory, LoginListWithoutServicesIsSupervisorAlone)
{
    addLogin("FRONT", 5);
    SharedState::current().GIC.reset();
    tzsndmsg::LoadLoginNames();
    EXPECT_EQ(SharedState::current().LoginNames, QStringList({"", "SUPERVISOR"}));
    EXPECT_EQ(SharedState::current().LoginEmployeeIDs, QVector<qint32>({0, 0}));
}

TEST_F(StaffDirectory, StaffListShowsOfficeDepartmentsThenStaffInLoginOrder)
{
    const qint32 smith = office.addEmployee("Smith", "John", "JS", "FRONT", "front desk");
    const qint32 adams = office.addEmployee("Adams", "Mary", "MA", "MARY", "FRONT DESK");
    const qint32 brown = office.addPerson("Brown", "Bob", "BB", true, /*released*/ true);
    office.addLogin("BOB", brown);
    office.addEmployment(brown, "Billing");
    const qint32 clark = office.addEmployee("Clark", " Cy ", "CC", "CY", "   ");
    const qint32 dole = office.addPerson("Dole", "Dan", "DD");
    office.addLogin("  ", dole);
    office.addEmployment(dole, "o'brien's desk");
    const qint32 evans = office.addEmployee("Evans", "Eve", "EE", "EVE", QString());
    const qint32 fox = office.addEmployee("Fox", "Fay", "FF", "FAY", "Shipping");
    terminate(fox);

    tzsndmsg::LoadLoginNames();
    QListWidget list;
    list.addItem("left over");
    tzsndmsg::FillStaffList(&list, SharedState::current().LoginEmployeeIDs);

    // Departments by latest employment record first, each name once; a terminated record, a
    // blank department and an employee without a record add none.
    EXPECT_EQ(texts(list), QStringList({"  Entire Office",
                                        " O'brien's Desk Department",
                                        " Billing Department",
                                        " Front Desk Department",
                                        "Smith, John--(JS)",
                                        "Adams, Mary--(MA)",
                                        "Clark, Cy--(CC)",
                                        "Dole, Dan [Incomplete Entry]",
                                        "Evans, Eve--(EE)",
                                        "Fox, Fay--(FF)"}));
    EXPECT_EQ(values(list), QVector<qint32>({0, 0, 0, 0, smith, adams, clark, dole, evans, fox}));

    QComboBox combo;
    tzsndmsg::FillStaffList(&combo, SharedState::current().LoginEmployeeIDs);
    ASSERT_EQ(combo.count(), list.count());
    for (int row = 0; row < combo.count(); ++row) {
        EXPECT_EQ(combo.itemText(row), list.item(row)->text());
        EXPECT_EQ(tzsndmsg::itemValue(&combo, row), tzsndmsg::itemValue(&list, row));
    }
}

TEST_F(StaffDirectory, StaffListWithoutEmployeesHoldsTheOfficeOnly)
{
    addLogin("FRONT", kNullInt);
    addLogin("DESK", 0);
    tzsndmsg::LoadLoginNames();
    QListWidget list;
    tzsndmsg::FillStaffList(&list, SharedState::current().LoginEmployeeIDs);
    EXPECT_EQ(texts(list), QStringList({"  Entire Office"}));
    EXPECT_EQ(tzsndmsg::itemValue(&list, 5), 0);
}

TEST_F(StaffDirectory, DepartmentTitles)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"front desk", "Front Desk"},
                 {"  FRONT   DESK ", "Front   Desk"},
                 {"x-ray/lab", "X-ray/lab"},
                 {"o'brien's desk", "O'brien's Desk"},
                 {"   ", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(tzsndmsg::departmentTitle(c.in), QString::fromUtf8(c.out)) << c.in;
}

TEST_F(StaffDirectory, UnlinkedEmployeesAreCurrentStaffWithoutLogin)
{
    office.addEmployee("Smith", "John", "JS", "FRONT");
    const qint32 zed = office.addPerson("Zed", "Al", "ZA");
    const qint32 bea = office.addPerson("Baker", "Bea", "BB");
    const qint32 abe = office.addPerson(" Baker ", "Abe", "AB");
    office.addPerson("Gone", "Gus", "GG", true, /*released*/ true);
    office.addPerson("Patient", "Pat", "PP", /*employee*/ false);
    const qint32 kate = office.addPerson("O'Hara", "Kate", "KO");

    QListWidget list;
    list.addItem("left over");
    tzsndmsg::FillUnlinkedEmployees(&list);
    EXPECT_EQ(texts(list), QStringList({"Baker, Abe--(AB)", "Baker, Bea--(BB)",
                                        "O'Hara, Kate--(KO)", "Zed, Al--(ZA)"}));
    EXPECT_EQ(values(list), QVector<qint32>({abe, bea, kate, zed}));
}

TEST_F(StaffDirectory, SelectEmployeeOfLogin)
{
    const qint32 smith = office.addEmployee("Smith", "John", "JS", "FRONT");
    const qint32 ohara = office.addEmployee("O'Hara", "Kate", "KO", "o'hara");
    addLogin("NOPERSON", 77);
    tzsndmsg::LoadLoginNames();

    QComboBox combo;
    EXPECT_FALSE(tzsndmsg::SelectEmployeeOfLogin(&combo, "FRONT")); // empty combo
    tzsndmsg::FillStaffList(&combo, SharedState::current().LoginEmployeeIDs);
    const int ohRow = combo.findText("O'Hara, Kate--(KO)");
    ASSERT_GE(ohRow, 0);

    EXPECT_FALSE(tzsndmsg::SelectEmployeeOfLogin(&combo, "STRANGER"));
    EXPECT_FALSE(tzsndmsg::SelectEmployeeOfLogin(&combo, "front")); // names are upper case

    EXPECT_TRUE(tzsndmsg::SelectEmployeeOfLogin(&combo, "O'HARA"));
    EXPECT_EQ(combo.currentIndex(), ohRow);
    EXPECT_EQ(tzsndmsg::itemValue(&combo, combo.currentIndex()), ohara);
    EXPECT_TRUE(tzsndmsg::SelectEmployeeOfLogin(&combo, "FRONT"));
    EXPECT_EQ(tzsndmsg::itemValue(&combo, combo.currentIndex()), smith);

    // No entry for the login's person: the selection stays, or entry 0 when there is none.
    EXPECT_TRUE(tzsndmsg::SelectEmployeeOfLogin(&combo, "NOPERSON"));
    EXPECT_EQ(tzsndmsg::itemValue(&combo, combo.currentIndex()), smith);
    combo.setCurrentIndex(-1);
    EXPECT_TRUE(tzsndmsg::SelectEmployeeOfLogin(&combo, "NOPERSON"));
    EXPECT_EQ(combo.currentIndex(), 0);
}
