#include "EventsFixture.h"
#include "events/EventListModel.h"
#include "ui/DateCombo.h"

#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QString kSaveChange = u"Save Current Change?"_s;

QString reasonsText(const QStringList& reasons)
{
    return u"The following information is missing or incorrect:\r\n"_s +
           (u"\r\n"_s + reasons.join(u"\r\n"_s)) + u"\r\n\r\nData will not be saved."_s;
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
    prompts->expect(u"Are you sure to delete the event?"_s, u"Delete Event"_s, ui::vbYes);
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
    prompts->expect(u"Saving Event without Attendees"_s, ui::vbYes);
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
