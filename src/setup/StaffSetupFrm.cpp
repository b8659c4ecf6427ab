#include "StaffSetupFrm.h"

#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/ScreenPlacement.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

// A command button: its key is both its shortcut and part of its tooltip, so that the key can be
// learnt without the mouse. Buttons never take Enter: Enter belongs to the list or the form.
QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption,
                           const QString& tip, const QKeySequence& key)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setShortcut(key);
    button->setToolTip(QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
    button->setAccessibleName(caption);
    button->setAccessibleDescription(button->toolTip());
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QTableView* listTable(QWidget* parent, const char* name, const QString& accessibleName,
                      QStandardItemModel* model)
{
    auto* table = new QTableView(parent);
    table->setObjectName(QLatin1String(name));
    table->setAccessibleName(accessibleName);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table; the arrows move within it.
    table->setTabKeyNavigation(false);
    table->setAlternatingRowColors(true);
    table->setSortingEnabled(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The row the cursor is on is the one the commands act on: it is shown selected, also when
    // the list gave itself a current row on taking the focus.
    QObject::connect(
        table->selectionModel(), &QItemSelectionModel::currentRowChanged, table,
        [table](const QModelIndex& current) {
            if (current.isValid() && !table->selectionModel()->isRowSelected(current.row()))
                table->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        });
    return table;
}

QLineEdit* field(QWidget* parent, const char* name, const QString& accessibleName, int maxLength)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(accessibleName);
    edit->setMaxLength(maxLength);
    return edit;
}

} // namespace

StaffSetupFrm::StaffSetupFrm(std::shared_ptr<HostServices> services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("StaffSetupFrm"));
    setWindowTitle(QStringLiteral("Office Setup"));
    setAccessibleName(windowTitle());
    buildUi();
}

StaffSetupFrm::~StaffSetupFrm() = default;

void StaffSetupFrm::buildUi()
{
    auto* root = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabSetup"));
    m_tabs->setAccessibleName(QStringLiteral("Setup sections"));
    m_tabs->tabBar()->setObjectName(QStringLiteral("tabSetupBar"));
    m_tabs->tabBar()->setAccessibleName(QStringLiteral("Setup sections"));
    m_tabs->addTab(buildPeoplePage(), QStringLiteral("&People"));
    m_tabs->addTab(buildLoginsPage(), QStringLiteral("L&ogins"));
    m_tabs->addTab(buildComputersPage(), QStringLiteral("Co&mputers"));
    m_tabs->setTabToolTip(0, QStringLiteral("The office's people (Alt+P)"));
    m_tabs->setTabToolTip(1, QStringLiteral("Logins and their rights (Alt+O)"));
    m_tabs->setTabToolTip(2, QStringLiteral("The office's computers (Alt+M)"));
    root->addWidget(m_tabs, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("cmdClose"));
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_close->setToolTip(QStringLiteral("Close the window (Esc)"));
    m_close->setAutoDefault(false);
    bottom->addWidget(m_close);
    root->addLayout(bottom);
    connect(m_close, &QPushButton::clicked, this, &StaffSetupFrm::reject);

    // Tab goes as the eye reads: the sections, each page from its commands row down through its
    // list and form, then Close. Widgets of hidden pages are skipped.
    const QList<QWidget*> order = {m_tabs->tabBar(), m_addPerson,   m_editPerson,     m_release,
                                   m_rehire,         m_import,      m_export,         m_people,
                                   m_lastName,       m_firstName,   m_initials,       m_department,
                                   m_personLogin,    m_savePerson,  m_cancelPerson,   m_supervisor,
                                   m_payroll,        m_removeLogin, m_logins,         m_loginName,
                                   m_loginPerson,    m_addLogin,    m_removeComputer, m_computers,
                                   m_computerName,   m_addComputer, m_close};
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (!w)
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
}

