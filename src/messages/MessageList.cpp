// The list of a view and the search box above it: rows read through the core, the grid, the
// record counter, the search's hits and the reading again when the store changes.
#include "MessageList.h"

#include "MessageListModel.h"
#include "SearchHighlightDelegate.h"
#include "core/MessageRows.h"
#include "core/MessageSearch.h"
#include "state/SharedState.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/CutTextDelegate.h"
#include "watcher/StoreChanges.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

int s_recipientQueries = 0;

// What a front desk's "To/ CC" usually holds: a few persons' initials and a workstation.
const QString kTypicalToCc = QStringLiteral("AA, BB, CC, DD/ FRONTDESK");

// A row of a list by what names it across reads: its message and, where the list has them, the
// addressee row it came through.
using RowKey = QPair<qint32, qint32>;

RowKey keyAt(const core::MessageRows& list)
{
    if (list.bof() || list.eof())
        return {};
    try {
        const qint32 row = list.hasField(QStringLiteral("BroChkID"))
                               ? list.value(QStringLiteral("BroChkID")).toInt()
                               : 0;
        return {list.value(QStringLiteral("CMID")).toInt(), row};
    } catch (const db::FieldError&) {
        return {};
    }
}

bool moveToKey(core::MessageRows& list, const RowKey& key)
{
    if (key.first == 0 || list.isEmpty())
        return false;
    list.moveFirst();
    if (key.second != 0 && list.hasField(QStringLiteral("BroChkID")))
        return list.findAddresseeRow(key.second);
    return list.findMessage(key.first);
}

// Moves a list to the row of a message: the addressee row it came through when the list has
// those, else the message; false when it is not listed.
bool positionOn(core::MessageRows& list, qint32 cmId, qint32 broChkId)
{
    if (cmId == 0 || list.isEmpty())
        return false;
    list.moveFirst();
    if (broChkId != 0 && list.hasField(QStringLiteral("BroChkID")) &&
        list.findAddresseeRow(broChkId))
        return true;
    list.moveFirst();
    return list.findMessage(cmId);
}

QString foundText(int count, bool everywhere)
{
    const QString n = count == 0   ? QStringLiteral("No message found")
                      : count == 1 ? QStringLiteral("1 message found")
                                   : QStringLiteral("%1 messages found").arg(count);
    return everywhere ? n + QStringLiteral(" in every view") : n;
}

void listReadFailed(const QString& error)
{
    ui::MessageBox::show({QStringLiteral("The message list could not be read.\n\n") + error,
                          QStringLiteral("Message"), 0, 48, 0});
}

} // namespace

MessageList::MessageList(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PicList"));
    buildGrid();
    buildSearchBar();
}

MessageList::~MessageList()
{
    if (m_model)
        m_model->setList(nullptr, false);
}

void MessageList::buildGrid()
{
    auto* listLayout = new QVBoxLayout(this);
    listLayout->setContentsMargins(6, 6, 6, 0);
    TDBG = new QTableView(this);
    TDBG->setObjectName(QStringLiteral("TDBG"));
    TDBG->setSelectionBehavior(QAbstractItemView::SelectRows);
    TDBG->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TDBG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TDBG->setAlternatingRowColors(true);
    TDBG->setWordWrap(false);
    TDBG->setTextElideMode(Qt::ElideRight);
    TDBG->setItemDelegate(new ui::CutTextDelegate(TDBG));
    TDBG->verticalHeader()->setVisible(false);
    TDBG->verticalHeader()->setDefaultSectionSize(TDBG->fontMetrics().height() + 8);
    TDBG->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TDBG->horizontalHeader()->setHighlightSections(false);
    TDBG->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    TDBG->setProperty("tag", QString());
    // Tab leaves the list, arrows move in it; Enter opens the message (eventFilter).
    TDBG->setTabKeyNavigation(false);
    TDBG->installEventFilter(this);
    listLayout->addWidget(TDBG);
    TDBG->setAccessibleName(QStringLiteral("Messages"));
}

