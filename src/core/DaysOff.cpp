// The public reading of the office's days off, over the holiday calendar.
#include "core/HolidayCalendar.h"
#include "tzsndmsg/Holidays.h"

namespace tzsndmsg {

bool readDaysOff(HostServices& services, int year, QList<DayOff>& days, QString* error)
{
    days.clear();
    if (year < 1 || year > 9999) {
        if (error)
            *error = QStringLiteral("the year must be from 1 to 9999, not %1").arg(year);
        return false;
    }
    QString reason;
    const QList<holidays::YearHoliday> list = holidays::holidaysOfYear(services, year, &reason);
    if (!reason.isEmpty()) {
        if (error)
            *error = reason;
        return false;
    }
    days.reserve(list.size());
    for (const holidays::YearHoliday& h : list)
        days.append({h.date, h.ruleDay, h.name, h.id});
    if (error)
        error->clear();
    return true;
}

QString daysOffText(const QList<DayOff>& days, int year)
{
    QList<holidays::YearHoliday> list;
    list.reserve(days.size());
    for (const DayOff& day : days)
        list.append({day.date, day.ruleDate, day.name, day.holidayId});
    return holidays::formatHolidayList(list, year);
}

} // namespace tzsndmsg
