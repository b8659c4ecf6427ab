#include "core/IcsExport.h"

#include "common/VbFormat.h"
#include "core/EventStore.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QFile>
#include <QSaveFile>
#include <QTimeZone>

namespace tzsndmsg::events {

namespace {

const char* const dayCodes[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};

QString dateText(const QDate& d)
{
    return d.toString(QStringLiteral("yyyyMMdd"));
}

QString dateTimeText(const QDate& d, const QTime& t)
{
    return dateText(d) + QLatin1Char('T') + t.toString(QStringLiteral("HHmmss"));
}

// BYMONTHDAY/BYSETPOS that put a day past the 28th on the month's last day when the month is
// shorter, as the expansion does.
QString monthEndClamp(int day)
{
    if (day <= 28)
        return QString();
    QStringList days;
    for (int d = 28; d <= day; ++d)
        days << QString::number(d);
    return QStringLiteral(";BYMONTHDAY=") + days.join(QLatin1Char(',')) +
           QStringLiteral(";BYSETPOS=-1");
}

void addLine(QByteArray& out, const QString& line)
{
    out += icsFold(line.toUtf8());
}

} // namespace

std::optional<QString> rruleFor(const core::RecurrenceRule& rule, bool allDay)
{
    if (!rule.recurring || !rule.start.isValid() || !rule.startMatchesRule())
        return std::nullopt;
    const int n = rule.everyCount();
    const QString day = QString::fromLatin1(dayCodes[rule.start.dayOfWeek() - 1]);
    QString r;
    switch (rule.unit) {
    case core::ruDays:
        r = QStringLiteral("FREQ=DAILY;INTERVAL=%1").arg(n);
        break;
    case core::ruWeeks:
    case core::ruWeekday:
        r = QStringLiteral("FREQ=WEEKLY;INTERVAL=%1").arg(n);
        break;
    case core::ruMonth:
        r = QStringLiteral("FREQ=MONTHLY;INTERVAL=%1").arg(n) + monthEndClamp(rule.start.day());
        break;
    case core::ruQuarters:
        if (qint64(n) * 3 > std::numeric_limits<int>::max())
            return std::nullopt;
        r = QStringLiteral("FREQ=MONTHLY;INTERVAL=%1").arg(3 * n) + monthEndClamp(rule.start.day());
        break;
    case core::ruYears:
        r = QStringLiteral("FREQ=YEARLY;INTERVAL=%1").arg(n);
        if (rule.start.month() == 2 && rule.start.day() == 29)
            r += QStringLiteral(";BYMONTH=2;BYMONTHDAY=28,29;BYSETPOS=-1");
        break;
    case core::ruWorkingDays:
        r = QStringLiteral("FREQ=WEEKLY;INTERVAL=%1;BYDAY=MO,TU,WE,TH,FR;WKST=MO").arg(n);
        break;
    case core::ruWeekendDays:
        r = QStringLiteral("FREQ=WEEKLY;INTERVAL=%1;BYDAY=SA,SU;WKST=MO").arg(n);
        break;
    case core::ruFirstWeekday:
    case core::ruSecondWeekday:
    case core::ruThirdWeekday:
    case core::ruFourthWeekday:
        r = QStringLiteral("FREQ=MONTHLY;INTERVAL=%1;BYDAY=%2%3")
                .arg(n)
                .arg(rule.unit - core::ruFirstWeekday + 1)
                .arg(day);
        break;
    case core::ruLastWeekday:
        r = QStringLiteral("FREQ=MONTHLY;INTERVAL=%1;BYDAY=-1%2").arg(n).arg(day);
        break;
    default:
        return std::nullopt;
    }
    if (rule.numberOfTimes >= 0) {
        if (rule.numberOfTimes == 0)
            return std::nullopt;
        // COUNT includes the first date; the stored number counts the dates after it.
        r += QStringLiteral(";COUNT=%1").arg(qint64(rule.numberOfTimes) + 1);
    } else if (rule.numberOfTimes == core::NumOfTimUntil) {
        if (!rule.until.isValid() || rule.until <= rule.start)
            return std::nullopt;
        r += QStringLiteral(";UNTIL=") +
             (allDay ? dateText(rule.until) : dateTimeText(rule.until, QTime(23, 59, 59)));
    }
    return r;
}

QString icsEscape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char(';'))
            out += QStringLiteral("\\;");
        else if (c == QLatin1Char(','))
            out += QStringLiteral("\\,");
        else if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\\n");
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
            continue; // control characters are not allowed in a text value
        else
            out += c;
    }
    return out;
}

QByteArray icsFold(const QByteArray& line)
{
    QByteArray out;
    int start = 0;
    int limit = 75;
    while (line.size() - start > limit) {
        int cut = start + limit;
        // Back up to the start of a UTF-8 sequence.
        while (cut > start && (uchar(line.at(cut)) & 0xC0) == 0x80)
            --cut;
        out += line.mid(start, cut - start);
        out += "\r\n ";
        start = cut;
        limit = 74; // the leading blank counts
    }
    out += line.mid(start);
    out += "\r\n";
    return out;
}

