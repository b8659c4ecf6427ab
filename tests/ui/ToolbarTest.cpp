#include "support/Files.h"
#include "support/ScriptedPrompter.h"
#include "ui/ImageList.h"
#include "ui/ToolbarBuilder.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
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

} // namespace

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
    tt::writeFile(folder + u"/Help.ico"_s, "not an icon");

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
