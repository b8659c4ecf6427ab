#include "directory/StaffDirectory.h"

#include "directory/EMS_EmpList.h"
#include "state/Help.h"
#include "state/SharedState.h"
#include "support/Appearance.h"
#include "support/Files.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowWalk.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/ui/Modal.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

using namespace Qt::StringLiterals;

using tzsndmsg::EMS_EmpList;
using tzsndmsg::SharedState;
using namespace tzsndmsg::testing;

namespace {

const QVariant kNullText = QVariant(QMetaType::fromType<QString>());
const QVariant kNullInt = QVariant(QMetaType::fromType<int>());

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text();
    return out;
}

QVector<qint32> values(const QListWidget& list)
{
    QVector<qint32> out;
    for (int row = 0; row < list.count(); ++row)
        out << tzsndmsg::itemValue(&list, row);
    return out;
}

void selectRows(QListWidget* list, std::initializer_list<int> rows)
{
    list->clearSelection();
    for (int row : rows)
        list->item(row)->setSelected(true);
}

// The services of a fresh office in a shared state of the test's own.
class StaffDirectory : public ::testing::Test {
protected:
    void SetUp() override { SharedState::current().GIC = office.services(); }
    void TearDown() override { tzsndmsg::testing::expectNoVisibleWindows(); }
    void addLogin(const QVariant& name, const QVariant& person)
    {
        office.insert("PWMTable", "PWMID", {"PWMUseNam", "PWMPID"}, {name, person});
    }
    Office office;
    tzsndmsg::testing::FreshSharedState state; // after the office: it goes first
};

// Two employees with logins, one without, and a computer list with blank lines.
class Picker : public StaffDirectory {
protected:
    void SetUp() override
    {
        StaffDirectory::SetUp();
        smith = office.addEmployee("Smith", "John", "JS", "FRONT", "Front Desk");
        adams = office.addEmployee("Adams", "Mary", "MA", "MARY", "Billing");
        nolog = office.addPerson("Nolan", "Ned", "NN");
        office.writeMachinesIni("ws1\r\nFront\r\n\r\n   \r\n  back office \r\n");
        tzsndmsg::LoadLoginNames();
    }
    QByteArray machinesIni() const
    {
        return tzsndmsg::testing::readAll(office.dataFolder() + "stp/Machines.Ini");
    }
    qint32 smith = 0, adams = 0, nolog = 0;
};

const QStringList kStaff = {"  Entire Office", " Billing Department", " Front Desk Department",
                            "Smith, John--(JS)", "Adams, Mary--(MA)"};

} // namespace

TEST_F(Picker, ModesChooseTheListAndItsContent)
{
    const QVector<qint32> staffIds = {0, 0, 0, smith, adams};
    struct Case {
        int mode;
        int storedMode;
        int activeList;
        QStringList entries;
        QVector<qint32> ids;
    };
    const Case cases[] = {
        {1, 1, 0, kStaff, staffIds},
        {2, 2, 0, kStaff + QStringList{"PC: WS1", "PC: FRONT", "PC: BACK OFFICE"},
         staffIds + QVector<qint32>{0, 0, 0}},
        {3, 3, 1, {"Nolan, Ned--(NN)"}, {nolog}},
        {7, 1, 0, kStaff, staffIds},
        {0, 1, 0, kStaff, staffIds},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EMS_EmpList picker;
        picker.setMachineName_PreFix("PC: ");
        picker.setEmpListType(c.mode);
        EXPECT_EQ(picker.EmpListType(), c.storedMode);
        EXPECT_EQ(picker.activeListIndex(), c.activeList);
        auto* active = control<QListWidget>(&picker, u"List_%1"_s.arg(c.activeList));
        auto* other = control<QListWidget>(&picker, u"List_%1"_s.arg(1 - c.activeList));
        ASSERT_TRUE(active && other);
        EXPECT_EQ(texts(active), c.entries);
        EXPECT_EQ(values(*active), c.ids);
        EXPECT_FALSE(other->isEnabled());
        EXPECT_TRUE(active->isEnabled());
        EXPECT_EQ(control<QPushButton>(&picker, "cmd_2")->isEnabled(), c.activeList == 0);
        EXPECT_FALSE(control<QPushButton>(&picker, "cmd_1")->isEnabled());
    }
}

