#include "fields/OfficeHours.h"

#include "support/TestPrinters.h"
#include "tzsndmsg/tzGlobal.h"

#include <QHash>
#include <gtest/gtest.h>

using tzsndmsg::common::LoadOfficeSetup;
using tzsndmsg::common::officeHours;

namespace {

// The host's settings as a map of stored values, recording what was asked.
class SettingsHost : public tzglob::tzGlobal {
public:
    SettingsHost() : tzglob::tzGlobal(tzglob::Config()) {}
    QHash<QString, QVariant> stored; // "SECTION/KEY"
    QStringList reads;
    QString lunch;

    QVariant readSetting(const QString& section, const QString& key, int kind,
                         const QVariant& defaultValue) override
    {
        reads << QStringLiteral("%1/%2/%3").arg(section, key).arg(kind);
        return stored.value(section + QLatin1Char('/') + key, defaultValue);
    }
    void setLunchLength(const QString& minutes) override { lunch = minutes; }
};

} // namespace

TEST(OfficeHours, StoredValuesAreNormalisedAndBadOnesFallBack)
{
    const QString open = QStringLiteral("9:00:00 AM"), close = QStringLiteral("5:30:00 PM");
    const struct {
        const char* name;
        QHash<QString, QVariant> stored;
        int day;
        QString start, end;
        QString lunch;
    } cases[] = {
        {"empty store", {}, 3, open, close, QStringLiteral("30")},
        {"monday 13:15",
         {{QStringLiteral("QNS_OFFICE_SETUP/OFFICE_START_TIME_1"), QStringLiteral("13:15")}},
         1,
         QStringLiteral("1:15:00 PM"),
         close,
         QStringLiteral("30")},
        {"word as closing time",
         {{QStringLiteral("QNS_OFFICE_SETUP/OFFICE_CLOSE_TIME_6"), QStringLiteral("evening")}},
         6,
         open,
         close,
         QStringLiteral("30")},
        {"empty text and a lunch of 45",
         {{QStringLiteral("QNS_OFFICE_SETUP/OFFICE_START_TIME_0"), QStringLiteral("")},
          {QStringLiteral("QNS_OFFICE_SETUP/OFFICE_CLOSE_TIME_0"), QStringLiteral("2:00 pm")},
          {QStringLiteral("QNS_OFFICE_SETUP/OFFICE_LUNCH_LENGTH"), 45}},
         0,
         open,
         QStringLiteral("2:00:00 PM"),
         QStringLiteral("45")},
        {"time values from the store",
         {{QStringLiteral("QNS_OFFICE_SETUP/OFFICE_START_TIME_5"), QTime(7, 45)}},
         5,
         QStringLiteral("7:45:00 AM"),
         close,
         QStringLiteral("30")},
    };
    for (const auto& c : cases) {
        SettingsHost host;
        host.stored = c.stored;
        officeHours() = {};
        LoadOfficeSetup(host);
        EXPECT_EQ(officeHours().OfficeStartTimes[c.day], c.start) << c.name;
        EXPECT_EQ(officeHours().OfficeCloseTimes[c.day], c.end) << c.name;
        EXPECT_EQ(host.lunch, c.lunch) << c.name;
        // Lunch is asked as a number, the fourteen times as times.
        EXPECT_EQ(host.reads.size(), 15) << c.name;
        EXPECT_EQ(host.reads.value(0), QStringLiteral("QNS_OFFICE_SETUP/OFFICE_LUNCH_LENGTH/1"));
        EXPECT_TRUE(host.reads.contains(QStringLiteral("QNS_OFFICE_SETUP/OFFICE_CLOSE_TIME_6/2")));
        // Every other day keeps the defaults, and every entry is a time.
        for (int day = 0; day < 7; ++day) {
            if (day == c.day)
                continue;
            EXPECT_EQ(officeHours().OfficeStartTimes[day], open) << c.name << " day " << day;
            EXPECT_EQ(officeHours().OfficeCloseTimes[day], close) << c.name << " day " << day;
        }
    }
}
