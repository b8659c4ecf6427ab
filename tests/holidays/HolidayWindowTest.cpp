#include "holidays/Ems_HolidayFrm.h"
#include "holidays/HolidayStart.h"
#include "state/SharedState.h"
#include "support/Appearance.h"
#include "support/Files.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowWalk.h"
#include "tzsndmsg/ui/Modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QString kFlag = u"icons\\FlagUsa.ico"_s;

// The window as the tray opens it, shown and active, driven while it is shown, then let go.
void withHolidayWindow(const std::function<void(Ems_HolidayFrm&)>& drive)
{
    ModalScript modal;
    modal.then([&](QDialog& dialog) {
        auto& w = static_cast<Ems_HolidayFrm&>(dialog);
        EXPECT_TRUE(showActive(&w));
        drive(w);
        w.hide();
        return int(QDialog::Rejected);
    });
    runHolidayWindow();
    releaseHolidayWindow();
}

} // namespace

// A fresh office whose services the holiday window uses, with its flag icon, and holidays
// stored as the window stores them.
class HolidayWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedState::current().GIC = office.services();
        if (!QFile::exists(office.dataFolder() + u"icons/FlagUsa.ico"_s))
            writeIcon(office.dataFolder() + u"icons/FlagUsa.ico"_s);
    }
    void TearDown() override
    {
        ui::setFileDialogHandler(nullptr);
        expectNoVisibleWindows();
    }

    qint64 seed(const QString& name, int useDat, int obsOn, int weekday, int month, int sat = 0,
                int sun = 0, const QString& icon = kFlag)
    {
        return office.insert(
            u"HDOCTable"_s, u"hdocID"_s,
            {"hdocDes", "hdocInAct", "hdocUseDatFla", "hdocObsOn", "hdocObsWeeDay", "hdocObsMon",
             "hdocOnSat", "hdocOnSun", "hdocIcoFilNam", "hdocNotAppToParEmp", "hdocHolFla",
             "hdocOffColFla", "hdocPayFla"},
            {name, 1, useDat, obsOn, weekday, month, sat, sun, icon, 0, -1, -1, -1});
    }
    // The name on the list's current row, "" when none.
    static QString currentName(Ems_HolidayFrm& w)
    {
        const QModelIndex i = grid(w)->currentIndex();
        return i.isValid() ? grid(w)->model()->index(i.row(), 1).data().toString() : QString();
    }
    // One stored column of a holiday.
    QVariant stored(qint64 id, const QString& column)
    {
        return office.scalar(u"select %1 from HDOCTable where hdocID=?"_s.arg(column), {id});
    }
    // Stored whole-number columns, as "ObsOn=4 ObsMon=7" for hdocObsOn and hdocObsMon.
    void expectStored(qint64 id, const char* expected)
    {
        for (const QString& pair : QString::fromLatin1(expected).split(u' '))
            EXPECT_EQ(stored(id, u"hdoc"_s + pair.section(u'=', 0, 0)).toInt(),
                      pair.section(u'=', 1).toInt())
                << pair.toStdString();
    }
    qint64 onlyNewId()
    {
        return office.scalar(u"select max(hdocID) from HDOCTable"_s).toLongLong();
    }

    // Opens a window with the list loaded (not shown).
    std::unique_ptr<Ems_HolidayFrm> open()
    {
        auto w = std::make_unique<Ems_HolidayFrm>();
        w->load();
        return w;
    }
    static QTableView* grid(Ems_HolidayFrm& w) { return control<QTableView>(&w, "TDBG"); }
    static int rowOf(Ems_HolidayFrm& w, const QString& name)
    {
        auto* model = grid(w)->model();
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 1).data().toString() == name)
                return r;
        return -1;
    }
    static void selectRow(Ems_HolidayFrm& w, const QString& name)
    {
        const int row = rowOf(w, name);
        ASSERT_GE(row, 0) << name.toStdString();
        grid(w)->setCurrentIndex(grid(w)->model()->index(row, 1));
    }
    static QString dateCell(Ems_HolidayFrm& w, const QString& name)
    {
        return grid(w)->model()->index(rowOf(w, name), 2).data().toString();
    }
    static void choose(Ems_HolidayFrm& w, int cmb, const QString& text)
    {
        auto* c = control<QComboBox>(&w, u"CMB_%1"_s.arg(cmb));
        const int i = c->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        c->setCurrentIndex(i);
    }
    static void click(Ems_HolidayFrm& w, const char* name)
    {
        auto* b = control<QAbstractButton>(&w, QLatin1String(name));
        ASSERT_TRUE(b && b->isEnabled()) << name;
        b->click();
    }
    static QLineEdit* name(Ems_HolidayFrm& w) { return control<QLineEdit>(&w, "txt_0"); }

    Office office;
    FreshSharedState state; // after the office: it goes first
};

