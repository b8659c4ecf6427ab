#include "EventListModel.h"

#include "common/VbFormat.h"

#include <algorithm>

namespace tzsndmsg {

namespace {

const char* const captions[] = {"CMID",   "Event", "Description", "Who",
                                "To/ CC", "Date",  "Time",        "E.Time"};

} // namespace

EventListModel::EventListModel(QObject* parent) : QAbstractTableModel(parent) {}

void EventListModel::setRows(const QList<events::EventListRow>& rows)
{
    beginResetModel();
    m_rows = rows;
    m_toCcCache.clear();
    endResetModel();
}

void EventListModel::forgetToCc(qint64 cmId)
{
    m_toCcCache.remove(cmId);
    const int row = rowOfCmId(cmId);
    if (row >= 0)
        emit dataChanged(index(row, ColToCc), index(row, ColToCc));
}

int EventListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EventListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

qint64 EventListModel::cmIdAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).cmId : 0;
}

int EventListModel::rowOfCmId(qint64 cmId) const
{
    for (int row = 0; row < rowCount(); ++row)
        if (cmIdAt(row) == cmId)
            return row;
    return -1;
}

QVariant EventListModel::cell(int row, int column) const
{
    if (column == ColToCc) {
        const qint64 id = cmIdAt(row);
        auto it = m_toCcCache.constFind(id);
        if (it != m_toCcCache.constEnd())
            return *it;
        if (!m_toCc)
            return QString();
        QList<qint64> ids{id};
        const int last = std::min(rowCount() - 1, row + kToCcReach);
        for (int r = std::max(0, row - kToCcReach); r <= last; ++r) {
            const qint64 other = cmIdAt(r);
            if (other != id && other != 0 && !m_toCcCache.contains(other) && !ids.contains(other))
                ids << other;
        }
        const QHash<qint64, QString> texts = m_toCc(ids);
        for (qint64 each : ids)
            m_toCcCache.insert(each, texts.value(each));
        m_toCcComputations += int(ids.size());
        return texts.value(id);
    }
    if (row < 0 || row >= m_rows.size())
        return {};
    const events::EventListRow& r = m_rows.at(row);
    QVariant v;
    switch (column) {
    case ColCMID:
        v = r.cmId;
        break;
    case ColEvent:
        v = r.subject;
        break;
    case ColDescription:
        v = r.description;
        break;
    case ColWho:
        v = r.who;
        break;
    case ColDate:
        v = r.date;
        break;
    case ColTime:
        v = r.from;
        break;
    case ColETime:
        v = r.to;
        break;
    default:
        return {};
    }
    if (v.isNull())
        return QString();
    if (column == ColTime || column == ColETime) {
        const auto t = common::vb::toDate(v);
        return t ? common::vb::format(*t, QStringLiteral("hh:nn ampm")) : v.toString();
    }
    return common::vb::toText(v);
}

QVariant EventListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        QVariant v = cell(index.row(), index.column());
        if (role == Qt::DisplayRole && index.column() == ColDescription)
            return v.toString().simplified(); // one line per row
        return v;
    }
    return {};
}

QVariant EventListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(captions[section]);
    if (orientation == Qt::Vertical)
        return section + 1;
    return {};
}

} // namespace tzsndmsg
