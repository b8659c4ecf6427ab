// The office calendar's stores without a window: the holidays' calendar (the days off of a
// year), the holiday setup's list with a holiday read, written and deleted, and the events.
#include "core/EventStore.h"
#include "core/HolidayCalendar.h"
#include "core/HolidayStore.h"
#include "support/Office.h"
#include "tzsndmsg/Holidays.h"

#include <gtest/gtest.h>
#include <span>

using namespace Qt::StringLiterals;

namespace tzsndmsg::holidays {
namespace {

using testing::Office;

struct Federal {
    const char* name;
    HolidayRule rule;
};

// The US federal holidays with the usual office shifts (Saturday: Friday prior, Sunday: Monday
// after). Rules: hdocObsOn 1..4 / 0 last, weekday 1 Sunday .. 7 Saturday.
const Federal kFederal[] = {
    {"New Year's Day", {-1, 1, 0, 1, 1, 2}},
    {"Birthday of Martin Luther King, Jr.", {0, 3, 2, 1, 0, 0}},
    {"Washington's Birthday", {0, 3, 2, 2, 0, 0}},
    {"Memorial Day", {0, 0, 2, 5, 0, 0}},
    {"Juneteenth National Independence Day", {-1, 19, 0, 6, 1, 2}},
    {"Independence Day", {-1, 4, 0, 7, 1, 2}},
    {"Labor Day", {0, 1, 2, 9, 0, 0}},
    {"Columbus Day", {0, 2, 2, 10, 0, 0}},
    {"Veterans Day", {-1, 11, 0, 11, 1, 2}},
    {"Thanksgiving Day", {0, 4, 5, 11, 0, 0}},
    {"Christmas Day", {-1, 25, 0, 12, 1, 2}},
};

// The published days off, in the order of kFederal (Juneteenth became one in 2021; its 2020
// row is the date the rule gives).
struct PublishedYear {
    int year;
    QList<QDate> days;
};

QList<QDate> dates(const char* isoDays)
{
    QList<QDate> out;
    for (const QString& day : QString::fromLatin1(isoDays).split(u' '))
        out << QDate::fromString(day, Qt::ISODate);
    return out;
}

const PublishedYear kPublished[] = {
    {2020, dates("2020-01-01 2020-01-20 2020-02-17 2020-05-25 2020-06-19 2020-07-03 2020-09-07 "
                 "2020-10-12 2020-11-11 2020-11-26 2020-12-25")},
    {2021, dates("2021-01-01 2021-01-18 2021-02-15 2021-05-31 2021-06-18 2021-07-05 2021-09-06 "
                 "2021-10-11 2021-11-11 2021-11-25 2021-12-24")},
    // 1 January 2022 is a Saturday: its day off is Friday 31 December 2021.
    {2022, dates("2021-12-31 2022-01-17 2022-02-21 2022-05-30 2022-06-20 2022-07-04 2022-09-05 "
                 "2022-10-10 2022-11-11 2022-11-24 2022-12-26")},
    {2026, dates("2026-01-01 2026-01-19 2026-02-16 2026-05-25 2026-06-19 2026-07-03 2026-09-07 "
                 "2026-10-12 2026-11-11 2026-11-26 2026-12-25")},
    {2027, dates("2027-01-01 2027-01-18 2027-02-15 2027-05-31 2027-06-18 2027-07-05 2027-09-06 "
                 "2027-10-11 2027-11-11 2027-11-25 2027-12-24")},
};

TEST(HolidayCalendar, ObservedDatesMatchPublishedFederalHolidays)
{
    for (const PublishedYear& published : kPublished) {
        for (int i = 0; i < int(std::size(kFederal)); ++i) {
            EXPECT_EQ(observedDate(kFederal[i].rule, published.year), published.days.at(i))
                << kFederal[i].name << " " << published.year;
        }
    }
}

TEST(HolidayCalendar, ShiftsAndRulesAtTheEdges)
{
    const struct Case {
        const char* what;
        HolidayRule rule;
        int year;
        QDate ruleDay, observed;
    } cases[] = {
        {"Saturday kept without a shift", {-1, 4, 0, 7, 0, 0}, 2026, {2026, 7, 4}, {2026, 7, 4}},
        {"Saturday to the Monday after", {-1, 4, 0, 7, 2, 0}, 2026, {2026, 7, 4}, {2026, 7, 6}},
        {"Sunday to the Friday before", {-1, 4, 0, 7, 0, 1}, 2027, {2027, 7, 4}, {2027, 7, 2}},
        {"weekday never moves", {-1, 4, 0, 7, 1, 2}, 2025, {2025, 7, 4}, {2025, 7, 4}},
        {"unknown shift: kept", {-1, 4, 0, 7, 9, 9}, 2026, {2026, 7, 4}, {2026, 7, 4}},
        {"rules ignore the shift columns", {0, 1, 7, 8, 1, 2}, 2026, {2026, 8, 1}, {2026, 8, 1}},
        {"last Sunday, the 31st", {0, 0, 1, 5, 0, 0}, 2026, {2026, 5, 31}, {2026, 5, 31}},
        {"first Sunday when the 1st is one", {0, 1, 1, 2, 0, 0}, 2026, {2026, 2, 1}, {2026, 2, 1}},
        {"fourth Saturday of February", {0, 4, 7, 2, 0, 0}, 2026, {2026, 2, 28}, {2026, 2, 28}},
        {"29 February of a leap year", {-1, 29, 0, 2, 0, 0}, 2028, {2028, 2, 29}, {2028, 2, 29}},
        // Invalid rules name no date: the holiday is left out of that year, never moved.
        {"31 February", {-1, 31, 0, 2, 0, 0}, 2026, {}, {}},
        {"29 February of a common year", {-1, 29, 0, 2, 0, 0}, 2027, {}, {}},
        {"31 April", {-1, 31, 0, 4, 1, 2}, 2026, {}, {}},
        {"day 0", {-1, 0, 0, 7, 0, 0}, 2026, {}, {}},
        {"month 13", {-1, 4, 0, 13, 0, 0}, 2026, {}, {}},
        {"month 0", {0, 1, 2, 0, 0, 0}, 2026, {}, {}},
        {"fifth week", {0, 5, 2, 5, 0, 0}, 2026, {}, {}},
        {"weekday 0", {0, 1, 0, 5, 0, 0}, 2026, {}, {}},
        {"weekday 8", {0, 1, 8, 5, 0, 0}, 2026, {}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ruleDate(c.rule, c.year), c.ruleDay) << c.what;
        EXPECT_EQ(observedDate(c.rule, c.year), c.observed) << c.what;
    }
}

class HolidaysOfYear : public ::testing::Test {
protected:
    void seed(const QString& name, const HolidayRule& r, int inAct = 1, int holFla = -1)
    {
        office.insert(
            u"HDOCTable"_s, u"hdocID"_s,
            {"hdocDes", "hdocInAct", "hdocUseDatFla", "hdocObsOn", "hdocObsWeeDay", "hdocObsMon",
             "hdocOnSat", "hdocOnSun", "hdocHolFla"},
            {name, inAct, r.useDatFla, r.obsOn, r.obsWeeDay, r.obsMon, r.onSat, r.onSun, holFla});
    }
    void seedFederal()
    {
        for (const Federal& f : kFederal)
            seed(QString::fromUtf8(f.name), f.rule);
        seed(u"Closed for good"_s, {-1, 2, 0, 1, 0, 0}, -1); // inactive
        seed(u"Staff picnic"_s, {-1, 3, 0, 8, 0, 0}, 1, 0);  // not a holiday row
        seed(u"Impossible day"_s, {-1, 31, 0, 2, 0, 0});     // names no date
    }
    QList<YearHoliday> list(int year)
    {
        QString error;
        auto result = holidaysOfYear(*office.services(), year, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return result;
    }
    HostServices& gic() { return *office.services(); }
    qint64 save(const Holiday& h)
    {
        QString error;
        const std::optional<qint64> id = saveHoliday(gic(), h, &error);
        EXPECT_TRUE(id) << error.toStdString();
        return id.value_or(0);
    }
    QVariant stored(qint64 id, const char* column)
    {
        return office.scalar(
            u"select %1 from HDOCTable where hdocID=?"_s.arg(QLatin1String(column)), {id});
    }
    Office office;
};

TEST_F(HolidaysOfYear, FormatsATableWithTheObservedNote)
{
    seed(u"Independence Day"_s, kFederal[5].rule);
    seed(u"Thanksgiving Day"_s, kFederal[9].rule);
    seed(u"50% day %1"_s, {-1, 1, 0, 3, 0, 0});
    const QString text = formatHolidayList(list(2026), 2026);
    EXPECT_EQ(text, u"Holidays of 2026\n"
                    "Date        Day  Holiday           Note\n"
                    "03/01/2026  Sun  50% day %1\n"
                    "07/03/2026  Fri  Independence Day  observed; falls on Sat 07/04/2026\n"
                    "11/26/2026  Thu  Thanksgiving Day\n"_s);
    EXPECT_EQ(formatHolidayList({}, 2030), u"No holidays in 2030.\n"_s);
}

// A year's days off in date order, with the next year's day that falls in it; the public call
// gives a host the same days and the same table, and refuses what it cannot read.
TEST_F(HolidaysOfYear, AYearsDaysOffInDateOrderAsAHostReadsThem)
{
    seedFederal();
    // 2021 also holds 31 December, the day off for New Year's Day 2022.
    const QList<YearHoliday> y2021 = list(2021);
    ASSERT_EQ(y2021.size(), 12);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(y2021.at(i).date, kPublished[1].days.at(i)) << i;
        EXPECT_EQ(y2021.at(i).name, QString::fromUtf8(kFederal[i].name));
    }
    EXPECT_EQ(std::tuple(y2021.last().date, y2021.last().ruleDay, y2021.last().name),
              std::tuple(QDate(2021, 12, 31), QDate(2022, 1, 1), u"New Year's Day"_s));
    QList<DayOff> days;
    QString error;
    ASSERT_TRUE(readDaysOff(*office.services(), 2022, days, &error)) << error.toStdString();
    // 2022 has no New Year's Day of its own and sorts the shifted days by date.
    ASSERT_EQ(days.size(), 10);
    for (int i = 1; i < 11; ++i)
        EXPECT_EQ(days.at(i - 1).date, kPublished[2].days.at(i)) << i;
    EXPECT_EQ(days.first().name, u"Birthday of Martin Luther King, Jr."_s);
    EXPECT_NE(days.first().holidayId, 0);
    // Christmas 2022 is a Sunday: the day off is the Monday after.
    EXPECT_EQ(days.last().ruleDate, QDate(2022, 12, 25));
    EXPECT_EQ(daysOffText(days, 2022), formatHolidayList(list(2022), 2022));