TEST_F(HolidayWindow, ListsActiveHolidaysWithRuleTextAndWidths)
{
    seed(u"Thanksgiving"_s, 0, 4, 5, 11);
    seed(u"Independence Day"_s, -1, 4, 0, 7, 1, 2);
    SharedState::current().HolidayChanged = true;

    auto w = open();
    EXPECT_FALSE(SharedState::current().HolidayChanged);
    QTableView* g = grid(*w);
    ASSERT_EQ(g->model()->rowCount(), 2);
    EXPECT_EQ(g->model()->index(0, 1).data().toString(), u"Independence Day"_s);
    EXPECT_EQ(dateCell(*w, u"Independence Day"_s), u"4th day of July"_s);
    EXPECT_EQ(dateCell(*w, u"Thanksgiving"_s), u"on the Fourth Thursday of November"_s);
    // The names column is as wide as the longest name at the window's font.
    EXPECT_GT(g->columnWidth(1), g->fontMetrics().horizontalAdvance(u"Independence Day"_s));
}

// The panel as set is what is stored and what the list shows: a new rule, a new fixed date with
// its weekend shift, and a fixed date turned into a rule, which zeroes its shifts.
TEST_F(HolidayWindow, ThePanelIsStoredAndListedAsSet)
{
    const qint64 christmas = seed(u"Christmas"_s, -1, 25, 0, 12, 1, 2);
    const struct {
        const char* name;
        bool rule;
        QStringList choices; // CMB_0 to CMB_2 for a fixed date, CMB_4 to CMB_6 for a rule
        const char* stored;
        const char* listed;
    } cases[] = {
        {"Memorial Day",
         true,
         {"Last", "Monday", "May"},
         "InAct=1 UseDatFla=0 ObsOn=0 ObsWeeDay=2 ObsMon=5 OnSat=0 OnSun=0 NotAppToParEmp=0",
         "on the Last Monday of May"},
        {"Independence Day",
         false,
         {"4th", "July", "Friday prior"},
         "UseDatFla=-1 ObsOn=4 ObsWeeDay=0 ObsMon=7 OnSat=1 OnSun=0 NotAppToParEmp=1",
         "4th day of July"},
        {"Christmas",
         true,
         {"Fourth", "Thursday", "December"},
         "UseDatFla=0 ObsOn=4 ObsWeeDay=5 ObsMon=12 OnSat=0 OnSun=0",
         "on the Fourth Thursday of December"},
    };
    PrompterGuard prompts;
    auto w = open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString holiday = QString::fromLatin1(c.name);
        const bool existing = holiday == u"Christmas"_s;
        if (existing) {
            selectRow(*w, holiday);
            EXPECT_EQ(w->windowTitle(), u"Holiday Setup/ ID = %1"_s.arg(christmas));
            EXPECT_EQ(control<QComboBox>(w.get(), "CMB_2")->currentText(), u"Friday prior"_s);
            EXPECT_EQ(control<QComboBox>(w.get(), "CMB_3")->currentText(), u"Monday after"_s);
            EXPECT_FALSE(w->HolidayEdited());
        } else {
            click(*w, "cmd_2");
            EXPECT_EQ(w->windowTitle(), u"Holiday Setup/ New"_s);
            name(*w)->setText(holiday);
        }
        click(*w, c.rule ? "Opt_1" : "Opt_0");
        EXPECT_EQ(w->findChild<QStackedWidget*>()->currentWidget()->objectName(),
                  c.rule ? u"pics_1"_s : u"pics_0"_s);
        for (int i = 0; i < 3; ++i)
            choose(*w, (c.rule ? 4 : 0) + i, c.choices[i]);
        control<QCheckBox>(w.get(), "ChkNotAppToParEmp")->setChecked(!c.rule);
        click(*w, "CmdEd_0");

        const qint64 id = existing ? christmas : onlyNewId();
        EXPECT_EQ(w->CurrentHolidayID(), id);
        EXPECT_EQ(w->windowTitle(), u"Holiday Setup/ ID = %1"_s.arg(id));
        EXPECT_EQ(stored(id, "hdocDes").toString(), holiday);
        expectStored(id, c.stored);
        EXPECT_EQ(stored(id, "hdocIcoFilNam").toString(), kFlag);
        EXPECT_EQ(dateCell(*w, holiday), QString::fromLatin1(c.listed));
        EXPECT_EQ(currentName(*w), holiday);
        EXPECT_FALSE(w->HolidayEdited());
    }
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    EXPECT_EQ(office.count(u"HDOCTable"_s), 3);

    // A name of blanks is not empty: it passes and keeps its blanks.
    click(*w, "cmd_2");
    name(*w)->setText(u"   "_s);
    choose(*w, 0, u"1st"_s);
    choose(*w, 1, u"January"_s);
    click(*w, "CmdEd_0");
    EXPECT_EQ(stored(onlyNewId(), "hdocDes").toString(), u"   "_s);
}

