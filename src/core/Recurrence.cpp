#include "core/Recurrence.h"

#include <algorithm>

namespace tzsndmsg::core {

namespace {

constexpr qint64 MaxMonths = qint64(12) * 10000; // beyond the last year a date can hold

QDate mondayOf(const QDate& d)
{
    return d.addDays(1 - d.dayOfWeek());
}

// The n-th (1..4) or, for n = -1, the last given weekday of the month that holds `first`.
QDate weekdayOfMonth(const QDate& first, int dayOfWeek, int n)
{
    if (n > 0) {
        const int shift = (dayOfWeek - first.dayOfWeek() + 7) % 7;
        return first.addDays(shift + 7 * (n - 1));
    }
    const QDate last = first.addDays(first.daysInMonth() - 1);
    return last.addDays(-((last.dayOfWeek() - dayOfWeek + 7) % 7));
}

int ordinalOf(int unit)
{
    switch (unit) {
    case ruFirstWeekday:
        return 1;
    case ruSecondWeekday:
        return 2;
    case ruThirdWeekday:
        return 3;
    case ruFourthWeekday:
        return 4;
    case ruLastWeekday:
        return -1;
    default:
        return 0;
    }
}

// The rule's dates of period p (period 0 holds the first date), in order; empty past the
// calendar's end.
QList<QDate> periodDates(const RecurrenceRule& r, qint64 p)
{
    const qint64 n = r.everyCount();
    const QDate& s = r.start;
    auto monthsFrom = [&](qint64 months) -> QDate {
        if (months > MaxMonths)
            return {};
        return s.addMonths(int(months));
    };
    QDate d;
    switch (r.unit) {
    case ruDays:
        d = s.addDays(p * n);
        break;
    case ruWeeks:
    case ruWeekday:
        d = s.addDays(7 * p * n);
        break;
    case ruMonth:
        d = monthsFrom(p * n);
        break;
    case ruQuarters:
        d = monthsFrom(3 * p * n);
        break;
    case ruYears:
        d = p * n > 10000 ? QDate() : s.addYears(int(p * n));
        break;
    case ruWorkingDays:
    case ruWeekendDays: {
        const QDate monday = mondayOf(s).addDays(7 * p * n);
        if (!monday.isValid() || monday.year() > 9999)
            return {};
        QList<QDate> out;
        const int firstDay = r.unit == ruWorkingDays ? 0 : 5;
        const int lastDay = r.unit == ruWorkingDays ? 4 : 6;
        for (int i = firstDay; i <= lastDay; ++i)
            out << monday.addDays(i);
        return out;
    }
    default: {
        const int ordinal = ordinalOf(r.unit);
        if (ordinal == 0)
            return {};
        const qint64 months = p * n;
        if (months > MaxMonths)
            return {};
        const QDate first = QDate(s.year(), s.month(), 1).addMonths(int(months));
        if (!first.isValid())
            return {};
        d = weekdayOfMonth(first, s.dayOfWeek(), ordinal);
        break;
    }
    }
    if (!d.isValid() || d.year() > 9999)
        return {};
    return {d};
}

// A period whose predecessors all end before `from` (0 when from is not after the start).
qint64 periodBefore(const RecurrenceRule& r, const QDate& from)
{
    if (from <= r.start)
        return 0;
    const qint64 n = r.everyCount();
    qint64 est = 0;
    switch (r.unit) {
    case ruDays:
        est = r.start.daysTo(from) / n;
        break;
    case ruWeeks:
    case ruWeekday:
        est = r.start.daysTo(from) / (7 * n);
        break;
    case ruWorkingDays:
    case ruWeekendDays:
        est = mondayOf(r.start).daysTo(from) / (7 * n);
        break;
    case ruYears:
        est = (from.year() - r.start.year()) / n;
        break;
    default: {
        const qint64 months =
            qint64(from.year() - r.start.year()) * 12 + from.month() - r.start.month();
        est = months / (r.unit == ruQuarters ? 3 * n : n);
        break;
    }
    }
    return std::max<qint64>(0, est - 1);
}

} // namespace

bool RecurrenceRule::isKnownUnit() const
{
    switch (unit) {
    case ruDays:
    case ruWeeks:
    case ruWeekday:
    case ruMonth:
    case ruQuarters:
    case ruYears:
    case ruWorkingDays:
    case ruWeekendDays:
    case ruFirstWeekday:
    case ruSecondWeekday:
    case ruThirdWeekday:
    case ruFourthWeekday:
    case ruLastWeekday:
        return true;
    default:
        return false;
    }
}

bool RecurrenceRule::startMatchesRule() const
{
    if (!start.isValid() || !isKnownUnit())
        return false;
    return periodDates(*this, 0).contains(start);
}

QList<QDate> expandRecurrence(const RecurrenceRule& rule, const QDate& from, const QDate& to,
                              int maxCount)
{
    QList<QDate> out;
    if (!rule.start.isValid() || !from.isValid() || !to.isValid() || from > to || maxCount == 0)
        return out;
    if (rule.start >= from && rule.start <= to)
        out << rule.start;
    if (!rule.recurring || !rule.isKnownUnit())
        return out;

    QDate last = to;
    qint64 maxIndex = -1; // index in the whole sequence (first date = 0), -1: no limit
    if (rule.numberOfTimes >= 0) {
        maxIndex = rule.numberOfTimes;
    } else if (rule.numberOfTimes == NumOfTimUntil) {
        if (!rule.until.isValid())
            return out;
        last = std::min(last, rule.until);
    }
    if (last <= rule.start)
        return out;

    const bool startMatches = rule.startMatchesRule();
    const QList<QDate> first = periodDates(rule, 0);
    const qint64 c0 =
        std::count_if(first.begin(), first.end(), [&](const QDate& d) { return d >= rule.start; });
    const qint64 perPeriod = periodDates(rule, 1).size();
    const qint64 offset = startMatches ? 0 : 1;

    for (qint64 p = periodBefore(rule, from);; ++p) {
        const QList<QDate> dates = periodDates(rule, p);
        if (dates.isEmpty() || dates.first() > last)
            break;
        qint64 j = p == 0 ? 0 : c0 + (p - 1) * perPeriod;
        for (const QDate& d : dates) {
            if (d < rule.start)
                continue;
            const qint64 index = j++ + offset;
            if (maxIndex >= 0 && index > maxIndex)
                return out;
            if (d > last)
                return out;
            if (d >= from && d != rule.start) {
                out << d;
                if (maxCount > 0 && out.size() >= maxCount)
                    return out;
            }
        }
    }
    return out;
}

QList<QDate> nextOccurrences(const RecurrenceRule& rule, const QDate& from, int count,
                             int horizonYears)
{
    if (count <= 0 || !from.isValid())
        return {};
    QDate to = from.addYears(horizonYears);
    if (!to.isValid() || to.year() > 9999)
        to = QDate(9999, 12, 31);
    return expandRecurrence(rule, from, to, count);
}

QString weekdayName(int dayOfWeek)
{
    static const char* const names[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    if (dayOfWeek < 1 || dayOfWeek > 7)
        return QString();
    return QString::fromLatin1(names[dayOfWeek - 1]);
}

} // namespace tzsndmsg::core
