#include "core/EventStore.h"
#include "core/IcsExport.h"
#include "core/Recurrence.h"
#include "directory/EMS_EmpList.h"
#include "events/EMS_EventsFrm.h"
#include "events/EventListModel.h"
#include "state/SharedState.h"
#include "support/Appearance.h"
#include "support/Files.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/Picker.h"
#include "support/ScriptedPrompter.h"
#include "support/TestPrinters.h"
#include "support/WindowWalk.h"
#include "ui/DateCombo.h"
#include "ui/ToolbarBuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

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

const QString kSaveChange = u"Save Current Change?"_s;
const QString kNoAttendees = u"Saving Event without Attendees"_s;
const QString kDeleteQuestion = u"Are you sure to delete the event?"_s;

QString reasonsText(const QStringList& reasons)
{
    return u"The following information is missing or incorrect:\r\n"_s +
           (u"\r\n"_s + reasons.join(u"\r\n"_s)) + u"\r\n\r\nData will not be saved."_s;
}

// The picker the event's buttons open, answered.
ModalScript::Handler pick(QStringList fragments, bool ok = true)
{
    return [answer = pickEntries(std::move(fragments), ok)](QDialog& dialog) {
        EXPECT_EQ(dynamic_cast<EMS_EmpList&>(dialog).EmpListType(), 1);
        return answer(dialog);
    };
}

// A recurring rule for the expansion and export tests.
inline core::RecurrenceRule rule(QDate start, int unit, int every = 1,
                                 int times = core::NumOfTimUnlimited, QDate until = {})
{
    core::RecurrenceRule r;
    r.start = start;
    r.recurring = true;
    r.unit = unit;
    r.every = every;
    r.numberOfTimes = times;
    r.until = until;
    return r;
}

// A fresh office with two employees; "FRONT" (Ann Adams, Front Desk) is the current user.
class EventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& st = SharedState::current();
        st.GIC = office.services();
        ann = office.addEmployee(u"Adams"_s, u"Ann"_s, u"AA"_s, u"FRONT"_s, u"front desk"_s);
        bob = office.addEmployee(u"Baker"_s, u"Bob"_s, u"BB"_s, u"BOB"_s, u"clinic"_s);
        cat = office.addEmployee(u"Cole"_s, u"Cat"_s, u"CC"_s, u"CAT"_s, u"clinic"_s);
        st.CurrentEmployeeID = ann;
    }
    void TearDown() override
    {
        if (window && window->isVisible())
            window->hide();
        window.reset();
        expectNoVisibleWindows();
    }

    void grantSupervisor(const QString& login = u"FRONT"_s)
    {
        office.insert(u"PWATable"_s, u"PWAID"_s,
                      {"PWAUseNam", "PWARigNam", "PWAWriFla", "PWAProNam"},
                      {login, u"Tim_Sup_Rig"_s, -1, u"tzSndMsg"_s});
    }

    // An event as the window writes it; returns cmID. Extra columns replace or add to the usual
    // ones.
    qint64 addEvent(const QString& title, qint32 owner, const QString& date,
                    const QString& from = u"9:00:00 AM"_s, const QString& to = u"10:00:00 AM"_s,
                    const QStringList& moreNames = {}, const QStringList& moreTexts = {})
    {
        auto gic = office.services();
        qint64 cm = 0;
        EXPECT_TRUE(gic->writeRecord(9, u"cmTable"_s, u"cmID"_s, cm,
                                     {"cmTyp", "cmTraLinID", "cmTim", "cmDat", "cmWho", "cmPid",
                                      "cmCat", "cmSubCat", "cmWhoMod", "cmDoc", "CMSubjec"},
                                     {"512", "0", "8:00:00 AM", date, "FRONT", "0", "Events", "EMS",
                                      "FRONT", title + u" notes"_s, title}));
        QStringList names{"Evpid",       "EvLinID",  "EvTyp",    "EvBroStaDatFla", "EvBroStaDat",
                          "EvBroStaTim", "evBroDat", "EvBroFla", "evBroReaFla"};
        QStringList texts{
            QString::number(owner), QString::number(cm), "1", "-1", date, from, to, "-1", "0"};
        for (int i = 0; i < moreNames.size(); ++i) {
            const int at = names.indexOf(moreNames[i]);
            if (at >= 0) {
                texts[at] = moreTexts[i];
            } else {
                names << moreNames[i];
                texts << moreTexts[i];
            }
        }
        qint64 ev = 0;
        EXPECT_TRUE(gic->writeRecord(9, u"evTable"_s, u"evID"_s, ev, names, texts));
        return cm;
    }
    // The window to open on this event alone, as a host opens it by its detail key.
    void alone(qint64 cm)
    {
        SharedState::current().LinkID =
            office.scalar(u"select EVID from EVTable where EvLinID=?"_s, {cm}).toInt();
    }

    void addAttendee(qint64 cm, qint32 pid, int typ, const QString& donDis = u"-1"_s)
    {
        qint64 key = 0;
        EXPECT_TRUE(office.services()->writeRecord(
            9, u"BroChkTable"_s, u"BroChkID"_s, key,
            {"BroChkLinID", "BroChkPid", "BroChkTyp", "BroChkDonDis", "BroChkSno"},
            {QString::number(cm), QString::number(pid), QString::number(typ), donDis, "3"}));
    }

    EMS_EventsFrm& open()
    {
        window = std::make_unique<EMS_EventsFrm>();
        window->load();
        window->show();
        pump();
        return *window;
    }

    template <typename T> T* c(const QString& name) { return control<T>(window.get(), name); }
    QLineEdit* edit(const char* name) { return c<QLineEdit>(QString::fromLatin1(name)); }
    QComboBox* combo(const char* name) { return c<QComboBox>(QString::fromLatin1(name)); }
    QAction* button(const QString& key)
    {
        QAction* a = window->toolbarBuilder() ? window->toolbarBuilder()->action(key) : nullptr;
        if (!a)
            ADD_FAILURE() << "no toolbar button " << key.toStdString();
        return a;
    }
    // A toolbar command through its button.
    void press(const QString& key) { button(key)->trigger(); }

    Office office;
    tzsndmsg::testing::FreshSharedState state; // after the office: it goes first
    std::unique_ptr<EMS_EventsFrm> window;
    qint32 ann = 0, bob = 0, cat = 0;
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

