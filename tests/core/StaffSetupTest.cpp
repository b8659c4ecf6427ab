#include "core/LoginList.h"
#include "core/StaffList.h"
#include "db/Internals.h"
#include "support/Files.h"
#include "support/Office.h"
#include "support/TestPrinters.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/StaffCsv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using tzsndmsg::testing::Office;
using namespace tzsndmsg;

namespace {

StaffPersonFields person(const QString& last, const QString& initials,
                         const QString& department = QString(), const QString& login = QString(),
                         const QString& first = "Pat")
{
    const auto given = [](const QString& s) {
        return s.isEmpty() ? std::nullopt : std::optional(s);
    };
    return {last, first, initials, given(department), given(login)};
}

StaffChange adding(const StaffPersonFields& fields)
{
    StaffChange c;
    c.fields = fields;
    return c;
}

// An office of its own for each test, with the staff calls' failures reported by the test.
class StaffSetup : public ::testing::Test {
protected:
    qint32 add(const StaffPersonFields& fields)
    {
        qint32 id = 0;
        EXPECT_TRUE(addStaffPerson(*office.db(), fields, &id, &error)) << error.toStdString();
        return id;
    }
    void release(qint32 id, QDate day)
    {
        ASSERT_TRUE(releaseStaffPerson(*office.db(), id, day, &error)) << error.toStdString();
    }
    QByteArray machines() const
    {
        return tzsndmsg::testing::readAll(office.dataFolder() + "stp/Machines.Ini");
    }
    // Every row of the tables an import writes, as text: equal before and after means nothing
    // was written.
    QStringList snapshot()
    {
        QStringList rows;
        const char* const statements[] = {
            "SELECT pID, PLasNam, PFirNam, PDocIni, pDatRel, pTypEmp FROM PATable ORDER BY pID",
            "SELECT EBID, EBPid, EBDep FROM EBTable ORDER BY EBID",
            "SELECT ESID, EBID, ESSta, ESStaDat FROM ESTable ORDER BY ESID",
            "SELECT PWMID, PWMUseNam, PWMPID FROM PWMTable ORDER BY PWMID",
            "SELECT PWAID, PWAUseNam, PWARigNam, PWAWriFla FROM PWATable ORDER BY PWAID",
        };
        for (const char* statement : statements)
            rows << office.rows(statement);
        return rows;
    }
    QStringList listed()
    {
        QList<StaffPerson> people;
        EXPECT_TRUE(listStaff(*office.db(), people, &error)) << error.toStdString();
        QStringList rows;
        for (const StaffPerson& p : people)
            rows << QStringList{p.initials, p.last,
                                p.first,    p.department,
                                p.login,    p.released ? p.released->toString(Qt::ISODate) : "-"}
                        .join(QLatin1Char('|'));
        return rows;
    }

