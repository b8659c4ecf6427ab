#include "StaffDirectory.h"

#include "core/LoginList.h"
#include "core/StaffList.h"
#include "state/SharedState.h"

#include <QComboBox>
#include <QHash>
#include <QListWidget>
#include <QSignalBlocker>
#include <algorithm>
#include <exception>
#include <functional>

namespace tzsndmsg {

namespace {

const QString kSupervisor = QStringLiteral("SUPERVISOR");

// Where a staff routine puts its entries: a list box or a combo box.
struct EntrySink {
    std::function<void()> clear;
    std::function<void(const QString& text, qint32 value)> add;
};

EntrySink sinkFor(QListWidget* list)
{
    return {[list] { list->clear(); },
            [list](const QString& text, qint32 value) {
                auto* item = new QListWidgetItem(text, list);
                item->setData(Qt::UserRole, value);
            }};
}

EntrySink sinkFor(QComboBox* combo)
{
    return {[combo] { combo->clear(); },
            [combo](const QString& text, qint32 value) { combo->addItem(text, value); }};
}

QString personEntryText(const core::StaffPerson& person, bool incomplete)
{
    if (incomplete)
        return person.lastName + QStringLiteral(", ") + person.firstName +
               QStringLiteral(" [Incomplete Entry]");
    return person.lastName + QStringLiteral(", ") + person.firstName + QStringLiteral("--(") +
           person.initials + QLatin1Char(')');
}

void fillStaff(const EntrySink& sink, const QVector<qint32>& ids)
{
    sink.clear();
    sink.add(QStringLiteral("  Entire Office"), 0);

    SharedState& state = SharedState::current();
    if (!state.GIC)
        return;
    const core::StaffList staff = core::readStaffList(*state.GIC, ids);
    for (const QString& department : staff.departments)
        sink.add(QLatin1Char(' ') + departmentTitle(department) + QStringLiteral(" Department"), 0);
    for (const core::StaffPerson& person : staff.persons) {
        const bool incomplete = person.index < state.LoginNames.size() &&
                                state.LoginNames.at(person.index).trimmed().isEmpty();
        sink.add(personEntryText(person, incomplete), person.id);
    }
}

} // namespace

QString departmentTitle(const QString& department)
{
    const QString trimmed = department.trimmed();
    if (trimmed.isEmpty())
        return QString();
    QString text = QLatin1Char(' ') + trimmed.toLower();
    for (int i = 0; i + 1 < text.size(); ++i)
        if (text.at(i) == QLatin1Char(' '))
            text[i + 1] = text.at(i + 1).toUpper();
    return text.mid(1);
}

void LoadLoginNames()
{
    SharedState& state = SharedState::current();
    if (!state.GIC) {
        state.LoginNames = QStringList{QString(), kSupervisor};
        state.LoginEmployeeIDs = QVector<qint32>{0, 0};
        return;
    }
    core::LoginList logins = core::readLoginList(*state.GIC);
    state.LoginNames = std::move(logins.names);
    state.LoginEmployeeIDs = std::move(logins.employeeIds);
}

void FillStaffList(QListWidget* list, const QVector<qint32>& ids)
{
    if (list)
        fillStaff(sinkFor(list), ids);
}

void FillStaffList(QComboBox* combo, const QVector<qint32>& ids)
{
    if (combo)
        fillStaff(sinkFor(combo), ids);
}

StaffCombo::StaffCombo(QWidget* parent) : QComboBox(parent) {}

void StaffCombo::setStaff(const QVector<qint32>& ids)
{
    m_ids = ids;
    m_filled = false;
    clear();
    addItem(QStringLiteral("  Entire Office"), 0);
}

void StaffCombo::holdEntryOf(qint32 employee)
{
    const qsizetype index = m_ids.indexOf(employee, 1);
    if (m_filled || employee == 0 || index < 1 || findData(employee) >= 0)
        return;
    // The list of that one employee (the whole list shows the first entry of an id): its entry
    // reads as there.
    QVector<qint32> one(m_ids.size(), 0);
    one[index] = employee;
    QString text;
    fillStaff({[] {},
               [&text, employee](const QString& entry, qint32 value) {
                   if (value == employee && text.isNull())
                       text = entry;
               }},
              one);
    if (text.isNull())
        return;
    const QSignalBlocker quiet(this);
    const int at = currentIndex();
    addItem(text, employee);
    setCurrentIndex(at);
}

void StaffCombo::fillNow()
{
    if (m_filled)
        return;
    m_filled = true;
    const int at = currentIndex();
    const qint32 shown = at >= 0 ? itemValue(this, at) : 0;
    // The same entry stays chosen: nothing changed for the form.
    const QSignalBlocker quiet(this);
    fillStaff(sinkFor(this), m_ids);
    setCurrentIndex(at < 0 ? -1 : qMax(0, findData(shown)));
}

void StaffCombo::showPopup()
{
    fillNow();
    QComboBox::showPopup();
}

void StaffCombo::keyPressEvent(QKeyEvent* event)
{
    fillNow();
    QComboBox::keyPressEvent(event);
}

void StaffCombo::wheelEvent(QWheelEvent* event)
{
    fillNow();
    QComboBox::wheelEvent(event);
}

void FillUnlinkedEmployees(QListWidget* list)
{
    if (!list)
        return;
    list->clear();
    HostServices* gic = SharedState::current().GIC.get();
    if (!gic)
        return;
    const EntrySink sink = sinkFor(list);
    for (const core::StaffPerson& person : core::readUnlinkedEmployees(*gic))
        sink.add(personEntryText(person, false), person.id);
}

bool SelectEmployeeOfLogin(QComboBox* combo, const QString& loginName)
{
    if (!combo || combo->count() == 0)
        return false;
    const SharedState& state = SharedState::current();
    int login = -1;
    for (int i = 1; i < state.LoginNames.size(); ++i) {
        if (state.LoginNames.at(i) == loginName) {
            login = i;
            break;
        }
    }
    if (login < 0 || login >= state.LoginEmployeeIDs.size())
        return false;
    const qint32 employee = state.LoginEmployeeIDs.at(login);
    if (auto* staff = dynamic_cast<StaffCombo*>(combo))
        staff->holdEntryOf(employee);
    if (combo->currentIndex() >= 0 && itemValue(combo, combo->currentIndex()) == employee)
        return true;
    for (int row = 0; row < combo->count(); ++row) {
        if (itemValue(combo, row) == employee) {
            combo->setCurrentIndex(row);
            return true;
        }
    }
    if (combo->currentIndex() < 0)
        combo->setCurrentIndex(0);
    return true;
}

qint32 itemValue(const QListWidget* list, int row)
{
    const QListWidgetItem* item = list ? list->item(row) : nullptr;
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

qint32 itemValue(const QComboBox* combo, int row)
{
    if (!combo || row < 0 || row >= combo->count())
        return 0;
    return combo->itemData(row, Qt::UserRole).toInt();
}

} // namespace tzsndmsg
