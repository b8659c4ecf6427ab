// The list's views as the window shows them: which view, what the form shows of its rows, the
// caption. The list itself, its search and its reading again are MessageList's.
#include "MessageList.h"
#include "MessageListModel.h"
#include "SearchHighlightDelegate.h"
#include "core/MessageSearch.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "ui/BusyPointer.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>

namespace tzsndmsg {

int tzSndMsgFrm::recipientQueryCount()
{
    return MessageList::recipientQueryCount();
}

bool tzSndMsgFrm::isInboxView() const
{
    return m_messages->isInboxView();
}

bool tzSndMsgFrm::isMsgCatOnly() const
{
    return m_messages->isMsgCatOnly();
}

QString tzSndMsgFrm::sortOrder() const
{
    return m_messages->sortOrder();
}

bool tzSndMsgFrm::isSearching() const
{
    return m_messages->isSearching();
}

QStringList tzSndMsgFrm::searchedWords() const
{
    return m_messages->searchedWords();
}

bool tzSndMsgFrm::isSearchPartial() const
{
    return m_messages->isSearchPartial();
}

void tzSndMsgFrm::setSearchScreenRows(int rows)
{
    m_messages->setSearchScreenRows(rows);
}

bool tzSndMsgFrm::isListLive() const
{
    return m_messages->isLive();
}

void tzSndMsgFrm::connectList()
{
    connect(m_messages, &MessageList::currentRowChosen, this, [this] { Show_CurrentMsg(); });
    // Enter on the list opens its message: the cursor goes to the text.
    connect(m_messages, &MessageList::enterPressed, this, [this] {
        if (shownRowCmId() == 0 && m_messages->followGridRow())
            Show_CurrentMsg();
        txtMsg->setFocus(Qt::OtherFocusReason);
    });
    // Purging toggles the purge mark: among the rows of every view that would purge some and
    // restore others.
    connect(m_messages, &MessageList::searchScopeChanged, this, [this](bool everywhere) {
        if (QAction* purge = tbButton(QStringLiteral("Purge")))
            purge->setEnabled(!everywhere);
    });
    connect(m_messages, &MessageList::selectionCleared, this,
            [this] { setTbToolTip(QStringLiteral("ChkAll"), QStringLiteral("Select All")); });
    connect(m_messages, &MessageList::wordsChanged, this, [this] { highlightShownMessage(); });
    connect(m_messages, &MessageList::listLoaded, this, &tzSndMsgFrm::listLoaded);
    connect(m_messages, &MessageList::searchDone, this, &tzSndMsgFrm::searchDone);
    connect(m_messages, &MessageList::searchScreenShown, this, &tzSndMsgFrm::searchScreenShown);
    connect(m_messages, &MessageList::liveChangeHeard, this, [this] {
        if (isFreeForList())
            refreshListLive();
        else
            m_messages->retryLiveLater();
    });
    // A message shown is marked once it is loaded (its text first, then whether it is only
    // shown or being written).
    connect(txtMsg, &QPlainTextEdit::textChanged, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { highlightShownMessage(); }, Qt::QueuedConnection);
    });
}

// A view without rows shows no stored message: a message still on the form is not in it.
void tzSndMsgFrm::showNoRow()
{
    m_shownRowCmId = 0;
    if (m_bodyReadOnly)
        resetToNewMessage();
    updateDeleteButton();
}

bool tzSndMsgFrm::isHistoryView() const
{
    return tbToolTip(QStringLiteral("TDLstHis")) != QLatin1String("View History");
}

bool tzSndMsgFrm::isFullWindow() const
{
    return TDBG && SB && TB && !TDBG->isHidden() && !SB->isHidden() && !TB->isHidden();
}

qint32 tzSndMsgFrm::currentRowCmId() const
{
    return m_messages->currentCmId();
}

qint32 tzSndMsgFrm::shownRowCmId() const
{
    const qint32 row = currentRowCmId();
    return row != 0 && row == m_shownRowCmId ? row : 0;
}

void tzSndMsgFrm::updateDeleteButton()
{
    if (QAction* del = tbButton(QStringLiteral("Delete")))
        del->setEnabled(m_CMID != 0 && m_CMID == shownRowCmId());
}

qint32 tzSndMsgFrm::currentBroChkID() const
{
    return m_messages->currentBroChkId();
}

void tzSndMsgFrm::Setup_Grid()
{
    m_messages->setupColumns(
        QIcon(ImaList ? ImaList->checkMark() : ui::ImageList::drawCheckMark()));
    setupConfirmationColumn();
    fitCommentsColumn();
}

void tzSndMsgFrm::fitCommentsColumn()
{
    m_messages->fitCommentsColumn();
}

