#pragma once

#include <QString>
#include <memory>

namespace tzsndmsg {

class tzSndMsgFrm;

// The one routine that opens the message window (Message_Start, SendMessage, AnnouncementSend).
// Loads the login list and refuses to open before a login with an employee is set up. With
// noShow the caller loads and drives the window itself. Returns the id of the message saved
// from a lab-order link (LastSavedMessageID), 0 otherwise. `opened`, when given, tells whether
// the login check passed (the window was or may be loaded). The window is released on return
// unless noShow or the login check failed.
qint32 ShowMessageWindow(std::unique_ptr<tzSndMsgFrm>& window, bool noShow,
                         const QString& subject = QString(), const QString& body = QString(),
                         bool* opened = nullptr);

} // namespace tzsndmsg
