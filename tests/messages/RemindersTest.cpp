// Reminders: the lists of cmbAla, editing it, writing the reminder columns and finding a linked
// reminder again.
#include "common/VbFormat.h"
#include "core/MessageWrite.h"
#include "fixture.h"

namespace tzsndmsg::testing {
namespace {

class Reminders : public ComposeTest {
protected:
    // The nurse's appointment on 10 December 2026.
    qint32 appointmentAt(QTime start = QTime(10, 0))
    {
        return qint32(
            office.insert("ApTable", "ApID", {"ApPid", "apDat", "apStaTim", "ApDes"},
                          {nurse, "2026-12-10 00:00:00", start.toString("HH:mm:ss"), "Checkup"}));
    }
    // The window the host opens for the appointment's reminder, at this workstation or another.
    tzSndMsgFrm& openReminder(qint32 appointment, QTime start = QTime(10, 0),
                              std::shared_ptr<tzglob::tzGlobal> services = {})
    {
        auto& st = SharedState::current();
        st.resetInstanceValues();
        st.GIC = services ? services : office.services();
        st.ReminderFlag = true;
        st.LinkTyp = 2;
        st.LinkID = appointment;
        st.ReminderDate = QDateTime(QDate(2026, 12, 10), QTime(0, 0));
        st.ReminderTime = QDateTime(QDate(1899, 12, 30), start);
        st.Notes = "Bring the X-rays";
        return open();
    }
};

void leave(QWidget* widget, Qt::FocusReason reason = Qt::TabFocusReason)
{
    QFocusEvent out(QEvent::FocusOut, reason);
    QCoreApplication::sendEvent(widget, &out);
}

TEST_F(Reminders, LinkedReminderBeforeTheRecordAndFoundAgainByItsAuthor)
{
    struct Case {
        const char* name;
        QTime start;
        QString choice;
        bool typed;
        QString date, time;
    } cases[] = {
        {"1 hr 15 min before 10:00 am", QTime(10, 0), "1 hr 15 min", false, "12/10/2026",
         "8:45:00 AM"},
        {"90 typed", QTime(10, 0), "90", true, "12/10/2026", "8:30:00 AM"},
        // Typed keys: "5" is five minutes, not the first entry that starts with it ("50 min").
        {"5 typed", QTime(10, 0), "5", true, "12/10/2026", "9:55:00 AM"},
        {"shortly after midnight", QTime(0, 30), "1 hr 00 min", false, "12/09/2026", "11:30:00 PM"},
    };
    auto& st = SharedState::current();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 appointment = appointmentAt(c.start);
        const QString on = " on 12/10/26 at " + common::vb::format(c.start, "hh:nn am/pm");

        tzSndMsgFrm& first = openReminder(appointment, c.start);
        first.firstActivation();
        EXPECT_EQ(first.windowTitle(), "New Reminder for FRONT" + on);
        EXPECT_EQ(textBox(first)->toPlainText(), "Bring the X-rays");
        if (c.typed) {
            ASSERT_TRUE(showActive(&first));
            reminderBox(first)->setFocus();
            QTest::keyClicks(reminderBox(first)->lineEdit(), c.choice);
        } else
            reminderBox(first)->setCurrentIndex(reminderBox(first)->findText(c.choice));
        send(first);
        const qint32 cmId =
            office.scalar("select cmID from CMTable where cmTyp=2 and cmTraLinID=?", {appointment})
                .toInt();
        ASSERT_NE(cmId, 0);
        expectDetail(cmId, "EVAlaFla=-1|EVAlaStaDatFla=-1|EVAlaStaDat=" + c.date +
                               "|EVAlaStaTim=" + c.time);

        // The same login opens the same record: the first reminder is edited.
        tzSndMsgFrm& again = openReminder(appointment, c.start);
        EXPECT_EQ(again.CMID(), cmId);
        EXPECT_EQ(textBox(again)->toPlainText(), "Bring the X-rays");
        EXPECT_FALSE(textBox(again)->isReadOnly());
        EXPECT_TRUE(st.ReminderFlag);
        again.Unload();
        // Another login gets a new one.
        tzSndMsgFrm& other = openReminder(appointment, c.start, office.workstation("WS2", "NURSE"));
        EXPECT_EQ(other.CMID(), 0);
        EXPECT_EQ(other.windowTitle(), "New Reminder for NURSE" + on);
        other.Unload();
        EXPECT_EQ(office.count("CMTable", "cmTraLinID=?", {appointment}), 1);
    }
}

// Reopened, the reminder shows its stored moment as the current choice; sent again with its
// text edited, or untouched, it keeps that moment, its creation and its addressee's read row;
// a new moment chosen replaces the stored one.
TEST_F(Reminders, AReopenedReminderKeepsItsMomentCreationAndAddressees)
{
    const qint32 appointment = appointmentAt();
    auto openAndSend = [&](const std::function<void(tzSndMsgFrm&)>& act) {
        tzSndMsgFrm& w = openReminder(appointment);
        EXPECT_TRUE(showActive(&w));
        act(w);
        clickButton(w, "TB_Small", "MsgSend");
        EXPECT_FALSE(w.isVisible()) << "sent and closed";
        return office.scalar("select cmID from CMTable where cmTraLinID=?", {appointment}).toInt();
    };
    const qint32 cmId = openAndSend([](tzSndMsgFrm& w) {
        ModalScript script;
        script.then(pickEntries({"Nurse, Ned"}));
        QTest::mouseClick(control<QPushButton>(&w, "CmdTo_0"), Qt::LeftButton);
        reminderBox(w)->setCurrentIndex(reminderBox(w)->findText("1 hr 15 min"));
    });
    const QString row =
        office.scalar("select BroChkID from BroChkTable where BroChkLinID=?", {cmId}).toString();
    ASSERT_TRUE(core::confirmAddressee(*office.services(), row.toInt(), nurse).written);
    office.services()->setFixedNow(QDateTime(QDate(2026, 12, 7), QTime(11, 20)));

    for (const QString added : {" and the referral", ""}) {
        SCOPED_TRACE(added.toStdString());
        openAndSend([&](tzSndMsgFrm& w) {
            EXPECT_EQ(reminderBox(w)->currentText(), "08:45 am");
            QTest::mouseClick(textBox(w)->viewport(), Qt::LeftButton);
            QTest::keyClick(textBox(w), Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(textBox(w), added);
        });
        // One reminder, one addressee row (each query must find exactly one).
        office.expectColumns("select * from CMTable where cmTraLinID=? and cmWho='FRONT'",
                             {appointment},
                             "cmID=" + QString::number(cmId) +
                                 "|cmDat=12/06/2026|cmTim=10:00:00 AM|cmModDat=12/07/2026|"
                                 "cmDoc=Bring the X-rays and the referral");
        expectDetail(cmId, "EVAlaFla=-1|EVAlaStaDat=12/10/2026|EVAlaStaTim=8:45:00 AM");
        office.expectColumns("select * from BroChkTable where BroChkLinID=?", {cmId},
                             "BroChkID=" + row + "|BroChkPID=" + QString::number(nurse) +
                                 "|BroChkDonDis=-1");
    }
    // Another moment chosen is saved over the first as well.
    openAndSend([](tzSndMsgFrm& w) {
        reminderBox(w)->setCurrentIndex(reminderBox(w)->findText("30 min"));
    });
    expectDetail(cmId, "EVAlaFla=-1|EVAlaStaDat=12/10/2026|EVAlaStaTim=9:30:00 AM");
    EXPECT_EQ(office.count("CMTable", "cmTraLinID=?", {appointment}), 1);
}

TEST_F(Reminders, ExistingReminderOfALoginWithAQuoteInItsName)
{
    const qint32 cmId = seed({.who = "O'NEIL",
                              .subject = "Absence",
                              .body = "Call about the absence",
                              .typ = "1",
                              .link = 44});
    auto& st = SharedState::current();
    st.GIC = office.workstation("WS3", "O'NEIL");
    st.ReminderFlag = true;
    st.LinkTyp = 1;
    st.LinkID = 44;
    tzSndMsgFrm& w = open();
    EXPECT_EQ(w.CMID(), cmId);
    EXPECT_EQ(textBox(w)->toPlainText(), "Call about the absence");
}

TEST_F(Reminders, FreeReminderNeedsATimeOfDay)
{
    struct Case {
        QString typed, flag, date, time;
    } cases[] = {{"2:30 pm", "-1", "12/06/2026", "2:30:00 PM"},
                 {"later", "0", "", ""},
                 // The afternoon's list holds "10:00 pm"; what is typed is the morning.
                 {"10:00", "-1", "12/06/2026", "10:00:00 AM"}};
    office.services()->setFixedNow(QDateTime(QDate(2026, 12, 6), QTime(14, 7)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        tzSndMsgFrm& w = write("Gloves", "Order gloves");
        pick(w, 0, {"Nurse, Ned"});
        ASSERT_TRUE(showActive(&w));
        reminderBox(w)->setFocus();
        QTest::keyClicks(reminderBox(w)->lineEdit(), c.typed);
        QTest::keyClick(reminderBox(w)->lineEdit(), Qt::Key_Tab);
        const qint32 cmId = send(w);
        QString expected = "EVAlaFla=" + c.flag + "|EVAlaStaDatFla=" + c.flag;
        if (c.flag != "0")
            expected += "|EVAlaStaDat=" + c.date + "|EVAlaStaTim=" + c.time;
        expectDetail(cmId, expected);
    }
}

TEST_F(Reminders, FreeListStartsAfterNowAndLeavingTheBoxReformatsATime)
{
    office.services()->setFixedNow(QDateTime(QDate(2026, 12, 6), QTime(14, 7)));
    tzSndMsgFrm& w = open();
    ASSERT_EQ(reminderBox(w)->count(), 40);
    EXPECT_EQ((QStringList{reminderBox(w)->itemText(0), reminderBox(w)->itemText(1),
                           reminderBox(w)->itemText(2), reminderBox(w)->itemText(39)}),
              (QStringList{"", "02:15 pm", "02:30 pm", "11:45 pm"}));
    EXPECT_EQ(reminderBox(w)->currentText(), "");
    struct Case {
        QString typed, shown;
    } cases[] = {{"2:30 PM", "02:30 pm"}, {"14:05", "02:05 pm"}, {"soon", ""}, {"", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        w.markSaved(); // as saved
        reminderBox(w)->setProperty("tag", "old");
        reminderBox(w)->setEditText(c.typed);
        // The window losing the activation is not leaving the box.
        leave(reminderBox(w), Qt::ActiveWindowFocusReason);
        EXPECT_EQ(reminderBox(w)->currentText(), c.typed);
        EXPECT_EQ(reminderBox(w)->property("tag").toString(), "old");
        leave(reminderBox(w));
        EXPECT_EQ(reminderBox(w)->currentText(), c.shown);
        EXPECT_EQ(reminderBox(w)->property("tag").toString(), c.shown);
        EXPECT_TRUE(w.hasUnsavedChanges());
    }
    w.Unload();
    // A linked reminder keeps a typed number of minutes.
    SharedState::current().ReminderFlag = true;
    tzSndMsgFrm& linked = open();
    reminderBox(linked)->setEditText("90");
    leave(reminderBox(linked));
    EXPECT_EQ(reminderBox(linked)->currentText(), "90");
}

// A stored reminder is read back with its moment; a message linked to an absence takes the
// reminder from it, and one whose absence is gone clears it.
TEST_F(Reminders, StoredAndLinkedRemindersAreReadBack)
{
    const qint32 withTime = seed(fromDoctor("Gloves", "Order gloves"), {{front}});
    office.exec("update EVTable set EVAlaFla=-1, EVAlaStaDatFla=-1, EVAlaStaDat='2026-12-10', "
                "EVAlaStaTim='14:30:00' where EvLinID=?",
                {withTime});
    const qint32 without = seed(fromDoctor("Masks", "Order masks"), {{front}});
    const qint64 absence =
        office.insert("AbsTable", "AbsID", {"AbsDat", "AbsStaTim"}, {"2026-12-10", "10:00:00"});
    const qint32 linked = seed(fromDoctor("R", "r", "1", qint32(absence)), {{front}});
    const qint32 gone = seed(fromDoctor("G", "g", "1", 999999), {{front}});
    auto& st = SharedState::current();
    tzSndMsgFrm& w = view(withTime);
    EXPECT_EQ(control<QWidget>(&w, "PicAla")->property("tag").toString(), "12/10/2026");
    EXPECT_EQ(reminderBox(w)->currentText(), "02:30 pm");
    EXPECT_EQ(reminderBox(w)->property("tag").toString(), "02:30 pm");
    EXPECT_EQ(control<QLabel>(&w, "lblRem")->property("tag").toString(), "-1");
    ASSERT_TRUE(show(w, without));
    EXPECT_EQ(control<QWidget>(&w, "PicAla")->property("tag").toString(), "12/06/2026");
    EXPECT_EQ(reminderBox(w)->currentText(), "");

    ASSERT_TRUE(show(w, linked));
    EXPECT_TRUE(st.ReminderFlag);
    EXPECT_EQ(st.LinkTyp, 1);
    EXPECT_EQ(st.ReminderDate.date(), QDate(2026, 12, 10));
    EXPECT_EQ(st.ReminderTime.time(), QTime(10, 0));
    ASSERT_TRUE(show(w, gone));
    EXPECT_FALSE(st.ReminderFlag);
    EXPECT_EQ(st.LinkID, 999999);
}

} // namespace
} // namespace tzsndmsg::testing
