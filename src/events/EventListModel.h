#pragma once

#include "core/EventStore.h"

#include <QAbstractTableModel>
#include <QHash>
#include <functional>

namespace tzsndmsg {

// The events grid over the rows read. The unbound "To/ CC" column is built only when the view
// asks for a row's cell, together with the cells of the rows about it (a screen), and kept until
// the list is set again.
class EventListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColCMID,
        ColEvent,
        ColDescription,
        ColWho,
        ColToCc,
        ColDate,
        ColTime,
        ColETime,
        ColumnCount
    };
    // The cells of the events asked, by id.
    using ToCcProvider = std::function<QHash<qint64, QString>(const QList<qint64>& cmIds)>;
    // Rows fetched on either side of the row asked.
    static constexpr int kToCcReach = 40;

    explicit EventListModel(QObject* parent = nullptr);

    void setRows(const QList<events::EventListRow>& rows);
    void setToCcProvider(ToCcProvider provider) { m_toCc = std::move(provider); }
    // Drops the cached "To/ CC" text of a row (after its attendees were saved).
    void forgetToCc(qint64 cmId);

    qint64 cmIdAt(int row) const;
    int rowOfCmId(qint64 cmId) const; // -1 when not listed
    // How many cells were built (each cell once until it is forgotten).
    int toCcComputations() const { return m_toCcComputations; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant cell(int row, int column) const;

    QList<events::EventListRow> m_rows;
    ToCcProvider m_toCc;
    mutable QHash<qint64, QString> m_toCcCache;
    mutable int m_toCcComputations = 0;
};

} // namespace tzsndmsg
