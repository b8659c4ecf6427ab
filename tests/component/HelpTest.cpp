#include "component/Help.h"

#include "component/SharedState.h"
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

namespace tzsndmsg {
namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A help folder of small pages, services pointing at it, and a clean help-file choice.
class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.path() + QLatin1Char('/');
        writeFile(folder + QStringLiteral("index.html"), "<p>Contents page</p>");
        writeFile(folder + QStringLiteral("messages.html"), "<p>Messages page</p>");
        writeFile(folder + QStringLiteral("picker.html"), "<p>Picker page</p>");
        writeFile(folder + QStringLiteral("map.txt"),
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

TEST_F(HelpTest, HelpFileIsChosenOncePerProcess)
{
    SetupHelpFile();
    EXPECT_EQ(SharedState::current().HelpFile, folder + QStringLiteral("ZELOWIN.CHM"));

    services->setQnsProductLine(true);
    SetupHelpFile();
    EXPECT_EQ(SharedState::current().HelpFile, folder + QStringLiteral("ZELOWIN.CHM"));

    ResetHelpFile();
    SetupHelpFile();
    EXPECT_EQ(SharedState::current().HelpFile, folder + QStringLiteral("QNS.CHM"));
}

TEST_F(HelpTest, WithoutServicesNothingIsChosenYet)
{
    SharedState::current().GIC.reset();
    SetupHelpFile();
    EXPECT_TRUE(SharedState::current().HelpFile.isEmpty());
    SharedState::current().GIC = services;
    SetupHelpFile();
    EXPECT_EQ(SharedState::current().HelpFile, folder + QStringLiteral("ZELOWIN.CHM"));
}

TEST_F(HelpTest, MapGivesThePageOfAContextId)
{
    const QString helpFile = folder + QStringLiteral("ZELOWIN.CHM");
    EXPECT_EQ(helpPageFor(helpFile, 3007), folder + QStringLiteral("messages.html"));
    EXPECT_EQ(helpPageFor(helpFile, 3005), folder + QStringLiteral("picker.html"));
    EXPECT_TRUE(helpPageFor(helpFile, 3099).isEmpty()) << "mapped page is missing";
    EXPECT_TRUE(helpPageFor(helpFile, 4242).isEmpty());
    EXPECT_TRUE(helpPageFor(helpFile, 0).isEmpty());

    // A help file that is itself a folder of pages wins over the help folder.
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("QNS.CHM")));
    writeFile(folder + QStringLiteral("QNS.CHM/map.txt"), "3007=qns.html\n");
    writeFile(folder + QStringLiteral("QNS.CHM/qns.html"), "<p>QNS</p>");
    EXPECT_EQ(helpPageFor(folder + QStringLiteral("QNS.CHM"), 3007),
              folder + QStringLiteral("QNS.CHM/qns.html"));
}

TEST_F(HelpTest, TopicOpensItsPageAndUnknownIdsFallBackToTheContents)
{
    ShowHelpTopic(nullptr, 3007);
    EXPECT_EQ(shownText(), QStringLiteral("Messages page"));

    ShowHelpTopic(nullptr, 4242);
    EXPECT_EQ(shownText(), QStringLiteral("Contents page"));

    int viewers = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("HelpViewer")) {
            ++viewers;
            EXPECT_FALSE(static_cast<QDialog*>(w)->isModal());
        }
    EXPECT_EQ(viewers, 1) << "one help window, reused";
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
    EXPECT_EQ(shownText(), QStringLiteral("Picker page"));

    first->setFocus(); // no id of its own: the window's
    testing::pump();
    ShowContextHelp(&form);
    EXPECT_EQ(shownText(), QStringLiteral("Messages page"));

    form.setProperty("helpContextId", 0);
    ShowContextHelp(&form);
    EXPECT_EQ(shownText(), QStringLiteral("Contents page"));
    form.hide();
}

TEST_F(HelpTest, MissingPagesSayHelpIsNotInstalled)
{
    tzglob::Config config;
    config.helpFolder = folder + QStringLiteral("nowhere/");
    SharedState::current().GIC = std::make_shared<tzglob::tzGlobal>(config);
    ResetHelpFile();
    ShowHelpContents(nullptr);
    EXPECT_TRUE(shownText().startsWith(QStringLiteral("Help is not installed")));
}

// The pages shipped with the program: every mapped id has its page, every link its target.
TEST(HelpPages, ShippedPagesAreComplete)
{
    const QString shipped = QStringLiteral(TZSNDMSG_HELP_SOURCE_DIR "/");
    const QString helpFile = shipped + QStringLiteral("ZELOWIN.CHM");
    for (int id : {int(HelpPicker), int(HelpMessages), int(HelpEventsAndHolidays)})
        EXPECT_FALSE(helpPageFor(helpFile, id).isEmpty()) << id;
    ASSERT_TRUE(QFile::exists(shipped + QStringLiteral("index.html")));

    const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#:]+)\""));
    const QStringList pages = QDir(shipped).entryList({QStringLiteral("*.html")});
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
