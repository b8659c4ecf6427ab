#pragma once

#include <QDate>
#include <QList>
#include <QString>

// The office's days off, as the holiday window keeps them (HDOCTable).
//
// Threads: call on the thread that uses the services' connections; nothing here shows a window
// or a message box, and nothing throws.
namespace tzsndmsg {

class HostServices;

struct DayOff {
    QDate date;     // the day the office is closed
    QDate ruleDate; // the date the holiday's rule names; differs when moved off a weekend
    QString name;
    qint64 holidayId = 0; // HDOCTable.hdocID
};

// The active holidays whose day off falls in the year (1 to 9999), in date order, then by name.
// A fixed date on a weekend moves as its rule says, across New Year too (a 1 January on a
// Saturday may give 31 December of the year before); rules that name no date that year (30
// February) are left out. False with the reason for a year out of range or when the holidays
// cannot be read; days is then empty.
bool readDaysOff(HostServices& services, int year, QList<DayOff>& days, QString* error = nullptr);

// The days off as a text table for a terminal ("Holidays of 2027", a heading line, then one line
// per day: MM/dd/yyyy, the weekday, the name and "observed; falls on ..." for a moved day), or
// "No holidays in 2027." for none. Any thread.
QString daysOffText(const QList<DayOff>& days, int year);

} // namespace tzsndmsg
