#include "EventsFixture.h"

#include "directory/EMS_EmpList.h"
#include "events/EventListModel.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

// Chooses the entries whose text contains one of the fragments and presses OK.
ModalScript::Handler pick(QStringList fragments, bool ok = true)
{
    return [fragments, ok](QDialog& dialog) {
        auto& picker = dynamic_cast<EMS_EmpList&>(dialog);
        EXPECT_EQ(picker.EmpListType(), 1);
        QListWidget* list = picker.list(0);
        list->clearSelection();
        for (int i = 0; i < list->count(); ++i)
            for (const QString& f : fragments)
                if (list->item(i)->text().contains(f))
                    list->item(i)->setSelected(true);
        if (ok && list->selectedItems().isEmpty()) {
            // OK is disabled with nothing chosen; Enter still accepts.
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(list, &enter);
        } else {
            picker.findChild<QPushButton*>(ok ? QStringLiteral("cmd_1") : QStringLiteral("cmd_0"))
                ->click();
        }
        return ok ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
}

struct Row {
    qint64 id;
    qint32 pid;
    int typ, donDis, sno;
    bool operator==(const Row&) const = default;
};

} // namespace

class AttendeesTest : public EventsTest {
protected:
    QList<Row> rows(qint64 cm)
    {
        QList<Row> out;
        auto rs = office.query(QStringLiteral("select * from BroChkTable where BroChkLinID=? "
                                              "order by BroChkTyp, BroChkPID, BroChkID"),
                               {cm});
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            out << Row{rs.value(QStringLiteral("BroChkID")).toLongLong(),
                       rs.value(QStringLiteral("BroChkPID")).toInt(),
                       rs.value(QStringLiteral("BroChkTyp")).toInt(),
                       rs.value(QStringLiteral("BroChkDonDis")).toInt(),
                       rs.value(QStringLiteral("BroChkSno")).toInt()};
        return out;
    }
};

TEST_F(AttendeesTest, SavingSynchronisesTheRows)
{
    const qint64 cm = addEvent(QStringLiteral("Mine"), ann, QStringLiteral("12/11/2026"));
    addAttendee(cm, ann, 0);
    addAttendee(cm, bob, 0);
    addAttendee(cm, cat, 1);
    addAttendee(cm, bob, 2); // another kind: left alone
    const QList<Row> before = rows(cm);
    ASSERT_EQ(before.size(), 4);

    EMS_EventsFrm& w = open();
    EXPECT_EQ(w.AttendeeList(0), QString::number(ann) + ',' + QString::number(bob) + ',');
    EXPECT_EQ(w.AttendeeList(1), QString::number(cat) + ',');

    // Attendees: Ann kept, Bob removed, Cat moved over from the copies.
    {
        ModalScript modal;
        modal.then(pick({QStringLiteral("Adams"), QStringLiteral("Cole")}));
        c<QPushButton>(QStringLiteral("CmdTo_0"))->click();
    }
    EXPECT_TRUE(w.ChangeFlag());
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtAtt_0"))->text(), QStringLiteral("AA, CC"));
    const QString signal = office.dataFolder() + QStringLiteral("TEMP/CMBC.STA");
    QFile::remove(signal);
    {
        PrompterGuard prompts;
        EXPECT_EQ(w.SaveEvent(false, true), ui::vbYes);
    }
    EXPECT_TRUE(QFile::exists(signal));
    EXPECT_EQ(w.AttendeeList(1), QString());
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtAtt_1"))->text(), QString());
    const QList<Row> after = rows(cm);
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0], (Row{before[0].id, ann, 0, 0, 0})); // kept, marks reset
    EXPECT_EQ(after[1].pid, cat);                            // inserted
    EXPECT_EQ(after[1].typ, 0);
    EXPECT_GT(after[1].id, before[3].id);
    EXPECT_EQ(after[2], before[3]); // BroChkTyp 2 untouched

    // Nothing changed in the lists: no inserts, no deletes.
    c<QLineEdit>(QStringLiteral("txtEve_0"))->setText(QStringLiteral("Mine again"));
    {
        PrompterGuard prompts;
        EXPECT_EQ(w.SaveEvent(false, true), ui::vbYes);
    }
    EXPECT_EQ(rows(cm), after);
    EXPECT_EQ(w.listModel()->data(w.listModel()->index(0, 4)).toString(),
              office.services()->personName(ann) + QStringLiteral(", ") +
                  office.services()->personName(cat));
}

