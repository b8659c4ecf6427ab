#include "ui/DateCombo.h"

#include "support/FocusChain.h"
#include "support/GuiDriver.h"
#include "ui/BusyPointer.h"

#include <QCalendarWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
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

namespace {

// A form with a labelled date field and a box after it, as the windows lay them out.
struct DateForm {
    DateForm()
    {
        window.setObjectName(u"form"_s);
        auto* layout = new QHBoxLayout(&window);
        auto* label = new QLabel(u"&From :"_s, &window);
        combo = new ui::DateCombo(&window);
        combo->setObjectName(u"dCmbFro"_s);
        label->setBuddy(combo);
        auto* after = new QLineEdit(&window);
        after->setObjectName(u"after"_s);
        after->setAccessibleName(u"After"_s);
        layout->addWidget(label);
        layout->addWidget(combo);
        layout->addWidget(after);
    }
    QWidget window;
    ui::DateCombo* combo = nullptr;
};

} // namespace

TEST(DateComboKeys, AltDownOrF4OpensTheCalendarAndKeysPickADay)
{
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } openers[] = {{"Alt+Down", Qt::Key_Down, Qt::AltModifier}, {"F4", Qt::Key_F4, Qt::NoModifier}};
    for (const auto& opener : openers) {
        SCOPED_TRACE(opener.name);
        DateForm form;
        form.combo->setText(u"03/04/2026"_s);
        ASSERT_TRUE(tt::showActive(&form.window));
        tt::pressKey(Qt::Key_F, Qt::AltModifier); // the label's mnemonic
        ASSERT_EQ(tt::focusedName(), u"dateEdit"_s);
        QSignalSpy picked(form.combo, &ui::DateCombo::dateSelected);

        tt::pressKey(opener.key, opener.modifiers);
        ASSERT_TRUE(form.combo->isPopupVisible());
        EXPECT_TRUE(form.combo->calendar()->isAncestorOf(QApplication::focusWidget()));
        EXPECT_EQ(form.combo->calendar()->selectedDate(), QDate(2026, 3, 4));
        // Esc closes it and leaves the text alone.
        tt::pressKey(Qt::Key_Escape);
        EXPECT_FALSE(form.combo->isPopupVisible());
        EXPECT_EQ(form.combo->text(), u"03/04/2026"_s);

        tt::pressKey(opener.key, opener.modifiers);
        ASSERT_TRUE(form.combo->isPopupVisible());
        tt::pressKey(Qt::Key_Right);
        tt::pressKey(Qt::Key_Down); // a week on
        tt::pressKey(Qt::Key_Return);
        EXPECT_FALSE(form.combo->isPopupVisible());
        EXPECT_EQ(form.combo->text(), u"03/12/2026"_s);
        ASSERT_EQ(picked.size(), 1);
        EXPECT_EQ(picked.first().first().toDate(), QDate(2026, 3, 12));
        // The user goes on typing where they were.
        EXPECT_EQ(tt::focusedName(), u"dateEdit"_s);
        EXPECT_EQ(tt::tabChain(), QStringList({u"after"_s}));
    }
}

TEST(DateComboKeys, OtherKeysStayWithTheEditAndAReadOnlyFieldOpensNothing)
{
    DateForm form;
    ASSERT_TRUE(tt::showActive(&form.window));
    form.combo->setFocus();
    tt::pressKey(Qt::Key_Down);
    tt::pressKey(Qt::Key_F4, Qt::ShiftModifier);
    EXPECT_FALSE(form.combo->isPopupVisible());
    form.combo->setReadOnly(true);
    tt::pressKey(Qt::Key_F4);
    EXPECT_FALSE(form.combo->isPopupVisible());
}

TEST(DateComboKeys, EditAndButtonAreNamedAfterTheFieldOrItsLabel)
{
    const struct {
        const char* ownName;
        const char* expected;
    } cases[] = {{"", "From"}, {"Absent from", "Absent from"}};
    for (const auto& c : cases) {
        DateForm form;
        form.combo->setAccessibleName(QString::fromLatin1(c.ownName));
        form.window.show();
        const QString expected = QString::fromLatin1(c.expected);
        EXPECT_EQ(form.combo->lineEdit()->accessibleName(), expected);
        EXPECT_EQ(form.combo->dropDownButton()->accessibleName(), expected + u" calendar"_s);
        EXPECT_TRUE(tt::unnamedFocusable(&form.window).isEmpty());
        EXPECT_TRUE(form.combo->dropDownButton()->toolTip().contains(u"F4"_s));
        form.window.hide();
    }
    // A field with neither still gets a name.
    ui::DateCombo alone;
    alone.show();
    EXPECT_FALSE(alone.lineEdit()->accessibleName().isEmpty());
}
