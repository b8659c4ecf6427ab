#include "ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace tzsndmsg::ui {

namespace {

QScreen* screenFor(const QWidget* window, const QPoint& point)
{
    if (QScreen* at = QGuiApplication::screenAt(point))
        return at;
    if (window && window->screen())
        return window->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace

QRect placeInside(const QRect& area, const QSize& frameSize, const QPoint& wanted)
{
    const QSize size = frameSize.boundedTo(area.size());
    const int x = std::clamp(wanted.x(), area.left(), area.left() + area.width() - size.width());
    const int y = std::clamp(wanted.y(), area.top(), area.top() + area.height() - size.height());
    return QRect(QPoint(x, y), size);
}

QMargins frameAllowance(const QWidget* window)
{
    if (!window)
        return {};
    if (window->isVisible()) {
        const QRect frame = window->frameGeometry();
        const QRect inner = window->geometry();
        return QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                        frame.right() - inner.right(), frame.bottom() - inner.bottom());
    }
    // Not on screen yet: the window manager's frame is not known; allow for a usual one.
    const int border = 4;
    const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return QMargins(border, std::max(title, 24) + border, border, border);
}

void placeOnScreen(QWidget* window, const QPoint& wanted)
{
    if (!window)
        return;
    const QScreen* screen = screenFor(window, wanted);
    if (!screen)
        return;
    const QMargins frame = frameAllowance(window);
    const QSize outer = window->size().grownBy(frame);
    const QRect placed = placeInside(screen->availableGeometry(), outer, wanted);
    if (placed.size() != outer)
        window->resize(placed.size().shrunkBy(frame));
    window->move(placed.topLeft());
}

void centreOnScreen(QWidget* window, QScreen* screen)
{
    if (!window)
        return;
    if (!screen)
        screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = window->size().grownBy(frameAllowance(window));
    placeOnScreen(window, area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

} // namespace tzsndmsg::ui
