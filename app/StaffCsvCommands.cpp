// tzsndmsg import staff FILE.csv [--dry-run] and tzsndmsg export staff FILE.csv: the office's
// people from and to a spreadsheet's CSV file.
#include "Commands.h"
#include "HostConfig.h"
#include "tzsndmsg/StaffCsv.h"
#include "tzsndmsg/db/Database.h"

#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

namespace tzsndmsg::app {

namespace {

// Parses "staff FILE.csv" and the options; false (the reason printed) on bad arguments.
bool parseStaffFile(QCommandLineParser& parser, const QString& command, const QStringList& args,
                    QString& file)
{
    parser.addPositionalArgument(QStringLiteral("staff"), QStringLiteral("What to move: staff."));
    parser.addPositionalArgument(
        QStringLiteral("FILE.csv"),
        QStringLiteral("The CSV file: a header row naming its columns (%1), then a person a row.")
            .arg(staffColumnNames().join(QStringLiteral(", "))));
    addCommonOptions(parser);
    setCommandName(command + QStringLiteral(" staff FILE.csv"));
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args)) {
        fail(2, parser.errorText());
        return false;
    }
    showHelpIfAsked(parser);
    const QStringList words = parser.positionalArguments();
    if (words.value(0) != QLatin1String("staff")) {
        fail(2, words.isEmpty()
                    ? QStringLiteral("%1 needs: staff FILE.csv").arg(command)
                    : QStringLiteral("%1 knows only staff, not '%2'").arg(command, words[0]));
        return false;
    }
    if (words.size() != 2) {
        fail(2, words.size() < 2 ? QStringLiteral("%1 staff needs the CSV file").arg(command)
                                 : QStringLiteral("unexpected argument '%1'").arg(words[2]));
        return false;
    }
    file = words[1];
    return true;
}

} // namespace

int runImport(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption(
        {QStringLiteral("dry-run"),
         QStringLiteral("Check the file and say what would be added, changed, released "
                        "and rehired; write nothing.")});
    QString file;
    if (!parseStaffFile(parser, QStringLiteral("import"), args, file))
        return 2;
    const QFileInfo info(file);
    if (!info.exists())
        return fail(2, QStringLiteral("%1 does not exist").arg(file));
    if (info.isDir())
        return fail(2, QStringLiteral("%1 is a folder, not a CSV file").arg(file));
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;

    const bool dryRun = parser.isSet(QStringLiteral("dry-run"));
    StaffImportReport report;
    QString error;
    if (!importStaffCsvFile(*database, file, dryRun, report, &error)) {
        if (report.problems.isEmpty())
            return fail(1, QStringLiteral("%1 was not imported: %2").arg(file, error));
        for (const StaffCsvProblem& p : std::as_const(report.problems))
            std::fprintf(stderr, "%s: %s\n", qPrintable(file), qPrintable(p.text()));
        return fail(1, QStringLiteral("%1 was not imported, nothing was written: %2 problem(s)")
                           .arg(file)
                           .arg(report.problems.size()));
    }

    QTextStream out(stdout);
    const auto list = [&](const char* kind, const QStringList& lines) {
        for (const QString& line : lines)
            out << kind << ' ' << line << Qt::endl;
    };
    list("add", report.added);
    list("change", report.changed);
    list("release", report.released);
    list("rehire", report.rehired);
    out << (dryRun ? QStringLiteral("Dry run, nothing written: %1 would add %2, change %3, release "
                                    "%4 and rehire %5 (%6 unchanged).")
                   : QStringLiteral("Imported %1: added %2, changed %3, released %4, rehired %5 "
                                    "(%6 unchanged)."))
               .arg(file)
               .arg(report.added.size())
               .arg(report.changed.size())
               .arg(report.released.size())
               .arg(report.rehired.size())
               .arg(report.unchanged)
        << Qt::endl;
    return 0;
}

int runExport(const QStringList& args)
{
    QCommandLineParser parser;
    QString file;
    if (!parseStaffFile(parser, QStringLiteral("export"), args, file))
        return 2;
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    int count = 0;
    QString error;
    if (!exportStaffCsvFile(*database, file, &count, &error))
        return fail(1, error);
    QTextStream(stdout) << "Exported " << count << " people to " << file << Qt::endl;
    return 0;
}

} // namespace tzsndmsg::app
