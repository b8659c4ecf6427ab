#include "EMS_EventsFrm.h"
#include "core/EventStore.h"
#include "directory/EMS_EmpList.h"
#include "state/SharedState.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/ui/Modal.h"
#include "ui/ScreenPlacement.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>

namespace tzsndmsg {

namespace {

bool listHas(const QString& list, const QString& id)
{
    return (QLatin1Char(',') + list).contains(QLatin1Char(',') + id + QLatin1Char(','));
}

} // namespace

void EMS_EventsFrm::PickAttendees(int index)
{
    if (index != 0 && index != 1)
        return;
    auto& st = SharedState::current();
    if (!st.GIC)
        return;
    HostServices& gic = *st.GIC;
    EMS_EmpList picker(this);
    picker.setEmpListType(1);
    QListWidget* list = picker.list(0);
    QLineEdit* box = m_txtAtt[index];
    ui::placeOnScreen(&picker, box->mapToGlobal(QPoint(0, box->height())));
    const QString current = m_AttendeeLists[index];
    for (int i = 0; i < list->count(); ++i) {
        const qint32 value = list->item(i)->data(Qt::UserRole).toInt();
        if (value != 0 && listHas(current, QString::number(value)))
            list->item(i)->setSelected(true);
    }
    ui::showModal(picker);
    if (!picker.accepted()) {
        box->setFocus();
        return;
    }
    Set_ChangeFalg(true);
    QString ids;
    auto append = [&ids](qint32 id) {
        const QString text = QString::number(id);
        // A person chosen alone and through a department is listed once.
        if (!listHas(ids, text))
            ids += text + QLatin1Char(',');
    };
    const QString all = QStringLiteral("0,");
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        if (!item->isSelected())
            continue;
        const qint32 value = item->data(Qt::UserRole).toInt();
        if (value != 0 || i == 0) {
            if (ids != all) {
                if (value == 0)
                    ids += all; // the whole office
                else
                    append(value);
            }
        } else {
            QString name = item->text().trimmed().toUpper();
            const int blank = name.lastIndexOf(QLatin1Char(' '));
            name = blank >= 0 ? name.left(blank).trimmed() : QString();
            for (int j = 1; j < list->count(); ++j) {
                const qint32 person = list->item(j)->data(Qt::UserRole).toInt();
                if (person != 0 && gic.personDepartment(person).trimmed().toUpper() == name)
                    append(person);
            }
        }
        if (ids == all)
            break;
    }
    if (ids == all) {
        ids.clear();
        for (int j = 0; j < list->count(); ++j) {
            const qint32 person = list->item(j)->data(Qt::UserRole).toInt();
            if (person != 0)
                append(person);
        }
    }
    m_AttendeeLists[index] = ids;
    ShowAttendeeInitials(index);
    box->setFocus();
}

void EMS_EventsFrm::ShowAttendeeInitials(int index)
{
    if (index != 0 && index != 1)
        return;
    auto& st = SharedState::current();
    m_txtAtt[index]->setText(st.GIC ? events::attendeeInitials(*st.GIC, m_AttendeeLists[index])
                                    : QString());
}

} // namespace tzsndmsg
