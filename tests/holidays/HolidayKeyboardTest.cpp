#include "holidays/Ems_HolidayFrm.h"
#include "holidays/HolidayStart.h"
#include "state/SharedState.h"
#include "support/Appearance.h"
#include "support/FocusChain.h"
#include "support/FreshSharedState.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

// The window as the tray opens it, driven by the handler while it is shown.
void withHolidayWindow(const std::function<void(Ems_HolidayFrm&)>& drive)
{
    ModalScript modal;
    modal.then([&](QDialog& dialog) {
        auto& w = static_cast<Ems_HolidayFrm&>(dialog);
        EXPECT_TRUE(showActive(&w));
        drive(w);
        w.hide();
        return int(QDialog::Rejected);
    });
    runHolidayWindow();
    releaseHolidayWindow();
}

QString currentName(Ems_HolidayFrm& w)
{
    auto* grid = control<QTableView>(&w, "TDBG");
    const QModelIndex i = grid->currentIndex();
    return i.isValid() ? grid->model()->index(i.row(), 1).data().toString() : QString();
}

} // namespace

class HolidayKeyboard : public ::testing::Test {
protected:
    void SetUp() override { SharedState::current().GIC = office.services(); }
    void TearDown() override { expectNoVisibleWindows(); }
    qint64 seed(const QString& name, int obsOn, int month)
    {
        return office.insert(u"HDOCTable"_s, u"hdocID"_s,
                             {"hdocDes", "hdocInAct", "hdocUseDatFla", "hdocObsOn", "hdocObsWeeDay",
                              "hdocObsMon", "hdocOnSat", "hdocOnSun", "hdocIcoFilNam",
                              "hdocNotAppToParEmp", "hdocHolFla", "hdocOffColFla", "hdocPayFla"},
                             {name, 1, -1, obsOn, 0, month, 0, 0, QString(), 0, -1, -1, -1});
    }
    Office office;
    tzsndmsg::testing::FreshSharedState state; // after the office: it goes first
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
        EXPECT_EQ(office.count(u"HDOCTable"_s, u"hdocDes='Gamma'"_s), 1);
        EXPECT_EQ(office.scalar(u"select hdocObsOn from HDOCTable where hdocDes='Gamma'"_s).toInt(),
                  3);
        EXPECT_EQ(
            office.scalar(u"select hdocObsMon from HDOCTable where hdocDes='Gamma'"_s).toInt(), 3);

        // Back to the list on the saved row; Del asks as the button does.
        pressKey(Qt::Key_M, Qt::AltModifier);
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        EXPECT_EQ(currentName(w), u"Gamma"_s);
        prompts->expect(u"Would you like to delete Gamma?"_s, u"Delete Holiday Setup"_s, ui::vbNo);
        pressKey(Qt::Key_Delete);
        EXPECT_EQ(office.count(u"HDOCTable"_s), 2);
        prompts->expect(u"Would you like to delete Gamma?"_s, u"Delete Holiday Setup"_s, ui::vbYes);
        pressKey(Qt::Key_Delete);
        EXPECT_EQ(office.count(u"HDOCTable"_s, u"hdocDes='Gamma'"_s), 0);
        EXPECT_EQ(office.count(u"HDOCTable"_s), 1);
    });
    EXPECT_TRUE(SharedState::current().HolidayChanged);
}

TEST_F(HolidayKeyboard, TabWalksTheWindowAsItReadsAndEveryStopHasAName)
{
    seed(u"Alpha"_s, 1, 1);
    PrompterGuard prompts;
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        // The list, the edit panel top to bottom, then the bottom row left to right.
        const QStringList forward = {u"txt_0"_s,
                                     u"Opt_0"_s,
                                     u"CMB_0"_s,
                                     u"CMB_1"_s,
                                     u"CMB_2"_s,
                                     u"CMB_3"_s,
                                     u"ChkNotAppToParEmp"_s,
                                     u"cmdIcon"_s,
                                     u"CmdEd_0"_s,
                                     u"CmdEd_1"_s,
                                     u"cmd_2"_s,
                                     u"cmd_1"_s,
                                     u"cmd_3"_s,
                                     u"cmd_0"_s};
        EXPECT_EQ(tabChain(), forward);
        QStringList backward(forward.rbegin(), forward.rend());
        EXPECT_EQ(tabChain(true), backward);
        EXPECT_EQ(unnamedFocusable(&w), QStringList());

        // The observed-date page has its own lists, named as well.
        pressKey(Qt::Key_O, Qt::AltModifier);
        EXPECT_EQ(focusedName(), u"Opt_1"_s);
        EXPECT_TRUE(QTest::qWaitFor([&] { return control<QWidget>(&w, "pics_1")->isVisible(); }));
        EXPECT_EQ(unnamedFocusable(&w), QStringList());
        QStringList chain = tabChain();
        EXPECT_EQ(chain.mid(0, 3), QStringList({u"CMB_4"_s, u"CMB_5"_s, u"CMB_6"_s}));
        EXPECT_FALSE(chain.contains(u"<trap>"_s));
        for (const char* name : {"CmdEd_0", "cmd_1", "cmd_2"})
            EXPECT_FALSE(control<QWidget>(&w, QLatin1String(name))->toolTip().isEmpty()) << name;
    });
}

TEST_F(HolidayKeyboard, LargeFontAndDarkPaletteLeaveNothingCut)
{
    seed(u"Martin Luther King Jr. Day"_s, 15, 1);
    seed(u"Day after Thanksgiving"_s, 27, 11);
    Appearance largeDark(16);
    PrompterGuard prompts;
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        pressKey(Qt::Key_Down);
        auto* grid = control<QTableView>(&w, "TDBG");
        const QFontMetrics fm = grid->fontMetrics();
        for (const QString& name : {u"Martin Luther King Jr. Day"_s, u"Day after Thanksgiving"_s})
            EXPECT_GE(grid->columnWidth(1), fm.horizontalAdvance(name)) << name.toStdString();
        const int rules = static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(2);
        EXPECT_GE(grid->viewport()->width() - grid->columnWidth(1), rules);
        // Every caption and list shown has the room its text asks for.
        for (QWidget* c : w.findChildren<QWidget*>()) {
            if (!c->isVisible())
                continue;
            if (qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c)) {
                EXPECT_GE(c->width(), c->minimumSizeHint().width())
                    << c->objectName().toStdString();
            }
            if (qobject_cast<QComboBox*>(c)) {
                EXPECT_GE(c->width(), c->sizeHint().width()) << c->objectName().toStdString();
            }
        }
        EXPECT_EQ(grid->palette().color(QPalette::Text), darkPalette().color(QPalette::Text));
        const QString folder = qEnvironmentVariable("TZSNDMSG_SHOT_DIR");
        if (!folder.isEmpty())
            w.grab().save(QDir(folder).filePath(u"holidays-16pt-dark.png"_s));
    });
}
