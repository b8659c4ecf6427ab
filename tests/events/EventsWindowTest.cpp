#include "EventsFixture.h"

#include "events/EventListModel.h"
#include "ui/DateCombo.h"

#include <QLabel>
#include <QStatusBar>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString reasonsText(const QStringList& reasons)
{
    QString text;
    for (const QString& r : reasons)
        text += CRLF + r;
    return QStringLiteral("The following information is missing or incorrect:") + CRLF + text +
           CRLF + CRLF + QStringLiteral("Data will not be saved.");
}

} // namespace

TEST_F(EventsTest, ListShowsOnlyOwnEventsUnlessSupervisor)
{
    const qint64 mine = addEvent(QStringLiteral("Mine"), ann, QStringLiteral("12/10/2026"));
    addEvent(QStringLiteral("Bobs"), bob, QStringLiteral("12/11/2026"));
    addAttendee(mine, bob, 0);
    addAttendee(mine, cat, 1);
    addAttendee(mine, ann, 2); // another kind of row: not shown

    EMS_EventsFrm& w = open();
    EXPECT_FALSE(w.EventSupervisor());
    ASSERT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(w.listModel()->cmIdAt(0), mine);
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtEve_0"))->text(), QStringLiteral("Mine"));
    EXPECT_EQ(w.CurrentEventID(), mine);
    EXPECT_EQ(c<QLabel>(QStringLiteral("SB_Panel_1"))->text(), QStringLiteral("1 of 1"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Event Setup"));
    const auto names = office.services();
    EXPECT_EQ(w.listModel()->data(w.listModel()->index(0, EventListModel::ColToCc)).toString(),
              names->personName(bob) + QStringLiteral("/ ") + names->personName(cat));
    EXPECT_EQ(w.listModel()->data(w.listModel()->index(0, EventListModel::ColTime)).toString(),
              QStringLiteral("09:00 AM"));
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtAtt_0"))->text(), QStringLiteral("BB"));
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtAtt_1"))->text(), QStringLiteral("CC"));
    w.hide();

    grantSupervisor();
    EMS_EventsFrm& s = open();
    EXPECT_TRUE(s.EventSupervisor());
    EXPECT_EQ(s.listModel()->rowCount(), 2);
    EXPECT_EQ(c<QLabel>(QStringLiteral("SB_Panel_1"))->text(), QStringLiteral("2 of 2"));
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtEve_0"))->text(), QStringLiteral("Bobs"));
}

TEST_F(EventsTest, ToCcColumnIsBuiltOnlyForRowsAsked)
{
    for (int i = 0; i < 30; ++i)
        addEvent(QStringLiteral("E%1").arg(i), ann, QStringLiteral("12/%1/2026").arg(i % 28 + 1));
    EMS_EventsFrm& w = open();
    const int built = w.listModel()->toCcComputations();
    EXPECT_LT(built, 30);
    w.listModel()->data(w.listModel()->index(0, EventListModel::ColToCc));
    w.listModel()->data(w.listModel()->index(0, EventListModel::ColToCc));
    EXPECT_LE(w.listModel()->toCcComputations(), built + 1);
}

TEST_F(EventsTest, SingleEventModeOfAnotherUsersEventDeniesEditing)
{
    qint64 evId = 0;
    addEvent(QStringLiteral("Bobs"), bob, QStringLiteral("12/11/2026"), QStringLiteral("9:00:00 AM"),
             QStringLiteral("10:00:00 AM"), {}, {}, &evId);
    SharedState::current().LinkID = qint32(evId);
    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.toolbarTag(), QStringLiteral("PARTIAL"));
    EXPECT_FALSE(c<QWidget>(QStringLiteral("TDBG"))->isVisible());
    EXPECT_FALSE(button(QStringLiteral("New"))->isVisible());
    EXPECT_FALSE(SharedState::current().RightToEdit);
    EXPECT_FALSE(button(QStringLiteral("New"))->isEnabled());
    EXPECT_FALSE(button(QStringLiteral("Save"))->isEnabled());
    EXPECT_FALSE(button(QStringLiteral("Delete"))->isEnabled());
    EXPECT_FALSE(c<QLineEdit>(QStringLiteral("txtEve_0"))->isEnabled());
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtEve_0"))->text(), QStringLiteral("Bobs"));
    // Closing writes nothing either.
    PrompterGuard prompts;
    button(QStringLiteral("Close"))->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.scalar(QStringLiteral("select CMSubjec from CMTable")).toString(),
              QStringLiteral("Bobs"));
}

