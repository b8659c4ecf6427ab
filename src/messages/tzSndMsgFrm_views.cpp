// The list of a view: statement, grid, record counter and caption.
#include "MessageListModel.h"
#include "core/MessageListQuery.h"
#include "core/MessageRows.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/BusyPointer.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSet>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

namespace tzsndmsg {

namespace {
int s_recipientQueries = 0;

// What a front desk's "To/ CC" usually holds: a few persons' initials and a workstation.
const QString kTypicalToCc = QStringLiteral("AA, BB, CC, DD/ FRONTDESK");

} // namespace

int tzSndMsgFrm::recipientQueryCount()
{
    return s_recipientQueries;
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
    if (!m_list || !m_list->isOpen() || m_list->bof() || m_list->eof())
        return 0;
    try {
        return m_list->value(QStringLiteral("CMID")).toInt();
    } catch (const db::FieldError&) {
        return 0;
    }
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
    if (!listHasInboxRows() || !m_list || !m_list->isOpen() || m_list->bof() || m_list->eof())
        return 0;
    try {
        return m_list->value(QStringLiteral("BroChkID")).toInt();
    } catch (const db::FieldError&) {
        return 0;
    }
}

QList<qint64> tzSndMsgFrm::selectedBookmarks() const
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

void tzSndMsgFrm::Setup_Grid()
{
    if (!m_model) {
        m_model = new MessageListModel(this);
        m_model->setToCcProvider([this](qint32 cmId) { return toCcText(cmId); });
        TDBG->setModel(m_model);
        connect(TDBG->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& current, const QModelIndex& previous) {
                    onGridCurrentRowChanged(current.row(), previous.row());
                });
    }
    m_model->setCheckMark(QIcon(ImaList ? ImaList->checkMark() : ui::ImageList::drawCheckMark()));
    const auto& columns = MessageListModel::gridColumns();
    for (int i = 0; i < columns.size(); ++i) {
        TDBG->setColumnHidden(i, !columns.at(i).visible);
        if (columns.at(i).visible)
            TDBG->setColumnWidth(i, columnPixels(i));
    }
    m_colToCc = MessageListModel::columnOf(MessageListModel::Kind::ToCc);
    m_colComments = MessageListModel::columnOf(MessageListModel::Kind::Comments);
    m_colPR = MessageListModel::columnOf(MessageListModel::Kind::CheckMark);
    setupConfirmationColumn();
    fitCommentsColumn();
}

int tzSndMsgFrm::columnPixels(int column) const
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

