// tzsndmsg staff, logins and computers on a fresh office made by plain init: each command's
// answers to good and bad arguments (the rules themselves are the staff set-up's), workstations
// adding at once, an office set up from nothing that then carries messages; and import staff /
// export staff: the people of a CSV file listed by the staff command, a round trip, a refused
// file and a dry run that write nothing.
#include "support/Files.h"
#include "support/Program.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSettings>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

using namespace tzsndmsg::testing;

namespace {

class StaffCommands : public ProgramTest {
protected:
    void SetUp() override { init(); }

    QJsonArray json(const QStringList& args)
    {
        const Outcome r = run(args + QStringList{"--json"});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).array();
    }

    QJsonObject row(const QJsonArray& rows, const QString& key, const QVariant& value)
    {
        for (const auto& v : rows)
            if (v.toObject().value(key).toVariant() == value)
                return v.toObject();
        ADD_FAILURE() << "no row with " << key.toStdString() << " = "
                      << value.toString().toStdString();
        return {};
    }

    qint32 addPerson(const QStringList& args)
    {
        const Outcome r = run(QStringList{"staff", "add"} + args);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        const QString prefix = "Added person ";
        EXPECT_TRUE(r.out.startsWith(prefix)) << r.out.toStdString();
        return r.out.mid(prefix.size()).trimmed().toInt();
    }
};
using StaffCsvCommand = StaffCommands;

} // namespace

