#include "directory/StaffDirectory.h"
#include "setup/StaffSetupFrm.h"
#include "state/SharedState.h"
#include "support/Files.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowWalk.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/StaffCsv.h"
#include "tzsndmsg/tzSndMsgCls.h"
#include "tzsndmsg/ui/Modal.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

// A key as a user presses it. A button's own key presses it down and lets it go a moment later,
// when it acts: that moment is waited for.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    ASSERT_TRUE(target) << "nothing has the focus";
    QWidget* window = target->window();
    QTest::keyClick(target, Qt::Key(key), modifiers);
    EXPECT_TRUE(QTest::qWaitFor(
        [window] {
            for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
                if (b->isDown())
                    return false;
            return true;
        },
        2000));
    pump();
}

// The picker's entries: the whole office, the departments and the people who may be chosen.
QStringList pickerEntries()
{
    LoadLoginNames();
    QListWidget list;
    FillStaffList(&list, SharedState::current().LoginEmployeeIDs);
    QStringList entries;
    for (int i = 0; i < list.count(); ++i)
        entries << list.item(i)->text();
    return entries;
}

} // namespace

class StaffSetupWindow : public ::testing::Test {
protected:
    // The office's first person, Amy Abbot of the front desk, login AMY.
    void SetUp() override
    {
        SharedState::current().GIC = office.services();
        office.addEmployee(u"Abbot"_s, u"Amy"_s, u"AA"_s, u"AMY"_s, u"front desk"_s);
    }
    void TearDown() override
    {
        window.reset();
        ui::setFileDialogHandler(nullptr);
        expectNoVisibleWindows();
    }

    StaffPerson person(qint32 id)
    {
        StaffPerson p;
        QString error;
        EXPECT_TRUE(readStaffPerson(*office.db(), id, p, &error)) << error.toStdString();
        return p;
    }
    // The window, loaded, shown and active, with Qt's own first focus.
    StaffSetupFrm& open()
    {
        window = std::make_unique<StaffSetupFrm>(office.services());
        window->load();
        EXPECT_TRUE(showActive(window.get()));
        return *window;
    }
    QTableView* people() { return control<QTableView>(window.get(), u"tblPeople"_s); }
    QTableView* logins() { return control<QTableView>(window.get(), u"tblLogins"_s); }
    // The people list's row of a last name, -1 when not listed.
    int rowOf(QTableView* table, int column, const QString& text)
    {
        for (int r = 0; r < table->model()->rowCount(); ++r)
            if (table->model()->index(r, column).data().toString() == text)
                return r;
        return -1;
    }
    // Puts the list's cursor on the row by keyboard: into the list, then down to it.
    void arrowTo(QTableView* table, int row)
    {
        ASSERT_TRUE(tabTo(table->objectName()));
        press(Qt::Key_Home, Qt::ControlModifier);
        if (!table->currentIndex().isValid())
            press(Qt::Key_Down);
        for (int i = 0; i < row; ++i)
            press(Qt::Key_Down);
        ASSERT_EQ(table->currentIndex().row(), row);
    }

    Office office;
    tzsndmsg::testing::FreshSharedState state; // after the office: it goes first
    PrompterGuard prompter;
    std::unique_ptr<StaffSetupFrm> window;
};