void MessageList::buildSearchBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("PicSearch"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 4);
    auto* label = new QLabel(QStringLiteral("Searc&h:"), bar);
    txtSearch = new QLineEdit(bar);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setPlaceholderText(
        QStringLiteral("Words of the subject, text, sender or To/CC (Ctrl+F)"));
    txtSearch->setClearButtonEnabled(true);
    txtSearch->setAccessibleName(QStringLiteral("Search"));
    label->setBuddy(txtSearch);
    chkSearchAll = new QCheckBox(QStringLiteral("Search everywhere"), bar);
    chkSearchAll->setObjectName(QStringLiteral("chkSearchAll"));
    chkSearchAll->setToolTip(
        QStringLiteral("Every view of this login: the inbox of all categories, the "
                       "sent items and both histories"));
    lblSearch = new QLabel(bar);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    lblSearch->setMinimumWidth(
        fontMetrics().horizontalAdvance(QStringLiteral("9999 messages found in every view")));
    row->addWidget(label);
    row->addWidget(txtSearch, 1);
    row->addWidget(chkSearchAll);
    row->addWidget(lblSearch);
    if (auto* listLayout = qobject_cast<QVBoxLayout*>(layout()))
        listLayout->insertWidget(0, bar);

    // The grid's cells mark the words of a search in the texts a search looks through.
    m_searchDelegate = new SearchHighlightDelegate(TDBG);
    QSet<int> searched;
    const auto& columns = MessageListModel::gridColumns();
    for (int i = 0; i < columns.size(); ++i) {
        const QString caption = columns.at(i).caption;
        if (caption == QLatin1String("From") || caption == QLatin1String("To/ CC") ||
            caption == QLatin1String("Subject") || caption == QLatin1String("Comments"))
            searched << i;
    }
    m_searchDelegate->setColumns(searched);
    TDBG->setItemDelegate(m_searchDelegate);

    // The list narrows once typing pauses; the search runs on this thread, between keys.
    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(SearchPauseMs);
    connect(m_searchTimer, &QTimer::timeout, this, [this] { runSearch(); });
    connect(txtSearch, &QLineEdit::textChanged, this, [this] { searchTextChanged(); });
    connect(chkSearchAll, &QCheckBox::toggled, this, [this] {
        if (!tzsndmsg::searchWords(txtSearch->text()).isEmpty())
            runSearch();
    });
    txtSearch->installEventFilter(this);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        if (!txtSearch->isVisible())
            return;
        txtSearch->setFocus(Qt::ShortcutFocusReason);
        txtSearch->selectAll();
    });
}

QList<QWidget*> MessageList::tabOrder() const
{
    return {txtSearch, chkSearchAll, TDBG};
}

int MessageList::recipientQueryCount()
{
    return s_recipientQueries;
}

// ---- the view -----------------------------------------------------------------------------

void MessageList::showCounter()
{
    if (!m_counter)
        return;
    m_counter->setText(hasCurrentRow()
                           ? QString::number(m_rows->absolutePosition()) + QStringLiteral(" of ") +
                                 QString::number(m_rows->recordCount())
                           : QString());
}

void MessageList::clearCounter()
{
    if (m_counter)
        m_counter->clear();
}

bool MessageList::isBusy() const
{
    return !TDBG->property("tag").toString().isEmpty();
}

bool MessageList::isOpen() const
{
    return m_rows && m_rows->isOpen();
}

int MessageList::rowCount() const
{
    return isOpen() ? m_rows->recordCount() : 0;
}

bool MessageList::hasCurrentRow() const
{
    return isOpen() && !m_rows->isEmpty() && !m_rows->bof() && !m_rows->eof();
}

int MessageList::currentPosition() const
{
    return hasCurrentRow() ? m_rows->absolutePosition() : 0;
}