TEST_F(AttendeesTest, PickerCancelKeepsTheListAndOkWithNothingEmptiesIt)
{
    const qint64 cm = addEvent(QStringLiteral("Mine"), ann, QStringLiteral("12/11/2026"));
    addAttendee(cm, bob, 0);
    EMS_EventsFrm& w = open();
    {
        ModalScript modal;
        modal.then([&](QDialog& d) {
            auto& picker = dynamic_cast<EMS_EmpList&>(d);
            // The current attendees come preselected.
            const auto selected = picker.list(0)->selectedItems();
            EXPECT_EQ(selected.size(), 1);
            if (!selected.isEmpty())
                EXPECT_EQ(selected[0]->data(Qt::UserRole).toInt(), bob);
            return pick({}, false)(d);
        });
        c<QPushButton>(QStringLiteral("CmdTo_0"))->click();
    }
    EXPECT_EQ(w.AttendeeList(0), QString::number(bob) + ',');
    EXPECT_FALSE(w.ChangeFlag());
    {
        ModalScript modal;
        modal.then(pick({}));
        c<QPushButton>(QStringLiteral("CmdTo_0"))->click();
    }
    EXPECT_EQ(w.AttendeeList(0), QString());
    EXPECT_TRUE(w.ChangeFlag());
}

TEST_F(AttendeesTest, WholeOfficeAndDepartmentsExpandToPersonsOnce)
{
    EMS_EventsFrm& w = open();
    {
        ModalScript modal;
        modal.then(pick({QStringLiteral("Entire Office"), QStringLiteral("Baker")}));
        c<QPushButton>(QStringLiteral("CmdTo_0"))->click();
    }
    QStringList ids = w.AttendeeList(0).split(',', Qt::SkipEmptyParts);
    ids.sort();
    QStringList all{QString::number(ann), QString::number(bob), QString::number(cat)};
    all.sort();
    EXPECT_EQ(ids, all);
    {
        ModalScript modal;
        modal.then(pick({QStringLiteral("Clinic Department"), QStringLiteral("Cole")}));
        c<QPushButton>(QStringLiteral("CmdTo_1"))->click();
    }
    EXPECT_EQ(w.AttendeeList(1), QString::number(bob) + ',' + QString::number(cat) + ',');
    EXPECT_EQ(c<QLineEdit>(QStringLiteral("txtAtt_1"))->text(), QStringLiteral("BB, CC"));
}

TEST_F(AttendeesTest, OnlyCopiesStillAsksTheAllEmployeesQuestion)
{
    open();
    c<QLineEdit>(QStringLiteral("txtEve_0"))->setText(QStringLiteral("Fire drill"));
    {
        ModalScript modal;
        modal.then(pick({QStringLiteral("Baker")}));
        c<QPushButton>(QStringLiteral("CmdTo_1"))->click();
    }
    const QString question = QStringLiteral(
        "Saving Event without Attendees will result in Event being applied to all employees.");
    {
        PrompterGuard prompts;
        prompts->expect(question, QStringLiteral("Event Setup"), ui::vbNo);
        EXPECT_EQ(window->SaveEvent(false, true), ui::vbNo);
    }
    EXPECT_EQ(office.count(QStringLiteral("CMTable")), 0);
    {
        PrompterGuard prompts;
        prompts->expect(question, QStringLiteral("Event Setup"), ui::vbYes);
        EXPECT_EQ(window->SaveEvent(false, true), ui::vbYes);
    }
    const qint64 cm = window->CurrentEventID();
    const QList<Row> saved = rows(cm);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].pid, bob);
    EXPECT_EQ(saved[0].typ, 1);
}