// The demo goes only into an empty office: one with people of its own is left as it is, its
// data folder's workstation settings too; run again on the demo it adds nothing.
TEST_F(StaffCommands, TheDemoIsAddedOnlyToAnEmptyOffice)
{
    addPerson({"--last", "Real", "--first", "Rita", "--initials", "RR"});
    const Outcome refused = run({"init", "--demo"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("people of its own")) << refused.err.toStdString();
    EXPECT_EQ(json({"staff"}).size(), 1);
    EXPECT_EQ(json({"logins"}).size(), 0);
    EXPECT_FALSE(
        QFile::exists(data() + "settings.ini") &&
        QSettings(data() + "settings.ini", QSettings::IniFormat).contains("Workstation/LoginName"));
}

TEST_F(StaffCommands, EachCommandDoesItsWorkOrSaysWhyNot)
{
    const qint32 anna = addPerson({"--last", "Alvarez", "--first", "Anna", "--initials", "AA",
                                   "--department", "front desk", "--login", "anna"});
    ASSERT_EQ(anna, 1);
    const struct {
        QStringList args;
        int code;
        const char* said; // on stdout when done, else on stderr
    } steps[] = {
        {{"staff", "add", "--last", "Brooks", "--first", "Ben", "--initials", "BB"},
         0,
         "Added person 2"},
        {{"staff", "add", "--last", "Nobody"}, 2, "needs --last and --initials"},
        {{"staff", "add", "--last", "Long", "--initials", "123456789"}, 1, "longer than 8"},
        {{"staff", "edit", "2", "--department", "Billing"}, 0, "Changed person 2"},
        {{"staff", "edit", "two", "--last", "X"}, 2, "whole number"},
        {{"staff", "edit", "2"}, 2, "needs what to change"},
        {{"staff", "release", "2", "--date", "2026-05-31"}, 0, "Released person 2"},
        {{"staff", "release", "2", "--date", "31/05/2026"}, 2, "YYYY-MM-DD"},
        {{"staff", "release"}, 2, "needs ID"},
        {{"staff", "rehire", "2"}, 0, "Rehired person 2"},
        {{"staff", "hire", "2"}, 2, "unknown staff command 'hire'"},
        {{"logins", "add", "ben", "--person", "2"}, 0, "Added login BEN"},
        {{"logins", "add", "Ben ", "--person", "1"}, 1, "login BEN is taken"},
        {{"logins", "add", "carl", "--person", "77"}, 1, "no person with id 77"},
        {{"logins", "add", "carl"}, 2, "needs --person"},
        {{"logins", "supervisor", "anna", "on"}, 0, "ANNA has the supervisor right"},
        {{"logins", "payroll", "ben", "on"}, 0, "BEN has the payroll-related messages right"},
        {{"logins", "payroll", "ben", "maybe"}, 2, "say on or off"},
        {{"logins", "supervisor", "nobody", "on"}, 1, "no login NOBODY"},
        {{"logins", "remove", "nobody"}, 1, "no login NOBODY"},
        {{"computers", "add", "frontdesk"}, 0, "Added computer FRONTDESK"},
        {{"computers", "add", "FrontDesk"}, 1, "listed already"},
        {{"computers", "add"}, 2, "needs NAME"},
        {{"computers", "remove", "gone"}, 1, "not listed"},
    };
    for (const auto& step : steps) {
        const Outcome r = run(step.args);
        const std::string what = step.args.join(' ').toStdString();
        EXPECT_EQ(r.code, step.code) << what << ": " << r.err.toStdString();
        const QString& said = step.code == 0 ? r.out : r.err;
        EXPECT_TRUE(said.contains(QLatin1String(step.said))) << what << ": " << said.toStdString();
        if (step.code != 0) {
            EXPECT_EQ(r.err.count('\n'), 1) << what << ": " << r.err.toStdString();
        }
    }

    const QJsonArray staff = json({"staff"});
    ASSERT_EQ(staff.size(), 2);
    const QJsonObject ben = row(staff, "id", 2);
    EXPECT_EQ(ben.value("department").toString(), "Billing");
    EXPECT_EQ(ben.value("login").toString(), "BEN");
    EXPECT_FALSE(ben.value("released").toBool());
    const QJsonArray logins = json({"logins"});
    EXPECT_TRUE(row(logins, "name", "ANNA").value("supervisor").toBool());
    EXPECT_FALSE(row(logins, "name", "ANNA").value("payroll").toBool());
    EXPECT_TRUE(row(logins, "name", "BEN").value("payroll").toBool());
    EXPECT_EQ(json({"computers"}), QJsonArray({"FRONTDESK"}));

    const Outcome table = run({"staff"});
    EXPECT_TRUE(
        table.out.contains(QRegularExpression("\n1 +AA +Alvarez +Anna +front desk +ANNA +-")))
        << table.out.toStdString();

    ASSERT_EQ(run({"logins", "remove", "ben"}).code, 0);
    ASSERT_EQ(run({"computers", "remove", "FRONTDESK"}).code, 0);
    EXPECT_EQ(json({"computers"}), QJsonArray());
    EXPECT_EQ(json({"logins"}).size(), 1);
}

TEST_F(StaffCommands, WorkstationsAddingAtOnceGetNoDuplicateIdsOrInitials)
{
    // Pairs of processes ask for the same initials at once; one of each pair gets them.
    std::vector<std::unique_ptr<QProcess>> adds;
    std::vector<std::unique_ptr<QProcess>> computers;
    for (int i = 0; i < 10; ++i) {
        adds.push_back(start({"staff", "add", "--last", QString("Person %1").arg(i), "--initials",
                              QString("P%1").arg(i / 2)}));
        computers.push_back(start({"computers", "add", QString("WS-%1").arg(i)}));
    }
    int added = 0;
    for (auto& p : adds) {
        const Outcome r = finishProgram(*p);
        if (r.code == 0)
            ++added;
        else
            EXPECT_TRUE(r.code == 1 && r.err.contains("are taken by")) << r.err.toStdString();
    }
    for (auto& p : computers) {
        const Outcome r = finishProgram(*p);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
    }
    EXPECT_EQ(added, 5);
    const QJsonArray staff = json({"staff"});
    QSet<int> ids;
    QSet<QString> initials;
    for (const auto& v : staff) {
        ids.insert(v.toObject().value("id").toInt());
        initials.insert(v.toObject().value("initials").toString());
    }
    EXPECT_EQ(staff.size(), 5);
    EXPECT_EQ(ids.size(), 5);
    EXPECT_EQ(initials, (QSet<QString>{"P0", "P1", "P2", "P3", "P4"}));
    EXPECT_EQ(json({"computers"}).size(), 10);
    EXPECT_EQ(readAll(data() + "stp/Machines.Ini").count("\r\n"), 10);
}

TEST_F(StaffCommands, AnOfficeSetUpFromNothingCarriesMessages)
{
    const qint32 anna = addPerson({"--last", "Alvarez", "--first", "Anna", "--initials", "AA",
                                   "--department", "Front desk", "--login", "ANNA"});
    const qint32 ben = addPerson(
        {"--last", "Brooks", "--first", "Ben", "--initials", "BB", "--department", "Billing"});
    const qint32 carl = addPerson({"--last", "O'Hara \"C\" \\", "--first", "Carl", "--initials",
                                   "CO", "--department", "Clinical"});
    ASSERT_EQ(run({"logins", "add", "ben", "--person", QString::number(ben)}).code, 0);
    ASSERT_EQ(run({"logins", "add", "carl", "--person", QString::number(carl)}).code, 0);
    ASSERT_EQ(run({"logins", "supervisor", "anna", "on"}).code, 0);
    ASSERT_EQ(run({"computers", "add", "frontdesk"}).code, 0);
    ASSERT_EQ(run({"computers", "add", "exam-1"}).code, 0);
    EXPECT_EQ(row(json({"staff"}), "id", carl).value("last").toString(), "O'Hara \"C\" \\");

    const Outcome announce =
        run({"announce", "--login", "anna", "--computer", "FRONTDESK", "--text",
             "Staff meeting at noon", "--to", QString::number(ben), "--to-computers", "EXAM-1"});
    ASSERT_EQ(announce.code, 0) << announce.err.toStdString();
    EXPECT_FALSE(announce.err.contains("not in the computer list")) << announce.err.toStdString();

    const Outcome benInbox = run({"inbox", "--login", "ben", "--computer", "FRONTDESK"});
    ASSERT_EQ(benInbox.code, 0) << benInbox.err.toStdString();
    EXPECT_TRUE(benInbox.out.contains("Staff meeting at noon")) << benInbox.out.toStdString();
    // Carl was not addressed, but the computer he sits at was.
    const Outcome atExam = run({"inbox", "--login", "carl", "--computer", "EXAM-1"});
    ASSERT_EQ(atExam.code, 0) << atExam.err.toStdString();
    EXPECT_TRUE(atExam.out.contains("Staff meeting at noon")) << atExam.out.toStdString();
    const Outcome carlAtDesk = run({"inbox", "--login", "carl", "--computer", "FRONTDESK"});
    EXPECT_FALSE(carlAtDesk.out.contains("Staff meeting at noon"));

    ASSERT_EQ(run({"staff", "release", QString::number(carl)}).code, 0);
    const QJsonObject released = row(json({"logins"}), "name", "CARL");
    EXPECT_TRUE(released.value("released").toBool());
    EXPECT_TRUE(row(json({"staff"}), "id", carl).value("released").toBool());
    // A released person gets no new login.
    const Outcome again = run({"logins", "add", "carl2", "--person", QString::number(carl)});
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.err.contains("released")) << again.err.toStdString();
    // Nor does the login the person had: refused at the door, and nobody sends to them.
    const Outcome signIn = run({"inbox", "--login", "carl", "--computer", "EXAM-1"});
    EXPECT_EQ(signIn.code, 2);
    EXPECT_EQ(signIn.err.trimmed().count('\n'), 0) << signIn.err.toStdString();
    const Outcome toCarl = run({"announce", "--login", "anna", "--computer", "FRONTDESK", "--text",
                                "Are you in?", "--to", QString::number(carl)});
    EXPECT_EQ(toCarl.code, 1) << toCarl.err.toStdString();
    (void)anna;
}

