#pragma once

#include <QString>

class QWidget;

namespace tzsndmsg {

// Chooses the help file once per process: the help folder and "QNS.CHM" for the QNS product
// line, else "ZELOWIN.CHM". Our help files are folders of HTML pages of that name.
void SetupHelpFile();
// The help context id of a window and every control on it.
void SetHelpContext(QWidget* form, int contextId);
// F1 and the help buttons: the active control's context id, else the window's.
void ShowContextHelp(QWidget* window);
void ShowHelpTopic(QWidget* window, int contextId);
void ShowHelpContents(QWidget* window);

} // namespace tzsndmsg