TEST_F(EventsTest, SingleEventModeClosesAfterSaveAndAfterDelete)
{
    qint64 evId = 0;
    const qint64 cm = addEvent(QStringLiteral("Mine"), ann, QStringLiteral("12/11/2026"),
                               QStringLiteral("9:00:00 AM"), QStringLiteral("10:00:00 AM"), {}, {},
                               &evId);
    addAttendee(cm, bob, 0);
    auto& st = SharedState::current();
    st.LinkID = qint32(evId);
    {
        EMS_EventsFrm& w = open();
        EXPECT_TRUE(st.RightToEdit);
        EXPECT_FALSE(st.HolidayChanged);
        EXPECT_FALSE(button(QStringLiteral("New"))->isVisible());
        c<QLineEdit>(QStringLiteral("txtEve_0"))->setText(QStringLiteral("  Renamed  "));
        EXPECT_TRUE(button(QStringLiteral("Save"))->isEnabled());
        button(QStringLiteral("Save"))->trigger();
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(st.HolidayChanged);
    }
    auto rs = office.query(QStringLiteral("select CMSubjec, cmModDat, cmWhoMod from CMTable"));
    ASSERT_EQ(rs.recordCount(), 1);
    rs.moveFirst();
    EXPECT_EQ(rs.value(QStringLiteral("CMSubjec")).toString(), QStringLiteral("Renamed"));
    EXPECT_EQ(rs.value(QStringLiteral("cmModDat")).toString(), QStringLiteral("12/06/2026"));
    EXPECT_EQ(office.count(QStringLiteral("EVTable")), 1);

    EMS_EventsFrm& w = open();
    PrompterGuard prompts;
    prompts->expect(QStringLiteral("Are you sure to delete the event?"),
                    QStringLiteral("Delete Event"), ui::vbYes);
    button(QStringLiteral("Delete"))->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.count(QStringLiteral("CMTable")), 0);
    EXPECT_EQ(office.count(QStringLiteral("EVTable")), 0);
    EXPECT_EQ(office.count(QStringLiteral("BroChkTable")), 0);
}

TEST_F(EventsTest, UnchangedSaveWritesNothing)
{
    const qint64 cm = addEvent(QStringLiteral("Mine"), ann, QStringLiteral("12/11/2026"));
    addAttendee(cm, bob, 0);
    EMS_EventsFrm& w = open();
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_FALSE(button(QStringLiteral("Save"))->isEnabled());
    PrompterGuard prompts;
    EXPECT_EQ(w.SaveEvent(true, true), ui::vbYes);
    EXPECT_TRUE(office.scalar(QStringLiteral("select cmModDat from CMTable")).isNull());
    EXPECT_EQ(office.scalar(QStringLiteral("select BroChkSno from BroChkTable")).toInt(), 3);
    EXPECT_FALSE(SharedState::current().HolidayChanged);
}

TEST_F(EventsTest, CancelAtTheSaveQuestionAfterNewKeepsThePanel)
{
    const qint64 cm = addEvent(QStringLiteral("Mine"), ann, QStringLiteral("12/11/2026"));
    EMS_EventsFrm& w = open();
    c<QLineEdit>(QStringLiteral("txtEve_0"))->setText(QStringLiteral("Changed"));
    PrompterGuard prompts;
    prompts->expect(QStringLiteral("Save Current Change?"), QStringLiteral("Save Message"),
                    ui::vbCancel);
    button(QStringLiteral("New"))->trigger();
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtEve_0"))->text(), QStringLiteral("Changed"));
    EXPECT_EQ(w.CurrentEventID(), cm);
    EXPECT_TRUE(w.ChangeFlag());
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_EQ(prompts->shown[0].buttons, 3);

    // The close box asks the same and Cancel keeps the window open.
    prompts->expect(QStringLiteral("Save Current Change?"), QStringLiteral("Save Message"),
                    ui::vbCancel);
    w.reject();
    EXPECT_TRUE(w.isVisible());
    // No throws the change away; the window closes.
    prompts->expect(QStringLiteral("Save Current Change?"), QStringLiteral("Save Message"),
                    ui::vbNo);
    button(QStringLiteral("Close"))->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.scalar(QStringLiteral("select CMSubjec from CMTable")).toString(),
              QStringLiteral("Mine"));
}

