#include "EMS_EmpList.h"

#include "StaffDirectory.h"
#include "services/PathResolver.h"
#include "state/Help.h"
#include "state/SharedState.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/ScreenPlacement.h"

#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

constexpr int kMaxMachines = 500;
constexpr int kHelpContext = 3005;

} // namespace

EMS_EmpList::EMS_EmpList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("EMS_EmpList"));
    setWindowTitle(QStringLiteral("Employee List"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 2; ++i) {
        m_List[i] = new QListWidget(this);
        m_List[i]->setObjectName(QStringLiteral("List_%1").arg(i));
        m_List[i]->setAccessibleName(i == 0 ? QStringLiteral("Staff")
                                            : QStringLiteral("Employees without a login"));
        m_List[i]->setSortingEnabled(false);
        m_List[i]->installEventFilter(this);
        layout->addWidget(m_List[i], 1);
        connect(m_List[i], &QListWidget::itemSelectionChanged, this, &EMS_EmpList::updateOkButton);
    }
    m_List[0]->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_List[1]->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* row = new QHBoxLayout;
    m_Label1 =
        new QLabel(QStringLiteral("For multi selection use [Cntl]-Click or [Shift]-Click"), this);
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Label1->setWordWrap(true);
    // The hint on its own line, so the buttons leave it room on a narrow dialog.
    layout->addWidget(m_Label1);
    row->addStretch(1);
    const QString captions[3] = {QStringLiteral("&Cancel"), QStringLiteral("&OK"),
                                 QStringLiteral("Clear &List")};
    for (int i = 0; i < 3; ++i) {
        m_cmd[i] = new QPushButton(captions[i], this);
        m_cmd[i]->setObjectName(QStringLiteral("cmd_%1").arg(i));
        m_cmd[i]->setAccessibleName(QString(captions[i]).remove(QLatin1Char('&')));
        // Enter is the dialog's own key (OK), not the focused button's.
        m_cmd[i]->setAutoDefault(false);
        m_cmd[i]->installEventFilter(this);
        connect(m_cmd[i], &QPushButton::clicked, this, [this, i] { cmdClicked(i); });
    }
    row->addWidget(m_cmd[2]);
    row->addWidget(m_cmd[1]);
    row->addWidget(m_cmd[0]);
    layout->addLayout(row);
    // Tab runs through the buttons as they read, left to right.
    setTabOrder(m_List[1], m_cmd[2]);
    setTabOrder(m_cmd[2], m_cmd[1]);
    setTabOrder(m_cmd[1], m_cmd[0]);
    m_cmd[1]->setToolTip(QStringLiteral("OK (Enter)"));
    m_cmd[0]->setToolTip(QStringLiteral("Cancel (Esc)"));

    m_cmd[1]->setEnabled(false);
    m_ActiveList = 0;
    showActiveList();
    SetHelpContext(this, kHelpContext);

    resize(420, 460);
    ui::centreOnScreen(this, QGuiApplication::primaryScreen());
}

EMS_EmpList::~EMS_EmpList() = default;

void EMS_EmpList::setEmpListType(int value)
{
    const QVector<qint32> ids = SharedState::current().LoginEmployeeIDs;
    m_EmpListType = value;
    m_ActiveList = 0;
    switch (value) {
    case 1:
        FillStaffList(m_List[0], ids);
        break;
    case 2:
        FillStaffList(m_List[0], ids);
        AddMachines(m_List[0]);
        m_List[0]->setAccessibleName(QStringLiteral("Staff and computers"));
        break;
    case 3:
        m_ActiveList = 1;
        FillUnlinkedEmployees(m_List[1]);
        break;
    default:
        m_EmpListType = 1;
        FillStaffList(m_List[0], ids);
        break;
    }
    showActiveList();
    updateOkButton();
}

QString EMS_EmpList::cmdTag(int index) const
{
    return index >= 0 && index < 3 ? m_cmdTag[index] : QString();
}

QListWidget* EMS_EmpList::activeList() const
{
    return m_List[m_ActiveList];
}

QListWidget* EMS_EmpList::list(int index) const
{
    return index >= 0 && index < 2 ? m_List[index] : nullptr;
}

QVector<qint32> EMS_EmpList::selectedValues() const
{
    QVector<qint32> values;
    const QListWidget* active = activeList();
    for (int row = 0; row < active->count(); ++row)
        if (active->item(row)->isSelected())
            values << itemValue(active, row);
    return values;
}

