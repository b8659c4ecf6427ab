#include "common/VbFormat.h"

#include "support/TestPrinters.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using tzsndmsg::common::AutoDate;
namespace vb = tzsndmsg::common::vb;

namespace {

AutoDate at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return AutoDate::fromDateAndTime(QDate(y, mo, d), QTime(h, mi, s));
}

AutoDate timeOnly(int h, int mi, int s = 0)
{
    return AutoDate::fromTime(QTime(h, mi, s));
}

} // namespace

TEST(AutoDate, CountsDaysFromTheZeroDateWithTheTimeAsFraction)
{
    EXPECT_EQ(AutoDate::fromDate(QDate(1899, 12, 30)).value(), 0.0);
    EXPECT_EQ(AutoDate::fromDate(QDate(1900, 1, 1)).value(), 2.0);
    EXPECT_DOUBLE_EQ(at(1899, 12, 31, 18).value(), 1.75);
    // Before the zero date the time still counts forward from the day.
    EXPECT_DOUBLE_EQ(at(1899, 12, 29, 6).value(), -1.25);
    const AutoDate negative(-1.25);
    EXPECT_EQ(negative.date(), QDate(1899, 12, 29));
    EXPECT_EQ(negative.time(), QTime(6, 0));
    EXPECT_EQ(negative.addDays(2).date(), QDate(1899, 12, 31));
    EXPECT_EQ(negative.addDays(2).time(), QTime(6, 0));
}

TEST(AutoDate, TimeRoundsToTheNearestSecondAndCarriesIntoTheNextDay)
{
    EXPECT_EQ(AutoDate(0.5 + 0.4 / 86400).time(), QTime(12, 0, 0));
    EXPECT_EQ(AutoDate(0.5 + 0.6 / 86400).time(), QTime(12, 0, 1));
    const AutoDate almostMidnight(46000.0 + 86399.7 / 86400);
    EXPECT_EQ(almostMidnight.time(), QTime(0, 0));
    EXPECT_EQ(almostMidnight.date(), AutoDate(46001.0).date());
    // Values that name the same second are equal even when the doubles differ.
    EXPECT_EQ(AutoDate(0.5), AutoDate(0.5 + 0.2 / 86400));
    EXPECT_FALSE(AutoDate(0.5) == AutoDate(0.5 + 1.0 / 86400));
}

TEST(AutoDate, ArithmeticAndWeekday)
{
    const AutoDate d = at(2026, 12, 6, 23, 50);
    EXPECT_EQ(d.weekday(), 1); // Sunday
    EXPECT_EQ(d.addDays(6).weekday(), 7);
    EXPECT_EQ(d.addMinutes(15).dateTime(), QDateTime(QDate(2026, 12, 7), QTime(0, 5)));
    EXPECT_EQ(d.addMinutes(-24 * 60).date(), QDate(2026, 12, 5));
    EXPECT_EQ(d.minutesOfDay(), 23 * 60 + 50);
    EXPECT_EQ(d.datePart(), at(2026, 12, 6));
    EXPECT_EQ(d.timePart(), timeOnly(23, 50));
    EXPECT_EQ(AutoDate::fromDate(QDate()), AutoDate::zero());
}

