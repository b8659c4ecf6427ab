#include "ui/ScreenPlacement.h"

#include "support/GuiDriver.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace tzsndmsg;

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
