#pragma once

#include "GuiDriver.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>

namespace tzsndmsg::testing {

// The staff picker answered: the entries that contain any of the fragments chosen and OK pressed,
// or Cancel; the entries it came with noted first when asked. OK is off with nothing chosen, so
// that OK is Enter in the list, as a user gives it.
inline ModalScript::Handler pickEntries(QStringList fragments, bool ok = true,
                                        QStringList* preselected = nullptr)
{
    return [fragments, ok, preselected](QDialog& dialog) {
        auto* list = control<QListWidget>(&dialog, "List_0");
        if (!list)
            return int(QDialog::Rejected);
        if (preselected)
            for (QListWidgetItem* item : list->selectedItems())
                *preselected << item->text();
        if (ok) {
            list->clearSelection();
            for (int i = 0; i < list->count(); ++i)
                for (const QString& f : fragments)
                    if (list->item(i)->text().contains(f))
                        list->item(i)->setSelected(true);
        }
        if (ok && list->selectedItems().isEmpty()) {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(list, &enter);
        } else if (auto* button = control<QPushButton>(&dialog, ok ? "cmd_1" : "cmd_0")) {
            button->click();
        }
        return dialog.result();
    };
}

} // namespace tzsndmsg::testing
