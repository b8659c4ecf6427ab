#include "EventsFixture.h"
#include "support/TestPrinters.h"

#include <gtest/gtest.h>

using namespace tzsndmsg::core;
using tzsndmsg::testing::rule;

namespace {

QDate D(int y, int m, int d)
{
    return QDate(y, m, d);
}

std::string show(const QList<QDate>& dates)
{
    QStringList out;
    for (const QDate& d : dates)
        out << d.toString(Qt::ISODate);
    return out.join(QLatin1Char(' ')).toStdString();
}

struct Case {
    const char* name;
    RecurrenceRule rule;
    QDate from, to;
    const char* expected; // ISO dates, space separated
};

} // namespace

// Calendars worked out by hand.
TEST(Recurrence, ExpandsEveryUnitAgainstHandWorkedCalendars)
{
    const Case cases[] = {
        {"month ends clamp, leap February", rule(D(2024, 1, 31), ruMonth), D(2024, 1, 1),
         D(2024, 6, 30), "2024-01-31 2024-02-29 2024-03-31 2024-04-30 2024-05-31 2024-06-30"},
        {"month end in a common year", rule(D(2023, 1, 31), ruMonth), D(2023, 1, 1), D(2023, 3, 31),
         "2023-01-31 2023-02-28 2023-03-31"},
        {"every 2 months keeps the day", rule(D(2024, 1, 15), ruMonth, 2), D(2024, 1, 1),
         D(2024, 7, 31), "2024-01-15 2024-03-15 2024-05-15 2024-07-15"},
        {"quarters across a leap February", rule(D(2023, 11, 30), ruQuarters), D(2023, 1, 1),
         D(2024, 12, 31), "2023-11-30 2024-02-29 2024-05-30 2024-08-30 2024-11-30"},
        {"every 2 quarters", rule(D(2024, 3, 31), ruQuarters, 2), D(2024, 1, 1), D(2025, 6, 30),
         "2024-03-31 2024-09-30 2025-03-31"},
        {"29 February yearly", rule(D(2024, 2, 29), ruYears), D(2024, 1, 1), D(2028, 12, 31),
         "2024-02-29 2025-02-28 2026-02-28 2027-02-28 2028-02-29"},
        {"every 4 years over 2100", rule(D(2096, 2, 29), ruYears, 4), D(2096, 1, 1),
         D(2104, 12, 31), "2096-02-29 2100-02-28 2104-02-29"},
        {"last Friday, August has five", rule(D(2024, 5, 31), ruLastWeekday), D(2024, 5, 1),
         D(2024, 9, 30), "2024-05-31 2024-06-28 2024-07-26 2024-08-30 2024-09-27"},
        {"4th Friday is not the last", rule(D(2024, 5, 24), ruFourthWeekday), D(2024, 5, 1),
         D(2024, 9, 30), "2024-05-24 2024-06-28 2024-07-26 2024-08-23 2024-09-27"},
        {"1st Monday every 2 months", rule(D(2024, 1, 1), ruFirstWeekday, 2), D(2024, 1, 1),
         D(2024, 8, 31), "2024-01-01 2024-03-04 2024-05-06 2024-07-01"},
        {"3rd Wednesday", rule(D(2026, 12, 16), ruThirdWeekday), D(2026, 12, 1), D(2027, 3, 31),
         "2026-12-16 2027-01-20 2027-02-17 2027-03-17"},
        {"working days, 4 times", rule(D(2024, 7, 31), ruWorkingDays, 1, 4), D(2024, 7, 1),
         D(2024, 12, 31), "2024-07-31 2024-08-01 2024-08-02 2024-08-05 2024-08-06"},
        {"working days every 2 weeks", rule(D(2024, 8, 1), ruWorkingDays, 2), D(2024, 8, 1),
         D(2024, 8, 31),
         "2024-08-01 2024-08-02 2024-08-12 2024-08-13 2024-08-14 2024-08-15 2024-08-16 "
         "2024-08-26 2024-08-27 2024-08-28 2024-08-29 2024-08-30"},
        {"weekend every 2 weeks stays together", rule(D(2024, 8, 3), ruWeekendDays, 2),
         D(2024, 8, 1), D(2024, 9, 1),
         "2024-08-03 2024-08-04 2024-08-17 2024-08-18 2024-08-31 2024-09-01"},
        {"every 3 days until, inclusive",
         rule(D(2024, 2, 24), ruDays, 3, NumOfTimUntil, D(2024, 3, 1)), D(2024, 1, 1),
         D(2024, 12, 31), "2024-02-24 2024-02-27 2024-03-01"},
        {"every 2 weeks, 2 times, over new year", rule(D(2024, 12, 18), ruWeeks, 2, 2),
         D(2024, 1, 1), D(2025, 12, 31), "2024-12-18 2025-01-01 2025-01-15"},
        {"weekday unit is weekly", rule(D(2026, 12, 2), ruWeekday, 1, 3), D(2026, 1, 1),
         D(2027, 12, 31), "2026-12-02 2026-12-09 2026-12-16 2026-12-23"},
        {"first date off the rule counts apart", rule(D(2024, 9, 3), ruSecondWeekday, 1, 2),
         D(2024, 1, 1), D(2025, 12, 31), "2024-09-03 2024-09-10 2024-10-08"},
        {"weekend rule from a Wednesday", rule(D(2024, 7, 31), ruWeekendDays, 1, 3), D(2024, 1, 1),
         D(2025, 12, 31), "2024-07-31 2024-08-03 2024-08-04 2024-08-10"},
        {"range far from the first date", rule(D(2000, 1, 1), ruDays), D(2024, 2, 28),
         D(2024, 3, 1), "2024-02-28 2024-02-29 2024-03-01"},
        {"count ends inside a later range", rule(D(2024, 1, 1), ruWorkingDays, 1, 10),
         D(2024, 1, 14), D(2024, 1, 31), "2024-01-15"},
        {"every-count 0 counts as 1", rule(D(2024, 1, 1), ruDays, 0, 2), D(2024, 1, 1),
         D(2024, 1, 31), "2024-01-01 2024-01-02 2024-01-03"},
        {"other negative count is unlimited", rule(D(2024, 1, 1), ruYears, 1, -5), D(2024, 1, 1),
         D(2026, 12, 31), "2024-01-01 2025-01-01 2026-01-01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(expandRecurrence(c.rule, c.from, c.to)), c.expected) << c.name;
}

TEST(Recurrence, OnlyTheFirstDateWhenTheRuleAddsNothing)
{
    const QDate start = D(2026, 12, 6);
    RecurrenceRule notRecurring = rule(start, ruDays);
    notRecurring.recurring = false;
    const RecurrenceRule cases[] = {
        notRecurring,
        rule(start, 0),                                        // the message window's unit value
        rule(start, -1),                                       // no unit chosen
        rule(start, ruDays, 1, 0),                             // for 0 times
        rule(start, ruDays, 1, NumOfTimUntil, D(2026, 12, 1)), // until before the first date
        rule(start, ruDays, 1, NumOfTimUntil, QDate()),        // until not a date
    };
    for (const RecurrenceRule& r : cases)
        EXPECT_EQ(show(expandRecurrence(r, D(2026, 1, 1), D(2027, 12, 31))), show({start}))
            << r.unit << " " << r.numberOfTimes;
    EXPECT_TRUE(expandRecurrence(rule(QDate(), ruDays), D(2026, 1, 1), D(2027, 1, 1)).isEmpty());
}

TEST(Recurrence, NextOccurrencesStartAtTheGivenDayAndStopAtTheCalendarEnd)
{
    EXPECT_EQ(show(nextOccurrences(rule(D(2024, 1, 31), ruMonth), D(2024, 3, 15), 3)),
              show({D(2024, 3, 31), D(2024, 4, 30), D(2024, 5, 31)}));
    EXPECT_EQ(show(nextOccurrences(rule(D(9999, 12, 30), ruDays), D(9999, 12, 30), 5)),
              show({D(9999, 12, 30), D(9999, 12, 31)}));
    EXPECT_EQ(show(nextOccurrences(rule(D(2024, 1, 1), ruYears, 2000000000), D(2024, 1, 1), 3)),
              show({D(2024, 1, 1)}));
}

TEST(Recurrence, StartMatchesRule)
{
    EXPECT_TRUE(rule(D(2024, 8, 30), ruLastWeekday).startMatchesRule());
    EXPECT_FALSE(rule(D(2024, 8, 23), ruLastWeekday).startMatchesRule());
    EXPECT_TRUE(rule(D(2024, 8, 23), ruFourthWeekday).startMatchesRule());
    EXPECT_FALSE(rule(D(2024, 8, 3), ruWorkingDays).startMatchesRule());
    EXPECT_TRUE(rule(D(2024, 8, 3), ruWeekendDays).startMatchesRule());
    EXPECT_TRUE(rule(D(2024, 8, 3), ruQuarters).startMatchesRule());
}
