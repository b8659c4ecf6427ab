#pragma once

#include "core/MessageListQuery.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QIcon;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace tzsndmsg {

namespace core {
class ListedRowsSearch;
class MessageRows;
} // namespace core
namespace watcher {
class StoreChanges;
}

class MessageListModel;
class SearchHighlightDelegate;

// The message window's list: the grid of a view (TDBG) with its rows, the search box above it
// (txtSearch, "Search everywhere" chkSearchAll, lblSearch telling what was found), the record
// counter, and the reading again when the office's store changes. It reads through the core and
// keeps its current row across reads; the window shows the current row's message when asked
// (currentRowChosen) and decides when a change heard may be read (liveChangeHeard).
class MessageList : public QWidget {
    Q_OBJECT

public:
    // The pause after the last key in the search box before the list narrows.
    static constexpr int SearchPauseMs = 250;
    // A change of the store heard is read into the list this long after it.
    static constexpr int LiveDelayMs = 150;

    explicit MessageList(QWidget* parent = nullptr);
    ~MessageList() override;

    // The grid, for the window's layout, focus and keys.
    QTableView* grid() const { return TDBG; }
    MessageListModel* model() const { return m_model; }
    // The search bar's controls and the grid in tab order.
    QList<QWidget*> tabOrder() const;
    // The status bar's record counter ("3 of 25"), kept by the list.
    void setCounter(QLabel* counter) { m_counter = counter; }
    void showCounter();
    void clearCounter();

    // ---- the view ----
    // Columns shown and their widths; the check mark of the "PR" column.
    void setupColumns(const QIcon& checkMark);
    void fitCommentsColumn();
    // Reads a view, on the message current before (else the last row); a failure is told in a
    // box and leaves the list empty. The sort is the view's next (a column sort toggles).
    void readView(const core::MessageListParams& params, const QString& sortOrder);
    // Once the window shows the view read: words in the box narrow it again.
    void searchAfterViewLoad();
    // Reads the view again after a send or delete: on the current, previous or next row, else
    // the last. The hits of a search are read again whole.
    void readAgainInPlace();
    // Reads again for a change heard: the row, the other rows selected and the scroll stay;
    // true when the current row is still listed. A failure leaves the list empty and says why
    // in `error`.
    bool readAgainLive(QString* error);
    // The rows go (the window unloads).
    void releaseRows();
    // A view is being read ("BUSY" on the grid).
    bool isBusy() const;
    bool isOpen() const;
    int rowCount() const;
    bool hasCurrentRow() const;
    int currentPosition() const; // 1-based, 0 when no row is current
    QString sortOrder() const { return m_sortOrder; }
    bool isInboxView() const { return m_params.inboxView; }
    bool isMsgCatOnly() const { return m_params.msgCatOnly; }

    // ---- rows ----
    qint32 currentCmId() const;
    // The addressee row the current row came through: 0 when the list has none.
    qint32 currentBroChkId() const;
    struct AddresseeRow {
        qint32 broChkId = 0;
        qint32 linkId = 0;
        qint32 senderId = 0;
    };
    std::optional<AddresseeRow> currentAddresseeRow() const;
    // The list's rows came through addressee rows (an inbox view, or the hits of every view).
    bool hasInboxRows() const;
    // A copy of the rows sharing them (purge walks it by the selected bookmarks).
    core::MessageRows rowsCopy() const;
    // The grid's selected rows as bookmarks, sorted; the current row selected when none is.
    QList<qint64> selectedBookmarks() const;
    void selectCurrentWhenNone();
    void selectAll(bool select);
    // The current row moved to an addressee row, the grid following; false (and not moved) when
    // it is not listed.
    bool moveToAddresseeRow(qint32 broChkId);
    // The grid's current row made the list's (Enter on a row not shown); false when none.
    bool followGridRow();
    // The screen's messages after cmId (up to 200), skipping those `known` already holds: the
    // cells of a screen are read in one statement.
    QList<qint32> idsOnScreen(qint32 cmId, const std::function<bool(qint32)>& known) const;
    // The "To/ CC" text of a row (read for the screen, kept until the list is read again).
    QString toCcText(qint32 cmId);
    static int recipientQueryCount();

