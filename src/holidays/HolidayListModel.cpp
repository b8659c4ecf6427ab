#include "HolidayListModel.h"

namespace tzsndmsg {

HolidayListModel::HolidayListModel(RuleText ruleText, QObject* parent)
    : QAbstractTableModel(parent), m_ruleText(std::move(ruleText))
{
}

void HolidayListModel::bind(const QList<holidays::HolidayListRow>& rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

void HolidayListModel::clear()
{
    bind({});
}

int HolidayListModel::rowOfId(qint64 id) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).id == id)
            return row;
    return -1;
}

const holidays::HolidayListRow* HolidayListModel::row(int row) const
{
    return row >= 0 && row < m_rows.size() ? &m_rows.at(row) : nullptr;
}

int HolidayListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HolidayListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HolidayListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole))
        return {};
    const holidays::HolidayListRow* r = row(index.row());
    if (!r)
        return {};
    switch (index.column()) {
    case IdColumn:
        return r->id;
    case DescriptionColumn:
        return r->description;
    case DateColumn:
        return m_ruleText ? QVariant(m_ruleText(*r)) : QVariant(r->fixedDate ? -1 : 0);
    case ObsOnColumn:
        return r->obsOn;
    case ObsWeeDayColumn:
        return r->obsWeeDay;
    case ObsMonColumn:
        return r->obsMon;
    default:
        return {};
    }
}

QVariant HolidayListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const names[ColumnCount] = {"ID",        "Description",   "Date",
                                                   "hdocObsOn", "hdocObsWeeDay", "hdocObsMon"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(names[section]);
}

} // namespace tzsndmsg
