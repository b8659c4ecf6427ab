#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"

#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tzsndmsg;
namespace tt = tzsndmsg::testing;

namespace {

// Answers the next real message box: checks it, then clicks the button with the given role.
void answerRealBoxLater(QMessageBox::StandardButton press, QMessageBox** seen)
{
    QTimer::singleShot(0, [press, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box came up";
            return;
        }
        *seen = box;
        box->button(press)->click();
    });
}

struct RealBoxCase {
    int buttons;
    int defaultButton;
    QMessageBox::StandardButton press;
    QMessageBox::StandardButton expectedDefault;
    int expected;
};

} // namespace

TEST(MessageBox, PrompterAnswersInsteadOfARealBox)
{
    tt::PrompterGuard prompter;
    prompter->expect(QStringLiteral("delete this message"), QStringLiteral("Delete Message"), ui::vbYes);
    const int answer = ui::MessageBox::show({QStringLiteral("Are you sure you want to delete this message?"),
                                             QStringLiteral("Delete Message"), 4, 32, 0});
    EXPECT_EQ(answer, ui::vbYes);
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown.first().buttons, 4);
    EXPECT_EQ(prompter->shown.first().icon, 32);
}

TEST(MessageBox, RealBoxHasTheRequestedButtonsAndDefault)
{
    const RealBoxCase cases[] = {
        {0, 0, QMessageBox::Ok, QMessageBox::Ok, ui::vbOK},
        {1, 256, QMessageBox::Cancel, QMessageBox::Cancel, ui::vbCancel},
        {3, 512, QMessageBox::No, QMessageBox::Cancel, ui::vbNo},
        {4, 0, QMessageBox::Yes, QMessageBox::Yes, ui::vbYes},
        {4, 256, QMessageBox::No, QMessageBox::No, ui::vbNo},
    };
    for (const RealBoxCase& c : cases) {
        QMessageBox* seen = nullptr;
        QMessageBox::StandardButton defaultSeen = QMessageBox::NoButton;
        int buttonCount = 0;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            defaultSeen = box->standardButton(box->defaultButton());
            buttonCount = int(box->buttons().size());
            title = box->windowTitle();
        });
        answerRealBoxLater(c.press, &seen);
        const int answer = ui::MessageBox::show({QStringLiteral("Text"), QStringLiteral("Title"),
                                                 c.buttons, 48, c.defaultButton});
        EXPECT_TRUE(seen) << c.buttons;
        EXPECT_EQ(answer, c.expected) << c.buttons;
        EXPECT_EQ(defaultSeen, c.expectedDefault) << c.buttons;
        EXPECT_EQ(buttonCount, c.buttons == 0 ? 1 : c.buttons == 3 ? 3 : 2);
        EXPECT_EQ(title, QStringLiteral("Title"));
    }
}

TEST(MessageBox, ClearingThePrompterRestoresRealBoxes)
{
    auto scripted = std::make_shared<tt::ScriptedPrompter>();
    ui::MessageBox::setPrompter(scripted);
    ui::MessageBox::setPrompter(nullptr);
    QMessageBox* seen = nullptr;
    answerRealBoxLater(QMessageBox::Ok, &seen);
    EXPECT_EQ(ui::MessageBox::show({QStringLiteral("Hello"), QStringLiteral("T"), 0, 64, 0}), ui::vbOK);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(scripted->shown.isEmpty());
}

TEST(Modal, HandlerDrivesTheDialogAndNullRestoresExec)
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("Probe"));
    QString handled;
    ui::setModalHandler([&](QDialog& d) {
        handled = d.objectName();
        return 42;
    });
    EXPECT_EQ(ui::showModal(dialog), 42);
    EXPECT_EQ(handled, QStringLiteral("Probe"));

    ui::setModalHandler(nullptr);
    QTimer::singleShot(0, [&] { dialog.done(7); });
    EXPECT_EQ(ui::showModal(dialog), 7);
    tt::expectNoVisibleWindows();
}

TEST(Modal, FileDialogSeamAndTheRealDialog)
{
    ui::FileDialogRequest request;
    request.title = QStringLiteral("Select Icon");
    request.filter = QStringLiteral("Icon files (*.ico *.Ico)");
    request.defaultExtension = QStringLiteral("ico");
    request.startFolder = QDir::tempPath();

    ui::setFileDialogHandler([](const ui::FileDialogRequest& r) { return r.title + QStringLiteral(".ico"); });
    EXPECT_EQ(ui::getOpenFileName(request), QStringLiteral("Select Icon.ico"));
    ui::setFileDialogHandler(nullptr);

    // Without a handler the real dialog comes up (through the modal seam): open, existing file.
    QString title;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QString suffix;
    ui::setModalHandler([&](QDialog& d) {
        auto* fd = qobject_cast<QFileDialog*>(&d);
        if (fd) {
            title = fd->windowTitle();
            mode = fd->fileMode();
            suffix = fd->defaultSuffix();
        }
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(ui::getOpenFileName(request), QString());
    ui::setModalHandler(nullptr);
    EXPECT_EQ(title, QStringLiteral("Select Icon"));
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(suffix, QStringLiteral("ico"));
}
