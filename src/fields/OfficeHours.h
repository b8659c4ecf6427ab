#pragma once

#include <QString>
#include <array>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::common {

// The office's opening hours per weekday (0 = Sunday), as Long Time texts.
struct OfficeHours {
    std::array<QString, 7> OfficeStartTimes;
    std::array<QString, 7> OfficeCloseTimes;
};

// One per thread.
OfficeHours& officeHours();

// Reads section "QNS_OFFICE_SETUP" through the services and fills officeHours().
void LoadOfficeSetup(HostServices& services);

} // namespace tzsndmsg::common
