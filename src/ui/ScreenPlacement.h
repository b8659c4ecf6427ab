#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace tzsndmsg::ui {

// The frame rectangle of a window of that outer size, as near to the wanted top-left as the
// area allows and wholly inside it; a window larger than the area is cut down to it.
QRect placeInside(const QRect& area, const QSize& frameSize, const QPoint& wanted);

// The window's frame around its contents: the real one once it is on screen, else an allowance
// for a title bar and borders.
QMargins frameAllowance(const QWidget* window);

// Moves a top-level window's frame to the wanted point, kept (and if need be shrunk) inside the
// available area of the screen that holds the point.
void placeOnScreen(QWidget* window, const QPoint& wanted);
// Centres a top-level window on the available area of the screen (its own when null).
void centreOnScreen(QWidget* window, QScreen* screen = nullptr);

} // namespace tzsndmsg::ui