TEST_F(StaffSetupWindow, AddsAPersonTypedInTheFormAndThePickerListsThem)
{
    StaffSetupFrm& w = open();
    QAbstractItemModelTester tester(people()->model());

    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(focusedName(), u"txtLastName"_s);
    typeText(u"O'Brien \"Q\""_s);
    press(Qt::Key_Tab);
    typeText(u"Rosa"_s);
    press(Qt::Key_Tab);
    typeText(u"RO"_s);
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedName(), u"cmbDepartment"_s);
    typeText(u"billing"_s);
    press(Qt::Key_Tab);
    typeText(u"rosa"_s);
    press(Qt::Key_S, Qt::ControlModifier);

    QList<StaffPerson> staff;
    ASSERT_TRUE(listStaff(*office.db(), staff));
    ASSERT_EQ(staff.size(), 2);
    const StaffPerson& added = staff.at(1);
    EXPECT_EQ(QStringList({added.last, added.first, added.initials, added.department, added.login}),
              QStringList({u"O'Brien \"Q\""_s, u"Rosa"_s, u"RO"_s, u"billing"_s, u"ROSA"_s}));
    // Listed, chosen, and the form ready for the next one.
    const int row = rowOf(people(), 2, added.last);
    ASSERT_GE(row, 0);
    EXPECT_EQ(people()->currentIndex().row(), row);
    EXPECT_EQ(focusedName(), u"tblPeople"_s);
    EXPECT_TRUE(control<QLineEdit>(&w, u"txtLastName"_s)->text().isEmpty());
    EXPECT_TRUE(control<QTableView>(&w, u"tblLogins"_s)->model()->rowCount() >= 2);

    const QStringList picker = pickerEntries();
    EXPECT_TRUE(picker.contains(u" Billing Department"_s)) << picker.join('|').toStdString();
    EXPECT_TRUE(picker.contains(u"O'Brien \"Q\", Rosa--(RO)"_s)) << picker.join('|').toStdString();
}