    for (int year : {0, -5, 10000}) {
        SCOPED_TRACE(year);
        error.clear();
        EXPECT_FALSE(readDaysOff(*office.services(), year, days, &error));
        EXPECT_TRUE(days.isEmpty());
        EXPECT_TRUE(error.contains(u"1 to 9999"_s)) << error.toStdString();
    }
    EXPECT_TRUE(readDaysOff(*office.services(), 9999, days, &error)) << error.toStdString();

    office.exec(u"drop table HDOCTable"_s);
    error.clear();
    EXPECT_FALSE(readDaysOff(*office.services(), 2022, days, &error));
    EXPECT_FALSE(error.isEmpty());
}

// The holiday setup's calls on the same store.
using HolidayStore = HolidaysOfYear;

// The weekday is not a column of a fixed date: written as 0.
Holiday fixed(const QString& name, qint64 day, qint64 month, qint64 onSat = 0, qint64 onSun = 0)
{
    return {.description = name,
            .obsOn = day,
            .obsWeeDay = 3,
            .obsMon = month,
            .onSat = onSat,
            .onSun = onSun,
            .iconFile = u"icons\\FlagUsa.ico"_s};
}
// The nth weekday of a month; weekend shifts given are not columns of a rule: written as 0.
Holiday rule(const QString& name, qint64 nth, qint64 weekday, qint64 month, qint64 id = 0)
{
    Holiday h = fixed(name, nth, month, 1, 2);
    h.id = id;
    h.fixedDate = false;
    h.obsWeeDay = weekday;
    return h;
}

// A new holiday is an active paid day off and reads back as written; an update writes the rule
// and leaves the columns only a new one sets.
TEST_F(HolidayStore, ANewHolidayReadsBackAsWrittenAndAnUpdateWritesOnlyTheRule)
{
    Holiday h = fixed(u"Independence Day"_s, 4, 7, 1, 2);
    h.notForPartTimeStaff = true;
    const qint64 id = save(h);
    ASSERT_GT(id, 0);
    struct Column {
        const char* name;
        int value;
    };
    const auto expectColumns = [&](std::span<const Column> columns) {
        for (const Column& c : columns)
            EXPECT_EQ(stored(id, c.name).toInt(), c.value) << c.name;
    };
    const Column created[] = {
        {"hdocInAct", 1},      {"hdocHolFla", -1},   {"hdocOffColFla", -1},    {"hdocPayFla", -1},
        {"hdocUseDatFla", -1}, {"hdocObsWeeDay", 0}, {"hdocNotAppToParEmp", 1}};
    expectColumns(created);
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    EXPECT_EQ(stored(id, "hdocStaDat").toDateTime(), zero);
    EXPECT_EQ(stored(id, "hdocEndDat").toDateTime(), zero);

    QString error;
    const std::optional<Holiday> back = readHoliday(gic(), id, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(std::tuple(back->id, back->description, back->fixedDate, back->iconFile,
                         back->notForPartTimeStaff),
              std::tuple(id, u"Independence Day"_s, true, u"icons\\FlagUsa.ico"_s, true));
    EXPECT_EQ(std::tuple(back->obsOn, back->obsWeeDay, back->obsMon, back->onSat, back->onSun),
              std::tuple(4, 0, 7, 1, 2));
    EXPECT_FALSE(readHoliday(gic(), id + 100, &error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();

    office.exec(u"update HDOCTable set hdocInAct=0, hdocOffColFla=0, hdocPayFla=5, hdocStaDat=? "
                "where hdocID=?"_s,
                {u"2020-01-02 00:00:00"_s, id});
    EXPECT_EQ(save(rule(u"Independence Day"_s, 4, 5, 12, id)), id);
    EXPECT_EQ(office.count(u"HDOCTable"_s), 1);
    const Column updated[] = {{"hdocUseDatFla", 0}, {"hdocObsOn", 4},   {"hdocObsWeeDay", 5},
                              {"hdocObsMon", 12},   {"hdocOnSat", 0},   {"hdocOnSun", 0},
                              {"hdocInAct", 1},     {"hdocHolFla", -1}, {"hdocOffColFla", 0},
                              {"hdocPayFla", 5}};
    expectColumns(updated);
    EXPECT_EQ(stored(id, "hdocStaDat").toDateTime(), QDateTime(QDate(2020, 1, 2), QTime(0, 0)));
}

TEST_F(HolidayStore, TheListHoldsActiveHolidaysByNameAndADeletedOneLeavesIt)
{
    const qint64 thanks = save(rule(u"Thanksgiving"_s, 4, 5, 11));
    const qint64 july = save(fixed(u"Independence Day"_s, 4, 7));
    const qint64 closed = save(fixed(u"Closed"_s, 2, 1));
    const qint64 picnic = save(fixed(u"Picnic"_s, 3, 8));
    office.exec(u"update HDOCTable set hdocInAct=-1 where hdocID=?"_s, {closed});
    office.exec(u"update HDOCTable set hdocHolFla=0 where hdocID=?"_s, {picnic});

    QString error;
    auto list = readHolidayList(gic(), &error);
    ASSERT_TRUE(list) << error.toStdString();
    ASSERT_EQ(list->size(), 2);
    const HolidayListRow& first = list->at(0);
    EXPECT_EQ(std::tuple(first.id, first.description, first.fixedDate, first.obsOn, first.obsMon),
              std::tuple(july, u"Independence Day"_s, true, 4, 7));
    const HolidayListRow& second = list->at(1);
    EXPECT_EQ(
        std::tuple(second.id, second.fixedDate, second.obsOn, second.obsWeeDay, second.obsMon),
        std::tuple(thanks, false, 4, 5, 11));

    ASSERT_TRUE(deleteHoliday(gic(), july, &error)) << error.toStdString();
    EXPECT_EQ(office.count(u"HDOCTable"_s, u"hdocID=?"_s, {july}), 0);
    EXPECT_EQ(readHolidayList(gic())->size(), 1);

    // A store that cannot be read or written says why and changes nothing.
    office.exec(u"drop table HDOCTable"_s);
    error.clear();
    EXPECT_FALSE(readHolidayList(gic(), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(saveHoliday(gic(), fixed(u"Lost"_s, 1, 1), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(deleteHoliday(gic(), thanks, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace tzsndmsg::holidays

// The events' store calls: an event with its repeat and attendees written, read back, changed
// and deleted, and the grid's rows, without a window.
namespace tzsndmsg::events {
namespace {

using testing::Office;
constexpr auto ids = &Office::ids;

class EventStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ann = office.addEmployee(u"Adams"_s, u"Ann"_s, u"AA"_s, u"FRONT"_s);
        bob = office.addEmployee(u"Baker"_s, u"Bob"_s, u"BB"_s, u"BOB"_s);
        cat = office.addEmployee(u"Cole"_s, u"Cat"_s, u"CC"_s, u"CAT"_s);
    }
    HostServices& gic() { return *office.services(); }

    EventToSave meeting()
    {
        EventToSave e;
        e.title = u" Staff meeting "_s;
        e.description = u"Room 2"_s;
        e.date = u"12/16/2026"_s;
        e.from = u"9:00:00 AM"_s;
        e.to = u"11:00:00 AM"_s;
        e.repeat.recurring = true;
        e.repeat.every = u"2.5"_s; // a number rounds half to even
        e.repeat.unit = 7;
        e.repeat.numberOfTimes = 4;
        e.attendees = {ids({ann, bob}), ids({bob, cat})};
        e.ownerId = ann;
        return e;
    }
    EventSaveResult save(const EventToSave& e)
    {
        EventSaveResult r = saveEvent(gic(), e);
        EXPECT_TRUE(r.ok) << r.error.toStdString();
        return r;
    }
    // BroChkTable rows of an event: "pid|type|marks" in id order.
    QStringList rows(qint64 cm)
    {
        return office.rows(u"select BroChkPID, BroChkTyp, coalesce(BroChkDonDis, 0) from "
                           "BroChkTable where BroChkLinID=? order by BroChkID"_s,
                           {cm});
    }
    QVariant detail(qint64 cm, const QString& column)
    {
        return office.scalar(u"select %1 from EVTable where EvLinID=?"_s.arg(column), {cm});
    }

    Office office;
    qint32 ann = 0, bob = 0, cat = 0;
};

TEST_F(EventStore, ASavedEventReadsBackWithItsRepeatAndAttendees)
{
    const EventSaveResult saved = save(meeting());
    ASSERT_GT(saved.cmId, 0);
    // A person in both lists stays an attendee only.
    ASSERT_TRUE(saved.attendees);
    EXPECT_EQ(*saved.attendees, (std::array<QString, 2>{ids({ann, bob}), ids({cat})}));
    const QString p = u"%1|0|0"_s;
    EXPECT_EQ(rows(saved.cmId), (QStringList{p.arg(ann), p.arg(bob), u"%1|1|0"_s.arg(cat)}));

    const qint64 evId =
        office.scalar(u"select EVID from EVTable where EvLinID=?"_s, {saved.cmId}).toLongLong();
    for (const auto& [id, byDetail] : {std::pair{saved.cmId, false}, std::pair{evId, true}}) {
        const std::optional<EventRecord> e = readEvent(gic(), id, byDetail);
        ASSERT_TRUE(e) << byDetail;
        EXPECT_EQ(std::tuple(e->cmId, e->ownerId, e->repeat.recurring, e->repeat.unit,
                             e->repeat.numberOfTimes),
                  std::tuple(saved.cmId, ann, true, 7, 4));
        EXPECT_EQ(QStringList({e->title, e->description, e->date, e->repeat.every}),
                  QStringList({"Staff meeting", "Room 2", "12/16/2026", "2"}));
        EXPECT_EQ(e->attendees, *saved.attendees);
    }
    EXPECT_FALSE(readEvent(gic(), saved.cmId + 100));
}

TEST_F(EventStore, ChangesKeepListedRowsDropOthersAndLeaveTheRestOfTheRepeat)
{
    EventToSave e = meeting();
    e.cmId = save(e).cmId;
    office.exec(u"update BroChkTable set BroChkDonDis=-1 where BroChkLinID=?"_s, {e.cmId});
    office.insert(u"BroChkTable"_s, u"BroChkID"_s, {"BroChkLinID", "BroChkPID", "BroChkTyp"},
                  {e.cmId, bob, 2}); // another kind of row: left alone

    // Ann stays, Bob leaves, Cat becomes an attendee; the repeat runs until a date.
    e.attendees = {ids({ann, cat}), QString()};
    e.repeat.numberOfTimes = -2;
    e.repeat.until = u"01/31/2027"_s;
    EXPECT_EQ(save(e).cmId, e.cmId);
    EXPECT_EQ(rows(e.cmId),
              (QStringList{u"%1|0|0"_s.arg(ann), u"%1|2|0"_s.arg(bob), u"%1|0|0"_s.arg(cat)}));
    EXPECT_EQ(detail(e.cmId, u"EvBroNumOfTim"_s).toInt(), -2);
    EXPECT_EQ(readEvent(gic(), e.cmId)->repeat.until, u"01/31/2027"_s);
    EXPECT_EQ(std::pair(office.count(u"CMTable"_s), office.count(u"EVTable"_s)), std::pair(1, 1));

    // Not repeating any more: the flag is cleared, the other columns keep their values.
    e.repeat.recurring = false;
    save(e);
    EXPECT_EQ(office.rows(u"select EvBroReaFla, EvBroReaTyp, EvBroNumOfTim from EVTable"_s),
              QStringList{u"0|7|-2"_s});

    // An event deleted elsewhere is not written again.
    deleteEvent(gic(), e.cmId);
    EXPECT_FALSE(readEvent(gic(), e.cmId));
    const EventSaveResult gone = saveEvent(gic(), e);
    EXPECT_EQ(std::pair(gone.vanished, gone.ok), std::pair(true, false));
    EXPECT_EQ(office.count(u"CMTable"_s, u"cmID=?"_s, {e.cmId}), 0);
}

TEST_F(EventStore, TheGridListsTheOwnersEventsOrEveryOneAndInitialsNameAttendees)
{
    EventToSave mine = meeting();
    const qint64 a = save(mine).cmId;
    EventToSave theirs = meeting();
    theirs.title = u"Bob's"_s;
    theirs.date = u"12/01/2026"_s;
    theirs.ownerId = bob;
    const qint64 b = save(theirs).cmId;

    const struct {
        std::optional<qint32> owner;
        QString order;
        QList<qint64> listed;
    } cases[] = {
        {std::nullopt, QString(), {a, b}},        // by creation, then id
        {std::nullopt, u"EvBroStaDat"_s, {b, a}}, // the order asked
        {ann, QString(), {a}},
        {0, QString(), {}}, // a login the office does not know owns nothing
    };
    for (const auto& c : cases) {
        QString error;
        const auto list = readEventList(gic(), c.owner, c.order, &error);
        ASSERT_TRUE(list) << error.toStdString();
        QList<qint64> listed;
        for (const EventListRow& row : *list)
            listed << row.cmId;
        EXPECT_EQ(listed, c.listed) << c.owner.value_or(-1) << c.order.toStdString();
    }
    const EventListRow row = readEventList(gic(), ann, {})->value(0);
    EXPECT_EQ(row.subject.toString(), u"Staff meeting"_s);
    EXPECT_EQ(row.date.toString(), u"12/16/2026"_s);

    EXPECT_EQ(attendeeInitials(gic(), ids({cat, ann}) + u"0,"_s + ids({bob})), u"CC, AA"_s);
    EXPECT_FALSE(readEventList(gic(), std::nullopt, u"NoSuchColumn"_s));
}

} // namespace
} // namespace tzsndmsg::events
