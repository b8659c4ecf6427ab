#include "state/Help.h"

#include "core/FileSystemHelpers.h"
#include "state/SharedState.h"
#include "support/GuiDriver.h"
#include "tzsndmsg/tzGlobal.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg {
namespace {

using testing::writeFile;

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

} // namespace
} // namespace tzsndmsg
