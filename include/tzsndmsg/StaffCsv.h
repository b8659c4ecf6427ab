#pragma once

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// The office's people as a CSV file, the form a spreadsheet opens and writes: the columns of the
// staff list with a header row. Reading takes UTF-8 with or without a byte-order mark, CRLF or LF
// line ends, quoted fields (doubled quotes, separators and line breaks inside) and the separator
// "," or ";" (a spreadsheet set to a decimal comma writes ";"), told from the header row.
//
// Nothing here shows a window. Reading and writing files: any thread; an import or export: the
// thread that opened the connection.
namespace tzsndmsg {

namespace db {
class Database;
}

// The columns, in the order the staff list shows them and an export writes them.
enum class StaffColumn { Id, Initials, LastName, FirstName, Department, Login, Released };
inline constexpr int kStaffColumnCount = 7;

// The header names: "id", "initials", "last name", "first name", "department", "login",
// "released". A header is matched whatever its case, blanks, "_" and "-" ("Last_Name" reads as
// "last name"); the staff list's headings "last", "first" and "released on" are taken too.
QString staffColumnName(StaffColumn column);
QStringList staffColumnNames();

// One row of the file: the fields by column (StaffColumn as index); a column the file does not
// have reads as a null QString, an empty cell as an empty one. Values are as written (not
// trimmed): the staff rules trim and check them.
struct StaffCsvRow {
    int line = 0; // the file's line where the row starts; the header is line 1
    std::array<QString, kStaffColumnCount> fields;

    const QString& field(StaffColumn column) const { return fields[int(column)]; }
    QString& field(StaffColumn column) { return fields[int(column)]; }
};

struct StaffCsv {
    QList<StaffColumn> columns; // those of the header, in its order
    QChar separator = QLatin1Char(',');
    QList<StaffCsvRow> rows; // rows of empty fields only (blank lines) are left out

    bool has(StaffColumn column) const { return columns.contains(column); }
};

// What is wrong with a file, at a line (0: the file as a whole).
struct StaffCsvProblem {
    int line = 0;
    QString reason;

    // "line 4: ..." or the reason alone.
    QString text() const;
};

// Reads the file's bytes. False with every problem found when the file is not a staff list it can
// read whole: empty, not UTF-8 (each line with bad bytes), another format (binary data, a
// workbook's zip, JSON), an unknown, repeated or missing column (the initials and the last name
// are needed), a row whose field count differs from the header's, a quote never closed. Rows that
// read are kept in `csv` even when others did not.
bool readStaffCsv(const QByteArray& bytes, StaffCsv& csv, QList<StaffCsvProblem>& problems);

// The same from a file; a file that cannot be read, a folder or one too large to be a staff list
// is a problem of the whole file.
bool readStaffCsvFile(const QString& path, StaffCsv& csv, QList<StaffCsvProblem>& problems);

// Every column with its header row, "," between fields, CRLF line ends and a byte-order mark so
// that a spreadsheet reads it as UTF-8; fields quoted where they hold a separator, a quote, a
// line break or blanks at either end.
QByteArray staffCsvText(const QList<StaffCsvRow>& rows);

// Writes the text to a file beside the target and renames it over the target, so that a reader
// sees the old file or the new one whole. A target that is a symbolic link or not a regular file
// is refused, never written through. False with the reason.
bool writeStaffCsvFile(const QString& path, const QList<StaffCsvRow>& rows,
                       QString* error = nullptr);

// --- import and export ------------------------------------------------------------------------

// What an import did, or would do in a dry run: one line per person, "line 4: Berg, Anna (AB)"
// for an added one, with what changes for a changed one ("department Front desk -> Lab").
struct StaffImportReport {
    QStringList added, changed, released, rehired;
    int unchanged = 0;
    // Every bad line, in the file's order; nothing was written when there is one.
    QList<StaffCsvProblem> problems;
};

// Imports the people of a staff list, all or nothing. A row with an id changes that person (the
// columns the file has; a row as the office holds it changes nothing), a row without one adds a
// person. The "released" column: empty, "-" or "no" keeps or makes the person current (a rehire),
// a date (yyyy-mm-dd) or "yes" releases (on that day; "yes" keeps an earlier release date,
// today otherwise). Every row is checked by the staff rules against the office and against the
// other rows of the file; any bad row refuses the whole file, each named in report.problems. A
// dry run checks the same and writes nothing. False when anything is wrong; a failure of the
// database itself is in *error.
bool importStaffCsv(db::Database& database, const QByteArray& bytes, bool dryRun,
                    StaffImportReport& report, QString* error = nullptr);
bool importStaffCsvFile(db::Database& database, const QString& path, bool dryRun,
                        StaffImportReport& report, QString* error = nullptr);

// Every person of the office, released ones included, as a staff list file (writeStaffCsvFile).
// The number of people written in *count.
bool exportStaffCsvFile(db::Database& database, const QString& path, int* count = nullptr,
                        QString* error = nullptr);

} // namespace tzsndmsg
