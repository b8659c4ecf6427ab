#include "EventListModel.h"

#include "common/VbFormat.h"

#include <algorithm>

namespace tzsndmsg {

namespace {

const char* const fields[] = {"CMID", "CmSubjec", "CmDoc", "CMWho", nullptr,
                              "EvBroStaDat", "EvBroStaTim", "evBroDat"};
const char* const captions[] = {"CMID", "Event", "Description", "Who", "To/ CC",
                                "Date", "Time", "E.Time"};

} // namespace

EventListModel::EventListModel(QObject* parent) : QAbstractTableModel(parent) {}

void EventListModel::setRecordset(const db::Recordset& rs)
{
    beginResetModel();
    m_rs = rs;
    m_clone = rs.isOpen() ? rs.clone() : db::Recordset();
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
    if (parent.isValid() || !m_rs.isOpen())
        return 0;
    return m_rs.recordCount();
}

int EventListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

qint64 EventListModel::cmIdAt(int row) const
{
    if (!m_clone.isOpen() || row < 0 || row >= rowCount() ||
        !m_clone.setAbsolutePosition(row + 1))
        return 0;
    try {
        return m_clone.value(QStringLiteral("CMID")).toLongLong();
    } catch (const db::FieldError&) {
        return 0;
    }
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
    if (!m_clone.setAbsolutePosition(row + 1))
        return {};
    QVariant v;
    try {
        v = m_clone.value(QString::fromLatin1(fields[column]));
    } catch (const db::FieldError&) {
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
