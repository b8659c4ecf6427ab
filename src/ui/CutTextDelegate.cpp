#include "CutTextDelegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace tzsndmsg::ui {

namespace {

// Shorter texts are cheap to lay out whole.
constexpr qsizetype kShortText = 48;

// The lines kept for texts painted again: a few screens of a list's cells.
constexpr qsizetype kKeptLines = 256;

QStyle* styleOf(const QStyleOptionViewItem& opt)
{
    return opt.widget ? opt.widget->style() : QApplication::style();
}

// A character that may start a new line of a laid-out text.
bool breaksLine(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C || u == 0x85 || u == 0x2028 ||
           u == 0x2029;
}

// One line at most, as the style lays out a cell's text; false when the text makes more.
bool layOutLine(QTextLayout& layout, int width)
{
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
    }
    const bool more = line.isValid() && layout.createLine().isValid();
    layout.endLayout();
    return line.isValid() && !more;
}

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
    cutText(option);
}

void CutTextDelegate::cutText(QStyleOptionViewItem* option)
{
    // An empty rectangle is a size question: it needs the whole text.
    if (option->rect.isEmpty() || (option->features & QStyleOptionViewItem::WrapText) ||
        option->text.size() <= kShortText)
        return;
    const QFontMetrics metrics(option->font);
    const int width = option->rect.width();
    const QString& whole = option->text;
    // A text typed on several lines shows the start of each line that fits the cell's height:
    // every line is cut on its own, its break kept.
    QString cut;
    qsizetype from = 0;
    for (qsizetype at = 0; at <= whole.size(); ++at) {
        if (at < whole.size() && !breaksLine(whole.at(at)))
            continue;
        if (from == 0 && at == whole.size()) {
            cut = visibleStart(whole, metrics, width);
            break;
        }
        cut += visibleStart(whole.mid(from, at - from), metrics, width);
        if (at < whole.size())
            cut += whole.at(at);
        from = at + 1;
    }
    option->text = cut;
}

QList<QTextLayout::FormatRange> CutTextDelegate::marks(const QString&, const QString&,
                                                       const QModelIndex&) const
{
    return {};
}

void CutTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    // The whole text: a one-line cell cuts it while laying it out.
    QStyledItemDelegate::initStyleOption(&opt, index);
    if (paintOneLine(painter, opt, index))
        return;
    cutText(&opt); // the option as initStyleOption() fills it, the model asked once
    styleOf(opt)->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
}

bool CutTextDelegate::paintOneLine(QPainter* painter, const QStyleOptionViewItem& opt,
                                   const QModelIndex& index) const
{
    // The text's place must not depend on its size (it does not when the whole cell shows
    // as selected, as in a table); an elision variant ("\x9c") is the font metrics' own.
    if (opt.text.isEmpty() || !opt.showDecorationSelected || opt.rect.isEmpty() ||
        (opt.features & QStyleOptionViewItem::WrapText) || (opt.state & QStyle::State_Editing) ||
        opt.text.contains(QChar(0x9c)) ||
        std::any_of(opt.text.cbegin(), opt.text.cend(), breaksLine))
        return false;
    QStyle* style = styleOf(opt);
    const QWidget* widget = opt.widget;
    QStyleOptionViewItem panel = opt;
    panel.text.clear();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, &panel, widget)
                           .adjusted(margin, 0, -margin, 0);
    const int width = rect.width();
    if (width <= 0)
        return false;

    QTextOption textOption;
    textOption.setWrapMode(QTextOption::ManualWrap);
    textOption.setTextDirection(opt.direction);
    textOption.setAlignment(QStyle::visualAlignment(opt.direction, opt.displayAlignment));
    const auto layOut = [&](std::shared_ptr<QTextLayout>& layout, const QString& text,
                            const QList<QTextLayout::FormatRange>& formats = {}) {
        layout = std::make_shared<QTextLayout>(text, opt.font);
        layout->setCacheEnabled(true); // drawn as shaped for the layout, not shaped again
        layout->setTextOption(textOption);
        layout->setFormats(formats);
        if (!layOutLine(*layout, width))
            layout.reset();
        return layout != nullptr;
    };

    const LineKey key{opt.text, opt.font, width,
                      int(opt.displayAlignment) | (int(opt.direction) << 16) |
                          (int(opt.textElideMode) << 20)};
    Line line;
    std::shared_ptr<QTextLayout> layout; // of `line.text`, when it was laid out to be measured
    if (const auto kept = m_lines.constFind(key); kept != m_lines.constEnd()) {
        line = *kept;
    } else {
        // A long text elided at its end is elided from a start a little wider than the cell
        // (made longer until it is): eliding that start gives what eliding the whole would, and
        // only what shows is laid out. The style measures a line without its trailing spaces,
        // so a short text or a start ending in a space is laid out to be measured.
        const QFontMetrics metrics(opt.font);
        const QString& whole = opt.text;
        const int perChar = std::max(1, metrics.averageCharWidth());
        qsizetype n = whole.size() <= kShortText || opt.textElideMode != Qt::ElideRight
                          ? whole.size()
                          : std::max<qsizetype>(
                                kShortText, 5 * qsizetype(width) / (4 * qsizetype(perChar)) + 8);
        for (;;) {
            if (n < whole.size() && whole.at(n - 1).isHighSurrogate())
                ++n; // never cut a surrogate pair
            line.text = n < whole.size() ? whole.left(n) : whole;
            bool wider = false;
            if (n <= kShortText || line.text.back().isSpace()) {
                if (!layOut(layout, line.text))
                    return false;
                wider = layout->lineAt(0).naturalTextWidth() > width;
                line.shown =
                    wider ? metrics.elidedText(line.text, opt.textElideMode, width) : line.text;
            } else {
                layout.reset();
                line.shown = metrics.elidedText(line.text, opt.textElideMode, width);
                wider = line.shown != line.text;
            }
            if (wider || n >= whole.size())
                break;
            n *= 2;
        }
    }
    const QList<QTextLayout::FormatRange> formats = marks(line.text, line.shown, index);
    if (!formats.isEmpty()) {
        if (!layOut(layout, line.shown, formats))
            return false;
    } else if (!line.layout) {
        if ((!layout || line.shown != line.text) && !layOut(layout, line.shown))
            return false;
        line.layout = layout;
        if (m_lines.size() >= kKeptLines)
            m_lines.clear();
        m_lines.insert(key, line);
    }
    const QTextLayout& drawn = layout ? *layout : *line.layout;
    // Placed as the style places it: the line centred (or aligned) in the cell.
    const QRect lineBox = QStyle::alignedRect(Qt::LayoutDirectionAuto, opt.displayAlignment,
                                              drawn.boundingRect().size().toSize(), rect);
    const QPointF at(rect.x(), lineBox.top());

    style->drawControl(QStyle::CE_ItemViewItem, &panel, painter, widget);

    QPalette::ColorGroup group =
        (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
        group = QPalette::Inactive;
    painter->save();
    painter->setClipRect(opt.rect);
    painter->setPen(opt.palette.color(
        group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    drawn.draw(painter, at);
    painter->restore();
    return true;
}

} // namespace tzsndmsg::ui
