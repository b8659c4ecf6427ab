#pragma once

#include "core/LoginList.h"

#include <QComboBox>
#include <QString>
#include <QStringList>
#include <QVector>

class QListWidget;

namespace tzsndmsg {

// The staff directory: reads the suite's logins, persons and employment records through the
// services of the shared state. Every entry of a filled list or combo carries its item value
// (a person id, or 0 for the whole office, a department or a computer) in Qt::UserRole.

using core::IsWholeOfficeLogin;

// Fills SharedState's LoginNames / LoginEmployeeIDs from PWMTable: entry 0 empty, then one
// entry per login (trimmed upper-case name, person id or 0); always holds "SUPERVISOR".
void LoadLoginNames();

// "  Entire Office", the departments of the listed employees, then one entry per listed
// employee still in the office. ids[0] is not used; ids[i] belongs to LoginNames[i].
void FillStaffList(QListWidget* list, const QVector<qint32>& ids);
void FillStaffList(QComboBox* combo, const QVector<qint32>& ids);

// A combo of FillStaffList's entries that reads the staff when it is first opened, scrolled or
// typed in (most windows are closed without either). Until then it holds "  Entire Office" and
// the entry SelectEmployeeOfLogin chose, as the whole list shows them; filling keeps the entry
// shown and emits no change.
class StaffCombo : public QComboBox {
public:
    explicit StaffCombo(QWidget* parent = nullptr);
    // The employees of the list (as FillStaffList takes them), read when first needed.
    void setStaff(const QVector<qint32>& ids);
    // While not filled: holds the employee's entry (none when not in the office).
    void holdEntryOf(qint32 employee);

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void fillNow();

    QVector<qint32> m_ids;
    bool m_filled = true;
};

// Current employees that have no login, by last and first name.
void FillUnlinkedEmployees(QListWidget* list);

// Selects the employee of the login in a combo whose item values are person ids.
bool SelectEmployeeOfLogin(QComboBox* combo, const QString& loginName);

// The item value of an entry; 0 for a row that does not exist.
qint32 itemValue(const QListWidget* list, int row);
qint32 itemValue(const QComboBox* combo, int row);

// "Front Desk" from " front DESK ": trimmed, lower case, the character after every blank
// upper case.
QString departmentTitle(const QString& department);

} // namespace tzsndmsg
