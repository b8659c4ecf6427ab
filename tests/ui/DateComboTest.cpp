#include "ui/DateCombo.h"

#include "support/GuiDriver.h"
#include "ui/BusyPointer.h"

#include <QCalendarWidget>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
namespace tt = tzsndmsg::testing;

TEST(DateCombo, HoldsAnyTextAndReadsDatesFromIt)
{
    ui::DateCombo combo;
    QSignalSpy changed(&combo, &ui::DateCombo::changed);
    const struct {
        const char* text;
        bool valid;
    } cases[] = {{"__/__/__", false},  {"garbage", false},   {"", false},
                 {"12/06/2026", true}, {"2/30/2026", false}, {"1/5/26", true}};
    for (const auto& c : cases) {
        combo.setText(QString::fromLatin1(c.text));
        EXPECT_EQ(combo.text(), QString::fromLatin1(c.text));
        EXPECT_EQ(combo.isValidDate(), c.valid) << c.text;
        EXPECT_EQ(combo.date().has_value(), c.valid) << c.text;
    }
    EXPECT_EQ(combo.date()->date(), QDate(2026, 1, 5));
    EXPECT_EQ(changed.size(), 6); // every text differs from the one before
}

TEST(DateCombo, TypingKeepsTheTextAndRangeLimitsValidity)
{
    ui::DateCombo combo;
    combo.show();
    QTest::keyClicks(combo.lineEdit(), u"13/45/2026"_s);
    EXPECT_EQ(combo.text(), u"13/45/2026"_s);
    EXPECT_FALSE(combo.isValidDate());

    combo.setRange(QDate(2026, 1, 1), QDate(2026, 12, 31));
    // The calendar, made when first wanted, takes the range set before it.
    EXPECT_EQ(combo.calendar()->minimumDate(), QDate(2026, 1, 1));
    EXPECT_EQ(combo.calendar()->maximumDate(), QDate(2026, 12, 31));
    combo.setText(u"12/31/2026"_s);
    EXPECT_TRUE(combo.isValidDate());
    combo.setText(u"1/1/2027"_s);
    EXPECT_FALSE(combo.isValidDate());
    EXPECT_TRUE(combo.date().has_value());
}

TEST(DateCombo, CalendarPickSetsTheTextInTheDisplayFormat)
{
    ui::DateCombo combo;
    combo.show();
    combo.setText(u"garbage"_s);
    QSignalSpy picked(&combo, &ui::DateCombo::dateSelected);
    combo.dropDownButton()->click();
    ASSERT_TRUE(combo.isPopupVisible());
    emit combo.calendar()->clicked(QDate(2026, 3, 4));
    EXPECT_FALSE(combo.isPopupVisible());
    EXPECT_EQ(combo.text(), u"03/04/2026"_s);
    ASSERT_EQ(picked.size(), 1);

    combo.setDisplayFormat(u"m/d/yyyy"_s);
    combo.setDate(QDate(2026, 12, 6));
    EXPECT_EQ(combo.text(), u"12/6/2026"_s);
    combo.setDate(QDate());
    EXPECT_EQ(combo.text(), QString());
}

TEST(BusyPointer, NestsAndNormalPointerEndsAll)
{
    ASSERT_EQ(ui::busyDepth(), 0);
    {
        ui::BusyPointer outer;
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            ui::BusyPointer inner;
            EXPECT_EQ(ui::busyDepth(), 2);
        }
        EXPECT_EQ(ui::busyDepth(), 1);
        ui::hourglass();
        ui::normalPointer();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        // The outer object's hourglass is already gone; its end must not pop someone else's.
        ui::hourglass();
    }
    EXPECT_EQ(ui::busyDepth(), 1);
    ui::normalPointer();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
