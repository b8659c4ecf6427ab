// The list statements and the cell texts, without a window.
#include "core/MessageListQuery.h"

#include "support/TestPrinters.h"

#include <gtest/gtest.h>

using namespace tzsndmsg;
using namespace tzsndmsg::core;

namespace {

QString quote(const QString& text)
{
    QString t = text;
    return "'" + t.replace(QLatin1Char('\''), "''") + "'";
}

// Employee 0 is the supervisor's login, listed without a person; others log in as FRONT.
MessageListParams office(bool inbox, bool msgOnly, bool history, qint32 employee,
                         const QString& login = QString())
{
    MessageListParams p;
    p.inboxView = inbox;
    p.msgCatOnly = msgOnly;
    p.history = history;
    p.currentEmployeeId = employee;
    p.loginNames = QStringList{QString(), "SUPERVISOR", "FRONT", "BACK", ""};
    p.loginEmployeeIds = {0, 0, 12, 7, 0};
    p.computerName = "ws1";
    p.currentLoginName = !login.isNull() ? login : employee == 0 ? "SUPERVISOR" : "FRONT";
    return p;
}

const QString kInboxFrom = " FROM ((CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EVLinID) "
                           "right JOIN BroChkTable ON "
                           "CMTable.cmID = BroChkTable.BroChkLinID) WHERE ";
const QString kInboxCols =
    "SELECT CMTable.*, EVTable.*, BroChkTable.BroChkDonDis, BroChkTable.BroChkID, "
    "BroChkTable.BroChkLinID";
QString inboxWhere(qint32 employee, const QString& machine = "'WS1'")
{
    const QString me = QString("BroChkPid=%1 or BroChkToMac=%2").arg(employee).arg(machine);
    return "(EvTable.EvTyp=0 and (CMTable.cmid in (SELECT CMTable.cmID FROM CMTable INNER JOIN "
           "BroChkTable ON "
           "CMTable.cmID = BroChkTable.BroChkLinID WHERE (((BroChkTable.BroChkPID)=" +
           QString::number(employee) + " or BroChkToMac=" + machine + "))))) and (" + me + ")";
}
const QString kCurrent = " and ((CMTable.CMPurFla<=255) or (CMTable.CMPurFla is Null))";
const QString kHistory = " and CMTable.CMPurFla>255";
const QString kSentFrom =
    "SELECT CMTable.*, EVTable.* FROM (CMTable LEFT JOIN EVTable ON CMTable.cmID = "
    "EVTable.EVLinID) WHERE ";
const QString kSentW = "((CMTable.cmTyp)>=0 or CMTable.cmTyp is null) and EvTable.EvTyp=0";
const QString kInbox = kInboxCols + kInboxFrom;

MessageListParams withQuotes(MessageListParams p)
{
    p.computerName = "o'brien-pc";
    p.loginNames << "D'ARCY";
    p.loginEmployeeIds << 3;
    return p;
}

struct StatementCase {
    const char* name;
    MessageListParams params;
    QString expected;
    friend void PrintTo(const StatementCase& c, std::ostream* os) { *os << c.name; }
};

class ListStatement : public ::testing::TestWithParam<StatementCase> {};

TEST_P(ListStatement, IsBuiltExactly)
{
    EXPECT_EQ(buildMessageListStatement(GetParam().params, quote), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Views, ListStatement,
    ::testing::Values(
        StatementCase{"InboxMessageOnly", office(true, true, false, 12),
                      kInbox + "((" + inboxWhere(12) + ") and CMTable.CMCat='Message')" + kCurrent},
        StatementCase{"InboxAllCategories", office(true, false, false, 12),
                      kInbox + "(" + inboxWhere(12) + ")" + kCurrent},
        StatementCase{"InboxHistory", office(true, true, true, 12),
                      kInbox + "((" + inboxWhere(12) + ") and CMTable.CMCat='Message')" + kHistory},
        StatementCase{"SentItems", office(false, true, false, 12),
                      kSentFrom + "(" + kSentW + " and (cmWho='FRONT'))" + kCurrent},
        StatementCase{"SentHistory", office(false, false, true, 12),
                      kSentFrom + "(" + kSentW + " and (cmWho='FRONT'))" + kHistory},
        StatementCase{"NoEmployeeInbox", office(true, false, false, 0),
                      kInbox + "(" + kSentW + " and cmWho in ('SUPERVISOR','FRONT','BACK',''))" +
                          kCurrent},
        StatementCase{"NoEmployeeSent", office(false, false, false, 0),
                      kSentFrom + "(" + kSentW + " and cmWho in ('SUPERVISOR','FRONT','BACK',''))" +
                          kCurrent},
        // Employee 0 is only the supervisor's: a login the office does not know, a blank one (the
        // list's entry without a name), or one with a person, sees nothing rather than everything.
        StatementCase{"UnknownLoginInbox", office(true, false, false, 0, "NOBODY"),
                      kInbox + "(" + kSentW + " and 1=0)" + kCurrent},
        StatementCase{"UnknownLoginSent", office(false, false, false, 0, "NOBODY"),
                      kSentFrom + "(" + kSentW + " and 1=0)" + kCurrent},
        StatementCase{"BlankLoginInbox", office(true, true, false, 0, " "),
                      kInbox + "((" + kSentW + " and 1=0) and CMTable.CMCat='Message')" + kCurrent},
        StatementCase{"LoginWithAPersonAsEmployee0", office(false, false, true, 0, "front"),
                      kSentFrom + "(" + kSentW + " and 1=0)" + kHistory},
        // Person 99 has no login: no "()" condition the database rejects, but the inbox of 99
        // at this computer and the sent items of the current login.
        StatementCase{"EmployeeMissingFromLoginsInbox", office(true, false, false, 99),
                      kInbox + "(" + inboxWhere(99) + ")" + kCurrent},
        StatementCase{"EmployeeMissingFromLoginsSent", office(false, false, false, 99),
                      kSentFrom + "(" + kSentW + " and (cmWho='FRONT'))" + kCurrent},
        // Names with a quote are quoted, not spliced.
        StatementCase{"QuotedComputer", withQuotes(office(true, false, false, 12)),
                      kInbox + "(" + inboxWhere(12, "'O''BRIEN-PC'") + ")" + kCurrent},
        StatementCase{"QuotedLogin", withQuotes(office(false, false, false, 0)),
                      kSentFrom + "(" + kSentW +
                          " and cmWho in ('SUPERVISOR','FRONT','BACK','','D''ARCY'))" + kCurrent}),
    [](const auto& info) { return std::string(info.param.name); });

// The form the window runs leaves out only the inbox's subquery, which the row's own recipient
// test implies (the same rows on a generated store: tests/bench).
TEST_P(ListStatement, RunsWithoutOnlyTheImpliedSubquery)
{
    const MessageListParams& p = GetParam().params;
    QString expected = GetParam().expected;
    if (p.inboxView && p.currentEmployeeId != 0) {
        const QString machine = quote(p.computerName.toUpper());
        const QString me =
            QString("BroChkPid=%1 or BroChkToMac=%2").arg(p.currentEmployeeId).arg(machine);
        ASSERT_TRUE(expected.contains(inboxWhere(p.currentEmployeeId, machine)));
        expected.replace(inboxWhere(p.currentEmployeeId, machine),
                         "(EvTable.EvTyp=0 and (" + me + "))");
    }
    EXPECT_EQ(buildMessageListStatement(p, quote, ListStatementForm::ToRun), expected);
}

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

TEST(ToCcCell, InitialsJoinedWithCcAfterSlash)
{
    struct Case {
        QVector<RecipientRow> rows;
        QString expected;
    } cases[] = {
        {{}, ""},
        {{{12, 0, "", "FF"}, {7, 0, "", "BB"}, {0, 1, "WS2", ""}}, "FF, BB/ WS2"},
        {{{0, 1, "WS2", ""}}, "/ WS2"},
        {{{12, 0, "", "FF"}, {7, 2, "", "BB"}}, "FF"}, // type 2 is skipped
        {{{12, 0, "", "FF"}, {7, 1, "", ""}}, "FF"},   // Cc of only "/" is dropped
        {{{12, 0, "", ""}, {7, 0, "", "BB"}}, ", BB"}, // a person without initials
        {{{0, 0, "WS1", ""}, {12, 1, "", "FF"}, {7, 1, "", "BB"}}, "WS1/ FF, BB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toCcCellText(c.rows), c.expected);
}

TEST(RecipientStatement, NamesTheSuitePersonTable)
{
    EXPECT_EQ(
        recipientStatement(42),
        "Select BroChkPID, BroChkTyp, BroChktoMac, zelowin.dbo.paTable.pDocIni from BROCHKTable "
        "left join zelowin.dbo.paTable on BroChkTable.BroChkPID=zelowin.dbo.patable.pid where "
        "BROCHKLINID=42");
}

} // namespace
