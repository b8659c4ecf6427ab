// Reading and confirming a received message: the confirm panel's buttons, the note writer,
// snoozing and the to-do list.
#include "ConfirmPanel.h"

#include "common/VbFormat.h"
#include "core/Confirmations.h"
#include "core/MessageWrite.h"
#include "core/Snoozes.h"
#include "state/SharedState.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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

ConfirmPanel::ConfirmPanel(QWidget* parent) : QGroupBox(parent)
{
    setObjectName(QStringLiteral("PicConfirm"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(8, 6, 8, 6);
    lblConfirm = new QLabel(this);
    lblConfirm->setObjectName(QStringLiteral("lblConfirm"));
    QFont bold = lblConfirm->font();
    bold.setBold(true);
    lblConfirm->setFont(bold);
    v->addWidget(lblConfirm);
    auto* checks = new QHBoxLayout;
    ConfirmChkYes = new QCheckBox(QStringLiteral("Yes, I have read the entire message."), this);
    ConfirmChkYes->setObjectName(QStringLiteral("ConfirmChkYes"));
    ConfirmchkDoc2 =
        new QCheckBox(QStringLiteral("Payroll Related (save to sender's Notes)"), this);
    ConfirmchkDoc2->setObjectName(QStringLiteral("ConfirmchkDoc_2"));
    checks->addWidget(ConfirmChkYes);
    checks->addSpacing(16);
    checks->addWidget(ConfirmchkDoc2);
    checks->addStretch();
    v->addLayout(checks);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const char* captions[5] = {"&OK", "&Snooze", "&Reply", "&Forward", "&ToDoList"};
    const char* tips[5] = {"Exit and stop this message", "Display this message 15 minutes later",
                           "Reply this message to author", "Forward this message to ...",
                           "Add this message to ToDoList"};
    for (int i = 2; i <= 6; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(captions[i - 2]), this);
        button->setObjectName(QStringLiteral("ConfirmCmdTo_") + QString::number(i));
        button->setToolTip(QString::fromLatin1(tips[i - 2]));
        button->setAutoDefault(false);
        button->setMinimumWidth(88);
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, i] { buttonClicked(i); });
        ConfirmCmdTo[size_t(i)] = button;
    }
    v->addLayout(buttons);
}

void ConfirmPanel::showMessage(const QString& fromLine, bool needsConfirmation, bool mayMarkPayroll)
{
    ConfirmChkYes->setChecked(false);
    ConfirmChkYes->setVisible(needsConfirmation);
    lblConfirm->setText(fromLine);
    ConfirmchkDoc2->setChecked(false);
    ConfirmchkDoc2->setVisible(mayMarkPayroll);
}

QList<QWidget*> ConfirmPanel::tabOrder() const
{
    QList<QWidget*> order{ConfirmChkYes, ConfirmchkDoc2};
    for (int i = 2; i <= 6; ++i)
        order << ConfirmCmdTo[size_t(i)];
    return order;
}

bool ConfirmPanel::payrollTicked(const Shown& shown) const
{
    // The message's own mark, or the confirming user's tick on the panel.
    return shown.payrollMarked ||
           (ConfirmchkDoc2->isVisibleTo(this) && ConfirmchkDoc2->isChecked());
}

void ConfirmPanel::buttonClicked(int index)
{
    auto& st = SharedState::current();
    if (!st.GIC || index < 2 || index > 6 || isHidden() || !m_shown)
        return;
    // The panel acts on the message shown; a row that is not shown is not confirmed.
    const std::optional<Shown> shown = m_shown();
    if (!shown)
        return;

    switch (index) {
    case 2:
        confirmReading(*shown);
        break;
    case 3: {
        // "Display this message 15 minutes later": the workstation's watchers tell it again;
        // the store is not changed. A row that is read or someone else's has nothing to tell
        // again: the list is only refreshed.
        QString error;
        bool refused = false;
        if (!core::snoozeIfOwnUnread(*st.GIC, shown->broChkId, DefaultSnoozeMinutes, &refused,
                                     &error) &&
            !refused)
            warning(QStringLiteral("The message could not be snoozed.") + kCrLf + kCrLf + error,
                    QStringLiteral("Message"));
        emit refreshRequested();
        break;
    }
    case 4:
    case 5:
        emit answerRequested(shown->broChkId, index == 4 ? 1 : 2, QString(), false);
        break;
    case 6:
        addToTodoList(*shown);
        break;
    default:
        break;
    }
}

