// Reading and confirming a received message: the confirm panel's buttons, the note writer,
// return receipts, replies and forwards through a nested window, and the to-do list.
#include "ShowMessageWindow.h"
#include "common/VbFormat.h"
#include "core/Confirmations.h"
#include "core/MessageRows.h"
#include "core/MessageWrite.h"
#include "state/Help.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <exception>

namespace tzsndmsg {

namespace vb = common::vb;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

void information(const QString& text, const QString& title)
{
    ui::MessageBox::show({text, title, 0, 64, 0});
}

void warning(const QString& text, const QString& title)
{
    ui::MessageBox::show({text, title, 0, 48, 0});
}

} // namespace

void tzSndMsgFrm::connectConfirmAndPurge()
{
    for (int i = 2; i <= 6; ++i)
        if (QPushButton* button = ConfirmCmdTo[size_t(i)])
            connect(button, &QPushButton::clicked, this, [this, i] { ConfirmCmdTo_Click(i); });
    connect(this, &tzSndMsgFrm::listLoaded, this, [this] { updateConfirmPanel(); });
    connect(this, &tzSndMsgFrm::purgeRequested, this, [this] { PurgeCommand(); });
    connectReminderEditing();
}

void tzSndMsgFrm::updateConfirmPanel()
{
    if (!PicConfirm)
        return;
    // Only a received message, viewed read-only from the row it came from, can be confirmed.
    const bool received = listHasInboxRows() && isFullWindow() && m_bodyReadOnly && m_CMID != 0 &&
                          currentBroChkID() != 0 && currentRowCmId() == m_CMID;
    PicConfirm->setVisible(received);
    updateConfirmationsPanel(false);
}

bool tzSndMsgFrm::payrollTicked() const
{
    // The message's own mark, or the confirming user's tick on the panel.
    return (chkDoc[2] && chkDoc[2]->isChecked()) ||
           (ConfirmchkDoc[2] && ConfirmchkDoc[2]->isVisibleTo(this) &&
            ConfirmchkDoc[2]->isChecked());
}

void tzSndMsgFrm::ConfirmCmdTo_Click(int index)
{
    auto& st = SharedState::current();
    if (!st.GIC || index < 2 || index > 6)
        return;
    // The panel acts on the message it shows; a row that is not shown is not confirmed.
    if (!PicConfirm || PicConfirm->isHidden() || shownRowCmId() == 0)
        return;

    // The list row the message was opened from.
    qint32 broChkId = 0, linkId = 0, senderId = 0;
    if (listHasInboxRows() && m_list && m_list->isOpen() && !m_list->bof() && !m_list->eof()) {
        broChkId = qint32(m_list->number(QStringLiteral("BroChkID")));
        linkId = qint32(m_list->number(QStringLiteral("BroChkLinID")));
        senderId = qint32(m_list->number(QStringLiteral("CMPID")));
    }
    // Unsaved changes are offered for saving; the confirm action goes on whatever the answer.
    if (m_changed)
        SaveMessage(true, true);

    switch (index) {
    case 2:
        confirmReading(broChkId, linkId, senderId);
        break;
    case 3: {
        // "Display this message 15 minutes later": the workstation's watchers tell it again;
        // the store is not changed.
        QString error;
        if (!snoozeReceivedMessage(*st.GIC, broChkId, DefaultSnoozeMinutes, &error))
            warning(QStringLiteral("The message could not be snoozed.") + kCrLf + kCrLf + error,
                    QStringLiteral("Message"));
        TB_ButtonClick(QStringLiteral("Refresh"));
        break;
    }
    case 4:
    case 5:
        Answer_Msg(broChkId, index == 4 ? 1 : 2, QString(), false);
        try {
            if (txtMsg && txtMsg->isVisible())
                txtMsg->setFocus();
        } catch (const std::exception&) {
        }
        break;
    case 6:
        addToTodoList(broChkId);
        break;
    default:
        break;
    }
}

