#include "EventsFixture.h"
#include "core/EventStore.h"
#include "directory/EMS_EmpList.h"
#include "events/EventListModel.h"
#include "support/Appearance.h"
#include "support/Picker.h"
#include "support/WindowWalk.h"
#include "ui/DateCombo.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QString kSaveChange = u"Save Current Change?"_s;
const QString kNoAttendees = u"Saving Event without Attendees"_s;
const QString kDeleteQuestion = u"Are you sure to delete the event?"_s;

QString reasonsText(const QStringList& reasons)
{
    return u"The following information is missing or incorrect:\r\n"_s +
           (u"\r\n"_s + reasons.join(u"\r\n"_s)) + u"\r\n\r\nData will not be saved."_s;
}

// The picker the event's buttons open, answered.
ModalScript::Handler pick(QStringList fragments, bool ok = true)
{
    return [answer = pickEntries(std::move(fragments), ok)](QDialog& dialog) {
        EXPECT_EQ(dynamic_cast<EMS_EmpList&>(dialog).EmpListType(), 1);
        return answer(dialog);
    };
}

} // namespace

TEST_F(EventsTest, ListShowsOnlyOwnEventsUnlessSupervisor)
{
    const qint64 mine = addEvent(u"Mine"_s, ann, u"12/10/2026"_s);
    addEvent(u"Bobs"_s, bob, u"12/11/2026"_s);
    addAttendee(mine, bob, 0);
    addAttendee(mine, cat, 1);

    EMS_EventsFrm& w = open();
    EXPECT_FALSE(w.EventSupervisor());
    ASSERT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(w.listModel()->cmIdAt(0), mine);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Mine"_s);
    EXPECT_EQ(w.CurrentEventID(), mine);
    EXPECT_EQ(c<QLabel>(u"SB_Panel_1"_s)->text(), u"1 of 1"_s);
    EXPECT_EQ(w.listModel()->index(0, EventListModel::ColTime).data().toString(), u"09:00 AM"_s);
    EXPECT_EQ(edit("txtAtt_0")->text(), u"BB"_s);
    EXPECT_EQ(edit("txtAtt_1")->text(), u"CC"_s);
    w.hide();

    grantSupervisor();
    EMS_EventsFrm& s = open();
    EXPECT_TRUE(s.EventSupervisor());
    EXPECT_EQ(s.listModel()->rowCount(), 2);
    EXPECT_EQ(c<QLabel>(u"SB_Panel_1"_s)->text(), u"2 of 2"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Bobs"_s);
}

// Employee 0 sees every event only as a login listed without a person; a login the office does
// not know (also employee 0) owns nothing and supervises nothing.
TEST_F(EventsTest, OnlyAListedLoginWithoutAPersonSeesEveryEvent)
{
    addEvent(u"Bobs"_s, bob, u"12/11/2026"_s);
    addEvent(u"Supervisors"_s, 0, u"12/12/2026"_s);
    auto& st = SharedState::current();
    st.CurrentEmployeeID = 0;
    const struct {
        const char* login;
        bool supervisor;
        int rows;
    } cases[] = {{"SUPERVISOR", true, 2}, {"NOBODY", false, 0}, {"", false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.login);
        st.GIC = office.workstation(u"WS1"_s, QString::fromLatin1(c.login));
        EMS_EventsFrm& w = open();
        EXPECT_EQ(w.EventSupervisor(), c.supervisor);
        EXPECT_EQ(w.listModel()->rowCount(), c.rows);
        w.hide();
    }
}

TEST_F(EventsTest, ToCcColumnIsBuiltOnlyForTheRowsAboutThoseAsked)
{
    const int events = 3 * EventListModel::kToCcReach;
    for (int i = 0; i < events; ++i)
        addEvent(u"E%1"_s.arg(i), ann, u"12/%1/2026"_s.arg(i % 28 + 1));
    EMS_EventsFrm& w = open();
    EventListModel& model = *w.listModel();
    const int built = model.toCcComputations();
    EXPECT_LT(built, events);
    // A row far from those shown (the grid shows its last rows, the current one among them):
    // its screen in one go, then nothing more for it or its neighbours.
    const QModelIndex far = model.index(0, EventListModel::ColToCc);
    const int before = model.toCcComputations();
    model.data(far);
    const int fetched = model.toCcComputations() - before;
    EXPECT_GT(fetched, 1);
    EXPECT_LE(fetched, EventListModel::kToCcReach + 1);
    model.data(far);
    model.data(model.index(1, EventListModel::ColToCc));
    EXPECT_EQ(model.toCcComputations(), before + fetched);
}

TEST_F(EventsTest, SingleEventModeOfAnotherUsersEventDeniesEditing)
{
    alone(addEvent(u"Bobs"_s, bob, u"12/11/2026"_s));
    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.toolbarTag(), u"PARTIAL"_s);
    EXPECT_FALSE(c<QWidget>(u"TDBG"_s)->isVisible());
    EXPECT_FALSE(button(u"New"_s)->isVisible());
    EXPECT_FALSE(SharedState::current().RightToEdit);
    for (const QString& key : {u"New"_s, u"Save"_s, u"Delete"_s})
        EXPECT_FALSE(button(key)->isEnabled()) << key.toStdString();
    EXPECT_FALSE(edit("txtEve_0")->isEnabled());
    EXPECT_EQ(edit("txtEve_0")->text(), u"Bobs"_s);
    // Closing writes nothing either.
    PrompterGuard prompts;
    press(u"Close"_s);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable"_s).toString(), u"Bobs"_s);
}