void ConfirmPanel::confirmReading(const Shown& shown)
{
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;

    if (ConfirmChkYes->isVisibleTo(this) && !ConfirmChkYes->isChecked()) {
        information(
            QStringLiteral("You must confirm that you have read this entire message.") + kCrLf +
                kCrLf +
                QStringLiteral("Please checkmark box [Yes, I have read the entire message.]."),
            QStringLiteral("Message"));
        emit refreshRequested();
        return;
    }

    // The recipient row: read now, by whom, and the confirming employee on a computer row.
    const core::Confirmation confirmed =
        core::confirmAddressee(gic, shown.broChkId, st.CurrentEmployeeID);
    if (confirmed.row && !confirmed.written)
        warning(QStringLiteral("The message could not be marked as read.") + kCrLf + kCrLf +
                    confirmed.error,
                QStringLiteral("Message"));

    // The header: who sent it and whether a return receipt was asked for.
    const std::optional<core::MessageHeader> header = core::readHeader(gic, shown.linkId);
    const qint32 senderId = header ? header->cmPid : 0;
    const bool receipt = header && header->cmConRec;

    const bool payroll = payrollTicked(shown);
    if (payroll) {
        if (header) {
            QString error;
            if (!core::markPayrollRelated(gic, shown.linkId, &error))
                warning(QStringLiteral("The message could not be marked as payroll related.") +
                            kCrLf + kCrLf + error,
                        QStringLiteral("Message"));
        }
        emit payrollMarked();
    }

    if (payroll || shown.fileIntoNotes) {
        const qint32 first = confirmed.row && confirmed.row->savesToChosenPerson()
                                 ? confirmed.row->BroChkAssPID
                                 : st.CurrentEmployeeID;
        writeConfirmNote(shown, first, senderId, payroll);
        if (payroll && shown.senderId != st.CurrentEmployeeID)
            writeConfirmNote(shown, shown.senderId, senderId, payroll);
    }

    // A receipt goes to the sender's person: a message from SUPERVISOR (no person) has nobody
    // to receive it, and its send would stop on the no-recipient question in a window never
    // shown.
    if (receipt && shown.broChkId != 0 && senderId != 0) {
        const QString text =
            QStringLiteral("Return Receipt. Message received by ") + gic.currentLoginName() +
            QStringLiteral(" on ") +
            vb::format(gic.currentDateTime(), QStringLiteral("mm/dd/yyyy hh:nn am/pm"));
        emit answerRequested(shown.broChkId, 3, text, true);
    }

    emit refreshRequested();
}

bool ConfirmPanel::writeConfirmNote(const Shown& shown, qint32 personId, qint32 senderId,
                                    bool payroll)
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
    if (!shown.to.trimmed().isEmpty())
        lines << QStringLiteral("TO: ") + shown.to;
    if (!shown.cc.trimmed().isEmpty())
        lines << QStringLiteral("CC: ") + shown.cc;
    if (!shown.subject.trimmed().isEmpty())
        lines << QStringLiteral("Subject: ") + shown.subject;
    lines << QStringLiteral("Date: ") + vb::format(today, QStringLiteral("Short Date")) +
                 QLatin1Char(' ') + vb::format(now, QStringLiteral("Medium Time"));
    const QString body = shown.body.trimmed();
    if (!body.isEmpty())
        lines << QString() << body;
    if (ConfirmChkYes->isVisibleTo(this))
        lines << QStringLiteral("Confirmed by ") + gic.currentLoginName() + QStringLiteral(" on ") +
                     vb::format(today, QStringLiteral("Short Date")) + QStringLiteral(" at ") +
                     vb::format(now, QStringLiteral("Medium Time"));

    NoteEntry entry;
    entry.text = lines.join(kCrLf);
    entry.source = QStringLiteral("CM");
    entry.messageId = shown.linkId;
    entry.category = shown.category;
    entry.subCategory = shown.subCategory;
    entry.payrollRelated = payroll;
    entry.saveAfterDisplay = true;
    QString error;
    if (gic.writeNote(personId, entry, &error))
        return true;
    warning(QStringLiteral("The message could not be written into the notes of ") +
                gic.personName(personId) + QStringLiteral(".") + kCrLf + kCrLf + error,
            QStringLiteral("Message"));
    return false;
}

void ConfirmPanel::addToTodoList(const Shown& shown)
{
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;

    qint32 person =
        core::todoListPerson(gic, shown.broChkId, shown.fileIntoNotes, st.CurrentEmployeeID);
    if (person == 0)
        person = st.CurrentEmployeeID;
    if (person == 0)
        person = gic.employeeOfLogin(gic.currentLoginName());

    if (person == 0) {
        information(
            QStringLiteral("Cannot add this message to ToDoList due to missing Employee ID."),
            QStringLiteral("Save to ToDo List"));
    } else {
        QString title = shown.subject;
        if (gic.openTodoDialog(window(), title)) {
            NoteEntry entry;
            entry.text = shown.body;
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
    emit refreshRequested();
}

} // namespace tzsndmsg
