#pragma once

#include "tzsndmsg/OfficeWatcher.h"

#include <QJsonObject>

namespace tzsndmsg::app {

// A notice as `watch` prints it, one JSON object: also how the tray keeps the notices that quiet
// time holds back, read again at its next start.
QJsonObject noticeJson(const OfficeNotice& notice);
OfficeNotice noticeFromJson(const QJsonObject& json);

} // namespace tzsndmsg::app
