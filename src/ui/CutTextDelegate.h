#pragma once

#include <QStyledItemDelegate>

namespace tzsndmsg::ui {

// Paints one-line cells as the style does, but hands the style only as much of a long text as
// can show: the style lays out and shapes the whole text to elide it, and a list cell of 500
// characters cost most of a screen's paint. The painted cell is the same.
class CutTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The shortest start of `text` at least `width` wide in `metrics` (all of it when it is
    // narrower), so that eliding the start gives what eliding the whole would.
    static QString visibleStart(const QString& text, const QFontMetrics& metrics, int width);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace tzsndmsg::ui