QWidget* StaffSetupFrm::buildPeoplePage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pagePeople"));
    auto* layout = new QVBoxLayout(page);

    auto* commands = new QHBoxLayout;
    m_addPerson = commandButton(page, "cmdAddPerson", QStringLiteral("Add person"),
                                QStringLiteral("Add a person to the office"),
                                QKeySequence(Qt::CTRL | Qt::Key_N));
    m_editPerson = commandButton(page, "cmdEditPerson", QStringLiteral("Edit"),
                                 QStringLiteral("Edit the selected person; Enter in the list too"),
                                 QKeySequence(Qt::Key_F2));
    m_release = commandButton(page, "cmdRelease", QStringLiteral("Release"),
                              QStringLiteral("Release the selected person from the office"),
                              QKeySequence(Qt::CTRL | Qt::Key_R));
    m_rehire = commandButton(page, "cmdRehire", QStringLiteral("Rehire"),
                             QStringLiteral("Bring the selected released person back"),
                             QKeySequence(Qt::CTRL | Qt::Key_H));
    m_import = commandButton(page, "cmdImport", QStringLiteral("Import..."),
                             QStringLiteral("Add and change people from a CSV file"),
                             QKeySequence(Qt::CTRL | Qt::Key_I));
    m_export = commandButton(page, "cmdExport", QStringLiteral("Export..."),
                             QStringLiteral("Write the office's people to a CSV file"),
                             QKeySequence(Qt::CTRL | Qt::Key_E));
    for (QPushButton* b : {m_addPerson, m_editPerson, m_release, m_rehire})
        commands->addWidget(b);
    commands->addStretch(1);
    commands->addWidget(m_import);
    commands->addWidget(m_export);
    layout->addLayout(commands);

    auto* body = new QHBoxLayout;
    m_peopleModel = new QStandardItemModel(0, 7, this);
    m_peopleModel->setHorizontalHeaderLabels(
        {QStringLiteral("ID"), QStringLiteral("Initials"), QStringLiteral("Last name"),
         QStringLiteral("First name"), QStringLiteral("Department"), QStringLiteral("Login"),
         QStringLiteral("Released")});
    m_people = listTable(page, "tblPeople", QStringLiteral("People"), m_peopleModel);
    body->addWidget(m_people, 1);

    auto* form = new QGroupBox(page);
    form->setObjectName(QStringLiteral("grpPerson"));
    auto* formLayout = new QVBoxLayout(form);
    m_personHeading = new QLabel(form);
    m_personHeading->setObjectName(QStringLiteral("lblPerson"));
    formLayout->addWidget(m_personHeading);
    auto* fields = new QFormLayout;
    m_lastName = field(form, "txtLastName", QStringLiteral("Last name"), kMaxLastNameLength);
    m_firstName = field(form, "txtFirstName", QStringLiteral("First name"), kMaxFirstNameLength);
    m_initials = field(form, "txtInitials", QStringLiteral("Initials"), kMaxInitialsLength);
    m_department = new QComboBox(form);
    m_department->setObjectName(QStringLiteral("cmbDepartment"));
    m_department->setAccessibleName(QStringLiteral("Department"));
    m_department->setEditable(true);
    m_department->setInsertPolicy(QComboBox::NoInsert);
    m_department->lineEdit()->setMaxLength(kMaxDepartmentLength);
    m_department->lineEdit()->setAccessibleName(QStringLiteral("Department"));
    m_personLogin = field(form, "txtPersonLogin", QStringLiteral("Login"), kMaxLoginLength);
    fields->addRow(QStringLiteral("&Last name:"), m_lastName);
    fields->addRow(QStringLiteral("&First name:"), m_firstName);
    fields->addRow(QStringLiteral("I&nitials:"), m_initials);
    fields->addRow(QStringLiteral("&Department:"), m_department);
    fields->addRow(QStringLiteral("Lo&gin:"), m_personLogin);
    formLayout->addLayout(fields);
    auto* formButtons = new QHBoxLayout;
    formButtons->addStretch(1);
    m_savePerson =
        commandButton(form, "cmdSavePerson", QStringLiteral("Save"),
                      QStringLiteral("Save the person"), QKeySequence(Qt::CTRL | Qt::Key_S));
    m_cancelPerson = commandButton(form, "cmdCancelPerson", QStringLiteral("Cancel"),
                                   QStringLiteral("Drop the changes to the person"),
                                   QKeySequence(Qt::ALT | Qt::Key_C));
    formButtons->addWidget(m_savePerson);
    formButtons->addWidget(m_cancelPerson);
    formLayout->addLayout(formButtons);
    formLayout->addStretch(1);
    body->addWidget(form, 0);
    layout->addLayout(body, 1);

    connect(m_addPerson, &QPushButton::clicked, this, &StaffSetupFrm::newPerson);
    connect(m_editPerson, &QPushButton::clicked, this, &StaffSetupFrm::editSelectedPerson);
    connect(m_people, &QTableView::activated, this, &StaffSetupFrm::editSelectedPerson);
    connect(m_release, &QPushButton::clicked, this, &StaffSetupFrm::releaseSelected);
    connect(m_rehire, &QPushButton::clicked, this, &StaffSetupFrm::rehireSelected);
    connect(m_import, &QPushButton::clicked, this, &StaffSetupFrm::importStaff);
    connect(m_export, &QPushButton::clicked, this, &StaffSetupFrm::exportStaff);
    connect(m_savePerson, &QPushButton::clicked, this, [this] { savePerson(); });
    connect(m_cancelPerson, &QPushButton::clicked, this, &StaffSetupFrm::cancelPerson);
    connect(m_people->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &StaffSetupFrm::updatePeopleCommands);
    for (QLineEdit* edit : {m_lastName, m_firstName, m_initials, m_personLogin}) {
        connect(edit, &QLineEdit::textEdited, this, &StaffSetupFrm::setPersonEdited);
        connect(edit, &QLineEdit::returnPressed, this, [this] { savePerson(); });
    }
    connect(m_department, &QComboBox::editTextChanged, this, [this] {
        if (!m_fillingForm)
            setPersonEdited();
    });
    return page;
}

