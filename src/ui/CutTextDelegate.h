#pragma once

#include <QStyledItemDelegate>
#include <QTextLayout>

namespace tzsndmsg::ui {

// Paints one-line cells as the style does, but hands the style only as much of a long text as
// can show: the style lays out and shapes the whole text to elide it, and a list cell of 500
// characters cost most of a screen's paint. The painted cell is the same.
//
// A one-line cell's text is laid out once here and drawn as shaped for that layout (the style
// lays it out three times, to size, elide and draw it, and shapes it again to draw it): the
// style paints the cell without its text, then the text is drawn where and as the style draws it.
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
    // Paints a cell whose option is filled; false, painting nothing, for a cell only the style
    // lays out (several lines, wrapped, being edited, text placed by its size).
    bool paintOneLine(QPainter* painter, const QStyleOptionViewItem& opt,
                      const QModelIndex& index) const;
};

} // namespace tzsndmsg::ui
