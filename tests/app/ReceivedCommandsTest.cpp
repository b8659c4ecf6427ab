// `tzsndmsg confirm` and `tzsndmsg snooze`: a received message confirmed or told again later
// without the window, only for the login's own rows and its computer's; and the sender's view
// of who has confirmed: `inbox --sent` and `confirmations --message`.
#include "support/Files.h"
#include "support/Program.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

using namespace tzsndmsg::testing;

namespace {

class ReceivedCommands : public ProgramTest {
protected:
    ReceivedCommands() : ProgramTest(Made::Ready) {}
    void SetUp() override { std::tie(front, nurse, doctor, billing) = office.addClinicStaff(); }

    Outcome run(const QStringList& args, const QString& login = u"FRONT"_s)
    {
        return ProgramTest::run(args + QStringList{"--login", login, "--computer", "WS1"});
    }

    struct To {
        qint32 person = 0;
        int list = 0;
        QString computer{};
        qint32 confirmedBy = 0; // 0: pending
        QString at{};
    };
    qint32 message(const QString& who, qint32 sender, const QString& subject, bool needConfirm,
                   const QList<To>& to)
    {
        const qint64 cm = writeRecord(
            "CMTable", "cmID",
            {"cmTyp", "cmDat", "cmTim", "cmWho", "cmPid", "cmCat", "cmDoc", "CMSubjec", "CMNeeCom"},
            {"256", "12/06/2026", "09:00 AM", who, QString::number(sender), "Message",
             "Text of " + subject, subject, needConfirm ? "-1" : "0"});
        writeRecord("EVTable", "EVID", {"EvPID", "EvLinID", "EvTyp"},
                    {QString::number(sender), QString::number(cm), "0"});
        for (const To& t : to) {
            QStringList names{"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac"};
            QStringList texts{
                QString::number(cm),
                QString::number(t.confirmedBy && !t.computer.isEmpty() ? t.confirmedBy : t.person),
                QString::number(t.list), t.computer};
            if (t.confirmedBy) {
                names << "BroChkDonDis"
                      << "BroChkLasReaDatTim";
                texts << "-1" << t.at;
            }
            writeRecord("BroChkTable", "BroChkID", names, texts);
        }
        return qint32(cm);
    }

    // A message from the nurse to one person or computer; its addressee row.
    qint32 rowTo(qint32 person, const QString& computer = {})
    {
        const qint32 cm = message("NURSE", nurse, "Room 3", false, {{person, 0, computer}});
        return office.scalar("select BroChkID from BroChkTable where BroChkLinID=?", {cm}).toInt();
    }
    QVariant readMark(qint32 row)
    {
        return office.scalar("select BroChkDonDis from BroChkTable where BroChkID=?", {row});
    }
    // The rows snoozed at this workstation for FRONT.
    QList<qint32> snoozedRows()
    {
        QList<qint32> rows;
        const QDir folder(home.path() + u"/state/tzsndmsg"_s);
        for (const QString& name : folder.entryList({u"snoozes-FRONT-WS1-*.json"_s}, QDir::Files)) {
            for (const auto& v : QJsonDocument::fromJson(readAll(folder.filePath(name)))
                                     .object()
                                     .value("snoozes")
                                     .toArray())
                rows << v.toObject().value("row").toInt();
        }
        return rows;
    }

