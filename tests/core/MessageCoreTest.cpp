// The message core on a real store: a message written and read back, confirmed, listed in the
// views' rows and purged, without a window.
#include "Composed.h"
#include "core/MessageListQuery.h"
#include "core/MessagePurge.h"
#include "core/MessageWrite.h"
#include "core/Moments.h"
#include "core/StationSignal.h"
#include "support/Files.h"
#include "support/Office.h"
#include "support/TestPrinters.h"
#include "tzsndmsg/tzGlobal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace tzsndmsg::core {
namespace {

using namespace testing;
using namespace Qt::StringLiterals;

constexpr auto ids = &Office::ids;

class MessageCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::tie(front, nurse, doctor, std::ignore) = office.addClinicStaff();
        office.removeSignalFiles();
    }

    // A message from the front desk, both panes changed.
    OutgoingMessage message(const QString& subject, const QString& to = {}, const QString& cc = {})
    {
        return composed(front, subject, to, cc);
    }
    qint32 save(const OutgoingMessage& m, HostServices* services = nullptr)
    {
        return savedId(services ? *services : gic(), m);
    }
    HostServices& gic() { return *office.services(); }

    Office office;
    qint32 front = 0, nurse = 0, doctor = 0;
};

TEST_F(MessageCore, ASavedMessageReadsBackByIdByAddresseeAndUnderTheVisibilityRule)
{
    OutgoingMessage m = message("  Staff meeting  ", ids({nurse, doctor}), ids({doctor, front}));
    m.computers[1] = "WS2\n";
    m.CMNeeCom = true;
    m.reminder = linkedReminderColumns(QDate(2026, 12, 10), QTime(10, 0), 75);
    m.EvBroFla = m.EvBroStaDatFla = true;
    m.EvBroStaDat = "12/24/2026";
    m.EvBroStaTim = "7:30 am";
    m.EvBroReaFla = true;
    m.EvBroReaEve = 2;
    m.EvBroReaTyp = ruWeeks;
    m.EvBroNumOfTim = 3;
    m.EvBroEndDatFla = true;
    m.EvBroEndDat = "03/31/2027";
    const qint32 cmId = save(m);
    ASSERT_NE(cmId, 0);
    EXPECT_EQ(office.signalsWritten(), (QStringList{"CMCM", "CMEV", "CMBC"}));

    QString error;
    const auto read = readMessage(gic(), cmId, &error);
    ASSERT_TRUE(read) << error.toStdString();
    const MessageHeader& h = read->header;
    EXPECT_EQ(std::tuple(h.cmID, h.cmTyp, h.cmPid), std::tuple(cmId, 256, front));
    EXPECT_EQ(h.cmWho + "|" + h.CMSubjec + "|" + h.cmDat + " " + h.cmTim,
              "FRONT|Staff meeting|12/06/2026 10:00:00 AM");
    EXPECT_TRUE(h.CMNeeCom && !h.cmConRec && h.isLive() && !h.isPurged());
    const MessageDetail& d = read->detail;
    ASSERT_TRUE(d.exists);
    EXPECT_EQ(d.EvBroStaDat + " " + d.EvBroStaTim + " to " + d.EvBroEndDat,
              "12/24/2026 7:30:00 AM to 03/31/2027");
    EXPECT_EQ(std::tuple(d.EvBroReaTyp, d.EvBroReaEve, d.EvBroNumOfTim), std::tuple(ruWeeks, 2, 3));

    // The doctor, in both lists, is written once, in To.
    QStringList rows;
    for (const Addressee& a : read->addressees)
        rows << QString("%1/%2/%3").arg(a.BroChkTyp).arg(a.BroChkPID).arg(a.BroChkToMac);
    QStringList expected{QString("0/%1/").arg(doctor), QString("0/%1/").arg(nurse),
                         QString("1/0/WS2"), QString("1/%1/").arg(front)};
    rows.sort();
    expected.sort();
    EXPECT_EQ(rows, expected);
    for (const Addressee& a : read->addressees)
        EXPECT_FALSE(a.BroChkDonDis.has_value());

    // What the stored texts mean in time: every 2 weeks from the start.
    EXPECT_EQ(reminderMoment(d).at, QDateTime(QDate(2026, 12, 10), QTime(8, 45)));
    const auto plan = deliveryPlan(*read);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->first, QDateTime(QDate(2026, 12, 24), QTime(7, 30)));
    EXPECT_EQ(nextDeliveryAfter(*plan, plan->first), QDateTime(QDate(2027, 1, 7), QTime(7, 30)));

    // Through an addressee row, and under the visibility rule.
    const auto viaRow = readMessageOfAddressee(gic(), read->addressees.first().BroChkID);
    ASSERT_TRUE(viaRow);
    EXPECT_EQ(viaRow->header.cmID, cmId);
    EXPECT_TRUE(readLiveMessage(gic(), cmId));
    office.exec("update CMTable set cmTyp=-1 where cmID=?", {cmId});
    EXPECT_TRUE(readMessage(gic(), cmId));
    EXPECT_FALSE(readLiveMessage(gic(), cmId));
    EXPECT_FALSE(readMessage(gic(), cmId + 1000));
}

