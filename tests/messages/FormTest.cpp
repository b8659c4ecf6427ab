// Reading a message into the form, reply, forward and return receipt, the compose helpers, and
// the To and Cc lists: the picker and the canned texts.
#include "db/Internals.h"
#include "fixture.h"
#include "messages/ComposeHelpers.h"

#include <QTextCursor>

namespace tzsndmsg::testing {
namespace {

// What the window tests do not reach: the five-digit cut of the store name, the preview's
// blanks, a chosen reminder time earlier or later than now.
TEST(ComposeHelpers, StoreNamePreviewAndFreeReminderStart)
{
    EXPECT_EQ(compose::personalCannedStore(60466176), "MSGDB10000"); // 36^5 has six digits
    EXPECT_EQ(compose::sentAgainPreview(" a\r\nb "), "ab");
    EXPECT_EQ(compose::freeReminderTimes(QTime(14, 7), QTime(9, 0), 15).first(), "09:00 am");
    EXPECT_EQ(compose::freeReminderTimes(QTime(14, 7), QTime(16, 0), 15).first(), "02:15 pm");
}

using FormTest = ComposeTest;

TEST_F(FormTest, LoadMessageFillsTheControlsForViewing)
{
    const qint32 id =
        seed(fromDoctor("Lunch", "Pizza at noon"), {{front}, {nurse}, {0, 1, "WS2"}, {doctor, 2}});
    office.insert("PWATable", "PWAID", {"PWAUseNam", "PWARigNam", "PWAWriFla", "PWAProNam"},
                  {"FRONT", "Msg_Cho_Sen", -1, "tzSndMsg"}); // the front desk may choose a sender
    tzSndMsgFrm& w = view(id);

    EXPECT_EQ(textBox(w)->toPlainText(), "Pizza at noon");
    EXPECT_TRUE(textBox(w)->isReadOnly());
    EXPECT_EQ(subjectBox(w)->text(), "Lunch");
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "FF, NN");
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_1")->text(), "WS2");
    EXPECT_FALSE(control<QCheckBox>(&w, "chkDoc_0")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(&w, "chkDoc_1")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(&w, "chkDoc_3")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(&w, "OptPub_0")->isChecked());
    EXPECT_EQ(control<ui::DateCombo>(&w, "DateCmb_Abs")->text(), "12/06/2026");
    EXPECT_EQ(itemValue(control<QComboBox>(&w, "Cmb_Emp_Name"),
                        control<QComboBox>(&w, "Cmb_Emp_Name")->currentIndex()),
              front);
    EXPECT_FALSE(w.hasUnsavedChanges());

    // A received message locks the To box: clicking it opens no picker.
    ModalScript none;
    pressOn(control<QLineEdit>(&w, "txtTo_0"));
    EXPECT_EQ(none.shown, 0);

    // The sender list, locked with the rest of a received message, is read when it is first
    // opened composing: it holds the whole staff list; the sender stays chosen and the form
    // unchanged.
    auto* from = control<QComboBox>(&w, "Cmb_Emp_Name");
    EXPECT_FALSE(from->isEnabled());
    w.resetToNewMessage();
    QComboBox whole;
    FillStaffList(&whole, SharedState::current().LoginEmployeeIDs);
    ASSERT_TRUE(from->isEnabled());
    pressOn(from);
    from->hidePopup();
    const auto entries = [](const QComboBox* combo) {
        QStringList texts;
        for (int row = 0; row < combo->count(); ++row)
            texts << combo->itemText(row) + u'=' + QString::number(itemValue(combo, row));
        return texts;
    };
    EXPECT_EQ(entries(from), entries(&whole));
    EXPECT_EQ(from->currentText(), whole.itemText(whole.findData(front)));
    EXPECT_FALSE(w.hasUnsavedChanges());