core::MessageListParams tzSndMsgFrm::viewParams(bool inboxView, bool msgCatOnly) const
{
    const auto& st = SharedState::current();
    core::MessageListParams params;
    params.inboxView = inboxView;
    params.msgCatOnly = msgCatOnly;
    params.history = isHistoryView();
    params.currentEmployeeId = st.CurrentEmployeeID;
    params.loginNames = st.LoginNames;
    params.loginEmployeeIds = st.LoginEmployeeIDs;
    if (st.GIC) {
        params.computerName = st.GIC->computerName();
        params.currentLoginName = st.GIC->currentLoginName();
    }
    return params;
}

void tzSndMsgFrm::Load_MsgList(const QString& SortOrder, bool InboxView, bool MsgCatOnly)
{
    if (!TDBG || TDBG->isHidden())
        return;
    auto& st = SharedState::current();
    if (!m_loading && st.GIC)
        st.GIC->setBusy(this, true);
    m_messages->readView(viewParams(InboxView, MsgCatOnly), SortOrder);
    Set_FormCaption(false);
    if (m_messages->rowCount() > 0) {
        Show_CurrentMsg();
    } else {
        m_messages->clearCounter();
        showNoRow();
    }
    m_messages->searchAfterViewLoad();
    if (!m_loading && st.GIC)
        st.GIC->setBusy(this, false);
    emit listLoaded();
}

void tzSndMsgFrm::Show_CurrentMsg()
{
    auto& st = SharedState::current();
    if (!m_loading && st.GIC)
        st.GIC->setBusy(this, true);
    if (m_changed)
        SaveMessage(true, false); // the move goes on whatever the answer
    if (m_messages->hasCurrentRow()) {
        m_messages->showCounter();
        Set_ChangeFalg(false, 0);
        setCMID(currentRowCmId());
    }
    if (!m_loading && st.GIC)
        st.GIC->setBusy(this, false);
}

void tzSndMsgFrm::setCMID(qint32 id)
{
    m_CMID = id;
    m_shownRowCmId = 0;
    if (id != 0) {
        // Through the current row, so a hidden row (negative cmTyp) of an inbox is not opened.
        m_CMID = 0;
        LoadMessage(StoreKind, 0, 0);
        if (m_CMID != 0 && m_CMID == currentRowCmId()) {
            m_shownRowCmId = m_CMID;
        } else {
            // Neither the form nor the confirm panel may go on showing the message before,
            // while their commands would act on the row that is not shown.
            resetToNewMessage();
        }
    }
    updateDeleteButton();
}

void tzSndMsgFrm::showReceivedRow(qint32 broChkId)
{
    if (isInboxView() && m_messages->moveToAddresseeRow(broChkId))
        Show_CurrentMsg();
}

void tzSndMsgFrm::refreshInPlace()
{
    if (!m_messages->isOpen())
        return;
    auto& st = SharedState::current();
    ui::BusyPointer wait;
    if (st.GIC)
        st.GIC->freezeWindow(TDBG);
    m_messages->readAgainInPlace();
    if (m_messages->rowCount() > 0) {
        Show_CurrentMsg();
    } else {
        m_messages->clearCounter();
        showNoRow();
    }
    if (st.GIC)
        st.GIC->freezeWindow(nullptr);
    emit listLoaded();
}

void tzSndMsgFrm::highlightShownMessage()
{
    if (!txtMsg)
        return;
    QList<QTextEdit::ExtraSelection> marks;
    if (isSearching() && m_bodyReadOnly) {
        for (const core::TextMatch& m : core::matchesIn(txtMsg->toPlainText(), searchedWords())) {
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

void tzSndMsgFrm::Set_FormCaption(bool NewMessage)
{
    auto& st = SharedState::current();
    const QString login = st.GIC ? st.GIC->currentLoginName() : QString();
    QString caption = st.ReminderFlag ? QStringLiteral("Reminder for ") + login
                                      : QStringLiteral("#%# - ") + login;
    QString iconKey = QStringLiteral("Msg");
    if (NewMessage) {
        caption = QStringLiteral("New Message");
        iconKey = QStringLiteral("MsgNew");
    }
    QString viewName;
    if (TB && !TB->isHidden()) {
        if (isInboxView())
            viewName = isMsgCatOnly() ? QStringLiteral("Inbox-Message Category Only")
                                      : QStringLiteral("Inbox-All Categories");
        else
            viewName = QStringLiteral("Sent Items");
        if (isHistoryView())
            viewName += QStringLiteral(" - History");
    }
    caption = st.GIC ? st.GIC->replaceText(caption, QStringLiteral("#%#"), viewName)
                     : caption.replace(QStringLiteral("#%#"), viewName);
    setWindowTitle(caption);
    if (ImaList && ImaList->contains(iconKey))
        setWindowIcon(ImaList->icon(iconKey));
}

} // namespace tzsndmsg