TEST_F(MessageCore, TheHeaderMarkDecidesWhetherAnythingIsWritten)
{
    struct Case {
        bool header, recipients;
        int headers, details, rows;
        QStringList signalTags;
    } cases[] = {
        {false, true, 0, 0, 0, {}},
        // A message to nobody still gets its detail row, or no view could list it.
        {true, false, 1, 1, 0, {"CMCM", "CMEV"}},
        {true, true, 1, 1, 2, {"CMCM", "CMEV", "CMBC"}},
    };
    int headers = 0, details = 0, rows = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(
            QString("header %1 recipients %2").arg(c.header).arg(c.recipients).toStdString());
        office.removeSignalFiles();
        OutgoingMessage m = message("Marks", c.recipients ? ids({nurse}) : QString(), QString());
        if (c.recipients)
            m.computers[0] = "WS2\n";
        m.headerChanged = c.header;
        const SaveResult saved = saveMessage(gic(), m);
        EXPECT_TRUE(saved.ok);
        EXPECT_EQ(saved.cmId != 0, c.header);
        headers += c.headers;
        details += c.details;
        rows += c.rows;
        EXPECT_EQ(office.count("CMTable"), headers);
        EXPECT_EQ(office.count("EVTable"), details);
        EXPECT_EQ(office.count("BroChkTable"), rows);
        EXPECT_EQ(office.signalsWritten(), c.signalTags);
    }
}

TEST_F(MessageCore, AFailingWriteLeavesNothingSignalsNothingAndAnnouncesNothing)
{
    OutgoingMessage m = message("Lab result", ids({nurse}));
    m.link = messageLink(false, 4, 77);
    m.labOrderId = 77;
    office.exec("DROP TABLE BroChkTable");
    const SaveResult saved = saveMessage(gic(), m);
    EXPECT_EQ(std::tuple(saved.ok, saved.error.isEmpty(), saved.cmId, saved.labOrderAccepted),
              std::tuple(false, false, 0, false));
    for (const char* table : {"CMTable", "EVTable", "LabOrderLinkTable"})
        EXPECT_EQ(office.count(table), 0) << table;
    EXPECT_TRUE(office.signalsWritten().isEmpty());
}

// Signal files are the data folder's, written by whoever may write it: a link put in place of one
// is not followed, and the save stands with one warning.
TEST_F(MessageCore, ASaveStandsWhenASignalFileIsALinkAndTheLinkedFileIsLeftAlone)
{
    const QString victim = office.tempPath() + "/not-a-signal";
    const QByteArray precious("a file the sender may write but that is not a signal file");
    ASSERT_TRUE(testing::writeFile(victim, precious));
    ASSERT_TRUE(QFile::link(victim, office.signalFile("CMCM")));
    testing::Warnings warnings;
    const SaveResult saved = saveMessage(gic(), message("Linked", ids({nurse})));
    EXPECT_TRUE(saved.ok) << saved.error.toStdString();
    EXPECT_EQ(office.count("CMTable"), 1);
    EXPECT_EQ(office.count("BroChkTable"), 1);
    const QString told = warnings.told().join('\n');
    EXPECT_EQ(warnings.told().size(), 1) << told.toStdString();
    EXPECT_TRUE(told.contains("CMCM.STA is a link")) << told.toStdString();
    EXPECT_EQ(testing::readAll(victim), precious);
    EXPECT_TRUE(QFileInfo(office.signalFile("CMCM")).isSymLink());
    EXPECT_EQ(office.signalsWritten(), (QStringList{"CMCM", "CMEV", "CMBC"}));
}

TEST_F(MessageCore, ASaveOnAFullDiskStandsNamesTheCauseAndLeavesNoEmptySignalFile)
{
    testing::SmallDisk disk(office.dataFolder() + "TEMP");
    if (!disk.mounted)
        GTEST_SKIP() << "a small file system cannot be mounted here: " << disk.why;
    // CMEV.STA there but empty, CMBC.STA with an older record and more; CMCM.STA missing.
    const QByteArray older = QByteArray(40, 'x') + "and what follows";
    ASSERT_TRUE(testing::writeFile(office.signalFile("CMEV"), {}));
    ASSERT_TRUE(testing::writeFile(office.signalFile("CMBC"), older));
    ASSERT_TRUE(disk.fill());
    testing::Warnings warnings;
    QElapsedTimer clock;
    clock.start();
    const SaveResult saved = saveMessage(gic(), message("Full disk", ids({nurse})));
    EXPECT_LT(clock.elapsed(), 1500) << "a full disk is not waited out";
    EXPECT_TRUE(saved.ok) << saved.error.toStdString();
    EXPECT_EQ(office.count("CMTable"), 1);
    const QString told = warnings.told().join('\n');
    EXPECT_EQ(warnings.told().size(), 1) << told.toStdString();
    EXPECT_TRUE(told.contains("the disk is full")) << told.toStdString();
    EXPECT_FALSE(told.contains("held by another program"));
    EXPECT_FALSE(QFile::exists(office.signalFile("CMCM"))) << "no empty signal file is left behind";
    EXPECT_TRUE(QFile::exists(office.signalFile("CMEV"))) << "a file that was there stays";
    EXPECT_EQ(QFileInfo(office.signalFile("CMEV")).size(), 0);
    EXPECT_EQ(testing::readAll(office.signalFile("CMBC")),
              stationSignalRecord(gic()) + "and what follows")
        << "a file with room for the record is written as ever";
}

