#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace tzsndmsg::core {

// Item values of the unit lists cmbRea (stored in evBroReaTyp). The message window offers the
// plain units (days to years); the events window all of them.
enum RecurrenceUnit : int {
    ruDays = 1,
    ruWeeks = 7,
    ruWeekday = -7, // every N of the first date's weekday
    ruMonth = 30,
    ruQuarters = 91,
    ruYears = 365,
    ruWorkingDays = -15, // Monday through Friday
    ruWeekendDays = -13, // Saturday and Sunday
    ruFirstWeekday = -6, // 1st <weekday> of the month
    ruSecondWeekday = -5,
    ruThirdWeekday = -4,
    ruFourthWeekday = -3,
    ruLastWeekday = -2, // last <weekday> of the month
};

// evBroNumOfTim: -1 Unlimited, -2 Until, n >= 0 a number of times.
constexpr int NumOfTimUnlimited = -1;
constexpr int NumOfTimUntil = -2;

// A stored rule as the events window writes it; a message's repeats read the same way.
//
// How the rule reads (the windows only store it):
// - The first date is always an occurrence; the rule adds dates "in addition to first date".
// - Every N periods counted from the first date's period: N days, N weeks, N months (the first
//   date's day, or the month's last day when the month is shorter), 3N months for quarters,
//   N years (29 February falls on the 28th in common years), the working days or the weekend
//   days of every N-th week (weeks Monday to Sunday, so a weekend stays together), the n-th or
//   last weekday (the first date's weekday) of every N-th month.
// - Rule dates before the first date are not occurrences.
// - "for N Times": the first date and the next N dates of the rule. "Until": dates up to and
//   including the until date; an until date that is missing or not a date ends the rule at the
//   first date. Any other negative count means Unlimited, as the window reads it back.
// - Not recurring, an unknown unit, or a first date that is not a date: only the first date.
struct RecurrenceRule {
    QDate start;
    bool recurring = false;
    int every = 1; // below 1 counts as 1
    int unit = 0;
    int numberOfTimes = NumOfTimUnlimited;
    QDate until;

    bool isKnownUnit() const;
    int everyCount() const { return every < 1 ? 1 : every; }
    // True when the first date is itself a date of the rule (for example the 2nd Tuesday for
    // the unit "2nd Tuesday of the month"); always true for the plain units.
    bool startMatchesRule() const;
};

// The occurrences of the rule within [from, to], in order. At most maxCount dates when given.
QList<QDate> expandRecurrence(const RecurrenceRule& rule, const QDate& from, const QDate& to,
                              int maxCount = -1);

// The first `count` occurrences on or after `from` (looking at most `horizonYears` ahead).
QList<QDate> nextOccurrences(const RecurrenceRule& rule, const QDate& from, int count,
                             int horizonYears = 100);

// The weekday name used by the unit list (Sunday ... Saturday), day of week 1 = Monday.
QString weekdayName(int dayOfWeek);

} // namespace tzsndmsg::core
