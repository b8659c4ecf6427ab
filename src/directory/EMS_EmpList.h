#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace tzsndmsg {

// The employee and computer picker. The caller sets MachineName_PreFix and EmpListType (which
// fills the lists), shows it with ui::showModal, then reads accepted() and the selected items
// of activeList() (item values in Qt::UserRole: person ids, 0 for other entries).
class EMS_EmpList : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int EmpListType READ EmpListType WRITE setEmpListType)
    Q_PROPERTY(QString MachineName_PreFix READ MachineName_PreFix WRITE setMachineName_PreFix)

public:
    explicit EMS_EmpList(QWidget* parent = nullptr);
    ~EMS_EmpList() override;

    // 1 staff, 2 staff and computers, 3 employees without login; any other value acts as 1.
    int EmpListType() const { return m_EmpListType; }
    void setEmpListType(int value);
    QString MachineName_PreFix() const { return m_MachineName_PreFix; }
    void setMachineName_PreFix(const QString& prefix) { m_MachineName_PreFix = prefix; }

    // "C" on the button the user left the dialog with (0 Cancel / Esc, 1 OK / Enter).
    QString cmdTag(int index) const;
    bool accepted() const { return cmdTag(1) == QLatin1String("C"); }

    int activeListIndex() const { return m_ActiveList; }
    QListWidget* activeList() const;
    QListWidget* list(int index) const;
    // Item values of the selected entries of the active list, top to bottom.
    QVector<qint32> selectedValues() const;

    // Appends the computers of <data folder>/stp/Machines.Ini to the list.
    void AddMachines(QListWidget* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showActiveList();
    void cmdClicked(int index);
    void clearSelection();
    void updateOkButton();
    // Delete key in a list: removes the selected computer entries after asking.
    void deleteMachines(QListWidget* list);
    bool handleKey(QKeyEvent* event, QObject* target);

    QListWidget* m_List[2] = {nullptr, nullptr};
    QPushButton* m_cmd[3] = {nullptr, nullptr, nullptr};
    QString m_cmdTag[3];
    QLabel* m_Label1 = nullptr;
    int m_EmpListType = 0;
    int m_ActiveList = 0;
    QString m_MachineName_PreFix;
};

} // namespace tzsndmsg