TEST_F(EventsTest, SingleEventModeClosesAfterSaveAndAfterDelete)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, bob, 0);
    alone(cm);
    auto& st = SharedState::current();
    {
        EMS_EventsFrm& w = open();
        EXPECT_TRUE(st.RightToEdit);
        EXPECT_FALSE(st.HolidayChanged);
        edit("txtEve_0")->setText(u"  Renamed  "_s);
        EXPECT_TRUE(button(u"Save"_s)->isEnabled());
        press(u"Save"_s);
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(st.HolidayChanged);
    }
    office.expectColumns(u"select * from CMTable"_s, {}, u"CMSubjec=Renamed|cmModDat=12/06/2026"_s);
    EXPECT_EQ(office.count(u"EVTable"_s), 1);

    EMS_EventsFrm& w = open();
    PrompterGuard prompts;
    prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbYes);
    press(u"Delete"_s);
    EXPECT_FALSE(w.isVisible());
    for (const QString& table : {u"CMTable"_s, u"EVTable"_s, u"BroChkTable"_s})
        EXPECT_EQ(office.count(table), 0) << table.toStdString();
}

TEST_F(EventsTest, UnchangedSaveWritesNothing)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, bob, 0);
    EMS_EventsFrm& w = open();
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_FALSE(button(u"Save"_s)->isEnabled());
    PrompterGuard prompts;
    EXPECT_EQ(w.SaveEvent(true, true), ui::vbYes);
    EXPECT_TRUE(office.scalar(u"select cmModDat from CMTable"_s).isNull());
    EXPECT_EQ(office.scalar(u"select BroChkSno from BroChkTable"_s).toInt(), 3);
    EXPECT_FALSE(SharedState::current().HolidayChanged);
}

TEST_F(EventsTest, SaveQuestionOnNewCloseBoxAndClose)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    EMS_EventsFrm& w = open();
    edit("txtEve_0")->setText(u"Changed"_s);
    PrompterGuard prompts;
    // Cancel on New keeps the panel as it is.
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbCancel);
    press(u"New"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Changed"_s);
    EXPECT_EQ(w.CurrentEventID(), cm);
    EXPECT_TRUE(w.ChangeFlag());
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_EQ(prompts->shown[0].buttons, 3);

    // The close box asks the same and Cancel keeps the window open.
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbCancel);
    w.reject();
    EXPECT_TRUE(w.isVisible());
    // No throws the change away; the window closes.
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbNo);
    press(u"Close"_s);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable"_s).toString(), u"Mine"_s);
}

TEST_F(EventsTest, NewEventIsWrittenWithEveryColumn)
{
    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.CurrentEventID(), 0);
    edit("txtEve_0")->setText(u" Staff meeting "_s);
    c<QPlainTextEdit>(u"txtEve_1"_s)->setPlainText(u"Room 2, bring notes"_s);
    c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(u"12/16/2026"_s);
    combo("cmbFroTim_1")->setCurrentIndex(44); // 11:00 AM
    c<QCheckBox>(u"ChkRea_0"_s)->setChecked(true);
    edit("txtReaEve_0")->setText(u"2"_s);
    combo("cmbRea_0")->setCurrentIndex(10); // 3rd Wednesday
    c<QRadioButton>(u"OptReaUnl_1"_s)->click();
    edit("txtReaTim_0")->setText(u"4"_s);
    EXPECT_EQ(
        c<QLabel>(u"lblNextOccurrences"_s)->text(),
        u"Next dates: Wed 12/16/2026, Wed 2/17/2027, Wed 4/21/2027, Wed 6/16/2027, Wed 8/18/2027"_s);
    PrompterGuard prompts;
    prompts->expect(
        u"Saving Event without Attendees will result in Event being applied to all employees."
        "\r\n\r\nDo you wish to continue?"_s,
        u"Event Setup"_s, ui::vbYes);
    press(u"Save"_s);
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_NE(w.CurrentEventID(), 0);
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Staff meeting"_s);
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(c<QLabel>(u"SB_Panel_1"_s)->text(), u"1 of 1"_s);

    office.expectColumns(
        u"select * from CMTable left join EVTable on CMTable.cmID = EVTable.EvLinID"_s, {},
        u"cmTyp=512|cmTraLinID=0|cmTim=10:00:00 AM|cmDat=12/06/2026|cmWho=FRONT|cmPid=0|"
        "cmCat=Events|cmSubCat=EMS|cmWhoMod=FRONT|cmDoc=Room 2, bring notes|"
        "CMSubjec=Staff meeting|EvTyp=1|EvBroStaDatFla=-1|EvBroStaDat=12/16/2026|"
        "EvBroStaTim=9:00:00 AM|evBroDat=11:00:00 AM|EvBroFla=-1|EvBroReaFla=-1|EvBroReaEve=2|"
        "EvBroReaTyp=-4|EvBroNumOfTim=4|EvPID=%1|EvBroEndDat=<null>|EvBroEndDatFla=<null>|"
        "cmModDat=<null>"_s.arg(ann));
}

