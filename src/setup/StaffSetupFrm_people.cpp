#include "StaffSetupFrm.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <set>

namespace tzsndmsg {

namespace {

enum PeopleColumn { ColId, ColInitials, ColLast, ColFirst, ColDepartment, ColLogin, ColReleased };
// The form's fields in m_loaded.
enum FormField { FieldLast, FieldFirst, FieldInitials, FieldDepartment, FieldLogin };

constexpr int kReleasedRole = Qt::UserRole + 1;

QString personName(const QString& last, const QString& first)
{
    return first.isEmpty() ? last : last + QStringLiteral(", ") + first;
}

} // namespace

std::shared_ptr<db::Database> StaffSetupFrm::database()
{
    auto connection = m_services ? m_services->personsConnection() : nullptr;
    if (!connection)
        report(false, QStringLiteral("The office's database is not open."));
    return connection;
}

void StaffSetupFrm::refreshPeople(qint32 selectId)
{
    if (!selectId)
        selectId = selectedPersonId();
    QList<StaffPerson> people;
    QString error;
    auto db = database();
    if (!db || !report(listStaff(*db, people, &error), error))
        people.clear();

    m_peopleModel->removeRows(0, m_peopleModel->rowCount());
    std::set<QString> departments;
    const QString keptDepartment = m_department->currentText();
    const QVariant keptLoginPerson = m_loginPerson->currentData();
    m_loginPerson->clear();
    QModelIndex selected;
    for (const StaffPerson& p : std::as_const(people)) {
        const bool released = p.released.has_value();
        QList<QStandardItem*> row;
        row << new QStandardItem(QString::number(p.id)) << new QStandardItem(p.initials)
            << new QStandardItem(p.last) << new QStandardItem(p.first)
            << new QStandardItem(p.department) << new QStandardItem(p.login)
            << new QStandardItem(released ? p.released->toString(QStringLiteral("MM/dd/yyyy"))
                                          : QString());
        row.at(ColId)->setData(p.id, Qt::UserRole);
        row.at(ColId)->setData(released, kReleasedRole);
        if (released) {
            // Told apart by the desktop's own font, slanted, not by a colour of ours.
            QFont font = m_people->font();
            font.setItalic(true);
            for (QStandardItem* item : row)
                item->setFont(font);
        } else {
            m_loginPerson->addItem(personName(p.last, p.first), p.id);
        }
        m_peopleModel->appendRow(row);
        if (p.id == selectId)
            selected = m_peopleModel->index(m_peopleModel->rowCount() - 1, ColLast);
        if (!p.department.isEmpty())
            departments.insert(p.department);
    }
    {
        m_fillingForm = true;
        m_department->clear();
        m_department->addItem(QString());
        for (const QString& d : departments)
            m_department->addItem(d);
        m_department->setEditText(keptDepartment);
        m_fillingForm = false;
    }
    const int keep = m_loginPerson->findData(keptLoginPerson);
    m_loginPerson->setCurrentIndex(keep >= 0 ? keep : (m_loginPerson->count() ? 0 : -1));
    if (selected.isValid())
        m_people->setCurrentIndex(selected);
    updatePeopleCommands();
}

qint32 StaffSetupFrm::selectedPersonId() const
{
    const QModelIndex current = m_people->currentIndex();
    if (!current.isValid())
        return 0;
    return m_peopleModel->index(current.row(), ColId).data(Qt::UserRole).toInt();
}

bool StaffSetupFrm::selectedReleased() const
{
    const QModelIndex current = m_people->currentIndex();
    return current.isValid() &&
           m_peopleModel->index(current.row(), ColId).data(kReleasedRole).toBool();
}

void StaffSetupFrm::updatePeopleCommands()
{
    const bool any = selectedPersonId() != 0;
    const bool released = selectedReleased();
    m_editPerson->setEnabled(any);
    m_release->setEnabled(any && !released);
    m_rehire->setEnabled(any && released);
}

void StaffSetupFrm::fillPersonForm(qint32 id, const QStringList& values)
{
    m_fillingForm = true;
    m_editingId = id;
    for (int i = 0; i < 5; ++i)
        m_loaded[i] = values.value(i);
    m_lastName->setText(m_loaded[FieldLast]);
    m_firstName->setText(m_loaded[FieldFirst]);
    m_initials->setText(m_loaded[FieldInitials]);
    m_department->setEditText(m_loaded[FieldDepartment]);
    m_personLogin->setText(m_loaded[FieldLogin]);
    m_personHeading->setText(id ? QStringLiteral("Person %1: %2")
                                      .arg(id)
                                      .arg(personName(m_loaded[FieldLast], m_loaded[FieldFirst]))
                                : QStringLiteral("New person"));
    m_personEdited = false;
    m_fillingForm = false;
}

void StaffSetupFrm::newPerson()
{
    if (!settlePersonEdit())
        return;
    fillPersonForm(0, {});
    m_lastName->setFocus(Qt::ShortcutFocusReason);
}

void StaffSetupFrm::editSelectedPerson()
{
    const qint32 id = selectedPersonId();
    if (!id || !settlePersonEdit())
        return;
    // settlePersonEdit may have saved and listed the people again: read the row afresh.
    const int row = m_people->currentIndex().row();
    auto cell = [&](int column) { return m_peopleModel->index(row, column).data().toString(); };
    fillPersonForm(id, {cell(ColLast), cell(ColFirst), cell(ColInitials), cell(ColDepartment),
                        cell(ColLogin)});
    m_lastName->setFocus(Qt::ShortcutFocusReason);
    m_lastName->selectAll();
}

bool StaffSetupFrm::savePerson()
{
    if (!m_personEdited)
        return true;
    auto db = database();
    if (!db)
        return false;
    const QString entered[5] = {m_lastName->text(), m_firstName->text(), m_initials->text(),
                                m_department->currentText(), m_personLogin->text()};
    StaffPersonFields fields;
    std::optional<QString>* targets[5] = {&fields.last, &fields.first, &fields.initials,
                                          &fields.department, &fields.login};
    for (int i = 0; i < 5; ++i) {
        // A new person gets what was typed; a person edited only what changed, so that an
        // unchanged department adds no employment record and an unchanged login is not renamed.
        if (m_editingId == 0 ? !entered[i].trimmed().isEmpty()
                             : entered[i].trimmed() != m_loaded[i].trimmed())
            *targets[i] = entered[i];
    }
    QString error;
    qint32 id = m_editingId;
    const bool ok = m_editingId == 0 ? addStaffPerson(*db, fields, &id, &error)
                                     : editStaffPerson(*db, m_editingId, fields, &error);
    // Refused: the form keeps what was typed, to be put right.
    if (!report(ok, error))
        return false;
    m_personEdited = false;
    refreshPeople(id);
    refreshLogins();
    fillPersonForm(0, {});
    m_people->setFocus(Qt::OtherFocusReason);
    return true;
}

void StaffSetupFrm::cancelPerson()
{
    fillPersonForm(0, {});
}

bool StaffSetupFrm::settlePersonEdit()
{
    if (!m_personEdited)
        return true;
    const QString who = m_editingId ? personName(m_loaded[FieldLast], m_loaded[FieldFirst])
                                    : QStringLiteral("the new person");
    const int answer = ui::MessageBox::show(
        {QStringLiteral("Save the changes to %1?").arg(who), windowTitle(), 3, 32, 0});
    if (answer == ui::vbYes)
        return savePerson();
    if (answer == ui::vbNo) {
        fillPersonForm(0, {});
        return true;
    }
    return false;
}

void StaffSetupFrm::releaseSelected()
{
    const qint32 id = selectedPersonId();
    if (!id || selectedReleased() || !settlePersonEdit())
        return;
    const int row = m_people->currentIndex().row();
    const QString who = personName(m_peopleModel->index(row, ColLast).data().toString(),
                                   m_peopleModel->index(row, ColFirst).data().toString());
    if (ui::MessageBox::show({QStringLiteral("Release %1 from the office as of today? Their "
                                             "login will no longer be accepted.")
                                  .arg(who),
                              windowTitle(), 4, 32, 256}) != ui::vbYes)
        return;
    auto db = database();
    QString error;
    if (db && report(releaseStaffPerson(*db, id, m_services->currentDate(), &error), error)) {
        refreshPeople(id);
        refreshLogins();
    }
}

void StaffSetupFrm::rehireSelected()
{
    const qint32 id = selectedPersonId();
    if (!id || !selectedReleased() || !settlePersonEdit())
        return;
    auto db = database();
    QString error;
    if (db && report(rehireStaffPerson(*db, id, &error), error)) {
        refreshPeople(id);
        refreshLogins();
    }
}

} // namespace tzsndmsg
