// The confirm panel's link to the window (what it acts on, its answers and the list read
// again), and replies, forwards and return receipts made by a nested message window.
#include "ConfirmPanel.h"
#include "MessageList.h"
#include "ShowMessageWindow.h"
#include "core/MessageRows.h"
#include "state/Help.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <exception>

namespace tzsndmsg {

void tzSndMsgFrm::connectConfirmAndPurge()
{
    PicConfirm->setShownSource([this]() -> std::optional<ConfirmPanel::Shown> {
        if (shownRowCmId() == 0)
            return std::nullopt;
        // The list row the message was opened from.
        ConfirmPanel::Shown shown;
        if (const auto row = m_messages->currentAddresseeRow()) {
            shown.broChkId = row->broChkId;
            shown.linkId = row->linkId;
            shown.senderId = row->senderId;
        }
        // Unsaved changes are offered for saving; the confirm action goes on whatever the
        // answer.
        if (m_changed)
            SaveMessage(true, true);
        shown.to = txtTo[0]->text();
        shown.cc = txtTo[1]->text();
        shown.subject = txtSubject->text();
        shown.body = txtMsg->toPlainText();
        shown.category = m_cmCat;
        shown.subCategory = m_cmSubCat;
        shown.fileIntoNotes = txtMsg->property("tag").toString() == QLatin1String("True");
        shown.payrollMarked = chkDoc[2] && chkDoc[2]->isChecked();
        return shown;
    });
    connect(PicConfirm, &ConfirmPanel::answerRequested, this,
            [this](qint32 broChkId, int flag, const QString& notes, bool autoSend) {
                Answer_Msg(broChkId, flag, notes, autoSend);
                // A reply or forward is written here: the cursor goes to its text.
                if (flag != 3 && txtMsg->isVisible())
                    txtMsg->setFocus();
            });
    connect(PicConfirm, &ConfirmPanel::payrollMarked, this,
            [this] { txtMsg->setProperty("tag", QStringLiteral("True")); });
    connect(PicConfirm, &ConfirmPanel::refreshRequested, this,
            [this] { TB_ButtonClick(QStringLiteral("Refresh")); });
    connect(this, &tzSndMsgFrm::listLoaded, this, [this] { updateConfirmPanel(); });
    connect(this, &tzSndMsgFrm::purgeRequested, this, [this] { PurgeCommand(); });
    connectReminderEditing();
}

void tzSndMsgFrm::updateConfirmPanel()
{
    if (!PicConfirm)
        return;
    // Only a received message, viewed read-only from the row it came from, can be confirmed.
    const bool received = m_messages->hasInboxRows() && isFullWindow() && m_bodyReadOnly &&
                          m_CMID != 0 && currentBroChkID() != 0 && currentRowCmId() == m_CMID;
    PicConfirm->setVisible(received);
    // A received message is shown as it was sent: what OK files into the notes and the
    // payroll mark it sets on the sender's message come from the form, so nothing on it
    // changes (the containers keep their controls' own states, such as the sender list's
    // right, for when the window composes again).
    txtSubject->setReadOnly(received);
    for (QPushButton* button : CmdTo)
        if (button)
            button->setEnabled(!received);
    for (QWidget* panel : {PicOptions, PicTab[1]})
        if (panel)
            panel->setEnabled(!received);
    updateConfirmationsPanel(false);
}

void tzSndMsgFrm::Answer_Msg(qint32 broChkId, int flag, const QString& notes, bool autoSend)
{
    if (broChkId == 0)
        return;
    auto& st = SharedState::current();
    const qint32 replyFlag = st.ReplyFlag;
    const qint32 replyBcId = st.ReplyBCID;
    const QString oldNotes = st.Notes;
    const bool replyAutoSend = st.ReplyAutoSend;
    const bool historyButton = st.SndMsgHistoryButtonVisible;
    const bool msgHisOn = st.MsgHisOn;
    try {
        // A new component instance on the same shared state, then its Message_Start.
        st.resetInstanceValues();
        st.ReplyBCID = broChkId;
        st.ReplyFlag = flag;
        st.ReplyAutoSend = autoSend;
        st.Notes = notes;
        st.MsgHisOn = false;
        st.SndMsgHistoryButtonVisible = false;
        SetupHelpFile();
        auto nested = std::make_unique<tzSndMsgFrm>();
        ShowMessageWindow(nested, false);
    } catch (const std::exception&) {
    }
    st.ReplyFlag = replyFlag;
    st.ReplyBCID = replyBcId;
    st.Notes = oldNotes;
    st.ReplyAutoSend = replyAutoSend;
    st.SndMsgHistoryButtonVisible = historyButton;
    st.MsgHisOn = msgHisOn;
    TB_ButtonClick(QStringLiteral("Refresh"));
}

} // namespace tzsndmsg
