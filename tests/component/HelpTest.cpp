#include "state/Help.h"

#include "state/HostDialogs.h"
#include "state/SharedState.h"
#include "support/Files.h"
#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/tzGlobal.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace tzsndmsg {
namespace {

using namespace testing;

// A help folder of small pages, services pointing at it, and a clean help-file choice.
class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.path() + QLatin1Char('/');
        writeFile(folder + u"index.html"_s, "<p>Contents page</p>");
        writeFile(folder + u"messages.html"_s, "<p>Messages page</p>");
        writeFile(folder + u"picker.html"_s, "<p>Picker page</p>");
        writeFile(folder + u"map.txt"_s,
                  "# ids\n\n3007=messages.html\n 3005 = picker.html \nbad line\n"
                  "3099=missing.html\nx=messages.html\n");
        tzglob::Config config;
        config.helpFolder = folder;
        services = std::make_shared<tzglob::tzGlobal>(config);
        ResetHelpFile();
        SharedState::current().GIC = services;
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpViewer"))
                delete w;
        SharedState::current().GIC.reset();
        ResetHelpFile();
    }
    // The shown page's text, empty when no help window is shown.
    static QString shownText()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpViewer") && w->isVisible())
                if (auto* b = w->findChild<QTextBrowser*>())
                    return b->toPlainText().trimmed();
        return QString();
    }

    QTemporaryDir dir;
    QString folder;
    std::shared_ptr<tzglob::tzGlobal> services;
};

TEST_F(HelpTest, HelpFileIsChosenOncePerProcessOnceServicesExist)
{
    SharedState::current().GIC.reset();
    SetupHelpFile();
    EXPECT_TRUE(SharedState::current().HelpFile.isEmpty());
    SharedState::current().GIC = services;
    SetupHelpFile();
    EXPECT_EQ(SharedState::current().HelpFile, folder + u"ZELOWIN.CHM"_s);

    services->setQnsProductLine(true);
    SetupHelpFile();
    EXPECT_EQ(SharedState::current().HelpFile, folder + u"ZELOWIN.CHM"_s);
    ResetHelpFile();
    SetupHelpFile();
    EXPECT_EQ(SharedState::current().HelpFile, folder + u"QNS.CHM"_s);
}

TEST_F(HelpTest, MapGivesThePageOfAContextId)
{
    const QString helpFile = folder + u"ZELOWIN.CHM"_s;
    const std::pair<int, const char*> cases[] = {{3007, "messages.html"},
                                                 {3005, "picker.html"}, // blanks around the entry
                                                 {3099, nullptr},       // mapped page is missing
                                                 {4242, nullptr},
                                                 {0, nullptr}};
    for (const auto& [id, page] : cases)
        EXPECT_EQ(helpPageFor(helpFile, id), page ? folder + QLatin1String(page) : QString()) << id;

    // A help file that is itself a folder of pages wins over the help folder.
    ASSERT_TRUE(QDir(folder).mkdir(u"QNS.CHM"_s));
    writeFile(folder + u"QNS.CHM/map.txt"_s, "3007=qns.html\n");
    writeFile(folder + u"QNS.CHM/qns.html"_s, "<p>QNS</p>");
    EXPECT_EQ(helpPageFor(folder + u"QNS.CHM"_s, 3007), folder + u"QNS.CHM/qns.html"_s);
}

TEST_F(HelpTest, TopicOpensItsPageUnknownIdsTheContentsNoPagesSaySo)
{
    ShowHelpTopic(nullptr, 3007);
    EXPECT_EQ(shownText(), u"Messages page"_s);

    ShowHelpTopic(nullptr, 4242);
    EXPECT_EQ(shownText(), u"Contents page"_s);

    int viewers = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("HelpViewer")) {
            ++viewers;
            EXPECT_FALSE(static_cast<QDialog*>(w)->isModal());
        }
    EXPECT_EQ(viewers, 1) << "one help window, reused";

    // No pages at all: the window says help is missing.
    tzglob::Config config;
    config.helpFolder = folder + u"nowhere/"_s;
    SharedState::current().GIC = std::make_shared<tzglob::tzGlobal>(config);
    ResetHelpFile();
    ShowHelpContents(nullptr);
    EXPECT_TRUE(shownText().startsWith(u"Help is not installed"_s));
}

