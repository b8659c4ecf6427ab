#include "SearchHighlightDelegate.h"

#include "core/MessageSearch.h"

namespace tzsndmsg {

QColor SearchHighlightDelegate::highlightColor()
{
    return QColor(255, 214, 92);
}

QList<QTextLayout::FormatRange> SearchHighlightDelegate::marks(const QString& text,
                                                               const QString& shown,
                                                               const QModelIndex& index) const
{
    QList<QTextLayout::FormatRange> marks;
    if (m_words.isEmpty() || !m_columns.contains(index.column()))
        return marks;
    for (const core::TextMatch& m : core::matchesIn(text, m_words)) {
        if (m.start >= shown.size())
            break;
        QTextLayout::FormatRange range;
        range.start = m.start;
        range.length = std::min<int>(m.length, int(shown.size()) - m.start);
        range.format.setBackground(highlightColor());
        range.format.setForeground(QColor(Qt::black));
        marks << range;
    }
    return marks;
}

} // namespace tzsndmsg