    // Another message, unread, to be confirmed: its row, its To and Cc rows, the initials of
    // both lists and the login's rights to mark it, one statement each.
    office.insert("PWATable", "PWAID", {"PWAUseNam", "PWARigNam", "PWAWriFla", "PWAProNam"},
                  {"FRONT", "Tim_Mar_Pay_Rel_Mes", -1, "tzSndMsg"});
    Msg confirm = fromDoctor("Shift", "Swap on Friday");
    confirm.needConfirm = true;
    const qint32 other = seed(confirm, {{front}, {nurse, 1}});
    pressButton(w, "TB", "Refresh");
    const quint64 before = db::Internals::statementsRun();
    ASSERT_TRUE(show(w, other));
    EXPECT_EQ(db::Internals::statementsRun() - before, 4u);
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), "FF");
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_1")->text(), "NN");
    EXPECT_TRUE(control<QCheckBox>(&w, "ConfirmchkDoc_2")->isVisibleTo(&w));
}

struct ReplyCase {
    int flag;
    QString subject, expectedSubject, title;
    bool toAuthor;
    bool includeOriginal = true; // the office setting "IncOriMsg"
    bool quoted = true;
};

class ReplyTest : public ComposeTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTest, SubjectBodyAndRecipients)
{
    const ReplyCase c = GetParam();
    if (!c.includeOriginal)
        office.services()->writeSetting("DEFAULT_OFFICE_SETUP", "IncOriMsg", "False");
    QList<qint32> rows;
    const qint32 original =
        seed(fromDoctor(c.subject, "Original text"), {{front}, {nurse}, {0, 1, "WS2"}}, &rows);
    // The original starts later, repeats weekly and has a reminder: the answer takes none of it.
    office.exec("update EVTable set EvBroFla=-1, EvBroStaDatFla=-1, EvBroStaDat='12/20/2026', "
                "EvBroStaTim='8:00:00 AM', EvBroReaFla=-1, EvBroReaEve=1, EvBroReaTyp=7, "
                "EvBroNumOfTim=-1, EVAlaFla=-1, EVAlaStaDatFla=-1, EVAlaStaDat='12/20/2026', "
                "EVAlaStaTim='7:45:00 AM' where EvLinID=?",
                {original});
    auto& st = SharedState::current();
    st.ReplyFlag = c.flag;
    st.ReplyBCID = rows[0]; // the current employee's row
    st.Notes = "My note.";
    tzSndMsgFrm& w = open(); // the load handler prepares the answer

    EXPECT_EQ(subjectBox(w)->text(), c.expectedSubject);
    EXPECT_EQ(w.windowTitle(), c.title);
    EXPECT_EQ(w.CMID(), 0);
    EXPECT_FALSE(textBox(w)->isReadOnly());
    for (int i = 0; i < 4; ++i)
        if (c.flag == 3 || i == 3) {
            EXPECT_FALSE(control<QCheckBox>(&w, nth("chkDoc", i))->isChecked()) << i;
        }
    const QString quote = "\n------ Original Message ------\nFrom: " + st.GIC->personName(doctor) +
                          ", To: FF, NN, Cc: WS2/ Subject: " + c.subject.trimmed() +
                          "\nOriginal text";
    EXPECT_EQ(textBox(w)->toPlainText(), "My note." + (c.quoted ? quote : QString()));
    EXPECT_EQ(w.toPids(0), c.toAuthor ? ids({doctor}) : QString());
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_0")->text(), c.toAuthor ? "DD" : "");
    EXPECT_TRUE(w.toPids(1).isEmpty() && control<QLineEdit>(&w, "txtTo_1")->text().isEmpty() &&
                w.toMachines(0).isEmpty());
    for (const char* box : {"ChkBro_0", "ChkFro_0", "ChkRea_0"})
        EXPECT_FALSE(control<QCheckBox>(&w, box)->isChecked()) << box;
    EXPECT_EQ(reminderBox(w)->currentText(), "");
    EXPECT_FALSE(w.hasUnsavedChanges());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReplyTest,
    ::testing::Values(ReplyCase{1, "Lunch", "RE: Lunch", "Reply Message", true},
                      ReplyCase{1, "re: Lunch", "re: Lunch", "Reply Message", true},
                      ReplyCase{2, "Lunch", "FW: Lunch", "Forward Message", false},
                      ReplyCase{3, "Lunch", "RR: Lunch", "Return Receipt", true},
                      // Without the original when the office says so; a forward quotes it anyway.
                      ReplyCase{1, "Lunch", "RE: Lunch", "Reply Message", true, false, false},
                      ReplyCase{2, "Lunch", "FW: Lunch", "Forward Message", false, false, true}));

