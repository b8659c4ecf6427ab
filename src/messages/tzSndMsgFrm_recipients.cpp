// The To and Cc lists: the picker, the display boxes and the canned-text buttons.
#include "ComposeHelpers.h"
#include "common/VbFormat.h"
#include "core/StaffList.h"
#include "directory/EMS_EmpList.h"
#include "directory/StaffDirectory.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/ui/Modal.h"
#include "ui/ScreenPlacement.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTextCursor>
#include <functional>
#include <stdexcept>

namespace tzsndmsg {

namespace {

const QString kMachinePrefix = QStringLiteral("-Computer ");

HostServices& services()
{
    return *SharedState::current().GIC;
}

void checkListIndex(int index)
{
    if (index < 0 || index > 1)
        throw std::out_of_range("addressee list index must be 0 (To) or 1 (Cc)");
}

// Opens the picker when a To or Cc box is clicked or typed into.
class ToBoxWatcher : public QObject {
public:
    // pick opens the picker and says whether it did (not on a received message).
    ToBoxWatcher(QObject* parent, std::function<bool()> pick)
        : QObject(parent), m_pick(std::move(pick))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        bool open = false;
        if (event->type() == QEvent::MouseButtonPress) {
            open = true;
        } else if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            open = key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab &&
                   key->key() != Qt::Key_Escape && !key->text().isEmpty();
        }
        if (open && m_pick())
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> m_pick;
};

// Appends "id," unless the id is listed already.
void appendPid(QString& list, qint32 id)
{
    const QString entry = QString::number(id) + QLatin1Char(',');
    if (!(QLatin1Char(',') + list).contains(QLatin1Char(',') + entry))
        list += entry;
}

} // namespace

QString tzSndMsgFrm::toPids(int index) const
{
    checkListIndex(index);
    return m_toPids[size_t(index)];
}

QString tzSndMsgFrm::toMachines(int index) const
{
    checkListIndex(index);
    return m_toMachines[size_t(index)];
}

void tzSndMsgFrm::connectRecipientControls()
{
    for (int i = 0; i < 2; ++i) {
        if (txtTo[size_t(i)])
            txtTo[size_t(i)]->installEventFilter(new ToBoxWatcher(this, [this, i] {
                if (m_bodyReadOnly)
                    return false;
                CmdTo_Click(i);
                return true;
            }));
    }
    for (int i = 0; i < 4; ++i) {
        if (CmdTo[size_t(i)])
            connect(CmdTo[size_t(i)], &QPushButton::clicked, this, [this, i] { CmdTo_Click(i); });
    }
}

void tzSndMsgFrm::CmdTo_Click(int index)
{
    if (index == 2 || index == 3) {
        insertCannedText(index);
        return;
    }
    checkListIndex(index);
    auto& pids = m_toPids[size_t(index)];
    auto& machines = m_toMachines[size_t(index)];
    HostServices& gic = services();

    EMS_EmpList picker(this);
    picker.setMachineName_PreFix(kMachinePrefix);
    picker.setEmpListType(2);
    QListWidget* list = picker.activeList();
    if (QLineEdit* box = txtTo[size_t(index)])
        ui::placeOnScreen(&picker, box->mapToGlobal(QPoint(0, box->height())));

    // What the list holds already is shown selected.
    QSet<qint32> chosenIds;
    int pos = 0;
    for (QString token = gic.nextToken(pids, QStringLiteral(","), pos); !token.isEmpty();
         token = gic.nextToken(pids, QStringLiteral(","), pos))
        chosenIds.insert(token.trimmed().toInt());
    QSet<QString> chosenMachines;
    pos = 0;
    for (QString token = gic.nextToken(machines, QStringLiteral("\n"), pos); !token.isEmpty();
         token = gic.nextToken(machines, QStringLiteral("\n"), pos))
        chosenMachines.insert(kMachinePrefix + token);
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        const qint32 id = itemValue(list, row);
        if ((id != 0 && chosenIds.contains(id)) ||
            (id == 0 && chosenMachines.contains(item->text())))
            item->setSelected(true);
    }

    ui::showModal(picker);
    if (!picker.accepted()) {
        if (txtTo[size_t(index)])
            txtTo[size_t(index)]->setFocus();
        return;
    }

    Set_ChangeFalg(true, 0);
    pids.clear();
    machines.clear();
    const QString wholeOffice = QStringLiteral("0,");
    const QString prefix = picker.MachineName_PreFix();
    for (int row = 0; row < list->count(); ++row) {
        QListWidgetItem* item = list->item(row);
        if (!item->isSelected())
            continue;
        const qint32 id = itemValue(list, row);
        const QString text = item->text().trimmed();
        if (id != 0 || row == 0) {
            if (pids != wholeOffice)
                appendPid(pids, id);
        } else if (!prefix.isEmpty() && text.startsWith(prefix)) {
            machines += text.mid(prefix.size()) + QLatin1Char('\n');
        } else {
            // A department line: everyone of the picker in that department.
            QString department = text.toUpper();
            if (department.endsWith(QStringLiteral(" DEPARTMENT")))
                department.chop(11);
            department = department.trimmed();
            for (int other = 1; other < list->count(); ++other) {
                const qint32 person = itemValue(list, other);
                if (person != 0 && pids != wholeOffice &&
                    gic.personDepartment(person).trimmed().toUpper() == department)
                    appendPid(pids, person);
            }
        }
    }
    if (pids == wholeOffice) {
        pids.clear();
        for (int row = 1; row < list->count(); ++row) {
            const qint32 person = itemValue(list, row);
            if (person != 0)
                appendPid(pids, person);
        }
    }

    RefreshToBox(index);
    if (index == 0 && txtTo[1])
        txtTo[1]->setFocus();
    else if (index == 1 && txtSubject)
        txtSubject->setFocus();
}