    // ---- search ----
    bool isSearching() const { return bool(m_viewRows); }
    QStringList searchedWords() const { return isSearching() ? m_searchWords : QStringList(); }
    bool isSearchPartial() const { return bool(m_listedSearch); }
    void setSearchScreenRows(int rows) { m_searchScreenRows = std::max(1, rows); }
    // Every hit listed (before a command on the whole list).
    void completeSearch();
    // Empties the box and lists the view on the message it showed before the search.
    void clearSearch();
    // Esc empties the box first; true when it did (only an Esc with nothing to clear goes on).
    bool takeEscape(QKeyEvent* event);

    // ---- reading again when the store changes ----
    void startLive();
    void stopLive();
    bool isLive() const { return m_changes != nullptr; }
    // Not free yet: the change heard is looked at again a little later.
    void retryLiveLater();
    bool isLivePending() const { return m_livePending; }

signals:
    // A row was made current (a click, keys, a search): the window shows its message.
    void currentRowChosen();
    // Enter on the grid: the window opens the row's message for reading.
    void enterPressed();
    // A search listed its hits (everywhere: of every view) or the view came back (false).
    void searchScopeChanged(bool everywhere);
    // A new list is shown: no row is selected.
    void selectionCleared();
    // The words marked changed: the message shown is marked again.
    void wordsChanged();
    void listLoaded();
    void searchDone();
    void searchScreenShown();
    // A change of the store was heard and the list may be read again.
    void liveChangeHeard();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildGrid();
    void buildSearchBar();
    int columnPixels(int column) const;
    void bindList();
    void selectGridRow(int row);
    void onGridCurrentRowChanged(int row);
    void acknowledgeChanges();

    void searchTextChanged();
    void runSearch();
    void showSearchHits(const QStringList& words, bool everywhere);
    void listSearchHits(core::MessageRows hits, const QStringList& words, bool everywhere,
                        bool rest);
    void readRestOfSearch(int searchId);
    void stopPartialSearch();
    void restoreView();
    void searchBeforeViewLoad();
    void searchBeforeRefresh();
    void showFoundCount();
    void setViewColumnShown(bool shown);

    QTableView* TDBG = nullptr;
    MessageListModel* m_model = nullptr;
    QLabel* m_counter = nullptr;
    QLineEdit* txtSearch = nullptr;
    QCheckBox* chkSearchAll = nullptr;
    QLabel* lblSearch = nullptr; // how many were found, or why nothing could be
    QTimer* m_searchTimer = nullptr;
    SearchHighlightDelegate* m_searchDelegate = nullptr;

    std::unique_ptr<core::MessageRows> m_rows;
    core::MessageListParams m_params;
    QString m_sortOrder;
    int m_colToCc = 3, m_colComments = 8;
    int m_previousRow = -1;
    bool m_suppressRowChange = false;
    QHash<qint32, QString> m_toCcCache; // "To/ CC" texts by CMID, cleared on every query

    std::unique_ptr<core::MessageRows> m_viewRows; // the view, kept while the hits are listed
    QStringList m_searchWords;
    bool m_searchEverywhere = false;
    bool m_viewStale = false; // a message was sent or deleted while the hits were listed
    std::unique_ptr<core::ListedRowsSearch> m_listedSearch; // the search whose rest is to be read
    int m_searchId = 0; // a later search or view drops an earlier search's rest
    int m_searchScreenRows = 40;

    watcher::StoreChanges* m_changes = nullptr;
    QTimer* m_liveTimer = nullptr;
    bool m_livePending = false;
};

} // namespace tzsndmsg