TEST_F(EventsTest, ValidationListsEveryReasonAloneAndTogether)
{
    const QString title = u"   Event Title/ Description fields is required."_s;
    const QString date = u"   Starting Date is riquired."_s;
    const QString times = u"   From/ To time is required."_s;
    const QString order = u"   From time is after To time."_s;
    const QString unit = u"   Recurring selection is missing ."_s;
    const QString count = u"   Number of Times field is missing."_s;
    const QString until = u"   Until date is missing."_s;
    struct Case {
        bool noTitle, badDate, noFrom, fromAfterTo, noUnit, badCount, badUntil;
        QStringList reasons;
    };
    const Case cases[] = {
        {true, false, false, false, false, false, false, {title}},
        {false, true, false, false, false, false, false, {date}},
        {false, false, true, false, false, false, false, {times}},
        {false, false, false, true, false, false, false, {order}},
        {false, false, false, false, true, false, false, {unit}},
        {false, false, false, false, false, true, false, {count}},
        {false, false, false, false, false, false, true, {until}},
        {true, true, false, true, true, true, false, {title, date, order, unit, count}},
        {true, true, true, false, true, false, true, {title, date, times, unit, until}},
    };
    EMS_EventsFrm& w = open();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.reasons.join(u'|').toStdString());
        w.ClearEvent();
        edit("txtEve_0")->setText(k.noTitle ? u"  "_s : u"Title"_s);
        c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(k.badDate ? u"13/45/2026"_s : u"12/16/2026"_s);
        if (k.noFrom)
            combo("cmbFroTim_0")->setCurrentIndex(-1);
        if (k.fromAfterTo)
            combo("cmbFroTim_0")->setCurrentIndex(80);
        const bool recurring = k.noUnit || k.badCount || k.badUntil;
        c<QCheckBox>(u"ChkRea_0"_s)->setChecked(recurring);
        edit("txtReaEve_0")->setText(u"1"_s);
        if (recurring && !k.noUnit)
            combo("cmbRea_0")->setCurrentIndex(0);
        if (k.badCount || k.badUntil) {
            c<QRadioButton>(k.badCount ? u"OptReaUnl_1"_s : u"OptReaUnl_2"_s)->click();
            edit("txtReaTim_0")->setText(k.badCount ? u"many"_s : u"7"_s);
        }
        if (k.badUntil)
            c<ui::DateCombo>(u"dcmbUnt_0"_s)->setText(u"someday"_s);
        PrompterGuard prompts;
        prompts->expect(QString(), u"Event Editing"_s, ui::vbCancel);
        EXPECT_EQ(w.ValidateEvent(), ui::vbCancel);
        ASSERT_EQ(prompts->shown.size(), 1);
        EXPECT_EQ(prompts->shown[0].text, reasonsText(k.reasons));
        EXPECT_EQ(prompts->shown[0].buttons, 1);
        if (k.badCount || k.badUntil) {
            EXPECT_EQ(edit("txtReaTim_0")->text(), QString());
        }
    }
}

TEST_F(EventsTest, ValidationFillsDefaultsAndNormalisesTheEveryCount)
{
    EMS_EventsFrm& w = open();
    const std::pair<const char*, const char*> counts[] = {
        {"0", "1"}, {"-3", "1"}, {"word", "1"}, {"2.6", "3"}, {"4 weeks", "4"}};
    for (const auto& [typed, shown] : counts) {
        SCOPED_TRACE(typed);
        w.ClearEvent();
        edit("txtEve_0")->setText(u"T"_s);
        combo("cmbFroTim_0")->setCurrentIndex(-1);
        combo("cmbFroTim_1")->setCurrentIndex(-1);
        c<QCheckBox>(u"ChkRea_0"_s)->setChecked(true);
        combo("cmbRea_0")->setCurrentIndex(1);
        edit("txtReaEve_0")->setText(QString::fromLatin1(typed));
        for (int i = 0; i < 3; ++i) {
            auto* o = c<QRadioButton>(u"OptReaUnl_%1"_s.arg(i));
            o->setAutoExclusive(false);
            o->setChecked(false);
            o->setAutoExclusive(true);
        }
        PrompterGuard prompts;
        EXPECT_EQ(w.ValidateEvent(), ui::vbYes);
        EXPECT_EQ(edit("txtReaEve_0")->text(), QString::fromLatin1(shown));
        EXPECT_EQ(combo("cmbFroTim_0")->currentText(), u"09:00 AM"_s);
        EXPECT_EQ(combo("cmbFroTim_1")->currentText(), u"05:30 PM"_s);
        EXPECT_TRUE(c<QRadioButton>(u"OptReaUnl_0"_s)->isChecked());
    }
    // Equal from and to times are valid.
    combo("cmbFroTim_1")->setCurrentIndex(36);
    PrompterGuard prompts;
    EXPECT_EQ(w.ValidateEvent(), ui::vbYes);
}

