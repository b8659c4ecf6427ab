// The shared controls: the date box with its calendar and keys, the busy pointer, and the list's
// cells drawn as the style draws them.
#include "support/FocusChain.h"
#include "support/GuiDriver.h"
#include "ui/BusyPointer.h"
#include "ui/CutTextDelegate.h"
#include "ui/DateCombo.h"

#include <QCalendarWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTableView>
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

namespace {

// One cell painted by a delegate into an image.
QImage paintCell(QAbstractItemDelegate& delegate, QTableView& view, const QModelIndex& index,
                 QRect rect)
{
    QImage image(rect.size() + QSize(4, 4), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = rect;
    option.textElideMode = Qt::ElideRight;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    delegate.paint(&painter, option, index);
    return image;
}

} // namespace

TEST(CutTextDelegate, KeepsAStartWideEnoughToElideAsTheWholeText)
{
    const QFontMetrics metrics(QFont{});
    const QString surrogatePair = QString::fromUtf8("\xF0\x9F\x93\x9E"); // a telephone receiver
    const struct {
        const char* name;
        QString text;
        int width;
    } cases[] = {
        {"short text whole", u"Call Mrs Ortiz back"_s, 40},
        {"long body", u"Lab results ready. "_s.repeated(26), 300},
        {"narrow letters", u"il.,"_s.repeated(120), 300},
        {"zero-width spaces", QString(400, QChar(0x200B)) + u"tail"_s, 200},
        {"pairs not split", surrogatePair.repeated(250), 150},
        {"no width", u"x"_s.repeated(500), 0},
        {"wide cell", u"ab "_s.repeated(20), 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString start = ui::CutTextDelegate::visibleStart(c.text, metrics, c.width);
        ASSERT_TRUE(c.text.startsWith(start));
        if (metrics.horizontalAdvance(c.text) <= c.width) {
            EXPECT_EQ(start, c.text); // a text the cell shows in full is not cut
        }
        if (start != c.text) {
            EXPECT_GT(metrics.horizontalAdvance(start), c.width);
            EXPECT_FALSE(start.back().isHighSurrogate());
            EXPECT_LT(start.size(), c.text.size());
        }
        EXPECT_EQ(metrics.elidedText(start, Qt::ElideRight, c.width),
                  metrics.elidedText(c.text, Qt::ElideRight, c.width));
    }
}

TEST(CutTextDelegate, PaintsTheSameCellAsTheStyle)
{
    const QString sentence = u"Please confirm the Tuesday schedule with Dr Reyes. "_s;
    // A one-line body, and an event description typed on several lines.
    const QStringList texts{sentence.repeated(10), u"Bring badges\n"_s + sentence.repeated(8),
                            sentence.repeated(2) + u"\n"_s + sentence.repeated(8)};
    QStandardItemModel model(1, 1);
    QTableView view;
    view.setModel(&model);
    QStyledItemDelegate plain;
    ui::CutTextDelegate cut;
    for (const QString& text : texts) {
        model.setData(model.index(0, 0), text);
        for (int width : {60, 240, 900}) {
            const QRect rect(0, 0, width, 22);
            EXPECT_EQ(paintCell(cut, view, model.index(0, 0), rect),
                      paintCell(plain, view, model.index(0, 0), rect))
                << width << " " << text.left(20).toStdString();
        }
    }
}

// A table's cells as its view paints them (selected, current, aligned, bold, coloured, with an
// icon, right to left): the same pixels as the style's own painting.
TEST(CutTextDelegate, PaintsATableAsTheStyle)
{
    const QString sentence = u"Please confirm the Tuesday schedule with Dr Reyes. "_s;
    const struct {
        QString text;
        Qt::Alignment align;
        bool bold;
        QColor color;
    } cells[] = {
        {u"Ortiz"_s, Qt::AlignLeft | Qt::AlignVCenter, false, {}},
        {sentence.repeated(10), Qt::AlignLeft | Qt::AlignVCenter, true, {}},
        {u"12 of 15 confirmed"_s, Qt::AlignRight | Qt::AlignVCenter, false,
         QColor(0xB0, 0x1E, 0x1E)},
        {u"Lab results  "_s, Qt::AlignCenter, true, {}},
        {u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05DC\u05D9\u05DB\u05DD "_s + sentence,
         Qt::AlignLeft | Qt::AlignTop,
         false,
         {}},
        {u"two\nlines "_s + sentence, Qt::AlignLeft | Qt::AlignVCenter, false, {}},
        {u"Reminder: the staff meeting on Tuesday moves to room four"_s,
         Qt::AlignLeft | Qt::AlignVCenter,
         false,
         {}},
        // Texts of other cells in another width, font or place: each drawn as laid out for it.
        {u"12 of 15 confirmed"_s, Qt::AlignRight | Qt::AlignVCenter, false, {}},
        {u"Ortiz"_s, Qt::AlignLeft | Qt::AlignVCenter, true, {}},
        {u"Ortiz"_s, Qt::AlignCenter, false, {}},
        // Typed on several lines, each wider than a narrow column: the row shows two of them.
        {sentence.repeated(2) + u"\n"_s + sentence.repeated(8),
         Qt::AlignLeft | Qt::AlignVCenter,
         false,
         {}},
    };
    QStandardItemModel model(4, int(std::size(cells)));
    QPixmap icon(12, 12);
    icon.fill(Qt::darkGreen);
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column) {
            const auto& c = cells[column];
            auto* item = new QStandardItem(c.text);
            item->setTextAlignment(c.align);
            QFont font;
            font.setBold(c.bold);
            item->setFont(font);
            if (c.color.isValid())
                item->setForeground(c.color);
            if (row == 3)
                item->setIcon(icon);
            model.setItem(row, column, item);
        }
    const auto grid = [&](QAbstractItemDelegate* delegate, Qt::LayoutDirection direction) {
        QTableView view;
        view.setLayoutDirection(direction);
        view.setModel(&model);
        view.setItemDelegate(delegate);
        view.setWordWrap(false);
        view.setAlternatingRowColors(true);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.resize(2000, 160);
        for (int column = 0; column < model.columnCount(); ++column)
            view.setColumnWidth(column, column == 1    ? 300
                                        : column == 6  ? 420
                                        : column == 7  ? 200
                                        : column == 10 ? 60
                                                       : 110);
        view.selectRow(1);
        view.setCurrentIndex(model.index(1, 2));
        return view.viewport()->grab().toImage();
    };
    QStyledItemDelegate plain;
    ui::CutTextDelegate cut;
    for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        SCOPED_TRACE(int(direction));
        const QImage ours = grid(&cut, direction);
        EXPECT_EQ(ours, grid(&plain, direction));
        QSet<QRgb> colors; // and something was painted
        for (int y = 0; y < ours.height(); y += 3)
            for (int x = 0; x < ours.width(); x += 3)
                colors << ours.pixel(x, y);
        EXPECT_GT(colors.size(), 20);
    }
}
