#pragma once

#include "core/MessageListQuery.h"
#include "core/MessageSearch.h"
#include "tzsndmsg/db/Recordset.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace tzsndmsg::core {

// The rows a message window lists (a view, or the hits of a search), read once and held on the
// client, with a current row. Copies share the rows and keep their own position, so a window
// may draw and probe rows beside its current one without reading anything again. Column names
// are matched without regard to case; value() throws db::FieldError for a missing column or when
// there is no current row.
class MessageRows {
public:
    using Bookmark = qint64;

    MessageRows() = default;
    explicit MessageRows(db::Recordset rows) : m_rows(std::move(rows)) {}

    bool isOpen() const { return m_rows.isOpen(); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    int recordCount() const { return m_rows.recordCount(); }
    bool bof() const { return m_rows.bof(); }
    bool eof() const { return m_rows.eof(); }
    // On a row: neither before the first nor after the last.
    bool onRow() const { return isOpen() && !isEmpty() && !bof() && !eof(); }
    void moveFirst() { m_rows.moveFirst(); }
    void moveLast() { m_rows.moveLast(); }
    int absolutePosition() const { return m_rows.absolutePosition(); } // 1-based
    bool setAbsolutePosition(int position) { return m_rows.setAbsolutePosition(position); }
    Bookmark bookmark() const { return m_rows.bookmark(); } // stable across sorts, shared by copies
    bool setBookmark(Bookmark mark) { return m_rows.setBookmark(mark); }

    // From the current row on, the row of a message; of an addressee row (inbox lists). At the
    // end when there is none.
    bool findMessage(qint32 cmId);
    bool findAddresseeRow(qint32 broChkId);
    // The client-side sort ("CMDat, CMTim, CMID"); keeps the current row.
    QString sort() const { return m_rows.sort(); }
    bool setSort(const QString& order) { return m_rows.setSort(order); }
    // Reads the rows again as they were read; keeps the sort; on the first row.
    bool requery(QString* error = nullptr) { return m_rows.requery(error); }
    // A copy sharing the rows, on the first row.
    MessageRows clone() const { return MessageRows(m_rows.clone()); }

    bool hasField(const QString& name) const { return m_rows.hasField(name); }
    QVariant value(const QString& name) const { return m_rows.value(name); }
    // A column of the current row as a whole number, as the lists read their flags and ids:
    // null, a missing column and anything not a number give 0; halves round to even.
    qint64 number(const QString& name) const;

    // The core's own: the rows underneath.
    const db::Recordset& recordset() const { return m_rows; }

private:
    db::Recordset m_rows;
};

// A view's rows as the window lists them (see queryView).
MessageRows listView(HostServices& services, const MessageListParams& params,
                     const QString& sortOrder, QString* error = nullptr);

// The hits of a search read on the store: the view narrowed, or every view of the login at once
// (see searchView, searchEverywhere).
MessageRows listSearch(HostServices& services, const MessageListParams& params,
                       const QStringList& words, bool everywhere, const QString& sortOrder,
                       QString* error = nullptr);

// The "To/ CC" cells of the messages a screen of the list shows, each message's names grouped in
// the database (one row per message); from their recipient rows where the store cannot group.
QHash<qint32, QString> toCcCellsOf(HostServices& services, const QList<qint32>& ids);

// A search of the rows a window lists already (see ListedSearch): the hits are the listed rows
// that hold every word, in the list's order, a screen first; reading them again runs the view's
// statement narrowed to the words.
class ListedRowsSearch {
public:
    ListedRowsSearch(HostServices& services, db::Backend backend, const MessageListParams& view,
                     const QStringList& words, const MessageRows& listed);
    bool start(int screenRows, QString* error) { return m_search.start(screenRows, error); }
    bool next(qsizetype rows, QString* error) { return m_search.next(rows, error); }
    bool finished() const { return m_search.finished(); }
    // The hits found so far among `listed` (the rows given to the search), under its sort, on the
    // first row.
    MessageRows hits(const MessageRows& listed) const;

private:
    ListedSearch m_search;
    BoundStatement m_whole;
};

} // namespace tzsndmsg::core
