// The public reading of the message store: a view for a login and a computer, as a host asks for
// it, and the moment a reminder is linked to.
#include "Composed.h"
#include "core/Confirmations.h"
#include "core/LoginList.h"
#include "core/Message.h"
#include "core/MessageListQuery.h"
#include "core/MessageWrite.h"
#include "support/Office.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/MessageSearch.h"
#include "tzsndmsg/Messages.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg::core {
namespace {

using testing::Office;

class MessageViews : public ::testing::Test {
protected:
    void SetUp() override
    {
        front = office.addEmployee("Front", "Fay", "FF", "FRONT", "Front Desk");
        nurse = office.addEmployee("Nurse", "Ned", "NN", "NURSE", "Clinical");
    }

    qint32 send(const QString& subject, qint32 to, const QString& computer = {},
                const QString& date = "12/06/2026", const QString& body = {})
    {
        OutgoingMessage m = composed(front, subject, to ? Office::ids({to}) : QString());
        m.cmDat = date;
        if (!body.isNull())
            m.cmDoc = body;
        if (!computer.isEmpty())
            m.computers[0] = computer + "\n";
        return savedId(*office.services(), m);
    }

    QStringList subjects(const MessageViewRequest& request)
    {
        QList<MessageViewRow> rows;
        QString error;
        EXPECT_TRUE(readMessageView(*office.services(), request, rows, &error))
            << error.toStdString();
        QStringList out;
        for (const MessageViewRow& row : rows)
            out << row.subject + (row.unread ? " *" : "");
        return out;
    }