TEST_F(EventsTest, ListShowsOnlyOwnEventsUnlessSupervisor)
{
    const qint64 mine = addEvent(u"Mine"_s, ann, u"12/10/2026"_s);
    addEvent(u"Bobs"_s, bob, u"12/11/2026"_s);
    addAttendee(mine, bob, 0);
    addAttendee(mine, cat, 1);

    EMS_EventsFrm& w = open();
    EXPECT_FALSE(w.EventSupervisor());
    ASSERT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(w.listModel()->cmIdAt(0), mine);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Mine"_s);
    EXPECT_EQ(w.CurrentEventID(), mine);
    EXPECT_EQ(c<QLabel>(u"SB_Panel_1"_s)->text(), u"1 of 1"_s);
    EXPECT_EQ(w.listModel()->index(0, EventListModel::ColTime).data().toString(), u"09:00 AM"_s);
    EXPECT_EQ(edit("txtAtt_0")->text(), u"BB"_s);
    EXPECT_EQ(edit("txtAtt_1")->text(), u"CC"_s);
    w.hide();

    grantSupervisor();
    EMS_EventsFrm& s = open();
    EXPECT_TRUE(s.EventSupervisor());
    EXPECT_EQ(s.listModel()->rowCount(), 2);
    EXPECT_EQ(c<QLabel>(u"SB_Panel_1"_s)->text(), u"2 of 2"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Bobs"_s);
}

// Employee 0 sees every event only as a login listed without a person; a login the office does
// not know (also employee 0) owns nothing and supervises nothing.
TEST_F(EventsTest, OnlyAListedLoginWithoutAPersonSeesEveryEvent)
{
    addEvent(u"Bobs"_s, bob, u"12/11/2026"_s);
    addEvent(u"Supervisors"_s, 0, u"12/12/2026"_s);
    auto& st = SharedState::current();
    st.CurrentEmployeeID = 0;
    const struct {
        const char* login;
        bool supervisor;
        int rows;
    } cases[] = {{"SUPERVISOR", true, 2}, {"NOBODY", false, 0}, {"", false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.login);
        st.GIC = office.workstation(u"WS1"_s, QString::fromLatin1(c.login));
        EMS_EventsFrm& w = open();
        EXPECT_EQ(w.EventSupervisor(), c.supervisor);
        EXPECT_EQ(w.listModel()->rowCount(), c.rows);
        w.hide();
    }
}

TEST_F(EventsTest, ToCcColumnIsBuiltOnlyForTheRowsAboutThoseAsked)
{
    const int events = 3 * EventListModel::kToCcReach;
    for (int i = 0; i < events; ++i)
        addEvent(u"E%1"_s.arg(i), ann, u"12/%1/2026"_s.arg(i % 28 + 1));
    EMS_EventsFrm& w = open();
    EventListModel& model = *w.listModel();
    const int built = model.toCcComputations();
    EXPECT_LT(built, events);
    // A row far from those shown (the grid shows its last rows, the current one among them):
    // its screen in one go, then nothing more for it or its neighbours.
    const QModelIndex far = model.index(0, EventListModel::ColToCc);
    const int before = model.toCcComputations();
    model.data(far);
    const int fetched = model.toCcComputations() - before;
    EXPECT_GT(fetched, 1);
    EXPECT_LE(fetched, EventListModel::kToCcReach + 1);
    model.data(far);
    model.data(model.index(1, EventListModel::ColToCc));
    EXPECT_EQ(model.toCcComputations(), before + fetched);
}

TEST_F(EventsTest, SingleEventModeOfAnotherUsersEventDeniesEditing)
{
    alone(addEvent(u"Bobs"_s, bob, u"12/11/2026"_s));
    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.toolbarTag(), u"PARTIAL"_s);
    EXPECT_FALSE(c<QWidget>(u"TDBG"_s)->isVisible());
    EXPECT_FALSE(button(u"New"_s)->isVisible());
    EXPECT_FALSE(SharedState::current().RightToEdit);
    for (const QString& key : {u"New"_s, u"Save"_s, u"Delete"_s})
        EXPECT_FALSE(button(key)->isEnabled()) << key.toStdString();
    EXPECT_FALSE(edit("txtEve_0")->isEnabled());
    EXPECT_EQ(edit("txtEve_0")->text(), u"Bobs"_s);
    // Closing writes nothing either.
    PrompterGuard prompts;
    press(u"Close"_s);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable"_s).toString(), u"Bobs"_s);

    // A message's detail id is no event: nothing of the message comes into the panel.
    window.reset();
    alone(addEvent(u"Payroll"_s, bob, u"12/11/2026"_s, u"9:00:00 AM"_s, u"10:00:00 AM"_s,
                   {u"EvTyp"_s}, {u"0"_s}));
    open();
    EXPECT_EQ(edit("txtEve_0")->text(), QString());
}

TEST_F(EventsTest, SingleEventModeClosesAfterSaveAndAfterDelete)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, bob, 0);
    alone(cm);
    auto& st = SharedState::current();
    {
        EMS_EventsFrm& w = open();
        EXPECT_TRUE(st.RightToEdit);
        EXPECT_FALSE(st.HolidayChanged);
        edit("txtEve_0")->setText(u"  Renamed  "_s);
        EXPECT_TRUE(button(u"Save"_s)->isEnabled());
        press(u"Save"_s);
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(st.HolidayChanged);
    }
    office.expectColumns(u"select * from CMTable"_s, {}, u"CMSubjec=Renamed|cmModDat=12/06/2026"_s);
    EXPECT_EQ(office.count(u"EVTable"_s), 1);

    EMS_EventsFrm& w = open();
    PrompterGuard prompts;
    // A delete the store refuses is said; the window stays on the event, all of it stored.
    office.refuseDeletes(u"EVTable"_s);
    prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbYes);
    prompts->expect(u"The event could not be deleted.\n\n"_s, u"Delete Event"_s, ui::vbOK);
    press(u"Delete"_s);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(edit("txtEve_0")->text(), u"Renamed"_s);
    EXPECT_EQ(office.count(u"CMTable"_s), 1);
    office.exec(u"DROP TRIGGER refuse_delete_EVTable"_s +
                (Office::usingPostgres() ? u" ON EVTable"_s : QString()));

    prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbYes);
    press(u"Delete"_s);
    EXPECT_FALSE(w.isVisible());
    for (const QString& table : {u"CMTable"_s, u"EVTable"_s, u"BroChkTable"_s})
        EXPECT_EQ(office.count(table), 0) << table.toStdString();
}

