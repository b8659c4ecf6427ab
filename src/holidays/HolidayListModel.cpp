#include "HolidayListModel.h"

namespace tzsndmsg {

HolidayListModel::HolidayListModel(RuleText ruleText, QObject* parent)
    : QAbstractTableModel(parent), m_ruleText(std::move(ruleText))
{
}

void HolidayListModel::bind(const db::Recordset& list)
{
    beginResetModel();
    m_list = list;
    m_clone = list.isOpen() ? list.clone() : db::Recordset();
    m_fields = list.isOpen() ? list.fieldNames() : QStringList();
    m_dateColumn = list.isOpen() ? list.fieldIndex(QStringLiteral("Date")) : -1;
    endResetModel();
}

void HolidayListModel::clear() { bind(db::Recordset()); }

int HolidayListModel::rowOfId(qint64 id) const
{
    for (int row = 0; row < rowCount(); ++row)
        if (position(row) && m_clone.value(QStringLiteral("ID")).toLongLong() == id)
            return row;
    return -1;
}

int HolidayListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_list.isOpen() ? 0 : m_list.recordCount();
}

int HolidayListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

bool HolidayListModel::position(int row) const
{
    if (!m_clone.isOpen())
        return false;
    if (m_clone.absolutePosition() == row + 1)
        return true;
    if (m_clone.setAbsolutePosition(row + 1))
        return true;
    // The clone lost its place: take a new one.
    m_clone = m_list.clone();
    return m_clone.setAbsolutePosition(row + 1);
}

QVariant HolidayListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole &&
                             role != Qt::EditRole))
        return {};
    if (!position(index.row()))
        return {};
    try {
        if (index.column() == m_dateColumn && m_ruleText)
            return m_ruleText(m_clone);
        const QVariant v = m_clone.value(index.column());
        return v.isNull() ? QVariant(QString()) : v;
    } catch (const db::FieldError&) {
        return {};
    }
}

QVariant HolidayListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_fields.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_fields.at(section);
}

} // namespace tzsndmsg