TEST_F(HolidayWindow, ValidationGathersEveryReasonAndNoStaysInTheEdit)
{
    PrompterGuard prompts;
    auto w = open();
    click(*w, "cmd_2");
    click(*w, "Opt_1");
    choose(*w, 4, u"First"_s);
    prompts->expect(QString(), u"Holiday setup"_s, ui::vbNo);
    click(*w, "CmdEd_0");
    ASSERT_EQ(prompts->shown.size(), 1);
    const ui::MessageBoxRequest box = prompts->shown.last();
    EXPECT_EQ(box.text, u"Please double check the data for the following reason:\r\n\r\n"
                        "[Name of Holiday] cannot be blank.\r\n"
                        "Observed day of week and month cannot be empty.\r\n\r\n"
                        "Would you like to proceed without saving current editing?"_s);
    EXPECT_EQ(box.buttons, 4);
    EXPECT_EQ(box.defaultButton, 256);
    EXPECT_TRUE(w->HolidayEdited());
    EXPECT_EQ(office.count(u"HDOCTable"_s), 0);

    // Fixed date: its own reason; Yes goes on without saving and keeps the edit flag.
    click(*w, "Opt_0");
    name(*w)->setText(u"Bank day"_s);
    choose(*w, 0, u"2nd"_s);
    prompts->expect(u"\r\n\r\nDay and month cannot be empty.\r\n\r\n"_s, u"Holiday setup"_s,
                    ui::vbYes);
    click(*w, "CmdEd_0");
    EXPECT_TRUE(w->HolidayEdited());
    EXPECT_EQ(office.count(u"HDOCTable"_s), 0);
    EXPECT_FALSE(SharedState::current().HolidayChanged);
}

// New, Exit, Cancel and moving to another row with an unsaved edit, for each answer.
TEST_F(HolidayWindow, UnsavedEditQuestionForEachCommandAndAnswer)
{
    enum Command { New, Exit, Cancel, RowChange };
    const char* commandNames[] = {"New", "Exit", "Cancel", "RowChange"};
    for (Command command : {New, Exit, Cancel, RowChange}) {
        for (int answer : {ui::vbYes, ui::vbNo, ui::vbCancel}) {
            SCOPED_TRACE(std::string(commandNames[command]) + " answer " + std::to_string(answer));
            office.exec(u"delete from HDOCTable"_s);
            const qint64 a = seed(u"Alpha"_s, -1, 1, 0, 1);
            seed(u"Beta"_s, -1, 2, 0, 2);
            PrompterGuard prompts;
            auto w = open();
            bool closed = false;
            QObject::connect(w.get(), &QDialog::finished, [&closed] { closed = true; });
            selectRow(*w, u"Alpha"_s);
            name(*w)->setText(u"Alpha 2"_s);
            ASSERT_TRUE(w->HolidayEdited());

            prompts->expect(u"Would you like to save the changes?"_s, u"Save Changes"_s, answer);
            switch (command) {
            case New:
                click(*w, "cmd_2");
                break;
            case Exit:
                click(*w, "cmd_0");
                break;
            case Cancel:
                click(*w, "CmdEd_1");
                break;
            case RowChange:
                selectRow(*w, u"Beta"_s);
                break;
            }
            ASSERT_EQ(prompts->shown.size(), 1);
            EXPECT_EQ(prompts->shown.first().buttons, 3);
            EXPECT_EQ(stored(a, "hdocDes").toString(),
                      answer == ui::vbYes ? u"Alpha 2"_s : u"Alpha"_s);
            EXPECT_EQ(SharedState::current().HolidayChanged, answer == ui::vbYes);

            if (answer == ui::vbCancel) {
                // The user stays in the edit, on its row.
                EXPECT_FALSE(closed);
                EXPECT_TRUE(w->HolidayEdited());
                EXPECT_EQ(name(*w)->text(), u"Alpha 2"_s);
                EXPECT_EQ(w->CurrentHolidayID(), a);
                EXPECT_EQ(currentName(*w), u"Alpha"_s);
                continue;
            }
            EXPECT_EQ(w->HolidayEdited(), command == Exit && answer == ui::vbNo);
            switch (command) {
            case New:
                EXPECT_EQ(w->CurrentHolidayID(), 0);
                EXPECT_EQ(name(*w)->text(), QString());
                EXPECT_EQ(w->windowTitle(), u"Holiday Setup/ New"_s);
                break;
            case Exit:
                EXPECT_TRUE(closed);
                break;
            case Cancel:
                EXPECT_EQ(w->CurrentHolidayID(), a);
                EXPECT_EQ(name(*w)->text(), stored(a, "hdocDes").toString());
                break;
            case RowChange:
                EXPECT_EQ(name(*w)->text(), u"Beta"_s);
                EXPECT_EQ(currentName(*w), u"Beta"_s);
                break;
            }
            EXPECT_FALSE(closed && command != Exit);
        }
    }
}