TEST_F(EventsTest, UnchangedSaveWritesNothing)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, bob, 0);
    EMS_EventsFrm& w = open();
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_FALSE(button(u"Save"_s)->isEnabled());
    PrompterGuard prompts;
    EXPECT_EQ(w.SaveEvent(true, true), ui::vbYes);
    EXPECT_TRUE(office.scalar(u"select cmModDat from CMTable"_s).isNull());
    EXPECT_EQ(office.scalar(u"select BroChkSno from BroChkTable"_s).toInt(), 3);
    EXPECT_FALSE(SharedState::current().HolidayChanged);
}

TEST_F(EventsTest, SaveQuestionOnNewCloseBoxAndClose)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    EMS_EventsFrm& w = open();
    edit("txtEve_0")->setText(u"Changed"_s);
    PrompterGuard prompts;
    // Cancel on New keeps the panel as it is.
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbCancel);
    press(u"New"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Changed"_s);
    EXPECT_EQ(w.CurrentEventID(), cm);
    EXPECT_TRUE(w.ChangeFlag());
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_EQ(prompts->shown[0].buttons, 3);

    // The close box asks the same and Cancel keeps the window open.
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbCancel);
    w.reject();
    EXPECT_TRUE(w.isVisible());
    // No throws the change away; the window closes.
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbNo);
    press(u"Close"_s);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable"_s).toString(), u"Mine"_s);
}

TEST_F(EventsTest, NewEventIsWrittenWithEveryColumn)
{
    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.CurrentEventID(), 0);
    edit("txtEve_0")->setText(u" Staff meeting "_s);
    c<QPlainTextEdit>(u"txtEve_1"_s)->setPlainText(u"Room 2, bring notes"_s);
    c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(u"12/16/2026"_s);
    combo("cmbFroTim_1")->setCurrentIndex(44); // 11:00 AM
    c<QCheckBox>(u"ChkRea_0"_s)->setChecked(true);
    edit("txtReaEve_0")->setText(u"2"_s);
    combo("cmbRea_0")->setCurrentIndex(10); // 3rd Wednesday
    c<QRadioButton>(u"OptReaUnl_1"_s)->click();
    edit("txtReaTim_0")->setText(u"4"_s);
    EXPECT_EQ(
        c<QLabel>(u"lblNextOccurrences"_s)->text(),
        u"Next dates: Wed 12/16/2026, Wed 2/17/2027, Wed 4/21/2027, Wed 6/16/2027, Wed 8/18/2027"_s);
    PrompterGuard prompts;
    prompts->expect(
        u"Saving Event without Attendees will result in Event being applied to all employees."
        "\r\n\r\nDo you wish to continue?"_s,
        u"Event Setup"_s, ui::vbYes);
    press(u"Save"_s);
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_NE(w.CurrentEventID(), 0);
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Staff meeting"_s);
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(c<QLabel>(u"SB_Panel_1"_s)->text(), u"1 of 1"_s);

    office.expectColumns(
        u"select * from CMTable left join EVTable on CMTable.cmID = EVTable.EvLinID"_s, {},
        u"cmTyp=512|cmTraLinID=0|cmTim=10:00:00 AM|cmDat=12/06/2026|cmWho=FRONT|cmPid=0|"
        "cmCat=Events|cmSubCat=EMS|cmWhoMod=FRONT|cmDoc=Room 2, bring notes|"
        "CMSubjec=Staff meeting|EvTyp=1|EvBroStaDatFla=-1|EvBroStaDat=12/16/2026|"
        "EvBroStaTim=9:00:00 AM|evBroDat=11:00:00 AM|EvBroFla=-1|EvBroReaFla=-1|EvBroReaEve=2|"
        "EvBroReaTyp=-4|EvBroNumOfTim=4|EvPID=%1|EvBroEndDat=<null>|EvBroEndDatFla=<null>|"
        "cmModDat=<null>"_s.arg(ann));
}

TEST_F(EventsTest, ValidationListsEveryReasonAloneAndTogether)
{
    const QString title = u"   Event Title/ Description fields is required."_s;
    const QString date = u"   Starting Date is riquired."_s;
    const QString times = u"   From/ To time is required."_s;
    const QString order = u"   From time is after To time."_s;
    const QString unit = u"   Recurring selection is missing ."_s;
    const QString count = u"   Number of Times field is missing."_s;
    const QString until = u"   Until date is missing."_s;
    struct Case {
        bool noTitle, badDate, noFrom, fromAfterTo, noUnit, badCount, badUntil;
        QStringList reasons;
    };
    const Case cases[] = {
        {true, false, false, false, false, false, false, {title}},
        {false, true, false, false, false, false, false, {date}},
        {false, false, true, false, false, false, false, {times}},
        {false, false, false, true, false, false, false, {order}},
        {false, false, false, false, true, false, false, {unit}},
        {false, false, false, false, false, true, false, {count}},
        {false, false, false, false, false, false, true, {until}},
        {true, true, false, true, true, true, false, {title, date, order, unit, count}},
        {true, true, true, false, true, false, true, {title, date, times, unit, until}},
    };
    EMS_EventsFrm& w = open();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.reasons.join(u'|').toStdString());
        w.ClearEvent();
        edit("txtEve_0")->setText(k.noTitle ? u"  "_s : u"Title"_s);
        // A time of day alone is no starting date either.
        const QString badDate = k.noTitle ? u"9:30 am"_s : u"13/45/2026"_s;
        c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(k.badDate ? badDate : u"12/16/2026"_s);
        if (k.noFrom)
            combo("cmbFroTim_0")->setCurrentIndex(-1);
        if (k.fromAfterTo)
            combo("cmbFroTim_0")->setCurrentIndex(80);
        const bool recurring = k.noUnit || k.badCount || k.badUntil;
        c<QCheckBox>(u"ChkRea_0"_s)->setChecked(recurring);
        edit("txtReaEve_0")->setText(u"1"_s);
        if (recurring && !k.noUnit)
            combo("cmbRea_0")->setCurrentIndex(0);
        if (k.badCount || k.badUntil) {
            c<QRadioButton>(k.badCount ? u"OptReaUnl_1"_s : u"OptReaUnl_2"_s)->click();
            edit("txtReaTim_0")->setText(k.badCount ? u"many"_s : u"7"_s);
        }
        if (k.badUntil)
            c<ui::DateCombo>(u"dcmbUnt_0"_s)->setText(u"someday"_s);
        PrompterGuard prompts;
        prompts->expect(QString(), u"Event Editing"_s, ui::vbCancel);
        EXPECT_EQ(w.ValidateEvent(), ui::vbCancel);
        ASSERT_EQ(prompts->shown.size(), 1);
        EXPECT_EQ(prompts->shown[0].text, reasonsText(k.reasons));
        EXPECT_EQ(prompts->shown[0].buttons, 1);
        if (k.badCount || k.badUntil) {
            EXPECT_EQ(edit("txtReaTim_0")->text(), QString());
        }
    }
}

