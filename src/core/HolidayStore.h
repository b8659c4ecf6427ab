#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tzsndmsg {
class HostServices;
}

namespace tzsndmsg::holidays {

// A row of the holiday setup list: the office's active holidays, by name.
struct HolidayListRow {
    qint64 id = 0;
    QString description;
    bool fixedDate = false; // hdocUseDatFla not 0
    qint64 obsOn = 0, obsWeeDay = 0, obsMon = 0;
};

// A holiday as the setup window edits it (HDOCTable; null numbers read as 0).
struct Holiday {
    qint64 id = 0; // 0: not stored yet
    QString description;
    bool fixedDate = true;
    // A fixed date keeps day, month and the weekend shifts; a rule keeps nth, weekday and month.
    // The columns the other kind does not use are written as 0.
    qint64 obsOn = 0, obsWeeDay = 0, obsMon = 0, onSat = 0, onSun = 0;
    QString iconFile;                 // hdocIcoFilNam, relative to the data folder
    bool notForPartTimeStaff = false; // hdocNotAppToParEmp
};

// Every call below reports a failure in its result (false or none) with the reason in error.

std::optional<QList<HolidayListRow>> readHolidayList(HostServices& services,
                                                     QString* error = nullptr);
// None also when no holiday has the id (error then stays empty).
std::optional<Holiday> readHoliday(HostServices& services, qint64 id, QString* error = nullptr);
// Inserts a holiday with id 0 (active, a paid day off with the zero start and end dates) or
// updates the edited columns of a stored one, leaving the others as they are. The holiday's id.
std::optional<qint64> saveHoliday(HostServices& services, const Holiday& holiday,
                                  QString* error = nullptr);
bool deleteHoliday(HostServices& services, qint64 id, QString* error = nullptr);

} // namespace tzsndmsg::holidays