TEST_F(MessageCore, ConfirmingMarksTheRowAndSignalsIt)
{
    OutgoingMessage m = message("Lunch", ids({nurse}));
    m.computers[0] = "WS2\n";
    const qint32 cmId = save(m);
    const auto read = readMessage(gic(), cmId);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->addressees.size(), 2);
    office.removeSignalFiles();

    for (const Addressee& row : read->addressees) {
        SCOPED_TRACE(row.BroChkToMac.toStdString());
        const Confirmation done = confirmAddressee(gic(), row.BroChkID, doctor);
        ASSERT_TRUE(done.row);
        EXPECT_TRUE(done.written) << done.error.toStdString();
        EXPECT_FALSE(done.row->isRead()); // as it was
        const auto now = readAddressee(gic(), row.BroChkID);
        ASSERT_TRUE(now);
        EXPECT_TRUE(now->isRead());
        EXPECT_EQ(now->BroChkLasReaDatTim, QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        // A computer's row names who confirmed it; a person's stays that person's.
        EXPECT_EQ(now->BroChkPID, row.BroChkPID == 0 ? doctor : nurse);
    }
    EXPECT_EQ(office.signalsWritten(), QStringList{"CMBC"});

    office.removeSignalFiles();
    const Confirmation missing = confirmAddressee(gic(), 999999, doctor);
    EXPECT_EQ(std::pair(missing.row.has_value(), missing.written), std::pair(false, false));
    EXPECT_TRUE(office.signalsWritten().isEmpty());

    ASSERT_TRUE(markPayrollRelated(gic(), cmId));
    const auto header = readHeader(gic(), cmId);
    EXPECT_TRUE(header && header->cmDocAftDis && header->CMShoOnRep);
}

// Saved over itself, a reminder keeps the rows of the addressees that remain (ids, read marks),
// adds new ones, removes dropped ones; rows are "who list kept|new [read]".
TEST_F(MessageCore, SavedOverItselfTheAddresseesThatRemainKeepTheirRows)
{
    // Persons by login, computers as WS..., each list blank-separated.
    const struct {
        const char *to, *cc, *read, *to2, *cc2;
        QString after;
    } cases[] = {
        {"nurse WS2", "doctor", "nurse", "nurse WS2", "doctor",
         "WS2 0 kept|doctor 1 kept|nurse 0 kept read"},
        {"nurse doctor", "", "doctor", "nurse", "front", "front 1 new|nurse 0 kept"},
        {"nurse", "doctor", "doctor", "doctor nurse", "", "doctor 0 kept read|nurse 0 kept"},
        // Confirmed by the doctor, the computer's row holds her id: it is still the computer's.
        {"WS2", "", "WS2", "WS2 doctor", "", "WS2 0 kept read|doctor 0 new"},
        {"nurse", "WS2", "nurse", "", "", ""},
    };
    const QMap<QString, qint32> people{{"front", front}, {"nurse", nurse}, {"doctor", doctor}};
    auto address = [&](OutgoingMessage& m, const char* to, const char* cc) {
        m.personIds = {};
        m.computers = {};
        for (size_t list : {0, 1})
            for (const QString& who : QString(list == 0 ? to : cc).split(' ', Qt::SkipEmptyParts))
                (who.startsWith("WS") ? m.computers[list] : m.personIds[list]) +=
                    who.startsWith("WS") ? who + "\n" : QString::number(people.value(who)) + ",";
    };
    auto rows = [&](qint32 cmId) {
        QMap<QString, Addressee> byWho;
        const auto stored = readMessage(gic(), cmId);
        for (const Addressee& a : stored->addressees)
            byWho.insert(a.BroChkToMac.isEmpty() ? people.key(a.BroChkPID) : a.BroChkToMac, a);
        return byWho;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after.toStdString());
        office.services()->setFixedNow(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        OutgoingMessage m = message("Reminder");
        m.link = messageLink(true, 2, 40);
        m.EvBroEndDat = "03/31/2027";
        address(m, c.to, c.cc);
        const qint32 cmId = save(m);
        const auto before = rows(cmId);
        for (const QString& who : QString(c.read).split(' ', Qt::SkipEmptyParts))
            ASSERT_TRUE(confirmAddressee(gic(), before.value(who).BroChkID, doctor).written);

        office.services()->setFixedNow(QDateTime(QDate(2026, 12, 7), QTime(11, 20)));
        m.replaceId = cmId;
        m.cmDoc = "Bring the X-rays";
        m.EvBroEndDat.clear();
        address(m, c.to2, c.cc2);
        ASSERT_EQ(save(m), cmId);
        QStringList after;
        const auto now = rows(cmId);
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            after << it.key() + " " + QString::number(it->BroChkTyp) +
                         (before.value(it.key()).BroChkID == it->BroChkID ? " kept" : " new") +
                         (it->isRead() ? " read" : "");
        EXPECT_EQ(after.join("|"), c.after);
        const MessageHeader header = readMessage(gic(), cmId)->header;
        EXPECT_EQ(header.cmDat + " " + header.cmTim + " " + header.cmDoc,
                  "12/06/2026 10:00:00 AM Bring the X-rays");
        EXPECT_EQ(office.scalar("select cmModDat from CMTable where cmID=?", {cmId}).toString(),
                  "12/07/2026");
        // A date no longer given is gone, as from a message written new.
        EXPECT_TRUE(
            office.scalar("select EvBroEndDat from EVTable where EvLinID=?", {cmId}).isNull());
    }
}