void MessageList::setupColumns(const QIcon& checkMark)
{
    if (!m_model) {
        m_model = new MessageListModel(this);
        m_model->setToCcProvider([this](qint32 cmId) { return toCcText(cmId); });
        TDBG->setModel(m_model);
        connect(TDBG->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& current) { onGridCurrentRowChanged(current.row()); });
    }
    m_model->setCheckMark(checkMark);
    const auto& columns = MessageListModel::gridColumns();
    for (int i = 0; i < columns.size(); ++i) {
        TDBG->setColumnHidden(i, !columns.at(i).visible);
        if (columns.at(i).visible)
            TDBG->setColumnWidth(i, columnPixels(i));
    }
    m_colToCc = MessageListModel::columnOf(MessageListModel::Kind::ToCc);
    m_colComments = MessageListModel::columnOf(MessageListModel::Kind::Comments);
}

int MessageList::columnPixels(int column) const
{
    const auto& col = MessageListModel::gridColumns().at(column);
    int px = MessageListModel::pixels(col.widthTwips);
    // Never so narrow that today's font cuts a date, a time or the sender's name.
    const QFontMetrics metrics(TDBG->font());
    QString sample;
    if (col.format == QLatin1String("mm/dd/yyyy"))
        sample = QStringLiteral("12/28/2026");
    else if (col.format == QLatin1String("Short Time"))
        sample = QStringLiteral("00:00");
    else if (col.caption == QLatin1String("From"))
        sample = QStringLiteral("SUPERVISOR");
    else if (col.kind == MessageListModel::Kind::ToCc)
        sample = kTypicalToCc;
    else if (col.kind == MessageListModel::Kind::Confirmations)
        sample = QStringLiteral("WW 12 of 15 confirmed"); // the mark's room, then the count
    if (col.caption == QLatin1String("Subject"))
        px = std::max(px, metrics.averageCharWidth() * 28);
    if (!sample.isEmpty()) {
        QFont bold = TDBG->font();
        bold.setBold(true);
        px = std::max(px, QFontMetrics(bold).horizontalAdvance(sample) + 14);
    }
    return std::max(px, metrics.horizontalAdvance(col.caption) + 14);
}

void MessageList::fitCommentsColumn()
{
    if (!m_model)
        return;
    const auto& columns = MessageListModel::gridColumns();
    int others = 0;
    for (int i = 0; i < columns.size(); ++i)
        if (i != m_colComments && i != m_colToCc && !TDBG->isColumnHidden(i))
            others += TDBG->columnWidth(i);
    // "To/ CC" shows a typical list at least and takes a third of the room the window gives
    // beyond that, up to about twice as much; "Comments" takes the rest.
    const int toCc = columnPixels(m_colToCc);
    const int toCcMost = 2 * toCc;
    const int commentsLeast = MessageListModel::pixels(3000);
    const int room = TDBG->viewport()->width() - others;
    if (room > toCc + commentsLeast) {
        const int grown = std::min(toCcMost, toCc + (room - toCc - commentsLeast) / 3);
        TDBG->setColumnWidth(m_colToCc, grown);
        TDBG->setColumnWidth(m_colComments, room - grown);
    } else {
        TDBG->setColumnWidth(m_colToCc, toCc);
        TDBG->setColumnWidth(m_colComments, columnPixels(m_colComments));
    }
}

QList<qint32> MessageList::idsOnScreen(qint32 cmId, const std::function<bool(qint32)>& known) const
{
    QList<qint32> ids{cmId};
    if (!m_model)
        return ids;
    const int rows = m_model->rowCount();
    int first = TDBG->rowAt(0);
    int last = TDBG->rowAt(TDBG->viewport()->height() - 1);
    if (first < 0)
        first = 0;
    if (last < 0)
        last = std::min(rows - 1, first + 60);
    for (int r = first; r <= last && r < rows && ids.size() < 200; ++r) {
        const qint32 id = m_model->cmIdAt(r);
        if (id != 0 && id != cmId && !known(id) && !ids.contains(id))
            ids << id;
    }
    return ids;
}

