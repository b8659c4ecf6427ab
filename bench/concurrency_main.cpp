// How much concurrent sending one office database takes: P workstations (processes of the host
// program) each send one announcement to M people at the same moment. For every P x M it counts
// the sends that failed and times the round, so that the largest load the embedded database
// takes without a failure can be read off, and compared with a PostgreSQL server.
//   tzsndmsg_concurrency --app PATH [--processes 5,10,20,40] [--addressees 100,1000,5000]
//                        [--busy-timeout MS] [--pg SERVER_URL] [--json FILE]
#include "tzsndmsg/db/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace tzsndmsg;

namespace {

struct Options {
    QString app;
    QList<int> processes{5, 10, 20, 40};
    QList<int> addressees{100, 1000, 5000};
    int busyTimeoutMs = 0; // 0: the database's default
    QString pgServer;
    QString json;
};

QList<int> numbers(const QString& text)
{
    QList<int> out;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts))
        out << part.trimmed().toInt();
    return out;
}

struct Round {
    int addressees = 0, processes = 0, failed = 0;
    double wallS = 0, slowestS = 0, medianS = 0;
    QString firstError;
};

class Office {
public:
    Office(const Options& o, const QString& url) : m_options(o), m_url(url) {}

    bool setUp(int people, QString* error)
    {
        QProcess init;
        init.setProcessEnvironment(environment());
        init.start(m_options.app,
                   {QStringLiteral("init"), QStringLiteral("--demo"), QStringLiteral("--db"), m_url,
                    QStringLiteral("--data"), data()});
        if (!init.waitForFinished(120000) || init.exitCode() != 0) {
            *error = QString::fromLocal8Bit(init.readAllStandardError());
            return false;
        }
        auto db = db::Database::open(m_url, error);
        if (!db || !db->transaction())
            return false;
        m_people.clear();
        for (int i = 0; i < people; ++i) {
            const QVariant id = db->scalar(QStringLiteral("INSERT INTO PATable (PLasNam, PFirNam, "
                                                          "PDocIni, pTypEmp) VALUES (?, ?, ?, '1') "
                                                          "RETURNING pID"),
                                           {QStringLiteral("Staff%1").arg(i),
                                            QStringLiteral("Bench"), QStringLiteral("B%1").arg(i)},
                                           error);
            if (!id.isValid())
                return false;
            m_people << id.toString();
        }
        return db->commit();
    }