TEST(VbFormat, PatternsAndNamedFormats)
{
    const AutoDate afternoon = at(2026, 12, 6, 14, 7, 9);
    const struct {
        AutoDate value;
        const char *pattern, *expected;
    } cases[] = {
        {afternoon, "mm/dd/yyyy", "12/06/2026"},
        {at(2026, 3, 4), "mm/dd/yyyy", "03/04/2026"},
        {at(2026, 3, 4), "mm/dd/yy", "03/04/26"},
        {at(2005, 3, 4), "m/d/yy", "3/4/05"},
        {afternoon, "hh:nn ampm", "02:07 PM"},
        {afternoon, "h:nn am/pm", "2:07 pm"},
        {afternoon, "hh:nn am/pm", "02:07 pm"},
        {afternoon, "mm/dd/yyyy hh:nn am/pm", "12/06/2026 02:07 pm"},
        {afternoon, "hh:nn AM/PM", "02:07 PM"},
        {afternoon, "h:nn A/P", "2:07 P"},
        {afternoon, "hh:nn:ss", "14:07:09"},
        {afternoon, "h:m", "14:7"},
        {afternoon, "hh:mm", "14:07"},
        {afternoon, "mm:ss", "07:09"},
        {afternoon, "ddd mmm d", "Sun Dec 6"},
        {afternoon, "dddd, mmmm dd, yyyy", "Sunday, December 06, 2026"},
        {afternoon, "\"at\" h \\h", "at 14 h"},
        {afternoon, "yyyymmdd", "20261206"},
        {afternoon, "q", "4"},
        // Midnight, noon and half past midnight on the 12-hour clock.
        {timeOnly(0, 0), "hh:nn ampm", "12:00 AM"},
        {timeOnly(0, 0), "h:nn am/pm", "12:00 am"},
        {timeOnly(12, 0), "hh:nn ampm", "12:00 PM"},
        {timeOnly(12, 0), "h:nn am/pm", "12:00 pm"},
        {timeOnly(0, 30), "h:nn am/pm", "12:30 am"},
        {timeOnly(0, 30), "hh:nn ampm", "12:30 AM"},
        {timeOnly(11, 59), "hh:nn ampm", "11:59 AM"},
        {timeOnly(0, 30), "hh:nn", "00:30"},
        // Named formats, whatever their case.
        {at(2026, 12, 6, 14, 7), "General Date", "12/6/2026 2:07:00 PM"},
        {at(2026, 12, 6), "General Date", "12/6/2026"},
        {timeOnly(14, 7), "General Date", "2:07:00 PM"},
        {AutoDate::zero(), "General Date", "12:00:00 AM"},
        {afternoon, "Short Date", "12/6/2026"},
        {afternoon, "Long Date", "Sunday, December 6, 2026"},
        {afternoon, "Short Time", "14:07"},
        {afternoon, "Medium Time", "02:07 PM"},
        {afternoon, "Long Time", "2:07:09 PM"},
        {timeOnly(0, 0), "Long Time", "12:00:00 AM"},
        {timeOnly(12, 0), "Medium Time", "12:00 PM"},
        {timeOnly(0, 30), "Long Time", "12:30:00 AM"},
        {afternoon, "general date", "12/6/2026 2:07:09 PM"},
        {afternoon, "Medium Date", "06-Dec-26"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vb::format(c.value, c.pattern), c.expected) << c.pattern;
    EXPECT_EQ(vb::cstr(afternoon), "12/6/2026 2:07:09 PM");
    EXPECT_EQ(vb::format(QDate(), "mm/dd/yyyy"), QString());
    EXPECT_EQ(vb::format(QTime(13, 15), "Long Time"), "1:15:00 PM");
}

TEST(VbParse, AcceptsWhatUsersAndTheStoreHoldAndNothingElse)
{
    const struct Case {
        const char* text;
        AutoDate expected;
    } cases[] = {
        {"12/06/2026", at(2026, 12, 6)},
        {"12/6/26", at(2026, 12, 6)},
        {"2026-12-06", at(2026, 12, 6)},
        {"  12/6/2026  ", at(2026, 12, 6)},
        {"9:00 am", timeOnly(9, 0)},
        {"9:00:00 AM", timeOnly(9, 0)},
        {"13:15", timeOnly(13, 15)},
        {"9 am", timeOnly(9, 0)},
        {"12:00 AM", timeOnly(0, 0)},
        {"12:30 am", timeOnly(0, 30)},
        {"12:00 PM", timeOnly(12, 0)},
        {"12:00pm", timeOnly(12, 0)},
        {"12/06/2026 2:07 PM", at(2026, 12, 6, 14, 7)},
        {"2024-06-02T08:05:00.000", at(2024, 6, 2, 8, 5)},
        {"2024-06-02 08:05:00", at(2024, 6, 2, 8, 5)},
        {"Sunday, December 6, 2026", at(2026, 12, 6)},
        {"Dec 6, 2026", at(2026, 12, 6)},
        {"06-Dec-26", at(2026, 12, 6)},
        {"2/29/2024", at(2024, 2, 29)},
        // Two-digit years pivot at thirty.
        {"1/1/00", at(2000, 1, 1)},
        {"1/1/29", at(2029, 1, 1)},
        {"1/1/30", at(1930, 1, 1)},
        {"1/1/99", at(1999, 1, 1)},
    };
    for (const auto& c : cases) {
        const auto parsed = vb::parseDate(c.text);
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(*parsed, c.expected) << c.text << " gave " << vb::cstr(*parsed).toStdString();
    }
    // And what is no date at all.
    for (const char* text :
         {"abc", "13/45/2026", "", "   ", "25:00", "12:60", "2/29/2025", "13:00 pm", "12", "1.5",
          "__/__/__", "12/06/2026 abc", "0/1/2026", "12/6/202"})
        EXPECT_FALSE(vb::isDate(text)) << text;
}

TEST(VbParse, FormattedTextsReadBackToTheSameValue)
{
    const AutoDate values[] = {at(2026, 12, 6, 14, 7, 9), at(1999, 1, 31, 0, 0, 1),
                               at(2029, 7, 4, 12, 0, 0), timeOnly(0, 30, 15)};
    for (const AutoDate v : values) {
        EXPECT_EQ(*vb::parseDate(vb::cstr(v)), v) << vb::cstr(v).toStdString();
        EXPECT_EQ(vb::parseDate(vb::format(v, "mm/dd/yyyy"))->date(), v.date());
        EXPECT_EQ(vb::parseDate(vb::format(v, "Long Date"))->date(), v.date());
        EXPECT_EQ(vb::parseDate(vb::format(v, "hh:nn ampm"))->minutesOfDay(), v.minutesOfDay());
        EXPECT_EQ(vb::parseDate(vb::format(v, "h:nn am/pm"))->minutesOfDay(), v.minutesOfDay());
    }
}

TEST(VbParse, ToDateFromVariants)
{
    EXPECT_EQ(*vb::toDate(QDate(2026, 12, 6)), at(2026, 12, 6));
    EXPECT_EQ(*vb::toDate(QDateTime(QDate(2026, 12, 6), QTime(14, 7))), at(2026, 12, 6, 14, 7));
    EXPECT_EQ(*vb::toDate(QTime(9, 0)), timeOnly(9, 0));
    EXPECT_EQ(*vb::toDate(QVariant::fromValue(at(2026, 1, 2))), at(2026, 1, 2));
    EXPECT_EQ(*vb::toDate("1:15 PM"), timeOnly(13, 15));
    EXPECT_FALSE(vb::toDate(QVariant()).has_value());
    EXPECT_FALSE(vb::toDate("word").has_value());
}

TEST(VbNumbers, NumericTextsAndLeadingNumbers)
{
    const struct {
        const char* text;
        bool numeric;
        double value;
    } cases[] = {{"12", true, 12},      {" -3.5 ", true, -3.5}, {"+7", true, 7},
                 {"1,000", true, 1000}, {".5", true, 0.5},      {"1e3", true, 1000},
                 {"", false, 0},        {"abc", false, 0},      {"12abc", false, 0},
                 {"-", false, 0},       {".", false, 0},        {"1 2", false, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(vb::isNumeric(c.text), c.numeric) << c.text;
        if (c.numeric) {
            EXPECT_DOUBLE_EQ(*vb::toNumber(c.text), c.value) << c.text;
        }
    }
    EXPECT_DOUBLE_EQ(*vb::leadingNumber("12abc"), 12);
    EXPECT_DOUBLE_EQ(*vb::leadingNumber("  -4.25 min"), -4.25);
    EXPECT_FALSE(vb::leadingNumber("abc").has_value());
    EXPECT_FALSE(vb::leadingNumber(QString()).has_value());
}

// Beyond the whole numbers there are: the nearest end, never the other one.
TEST(VbNumbers, RoundHalfEvenLikeCLng)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    const struct {
        double in;
        qint64 out;
    } cases[] = {{0.5, 0},     {1.5, 2},           {2.5, 2},         {-0.5, 0},  {-1.5, -2},
                 {-2.5, -2},   {2.4999, 2},        {2.5001, 3},      {-2.6, -3}, {7.0, 7},
                 {1e30, kMax}, {-1e30, -kMax - 1}, {std::nan(""), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(vb::roundHalfEven(c.in), c.out) << c.in;
}

TEST(VbNumbers, ToText)
{
    EXPECT_EQ(vb::toText(QVariant()), QString());
    EXPECT_EQ(vb::toText(42), "42");
    EXPECT_EQ(vb::toText(30.0), "30");
    EXPECT_EQ(vb::toText(2.5), "2.5");
    EXPECT_EQ(vb::toText(true), "True");
    EXPECT_EQ(vb::toText(QDate(2026, 12, 6)), "12/6/2026");
    EXPECT_EQ(vb::toText(QVariant::fromValue(AutoDate::zero())), "12:00:00 AM");
    EXPECT_EQ(vb::toText("text"), "text");
}