TEST_F(EventsTest, NewEventIsWrittenWithEveryColumn)
{
    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.CurrentEventID(), 0);
    EXPECT_EQ(c<QComboBox>(QStringLiteral("cmbFroTim_0"))->currentText(), QStringLiteral("09:00 AM"));
    EXPECT_EQ(c<QComboBox>(QStringLiteral("cmbFroTim_1"))->currentText(), QStringLiteral("05:30 PM"));
    c<QLineEdit>(QStringLiteral("txtEve_0"))->setText(QStringLiteral(" Staff meeting "));
    c<QPlainTextEdit>(QStringLiteral("txtEve_1"))->setPlainText(QStringLiteral("Room 2, bring notes"));
    c<ui::DateCombo>(QStringLiteral("dCmbFro_0"))->setText(QStringLiteral("12/16/2026"));
    c<QComboBox>(QStringLiteral("cmbFroTim_1"))->setCurrentIndex(44); // 11:00 AM
    c<QCheckBox>(QStringLiteral("ChkRea_0"))->setChecked(true);
    c<QLineEdit>(QStringLiteral("txtReaEve_0"))->setText(QStringLiteral("2"));
    c<QComboBox>(QStringLiteral("cmbRea_0"))->setCurrentIndex(10); // 3rd Wednesday
    c<QRadioButton>(QStringLiteral("OptReaUnl_1"))->click();
    c<QLineEdit>(QStringLiteral("txtReaTim_0"))->setText(QStringLiteral("4"));
    EXPECT_EQ(c<QLabel>(QStringLiteral("lblNextOccurrences"))->text(),
              QStringLiteral("Next dates: Wed 12/16/2026, Wed 2/17/2027, Wed 4/21/2027, "
                             "Wed 6/16/2027, Wed 8/18/2027"));
    PrompterGuard prompts;
    prompts->expect(QStringLiteral("Saving Event without Attendees will result in Event being "
                                   "applied to all employees.\r\n\r\nDo you wish to continue?"),
                    QStringLiteral("Event Setup"), ui::vbYes);
    button(QStringLiteral("Save"))->trigger();
    ASSERT_EQ(prompts->shown.size(), 1);
    EXPECT_EQ(prompts->shown[0].icon, 64);
    EXPECT_NE(w.CurrentEventID(), 0);
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_TRUE(SharedState::current().HolidayChanged);
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtEve_0"))->text(), QStringLiteral("Staff meeting"));
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(c<QLabel>(QStringLiteral("SB_Panel_1"))->text(), QStringLiteral("1 of 1"));

    auto rs = office.query(QStringLiteral("select * from CMTable left join EVTable on "
                                          "CMTable.cmID = EVTable.EvLinID"));
    ASSERT_EQ(rs.recordCount(), 1);
    rs.moveFirst();
    const std::pair<const char*, QVariant> expected[] = {
        {"cmTyp", 512}, {"cmTraLinID", 0}, {"cmTim", "10:00:00 AM"}, {"cmDat", "12/06/2026"},
        {"cmWho", "FRONT"}, {"cmPid", 0}, {"cmCat", "Events"}, {"cmSubCat", "EMS"},
        {"cmWhoMod", "FRONT"}, {"cmDoc", "Room 2, bring notes"}, {"CMSubjec", "Staff meeting"},
        {"EvPID", ann}, {"EvTyp", 1}, {"EvBroStaDatFla", -1}, {"EvBroStaDat", "12/16/2026"},
        {"EvBroStaTim", "9:00:00 AM"}, {"evBroDat", "11:00:00 AM"}, {"EvBroFla", -1},
        {"EvBroReaFla", -1}, {"EvBroReaEve", 2}, {"EvBroReaTyp", -4}, {"EvBroNumOfTim", 4}};
    for (const auto& [column, value] : expected)
        EXPECT_EQ(rs.value(QString::fromLatin1(column)).toString(), value.toString()) << column;
    EXPECT_TRUE(rs.isNull(QStringLiteral("EvBroEndDat")));
    EXPECT_TRUE(rs.isNull(QStringLiteral("EvBroEndDatFla")));
    EXPECT_TRUE(rs.isNull(QStringLiteral("cmModDat")));
}

