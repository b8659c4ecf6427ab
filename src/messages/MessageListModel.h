#pragma once

#include "core/MessageRows.h"
#include "tzsndmsg/Confirmations.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <QVector>
#include <functional>
#include <optional>

namespace tzsndmsg {

// The message grid's columns over the list of a view. Rows follow the list's sort order; the
// row cursor is a clone of the list positioned on the row being drawn. The unbound cells
// ("To/ CC", "Comments") are produced only when the view asks for a row it paints.
class MessageListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Kind { Bound, ToCc, Comments, CheckMark, View, Confirmations };
    struct Column {
        QString caption;
        QString field; // bound column, empty for the unbound ones
        int widthTwips = 0;
        bool visible = true;
        Kind kind = Kind::Bound;
        QString format; // "Short Date", "Short Time" or empty
    };
    static const QVector<Column>& gridColumns();
    static int columnOf(Kind kind);
    // Widths in pixels: 15 twips make one pixel.
    static int pixels(int twips) { return twips / 15; }

    explicit MessageListModel(QObject* parent = nullptr);

    // Binds a list (nullptr: no rows); the model keeps the pointer, the window owns the list.
    void setList(core::MessageRows* list, bool inboxView);
    core::MessageRows* list() const { return m_list; }
    bool inboxView() const { return m_inboxView; }
    // While set (binding a big list), unbound cells are left empty and fetch nothing.
    void setUnboundSuspended(bool suspended) { m_unboundSuspended = suspended; }
    void setToCcProvider(std::function<QString(qint32)> provider) { m_toCc = std::move(provider); }
    void setCheckMark(const QIcon& icon) { m_checkMark = icon; }
    // The "Confirmed" cells of the sent items: the count of a message, none when unknown. A
    // message that asked for confirmation and still waits for someone carries the mark.
    using ConfirmationProvider = std::function<std::optional<ConfirmationCount>(qint32)>;
    void setConfirmationProvider(ConfirmationProvider provider)
    {
        m_confirmations = std::move(provider);
    }
    void setAwaitedMark(const QIcon& icon) { m_awaitedMark = icon; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    core::MessageRows::Bookmark bookmarkAt(int row) const;
    int rowOfBookmark(core::MessageRows::Bookmark mark) const;
    qint32 cmIdAt(int row) const;
    // Unread rows of an inbox view are drawn bold (BroChkDonDis other than -1, null included);
    // a sent message listed among them by a search of every view never is.
    bool isUnread(int row) const;
    // The text of a message still awaiting confirmations, in the palette's light or dark.
    static QColor awaitedTextColor();

private:
    // What a painted row shows, read from the list when first asked: a paint asks every cell
    // for several roles, each of which read the row's values by name again. Forgotten whenever
    // a list is bound (the list changes only by being bound again).
    struct RowCells {
        bool unread = false;
        bool flagged = false; // the "PR" column's check mark
        qint32 cmId = 0;
        QVector<std::optional<QString>> texts; // by column, as displayed
    };
    RowCells* rowCells(int row) const;
    QString cellText(int row, int column) const;
    bool positionCursor(int row) const;
    QVariant cursorValue(const QString& field) const;
    // At the cursor: the start of a delivery set to start later, as the list writes it; empty
    // when none is set.
    QString deliveryStartText() const;
    QVariant confirmationData(int row, int role) const;
    // What a screen reader reads for a cell, with what only the style shows.
    QVariant accessibleText(const QModelIndex& index) const;

    core::MessageRows* m_list = nullptr;
    mutable core::MessageRows m_cursor;
    bool m_inboxView = false;
    bool m_unboundSuspended = false;
    int m_rows = 0;
    std::function<QString(qint32)> m_toCc;
    QIcon m_checkMark;
    ConfirmationProvider m_confirmations;
    QIcon m_awaitedMark;
    QVariant m_bold;
    mutable QHash<int, RowCells> m_cells;
};

} // namespace tzsndmsg
