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
        reads << QString("%1/%2/%3").arg(section, key).arg(kind);
        return stored.value(section + QLatin1Char('/') + key, defaultValue);
    }
    void setLunchLength(const QString& minutes) override { lunch = minutes; }
};

} // namespace

TEST(OfficeHours, StoredValuesAreNormalisedAndBadOnesFallBack)
{
    const QString open = "9:00:00 AM", close = "5:30:00 PM";
    const QString k = "QNS_OFFICE_SETUP/OFFICE_";
    const struct {
        const char* name;
        int day;
        QString start, end, lunch;
        QHash<QString, QVariant> stored;
    } cases[] = {
        {"empty store", 3, open, close, "30", {}},
        {"monday 13:15", 1, "1:15:00 PM", close, "30", {{k + "START_TIME_1", "13:15"}}},
        {"word as closing time", 6, open, close, "30", {{k + "CLOSE_TIME_6", "evening"}}},
        {"empty text and a lunch of 45",
         0,
         open,
         "2:00:00 PM",
         "45",
         {{k + "START_TIME_0", ""}, {k + "CLOSE_TIME_0", "2:00 pm"}, {k + "LUNCH_LENGTH", 45}}},
        {"a time value stored", 5, "7:45:00 AM", close, "30", {{k + "START_TIME_5", QTime(7, 45)}}},
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
        EXPECT_EQ(host.reads.value(0), "QNS_OFFICE_SETUP/OFFICE_LUNCH_LENGTH/1");
        EXPECT_TRUE(host.reads.contains("QNS_OFFICE_SETUP/OFFICE_CLOSE_TIME_6/2"));
        // Every other day keeps the defaults, and every entry is a time.
        for (int day = 0; day < 7; ++day) {
            if (day == c.day)
                continue;
            EXPECT_EQ(officeHours().OfficeStartTimes[day], open) << c.name << " day " << day;
            EXPECT_EQ(officeHours().OfficeCloseTimes[day], close) << c.name << " day " << day;
        }
    }
}
