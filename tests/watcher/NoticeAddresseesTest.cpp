// PostgreSQL's notices name whom a change is for: a watcher that is not among them reads
// nothing, and notices of the previous form, or too big to name everyone, still deliver.
#include "WatcherFixture.h"
#include "core/ChangeNotice.h"
#include "core/MessageWrite.h"
#include "watcher/WatcherInternals.h"

#include <functional>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

TEST(ChangeNotice, PayloadsAndWhomTheyConcern)
{
    const QString named =
        core::changeNoticePayload(7, {0, 3, 4, 5, 9}, {u"ws1"_s, u"Front desk, left;2"_s});
    EXPECT_EQ(named, u"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1"_s);

    struct Case {
        const char* payload;
        qint32 cmId;
        qint32 person;
        const char* computer;
        bool concerns;
    } const cases[] = {
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 4, "WS9", true},
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 6, "ws1", true},
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 6, "Front desk, left;2", true},
        {"2;7;0,3-5,9;FRONT%20DESK%2C%20LEFT%3B2,WS1", 7, 6, "WS9", false},
        {"2;7;0;WS1", 7, 0, "WS9", false},         // a login without a person: its computer only
        {"123", 123, 6, "WS9", true},              // the previous form: everyone looks
        {"3;7;extra;fields;x", 0, 6, "WS9", true}, // a later form: everyone looks
        {"2;7;4-x;WS1", 7, 6, "WS9", true},        // damaged: everyone looks
        {"", 0, 6, "WS9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        const core::ChangeNotice n = core::parseChangeNotice(QString::fromLatin1(c.payload));
        EXPECT_EQ(n.cmId, c.cmId);
        EXPECT_EQ(n.concerns(c.person, QString::fromLatin1(c.computer)), c.concerns);
    }

    QSet<qint32> many;
    for (qint32 id = 1; id < 4000; id += 2)
        many.insert(id);
    EXPECT_TRUE(core::changeNoticePayload(7, many, {}).isEmpty()) << "over NOTIFY's 8000 bytes";
    for (qint32 id = 2; id < 4000; id += 2)
        many.insert(id);
    EXPECT_EQ(core::changeNoticePayload(7, many, {}), u"2;7;1-3999;"_s)
        << "a whole office's ids fit as a range";
}

class NoticeAddressees : public TwoWorkstations {
protected:
    NoticeAddressees() { setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 0))); }

    // A message to Anna, its row then given to Bob the way a workstation of the previous
    // version would write it, with the notice such a workstation sends.
    qint32 sendAsBefore()
    {
        const qint32 id =
            send(*ws1, message(*ws1, anna, u"As before"_s, QString::number(anna) + u','));
        office.exec(u"UPDATE BroChkTable SET BroChkPID=? WHERE BroChkLinID=?"_s, {bob, id});
        EXPECT_TRUE(core::notifyChange(*office.db(), id));
        return id;
    }
    // To Bob and to more computers than a notice can name.
    qint32 sendToManyComputers()
    {
        QString computers;
        for (int i = 0; i < 700; ++i)
            computers += u"EXAM-ROOM-%1\n"_s.arg(i, 3, 10, QLatin1Char('0'));
        return send(*ws1,
                    message(*ws1, anna, u"Everyone"_s, QString::number(bob) + u',', computers));
    }
};

TEST_F(NoticeAddressees, AWatcherNotAddressedRunsNoStatementAndOldOrOversizedNoticesDeliver)
{
    TZ_POSTGRES_ONLY(office); // SQLite's watchers hear the signal files, which name nobody
    Started back(std::make_unique<OfficeWatcher>(ws2, options(u"back"_s, Channel::Notices)));
    ASSERT_TRUE(back->isListening());

    struct Case {
        const char* what;
        std::function<qint32()> change;
        bool told; // a notice to Bob, with the one statement that reads it
    } const cases[] = {
        {"a message to another person",
         [&] { return send(*ws1, message(*ws1, anna, u"A"_s, QString::number(anna) + u',')); },
         false},
        {"a message to another computer",
         [&] { return send(*ws1, message(*ws1, anna, u"B"_s, QString(), u"WS1\n"_s)); }, false},
        {"a confirmation of another person's row",
         [&] {
             const qint32 id =
                 send(*ws1, message(*ws1, anna, u"C"_s, QString::number(anna) + u','));
             Told::settle(200);
             EXPECT_TRUE(core::confirmAddressee(*ws1, rowOf(id), anna).written);
             return 0;
         },
         false},
        {"a message to this computer",
         [&] { return send(*ws1, message(*ws1, anna, u"D"_s, QString(), u"WS2\n"_s)); }, true},
        {"a message to Bob from a workstation of the previous version",
         [&] { return sendAsBefore(); }, true},
        {"a message too big to name everyone in its notice", [&] { return sendToManyComputers(); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Told::settle(300);
        const qsizetype toldBefore = back.notices.size();
        const quint64 before = WatcherInternals::statementsRun(*back);
        const qint32 id = c.change();
        if (c.told) {
            ASSERT_TRUE(back.waitFor(int(toldBefore) + 1));
            EXPECT_EQ(back.last(), u"arrived %1"_s.arg(id));
        }
        Told::settle(400);
        EXPECT_EQ(back.notices.size(), toldBefore + (c.told ? 1 : 0));
        EXPECT_EQ(WatcherInternals::statementsRun(*back) - before, c.told ? 1u : 0u);
    }
}

} // namespace