TEST_F(Picker, ShownWithoutAModeListsTheStaff)
{
    EMS_EmpList picker;
    tzsndmsg::testing::ModalScript script;
    script.then([](QDialog& dialog) {
        auto* list = dialog.findChild<QListWidget*>("List_0");
        EXPECT_EQ(list->count(), 0); // nothing filled before it shows
        dialog.show();
        EXPECT_EQ(texts(list), kStaff);
        list->item(3)->setSelected(true);
        auto* ok = dialog.findChild<QPushButton*>("cmd_1");
        EXPECT_TRUE(ok->isEnabled());
        ok->click();
        return dialog.result();
    });
    EXPECT_EQ(tzsndmsg::ui::showModal(picker), int(QDialog::Accepted));
    EXPECT_TRUE(picker.accepted());
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(picker.selectedValues(), QVector<qint32>({smith}));
}

TEST_F(Picker, KeysAndClosingLeaveTheRightMark)
{
    struct Case {
        const char* name;
        std::function<void(EMS_EmpList&)> act;
        bool accepted;
        bool cancelled;
    };
    const Case cases[] = {
        {"Enter with nothing selected",
         [](EMS_EmpList& p) {
             QTest::keyClick(p.findChild<QListWidget*>("List_0"), Qt::Key_Return);
         },
         true, false},
        {"Esc",
         [](EMS_EmpList& p) {
             QTest::keyClick(p.findChild<QListWidget*>("List_0"), Qt::Key_Escape);
         },
         false, true},
        {"Cancel button", [](EMS_EmpList& p) { p.findChild<QPushButton*>("cmd_0")->click(); },
         false, true},
        {"closed by the window", [](EMS_EmpList& p) { p.close(); }, false, false},
    };
    for (const Case& c : cases) {
        EMS_EmpList picker;
        picker.setEmpListType(1);
        picker.show();
        c.act(picker);
        EXPECT_FALSE(picker.isVisible()) << c.name;
        EXPECT_EQ(picker.accepted(), c.accepted) << c.name;
        EXPECT_EQ(picker.cmdTag(0) == "C", c.cancelled) << c.name;
        EXPECT_TRUE(picker.selectedValues().isEmpty()) << c.name;
    }
}

TEST_F(Picker, OkFollowsTheSelectionAndClearListEmptiesIt)
{
    EMS_EmpList picker;
    picker.setEmpListType(2);
    auto* list = control<QListWidget>(&picker, "List_0");
    auto* ok = control<QPushButton>(&picker, "cmd_1");
    selectRows(list, {0, 4, 6});
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(picker.selectedValues(), QVector<qint32>({0, adams, 0}));
    control<QPushButton>(&picker, "cmd_2")->click();
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(ok->isEnabled());
}

TEST_F(Picker, DeletingComputersAsksOnceAndRemovesThemPersonsStay)
{
    PrompterGuard prompter;
    EMS_EmpList picker;
    picker.setMachineName_PreFix("PC: ");
    picker.setEmpListType(2);
    auto* list = control<QListWidget>(&picker, "List_0");
    // Only persons selected: no question, nothing removed.
    selectRows(list, {3, 4});
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(prompter->shown.size(), 0);
    EXPECT_EQ(list->count(), kStaff.size() + 3);
    EXPECT_EQ(machinesIni(), QByteArray("ws1\r\nFront\r\n\r\n   \r\n  back office \r\n"));

    prompter->expect("Do you wish to delete the selected machine name from the list?",
                     "Delete Machine Name", tzsndmsg::ui::vbYes);
    selectRows(list, {3, 5, 7}); // a person, WS1 and BACK OFFICE
    QTest::keyClick(list, Qt::Key_Delete);

    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown.at(0).buttons, 4);
    EXPECT_EQ(prompter->shown.at(0).defaultButton, 256);
    EXPECT_EQ(texts(list), kStaff + QStringList{"PC: FRONT"});
    EXPECT_EQ(machinesIni(), QByteArray("Front\r\n\r\n   \r\n"));

    // No keeps everything; a modified Delete is not the delete key.
    prompter->expect("Do you wish", "Delete Machine Name", tzsndmsg::ui::vbNo);
    selectRows(list, {5});
    QTest::keyClick(list, Qt::Key_Delete);
    QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(list->count(), kStaff.size() + 1);
    EXPECT_EQ(machinesIni(), QByteArray("Front\r\n\r\n   \r\n"));
}