// A whole office's rows go in together: each addressee once, in the order addressed (To before
// Cc, persons before computers), with the save-to choice, as one row at a time wrote them.
TEST_F(MessageCore, AWholeOfficeIsWrittenInTheOrderAddressed)
{
    QList<qint32> staff;
    for (int i = 1; i <= 70; ++i)
        staff << office.addPerson(QString("Last%1").arg(i), "First", QString("I%1").arg(i));
    OutgoingMessage m = message("Fire drill");
    for (int i = 0; i < 50; ++i)
        m.personIds[0] += QString::number(staff.at(i)) + ",";
    for (int i = 44; i < 70; ++i) // the first six are in To already
        m.personIds[1] += QString::number(staff.at(i)) + ",";
    m.computers = {"WS7\nWS3\n", "WS3\nWS9\n"};
    m.saveToPerson = front;
    m.saveToChoice = 1;
    const qint32 cmId = save(m);

    QStringList expected;
    const QString tail = QString("|%1|1|<null>").arg(front);
    for (int i = 0; i < 50; ++i)
        expected << QString("%1|0|").arg(staff.at(i)) + tail;
    expected << "0|0|WS7" + tail << "0|0|WS3" + tail;
    for (int i = 50; i < 70; ++i)
        expected << QString("%1|1|").arg(staff.at(i)) + tail;
    expected << "0|1|WS9" + tail;
    const QStringList written = office.rows("select BroChkPID, BroChkTyp, BroChkToMac, "
                                            "BroChkAssPID, BroChkSavToFla, BroChkDonDis from "
                                            "BroChkTable where BroChkLinID=? order by BroChkID",
                                            {cmId});
    EXPECT_EQ(written, expected);
    EXPECT_EQ(office.signalsWritten(), (QStringList{"CMCM", "CMEV", "CMBC"}));
}

// The nurse's inbox at WS1 and the front desk's sent items.
TEST_F(MessageCore, ViewRowsAndTheUnreadCountAgree)
{
    auto fromDoctor = office.workstation("WS3", "DOCTOR");
    // To the nurse and, in Cc, her workstation: listed once for each.
    OutgoingMessage twice = message("Twice", ids({nurse}));
    twice.computers[1] = "WS1\n";
    save(twice);
    const qint32 readId = save(message("Read", ids({nurse})), fromDoctor.get());
    OutgoingMessage task = message("Task", ids({nurse}));
    task.cmCat = "Task";
    save(task);
    const qint32 purgedId = save(message("Purged", ids({nurse})));
    office.exec("update CMTable set CMPurFla=256 where cmID=?", {purgedId});
    save(message("Not hers", ids({doctor})));
    const auto readRow = readMessage(gic(), readId);
    ASSERT_TRUE(readRow);
    ASSERT_TRUE(confirmAddressee(gic(), readRow->addressees.first().BroChkID, nurse).written);

    // A computer whose name holds a quote, and a sender's login that holds one.
    OutgoingMessage toQuoted = message("Quoted", QString());
    toQuoted.computers[0] = "O'BRIEN-PC\n";
    office.exec("update CMTable set cmWho=? where cmID=?", {"D'ARCY", save(toQuoted)});
    MessageListParams all;
    all.loginNames = QStringList{QString(), "FRONT", "NURSE", "DOCTOR", "SUPERVISOR", "D'ARCY"};
    all.loginEmployeeIds = {0, front, nurse, doctor, 0, 0};

    // Subject, unread mark and the "To/ CC" cell of each row, in the list's order. Person 0 is
    // only the supervisor's, who sees every login's messages; a login the office does not know,
    // a blank one, or one with a person sees nothing rather than everything. A person without a
    // login sees the inbox at her computer. A computer's name is asked for through the quoting.
    const QString inboxRows = "Twice * NN/ WS1|Twice * NN/ WS1|Read   NN";
    const QString sent = "Twice   NN/ WS1|Task   NN|Not hers   DD";
    const struct Case {
        const char *name, *login;
        qint32 person;
        const char* computer;
        bool inboxView, msgCatOnly, history;
        QString rows;
        qint64 unread;
    } cases[] = {
        {"inbox, messages only", "", nurse, "ws1", true, true, false, inboxRows, 2},
        {"all categories", "", nurse, "ws1", true, false, false, inboxRows + "|Task * NN", 3},
        {"inbox history", "", nurse, "ws1", true, true, true, "Purged * NN", 1},
        {"sent items", "", front, "ws1", false, true, false, sent, 0},
        {"a quote in the computer's name", "", doctor, "o'brien-pc", true, true, false,
         "Not hers * DD|Quoted * O'BRIEN-PC", 2},
        {"the supervisor's sent items", "SUPERVISOR", 0, "ws1", false, false, false,
         "Twice   NN/ WS1|Read   NN|Task   NN|Not hers   DD|Quoted   O'BRIEN-PC", 0},
        {"the supervisor's inbox", "SUPERVISOR", 0, "ws1", true, false, false,
         inboxRows + "|Task * NN|Not hers * DD|Quoted * O'BRIEN-PC", 5},
        {"an unknown login", "NOBODY", 0, "ws1", true, false, false, "", 0},
        {"a blank login", " ", 0, "ws1", false, false, false, "", 0},
        {"a login with a person, without it", "front", 0, "ws1", false, false, false, "", 0},
        {"a person without a login", "FRONT", 99, "ws1", true, false, false, "Twice * NN/ WS1", 1},
        {"a person without a login, sent", "FRONT", 99, "ws1", false, false, false, sent, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageListParams p = all;
        p.inboxView = c.inboxView;
        p.msgCatOnly = c.msgCatOnly;
        p.history = c.history;
        p.currentEmployeeId = c.person;
        p.currentLoginName = c.login;
        p.computerName = c.computer;
        QString error;
        const QVector<ViewRow> rows = readViewRows(gic(), p, true, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        QStringList shown;
        qint64 unread = 0;
        for (const ViewRow& row : rows) {
            shown << row.CMSubjec + (row.unread ? " * " : "   ") + row.toCc;
            unread += row.unread ? 1 : 0;
            EXPECT_EQ(row.BroChkID != 0, c.inboxView);
        }
        EXPECT_EQ(shown.join('|'), c.rows);
        EXPECT_EQ(unread, c.unread);
        EXPECT_EQ(countUnread(gic(), p, &error), c.unread) << error.toStdString();
    }
}

TEST_F(MessageCore, APurgeBatchTogglesOnlyThePurgeBitAndCommitsAtTheEnd)
{
    const struct {
        const char* stored;
        qint64 toggled;
    } cases[] = {{nullptr, 256}, {"0", 256}, {"3", 259}, {"257", 1}, {"256", 0}};
    QList<qint32> ids;
    for (const auto& c : cases)
        ids << qint32(
            office.insert("CMTable", "cmID", {"CMSubjec", "CMPurFla"},
                          {"Purge me", c.stored ? QVariant(QString::fromLatin1(c.stored))
                                                : QVariant(QMetaType::fromType<QString>())}));
    {
        PurgeBatch batch(*office.services());
        for (int i = 0; i < ids.size(); ++i) {
            const QVariant stored =
                office.scalar("select CMPurFla from CMTable where cmID=?", {ids[i]});
            EXPECT_TRUE(batch.toggle(ids[i], stored.toLongLong())) << i;
        }
        EXPECT_TRUE(office.services()->messageStoreConnection()->inTransaction());
        EXPECT_TRUE(batch.finish());
        EXPECT_FALSE(office.services()->messageStoreConnection()->inTransaction());
    }
    for (int i = 0; i < ids.size(); ++i)
        EXPECT_EQ(office.scalar("select CMPurFla from CMTable where cmID=?", {ids[i]}).toLongLong(),
                  cases[i].toggled)
            << (cases[i].stored ? cases[i].stored : "null");
}

// What the reminder and delivery columns mean in time, on moments the test fixes.
QDateTime at(int y, int m, int d, int h = 9, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min));
}