TEST_F(EventsTest, RecurrenceColumnsRoundTrip)
{
    grantSupervisor();
    const QStringList columns{"evBroReaFla", "evBroReaEve", "evBroReaTyp", "evBroNumOfTim",
                              "EvBroEndDat"};
    const struct {
        const char* name;
        QStringList texts;
        int option;
    } cases[] = {
        {"unlimited", {"-1", "2", "30", "-1"}, 0},
        {"until", {"-1", "1", "7", "-2", "01/31/2027"}, 2},
        {"times", {"-1", "1", "1", "5"}, 1},
        {"other negative", {"-1", "1", "1", "-7"}, 0},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        alone(addEvent(QString::fromLatin1(k.name), ann, u"12/09/2026"_s, u"9:07:00 AM"_s,
                       u"5:00:00 PM"_s, columns.mid(0, k.texts.size()), k.texts));
        open();
        EXPECT_TRUE(c<QCheckBox>(u"ChkRea_0"_s)->isChecked());
        EXPECT_TRUE(c<QRadioButton>(u"OptReaUnl_%1"_s.arg(k.option))->isChecked());
        EXPECT_EQ(combo("cmbFroTim_0")->currentText(), u"09:15 AM"_s);
        EXPECT_EQ(combo("cmbRea_0")->currentData().toString(), k.texts[2]);
        if (k.option == 1) {
            EXPECT_EQ(edit("txtReaTim_0")->text(), k.texts[3]);
        }
        if (k.option == 2) {
            EXPECT_EQ(c<ui::DateCombo>(u"dcmbUnt_0"_s)->text(), k.texts[4]);
        }
        EXPECT_EQ(edit("txtReaTim_0")->isEnabled(), k.option == 1);
        EXPECT_EQ(c<QWidget>(u"dcmbUnt_0"_s)->isEnabled(), k.option == 2);
        window->hide();
    }

    // Typed -1 times is stored as -1 and reads back as Unlimited.
    c<QRadioButton>(u"OptReaUnl_1"_s)->click();
    edit("txtReaTim_0")->setText(u"-1"_s);
    EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    const QVariantList thisEvent{SharedState::current().LinkID};
    EXPECT_EQ(office.scalar(u"select EvBroNumOfTim from EVTable where EVID=?"_s, thisEvent).toInt(),
              -1);
    open();
    EXPECT_TRUE(c<QRadioButton>(u"OptReaUnl_0"_s)->isChecked());
    // Not recurring any more: the flag is cleared.
    c<QCheckBox>(u"ChkRea_0"_s)->setChecked(false);
    EXPECT_FALSE(c<QWidget>(u"cmbRea_0"_s)->isEnabled());
    EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    EXPECT_EQ(office.scalar(u"select EvBroReaFla from EVTable where EVID=?"_s, thisEvent).toInt(),
              0);
}

TEST_F(EventsTest, TimeListsFollowTheClockInterval)
{
    EMS_EventsFrm& w = open();
    EXPECT_EQ(combo("cmbFroTim_0")->count(), 97); // midnight at both ends
    const struct {
        QTime t;
        int index;
    } cases[] = {{QTime(9, 0), 36}, {QTime(9, 7), 37},   {QTime(9, 15), 37},
                 {QTime(0, 0), 0},  {QTime(23, 59), 96}, {QTime(17, 30), 70}};
    for (const auto& k : cases)
        EXPECT_EQ(w.TimeListIndex(common::AutoDate::fromTime(k.t)), k.index)
            << k.t.toString().toStdString();
    w.hide();
    window.reset();

    SharedState::current().ClockInterval = 30;
    EMS_EventsFrm& half = open();
    EXPECT_EQ(combo("cmbFroTim_1")->count(), 49);
    EXPECT_EQ(half.TimeListIndex(common::AutoDate::fromTime(QTime(9, 7))), 19);
}

TEST_F(EventsTest, AWednesdayRelabelsSixUnitEntries)
{
    open();
    auto* units = combo("cmbRea_0");
    QStringList before;
    for (int i = 0; i < units->count(); ++i)
        before << units->itemText(i);
    c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(u"12/09/2026"_s);
    QStringList changed;
    for (int i = 0; i < units->count(); ++i)
        if (units->itemText(i) != before[i])
            changed << units->itemText(i);
    EXPECT_EQ(changed, QStringList({"Wednesday", "1st Wednesday of the month",
                                    "2nd Wednesday of the month", "3rd Wednesday of the month",
                                    "4th Wednesday of the month", "Last Wednesday of the month"}));
    EXPECT_EQ(units->itemData(2).toInt(), -7);
    EXPECT_EQ(units->itemData(12).toInt(), -2);
    // Not a date: the labels stay.
    c<ui::DateCombo>(u"dCmbFro_0"_s)->setText(u"soon"_s);
    EXPECT_EQ(units->itemText(2), u"Wednesday"_s);
}