QWidget* StaffSetupFrm::buildLoginsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageLogins"));
    auto* layout = new QVBoxLayout(page);

    auto* commands = new QHBoxLayout;
    m_supervisor =
        commandButton(page, "cmdSupervisor", QStringLiteral("Supervisor right"),
                      QStringLiteral("Give or take the supervisor right of the selected login"),
                      QKeySequence(Qt::CTRL | Qt::Key_U));
    m_payroll =
        commandButton(page, "cmdPayroll", QStringLiteral("Payroll messages right"),
                      QStringLiteral("Give or take the right to mark messages payroll-related"),
                      QKeySequence(Qt::CTRL | Qt::Key_P));
    m_removeLogin = commandButton(page, "cmdRemoveLogin", QStringLiteral("Remove login"),
                                  QStringLiteral("Remove the selected login and its rights"),
                                  QKeySequence(Qt::CTRL | Qt::Key_D));
    commands->addWidget(m_supervisor);
    commands->addWidget(m_payroll);
    commands->addStretch(1);
    commands->addWidget(m_removeLogin);
    layout->addLayout(commands);

    auto* body = new QHBoxLayout;
    m_loginsModel = new QStandardItemModel(0, 4, this);
    m_loginsModel->setHorizontalHeaderLabels({QStringLiteral("Login"), QStringLiteral("Person"),
                                              QStringLiteral("Supervisor"),
                                              QStringLiteral("Payroll messages")});
    m_logins = listTable(page, "tblLogins", QStringLiteral("Logins"), m_loginsModel);
    body->addWidget(m_logins, 1);

    auto* form = new QGroupBox(QStringLiteral("New login"), page);
    form->setObjectName(QStringLiteral("grpLogin"));
    auto* formLayout = new QVBoxLayout(form);
    auto* fields = new QFormLayout;
    m_loginName = field(form, "txtLoginName", QStringLiteral("New login name"), kMaxLoginLength);
    m_loginPerson = new QComboBox(form);
    m_loginPerson->setObjectName(QStringLiteral("cmbLoginPerson"));
    m_loginPerson->setAccessibleName(QStringLiteral("Person of the new login"));
    fields->addRow(QStringLiteral("&Login name:"), m_loginName);
    fields->addRow(QStringLiteral("P&erson:"), m_loginPerson);
    formLayout->addLayout(fields);
    auto* formButtons = new QHBoxLayout;
    formButtons->addStretch(1);
    m_addLogin = commandButton(form, "cmdAddLogin", QStringLiteral("Add login"),
                               QStringLiteral("Add the login for the person"),
                               QKeySequence(Qt::CTRL | Qt::Key_N));
    formButtons->addWidget(m_addLogin);
    formLayout->addLayout(formButtons);
    formLayout->addStretch(1);
    body->addWidget(form, 0);
    layout->addLayout(body, 1);

    connect(m_addLogin, &QPushButton::clicked, this, &StaffSetupFrm::addLogin);
    connect(m_loginName, &QLineEdit::returnPressed, this, &StaffSetupFrm::addLogin);
    connect(m_removeLogin, &QPushButton::clicked, this, &StaffSetupFrm::removeLogin);
    connect(m_supervisor, &QPushButton::clicked, this, [this] { toggleRight(0); });
    connect(m_payroll, &QPushButton::clicked, this, [this] { toggleRight(1); });
    connect(m_logins->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &StaffSetupFrm::updateLoginCommands);
    return page;
}

