#include "tzsndmsg/Version.h"

namespace tzsndmsg {

QString libraryVersion()
{
    return QStringLiteral(TZSNDMSG_VERSION_STRING);
}

} // namespace tzsndmsg