std::string show(const QList<QDateTime>& moments)
{
    QStringList out;
    for (const QDateTime& m : moments)
        out << m.toString("yyyy-MM-dd HH:mm");
    return out.join(QLatin1Char(' ')).toStdString();
}

std::string show(const std::optional<QDateTime>& moment)
{
    return moment ? moment->toString("yyyy-MM-dd HH:mm").toStdString() : "none";
}

// The texts the store gives back for a date and a time column.
MessageDetail reminder(const QString& date, const QString& time, bool dated = true)
{
    MessageDetail d;
    d.exists = true;
    d.EVAlaFla = true;
    d.EVAlaStaDatFla = dated;
    d.EVAlaStaDat = date;
    d.EVAlaStaTim = time;
    return d;
}

// A message set to start on a day at a time, repeating as given.
StoredMessage scheduled(const QString& startDate, const QString& startTime, qint32 unit = -1,
                        qint32 every = 1, qint32 times = -1, const QString& until = QString(),
                        bool untilTicked = false)
{
    StoredMessage m;
    m.header.cmDat = "12/06/2026";
    m.header.cmTim = "10:00:00 AM";
    MessageDetail& d = m.detail;
    d.exists = true;
    d.EvBroFla = true;
    d.EvBroStaDatFla = true;
    d.EvBroStaDat = startDate;
    d.EvBroStaTim = startTime;
    d.EvBroReaFla = unit != -1;
    d.EvBroReaTyp = unit;
    d.EvBroReaEve = every;
    d.EvBroNumOfTim = times;
    d.EvBroEndDatFla = untilTicked || !until.isEmpty();
    d.EvBroEndDat = until;
    return m;
}

// A broadcast from a day at a time, "From :" ticked unless told.
MessageDetail delivery(const QString& date, const QString& time, bool from = true)
{
    MessageDetail d = scheduled(date, time).detail;
    d.EvBroStaDatFla = from;
    return d;
}