void EMS_EmpList::AddMachines(QListWidget* list)
{
    // A missing or unreadable list adds nothing and says nothing.
    HostServices* gic = SharedState::current().GIC.get();
    if (!gic || !list)
        return;
    QFile file(tzglob::resolvePath(gic->dataFolder(), QStringLiteral("stp\\Machines.Ini")));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QString text = QString::fromLocal8Bit(file.readAll()).toUpper().trimmed();
    // The list is kept with CR LF line ends; a file edited elsewhere may have others.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text += QStringLiteral("\r\n");

    int added = 0;
    const QStringList names = gic->split(text, QStringLiteral("\r\n"));
    for (const QString& line : names) {
        const QString name = line.trimmed();
        if (name.isEmpty())
            continue; // a blank line is not a computer
        if (added == kMaxMachines)
            break;
        auto* item = new QListWidgetItem(m_MachineName_PreFix + name, list);
        item->setData(Qt::UserRole, 0);
        ++added;
    }
}

bool EMS_EmpList::eventFilter(QObject* watched, QEvent* event)
{
    // The dialog sees every key before its controls.
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event), watched))
        return true;
    return QDialog::eventFilter(watched, event);
}

void EMS_EmpList::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event, this))
        QDialog::keyPressEvent(event);
}

bool EMS_EmpList::handleKey(QKeyEvent* event, QObject* target)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_F1:
        ShowContextHelp(this);
        return true;
    case Qt::Key_Escape:
        cmdClicked(0);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        cmdClicked(1); // also while OK is disabled
        return true;
    case Qt::Key_Space:
        // The office's and departments' rows start with blanks: left to the list, Space would
        // also search for a blank and jump to the office's row.
        if (auto* list = qobject_cast<QListWidget*>(target); list && list->currentItem()) {
            QListWidgetItem* current = list->currentItem();
            if (modifiers == Qt::ControlModifier) {
                current->setSelected(!current->isSelected());
                return true;
            }
            if (modifiers == Qt::NoModifier) {
                list->clearSelection();
                current->setSelected(true);
                return true;
            }
        }
        return false;
    case Qt::Key_Delete:
        if (modifiers == Qt::NoModifier) {
            if (auto* list = qobject_cast<QListWidget*>(target)) {
                deleteMachines(list);
                return true;
            }
        }
        return false;
    default:
        return false;
    }
}

void EMS_EmpList::showEvent(QShowEvent* event)
{
    if (m_EmpListType == 0)
        setEmpListType(1);
    QDialog::showEvent(event);
}

void EMS_EmpList::showActiveList()
{
    QListWidget* active = m_List[m_ActiveList];
    QListWidget* other = m_List[1 - m_ActiveList];
    other->setVisible(false);
    other->setEnabled(false);
    active->setEnabled(true);
    active->setVisible(true);
    active->raise();
    m_cmd[2]->setVisible(m_ActiveList == 0);
    m_cmd[2]->setEnabled(m_ActiveList == 0);
}

void EMS_EmpList::cmdClicked(int index)
{
    switch (index) {
    case 0:
        m_cmdTag[0] = QStringLiteral("C");
        done(QDialog::Rejected);
        break;
    case 1:
        m_cmdTag[1] = QStringLiteral("C");
        done(QDialog::Accepted);
        break;
    case 2:
        clearSelection();
        break;
    default:
        break;
    }
}

void EMS_EmpList::clearSelection()
{
    activeList()->clearSelection();
}

void EMS_EmpList::updateOkButton()
{
    m_cmd[1]->setEnabled(!activeList()->selectedItems().isEmpty());
}

void EMS_EmpList::deleteMachines(QListWidget* list)
{
    // Computers come after every person: walking up from the bottom meets them first.
    bool found = false;
    for (int row = list->count() - 1; row >= 1; --row) {
        if (itemValue(list, row) != 0)
            return;
        if (list->item(row)->isSelected()) {
            found = true;
            break;
        }
    }
    if (!found)
        return;

    ui::MessageBoxRequest question;
    question.text =
        QStringLiteral("Do you wish to delete the selected machine name from the list?");
    question.title = QStringLiteral("Delete Machine Name");
    question.buttons = 4;
    question.icon = 32;
    question.defaultButton = 256;
    if (ui::MessageBox::show(question) != ui::vbYes)
        return;

    HostServices* gic = SharedState::current().GIC.get();
    for (int row = list->count() - 1; row >= 1; --row) {
        if (itemValue(list, row) != 0)
            break;
        QListWidgetItem* item = list->item(row);
        if (!item->isSelected())
            continue;
        const QString name = item->text().mid(m_MachineName_PreFix.size());
        // An entry whose name could not be taken out of the file stays listed.
        if (!gic || !gic->removeComputerName(name))
            continue;
        delete list->takeItem(row);
    }
    updateOkButton();
}

} // namespace tzsndmsg
