#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::holidays {

// A holiday as HDOCTable keeps it.
struct HolidayRule {
    int useDatFla = -1; // nonzero: a fixed date; 0: an observed rule
    int obsOn = 0;      // fixed: day of the month 1..31; rule: 1..4 first..fourth, 0 last
    int obsWeeDay = 0;  // rule: 1 Sunday .. 7 Saturday
    int obsMon = 0;     // 1..12
    int onSat = 0;      // fixed: 0 stays, 1 the Friday before, 2 the Monday after
    int onSun = 0;
    bool fixedDate() const { return useDatFla != 0; }
};

// The date the rule names in the year, before any weekend shift. Invalid when the rule names
// no date that year: a day the month lacks (31 February, 29 February of a common year) or a
// value out of range.
QDate ruleDate(const HolidayRule& rule, int year);

// The day off for the year's occurrence: a fixed date on a Saturday or Sunday moves to the
// Friday before or the Monday after as the rule says (which may cross into the next or the
// previous year); rules never move. Unknown shift values leave the date where it is.
QDate observedDate(const HolidayRule& rule, int year);

struct YearHoliday {
    QDate date;    // the day off
    QDate ruleDay; // the date the rule names (differs when shifted off a weekend)
    QString name;
    qint64 id = 0;
};

// The office's active holidays whose day off falls in the year, in date order (then by name).
// A holiday of the next year shifted back to 31 December counts in this year, as the day off
// is then. Holidays with rules that name no date are left out. False with the reason in
// error when the list cannot be read.
QList<YearHoliday> holidaysOfYear(HostServices& services, int year, QString* error = nullptr);

// The list as a text table for a terminal, one line per holiday.
QString formatHolidayList(const QList<YearHoliday>& holidays, int year);

} // namespace tzsndmsg::holidays