QByteArray buildIcs(const QList<IcsEvent>& events, const QDateTime& stamp,
                    const QDate& rdateHorizon, int maxRdates)
{
    QByteArray out;
    addLine(out, QStringLiteral("BEGIN:VCALENDAR"));
    addLine(out, QStringLiteral("VERSION:2.0"));
    addLine(out, QStringLiteral("PRODID:-//tzsndmsg//Office Events//EN"));
    addLine(out, QStringLiteral("CALSCALE:GREGORIAN"));
    const QString dtstamp =
        stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss")) + QLatin1Char('Z');
    for (const IcsEvent& e : events) {
        const QDate date = e.rule.start;
        if (!date.isValid())
            continue;
        const bool allDay = !e.from.isValid();
        addLine(out, QStringLiteral("BEGIN:VEVENT"));
        addLine(out, QStringLiteral("UID:") + icsEscape(e.uid));
        addLine(out, QStringLiteral("DTSTAMP:") + dtstamp);
        if (allDay) {
            addLine(out, QStringLiteral("DTSTART;VALUE=DATE:") + dateText(date));
            addLine(out, QStringLiteral("DTEND;VALUE=DATE:") + dateText(date.addDays(1)));
        } else {
            QTime to = e.to.isValid() ? e.to : e.from;
            // An end before the start (the list's last entry, 12:00 AM) ends the next day.
            const QDate endDate = to < e.from ? date.addDays(1) : date;
            addLine(out, QStringLiteral("DTSTART:") + dateTimeText(date, e.from));
            addLine(out, QStringLiteral("DTEND:") + dateTimeText(endDate, to));
        }
        addLine(out, QStringLiteral("SUMMARY:") + icsEscape(e.title));
        if (!e.description.isEmpty())
            addLine(out, QStringLiteral("DESCRIPTION:") + icsEscape(e.description));
        if (const auto rrule = rruleFor(e.rule, allDay)) {
            addLine(out, QStringLiteral("RRULE:") + *rrule);
        } else if (e.rule.recurring) {
            const QList<QDate> dates = core::expandRecurrence(
                e.rule, date.addDays(1), std::max(rdateHorizon, date.addDays(1)), maxRdates);
            if (!dates.isEmpty()) {
                QStringList values;
                for (const QDate& d : dates)
                    values << (allDay ? dateText(d) : dateTimeText(d, e.from));
                addLine(out,
                        (allDay ? QStringLiteral("RDATE;VALUE=DATE:") : QStringLiteral("RDATE:")) +
                            values.join(QLatin1Char(',')));
            }
        }
        addLine(out, QStringLiteral("END:VEVENT"));
    }
    addLine(out, QStringLiteral("END:VCALENDAR"));
    return out;
}

QList<IcsEvent> loadIcsEvents(HostServices& services, QString* error, int* skipped)
{
    QList<IcsEvent> events;
    if (skipped)
        *skipped = 0;
    auto db = services.connectionByIndex(9);
    if (!db) {
        if (error)
            *error = QStringLiteral("The message store cannot be opened.");
        return events;
    }
    QString err;
    db::Recordset rs =
        db->query(services.adaptSqlFor(*db, eventListStatement(QString(), QString())), &err);
    if (!rs.isOpen()) {
        if (error)
            *error = QStringLiteral("The office events cannot be read: ") + err;
        return events;
    }
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const StoredEvent s = readStoredEvent(rs);
        if (!s.rule.start.isValid()) {
            if (skipped)
                ++*skipped;
            continue;
        }
        IcsEvent e;
        e.rule = s.rule;
        e.title = s.title;
        e.description = s.description;
        e.from = s.from;
        e.to = s.to;
        // The creation stamp keeps the id apart from another office's event of the same id.
        e.uid = QStringLiteral("event-%1-%2@tzsndmsg").arg(s.cmId).arg(s.createdStamp);
        events << e;
    }
    return events;
}

} // namespace tzsndmsg::events

namespace tzsndmsg {

bool readEventsIcs(HostServices& services, QByteArray& calendar, QString* error, int* skipped)
{
    calendar.clear();
    QString err;
    const QList<events::IcsEvent> list = events::loadIcsEvents(services, &err, skipped);
    if (!err.isEmpty()) {
        if (error)
            *error = err;
        return false;
    }
    const QDateTime now = services.currentDateTime();
    calendar = events::buildIcs(list, now, now.date().addYears(5));
    return true;
}

bool exportEventsIcs(HostServices& services, const QString& file, QString* error, int* skipped)
{
    QByteArray data;
    if (!readEventsIcs(services, data, error, skipped))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace tzsndmsg
