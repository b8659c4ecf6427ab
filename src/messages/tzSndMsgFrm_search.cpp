// The search box above the list: the view narrowed to the messages that hold the words typed,
// or every view of the login at once; the words marked in the list and in the message shown.
#include "MessageListModel.h"
#include "SearchHighlightDelegate.h"
#include "core/MessageRows.h"
#include "core/MessageSearch.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

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

} // namespace

void tzSndMsgFrm::buildSearchBar(QVBoxLayout* listLayout)
{
    auto* bar = new QWidget(m_listArea);
    bar->setObjectName(QStringLiteral("PicSearch"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 4);
    auto* label = new QLabel(QStringLiteral("Searc&h:"), bar);
    txtSearch = new QLineEdit(bar);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setPlaceholderText(
        QStringLiteral("Words of the subject, text, sender or To/CC (Ctrl+F)"));
    txtSearch->setClearButtonEnabled(true);
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
    // A message shown is marked once it is loaded (its text first, then whether it is only
    // shown or being written).
    connect(txtMsg, &QPlainTextEdit::textChanged, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { highlightShownMessage(); }, Qt::QueuedConnection);
    });
}

bool tzSndMsgFrm::listHasInboxRows() const
{
    return m_inboxView || (isSearching() && m_searchEverywhere);
}

