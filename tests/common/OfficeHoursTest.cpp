#include "common/OfficeHours.h"

#include "tzsndmsg/HostServices.h"

#include "support/TestPrinters.h"

#include <QHash>

#include <gtest/gtest.h>

using tzsndmsg::common::LoadOfficeSetup;
using tzsndmsg::common::officeHours;

namespace {

// The settings part of the host: a map of stored values; everything else is unused here.
class SettingsHost : public tzsndmsg::HostServices {
public:
    QHash<QString, QVariant> stored; // "SECTION/KEY"
    QStringList reads;
    QString lunchLength;

    QVariant readSetting(const QString& section, const QString& key, int kind,
                         const QVariant& defaultValue) override
    {
        reads << QStringLiteral("%1/%2/%3").arg(section, key).arg(kind);
        return stored.value(section + QLatin1Char('/') + key, defaultValue);
    }
    void setLunchLength(const QString& minutes) override { lunchLength = minutes; }

    bool startUp() override { return true; }
    void shutDown() override {}
    void setApplication(const QString&, const QString&) override {}
    void setLocation(qint32) override {}
    void setLogin(const QString&) override {}
    QString currentLoginName() const override { return {}; }
    qint32 employeeOfLogin(const QString&) override { return 0; }
    bool checkRight(const QString&, const QString&, const QString&, const QString&) override { return false; }
    bool loginMayChooseSender(const QString&) override { return false; }
    std::shared_ptr<tzsndmsg::db::Database> personsConnection() override { return {}; }
    std::shared_ptr<tzsndmsg::db::Database> suiteConnection() override { return {}; }
    std::shared_ptr<tzsndmsg::db::Database> messageStoreConnection() override { return {}; }
    std::shared_ptr<tzsndmsg::db::Database> connectionByIndex(int) override { return {}; }
    QString adaptSql(const QString& s, int) override { return s; }
    QString adaptSqlFor(tzsndmsg::db::Database&, const QString& s, int) override { return s; }
    bool writeRecord(int, const QString&, const QString&, qint64&, const QStringList&, const QStringList&,
                     QString*) override
    {
        return false;
    }
    void releaseAfterWrite(tzsndmsg::db::Database&) override {}
    QString statusFilter(const QString&, const QString&) override { return {}; }
    QDate currentDate() const override { return {}; }
    QTime currentTime() const override { return {}; }
    QDateTime currentDateTime() const override { return {}; }
    QString nextToken(const QString&, const QString&, int&) override { return {}; }
    QStringList split(const QString&, const QString&, int) override { return {}; }
    QString replaceText(const QString& t, const QString&, const QString&) override { return t; }
    QString quote(const QString& t) override { return t; }
    QString personName(qint32) override { return {}; }
    QString personDepartment(qint32) override { return {}; }
    QString dataFolder() const override { return {}; }
    QString helpFolder() const override { return {}; }
    bool fileExists(const QString&) override { return false; }
    QString stationText() override { return {}; }
    QString computerName() const override { return {}; }
    bool removeComputerName(const QString&) override { return false; }
    void setBusy(QObject*, bool) override {}
    bool isBusy() const override { return false; }
    void freezeWindow(QObject*) override {}
    QObject* mainWindow() override { return nullptr; }
    bool isQnsProductLine() override { return false; }
    bool writeNote(qint32, const tzsndmsg::NoteEntry&, QString*) override { return false; }
    bool writeTodo(qint32, const tzsndmsg::NoteEntry&, QString*) override { return false; }
    bool openTodoDialog(QObject*, QString&) override { return false; }
    QString chooseCannedText(QObject*, const QString&, const QString&) override { return {}; }
    bool announceLabOrderMessage(const QString&, qint64, qint64) override { return false; }
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
         1, QStringLiteral("1:15:00 PM"), close, QStringLiteral("30")},
        {"word as closing time",
         {{QStringLiteral("QNS_OFFICE_SETUP/OFFICE_CLOSE_TIME_6"), QStringLiteral("evening")}},
         6, open, close, QStringLiteral("30")},
        {"empty text and a lunch of 45",
         {{QStringLiteral("QNS_OFFICE_SETUP/OFFICE_START_TIME_0"), QStringLiteral("")},
          {QStringLiteral("QNS_OFFICE_SETUP/OFFICE_CLOSE_TIME_0"), QStringLiteral("2:00 pm")},
          {QStringLiteral("QNS_OFFICE_SETUP/OFFICE_LUNCH_LENGTH"), 45}},
         0, open, QStringLiteral("2:00:00 PM"), QStringLiteral("45")},
        {"time values from the store",
         {{QStringLiteral("QNS_OFFICE_SETUP/OFFICE_START_TIME_5"), QTime(7, 45)}},
         5, QStringLiteral("7:45:00 AM"), close, QStringLiteral("30")},
    };
    for (const auto& c : cases) {
        SettingsHost host;
        host.stored = c.stored;
        officeHours() = {};
        LoadOfficeSetup(host);
        EXPECT_EQ(officeHours().OfficeStartTimes[c.day], c.start) << c.name;
        EXPECT_EQ(officeHours().OfficeCloseTimes[c.day], c.end) << c.name;
        EXPECT_EQ(host.lunchLength, c.lunch) << c.name;
        // Every other day keeps the defaults, and every entry is a time.
        for (int day = 0; day < 7; ++day) {
            if (day == c.day)
                continue;
            EXPECT_EQ(officeHours().OfficeStartTimes[day], open) << c.name << " day " << day;
            EXPECT_EQ(officeHours().OfficeCloseTimes[day], close) << c.name << " day " << day;
        }
    }
}

TEST(OfficeHours, ReadsTheKeysOfTheSetupSection)
{
    SettingsHost host;
    LoadOfficeSetup(host);
    ASSERT_EQ(host.reads.size(), 15);
    EXPECT_EQ(host.reads.first(), QStringLiteral("QNS_OFFICE_SETUP/OFFICE_LUNCH_LENGTH/1"));
    EXPECT_TRUE(host.reads.contains(QStringLiteral("QNS_OFFICE_SETUP/OFFICE_START_TIME_0/2")));
    EXPECT_TRUE(host.reads.contains(QStringLiteral("QNS_OFFICE_SETUP/OFFICE_CLOSE_TIME_6/2")));
}
