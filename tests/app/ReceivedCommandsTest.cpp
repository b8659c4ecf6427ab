// `tzsndmsg confirm` and `tzsndmsg snooze`: a received message confirmed or told again later
// without the window, only for the login's own rows and its computer's.
#include "support/Program.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using namespace tzsndmsg::testing;

namespace {

class ReceivedCommands : public ProgramTest {
protected:
    ReceivedCommands() : ProgramTest(Made::Ready) {}
    void SetUp() override
    {
        front = office.addEmployee("Front", "Fay", "FF", "FRONT", "Front Desk");
        nurse = office.addEmployee("Nurse", "Ned", "NN", "NURSE", "Clinical");
    }

    Outcome run(const QStringList& args)
    {
        return ProgramTest::run(args + QStringList{"--login", "FRONT", "--computer", "WS1"});
    }
    // A message from the nurse to one person or computer; its addressee row.
    qint32 rowTo(qint32 person, const QString& computer = {})
    {
        const qint64 cm =
            writeRecord("CMTable", "cmID",
                        {"cmTyp", "cmDat", "cmTim", "cmWho", "cmPid", "cmCat", "cmDoc", "CMSubjec"},
                        {"256", "12/06/2026", "09:00 AM", "NURSE", QString::number(nurse),
                         "Message", "Room 3 is ready", "Room 3"});
        writeRecord("EVTable", "EVID", {"EvPID", "EvLinID", "EvTyp"},
                    {QString::number(nurse), QString::number(cm), "0"});
        return qint32(writeRecord("BroChkTable", "BroChkID",
                                  {"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac"},
                                  {QString::number(cm), QString::number(person), "0", computer}));
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
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            for (const QJsonValue& v :
                 QJsonDocument::fromJson(file.readAll()).object().value("snoozes").toArray())
                rows << v.toObject().value("row").toInt();
        }
        return rows;
    }

    qint32 front = 0, nurse = 0;
};

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
        {{QString::number(own), "--minutes", "0"}, 1, "--minutes takes 1 to 1440 minutes, not '0'"},
        {{QString::number(own), "--minutes", "abc"}, 1, "not 'abc'"},
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
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
        QJsonArray list;
        for (const QJsonValue& v : o.value("snoozes").toArray()) {
            QJsonObject s = v.toObject();
            s.insert("at", QDateTime::currentDateTime().addSecs(-60).toString(Qt::ISODateWithMs));
            list.append(s);
        }
        o.insert("snoozes", list);
        file.resize(0);
        file.write(QJsonDocument(o).toJson());
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

} // namespace
