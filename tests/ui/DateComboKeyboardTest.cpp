#include "support/FocusChain.h"
#include "ui/DateCombo.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tzsndmsg;
namespace tt = tzsndmsg::testing;

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