TEST_F(EventsTest, ChangesWhileLoadingDoNotMarkThePanel)
{
    EMS_EventsFrm w;
    w.load();
    EXPECT_TRUE(w.WindowLoading());
    w.findChild<QLineEdit*>(u"txtEve_0"_s)->setText(u"x"_s);
    EXPECT_FALSE(w.ChangeFlag());
    w.show();
    pump();
    EXPECT_FALSE(w.WindowLoading());
    w.findChild<QLineEdit*>(u"txtEve_0"_s)->setText(u"y"_s);
    EXPECT_TRUE(w.ChangeFlag());
    PrompterGuard prompts;
    prompts->expect(kSaveChange, u"Save Message"_s, ui::vbNo);
    w.close();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(EventsTest, AnEventEndingAtMidnightReloadsAsSavedAndSavesAgain)
{
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    QTest::mouseClick(edit("txtEve_0"), Qt::LeftButton);
    QTest::keyClicks(edit("txtEve_0"), u"Late inventory"_s);
    combo("cmbFroTim_0")->setCurrentIndex(combo("cmbFroTim_0")->findText(u"11:00 PM"_s));
    const int lastEntry = combo("cmbFroTim_1")->count() - 1; // the second 12:00 AM
    combo("cmbFroTim_1")->setCurrentIndex(lastEntry);
    PrompterGuard prompts;
    prompts->expect(kNoAttendees, ui::vbYes);
    press(u"Save"_s);
    const qint64 cm = w.CurrentEventID();
    ASSERT_NE(cm, 0);
    const auto times = [&] {
        return office.rows(u"select EvBroStaTim, evBroDat from EVTable where EvLinID=?"_s, {cm});
    };
    const QStringList saved = times();
    EXPECT_EQ(saved, QStringList{u"11:00:00 PM|12:00:00 AM"_s});
    w.hide();

    // Opened again: the times as they were chosen, and a second save passes validation.
    EMS_EventsFrm& again = open();
    ASSERT_TRUE(showActive(&again));
    ASSERT_EQ(again.CurrentEventID(), cm);
    EXPECT_EQ(combo("cmbFroTim_0")->currentText(), u"11:00 PM"_s);
    EXPECT_EQ(combo("cmbFroTim_1")->currentIndex(), lastEntry);
    QTest::mouseClick(c<QPlainTextEdit>(u"txtEve_1"_s)->viewport(), Qt::LeftButton);
    QTest::keyClicks(c<QPlainTextEdit>(u"txtEve_1"_s), u"Count the stock room"_s);
    press(u"Save"_s); // no "From time is after To time."
    EXPECT_FALSE(again.ChangeFlag());
    EXPECT_EQ(times(), saved);
    EXPECT_EQ(office.scalar(u"select cmDoc from CMTable where cmID=?"_s, {cm}).toString(),
              u"Count the stock room"_s);
}

class AttendeesTest : public EventsTest {
protected:
    // Opens the employee picker with the given button and lets the handler answer it.
    void choose(const char* button, ModalScript::Handler handler)
    {
        ModalScript modal;
        modal.then(std::move(handler));
        c<QPushButton>(QString::fromLatin1(button))->click();
    }
    // The event's addressee rows as "id|person|type|read|snoozes", by type and person.
    QStringList rows(qint64 cm)
    {
        return office.rows(u"select BroChkID, BroChkPID, BroChkTyp, coalesce(BroChkDonDis, 0), "
                           "coalesce(BroChkSno, 0) from BroChkTable where BroChkLinID=? "
                           "order by BroChkTyp, BroChkPID, BroChkID"_s,
                           {cm});
    }
};

TEST_F(AttendeesTest, SavingSynchronisesTheRows)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, ann, 0);
    addAttendee(cm, bob, 0);
    addAttendee(cm, cat, 1);
    addAttendee(cm, bob, 2); // another kind: left alone
    const QStringList before = rows(cm);
    ASSERT_EQ(before.size(), 4);

    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.AttendeeList(0), QString::number(ann) + ',' + QString::number(bob) + ',');
    EXPECT_EQ(w.AttendeeList(1), QString::number(cat) + ',');

    // Attendees: Ann kept, Bob removed, Cat moved over from the copies.
    choose("CmdTo_0", pick({"Adams", "Cole"}));
    EXPECT_TRUE(w.ChangeFlag());
    EXPECT_EQ(c<QLineEdit>(u"txtAtt_0"_s)->text(), u"AA, CC"_s);
    const QString signal = office.dataFolder() + u"TEMP/CMBC.STA"_s;
    QFile::remove(signal);
    {
        PrompterGuard prompts;
        EXPECT_EQ(w.SaveEvent(false, true), ui::vbYes);
    }
    EXPECT_TRUE(QFile::exists(signal));
    EXPECT_EQ(w.AttendeeList(1), QString());
    EXPECT_EQ(c<QLineEdit>(u"txtAtt_1"_s)->text(), QString());
    const QStringList after = rows(cm);
    // Ann's row kept, Cat's added, the other kind left: what each row holds is the store's test.
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0].section(u'|', 0, 0), before[0].section(u'|', 0, 0));
    EXPECT_EQ(after[1].section(u'|', 1, 1), QString::number(cat));

    // Nothing changed in the lists: no inserts, no deletes.
    c<QLineEdit>(u"txtEve_0"_s)->setText(u"Mine again"_s);
    {
        PrompterGuard prompts;
        EXPECT_EQ(w.SaveEvent(false, true), ui::vbYes);
    }
    EXPECT_EQ(rows(cm), after);
    EXPECT_EQ(w.listModel()->data(w.listModel()->index(0, 4)).toString(),
              office.services()->personName(ann) + u", "_s + office.services()->personName(cat));
}

