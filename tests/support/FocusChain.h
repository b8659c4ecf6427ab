#pragma once

#include "GuiDriver.h"

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace tzsndmsg::testing {

// The object name of the control that has the focus, "" when none.
inline QString focusedName()
{
    QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QString();
}

// A key as the user presses it, to whichever control has the focus.
inline void pressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    if (!target) {
        ADD_FAILURE() << "nothing has the focus";
        return;
    }
    QTest::keyClick(target, Qt::Key(key), modifiers);
    pump();
}

// Presses Tab until the named control has the focus; false when a round never reaches it.
inline bool tabTo(const QString& name)
{
    for (int i = 0; i < 60 && focusedName() != name; ++i)
        pressKey(Qt::Key_Tab);
    return focusedName() == name;
}

// Where Tab (or Shift+Tab) leads from the control that has the focus now: the names of the
// controls it reaches, one per press, ending when the focus is back where it began. A chain that
// never comes back within maxPresses is a trap: it ends there with "<trap>" as its last entry.
inline QStringList tabChain(bool backwards = false, int maxPresses = 80)
{
    QStringList seen;
    QWidget* start = QApplication::focusWidget();
    if (!start) {
        ADD_FAILURE() << "nothing has the focus";
        return seen;
    }
    for (int i = 0; i < maxPresses; ++i) {
        pressKey(backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                 backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QWidget* now = QApplication::focusWidget();
        if (now == start)
            return seen;
        seen << (now ? now->objectName() : QStringLiteral("<none>"));
    }
    seen << QStringLiteral("<trap>");
    return seen;
}

// The visible controls of a window that take the focus by Tab but give a screen reader no name.
inline QStringList unnamedFocusable(QWidget* window)
{
    QStringList unnamed;
    for (QWidget* c : window->findChildren<QWidget*>()) {
        if (!c->isVisibleTo(window) || !(c->focusPolicy() & Qt::TabFocus) || c->focusProxy())
            continue;
        if (c->accessibleName().trimmed().isEmpty())
            unnamed << (c->objectName().isEmpty()
                            ? QString::fromLatin1(c->metaObject()->className())
                            : c->objectName());
    }
    return unnamed;
}

} // namespace tzsndmsg::testing