QWidget* StaffSetupFrm::buildComputersPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pageComputers"));
    auto* layout = new QVBoxLayout(page);

    auto* commands = new QHBoxLayout;
    m_removeComputer = commandButton(page, "cmdRemoveComputer", QStringLiteral("Remove computer"),
                                     QStringLiteral("Remove the selected computer from the list"),
                                     QKeySequence(Qt::CTRL | Qt::Key_D));
    commands->addStretch(1);
    commands->addWidget(m_removeComputer);
    layout->addLayout(commands);

    auto* body = new QHBoxLayout;
    m_computers = new QListWidget(page);
    m_computers->setObjectName(QStringLiteral("lstComputers"));
    m_computers->setAccessibleName(QStringLiteral("Computers"));
    body->addWidget(m_computers, 1);

    auto* form = new QGroupBox(QStringLiteral("New computer"), page);
    form->setObjectName(QStringLiteral("grpComputer"));
    auto* formLayout = new QVBoxLayout(form);
    auto* fields = new QFormLayout;
    m_computerName =
        field(form, "txtComputerName", QStringLiteral("New computer name"), kMaxComputerNameLength);
    fields->addRow(QStringLiteral("Computer &name:"), m_computerName);
    formLayout->addLayout(fields);
    auto* formButtons = new QHBoxLayout;
    formButtons->addStretch(1);
    m_addComputer = commandButton(form, "cmdAddComputer", QStringLiteral("Add computer"),
                                  QStringLiteral("Add the computer to the list"),
                                  QKeySequence(Qt::CTRL | Qt::Key_N));
    formButtons->addWidget(m_addComputer);
    formLayout->addLayout(formButtons);
    formLayout->addStretch(1);
    body->addWidget(form, 0);
    layout->addLayout(body, 1);

    connect(m_addComputer, &QPushButton::clicked, this, &StaffSetupFrm::addComputer);
    connect(m_computerName, &QLineEdit::returnPressed, this, &StaffSetupFrm::addComputer);
    connect(m_removeComputer, &QPushButton::clicked, this, &StaffSetupFrm::removeComputer);
    connect(m_computers, &QListWidget::currentRowChanged, this,
            [this](int row) { m_removeComputer->setEnabled(row >= 0); });
    return page;
}

void StaffSetupFrm::load()
{
    resize(980, 600);
    ui::centreOnScreen(this, QGuiApplication::primaryScreen());
    refreshPeople();
    refreshLogins();
    refreshComputers();
    cancelPerson();
    m_tabs->setCurrentIndex(0);
    m_people->setFocus(Qt::OtherFocusReason);
}

void StaffSetupFrm::reject()
{
    if (!settlePersonEdit())
        return;
    QDialog::reject();
}

bool StaffSetupFrm::report(bool ok, const QString& error)
{
    if (!ok)
        ui::MessageBox::show({error, windowTitle(), 0, 48, 0});
    return ok;
}

} // namespace tzsndmsg