TEST_F(AttendeesTest, PickerCancelKeepsTheListAndOkWithNothingEmptiesIt)
{
    const qint64 cm = addEvent(u"Mine"_s, ann, u"12/11/2026"_s);
    addAttendee(cm, bob, 0);
    EMS_EventsFrm& w = open();
    choose("CmdTo_0", [&](QDialog& d) {
        // The current attendees come preselected.
        const auto selected = dynamic_cast<EMS_EmpList&>(d).list(0)->selectedItems();
        EXPECT_EQ(selected.size(), 1);
        EXPECT_EQ(selected.value(0) ? selected[0]->data(Qt::UserRole).toInt() : 0, bob);
        return pick({}, false)(d);
    });
    EXPECT_EQ(w.AttendeeList(0), QString::number(bob) + ',');
    EXPECT_FALSE(w.ChangeFlag());
    choose("CmdTo_0", pick({}));
    EXPECT_EQ(w.AttendeeList(0), QString());
    EXPECT_TRUE(w.ChangeFlag());
}

TEST_F(AttendeesTest, WholeOfficeAndDepartmentsExpandToPersonsOnce)
{
    EMS_EventsFrm& w = open();
    choose("CmdTo_0", pick({"Entire Office", "Baker"}));
    QStringList ids = w.AttendeeList(0).split(',', Qt::SkipEmptyParts);
    ids.sort();
    QStringList all{QString::number(ann), QString::number(bob), QString::number(cat)};
    all.sort();
    EXPECT_EQ(ids, all);
    choose("CmdTo_1", pick({"Clinic Department", "Cole"}));
    EXPECT_EQ(w.AttendeeList(1), QString::number(bob) + ',' + QString::number(cat) + ',');
    EXPECT_EQ(c<QLineEdit>(u"txtAtt_1"_s)->text(), u"BB, CC"_s);
}

TEST_F(AttendeesTest, OnlyCopiesStillAsksTheAllEmployeesQuestion)
{
    open();
    c<QLineEdit>(u"txtEve_0"_s)->setText(u"Fire drill"_s);
    choose("CmdTo_1", pick({u"Baker"_s}));
    const QString question =
        u"Saving Event without Attendees will result in Event being applied to all employees."_s;
    {
        PrompterGuard prompts;
        // No keeps the unsaved event where the caller can stay (New, Close), else ends the save.
        prompts->expect(question, u"Event Setup"_s, ui::vbNo);
        EXPECT_EQ(window->SaveEvent(false, true), ui::vbCancel);
        prompts->expect(question, u"Event Setup"_s, ui::vbNo);
        EXPECT_EQ(window->SaveEvent(false, false), ui::vbNo);
    }
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
    EXPECT_EQ(c<QLineEdit>(u"txtEve_0"_s)->text(), u"Fire drill"_s);
    {
        PrompterGuard prompts;
        prompts->expect(question, u"Event Setup"_s, ui::vbYes);
        EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    }
    const qint64 cm = window->CurrentEventID();
    const QStringList saved = rows(cm);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].section(u'|', 1, 2), u"%1|1"_s.arg(bob));
}

TEST_F(AttendeesTest, ScreenOfCellsNamesEachEventsOwnAttendeesInTheOrderWritten)
{
    const qint64 team = addEvent(u"Team"_s, ann, u"12/11/2026"_s);
    addAttendee(team, cat, 0);
    addAttendee(team, bob, 1);
    addAttendee(team, ann, 0);
    addAttendee(team, 0, 0); // a computer row names nobody
    const qint64 solo = addEvent(u"Solo"_s, ann, u"12/12/2026"_s);
    addAttendee(solo, bob, 0);
    addAttendee(solo, bob, 2); // neither To nor Cc
    const qint64 none = addEvent(u"None"_s, ann, u"12/13/2026"_s);

    auto& gic = *office.services();
    const QString a = gic.personName(ann), b = gic.personName(bob), c = gic.personName(cat);
    const QHash<qint64, QString> expected{
        {team, c + u", "_s + a + u"/ "_s + b}, {solo, b}, {none, QString()}, {987654, QString()}};
    EXPECT_EQ(events::attendeeCellTexts(gic, *office.db(), {team, solo, none, 987654}), expected);
    // The window's grid shows the same, whichever row is asked first.
    EMS_EventsFrm& w = open();
    EventListModel& model = *w.listModel();
    for (int row = model.rowCount() - 1; row >= 0; --row)
        EXPECT_EQ(model.data(model.index(row, EventListModel::ColToCc)).toString(),
                  expected.value(model.cmIdAt(row)))
            << row;
}

