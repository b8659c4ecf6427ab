#include "HolidayFixture.h"
#include "support/Appearance.h"
#include "support/WindowWalk.h"

#include <QLineEdit>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

class HolidayKeyboard : public HolidayFixture {
protected:
    qint64 seed(const QString& name, int obsOn, int month)
    {
        return HolidayFixture::seed(name, -1, obsOn, 0, month, 0, 0, QString());
    }
};

TEST_F(HolidayKeyboard, AddAndDeleteAHolidayWithKeysAlone)
{
    seed(u"Alpha"_s, 1, 1);
    PrompterGuard prompts; // a box nobody expects fails
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        pressKey(Qt::Key_N, Qt::ControlModifier);
        pressKey(Qt::Key_M, Qt::AltModifier); // the name's label
        ASSERT_EQ(focusedName(), u"txt_0"_s);
        QTest::keyClicks(QApplication::focusWidget(), u"Gammax"_s);
        // Del in the name deletes a letter, not the holiday.
        pressKey(Qt::Key_Left);
        pressKey(Qt::Key_Delete);
        EXPECT_EQ(control<QLineEdit>(&w, "txt_0")->text(), u"Gamma"_s);
        pressKey(Qt::Key_Tab); // the checked kind of date
        pressKey(Qt::Key_Tab);
        ASSERT_EQ(focusedName(), u"CMB_0"_s);
        pressKey(Qt::Key_3);
        pressKey(Qt::Key_F, Qt::AltModifier); // "day of": the month
        ASSERT_EQ(focusedName(), u"CMB_1"_s);
        pressKey(Qt::Key_M);
        pressKey(Qt::Key_A);
        pressKey(Qt::Key_S, Qt::ControlModifier);
        EXPECT_FALSE(w.HolidayEdited());
        EXPECT_EQ(
            office.count(u"HDOCTable"_s, u"hdocDes='Gamma' AND hdocObsOn=3 AND hdocObsMon=3"_s), 1);

        // Back to the list on the saved row; Del asks as the button does.
        pressKey(Qt::Key_M, Qt::AltModifier);
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        EXPECT_EQ(currentName(w), u"Gamma"_s);
        prompts->expect(u"Would you like to delete Gamma?"_s, u"Delete Holiday Setup"_s, ui::vbYes);
        pressKey(Qt::Key_Delete);
        EXPECT_EQ(office.count(u"HDOCTable"_s), 1);
    });
    EXPECT_TRUE(SharedState::current().HolidayChanged);
}

// In large print on a dark desktop: Tab walks the window as it reads and every stop has a name;
// long names and their rules fit and no caption is cut.
TEST_F(HolidayKeyboard, TabWalksTheWindowAsItReadsAndLargeDarkPrintLeavesNothingCut)
{
    seed(u"Martin Luther King Jr. Day"_s, 15, 1);
    seed(u"Day after Thanksgiving"_s, 27, 11);
    Appearance largeDark(16);
    PrompterGuard prompts;
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        // The list, the edit panel top to bottom, then the bottom row left to right.
        expectTabRing(&w,
                      {"txt_0", "Opt_0", "CMB_0", "CMB_1", "CMB_2", "CMB_3", "ChkNotAppToParEmp",
                       "cmdIcon", "CmdEd_0", "CmdEd_1", "cmd_2", "cmd_1", "cmd_3", "cmd_0"});

        pressKey(Qt::Key_Down);
        auto* grid = control<QTableView>(&w, "TDBG");
        const QFontMetrics fm = grid->fontMetrics();
        for (const QString& name : {u"Martin Luther King Jr. Day"_s, u"Day after Thanksgiving"_s})
            EXPECT_GE(grid->columnWidth(1), fm.horizontalAdvance(name)) << name.toStdString();
        const int rules = static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(2);
        EXPECT_GE(grid->viewport()->width() - grid->columnWidth(1), rules);
        EXPECT_EQ(cutCaptions(&w, true), QStringList());
        EXPECT_EQ(grid->palette().color(QPalette::Text), darkPalette().color(QPalette::Text));
        keepShot(&w, u"holidays-16pt-dark.png"_s);

        // The observed-date page has its own lists, named as well.
        pressKey(Qt::Key_O, Qt::AltModifier);
        EXPECT_EQ(focusedName(), u"Opt_1"_s);
        EXPECT_TRUE(QTest::qWaitFor([&] { return control<QWidget>(&w, "pics_1")->isVisible(); }));
        EXPECT_EQ(unnamedFocusable(&w), QStringList());
        QStringList chain = tabChain();
        EXPECT_EQ(chain.mid(0, 3), QStringList({"CMB_4", "CMB_5", "CMB_6"}));
        EXPECT_FALSE(chain.contains(u"<trap>"_s));
        for (const char* name : {"CmdEd_0", "cmd_1", "cmd_2"})
            EXPECT_FALSE(control<QWidget>(&w, QLatin1String(name))->toolTip().isEmpty()) << name;
    });
}
