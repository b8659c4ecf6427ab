// tzsndmsg search on the demo office, run as a workstation runs it.
#include "support/Program.h"

using namespace tzsndmsg::testing;

namespace {

class SearchCommand : public ProgramTest {
protected:
    void SetUp() override { init({"--demo"}); }

    // A message from Dave to Anna, sent on the day given.
    qint64 toAnna(const QString& subject, const QString& day)
    {
        const QVariant anna = office.scalar("select pID from PATable where PFirNam='Anna'");
        const QVariant dave = office.scalar("select pID from PATable where PFirNam='David'");
        const qint64 id = office.insert(
            "CMTable", "cmID",
            {"cmTyp", "cmDat", "cmTim", "cmWho", "cmPid", "cmCat", "CMSubjec", "cmDoc"},
            {256, day, "09:05:00", "DAVE", dave, "Message", subject, "See the subject."});
        office.insert("EVTable", "EVID", {"EvPID", "EvLinID", "EvTyp"}, {dave, id, 0});
        office.insert("BroChkTable", "BroChkID", {"BroChkLinID", "BroChkPID", "BroChkTyp"},
                      {id, anna, 0});
        return id;
    }
};

TEST_F(SearchCommand, PrintsTheHitsOfTheLoginsViews)
{
    const Outcome inbox =
        run({"search", "--login", "anna", "--computer", "FRONTDESK", "room", "AUTOC"});
    ASSERT_EQ(inbox.code, 0) << inbox.err.toStdString();
    const QStringList lines = inbox.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << inbox.out.toStdString(); // the title, the headers, two rows
    EXPECT_EQ(lines.at(0), "Search for \"room AUTOC\" in Inbox - Message Category Only of ANNA at "
                           "FRONTDESK: 2 message(s); * = unread");
    EXPECT_TRUE(lines.at(1).contains("From") && lines.at(1).contains("To/ CC"));
    // Once to Anna and once to her workstation, as the inbox lists it; unread both times.
    EXPECT_TRUE(lines.at(2).startsWith("* DAVE ") && lines.at(2).contains("Room 2 autoclave"));
    EXPECT_TRUE(lines.at(3).startsWith("* DAVE ") && lines.at(3).contains("Room 2 autoclave"));

    const Outcome everywhere = run({"search", "--login", "ANNA", "--everywhere", "staff"});
    ASSERT_EQ(everywhere.code, 0) << everywhere.err.toStdString();
    EXPECT_TRUE(everywhere.out.contains(
        QRegularExpression(R"(\n  Inbox +\| MARIA +\|.*Staff meeting moved)")))
        << everywhere.out.toStdString();
    EXPECT_TRUE(
        everywhere.out.contains(QRegularExpression(R"(\n  Inbox - History +\| MARIA .*Flu shots)")))
        << everywhere.out.toStdString();

    // The sender's sent items; Anna never sees Dave's message to Grace about it.
    const Outcome sent = run({"search", "--login", "DAVE", "--sent", "autoclave"});
    ASSERT_EQ(sent.code, 0);
    EXPECT_TRUE(sent.out.contains("Room 2 autoclave"));
    const Outcome patel = run({"search", "--login", "ANNA", "--everywhere", "patel"});
    ASSERT_EQ(patel.code, 0);
    EXPECT_TRUE(patel.out.contains("Sent Items")) << patel.out.toStdString();
    EXPECT_TRUE(
        run({"search", "--login", "BEN", "--everywhere", "patel"}).out.contains(": 0 message(s)"));
}

// The text lists write a date as the windows do: two digits for the month and the day.
TEST_F(SearchCommand, TheListsWriteDatesAsTheWindowsDo)
{
    toAnna("Quarterly figures", "2026-02-04");
    const Outcome search = run({"search", "--login", "ANNA", "quarterly"});
    const Outcome inbox = run({"inbox", "--login", "ANNA"});
    for (const Outcome& r : {search, inbox}) {
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString line = r.out.split('\n').filter("Quarterly figures").value(0);
        EXPECT_TRUE(line.contains("| 02/04/2026 |")) << r.out.toStdString();
        // Every date of the list in the one form.
        EXPECT_FALSE(r.out.contains(QRegularExpression(R"((^|[^0-9])[0-9]{1,2}/[0-9]/[0-9]{4})")))
            << r.out.toStdString();
        EXPECT_FALSE(r.out.contains(QRegularExpression(R"((^|[^0-9])[0-9]/[0-9]{1,2}/[0-9]{4})")))
            << r.out.toStdString();
    }
}

} // namespace
