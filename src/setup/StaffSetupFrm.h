#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class QTabWidget;
class QTableView;

namespace tzsndmsg {

namespace db {
class Database;
}
class HostServices;

// The office's own people, logins and computers, for a login with the supervisor right: shows
// them, asks and calls the staff setup; every change is written at once.
class StaffSetupFrm : public QDialog {
    Q_OBJECT
public:
    explicit StaffSetupFrm(std::shared_ptr<HostServices> services, QWidget* parent = nullptr);
    ~StaffSetupFrm() override;

    // Sizes and centres the window and reads the three lists.
    void load();

    void reject() override;

private:
    void buildUi();
    QWidget* buildPeoplePage();
    QWidget* buildLoginsPage();
    QWidget* buildComputersPage();

    // People.
    void refreshPeople(qint32 selectId = 0);
    qint32 selectedPersonId() const;
    bool selectedReleased() const;
    void fillPersonForm(qint32 id, const QStringList& values);
    void newPerson();
    void editSelectedPerson();
    bool savePerson();
    void cancelPerson();
    void releaseSelected();
    void rehireSelected();
    // A staff list file: checked whole first, then, once the user has seen what it changes,
    // imported all or nothing.
    void importStaff();
    void exportStaff();
    void updatePeopleCommands();
    void setPersonEdited() { m_personEdited = true; }
    // Asks to save an edited person before the form is left: false when the user stays.
    bool settlePersonEdit();

    // Logins.
    void refreshLogins(const QString& selectLogin = QString());
    QString selectedLogin() const;
    void addLogin();
    void removeLogin();
    void toggleRight(int right);
    void updateLoginCommands();

    // Computers.
    void refreshComputers(const QString& selectName = QString());
    void addComputer();
    void removeComputer();

    // The persons' connection; nullptr (the user told) when the services have none.
    std::shared_ptr<db::Database> database();
    // Tells the user why a call failed; true when it did not.
    bool report(bool ok, const QString& error);

    std::shared_ptr<HostServices> m_services;

    QTabWidget* m_tabs = nullptr;

    QTableView* m_people = nullptr;
    QStandardItemModel* m_peopleModel = nullptr;
    QLineEdit* m_lastName = nullptr;
    QLineEdit* m_firstName = nullptr;
    QLineEdit* m_initials = nullptr;
    QComboBox* m_department = nullptr;
    QLineEdit* m_personLogin = nullptr;
    QLabel* m_personHeading = nullptr;
    QPushButton* m_addPerson = nullptr;
    QPushButton* m_editPerson = nullptr;
    QPushButton* m_release = nullptr;
    QPushButton* m_rehire = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_savePerson = nullptr;
    QPushButton* m_cancelPerson = nullptr;
    qint32 m_editingId = 0; // 0: the form holds a new person
    // The person as read when the form was filled: only what the user changed is written.
    QString m_loaded[5];
    bool m_personEdited = false;
    bool m_fillingForm = false;

    QTableView* m_logins = nullptr;
    QStandardItemModel* m_loginsModel = nullptr;
    QLineEdit* m_loginName = nullptr;
    QComboBox* m_loginPerson = nullptr;
    QPushButton* m_addLogin = nullptr;
    QPushButton* m_removeLogin = nullptr;
    QPushButton* m_supervisor = nullptr;
    QPushButton* m_payroll = nullptr;

    QListWidget* m_computers = nullptr;
    QLineEdit* m_computerName = nullptr;
    QPushButton* m_addComputer = nullptr;
    QPushButton* m_removeComputer = nullptr;

    QPushButton* m_close = nullptr;
    QString m_csvFolder; // where the last staff list was read or written
};

} // namespace tzsndmsg
