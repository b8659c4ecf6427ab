// The holiday setup's store calls: the list, a holiday read, written and deleted, without a
// window.
#include "core/HolidayStore.h"

#include "support/Office.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::holidays {
namespace {

using testing::Office;

class HolidayStore : public ::testing::Test {
protected:
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

Holiday fixed(const QString& name, qint64 day, qint64 month, qint64 onSat = 0, qint64 onSun = 0)
{
    Holiday h;
    h.description = name;
    h.fixedDate = true;
    h.obsOn = day;
    h.obsMon = month;
    h.onSat = onSat;
    h.onSun = onSun;
    h.obsWeeDay = 3; // not a column of a fixed date: written as 0
    h.iconFile = u"icons\\FlagUsa.ico"_s;
    return h;
}

TEST_F(HolidayStore, ANewHolidayIsAnActivePaidDayOffAndReadsBackAsWritten)
{
    Holiday h = fixed(u"Independence Day"_s, 4, 7, 1, 2);
    h.notForPartTimeStaff = true;
    const qint64 id = save(h);
    ASSERT_GT(id, 0);
    const struct {
        const char* column;
        int value;
    } columns[] = {{"hdocInAct", 1},         {"hdocHolFla", -1},    {"hdocOffColFla", -1},
                   {"hdocPayFla", -1},       {"hdocUseDatFla", -1}, {"hdocObsWeeDay", 0},
                   {"hdocNotAppToParEmp", 1}};
    for (const auto& c : columns)
        EXPECT_EQ(stored(id, c.column).toInt(), c.value) << c.column;
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    EXPECT_EQ(stored(id, "hdocStaDat").toDateTime(), zero);
    EXPECT_EQ(stored(id, "hdocEndDat").toDateTime(), zero);

    QString error;
    const std::optional<Holiday> back = readHoliday(gic(), id, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->id, id);
    EXPECT_EQ(back->description, u"Independence Day"_s);
    EXPECT_TRUE(back->fixedDate);
    EXPECT_EQ(std::tuple(back->obsOn, back->obsWeeDay, back->obsMon, back->onSat, back->onSun),
              std::tuple(4, 0, 7, 1, 2));
    EXPECT_EQ(back->iconFile, u"icons\\FlagUsa.ico"_s);
    EXPECT_TRUE(back->notForPartTimeStaff);

    EXPECT_FALSE(readHoliday(gic(), id + 100, &error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
}

TEST_F(HolidayStore, AnUpdateWritesTheRuleAndLeavesCreationOnlyColumns)
{
    const qint64 id = save(fixed(u"Christmas"_s, 25, 12, 1, 2));
    office.exec(u"update HDOCTable set hdocInAct=0, hdocOffColFla=0, hdocPayFla=5, hdocStaDat=? "
                "where hdocID=?"_s,
                {u"2020-01-02 00:00:00"_s, id});

    Holiday rule;
    rule.id = id;
    rule.description = u"Christmas"_s;
    rule.fixedDate = false;
    rule.obsOn = 4;
    rule.obsWeeDay = 5;
    rule.obsMon = 12;
    rule.onSat = 1; // not columns of a rule: written as 0
    rule.onSun = 2;
    EXPECT_EQ(save(rule), id);

    EXPECT_EQ(office.count(u"HDOCTable"_s), 1);
    const struct {
        const char* column;
        int value;
    } columns[] = {{"hdocUseDatFla", 0}, {"hdocObsOn", 4}, {"hdocObsWeeDay", 5}, {"hdocObsMon", 12},
                   {"hdocOnSat", 0},     {"hdocOnSun", 0}, {"hdocInAct", 1},     {"hdocHolFla", -1},
                   {"hdocOffColFla", 0}, {"hdocPayFla", 5}};
    for (const auto& c : columns)
        EXPECT_EQ(stored(id, c.column).toInt(), c.value) << c.column;
    EXPECT_EQ(stored(id, "hdocStaDat").toDateTime(), QDateTime(QDate(2020, 1, 2), QTime(0, 0)));
}

TEST_F(HolidayStore, TheListHoldsActiveHolidaysByNameAndADeletedOneLeavesIt)
{
    const qint64 thanks = save([] {
        Holiday h;
        h.description = u"Thanksgiving"_s;
        h.fixedDate = false;
        h.obsOn = 4;
        h.obsWeeDay = 5;
        h.obsMon = 11;
        return h;
    }());
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
