#include "MessageListModel.h"

#include "common/VbFormat.h"
#include "core/MessageListQuery.h"
#include "core/MessageSearch.h"
#include "core/Moments.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

namespace tzsndmsg {

const QVector<MessageListModel::Column>& MessageListModel::gridColumns()
{
    static const QVector<Column> columns{
        {QString(), QStringLiteral("CMID"), 0, false, Kind::Bound, QString()},
        {QString(), QStringLiteral("CMPID"), 0, false, Kind::Bound, QString()},
        {QStringLiteral("From"), QStringLiteral("CMWho"), 750, true, Kind::Bound, QString()},
        {QStringLiteral("To/ CC"), QString(), 750, true, Kind::ToCc, QString()},
        // The form of the Date box and of every date the user types: one way to write a date.
        {QStringLiteral("Date"), QStringLiteral("CMDat"), 750, true, Kind::Bound,
         QStringLiteral("mm/dd/yyyy")},
        {QStringLiteral("Time"), QStringLiteral("CMTim"), 750, true, Kind::Bound,
         QStringLiteral("Short Time")},
        {QStringLiteral("Subject"), QStringLiteral("CmSubjec"), 1500, true, Kind::Bound, QString()},
        {QStringLiteral("PR"), QStringLiteral("cmShoOnRep"), 360, true, Kind::CheckMark, QString()},
        {QStringLiteral("Comments"), QString(), 4500, true, Kind::Comments, QString()},
        {QString(), QStringLiteral("CMSerLev"), 0, false, Kind::Bound, QString()},
        {QString(), QStringLiteral("CMTyp"), 0, false, Kind::Bound, QString()},
        // Shown only while a search of every view lists its hits.
        {QStringLiteral("View"), QStringLiteral("SearchView"), 2100, false, Kind::View, QString()},
        // Sent items only; the window places it after "Subject".
        {QStringLiteral("Confirmed"), QString(), 1500, true, Kind::Confirmations, QString()},
    };
    return columns;
}

int MessageListModel::columnOf(Kind kind)
{
    const auto& cols = gridColumns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols.at(i).kind == kind)
            return i;
    return -1;
}

MessageListModel::MessageListModel(QObject* parent) : QAbstractTableModel(parent)
{
    // Made once: every cell of an unread row asks for it on every paint. Only the weight is
    // set, so the view's own font gives the rest.
    QFont bold;
    bold.setBold(true);
    m_bold = bold;
}

void MessageListModel::setList(core::MessageRows* list, bool inboxView)
{
    beginResetModel();
    m_list = list;
    m_inboxView = inboxView;
    m_rows = (m_list && m_list->isOpen()) ? m_list->recordCount() : 0;
    m_cursor = (m_list && m_list->isOpen()) ? m_list->clone() : core::MessageRows();
    m_cells.clear();
    endResetModel();
}

int MessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int MessageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(gridColumns().size());
}

bool MessageListModel::positionCursor(int row) const
{
    if (!m_list || row < 0 || row >= m_rows)
        return false;
    if (m_cursor.isOpen() && m_cursor.setAbsolutePosition(row + 1))
        return true;
    // Re-made from the list whenever positioning fails.
    m_cursor = m_list->clone();
    return m_cursor.setAbsolutePosition(row + 1);
}

QVariant MessageListModel::cursorValue(const QString& field) const
{
    try {
        return m_cursor.value(field);
    } catch (const db::FieldError&) {
        return QVariant();
    }
}

MessageListModel::RowCells* MessageListModel::rowCells(int row) const
{
    if (!m_list || row < 0 || row >= m_rows)
        return nullptr;
    if (const auto found = m_cells.find(row); found != m_cells.end())
        return &*found;
    if (!positionCursor(row))
        return nullptr;
    // A few screens' worth: a list scrolled end to end does not keep every row.
    if (m_cells.size() >= 1024)
        m_cells.clear();
    RowCells cells;
    cells.cmId = cursorValue(QStringLiteral("CMID")).toInt();
    cells.unread = m_inboxView && !cursorValue(QStringLiteral("BroChkID")).isNull() &&
                   !core::listFlag(cursorValue(QStringLiteral("BroChkDonDis")));
    const int pr = columnOf(Kind::CheckMark);
    cells.flagged = pr >= 0 && core::listFlag(cursorValue(gridColumns().at(pr).field));
    cells.texts.resize(gridColumns().size());
    return &*m_cells.emplace(row, std::move(cells));
}

