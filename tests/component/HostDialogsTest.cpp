#include "state/HostDialogs.h"

#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/tzGlobal.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg {
namespace {

using testing::control;
using testing::ModalScript;
using testing::PrompterGuard;

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
