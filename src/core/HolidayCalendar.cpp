#include "core/HolidayCalendar.h"

#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QLocale>
#include <algorithm>

namespace tzsndmsg::holidays {

namespace {

// HDOCTable weekday (1 Sunday .. 7 Saturday) as QDate's (1 Monday .. 7 Sunday).
int qtWeekday(int storedWeekday)
{
    return storedWeekday == 1 ? 7 : storedWeekday - 1;
}

QDate nthWeekdayOfMonth(int year, int month, int qtDay, int nth)
{
    const QDate first(year, month, 1);
    if (nth == 0) { // last
        const QDate last(year, month, first.daysInMonth());
        return last.addDays(-((last.dayOfWeek() - qtDay + 7) % 7));
    }
    return first.addDays((qtDay - first.dayOfWeek() + 7) % 7 + 7 * (nth - 1));
}

QDate shifted(const QDate& date, int shift)
{
    switch (shift) {
    case 1: // the Friday before
        return date.addDays(-(date.dayOfWeek() - Qt::Friday));
    case 2: // the Monday after
        return date.addDays(8 - date.dayOfWeek());
    default:
        return date;
    }
}

int intValue(const db::Recordset& rs, const char* column)
{
    const QVariant v = rs.value(QLatin1String(column));
    return v.isNull() ? 0 : v.toInt();
}

} // namespace

QDate ruleDate(const HolidayRule& rule, int year)
{
    if (rule.obsMon < 1 || rule.obsMon > 12 || year < 1)
        return {};
    if (rule.fixedDate()) {
        const QDate date(year, rule.obsMon, rule.obsOn);
        return date.isValid() ? date : QDate();
    }
    if (rule.obsOn < 0 || rule.obsOn > 4 || rule.obsWeeDay < 1 || rule.obsWeeDay > 7)
        return {};
    return nthWeekdayOfMonth(year, rule.obsMon, qtWeekday(rule.obsWeeDay), rule.obsOn);
}

QDate observedDate(const HolidayRule& rule, int year)
{
    const QDate date = ruleDate(rule, year);
    if (!date.isValid() || !rule.fixedDate())
        return date;
    if (date.dayOfWeek() == Qt::Saturday)
        return shifted(date, rule.onSat);
    if (date.dayOfWeek() == Qt::Sunday)
        return shifted(date, rule.onSun);
    return date;
}

QList<YearHoliday> holidaysOfYear(HostServices& services, int year, QString* error)
{
    QList<YearHoliday> result;
    auto connection = services.suiteConnection();
    if (!connection) {
        if (error)
            *error = QStringLiteral("no connection to the office database");
        return result;
    }
    const QString sql = services.adaptSqlFor(
        *connection,
        QStringLiteral("Select hdocID, hdocDes, hdocUseDatFla, hdocObsOn, hdocObsWeeDay, "
                       "hdocObsMon, hdocOnSat, hdocOnSun from HDOCTable "
                       "where hdocInAct<>-1 and hdocHolFla=-1"));
    QString queryError;
    db::Recordset rs = connection->query(sql, &queryError);
    if (!rs.isOpen()) {
        if (error)
            *error = queryError;
        return result;
    }
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        HolidayRule rule;
        rule.useDatFla = intValue(rs, "hdocUseDatFla");
        rule.obsOn = intValue(rs, "hdocObsOn");
        rule.obsWeeDay = intValue(rs, "hdocObsWeeDay");
        rule.obsMon = intValue(rs, "hdocObsMon");
        rule.onSat = intValue(rs, "hdocOnSat");
        rule.onSun = intValue(rs, "hdocOnSun");
        // A shift can move a day off across New Year, so look at the neighbouring years too.
        for (int y = year - 1; y <= year + 1; ++y) {
            const QDate day = observedDate(rule, y);
            if (day.isValid() && day.year() == year)
                result.append({day, ruleDate(rule, y),
                               rs.value(QStringLiteral("hdocDes")).toString(),
                               rs.value(QStringLiteral("hdocID")).toLongLong()});
        }
    }
    std::stable_sort(result.begin(), result.end(), [](const YearHoliday& a, const YearHoliday& b) {
        if (a.date != b.date)
            return a.date < b.date;
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    if (error)
        error->clear();
    return result;
}

QString formatHolidayList(const QList<YearHoliday>& holidays, int year)
{
    if (holidays.isEmpty())
        return QStringLiteral("No holidays in %1.\n").arg(year);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    int nameWidth = int(qstrlen("Holiday"));
    for (const YearHoliday& h : holidays)
        nameWidth = std::max(nameWidth, int(h.name.trimmed().size()));
    // Names are user text: joined, never passed through arg() placeholders.
    auto row = [nameWidth](const QString& date, const QString& day, const QString& name,
                           const QString& note) {
        const QString line = date.leftJustified(10) + QStringLiteral("  ") + day.leftJustified(3) +
                             QStringLiteral("  ") + name.leftJustified(nameWidth) +
                             QStringLiteral("  ") + note;
        QStringView view(line);
        while (view.endsWith(QLatin1Char(' ')))
            view.chop(1);
        return view.toString() + QLatin1Char('\n');
    };
    QString out = QStringLiteral("Holidays of %1\n").arg(year);
    out += row(QStringLiteral("Date"), QStringLiteral("Day"), QStringLiteral("Holiday"),
               QStringLiteral("Note"));
    for (const YearHoliday& h : holidays) {
        QString note;
        if (h.ruleDay.isValid() && h.ruleDay != h.date)
            note = QStringLiteral("observed; falls on ") +
                   us.toString(h.ruleDay, QStringLiteral("ddd")) + QLatin1Char(' ') +
                   h.ruleDay.toString(QStringLiteral("MM/dd/yyyy"));
        out += row(h.date.toString(QStringLiteral("MM/dd/yyyy")),
                   us.toString(h.date, QStringLiteral("ddd")), h.name.trimmed(), note);
    }
    return out;
}

} // namespace tzsndmsg::holidays
