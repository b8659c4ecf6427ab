#include "holidays/Ems_HolidayFrm.h"
#include "holidays/HolidayStart.h"

#include "component/SharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/ui/Modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>

#include <gtest/gtest.h>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QString kFlag = QStringLiteral("icons\\FlagUsa.ico");

void writeIcon(const QString& path, QColor colour = Qt::red)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(path, "ICO")) << path.toStdString();
}

} // namespace

class HolidayWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedState::current() = SharedState{};
        SharedState::current().GIC = office.services();
        if (!QFile::exists(office.dataFolder() + QStringLiteral("icons/FlagUsa.ico")))
            writeIcon(office.dataFolder() + QStringLiteral("icons/FlagUsa.ico"));
    }
    void TearDown() override
    {
        ui::setFileDialogHandler(nullptr);
        SharedState::current() = SharedState{};
        expectNoVisibleWindows();
    }

    qint64 seed(const QString& name, int useDat, int obsOn, int weekday, int month, int sat = 0,
                int sun = 0, const QString& icon = kFlag)
    {
        return office.insert(QStringLiteral("HDOCTable"), QStringLiteral("hdocID"),
                             {"hdocDes", "hdocInAct", "hdocUseDatFla", "hdocObsOn", "hdocObsWeeDay",
                              "hdocObsMon", "hdocOnSat", "hdocOnSun", "hdocIcoFilNam",
                              "hdocNotAppToParEmp", "hdocHolFla", "hdocOffColFla", "hdocPayFla"},
                             {name, 1, useDat, obsOn, weekday, month, sat, sun, icon, 0, -1, -1, -1});
    }
    // One stored column of a holiday.
    QVariant stored(qint64 id, const QString& column)
    {
        db::Recordset rs = office.query(QStringLiteral("select * from HDOCTable where hdocID=?"), {id});
        if (rs.isEmpty()) {
            ADD_FAILURE() << "no holiday " << id;
            return {};
        }
        return rs.value(column);
    }
    int storedInt(qint64 id, const char* column) { return stored(id, QLatin1String(column)).toInt(); }
    qint64 onlyNewId()
    {
        return office.scalar(QStringLiteral("select max(hdocID) from HDOCTable")).toLongLong();
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
    static QString currentName(Ems_HolidayFrm& w)
    {
        const QModelIndex i = grid(w)->currentIndex();
        return i.isValid() ? grid(w)->model()->index(i.row(), 1).data().toString() : QString();
    }
    static void choose(Ems_HolidayFrm& w, int cmb, const QString& text)
    {
        auto* c = control<QComboBox>(&w, QStringLiteral("CMB_%1").arg(cmb));
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
};

TEST_F(HolidayWindow, ListsActiveHolidaysWithRuleTextHiddenColumnsAndWidths)
{
    seed(QStringLiteral("Thanksgiving"), 0, 4, 5, 11);
    seed(QStringLiteral("Independence Day"), -1, 4, 0, 7, 1, 2);
    seed(QStringLiteral("Memorial Day"), 0, 0, 2, 5);
    office.exec(QStringLiteral("update HDOCTable set hdocInAct=-1 where hdocDes='Memorial Day'"));
    const qint64 other = seed(QStringLiteral("Inventory"), -1, 2, 0, 1);
    office.exec(QStringLiteral("update HDOCTable set hdocHolFla=0 where hdocID=?"), {other});
    SharedState::current().HolidayChanged = true;

    auto w = open();
    EXPECT_FALSE(SharedState::current().HolidayChanged);
    EXPECT_EQ(w->objectName(), QStringLiteral("Ems_HolidayFrm"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Holiday Setup Screen"));
    QTableView* g = grid(*w);
    ASSERT_EQ(g->model()->rowCount(), 2);
    EXPECT_EQ(g->model()->index(0, 1).data().toString(), QStringLiteral("Independence Day"));
    EXPECT_EQ(dateCell(*w, QStringLiteral("Independence Day")), QStringLiteral("4th day of July"));
    EXPECT_EQ(dateCell(*w, QStringLiteral("Thanksgiving")),
              QStringLiteral("on the Fourth Thursday of November"));
    const QStringList visible = {QStringLiteral("Description"), QStringLiteral("Date")};
    for (int c = 0; c < g->model()->columnCount(); ++c) {
        const QString header = g->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(g->isColumnHidden(c), !visible.contains(header)) << header.toStdString();
    }
    EXPECT_EQ(g->columnWidth(1), 158);
    EXPECT_FALSE(g->currentIndex().isValid()); // no holiday loaded on opening
    EXPECT_EQ(w->CurrentHolidayID(), 0);
}

TEST_F(HolidayWindow, ControlsCombosAndComboIndex)
{
    auto w = open();
    const std::pair<const char*, const char*> captions[] = {
        {"Opt_0", "Use actual date"}, {"Opt_1", "Use observed date"},
        {"ChkNotAppToParEmp", "Do not apply this holiday to part time employees."},
        {"cmdIcon", "&Icon"}, {"cmd_0", "E&xit"}, {"cmd_1", "&Delete"}, {"cmd_2", "&New"},
        {"cmd_3", "&Help"}, {"CmdEd_0", "&Save"}, {"CmdEd_1", "&Cancel"}};
    for (const auto& [objectName, caption] : captions) {
        auto* b = control<QAbstractButton>(w.get(), QLatin1String(objectName));
        ASSERT_TRUE(b);
        EXPECT_EQ(b->text(), QLatin1String(caption));
    }
    for (const char* n : {"txt_0", "PicIcon", "pics_0", "pics_1"})
        EXPECT_TRUE(w->findChild<QWidget*>(QLatin1String(n))) << n;

    struct Combo {
        int index;
        int count;
        QString first, last;
        int firstValue, lastValue;
    };
    const Combo combos[] = {
        {0, 31, "1st", "31st", 1, 31},          {1, 12, "January", "December", 1, 12},
        {2, 3, "No alternate day", "Monday after", 0, 2},
        {3, 3, "No alternate date", "Monday after", 0, 2},
        {4, 5, "First", "Last", 1, 0},          {5, 7, "Monday", "Sunday", 2, 1},
        {6, 12, "January", "December", 1, 12}};
    for (const Combo& c : combos) {
        auto* cmb = control<QComboBox>(w.get(), QStringLiteral("CMB_%1").arg(c.index));
        ASSERT_TRUE(cmb);
        ASSERT_EQ(cmb->count(), c.count) << c.index;
        EXPECT_EQ(cmb->itemText(0), c.first);
        EXPECT_EQ(cmb->itemText(c.count - 1), c.last);
        EXPECT_EQ(cmb->itemData(0).toInt(), c.firstValue);
        EXPECT_EQ(cmb->itemData(c.count - 1).toInt(), c.lastValue);
    }
    auto* days = control<QComboBox>(w.get(), "CMB_0");
    EXPECT_EQ(days->itemText(1), QStringLiteral("2nd"));
    EXPECT_EQ(days->itemText(2), QStringLiteral("3rd"));
    EXPECT_EQ(days->itemText(10), QStringLiteral("11th"));
    EXPECT_EQ(days->itemText(11), QStringLiteral("12th"));
    EXPECT_EQ(days->itemText(21), QStringLiteral("22nd"));

    // Every stored value lands on the entry that carries it.
    for (int cmb = 0; cmb < 7; ++cmb) {
        auto* c = control<QComboBox>(w.get(), QStringLiteral("CMB_%1").arg(cmb));
        for (int i = 0; i < c->count(); ++i)
            EXPECT_EQ(Ems_HolidayFrm::HolidayComboIndex(cmb, c->itemData(i).toInt()), i)
                << "CMB_" << cmb << " entry " << i;
    }
}

TEST_F(HolidayWindow, RuleOnLastMondayOfMayIsStoredAndShown)
{
    PrompterGuard prompts;
    auto w = open();
    click(*w, "cmd_2");
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Holiday Setup/ New"));
    name(*w)->setText(QStringLiteral("Memorial Day"));
    click(*w, "Opt_1");
    EXPECT_EQ(w->findChild<QStackedWidget*>()->currentWidget()->objectName(), QStringLiteral("pics_1"));
    choose(*w, 4, QStringLiteral("Last"));
    choose(*w, 5, QStringLiteral("Monday"));
    choose(*w, 6, QStringLiteral("May"));
    click(*w, "CmdEd_0");

    const qint64 id = onlyNewId();
    ASSERT_GT(id, 0);
    EXPECT_EQ(w->CurrentHolidayID(), id);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Holiday Setup/ ID = %1").arg(id));
    EXPECT_EQ(stored(id, "hdocDes").toString(), QStringLiteral("Memorial Day"));
    const std::pair<const char*, int> expected[] = {
        {"hdocInAct", 1},      {"hdocUseDatFla", 0}, {"hdocObsOn", 0},   {"hdocObsWeeDay", 2},
        {"hdocObsMon", 5},     {"hdocOnSat", 0},     {"hdocOnSun", 0},   {"hdocNotAppToParEmp", 0},
        {"hdocHolFla", -1},    {"hdocOffColFla", -1}, {"hdocPayFla", -1}};
    for (const auto& [column, value] : expected)
        EXPECT_EQ(storedInt(id, column), value) << column;
    EXPECT_EQ(stored(id, "hdocIcoFilNam").toString(), kFlag);
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    EXPECT_EQ(stored(id, "hdocStaDat").toDateTime(), zero);
    EXPECT_EQ(stored(id, "hdocEndDat").toDateTime(), zero);

    EXPECT_EQ(dateCell(*w, QStringLiteral("Memorial Day")), QStringLiteral("on the Last Monday of May"));
    EXPECT_EQ(currentName(*w), QStringLiteral("Memorial Day"));
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    EXPECT_FALSE(w->HolidayEdited());
}

TEST_F(HolidayWindow, FixedFourthOfJulyWithFridayPriorAndBlankName)
{
    PrompterGuard prompts;
    auto w = open();
    click(*w, "cmd_2");
    name(*w)->setText(QStringLiteral("Independence Day"));
    choose(*w, 0, QStringLiteral("4th"));
    choose(*w, 1, QStringLiteral("July"));
    choose(*w, 2, QStringLiteral("Friday prior"));
    control<QCheckBox>(w.get(), "ChkNotAppToParEmp")->setChecked(true);
    click(*w, "CmdEd_0");
    const qint64 july = onlyNewId();
    const std::pair<const char*, int> expected[] = {
        {"hdocUseDatFla", -1}, {"hdocObsOn", 4}, {"hdocObsWeeDay", 0}, {"hdocObsMon", 7},
        {"hdocOnSat", 1},      {"hdocOnSun", 0}, {"hdocNotAppToParEmp", 1}};
    for (const auto& [column, value] : expected)
        EXPECT_EQ(storedInt(july, column), value) << column;
    EXPECT_EQ(dateCell(*w, QStringLiteral("Independence Day")), QStringLiteral("4th day of July"));

    // A name of blanks is not empty: it passes and keeps its blanks.
    click(*w, "cmd_2");
    name(*w)->setText(QStringLiteral("   "));
    choose(*w, 0, QStringLiteral("1st"));
    choose(*w, 1, QStringLiteral("January"));
    click(*w, "CmdEd_0");
    EXPECT_EQ(stored(onlyNewId(), "hdocDes").toString(), QStringLiteral("   "));
    EXPECT_EQ(office.count(QStringLiteral("HDOCTable")), 2);
}

TEST_F(HolidayWindow, SwitchingToRuleZeroesShiftsAndKeepsCreationOnlyColumns)
{
    const qint64 id = seed(QStringLiteral("Christmas"), -1, 25, 0, 12, 1, 2);
    office.exec(QStringLiteral("update HDOCTable set hdocInAct=0, hdocOffColFla=0, hdocPayFla=5, "
                               "hdocStaDat=?, hdocEndDat=? where hdocID=?"),
                {QStringLiteral("2020-01-02 00:00:00"), QStringLiteral("2021-03-04 00:00:00"), id});
    const QVariant staDat = stored(id, "hdocStaDat");
    const QVariant endDat = stored(id, "hdocEndDat");
    ASSERT_EQ(staDat.toDateTime(), QDateTime(QDate(2020, 1, 2), QTime(0, 0)));

    PrompterGuard prompts;
    auto w = open();
    selectRow(*w, QStringLiteral("Christmas"));
    EXPECT_EQ(w->CurrentHolidayID(), id);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Holiday Setup/ ID = %1").arg(id));
    EXPECT_EQ(control<QComboBox>(w.get(), "CMB_2")->currentText(), QStringLiteral("Friday prior"));
    EXPECT_EQ(control<QComboBox>(w.get(), "CMB_3")->currentText(), QStringLiteral("Monday after"));
    EXPECT_FALSE(w->HolidayEdited());

    click(*w, "Opt_1");
    choose(*w, 4, QStringLiteral("Fourth"));
    choose(*w, 5, QStringLiteral("Thursday"));
    choose(*w, 6, QStringLiteral("December"));
    click(*w, "CmdEd_0");

    EXPECT_EQ(office.count(QStringLiteral("HDOCTable")), 1);
    const std::pair<const char*, int> expected[] = {
        {"hdocUseDatFla", 0}, {"hdocObsOn", 4},     {"hdocObsWeeDay", 5}, {"hdocObsMon", 12},
        {"hdocOnSat", 0},     {"hdocOnSun", 0},     {"hdocInAct", 1},     {"hdocHolFla", -1},
        {"hdocOffColFla", 0}, {"hdocPayFla", 5}};
    for (const auto& [column, value] : expected)
        EXPECT_EQ(storedInt(id, column), value) << column;
    EXPECT_EQ(stored(id, "hdocStaDat"), staDat);
    EXPECT_EQ(stored(id, "hdocEndDat"), endDat);
    EXPECT_EQ(dateCell(*w, QStringLiteral("Christmas")),
              QStringLiteral("on the Fourth Thursday of December"));
}

TEST_F(HolidayWindow, ValidationGathersEveryReasonAndNoStaysInTheEdit)
{
    PrompterGuard prompts;
    auto w = open();
    click(*w, "cmd_2");
    click(*w, "Opt_1");
    choose(*w, 4, QStringLiteral("First"));
    prompts->expect(QString(), QStringLiteral("Holiday setup"), ui::vbNo);
    click(*w, "CmdEd_0");
    ASSERT_EQ(prompts->shown.size(), 1);
    const ui::MessageBoxRequest box = prompts->shown.last();
    EXPECT_EQ(box.text, QStringLiteral("Please double check the data for the following reason:\r\n\r\n"
                                       "[Name of Holiday] cannot be blank.\r\n"
                                       "Observed day of week and month cannot be empty.\r\n\r\n"
                                       "Would you like to proceed without saving current editing?"));
    EXPECT_EQ(box.buttons, 4);
    EXPECT_EQ(box.icon, 0);
    EXPECT_EQ(box.defaultButton, 256);
    EXPECT_TRUE(w->HolidayEdited());
    EXPECT_EQ(office.count(QStringLiteral("HDOCTable")), 0);

    // Fixed date: its own reason; Yes goes on without saving and keeps the edit flag.
    click(*w, "Opt_0");
    name(*w)->setText(QStringLiteral("Bank day"));
    choose(*w, 0, QStringLiteral("2nd"));
    prompts->expect(QStringLiteral("\r\n\r\nDay and month cannot be empty.\r\n\r\n"),
                    QStringLiteral("Holiday setup"), ui::vbYes);
    click(*w, "CmdEd_0");
    EXPECT_TRUE(w->HolidayEdited());
    EXPECT_EQ(office.count(QStringLiteral("HDOCTable")), 0);
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
            office.exec(QStringLiteral("delete from HDOCTable"));
            const qint64 a = seed(QStringLiteral("Alpha"), -1, 1, 0, 1);
            seed(QStringLiteral("Beta"), -1, 2, 0, 2);
            PrompterGuard prompts;
            auto w = open();
            bool closed = false;
            QObject::connect(w.get(), &QDialog::finished, [&closed] { closed = true; });
            selectRow(*w, QStringLiteral("Alpha"));
            name(*w)->setText(QStringLiteral("Alpha 2"));
            ASSERT_TRUE(w->HolidayEdited());

            prompts->expect(QStringLiteral("Would you like to save the changes?"),
                            QStringLiteral("Save Changes"), answer);
            switch (command) {
            case New: click(*w, "cmd_2"); break;
            case Exit: click(*w, "cmd_0"); break;
            case Cancel: click(*w, "CmdEd_1"); break;
            case RowChange: selectRow(*w, QStringLiteral("Beta")); break;
            }
            ASSERT_EQ(prompts->shown.size(), 1);
            EXPECT_EQ(prompts->shown.first().buttons, 3);
            EXPECT_EQ(prompts->shown.first().icon, 32);
            EXPECT_EQ(stored(a, "hdocDes").toString(),
                      answer == ui::vbYes ? QStringLiteral("Alpha 2") : QStringLiteral("Alpha"));
            EXPECT_EQ(SharedState::current().HolidayChanged, answer == ui::vbYes);

            if (answer == ui::vbCancel) {
                // The user stays in the edit, on its row.
                EXPECT_FALSE(closed);
                EXPECT_TRUE(w->HolidayEdited());
                EXPECT_EQ(name(*w)->text(), QStringLiteral("Alpha 2"));
                EXPECT_EQ(w->CurrentHolidayID(), a);
                EXPECT_EQ(currentName(*w), QStringLiteral("Alpha"));
                continue;
            }
            EXPECT_EQ(w->HolidayEdited(), command == Exit && answer == ui::vbNo);
            switch (command) {
            case New:
                EXPECT_EQ(w->CurrentHolidayID(), 0);
                EXPECT_EQ(name(*w)->text(), QString());
                EXPECT_EQ(w->windowTitle(), QStringLiteral("Holiday Setup/ New"));
                break;
            case Exit:
                EXPECT_TRUE(closed);
                break;
            case Cancel:
                EXPECT_EQ(w->CurrentHolidayID(), a);
                EXPECT_EQ(name(*w)->text(), stored(a, "hdocDes").toString());
                break;
            case RowChange:
                EXPECT_EQ(name(*w)->text(), QStringLiteral("Beta"));
                EXPECT_EQ(currentName(*w), QStringLiteral("Beta"));
                break;
            }
            EXPECT_FALSE(closed && command != Exit);
        }
    }
}

TEST_F(HolidayWindow, NoQuestionWithoutEditsAndCloseBoxDropsEdits)
{
    seed(QStringLiteral("Alpha"), -1, 1, 0, 1);
    PrompterGuard prompts; // any box fails
    auto w = open();
    selectRow(*w, QStringLiteral("Alpha"));
    click(*w, "cmd_2");
    click(*w, "CmdEd_1");
    selectRow(*w, QStringLiteral("Alpha"));
    name(*w)->setText(QStringLiteral("Changed"));
    w->show();
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(office.scalar(QStringLiteral("select hdocDes from HDOCTable")).toString(),
              QStringLiteral("Alpha"));
}

TEST_F(HolidayWindow, DeleteAsksWithTheTrimmedNameAndDeletesOnYes)
{
    const qint64 a = seed(QStringLiteral("  Alpha  "), -1, 1, 0, 1);
    seed(QStringLiteral("Beta"), -1, 2, 0, 2);
    PrompterGuard prompts;
    auto w = open();
    selectRow(*w, QStringLiteral("  Alpha  "));

    prompts->expect(QStringLiteral("Would you like to delete Alpha?"),
                    QStringLiteral("Delete Holiday Setup"), ui::vbNo);
    click(*w, "cmd_1");
    EXPECT_EQ(prompts->shown.last().text, QStringLiteral("Would you like to delete Alpha?"));
    EXPECT_EQ(prompts->shown.last().buttons, 4);
    EXPECT_EQ(prompts->shown.last().defaultButton, 256);
    EXPECT_EQ(office.count(QStringLiteral("HDOCTable")), 2);
    EXPECT_FALSE(SharedState::current().HolidayChanged);

    // Deleting asks nothing about unsaved edits; the deleted holiday leaves the panel.
    name(*w)->setText(QStringLiteral("Alpha edited"));
    prompts->expect(QStringLiteral("Would you like to delete Alpha?"), ui::vbYes);
    click(*w, "cmd_1");
    EXPECT_EQ(office.count(QStringLiteral("HDOCTable"), QStringLiteral("hdocID=?"), {a}), 0);
    EXPECT_EQ(grid(*w)->model()->rowCount(), 1);
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    EXPECT_NE(w->CurrentHolidayID(), a);
    EXPECT_EQ(name(*w)->text(), QStringLiteral("Beta"));
    EXPECT_FALSE(w->HolidayEdited());

    // With nothing listed there is nothing to delete and nothing is asked.
    prompts->expect(QStringLiteral("Beta"), ui::vbYes);
    click(*w, "cmd_1");
    EXPECT_EQ(office.count(QStringLiteral("HDOCTable")), 0);
    click(*w, "cmd_1");
}

TEST_F(HolidayWindow, IconFallsBackToTheFlagThenToNone)
{
    const qint64 missing = seed(QStringLiteral("Missing icon"), -1, 1, 0, 1, 0, 0,
                                QStringLiteral("icons\\Gone.ico"));
    seed(QStringLiteral("Other case"), -1, 2, 0, 1, 0, 0, QStringLiteral("ICONS\\flagusa.ICO"));
    PrompterGuard prompts;
    auto w = open();
    auto* picture = control<QLabel>(w.get(), "PicIcon");

    selectRow(*w, QStringLiteral("Other case"));
    EXPECT_EQ(w->iconPath(), QStringLiteral("ICONS\\flagusa.ICO"));
    EXPECT_EQ(picture->property("tag").toString(), QStringLiteral("ICONS\\flagusa.ICO"));
    EXPECT_FALSE(picture->pixmap().isNull());

    selectRow(*w, QStringLiteral("Missing icon"));
    EXPECT_EQ(w->iconPath(), kFlag);
    EXPECT_FALSE(picture->pixmap().isNull());

    ASSERT_TRUE(QFile::remove(office.dataFolder() + QStringLiteral("icons/FlagUsa.ico")));
    selectRow(*w, QStringLiteral("Other case"));
    selectRow(*w, QStringLiteral("Missing icon"));
    EXPECT_EQ(w->iconPath(), QString());
    EXPECT_TRUE(picture->pixmap().isNull());
    EXPECT_EQ(storedInt(missing, "hdocObsOn"), 1);
}

TEST_F(HolidayWindow, IconChoiceKeepsCopiesOrRefuses)
{
    const QString icons = office.dataFolder() + QStringLiteral("icons/");
    writeIcon(icons + QStringLiteral("Turkey.ico"), Qt::darkYellow);
    const QString outside = office.tempPath() + QStringLiteral("/outside/");
    writeIcon(outside + QStringLiteral("Pumpkin.Ico"), Qt::darkRed);
    writeIcon(outside + QStringLiteral("flagusa.ICO"), Qt::blue);
    QFile png(outside + QStringLiteral("picture.png"));
    ASSERT_TRUE(png.open(QIODevice::WriteOnly));
    png.close();

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
    EXPECT_EQ(requests.first().title, QStringLiteral("Please select a icon file"));
    EXPECT_EQ(requests.first().defaultExtension, QStringLiteral("Ico"));
    EXPECT_EQ(requests.first().fileName, QStringLiteral("FlagUsa.ico"));
    EXPECT_EQ(QDir(requests.first().startFolder).canonicalPath(), QDir(icons).canonicalPath());
    EXPECT_FALSE(w->HolidayEdited());

    // Not an icon.
    answer = outside + QStringLiteral("picture.png");
    prompts->expect(QStringLiteral("PICTURE.PNG is not an icon file.\r\n"
                                   "You can only select a file with an ICO extension."),
                    QStringLiteral("Icon file"), ui::vbOK);
    click(*w, "cmdIcon");
    EXPECT_EQ(w->iconPath(), kFlag);

    // A name the icons folder already holds, in another case, is refused and not copied.
    answer = outside + QStringLiteral("flagusa.ICO");
    prompts->expect(QStringLiteral("flagusa.ICO already exists in ") + office.dataFolder() +
                        QStringLiteral("ICONS file folder.\r\n"
                                       "Please rename the source icon file name and select it again."),
                    QStringLiteral("Icon file"), ui::vbOK);
    click(*w, "cmdIcon");
    EXPECT_EQ(w->iconPath(), kFlag);
    EXPECT_FALSE(w->HolidayEdited());
    EXPECT_EQ(QDir(icons).entryList(QDir::Files).size(), iconsBefore);

    // Already in the icons folder: kept relative, nothing copied (the click on the picture works too).
    answer = icons + QStringLiteral("Turkey.ico");
    QMouseEvent press(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(control<QLabel>(w.get(), "PicIcon"), &press);
    EXPECT_EQ(w->iconPath(), QStringLiteral("icons\\Turkey.ico"));
    EXPECT_TRUE(w->HolidayEdited());
    EXPECT_EQ(QDir(icons).entryList(QDir::Files).size(), iconsBefore);

    // From outside: copied into the icons folder.
    answer = outside + QStringLiteral("Pumpkin.Ico");
    click(*w, "cmdIcon");
    EXPECT_EQ(w->iconPath(), QStringLiteral("icons\\Pumpkin.Ico"));
    EXPECT_TRUE(QFile::exists(icons + QStringLiteral("Pumpkin.Ico")));
    EXPECT_FALSE(control<QLabel>(w.get(), "PicIcon")->pixmap().isNull());

    name(*w)->setText(QStringLiteral("Harvest"));
    choose(*w, 0, QStringLiteral("1st"));
    choose(*w, 1, QStringLiteral("October"));
    click(*w, "CmdEd_0");
    EXPECT_EQ(stored(onlyNewId(), "hdocIcoFilNam").toString(), QStringLiteral("icons\\Pumpkin.Ico"));
}

TEST_F(HolidayWindow, HolidayStartKeepsTheInstanceAndClearsHolidayChanged)
{
    seed(QStringLiteral("Alpha"), -1, 1, 0, 1);
    PrompterGuard prompts;
    Ems_HolidayFrm* first = nullptr;
    {
        ModalScript modal;
        modal.then([&](QDialog& dialog) {
            first = qobject_cast<Ems_HolidayFrm*>(&dialog);
            EXPECT_TRUE(first);
            EXPECT_FALSE(SharedState::current().HolidayChanged);
            selectRow(*first, QStringLiteral("Alpha"));
            name(*first)->setText(QStringLiteral("Alpha 2"));
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
            EXPECT_EQ(first->CurrentHolidayID(), office.scalar(QStringLiteral(
                                                     "select hdocID from HDOCTable")).toInt());
            EXPECT_EQ(name(*first)->text(), QStringLiteral("Alpha 2"));
            EXPECT_EQ(currentName(*first), QStringLiteral("Alpha 2"));
            return int(QDialog::Rejected);
        });
        runHolidayWindow();
    }
    EXPECT_FALSE(SharedState::current().HolidayChanged);
    EXPECT_EQ(&holidayWindow(), first);
    releaseHolidayWindow();
    EXPECT_FALSE(hasHolidayWindow());
}