TEST_F(HelpTest, ContextHelpTakesTheFocusedControlThenTheWindow)
{
    QDialog form;
    auto* layout = new QVBoxLayout(&form);
    auto* first = new QLineEdit(&form);
    auto* second = new QLineEdit(&form);
    layout->addWidget(first);
    layout->addWidget(second);
    SetHelpContext(&form, 3007);
    EXPECT_EQ(second->property("helpContextId").toInt(), 3007);
    second->setProperty("helpContextId", 3005);
    first->setProperty("helpContextId", 0);
    form.show();
    QApplication::setActiveWindow(&form);
    testing::pump();

    second->setFocus();
    testing::pump();
    ShowContextHelp(&form);
    EXPECT_EQ(shownText(), u"Picker page"_s);

    first->setFocus(); // no id of its own: the window's
    testing::pump();
    ShowContextHelp(&form);
    EXPECT_EQ(shownText(), u"Messages page"_s);

    form.setProperty("helpContextId", 0);
    ShowContextHelp(&form);
    EXPECT_EQ(shownText(), u"Contents page"_s);
    form.hide();
}

// The pages shipped with the program: every mapped id has its page, every link its target.
TEST(HelpPages, ShippedPagesAreComplete)
{
    const QString shipped = QStringLiteral(TZSNDMSG_HELP_SOURCE_DIR "/");
    const QString helpFile = shipped + u"ZELOWIN.CHM"_s;
    for (int id : {int(HelpPicker), int(HelpMessages), int(HelpEventsAndHolidays)})
        EXPECT_FALSE(helpPageFor(helpFile, id).isEmpty()) << id;
    ASSERT_TRUE(QFile::exists(shipped + u"index.html"_s));

    const QRegularExpression link(u"(?:href|src)=\"([^\"#:]+)\""_s);
    const QStringList pages = QDir(shipped).entryList({u"*.html"_s});
    EXPECT_GE(pages.size(), 5);
    for (const QString& page : pages) {
        QFile file(shipped + page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFile::exists(shipped + target))
                << page.toStdString() << " -> " << target.toStdString();
        }
    }
}

TEST(SharedState, InstanceResetRestoresTheMessageContextAndKeepsTheRest)
{
    SharedState& s = SharedState::current();
    const SharedState saved = s;

    s.AnnouncementMode = s.DefaultSaveToPID = s.ReplyAutoSend = s.ReminderFlag = true;
    s.SndMsgHistoryButtonVisible = true;
    s.PatientID = 12;
    s.ReplyBCID = 44;
    s.ReplyFlag = 2;
    s.ReminderDate = s.ReminderTime = QDateTime(QDate(2026, 12, 7), QTime(9, 30));
    s.Notes = u"call back"_s;
    s.LinkTyp = 4;
    s.LinkID = 77;
    s.ClockInterval = 5;
    // Values that belong to the thread, not to an instance.
    s.CurrentEmployeeID = 9;
    s.HolidayChanged = s.RightToEdit = s.MsgHisOn = true;
    s.LastSavedMessageID = 31;
    s.LoginNames = {QString(), u"SUPERVISOR"_s};

    s.resetInstanceValues();

    EXPECT_FALSE(s.AnnouncementMode || s.DefaultSaveToPID || s.ReplyAutoSend || s.ReminderFlag ||
                 s.SndMsgHistoryButtonVisible);
    EXPECT_EQ(s.PatientID, 0);
    EXPECT_EQ(s.ReplyBCID, 0);
    EXPECT_EQ(s.ReplyFlag, -1);
    EXPECT_EQ(s.ReminderDate, SharedState::zeroDate());
    EXPECT_EQ(s.ReminderTime, SharedState::zeroDate());
    EXPECT_TRUE(s.Notes.isEmpty());
    EXPECT_EQ(s.LinkTyp, 0);
    EXPECT_EQ(s.LinkID, 0);
    EXPECT_EQ(s.ClockInterval, 15);

    EXPECT_EQ(s.CurrentEmployeeID, 9);
    EXPECT_TRUE(s.HolidayChanged && s.RightToEdit && s.MsgHisOn);
    EXPECT_EQ(s.LastSavedMessageID, 31);
    EXPECT_EQ(s.LoginNames.size(), 2);
    s = saved;
}

