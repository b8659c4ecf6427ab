#include "SearchHighlightDelegate.h"

#include "core/MessageSearch.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace tzsndmsg {

QColor SearchHighlightDelegate::highlightColor()
{
    return QColor(255, 214, 92);
}

void SearchHighlightDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    if (m_words.isEmpty() || !m_columns.contains(index.column())) {
        ui::CutTextDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index); // the visible start of a long text only
    const QVector<core::TextMatch> found = core::matchesIn(opt.text, m_words);
    if (found.isEmpty()) {
        ui::CutTextDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The cell without its text (background, selection, focus), then the text with the marks.
    const QString text = opt.text;
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    opt.text = text;
    QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    rect.adjust(margin, 0, -margin, 0);
    if (rect.width() <= 0)
        return;
    const QString shown = QFontMetrics(opt.font).elidedText(text, opt.textElideMode, rect.width());

    QList<QTextLayout::FormatRange> marks;
    for (const core::TextMatch& m : found) {
        if (m.start >= shown.size())
            break;
        QTextLayout::FormatRange range;
        range.start = m.start;
        range.length = std::min<int>(m.length, int(shown.size()) - m.start);
        range.format.setBackground(highlightColor());
        range.format.setForeground(QColor(Qt::black));
        marks << range;
    }
    QTextLayout layout(shown, opt.font);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.setFormats(marks);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return;
    }
    line.setLineWidth(rect.width() + 1000); // one line; the text was elided to fit
    layout.endLayout();

    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Enabled)
            ? ((opt.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive)
            : QPalette::Disabled;
    painter->save();
    painter->setClipRect(rect);
    painter->setPen(opt.palette.color(
        group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, QPointF(rect.left(), rect.top() + (rect.height() - line.height()) / 2.0));
    painter->restore();
}

} // namespace tzsndmsg