    Round round(int processes)
    {
        Round r;
        r.addressees = int(m_people.size());
        r.processes = processes;
        const QString to = m_people.join(u',');
        std::vector<std::unique_ptr<QProcess>> running;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < processes; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(environment());
            p->start(m_options.app,
                     {QStringLiteral("announce"), QStringLiteral("--login"),
                      QStringLiteral("MARIA"), QStringLiteral("--text"),
                      QStringLiteral("Benchmark announcement %1 of %2").arg(i).arg(processes),
                      QStringLiteral("--to"), to, QStringLiteral("--db"), address(),
                      QStringLiteral("--data"), data()});
            running.push_back(std::move(p));
        }
        std::vector<double> took(running.size(), -1);
        for (size_t left = running.size(); left > 0;) {
            for (size_t i = 0; i < running.size(); ++i) {
                if (took[i] >= 0 || !running[i]->waitForFinished(5))
                    continue;
                took[i] = clock.elapsed() / 1000.0;
                --left;
                if (running[i]->exitStatus() != QProcess::NormalExit ||
                    running[i]->exitCode() != 0) {
                    ++r.failed;
                    if (r.firstError.isEmpty())
                        r.firstError =
                            QString::fromLocal8Bit(running[i]->readAllStandardError()).simplified();
                }
            }
            if (clock.elapsed() > 600000)
                break; // a round that long is a failure in itself; the rest count as failed
        }
        for (double& t : took)
            if (t < 0) {
                ++r.failed;
                t = clock.elapsed() / 1000.0;
            }
        r.wallS = clock.elapsed() / 1000.0;
        std::sort(took.begin(), took.end());
        r.slowestS = took.back();
        r.medianS = took[took.size() / 2];
        return r;
    }

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TZSNDMSG_HOME"), m_home.path());
        return env;
    }
    QString data() const { return m_home.path() + QStringLiteral("/data/"); }
    QString address() const
    {
        if (m_options.busyTimeoutMs <= 0)
            return m_url;
        return m_url + (m_url.contains(u'?') ? u'&' : u'?') +
               QStringLiteral("busy_timeout=%1").arg(m_options.busyTimeoutMs);
    }

    const Options& m_options;
    QString m_url;
    QTemporaryDir m_home;
    QStringList m_people;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options o;
    o.app = QStringLiteral(TZSNDMSG_APP);
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& name = args.at(i);
        const QString& value = args.at(i + 1);
        if (name == QLatin1String("--app"))
            o.app = value;
        else if (name == QLatin1String("--processes"))
            o.processes = numbers(value);
        else if (name == QLatin1String("--addressees"))
            o.addressees = numbers(value);
        else if (name == QLatin1String("--busy-timeout"))
            o.busyTimeoutMs = value.toInt();
        else if (name == QLatin1String("--pg"))
            o.pgServer = value;
        else if (name == QLatin1String("--json"))
            o.json = value;
        else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(name));
            return 2;
        }
    }

    std::printf("%s, busy timeout %s\n\n", o.pgServer.isEmpty() ? "SQLite" : "PostgreSQL",
                o.busyTimeoutMs > 0 ? qPrintable(QString::number(o.busyTimeoutMs) + " ms")
                                    : "default");
    std::printf(
        "| addressees | processes | failed | round s | median process s | slowest process s |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    QJsonArray rounds;
    for (const int people : o.addressees) {
        QTemporaryDir files;
        QString url = QStringLiteral("sqlite://") + files.path() + QStringLiteral("/office.db");
        QString schema;
        if (!o.pgServer.isEmpty()) {
            schema = QStringLiteral("bench_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
            auto admin = db::Database::open(o.pgServer);
            if (!admin || !admin->exec(QStringLiteral("CREATE SCHEMA ") + schema))
                return 1;
            url = o.pgServer + QStringLiteral("?schema=") + schema;
        }
        Office office(o, url);
        QString error;
        if (!office.setUp(people, &error)) {
            std::fprintf(stderr, "cannot set up the office: %s\n", qPrintable(error));
            return 1;
        }
        for (const int processes : o.processes) {
            const Round r = office.round(processes);
            std::printf("| %d | %d | %d | %.1f | %.1f | %.1f |\n", r.addressees, r.processes,
                        r.failed, r.wallS, r.medianS, r.slowestS);
            if (!r.firstError.isEmpty())
                std::printf("|   | first failure: %s |\n", qPrintable(r.firstError.left(160)));
            std::fflush(stdout);
            rounds.append(QJsonObject{{QStringLiteral("addressees"), r.addressees},
                                      {QStringLiteral("processes"), r.processes},
                                      {QStringLiteral("failed"), r.failed},
                                      {QStringLiteral("round_s"), r.wallS},
                                      {QStringLiteral("median_s"), r.medianS},
                                      {QStringLiteral("slowest_s"), r.slowestS},
                                      {QStringLiteral("first_error"), r.firstError}});
        }
        if (!schema.isEmpty())
            if (auto admin = db::Database::open(o.pgServer))
                admin->exec(QStringLiteral("DROP SCHEMA ") + schema + QStringLiteral(" CASCADE"));
    }
    if (!o.json.isEmpty()) {
        QFile out(o.json);
        if (out.open(QIODevice::WriteOnly))
            out.write(
                QJsonDocument(QJsonObject{{QStringLiteral("database"),
                                           o.pgServer.isEmpty() ? QStringLiteral("sqlite")
                                                                : QStringLiteral("postgresql")},
                                          {QStringLiteral("busy_timeout_ms"), o.busyTimeoutMs},
                                          {QStringLiteral("rounds"), rounds}})
                    .toJson());
    }
    return 0;
}
