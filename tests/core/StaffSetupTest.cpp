#include "FileSystemHelpers.h"
#include "core/LoginList.h"
#include "support/Office.h"
#include "tzsndmsg/Staff.h"

#include <QDir>
#include <QFile>

using tzsndmsg::testing::Office;
using namespace tzsndmsg;

namespace {

StaffPersonFields person(const QString& last, const QString& initials,
                         const QString& department = QString(), const QString& login = QString())
{
    StaffPersonFields f;
    f.last = last;
    f.first = "Pat";
    f.initials = initials;
    if (!department.isEmpty())
        f.department = department;
    if (!login.isEmpty())
        f.login = login;
    return f;
}

qint32 add(Office& office, const StaffPersonFields& fields)
{
    qint32 id = 0;
    QString error;
    EXPECT_TRUE(addStaffPerson(*office.db(), fields, &id, &error)) << error.toStdString();
    return id;
}

QByteArray machines(const Office& office)
{
    return tzsndmsg::testing::readAll(office.dataFolder() + "stp/Machines.Ini");
}

} // namespace

TEST(StaffSetup, TextChecksRefuseWhatTheListsCannotShow)
{
    const struct {
        StaffField field;
        QString text;
        const char* problem; // empty: accepted
    } cases[] = {
        {StaffField::LastName, "O'Neill \"Jr\" \\ x", ""},
        {StaffField::LastName, QString(), "the last name is missing"},
        {StaffField::FirstName, QString(), ""},
        {StaffField::LastName, QString(kMaxLastNameLength, QLatin1Char('a')), ""},
        {StaffField::LastName, QString(kMaxLastNameLength + 1, QLatin1Char('a')), "longer than 50"},
        {StaffField::Initials, "A\tB", "control character"},
        {StaffField::Department, "front\ndesk", "control character"},
        {StaffField::Department, "front\u2028desk", "control character"},
        {StaffField::Login, QString(kMaxLoginLength + 1, QLatin1Char('L')), "longer than 20"},
        {StaffField::Login, QString(), "the login is missing"},
        {StaffField::ComputerName, "EXAM 2", "holds a blank"},
        {StaffField::ComputerName, "EXAM\r2", "control character"},
        {StaffField::ComputerName, "EXAM-2", ""},
    };
    for (const auto& c : cases) {
        const QString problem = staffTextProblem(c.field, normalizedStaffText(c.field, c.text));
        if (!*c.problem)
            EXPECT_TRUE(problem.isEmpty()) << c.text.toStdString() << ": " << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(c.problem))
                << c.text.toStdString() << ": " << problem.toStdString();
    }
    EXPECT_EQ(normalizedStaffText(StaffField::Login, "  anna "), "ANNA");
    EXPECT_EQ(normalizedStaffText(StaffField::LastName, " von Berg "), "von Berg");
}

TEST(StaffSetup, PeopleAreWrittenAsTheLoginListAndRightsCheckReadThem)
{
    Office office;
    const qint32 anna = add(office, person(" Alvarez ", "AA", "front desk", " anna "));
    const qint32 ben = add(office, person("O\"Brien \\ 'x'", "BB"));
    ASSERT_GT(anna, 0);
    ASSERT_GT(ben, anna);
    QString error;
    ASSERT_TRUE(addLogin(*office.db(), "ben", ben, &error)) << error.toStdString();
    ASSERT_TRUE(setLoginRight(*office.db(), "Anna", kSupervisorRight, true, &error));
    ASSERT_TRUE(setLoginRight(*office.db(), "BEN", kPayrollMessagesRight, true, &error));

    // What the services and the login list read.
    auto services = office.services();
    EXPECT_TRUE(services->checkRight("ANNA", kSupervisorRight, "PWAWriFla", QString()));
    EXPECT_FALSE(services->checkRight("BEN", kSupervisorRight, "PWAWriFla", QString()));
    EXPECT_TRUE(services->checkRight("BEN", kPayrollMessagesRight, "PWAWriFla", QString()));
    EXPECT_EQ(services->employeeOfLogin("anna"), anna);
    const core::LoginList logins = core::readLoginList(*services);
    EXPECT_TRUE(logins.names.contains("ANNA"));
    EXPECT_TRUE(logins.names.contains("BEN"));
    EXPECT_EQ(office.scalar("SELECT PLasNam FROM PATable WHERE pID = ?", {ben}), "O\"Brien \\ 'x'");
    EXPECT_EQ(office.scalar("SELECT PLasNam FROM PATable WHERE pID = ?", {anna}), "Alvarez");

    ASSERT_TRUE(setLoginRight(*office.db(), "anna", kSupervisorRight, false, &error));
    EXPECT_FALSE(services->checkRight("ANNA", kSupervisorRight, "PWAWriFla", QString()));
    ASSERT_TRUE(removeLogin(*office.db(), " ben", &error));
    EXPECT_EQ(office.count("PWATable"), 0);
    EXPECT_FALSE(services->isLogin("BEN"));
}

