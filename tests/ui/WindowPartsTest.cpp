// The parts every window is made of: boxes and modal dialogs, placement on the screen, the
// toolbars and their icons.
#include "support/Files.h"
#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"
#include "ui/ImageList.h"
#include "ui/ScreenPlacement.h"
#include "ui/ToolbarBuilder.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
namespace tt = tzsndmsg::testing;

namespace {

const QString kMainKeys = QStringLiteral(
    ",MsgNew,,MsgSend,,Delete,,Refresh,,MsgIn,MsgSItem,,ChkAll,Purge,TDLstHis,,Help,Close,");
const QString kMainStyles = u"3,0,3,0,3,0,3,0,3,5,0,3,0,0,0,3,0,0,"_s;
const QString kMainTips = QStringLiteral(",New Message,,Send Message,,Delete,,Refresh,,Message "
                                         "Inbox,Message Sent Items,,Select All,Purge,"
                                         "View History,,Help,Close,");

// What the real box showed before it was answered.
struct SeenBox {
    bool shown = false;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    int buttonCount = 0;
    QString title;
};

// Answers the next real message box by clicking `press`, noting what it showed.
void answerRealBoxLater(QMessageBox::StandardButton press, SeenBox* seen)
{
    QTimer::singleShot(0, [press, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box came up";
            return;
        }
        *seen = {true, box->standardButton(box->defaultButton()), int(box->buttons().size()),
                 box->windowTitle()};
        box->button(press)->click();
    });
}

} // namespace

TEST(MessageBox, PrompterAnswersInsteadOfARealBoxUntilCleared)
{
    {
        tt::PrompterGuard prompter;
        prompter->expect(u"delete this message"_s, u"Delete Message"_s, ui::vbYes);
        EXPECT_EQ(ui::MessageBox::show({"Are you sure you want to delete this message?",
                                        "Delete Message", 4, 32, 0}),
                  ui::vbYes);
        ASSERT_EQ(prompter->shown.size(), 1);
        EXPECT_EQ(prompter->shown.first().buttons, 4);
        EXPECT_EQ(prompter->shown.first().icon, 32);
    }
    auto scripted = std::make_shared<tt::ScriptedPrompter>();
    ui::MessageBox::setPrompter(scripted);
    ui::MessageBox::setPrompter(nullptr);
    SeenBox seen;
    answerRealBoxLater(QMessageBox::Ok, &seen);
    EXPECT_EQ(ui::MessageBox::show({"Hello", "T", 0, 64, 0}), ui::vbOK);
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(scripted->shown.isEmpty());
}

TEST(MessageBox, RealBoxHasTheRequestedButtonsAndDefault)
{
    const struct {
        int buttons, defaultButton;
        QMessageBox::StandardButton press, expectedDefault;
        int expected, buttonCount;
    } cases[] = {
        {0, 0, QMessageBox::Ok, QMessageBox::Ok, ui::vbOK, 1},
        {1, 256, QMessageBox::Cancel, QMessageBox::Cancel, ui::vbCancel, 2},
        {3, 512, QMessageBox::No, QMessageBox::Cancel, ui::vbNo, 3},
        {4, 0, QMessageBox::Yes, QMessageBox::Yes, ui::vbYes, 2},
        {4, 256, QMessageBox::No, QMessageBox::No, ui::vbNo, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "buttons " << c.buttons << " default " << c.defaultButton);
        SeenBox seen;
        answerRealBoxLater(c.press, &seen);
        EXPECT_EQ(ui::MessageBox::show({"Text", "Title", c.buttons, 48, c.defaultButton}),
                  c.expected);
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(seen.defaultButton, c.expectedDefault);
        EXPECT_EQ(seen.buttonCount, c.buttonCount);
        EXPECT_EQ(seen.title, u"Title"_s);
    }
}

TEST(Modal, HandlerDrivesTheDialogAndNullRestoresExec)
{
    QDialog dialog;
    dialog.setObjectName(u"Probe"_s);
    QString handled;
    ui::setModalHandler([&](QDialog& d) {
        handled = d.objectName();
        return 42;
    });
    EXPECT_EQ(ui::showModal(dialog), 42);
    EXPECT_EQ(handled, u"Probe"_s);

    ui::setModalHandler(nullptr);
    QTimer::singleShot(0, [&] { dialog.done(7); });
    EXPECT_EQ(ui::showModal(dialog), 7);
    tt::expectNoVisibleWindows();
}

