#include "core/IcsExport.h"

#include "EventsFixture.h"
#include "support/Files.h"
#include "support/TestPrinters.h"

#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::events;
using namespace tzsndmsg::core;
using namespace tzsndmsg::testing;

namespace {

// A python3 that has the icalendar module (the Debian one may sit behind another python3).
QString pythonWithIcalendar()
{
    for (const QString& candidate : {u"python3"_s, u"/usr/bin/python3"_s}) {
        QProcess p;
        p.start(candidate, {"-c", "import icalendar, dateutil"});
        if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return QString();
}

// Runs a script with a python that has icalendar; its output, or empty with a failure noted.
QString runPython(const QString& python, const char* script, const QStringList& args)
{
    QProcess p;
    p.start(python, QStringList{"-c", QString::fromLatin1(script)} + args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << p.readAllStandardError().toStdString();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Parses the file with icalendar and prints, per event, its summary and the dates its RRULE
// and RDATEs give up to the end date (expanded by dateutil).
const char* const kExpand = R"PY(
import icalendar, sys, datetime
from dateutil.rrule import rrulestr
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
end = datetime.datetime.strptime(sys.argv[2], '%Y%m%d') + datetime.timedelta(hours=23, minutes=59)
for ev in cal.walk('VEVENT'):
    start = ev.decoded('DTSTART')
    if not isinstance(start, datetime.datetime):
        start = datetime.datetime(start.year, start.month, start.day)
    dates = {start.date()}
    if 'RRULE' in ev:
        rule = rrulestr(ev['RRULE'].to_ical().decode(), dtstart=start)
        dates |= {d.date() for d in rule.between(start, end, inc=True)}
    rd = ev.get('RDATE')
    for r in (rd if isinstance(rd, list) else ([rd] if rd is not None else [])):
        for d in r.dts:
            v = d.dt
            dates.add(v.date() if isinstance(v, datetime.datetime) else v)
    print(str(ev['SUMMARY']) + '|' + ' '.join(sorted(d.strftime('%Y-%m-%d') for d in dates if d <= end.date())))
)PY";

QDate D(int y, int m, int d)
{
    return QDate(y, m, d);
}

std::string show(const QList<QDate>& dates)
{
    QStringList out;
    for (const QDate& d : dates)
        out << d.toString(Qt::ISODate);
    return out.join(QLatin1Char(' ')).toStdString();
}

struct Case {
    const char* name;
    RecurrenceRule rule;
    QDate from, to;
    const char* expected; // ISO dates, space separated
};

} // namespace

// Calendars worked out by hand.
TEST(Recurrence, ExpandsEveryUnitAgainstHandWorkedCalendars)
{
    const Case cases[] = {
        {"month ends clamp, leap February", rule(D(2024, 1, 31), ruMonth), D(2024, 1, 1),
         D(2024, 6, 30), "2024-01-31 2024-02-29 2024-03-31 2024-04-30 2024-05-31 2024-06-30"},
        {"month end in a common year", rule(D(2023, 1, 31), ruMonth), D(2023, 1, 1), D(2023, 3, 31),
         "2023-01-31 2023-02-28 2023-03-31"},
        {"every 2 months keeps the day", rule(D(2024, 1, 15), ruMonth, 2), D(2024, 1, 1),
         D(2024, 7, 31), "2024-01-15 2024-03-15 2024-05-15 2024-07-15"},
        {"quarters across a leap February", rule(D(2023, 11, 30), ruQuarters), D(2023, 1, 1),
         D(2024, 12, 31), "2023-11-30 2024-02-29 2024-05-30 2024-08-30 2024-11-30"},
        {"every 2 quarters", rule(D(2024, 3, 31), ruQuarters, 2), D(2024, 1, 1), D(2025, 6, 30),
         "2024-03-31 2024-09-30 2025-03-31"},
        {"29 February yearly", rule(D(2024, 2, 29), ruYears), D(2024, 1, 1), D(2028, 12, 31),
         "2024-02-29 2025-02-28 2026-02-28 2027-02-28 2028-02-29"},
        {"every 4 years over 2100", rule(D(2096, 2, 29), ruYears, 4), D(2096, 1, 1),
         D(2104, 12, 31), "2096-02-29 2100-02-28 2104-02-29"},
        {"last Friday, August has five", rule(D(2024, 5, 31), ruLastWeekday), D(2024, 5, 1),
         D(2024, 9, 30), "2024-05-31 2024-06-28 2024-07-26 2024-08-30 2024-09-27"},
        {"4th Friday is not the last", rule(D(2024, 5, 24), ruFourthWeekday), D(2024, 5, 1),
         D(2024, 9, 30), "2024-05-24 2024-06-28 2024-07-26 2024-08-23 2024-09-27"},
        {"1st Monday every 2 months", rule(D(2024, 1, 1), ruFirstWeekday, 2), D(2024, 1, 1),
         D(2024, 8, 31), "2024-01-01 2024-03-04 2024-05-06 2024-07-01"},
        {"3rd Wednesday", rule(D(2026, 12, 16), ruThirdWeekday), D(2026, 12, 1), D(2027, 3, 31),
         "2026-12-16 2027-01-20 2027-02-17 2027-03-17"},
        {"working days, 4 times", rule(D(2024, 7, 31), ruWorkingDays, 1, 4), D(2024, 7, 1),
         D(2024, 12, 31), "2024-07-31 2024-08-01 2024-08-02 2024-08-05 2024-08-06"},
        {"working days every 2 weeks", rule(D(2024, 8, 1), ruWorkingDays, 2), D(2024, 8, 1),
         D(2024, 8, 31),
         "2024-08-01 2024-08-02 2024-08-12 2024-08-13 2024-08-14 2024-08-15 2024-08-16 "
         "2024-08-26 2024-08-27 2024-08-28 2024-08-29 2024-08-30"},
        {"weekend every 2 weeks stays together", rule(D(2024, 8, 3), ruWeekendDays, 2),
         D(2024, 8, 1), D(2024, 9, 1),
         "2024-08-03 2024-08-04 2024-08-17 2024-08-18 2024-08-31 2024-09-01"},
        {"every 3 days until, inclusive",
         rule(D(2024, 2, 24), ruDays, 3, NumOfTimUntil, D(2024, 3, 1)), D(2024, 1, 1),
         D(2024, 12, 31), "2024-02-24 2024-02-27 2024-03-01"},
        {"every 2 weeks, 2 times, over new year", rule(D(2024, 12, 18), ruWeeks, 2, 2),
         D(2024, 1, 1), D(2025, 12, 31), "2024-12-18 2025-01-01 2025-01-15"},
        {"weekday unit is weekly", rule(D(2026, 12, 2), ruWeekday, 1, 3), D(2026, 1, 1),
         D(2027, 12, 31), "2026-12-02 2026-12-09 2026-12-16 2026-12-23"},
        {"first date off the rule counts apart", rule(D(2024, 9, 3), ruSecondWeekday, 1, 2),
         D(2024, 1, 1), D(2025, 12, 31), "2024-09-03 2024-09-10 2024-10-08"},
        {"weekend rule from a Wednesday", rule(D(2024, 7, 31), ruWeekendDays, 1, 3), D(2024, 1, 1),
         D(2025, 12, 31), "2024-07-31 2024-08-03 2024-08-04 2024-08-10"},
        {"range far from the first date", rule(D(2000, 1, 1), ruDays), D(2024, 2, 28),
         D(2024, 3, 1), "2024-02-28 2024-02-29 2024-03-01"},
        {"count ends inside a later range", rule(D(2024, 1, 1), ruWorkingDays, 1, 10),
         D(2024, 1, 14), D(2024, 1, 31), "2024-01-15"},
        {"every-count 0 counts as 1", rule(D(2024, 1, 1), ruDays, 0, 2), D(2024, 1, 1),
         D(2024, 1, 31), "2024-01-01 2024-01-02 2024-01-03"},
        {"other negative count is unlimited", rule(D(2024, 1, 1), ruYears, 1, -5), D(2024, 1, 1),
         D(2026, 12, 31), "2024-01-01 2025-01-01 2026-01-01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(show(expandRecurrence(c.rule, c.from, c.to)), c.expected) << c.name;
}

TEST(Recurrence, OnlyTheFirstDateWhenTheRuleAddsNothing)
{
    const QDate start = D(2026, 12, 6);
    RecurrenceRule notRecurring = rule(start, ruDays);
    notRecurring.recurring = false;
    const RecurrenceRule cases[] = {
        notRecurring,
        rule(start, 0),                                        // the message window's unit value
        rule(start, -1),                                       // no unit chosen
        rule(start, ruDays, 1, 0),                             // for 0 times
        rule(start, ruDays, 1, NumOfTimUntil, D(2026, 12, 1)), // until before the first date
        rule(start, ruDays, 1, NumOfTimUntil, QDate()),        // until not a date
    };
    for (const RecurrenceRule& r : cases)
        EXPECT_EQ(show(expandRecurrence(r, D(2026, 1, 1), D(2027, 12, 31))), show({start}))
            << r.unit << " " << r.numberOfTimes;
    EXPECT_TRUE(expandRecurrence(rule(QDate(), ruDays), D(2026, 1, 1), D(2027, 1, 1)).isEmpty());
}

TEST(Recurrence, NextOccurrencesStartAtTheGivenDayAndStopAtTheCalendarEnd)
{
    EXPECT_EQ(show(nextOccurrences(rule(D(2024, 1, 31), ruMonth), D(2024, 3, 15), 3)),
              show({D(2024, 3, 31), D(2024, 4, 30), D(2024, 5, 31)}));
    EXPECT_EQ(show(nextOccurrences(rule(D(9999, 12, 30), ruDays), D(9999, 12, 30), 5)),
              show({D(9999, 12, 30), D(9999, 12, 31)}));
    EXPECT_EQ(show(nextOccurrences(rule(D(2024, 1, 1), ruYears, 2000000000), D(2024, 1, 1), 3)),
              show({D(2024, 1, 1)}));
}

TEST(Recurrence, StartMatchesRule)
{
    EXPECT_TRUE(rule(D(2024, 8, 30), ruLastWeekday).startMatchesRule());
    EXPECT_FALSE(rule(D(2024, 8, 23), ruLastWeekday).startMatchesRule());
    EXPECT_TRUE(rule(D(2024, 8, 23), ruFourthWeekday).startMatchesRule());
    EXPECT_FALSE(rule(D(2024, 8, 3), ruWorkingDays).startMatchesRule());
    EXPECT_TRUE(rule(D(2024, 8, 3), ruWeekendDays).startMatchesRule());
    EXPECT_TRUE(rule(D(2024, 8, 3), ruQuarters).startMatchesRule());
}

TEST(IcsText, EscapesAndFoldsAtSeventyFiveOctets)
{
    EXPECT_EQ(icsEscape(u"a,b;c\\d\r\ne\nf"_s), u"a\\,b\\;c\\\\d\\ne\\nf"_s);
    const QByteArray line = "DESCRIPTION:" + u"é"_s.repeated(80).toUtf8();
    const QByteArray folded = icsFold(line);
    EXPECT_TRUE(folded.endsWith("\r\n"));
    QByteArray unfolded;
    for (const QByteArray& part : folded.chopped(2).split('\n')) {
        const QByteArray physical = part.endsWith('\r') ? part.chopped(1) : part;
        EXPECT_LE(physical.size(), 75);
        unfolded += physical.startsWith(' ') ? physical.mid(1) : physical;
    }
    EXPECT_EQ(unfolded, line);
    EXPECT_EQ(QString::fromUtf8(unfolded), QString::fromUtf8(line)); // no split sequence
}

TEST(IcsText, RruleForEveryUnit)
{
    const struct {
        RecurrenceRule r;
        const char* expected; // nullptr: written as RDATEs
    } cases[] = {
        {rule(QDate(2024, 1, 2), ruDays, 3), "FREQ=DAILY;INTERVAL=3"},
        {rule(QDate(2024, 1, 2), ruWeeks, 2, 4), "FREQ=WEEKLY;INTERVAL=2;COUNT=5"},
        {rule(QDate(2024, 1, 2), ruWeekday), "FREQ=WEEKLY;INTERVAL=1"},
        {rule(QDate(2024, 1, 31), ruMonth),
         "FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=28,29,30,31;BYSETPOS=-1"},
        {rule(QDate(2024, 1, 15), ruQuarters, 1, NumOfTimUntil, QDate(2025, 1, 1)),
         "FREQ=MONTHLY;INTERVAL=3;UNTIL=20250101T235959"},
        {rule(QDate(2024, 2, 29), ruYears),
         "FREQ=YEARLY;INTERVAL=1;BYMONTH=2;BYMONTHDAY=28,29;BYSETPOS=-1"},
        {rule(QDate(2024, 7, 31), ruWorkingDays),
         "FREQ=WEEKLY;INTERVAL=1;BYDAY=MO,TU,WE,TH,FR;WKST=MO"},
        {rule(QDate(2024, 8, 3), ruWeekendDays, 2), "FREQ=WEEKLY;INTERVAL=2;BYDAY=SA,SU;WKST=MO"},
        {rule(QDate(2024, 9, 10), ruSecondWeekday), "FREQ=MONTHLY;INTERVAL=1;BYDAY=2TU"},
        {rule(QDate(2024, 8, 30), ruLastWeekday), "FREQ=MONTHLY;INTERVAL=1;BYDAY=-1FR"},
        {rule(QDate(2024, 9, 3), ruSecondWeekday), nullptr}, // first date off the rule
        {rule(QDate(2024, 7, 27), ruWorkingDays), nullptr},  // a Saturday
        {rule(QDate(2024, 1, 2), ruDays, 1, 0), nullptr},    // for 0 times: nothing added
        {rule(QDate(2024, 1, 2), 0), nullptr},
    };
    for (const auto& k : cases) {
        const auto r = rruleFor(k.r, false);
        SCOPED_TRACE(k.expected ? k.expected : "RDATEs");
        EXPECT_EQ(r.value_or(u"<none>"_s),
                  k.expected ? QString::fromLatin1(k.expected) : u"<none>"_s);
    }
    EXPECT_EQ(*rruleFor(rule(QDate(2024, 1, 2), ruDays, 1, NumOfTimUntil, QDate(2024, 2, 1)), true),
              u"FREQ=DAILY;INTERVAL=1;UNTIL=20240201"_s);
}

// A standard parser reads the file, and its own rule expansion gives our dates.
TEST(IcsText, ParserAgreesWithTheExpansion)
{
    const QString python = pythonWithIcalendar();
    if (python.isEmpty())
        GTEST_SKIP() << "python3 with icalendar and dateutil not available";
    const QList<RecurrenceRule> rules = {
        rule(QDate(2024, 1, 31), ruMonth),
        rule(QDate(2023, 11, 30), ruQuarters, 1, 6),
        rule(QDate(2024, 2, 29), ruYears),
        rule(QDate(2024, 5, 31), ruLastWeekday, 1, NumOfTimUntil, QDate(2025, 3, 1)),
        rule(QDate(2024, 5, 24), ruFourthWeekday, 2),
        rule(QDate(2024, 8, 1), ruWorkingDays, 2, 20),
        rule(QDate(2024, 8, 3), ruWeekendDays, 3),
        rule(QDate(2024, 8, 4), ruWeekendDays, 2),
        rule(QDate(2024, 2, 24), ruDays, 3, NumOfTimUntil, QDate(2024, 6, 1)),
        rule(QDate(2024, 12, 18), ruWeeks, 2, 5),
        rule(QDate(2024, 9, 3), ruSecondWeekday, 1, 4), // RDATEs
        rule(QDate(2024, 7, 31), ruWeekendDays, 1, NumOfTimUntil, QDate(2024, 9, 30)),
    };
    QList<IcsEvent> events;
    for (int i = 0; i < rules.size(); ++i) {
        IcsEvent e;
        e.uid = u"t%1@test"_s.arg(i);
        e.title = u"R%1"_s.arg(i);
        e.rule = rules[i];
        e.from = QTime(9, 0);
        e.to = QTime(9, 30);
        events << e;
    }
    const QDate end(2026, 12, 31);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"t.ics"_s);
    ASSERT_TRUE(
        writeFile(file, buildIcs(events, QDateTime(QDate(2026, 12, 6), QTime(10, 0)), end)));

    const QStringList lines = runPython(python, kExpand, {file, end.toString(u"yyyyMMdd"_s)})
                                  .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), rules.size());
    for (int i = 0; i < rules.size(); ++i) {
        QStringList ours;
        for (const QDate& d : expandRecurrence(rules[i], rules[i].start, end))
            ours << d.toString(Qt::ISODate);
        EXPECT_EQ(lines[i].trimmed(), u"R%1|"_s.arg(i) + ours.join(' ')) << i;
    }
}

TEST_F(EventsTest, TheFileAndAHostGetTheSameCalendarOfEveryOfficeEvent)
{
    const QStringList recurring{"evBroReaFla", "evBroReaEve", "evBroReaTyp", "evBroNumOfTim"};
    addEvent(u"Staff meeting, monthly; room \\2"_s, ann, u"12/31/2026"_s, u"9:00:00 AM"_s,
             u"10:30:00 AM"_s, recurring, {"-1", "1", "30", "-1"});
    addEvent(u"Bob's training"_s, bob, u"12/08/2026"_s, u"11:00 PM"_s, u"12:00:00 AM"_s, recurring,
             {"-1", "1", "-5", "2"});
    addEvent(u"No date"_s, ann, u"soon"_s);
    const QString file = office.tempPath() + u"/office.ics"_s;
    QString error;
    int skipped = -1;
    ASSERT_TRUE(exportEventsIcs(*office.services(), file, &error, &skipped)) << error.toStdString();
    EXPECT_EQ(skipped, 1);
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray data = in.readAll();
    EXPECT_TRUE(data.startsWith("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"));
    EXPECT_TRUE(data.endsWith("END:VCALENDAR\r\n"));
    EXPECT_EQ(data.count("\n"), data.count("\r\n"));
    EXPECT_EQ(data.count("BEGIN:VEVENT"), 2);
    EXPECT_TRUE(data.contains("DTSTAMP:20261206T"));
    EXPECT_TRUE(data.contains("SUMMARY:Staff meeting\\, monthly\\; room \\\\2\r\n"));
    EXPECT_TRUE(data.contains("DTSTART:20261231T090000\r\nDTEND:20261231T103000\r\n"));
    EXPECT_TRUE(
        data.contains("RRULE:FREQ=MONTHLY;INTERVAL=1;BYMONTHDAY=28,29,30,31;BYSETPOS=-1\r\n"));
    // 8 December 2026 is the 2nd Tuesday: the rule fits; the end is midnight of the next day.
    EXPECT_TRUE(data.contains("DTSTART:20261208T230000\r\nDTEND:20261209T000000\r\n"));
    EXPECT_TRUE(data.contains("RRULE:FREQ=MONTHLY;INTERVAL=1;BYDAY=2TU;COUNT=3\r\n"));

    // A host reads the same calendar the file gets.
    QByteArray calendar;
    skipped = -1;
    ASSERT_TRUE(readEventsIcs(*office.services(), calendar, &error, &skipped))
        << error.toStdString();
    EXPECT_EQ(calendar, data);
    EXPECT_EQ(skipped, 1);

    // A file that cannot be written is an error; nothing is left half written.
    EXPECT_FALSE(exportEventsIcs(*office.services(), office.tempPath() + "/missing/x.ics", &error));
    EXPECT_FALSE(error.isEmpty());
    // The host learns why when the events cannot be read.
    office.exec(u"drop table EVTable"_s);
    EXPECT_FALSE(readEventsIcs(*office.services(), calendar, &error));
    EXPECT_TRUE(calendar.isEmpty());
    EXPECT_TRUE(error.startsWith(u"The office events cannot be read: "_s)) << error.toStdString();

    const QString python = pythonWithIcalendar();
    if (python.isEmpty())
        GTEST_SKIP() << "python3 with icalendar not available";
    // A standard parser reads both events back, texts unescaped, in date order.
    EXPECT_EQ(runPython(python, kExpand, {file, u"20261231"_s}),
              u"Bob's training|2026-12-08\nStaff meeting, monthly; room \\2|2026-12-31\n"_s);
}
