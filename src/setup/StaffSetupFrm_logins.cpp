#include "StaffSetupFrm.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace tzsndmsg {

namespace {

enum LoginColumn { ColName, ColPerson, ColSupervisor, ColPayroll };

QString yesNo(bool on)
{
    return on ? QStringLiteral("Yes") : QStringLiteral("No");
}

} // namespace

void StaffSetupFrm::refreshLogins(const QString& selectLogin)
{
    const QString select = selectLogin.isEmpty() ? selectedLogin() : selectLogin;
    QList<StaffLogin> logins;
    QString error;
    auto db = database();
    if (!db || !report(listLogins(*db, logins, &error), error))
        logins.clear();

    m_loginsModel->removeRows(0, m_loginsModel->rowCount());
    QModelIndex selected;
    for (const StaffLogin& login : std::as_const(logins)) {
        QString person = login.person;
        if (login.released)
            person += QStringLiteral(" (released)");
        QList<QStandardItem*> row;
        row << new QStandardItem(login.name) << new QStandardItem(person)
            << new QStandardItem(yesNo(login.supervisor))
            << new QStandardItem(yesNo(login.payroll));
        row.at(ColSupervisor)->setData(login.supervisor, Qt::UserRole);
        row.at(ColPayroll)->setData(login.payroll, Qt::UserRole);
        m_loginsModel->appendRow(row);
        if (login.name.compare(select, Qt::CaseInsensitive) == 0)
            selected = m_loginsModel->index(m_loginsModel->rowCount() - 1, ColName);
    }
    if (selected.isValid())
        m_logins->setCurrentIndex(selected);
    updateLoginCommands();
}

QString StaffSetupFrm::selectedLogin() const
{
    const QModelIndex current = m_logins->currentIndex();
    return current.isValid() ? m_loginsModel->index(current.row(), ColName).data().toString()
                             : QString();
}

void StaffSetupFrm::updateLoginCommands()
{
    const bool any = !selectedLogin().isEmpty();
    m_removeLogin->setEnabled(any);
    m_supervisor->setEnabled(any);
    m_payroll->setEnabled(any);
}

void StaffSetupFrm::addLogin()
{
    const QString name = m_loginName->text();
    const QVariant person = m_loginPerson->currentData();
    if (!person.isValid()) {
        report(false, QStringLiteral("Choose the person of the login; only people in the office "
                                     "can have one."));
        return;
    }
    auto db = database();
    QString error;
    if (!db || !report(tzsndmsg::addLogin(*db, name, person.toInt(), &error), error))
        return;
    m_loginName->clear();
    refreshLogins(normalizedStaffText(StaffField::Login, name));
    refreshPeople();
    m_logins->setFocus(Qt::OtherFocusReason);
}

void StaffSetupFrm::removeLogin()
{
    const QString name = selectedLogin();
    if (name.isEmpty())
        return;
    if (ui::MessageBox::show({QStringLiteral("Remove the login %1 and its rights?").arg(name),
                              windowTitle(), 4, 32, 256}) != ui::vbYes)
        return;
    auto db = database();
    QString error;
    if (!db || !report(tzsndmsg::removeLogin(*db, name, &error), error))
        return;
    refreshLogins();
    refreshPeople();
}

void StaffSetupFrm::toggleRight(int right)
{
    const QModelIndex current = m_logins->currentIndex();
    if (!current.isValid())
        return;
    const QString name = selectedLogin();
    const int column = right == 0 ? ColSupervisor : ColPayroll;
    const bool on = m_loginsModel->index(current.row(), column).data(Qt::UserRole).toBool();
    const QString rightName = QLatin1String(right == 0 ? kSupervisorRight : kPayrollMessagesRight);
    auto db = database();
    QString error;
    if (db && report(setLoginRight(*db, name, rightName, !on, &error), error))
        refreshLogins(name);
}

void StaffSetupFrm::refreshComputers(const QString& selectName)
{
    const QString select = selectName.isEmpty() && m_computers->currentItem()
                               ? m_computers->currentItem()->text()
                               : selectName;
    QStringList names;
    QString error;
    if (!report(listComputers(m_services ? m_services->dataFolder() : QString(), names, &error),
                error))
        names.clear();
    m_computers->clear();
    m_computers->addItems(names);
    const int row = int(names.indexOf(select));
    m_computers->setCurrentRow(row);
    m_removeComputer->setEnabled(row >= 0);
}

void StaffSetupFrm::addComputer()
{
    const QString name = m_computerName->text();
    QString error;
    if (!report(
            tzsndmsg::addComputer(m_services ? m_services->dataFolder() : QString(), name, &error),
            error))
        return;
    m_computerName->clear();
    refreshComputers(normalizedStaffText(StaffField::ComputerName, name));
    m_computers->setFocus(Qt::OtherFocusReason);
}

void StaffSetupFrm::removeComputer()
{
    QListWidgetItem* item = m_computers->currentItem();
    if (!item)
        return;
    const QString name = item->text();
    if (ui::MessageBox::show({QStringLiteral("Remove the computer %1 from the list?").arg(name),
                              windowTitle(), 4, 32, 256}) != ui::vbYes)
        return;
    QString error;
    if (!report(tzsndmsg::removeComputer(m_services ? m_services->dataFolder() : QString(), name,
                                         &error),
                error))
        return;
    refreshComputers();
}

} // namespace tzsndmsg