TEST(StaffSetup, ALoginGivenInAnEditIsAddedRenamedWithItsRightsOrRemoved)
{
    Office office;
    const qint32 id = add(office, person("Ito", "II"));
    QString error;
    auto setLogin = [&](const QString& login) {
        StaffPersonFields f;
        f.login = login;
        return editStaffPerson(*office.db(), id, f, &error);
    };
    auto stored = [&] { return office.rows("SELECT PWMUseNam FROM PWMTable ORDER BY PWMID"); };
    ASSERT_TRUE(setLogin("iris")) << error.toStdString();
    ASSERT_TRUE(setLoginRight(*office.db(), "IRIS", kPayrollMessagesRight, true, &error));
    ASSERT_TRUE(setLogin(" Iris "));
    EXPECT_EQ(stored(), QStringList{"IRIS"});
    ASSERT_TRUE(setLogin("IITO"));
    EXPECT_EQ(stored(), QStringList{"IITO"});
    EXPECT_TRUE(
        office.services()->checkRight("IITO", kPayrollMessagesRight, "PWAWriFla", QString()));
    ASSERT_TRUE(setLogin(QString()));
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_EQ(office.count("PWATable"), 0);
}

TEST(StaffSetup, ADepartmentChangeStartsANewEmploymentRecord)
{
    Office office;
    const qint32 id = add(office, person("Chen", "CC", "front desk"));
    StaffPersonFields change;
    change.department = "Billing";
    QString error;
    ASSERT_TRUE(editStaffPerson(*office.db(), id, change, &error)) << error.toStdString();
    // The same department again is no change.
    ASSERT_TRUE(editStaffPerson(*office.db(), id, change, &error));
    EXPECT_EQ(office.count("EBTable", "EBPid = ?", {id}), 2);
    EXPECT_EQ(office.count("ESTable"), 2);
    // The latest record that is not terminated, as the staff list takes it.
    EXPECT_EQ(office.scalar(QStringLiteral("SELECT EBDep FROM EBTable WHERE EBID = (SELECT "
                                           "max(EBTable.EBID) FROM EBTable INNER JOIN ESTable ON "
                                           "EBTable.EBID = ESTable.EBID WHERE EBPid = ?)"),
                            {id}),
              "Billing");
    StaffPerson read;
    ASSERT_TRUE(readStaffPerson(*office.db(), id, read, &error));
    EXPECT_EQ(read.department, "Billing");

    // Released: the employment ends, and the department is kept for the record; rehired: a new
    // employment in it.
    ASSERT_TRUE(releaseStaffPerson(*office.db(), id, QDate(2026, 6, 30), &error));
    EXPECT_EQ(office.count("ESTable", "ESSta = 'Terminated'"), 2);
    ASSERT_TRUE(readStaffPerson(*office.db(), id, read, &error));
    EXPECT_EQ(read.released, QDate(2026, 6, 30));
    EXPECT_EQ(read.department, "Billing");
    change.department = "Clinical";
    EXPECT_FALSE(editStaffPerson(*office.db(), id, change, &error));
    EXPECT_TRUE(error.contains("rehire before")) << error.toStdString();
    ASSERT_TRUE(rehireStaffPerson(*office.db(), id, &error)) << error.toStdString();
    ASSERT_TRUE(readStaffPerson(*office.db(), id, read, &error));
    EXPECT_FALSE(read.released);
    EXPECT_EQ(read.department, "Billing");
    EXPECT_EQ(office.count("ESTable", "ESSta = 'Active'"), 1);
}