TEST_F(EventsTest, ValidationFillsDefaultsAndNormalisesTheEveryCount)
{
    EMS_EventsFrm& w = open();
    const std::pair<const char*, const char*> counts[] = {
        {"0", "1"}, {"-3", "1"}, {"word", "1"}, {"2.6", "3"}, {"4 weeks", "4"}};
    for (const auto& [typed, shown] : counts) {
        SCOPED_TRACE(typed);
        w.ClearEvent();
        edit("txtEve_0")->setText(u"T"_s);
        combo("cmbFroTim_0")->setCurrentIndex(-1);
        combo("cmbFroTim_1")->setCurrentIndex(-1);
        c<QCheckBox>(u"ChkRea_0"_s)->setChecked(true);
        combo("cmbRea_0")->setCurrentIndex(1);
        edit("txtReaEve_0")->setText(QString::fromLatin1(typed));
        for (int i = 0; i < 3; ++i) {
            auto* o = c<QRadioButton>(u"OptReaUnl_%1"_s.arg(i));
            o->setAutoExclusive(false);
            o->setChecked(false);
            o->setAutoExclusive(true);
        }
        PrompterGuard prompts;
        EXPECT_EQ(w.ValidateEvent(), ui::vbYes);
        EXPECT_EQ(edit("txtReaEve_0")->text(), QString::fromLatin1(shown));
        EXPECT_EQ(combo("cmbFroTim_0")->currentText(), u"09:00 AM"_s);
        EXPECT_EQ(combo("cmbFroTim_1")->currentText(), u"05:30 PM"_s);
        EXPECT_TRUE(c<QRadioButton>(u"OptReaUnl_0"_s)->isChecked());
    }
    // Equal from and to times are valid.
    combo("cmbFroTim_1")->setCurrentIndex(36);
    PrompterGuard prompts;
    EXPECT_EQ(w.ValidateEvent(), ui::vbYes);
}

TEST_F(EventsTest, RecurrenceColumnsRoundTrip)
{
    grantSupervisor();
    const QStringList columns{"evBroReaFla", "evBroReaEve", "evBroReaTyp", "evBroNumOfTim",
                              "EvBroEndDat"};
    const struct {
        const char* name;
        QStringList texts;
        int option;
    } cases[] = {
        {"unlimited", {"-1", "2", "30", "-1"}, 0},
        {"until", {"-1", "1", "7", "-2", "01/31/2027"}, 2},
        {"times", {"-1", "1", "1", "5"}, 1},
        {"other negative", {"-1", "1", "1", "-7"}, 0},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        alone(addEvent(QString::fromLatin1(k.name), ann, u"12/09/2026"_s, u"9:07:00 AM"_s,
                       u"5:00:00 PM"_s, columns.mid(0, k.texts.size()), k.texts));
        open();
        EXPECT_TRUE(c<QCheckBox>(u"ChkRea_0"_s)->isChecked());
        EXPECT_TRUE(c<QRadioButton>(u"OptReaUnl_%1"_s.arg(k.option))->isChecked());
        EXPECT_EQ(combo("cmbFroTim_0")->currentText(), u"09:15 AM"_s);
        EXPECT_EQ(combo("cmbRea_0")->currentData().toString(), k.texts[2]);
        if (k.option == 1) {
            EXPECT_EQ(edit("txtReaTim_0")->text(), k.texts[3]);
        }
        if (k.option == 2) {
            EXPECT_EQ(c<ui::DateCombo>(u"dcmbUnt_0"_s)->text(), k.texts[4]);
        }
        EXPECT_EQ(edit("txtReaTim_0")->isEnabled(), k.option == 1);
        EXPECT_EQ(c<QWidget>(u"dcmbUnt_0"_s)->isEnabled(), k.option == 2);
        window->hide();
    }

    // Typed -1 times is stored as -1 and reads back as Unlimited.
    c<QRadioButton>(u"OptReaUnl_1"_s)->click();
    edit("txtReaTim_0")->setText(u"-1"_s);
    EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    const QVariantList thisEvent{SharedState::current().LinkID};
    EXPECT_EQ(office.scalar(u"select EvBroNumOfTim from EVTable where EVID=?"_s, thisEvent).toInt(),
              -1);
    open();
    EXPECT_TRUE(c<QRadioButton>(u"OptReaUnl_0"_s)->isChecked());
    // Not recurring any more: the flag is cleared.
    c<QCheckBox>(u"ChkRea_0"_s)->setChecked(false);
    EXPECT_FALSE(c<QWidget>(u"cmbRea_0"_s)->isEnabled());
    EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    EXPECT_EQ(office.scalar(u"select EvBroReaFla from EVTable where EVID=?"_s, thisEvent).toInt(),
              0);
}

