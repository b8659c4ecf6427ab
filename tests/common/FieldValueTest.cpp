#include "fields/FieldValue.h"

#include "common/AutoDate.h"
#include "fields/OfficeHours.h"
#include "support/TestPrinters.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"
#include "tzsndmsg/tzGlobal.h"

#include <QHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using tzsndmsg::common::AutoDate;
using tzsndmsg::common::FieldValue;
using tzsndmsg::common::FieldValueForNull;
using tzsndmsg::common::FieldValueOrZero;
using tzsndmsg::common::FieldValueOrZeroForNull;
using tzsndmsg::common::LoadOfficeSetup;
using tzsndmsg::common::officeHours;
namespace db = tzsndmsg::db;

namespace {

const QVariant kNull;
const QVariant kZero(int(0));
const QVariant kZeroDate = QVariant::fromValue(AutoDate::zero());
const QVariant kFalse(false);
const QVariant kEmpty("");

// Same type and value; QVariant's own == would call 0 and "" equal.
void expectSame(const QVariant& actual, const QVariant& expected, const std::string& what)
{
    EXPECT_EQ(actual.isValid(), expected.isValid()) << what;
    if (!expected.isValid())
        return;
    EXPECT_EQ(actual.metaType(), expected.metaType()) << what << " type " << actual.typeName();
    EXPECT_EQ(actual, expected) << what;
}

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

TEST(FieldValueTables, EmptyValuePerTypeCode)
{
    const struct {
        int code;
        QVariant fieldValue, orZero;
    } cases[] = {
        {2, kZero, kZero},           {3, kZero, kZero},       {4, kZero, kZero},
        {5, kZero, kZero},           {6, kZero, kZero},       {14, kZero, kZero},
        {20, kZero, kZero},          {131, kZero, kZero},     {7, kZeroDate, kZeroDate},
        {133, kZeroDate, kZeroDate}, {135, kNull, kZeroDate}, {134, kZeroDate, kZeroDate},
        {64, kNull, kZeroDate},      {11, kFalse, kFalse},    {129, kEmpty, kEmpty},
        {130, kEmpty, kEmpty},       {200, kEmpty, kEmpty},   {201, kEmpty, kEmpty},
        {202, kEmpty, kEmpty},       {203, kEmpty, kEmpty},   {8, kNull, kEmpty},
        {205, kNull, kZero},         {0, kNull, kZero},       {72, kNull, kZero},
    };
    for (const auto& c : cases) {
        expectSame(FieldValueForNull(c.code), c.fieldValue, "FieldValue " + std::to_string(c.code));
        expectSame(FieldValueOrZeroForNull(c.code), c.orZero, "OrZero " + std::to_string(c.code));
    }
    // The time "12:00:00 AM" and the zero date are the same automation value.
    EXPECT_EQ(FieldValueForNull(134).value<AutoDate>().time(), QTime(0, 0));
}

// Past the last row comes the empty value of the column's declared type (the empty value of
// each code: above; each declared type's code: DatabaseTest).
TEST(FieldValueDb, ValuesUnchangedMissingColumnThrowsNoRowIsEmpty)
{
    QTemporaryDir dir;
    QString error;
    auto db = db::Database::open("sqlite:///" + dir.filePath("f.db"), &error);
    ASSERT_TRUE(db) << error.toStdString();
    ASSERT_TRUE(db->exec("CREATE TABLE FVTable (fvId INTEGER PRIMARY KEY, fvNum INTEGER, fvBig "
                         "BIGINT, fvDbl DOUBLE, fvTxt VARCHAR(20), fvMemo LONGTEXT, fvFla "
                         "BOOLEAN, fvWhen DATETIME)",
                         &error))
        << error.toStdString();
    ASSERT_TRUE(db->exec("INSERT INTO FVTable VALUES (2, 7, 9000000000, 2.5, 'abc', 'memo', 1, "
                         "'2026-12-06 14:07:00')",
                         &error))
        << error.toStdString();
    db::Recordset rs = db->query("SELECT * FROM FVTable", &error);
    ASSERT_TRUE(rs.isOpen()) << error.toStdString();
    for (const char* column : {"fvNum", "fvBig", "fvDbl", "fvTxt", "fvMemo", "fvFla", "fvWhen"}) {
        const QString name = QString::fromLatin1(column);
        expectSame(FieldValue(rs, name), rs.value(name), column);
        expectSame(FieldValueOrZero(rs, name), rs.value(name), column);
    }
    EXPECT_EQ(FieldValue(rs, "fvTxt").toString(), "abc");

    // A missing column reaches the caller.
    EXPECT_THROW(FieldValue(rs, "fvNothing"), db::FieldError);
    EXPECT_THROW(FieldValueOrZero(rs, "fvNothing"), db::FieldError);

    rs.moveNext();
    ASSERT_TRUE(rs.eof());
    expectSame(FieldValue(rs, "fvNum"), kZero, "eof fvNum");
    expectSame(FieldValue(rs, "fvTxt"), kEmpty, "eof fvTxt");
}

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