QString MessageList::toCcText(qint32 cmId)
{
    const auto cached = m_toCcCache.constFind(cmId);
    if (cached != m_toCcCache.constEnd())
        return *cached;
    auto& st = SharedState::current();
    if (!st.GIC)
        return QString();
    // The grid paints a screen at a time: the recipients of the screen's messages (this one
    // among them) come in one statement.
    const QList<qint32> ids =
        idsOnScreen(cmId, [this](qint32 id) { return m_toCcCache.contains(id); });
    ++s_recipientQueries;
    m_toCcCache.insert(core::toCcCellsOf(*st.GIC, ids));
    return m_toCcCache.value(cmId);
}

void MessageList::selectGridRow(int row)
{
    if (!m_model || !TDBG->selectionModel())
        return;
    const bool was = m_suppressRowChange;
    m_suppressRowChange = true;
    if (row < 0) {
        TDBG->selectionModel()->clear();
    } else {
        const QModelIndex index = m_model->index(row, 2);
        TDBG->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
        TDBG->scrollTo(index);
    }
    m_previousRow = row;
    m_suppressRowChange = was;
}

void MessageList::bindList()
{
    const bool big = isOpen() && m_rows->recordCount() > 75;
    m_model->setUnboundSuspended(big);
    m_toCcCache.clear();
    const int position = currentPosition();
    m_model->setList(m_rows.get(), hasInboxRows());
    selectGridRow(position - 1);
    m_model->setUnboundSuspended(false);
}

void MessageList::onGridCurrentRowChanged(int row)
{
    if (m_suppressRowChange || !isOpen() || row < 0 || row == m_previousRow)
        return;
    if (!m_rows->setAbsolutePosition(row + 1))
        return;
    m_previousRow = row;
    if (!m_rows->bof() && !m_rows->eof())
        emit currentRowChosen();
}

void MessageList::acknowledgeChanges()
{
    m_livePending = false;
    if (m_changes)
        m_changes->acknowledge();
}

void MessageList::readView(const core::MessageListParams& params, const QString& sortOrder)
{
    auto& st = SharedState::current();
    TDBG->setProperty("tag", QStringLiteral("BUSY"));
    searchBeforeViewLoad();
    acknowledgeChanges();

    m_sortOrder = core::nextSortOrder(m_sortOrder, sortOrder);

    const qint32 remembered = currentCmId();
    if (m_model)
        m_model->setList(nullptr, params.inboxView);
    m_rows.reset();
    m_params = params;
    QString error;
    if (st.GIC && st.GIC->messageStoreConnection()) {
        m_rows = std::make_unique<core::MessageRows>(
            core::listView(*st.GIC, params, m_sortOrder, &error));
        if (!m_rows->isOpen()) {
            m_rows.reset();
            listReadFailed(error);
        }
    }
    if (m_rows && !m_rows->isEmpty()) {
        m_rows->moveFirst();
        if (remembered == 0 || !m_rows->findMessage(remembered))
            m_rows->moveLast();
    }
    bindList();
    TDBG->setProperty("tag", QString());
}

void MessageList::readAgainInPlace()
{
    if (!isOpen())
        return;
    searchBeforeRefresh();
    acknowledgeChanges();
    QList<qint32> candidates;
    if (hasCurrentRow()) {
        const int pos = m_rows->absolutePosition();
        core::MessageRows probe = m_rows->clone();
        for (int p : {pos, pos - 1, pos + 1}) {
            if (p >= 1 && p <= probe.recordCount() && probe.setAbsolutePosition(p))
                candidates << probe.value(QStringLiteral("CMID")).toInt();
        }
    }
    m_model->setList(nullptr, m_params.inboxView);
    QString error;
    if (!m_rows->requery(&error))
        listReadFailed(error);
    bool found = false;
    for (qint32 id : candidates) {
        m_rows->moveFirst();
        if (!m_rows->isEmpty() && m_rows->findMessage(id)) {
            found = true;
            break;
        }
    }
    if (!found && !m_rows->isEmpty())
        m_rows->moveLast();
    bindList();
}