// Counts no whole number of the store holds are left out, as counts that are not numbers are:
// the event is saved whole, never a header without its detail row.
TEST_F(EventsTest, CountsTheStoreCannotHoldAreLeftOutAndTheEventSavedWhole)
{
    open();
    press(u"New"_s);
    edit("txtEve_0")->setText(u"Count"_s);
    c<QCheckBox>(u"ChkRea_0"_s)->setChecked(true);
    edit("txtReaEve_0")->setText(u"3000000000"_s);
    combo("cmbRea_0")->setCurrentIndex(0);
    c<QRadioButton>(u"OptReaUnl_1"_s)->click();
    edit("txtReaTim_0")->setText(u"99999999999"_s);
    {
        PrompterGuard prompts;
        prompts->expect(u"Saving Event without Attendees"_s, ui::vbYes);
        EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    }
    EXPECT_EQ(office.rows(u"select CMSubjec, EvBroReaFla, coalesce(EvBroReaEve, 0), "
                          "coalesce(EvBroNumOfTim, 0) from CMTable join EVTable on "
                          "EVTable.EvLinID = CMTable.cmID"_s),
              QStringList{u"Count|-1|0|0"_s});
    EXPECT_EQ(office.count(u"CMTable"_s), 1);
}

TEST_F(EventsTest, TimeListsFollowTheClockInterval)
{
    EMS_EventsFrm& w = open();
    EXPECT_EQ(combo("cmbFroTim_0")->count(), 97); // midnight at both ends
    const struct {
        QTime t;
        int index;
    } cases[] = {{QTime(9, 0), 36}, {QTime(9, 7), 37},   {QTime(9, 15), 37},
                 {QTime(0, 0), 0},  {QTime(23, 59), 96}, {QTime(17, 30), 70}};
    for (const auto& k : cases)
        EXPECT_EQ(w.TimeListIndex(common::AutoDate::fromTime(k.t)), k.index)
            << k.t.toString().toStdString();
    w.hide();
    window.reset();

    SharedState::current().ClockInterval = 30;
    EMS_EventsFrm& half = open();
    EXPECT_EQ(combo("cmbFroTim_1")->count(), 49);
    EXPECT_EQ(half.TimeListIndex(common::AutoDate::fromTime(QTime(9, 7))), 19);
}

TEST_F(EventsTest, AWednesdayRelabelsSixUnitEntries)
{
    open();
    auto* units = combo("cmbRea_0");
    QStringList before;
    for (int i = 0; i < units->count(); ++i)
        before << units->itemText(i);
    c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(u"12/09/2026"_s);
    QStringList changed;
    for (int i = 0; i < units->count(); ++i)
        if (units->itemText(i) != before[i])
            changed << units->itemText(i);
    EXPECT_EQ(changed, QStringList({"Wednesday", "1st Wednesday of the month",
                                    "2nd Wednesday of the month", "3rd Wednesday of the month",
                                    "4th Wednesday of the month", "Last Wednesday of the month"}));
    EXPECT_EQ(units->itemData(2).toInt(), -7);
    EXPECT_EQ(units->itemData(12).toInt(), -2);
    // Not a date: the labels stay.
    c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(u"soon"_s);
    EXPECT_EQ(units->itemText(2), u"Wednesday"_s);
}

TEST_F(EventsTest, ChangesWhileLoadingDoNotMarkThePanel)
{
    EMS_EventsFrm w;
    w.load();
    EXPECT_TRUE(w.WindowLoading());
    w.findChild<QLineEdit*>(u"txtEve_0"_s)->setText(u"x"_s);
    EXPECT_FALSE(w.ChangeFlag());
    w.show();
    pump();
    EXPECT_FALSE(w.WindowLoading());
    w.findChild<QLineEdit*>(u"txtEve_0"_s)->setText(u"y"_s);
    EXPECT_TRUE(w.ChangeFlag());
    PrompterGuard prompts;
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbNo);
    w.close();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(EventsTest, AnEventEndingAtMidnightReloadsAsSavedAndSavesAgain)
{
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    QTest::mouseClick(edit("txtEve_0"), Qt::LeftButton);
    QTest::keyClicks(edit("txtEve_0"), u"Late inventory"_s);
    combo("cmbFroTim_0")->setCurrentIndex(combo("cmbFroTim_0")->findText(u"11:00 PM"_s));
    const int lastEntry = combo("cmbFroTim_1")->count() - 1; // the second 12:00 AM
    combo("cmbFroTim_1")->setCurrentIndex(lastEntry);
    PrompterGuard prompts;
    prompts->expect(kNoAttendees, ui::vbYes);
    press(u"Save"_s);
    const qint64 cm = w.CurrentEventID();
    ASSERT_NE(cm, 0);
    const auto times = [&] {
        return office.rows(u"select EvBroStaTim, evBroDat from EVTable where EvLinID=?"_s, {cm});
    };
    const QStringList saved = times();
    EXPECT_EQ(saved, QStringList{u"11:00:00 PM|12:00:00 AM"_s});
    w.hide();

    // Opened again: the times as they were chosen, and a second save passes validation.
    EMS_EventsFrm& again = open();
    ASSERT_TRUE(showActive(&again));
    ASSERT_EQ(again.CurrentEventID(), cm);
    EXPECT_EQ(combo("cmbFroTim_0")->currentText(), u"11:00 PM"_s);
    EXPECT_EQ(combo("cmbFroTim_1")->currentIndex(), lastEntry);
    QTest::mouseClick(c<QPlainTextEdit>(u"txtEve_1"_s)->viewport(), Qt::LeftButton);
    QTest::keyClicks(c<QPlainTextEdit>(u"txtEve_1"_s), u"Count the stock room"_s);
    press(u"Save"_s); // no "From time is after To time."
    EXPECT_FALSE(again.ChangeFlag());
    EXPECT_EQ(times(), saved);
    EXPECT_EQ(office.scalar(u"select cmDoc from CMTable where cmID=?"_s, {cm}).toString(),
              u"Count the stock room"_s);
}

