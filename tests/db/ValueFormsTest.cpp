// The forms stored dates and times take when read, against Qt's own formatting.
#include "db/ValueForms.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace tzsndmsg::db;
using detail::readForm;

TEST(ValueForms, DateAndTimeTextsReadAsTheListsShowThem)
{
    const QLocale c = QLocale::c();
    // Every day of a leap year and a century year, and the ends of the range the store holds.
    for (const QDate first :
         {QDate(2024, 1, 1), QDate(1900, 1, 1), QDate(9999, 12, 1), QDate(1, 1, 1)})
        for (QDate d = first; d.isValid() && d.year() == first.year(); d = d.addDays(1)) {
            const QString iso = d.toString(Qt::ISODate);
            const QString listed = readForm(iso, false, ColumnType::DateText).toString();
            ASSERT_EQ(listed, c.toString(d, "MM/dd/yyyy")) << iso.toStdString();
            ASSERT_EQ(detail::dateOfListText(listed), d) << iso.toStdString();
        }
    for (int secs = 0; secs < 24 * 3600; secs += 37) {
        const QTime t = QTime(0, 0).addSecs(secs);
        const QString listed =
            readForm(t.toString("HH:mm:ss"), false, ColumnType::TimeText).toString();
        ASSERT_EQ(listed, c.toString(t, "h:mm:ss AP")) << secs;
        ASSERT_EQ(detail::timeOfListText(listed), t) << secs;
    }
}

TEST(ValueForms, TypedDatesAndTimesSortAsQtReadsThem)
{
    // Texts stored as typed: read back exactly as Qt's own parser reads them.
    for (const char* text :
         {"1/5/2026", "12/7/26", "02/30/2026", "13/01/2026", "12-07-2026", "", "x"})
        EXPECT_EQ(detail::dateOfListText(text), QDate::fromString(text, "MM/dd/yyyy")) << text;
    for (const char* text : {"9:05 AM", "09:05:00 am", "13:00:00 PM", "0:10:00 AM", "12:00:00 XM",
                             "12:61:00 PM", "noon"})
        EXPECT_EQ(detail::timeOfListText(text), QLocale::c().toTime(text, "h:mm:ss AP")) << text;
}

TEST(ValueForms, TextsThatAreNotStoredDatesOrTimesStayAsTyped)
{
    const struct {
        ColumnType type;
        const char* text;
    } cases[] = {
        {ColumnType::DateText, "2026-02-30"}, {ColumnType::DateText, "2026-13-01"},
        {ColumnType::DateText, "2026/12/07"}, {ColumnType::DateText, "12/07/2026"},
        {ColumnType::DateText, "2026-1-7"},   {ColumnType::DateText, "20x6-12-07"},
        {ColumnType::DateText, "next week"},  {ColumnType::TimeText, "24:00:00"},
        {ColumnType::TimeText, "12:60:00"},   {ColumnType::TimeText, "9:05:00 AM"},
        {ColumnType::TimeText, "ab:cd:ef"},   {ColumnType::TimeText, "12:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readForm(c.text, false, c.type).toString(), c.text) << c.text;
}

TEST(ValueForms, StoredDateTimesInTheFormsTheStoreWrites)
{
    const QDate day(2026, 12, 7);
    const struct {
        const char* text;
        QDateTime expected; // invalid: kept as text
    } cases[] = {
        {"2026-12-07", QDateTime(day, QTime(0, 0))},
        {"2026-12-07 14:05", QDateTime(day, QTime(14, 5))},
        {"2026-12-07 14:05:09", QDateTime(day, QTime(14, 5, 9))},
        {"2026-12-07T14:05:09", QDateTime(day, QTime(14, 5, 9))},
        {"2026-12-07T14:05:09.250", QDateTime(day, QTime(14, 5, 9, 250))},
        {"2026-12-07 14:05:09.250", QDateTime(day, QTime(14, 5, 9, 250))},
        {"2026-12-07T14:05", {}},
        {"2026-12-07 25:00:00", {}},
        {"2026-12-07x14:05:09", {}},
        {"2026-12-07 14:05:09Z", {}},
        {"2026-02-29 08:00:00", {}},
        {"12/07/2026", {}},
    };
    for (const auto& c : cases) {
        const QVariant v = readForm(c.text, false, ColumnType::DateTime);
        if (c.expected.isValid()) {
            EXPECT_EQ(v.toDateTime(), c.expected) << c.text;
            EXPECT_EQ(v.toDateTime().timeSpec(), Qt::LocalTime) << c.text;
        } else {
            EXPECT_EQ(v.typeId(), QMetaType::QString) << c.text;
            EXPECT_EQ(v.toString(), c.text);
        }
    }
}