void tzSndMsgFrm::confirmReading(qint32 broChkId, qint32 linkId, qint32 listSenderId)
{
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;

    if (ConfirmChkYes && ConfirmChkYes->isVisibleTo(this) && !ConfirmChkYes->isChecked()) {
        information(
            QStringLiteral("You must confirm that you have read this entire message.") + kCrLf +
                kCrLf +
                QStringLiteral("Please checkmark box [Yes, I have read the entire message.]."),
            QStringLiteral("Message"));
        TB_ButtonClick(QStringLiteral("Refresh"));
        return;
    }

    // The recipient row: read now, by whom, and the confirming employee on a computer row.
    const core::Confirmation confirmed =
        core::confirmAddressee(gic, broChkId, st.CurrentEmployeeID);
    if (confirmed.row && !confirmed.written)
        warning(QStringLiteral("The message could not be marked as read.") + kCrLf + kCrLf +
                    confirmed.error,
                QStringLiteral("Message"));

    // The header: who sent it and whether a return receipt was asked for.
    const std::optional<core::MessageHeader> header = core::readHeader(gic, linkId);
    const qint32 senderId = header ? header->cmPid : 0;
    const bool receipt = header && header->cmConRec;

    const bool payroll = payrollTicked();
    if (payroll) {
        if (header) {
            QString error;
            if (!core::markPayrollRelated(gic, linkId, &error))
                warning(QStringLiteral("The message could not be marked as payroll related.") +
                            kCrLf + kCrLf + error,
                        QStringLiteral("Message"));
        }
        txtMsg->setProperty("tag", QStringLiteral("True"));
    }

    if (txtMsg->property("tag").toString() == QLatin1String("True")) {
        const bool saveAfterDisplay = true;
        const qint32 first = confirmed.row && confirmed.row->savesToChosenPerson()
                                 ? confirmed.row->BroChkAssPID
                                 : st.CurrentEmployeeID;
        writeConfirmNote(first, senderId, linkId, payroll, saveAfterDisplay);
        if (payroll && listSenderId != st.CurrentEmployeeID)
            writeConfirmNote(listSenderId, senderId, linkId, payroll, saveAfterDisplay);
    }

    if (receipt && broChkId != 0) {
        const QString text =
            QStringLiteral("Return Receipt. Message received by ") + gic.currentLoginName() +
            QStringLiteral(" on ") +
            vb::format(gic.currentDateTime(), QStringLiteral("mm/dd/yyyy hh:nn am/pm"));
        Answer_Msg(broChkId, 3, text, true);
    }

    TB_ButtonClick(QStringLiteral("Refresh"));
}

bool tzSndMsgFrm::writeConfirmNote(qint32 personId, qint32 senderId, qint32 messageId, bool payroll,
                                   bool saveAfterDisplay)
{
    if (personId == 0)
        return false; // nobody to file it for
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;
    const QDate today = gic.currentDate();
    const QTime now = gic.currentTime();

    QStringList lines;
    lines << QStringLiteral("From: ") +
                 (senderId != 0 ? gic.personName(senderId) : QStringLiteral("SUPERVISOR"));
    if (txtTo[0] && !txtTo[0]->text().trimmed().isEmpty())
        lines << QStringLiteral("TO: ") + txtTo[0]->text();
    if (txtTo[1] && !txtTo[1]->text().trimmed().isEmpty())
        lines << QStringLiteral("CC: ") + txtTo[1]->text();
    if (!txtSubject->text().trimmed().isEmpty())
        lines << QStringLiteral("Subject: ") + txtSubject->text();
    lines << QStringLiteral("Date: ") + vb::format(today, QStringLiteral("Short Date")) +
                 QLatin1Char(' ') + vb::format(now, QStringLiteral("Medium Time"));
    const QString body = txtMsg->toPlainText().trimmed();
    if (!body.isEmpty())
        lines << QString() << body;
    if (ConfirmChkYes && ConfirmChkYes->isVisibleTo(this))
        lines << QStringLiteral("Confirmed by ") + gic.currentLoginName() + QStringLiteral(" on ") +
                     vb::format(today, QStringLiteral("Short Date")) + QStringLiteral(" at ") +
                     vb::format(now, QStringLiteral("Medium Time"));

    NoteEntry entry;
    entry.text = lines.join(kCrLf);
    entry.source = QStringLiteral("CM");
    entry.messageId = messageId;
    entry.category = m_cmCat;
    entry.subCategory = m_cmSubCat;
    entry.payrollRelated = payroll;
    entry.saveAfterDisplay = saveAfterDisplay;
    QString error;
    if (gic.writeNote(personId, entry, &error))
        return true;
    warning(QStringLiteral("The message could not be written into the notes of ") +
                gic.personName(personId) + QStringLiteral(".") + kCrLf + kCrLf + error,
            QStringLiteral("Message"));
    return false;
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

void tzSndMsgFrm::addToTodoList(qint32 broChkId)
{
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;

    const bool received = txtMsg->property("tag").toString() == QLatin1String("True");
    qint32 person = core::todoListPerson(gic, broChkId, received, st.CurrentEmployeeID);
    if (person == 0)
        person = st.CurrentEmployeeID;
    if (person == 0)
        person = gic.employeeOfLogin(gic.currentLoginName());

    if (person == 0) {
        information(
            QStringLiteral("Cannot add this message to ToDoList due to missing Employee ID."),
            QStringLiteral("Save to ToDo List"));
    } else {
        QString title = txtSubject->text();
        if (gic.openTodoDialog(this, title)) {
            NoteEntry entry;
            entry.text = txtMsg->toPlainText();
            entry.date = gic.currentDate();
            entry.loginName = gic.currentLoginName();
            entry.source = QStringLiteral("CM");
            entry.category = QStringLiteral("ToDo");
            entry.subCategory = QStringLiteral("Comment");
            entry.title = title;
            QString error;
            if (gic.writeTodo(person, entry, &error))
                information(QStringLiteral("Message was added to ToDo List."),
                            QStringLiteral("Add to ToDoList"));
            else
                warning(QStringLiteral("The message could not be added to the ToDo List.") + kCrLf +
                            kCrLf + error,
                        QStringLiteral("Add to ToDoList"));
        } else {
            information(QStringLiteral("Adding message to ToDo List is canceled."),
                        QStringLiteral("Add to ToDoList"));
        }
    }
    TB_ButtonClick(QStringLiteral("Refresh"));
}

} // namespace tzsndmsg
