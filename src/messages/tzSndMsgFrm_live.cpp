// The list kept up to date while the window is open, and received messages shown in it from
// outside (a notice clicked) or kept waiting while a message is being written.
#include "MessageListModel.h"
#include "core/MessageRows.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "watcher/StoreChanges.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

// A window that is not free when a change comes looks again after this pause.
constexpr int LiveRetryMs = 400;

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

} // namespace

void tzSndMsgFrm::buildLive()
{
    // The mark of received messages waiting to be shown, under the toolbars.
    cmdWaiting = new QPushButton(this);
    cmdWaiting->setObjectName(QStringLiteral("cmdWaiting"));
    cmdWaiting->setFlat(true);
    cmdWaiting->setAutoDefault(false);
    cmdWaiting->setStyleSheet(QStringLiteral(
        "QPushButton { background: #fff4cc; border: 1px solid #e0c060; padding: 4px 10px;"
        " text-align: left; color: #3d3000; }"));
    cmdWaiting->hide();
    if (auto* root = qobject_cast<QVBoxLayout*>(layout()))
        root->insertWidget(2, cmdWaiting);
    connect(cmdWaiting, &QPushButton::clicked, this, [this] { showWaiting(); });
    auto* key = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(key, &QShortcut::activated, this, [this] { showWaiting(); });

    m_liveTimer = new QTimer(this);
    m_liveTimer->setSingleShot(true);
    connect(m_liveTimer, &QTimer::timeout, this, [this] {
        if (!m_livePending)
            return;
        if (!isFreeForList()) {
            m_liveTimer->start(LiveRetryMs);
            return;
        }
        refreshListLive();
    });
}