TEST_F(EventsTest, ValidationListsEveryReasonAloneAndTogether)
{
    const QString title = QStringLiteral("   Event Title/ Description fields is required.");
    const QString date = QStringLiteral("   Starting Date is riquired.");
    const QString times = QStringLiteral("   From/ To time is required.");
    const QString order = QStringLiteral("   From time is after To time.");
    const QString unit = QStringLiteral("   Recurring selection is missing .");
    const QString count = QStringLiteral("   Number of Times field is missing.");
    const QString until = QStringLiteral("   Until date is missing.");
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
        w.ClearEvent();
        c<QLineEdit>(QStringLiteral("txtEve_0"))->setText(k.noTitle ? QStringLiteral("  ")
                                                                    : QStringLiteral("Title"));
        c<ui::DateCombo>(QStringLiteral("dCmbFro_0"))
            ->setText(k.badDate ? QStringLiteral("13/45/2026") : QStringLiteral("12/16/2026"));
        if (k.noFrom)
            c<QComboBox>(QStringLiteral("cmbFroTim_0"))->setCurrentIndex(-1);
        if (k.fromAfterTo)
            c<QComboBox>(QStringLiteral("cmbFroTim_0"))->setCurrentIndex(80);
        const bool recurring = k.noUnit || k.badCount || k.badUntil;
        c<QCheckBox>(QStringLiteral("ChkRea_0"))->setChecked(recurring);
        c<QLineEdit>(QStringLiteral("txtReaEve_0"))->setText(QStringLiteral("1"));
        if (recurring && !k.noUnit)
            c<QComboBox>(QStringLiteral("cmbRea_0"))->setCurrentIndex(0);
        if (k.badCount) {
            c<QRadioButton>(QStringLiteral("OptReaUnl_1"))->click();
            c<QLineEdit>(QStringLiteral("txtReaTim_0"))->setText(QStringLiteral("many"));
        }
        if (k.badUntil) {
            c<QRadioButton>(QStringLiteral("OptReaUnl_2"))->click();
            c<QLineEdit>(QStringLiteral("txtReaTim_0"))->setText(QStringLiteral("7"));
            c<ui::DateCombo>(QStringLiteral("dcmbUnt_0"))->setText(QStringLiteral("someday"));
        }
        PrompterGuard prompts;
        prompts->expect(QString(), QStringLiteral("Event Editing"), ui::vbCancel);
        EXPECT_EQ(w.ValidateEvent(), ui::vbCancel);
        ASSERT_EQ(prompts->shown.size(), 1);
        EXPECT_EQ(prompts->shown[0].text, reasonsText(k.reasons));
        EXPECT_EQ(prompts->shown[0].buttons, 1);
        EXPECT_EQ(prompts->shown[0].icon, 0);
        if (k.badCount || k.badUntil)
            EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtReaTim_0"))->text(), QString());
    }
}