bool MessageList::readAgainLive(QString* error)
{
    acknowledgeChanges();
    const RowKey current = keyAt(*m_rows);
    QList<RowKey> neighbours;
    QSet<RowKey> selected;
    if (hasCurrentRow()) {
        core::MessageRows probe = m_rows->clone();
        const int pos = m_rows->absolutePosition();
        for (int p : {pos - 1, pos + 1})
            if (p >= 1 && p <= probe.recordCount() && probe.setAbsolutePosition(p))
                neighbours << keyAt(probe);
        if (TDBG->selectionModel())
            for (const QModelIndex& index : TDBG->selectionModel()->selectedRows())
                if (probe.setAbsolutePosition(index.row() + 1))
                    selected.insert(keyAt(probe));
    }
    const int scrolled = TDBG->verticalScrollBar()->value();

    searchBeforeRefresh();
    m_model->setList(nullptr, hasInboxRows());
    // On failure the list stays empty until the store answers; nobody is asked anything.
    QString why;
    if (!m_rows->requery(&why) && error)
        *error = QStringLiteral("The message list could not be read again: ") + why;
    const bool kept = moveToKey(*m_rows, current);
    bool found = kept;
    for (int i = 0; !found && i < neighbours.size(); ++i)
        found = moveToKey(*m_rows, neighbours.at(i));
    if (!found && !m_rows->isEmpty())
        m_rows->moveLast();
    bindList();

    // The other rows selected stay selected, and the list where it was scrolled.
    if (selected.size() > 1 && TDBG->selectionModel()) {
        const bool was = m_suppressRowChange;
        m_suppressRowChange = true;
        core::MessageRows probe = m_rows->clone();
        QItemSelection rows;
        for (int r = 0; r < m_model->rowCount(); ++r)
            if (probe.setAbsolutePosition(r + 1) && selected.contains(keyAt(probe)))
                rows.select(m_model->index(r, 0), m_model->index(r, m_model->columnCount() - 1));
        TDBG->selectionModel()->select(rows, QItemSelectionModel::Select);
        m_suppressRowChange = was;
    }
    TDBG->verticalScrollBar()->setValue(scrolled);
    if (isSearching())
        showFoundCount();
    return kept;
}

void MessageList::releaseRows()
{
    if (m_model)
        m_model->setList(nullptr, m_params.inboxView);
    m_rows.reset();
    m_toCcCache.clear();
}

// ---- rows ---------------------------------------------------------------------------------

qint32 MessageList::currentCmId() const
{
    if (!hasCurrentRow())
        return 0;
    try {
        return m_rows->value(QStringLiteral("CMID")).toInt();
    } catch (const db::FieldError&) {
        return 0;
    }
}

qint32 MessageList::currentBroChkId() const
{
    if (!hasInboxRows() || !hasCurrentRow())
        return 0;
    try {
        return m_rows->value(QStringLiteral("BroChkID")).toInt();
    } catch (const db::FieldError&) {
        return 0;
    }
}

std::optional<MessageList::AddresseeRow> MessageList::currentAddresseeRow() const
{
    if (!hasInboxRows() || !hasCurrentRow())
        return std::nullopt;
    return AddresseeRow{qint32(m_rows->number(QStringLiteral("BroChkID"))),
                        qint32(m_rows->number(QStringLiteral("BroChkLinID"))),
                        qint32(m_rows->number(QStringLiteral("CMPID")))};
}

bool MessageList::hasInboxRows() const
{
    return m_params.inboxView || (isSearching() && m_searchEverywhere);
}

core::MessageRows MessageList::rowsCopy() const
{
    return m_rows ? m_rows->clone() : core::MessageRows();
}

QList<qint64> MessageList::selectedBookmarks() const
{
    QList<qint64> marks;
    if (!m_model || !TDBG->selectionModel())
        return marks;
    // The rows whose every column is selected, read from the selection's ranges: asking row by
    // row (selectedRows) walks every range for each row.
    const int lastColumn = m_model->columnCount() - 1;
    const QItemSelection selection = TDBG->selectionModel()->selection();
    QSet<int> rows;
    for (const QItemSelectionRange& range : selection) {
        const bool wholeRows = range.left() == 0 && range.right() == lastColumn;
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (wholeRows || TDBG->selectionModel()->isRowSelected(row, QModelIndex()))
                rows.insert(row);
    }
    for (const int row : std::as_const(rows))
        marks << m_model->bookmarkAt(row);
    std::sort(marks.begin(), marks.end());
    return marks;
}