TEST_F(HolidayWindow, NoQuestionWithoutEditsAndCloseBoxDropsEdits)
{
    seed(u"Alpha"_s, -1, 1, 0, 1);
    PrompterGuard prompts; // any box fails
    auto w = open();
    selectRow(*w, u"Alpha"_s);
    click(*w, "cmd_2");
    click(*w, "CmdEd_1");
    selectRow(*w, u"Alpha"_s);
    name(*w)->setText(u"Changed"_s);
    w->show();
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(office.scalar(u"select hdocDes from HDOCTable"_s).toString(), u"Alpha"_s);
}

TEST_F(HolidayWindow, DeleteAsksWithTheTrimmedNameAndDeletesOnYes)
{
    const qint64 a = seed(u"  Alpha  "_s, -1, 1, 0, 1);
    seed(u"Beta"_s, -1, 2, 0, 2);
    PrompterGuard prompts;
    auto w = open();
    selectRow(*w, u"  Alpha  "_s);

    prompts->expect(u"Would you like to delete Alpha?"_s, u"Delete Holiday Setup"_s, ui::vbNo);
    click(*w, "cmd_1");
    EXPECT_EQ(prompts->shown.last().buttons, 4);
    EXPECT_EQ(prompts->shown.last().defaultButton, 256);
    EXPECT_EQ(office.count(u"HDOCTable"_s), 2);
    EXPECT_FALSE(SharedState::current().HolidayChanged);

    // Deleting asks nothing about unsaved edits; the deleted holiday leaves the panel.
    name(*w)->setText(u"Alpha edited"_s);
    prompts->expect(u"Would you like to delete Alpha?"_s, ui::vbYes);
    click(*w, "cmd_1");
    EXPECT_EQ(office.count(u"HDOCTable"_s, u"hdocID=?"_s, {a}), 0);
    EXPECT_EQ(grid(*w)->model()->rowCount(), 1);
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    EXPECT_NE(w->CurrentHolidayID(), a);
    EXPECT_EQ(name(*w)->text(), u"Beta"_s);
    EXPECT_FALSE(w->HolidayEdited());

    // With nothing listed there is nothing to delete and nothing is asked.
    prompts->expect(u"Beta"_s, ui::vbYes);
    click(*w, "cmd_1");
    EXPECT_EQ(office.count(u"HDOCTable"_s), 0);
    click(*w, "cmd_1");
}