    qint32 front = 0, nurse = 0, doctor = 0, billing = 0;
};
using ConfirmationsCommand = ReceivedCommands;

TEST_F(ReceivedCommands, ConfirmMarksTheLoginsOwnAndItsComputersRowsAndRefusesTheRest)
{
    const qint32 own = rowTo(front);
    const qint32 computer = rowTo(0, "WS1");
    const qint32 nurses = rowTo(nurse);
    const qint32 otherComputer = rowTo(0, "WS2");

    struct Case {
        qint32 row;
        int code;
        QString said; // on stdout for 0, stderr otherwise
    } cases[] = {
        {own, 0, "Confirmed message row"},        {computer, 0, "Confirmed message row"},
        {nurses, 1, "addressed to someone else"}, {otherComputer, 1, "addressed to someone else"},
        {987654, 1, "no message row 987654"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const Outcome o = run({"confirm", QString::number(c.row)});
        EXPECT_EQ(o.code, c.code) << o.all().toStdString();
        EXPECT_TRUE((c.code == 0 ? o.out : o.err).contains(c.said)) << o.all().toStdString();
    }
    EXPECT_EQ(readMark(own).toInt(), -1);
    EXPECT_EQ(readMark(computer).toInt(), -1);
    EXPECT_EQ(
        office.scalar("select BroChkPID from BroChkTable where BroChkID=?", {computer}).toInt(),
        front)
        << "a computer's row names who confirmed there";
    for (qint32 untouched : {nurses, otherComputer})
        EXPECT_TRUE(readMark(untouched).isNull()) << untouched;
}

TEST_F(ReceivedCommands, SnoozeRecordsTheLoginsRowAndRefusesBadMinutesAndOthersRows)
{
    const qint32 own = rowTo(front);
    const qint32 nurses = rowTo(nurse);

    struct Case {
        QStringList args;
        int code;
        QString said;
    } cases[] = {
        {{QString::number(own)}, 0, "told again in 15 minutes"},
        {{QString::number(own), "--minutes", "40"}, 0, "told again in 40 minutes"},
        // Bad arguments, as every command's: exit 2.
        {{QString::number(own), "--minutes", "0"}, 2, "--minutes takes 1 to 1440 minutes, not '0'"},
        {{QString::number(own), "--minutes", "abc"}, 2, "not 'abc'"},
        {{QString::number(nurses)}, 1, "addressed to someone else"},
        {{}, 2, "needs the message's row id"},
        {{"abc"}, 2, "needs a message row id, not 'abc'"},
        {{QString::number(own), "7"}, 2, "unexpected argument '7'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome o = run(QStringList{"snooze"} + c.args);
        EXPECT_EQ(o.code, c.code) << o.all().toStdString();
        EXPECT_TRUE((c.code == 0 ? o.out : o.err).contains(c.said)) << o.all().toStdString();
    }
    EXPECT_EQ(snoozedRows(), (QList<qint32>{own, own})) << "one snooze per success, nothing else";
    EXPECT_TRUE(readMark(own).isNull()) << "a snooze leaves the message unread";
    EXPECT_EQ(run({"confirm"}).code, 2);
}

// The snooze's moment moved into the past, as if its minutes went by.
void snoozesFallDue(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name : dir.entryList({u"snoozes-*.json"_s}, QDir::Files)) {
        QJsonObject o = QJsonDocument::fromJson(readAll(dir.filePath(name))).object();
        QJsonArray list;
        for (const auto& v : o.value("snoozes").toArray()) {
            QJsonObject s = v.toObject();
            s.insert("at", QDateTime::currentDateTime().addSecs(-60).toString(Qt::ISODateWithMs));
            list.append(s);
        }
        o.insert("snoozes", list);
        ASSERT_TRUE(writeFile(dir.filePath(name), QJsonDocument(o).toJson()));
    }
}

TEST_F(ReceivedCommands, WatchTellsASnoozeThatFellDueOnceAcrossRuns)
{
    const qint32 row = rowTo(front);
    auto told = [this] {
        QStringList events;
        const Outcome o = run({"watch", "--once"});
        EXPECT_EQ(o.code, 0) << o.err.toStdString();
        for (const QString& line : o.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject j = QJsonDocument::fromJson(line.toUtf8()).object();
            if (j.value("event").toString() != QLatin1String("unread"))
                events << j.value("event").toString() + u' ' +
                              QString::number(j.value("BroChkID").toInt());
        }
        return events;
    };
    ASSERT_EQ(told(), QStringList{u"arrived %1"_s.arg(row)});
    ASSERT_EQ(run({"snooze", QString::number(row), "--minutes", "1"}).code, 0);
    EXPECT_TRUE(told().isEmpty()) << "not before its minute";
    snoozesFallDue(home.path() + u"/state/tzsndmsg"_s);
    EXPECT_EQ(told(), QStringList{u"snoozed %1"_s.arg(row)});
    EXPECT_TRUE(told().isEmpty()) << "told once";
}

TEST_F(ConfirmationsCommand, SentItemsCountAndThePanelsRowsPrint)
{
    const qint32 autoclave = message("FRONT", front, "Autoclave out", true,
                                     {{nurse, 0, {}, nurse, "12/07/2026 08:15 AM"},
                                      {doctor},
                                      {0, 0, "WS2", billing, "12/07/2026 09:40 AM"},
                                      {billing, 1}});
    message("FRONT", front, "Note to self", true, {});
    message("NURSE", nurse, "Not mine", true, {{front}});

    const Outcome sent = run({"inbox", "--sent"});
    ASSERT_EQ(sent.code, 0) << sent.err.toStdString();
    const QStringList lines = sent.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << sent.out.toStdString();
    EXPECT_TRUE(lines[0].contains("! = needs confirmation")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("| Subject       | Confirmed        | Comments"))
        << lines[1].toStdString();
    for (const char* row : {R"(\n!.*Autoclave out.*\| 2 of 4 confirmed \|)",
                            R"(\n .*Note to self.*\| 0 of 0 confirmed \|)"})
        EXPECT_TRUE(sent.out.contains(QRegularExpression(QString::fromLatin1(row))))
            << sent.out.toStdString();

    const Outcome panel = run({"confirmations", "--message", QString::number(autoclave)});
    ASSERT_EQ(panel.code, 0) << panel.err.toStdString();
    EXPECT_EQ(
        panel.out,
        QString("Message %1 \"Autoclave out\" from FRONT: 2 of 4 confirmed; needs confirmation, "
                "2 not confirmed yet\n"
                "Addressee      | To/Cc | Confirmed           | Confirmed by\n"
                "Dora Doctor    | To    | Pending             | \n"
                "Bo Billing     | Cc    | Pending             | \n"
                "Ned Nurse      | To    | 12/07/2026 08:15 am | \n"
                "WS2 (computer) | To    | 12/07/2026 09:40 am | Bo Billing\n")
            .arg(autoclave));
}

TEST_F(ConfirmationsCommand, WhatTheLoginMayNotSeeIsAnErrorNeverAnEmptySuccess)
{
    const qint32 nurses = message("NURSE", nurse, "Nurse's", true, {{front}});
    const Outcome other = run({"confirmations", "--message", QString::number(nurses)});
    EXPECT_EQ(other.code, 1);
    EXPECT_EQ(other.err.trimmed(),
              u"tzsndmsg: Message %1 is not among the sent items of FRONT."_s.arg(nurses));
    EXPECT_TRUE(other.out.isEmpty()) << other.out.toStdString();
    const Outcome own = run({"confirmations", "--message", QString::number(nurses)}, "NURSE");
    EXPECT_EQ(own.code, 0) << own.err.toStdString();
    EXPECT_TRUE(own.out.contains("Fay Front | To    | Pending")) << own.out.toStdString();
}

} // namespace
