#include "SetupStart.h"

#include "StaffSetupFrm.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"

#include <exception>

namespace tzsndmsg {

bool maySetUpStaff(HostServices& services)
{
    return services.checkRight(services.currentLoginName(), QLatin1String(kSupervisorRight),
                               QStringLiteral("PWAWriFla"), QStringLiteral("tzSndMsg"));
}

void runStaffSetupWindow(const std::shared_ptr<HostServices>& services)
{
    const QString title = QStringLiteral("Office Setup");
    if (!services) {
        ui::MessageBox::show(
            {QStringLiteral("The office's services are not set up."), title, 0, 48, 0});
        return;
    }
    if (!maySetUpStaff(*services)) {
        const QString login = services->currentLoginName().trimmed();
        ui::MessageBox::show(
            {QStringLiteral(
                 "Only a login with the supervisor right can set up the office's people, "
                 "logins and computers; %1 has not got it.")
                 .arg(login.isEmpty() ? QStringLiteral("this workstation's login") : login),
             title, 0, 48, 0});
        return;
    }
    // A window that fails to open leaves the caller where it was.
    try {
        StaffSetupFrm window(services);
        window.load();
        ui::showModal(window);
    } catch (const std::exception&) {
    }
}

} // namespace tzsndmsg
