#include "ShowMessageWindow.h"

#include "directory/StaffDirectory.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"
#include "ui/BusyPointer.h"

#include <exception>

namespace tzsndmsg {

qint32 ShowMessageWindow(std::unique_ptr<tzSndMsgFrm>& window, bool noShow, const QString& subject,
                         const QString& body, bool* opened)
{
    if (opened)
        *opened = false;
    auto& st = SharedState::current();
    // Errors inside are ignored: each step goes on with the next.
    try {
        LoadLoginNames();
    } catch (const std::exception&) {
    }
    if (st.LoginNames.size() - 1 == 1 && st.LoginEmployeeIDs.value(1) == 0) {
        ui::MessageBox::show(
            {QStringLiteral("Please setup employee information and login name first."), QString(),
             0, 0, 0});
        ui::normalPointer();
        return 0;
    }
    if (opened)
        *opened = true;
    if (noShow)
        return 0;

    ui::hourglass();
    st.LastSavedMessageID = 0;
    try {
        if (!window)
            window = std::make_unique<tzSndMsgFrm>();
        window->load();
        window->setDraft(subject, body);
        if (st.ReplyAutoSend) {
            window->Unload();
        } else {
            ui::normalPointer();
            ui::showModal(*window);
        }
    } catch (const std::exception&) {
    }
    const qint32 savedId = st.LastSavedMessageID;
    window.reset();
    ui::normalPointer();
    return savedId;
}

} // namespace tzsndmsg
