#include "component/HostDialogs.h"

#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/tzGlobal.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace tzsndmsg {
namespace {

using testing::control;
using testing::ModalScript;
using testing::PrompterGuard;

TEST(TodoEntryDialog, AcceptsAnEditedTitleAndRefusesABlankOne)
{
    PrompterGuard prompter;
    prompter->expect(QStringLiteral("Please enter a title for the to-do entry."),
                     QStringLiteral("To Do Entry"), 1);
    ModalScript script;
    script.then([](QDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), QStringLiteral("TodoEntryDialog"));
        auto* title = control<QLineEdit>(&dialog, QStringLiteral("txtTitle"));
        EXPECT_EQ(title->text(), QStringLiteral("Lab results"));
        title->setText(QStringLiteral("   "));
        control<QPushButton>(&dialog, QStringLiteral("cmdOK"))->click();
        EXPECT_EQ(dialog.result(), 0) << "a blank title must not be accepted";
        title->setText(QStringLiteral("  Call Mrs Diaz about lab results "));
        control<QPushButton>(&dialog, QStringLiteral("cmdOK"))->click();
        return dialog.result();
    });
    QString title = QStringLiteral("Lab results");
    EXPECT_TRUE(showTodoEntryDialog(nullptr, title));
    EXPECT_EQ(title, QStringLiteral("Call Mrs Diaz about lab results"));
}

TEST(TodoEntryDialog, CancelKeepsTheTitle)
{
    ModalScript script;
    script.then([](QDialog& dialog) {
        control<QLineEdit>(&dialog, QStringLiteral("txtTitle"))->setText(QStringLiteral("x"));
        control<QPushButton>(&dialog, QStringLiteral("cmdCancel"))->click();
        return dialog.result();
    });
    QString title = QStringLiteral("Lab results");
    EXPECT_FALSE(showTodoEntryDialog(nullptr, title));
    EXPECT_EQ(title, QStringLiteral("Lab results"));
}

TEST(CannedTextChooser, ReturnsTheChosenTextNotItsTitle)
{
    const QList<QPair<QString, QString>> entries = {
        {QStringLiteral("Recall"), QStringLiteral("Please call the patient for a recall.")},
        {QString(), QStringLiteral("Insurance card missing\nAsk at the next visit.")},
    };
    ModalScript script;
    script
        .then([](QDialog& dialog) {
            EXPECT_EQ(dialog.objectName(), QStringLiteral("CannedTextChooser"));
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Office Texts"));
            auto* list = control<QListWidget>(&dialog, QStringLiteral("lstTexts"));
            auto* ok = control<QPushButton>(&dialog, QStringLiteral("cmdOK"));
            EXPECT_FALSE(ok->isEnabled());
            EXPECT_EQ(list->item(1)->text(), QStringLiteral("Insurance card missing"));
            list->setCurrentRow(1);
            EXPECT_TRUE(ok->isEnabled());
            ok->click();
            return dialog.result();
        })
        .then([](QDialog& dialog) {
            control<QListWidget>(&dialog, QStringLiteral("lstTexts"))->setCurrentRow(0);
            control<QPushButton>(&dialog, QStringLiteral("cmdCancel"))->click();
            return dialog.result();
        });
    EXPECT_EQ(chooseCannedTextFrom(nullptr, QStringLiteral("Office Texts"), entries),
              QStringLiteral("Insurance card missing\nAsk at the next visit."));
    EXPECT_TRUE(chooseCannedTextFrom(nullptr, QStringLiteral("Office Texts"), entries).isEmpty());
}

TEST(CannedTextChooser, EmptyStoreSaysSoAndCannotBeAccepted)
{
    ModalScript script;
    script.then([](QDialog& dialog) {
        EXPECT_TRUE(control<QLabel>(&dialog, QStringLiteral("lblEmpty")));
        auto* ok = control<QPushButton>(&dialog, QStringLiteral("cmdOK"));
        EXPECT_FALSE(ok->isEnabled());
        return int(QDialog::Rejected);
    });
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
            EXPECT_EQ(dialog.objectName(), QStringLiteral("TodoEntryDialog"));
            return int(QDialog::Rejected);
        });
        QString title = QStringLiteral("t");
        EXPECT_FALSE(bare->openTodoDialog(nullptr, title));
    }

    auto hosted = std::make_shared<tzglob::tzGlobal>(tzglob::Config());
    int calls = 0;
    hosted->setTodoDialogHandler([&calls](QObject*, QString&) { return ++calls, true; });
    installHostDialogs(hosted);
    QString title = QStringLiteral("t");
    EXPECT_TRUE(hosted->openTodoDialog(nullptr, title));
    EXPECT_EQ(calls, 1) << "the host's own dialog stays";

    installHostDialogs(nullptr); // no services: nothing to do
}

} // namespace
} // namespace tzsndmsg
