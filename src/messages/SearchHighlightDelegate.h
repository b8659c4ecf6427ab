#pragma once

#include "ui/CutTextDelegate.h"

#include <QColor>
#include <QSet>
#include <QStringList>

namespace tzsndmsg {

// The message grid's cells, with the words of a search marked where they start a word of the
// cell's text (case and accents ignored, as the search finds them).
class SearchHighlightDelegate : public ui::CutTextDelegate {
public:
    using ui::CutTextDelegate::CutTextDelegate;

    // The colour behind a word found, in the list and in the message shown.
    static QColor highlightColor();

    // The words marked (none: cells paint as the style paints them) and the columns whose
    // texts are searched.
    void setWords(const QStringList& words) { m_words = words; }
    QStringList words() const { return m_words; }
    void setColumns(const QSet<int>& columns) { m_columns = columns; }

protected:
    QList<QTextLayout::FormatRange> marks(const QString& text, const QString& shown,
                                          const QModelIndex& index) const override;

private:
    QStringList m_words;
    QSet<int> m_columns;
};

} // namespace tzsndmsg