class AttendeesTest : public EventsTest {
protected:
    // Opens the employee picker with the given button and lets the handler answer it.
    void choose(const char* button, ModalScript::Handler handler)
    {
        ModalScript modal;
        modal.then(std::move(handler));
        c<QPushButton>(QString::fromLatin1(button))->click();
    }
    // The event's addressee rows as "id|person|type|read|snoozes", by type and person.
    QStringList rows(qint64 cm)
    {
        return office.rows(u"select BroChkID, BroChkPID, BroChkTyp, coalesce(BroChkDonDis, 0), "
                           "coalesce(BroChkSno, 0) from BroChkTable where BroChkLinID=? "
                           "order by BroChkTyp, BroChkPID, BroChkID"_s,
                           {cm});
    }
};

TEST_F(AttendeesTest, SavingSynchronisesTheRows)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, ann, 0);
    addAttendee(cm, bob, 0);
    addAttendee(cm, cat, 1);
    addAttendee(cm, bob, 2); // another kind: left alone
    const QStringList before = rows(cm);
    ASSERT_EQ(before.size(), 4);

    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.AttendeeList(0), QString::number(ann) + ',' + QString::number(bob) + ',');
    EXPECT_EQ(w.AttendeeList(1), QString::number(cat) + ',');

    // Attendees: Ann kept, Bob removed, Cat moved over from the copies.
    choose("CmdTo_0", pick({"Adams", "Cole"}));
    EXPECT_TRUE(w.ChangeFlag());
    EXPECT_EQ(c<QLineEdit>(u"txtAtt_0"_s)->text(), u"AA, CC"_s);
    const QString signal = office.dataFolder() + u"TEMP/CMBC.STA"_s;
    QFile::remove(signal);
    {
        PrompterGuard prompts;
        EXPECT_EQ(w.SaveEvent(false, true), ui::vbYes);
    }
    EXPECT_TRUE(QFile::exists(signal));
    EXPECT_EQ(w.AttendeeList(1), QString());
    EXPECT_EQ(c<QLineEdit>(u"txtAtt_1"_s)->text(), QString());
    const QStringList after = rows(cm);
    // Ann's row kept, Cat's added, the other kind left: what each row holds is the store's test.
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0].section(u'|', 0, 0), before[0].section(u'|', 0, 0));
    EXPECT_EQ(after[1].section(u'|', 1, 1), QString::number(cat));

    // Nothing changed in the lists: no inserts, no deletes.
    c<QLineEdit>(u"txtEve_0"_s)->setText(u"Mine again"_s);
    {
        PrompterGuard prompts;
        EXPECT_EQ(w.SaveEvent(false, true), ui::vbYes);
    }
    EXPECT_EQ(rows(cm), after);
    EXPECT_EQ(w.listModel()->data(w.listModel()->index(0, 4)).toString(),
              office.services()->personName(ann) + u", "_s + office.services()->personName(cat));
}

// A click on another event while a save writes its attendee rows waits for the save: the
// panel and the event it saves never become two different events.
TEST_F(AttendeesTest, AClickDuringASaveWaitsForTheSave)
{
    const qint64 a = addEvent(u"A"_s, ann, u"12/10/2026"_s);
    const qint64 b = addEvent(u"B"_s, ann, u"12/11/2026"_s);
    addAttendee(a, ann, 0); // a kept row: the save lets the window paint
    addAttendee(b, bob, 1);
    EMS_EventsFrm& w = open();
    auto* grid = c<QTableView>(u"TDBG"_s);
    grid->setCurrentIndex(grid->model()->index(0, 1));
    ASSERT_EQ(w.CurrentEventID(), a);
    edit("txtEve_0")->setText(u"A changed"_s);
    // The click is queued before Save, as a quick hand makes it.
    const QPoint at = grid->visualRect(grid->model()->index(1, 1)).center();
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            grid->viewport(),
            new QMouseEvent(
                type, QPointF(at), grid->viewport()->mapToGlobal(QPointF(at)), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier));
    {
        PrompterGuard prompts;
        press(u"Save"_s);
    }
    pump(); // the click, after the save: B is shown, nothing asked
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable where cmID=?"_s, {a}).toString(),
              u"A changed"_s);
    EXPECT_EQ(w.CurrentEventID(), b);
    EXPECT_EQ(edit("txtEve_0")->text(), u"B"_s);
    EXPECT_EQ(w.AttendeeList(1), QString::number(bob) + u',');
}

TEST_F(AttendeesTest, PickerCancelKeepsTheListAndOkWithNothingEmptiesIt)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, bob, 0);
    EMS_EventsFrm& w = open();
    choose("CmdTo_0", [&](QDialog& d) {
        // The current attendees come preselected.
        const auto selected = dynamic_cast<EMS_EmpList&>(d).list(0)->selectedItems();
        EXPECT_EQ(selected.size(), 1);
        EXPECT_EQ(selected.value(0) ? selected[0]->data(Qt::UserRole).toInt() : 0, bob);
        return pick({}, false)(d);
    });
    EXPECT_EQ(w.AttendeeList(0), QString::number(bob) + ',');
    EXPECT_FALSE(w.ChangeFlag());
    choose("CmdTo_0", pick({}));
    EXPECT_EQ(w.AttendeeList(0), QString());
    EXPECT_TRUE(w.ChangeFlag());
}

TEST_F(AttendeesTest, WholeOfficeAndDepartmentsExpandToPersonsOnce)
{
    EMS_EventsFrm& w = open();
    choose("CmdTo_0", pick({"Entire Office", "Baker"}));
    QStringList ids = w.AttendeeList(0).split(',', Qt::SkipEmptyParts);
    ids.sort();
    QStringList all{QString::number(ann), QString::number(bob), QString::number(cat)};
    all.sort();
    EXPECT_EQ(ids, all);
    choose("CmdTo_1", pick({"Clinic Department", "Cole"}));
    EXPECT_EQ(w.AttendeeList(1), QString::number(bob) + ',' + QString::number(cat) + ',');
    EXPECT_EQ(c<QLineEdit>(u"txtAtt_1"_s)->text(), u"BB, CC"_s);
}

