// What the reminder and delivery columns mean in time, on moments the test fixes.
#include "core/Moments.h"

#include "support/TestPrinters.h"

#include <gtest/gtest.h>

using namespace tzsndmsg::core;

namespace {

QDateTime at(int y, int m, int d, int h = 9, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

std::string show(const QList<QDateTime>& moments)
{
    QStringList out;
    for (const QDateTime& m : moments)
        out << m.toString("yyyy-MM-dd HH:mm");
    return out.join(QLatin1Char(' ')).toStdString();
}

std::string show(const std::optional<QDateTime>& moment)
{
    return moment ? moment->toString("yyyy-MM-dd HH:mm").toStdString() : "none";
}

// The texts the store gives back for a date and a time column.
MessageDetail reminder(const QString& date, const QString& time, bool dated = true)
{
    MessageDetail d;
    d.exists = true;
    d.EVAlaFla = true;
    d.EVAlaStaDatFla = dated;
    d.EVAlaStaDat = date;
    d.EVAlaStaTim = time;
    return d;
}

// A message set to start on a day at a time, repeating as given.
StoredMessage scheduled(const QString& startDate, const QString& startTime, qint32 unit = -1,
                        qint32 every = 1, qint32 times = -1, const QString& until = QString(),
                        bool untilTicked = false)
{
    StoredMessage m;
    m.header.cmDat = "12/06/2026";
    m.header.cmTim = "10:00:00 AM";
    MessageDetail& d = m.detail;
    d.exists = true;
    d.EvBroFla = true;
    d.EvBroStaDatFla = true;
    d.EvBroStaDat = startDate;
    d.EvBroStaTim = startTime;
    d.EvBroReaFla = unit != -1;
    d.EvBroReaTyp = unit;
    d.EvBroReaEve = every;
    d.EvBroNumOfTim = times;
    d.EvBroEndDatFla = untilTicked || !until.isEmpty();
    d.EvBroEndDat = until;
    return m;
}

// A broadcast from a day at a time, "From :" ticked unless told.
MessageDetail delivery(const QString& date, const QString& time, bool from = true)
{
    MessageDetail d = scheduled(date, time).detail;
    d.EvBroStaDatFla = from;
    return d;
}

// A reminder's moment, and a broadcast's start only when it is set to start later.
TEST(StoredMoment, ReadFromTheStoredTextsOrNoneWithTheReason)
{
    struct Case {
        const char* name;
        MessageDetail detail;
        const char* moment;  // "none" when there is none
        const char* problem; // part of the reason, nullptr when none is expected
    } cases[] = {
        {"date and time", reminder("12/10/2026", "8:45:00 AM"), "2026-12-10 08:45", nullptr},
        {"as a person typed them", reminder("12/10/26", "2:30 pm"), "2026-12-10 14:30", nullptr},
        {"no reminder", MessageDetail{}, "none", nullptr},
        {"reminder without its date", reminder("12/10/2026", "8:45:00 AM", false), "none", nullptr},
        {"the date as typed", reminder("next week", "8:45:00 AM"), "none",
         "\"next week\" is not a date"},
        {"a date that holds only a time", reminder("9:00:00 AM", "9:00:00 AM"), "none",
         "is not a date"},
        {"a month that does not exist", reminder("13/45/2026", "9:00 AM"), "none", "is not a date"},
        {"the time as typed", reminder("12/10/2026", "soon"), "none", "\"soon\" is not a time"},
        {"no time", reminder("12/10/2026", ""), "none", "no time"},
        {"broadcast from a day and time", delivery("12/24/2026", "7:30:00 AM"), "2026-12-24 07:30",
         nullptr},
        {"from a day without a time", delivery("12/24/2026", ""), "2026-12-24 00:00", nullptr},
        {"\"From :\" not ticked", delivery("12/24/2026", "7:30:00 AM", false), "none", nullptr},
        {"ticked without a date", delivery("", "7:30:00 AM"), "none", nullptr},
        {"a start date as typed", delivery("Christmas eve", "7:30:00 AM"), "none",
         "\"Christmas eve\" is not a date"},
        {"a start time as typed", delivery("12/24/2026", "early"), "none",
         "\"early\" is not a time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StoredMoment m =
            c.detail.EvBroFla ? deliveryStart(c.detail) : reminderMoment(c.detail);
        EXPECT_EQ(show(m.at), c.moment);
        if (c.problem)
            EXPECT_TRUE(m.problem.contains(QString::fromUtf8(c.problem)))
                << m.problem.toStdString();
        else
            EXPECT_TRUE(m.problem.isEmpty()) << m.problem.toStdString();
    }
}

TEST(DeliveryPlan, RepeatsOfEveryUnitAgainstTheCalendar)
{
    // Most start on Monday 7 December 2026 at 9:00.
    const auto dec7 = [](qint32 unit = -1, qint32 every = 1, qint32 times = -1,
                         const QString& until = {}, bool untilTicked = false) {
        return scheduled("12/07/2026", "9:00:00 AM", unit, every, times, until, untilTicked);
    };
    struct Case {
        const char* name;
        StoredMessage message;
        QDateTime after, upTo;
        const char* expected; // the deliveries in (after, upTo]
    } cases[] = {
        {"once", dec7(), at(2026, 12, 1), at(2027, 12, 1), "2026-12-07 09:00"},
        {"every 2 days", dec7(ruDays, 2), at(2026, 12, 7, 8), at(2026, 12, 11),
         "2026-12-07 09:00 2026-12-09 09:00 2026-12-11 09:00"},
        {"weekly, from the middle", dec7(ruWeeks), at(2026, 12, 14, 9), at(2026, 12, 28, 9),
         "2026-12-21 09:00 2026-12-28 09:00"},
        {"monthly from the 31st in a leap year", scheduled("01/31/2028", "8:45:00 AM", ruMonth),
         at(2028, 1, 1), at(2028, 4, 30),
         "2028-01-31 08:45 2028-02-29 08:45 2028-03-31 08:45 2028-04-30 08:45"},
        {"monthly from the 31st in a common year", scheduled("01/31/2027", "8:45:00 AM", ruMonth),
         at(2027, 2, 1), at(2027, 3, 31, 23), "2027-02-28 08:45 2027-03-31 08:45"},
        {"quarterly", scheduled("11/30/2026", "9:00:00 AM", ruQuarters), at(2026, 12, 1),
         at(2027, 9, 1), "2027-02-28 09:00 2027-05-30 09:00 2027-08-30 09:00"},
        {"yearly from 29 February", scheduled("02/29/2028", "9:00:00 AM", ruYears), at(2028, 3, 1),
         at(2032, 3, 1), "2029-02-28 09:00 2030-02-28 09:00 2031-02-28 09:00 2032-02-29 09:00"},
        {"3 times after the first", dec7(ruWeeks, 1, 3), at(2026, 12, 1), at(2027, 6, 1),
         "2026-12-07 09:00 2026-12-14 09:00 2026-12-21 09:00 2026-12-28 09:00"},
        {"0 times: the first alone", dec7(ruDays, 1, 0), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00"},
        {"until a day, that day included", dec7(ruDays, 1, -1, "12/09/2026"), at(2026, 12, 1),
         at(2027, 1, 1), "2026-12-07 09:00 2026-12-08 09:00 2026-12-09 09:00"},
        {"until ticked without a date", dec7(ruDays, 1, -1, "", true), at(2026, 12, 1),
         at(2027, 1, 1), "2026-12-07 09:00"},
        {"until a day before the first", dec7(ruDays, 1, -1, "12/01/2026"), at(2026, 12, 1),
         at(2027, 1, 1), "2026-12-07 09:00"},
        {"unit 0: unknown, no repeats", dec7(0), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00"},
        {"an events-only unit: no repeats", dec7(ruWorkingDays), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00"},
        {"every 0 counts as every 1", dec7(ruDays, 0, 2), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00 2026-12-08 09:00 2026-12-09 09:00"},
        {"the bounds: after excluded, up to included", dec7(ruDays), at(2026, 12, 7),
         at(2026, 12, 9), "2026-12-08 09:00 2026-12-09 09:00"},
        {"an empty interval", dec7(ruDays), at(2026, 12, 9), at(2026, 12, 9), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString problem;
        const auto plan = deliveryPlan(c.message, &problem);
        ASSERT_TRUE(plan) << problem.toStdString();
        const QList<QDateTime> moments = deliveriesBetween(*plan, c.after, c.upTo);
        EXPECT_EQ(show(moments), c.expected);
        // Stepping with "the next after" meets the same moments, and nothing between them.
        QList<QDateTime> stepped;
        for (auto next = nextDeliveryAfter(*plan, c.after); next && *next <= c.upTo;
             next = nextDeliveryAfter(*plan, *next))
            stepped << *next;
        EXPECT_EQ(show(stepped), c.expected);
    }
}

TEST(DeliveryPlan, WithoutALaterStartFromTheMessagesOwnMoment)
{
    StoredMessage m = scheduled("", "", ruWeeks);
    m.detail.EvBroStaDatFla = false;
    QString problem;
    auto plan = deliveryPlan(m, &problem);
    ASSERT_TRUE(plan) << problem.toStdString();
    EXPECT_FALSE(plan->startsLater);
    EXPECT_EQ(show(deliveriesBetween(*plan, at(2026, 12, 1), at(2026, 12, 20, 10))),
              "2026-12-06 10:00 2026-12-13 10:00 2026-12-20 10:00");

    // A message without a detail row is delivered once, at its own moment.
    StoredMessage bare;
    bare.header.cmDat = "12/06/2026";
    bare.header.cmTim = "10:00:00 AM";
    plan = deliveryPlan(bare);
    ASSERT_TRUE(plan);
    EXPECT_EQ(show(nextDeliveryAfter(*plan, at(2026, 12, 6, 10))), "none");

    // No moment to start from: no plan, and why.
    m.header.cmDat = "someday";
    EXPECT_FALSE(deliveryPlan(m, &problem));
    EXPECT_TRUE(problem.contains("\"someday\" is not a date")) << problem.toStdString();
    m = scheduled("Christmas eve", "9:00 AM", ruDays);
    EXPECT_FALSE(deliveryPlan(m, &problem));
    EXPECT_TRUE(problem.contains("Christmas eve")) << problem.toStdString();
}

} // namespace