TEST(Modal, FileDialogSeamAndTheRealDialog)
{
    ui::FileDialogRequest request;
    request.title = u"Select Icon"_s;
    request.filter = u"Icon files (*.ico *.Ico)"_s;
    request.defaultExtension = u"ico"_s;
    request.startFolder = QDir::tempPath();

    ui::setFileDialogHandler([](const ui::FileDialogRequest& r) { return r.title + u".ico"_s; });
    EXPECT_EQ(ui::getOpenFileName(request), u"Select Icon.ico"_s);
    ui::setFileDialogHandler(nullptr);

    // Without a handler the real dialog comes up (through the modal seam): open, existing file.
    QFileDialog* seen = nullptr;
    QString title, suffix;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    ui::setModalHandler([&](QDialog& d) {
        if ((seen = qobject_cast<QFileDialog*>(&d))) {
            title = seen->windowTitle();
            mode = seen->fileMode();
            suffix = seen->defaultSuffix();
        }
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(ui::getOpenFileName(request), QString());
    ui::setModalHandler(nullptr);
    EXPECT_TRUE(seen);
    EXPECT_EQ(title, u"Select Icon"_s);
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(suffix, u"ico"_s);
}

TEST(ScreenPlacement, AWindowIsKeptInsideTheAreaAsNearAsItCanBe)
{
    // A 1366 by 768 screen less a 40 pixel panel at the bottom.
    const QRect area(0, 0, 1366, 728);
    const struct {
        const char* name;
        QPoint wanted;
        QSize frame;
        QRect placed;
    } cases[] = {
        {"room enough", {100, 100}, {420, 490}, {100, 100, 420, 490}},
        {"below the bottom edge", {300, 520}, {420, 490}, {300, 238, 420, 490}},
        {"past the right edge", {1200, 50}, {420, 490}, {946, 50, 420, 490}},
        {"above and left of the area", {-50, -20}, {420, 490}, {0, 0, 420, 490}},
        {"taller than the area", {10, 10}, {420, 900}, {10, 0, 420, 728}},
        {"fills it exactly", {0, 0}, {1366, 728}, {0, 0, 1366, 728}},
    };
    for (const auto& c : cases) {
        const QRect placed = ui::placeInside(area, c.frame, c.wanted);
        EXPECT_EQ(placed, c.placed) << c.name;
        EXPECT_TRUE(area.contains(placed)) << c.name;
    }
    // An area that does not start at the origin (a second screen).
    EXPECT_EQ(ui::placeInside(QRect(1366, 0, 1280, 800), {420, 490}, {2600, 700}),
              QRect(2226, 310, 420, 490));
}

TEST(ScreenPlacement, PlacedAndCentredWindowsStayOnTheScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QDialog dialog;
    dialog.resize(area.width() + 200, 300); // wider than the screen
    ui::placeOnScreen(&dialog, area.bottomRight());
    const QMargins frame = ui::frameAllowance(&dialog);
    EXPECT_TRUE(area.contains(QRect(dialog.pos(), dialog.size().grownBy(frame))));
    EXPECT_LE(dialog.width(), area.width());

    dialog.resize(300, 200);
    ui::centreOnScreen(&dialog);
    const QRect outer = QRect(dialog.pos(), dialog.size().grownBy(ui::frameAllowance(&dialog)));
    EXPECT_TRUE(area.contains(outer));
    EXPECT_LE(std::abs(outer.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(outer.center().y() - area.center().y()), 1);
}

TEST(ToolbarBuilder, ClicksAndMenuEntriesReportTheirKeys)
{
    QToolBar toolbar;
    ui::ToolbarBuilder builder(&toolbar);
    ASSERT_TRUE(builder.build(u",MsgHis,,MsgSend,,Help,Close,"_s, u"3,5,3,0,3,0,0,"_s,
                              u",Message History,,Send Message,,Help,Close,"_s));
    ASSERT_TRUE(builder.addMenuEntry(u"MsgHis"_s, u"MsgHisMsg"_s, u"Message Category Only"_s));
    ASSERT_TRUE(builder.addMenuEntry(u"msghis"_s, u"MsgHisAll"_s, u"All Categories"_s));
    EXPECT_FALSE(builder.addMenuEntry(u"Help"_s, u"X"_s, u"x"_s));

    QSignalSpy clicks(&builder, &ui::ToolbarBuilder::buttonClicked);
    QSignalSpy entries(&builder, &ui::ToolbarBuilder::menuEntryClicked);
    builder.button(u"MsgSend"_s)->click();
    builder.button(u"MsgHis"_s)->click();
    builder.menuEntry(u"MSGHISALL"_s)->trigger();
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks.at(0).at(0).toString(), u"MsgSend"_s);
    EXPECT_EQ(clicks.at(1).at(0).toString(), u"MsgHis"_s);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.at(0).at(0).toString(), u"MsgHis"_s);
    EXPECT_EQ(entries.at(0).at(1).toString(), u"MsgHisAll"_s);
    const QList<QAction*> menuActions = builder.menu(u"MsgHis"_s)->actions();
    ASSERT_EQ(menuActions.size(), 2);
    EXPECT_EQ(menuActions.at(0)->text(), u"Message Category Only"_s);
}

// A button's key follows its tooltip, whatever the tooltip becomes; the plain text is what the
// window compares and what a screen reader reads as the button's name.
TEST(ToolbarBuilder, KeysShowInTooltipsAndPressTheButton)
{
    QToolBar toolbar;
    ui::ToolbarBuilder builder(&toolbar);
    ASSERT_TRUE(builder.build(kMainKeys, kMainStyles, kMainTips));
    builder.setShortcuts("MsgSend", {QKeySequence(Qt::CTRL | Qt::Key_Return),
                                     QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    builder.setShortcuts("chkall", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)});
    builder.setShownKey("Close", QKeySequence(Qt::Key_Escape));
    builder.setToolTip("ChkAll", "Deselect All");
    struct Case {
        const char* key;
        const char* plain;
        const char* shown;
    } cases[] = {
        {"MsgSend", "Send Message", "Send Message (Ctrl+Return)"},
        {"ChkAll", "Deselect All", "Deselect All (Ctrl+Shift+A)"},
        {"Close", "Close", "Close (Esc)"},
        {"Refresh", "Refresh", "Refresh"}, // no key, nothing added
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(builder.toolTip(c.key), c.plain);
        EXPECT_EQ(builder.shownToolTip(c.key), c.shown);
        EXPECT_EQ(builder.button(c.key)->toolTip(), c.shown);
        EXPECT_EQ(builder.action(c.key)->text(), c.plain);
    }
    EXPECT_EQ(builder.action("MsgSend")->shortcuts().size(), 2);
    EXPECT_TRUE(builder.action("Close")->shortcut().isEmpty()); // shown only: the window answers it
    // Keys taken away: the tooltip is as given again.
    builder.setShortcuts("MsgSend", {});
    EXPECT_EQ(builder.shownToolTip("MsgSend"), "Send Message");
}

TEST(ToolbarBuilder, ListsOfDifferentLengthAddNothing)
{
    QToolBar toolbar;
    ui::ToolbarBuilder builder(&toolbar);
    QString error;
    EXPECT_FALSE(builder.build(u",A,B,"_s, u"3,0,"_s, u",a,b,"_s, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(builder.build(u"A"_s, u"9"_s, u"a"_s, &error));
    EXPECT_TRUE(toolbar.actions().isEmpty());
}

TEST(ImageList, MissingIconsAreListedInOneBox)
{
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(u"ico/Small"_s));
    const QString folder = data.filePath(u"ico/Small"_s);
    // Every icon but three; one of those exists but is not a picture; names differ in case.
    const QStringList absent = {"Message History", "Purge"};
    for (const auto& e : ui::ImageList::messageWindowEntries()) {
        if (absent.contains(e.baseName) || e.baseName == u"Help"_s)
            continue;
        tt::writeIcon(folder + QLatin1Char('/') + e.baseName.toLower() + u".ICO"_s);
    }
    ASSERT_TRUE(tt::writeFile(folder + u"/Help.ico"_s, "not an icon"));

    tt::PrompterGuard prompter;
    prompter->expect(u"ZELO Windows ICO\\SMALL folder"_s, u"Missing Files"_s, 1);
    ui::ImageList images;
    const QStringList missing = ui::Load_ImaList(images, data.path() + QLatin1Char('/'));
    EXPECT_EQ(missing, QStringList({"Message History.ico", "Help.ico", "Purge.ico"}));
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(
        prompter->shown.first().text,
        QStringLiteral("The following file(s) are missing from your ZELO Windows ICO\\SMALL folder:"
                       "\n\nMessage History.ico, Help.ico, Purge.ico\n\n"
                       "ZELO Windows may not function properly without these files. \n"
                       "Please contact ZELO's Support Department to find out how to restore these "
                       "files."));
    EXPECT_TRUE(images.contains(u"msgnew"_s));
    EXPECT_FALSE(images.icon(u"Msg"_s).isNull());
    EXPECT_FALSE(images.contains(u"Purge"_s));
    // No file for the grid's check mark: it is drawn.
    EXPECT_FALSE(images.checkMark().isNull());

    // The next window shows the files as they are then: one mended, one gone, one changed.
    QFile::remove(folder + u"/Help.ico"_s);
    tt::writeIcon(folder + u"/Help.ico"_s);
    ASSERT_TRUE(QFile::remove(folder + u"/patient.ICO"_s));
    tt::writeIcon(folder + u"/message.ICO"_s, Qt::blue, 32);
    prompter->expect(u"Patient.ico"_s, u"Missing Files"_s, 1);
    EXPECT_EQ(ui::Load_ImaList(images, data.path() + QLatin1Char('/')),
              QStringList({"Patient.ico", "Message History.ico", "Purge.ico"}));
    EXPECT_TRUE(images.contains(u"Help"_s));
    EXPECT_EQ(images.icon(u"Msg"_s).availableSizes(), QList<QSize>{QSize(32, 32)});
}
