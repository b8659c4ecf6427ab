// The list kept up to date while the window is open, and received messages shown in it from
// outside (a notice clicked) or kept waiting while a message is being written.
#include "MessageList.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"

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
}

bool tzSndMsgFrm::isFreeForList() const
{
    if (m_unloaded || m_loading || m_inLive || !isVisible() || !isEnabled() || !isFullWindow())
        return false;
    if (m_messages->isBusy() || !m_messages->isOpen() || !m_messages->model())
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
    if (!m_messages->isOpen() || !m_messages->model() || m_inLive)
        return;
    m_inLive = true;
    const qint32 current = m_messages->currentCmId();
    const bool showing = current != 0 && current == m_shownRowCmId;
    QString error;
    const bool kept = m_messages->readAgainLive(&error);
    if (!error.isEmpty())
        SB->showMessage(error, 10000);
    if (kept || isWriting()) {
        // The form is left as it is: the message read, or what is being written.
        m_messages->showCounter();
        if (!kept && showing)
            m_shownRowCmId = 0; // its row is gone: commands act on no row
        updateDeleteButton();
    } else if (m_messages->rowCount() > 0) {
        Show_CurrentMsg();
    } else {
        m_messages->clearCounter();
        showNoRow();
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
    bool found = m_messages->moveToAddresseeRow(broChkId);
    if (!found && m_messages->isOpen()) {
        refreshListLive(); // it may have come since the list was read
        found = m_messages->moveToAddresseeRow(broChkId);
    }
    if (!found && isSearching()) {
        m_messages->clearSearch();
        found = m_messages->moveToAddresseeRow(broChkId);
    }
    if (!found && (!isInboxView() || isMsgCatOnly() || isHistoryView())) {
        TB_ButtonMenuClick(QStringLiteral("MsgInAllCat"));
        found = m_messages->moveToAddresseeRow(broChkId);
    }
    if (!found)
        return false; // no longer there (deleted, purged): the window stays as it is
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
