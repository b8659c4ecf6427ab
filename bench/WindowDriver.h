#pragma once

// The message window worked as its tests work it: controls by objectName, toolbar buttons by
// their keys.
#include <QAction>
#include <QTableView>
#include <QToolBar>
#include <QWidget>

namespace tzsndmsg::bench {

inline QTableView* gridOf(const QWidget& window)
{
    return window.findChild<QTableView*>(QStringLiteral("TDBG"));
}

// A button of a toolbar ("TB", "TB_Small") or an entry of its drop-down menus, pressed.
inline void press(const QWidget& window, const QString& toolbar, const QString& key)
{
    if (auto* bar = window.findChild<QToolBar*>(toolbar))
        for (QAction* action : bar->findChildren<QAction*>())
            if (action->objectName().compare(key, Qt::CaseInsensitive) == 0) {
                action->trigger();
                return;
            }
}

} // namespace tzsndmsg::bench
