#pragma once

#include "core/HolidayStore.h"

#include <QAbstractTableModel>
#include <functional>

namespace tzsndmsg {

// The holiday list: ID, name, the "Date" column as the rule text that the window builds from
// the row, and the rule's numbers (hidden).
class HolidayListModel : public QAbstractTableModel {
public:
    enum Column {
        IdColumn,
        DescriptionColumn,
        DateColumn,
        ObsOnColumn,
        ObsWeeDayColumn,
        ObsMonColumn,
        ColumnCount
    };
    using RuleText = std::function<QString(const holidays::HolidayListRow& row)>;
    HolidayListModel(RuleText ruleText, QObject* parent = nullptr);

    void bind(const QList<holidays::HolidayListRow>& rows);
    void clear();
    // The row of the given ID, -1 when not listed.
    int rowOfId(qint64 id) const;
    const holidays::HolidayListRow* row(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    RuleText m_ruleText;
    QList<holidays::HolidayListRow> m_rows;
};

} // namespace tzsndmsg