TEST_F(HolidayWindow, IconFallsBackToTheFlagThenToNone)
{
    const qint64 missing = seed(u"Missing icon"_s, -1, 1, 0, 1, 0, 0, u"icons\\Gone.ico"_s);
    seed(u"Other case"_s, -1, 2, 0, 1, 0, 0, u"ICONS\\flagusa.ICO"_s);
    PrompterGuard prompts;
    auto w = open();
    auto* picture = control<QLabel>(w.get(), "PicIcon");

    selectRow(*w, u"Other case"_s);
    EXPECT_EQ(w->iconPath(), u"ICONS\\flagusa.ICO"_s);
    EXPECT_EQ(picture->property("tag").toString(), u"ICONS\\flagusa.ICO"_s);
    EXPECT_FALSE(picture->pixmap().isNull());

    selectRow(*w, u"Missing icon"_s);
    EXPECT_EQ(w->iconPath(), kFlag);
    EXPECT_FALSE(picture->pixmap().isNull());

    ASSERT_TRUE(QFile::remove(office.dataFolder() + u"icons/FlagUsa.ico"_s));
    selectRow(*w, u"Other case"_s);
    selectRow(*w, u"Missing icon"_s);
    EXPECT_EQ(w->iconPath(), QString());
    EXPECT_TRUE(picture->pixmap().isNull());
    EXPECT_EQ(stored(missing, "hdocObsOn").toInt(), 1);
}

TEST_F(HolidayWindow, IconChoiceKeepsCopiesOrRefuses)
{
    const QString icons = office.dataFolder() + u"icons/"_s;
    writeIcon(icons + u"Turkey.ico"_s, Qt::darkYellow);
    const QString outside = office.tempPath() + u"/outside/"_s;
    writeIcon(outside + u"Pumpkin.Ico"_s, Qt::darkRed);
    writeIcon(outside + u"flagusa.ICO"_s, Qt::blue);
    ASSERT_TRUE(writeFile(outside + u"picture.png"_s, {}));

    QList<ui::FileDialogRequest> requests;
    QString answer;
    ui::setFileDialogHandler([&](const ui::FileDialogRequest& r) {
        requests.append(r);
        return answer;
    });
    const int iconsBefore = int(QDir(icons).entryList(QDir::Files).size());
    PrompterGuard prompts;
    auto w = open();
    click(*w, "cmd_2");

    // Cancelled: nothing changes.
    answer.clear();
    click(*w, "cmdIcon");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests.first().title, u"Please select a icon file"_s);
    EXPECT_EQ(requests.first().defaultExtension, u"Ico"_s);
    EXPECT_EQ(requests.first().fileName, u"FlagUsa.ico"_s);
    EXPECT_EQ(QDir(requests.first().startFolder).canonicalPath(), QDir(icons).canonicalPath());
    EXPECT_FALSE(w->HolidayEdited());

    // Not an icon.
    answer = outside + u"picture.png"_s;
    prompts->expect(u"PICTURE.PNG is not an icon file.\r\n"
                    "You can only select a file with an ICO extension."_s,
                    u"Icon file"_s, ui::vbOK);
    click(*w, "cmdIcon");
    EXPECT_EQ(w->iconPath(), kFlag);

    // A name the icons folder already holds, in another case, is refused and not copied.
    answer = outside + u"flagusa.ICO"_s;
    prompts->expect(u"flagusa.ICO already exists in "_s + office.dataFolder() +
                        u"ICONS file folder.\r\n"
                        "Please rename the source icon file name and select it again."_s,
                    u"Icon file"_s, ui::vbOK);
    click(*w, "cmdIcon");
    EXPECT_EQ(w->iconPath(), kFlag);
    EXPECT_FALSE(w->HolidayEdited());
    EXPECT_EQ(QDir(icons).entryList(QDir::Files).size(), iconsBefore);

    // Already in the icons folder: kept relative, nothing copied (the click on the picture works
    // too).
    answer = icons + u"Turkey.ico"_s;
    QMouseEvent press(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(control<QLabel>(w.get(), "PicIcon"), &press);
    EXPECT_EQ(w->iconPath(), u"icons\\Turkey.ico"_s);
    EXPECT_TRUE(w->HolidayEdited());
    EXPECT_EQ(QDir(icons).entryList(QDir::Files).size(), iconsBefore);

    // From outside: copied into the icons folder.
    answer = outside + u"Pumpkin.Ico"_s;
    click(*w, "cmdIcon");
    EXPECT_EQ(w->iconPath(), u"icons\\Pumpkin.Ico"_s);
    EXPECT_TRUE(QFile::exists(icons + u"Pumpkin.Ico"_s));
    EXPECT_FALSE(control<QLabel>(w.get(), "PicIcon")->pixmap().isNull());

    name(*w)->setText(u"Harvest"_s);
    choose(*w, 0, u"1st"_s);
    choose(*w, 1, u"October"_s);
    click(*w, "CmdEd_0");
    EXPECT_EQ(stored(onlyNewId(), "hdocIcoFilNam").toString(), u"icons\\Pumpkin.Ico"_s);
}

