// tzsndmsg_storegen: fills an empty database with a generated office for the benchmarks.
#include "StoreGenerator.h"
#include "tzsndmsg/db/Database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

using namespace tzsndmsg;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Fills an empty office database with a generated, "
                                               "deterministic office."));
    p.addHelpOption();
    p.addOption({QStringLiteral("db"),
                 QStringLiteral("Database URL (sqlite:///abs/file.db or "
                                "postgresql://user@host:port/db)."),
                 QStringLiteral("url")});
    p.addOption(
        {QStringLiteral("data"), QStringLiteral("Data folder to create."), QStringLiteral("dir")});
    p.addOption({QStringLiteral("scale"), QStringLiteral("Shrinks every count (default 1)."),
                 QStringLiteral("S"), QStringLiteral("1")});
    p.addOption({QStringLiteral("background"),
                 QStringLiteral("Extra messages that never reach the typical employee, as a factor "
                                "of the messages (3 makes a store 4 times as large)."),
                 QStringLiteral("F"), QStringLiteral("0")});
    p.addOption(
        {QStringLiteral("seed"), QStringLiteral("Seed of the generator."), QStringLiteral("N")});
    p.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    if (!p.isSet(QStringLiteral("db")) || !p.isSet(QStringLiteral("data"))) {
        err << "usage: tzsndmsg_storegen --db URL --data DIR [--scale S] [--background F] [--seed "
               "N]\n";
        return 2;
    }
    bool ok1 = false, ok2 = false;
    const double scale = p.value(QStringLiteral("scale")).toDouble(&ok1);
    const double background = p.value(QStringLiteral("background")).toDouble(&ok2);
    if (!ok1 || scale <= 0 || scale > 10 || !ok2 || background < 0 || background > 20) {
        err << "--scale must be a number in (0, 10] and --background in [0, 20]\n";
        return 2;
    }
    bench::StoreSpec spec = bench::StoreSpec().scaled(scale);
    spec.backgroundFactor = background;
    if (p.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        spec.seed = p.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok) {
            err << "--seed must be a whole number\n";
            return 2;
        }
    }

    QString error;
    auto db = db::Database::open(p.value(QStringLiteral("db")), &error);
    if (!db) {
        err << error << "\n";
        return 2;
    }
    QElapsedTimer t;
    t.start();
    bench::StoreSummary summary;
    spec.label = p.value(QStringLiteral("scale"));
    if (!bench::generateStore(*db, p.value(QStringLiteral("data")), spec, &summary, &error)) {
        err << "generation failed: " << error << "\n";
        return 1;
    }
    out << "Generated " << summary.messages << " messages, " << summary.recipientRows
        << " recipient rows, " << summary.events << " events, " << summary.employees
        << " employees in " << summary.departments << " departments in " << t.elapsed() / 1000.0
        << " s; typical employee " << summary.typicalLogin << " (person " << summary.typicalPid
        << ", computer " << summary.typicalComputer << ")\n";
    return 0;
}
