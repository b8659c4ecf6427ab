// Importing and exporting the office's people as CSV, on a fresh office: all or nothing, every bad
// line named, a dry run and a round trip writing nothing.
#include "support/Office.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/StaffCsv.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tzsndmsg;
using tzsndmsg::testing::Office;

namespace {

QString problemsText(const StaffImportReport& report)
{
    QStringList lines;
    for (const StaffCsvProblem& p : report.problems)
        lines << p.text();
    return lines.join(QLatin1Char('\n'));
}

// Every row of the tables an import writes, as text: equal before and after means nothing was
// written.
QStringList snapshot(Office& office)
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

qint32 add(Office& office, const QString& last, const QString& first, const QString& initials,
           const QString& department = {}, const QString& login = {})
{
    StaffPersonFields f;
    f.last = last;
    f.first = first;
    f.initials = initials;
    if (!department.isEmpty())
        f.department = department;
    if (!login.isEmpty())
        f.login = login;
    qint32 id = 0;
    QString error;
    EXPECT_TRUE(addStaffPerson(*office.db(), f, &id, &error)) << error.toStdString();
    return id;
}

QStringList listed(Office& office)
{
    QList<StaffPerson> people;
    QString error;
    EXPECT_TRUE(listStaff(*office.db(), people, &error)) << error.toStdString();
    QStringList rows;
    for (const StaffPerson& p : people)
        rows << QStringList{p.initials, p.last,
                            p.first,    p.department,
                            p.login,    p.released ? p.released->toString(Qt::ISODate) : "-"}
                    .join(QLatin1Char('|'));
    return rows;
}

TEST(StaffImport, AnExportImportedAgainChangesNothing)
{
    Office office;
    add(office, "Berg", "Anna", "AB", "Front desk", "anna");
    add(office, "O\"Neil, Jr.", "Mary\\Ann", "MO", "Lab; north");
    const qint32 gone = add(office, "Cole", "Dan", "DC", QString(), "dan");
    QString error;
    ASSERT_TRUE(releaseStaffPerson(*office.db(), gone, QDate(2026, 3, 1), &error))
        << error.toStdString();
    const QStringList before = snapshot(office);

    const QString file = office.tempPath() + "/staff.csv";
    int count = 0;
    ASSERT_TRUE(exportStaffCsvFile(*office.db(), file, &count, &error)) << error.toStdString();
    EXPECT_EQ(count, 3);
    for (const bool dryRun : {true, false}) {
        StaffImportReport report;
        ASSERT_TRUE(importStaffCsvFile(*office.db(), file, dryRun, report, &error))
            << problemsText(report).toStdString() << error.toStdString();
        EXPECT_EQ(report.added + report.changed + report.released + report.rehired, QStringList{});
        EXPECT_EQ(report.unchanged, 3);
    }
    // Without the released column a released person stays released.
    StaffImportReport partial;
    ASSERT_TRUE(importStaffCsv(*office.db(),
                               QString("id,initials,last name\n%1,DC,Cole\n").arg(gone).toUtf8(),
                               false, partial, &error))
        << problemsText(partial).toStdString() << error.toStdString();
    EXPECT_EQ(partial.unchanged, 1);
    EXPECT_EQ(snapshot(office), before);
}

TEST(StaffImport, ABadFileIsRefusedWholeWithEachBadLineNamedAndNothingWritten)
{
    const QByteArray header = "id,initials,last name,first name,department,login,released\n";
    const QByteArray good = ",NEW,Newman,Nia,Lab,NIA,\n";
    struct Case {
        const char* name;
        QByteArray csv;       // %1 is Anna's id, %2 released Dan's
        QStringList problems; // "line N: part of the reason", in order
    } cases[] = {
        {"a missing last name", header + good + ",XY,,Xena,,,\n", {"line 3: "}},
        {"initials of a current person", header + ",AB,Abbot,Al,,,\n" + good, {"line 2: "}},
        {"the same initials on two rows",
         header + ",ZZ,Zed,Zoe,,,\n" + good + ",ZZ,Zorn,Zak,,,\n",
         {"line 2: the initials ZZ are on line 4 too",
          "line 4: the initials ZZ are on line 2 too"}},
        {"a login taken, in another case and with blanks",
         header + good + ",LK,Lake,Lu,,\"  Anna \",\n",
         {"line 3: "}},
        {"one login on two rows",
         header + ",Q1,Quinn,Q,,qq,\n,Q2,Quist,Q,,QQ ,\n",
         {"line 2: the login QQ is on line 3 too", "line 3: the login QQ is on line 2 too"}},
        {"a department too long",
         header + good + ",DL,Long,Dee," + QByteArray(51, 'd') + ",,\n",
         {"line 3: "}},
        {"a control character in a name", header + ",CC,Ctrl\x01,Cy,,,\n" + good, {"line 2: "}},
        {"a person id that does not exist",
         header + good + "99999,AB,Berg,Anna,,,\n",
         {"line 3: no person with id 99999"}},
        {"an id that is not a number", header + "x7,AB,Berg,Anna,,,\n", {"line 2: the id \"x7\""}},
        {"one person on two rows",
         header + "%1,AB,Berg,Anna,,,\n%1,AB,Berg,Annie,,,\n",
         {"line 2: the person with id %1 is on line 3 too",
          "line 3: the person with id %1 is on line 2 too"}},
        {"a released value that is neither",
         header + "%1,AB,Berg,Anna,,ANNA,soon\n",
         {"line 2: \"soon\" in the released column"}},
        {"a new person released",
         header + good + ",RR,Rees,Ray,,,2026-01-01\n",
         {"line 3: a person without an id is added as current staff"}},
        {"a login given to a released person",
         header + "%2,DC,Cole,Dan,,DANIEL,2026-03-01\n",
         {"line 2: "}},
        // What the reader refuses (every kind: StaffCsvRead) refuses the import.
        {"invalid UTF-8", header + good + ",UU,M\xFCller,Uwe,,,\n", {"line 3: not UTF-8 text"}},
        {"a row of the wrong width beside a bad row",
         header + ",W1,Wu,Wei,,\n" + good + ",AB,Abel,Al,,,\n",
         {"line 2: 6 field(s)", "line 4: "}},
    };
    Office office;
    const qint32 anna = add(office, "Berg", "Anna", "AB", "Front desk", "anna");
    const qint32 dan = add(office, "Cole", "Dan", "DC");
    QString error;
    ASSERT_TRUE(releaseStaffPerson(*office.db(), dan, QDate(2026, 3, 1), &error));
    const QStringList before = snapshot(office);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray csv = QByteArray(c.csv)
                                   .replace("%1", QByteArray::number(anna))
                                   .replace("%2", QByteArray::number(dan));
        for (const bool dryRun : {true, false}) {
            StaffImportReport report;
            EXPECT_FALSE(importStaffCsv(*office.db(), csv, dryRun, report, &error));
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            ASSERT_EQ(report.problems.size(), c.problems.size())
                << problemsText(report).toStdString();
            for (int i = 0; i < c.problems.size(); ++i) {
                const QString wanted = QString(c.problems[i]).replace("%1", QString::number(anna));
                EXPECT_TRUE(report.problems[i].text().contains(wanted))
                    << report.problems[i].text().toStdString() << " is not "
                    << wanted.toStdString();
                EXPECT_FALSE(report.problems[i].text().endsWith(": "));
            }
            EXPECT_TRUE(report.added.isEmpty() && report.changed.isEmpty());
            EXPECT_EQ(snapshot(office), before) << "nothing is written";
        }
    }
}