bool tzSndMsgFrm::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on the list opens its message: the cursor goes to the text.
    if (watched == TDBG && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier && TDBG->currentIndex().isValid()) {
            const int row = TDBG->currentIndex().row();
            if (shownRowCmId() == 0 && m_list && m_list->isOpen() &&
                m_list->setAbsolutePosition(row + 1)) {
                m_previousRow = row;
                Show_CurrentMsg();
            }
            txtMsg->setFocus(Qt::OtherFocusReason);
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
        if (searchKeyPress(key))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool tzSndMsgFrm::searchKeyPress(QKeyEvent* event)
{
    // Esc empties the box first; only an Esc with nothing to clear goes on to the window.
    if (event->key() != Qt::Key_Escape || !txtSearch ||
        (!isSearching() && txtSearch->text().isEmpty()))
        return false;
    event->accept();
    clearSearch();
    return true;
}

void tzSndMsgFrm::searchTextChanged()
{
    if (txtSearch->text().trimmed().isEmpty()) {
        m_searchTimer->stop();
        restoreView();
        lblSearch->clear();
        return;
    }
    m_searchTimer->start();
}

void tzSndMsgFrm::runSearch()
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

void tzSndMsgFrm::clearSearch()
{
    m_searchTimer->stop();
    {
        const QSignalBlocker quiet(txtSearch);
        txtSearch->clear();
    }
    restoreView();
    lblSearch->clear();
}

void tzSndMsgFrm::showSearchHits(const QStringList& words, bool everywhere)
{
    auto& st = SharedState::current();
    // Only a listed view is narrowed (the compact window lists none).
    if (!st.GIC || !m_model || !m_list || TDBG->isHidden())
        return;
    stopPartialSearch();
    const core::MessageListParams params = viewParams(m_inboxView, m_msgCatOnly);

    QString error;
    core::MessageRows hits;
    const core::MessageRows* view = isSearching() ? m_viewList.get() : m_list.get();
    auto conn = st.GIC->messageStoreConnection();
    if (!everywhere && !m_viewStale && conn && view && view->isOpen()) {
        // The view's own rows narrowed: the view is listed already, so only the words are
        // looked up, the end of the list (where it opens) first.
        auto search = std::make_unique<core::ListedRowsSearch>(*st.GIC, conn->backend(), params,
                                                               words, *view);
        if (search->start(m_searchScreenRows, &error)) {
            hits = search->hits(*view);
            if (!search->finished())
                m_listedSearch = std::move(search);
        }
    } else {
        hits = core::listSearch(*st.GIC, params, words, everywhere, m_sortOrder, &error);
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
        QStringLiteral("%1 found so far, searching on...").arg(m_list->recordCount()));
    const int searchId = m_searchId;
    QTimer::singleShot(0, this, [this, searchId] { readRestOfSearch(searchId); });
}

void tzSndMsgFrm::listSearchHits(core::MessageRows hits, const QStringList& words, bool everywhere,
                                 bool rest)
{
    const qint32 shownCm = currentRowCmId();
    const qint32 shownRow = currentBroChkID();
    m_model->setList(nullptr, false);
    if (!isSearching())
        m_viewList = std::move(m_list); // kept on its current row
    m_list = std::make_unique<core::MessageRows>(std::move(hits));
    m_searchWords = words;
    m_searchEverywhere = everywhere;
    // The message shown stays current when it is found; else the last row, as a view opens.
    const bool kept = !m_list->isEmpty() && positionOn(*m_list, shownCm, shownRow);
    if (!m_list->isEmpty() && !kept)
        m_list->moveLast();
    // Purging toggles the purge mark: among the rows of every view that would purge some and
    // restore others.
    if (QAction* purge = tbButton(QStringLiteral("Purge")))
        purge->setEnabled(!everywhere);
    m_searchDelegate->setWords(words);
    setViewColumnShown(everywhere);
    if (!rest)
        setTbToolTip(QStringLiteral("ChkAll"), QStringLiteral("Select All")); // a new list
    bindList();
    if (rest && kept) {
        // The rest of the same search's hits: the message shown stays as it is.
        if (SB_Panel1)
            SB_Panel1->setText(QString::number(m_list->absolutePosition()) +
                               QStringLiteral(" of ") + QString::number(m_list->recordCount()));
    } else if (!m_list->isEmpty()) {
        Show_CurrentMsg();
    } else if (SB_Panel1) {
        SB_Panel1->clear();
    }
    lblSearch->setText(foundText(m_list->recordCount(), everywhere));
    lblSearch->setToolTip(QString());
    highlightShownMessage();
    emit listLoaded();
}

void tzSndMsgFrm::readRestOfSearch(int searchId)
{
    if (!m_listedSearch || searchId != m_searchId)
        return;
    if (!m_viewList) {
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
    core::MessageRows all = search->hits(*m_viewList);
    // Sorted meanwhile by a column of the list: the whole list is sorted the same way.
    if (m_list && m_list->sort() != all.sort() && !all.isEmpty())
        all.setSort(m_list->sort());
    listSearchHits(std::move(all), m_searchWords, m_searchEverywhere, true);
    emit searchDone();
}

void tzSndMsgFrm::completeSearch()
{
    while (m_listedSearch)
        readRestOfSearch(m_searchId);
}

void tzSndMsgFrm::stopPartialSearch()
{
    m_listedSearch.reset();
    ++m_searchId;
}

void tzSndMsgFrm::restoreView()
{
    stopPartialSearch();
    if (!isSearching())
        return;
    m_model->setList(nullptr, false);
    m_list = std::move(m_viewList);
    m_searchWords.clear();
    m_searchEverywhere = false;
    if (m_viewStale) {
        // A message was sent or deleted meanwhile: the view read again, on its message.
        m_viewStale = false;
        const qint32 cmId = currentRowCmId();
        const qint32 row = currentBroChkID();
        if (m_list->requery() && !positionOn(*m_list, cmId, row) && !m_list->isEmpty())
            m_list->moveLast();
    }
    if (QAction* purge = tbButton(QStringLiteral("Purge")))
        purge->setEnabled(true);
    m_searchDelegate->setWords({});
    setViewColumnShown(false);
    setTbToolTip(QStringLiteral("ChkAll"), QStringLiteral("Select All"));
    bindList();
    if (!m_list->isEmpty() && !m_list->bof() && !m_list->eof())
        Show_CurrentMsg();
    else if (SB_Panel1)
        SB_Panel1->clear();
    highlightShownMessage();
    emit listLoaded();
    emit searchDone();
}

void tzSndMsgFrm::searchBeforeViewLoad()
{
    // The view is read again: the one kept goes, the words stay and narrow the new one.
    m_viewList.reset();
    m_viewStale = false;
    m_searchTimer->stop();
    stopPartialSearch();
}

void tzSndMsgFrm::searchAfterViewLoad()
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
    if (QAction* purge = tbButton(QStringLiteral("Purge")))
        purge->setEnabled(true);
    highlightShownMessage();
}

void tzSndMsgFrm::searchBeforeRefresh()
{
    // The hits are read again whole (their statement); a rest still to come would be of rows
    // that are no longer the view's.
    stopPartialSearch();
    if (isSearching())
        m_viewStale = true;
}

void tzSndMsgFrm::highlightShownMessage()
{
    if (!txtMsg)
        return;
    QList<QTextEdit::ExtraSelection> marks;
    if (isSearching() && m_bodyReadOnly) {
        for (const core::TextMatch& m : core::matchesIn(txtMsg->toPlainText(), m_searchWords)) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(txtMsg->document());
            mark.cursor.setPosition(m.start);
            mark.cursor.setPosition(m.start + m.length, QTextCursor::KeepAnchor);
            mark.format.setBackground(SearchHighlightDelegate::highlightColor());
            mark.format.setForeground(QColor(Qt::black));
            marks << mark;
        }
    }
    txtMsg->setExtraSelections(marks);
}

void tzSndMsgFrm::setViewColumnShown(bool shown)
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

} // namespace tzsndmsg