TEST_F(EventsTest, ValidationFillsDefaultsAndNormalisesTheEveryCount)
{
    EMS_EventsFrm& w = open();
    const std::pair<const char*, const char*> counts[] = {
        {"0", "1"}, {"-3", "1"}, {"word", "1"}, {"2.6", "3"}, {"4 weeks", "4"}};
    for (const auto& [typed, shown] : counts) {
        w.ClearEvent();
        c<QLineEdit>(QStringLiteral("txtEve_0"))->setText(QStringLiteral("T"));
        c<QComboBox>(QStringLiteral("cmbFroTim_0"))->setCurrentIndex(-1);
        c<QComboBox>(QStringLiteral("cmbFroTim_1"))->setCurrentIndex(-1);
        c<QCheckBox>(QStringLiteral("ChkRea_0"))->setChecked(true);
        c<QComboBox>(QStringLiteral("cmbRea_0"))->setCurrentIndex(1);
        c<QLineEdit>(QStringLiteral("txtReaEve_0"))->setText(QString::fromLatin1(typed));
        for (const char* name : {"OptReaUnl_0", "OptReaUnl_1", "OptReaUnl_2"}) {
            auto* o = c<QRadioButton>(QString::fromLatin1(name));
            o->setAutoExclusive(false);
            o->setChecked(false);
            o->setAutoExclusive(true);
        }
        PrompterGuard prompts;
        EXPECT_EQ(w.ValidateEvent(), ui::vbYes) << typed;
        EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtReaEve_0"))->text(), QString::fromLatin1(shown));
        EXPECT_EQ(c<QComboBox>(QStringLiteral("cmbFroTim_0"))->currentText(), QStringLiteral("09:00 AM"));
        EXPECT_EQ(c<QComboBox>(QStringLiteral("cmbFroTim_1"))->currentText(), QStringLiteral("05:30 PM"));
        EXPECT_TRUE(c<QRadioButton>(QStringLiteral("OptReaUnl_0"))->isChecked());
    }
    // Equal from and to times are valid.
    c<QComboBox>(QStringLiteral("cmbFroTim_1"))->setCurrentIndex(36);
    PrompterGuard prompts;
    EXPECT_EQ(w.ValidateEvent(), ui::vbYes);
}

TEST_F(EventsTest, RecurrenceColumnsRoundTrip)
{
    grantSupervisor();
    struct Case {
        const char* name;
        QStringList names, texts;
        int option;
        QString times, until;
    };
    const Case cases[] = {
        {"unlimited", {"evBroReaFla", "evBroReaEve", "evBroReaTyp", "evBroNumOfTim"},
         {"-1", "2", "30", "-1"}, 0, QString(), QString()},
        {"until", {"evBroReaFla", "evBroReaEve", "evBroReaTyp", "evBroNumOfTim", "EvBroEndDat"},
         {"-1", "1", "7", "-2", "01/31/2027"}, 2, QString(), QStringLiteral("01/31/2027")},
        {"times", {"evBroReaFla", "evBroReaEve", "evBroReaTyp", "evBroNumOfTim"},
         {"-1", "1", "1", "5"}, 1, QStringLiteral("5"), QString()},
        {"other negative", {"evBroReaFla", "evBroReaEve", "evBroReaTyp", "evBroNumOfTim"},
         {"-1", "1", "1", "-7"}, 0, QString(), QString()},
    };
    for (const Case& k : cases) {
        qint64 evId = 0;
        addEvent(QString::fromLatin1(k.name), ann, QStringLiteral("12/09/2026"),
                 QStringLiteral("9:07:00 AM"), QStringLiteral("5:00:00 PM"), k.names, k.texts, &evId);
        SharedState::current().LinkID = qint32(evId);
        open();
        EXPECT_TRUE(c<QCheckBox>(QStringLiteral("ChkRea_0"))->isChecked()) << k.name;
        EXPECT_TRUE(c<QRadioButton>(QStringLiteral("OptReaUnl_%1").arg(k.option))->isChecked())
            << k.name;
        EXPECT_EQ(c<QComboBox>(QStringLiteral("cmbFroTim_0"))->currentText(), QStringLiteral("09:15 AM"));
        EXPECT_EQ(c<QComboBox>(QStringLiteral("cmbRea_0"))->currentData().toString(), k.texts[2]);
        if (k.option == 1)
            EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtReaTim_0"))->text(), k.times);
        if (k.option == 2)
            EXPECT_EQ(c<ui::DateCombo>(QStringLiteral("dcmbUnt_0"))->text(), k.until);
        EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtReaTim_0"))->isEnabled(), k.option == 1);
        EXPECT_EQ(c<QWidget>(QStringLiteral("dcmbUnt_0"))->isEnabled(), k.option == 2);
        window->hide();
    }

    // Typed -1 times is stored as -1 and reads back as Unlimited.
    c<QRadioButton>(QStringLiteral("OptReaUnl_1"))->click();
    c<QLineEdit>(QStringLiteral("txtReaTim_0"))->setText(QStringLiteral("-1"));
    EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    EXPECT_EQ(office.scalar(QStringLiteral("select EvBroNumOfTim from EVTable where EVID=?"),
                            {SharedState::current().LinkID})
                  .toInt(),
              -1);
    open();
    EXPECT_TRUE(c<QRadioButton>(QStringLiteral("OptReaUnl_0"))->isChecked());
    // Not recurring any more: the flag is cleared, the other columns keep their values.
    c<QCheckBox>(QStringLiteral("ChkRea_0"))->setChecked(false);
    EXPECT_FALSE(c<QWidget>(QStringLiteral("cmbRea_0"))->isEnabled());
    EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    auto rs = office.query(QStringLiteral("select * from EVTable where EVID=?"),
                           {SharedState::current().LinkID});
    rs.moveFirst();
    EXPECT_EQ(rs.value(QStringLiteral("EvBroReaFla")).toInt(), 0);
    EXPECT_EQ(rs.value(QStringLiteral("EvBroReaTyp")).toInt(), 1);
    EXPECT_EQ(rs.value(QStringLiteral("EvBroNumOfTim")).toInt(), -1);
}