void tzSndMsgFrm::startLive()
{
    auto& st = SharedState::current();
    if (m_changes || !st.GIC || !st.GIC->messageStoreConnection())
        return;
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

void tzSndMsgFrm::stopLive()
{
    delete m_changes;
    m_changes = nullptr;
    m_livePending = false;
    if (m_liveTimer)
        m_liveTimer->stop();
}

void tzSndMsgFrm::listReadAgain()
{
    m_livePending = false;
    if (m_changes)
        m_changes->acknowledge();
}

bool tzSndMsgFrm::isFreeForList() const
{
    if (m_unloaded || m_loading || m_inLive || !isVisible() || !isEnabled() || !isFullWindow())
        return false;
    if (!TDBG->property("tag").toString().isEmpty() || !m_list || !m_list->isOpen() || !m_model)
        return false;
    // Not under a dialog of its own, an open drop-down, or a drag through the list.
    const QWidget* modal = QApplication::activeModalWidget();
    return (!modal || modal == this) && !QApplication::activePopupWidget() &&
           QApplication::mouseButtons() == Qt::NoButton;
}

bool tzSndMsgFrm::isWriting() const
{
    // A received message shown in the full window is only read, whatever was clicked on it.
    return m_changed && !(isFullWindow() && m_bodyReadOnly);
}

void tzSndMsgFrm::refreshListLive()
{
    if (!m_list || !m_list->isOpen() || !m_model || m_inLive)
        return;
    m_inLive = true;
    listReadAgain();

    const RowKey current = keyAt(*m_list);
    const bool showing = current.first != 0 && current.first == m_shownRowCmId;
    QList<RowKey> neighbours;
    QSet<RowKey> selected;
    if (!m_list->isEmpty() && !m_list->bof() && !m_list->eof()) {
        core::MessageRows probe = m_list->clone();
        const int pos = m_list->absolutePosition();
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
    m_model->setList(nullptr, listHasInboxRows());
    QString error;
    if (!m_list->requery(&error)) {
        // The list stays empty until the store answers; nobody is asked anything meanwhile.
        SB->showMessage(QStringLiteral("The message list could not be read again: ") + error,
                        10000);
    }
    bool kept = moveToKey(*m_list, current);
    bool found = kept;
    for (int i = 0; !found && i < neighbours.size(); ++i)
        found = moveToKey(*m_list, neighbours.at(i));
    if (!found && !m_list->isEmpty())
        m_list->moveLast();
    bindList();

    // The other rows selected stay selected, and the list where it was scrolled.
    if (selected.size() > 1 && TDBG->selectionModel()) {
        const bool was = m_suppressRowChange;
        m_suppressRowChange = true;
        core::MessageRows probe = m_list->clone();
        QItemSelection rows;
        for (int r = 0; r < m_model->rowCount(); ++r)
            if (probe.setAbsolutePosition(r + 1) && selected.contains(keyAt(probe)))
                rows.select(m_model->index(r, 0), m_model->index(r, m_model->columnCount() - 1));
        TDBG->selectionModel()->select(rows, QItemSelectionModel::Select);
        m_suppressRowChange = was;
    }
    TDBG->verticalScrollBar()->setValue(scrolled);

    if (kept || isWriting()) {
        // The form is left as it is: the message read, or what is being written.
        if (SB_Panel1)
            SB_Panel1->setText(m_list->isEmpty() || m_list->bof() || m_list->eof()
                                   ? QString()
                                   : QString::number(m_list->absolutePosition()) +
                                         QStringLiteral(" of ") +
                                         QString::number(m_list->recordCount()));
        if (!kept && showing)
            m_shownRowCmId = 0; // its row is gone: commands act on no row
        updateDeleteButton();
    } else if (!m_list->isEmpty()) {
        Show_CurrentMsg();
    } else {
        if (SB_Panel1)
            SB_Panel1->clear();
        m_shownRowCmId = 0;
        if (m_bodyReadOnly)
            resetToNewMessage();
        updateDeleteButton();
    }
    if (isSearching()) {
        const int n = m_list->recordCount();
        const QString found = n == 0   ? QStringLiteral("No message found")
                              : n == 1 ? QStringLiteral("1 message found")
                                       : QStringLiteral("%1 messages found").arg(n);
        lblSearch->setText(m_searchEverywhere ? found + QStringLiteral(" in every view") : found);
    }
    m_inLive = false;
    emit listLoaded();
}

void tzSndMsgFrm::showArrival(qint32 broChkId)
{
    if (broChkId == 0 || m_unloaded)
        return;
    QWidget* modal = QApplication::activeModalWidget();
    const bool free = !m_loading && isVisible() && (!modal || modal == this);
    // The window comes forward (or the dialog over it), where the message or its mark is.
    QWidget* front = modal && modal != this ? modal : this;
    front->raise();
    front->activateWindow();
    if (!free || isWriting()) {
        if (!m_waiting.contains(broChkId))
            m_waiting << broChkId;
        updateWaitingMark();
        return;
    }
    if (!isFullWindow()) {
        // A new message with nothing written yet: the full window, on every category.
        TB_Small_ButtonMenuClick(QStringLiteral("MsgHisAll"));
        if (!isFullWindow())
            return;
    }
    showArrivalNow(broChkId);
}

void tzSndMsgFrm::showWaiting()
{
    if (m_waiting.isEmpty() || m_unloaded)
        return;
    if (!isFullWindow()) {
        // Asks about the message written, as going to the inbox from here always does.
        TB_Small_ButtonMenuClick(QStringLiteral("MsgHisAll"));
        if (!isFullWindow())
            return;
    } else if (isWriting()) {
        if (SaveMessage(true, true) == 2)
            return; // writing on: the rows go on waiting
        Set_ChangeFalg(false, 0);
    }
    const qint32 row = m_waiting.takeFirst();
    updateWaitingMark();
    showArrivalNow(row);
}

bool tzSndMsgFrm::showArrivalNow(qint32 broChkId)
{
    const RowKey key{-1, broChkId};
    // The list's current row moves only onto the row found.
    auto listed = [&] {
        if (!m_list || !m_list->isOpen() || !m_list->hasField(QStringLiteral("BroChkID")))
            return false;
        core::MessageRows probe = m_list->clone();
        return moveToKey(probe, key) && m_list->setAbsolutePosition(probe.absolutePosition());
    };
    bool found = listed();
    if (!found && m_list && m_list->isOpen()) {
        refreshListLive(); // it may have come since the list was read
        found = listed();
    }
    if (!found && isSearching()) {
        clearSearch();
        found = listed();
    }
    if (!found && (!m_inboxView || m_msgCatOnly || isHistoryView())) {
        TB_ButtonMenuClick(QStringLiteral("MsgInAllCat"));
        found = listed();
    }
    if (!found)
        return false; // no longer there (deleted, purged): the window stays as it is
    selectGridRow(m_list->absolutePosition() - 1);
    Show_CurrentMsg();
    TDBG->setFocus(Qt::OtherFocusReason);
    return true;
}

void tzSndMsgFrm::updateWaitingMark()
{
    if (!cmdWaiting)
        return;
    const qsizetype n = m_waiting.size();
    cmdWaiting->setVisible(n > 0);
    cmdWaiting->setText(
        n == 1 ? QStringLiteral("1 new message \u2014 press F6 to show it")
               : QStringLiteral("%1 new messages \u2014 press F6 to show the next").arg(n));
    cmdWaiting->setAccessibleName(cmdWaiting->text());
}

} // namespace tzsndmsg