void tzSndMsgFrm::fitCommentsColumn()
{
    if (!m_model || !TDBG)
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

QString tzSndMsgFrm::toCcText(qint32 cmId)
{
    const auto cached = m_toCcCache.constFind(cmId);
    if (cached != m_toCcCache.constEnd())
        return *cached;
    auto& st = SharedState::current();
    if (!st.GIC)
        return QString();
    // The grid paints a screen at a time: the recipients of the screen's messages (this one
    // among them) come in one statement.
    QList<qint32> ids{cmId};
    if (m_model && TDBG) {
        const int rows = m_model->rowCount();
        int first = TDBG->rowAt(0);
        int last = TDBG->rowAt(TDBG->viewport()->height() - 1);
        if (first < 0)
            first = 0;
        if (last < 0)
            last = std::min(rows - 1, first + 60);
        for (int r = first; r <= last && r < rows && ids.size() < 200; ++r) {
            const qint32 id = m_model->cmIdAt(r);
            if (id != 0 && id != cmId && !m_toCcCache.contains(id) && !ids.contains(id))
                ids << id;
        }
    }
    ++s_recipientQueries;
    m_toCcCache.insert(core::toCcCellsOf(*st.GIC, ids));
    return m_toCcCache.value(cmId);
}

void tzSndMsgFrm::selectGridRow(int row)
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

void tzSndMsgFrm::bindList()
{
    m_bigList = m_list && m_list->isOpen() && m_list->recordCount() > 75;
    m_model->setUnboundSuspended(m_bigList);
    m_toCcCache.clear();
    const int position =
        (m_list && m_list->isOpen() && !m_list->isEmpty() && !m_list->bof() && !m_list->eof())
            ? m_list->absolutePosition()
            : 0;
    m_model->setList(m_list.get(), listHasInboxRows());
    selectGridRow(position - 1);
    m_model->setUnboundSuspended(false);
    m_bigList = false;
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
    TDBG->setProperty("tag", QStringLiteral("BUSY"));
    searchBeforeViewLoad();
    listReadAgain();

    m_sortOrder = core::nextSortOrder(m_sortOrder, SortOrder);

    const qint32 remembered = currentRowCmId();
    if (m_model)
        m_model->setList(nullptr, InboxView);
    m_list.reset();

    const core::MessageListParams params = viewParams(InboxView, MsgCatOnly);

    m_inboxView = InboxView;
    m_msgCatOnly = MsgCatOnly;
    QString error;
    if (st.GIC && st.GIC->messageStoreConnection()) {
        m_list = std::make_unique<core::MessageRows>(
            core::listView(*st.GIC, params, m_sortOrder, &error));
        if (!m_list->isOpen()) {
            m_list.reset();
            ui::MessageBox::show({QStringLiteral("The message list could not be read.\n\n") + error,
                                  QStringLiteral("Message"), 0, 48, 0});
        }
    }

    bool found = false;
    if (m_list && !m_list->isEmpty()) {
        if (remembered != 0) {
            m_list->moveFirst();
            found = m_list->findMessage(remembered);
            if (!found)
                m_list->moveLast();
        } else {
            m_list->moveLast();
        }
    }

    bindList();
    TDBG->setProperty("tag", QString());
    Set_FormCaption(false);

    if (m_list && !m_list->isEmpty()) {
        Show_CurrentMsg();
    } else {
        if (SB_Panel1)
            SB_Panel1->clear();
        showNoRow();
    }

    searchAfterViewLoad();
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
    if (m_list && m_list->isOpen() && !m_list->bof() && !m_list->eof()) {
        if (SB_Panel1)
            SB_Panel1->setText(QString::number(m_list->absolutePosition()) +
                               QStringLiteral(" of ") + QString::number(m_list->recordCount()));
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

void tzSndMsgFrm::onGridCurrentRowChanged(int row, int previous)
{
    Q_UNUSED(previous);
    if (m_suppressRowChange || !m_list || !m_list->isOpen() || row < 0)
        return;
    if (row == m_previousRow)
        return;
    if (!m_list->setAbsolutePosition(row + 1))
        return;
    m_previousRow = row;
    if (!m_list->bof() && !m_list->eof())
        Show_CurrentMsg();
}

bool tzSndMsgFrm::moveToCmId(qint32 cmId)
{
    if (cmId == 0 || !m_list || m_list->isEmpty())
        return false;
    m_list->moveFirst();
    return m_list->findMessage(cmId);
}

void tzSndMsgFrm::showReceivedRow(qint32 broChkId)
{
    if (!m_inboxView || !m_list || !m_list->isOpen() || m_list->isEmpty())
        return;
    m_list->moveFirst();
    if (!m_list->findAddresseeRow(broChkId)) {
        m_list->moveLast();
        return;
    }
    selectGridRow(m_list->absolutePosition() - 1);
    Show_CurrentMsg();
}

void tzSndMsgFrm::refreshInPlace()
{
    if (!m_list || !m_list->isOpen())
        return;
    searchBeforeRefresh();
    listReadAgain();
    auto& st = SharedState::current();
    ui::BusyPointer wait;
    if (st.GIC)
        st.GIC->freezeWindow(TDBG);

    QList<qint32> candidates;
    if (!m_list->isEmpty() && !m_list->bof() && !m_list->eof()) {
        const int pos = m_list->absolutePosition();
        core::MessageRows probe = m_list->clone();
        for (int p : {pos, pos - 1, pos + 1}) {
            if (p >= 1 && p <= probe.recordCount() && probe.setAbsolutePosition(p))
                candidates << probe.value(QStringLiteral("CMID")).toInt();
        }
    }
    m_model->setList(nullptr, m_inboxView);
    QString error;
    if (!m_list->requery(&error)) {
        ui::MessageBox::show({QStringLiteral("The message list could not be read.\n\n") + error,
                              QStringLiteral("Message"), 0, 48, 0});
    }
    bool found = false;
    for (qint32 id : candidates) {
        if (moveToCmId(id)) {
            found = true;
            break;
        }
    }
    if (!found && !m_list->isEmpty())
        m_list->moveLast();
    bindList();
    if (!m_list->isEmpty()) {
        Show_CurrentMsg();
    } else {
        if (SB_Panel1)
            SB_Panel1->clear();
        showNoRow();
    }
    if (st.GIC)
        st.GIC->freezeWindow(nullptr);
    emit listLoaded();
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
        if (m_inboxView)
            viewName = m_msgCatOnly ? QStringLiteral("Inbox-Message Category Only")
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