TEST_F(AttendeesTest, OnlyCopiesStillAsksTheAllEmployeesQuestion)
{
    open();
    c<QLineEdit>(u"txtEve_0"_s)->setText(u"Fire drill"_s);
    choose("CmdTo_1", pick({u"Baker"_s}));
    const QString question =
        u"Saving Event without Attendees will result in Event being applied to all employees."_s;
    {
        PrompterGuard prompts;
        // No keeps the unsaved event where the caller can stay (New, Close), else ends the save.
        prompts->expect(question, u"Event Setup"_s, ui::vbNo);
        EXPECT_EQ(window->SaveEvent(false, true), ui::vbCancel);
        prompts->expect(question, u"Event Setup"_s, ui::vbNo);
        EXPECT_EQ(window->SaveEvent(false, false), ui::vbNo);
    }
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
    EXPECT_EQ(c<QLineEdit>(u"txtEve_0"_s)->text(), u"Fire drill"_s);
    {
        PrompterGuard prompts;
        prompts->expect(question, u"Event Setup"_s, ui::vbYes);
        EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    }
    const qint64 cm = window->CurrentEventID();
    const QStringList saved = rows(cm);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].section(u'|', 1, 2), u"%1|1"_s.arg(bob));
}

TEST_F(AttendeesTest, ScreenOfCellsNamesEachEventsOwnAttendeesInTheOrderWritten)
{
    const qint64 team = addEvent(u"Team"_s, ann, u"12/11/2026"_s);
    addAttendee(team, cat, 0);
    addAttendee(team, bob, 1);
    addAttendee(team, ann, 0);
    addAttendee(team, 0, 0); // a computer row names nobody
    const qint64 solo = addEvent(u"Solo"_s, ann, u"12/12/2026"_s);
    addAttendee(solo, bob, 0);
    addAttendee(solo, bob, 2); // neither To nor Cc
    const qint64 none = addEvent(u"None"_s, ann, u"12/13/2026"_s);

    auto& gic = *office.services();
    const QString a = gic.personName(ann), b = gic.personName(bob), c = gic.personName(cat);
    const QHash<qint64, QString> expected{
        {team, c + u", "_s + a + u"/ "_s + b}, {solo, b}, {none, QString()}, {987654, QString()}};
    EXPECT_EQ(events::attendeeCellTexts(gic, *office.db(), {team, solo, none, 987654}), expected);
    // The window's grid shows the same, whichever row is asked first.
    EMS_EventsFrm& w = open();
    EventListModel& model = *w.listModel();
    for (int row = model.rowCount() - 1; row >= 0; --row)
        EXPECT_EQ(model.data(model.index(row, EventListModel::ColToCc)).toString(),
                  expected.value(model.cmIdAt(row)))
            << row;
}

// A new event from the list: Ctrl+N, typed, Ctrl+S, found again with the arrows and deleted
// with Del, as the front desk does it without the mouse.
TEST_F(EventsTest, AnEventIsCreatedSavedAndDeletedByKeyboardAlone)
{
    addEvent(u"Fire drill"_s, ann, u"12/10/2026"_s);
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);

    pressKey(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    EXPECT_EQ(w.CurrentEventID(), 0);
    typeText(u"Staff meeting"_s);
    pressKey(Qt::Key_Tab);
    EXPECT_EQ(focusedName(), u"txtEve_1"_s);
    typeText(u"Room 2"_s);
    // Del in a text field deletes a letter, never the event.
    pressKey(Qt::Key_Home);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(c<QPlainTextEdit>(u"txtEve_1"_s)->toPlainText(), u"oom 2"_s);
    {
        PrompterGuard prompts;
        prompts->expect(kNoAttendees, ui::vbYes);
        pressKey(Qt::Key_S, Qt::ControlModifier);
    }
    const qint32 saved = w.CurrentEventID();
    ASSERT_NE(saved, 0);
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable where cmID=?"_s, {saved}).toString(),
              u"Staff meeting"_s);
    EXPECT_EQ(w.listModel()->rowCount(), 2);

    // Back to the list past the title; the arrows move between events, each loaded as it comes.
    EXPECT_EQ(focusedName(), u"txtEve_1"_s);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    // Today's new event lists before the drill later this month.
    pressKey(Qt::Key_Down);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);
    pressKey(Qt::Key_Up);
    EXPECT_EQ(w.CurrentEventID(), saved);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Staff meeting"_s);

    // Del in the attendee initials, read-only as they are, leaves the event alone.
    for (int i = 0; i < 4; ++i)
        pressKey(Qt::Key_Tab);
    EXPECT_EQ(focusedName(), u"txtAtt_0"_s);
    {
        PrompterGuard noQuestion;
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(w.listModel()->rowCount(), 2);
    for (int i = 0; i < 4; ++i)
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);

    // Del asks what the button asks; No keeps the event.
    {
        PrompterGuard prompts;
        prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbNo);
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(office.scalar(u"select count(*) from CMTable where cmID=?"_s, {saved}).toInt(), 1);
    {
        PrompterGuard prompts;
        prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbYes);
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(office.scalar(u"select count(*) from CMTable where cmID=?"_s, {saved}).toInt(), 0);
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(w.CurrentEventID(), 0);

    // Enter on a row opens that event at its title.
    pressKey(Qt::Key_Down);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);
}