void MessageList::selectCurrentWhenNone()
{
    if (!hasCurrentRow() || !selectedBookmarks().isEmpty() || !m_model || !TDBG->selectionModel())
        return;
    const int row = m_model->rowOfBookmark(m_rows->bookmark());
    if (row >= 0)
        TDBG->selectionModel()->select(m_model->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void MessageList::selectAll(bool select)
{
    QItemSelectionModel* selection = TDBG->selectionModel();
    if (!selection || !m_model)
        return;
    const bool was = m_suppressRowChange;
    m_suppressRowChange = true;
    if (select && m_model->rowCount() > 0) {
        const int position = m_rows->absolutePosition();
        const QItemSelection all(m_model->index(0, 0), m_model->index(m_model->rowCount() - 1,
                                                                      m_model->columnCount() - 1));
        selection->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (position >= 1)
            m_rows->setAbsolutePosition(position); // the list's current row is kept
    } else {
        selection->clearSelection();
    }
    m_suppressRowChange = was;
    TDBG->viewport()->update();
}

bool MessageList::followGridRow()
{
    const int row = TDBG->currentIndex().row();
    if (row < 0 || !isOpen() || !m_rows->setAbsolutePosition(row + 1))
        return false;
    m_previousRow = row;
    return true;
}

bool MessageList::moveToAddresseeRow(qint32 broChkId)
{
    // The list's current row moves only onto the row found.
    if (!isOpen() || !m_rows->hasField(QStringLiteral("BroChkID")))
        return false;
    core::MessageRows probe = m_rows->clone();
    if (!moveToKey(probe, {-1, broChkId}) || !m_rows->setAbsolutePosition(probe.absolutePosition()))
        return false;
    selectGridRow(m_rows->absolutePosition() - 1);
    return true;
}

bool MessageList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TDBG && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier && TDBG->currentIndex().isValid()) {
            emit enterPressed();
            return true;
        }
    }
    if (watched == txtSearch && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Enter searches at once and presses no button of the window.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            runSearch();
            return true;
        }
        if (takeEscape(key))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- search -------------------------------------------------------------------------------

bool MessageList::takeEscape(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape || (!isSearching() && txtSearch->text().isEmpty()))
        return false;
    event->accept();
    clearSearch();
    return true;
}

void MessageList::searchTextChanged()
{
    if (txtSearch->text().trimmed().isEmpty()) {
        m_searchTimer->stop();
        restoreView();
        lblSearch->clear();
        return;
    }
    m_searchTimer->start();
}

void MessageList::runSearch()
{
    m_searchTimer->stop();
    const QString typed = txtSearch->text();
    const QStringList words = tzsndmsg::searchWords(typed);
    if (words.isEmpty()) {
        restoreView();
        lblSearch->setText(typed.trimmed().isEmpty()
                               ? QString()
                               : QStringLiteral("Type letters or digits to search"));
        emit searchDone();
        return;
    }
    showSearchHits(words, chkSearchAll->isChecked());
}

void MessageList::clearSearch()
{
    m_searchTimer->stop();
    {
        const QSignalBlocker quiet(txtSearch);
        txtSearch->clear();
    }
    restoreView();
    lblSearch->clear();
}