TEST_F(Picker, MissingComputerListAddsNothing)
{
    QFile::remove(office.dataFolder() + "stp/Machines.Ini");
    EMS_EmpList picker;
    picker.setEmpListType(2);
    EXPECT_EQ(texts(control<QListWidget>(&picker, "List_0")), kStaff);
}

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
        bool withServices = true;
    };
    const Case cases[] = {
        {"no logins", {}, {"", "SUPERVISOR"}, {0, 0}},
        {"supervisor in any case", {{" SuperVisor ", 12}}, {"", "SUPERVISOR"}, {0, 12}},
        {"blank and null names",
         {{" front ", 5}, {kNullText, kNullInt}, {"", 7}, {"o'hara", 8}},
         {"", "FRONT", "", "", "O'HARA", "SUPERVISOR"},
         {0, 5, 0, 7, 8, 0}},
        {"without services", {{"FRONT", 5}}, {"", "SUPERVISOR"}, {0, 0}, false},
    };
    for (const Case& c : cases) {
        office.exec("DELETE FROM PWMTable");
        SharedState::current().GIC = c.withServices ? office.services() : nullptr;
        for (const Login& login : c.logins)
            addLogin(login.name, login.person);
        tzsndmsg::LoadLoginNames();
        EXPECT_EQ(SharedState::current().LoginNames, c.names) << c.name;
        EXPECT_EQ(SharedState::current().LoginEmployeeIDs, c.ids) << c.name;
    }
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

    tzsndmsg::LoadLoginNames();
    QListWidget list;
    list.addItem("left over");
    tzsndmsg::FillStaffList(&list, SharedState::current().LoginEmployeeIDs);

    // Departments by latest employment record first, each name once (which records count: the
    // core's staff list test); a blank department and an employee without a record add none.
    EXPECT_EQ(texts(&list),
              QStringList({"  Entire Office", " O'brien's Desk Department", " Billing Department",
                           " Front Desk Department", "Smith, John--(JS)", "Adams, Mary--(MA)",
                           "Clark, Cy--(CC)", "Dole, Dan [Incomplete Entry]", "Evans, Eve--(EE)"}));
    EXPECT_EQ(values(list), QVector<qint32>({0, 0, 0, 0, smith, adams, clark, dole, evans}));

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
    EXPECT_EQ(texts(&list), QStringList({"  Entire Office"}));
    EXPECT_EQ(tzsndmsg::itemValue(&list, 5), 0);
}

TEST(DepartmentTitle, CapitalisesWordsAndTrims)
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
    // One set up through the staff set-up, without a login, as the window writes it.
    tzsndmsg::StaffPersonFields dunn;
    dunn.last = u"Dunn"_s;
    dunn.first = u"Pat"_s;
    dunn.initials = u"DD"_s;
    dunn.department = u"clinical"_s;
    qint32 dee = 0;
    ASSERT_TRUE(tzsndmsg::addStaffPerson(*office.db(), dunn, &dee));

    QListWidget list;
    list.addItem("left over");
    tzsndmsg::FillUnlinkedEmployees(&list);
    EXPECT_EQ(texts(&list), QStringList({"Baker, Abe--(AB)", "Baker, Bea--(BB)", "Dunn, Pat--(DD)",
                                         "O'Hara, Kate--(KO)", "Zed, Al--(ZA)"}));
    EXPECT_EQ(values(list), QVector<qint32>({abe, bea, dee, kate, zed}));
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

