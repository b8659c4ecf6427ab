#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>

class QWidget;

namespace tzsndmsg {

class HostServices;

// The to-do entry dialog ("TodoEntryDialog"): the title can be edited; true when accepted.
bool showTodoEntryDialog(QWidget* owner, QString& title);

// The canned-text chooser ("CannedTextChooser") over (title, text) entries: the chosen text,
// empty when cancelled or when there is nothing to choose.
QString chooseCannedTextFrom(QWidget* owner, const QString& caption,
                             const QList<QPair<QString, QString>>& entries);

// Gives a tzglob::tzGlobal without its own to-do and canned-text dialogs these two. Other
// services objects are left as they are.
void installHostDialogs(const std::shared_ptr<HostServices>& services);

} // namespace tzsndmsg
