#pragma once

#include "db/Recordset.h"

#include <QAbstractTableModel>

#include <functional>

namespace tzsndmsg {

// The holiday list over a static recordset: its columns as they stand, the "Date" column as
// the rule text that the window builds from a clone positioned on the row.
class HolidayListModel : public QAbstractTableModel {
public:
    using RuleText = std::function<QString(const db::Recordset& row)>;
    HolidayListModel(RuleText ruleText, QObject* parent = nullptr);

    // Rebinds to the set (after a query or re-query).
    void bind(const db::Recordset& list);
    void clear();
    // The row of the given ID, -1 when not listed.
    int rowOfId(qint64 id) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    bool position(int row) const;

    RuleText m_ruleText;
    db::Recordset m_list;
    mutable db::Recordset m_clone;
    QStringList m_fields;
    int m_dateColumn = -1;
};

} // namespace tzsndmsg
