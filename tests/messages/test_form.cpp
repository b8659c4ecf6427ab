#include "test_form_fixture.h"

#include "messages/ComposeHelpers.h"
#include "ui/DateCombo.h"

#include <QAction>
#include <QRadioButton>

namespace tzsndmsg::testing {
namespace {

using ::testing::Test;

TEST(ComposeHelpers, Base36StoreNamesAndPreview)
{
    EXPECT_EQ(compose::base36(0), QStringLiteral("0"));
    EXPECT_EQ(compose::base36(35), QStringLiteral("Z"));
    EXPECT_EQ(compose::base36(36), QStringLiteral("10"));
    EXPECT_EQ(compose::personalCannedStore(12), QStringLiteral("MSGDBC"));
    // 36^5 has six digits: only the first five are kept.
    EXPECT_EQ(compose::personalCannedStore(60466176), QStringLiteral("MSGDB10000"));

    const QString thirty = QStringLiteral("123456789012345678901234567890");
    EXPECT_EQ(compose::sentAgainPreview(thirty), thirty);
    EXPECT_EQ(compose::sentAgainPreview(thirty + QStringLiteral("X")), thirty + QStringLiteral("..."));
    EXPECT_EQ(compose::sentAgainPreview(QStringLiteral(" a\r\nb ")), QStringLiteral("ab"));

    EXPECT_EQ(compose::prefixedSubject(QStringLiteral("re: lunch"), QStringLiteral("RE: ")),
              QStringLiteral("re: lunch"));
    EXPECT_EQ(compose::prefixedSubject(QStringLiteral("Lunch"), QStringLiteral("FW: ")),
              QStringLiteral("FW: Lunch"));
}

TEST(ComposeHelpers, ReminderChoiceLists)
{
    const auto relative = compose::relativeReminderChoices();
    ASSERT_EQ(relative.size(), 59);
    EXPECT_EQ(relative.first().text, QStringLiteral("05 min"));
    EXPECT_EQ(relative[10].text, QStringLiteral("55 min"));
    EXPECT_EQ(relative[11].text, QStringLiteral("1 hr 00 min"));
    EXPECT_EQ(relative[12].minutes, 75);
    EXPECT_EQ(relative.last().text, QStringLiteral("12 hr 45 min"));
    EXPECT_EQ(relative.last().minutes, 765);

    const QStringList free = compose::freeReminderTimes(QTime(14, 7), std::nullopt, 15);
    ASSERT_FALSE(free.isEmpty());
    EXPECT_EQ(free.first(), QStringLiteral("02:15 pm"));
    EXPECT_EQ(free.last(), QStringLiteral("11:45 pm"));
    EXPECT_EQ(free.size(), 39);
    // A chosen time earlier than now starts the list; a later one does not.
    EXPECT_EQ(compose::freeReminderTimes(QTime(14, 7), QTime(9, 0), 15).first(), QStringLiteral("09:00 am"));
    EXPECT_EQ(compose::freeReminderTimes(QTime(14, 7), QTime(16, 0), 15).first(), QStringLiteral("02:15 pm"));
}

using FormTest = ComposeTest;

TEST_F(FormTest, LoadMessageFillsTheControlsForViewing)
{
    const qint32 id = seedMessage(QStringLiteral("Lunch"), QStringLiteral("Pizza at noon"), true,
                                  {{0, QStringLiteral("P%1").arg(front)},
                                   {0, QStringLiteral("P%1").arg(nurse)},
                                   {1, QStringLiteral("MWS2")},
                                   {2, QStringLiteral("P%1").arg(doctor)}});
    tzSndMsgFrm& w = open();
    w.LoadMessage(9, 0, id);

    EXPECT_EQ(w.txtMsg->toPlainText(), QStringLiteral("Pizza at noon"));
    EXPECT_TRUE(w.txtMsg->isReadOnly());
    EXPECT_EQ(w.txtSubject->text(), QStringLiteral("Lunch"));
    EXPECT_EQ(w.txtTo[0]->text(), QStringLiteral("FF, NN"));
    EXPECT_EQ(w.txtTo[1]->text(), QStringLiteral("WS2"));
    EXPECT_FALSE(w.chkDoc[0]->isChecked());
    EXPECT_TRUE(w.chkDoc[1]->isChecked());
    EXPECT_TRUE(w.chkDoc[3]->isChecked());
    EXPECT_TRUE(w.OptPub[0]->isChecked());
    EXPECT_EQ(w.CMID(), id);
    EXPECT_EQ(w.CMDBName(), QStringLiteral("MESSAGE.MDB"));
    EXPECT_EQ(w.DateCmb_Abs->text(), QStringLiteral("12/06/2026"));
    EXPECT_EQ(itemValue(w.Cmb_Emp_Name, w.Cmb_Emp_Name->currentIndex()), front);
    ASSERT_TRUE(w.tbButton(QStringLiteral("Delete")));
    EXPECT_TRUE(w.tbButton(QStringLiteral("Delete"))->isEnabled());
    EXPECT_FALSE(w.m_changed);

    // A received message locks the To box: clicking it opens no picker.
    ModalScript none;
    pressOn(w.txtTo[0]);
    EXPECT_EQ(none.shown, 0);

    // The blank new message clears everything again.
    w.resetToNewMessage();
    EXPECT_TRUE(w.txtMsg->toPlainText().isEmpty());
    EXPECT_TRUE(w.txtTo[0]->text().isEmpty());
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_FALSE(w.tbButton(QStringLiteral("Delete"))->isEnabled());
}

TEST_F(FormTest, MessageWithoutDetailRowLoadsWithoutRecipients)
{
    const qint32 full = seedMessage(QStringLiteral("A"), QStringLiteral("a"), true,
                                    {{0, QStringLiteral("P%1").arg(nurse)}});
    const qint32 bare = seedMessage(QStringLiteral("B"), QStringLiteral("b"), false,
                                    {{0, QStringLiteral("P%1").arg(nurse)}});
    tzSndMsgFrm& w = open();
    w.LoadMessage(9, 0, full);
    EXPECT_EQ(w.txtTo[0]->text(), QStringLiteral("NN"));
    w.LoadMessage(9, 0, bare);
    EXPECT_EQ(w.txtSubject->text(), QStringLiteral("B"));
    EXPECT_TRUE(w.txtTo[0]->text().isEmpty());
    EXPECT_TRUE(w.m_toPids[0].isEmpty());
}

TEST_F(FormTest, LinkedAbsenceSetsOrClearsTheReminder)
{
    const qint64 absence = office.insert(QStringLiteral("AbsTable"), QStringLiteral("AbsID"),
                                         {QStringLiteral("AbsDat"), QStringLiteral("AbsStaTim")},
                                         {QStringLiteral("2026-12-10"), QStringLiteral("10:00:00")});
    const qint32 linked = seedMessage(QStringLiteral("R"), QStringLiteral("r"), true, {}, 1, qint32(absence));
    const qint32 gone = seedMessage(QStringLiteral("G"), QStringLiteral("g"), true, {}, 1, 999999);
    tzSndMsgFrm& w = open();
    auto& st = SharedState::current();

    w.LoadMessage(9, 0, linked);
    EXPECT_TRUE(st.ReminderFlag);
    EXPECT_EQ(st.LinkTyp, 1);
    EXPECT_EQ(st.ReminderDate.date(), QDate(2026, 12, 10));
    EXPECT_EQ(st.ReminderTime.time(), QTime(10, 0));
    EXPECT_EQ(w.cmbAla->count(), 60); // the empty entry and the 59 amounts of time

    w.LoadMessage(9, 0, gone);
    EXPECT_FALSE(st.ReminderFlag);
    EXPECT_EQ(st.LinkID, 999999);
}

struct ReplyCase {
    int flag;
    QString subject;
    QString expectedSubject;
    QString title;
    bool toAuthor;
};

class ReplyTest : public ComposeTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTest, SubjectBodyAndRecipients)
{
    const ReplyCase c = GetParam();
    seedMessage(c.subject, QStringLiteral("Original text"), true,
                {{0, QStringLiteral("P%1").arg(front)},
                 {0, QStringLiteral("P%1").arg(nurse)},
                 {1, QStringLiteral("MWS2")}});
    // The recipient row of the current employee.
    const qint32 row = qint32(office.scalar(QStringLiteral("select BroChkID from BroChkTable where "
                                                           "BroChkPID=?"),
                                            {front})
                                  .toInt());
    auto& st = SharedState::current();
    st.ReplyFlag = c.flag;
    st.ReplyBCID = row;
    st.Notes = QStringLiteral("My note.");
    tzSndMsgFrm& w = open(); // the load handler prepares the answer