TEST_F(StaffCsvCommand, FortyPeopleImportedAreListedAndARoundTripChangesNothing)
{
    // As a spreadsheet set to a decimal comma saves it: a byte-order mark, ";" and CRLF.
    QByteArray csv = "\xEF\xBB\xBFInitials;Last name;First name;Department;Login\r\n";
    for (int i = 1; i <= 40; ++i)
        csv += u" P%1 ;\"Name; %1\";First %1;%2;login%1\r\n"_s.arg(i)
                   .arg(i % 2 ? "Front desk" : "Lab")
                   .toUtf8();
    csv.replace("\"Name; 9\"", "\"O\"\"Neil \\ C:\\new\"");
    const Outcome imported = run({"import", "staff", writeFile("forty.csv", csv)});
    ASSERT_EQ(imported.code, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.contains("added 40, changed 0, released 0, rehired 0"))
        << imported.out.toStdString();

    const QJsonArray people = json({"staff"});
    ASSERT_EQ(people.size(), 40);
    QStringList seen;
    for (const auto& v : people) {
        const QJsonObject p = v.toObject();
        seen << p["initials"].toString() + "|" + p["last"].toString() + "|" +
                    p["department"].toString() + "|" + p["login"].toString();
    }
    EXPECT_TRUE(seen.contains("P7|Name; 7|Front desk|LOGIN7")) << seen.join(' ').toStdString();
    EXPECT_TRUE(seen.contains("P40|Name; 40|Lab|LOGIN40"));
    EXPECT_TRUE(seen.contains("P9|O\"Neil \\ C:\\new|Front desk|LOGIN9"))
        << "quotes and backslashes are stored as written";

    const QString exported = home.path() + "/export.csv";
    const Outcome out = run({"export", "staff", exported});
    ASSERT_EQ(out.code, 0) << out.err.toStdString();
    EXPECT_TRUE(out.out.contains("Exported 40 people")) << out.out.toStdString();
    const Outcome again = run({"import", "staff", exported});
    ASSERT_EQ(again.code, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains("added 0, changed 0, released 0, rehired 0 (40 unchanged)"))
        << again.out.toStdString();
    const QString second = home.path() + "/second.csv";
    ASSERT_EQ(run({"export", "staff", second}).code, 0);
    EXPECT_EQ(readAll(second), readAll(exported));
}