TEST(StaffImport, ADryRunSaysWhatWouldChangeWritingNothingAndTheImportDoesIt)
{
    Office office;
    const qint32 anna = add(office, "Berg", "Anna", "AB", "Front desk", "anna");
    const qint32 ben = add(office, "Bell", "Ben", "BB");
    const qint32 dan = add(office, "Cole", "Dan", "DC");
    const qint32 eve = add(office, "East", "Eve", "EE");
    QString error;
    ASSERT_TRUE(releaseStaffPerson(*office.db(), dan, QDate(2026, 3, 1), &error));
    const QStringList before = snapshot(office);
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
        << problemsText(report).toStdString() << error.toStdString();
    EXPECT_EQ(report.added, (QStringList{"line 6: Fay, Fox (FF)", "line 7: Gale, Gus (GG)"}));
    EXPECT_EQ(report.changed,
              QStringList{QStringLiteral("line 2: id %1 Berg, Anna (AB): department "
                                         "Front desk -> Lab")
                              .arg(anna)});
    EXPECT_EQ(report.released,
              QStringList{QString("line 3: id %1 Bell, Ben (BB) on 2026-11-30").arg(ben)});
    EXPECT_EQ(report.rehired, QStringList{QString("line 4: id %1 Cole, Dan (DC)").arg(dan)});
    EXPECT_EQ(report.unchanged, 1);
    EXPECT_EQ(snapshot(office), before) << "a dry run writes nothing";

    StaffImportReport done;
    ASSERT_TRUE(importStaffCsv(*office.db(), csv, false, done, &error))
        << problemsText(done).toStdString() << error.toStdString();
    EXPECT_EQ(done.added, report.added);
    EXPECT_EQ(done.changed, report.changed);
    EXPECT_EQ(listed(office),
              (QStringList{"BB|Bell|Ben|||2026-11-30", "AB|Berg|Anna|Lab|ANNA|-", "DC|Cole|Dan|||-",
                           "EE|East|Eve|||-", "FF|Fay|Fox|Lab||-", "GG|Gale|Gus|||-"}));
}

} // namespace
