#pragma once

#include <memory>

namespace tzsndmsg {

class HostServices;

// Whether the services' login may set up the office's staff: the supervisor right.
bool maySetUpStaff(HostServices& services);

// Setup_Start's work: the window, modal, for a login with the supervisor right; any other login
// is told why and nothing opens. Returns when the window closes.
void runStaffSetupWindow(const std::shared_ptr<HostServices>& services);

} // namespace tzsndmsg