TEST_F(StaffCsvCommand, ABadFileOrADryRunWritesNothing)
{
    ASSERT_EQ(run({"import", "staff", writeFile("one.csv", "initials,last name\nAB,Berg\n")}).code,
              0);
    const QString before = home.path() + "/before.csv";
    ASSERT_EQ(run({"export", "staff", before}).code, 0);

    const Outcome bad = run({"import", "staff",
                             writeFile("bad.csv", "initials;last name;first name\n"
                                                  "CD;Cole;Dan\n"
                                                  "AB;Abel;Al\n"
                                                  ";Nobody;No\n")});
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.err.contains("bad.csv: line 3: ")) << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains("bad.csv: line 4: ")) << bad.err.toStdString();
    EXPECT_FALSE(bad.err.contains("line 2:")) << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains("was not imported, nothing was written: 2 problem(s)"));

    const Outcome dry = run({"import", "staff", "--dry-run",
                             writeFile("dry.csv", "initials,last name\nEF,Eck\nGH,Gill\n")});
    EXPECT_EQ(dry.code, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains("add line 2: Eck (EF)")) << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains("Dry run, nothing written")) << dry.out.toStdString();

    const QString after = home.path() + "/after.csv";
    ASSERT_EQ(run({"export", "staff", after}).code, 0);
    EXPECT_EQ(readAll(after), readAll(before));
}