    Office office;
    QString error;
};
// The staff list the windows show, and importing and exporting the office's people as CSV: all
// or nothing, every bad line named, a dry run and a round trip writing nothing.
using StaffList = StaffSetup;
using StaffImport = StaffSetup;

QString problemsText(const QList<StaffCsvProblem>& problems)
{
    QStringList lines;
    for (const StaffCsvProblem& p : problems)
        lines << p.text();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TEST_F(StaffSetup, TextChecksRefuseWhatTheListsCannotShow)
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
        {StaffField::ComputerName, "EXAM-1,EXAM-2", "holds a comma"},
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

TEST_F(StaffSetup, PeopleAreWrittenAsTheLoginListAndRightsCheckReadThem)
{
    const qint32 anna = add(person(" Alvarez ", "AA", "front desk", " anna "));
    const qint32 ben = add(person("O\"Brien \\ 'x'", "BB"));
    ASSERT_GT(anna, 0);
    ASSERT_GT(ben, anna);
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
    EXPECT_TRUE(logins.names.contains("ANNA") && logins.names.contains("BEN"));
    EXPECT_EQ(office.rows("SELECT PLasNam FROM PATable ORDER BY pID"),
              (QStringList{"Alvarez", "O\"Brien \\ 'x'"}));

    ASSERT_TRUE(setLoginRight(*office.db(), "anna", kSupervisorRight, false, &error));
    EXPECT_FALSE(services->checkRight("ANNA", kSupervisorRight, "PWAWriFla", QString()));
    ASSERT_TRUE(removeLogin(*office.db(), " ben", &error));
    EXPECT_EQ(office.count("PWATable"), 0);
    EXPECT_FALSE(services->isLogin("BEN"));
}

TEST_F(StaffSetup, ALoginGivenInAnEditIsAddedRenamedWithItsRightsOrRemoved)
{
    const qint32 id = add(person("Ito", "II"));
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

// Sent items are found by the login's name: a name that sent messages stays with its sender, so
// nobody else ever lists them (nor deletes them in a signed-in office).
TEST_F(StaffSetup, ALoginThatSentMessagesKeepsItsName)
{
    const qint32 anna = add(person("Alvarez", "AA", {}, "ANNA"));
    const qint32 ben = add(person("Brooks", "BB"));
    office.insert("CMTable", "cmID", {"cmWho", "cmPid", "CMSubjec"}, {"ANNA", anna, "Result"});
    // A name freed before this rule: its messages are still Anna's.
    office.insert("CMTable", "cmID", {"cmWho", "cmPid", "CMSubjec"}, {"AALV", anna, "Older"});
    auto setLogin = [&](const QString& login) {
        StaffPersonFields f;
        f.login = login;
        return editStaffPerson(*office.db(), anna, f, &error);
    };
    EXPECT_FALSE(removeLogin(*office.db(), "anna", &error));
    EXPECT_TRUE(error.contains("has sent messages")) << error.toStdString();
    EXPECT_FALSE(setLogin("ANNE"));
    EXPECT_FALSE(setLogin(QString()));
    EXPECT_EQ(office.rows("SELECT PWMUseNam FROM PWMTable"), QStringList{"ANNA"});
    EXPECT_FALSE(addLogin(*office.db(), "aalv", ben, &error));
    EXPECT_TRUE(error.contains("sent messages as another person")) << error.toStdString();
    EXPECT_TRUE(addLogin(*office.db(), "AALV", anna, &error)) << error.toStdString();
}

TEST_F(StaffSetup, ADepartmentChangeStartsANewEmploymentRecord)
{
    const qint32 id = add(person("Chen", "CC", "front desk"));
    StaffPersonFields change;
    change.department = "Billing";
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
    release(id, QDate(2026, 6, 30));
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

TEST_F(StaffSetup, ChangesThatBreakTheRulesAreRefusedAndWriteNothing)
{
    const qint32 anna = add(person("Alvarez", "AA", {}, "ANNA"));
    const qint32 kyle = add(person("Klein", "KK", {}, "KYLE"));
    release(kyle, QDate(2026, 4, 30));
    add(person("Kamp", "kk"));

    auto other = [](StaffChange::Kind kind, qint32 id) {
        StaffChange c;
        c.kind = kind;
        c.personId = id;
        return c;
    };
    auto edit = [&](qint32 id, auto set) {
        StaffChange c = other(StaffChange::Kind::Edit, id);
        set(c.fields);
        return c;
    };
    const struct {
        StaffChange change;
        const char* problem;
    } cases[] = {
        {adding(person("Abbot", " aa ")), "initials AA are taken by Alvarez"},
        {adding(person("Nobody", QString())), "initials are missing"},
        {adding(person("Annie", "AN", {}, " anna")), "login ANNA is taken"},
        {adding(person("Sue", "SU", {}, "supervisor")), "SUPERVISOR is the office's own login"},
        // Logins that would share one database role, or not fit its name.
        {adding(person("Kyra", "KY", {}, QString(QChar(0x212A)) + "YLE")), "is taken (as KYLE)"},
        {adding(person("Lee", "LE", {}, QString(11, QChar(0x4E00)))), "too long for a database"},
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
    const QStringList before = snapshot();
    for (const auto& c : cases) {
        QList<StaffProblem> problems;
        EXPECT_FALSE(applyStaffChanges(*office.db(), {c.change}, problems, false, nullptr, &error));
        ASSERT_EQ(problems.size(), 1) << c.problem;
        EXPECT_TRUE(problems.first().text.contains(c.problem))
            << c.problem << ": " << problems.first().text.toStdString();
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(StaffSetup, ABatchNamesEveryBadEntryAndIsAllOrNothing)
{
    add(person("Alvarez", "AA", {}, "ANNA"));
    QList<StaffChange> changes;
    for (const auto& [last, initials, login] :
         {std::tuple{"Good", "GO", "GOOD"}, std::tuple{"Twin1", "TW", ""},
          std::tuple{"Twin2", "tw", ""}, std::tuple{"Taken", "TA", "anna"},
          std::tuple{"Same", "S1", "new"}, std::tuple{"Same", "S2", " NEW "}})
        changes.append(adding(person(last, initials, {}, login)));
    QList<StaffProblem> problems;
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

TEST_F(StaffSetup, TheComputerListIsWrittenAsItIsReadAndRefusesALink)
{
    office.writeMachinesIni("FRONTDESK\r\nexam-1\nLAB\r\nOLD");
    ASSERT_TRUE(addComputer(office.dataFolder(), " exam-2 ", &error)) << error.toStdString();
    EXPECT_EQ(machines(), QByteArray("FRONTDESK\r\nexam-1\r\nLAB\r\nOLD\r\nEXAM-2\r\n"));
    EXPECT_FALSE(addComputer(office.dataFolder(), "Exam-1", &error));
    EXPECT_TRUE(error.contains("listed already"));
    ASSERT_TRUE(removeComputer(office.dataFolder(), "EXAM-1", &error));
    EXPECT_EQ(machines(), QByteArray("FRONTDESK\r\nLAB\r\nOLD\r\nEXAM-2\r\n"));
    EXPECT_FALSE(removeComputer(office.dataFolder(), "GONE", &error));
    QStringList names;
    ASSERT_TRUE(listComputers(office.dataFolder(), names, &error));
    EXPECT_EQ(names, (QStringList{"FRONTDESK", "LAB", "OLD", "EXAM-2"}));
    // What the services read; the picker's delete through them takes every line of the name,
    // padded or not, and a name not listed, or none, is no failure.
    EXPECT_EQ(office.services()->computerNames(), names);
    office.writeMachinesIni("WS1\r\nFront\r\n  ws2 \r\nws1\r\n");
    for (const char* name : {" ws2", "WS1", "Unknown", ""})
        EXPECT_TRUE(office.services()->removeComputerName(name)) << name;
    EXPECT_EQ(machines(), QByteArray("Front\r\n"));

    // A list written elsewhere with line feeds only gets the line ends the list is read by.
    office.writeMachinesIni("A\nB\n");
    ASSERT_TRUE(addComputer(office.dataFolder(), "C", &error));
    EXPECT_EQ(machines(), QByteArray("A\r\nB\r\nC\r\n"));

    // The lock is every user's: made open to all, and taken when it can only be read (as one
    // that another user made).
    const QString lock = office.dataFolder() + "stp/Machines.lock";
    EXPECT_TRUE(QFile::permissions(lock) & QFileDevice::WriteOther);
    ASSERT_TRUE(QFile::setPermissions(lock, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    EXPECT_TRUE(addComputer(office.dataFolder(), "C2", &error)) << error.toStdString();
    ASSERT_TRUE(removeComputer(office.dataFolder(), "C2", &error));

    // Held open by another program: the new file is renamed over it.
    QFile held(office.dataFolder() + "stp/Machines.Ini");
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    ASSERT_TRUE(addComputer(office.dataFolder(), "D", &error));
    EXPECT_EQ(machines(), QByteArray("A\r\nB\r\nC\r\nD\r\n"));

    // A link is not followed.
    const QString target = office.tempPath() + "/elsewhere.ini";
    QFile::remove(office.dataFolder() + "stp/Machines.Ini");
    ASSERT_TRUE(tzsndmsg::testing::writeFile(target, "X\r\n"));
    ASSERT_TRUE(QFile::link(target, office.dataFolder() + "stp/Machines.Ini"));
    EXPECT_FALSE(addComputer(office.dataFolder(), "E", &error));
    EXPECT_TRUE(error.contains("not a plain file")) << error.toStdString();
    EXPECT_EQ(tzsndmsg::testing::readAll(target), "X\r\n");
}

// The staff lists the windows show, read from the store: departments, persons, initials.
TEST_F(StaffList, DepartmentsOfTheLatestRecordsThenThePersonsThenTheirInitials)
{
    const qint32 nurse = office.addEmployee("Nurse", "Ned", "NN", "NURSE", "clinical");
    const qint32 front = office.addEmployee("Front", "Fay", "FF", "FRONT", "Front Desk");
    const qint32 doctor = office.addEmployee("Doctor", "Dora", "", "DOCTOR", "CLINICAL");
    const qint32 gone = office.addPerson("Gone", "Gil", "GG", true, true);
    office.addEmployment(nurse, "Billing"); // the nurse's latest record

    const quint64 before = db::Internals::statementsRun();
    const core::StaffList staff =
        core::readStaffList(*office.services(), {0, doctor, 0, gone, front, nurse, 424242});
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
    EXPECT_TRUE(core::readStaffList(*office.services(), {0, 0}).persons.isEmpty());

    // A spelling of a department listed already, a terminated record and a blank department
    // add none; only the latest record counts.
    office.addEmployment(doctor, "  billing ");
    const qint32 left = office.addEmployee("Left", "Lou", "LL", "LEFT", "Shipping");
    office.exec("UPDATE ESTable SET ESSta='Terminated' WHERE EBID IN (SELECT EBID FROM EBTable "
                "WHERE EBPid=?)",
                {left});
    const qint32 blank = office.addEmployee("Blank", "Bea", "BE", "BEA", "Lab");
    office.addEmployment(blank, "  ");
    EXPECT_EQ(
        core::readStaffList(*office.services(), {0, doctor, front, nurse, left, blank}).departments,
        (QStringList{"billing", "Front Desk"}));

    // The initials of a whole office and more in one statement; a person without any is listed.
    const qint32 with = office.addPerson("With", "Wes", " WW ");
    const qint32 without = office.addPerson("Without", "Val", "");
    QList<qint32> ids{with, without, 424242};
    for (qint32 id = 0; id < 600; ++id) // a whole office and more
        ids << 500000 + id;
    const quint64 start = db::Internals::statementsRun();
    const QHash<qint32, QString> initials = core::readPersonInitials(*office.services(), ids);
    EXPECT_EQ(db::Internals::statementsRun() - start, 1u);
    EXPECT_EQ(initials, (QHash<qint32, QString>{{with, "WW"}, {without, ""}}));
}

TEST_F(StaffImport, AnExportImportedAgainChangesNothing)
{
    add(person("Berg", "AB", "Front desk", "anna", "Anna"));
    add(person("O\"Neil, Jr.", "MO", "Lab; north", QString(), "Mary\\Ann"));
    const qint32 gone = add(person("Cole", "DC", QString(), "dan", "Dan"));
    release(gone, QDate(2026, 3, 1));
    // Released on a date another program wrote in a form not read here (a text column holds
    // any): released all the same.
    const qint32 left = add(person("Dunn", "ED", QString(), QString(), "Ed"));
    release(left, QDate(2026, 2, 1));
    if (!Office::usingPostgres())
        office.exec("UPDATE PATable SET pDatRel='31.12.2025' WHERE pID=?", {left});
    const QStringList before = snapshot();

    const QString file = office.tempPath() + "/staff.csv";
    int count = 0;
    ASSERT_TRUE(exportStaffCsvFile(*office.db(), file, &count, &error)) << error.toStdString();
    EXPECT_EQ(count, 4);
    for (const bool dryRun : {true, false}) {
        StaffImportReport report;
        ASSERT_TRUE(importStaffCsvFile(*office.db(), file, dryRun, report, &error))
            << problemsText(report.problems).toStdString() << error.toStdString();
        EXPECT_EQ(report.added + report.changed + report.released + report.rehired, QStringList{});
        EXPECT_EQ(report.unchanged, 4);
    }
    // Without the released column a released person stays released.
    StaffImportReport partial;
    ASSERT_TRUE(importStaffCsv(*office.db(),
                               QString("id,initials,last name\n%1,DC,Cole\n").arg(gone).toUtf8(),
                               false, partial, &error))
        << problemsText(partial.problems).toStdString() << error.toStdString();
    EXPECT_EQ(partial.unchanged, 1);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(StaffImport, ABadFileIsRefusedWholeWithEachBadLineNamedAndNothingWritten)
{
    const QByteArray header = "id,initials,last name,first name,department,login,released\n";
    const QByteArray good = ",NEW,Newman,Nia,Lab,NIA,\n";
    struct Case {
        const char* name;
        QByteArray csv;   // %1 is Anna's id, %2 released Dan's
        QString problems; // "line N: part of the reason", in order, one a line
    } cases[] = {
        {"a missing last name", header + good + ",XY,,Xena,,,\n", "line 3: "},
        {"initials of a current person", header + ",AB,Abbot,Al,,,\n" + good, "line 2: "},
        {"the same initials on two rows", header + ",ZZ,Zed,Zoe,,,\n" + good + ",ZZ,Zorn,Zak,,,\n",
         "line 2: the initials ZZ are on line 4 too\nline 4: the initials ZZ are on line 2 too"},
        {"a login taken, in another case and with blanks",
         header + good + ",LK,Lake,Lu,,\"  Anna \",\n", "line 3: "},
        {"one login on two rows", header + ",Q1,Quinn,Q,,qq,\n,Q2,Quist,Q,,QQ ,\n",
         "line 2: the login QQ is on line 3 too\nline 3: the login QQ is on line 2 too"},
        {"a department too long", header + good + ",DL,Long,Dee," + QByteArray(51, 'd') + ",,\n",
         "line 3: "},
        {"a control character in a name", header + ",CC,Ctrl\x01,Cy,,,\n" + good, "line 2: "},
        {"a person id that does not exist", header + good + "99999,AB,Berg,Anna,,,\n",
         "line 3: no person with id 99999"},
        {"an id that is not a number", header + "x7,AB,Berg,Anna,,,\n", "line 2: the id \"x7\""},
        {"one person on two rows", header + "%1,AB,Berg,Anna,,,\n%1,AB,Berg,Annie,,,\n",
         "line 2: the person with id %1 is on line 3 too\nline 3: the person with id %1 is on line "
         "2 too"},
        {"a released value that is neither", header + "%1,AB,Berg,Anna,,ANNA,soon\n",
         "line 2: \"soon\" in the released column"},
        {"a new person released", header + good + ",RR,Rees,Ray,,,2026-01-01\n",
         "line 3: a person without an id is added as current staff"},
        {"a login given to a released person", header + "%2,DC,Cole,Dan,,DANIEL,2026-03-01\n",
         "line 2: "},
        // What the reader refuses (every kind: StaffCsvRead) refuses the import.
        {"invalid UTF-8", header + good + ",UU,M\xFCller,Uwe,,,\n", "line 3: not UTF-8 text"},
        {"a row of the wrong width beside a bad row",
         header + ",W1,Wu,Wei,,\n" + good + ",AB,Abel,Al,,,\n", "line 2: 6 field(s)\nline 4: "},
    };
    const qint32 anna = add(person("Berg", "AB", "Front desk", "anna", "Anna"));
    const qint32 dan = add(person("Cole", "DC", {}, {}, "Dan"));
    release(dan, QDate(2026, 3, 1));
    const QStringList before = snapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray csv = QByteArray(c.csv)
                                   .replace("%1", QByteArray::number(anna))
                                   .replace("%2", QByteArray::number(dan));
        for (const bool dryRun : {true, false}) {
            StaffImportReport report;
            EXPECT_FALSE(importStaffCsv(*office.db(), csv, dryRun, report, &error));
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            const QStringList problems = c.problems.split('\n');
            ASSERT_EQ(report.problems.size(), problems.size())
                << problemsText(report.problems).toStdString();
            for (int i = 0; i < problems.size(); ++i) {
                const QString wanted = QString(problems[i]).replace("%1", QString::number(anna));
                EXPECT_TRUE(report.problems[i].text().contains(wanted))
                    << report.problems[i].text().toStdString() << " is not "
                    << wanted.toStdString();
                EXPECT_FALSE(report.problems[i].text().endsWith(": "));
            }
            EXPECT_TRUE(report.added.isEmpty() && report.changed.isEmpty());
            EXPECT_EQ(snapshot(), before) << "nothing is written";
        }
    }
}

TEST_F(StaffImport, ADryRunSaysWhatWouldChangeWritingNothingAndTheImportDoesIt)
{
    const qint32 anna = add(person("Berg", "AB", "Front desk", "anna", "Anna"));
    const qint32 ben = add(person("Bell", "BB", {}, {}, "Ben"));
    const qint32 dan = add(person("Cole", "DC", {}, {}, "Dan"));
    const qint32 eve = add(person("East", "EE", {}, {}, "Eve"));
    release(dan, QDate(2026, 3, 1));
    const QStringList before = snapshot();
    // Anna moves to the lab, Ben is released, Dan rehired, Eve left as she is, two people added.
    const QByteArray csv = QStringLiteral("id,initials,last name,first name,department,released\n"
                                          "%1,AB,Berg,Anna,Lab,\n"
                                          "%2,BB,Bell,Ben,,2026-11-30\n"
                                          "%3,DC,Cole,Dan,,no\n"
                                          "%4,EE,East,Eve,,\n"
                                          ",FF,Fay,Fox,Lab,\n"
                                          ",GG,Gale,Gus,,-\n")
                               .arg(anna)
                               .arg(ben)
                               .arg(dan)
                               .arg(eve)
                               .toUtf8();
    StaffImportReport report;
    ASSERT_TRUE(importStaffCsv(*office.db(), csv, true, report, &error))
        << problemsText(report.problems).toStdString() << error.toStdString();
    EXPECT_EQ(report.added, (QStringList{"line 6: Fay, Fox (FF)", "line 7: Gale, Gus (GG)"}));
    EXPECT_EQ(report.changed,
              QStringList{QStringLiteral("line 2: id %1 Berg, Anna (AB): department "
                                         "Front desk -> Lab")
                              .arg(anna)});
    EXPECT_EQ(report.released,
              QStringList{QString("line 3: id %1 Bell, Ben (BB) on 2026-11-30").arg(ben)});
    EXPECT_EQ(report.rehired, QStringList{QString("line 4: id %1 Cole, Dan (DC)").arg(dan)});
    EXPECT_EQ(report.unchanged, 1);
    EXPECT_EQ(snapshot(), before) << "a dry run writes nothing";

    StaffImportReport done;
    ASSERT_TRUE(importStaffCsv(*office.db(), csv, false, done, &error))
        << problemsText(done.problems).toStdString() << error.toStdString();
    EXPECT_EQ(done.added, report.added);
    EXPECT_EQ(done.changed, report.changed);
    EXPECT_EQ(listed(),
              (QStringList{"BB|Bell|Ben|||2026-11-30", "AB|Berg|Anna|Lab|ANNA|-", "DC|Cole|Dan|||-",
                           "EE|East|Eve|||-", "FF|Fay|Fox|Lab||-", "GG|Gale|Gus|||-"}));
}

// The staff list's CSV: what a spreadsheet writes is read, anything else is refused with the lines
// named, and what is written reads back the same.
namespace {

// Each row as "line|id|initials|last|first|department|login|released", absent columns as "-".
QStringList show(const StaffCsv& csv)
{
    QStringList rows;
    for (const StaffCsvRow& row : csv.rows) {
        QStringList parts{QString::number(row.line)};
        for (const QString& f : row.fields)
            parts << (f.isNull() ? "-" : f);
        rows << parts.join(QLatin1Char('|'));
    }
    return rows;
}

TEST(StaffCsvRead, ReadsWhatSpreadsheetsWrite)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* rows; // one a line
        char separator;
    } cases[] = {
        {"commas and LF",
         "id,initials,last name,first name,department,login,released\n"
         "3,AB,Berg,Anna,Front desk,ANNA,\n",
         "2|3|AB|Berg|Anna|Front desk|ANNA|", ','},
        {"semicolons, CRLF and a byte-order mark",
         "\xEF\xBB\xBFinitials;last name;first name;department\r\n"
         "CD;M\xC3\xBCller;Jos\xC3\xA9;Lab, north\r\n",
         "2|-|CD|M\xC3\xBCller|Jos\xC3\xA9|Lab, north|-|-", ';'},
        {"headers in another case and order, with blanks and underscores",
         "First_Name, LAST NAME ,Initials,Log-in\n"
         "Anna,Berg,AB,anna\n",
         "2|-|AB|Berg|Anna|-|anna|-", ','},
        {"quoted fields holding quotes, separators and line breaks",
         "initials,last name,first name,department\n"
         "EF,\"O\"\"Neil, Jr.\",\"Mary\r\nAnn\",\"a;b\"\n"
         "GH,\"Smith\",Tom,\n",
         "2|-|EF|O\"Neil, Jr.|Mary\nAnn|a;b|-|-\n4|-|GH|Smith|Tom||-|-", ','},
        {"quotes and backslashes inside unquoted fields kept as written",
         "initials,last name,first name\n"
         "IJ,O\"Brien,C:\\new\\\\x\n",
         "2|-|IJ|O\"Brien|C:\\new\\\\x|-|-|-", ','},
        {"blank lines and rows of separators only left out, line numbers kept",
         "\n"
         "initials;last name;first name\n"
         "\n"
         "KL;Kay;Lu\n"
         ";;\n"
         "MN;May;Nu\n"
         "\n\n",
         "4|-|KL|Kay|Lu|-|-|-\n6|-|MN|May|Nu|-|-|-", ';'},
        {"the staff list's own headings",
         "ID,INITIALS,LAST,FIRST,DEPARTMENT,LOGIN,RELEASED ON\n4,QR,Quinn,Rae,Lab,QRAE,-\n",
         "2|4|QR|Quinn|Rae|Lab|QRAE|-", ','},
        {"a last line without a line end", "initials,last name,first name\r\nOP,Ode,Pia",
         "2|-|OP|Ode|Pia|-|-|-", ','},
        {"the header only", "initials,last name,first name\n", "", ','},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StaffCsv csv;
        QList<StaffCsvProblem> problems;
        EXPECT_TRUE(readStaffCsv(c.bytes, csv, problems)) << problemsText(problems).toStdString();
        EXPECT_EQ(show(csv).join('\n'), QString::fromUtf8(c.rows));
        EXPECT_EQ(csv.separator, QLatin1Char(c.separator));
    }
}

TEST(StaffCsvRead, RefusesWhatIsNotAStaffListNamingTheLines)
{
    const QByteArray header = "initials,last name,first name\n";
    struct Case {
        const char* name;
        QByteArray bytes;
        QString problems; // each a part of the text of one problem, in order, one a line
    } cases[] = {
        {"an empty file", "", "the file is empty"},
        {"a byte-order mark and blanks only", "\xEF\xBB\xBF \r\n\n", "the file is empty"},
        {"a workbook's zip", QByteArray("PK\x03\x04\x14\0\0\0", 8) + "xl/workbook.xml",
         "zip archive"},
        {"an old workbook", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), "old spreadsheet"},
        {"UTF-16", QByteArray("\xFF\xFEi\0n\0", 6), "UTF-16"},
        {"binary data", header + QByteArray("AB,x\0y,z\n", 9),
         "binary data (a NUL byte on line 2)"},
        {"JSON", "\n  [{\"initials\": \"AB\"}]", "JSON"},
        {"Latin-1 bytes on two lines", header + "AB,M\xFCller,Jo\nCD,Ok,Fine\nEF,Ren\xE9,Li\xE9\n",
         "line 2: not UTF-8 text (the byte 0xFC)\nline 4: not UTF-8 text (the byte 0xE9)"},
        {"an overlong encoding", header + "AB,\xC0\xAF,x\n", "line 2: not UTF-8"},
        {"a truncated sequence at the end", header + "AB,x,\xE2\x82", "line 2: not UTF-8"},
        {"an encoded surrogate", header + "AB,\xED\xA0\x80,x\n", "line 2: not UTF-8"},
        {"an unknown column", "initials,last name,first name,phone\n",
         "line 1: unknown column \"phone\" (the columns are: id, initials, last name"},
        {"a column named twice", "initials,last name,first name,Initials\n",
         "line 1: the column \"initials\" is named twice"},
        {"missing columns", "id;department;first name\n",
         "line 1: the column \"initials\" is missing\nline 1: the column \"last name\" is missing"},
        {"a header of another file", "date,amount,payee\n",
         "unknown column \"date\"\nunknown column \"amount\"\nunknown column "
         "\"payee\"\n\"initials\" is missing\n\"last name\" is missing"},
        {"rows of the wrong width, each named", header + "AB,Berg\nCD,Cole,Dan\nEF,Eck,Fay,extra\n",
         "line 2: 2 field(s) where the header has 3\nline 4: 4 field(s) where the header has 3"},
        {"a quote never closed", header + "AB,\"Berg,Anna\nCD,Cole,Dan\n",
         "line 2: a quote opened on line 2 is never closed"},
        {"text after a closing quote", header + "AB,\"Berg\"son,Anna\n",
         "line 2: text after a closing quote"},
        {"a comma file read by its header's semicolons",
         "initials;last name;first name\nAB,Berg,Anna\n",
         "line 2: 1 field(s) where the header has 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StaffCsv csv;
        QList<StaffCsvProblem> problems;
        EXPECT_FALSE(readStaffCsv(c.bytes, csv, problems));
        const QStringList wanted = c.problems.split('\n');
        ASSERT_EQ(problems.size(), wanted.size()) << problemsText(problems).toStdString();
        for (int i = 0; i < problems.size(); ++i)
            EXPECT_TRUE(problems[i].text().contains(wanted[i]))
                << problems[i].text().toStdString() << " lacks " << wanted[i].toStdString();
    }
}

TEST(StaffCsvRead, NamesAtMostFiftyBadLinesOfAFileNotInUtf8)
{
    QByteArray bytes = "initials,last name,first name\n";
    for (int i = 0; i < 500; ++i)
        bytes += "AB,M\xFCller,Jo\n";
    StaffCsv csv;
    QList<StaffCsvProblem> problems;
    EXPECT_FALSE(readStaffCsv(bytes, csv, problems));
    ASSERT_EQ(problems.size(), 51);
    EXPECT_EQ(problems.front().line, 2);
    EXPECT_EQ(problems.back().reason, "and more lines that are not UTF-8");

    // One long line of bad bytes is named once, without going over the file again for each.
    problems.clear();
    EXPECT_FALSE(readStaffCsv(
        "initials,last name\nAB," + QByteArray(qsizetype(4) * 1024 * 1024, '\xFC'), csv, problems));
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems.front().line, 2);
}

StaffCsvRow csvRow(const QStringList& values)
{
    StaffCsvRow row;
    for (int i = 0; i < kStaffColumnCount; ++i)
        row.fields[i] = values.value(i, "");
    return row;
}

TEST(StaffCsvWrite, WhatIsWrittenReadsBackTheSame)
{
    const QList<StaffCsvRow> rows = {
        csvRow({"1", "AB", "Berg", "Anna", "Front desk", "ANNA", ""}),
        csvRow({"2", "CD", "O\"Neil, Jr.", "Mary\nAnn", "a;b", "", "2026-03-01"}),
        csvRow({"3", "EF", "\\\\server\\x", " leading", "trailing ", "\"", ""}),
        csvRow({"4", "GH", "M\xC3\xBCller", "\xE6\x9D\x8E", "", "", ""}),
        // What a spreadsheet would run as a formula is written as text.
        csvRow({"5", "IJ", "=HYPERLINK(\"x\")", "+1", "@sum", "-x", ""}),
    };
    const QByteArray text = staffCsvText(rows);
    EXPECT_TRUE(text.startsWith("\xEF\xBB\xBFid,initials,last name,first name,department,login,"
                                "released\r\n1,AB,Berg,Anna,Front desk,ANNA,\r\n"));
    EXPECT_TRUE(text.contains("5,IJ,\"'=HYPERLINK(\"\"x\"\")\",'+1,'@sum,'-x,\r\n"))
        << text.toStdString();
    StaffCsv csv;
    QList<StaffCsvProblem> problems;
    ASSERT_TRUE(readStaffCsv(text, csv, problems)) << problemsText(problems).toStdString();
    ASSERT_EQ(csv.rows.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        for (int c = 0; c < kStaffColumnCount; ++c)
            EXPECT_EQ(csv.rows[i].fields[c], rows[i].fields[c]) << "row " << i << " column " << c;
    EXPECT_EQ(csv.rows[2].line, 5) << "the line break inside row 2 moves the later lines on";
}

TEST(StaffCsvWrite, ReplacesTheFileWholeAndNeverWritesThroughALink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("staff.csv");
    const QList<StaffCsvRow> rows = {csvRow({"1", "AB", "Berg", "Anna"})};
    QString error;

    ASSERT_TRUE(writeStaffCsvFile(target, rows, &error)) << error.toStdString();
    ASSERT_TRUE(writeStaffCsvFile(target, rows + rows, &error)) << error.toStdString();
    StaffCsv csv;
    QList<StaffCsvProblem> problems;
    ASSERT_TRUE(readStaffCsvFile(target, csv, problems)) << problemsText(problems).toStdString();
    EXPECT_EQ(csv.rows.size(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"staff.csv"})
        << "no temporary file is left beside it";

    const QString other = dir.filePath("elsewhere.txt");
    ASSERT_TRUE(tzsndmsg::testing::writeFile(other, "kept"));
    const QString link = dir.filePath("link.csv");
    ASSERT_TRUE(QFile::link(other, link));
    EXPECT_FALSE(writeStaffCsvFile(link, rows, &error));
    EXPECT_TRUE(error.contains("symbolic link")) << error.toStdString();
    EXPECT_EQ(tzsndmsg::testing::readAll(other), "kept");

    EXPECT_FALSE(writeStaffCsvFile(dir.path(), rows, &error));
    EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    EXPECT_FALSE(writeStaffCsvFile(dir.filePath("no/such/folder.csv"), rows, &error));

    EXPECT_FALSE(readStaffCsvFile(dir.path(), csv, problems));
    EXPECT_TRUE(problems.back().reason.contains("is a folder"));
    EXPECT_FALSE(readStaffCsvFile(dir.filePath("missing.csv"), csv, problems));
    EXPECT_TRUE(problems.back().reason.contains("does not exist"));
}

} // namespace
