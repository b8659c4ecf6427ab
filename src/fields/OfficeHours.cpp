#include "OfficeHours.h"

#include "common/VbFormat.h"
#include "tzsndmsg/HostServices.h"

namespace tzsndmsg::common {

namespace {

const QString kSection = QStringLiteral("QNS_OFFICE_SETUP");
const QString kLongTime = QStringLiteral("Long Time");
constexpr int kNumberSetting = 1;
constexpr int kTimeSetting = 2;

// A stored value as a Long Time text, or the default when it is not a date or time.
QString readTime(HostServices& services, const QString& key, const QString& defaultText)
{
    const QVariant stored = services.readSetting(kSection, key, kTimeSetting, defaultText);
    const auto value = vb::toDate(stored);
    return value ? vb::format(*value, kLongTime) : defaultText;
}

} // namespace

OfficeHours& officeHours()
{
    thread_local OfficeHours hours;
    return hours;
}

void LoadOfficeSetup(HostServices& services)
{
    const QVariant lunch =
        services.readSetting(kSection, QStringLiteral("OFFICE_LUNCH_LENGTH"), kNumberSetting, 30);
    services.setLunchLength(vb::toText(lunch));

    const QString startDefault = vb::format(AutoDate::fromTime(QTime(9, 0)), kLongTime);
    const QString closeDefault = vb::format(AutoDate::fromTime(QTime(17, 30)), kLongTime);
    OfficeHours& hours = officeHours();
    for (int day = 0; day <= 6; ++day) {
        hours.OfficeStartTimes[day] =
            readTime(services, QStringLiteral("OFFICE_START_TIME_%1").arg(day), startDefault);
        hours.OfficeCloseTimes[day] =
            readTime(services, QStringLiteral("OFFICE_CLOSE_TIME_%1").arg(day), closeDefault);
    }
}

} // namespace tzsndmsg::common
