#include "directory/EMS_EmpList.h"
#include "directory/StaffDirectory.h"
#include "state/SharedState.h"
#include "support/Appearance.h"
#include "support/FreshSharedState.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowWalk.h"

#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using tzsndmsg::EMS_EmpList;
using tzsndmsg::SharedState;
using namespace tzsndmsg::testing;

namespace {

class PickerKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedState::current().GIC = office.services();
        smith = office.addEmployee("Smith", "John", "JS", "FRONT", "Front Desk");
        adams = office.addEmployee("Adams", "Mary", "MA", "MARY", "Billing");
        office.writeMachinesIni("ws1\r\nFront\r\n");
        office.addPerson("Nolan", "Ned", "NN");
        tzsndmsg::LoadLoginNames();
    }
    void TearDown() override { expectNoVisibleWindows(); }
    Office office;
    FreshSharedState state; // after the office: it goes first
    qint32 smith = 0, adams = 0;
};

} // namespace

// Rows: the office, two departments, Smith, Adams, then the computers.
TEST_F(PickerKeys, ChoosingPeopleWithKeysAlone)
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
TEST_F(PickerKeys, TabRunsLeftToRightOverNamedControlsAndLargeDarkPrintLeavesNothingCut)
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
