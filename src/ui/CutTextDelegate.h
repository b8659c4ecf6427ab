#pragma once

#include <QFont>
#include <QHash>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <memory>

namespace tzsndmsg::ui {

// Paints one-line cells as the style does, but hands the style only as much of a long text as
// can show: the style lays out and shapes the whole text to elide it, and a list cell of 500
// characters cost most of a screen's paint. The painted cell is the same.
//
// A one-line cell's text is laid out once here and drawn as shaped for that layout (the style
// lays it out three times, to size, elide and draw it, and shapes it again to draw it): the
// style paints the cell without its text, then the text is drawn where and as the style draws it.
// The lines laid out are kept for the texts painted again (a list's names, subjects, addressees).
class CutTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The shortest start of `text` at least `width` wide in `metrics` (all of it when it is
    // narrower), so that eliding the start gives what eliding the whole would.
    static QString visibleStart(const QString& text, const QFontMetrics& metrics, int width);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

    // Formats for parts of the text shown (`shown`: `text` elided to the cell); none by default.
    virtual QList<QTextLayout::FormatRange> marks(const QString& text, const QString& shown,
                                                  const QModelIndex& index) const;

private:
    // A filled option's text cut to the start its cell can show.
    static void cutText(QStyleOptionViewItem* option);
    // Paints a cell whose option is filled; false, painting nothing, for a cell only the style
    // lays out (several lines, wrapped, being edited, text placed by its size).
    bool paintOneLine(QPainter* painter, const QStyleOptionViewItem& opt,
                      const QModelIndex& index) const;

    // A cell's text as laid out for a width: what the elision kept of it, and its line.
    struct LineKey {
        QString whole;
        QFont font;
        int width = 0;
        int placing = 0; // alignment, direction and elide mode
        friend bool operator==(const LineKey&, const LineKey&) = default;
        // The font's whole description is long to hash: its weight and size tell a list's
        // fonts apart, equality the rest.
        friend size_t qHash(const LineKey& key, size_t seed = 0) noexcept
        {
            return qHashMulti(seed, key.whole, key.width, key.placing, key.font.weight(),
                              key.font.pointSizeF(), key.font.pixelSize());
        }
    };
    struct Line {
        QString text;                              // the whole, or the start of it that was elided
        QString shown;                             // `text` elided to the width
        std::shared_ptr<const QTextLayout> layout; // of `shown`, without marks
    };
    mutable QHash<LineKey, Line> m_lines;
};

} // namespace tzsndmsg::ui