TEST_F(EventsTest, TimeListsFollowTheClockInterval)
{
    EMS_EventsFrm& w = open();
    auto* from = c<QComboBox>(QStringLiteral("cmbFroTim_0"));
    ASSERT_EQ(from->count(), 97);
    EXPECT_EQ(from->itemText(0), QStringLiteral("12:00 AM"));
    EXPECT_EQ(from->itemText(95), QStringLiteral("11:45 PM"));
    EXPECT_EQ(from->itemText(96), QStringLiteral("12:00 AM"));
    const struct {
        QTime t;
        int index;
    } cases[] = {{QTime(9, 0), 36}, {QTime(9, 7), 37}, {QTime(9, 15), 37}, {QTime(0, 0), 0},
                 {QTime(23, 59), 96}, {QTime(17, 30), 70}};
    for (const auto& k : cases)
        EXPECT_EQ(w.TimeListIndex(common::AutoDate::fromTime(k.t)), k.index) << k.t.toString().toStdString();
    w.hide();
    window.reset();

    SharedState::current().ClockInterval = 30;
    EMS_EventsFrm& half = open();
    EXPECT_EQ(c<QComboBox>(QStringLiteral("cmbFroTim_1"))->count(), 49);
    EXPECT_EQ(half.TimeListIndex(common::AutoDate::fromTime(QTime(9, 7))), 19);
}

TEST_F(EventsTest, AWednesdayRelabelsSixUnitEntries)
{
    open();
    auto* units = c<QComboBox>(QStringLiteral("cmbRea_0"));
    QStringList before;
    for (int i = 0; i < units->count(); ++i)
        before << units->itemText(i);
    c<ui::DateCombo>(QStringLiteral("dCmbFro_0"))->setText(QStringLiteral("12/09/2026"));
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
    c<ui::DateCombo>(QStringLiteral("dCmbFro_0"))->setText(QStringLiteral("soon"));
    EXPECT_EQ(units->itemText(2), QStringLiteral("Wednesday"));
}

TEST_F(EventsTest, ChangesWhileLoadingDoNotMarkThePanel)
{
    EMS_EventsFrm w;
    w.load();
    EXPECT_TRUE(w.WindowLoading());
    w.findChild<QLineEdit*>(QStringLiteral("txtEve_0"))->setText(QStringLiteral("x"));
    EXPECT_FALSE(w.ChangeFlag());
    w.show();
    pump();
    EXPECT_FALSE(w.WindowLoading());
    w.findChild<QLineEdit*>(QStringLiteral("txtEve_0"))->setText(QStringLiteral("y"));
    EXPECT_TRUE(w.ChangeFlag());
    PrompterGuard prompts;
    prompts->expect(QStringLiteral("Save Current Change?"), QStringLiteral("Save Message"), ui::vbNo);
    w.close();
    EXPECT_FALSE(w.isVisible());
}
