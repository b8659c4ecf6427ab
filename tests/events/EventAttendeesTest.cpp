#include "EventsFixture.h"
#include "core/EventStore.h"
#include "directory/EMS_EmpList.h"
#include "events/EventListModel.h"
#include "support/Picker.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

// The picker the event's buttons open, answered.
ModalScript::Handler pick(QStringList fragments, bool ok = true)
{
    return [answer = pickEntries(std::move(fragments), ok)](QDialog& dialog) {
        EXPECT_EQ(dynamic_cast<EMS_EmpList&>(dialog).EmpListType(), 1);
        return answer(dialog);
    };
}

} // namespace

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
