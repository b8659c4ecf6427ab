// tzsndmsg_staffbench: a staff list of 2,000 people imported into a fresh office (each run gets its
// own: a new SQLite file, or a new schema on the PostgreSQL server of --db), and exported again.
//   tzsndmsg_staffbench [--db postgresql://...] [Google Benchmark's flags]
#include "tzsndmsg/Office.h"
#include "tzsndmsg/StaffCsv.h"
#include "tzsndmsg/db/Database.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUuid>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace tzsndmsg;

namespace {

constexpr int kPeople = 2000;
QString g_pgUrl; // empty: SQLite

// A list as an office manager's spreadsheet holds it: departments, logins, a few names with
// quotes and separators.
QByteArray staffList(int people)
{
    QByteArray csv = "initials,last name,first name,department,login\r\n";
    const char* const departments[] = {"Front desk", "Lab",    "Radiology", "Billing; payroll",
                                       "Ward 1",     "Ward 2", "Pharmacy",  "Surgery"};
    for (int i = 0; i < people; ++i) {
        const QByteArray n = QByteArray::number(i).rightJustified(4, '0');
        csv += "S" + n + ",";
        csv += i % 50 == 0 ? "\"O\"\"Neil, " + n + "\"" : "Last" + n;
        csv +=
            ",First" + n + ",\"" + departments[i % 8] + "\"," + (i % 5 ? "user" + n : "") + "\r\n";
    }
    return csv;
}

// A fresh office; its SQLite folder or PostgreSQL schema goes with it.
struct FreshOffice {
    std::unique_ptr<QTemporaryDir> folder = std::make_unique<QTemporaryDir>();
    QString schema;
    std::shared_ptr<db::Database> database;

    bool open(QString* error)
    {
        QString url = QStringLiteral("sqlite://") + folder->filePath(QStringLiteral("office.db"));
        if (!g_pgUrl.isEmpty()) {
            schema = QStringLiteral("bench_staff_") +
                     QUuid::createUuid().toString(QUuid::Id128).left(12).toLower();
            auto admin = db::Database::open(g_pgUrl, error);
            if (!admin || !admin->exec(QStringLiteral("CREATE SCHEMA ") + schema, error))
                return false;
            url = g_pgUrl +
                  (g_pgUrl.contains(QLatin1Char('?')) ? QStringLiteral("&") : QStringLiteral("?")) +
                  QStringLiteral("schema=") + schema;
        }
        if (!createOffice(url, folder->filePath(QStringLiteral("data")), error))
            return false;
        database = db::Database::open(url, error);
        return database != nullptr;
    }

    ~FreshOffice()
    {
        database.reset();
        if (schema.isEmpty())
            return;
        if (auto admin = db::Database::open(g_pgUrl))
            admin->exec(QStringLiteral("DROP SCHEMA ") + schema + QStringLiteral(" CASCADE"));
    }
};

void BM_ImportStaff(benchmark::State& state)
{
    const QByteArray csv = staffList(int(state.range(0)));
    const bool dryRun = state.range(1) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto office = std::make_unique<FreshOffice>();
        QString error;
        if (!office->open(&error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        state.ResumeTiming();
        StaffImportReport report;
        if (!importStaffCsv(*office->database, csv, dryRun, report, &error) ||
            report.added.size() != state.range(0)) {
            state.SkipWithError(
                qPrintable(report.problems.isEmpty() ? error : report.problems.front().text()));
            return;
        }
        state.PauseTiming();
        office.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel(g_pgUrl.isEmpty() ? "sqlite" : "postgresql");
}
BENCHMARK(BM_ImportStaff)
    ->ArgNames({"people", "dry_run"})
    ->Args({kPeople, 0})
    ->Args({kPeople, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_ExportStaff(benchmark::State& state)
{
    FreshOffice office;
    QString error;
    StaffImportReport report;
    if (!office.open(&error) ||
        !importStaffCsv(*office.database, staffList(int(state.range(0))), false, report, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    const QString file = office.folder->filePath(QStringLiteral("export.csv"));
    for (auto _ : state) {
        int count = 0;
        if (!exportStaffCsvFile(*office.database, file, &count, &error) ||
            count != state.range(0)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel(g_pgUrl.isEmpty() ? "sqlite" : "postgresql");
}
BENCHMARK(BM_ExportStaff)
    ->Arg(kPeople)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    // --db is this program's own; the rest is Google Benchmark's.
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc) {
            const QString url = QString::fromLocal8Bit(argv[++i]);
            if (url.startsWith(QLatin1String("postgresql://")))
                g_pgUrl = url;
            continue;
        }
        rest.push_back(argv[i]);
    }
    int restCount = int(rest.size());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
