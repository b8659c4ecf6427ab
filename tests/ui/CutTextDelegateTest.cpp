#include "ui/CutTextDelegate.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using tzsndmsg::ui::CutTextDelegate;

namespace {

QString repeated(const QString& piece, int times)
{
    QString out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

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
        {"long body", repeated(u"Lab results ready. "_s, 26), 300},
        {"narrow letters", repeated(u"il.,"_s, 120), 300},
        {"zero-width spaces", repeated(QString(QChar(0x200B)), 400) + u"tail"_s, 200},
        {"pairs not split", repeated(surrogatePair, 250), 150},
        {"no width", repeated(u"x"_s, 500), 0},
        {"wide cell", repeated(u"ab "_s, 20), 2000},
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
    const QStringList texts{repeated(sentence, 10), u"Bring badges\n"_s + repeated(sentence, 8),
                            repeated(sentence, 2) + u"\n"_s + repeated(sentence, 8)};
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
