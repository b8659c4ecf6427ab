#include "CutTextDelegate.h"

#include <QFontMetrics>

namespace tzsndmsg::ui {

namespace {

// Shorter texts are cheap to lay out whole.
constexpr qsizetype kShortText = 48;

} // namespace

QString CutTextDelegate::visibleStart(const QString& text, const QFontMetrics& metrics, int width)
{
    if (width <= 0 || text.size() <= kShortText)
        return text;
    // Start from an estimate by the average character and double until the start is wide
    // enough; narrow or zero-width characters only cost another round.
    qsizetype n = std::max<qsizetype>(
        kShortText, 2 * qsizetype(width) / std::max(1, metrics.averageCharWidth()) + 8);
    while (n < text.size()) {
        // Never cut a surrogate pair.
        if (text.at(n - 1).isHighSurrogate())
            ++n;
        QString start = text.left(n);
        if (metrics.horizontalAdvance(start) > width)
            return start;
        n *= 2;
    }
    return text;
}

void CutTextDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // An empty rectangle is a size question: it needs the whole text.
    if (option->rect.isEmpty() || (option->features & QStyleOptionViewItem::WrapText))
        return;
    option->text = visibleStart(option->text, QFontMetrics(option->font), option->rect.width());
}

} // namespace tzsndmsg::ui
