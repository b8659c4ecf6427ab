#include "AutoDate.h"

#include <cmath>

namespace tzsndmsg::common {

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr qint64 kSecondsPerDay = 86400;

// The moment a value stands for, as whole days from the epoch and seconds into that day.
// The integer part is the day (counting back for negative values); the fraction is always
// a positive time of day, rounded to the second.
struct Moment {
    qint64 days = 0;
    qint64 seconds = 0;
};

Moment momentOf(double value)
{
    if (!std::isfinite(value))
        return {};
    const double whole = std::trunc(value);
    Moment m;
    m.days = static_cast<qint64>(whole);
    m.seconds = std::llround(std::fabs(value - whole) * kSecondsPerDay);
    if (m.seconds >= kSecondsPerDay) {
        m.seconds -= kSecondsPerDay;
        m.days += 1;
    }
    return m;
}

double valueOf(qint64 days, qint64 seconds)
{
    const double fraction = static_cast<double>(seconds) / kSecondsPerDay;
    return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

// Normalises a count of seconds from the epoch into a moment.
Moment fromSeconds(qint64 total)
{
    Moment m;
    m.days = total / kSecondsPerDay;
    m.seconds = total % kSecondsPerDay;
    if (m.seconds < 0) {
        m.seconds += kSecondsPerDay;
        m.days -= 1;
    }
    return m;
}

qint64 totalSeconds(const Moment& m)
{
    return m.days * kSecondsPerDay + m.seconds;
}

} // namespace

AutoDate AutoDate::fromDate(const QDate& date)
{
    if (!date.isValid())
        return zero();
    return AutoDate(static_cast<double>(kEpoch.daysTo(date)));
}

AutoDate AutoDate::fromTime(const QTime& time)
{
    if (!time.isValid())
        return zero();
    return AutoDate(
        valueOf(0, time.msecsSinceStartOfDay() / 1000 + ((time.msec() >= 500) ? 1 : 0)));
}

AutoDate AutoDate::fromDateTime(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return zero();
    return fromDateAndTime(dateTime.date(), dateTime.time());
}

AutoDate AutoDate::fromDateAndTime(const QDate& date, const QTime& time)
{
    const qint64 days = date.isValid() ? kEpoch.daysTo(date) : 0;
    qint64 seconds = 0;
    if (time.isValid())
        seconds = time.msecsSinceStartOfDay() / 1000 + ((time.msec() >= 500) ? 1 : 0);
    const Moment m = fromSeconds(days * kSecondsPerDay + seconds);
    return AutoDate(valueOf(m.days, m.seconds));
}

QDate AutoDate::date() const
{
    return kEpoch.addDays(momentOf(m_value).days);
}

QTime AutoDate::time() const
{
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(momentOf(m_value).seconds * 1000));
}

QDateTime AutoDate::dateTime() const
{
    return QDateTime(date(), time());
}

AutoDate AutoDate::datePart() const
{
    return AutoDate(static_cast<double>(momentOf(m_value).days));
}

AutoDate AutoDate::timePart() const
{
    return AutoDate(valueOf(0, momentOf(m_value).seconds));
}

int AutoDate::minutesOfDay() const
{
    return static_cast<int>(momentOf(m_value).seconds / 60);
}

AutoDate AutoDate::addMinutes(int minutes) const
{
    const Moment m = fromSeconds(totalSeconds(momentOf(m_value)) + qint64(minutes) * 60);
    return AutoDate(valueOf(m.days, m.seconds));
}

AutoDate AutoDate::addDays(int days) const
{
    const Moment m = fromSeconds(totalSeconds(momentOf(m_value)) + qint64(days) * kSecondsPerDay);
    return AutoDate(valueOf(m.days, m.seconds));
}

int AutoDate::weekday() const
{
    return date().dayOfWeek() % 7 + 1;
}

// Equal when they name the same second; the fractions of a stored double rarely agree exactly.
bool operator==(AutoDate a, AutoDate b)
{
    return totalSeconds(momentOf(a.m_value)) == totalSeconds(momentOf(b.m_value));
}

} // namespace tzsndmsg::common