void tzSndMsgFrm::insertCannedText(int index)
{
    auto& st = SharedState::current();
    const bool personal = index == 2;
    const QString store = personal ? compose::personalCannedStore(st.CurrentEmployeeID)
                                   : compose::officeCannedStore();
    const QString title = personal ? QStringLiteral("Personal") : QStringLiteral("Office");
    if (txtMsg)
        txtMsg->setFocus();
    const QString text =
        st.GIC->chooseCannedText(this, QStringLiteral("Select %1 Messages").arg(title), store);
    if (text.isEmpty() || !txtMsg)
        return;
    QTextCursor cursor = txtMsg->textCursor();
    cursor.insertText(text);
    cursor.movePosition(QTextCursor::End);
    txtMsg->setTextCursor(cursor);
}

void tzSndMsgFrm::RefreshToBox(int index)
{
    checkListIndex(index);
    const QList<qint32> ids = toBoxIds(index);
    showToBox(index, ids, core::readPersonInitials(*SharedState::current().GIC, ids));
    rebuildRemindersForSender();
}

bool tzSndMsgFrm::RefreshToBoxes()
{
    const QList<qint32> to = toBoxIds(0);
    const QList<qint32> cc = toBoxIds(1);
    const QHash<qint32, QString> initials =
        core::readPersonInitials(*SharedState::current().GIC, to + cc);
    showToBox(0, to, initials);
    showToBox(1, cc, initials);
    return rebuildRemindersForSender();
}

// The ids up to the first that is not one.
QList<qint32> tzSndMsgFrm::toBoxIds(int index) const
{
    HostServices& gic = *SharedState::current().GIC;
    QList<qint32> ids;
    int pos = 0;
    const QString& pids = m_toPids[size_t(index)];
    for (QString token = gic.nextToken(pids, QStringLiteral(","), pos); !token.isEmpty();
         token = gic.nextToken(pids, QStringLiteral(","), pos)) {
        const auto number = common::vb::toNumber(token);
        const qint64 id = number ? common::vb::roundHalfEven(*number) : 0;
        if (id == 0)
            break;
        ids << qint32(id);
    }
    return ids;
}

void tzSndMsgFrm::showToBox(int index, const QList<qint32>& ids,
                            const QHash<qint32, QString>& initials)
{
    HostServices& gic = *SharedState::current().GIC;
    QString display;
    for (qint32 id : ids) {
        // A person that cannot be read stays in the list, only not in the display.
        const auto found = initials.constFind(id);
        if (found == initials.cend())
            continue;
        QString shown = *found;
        // A person without initials is still a recipient: the box names them instead of
        // looking empty.
        if (shown.isEmpty())
            shown = gic.personName(id).trimmed();
        if (shown.isEmpty())
            shown = QStringLiteral("ID ") + QString::number(id);
        display += shown + QStringLiteral(", ");
    }

    int pos = 0;
    const QString& machines = m_toMachines[size_t(index)];
    for (QString token = gic.nextToken(machines, QStringLiteral("\n"), pos); !token.isEmpty();
         token = gic.nextToken(machines, QStringLiteral("\n"), pos))
        display += token + QStringLiteral(", ");

    if (display.size() >= 2)
        display.chop(2);
    if (txtTo[size_t(index)])
        txtTo[size_t(index)]->setText(display);
}

bool tzSndMsgFrm::rebuildRemindersForSender()
{
    if (!Cmb_Emp_Name || Cmb_Emp_Name->currentIndex() < 0 ||
        itemValue(Cmb_Emp_Name, Cmb_Emp_Name->currentIndex()) == 0)
        return false;
    BuildReminderChoices(SharedState::current().ReminderFlag);
    return true;
}

} // namespace tzsndmsg
