// The events' store calls: an event with its repeat and attendees written, read back, changed
// and deleted, and the grid's rows, without a window.
#include "core/EventStore.h"

#include "support/Office.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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
