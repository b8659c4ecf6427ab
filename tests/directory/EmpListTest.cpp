#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include "component/SharedState.h"
#include "directory/EMS_EmpList.h"
#include "directory/StaffDirectory.h"
#include "tzsndmsg/ui/Modal.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using tzsndmsg::EMS_EmpList;
using tzsndmsg::SharedState;
using tzsndmsg::testing::control;
using tzsndmsg::testing::Office;
using tzsndmsg::testing::PrompterGuard;

namespace {

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text();
    return out;
}

void selectRows(QListWidget* list, std::initializer_list<int> rows)
{
    list->clearSelection();
    for (int row : rows)
        list->item(row)->setSelected(true);
}

class Picker : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedState::current().GIC = office.services();
        smith = office.addEmployee("Smith", "John", "JS", "FRONT", "Front Desk");
        adams = office.addEmployee("Adams", "Mary", "MA", "MARY", "Billing");
        nolog = office.addPerson("Nolan", "Ned", "NN");
        office.writeMachinesIni("ws1\r\nFront\r\n\r\n   \r\n  back office \r\n");
        tzsndmsg::LoadLoginNames();
    }
    void TearDown() override
    {
        SharedState& state = SharedState::current();
        state.GIC.reset();
        state.LoginNames = QStringList{QString()};
        state.LoginEmployeeIDs = QVector<qint32>{0};
        tzsndmsg::testing::expectNoVisibleWindows();
    }
    QByteArray machinesIni() const
    {
        QFile file(office.dataFolder() + "stp/Machines.Ini");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    Office office;
    qint32 smith = 0, adams = 0, nolog = 0;
};

const QStringList kStaff = {"  Entire Office", " Billing Department", " Front Desk Department",
                            "Smith, John--(JS)", "Adams, Mary--(MA)"};

} // namespace

TEST_F(Picker, ModesChooseTheListAndItsContent)
{
    struct Case {
        int mode;
        int storedMode;
        int activeList;
        QStringList entries;
    };
    const Case cases[] = {
        {1, 1, 0, kStaff},
        {2, 2, 0, kStaff + QStringList{"PC: WS1", "PC: FRONT", "PC: BACK OFFICE"}},
        {3, 3, 1, {"Nolan, Ned--(NN)"}},
        {7, 1, 0, kStaff},
        {0, 1, 0, kStaff},
    };
    for (const Case& c : cases) {
        EMS_EmpList picker;
        EXPECT_EQ(picker.objectName(), QStringLiteral("EMS_EmpList"));
        EXPECT_EQ(picker.windowTitle(), QStringLiteral("Employee List"));
        picker.setMachineName_PreFix("PC: ");
        picker.setEmpListType(c.mode);
        EXPECT_EQ(picker.EmpListType(), c.storedMode) << c.mode;
        EXPECT_EQ(picker.activeListIndex(), c.activeList) << c.mode;
        auto* active = control<QListWidget>(&picker, QStringLiteral("List_%1").arg(c.activeList));
        auto* other = control<QListWidget>(&picker, QStringLiteral("List_%1").arg(1 - c.activeList));
        ASSERT_TRUE(active && other);
        EXPECT_EQ(texts(active), c.entries) << c.mode;
        EXPECT_FALSE(other->isEnabled());
        EXPECT_TRUE(active->isEnabled());
        auto* clear = control<QPushButton>(&picker, "cmd_2");
        EXPECT_EQ(clear->isEnabled(), c.activeList == 0) << c.mode;
        EXPECT_FALSE(control<QPushButton>(&picker, "cmd_1")->isEnabled());
        if (c.mode == 2) {
            for (int row = kStaff.size(); row < active->count(); ++row)
                EXPECT_EQ(tzsndmsg::itemValue(active, row), 0);
        }
        if (c.mode == 3) {
            EXPECT_EQ(tzsndmsg::itemValue(active, 0), nolog);
        }
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
         [](EMS_EmpList& p) { QTest::keyClick(p.findChild<QListWidget*>("List_0"), Qt::Key_Return); },
         true, false},
        {"Esc", [](EMS_EmpList& p) { QTest::keyClick(p.findChild<QListWidget*>("List_0"), Qt::Key_Escape); },
         false, true},
        {"Cancel button", [](EMS_EmpList& p) { p.findChild<QPushButton*>("cmd_0")->click(); }, false,
         true},
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
    EXPECT_EQ(control<QLabel>(&picker, "Label1")->text(),
              QStringLiteral("For multi selection use [Cntl]-Click or [Shift]-Click"));
}

TEST_F(Picker, DeleteWithOnlyPersonsSelectedDoesNothing)
{
    PrompterGuard prompter; // any box fails the test
    EMS_EmpList picker;
    picker.setEmpListType(2);
    auto* list = control<QListWidget>(&picker, "List_0");
    const int before = list->count();
    selectRows(list, {3, 4});
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(list->count(), before);
    EXPECT_EQ(prompter->shown.size(), 0);
    EXPECT_EQ(machinesIni(), QByteArray("ws1\r\nFront\r\n\r\n   \r\n  back office \r\n"));
}

TEST_F(Picker, DeletingTwoComputersAsksOnceAndRemovesBoth)
{
    PrompterGuard prompter;
    prompter->expect("Do you wish to delete the selected machine name from the list?",
                     "Delete Machine Name", tzsndmsg::ui::vbYes);
    EMS_EmpList picker;
    picker.setMachineName_PreFix("PC: ");
    picker.setEmpListType(2);
    auto* list = control<QListWidget>(&picker, "List_0");
    selectRows(list, {3, 5, 7}); // a person, WS1 and BACK OFFICE
    QTest::keyClick(list, Qt::Key_Delete);

    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown.at(0).buttons, 4);
    EXPECT_EQ(prompter->shown.at(0).icon, 32);
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
