#include "tzsndmsg/ui/MessageBox.h"

#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/ui/Modal.h"
#include "ui/ScreenPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
namespace tt = tzsndmsg::testing;

namespace {

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