QString MessageListModel::cellText(int row, int column) const
{
    RowCells* cells = rowCells(row);
    if (!cells)
        return QString();
    std::optional<QString>& kept = cells->texts[column];
    if (kept)
        return *kept;
    if (!positionCursor(row))
        return QString();
    const Column& col = gridColumns().at(column);
    QString text;
    if (col.kind == Kind::Comments) {
        text = core::commentsCellText(cursorValue(QStringLiteral("CMDOC")));
    } else if (const QVariant v = cursorValue(col.field); !v.isNull()) {
        if (col.kind == Kind::View) {
            text = core::searchViewName(v.toInt());
        } else {
            text = v.toString();
            if (!col.format.isEmpty()) {
                if (const auto d = common::vb::toDate(v))
                    text = common::vb::format(*d, col.format);
            }
            // The sender's list shows when a delivery set to start later reaches its
            // recipients.
            if (!m_inboxView && col.field == QLatin1String("CMTim")) {
                const QString starts = deliveryStartText();
                if (!starts.isEmpty())
                    text += QStringLiteral(" (starts ") + starts + QLatin1Char(')');
            }
        }
    }
    kept = text;
    return text;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= columnCount())
        return QVariant();
    const Column& col = gridColumns().at(index.column());
    if (col.kind == Kind::Confirmations)
        return confirmationData(index.row(), role);

    if (role == Qt::FontRole)
        return isUnread(index.row()) ? m_bold : QVariant();
    if (role == Qt::AccessibleTextRole)
        return accessibleText(index);
    if (role == Qt::TextAlignmentRole && col.kind == Kind::CheckMark)
        return int(Qt::AlignCenter);
    if (role == Qt::DecorationRole && col.kind == Kind::CheckMark) {
        // "-1" shows the check mark; "0", null and the empty text nothing.
        const RowCells* cells = rowCells(index.row());
        return cells && cells->flagged ? QVariant(m_checkMark) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    if (col.kind == Kind::CheckMark)
        return QVariant();
    if (col.kind == Kind::ToCc || col.kind == Kind::Comments) {
        if (m_unboundSuspended)
            return QString();
        if (col.kind == Kind::Comments)
            return cellText(index.row(), index.column());
        const RowCells* cells = rowCells(index.row());
        if (!cells)
            return QString();
        return m_toCc ? m_toCc(cells->cmId) : QString();
    }
    if (!rowCells(index.row()))
        return QVariant();
    return cellText(index.row(), index.column());
}

QString MessageListModel::deliveryStartText() const
{
    core::MessageDetail detail;
    detail.EvBroFla = core::listFlag(cursorValue(QStringLiteral("EvBroFla")));
    detail.EvBroStaDatFla = core::listFlag(cursorValue(QStringLiteral("EvBroStaDatFla")));
    detail.EvBroStaDat = common::vb::toText(cursorValue(QStringLiteral("EvBroStaDat")));
    detail.EvBroStaTim = common::vb::toText(cursorValue(QStringLiteral("EvBroStaTim")));
    const core::StoredMoment start = core::deliveryStart(detail);
    if (!start.at)
        return QString();
    return common::vb::format(*start.at, QStringLiteral("mm/dd/yyyy h:nn AM/PM"));
}

QColor MessageListModel::awaitedTextColor()
{
    // Dark red on a light list, a light red on a dark one: readable either way.
    const QColor base = QGuiApplication::palette().color(QPalette::Base);
    return base.lightness() < 128 ? QColor(0xFF, 0x9E, 0x96) : QColor(0xB0, 0x1E, 0x1E);
}

QVariant MessageListModel::accessibleText(const QModelIndex& index) const
{
    const Column& col = gridColumns().at(index.column());
    // Columns the grid never shows are not read out.
    if (!col.visible && col.kind != Kind::View)
        return QString();
    if (col.kind == Kind::CheckMark) {
        const RowCells* cells = rowCells(index.row());
        return cells && cells->flagged ? QStringLiteral("payroll related") : QString();
    }
    QString text = data(index, Qt::DisplayRole).toString();
    // The subject carries what the row's style shows.
    if (col.field.compare(QLatin1String("CmSubjec"), Qt::CaseInsensitive) == 0) {
        if (isUnread(index.row()))
            text += QStringLiteral(", unread");
        const int pr = columnOf(Kind::CheckMark);
        if (pr >= 0 && !accessibleText(this->index(index.row(), pr)).toString().isEmpty())
            text += QStringLiteral(", payroll related");
    }
    return text;
}

QVariant MessageListModel::confirmationData(int row, int role) const
{
    if (m_inboxView || !m_confirmations || m_unboundSuspended || !positionCursor(row))
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::DecorationRole &&
        role != Qt::FontRole && role != Qt::ForegroundRole && role != Qt::AccessibleTextRole)
        return QVariant();
    const std::optional<ConfirmationCount> count =
        m_confirmations(cursorValue(QStringLiteral("CMID")).toInt());
    if (!count)
        return QVariant();
    const bool awaited = count->awaited();
    switch (role) {
    case Qt::DisplayRole:
        return confirmationCountText(*count);
    case Qt::ToolTipRole:
        return awaited ? QStringLiteral("Needs confirmation: %1 of %2 not confirmed yet")
                             .arg(count->pending())
                             .arg(count->addressees)
                       : confirmationCountText(*count);
    case Qt::DecorationRole:
        return awaited ? QVariant(m_awaitedMark) : QVariant();
    case Qt::FontRole:
        return awaited ? m_bold : QVariant();
    case Qt::ForegroundRole:
        return awaited ? QVariant(awaitedTextColor()) : QVariant();
    case Qt::AccessibleTextRole:
        return awaited ? QStringLiteral("%1, needs confirmation, %2 pending")
                             .arg(confirmationCountText(*count))
                             .arg(count->pending())
                       : confirmationCountText(*count);
    default:
        return QVariant();
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < gridColumns().size())
        return gridColumns().at(section).caption;
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return QVariant();
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

core::MessageRows::Bookmark MessageListModel::bookmarkAt(int row) const
{
    if (!positionCursor(row))
        return -1;
    return m_cursor.bookmark();
}

int MessageListModel::rowOfBookmark(core::MessageRows::Bookmark mark) const
{
    if (!m_list)
        return -1;
    core::MessageRows probe = m_list->clone();
    if (!probe.setBookmark(mark))
        return -1;
    return probe.absolutePosition() - 1;
}

qint32 MessageListModel::cmIdAt(int row) const
{
    const RowCells* cells = rowCells(row);
    return cells ? cells->cmId : 0;
}

bool MessageListModel::isUnread(int row) const
{
    const RowCells* cells = rowCells(row);
    return cells && cells->unread;
}

} // namespace tzsndmsg
