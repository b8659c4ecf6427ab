// The one statement a workstation's watcher runs on a change, on a real store.
#include "core/Message.h"
#include "core/MessageListQuery.h"
#include "support/Office.h"
#include "tzsndmsg/db/Recordset.h"

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

class InboxChanges : public ::testing::Test {
protected:
    InboxChanges()
    {
        me = office.addEmployee("Front", "Anna", "AF", "FRONT");
        other = office.addEmployee("Back", "Bob", "BB", "BACK");
    }

    // A message with its detail row, addressed to a person (0: a computer) with a read mark.
    qint64 message(const QString& category, qint32 person, const QString& computer,
                   const QVariant& read = QVariant(), const QVariant& purge = QVariant())
    {
        const qint64 id =
            office.insert("CMTable", "cmID", {"cmTyp", "cmCat", "CMSubjec", "cmWho", "CMPurFla"},
                          {256, category, category + " subject", "BACK", purge});
        office.insert("EVTable", "EVID", {"EvLinID", "EvTyp"}, {id, 0});
        office.insert("BroChkTable", "BroChkID",
                      {"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac", "BroChkDonDis"},
                      {id, person, 0, computer, read});
        return id;
    }

    struct Read {
        qint64 unread = -1;
        QStringList rows; // "cmID/category"
    };
    Read run(qint32 employee, qint64 after, const QList<qint32>& ids = {})
    {
        core::MessageListParams p;
        p.currentEmployeeId = employee;
        p.computerName = "ws1";
        auto services = office.services();
        const QString sql = core::buildInboxChangesStatement(
            p, [&](const QString& t) { return services->quote(t); }, after, ids);
        db::Recordset rs = office.query(sql);
        Read out;
        if (!rs.isOpen())
            return out;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            out.unread = rs.value("unreadCount").toLongLong();
            if (!rs.isNull("BroChkID"))
                out.rows << QString::number(core::headerFrom(rs).cmID) + "/" +
                                core::headerFrom(rs).cmCat;
        }
        out.rows.sort();
        return out;
    }

    Office office;
    qint32 me = 0, other = 0;
};

// A login without a person (employee 0) watches only its computer.
TEST_F(InboxChanges, NewRowsOfEveryCategoryWithTheUnreadCountInOneStatement)
{
    const qint64 a = message("Message", me, "");
    const qint64 b = message("Events", me, "", -1);
    const qint64 c = message("Message", 0, "WS1");
    message("Message", 0, "WS9");                // another computer
    message("Message", other, "");               // someone else's
    message("Message", me, "", QVariant(), 256); // purged
    const qint64 lastOfA =
        office.scalar("select max(BroChkID) from BroChkTable where BroChkLinID=?", {a})
            .toLongLong();

    const auto all = run(me, -1);
    EXPECT_EQ(all.rows, (QStringList{QString("%1/Message").arg(a), QString("%1/Events").arg(b),
                                     QString("%1/Message").arg(c)}));
    EXPECT_EQ(all.unread, 2) << "the read Events row is not counted";

    const auto after = run(me, lastOfA);
    EXPECT_EQ(after.rows, (QStringList{QString("%1/Events").arg(b), QString("%1/Message").arg(c)}));
    EXPECT_EQ(after.unread, 2);

    const auto named = run(me, 1000000, {qint32(a)});
    EXPECT_EQ(named.rows, QStringList{QString("%1/Message").arg(a)}) << "a message a notice named";

    const auto nothing = run(me, 1000000);
    EXPECT_TRUE(nothing.rows.isEmpty());
    EXPECT_EQ(nothing.unread, 2) << "with no new row the count still comes";

    const auto computerOnly = run(0, -1);
    EXPECT_EQ(computerOnly.rows, QStringList{QString("%1/Message").arg(c)});
    EXPECT_EQ(computerOnly.unread, 1);
}

} // namespace