void MessageList::showSearchHits(const QStringList& words, bool everywhere)
{
    auto& st = SharedState::current();
    // Only a listed view is narrowed (the compact window lists none).
    if (!st.GIC || !m_model || !m_rows || TDBG->isHidden())
        return;
    stopPartialSearch();

    QString error;
    core::MessageRows hits;
    const core::MessageRows* view = isSearching() ? m_viewRows.get() : m_rows.get();
    auto conn = st.GIC->messageStoreConnection();
    if (!everywhere && !m_viewStale && conn && view && view->isOpen()) {
        // The view's own rows narrowed: the view is listed already, so only the words are
        // looked up, the end of the list (where it opens) first.
        auto search = std::make_unique<core::ListedRowsSearch>(*st.GIC, conn->backend(), m_params,
                                                               words, *view);
        if (search->start(m_searchScreenRows, &error)) {
            hits = search->hits(*view);
            if (!search->finished())
                m_listedSearch = std::move(search);
        }
    } else {
        hits = core::listSearch(*st.GIC, m_params, words, everywhere, m_sortOrder, &error);
    }
    if (!hits.isOpen()) {
        // What is listed stays; the reason shows beside the box, no box to answer while typing.
        lblSearch->setText(error);
        lblSearch->setToolTip(error);
        emit searchDone();
        return;
    }
    listSearchHits(std::move(hits), words, everywhere, false);
    emit searchScreenShown();
    if (!m_listedSearch) {
        emit searchDone();
        return;
    }
    lblSearch->setText(
        QStringLiteral("%1 found so far, searching on...").arg(m_rows->recordCount()));
    const int searchId = m_searchId;
    QTimer::singleShot(0, this, [this, searchId] { readRestOfSearch(searchId); });
}

void MessageList::listSearchHits(core::MessageRows hits, const QStringList& words, bool everywhere,
                                 bool rest)
{
    const qint32 shownCm = currentCmId();
    const qint32 shownRow = currentBroChkId();
    m_model->setList(nullptr, false);
    if (!isSearching())
        m_viewRows = std::move(m_rows); // kept on its current row
    m_rows = std::make_unique<core::MessageRows>(std::move(hits));
    m_searchWords = words;
    m_searchEverywhere = everywhere;
    // The message shown stays current when it is found; else the last row, as a view opens.
    const bool kept = !m_rows->isEmpty() && positionOn(*m_rows, shownCm, shownRow);
    if (!m_rows->isEmpty() && !kept)
        m_rows->moveLast();
    emit searchScopeChanged(everywhere);
    m_searchDelegate->setWords(words);
    setViewColumnShown(everywhere);
    if (!rest)
        emit selectionCleared(); // a new list
    bindList();
    if (rest && kept)
        showCounter(); // the rest of the same search's hits: the message shown stays
    else if (!m_rows->isEmpty())
        emit currentRowChosen();
    else
        clearCounter();
    showFoundCount();
    lblSearch->setToolTip(QString());
    emit wordsChanged();
    emit listLoaded();
}

void MessageList::showFoundCount()
{
    lblSearch->setText(foundText(m_rows->recordCount(), m_searchEverywhere));
}

void MessageList::readRestOfSearch(int searchId)
{
    if (!m_listedSearch || searchId != m_searchId)
        return;
    if (!m_viewRows) {
        stopPartialSearch(); // the view is gone: nothing to narrow
        return;
    }
    // A part at a time, so that typing and scrolling go on between the parts.
    constexpr qsizetype kPart = 2048;
    QString error;
    if (!m_listedSearch->next(kPart, &error)) {
        // The first screen stays; the reason shows beside the box.
        stopPartialSearch();
        lblSearch->setText(error);
        lblSearch->setToolTip(error);
        emit searchDone();
        return;
    }
    if (!m_listedSearch->finished()) {
        QTimer::singleShot(0, this, [this, searchId] { readRestOfSearch(searchId); });
        return;
    }
    std::unique_ptr<core::ListedRowsSearch> search = std::move(m_listedSearch);
    ++m_searchId;
    core::MessageRows all = search->hits(*m_viewRows);
    // Sorted meanwhile by a column of the list: the whole list is sorted the same way.
    if (m_rows && m_rows->sort() != all.sort() && !all.isEmpty())
        all.setSort(m_rows->sort());
    listSearchHits(std::move(all), m_searchWords, m_searchEverywhere, true);
    emit searchDone();
}

void MessageList::completeSearch()
{
    while (m_listedSearch)
        readRestOfSearch(m_searchId);
}

void MessageList::stopPartialSearch()
{
    m_listedSearch.reset();
    ++m_searchId;
}

