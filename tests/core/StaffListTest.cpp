// The staff lists the windows show, read from the store: departments, persons, initials.
#include "core/StaffList.h"

#include "db/Internals.h"
#include "support/Office.h"

namespace tzsndmsg::core {
namespace {

using testing::Office;

TEST(StaffList, DepartmentsOfTheLatestRecordsThenThePersonsStillInTheOffice)
{
    Office office;
    const qint32 nurse = office.addEmployee("Nurse", "Ned", "NN", "NURSE", "clinical");
    const qint32 front = office.addEmployee("Front", "Fay", "FF", "FRONT", "Front Desk");
    const qint32 doctor = office.addEmployee("Doctor", "Dora", "", "DOCTOR", "CLINICAL");
    const qint32 gone = office.addPerson("Gone", "Gil", "GG", true, true);
    office.addEmployment(nurse, "Billing"); // the nurse's latest record

    const quint64 before = db::Internals::statementsRun();
    const StaffList staff =
        readStaffList(*office.services(), {0, doctor, 0, gone, front, nurse, 424242});
    // Departments in one statement, persons in another, however many employees.
    EXPECT_EQ(db::Internals::statementsRun() - before, 2u);
    // Newest record first; "clinical" was the nurse's before Billing.
    EXPECT_EQ(staff.departments, (QStringList{"Billing", "CLINICAL", "Front Desk"}));
    // Id, names, initials and the index in the ids given.
    QStringList persons;
    for (const auto& p : staff.persons)
        persons << QString("%1|%2|%3|%4|%5")
                       .arg(p.id)
                       .arg(p.lastName, p.firstName, p.initials)
                       .arg(p.index);
    EXPECT_EQ(persons, (QStringList{QString("%1|Doctor|Dora||1").arg(doctor),
                                    QString("%1|Front|Fay|FF|4").arg(front),
                                    QString("%1|Nurse|Ned|NN|5").arg(nurse)}));
    EXPECT_TRUE(readStaffList(*office.services(), {0, 0}).persons.isEmpty());
}

TEST(StaffList, InitialsOfThePersonsTheTableHolds)
{
    Office office;
    const qint32 with = office.addPerson("With", "Wes", " WW ");
    const qint32 without = office.addPerson("Without", "Val", "");
    QList<qint32> ids{with, without, 424242};
    for (qint32 id = 0; id < 600; ++id) // a whole office's worth: still one statement
        ids << 500000 + id;
    const quint64 before = db::Internals::statementsRun();
    const QHash<qint32, QString> initials = readPersonInitials(*office.services(), ids);
    EXPECT_EQ(db::Internals::statementsRun() - before, 1u);
    EXPECT_EQ(initials.size(), 2);
    EXPECT_EQ(initials.value(with), "WW");
    EXPECT_TRUE(initials.contains(without));
    EXPECT_TRUE(initials.value(without).isEmpty());
}

} // namespace
} // namespace tzsndmsg::core
