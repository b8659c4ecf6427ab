#pragma once

#include <QDate>
#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QTime>
#include <optional>

namespace tzsndmsg::common {

// The automation date: days since 30 December 1899, the time of day as the fraction.
// Negative values count back from the zero date with a positive time fraction, as in
// the automation types.
class AutoDate {
public:
    constexpr AutoDate() = default;
    constexpr explicit AutoDate(double value) : m_value(value) {}
    static AutoDate fromDate(const QDate& date);
    static AutoDate fromTime(const QTime& time);
    static AutoDate fromDateTime(const QDateTime& dateTime);
    static AutoDate fromDateAndTime(const QDate& date, const QTime& time);
    static constexpr AutoDate zero() { return AutoDate(0.0); }

    double value() const { return m_value; }
    bool isZero() const { return m_value == 0.0; }
    QDate date() const;
    QTime time() const; // to the second
    QDateTime dateTime() const;
    AutoDate datePart() const;
    AutoDate timePart() const;
    int minutesOfDay() const;
    AutoDate addMinutes(int minutes) const;
    AutoDate addDays(int days) const;
    // 1 = Sunday ... 7 = Saturday
    int weekday() const;

    friend bool operator==(AutoDate a, AutoDate b);
    friend bool operator<(AutoDate a, AutoDate b) { return a.m_value < b.m_value; }
    friend bool operator<=(AutoDate a, AutoDate b) { return a.m_value <= b.m_value; }

private:
    double m_value = 0.0;
};

} // namespace tzsndmsg::common

Q_DECLARE_METATYPE(tzsndmsg::common::AutoDate)