// A reminder's moment, and a broadcast's start only when it is set to start later.
TEST(StoredMoment, ReadFromTheStoredTextsOrNoneWithTheReason)
{
    struct Case {
        const char* name;
        MessageDetail detail;
        const char* moment;  // "none" when there is none
        const char* problem; // part of the reason, nullptr when none is expected
    } cases[] = {
        {"date and time", reminder("12/10/2026", "8:45:00 AM"), "2026-12-10 08:45", nullptr},
        {"as a person typed them", reminder("12/10/26", "2:30 pm"), "2026-12-10 14:30", nullptr},
        {"no reminder", MessageDetail{}, "none", nullptr},
        {"reminder without its date", reminder("12/10/2026", "8:45:00 AM", false), "none", nullptr},
        {"the date as typed", reminder("next week", "8:45:00 AM"), "none",
         "\"next week\" is not a date"},
        {"a date that holds only a time", reminder("9:00:00 AM", "9:00:00 AM"), "none",
         "is not a date"},
        {"a month that does not exist", reminder("13/45/2026", "9:00 AM"), "none", "is not a date"},
        {"the time as typed", reminder("12/10/2026", "soon"), "none", "\"soon\" is not a time"},
        {"no time", reminder("12/10/2026", ""), "none", "no time"},
        {"broadcast from a day and time", delivery("12/24/2026", "7:30:00 AM"), "2026-12-24 07:30",
         nullptr},
        {"from a day without a time", delivery("12/24/2026", ""), "2026-12-24 00:00", nullptr},
        {"\"From :\" not ticked", delivery("12/24/2026", "7:30:00 AM", false), "none", nullptr},
        {"ticked without a date", delivery("", "7:30:00 AM"), "none", nullptr},
        {"a start date as typed", delivery("Christmas eve", "7:30:00 AM"), "none",
         "\"Christmas eve\" is not a date"},
        {"a start time as typed", delivery("12/24/2026", "early"), "none",
         "\"early\" is not a time"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StoredMoment m =
            c.detail.EvBroFla ? deliveryStart(c.detail) : reminderMoment(c.detail);
        EXPECT_EQ(show(m.at), c.moment);
        if (c.problem)
            EXPECT_TRUE(m.problem.contains(QString::fromUtf8(c.problem)))
                << m.problem.toStdString();
        else
            EXPECT_TRUE(m.problem.isEmpty()) << m.problem.toStdString();
    }
}

TEST(DeliveryPlan, RepeatsOfEveryUnitAgainstTheCalendar)
{
    // Most start on Monday 7 December 2026 at 9:00.
    const auto dec7 = [](qint32 unit = -1, qint32 every = 1, qint32 times = -1,
                         const QString& until = {}, bool untilTicked = false) {
        return scheduled("12/07/2026", "9:00:00 AM", unit, every, times, until, untilTicked);
    };
    struct Case {
        const char* name;
        StoredMessage message;
        QDateTime after, upTo;
        const char* expected; // the deliveries in (after, upTo]
    } cases[] = {
        {"once", dec7(), at(2026, 12, 1), at(2027, 12, 1), "2026-12-07 09:00"},
        {"every 2 days", dec7(ruDays, 2), at(2026, 12, 7, 8), at(2026, 12, 11),
         "2026-12-07 09:00 2026-12-09 09:00 2026-12-11 09:00"},
        {"weekly, from the middle", dec7(ruWeeks), at(2026, 12, 14, 9), at(2026, 12, 28, 9),
         "2026-12-21 09:00 2026-12-28 09:00"},
        {"monthly from the 31st in a leap year", scheduled("01/31/2028", "8:45:00 AM", ruMonth),
         at(2028, 1, 1), at(2028, 4, 30),
         "2028-01-31 08:45 2028-02-29 08:45 2028-03-31 08:45 2028-04-30 08:45"},
        {"monthly from the 31st in a common year", scheduled("01/31/2027", "8:45:00 AM", ruMonth),
         at(2027, 2, 1), at(2027, 3, 31, 23), "2027-02-28 08:45 2027-03-31 08:45"},
        {"quarterly", scheduled("11/30/2026", "9:00:00 AM", ruQuarters), at(2026, 12, 1),
         at(2027, 9, 1), "2027-02-28 09:00 2027-05-30 09:00 2027-08-30 09:00"},
        {"yearly from 29 February", scheduled("02/29/2028", "9:00:00 AM", ruYears), at(2028, 3, 1),
         at(2032, 3, 1), "2029-02-28 09:00 2030-02-28 09:00 2031-02-28 09:00 2032-02-29 09:00"},
        {"3 times after the first", dec7(ruWeeks, 1, 3), at(2026, 12, 1), at(2027, 6, 1),
         "2026-12-07 09:00 2026-12-14 09:00 2026-12-21 09:00 2026-12-28 09:00"},
        {"0 times: the first alone", dec7(ruDays, 1, 0), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00"},
        {"until a day, that day included", dec7(ruDays, 1, -1, "12/09/2026"), at(2026, 12, 1),
         at(2027, 1, 1), "2026-12-07 09:00 2026-12-08 09:00 2026-12-09 09:00"},
        {"until ticked without a date", dec7(ruDays, 1, -1, "", true), at(2026, 12, 1),
         at(2027, 1, 1), "2026-12-07 09:00"},
        {"until a day before the first", dec7(ruDays, 1, -1, "12/01/2026"), at(2026, 12, 1),
         at(2027, 1, 1), "2026-12-07 09:00"},
        {"unit 0: unknown, no repeats", dec7(0), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00"},
        {"an events-only unit: no repeats", dec7(ruWorkingDays), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00"},
        {"every 0 counts as every 1", dec7(ruDays, 0, 2), at(2026, 12, 1), at(2027, 1, 1),
         "2026-12-07 09:00 2026-12-08 09:00 2026-12-09 09:00"},
        {"the bounds: after excluded, up to included", dec7(ruDays), at(2026, 12, 7),
         at(2026, 12, 9), "2026-12-08 09:00 2026-12-09 09:00"},
        {"an empty interval", dec7(ruDays), at(2026, 12, 9), at(2026, 12, 9), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString problem;
        const auto plan = deliveryPlan(c.message, &problem);
        ASSERT_TRUE(plan) << problem.toStdString();
        const QList<QDateTime> moments = deliveriesBetween(*plan, c.after, c.upTo);
        EXPECT_EQ(show(moments), c.expected);
        // Stepping with "the next after" meets the same moments, and nothing between them.
        QList<QDateTime> stepped;
        for (auto next = nextDeliveryAfter(*plan, c.after); next && *next <= c.upTo;
             next = nextDeliveryAfter(*plan, *next))
            stepped << *next;
        EXPECT_EQ(show(stepped), c.expected);
    }
}

TEST(DeliveryPlan, WithoutALaterStartFromTheMessagesOwnMoment)
{
    StoredMessage m = scheduled("", "", ruWeeks);
    m.detail.EvBroStaDatFla = false;
    QString problem;
    auto plan = deliveryPlan(m, &problem);
    ASSERT_TRUE(plan) << problem.toStdString();
    EXPECT_FALSE(plan->startsLater);
    EXPECT_EQ(show(deliveriesBetween(*plan, at(2026, 12, 1), at(2026, 12, 20, 10))),
              "2026-12-06 10:00 2026-12-13 10:00 2026-12-20 10:00");

    // A message without a detail row is delivered once, at its own moment.
    StoredMessage bare;
    bare.header.cmDat = "12/06/2026";
    bare.header.cmTim = "10:00:00 AM";
    plan = deliveryPlan(bare);
    ASSERT_TRUE(plan);
    EXPECT_EQ(show(nextDeliveryAfter(*plan, at(2026, 12, 6, 10))), "none");

    // No moment to start from: no plan, and why.
    m.header.cmDat = "someday";
    EXPECT_FALSE(deliveryPlan(m, &problem));
    EXPECT_TRUE(problem.contains("\"someday\" is not a date")) << problem.toStdString();
    m = scheduled("Christmas eve", "9:00 AM", ruDays);
    EXPECT_FALSE(deliveryPlan(m, &problem));
    EXPECT_TRUE(problem.contains("Christmas eve")) << problem.toStdString();
}

// The signal files a save leaves for the other workstations.

// Services with a fixed clock; the station text is "<computer> <login>".
std::unique_ptr<tzglob::tzGlobal>
services(const QString& dataFolder, const QString& computer, const QString& login,
         const QDateTime& now = QDateTime(QDate(2026, 12, 6), QTime(14, 7)))
{
    tzglob::Config config;
    config.dataFolder = dataFolder;
    config.computerName = computer;
    config.loginName = login;
    auto global = std::make_unique<tzglob::tzGlobal>(config);
    global->setFixedNow(now);
    return global;
}

TEST(StationSignal, RecordIsFortyBytesOfDateAndStation)
{
    struct Case {
        const char *computer, *login;
        QDateTime now;
        QByteArray expected;
    };
    const QDateTime afternoon(QDate(2026, 12, 6), QTime(14, 7));
    const Case cases[] = {
        {"WS1", "FRONT", afternoon, "12/6/2026 2:07:00 PMWS1 FRONT           "},
        // Too long for the 20 bytes the date leaves: cut.
        {"RECEPTION-WORKSTATION-2", "FRONTDESK", afternoon,
         "12/6/2026 2:07:00 PMRECEPTION-WORKSTATIO"},
        // Midnight has no time part in the general date form.
        {"WS1", "FRONT", QDateTime(QDate(2026, 1, 15), QTime(0, 0)),
         "1/15/2026WS1 FRONT                      "},
        // One byte per character.
        {"WS\xC3\x9C", "ZO\xC3\x8B", afternoon,
         "12/6/2026 2:07:00 PMWS\xDC"
         " ZO\xCB"
         "             "},
    };
    for (const Case& c : cases) {
        auto global =
            services(QString(), QString::fromUtf8(c.computer), QString::fromUtf8(c.login), c.now);
        EXPECT_EQ(core::stationSignalRecord(*global), c.expected) << c.computer;
    }
}

TEST(StationSignal, WritesOverTheFirstFortyBytesWithoutShorteningAndCreatesTheFile)
{
    QTemporaryDir data;
    auto global = services(data.path() + QLatin1Char('/'), u"WS1"_s, u"FRONT"_s);
    // No TEMP folder yet: it and the file are made.
    ASSERT_TRUE(core::WriteStationSignal(*global, u"CMEV"_s));
    EXPECT_EQ(readAll(data.path() + u"/TEMP/CMEV.STA"_s), core::stationSignalRecord(*global));

    const QString path = data.path() + u"/TEMP/CMBC.STA"_s;
    ASSERT_TRUE(testing::writeFile(path, QByteArray(40, 'x') + QByteArray("tail that stays")));
    ASSERT_TRUE(core::WriteStationSignal(*global, u"CMBC"_s));
    EXPECT_EQ(readAll(path), QByteArray("12/6/2026 2:07:00 PMWS1 FRONT           tail that stays"));
}

TEST(StationSignal, MissingDataFolderGivesUpQuietlyAfterTheTimeout)
{
    QTemporaryDir base;
    const QString missing = base.path() + u"/no-such-office/"_s;
    auto global = services(missing, u"WS1"_s, u"FRONT"_s);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(core::WriteStationSignal(*global, u"CMCM"_s, 300));
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_FALSE(QDir(missing).exists()) << "a mistyped data folder must not be created";
}

TEST(StationSignal, FileLockedElsewhereIsLeftUnchangedAfterTwoSeconds)
{
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkdir(u"TEMP"_s));
    const QString path = data.path() + u"/TEMP/CMCM.STA"_s;
    const QByteArray before("held by another workstation");
    ASSERT_TRUE(testing::writeFile(path, before));
    auto global = services(data.path() + QLatin1Char('/'), u"WS1"_s, u"FRONT"_s);
    {
        const int held = holdLock(path);
        ASSERT_GE(held, 0);
        QElapsedTimer clock;
        clock.start();
        // The save's other signals, before and after it, are written; the held one waits alone.
        EXPECT_EQ(core::WriteStationSignals(*global, {u"CMEV"_s, u"CMCM"_s, u"CMBC"_s}), 2);
        const qint64 took = clock.elapsed();
        EXPECT_GE(took, 2000);
        EXPECT_LT(took, 10000) << "the writer must give up";
        EXPECT_EQ(readAll(path), before);
        for (const QString& tag : {u"CMEV"_s, u"CMBC"_s})
            EXPECT_EQ(readAll(data.path() + u"/TEMP/"_s + tag + u".STA"_s),
                      core::stationSignalRecord(*global));
        ::close(held);
    }
    // A lock released while the writer retries: it still writes.
    const int brief = holdLock(path);
    ASSERT_GE(brief, 0);
    std::thread releaser([brief] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::close(brief);
    });
    EXPECT_TRUE(core::WriteStationSignal(*global, u"CMCM"_s));
    releaser.join();
    EXPECT_EQ(readAll(path).left(40), core::stationSignalRecord(*global));
}

// Someone who may write the data folder puts something else where a signal file or TEMP belongs:
// the writer refuses it at once, says why in its one warning, writes the other files and touches
// nothing outside.
TEST(StationSignal, LinksAndOddFilesInPlaceOfASignalAreRefusedAndNothingOutsideIsTouched)
{
    using enum testing::OddSignal;
    struct Case {
        const char* name;
        testing::OddSignal kind;
        const char* reason;
    } cases[] = {
        {"symbolic link to another file", LinkToFile, "CMCM.STA is a link"},
        {"symbolic link to a missing file", DanglingLink, "CMCM.STA is a link"},
        {"TEMP a link to another folder", TempLinkedToFolder, "TEMP is a link"},
        {"hard link to another file", HardLink, "CMCM.STA is a hard link"},
        {"FIFO", Fifo, "CMCM.STA is not a plain file"},
        {"folder", Folder, "CMCM.STA is not a plain file"},
    };
    const QByteArray precious("the first forty bytes of a file that is not ours, and more");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir data, outside;
        const QString temp = data.path() + u"/TEMP"_s;
        const QString sta = temp + u"/CMCM.STA"_s;
        const QString victim = outside.path() + u"/victim"_s;
        const bool linked = c.kind == LinkToFile || c.kind == HardLink;
        ASSERT_TRUE(testing::plantOddSignal(c.kind, data.path(), outside.path(), victim,
                                            linked ? precious : QByteArray()));
        // A reader at the other end, so that a writer that opens it does not wait forever.
        const int reader = c.kind == Fifo ? ::open(QFile::encodeName(sta).constData(),
                                                   O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                                          : -1;
        ASSERT_TRUE(c.kind != Fifo || reader >= 0);

        auto global = services(data.path() + QLatin1Char('/'), u"WS1"_s, u"FRONT"_s);
        Warnings warnings;
        QElapsedTimer clock;
        clock.start();
        const int written = core::WriteStationSignals(*global, {u"CMCM"_s, u"CMEV"_s});
        EXPECT_LT(clock.elapsed(), 1500) << "a refusal is not waited out";

        const QString told = warnings.told().join(u'\n');
        EXPECT_EQ(warnings.told().size(), 1) << told.toStdString();
        EXPECT_TRUE(told.contains(QLatin1String(c.reason))) << told.toStdString();
        EXPECT_FALSE(told.contains(u"held by another program"_s));
        if (c.kind == TempLinkedToFolder) {
            EXPECT_EQ(written, 0);
            EXPECT_TRUE(QDir(outside.path()).isEmpty()) << "nothing is written through TEMP";
        } else {
            EXPECT_EQ(written, 1);
            EXPECT_EQ(readAll(temp + u"/CMEV.STA"_s), core::stationSignalRecord(*global))
                << "the other signals of the save are written";
            QDir others(outside.path());
            EXPECT_EQ(others.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      linked ? QStringList{u"victim"_s} : QStringList{});
            if (linked) {
                EXPECT_EQ(readAll(victim), precious);
            }
        }
        if (c.kind == Folder) {
            EXPECT_TRUE(QDir(sta).isEmpty());
        }
        if (reader >= 0) {
            char byte = 0;
            EXPECT_LT(::read(reader, &byte, 1), 1) << "nothing is written into the FIFO";
            ::close(reader);
        }
    }
}

} // namespace
} // namespace tzsndmsg::core
