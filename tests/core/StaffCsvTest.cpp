// The staff list's CSV: what a spreadsheet writes is read, anything else is refused with the lines
// named, and what is written reads back the same.
#include "tzsndmsg/StaffCsv.h"

#include "FileSystemHelpers.h"
#include "support/TestPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tzsndmsg;

namespace {

QString problemsText(const QList<StaffCsvProblem>& problems)
{
    QStringList lines;
    for (const StaffCsvProblem& p : problems)
        lines << p.text();
    return lines.join(QLatin1Char('\n'));
}

// A row as "line|id|initials|last|first|department|login|released", absent columns as "-".
QString show(const StaffCsvRow& row)
{
    QStringList parts{QString::number(row.line)};
    for (const QString& f : row.fields)
        parts << (f.isNull() ? "-" : f);
    return parts.join(QLatin1Char('|'));
}

QStringList show(const StaffCsv& csv)
{
    QStringList rows;
    for (const StaffCsvRow& row : csv.rows)
        rows << show(row);
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

StaffCsvRow person(const QStringList& values)
{
    StaffCsvRow row;
    for (int i = 0; i < kStaffColumnCount; ++i)
        row.fields[i] = values.value(i, "");
    return row;
}

TEST(StaffCsvWrite, WhatIsWrittenReadsBackTheSame)
{
    const QList<StaffCsvRow> rows = {
        person({"1", "AB", "Berg", "Anna", "Front desk", "ANNA", ""}),
        person({"2", "CD", "O\"Neil, Jr.", "Mary\nAnn", "a;b", "", "2026-03-01"}),
        person({"3", "EF", "\\\\server\\x", " leading", "trailing ", "\"", ""}),
        person({"4", "GH", "M\xC3\xBCller", "\xE6\x9D\x8E", "", "", ""}),
    };
    const QByteArray text = staffCsvText(rows);
    EXPECT_TRUE(text.startsWith("\xEF\xBB\xBFid,initials,last name,first name,department,login,"
                                "released\r\n1,AB,Berg,Anna,Front desk,ANNA,\r\n"));
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
    const QList<StaffCsvRow> rows = {person({"1", "AB", "Berg", "Anna"})};
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