using RecipientsTest = ComposeTest;

TEST_F(RecipientsTest, ReopeningShowsTheChoicesAndCancelKeepsThem)
{
    office.writeMachinesIni("ws2\r\n");
    tzSndMsgFrm& w = open();
    {
        ModalScript script;
        script.then(pickEntries({"Nurse, Ned", "-Computer WS2"}));
        pressOn(control<QLineEdit>(&w, "txtTo_1")); // the box opens the picker like Cc...
    }
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_1")->text(), "NN, WS2");
    EXPECT_TRUE(w.hasUnsavedChanges());
    w.markSaved(); // as saved

    QStringList preselected;
    ModalScript script;
    script.then(pickEntries({}, false, &preselected));
    control<QPushButton>(&w, "CmdTo_1")->click();
    preselected.sort();
    EXPECT_EQ(preselected, QStringList({"-Computer WS2", "Nurse, Ned--(NN)"}));
    EXPECT_EQ(w.toPids(1), ids({nurse}));
    EXPECT_EQ(w.toMachines(1), "WS2\n");
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_1")->text(), "NN, WS2");
    EXPECT_TRUE(w.toPids(0).isEmpty());
    EXPECT_FALSE(w.hasUnsavedChanges());
}

TEST_F(RecipientsTest, ThePickerOpensInsideTheScreenWhereverTheWindowIs)
{
    tzSndMsgFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    const QRect area = w.screen()->availableGeometry();
    // The window dragged to the lower right corner: below the box there is no room.
    w.move(area.right() - w.width() / 2, area.bottom() - w.height() / 3);
    pump();
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        QRect placed, shown;
        ModalScript script;
        script.then([&](QDialog& picker) {
            placed = QRect(picker.pos(), picker.size());
            picker.show();
            pump();
            shown = picker.frameGeometry();
            picker.hide();
            return int(QDialog::Rejected);
        });
        control<QPushButton>(&w, nth("CmdTo", size_t(index)))->click();
        EXPECT_TRUE(area.contains(placed))
            << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
        EXPECT_TRUE(area.contains(shown));
        EXPECT_GT(placed.height(), 200) << "not shrunk to nothing";
    }
}

TEST_F(RecipientsTest, CannedTextsGoInAtTheCursor)
{
    QStringList asked;
    office.services()->setCannedTextHandler(
        [&asked](QObject*, const QString& caption, const QString& store) {
            asked << caption + "|" + store;
            return caption.contains("Office") ? QString() : QString("kind ");
        });
    tzSndMsgFrm& w = open();
    textBox(w)->setPlainText("Be patient.");
    QTextCursor cursor = textBox(w)->textCursor();
    cursor.setPosition(3);
    textBox(w)->setTextCursor(cursor);
    control<QPushButton>(&w, "CmdTo_2")->click();
    EXPECT_EQ(textBox(w)->toPlainText(), "Be kind patient.");
    EXPECT_EQ(textBox(w)->textCursor().position(), textBox(w)->toPlainText().size());
    control<QPushButton>(&w, "CmdTo_3")->click(); // nothing chosen: nothing changes
    EXPECT_EQ(textBox(w)->toPlainText(), "Be kind patient.");
    EXPECT_EQ(asked,
              (QStringList{"Select Personal Messages|MSGDB" + QString::number(front, 36).toUpper(),
                           "Select Office Messages|MSGDB-OFFI"}));
    office.services()->setCannedTextHandler(nullptr);
}

} // namespace
} // namespace tzsndmsg::testing