TEST_F(Picker, F1OpensThePickersHelpPage)
{
    const QString help = office.dataFolder() + "help/";
    for (const auto& [name, text] : {std::pair<const char*, const char*>{"index.html", "Contents"},
                                     {"picker.html", "Picker page"},
                                     {"map.txt", "3005=picker.html\n"}})
        ASSERT_TRUE(tzsndmsg::testing::writeFile(help + name, text));
    tzsndmsg::ResetHelpFile();
    EMS_EmpList picker;
    picker.setEmpListType(2);
    ASSERT_TRUE(tzsndmsg::testing::showActive(&picker));
    auto* list = control<QListWidget>(&picker, "List_0");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F1);

    QString shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("HelpViewer") && w->isVisible()) {
            if (auto* browser = w->findChild<QTextBrowser*>())
                shown = browser->toPlainText().trimmed();
            w->close();
            delete w;
        }
    EXPECT_EQ(shown, u"Picker page"_s);
    EXPECT_TRUE(picker.isVisible()) << "F1 is not Esc";
    picker.hide();
    tzsndmsg::ResetHelpFile();
}

// Rows: the office, two departments, Smith, Adams, then the computers (WS1 first).
TEST_F(Picker, ChoosingPeopleWithKeysAlone)
{
    PrompterGuard prompts; // a box nobody expects fails
    EMS_EmpList picker;
    picker.setEmpListType(2);
    ASSERT_TRUE(showActive(&picker));
    ASSERT_EQ(focusedName(), u"List_0"_s);
    auto* list = control<QListWidget>(&picker, "List_0");
    list->setCurrentRow(-1, QItemSelectionModel::Clear);

    pressKey(Qt::Key_End);
    pressKey(Qt::Key_Home);
    for (int i = 0; i < 3; ++i)
        pressKey(Qt::Key_Down);
    EXPECT_EQ(picker.selectedValues(), QVector<qint32>({smith}));
    // Ctrl moves without choosing; Ctrl+Space adds the row to the choice.
    pressKey(Qt::Key_Down, Qt::ControlModifier);
    pressKey(Qt::Key_Down, Qt::ControlModifier);
    pressKey(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(picker.selectedValues(), QVector<qint32>({smith, 0}));
    EXPECT_TRUE(control<QPushButton>(&picker, "cmd_1")->isEnabled());
    // Ctrl+Space again drops it; Space alone makes the current row the only choice.
    pressKey(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(picker.selectedValues(), QVector<qint32>({smith}));
    pressKey(Qt::Key_Up, Qt::ControlModifier);
    pressKey(Qt::Key_Space);
    EXPECT_EQ(picker.selectedValues(), QVector<qint32>({adams}));
    pressKey(Qt::Key_Down, Qt::ControlModifier);
    pressKey(Qt::Key_Space, Qt::ControlModifier);

    pressKey(Qt::Key_Return);
    EXPECT_FALSE(picker.isVisible());
    EXPECT_TRUE(picker.accepted());
    EXPECT_EQ(list->selectedItems().value(1)->text(), u"WS1"_s);
}

// In large print on a dark desktop: Tab runs left to right over named controls, and neither the
// list's rows nor a caption is cut.
TEST_F(Picker, TabRunsLeftToRightOverNamedControlsAndLargeDarkPrintLeavesNothingCut)
{
    struct Case {
        int mode;
        QString list;
        QStringList forward;
    };
    const Case cases[] = {
        {2, u"List_0"_s, {"cmd_2", "cmd_1", "cmd_0"}},
        {3, u"List_1"_s, {"cmd_1", "cmd_0"}},
    };
    Appearance largeDark(16);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EMS_EmpList picker;
        picker.setEmpListType(c.mode);
        ASSERT_TRUE(showActive(&picker));
        ASSERT_EQ(focusedName(), c.list);
        auto* list = control<QListWidget>(&picker, c.list);
        for (int row = 0; row < list->count(); ++row)
            EXPECT_GE(list->viewport()->width(), list->visualItemRect(list->item(row)).width());
        EXPECT_GE(list->viewport()->height(), 5 * list->fontMetrics().height());
        EXPECT_EQ(cutCaptions(&picker), QStringList());
        if (c.mode == 2)
            keepShot(&picker, u"picker-16pt-dark.png"_s);
        pressKey(Qt::Key_Space); // OK takes the focus only when there is a choice
        expectTabRing(&picker, c.forward);
        // Space presses the focused button: Clear List or Cancel, never OK by surprise.
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(focusedName(), c.forward.last());
        pressKey(Qt::Key_Space);
        EXPECT_FALSE(picker.isVisible());
        EXPECT_FALSE(picker.accepted());
    }
}