TEST(SharedState, EachThreadHasItsOwn)
{
    SharedState::current().PatientID = 5;
    qint32 seenOnOtherThread = -1;
    QDateTime reminderOnOtherThread;
    std::thread other([&] {
        // A thread's first state has the automation zero date, not an invalid one.
        reminderOnOtherThread = SharedState::current().ReminderDate;
        seenOnOtherThread = SharedState::current().PatientID;
        SharedState::current().PatientID = 99;
    });
    other.join();
    EXPECT_EQ(seenOnOtherThread, 0);
    EXPECT_EQ(reminderOnOtherThread, QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(SharedState::current().PatientID, 5);
    SharedState::current().PatientID = 0;
}

TEST(TodoEntryDialog, AcceptsAnEditedTitleRefusesABlankOneAndCancelKeepsIt)
{
    PrompterGuard prompter;
    prompter->expect(u"Please enter a title for the to-do entry."_s, u"To Do Entry"_s, 1);
    ModalScript script;
    script
        .then([](QDialog& dialog) {
            auto* title = control<QLineEdit>(&dialog, u"txtTitle"_s);
            EXPECT_EQ(title->text(), u"Lab results"_s);
            title->setText(u"   "_s);
            control<QPushButton>(&dialog, u"cmdOK"_s)->click();
            EXPECT_EQ(dialog.result(), 0) << "a blank title must not be accepted";
            title->setText(u"  Call Mrs Diaz about lab results "_s);
            control<QPushButton>(&dialog, u"cmdOK"_s)->click();
            return dialog.result();
        })
        .then([](QDialog& dialog) {
            control<QLineEdit>(&dialog, u"txtTitle"_s)->setText(u"x"_s);
            control<QPushButton>(&dialog, u"cmdCancel"_s)->click();
            return dialog.result();
        });
    QString title = u"Lab results"_s;
    EXPECT_TRUE(showTodoEntryDialog(nullptr, title));
    EXPECT_EQ(title, u"Call Mrs Diaz about lab results"_s);
    EXPECT_FALSE(showTodoEntryDialog(nullptr, title));
    EXPECT_EQ(title, u"Call Mrs Diaz about lab results"_s);
}

TEST(CannedTextChooser, ReturnsTheChosenTextNotItsTitle)
{
    const QList<QPair<QString, QString>> entries = {
        {"Recall", "Please call the patient for a recall."},
        {QString(), u"Insurance card missing\nAsk at the next visit."_s},
    };
    ModalScript script;
    script
        .then([](QDialog& dialog) {
            auto* list = control<QListWidget>(&dialog, u"lstTexts"_s);
            auto* ok = control<QPushButton>(&dialog, u"cmdOK"_s);
            EXPECT_FALSE(ok->isEnabled());
            EXPECT_EQ(list->item(1)->text(), u"Insurance card missing"_s);
            list->setCurrentRow(1);
            EXPECT_TRUE(ok->isEnabled());
            ok->click();
            return dialog.result();
        })
        .then([](QDialog& dialog) {
            control<QListWidget>(&dialog, u"lstTexts"_s)->setCurrentRow(0);
            control<QPushButton>(&dialog, u"cmdCancel"_s)->click();
            return dialog.result();
        })
        .then([](QDialog& dialog) {
            // An empty store says so and cannot be accepted.
            EXPECT_TRUE(control<QLabel>(&dialog, u"lblEmpty"_s));
            EXPECT_FALSE(control<QPushButton>(&dialog, u"cmdOK"_s)->isEnabled());
            return int(QDialog::Rejected);
        });
    EXPECT_EQ(chooseCannedTextFrom(nullptr, u"Office Texts"_s, entries),
              u"Insurance card missing\nAsk at the next visit."_s);
    EXPECT_TRUE(chooseCannedTextFrom(nullptr, u"Office Texts"_s, entries).isEmpty());
    EXPECT_TRUE(chooseCannedTextFrom(nullptr, QString(), {}).isEmpty());
}

TEST(HostDialogs, InstalledOnlyWhereTheHostHasNone)
{
    auto bare = std::make_shared<tzglob::tzGlobal>(tzglob::Config());
    installHostDialogs(bare);
    EXPECT_TRUE(bare->hasTodoDialogHandler());
    EXPECT_TRUE(bare->hasCannedTextHandler());
    {
        ModalScript script;
        script.then([](QDialog& dialog) {
            EXPECT_EQ(dialog.objectName(), u"TodoEntryDialog"_s);
            return int(QDialog::Rejected);
        });
        QString title = u"t"_s;
        EXPECT_FALSE(bare->openTodoDialog(nullptr, title));
    }

    auto hosted = std::make_shared<tzglob::tzGlobal>(tzglob::Config());
    int calls = 0;
    hosted->setTodoDialogHandler([&calls](QObject*, QString&) { return ++calls, true; });
    installHostDialogs(hosted);
    QString title = u"t"_s;
    EXPECT_TRUE(hosted->openTodoDialog(nullptr, title));
    EXPECT_EQ(calls, 1) << "the host's own dialog stays";

    installHostDialogs(nullptr); // no services: nothing to do
}

} // namespace
} // namespace tzsndmsg
