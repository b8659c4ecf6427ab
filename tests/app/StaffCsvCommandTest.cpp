// tzsndmsg import staff / export staff on an office made with plain init: the people of a CSV file
// listed by the staff command, a round trip, a refused file and a dry run that write nothing.
#include "support/Program.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

using namespace tzsndmsg::testing;

namespace {

class StaffCsvCommand : public ProgramTest {
protected:
    void SetUp() override { init(); }

    QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The staff command's list, as JSON objects.
    QJsonArray staff()
    {
        const Outcome listed = run({"staff", "--json"});
        EXPECT_EQ(listed.code, 0) << listed.err.toStdString();
        return QJsonDocument::fromJson(listed.out.toUtf8()).array();
    }
};

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

    const QJsonArray people = staff();
    ASSERT_EQ(people.size(), 40);
    QStringList seen;
    for (const QJsonValue& v : people) {
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
    EXPECT_EQ(read(second), read(exported));
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
    EXPECT_EQ(read(after), read(before));
}

TEST_F(StaffCsvCommand, EachCommandDescribesItsFile)
{
    for (const char* command : {"import", "export"}) {
        const Outcome help = run({command, "--help"});
        EXPECT_EQ(help.code, 0);
        EXPECT_TRUE(help.out.startsWith(u"usage: tzsndmsg %1 staff FILE.csv"_s.arg(command)))
            << help.out.toStdString();
        EXPECT_EQ(help.out.contains("--dry-run"), QByteArray(command) == "import");
    }
    const Outcome usage = run({"--help"});
    EXPECT_TRUE(usage.out.contains("import staff FILE.csv [--dry-run]"));
    EXPECT_TRUE(usage.out.contains("export staff FILE.csv"));
}

} // namespace