TEST_F(HolidayWindow, HolidayStartKeepsTheInstanceAndClearsHolidayChanged)
{
    seed(u"Alpha"_s, -1, 1, 0, 1);
    PrompterGuard prompts;
    Ems_HolidayFrm* first = nullptr;
    {
        ModalScript modal;
        modal.then([&](QDialog& dialog) {
            first = qobject_cast<Ems_HolidayFrm*>(&dialog);
            EXPECT_TRUE(first);
            EXPECT_FALSE(SharedState::current().HolidayChanged);
            selectRow(*first, u"Alpha"_s);
            name(*first)->setText(u"Alpha 2"_s);
            click(*first, "CmdEd_0");
            click(*first, "cmd_0");
            return dialog.result();
        });
        SharedState::current().HolidayChanged = true;
        runHolidayWindow();
    }
    ASSERT_TRUE(first);
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    {
        ModalScript modal;
        modal.then([&](QDialog& dialog) {
            EXPECT_EQ(&dialog, first);
            EXPECT_FALSE(SharedState::current().HolidayChanged);
            // The fields kept their values; the list shows the holiday in hand.
            EXPECT_EQ(first->CurrentHolidayID(),
                      office.scalar(u"select hdocID from HDOCTable"_s).toInt());
            EXPECT_EQ(name(*first)->text(), u"Alpha 2"_s);
            EXPECT_EQ(currentName(*first), u"Alpha 2"_s);
            return int(QDialog::Rejected);
        });
        runHolidayWindow();
    }
    EXPECT_FALSE(SharedState::current().HolidayChanged);
    EXPECT_EQ(&holidayWindow(), first);
    releaseHolidayWindow();
    EXPECT_FALSE(hasHolidayWindow());
}

TEST_F(HolidayWindow, OpensWithNothingLoadedWhenTheGridTakesTheFocusAndSaveAdds)
{
    const qint64 alpha = seed(u"Alpha"_s, -1, 1, 0, 1);
    seed(u"Beta"_s, -1, 2, 0, 2);
    PrompterGuard prompts; // any box fails
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        // The grid is the first control to take the focus.
        EXPECT_EQ(QApplication::focusWidget(), grid(w));
        EXPECT_EQ(w.CurrentHolidayID(), 0);
        EXPECT_TRUE(name(w)->text().isEmpty());
        EXPECT_FALSE(grid(w)->currentIndex().isValid());

        QTest::mouseClick(name(w), Qt::LeftButton);
        QTest::keyClicks(name(w), u"Gamma"_s);
        choose(w, 0, u"3rd"_s);
        choose(w, 1, u"March"_s);
        QTest::mouseClick(control<QPushButton>(&w, "CmdEd_0"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(&w, "cmd_0"), Qt::LeftButton);
    });
    EXPECT_EQ(office.count(u"HDOCTable"_s), 3);
    EXPECT_EQ(stored(alpha, "hdocDes").toString(), u"Alpha"_s);
    EXPECT_EQ(stored(onlyNewId(), "hdocDes").toString(), u"Gamma"_s);
    expectStored(onlyNewId(), "ObsOn=3 ObsMon=3");

    // A click on a row still loads it: the focus gave the grid no row of its own.
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        const QRect cell = grid(w)->visualRect(grid(w)->model()->index(rowOf(w, u"Alpha"_s), 1));
        QTest::mouseClick(grid(w)->viewport(), Qt::LeftButton, {}, cell.center());
        EXPECT_EQ(w.CurrentHolidayID(), alpha);
        EXPECT_EQ(name(w)->text(), u"Alpha"_s);
    });
}

class HolidayKeyboard : public HolidayWindow {};

