#include "ui/CutTextDelegate.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using tzsndmsg::ui::CutTextDelegate;

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
        const QString start = CutTextDelegate::visibleStart(c.text, metrics, c.width);
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
    CutTextDelegate cut;
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
    CutTextDelegate cut;
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