TEST(StaffSetup, ChangesThatBreakTheRulesAreRefusedAndWriteNothing)
{
    Office office;
    const qint32 anna = add(office, person("Alvarez", "AA", {}, "ANNA"));
    const qint32 kyle = add(office, person("Klein", "KK", {}, "KYLE"));
    QString error;
    ASSERT_TRUE(releaseStaffPerson(*office.db(), kyle, QDate(2026, 4, 30), &error));
    const qint32 karl = add(office, person("Kamp", "kk"));

    auto edit = [](qint32 id, auto set) {
        StaffChange c;
        c.kind = StaffChange::Kind::Edit;
        c.personId = id;
        set(c.fields);
        return c;
    };
    auto other = [](StaffChange::Kind kind, qint32 id) {
        StaffChange c;
        c.kind = kind;
        c.personId = id;
        return c;
    };
    StaffChange addTwin;
    addTwin.fields = person("Abbot", " aa ");
    StaffChange noInitials;
    noInitials.fields = person("Nobody", QString());
    StaffChange loginCase;
    loginCase.fields = person("Annie", "AN", {}, " anna");
    StaffChange supervisor;
    supervisor.fields = person("Sue", "SU", {}, "supervisor");
    const struct {
        StaffChange change;
        const char* problem;
    } cases[] = {
        {addTwin, "initials AA are taken by Alvarez"},
        {noInitials, "initials are missing"},
        {loginCase, "login ANNA is taken"},
        {supervisor, "SUPERVISOR is the office's own login"},
        {edit(anna, [](StaffPersonFields& f) { f.initials = "KK"; }),
         "initials KK are taken by Kamp"},
        {edit(kyle, [](StaffPersonFields& f) { f.login = "KLEIN"; }),
         "released person gets no login"},
        {edit(anna, [](StaffPersonFields& f) { f.department = QString(51, QLatin1Char('d')); }),
         "longer than 50"},
        {edit(4242, [](StaffPersonFields& f) { f.last = "X"; }), "no person with id 4242"},
        {other(StaffChange::Kind::Rehire, anna), "is not released"},
        // Kamp holds KK now: Kyle cannot come back with them.
        {other(StaffChange::Kind::Rehire, kyle), "initials KK are now taken by Kamp"},
        {other(StaffChange::Kind::Release, -3), "no person with id -3"},
    };
    const int people = office.count("PATable");
    const int logins = office.count("PWMTable");
    for (const auto& c : cases) {
        QList<StaffProblem> problems;
        EXPECT_FALSE(applyStaffChanges(*office.db(), {c.change}, problems, false, nullptr, &error));
        ASSERT_EQ(problems.size(), 1) << c.problem;
        EXPECT_TRUE(problems.first().text.contains(c.problem))
            << c.problem << ": " << problems.first().text.toStdString();
    }
    EXPECT_EQ(office.count("PATable"), people);
    EXPECT_EQ(office.count("PWMTable"), logins);
    EXPECT_EQ(office.scalar("SELECT PDocIni FROM PATable WHERE pID = ?", {anna}), "AA");
    (void)karl;
}