// A new event from the list: Ctrl+N, typed, Ctrl+S, found again with the arrows and deleted
// with Del, as the front desk does it without the mouse.
TEST_F(EventsTest, AnEventIsCreatedSavedAndDeletedByKeyboardAlone)
{
    addEvent(u"Fire drill"_s, ann, u"12/10/2026"_s);
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);

    pressKey(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    EXPECT_EQ(w.CurrentEventID(), 0);
    typeText(u"Staff meeting"_s);
    pressKey(Qt::Key_Tab);
    EXPECT_EQ(focusedName(), u"txtEve_1"_s);
    typeText(u"Room 2"_s);
    // Del in a text field deletes a letter, never the event.
    pressKey(Qt::Key_Home);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(c<QPlainTextEdit>(u"txtEve_1"_s)->toPlainText(), u"oom 2"_s);
    {
        PrompterGuard prompts;
        prompts->expect(kNoAttendees, ui::vbYes);
        pressKey(Qt::Key_S, Qt::ControlModifier);
    }
    const qint32 saved = w.CurrentEventID();
    ASSERT_NE(saved, 0);
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable where cmID=?"_s, {saved}).toString(),
              u"Staff meeting"_s);
    EXPECT_EQ(w.listModel()->rowCount(), 2);

    // Back to the list past the title; the arrows move between events, each loaded as it comes.
    EXPECT_EQ(focusedName(), u"txtEve_1"_s);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    // Today's new event lists before the drill later this month.
    pressKey(Qt::Key_Down);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);
    pressKey(Qt::Key_Up);
    EXPECT_EQ(w.CurrentEventID(), saved);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Staff meeting"_s);

    // Del in the attendee initials, read-only as they are, leaves the event alone.
    for (int i = 0; i < 4; ++i)
        pressKey(Qt::Key_Tab);
    EXPECT_EQ(focusedName(), u"txtAtt_0"_s);
    {
        PrompterGuard noQuestion;
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(w.listModel()->rowCount(), 2);
    for (int i = 0; i < 4; ++i)
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);

    // Del asks what the button asks; No keeps the event.
    {
        PrompterGuard prompts;
        prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbNo);
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(office.scalar(u"select count(*) from CMTable where cmID=?"_s, {saved}).toInt(), 1);
    {
        PrompterGuard prompts;
        prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbYes);
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(office.scalar(u"select count(*) from CMTable where cmID=?"_s, {saved}).toInt(), 0);
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(w.CurrentEventID(), 0);

    // Enter on a row opens that event at its title.
    pressKey(Qt::Key_Down);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);
}