TEST_F(HolidayKeyboard, AddAndDeleteAHolidayWithKeysAlone)
{
    seed(u"Alpha"_s, -1, 1, 0, 1, 0, 0, QString());
    PrompterGuard prompts; // a box nobody expects fails
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        pressKey(Qt::Key_N, Qt::ControlModifier);
        pressKey(Qt::Key_M, Qt::AltModifier); // the name's label
        ASSERT_EQ(focusedName(), u"txt_0"_s);
        QTest::keyClicks(QApplication::focusWidget(), u"Gammax"_s);
        // Del in the name deletes a letter, not the holiday.
        pressKey(Qt::Key_Left);
        pressKey(Qt::Key_Delete);
        EXPECT_EQ(control<QLineEdit>(&w, "txt_0")->text(), u"Gamma"_s);
        pressKey(Qt::Key_Tab); // the checked kind of date
        pressKey(Qt::Key_Tab);
        ASSERT_EQ(focusedName(), u"CMB_0"_s);
        pressKey(Qt::Key_3);
        pressKey(Qt::Key_F, Qt::AltModifier); // "day of": the month
        ASSERT_EQ(focusedName(), u"CMB_1"_s);
        pressKey(Qt::Key_M);
        pressKey(Qt::Key_A);
        pressKey(Qt::Key_S, Qt::ControlModifier);
        EXPECT_FALSE(w.HolidayEdited());
        EXPECT_EQ(
            office.count(u"HDOCTable"_s, u"hdocDes='Gamma' AND hdocObsOn=3 AND hdocObsMon=3"_s), 1);

        // Back to the list on the saved row; Del asks as the button does.
        pressKey(Qt::Key_M, Qt::AltModifier);
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        EXPECT_EQ(currentName(w), u"Gamma"_s);
        prompts->expect(u"Would you like to delete Gamma?"_s, u"Delete Holiday Setup"_s, ui::vbYes);
        pressKey(Qt::Key_Delete);
        EXPECT_EQ(office.count(u"HDOCTable"_s), 1);
    });
    EXPECT_TRUE(SharedState::current().HolidayChanged);
}

// In large print on a dark desktop: Tab walks the window as it reads and every stop has a name;
// long names and their rules fit and no caption is cut.
TEST_F(HolidayKeyboard, TabWalksTheWindowAsItReadsAndLargeDarkPrintLeavesNothingCut)
{
    seed(u"Martin Luther King Jr. Day"_s, -1, 15, 0, 1, 0, 0, QString());
    seed(u"Day after Thanksgiving"_s, -1, 27, 0, 11, 0, 0, QString());
    Appearance largeDark(16);
    PrompterGuard prompts;
    withHolidayWindow([&](Ems_HolidayFrm& w) {
        ASSERT_EQ(focusedName(), u"TDBG"_s);
        // The list, the edit panel top to bottom, then the bottom row left to right.
        expectTabRing(&w,
                      {"txt_0", "Opt_0", "CMB_0", "CMB_1", "CMB_2", "CMB_3", "ChkNotAppToParEmp",
                       "cmdIcon", "CmdEd_0", "CmdEd_1", "cmd_2", "cmd_1", "cmd_3", "cmd_0"});

        pressKey(Qt::Key_Down);
        auto* grid = control<QTableView>(&w, "TDBG");
        const QFontMetrics fm = grid->fontMetrics();
        for (const QString& name : {u"Martin Luther King Jr. Day"_s, u"Day after Thanksgiving"_s})
            EXPECT_GE(grid->columnWidth(1), fm.horizontalAdvance(name)) << name.toStdString();
        const int rules = static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(2);
        EXPECT_GE(grid->viewport()->width() - grid->columnWidth(1), rules);
        EXPECT_EQ(cutCaptions(&w, true), QStringList());
        EXPECT_EQ(grid->palette().color(QPalette::Text), darkPalette().color(QPalette::Text));
        keepShot(&w, u"holidays-16pt-dark.png"_s);

        // The observed-date page has its own lists, named as well.
        pressKey(Qt::Key_O, Qt::AltModifier);
        EXPECT_EQ(focusedName(), u"Opt_1"_s);
        EXPECT_TRUE(QTest::qWaitFor([&] { return control<QWidget>(&w, "pics_1")->isVisible(); }));
        EXPECT_EQ(unnamedFocusable(&w), QStringList());
        QStringList chain = tabChain();
        EXPECT_EQ(chain.mid(0, 3), QStringList({"CMB_4", "CMB_5", "CMB_6"}));
        EXPECT_FALSE(chain.contains(u"<trap>"_s));
        for (const char* name : {"CmdEd_0", "cmd_1", "cmd_2"})
            EXPECT_FALSE(control<QWidget>(&w, QLatin1String(name))->toolTip().isEmpty()) << name;
    });
}