void MessageList::restoreView()
{
    stopPartialSearch();
    if (!isSearching())
        return;
    m_model->setList(nullptr, false);
    m_rows = std::move(m_viewRows);
    m_searchWords.clear();
    m_searchEverywhere = false;
    if (m_viewStale) {
        // A message was sent or deleted meanwhile: the view read again, on its message.
        m_viewStale = false;
        const qint32 cmId = currentCmId();
        const qint32 row = currentBroChkId();
        if (m_rows->requery() && !positionOn(*m_rows, cmId, row) && !m_rows->isEmpty())
            m_rows->moveLast();
    }
    emit searchScopeChanged(false);
    m_searchDelegate->setWords({});
    setViewColumnShown(false);
    emit selectionCleared();
    bindList();
    if (hasCurrentRow())
        emit currentRowChosen();
    else
        clearCounter();
    emit wordsChanged();
    emit listLoaded();
    emit searchDone();
}

void MessageList::searchBeforeViewLoad()
{
    // The view is read again: the one kept goes, the words stay and narrow the new one.
    m_viewRows.reset();
    m_viewStale = false;
    m_searchTimer->stop();
    stopPartialSearch();
}

void MessageList::searchAfterViewLoad()
{
    const QStringList words = tzsndmsg::searchWords(txtSearch->text());
    if (!words.isEmpty()) {
        showSearchHits(words, chkSearchAll->isChecked());
        return;
    }
    if (m_searchDelegate->words().isEmpty())
        return;
    m_searchWords.clear();
    m_searchEverywhere = false;
    m_searchDelegate->setWords({});
    setViewColumnShown(false);
    emit searchScopeChanged(false);
    emit wordsChanged();
}

void MessageList::searchBeforeRefresh()
{
    // The hits are read again whole (their statement); a rest still to come would be of rows
    // that are no longer the view's.
    stopPartialSearch();
    if (isSearching())
        m_viewStale = true;
}

void MessageList::setViewColumnShown(bool shown)
{
    const int column = MessageListModel::columnOf(MessageListModel::Kind::View);
    if (column < 0 || !TDBG->model() || TDBG->isColumnHidden(column) != shown)
        return;
    if (shown) {
        // First of the shown columns, before "From".
        QHeaderView* header = TDBG->horizontalHeader();
        const int from = header->visualIndex(2);
        if (header->visualIndex(column) > from)
            header->moveSection(header->visualIndex(column), from);
        TDBG->setColumnWidth(
            column,
            std::max(MessageListModel::pixels(2100),
                     fontMetrics().horizontalAdvance(QStringLiteral("Sent Items - History")) + 14));
    }
    TDBG->setColumnHidden(column, !shown);
    fitCommentsColumn();
}

// ---- reading again when the store changes ---------------------------------------------------

void MessageList::startLive()
{
    auto& st = SharedState::current();
    if (m_changes || !st.GIC || !st.GIC->messageStoreConnection())
        return;
    if (!m_liveTimer) {
        m_liveTimer = new QTimer(this);
        m_liveTimer->setSingleShot(true);
        connect(m_liveTimer, &QTimer::timeout, this, [this] {
            if (m_livePending)
                emit liveChangeHeard();
        });
    }
    m_changes = new watcher::StoreChanges(st.GIC, 1000, true, this);
    connect(m_changes, &watcher::StoreChanges::changed, this, [this] {
        m_livePending = true;
        if (!m_liveTimer->isActive())
            m_liveTimer->start(LiveDelayMs);
    });
    if (!m_changes->start()) {
        delete m_changes;
        m_changes = nullptr;
    }
}

void MessageList::stopLive()
{
    delete m_changes;
    m_changes = nullptr;
    m_livePending = false;
    if (m_liveTimer)
        m_liveTimer->stop();
}

void MessageList::retryLiveLater()
{
    // A window that is not free when a change comes looks again after this pause.
    constexpr int LiveRetryMs = 400;
    m_liveTimer->start(LiveRetryMs);
}

} // namespace tzsndmsg