    EXPECT_EQ(w.txtSubject->text(), c.expectedSubject);
    EXPECT_EQ(w.windowTitle(), c.title);
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_FALSE(w.txtMsg->isReadOnly());
    EXPECT_FALSE(w.chkDoc[3]->isChecked());
    if (c.flag == 3) {
        for (QCheckBox* box : w.chkDoc)
            EXPECT_FALSE(box->isChecked());
    }
    const QString quoted = QStringLiteral("My note.\n------ Original Message ------\nFrom: ") +
                           st.GIC->personName(doctor) +
                           QStringLiteral(", To: FF, NN, Cc: WS2/ Subject: ") + c.subject.trimmed() +
                           QStringLiteral("\nOriginal text");
    EXPECT_EQ(w.txtMsg->toPlainText(), quoted);
    EXPECT_EQ(w.m_toPids[0], c.toAuthor ? QString::number(doctor) + QLatin1Char(',') : QString());
    EXPECT_EQ(w.txtTo[0]->text(), c.toAuthor ? QStringLiteral("DD") : QString());
    EXPECT_TRUE(w.m_toPids[1].isEmpty());
    EXPECT_TRUE(w.txtTo[1]->text().isEmpty());
    EXPECT_TRUE(w.m_toMachines[0].isEmpty());
    EXPECT_FALSE(w.m_changed);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReplyTest,
    ::testing::Values(ReplyCase{1, "Lunch", "RE: Lunch", "Reply Message", true},
                      ReplyCase{1, "re: Lunch", "re: Lunch", "Reply Message", true},
                      ReplyCase{2, "Lunch", "FW: Lunch", "Forward Message", false},
                      ReplyCase{3, "Lunch", "RR: Lunch", "Return Receipt", true}));

TEST_F(FormTest, ReplyWithoutTheOriginalWhenTheOfficeSaysSo)
{
    office.services()->writeSetting(QStringLiteral("DEFAULT_OFFICE_SETUP"), QStringLiteral("IncOriMsg"),
                                    QStringLiteral("False"));
    seedMessage(QStringLiteral("Lunch"), QStringLiteral("Original"), true,
                {{0, QStringLiteral("P%1").arg(front)}});
    auto& st = SharedState::current();
    st.ReplyFlag = 1;
    st.ReplyBCID = lastBroChkId;
    st.Notes = QStringLiteral("Only this.");
    tzSndMsgFrm& w = open();
    EXPECT_EQ(w.txtMsg->toPlainText(), QStringLiteral("Only this."));

    // A forward quotes the original whatever the setting.
    st.ReplyFlag = 2;
    w.StartReplyOrForward(lastBroChkId);
    EXPECT_TRUE(w.txtMsg->toPlainText().contains(QStringLiteral("------ Original Message ------")));
}

} // namespace
} // namespace tzsndmsg::testing
