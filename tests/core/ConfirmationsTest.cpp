// Who has confirmed a sent message, on a real store: the grouped counts, the panel's rows, who may
// read them, and who a reminder to confirm goes to.
#include "core/Confirmations.h"

#include "Composed.h"
#include "support/Office.h"

namespace tzsndmsg::core {
namespace {

using testing::Office;

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