// Each command's key is named in its button's tooltip, and a command the window does not
// allow now does not run by its key either.
TEST_F(EventsTest, ToolbarKeysAreShownAndFollowTheButtons)
{
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    const struct {
        const char* key;
        QString tip;
        QKeySequence sequence;
    } keys[] = {{"New", u"New Event"_s, QKeySequence::New},
                {"Save", u"Save"_s, QKeySequence::Save},
                {"Delete", u"Delete"_s, QKeySequence(Qt::Key_Delete)},
                {"Help", u"Help"_s, QKeySequence(Qt::Key_F1)},
                {"Close", u"Close"_s, QKeySequence(Qt::Key_Escape)}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        // The key once, after the tooltip as given; the button's own text is the tooltip's.
        EXPECT_EQ(button(QString::fromLatin1(k.key))->toolTip(),
                  k.tip + u" ("_s + k.sequence.toString(QKeySequence::NativeText) + u')');
        EXPECT_EQ(button(QString::fromLatin1(k.key))->text(), k.tip);
    }
    // A new, unchanged event: nothing to save or delete, so the keys do nothing and ask nothing.
    PrompterGuard prompts;
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    pressKey(Qt::Key_S, Qt::ControlModifier);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
    // Esc closes as the close box does, asking first when there is a change.
    pressKey(Qt::Key_Tab);
    typeText(u"Half done"_s);
    prompts->expect(kSaveChange, ui::vbCancel);
    pressKey(Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    prompts->expect(kSaveChange, ui::vbNo);
    pressKey(Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
}

// Every way the window opens: where the focus starts, and Tab and Shift+Tab through every
// control once, in the order the eye reads the window (the list first, then the panel from top
// to bottom), each with a name a screen reader says.
TEST_F(EventsTest, TheFocusChainReadsLikeTheWindowAndNamesEveryStop)
{
    const QStringList recurring = {"evBroReaFla", "EvBroReaEve", "EvBroReaTyp", "EvBroNumOfTim"};
    const QStringList everyTwoWeeksFourTimes = {"-1", "2", "7", "4"};
    // From the title on; the repeat's own stops once it repeats.
    const QStringList panel = {"txtEve_1", "CmdTo_0",     "txtAtt_0",    "CmdTo_1", "txtAtt_1",
                               "dateEdit", "cmbFroTim_0", "cmbFroTim_1", "ChkRea_0"};
    const QStringList repeat = {"txtReaEve_0", "cmbRea_0", "OptReaUnl_0", "txtReaTim_0"};
    const struct {
        const char* name;
        bool single;
        bool withEvent;
        const char* first;
        QStringList forward;
    } cases[] = {{"list with a recurring event", false, true, "TDBG",
                  QStringList{"txtEve_0"} + panel + repeat},
                 {"empty list", false, false, "txtEve_0", panel + QStringList{"TDBG"}},
                 {"one event alone", true, true, "txtEve_0", panel + repeat}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        office.exec(u"delete from EVTable"_s);
        office.exec(u"delete from CMTable"_s);
        SharedState::current().LinkID = 0;
        if (k.withEvent) {
            const qint64 cm = addEvent(u"Fire drill"_s, ann, u"12/10/2026"_s, u"9:00:00 AM"_s,
                                       u"10:00:00 AM"_s, recurring, everyTwoWeeksFourTimes);
            if (k.single)
                alone(cm);
        }
        EMS_EventsFrm& w = open();
        ASSERT_TRUE(showActive(&w));
        EXPECT_EQ(focusedName(), QString::fromLatin1(k.first));
        expectTabRing(&w, k.forward);
        w.hide();
    }
}

// At the office's own font the grid's columns fit a 1280 by 800 screen without scrolling
// sideways, dates and times whole; at 16 pt, light and dark, the list keeps most of its columns
// whole and several rows, no caption is squeezed below what its text needs, and the next dates
// read in the palette's own text colour.
TEST_F(EventsTest, TheGridFitsAndALargeFontAndADarkPaletteLeaveEveryTextReadable)
{
    for (int i = 0; i < 12; ++i) // more rows than the grid shows: its vertical scroll bar comes
        addEvent(u"Quarterly fire extinguisher check %1"_s.arg(i), ann, u"12/%1/2026"_s.arg(10 + i),
                 u"9:00:00 AM"_s, u"10:00:00 AM"_s, {"evBroReaFla", "EvBroReaEve", "EvBroReaTyp"},
                 {"-1", "1", "-2"});
    const struct {
        const char* name;
        qreal points; // 0: the office's own
        QPalette palette;
    } looks[] = {{"plain", 0, QApplication::palette()},
                 {"light", 16, QApplication::style()->standardPalette()},
                 {"dark", 16, darkPalette()}};
    for (const auto& look : looks) {
        SCOPED_TRACE(look.name);
        std::optional<Appearance> appearance;
        if (look.points > 0)
            appearance.emplace(look.points, look.palette);
        EMS_EventsFrm& w = open();
        ASSERT_TRUE(showActive(&w));
        w.resize(1280 * 9 / 10 + 40, 800 * 9 / 10);
        pump();
        EXPECT_LE(w.minimumSizeHint().width(), w.width());
        EXPECT_LE(w.minimumSizeHint().height(), w.height());

        auto* grid = c<QTableView>(u"TDBG"_s);
        if (look.points == 0) {
            int total = 0;
            for (int col = 0; col < grid->model()->columnCount(); ++col)
                if (!grid->isColumnHidden(col))
                    total += grid->columnWidth(col);
            EXPECT_LE(total, grid->viewport()->width());
            EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
            const QFontMetrics metrics(grid->font());
            EXPECT_GE(grid->columnWidth(EventListModel::ColDate),
                      metrics.horizontalAdvance(u"12/28/2026"_s));
            EXPECT_GE(grid->columnWidth(EventListModel::ColETime),
                      metrics.horizontalAdvance(u"12:00 AM"_s));
        }
        // Columns on show whole, each wide enough for its caption.
        QFont bold = grid->horizontalHeader()->font();
        bold.setBold(true);
        int whole = 0;
        for (int col = 0; col < grid->model()->columnCount(); ++col) {
            if (grid->isColumnHidden(col))
                continue;
            const QString caption = grid->model()->headerData(col, Qt::Horizontal).toString();
            EXPECT_GT(grid->columnWidth(col), QFontMetrics(bold).horizontalAdvance(caption))
                << caption.toStdString();
            if (grid->columnViewportPosition(col) >= 0 &&
                grid->columnViewportPosition(col) + grid->columnWidth(col) <=
                    grid->viewport()->width())
                ++whole;
        }
        EXPECT_GE(whole, 5);
        const int rowHeight = grid->rowHeight(0);
        EXPECT_GE(rowHeight, grid->fontMetrics().height());
        EXPECT_GE(grid->viewport()->height() / rowHeight, 6);
        EXPECT_EQ(cutCaptions(&w), QStringList());

        auto* next = c<QLabel>(u"lblNextOccurrences"_s);
        EXPECT_FALSE(next->text().isEmpty());
        const QPalette p = next->palette();
        EXPECT_GE(contrast(p.color(next->foregroundRole()), p.color(next->backgroundRole())), 4.5);
        const QPalette g = grid->palette();
        EXPECT_GE(contrast(g.color(QPalette::Text), g.color(QPalette::Base)), 4.5);
        keepShot(&w, u"events-%1.png"_s.arg(QString::fromLatin1(look.name)));
        w.hide();
    }
}