TEST_F(StaffSetupWindow, RefusedEntryIsToldAndKeptInTheForm)
{
    StaffSetupFrm& w = open();
    press(Qt::Key_N, Qt::ControlModifier);
    typeText(u"Adams"_s);
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    typeText(u"aa"_s);
    prompter->expect(u"AA"_s, 1); // the initials are taken: the staff setup's own words
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(office.count(u"PATable"_s), 1);
    EXPECT_EQ(control<QLineEdit>(&w, u"txtLastName"_s)->text(), u"Adams"_s);
    EXPECT_EQ(people()->model()->rowCount(), 1);

    // Leaving with the entry unsaved asks; Cancel stays, No drops it and closes.
    prompter->expect(u"Save the changes to the new person?"_s, 2);
    press(Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    prompter->expect(u"Save the changes to the new person?"_s, 7);
    press(Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.count(u"PATable"_s), 1);
}

TEST_F(StaffSetupWindow, EnterEditsTheSelectedRowAndADepartmentChangeAddsARecord)
{
    const qint32 ben = office.addEmployee(u"Brown"_s, u"Ben"_s, u"BB"_s, u"BEN"_s, u"billing"_s);
    StaffSetupFrm& w = open();

    arrowTo(people(), rowOf(people(), 2, u"Brown"_s));
    press(Qt::Key_Return);
    ASSERT_EQ(focusedName(), u"txtLastName"_s);
    EXPECT_EQ(control<QLineEdit>(&w, u"txtLastName"_s)->text(), u"Brown"_s);
    ASSERT_TRUE(tabTo(u"cmbDepartment"_s));
    press(Qt::Key_A, Qt::ControlModifier);
    typeText(u"clinical"_s);
    press(Qt::Key_S, Qt::ControlModifier);

    const StaffPerson after = person(ben);
    EXPECT_EQ(after.department, u"clinical"_s);
    EXPECT_EQ(after.login, u"BEN"_s); // untouched fields are not written
    EXPECT_EQ(people()->model()->index(people()->currentIndex().row(), 4).data().toString(),
              u"clinical"_s);
    const QStringList picker = pickerEntries();
    EXPECT_TRUE(picker.contains(u" Clinical Department"_s)) << picker.join('|').toStdString();
}

TEST_F(StaffSetupWindow, ReleaseAndRehireByKeyboardFollowThePicker)
{
    const qint32 ben = office.addEmployee(u"Brown"_s, u"Ben"_s, u"BB"_s, u"BEN"_s, u"billing"_s);
    StaffSetupFrm& w = open();
    auto* rehire = control<QPushButton>(&w, u"cmdRehire"_s);

    arrowTo(people(), rowOf(people(), 2, u"Brown"_s));
    EXPECT_FALSE(rehire->isEnabled());
    // No keeps the person.
    prompter->expect(u"Release Brown, Ben from the office"_s, 7);
    press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(person(ben).released);

    prompter->expect(u"Release Brown, Ben from the office"_s, 6);
    press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(person(ben).released, std::optional<QDate>(QDate(2026, 12, 6)));
    const int row = people()->currentIndex().row();
    EXPECT_EQ(people()->model()->index(row, 6).data().toString(), u"12/06/2026"_s);
    EXPECT_TRUE(rehire->isEnabled());
    EXPECT_FALSE(control<QPushButton>(&w, u"cmdRelease"_s)->isEnabled());
    EXPECT_FALSE(pickerEntries().contains(u"Brown, Ben--(BB)"_s));
    // A released person cannot be given a login.
    auto* loginPerson = control<QComboBox>(&w, u"cmbLoginPerson"_s);
    EXPECT_EQ(loginPerson->findText(u"Brown, Ben"_s), -1);

    press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_FALSE(person(ben).released);
    EXPECT_TRUE(pickerEntries().contains(u"Brown, Ben--(BB)"_s));
    EXPECT_GE(loginPerson->findText(u"Brown, Ben"_s), 0);
}

TEST_F(StaffSetupWindow, AddsALoginAndTogglesItsRights)
{
    const qint32 ben = office.addPerson(u"Brown"_s, u"Ben"_s, u"BB"_s);
    office.addEmployment(ben, u"billing"_s);
    StaffSetupFrm& w = open();

    press(Qt::Key_O, Qt::AltModifier);
    ASSERT_EQ(control<QTabWidget>(&w, u"tabSetup"_s)->currentIndex(), 1);
    ASSERT_TRUE(tabTo(u"txtLoginName"_s));
    typeText(u" nurse1 "_s);
    press(Qt::Key_Tab);
    ASSERT_EQ(focusedName(), u"cmbLoginPerson"_s);
    auto* personBox = control<QComboBox>(&w, u"cmbLoginPerson"_s);
    while (personBox->currentText() != u"Brown, Ben"_s &&
           personBox->currentIndex() + 1 < personBox->count())
        press(Qt::Key_Down);
    ASSERT_EQ(personBox->currentText(), u"Brown, Ben"_s);
    press(Qt::Key_N, Qt::ControlModifier);

    EXPECT_EQ(person(ben).login, u"NURSE1"_s);
    EXPECT_EQ(focusedName(), u"tblLogins"_s);
    ASSERT_EQ(logins()->model()->index(logins()->currentIndex().row(), 0).data().toString(),
              u"NURSE1"_s);

    auto& services = *office.services();
    const auto holds = [&](const char* right) {
        return services.checkRight(u"NURSE1"_s, QLatin1String(right), u"PWAWriFla"_s,
                                   u"tzSndMsg"_s);
    };
    const struct {
        int key;
        const char* right;
        int column;
    } toggles[] = {{Qt::Key_U, kSupervisorRight, 2}, {Qt::Key_P, kPayrollMessagesRight, 3}};
    for (const auto& t : toggles) {
        SCOPED_TRACE(t.right);
        press(t.key, Qt::ControlModifier);
        EXPECT_TRUE(holds(t.right));
        EXPECT_EQ(
            logins()->model()->index(logins()->currentIndex().row(), t.column).data().toString(),
            u"Yes"_s);
        press(t.key, Qt::ControlModifier);
        EXPECT_FALSE(holds(t.right));
    }
    press(Qt::Key_U, Qt::ControlModifier);
    EXPECT_TRUE(holds(kSupervisorRight));
    EXPECT_FALSE(holds(kPayrollMessagesRight));

    // A login held already, whatever its case, is refused and the name kept.
    ASSERT_TRUE(tabTo(u"txtLoginName"_s));
    typeText(u"Nurse1"_s);
    prompter->expect(u"NURSE1"_s, 1);
    press(Qt::Key_Return);
    EXPECT_EQ(control<QLineEdit>(&w, u"txtLoginName"_s)->text(), u"Nurse1"_s);

    arrowTo(logins(), rowOf(logins(), 0, u"NURSE1"_s));
    prompter->expect(u"Remove the login NURSE1"_s, 6);
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(services.isLogin(u"NURSE1"_s));
    EXPECT_FALSE(holds(kSupervisorRight));
}

TEST_F(StaffSetupWindow, AddsAndRemovesAComputer)
{
    office.writeMachinesIni("WS1\r\nFRONTDESK\r\n");
    StaffSetupFrm& w = open();
    auto* list = control<QListWidget>(&w, u"lstComputers"_s);
    ASSERT_EQ(list->count(), 2);

    press(Qt::Key_M, Qt::AltModifier);
    ASSERT_TRUE(tabTo(u"txtComputerName"_s));
    typeText(u"exam-2"_s);
    press(Qt::Key_Return);
    EXPECT_TRUE(office.services()->computerNames().contains(u"EXAM-2"_s));
    ASSERT_TRUE(list->currentItem());
    EXPECT_EQ(list->currentItem()->text(), u"EXAM-2"_s);
    EXPECT_EQ(focusedName(), u"lstComputers"_s);

    prompter->expect(u"Remove the computer EXAM-2"_s, 6);
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(office.services()->computerNames(), (QStringList{"WS1", "FRONTDESK"}));
    EXPECT_EQ(list->count(), 2);
}

TEST_F(StaffSetupWindow, OpensOnlyForTheSupervisorRight)
{
    office.addEmployee(u"Front"_s, u"Fay"_s, u"FF"_s, u"FRONT"_s, u"front desk"_s);
    office.addEmployee(u"Moreno"_s, u"Maria"_s, u"MM"_s, u"MARIA"_s, u"administration"_s);
    ASSERT_TRUE(setLoginRight(*office.db(), u"MARIA"_s, QLatin1String(kSupervisorRight), true));
    const struct {
        const char* login;
        bool opens;
    } cases[] = {{"FRONT", false}, {"MARIA", true}, {"SUPERVISOR", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.login);
        auto services = office.workstation(u"WS1"_s, QLatin1String(c.login));
        ModalScript modal;
        if (c.opens)
            modal.then([](QDialog& d) {
                EXPECT_EQ(d.objectName(), u"StaffSetupFrm"_s);
                return int(QDialog::Rejected);
            });
        else
            prompter->expect(u"Only a login with the supervisor right"_s, 1);
        tzSndMsgCls component;
        component.setGIC(services);
        component.Setup_Start();
    }
}

// On each page Tab runs from the section tabs through the page in the order it reads, leaves each
// list in one press and comes back; every stop is named and every command says its key.
TEST_F(StaffSetupWindow, TabFollowsTheVisualOrderNamesEveryStopAndTheWindowFitsA1280x800Screen)
{
    office.writeMachinesIni("WS1\r\n");
    StaffSetupFrm& w = open();
    auto* tabs = control<QTabWidget>(&w, u"tabSetup"_s);
    const struct {
        const char* list;
        QStringList order;
    } pages[] = {
        {"tblPeople",
         {"cmdAddPerson", "cmdEditPerson", "cmdRelease", "cmdImport", "cmdExport", "tblPeople",
          "txtLastName", "txtFirstName", "txtInitials", "cmbDepartment", "txtPersonLogin",
          "cmdSavePerson", "cmdCancelPerson", "cmdClose"}},
        {"tblLogins",
         {"cmdSupervisor", "cmdPayroll", "cmdRemoveLogin", "tblLogins", "txtLoginName",
          "cmbLoginPerson", "cmdAddLogin", "cmdClose"}},
        {"lstComputers",
         {"cmdRemoveComputer", "lstComputers", "txtComputerName", "cmdAddComputer", "cmdClose"}},
    };
    for (int page = 0; page < tabs->count(); ++page) {
        SCOPED_TRACE(page);
        tabs->setCurrentIndex(page);
        tabs->tabBar()->setFocus(Qt::TabFocusReason);
        pump();
        // A row is current, so the list has cells Tab could wander through.
        auto* list = control<QAbstractItemView>(&w, QLatin1String(pages[page].list));
        list->setCurrentIndex(list->model()->index(0, 0));
        ASSERT_EQ(focusedName(), u"tabSetupBar"_s);
        expectTabRing(&w, pages[page].order);
        for (QPushButton* b : tabs->widget(page)->findChildren<QPushButton*>())
            EXPECT_TRUE(b->toolTip().contains(b->shortcut().toString(QKeySequence::NativeText)) &&
                        !b->shortcut().isEmpty())
                << b->objectName().toStdString();
    }
    const QSize smallScreen(1280, 800);
    EXPECT_LE(w.frameGeometry().width(), smallScreen.width());
    EXPECT_LE(w.frameGeometry().height(), smallScreen.height() - 40); // a panel's room
    EXPECT_LE(w.minimumSizeHint().width(), smallScreen.width());
    EXPECT_LE(w.minimumSizeHint().height(), smallScreen.height() - 80);
}

TEST_F(StaffSetupWindow, ImportsAStaffListOnlyAfterSayingWhatItChanges)
{
    const QString good = office.tempPath() + u"/staff.csv"_s;
    const QString bad = office.tempPath() + u"/bad.csv"_s;
    ASSERT_TRUE(writeFile(
        good,
        "last name;first name;initials;department\r\nBerg;Anna;AB;lab\r\nCole;Carl;CC;lab\r\n"));
    ASSERT_TRUE(writeFile(bad, "last name,first name,initials\nDoe,Dan,AA\n,Eve,EE\n"));
    QStringList files;
    ui::setFileDialogHandler([&](const ui::FileDialogRequest& request) {
        EXPECT_FALSE(request.save);
        return files.isEmpty() ? QString() : files.takeFirst();
    });
    open();
    const auto staffCount = [&] {
        QList<StaffPerson> staff;
        EXPECT_TRUE(listStaff(*office.db(), staff));
        return staff.size();
    };

    // A bad file is refused whole: nothing is written.
    files << bad;
    prompter->expect(u"bad.csv was not imported; nothing was changed."_s, 1);
    press(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(staffCount(), 1);

    // The user sees what the file does, and No writes nothing.
    files << good << good;
    prompter->expect(
        u"Import staff.csv?\n\n2 to add, 0 to change, 0 to release, 0 to rehire, 0 unchanged."_s,
        7);
    press(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(staffCount(), 1);
    prompter->expect(u"Import staff.csv?"_s, 6);
    press(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(staffCount(), 3);
    EXPECT_EQ(people()->model()->rowCount(), 3);
    EXPECT_GE(rowOf(people(), 2, u"Cole"_s), 0);
    // Cancelled in the file dialog: nothing asked, nothing done.
    press(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(staffCount(), 3);
}

TEST_F(StaffSetupWindow, ExportsEveryoneAndAsksBeforeReplacingAFile)
{
    const qint32 ben = office.addPerson(u"Brown"_s, u"Ben"_s, u"BB"_s);
    ASSERT_TRUE(releaseStaffPerson(*office.db(), ben, QDate(2026, 11, 30)));
    const QString path = office.tempPath() + u"/out.csv"_s;
    ui::setFileDialogHandler([&](const ui::FileDialogRequest& request) {
        EXPECT_TRUE(request.save);
        return path;
    });
    open();

    prompter->expect(u"Wrote 2 people to "_s, 1);
    press(Qt::Key_E, Qt::ControlModifier);
    StaffCsv csv;
    QList<StaffCsvProblem> problems;
    ASSERT_TRUE(readStaffCsvFile(path, csv, problems));
    EXPECT_EQ(csv.rows.size(), 2); // the released one too; the fields: the staff list's tests

    // A file there already is replaced only when the user says so.
    ASSERT_TRUE(writeFile(path, "kept"));
    prompter->expect(u"out.csv exists. Replace it?"_s, 7);
    press(Qt::Key_E, Qt::ControlModifier);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("kept"));
}
