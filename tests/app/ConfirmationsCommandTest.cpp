// The host program's view of who has confirmed: `inbox --sent` and `confirmations --message`.
#include "support/Program.h"

using namespace Qt::StringLiterals;

using namespace tzsndmsg::testing;

namespace {

class ConfirmationsCommand : public ProgramTest {
protected:
    ConfirmationsCommand() : ProgramTest(Made::Ready) {}
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

    qint32 front = 0, nurse = 0, doctor = 0, billing = 0;
};

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
    for (const QString& line : lines.mid(2)) {
        SCOPED_TRACE(line.toStdString());
        if (line.contains("Autoclave out")) {
            EXPECT_TRUE(line.startsWith('!'));
            EXPECT_TRUE(line.contains("| 2 of 4 confirmed |"));
        } else {
            EXPECT_TRUE(line.contains("Note to self"));
            EXPECT_TRUE(line.startsWith(' '));
            EXPECT_TRUE(line.contains("| 0 of 0 confirmed |"));
        }
    }

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
