#pragma once

#include <QtGlobal>

namespace tzsndmsg {

// What a message is linked to: its link type (cmLinkType) beside the linked record's id.
enum LinkIDTypes : qint32 {
    Unspecified = 0,
    QNSAppointment = 1,
    ZELOAppointment = 2,
    LabLinkOrder = 4,
    StandardMessage = 256,
    StandardEvent = 512,
};

} // namespace tzsndmsg