    Office office; // logged in as FRONT at WS1
    qint32 front = 0, nurse = 0;
};

TEST_F(MessageViews, AViewIsTheLoginsAndTheComputersAsTheWindowListsIt)
{
    send("To Ned", nurse);
    // Sent under a second login of Fay's: her sent items under either login.
    office.addLogin("FRONT2", front);
    office.exec("update CMTable set cmWho='FRONT2' where cmID=?", {send("To WS2", 0, "WS2")});
    send("To Fay at WS1", front, "WS1");
    const qint32 purged = send("Old news", nurse);
    office.exec("update CMTable set CMPurFla=256 where cmID=?", {purged});

    constexpr auto inbox = MessageFolder::Inbox;
    const struct {
        const char* name;
        MessageFolder folder;
        bool history;
        const char *login, *computer;
        QString subjects;
    } cases[] = {
        // Lower-case names are the same login and computer.
        {"Ned's inbox at WS2", inbox, false, "nurse", "ws2", "To Ned *|To WS2 *"},
        {"Ned's inbox at WS9", inbox, false, "NURSE", "WS9", "To Ned *"},
        {"Ned's history", inbox, true, "NURSE", "WS9", "Old news *"},
        // No login and no computer given: the services' own, FRONT at WS1; listed once for
        // Fay and once for her workstation.
        {"the current login", inbox, false, "", "", "To Fay at WS1 *|To Fay at WS1 *"},
        {"Fay's sent items", MessageFolder::SentItems, false, "FRONT", "",
         "To Ned|To WS2|To Fay at WS1"},
        {"under her second login", MessageFolder::SentItems, false, "FRONT2", "",
         "To Ned|To WS2|To Fay at WS1"},
        {"Ned sent nothing", MessageFolder::SentItems, false, "NURSE", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MessageViewRequest request{.folder = c.folder,
                                         .history = c.history,
                                         .loginName = c.login,
                                         .computerName = c.computer};
        EXPECT_EQ(subjects(request).join('|'), c.subjects);
    }
}

// A login the office does not know, and one whose person has left it, would read as a login
// without a person, who sees every login's messages: every reading refuses both, with one reason.
TEST_F(MessageViews, UnknownAndDepartedLoginsAreRefusedAlikeByEveryReading)
{
    const qint32 id = send("To Ned", nurse);
    office.exec("update PATable set pDatRel=? where pID=?", {"2026-11-30", nurse});
    const struct {
        const char* login;
        std::string reason;
    } cases[] = {
        {"nobody", "There is no login \"NOBODY\" in this office."},
        {" Nurse", "\"NURSE\" is the login of a person who has left the office."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.login);
        const QString login = c.login;
        for (const MessageFolder folder : {MessageFolder::Inbox, MessageFolder::SentItems}) {
            const MessageViewRequest request{
                .folder = folder, .allCategories = true, .loginName = login, .computerName = {}};
            QList<MessageViewRow> rows{MessageViewRow()};
            QString error;
            EXPECT_FALSE(readMessageView(*office.services(), request, rows, &error));
            EXPECT_TRUE(rows.isEmpty());
            EXPECT_EQ(error.toStdString(), c.reason);
        }
        QString error;
        MessageSearchResult found;
        EXPECT_FALSE(
            searchMessages(*office.services(), login, "Ned", {.everywhere = true}, found, &error));
        EXPECT_EQ(error.toStdString(), c.reason);
        MessageConfirmations confirmations;
        EXPECT_FALSE(
            readSentMessageConfirmations(*office.services(), id, login, confirmations, &error));
        EXPECT_EQ(error.toStdString(), c.reason);
    }
    // Logins that cannot be read say so, with the database's reason: nobody is called unknown.
    office.exec("ALTER TABLE PWMTable RENAME TO PWMGone");
    QString error;
    QList<MessageViewRow> rows;
    EXPECT_FALSE(readMessageView(
        *office.services(),
        {.folder = MessageFolder::Inbox, .loginName = "FRONT", .computerName = {}}, rows, &error));
    EXPECT_TRUE(error.startsWith("The office's logins cannot be read: ")) << error.toStdString();
    office.exec("ALTER TABLE PWMGone RENAME TO PWMTable");
}

TEST_F(MessageViews, RowsCarryTheWindowsColumnsOrAnErrorWhenTheStoreCannotBeRead)
{
    const qint32 id = send("Supplies", nurse, "WS2", "12/06/2026", "Gloves\nare low");
    send("Typed date", nurse, {}, "next week");
    office.exec("update CMTable set cmTim=? where cmID=?", {"1:05 PM", id});
    MessageViewRequest request{.loginName = "NURSE", .computerName = "WS3"};
    QList<MessageViewRow> rows;
    QString error;
    ASSERT_TRUE(readMessageView(*office.services(), request, rows, &error)) << error.toStdString();
    ASSERT_EQ(rows.size(), 2);
    const MessageViewRow& row = rows.at(0);
    EXPECT_EQ(std::tuple(row.messageId, row.addresseeRowId != 0, row.senderId, row.unread),
              std::tuple(id, true, front, true));
    EXPECT_EQ(QDateTime(row.date, row.time), QDateTime(QDate(2026, 12, 6), QTime(13, 5)));
    EXPECT_EQ(QStringList({row.from, row.toCc, row.dateText, row.timeText, row.text, row.comments,
                           row.category}),
              QStringList({"FRONT", "NN, WS2", "12/06/2026", "13:05", "Gloves\nare low",
                           "Gloves are low", "Message"}));
    // A date kept as typed is shown as typed and is no date; it sorts after the dates, as in the
    // window.
    EXPECT_EQ(rows.at(1).dateText, "next week");
    EXPECT_FALSE(rows.at(1).date.isValid());

    request.withToCc = false;
    ASSERT_TRUE(readMessageView(*office.services(), request, rows, &error));
    EXPECT_TRUE(rows.at(0).toCc.isEmpty());

    // A store that cannot be read is an error and no rows.
    office.exec("drop table BroChkTable");
    EXPECT_FALSE(readMessageView(*office.services(), request, rows, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(rows.isEmpty());
}

TEST_F(MessageViews, AReminderTakesTheDayAndStartOfItsAppointmentOrAbsence)
{
    const auto appointment = qint32(office.insert("ApTable", "ApID", {"ApPid", "apDat", "apStaTim"},
                                                  {nurse, "2026-12-10 00:00:00", "09:30:00"}));
    const auto absence =
        qint32(office.insert("AbsTable", "AbsID", {"AbsPid", "AbsDat", "AbsStaTim"},
                             {nurse, "2026-12-11 00:00:00", "2:15 PM"}));
    const auto noTime = qint32(office.insert("ApTable", "ApID", {"ApPid", "apDat", "apStaTim"},
                                             {nurse, "2026-12-12 00:00:00", "after lunch"}));
    const struct {
        const char* name;
        LinkIDTypes type;
        qint32 id;
        const char* moment; // the day at midnight and the start on 30 December 1899; "": none
    } cases[] = {
        {"appointment", ZELOAppointment, appointment, "2026-12-10T00:00:00 1899-12-30T09:30:00"},
        {"absence", QNSAppointment, absence, "2026-12-11T00:00:00 1899-12-30T14:15:00"},
        {"time that is no time", ZELOAppointment, noTime, ""},
        {"missing record", ZELOAppointment, 9999, ""},
        {"a lab order has no moment", LabLinkOrder, appointment, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReminderMoment moment;
        QString error;
        ASSERT_EQ(readReminderMoment(*office.services(), c.type, c.id, moment, &error),
                  *c.moment != 0);
        if (*c.moment)
            EXPECT_EQ(moment.date.toString(Qt::ISODate) + ' ' + moment.time.toString(Qt::ISODate),
                      c.moment);
        else
            EXPECT_FALSE(error.isEmpty()) << "a reason";
    }
}

// A delivery set to start later is the sender's at once, and its recipients' (list and counts,
// the window's and the watcher's) from its start by the services' clock, not before.
TEST_F(MessageViews, ADeliverySetToStartLaterReachesTheInboxAtItsStart)
{
    const struct {
        const char* subject;
        bool broadcast, from;
        const char* date;
        const char* time;
    } messages[] = {
        {"At once", false, false, "", ""},
        {"Started yesterday", true, true, "12/05/2026", "9:00 AM"},
        {"From not ticked", true, false, "12/09/2026", "9:00 AM"},
        {"At 12:09", true, true, "12/06/2026", "12:09 PM"},
        {"Tomorrow", true, true, "12/07/2026", ""},
    };
    for (const auto& m : messages) {
        OutgoingMessage out = composed(front, m.subject, Office::ids({nurse}));
        out.EvBroFla = m.broadcast;
        out.EvBroStaDatFla = m.from;
        out.EvBroStaDat = m.date;
        out.EvBroStaTim = m.time;
        ASSERT_NE(savedId(*office.services(), out), 0);
    }
    const QStringList all = {"At once", "Started yesterday", "From not ticked", "At 12:09",
                             "Tomorrow"};
    const struct {
        QDateTime now;
        QStringList inbox;
    } moments[] = {
        {{QDate(2026, 12, 6), QTime(10, 0)}, {"At once", "Started yesterday", "From not ticked"}},
        {{QDate(2026, 12, 6), QTime(12, 8, 59)},
         {"At once", "Started yesterday", "From not ticked"}},
        {{QDate(2026, 12, 6), QTime(12, 9)},
         {"At once", "Started yesterday", "From not ticked", "At 12:09"}},
        {{QDate(2026, 12, 7), QTime(0, 0)}, all},
    };
    auto services = office.services();
    for (const auto& at : moments) {
        SCOPED_TRACE(at.now.toString(Qt::ISODate).toStdString());
        services->setFixedNow(at.now);

        QStringList listed;
        for (const QString& subject : subjects({.loginName = "NURSE", .computerName = "WS2"}))
            listed << subject.chopped(2); // all unread
        EXPECT_EQ(listed, at.inbox);

        MessageListParams params;
        params.msgCatOnly = false;
        setViewLogin(params, ResolveViewLogin(*services, "NURSE"), "WS2");
        QString error;
        EXPECT_EQ(countUnread(*services, params, &error), at.inbox.size()) << error.toStdString();
        params.startedBy = at.now; // as the watcher reads it
        db::Recordset changes = office.query(buildInboxChangesStatement(
            params, [&](const QString& t) { return services->quote(t); }, -1, {}));
        ASSERT_TRUE(changes.isOpen());
        changes.moveFirst();
        EXPECT_EQ(changes.value("unreadCount").toLongLong(), at.inbox.size());
        // The watcher still reads the later ones, to time their start.
        EXPECT_EQ(changes.recordCount(), all.size());

        EXPECT_EQ(
            subjects(
                {.folder = MessageFolder::SentItems, .loginName = "FRONT", .computerName = {}}),
            all);
    }
}

// The To/CC cells grouped in the database are the cells built row by row, byte for byte: names
// of people no longer in the person table, computers (also once someone confirmed there), blank
// and unusual names, rows written out of order, types that are neither To nor Cc.
TEST_F(MessageViews, ToCcCellsGroupedInTheDatabaseAreTheCellsBuiltRowByRow)
{
    const qint32 zed = office.addPerson("Zed", "Zoe", "ZZ");
    const qint32 eve = office.addPerson("Eclair", "Eve", QString::fromUtf8("ÉÖ"));
    const qint32 li = office.addPerson("Li", "Lan", QString::fromUtf8("李 "));
    const qint32 blank = office.addPerson("Blank", "Bo", "  ");
    const qint32 gone = 9999; // no longer in the person table
    struct Row {
        qint64 id; // 0: the next one
        QVariant pid, type, computer;
    };
    const QVariant null;
    const QString nbsp = QString(QChar(0x00A0)) + QChar(0x3000);
    const struct {
        const char* name;
        QVector<Row> rows;
        QString expected;
    } cases[] = {
        {"persons, then a computer on Cc",
         {{0, front, 0, ""}, {0, nurse, 0, null}, {0, 0, 1, "WS2"}},
         "FF, NN/ WS2"},
        {"someone who left, first", {{0, gone, 0, ""}, {0, zed, 0, ""}}, ", ZZ"},
        {"a computer someone confirmed at", {{0, nurse, 0, "WS3"}, {0, zed, 1, ""}}, "WS3/ ZZ"},
        {"blank computer names name the person",
         {{0, zed, 0, " \t"}, {0, eve, 0, nbsp}, {0, li, 1, "\r\n"}},
         QString::fromUtf8("ZZ, ÉÖ/ 李 ")},
        {"a computer row without a name", {{0, 0, 0, null}, {0, null, 0, "WS4"}}, ", WS4"},
        {"neither To nor Cc is left out",
         {{0, zed, null, ""}, {0, front, 2, ""}, {0, nurse, 0, ""}, {0, eve, 3, "WS9"}},
         "NN"},
        {"a Cc of someone who left alone", {{0, zed, 0, ""}, {0, gone, 1, ""}}, "ZZ"},
        {"a Cc of two who left", {{0, gone, 1, ""}, {0, gone + 1, 1, ""}}, "/ , "},
        {"a Cc of blanks only", {{0, front, 0, ""}, {0, blank, 1, ""}}, "FF"},
        {"a Cc of blanks and a name", {{0, blank, 1, ""}, {0, zed, 1, ""}}, "/   , ZZ"},
        {"names with the separators in them",
         {{0, 0, 0, "A, B"}, {0, 0, 1, "C/ D"}, {0, 0, 1, "'E'"}},
         "A, B/ C/ D, 'E'"},
        {"rows written out of order go by their ids",
         {{900500, zed, 0, ""},
          {900300, front, 0, ""},
          {900400, 0, 1, "WS2"},
          {900200, nurse, 1, ""}},
         "FF, ZZ/ NN, WS2"},
        {"the same person twice", {{0, zed, 0, ""}, {0, zed, 0, ""}}, "ZZ, ZZ"},
        {"no recipient rows", {}, ""},
    };
    QList<qint32> ids;
    QHash<qint32, QString> expected;
    for (const auto& c : cases) {
        const qint32 id = send(QString::fromUtf8(c.name), 0, "WS1");
        office.exec("delete from BroChkTable where BroChkLinID=?", {id});
        for (const Row& r : c.rows) {
            QStringList names{"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac"};
            QVariantList values{id, r.pid, r.type, r.computer};
            if (r.id) {
                names << "BroChkID";
                values << r.id;
            }
            office.insert("BroChkTable", "BroChkID", names, values);
        }
        ids << id;
        expected.insert(id, c.expected);
    }
    // Another message's rows between them: each message keeps only its own.
    const qint32 other = send("Between", zed);
    ids << other << other;
    expected.insert(other, "ZZ");

    QHash<qint32, QString> grouped;
    QString error;
    ASSERT_TRUE(readToCcCellsOf(*office.services(), ids, grouped, &error)) << error.toStdString();
    const QHash<qint32, QVector<RecipientRow>> rowByRow =
        readRecipientRowsOf(*office.services(), ids);
    EXPECT_EQ(grouped.size(), expected.size());
    for (qsizetype i = 0; i + 2 < ids.size(); ++i) {
        const qint32 id = ids.at(i);
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(toCcCellText(rowByRow.value(id)), expected.value(id)); // the cell as it was
        EXPECT_EQ(grouped.value(id), expected.value(id));
    }
    EXPECT_EQ(grouped.value(other), "ZZ");

    // The library's whole list carries the same cells.
    MessageViewRequest request;
    request.folder = MessageFolder::SentItems;
    QList<MessageViewRow> rows;
    ASSERT_TRUE(readMessageView(*office.services(), request, rows, &error)) << error.toStdString();
    ASSERT_EQ(rows.size(), expected.size());
    for (const MessageViewRow& row : rows)
        EXPECT_EQ(row.toCc, expected.value(row.messageId)) << row.subject.toStdString();
}

// The list's sort order and its comments cell, as the window keeps and shows them.
TEST(SortOrder, StoredWithCmidAndKeptWhenEmpty)
{
    EXPECT_EQ(nextSortOrder("", ""), "CMDat, CMTim, CMID");
    EXPECT_EQ(nextSortOrder("", "CmSubjec"), "CmSubjec, CMID");
    EXPECT_EQ(nextSortOrder("CmSubjec, CMID", ""), "CmSubjec, CMID");
    EXPECT_EQ(nextSortOrder("x", "cmWho, cmid"), "cmWho, cmid");
    EXPECT_EQ(nextSortOrder("x", "CmSubjec DESC"), "CmSubjec DESC, CMID");
}

TEST(CommentsCell, CutTrimmedAndLineBreaksAsBlanks)
{
    EXPECT_EQ(commentsCellText(QVariant()), "");
    EXPECT_EQ(commentsCellText(QString("  Call back\r\nat noon\nplease  ")),
              "Call back at noon please");
    const QString longBody = QString(499, 'a') + "bc";
    EXPECT_EQ(commentsCellText(longBody), QString(499, 'a') + "b");
    // The cut comes before the trim: 500 characters of which the last are blanks.
    EXPECT_EQ(commentsCellText(QString(498, 'x') + "   tail"), QString(498, 'x'));
}

// The one statement a workstation's watcher runs on a change, on a real store.
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

// Who has confirmed a sent message, on a real store: the grouped counts, the panel's rows, who may
// read them, and who a reminder to confirm goes to.
constexpr auto ids = &Office::ids;

class Confirmations : public ::testing::Test {
protected:
    void SetUp() override { std::tie(front, nurse, doctor, billing) = office.addClinicStaff(); }

    // A message sent by `services` (FRONT's workstation unless another is given).
    qint32 send(const QString& subject, const QString& to, const QString& cc = {},
                const QString& toComputers = {}, const QString& ccComputers = {},
                bool needConfirm = true, HostServices* services = nullptr)
    {
        OutgoingMessage m = composed(front, subject, to, cc);
        m.CMNeeCom = needConfirm;
        m.computers = {toComputers, ccComputers};
        return savedId(services ? *services : gic(), m);
    }
    // The addressee row of a person, or of a computer when person is 0.
    qint32 rowOf(qint32 cmId, qint32 person, const QString& computer = {})
    {
        return office
            .scalar(
                person ? "select BroChkID from BroChkTable where BroChkLinID=? and BroChkPID=? and "
                         "(BroChkToMac is null or BroChkToMac='')"
                       : "select BroChkID from BroChkTable where BroChkLinID=? and BroChkToMac=?",
                {cmId, person ? QVariant(person) : QVariant(computer)})
            .toInt();
    }
    // Confirms as the confirm panel's OK does, at the given moment, by the given employee.
    void confirm(qint32 row, qint32 employee, const QDateTime& at)
    {
        office.services()->setFixedNow(at);
        const Confirmation done = confirmAddressee(gic(), row, employee);
        ASSERT_TRUE(done.written) << done.error.toStdString();
    }
    MessageListParams sentItemsOf(const QString& login, qint32 employee)
    {
        MessageListParams p;
        p.inboxView = false;
        p.currentEmployeeId = employee;
        p.loginNames = {QString(), "FRONT", "NURSE", "DOCTOR", "BILLING", "SUPERVISOR"};
        p.loginEmployeeIds = {0, front, nurse, doctor, billing, 0};
        p.computerName = "WS1";
        p.currentLoginName = login;
        return p;
    }
    HostServices& gic() { return *office.services(); }

    Office office;
    qint32 front = 0, nurse = 0, doctor = 0, billing = 0;
    const QDateTime monday{QDate(2026, 12, 7), QTime(8, 15)};
};

TEST_F(Confirmations, CountsEveryMessageOfAScreenInOneStatementOrSaysWhyNot)
{
    const qint32 none = send("To nobody", {});
    const qint32 mixed = send("Mixed", ids({nurse, doctor}), ids({billing}), "WS2\n", "WS3\n");
    const qint32 done = send("Done", ids({nurse}), {}, {}, {}, true);
    const qint32 plain = send("No confirmation asked", ids({nurse, doctor}), {}, {}, {}, false);
    confirm(rowOf(mixed, doctor), doctor, monday);
    confirm(rowOf(mixed, billing), billing, monday);
    confirm(rowOf(mixed, 0, "WS2"), nurse, monday);
    confirm(rowOf(done, nurse), nurse, monday);
    confirm(rowOf(plain, nurse), nurse, monday);
    // A row in neither list is no addressee, confirmed or not.
    office.exec("insert into BroChkTable (BroChkLinID, BroChkPID, BroChkTyp, BroChkDonDis) values "
                "(?, ?, 2, -1)",
                {mixed, front});
    office.exec("insert into BroChkTable (BroChkLinID, BroChkPID, BroChkTyp) values (?, ?, 2)",
                {done, front});

    QHash<qint32, ConfirmationCount> counts;
    QString error;
    ASSERT_TRUE(
        readConfirmationCounts(gic(), {none, mixed, done, plain, mixed, 999999}, counts, &error))
        << error.toStdString();
    const struct {
        const char* name;
        qint32 id;
        int confirmed, addressees;
        bool awaited;
        const char* text;
    } cases[] = {
        {"to nobody", none, 0, 0, false, "0 of 0 confirmed"},
        {"persons and computers in To and Cc", mixed, 3, 5, true, "3 of 5 confirmed"},
        {"everyone confirmed", done, 1, 1, false, "1 of 1 confirmed"},
        {"no confirmation asked", plain, 1, 2, false, "1 of 2 confirmed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(counts.contains(c.id));
        const ConfirmationCount& n = counts[c.id];
        EXPECT_EQ(std::tuple(n.confirmed, n.addressees, n.awaited(), confirmationCountText(n)),
                  std::tuple(c.confirmed, c.addressees, c.awaited, QString::fromLatin1(c.text)));
    }
    EXPECT_FALSE(counts.contains(999999)) << "an id that is no message";
    EXPECT_EQ(counts.size(), 4);

    // The same figures come from the panel's own reading.
    const auto panel = readConfirmations(gic(), mixed);
    ASSERT_TRUE(panel);
    EXPECT_EQ(std::pair(panel->count.confirmed, panel->count.addressees), std::pair(3, 5));

    // A store that cannot be read is reported, not counted as nobody.
    office.exec("drop table BroChkTable");
    counts.clear();
    EXPECT_FALSE(readConfirmationCounts(gic(), {mixed}, counts, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(counts.isEmpty());
    error.clear();
    EXPECT_FALSE(readConfirmations(gic(), mixed, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(Confirmations, PanelListsPendingFirstThenToBeforeCcAndWhoConfirmedAtAComputer)
{
    const qint32 cmId =
        send("Autoclave", ids({nurse, doctor}), ids({billing}), "WS2\nWS3\n", "WS4\n");
    confirm(rowOf(cmId, doctor), doctor, monday);
    confirm(rowOf(cmId, 0, "WS3"), billing, monday.addSecs(600));
    confirm(rowOf(cmId, billing), billing, monday.addSecs(1200));

    const auto panel = readConfirmations(gic(), cmId);
    ASSERT_TRUE(panel);
    EXPECT_EQ(QStringList({panel->subject, panel->from, panel->text}),
              QStringList({"Autoclave", "FRONT", "Text of Autoclave"}));
    EXPECT_TRUE(panel->count.needsConfirmation);
    // Name, Cc, computer, person, who confirmed at a computer, and when (blank: pending).
    const auto at = [&](int secs) { return monday.addSecs(secs).toString(Qt::ISODate); };
    const QStringList expected{QString("Ned Nurse|0|0|%1||").arg(nurse),
                               "WS2|0|1|0||",
                               "WS4|1|1|0||",
                               QString("Dora Doctor|0|0|%1||%2").arg(doctor).arg(at(0)),
                               QString("WS3|0|1|%1|Bo Billing|%2").arg(billing).arg(at(600)),
                               QString("Bo Billing|1|0|%1||%2").arg(billing).arg(at(1200))};
    QStringList listed;
    for (const AddresseeConfirmation& a : panel->addressees) {
        EXPECT_NE(a.addresseeRowId, 0);
        EXPECT_EQ(a.confirmed, a.confirmedAt.isValid()) << a.name.toStdString();
        listed << QString("%1|%2|%3|%4|").arg(a.name).arg(a.cc).arg(a.computer).arg(a.personId) +
                      a.confirmedBy + '|' + a.confirmedAt.toString(Qt::ISODate);
    }
    EXPECT_EQ(listed, expected);
    // The computer's row holds who confirmed there, and still names the computer addressed.
    EXPECT_EQ(toCcCellText(readRecipientRowsOf(gic(), {cmId}).value(cmId)),
              "NN, DD, WS2, WS3/ BB, WS4");
}

// The sent items' own rules decide whose panel a login reads: its current and purged messages,
// nobody else's, no event, no hidden row.
TEST_F(Confirmations, OnlyTheSentItemsOfTheLoginOpenTheirPanel)
{
    const qint32 own = send("Own", ids({nurse}));
    const qint32 purged = send("Purged", ids({nurse}));
    office.exec("update CMTable set CMPurFla=257 where cmID=?", {purged});
    auto nurseDesk = office.workstation("WS2", "NURSE");
    const qint32 nurses = send("Nurse's", ids({front}), {}, {}, {}, true, nurseDesk.get());
    const qint32 hidden = send("Hidden", ids({nurse}));
    office.exec("update CMTable set cmTyp=-1 where cmID=?", {hidden});
    const qint32 event = send("Event", ids({nurse}));
    office.exec("update EVTable set EvTyp=1 where EvLinID=?", {event});

    const QString notSent = "Message %1 is not among the sent items of %2.";
    const struct {
        const char* name;
        QString login;
        qint32 employee, message;
        QString error; // empty: the panel is read
    } cases[] = {
        {"own message", "FRONT", front, own, {}},
        {"own purged message, in the history", "FRONT", front, purged, {}},
        {"another login's message", "FRONT", front, nurses, notSent.arg(nurses).arg("FRONT")},
        {"the other login reads its own", "NURSE", nurse, nurses, {}},
        {"a hidden row", "FRONT", front, hidden, notSent.arg(hidden).arg("FRONT")},
        {"an event", "FRONT", front, event, notSent.arg(event).arg("FRONT")},
        {"no such message", "FRONT", front, 987654, "There is no message with id 987654."},
        {"a login without an employee sees what every login sent", "SUPERVISOR", 0, nurses, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto read =
            readSentConfirmations(gic(), sentItemsOf(c.login, c.employee), c.message, &error);
        EXPECT_EQ(read ? read->messageId : 0, c.error.isEmpty() ? c.message : 0);
        EXPECT_EQ(error, c.error);
    }

    // The public call finds the login's employee and the login list itself.
    QString error;
    MessageConfirmations read;
    EXPECT_TRUE(readSentMessageConfirmations(gic(), own, {}, read, &error)) << error.toStdString();
    EXPECT_EQ(read.messageId, own);
    EXPECT_TRUE(readSentMessageConfirmations(gic(), nurses, "nurse", read, &error))
        << error.toStdString();
    EXPECT_FALSE(readSentMessageConfirmations(gic(), nurses, {}, read, &error));
    EXPECT_EQ(error, notSent.arg(nurses).arg("FRONT"));
    EXPECT_EQ(read.messageId, 0) << "nothing is left of an earlier reading";
    EXPECT_TRUE(readSentMessageConfirmations(gic(), nurses, "supervisor", read, &error))
        << error.toStdString();
}

TEST_F(Confirmations, AReminderGoesToExactlyThoseWhoHaveNotConfirmed)
{
    // A person's row, or a computer's with the person who confirmed there.
    auto person = [](qint32 id, bool cc, bool confirmed, const QString& computer = {}) {
        AddresseeConfirmation a;
        a.computer = !computer.isEmpty();
        a.name = computer;
        a.personId = id;
        a.cc = cc;
        a.confirmed = confirmed;
        return a;
    };
    auto computer = [&](const QString& name, bool cc, qint32 confirmedBy) {
        return person(confirmedBy, cc, confirmedBy != 0, name);
    };
    const struct {
        const char* name;
        QList<AddresseeConfirmation> rows;
        QString lists; // the persons' To and Cc, then the computers' To and Cc
    } cases[] = {
        {"To kept in To, Cc in Cc",
         {person(11, false, false), person(12, false, true), person(13, true, false),
          computer("WS2", false, 0), computer("WS3", true, 0), computer("WS4", false, 12)},
         "11,|13,|WS2\n|WS3\n"},
        {"only Cc left: they move to To",
         {person(11, false, true), person(13, true, false), computer("WS3", true, 0)},
         "13,||WS3\n|"},
        {"each once, whatever the list",
         {person(11, false, false), person(11, true, false), computer("ws2", false, 0),
          computer("WS2", true, 0)},
         "11,||ws2\n|"},
        {"everyone confirmed", {person(11, false, true), computer("WS2", false, 11)}, "|||"},
        {"a row naming nobody cannot be reminded",
         {person(0, false, false), person(13, true, false)},
         "13,|||"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MessageConfirmations m;
        m.addressees = c.rows;
        const AddresseeLists lists = pendingAddressees(m);
        EXPECT_EQ(lists.personIds[0] + '|' + lists.personIds[1] + '|' + lists.computers[0] + '|' +
                      lists.computers[1],
                  c.lists);
    }
}

TEST_F(Confirmations, AMessageGoesToTheToDoListOfWhoItIsSavedToOrItsAddresseeOrItsSender)
{
    const qint32 cmId = send("To do", ids({nurse, doctor, billing}));
    const qint32 savedToFront = rowOf(cmId, nurse), savedToSelf = rowOf(cmId, doctor),
                 notSaved = rowOf(cmId, billing);
    for (const auto& [row, saved, to] :
         {std::tuple{savedToFront, 1, front}, std::tuple{savedToSelf, 1, doctor},
          std::tuple{notSaved, 0, front}})
        office.exec("update BroChkTable set BroChkSavToFla=?, BroChkAssPID=? where BroChkID=?",
                    {saved, to, row});
    const struct {
        const char* name;
        qint32 row;
        bool received;
        qint32 self, person;
    } cases[] = {
        {"saved to another person", savedToFront, true, nurse, front},
        {"saved to the reader: the addressee", savedToSelf, true, doctor, doctor},
        {"not saved to anyone: the addressee", notSaved, true, billing, billing},
        {"a sent message: its sender", notSaved, false, front, front},
        {"a row that is gone", 999999, true, nurse, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(todoListPerson(gic(), c.row, c.received, c.self), c.person) << c.name;
}

} // namespace
} // namespace tzsndmsg::core
