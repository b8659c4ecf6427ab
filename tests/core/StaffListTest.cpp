// The staff lists the windows show, read from the store: departments, persons, initials.
#include "core/StaffList.h"

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

    const StaffList staff =
        readStaffList(*office.services(), {0, doctor, 0, gone, front, nurse, 424242});
    // Newest record first; "clinical" was the nurse's before Billing.
    EXPECT_EQ(staff.departments, (QStringList{"Billing", "CLINICAL", "Front Desk"}));
    ASSERT_EQ(staff.persons.size(), 3);
    const struct {
        qint32 id;
        const char *last, *first, *initials;
        int index;
    } expected[] = {{doctor, "Doctor", "Dora", "", 1},
                    {front, "Front", "Fay", "FF", 4},
                    {nurse, "Nurse", "Ned", "NN", 5}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(staff.persons[i].id, expected[i].id);
        EXPECT_EQ(staff.persons[i].lastName, QString::fromLatin1(expected[i].last));
        EXPECT_EQ(staff.persons[i].firstName, QString::fromLatin1(expected[i].first));
        EXPECT_EQ(staff.persons[i].initials, QString::fromLatin1(expected[i].initials));
        EXPECT_EQ(staff.persons[i].index, expected[i].index);
    }
    EXPECT_TRUE(readStaffList(*office.services(), {0, 0}).persons.isEmpty());
}

TEST(StaffList, InitialsOfThePersonsTheTableHolds)
{
    Office office;
    const qint32 with = office.addPerson("With", "Wes", " WW ");
    const qint32 without = office.addPerson("Without", "Val", "");
    QList<qint32> ids{with, without, 424242};
    for (qint32 id = 0; id < 600; ++id) // more than one statement's worth
        ids << 500000 + id;
    const QHash<qint32, QString> initials = readPersonInitials(*office.services(), ids);
    EXPECT_EQ(initials.size(), 2);
    EXPECT_EQ(initials.value(with), "WW");
    EXPECT_TRUE(initials.contains(without));
    EXPECT_TRUE(initials.value(without).isEmpty());
}

} // namespace
} // namespace tzsndmsg::core