TEST(StaffSetup, ABatchNamesEveryBadEntryAndIsAllOrNothing)
{
    Office office;
    add(office, person("Alvarez", "AA", {}, "ANNA"));
    QList<StaffChange> changes;
    for (const auto& [last, initials, login] :
         {std::tuple{"Good", "GO", "GOOD"}, std::tuple{"Twin1", "TW", ""},
          std::tuple{"Twin2", "tw", ""}, std::tuple{"Taken", "TA", "anna"},
          std::tuple{"Same", "S1", "new"}, std::tuple{"Same", "S2", " NEW "}}) {
        StaffChange c;
        c.fields = person(last, initials, {}, login);
        changes.append(c);
    }
    QList<StaffProblem> problems;
    QString error;
    ASSERT_FALSE(applyStaffChanges(*office.db(), changes, problems, false, nullptr, &error));
    QList<int> bad;
    for (const StaffProblem& p : problems)
        bad << p.index;
    EXPECT_EQ(bad, (QList<int>{2, 3, 5}));
    EXPECT_EQ(office.count("PATable"), 1);

    // Without the bad ones: a dry run writes nothing, the real run all.
    for (int i : {5, 3, 2})
        changes.removeAt(i);
    QList<qint32> ids;
    ASSERT_TRUE(applyStaffChanges(*office.db(), changes, problems, true, &ids, &error));
    EXPECT_EQ(ids, (QList<qint32>{0, 0, 0}));
    EXPECT_EQ(office.count("PATable"), 1);
    ASSERT_TRUE(applyStaffChanges(*office.db(), changes, problems, false, &ids, &error))
        << error.toStdString();
    EXPECT_EQ(ids.size(), 3);
    EXPECT_EQ(office.count("PATable"), 4);
    EXPECT_EQ(office.count("PWMTable"), 3);
}

TEST(StaffSetup, TheComputerListIsWrittenAsItIsReadAndRefusesALink)
{
    Office office;
    office.writeMachinesIni("FRONTDESK\r\nexam-1\nLAB\r\nOLD");
    QString error;
    ASSERT_TRUE(addComputer(office.dataFolder(), " exam-2 ", &error)) << error.toStdString();
    EXPECT_EQ(machines(office), QByteArray("FRONTDESK\r\nexam-1\r\nLAB\r\nOLD\r\nEXAM-2\r\n"));
    EXPECT_FALSE(addComputer(office.dataFolder(), "Exam-1", &error));
    EXPECT_TRUE(error.contains("listed already"));
    ASSERT_TRUE(removeComputer(office.dataFolder(), "EXAM-1", &error));
    EXPECT_EQ(machines(office), QByteArray("FRONTDESK\r\nLAB\r\nOLD\r\nEXAM-2\r\n"));
    EXPECT_FALSE(removeComputer(office.dataFolder(), "GONE", &error));
    QStringList names;
    ASSERT_TRUE(listComputers(office.dataFolder(), names, &error));
    EXPECT_EQ(names, (QStringList{"FRONTDESK", "LAB", "OLD", "EXAM-2"}));
    // What the services read.
    EXPECT_EQ(office.services()->computerNames(), names);

    // A list written elsewhere with line feeds only gets the line ends the list is read by.
    office.writeMachinesIni("A\nB\n");
    ASSERT_TRUE(addComputer(office.dataFolder(), "C", &error));
    EXPECT_EQ(machines(office), QByteArray("A\r\nB\r\nC\r\n"));

    // Held open by another program: the new file is renamed over it.
    QFile held(office.dataFolder() + "stp/Machines.Ini");
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    ASSERT_TRUE(addComputer(office.dataFolder(), "D", &error));
    EXPECT_EQ(machines(office), QByteArray("A\r\nB\r\nC\r\nD\r\n"));

    // A link is not followed.
    const QString target = office.tempPath() + "/elsewhere.ini";
    QFile::remove(office.dataFolder() + "stp/Machines.Ini");
    ASSERT_TRUE(tzsndmsg::testing::writeFile(target, "X\r\n"));
    ASSERT_TRUE(QFile::link(target, office.dataFolder() + "stp/Machines.Ini"));
    EXPECT_FALSE(addComputer(office.dataFolder(), "E", &error));
    EXPECT_TRUE(error.contains("not a plain file")) << error.toStdString();
    EXPECT_EQ(tzsndmsg::testing::readAll(target), "X\r\n");
}