// Each command's key is named in its button's tooltip, and a command the window does not
// allow now does not run by its key either.
TEST_F(EventsTest, ToolbarKeysAreShownAndFollowTheButtons)
{
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    const struct {
        const char* key;
        QKeySequence sequence;
    } keys[] = {{"New", QKeySequence::New},
                {"Save", QKeySequence::Save},
                {"Delete", QKeySequence(Qt::Key_Delete)},
                {"Help", QKeySequence(Qt::Key_F1)},
                {"Close", QKeySequence(Qt::Key_Escape)}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        EXPECT_TRUE(button(QString::fromLatin1(k.key))
                        ->toolTip()
                        .contains(k.sequence.toString(QKeySequence::NativeText)));
    }
    // A new, unchanged event: nothing to save or delete, so the keys do nothing and ask nothing.
    PrompterGuard prompts;
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    pressKey(Qt::Key_S, Qt::ControlModifier);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
    // Esc closes as the close box does, asking first when there is a change.
    pressKey(Qt::Key_Tab);
    typeText(u"Half done"_s);
    prompts->expect(kSaveChange, ui::vbCancel);
    pressKey(Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    prompts->expect(kSaveChange, ui::vbNo);
    pressKey(Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
}

// Every way the window opens: where the focus starts, and Tab and Shift+Tab through every
// control once, in the order the eye reads the window (the list first, then the panel from top
// to bottom), each with a name a screen reader says.
TEST_F(EventsTest, TheFocusChainReadsLikeTheWindowAndNamesEveryStop)
{
    const QStringList recurring = {"evBroReaFla", "EvBroReaEve", "EvBroReaTyp", "EvBroNumOfTim"};
    const QStringList everyTwoWeeksFourTimes = {"-1", "2", "7", "4"};
    // From the title on; the repeat's own stops once it repeats.
    const QStringList panel = {"txtEve_1", "CmdTo_0",     "txtAtt_0",    "CmdTo_1", "txtAtt_1",
                               "dateEdit", "cmbFroTim_0", "cmbFroTim_1", "ChkRea_0"};
    const QStringList repeat = {"txtReaEve_0", "cmbRea_0", "OptReaUnl_0", "txtReaTim_0"};
    const struct {
        const char* name;
        bool single;
        bool withEvent;
        const char* first;
        QStringList forward;
    } cases[] = {{"list with a recurring event", false, true, "TDBG",
                  QStringList{"txtEve_0"} + panel + repeat},
                 {"empty list", false, false, "txtEve_0", panel + QStringList{"TDBG"}},
                 {"one event alone", true, true, "txtEve_0", panel + repeat}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        office.exec(u"delete from EVTable"_s);
        office.exec(u"delete from CMTable"_s);
        SharedState::current().LinkID = 0;
        if (k.withEvent) {
            const qint64 cm = addEvent(u"Fire drill"_s, ann, u"12/10/2026"_s, u"9:00:00 AM"_s,
                                       u"10:00:00 AM"_s, recurring, everyTwoWeeksFourTimes);
            if (k.single)
                alone(cm);
        }
        EMS_EventsFrm& w = open();
        ASSERT_TRUE(showActive(&w));
        EXPECT_EQ(focusedName(), QString::fromLatin1(k.first));
        expectTabRing(&w, k.forward);
        w.hide();
    }
}

// At the office's own font the grid's columns fit a 1280 by 800 screen without scrolling
// sideways, dates and times whole; at 16 pt, light and dark, the list keeps most of its columns
// whole and several rows, no caption is squeezed below what its text needs, and the next dates
// read in the palette's own text colour.
TEST_F(EventsTest, TheGridFitsAndALargeFontAndADarkPaletteLeaveEveryTextReadable)
{
    for (int i = 0; i < 12; ++i) // more rows than the grid shows: its vertical scroll bar comes
        addEvent(u"Quarterly fire extinguisher check %1"_s.arg(i), ann, u"12/%1/2026"_s.arg(10 + i),
                 u"9:00:00 AM"_s, u"10:00:00 AM"_s, {"evBroReaFla", "EvBroReaEve", "EvBroReaTyp"},
                 {"-1", "1", "-2"});
    const struct {
        const char* name;
        qreal points; // 0: the office's own
        QPalette palette;
    } looks[] = {{"plain", 0, QApplication::palette()},
                 {"light", 16, QApplication::style()->standardPalette()},
                 {"dark", 16, darkPalette()}};
    for (const auto& look : looks) {
        SCOPED_TRACE(look.name);
        std::optional<Appearance> appearance;
        if (look.points > 0)
            appearance.emplace(look.points, look.palette);
        EMS_EventsFrm& w = open();
        ASSERT_TRUE(showActive(&w));
        w.resize(1280 * 9 / 10 + 40, 800 * 9 / 10);
        pump();
        EXPECT_LE(w.minimumSizeHint().width(), w.width());
        EXPECT_LE(w.minimumSizeHint().height(), w.height());

        auto* grid = c<QTableView>(u"TDBG"_s);
        if (look.points == 0) {
            int total = 0;
            for (int col = 0; col < grid->model()->columnCount(); ++col)
                if (!grid->isColumnHidden(col))
                    total += grid->columnWidth(col);
            EXPECT_LE(total, grid->viewport()->width());
            EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
            const QFontMetrics metrics(grid->font());
            EXPECT_GE(grid->columnWidth(EventListModel::ColDate),
                      metrics.horizontalAdvance(u"12/28/2026"_s));
            EXPECT_GE(grid->columnWidth(EventListModel::ColETime),
                      metrics.horizontalAdvance(u"12:00 AM"_s));
        }
        // Columns on show whole, each wide enough for its caption.
        QFont bold = grid->horizontalHeader()->font();
        bold.setBold(true);
        int whole = 0;
        for (int col = 0; col < grid->model()->columnCount(); ++col) {
            if (grid->isColumnHidden(col))
                continue;
            const QString caption = grid->model()->headerData(col, Qt::Horizontal).toString();
            EXPECT_GT(grid->columnWidth(col), QFontMetrics(bold).horizontalAdvance(caption))
                << caption.toStdString();
            if (grid->columnViewportPosition(col) >= 0 &&
                grid->columnViewportPosition(col) + grid->columnWidth(col) <=
                    grid->viewport()->width())
                ++whole;
        }
        EXPECT_GE(whole, 5);
        const int rowHeight = grid->rowHeight(0);
        EXPECT_GE(rowHeight, grid->fontMetrics().height());
        EXPECT_GE(grid->viewport()->height() / rowHeight, 6);
        EXPECT_EQ(cutCaptions(&w), QStringList());

        auto* next = c<QLabel>(u"lblNextOccurrences"_s);
        EXPECT_FALSE(next->text().isEmpty());
        const QPalette p = next->palette();
        EXPECT_GE(contrast(p.color(next->foregroundRole()), p.color(next->backgroundRole())), 4.5);
        const QPalette g = grid->palette();
        EXPECT_GE(contrast(g.color(QPalette::Text), g.color(QPalette::Base)), 4.5);
        keepShot(&w, u"events-%1.png"_s.arg(QString::fromLatin1(look.name)));
        w.hide();
    }
}
