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

// The help pages: the folder named by the help file when there is one, else the folder the
// help file name sits in. It holds index.html (the contents) and map.txt ("3007=messages.html").
QString helpPagesFolder(const QString& helpFile);
// The page of a context id, empty when the map does not know it or the page is missing.
QString helpPageFor(const QString& helpFile, int contextId);
// F1 on the window runs ShowContextHelp.
void InstallHelpKey(QWidget* form);
// Forgets the chosen help file (tests; a host that switches product line at run time).
void ResetHelpFile();

// Context ids of the windows.
enum HelpContext { HelpPicker = 3005, HelpMessages = 3007, HelpEventsAndHolidays = 3027 };

} // namespace tzsndmsg
