// tzsndmsg_watchbench: the live office under load. N workstations run `tzsndmsg watch` (each its
// own process) on one store; this program is another workstation that saves messages to all of
// them and measures, per configuration (PostgreSQL with its notices; SQLite in a shared folder
// with file-system events; SQLite seen only by the periodic look at the signal files, as on a
// network share):
//   - the time from a save's commit to each watcher's notice (median, 95th percentile, max);
//   - the statements each watcher runs while idle (per hour) and per message;
//   - the memory of an idle watcher (resident and proportional set size).
// Ratios between the configurations and the watcher counts are printed from the same run.
//
// At the scale of many workstations (--threads N: 500 by default in watch-bench.sh) the watchers
// are threads of this program, each with its own services and connection; each message goes to
// a few of them, and the statements the others run are counted (the target is none). --group
// OFFICES,PER puts OFFICES offices of PER such watchers on one server, one schema each, and
// measures the server's connections and memory beside the latency.
#include "core/MessageWrite.h"
#include "db/Internals.h"
#include "tzsndmsg/OfficeWatcher.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"
#include "tzsndmsg/tzGlobal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/resource.h>

using namespace tzsndmsg;

namespace {

// The sender's services: the moment of each commit, stamped as the save commits.
class SenderServices : public tzglob::tzGlobal {
public:
    using tzglob::tzGlobal::tzGlobal;
    void releaseAfterWrite(db::Database& connection) override
    {
        committedMs = QDateTime::currentMSecsSinceEpoch();
        tzglob::tzGlobal::releaseAfterWrite(connection);
    }
    qint64 committedMs = 0;
};

// An office made by the program's own init, away from the machine's configuration.
bool initOffice(const QString& program, const QString& work, const QString& url,
                const QString& data)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TZSNDMSG_SYSTEM_CONFIG"), work + QStringLiteral("/none.conf"));
    p.setProcessEnvironment(env);
    p.start(program,
            {QStringLiteral("init"), QStringLiteral("--db"), url, QStringLiteral("--data"), data});
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

// The m-th message of a run, from now, to the persons given (ids each followed by ",").
core::OutgoingMessage benchMessage(SenderServices& sender, const QString& persons, int m)
{
    core::OutgoingMessage out;
    out.headerChanged = true;
    const QDateTime now = sender.currentDateTime();
    out.cmDat = now.toString(QStringLiteral("MM/dd/yyyy"));
    out.cmCat = QStringLiteral("Message");
    out.cmSubCat = QStringLiteral("EMS");
    out.CMSubjec = QStringLiteral("Bench message %1").arg(m + 1);
    out.cmDoc = QStringLiteral("Room 2 autoclave is free again.");
    out.EvBroFla = out.EvBroStaDatFla = true;
    out.EvBroStaDat = out.cmDat;
    out.EvBroStaTim = now.toString(QStringLiteral("h:mm ap"));
    out.personIds[0] = persons;
    return out;
}

struct Config {
    QString name; // "postgresql", "sqlite", "sqlite-poll"
    bool postgres = false;
    bool pollOnly = false; // no file-system events: the periodic look alone
};

struct Watcher {
    QProcess* process = nullptr;
    QString login;
    bool ready = false;
    QHash<qint32, qint64> noticedMs; // cmID -> when it told it
    QList<QJsonObject> stats;
    QByteArray pending;
    bool exitedCleanly = false;
};

struct Result {
    QString config;
    int watchers = 0;
    QList<double> latencies; // ms
    int expected = 0;
    double idleSeconds = 0;
    double idleStatementsMax = 0; // per watcher, over the idle period
    double perMessageMean = 0;
    double rssMedianMb = 0, pssMedianMb = 0, rssMaxMb = 0;
    int cleanExits = 0;
    double startSeconds = 0;
};

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const qsizetype rank = qsizetype(std::ceil(p * double(values.size()))) - 1;
    return values.at(std::clamp<qsizetype>(rank, 0, values.size() - 1));
}

double median(QList<double> values)
{
    return percentile(std::move(values), 0.5);
}

// Runs the event loop until the condition holds or the time is up.
bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

qint64 procKb(qint64 pid, const char* file, const QByteArray& key)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

class Bench {
public:
    QString program;
    QString pgServer; // postgresql://user@host:port/postgres, empty: SQLite only
    QString work;
    QList<int> counts{1, 10, 50};
    int messages = 10;
    int gapMs = 1500;
    int idleSeconds = 20;
    int fileCheckMs = 1000;

    Result run(const Config& config, int n)
    {
        Result result;
        result.config = config.name;
        result.watchers = n;
        const QString dir = work + QStringLiteral("/%1-%2").arg(config.name).arg(n);
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        const QString data = dir + QStringLiteral("/data/");
        QString url;
        std::shared_ptr<db::Database> admin;
        QString database;
        if (config.postgres) {
            admin = db::Database::open(pgServer);
            database = QStringLiteral("watchbench_%1").arg(n);
            admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + database);
            admin->exec(QStringLiteral("CREATE DATABASE ") + database);
            QUrl u(pgServer);
            u.setPath(u'/' + database);
            url = u.toString();
        } else {
            url = QStringLiteral("sqlite://") + dir + QStringLiteral("/office.db");
        }
        if (!init(url, data)) {
            std::fprintf(stderr, "cannot make the office at %s\n", qPrintable(url));
            return result;
        }
        auto store = db::Database::open(url);
        QList<qint32> persons;
        for (int i = 0; i <= n; ++i) {
            const QString login = i == 0 ? QStringLiteral("SENDER")
                                         : QStringLiteral("W%1").arg(i, 2, 10, QLatin1Char('0'));
            const qint32 pid =
                store
                    ->scalar(
                        QStringLiteral("INSERT INTO PATable (PLasNam, PFirNam, PDocIni, pTypEmp) "
                                       "VALUES (?, ?, ?, '1') RETURNING pID"),
                        {login, QStringLiteral("Bench"), login.left(3)})
                    .toInt();
            store->exec(QStringLiteral("INSERT INTO PWMTable (PWMUseNam, PWMPID) VALUES (?, ?)"),
                        {login, pid});
            if (i > 0)
                persons << pid;
        }
        store.reset();

        // The watchers.
        std::vector<std::unique_ptr<Watcher>> watchers;
        QElapsedTimer startClock;
        startClock.start();
        for (int i = 1; i <= n; ++i) {
            auto w = std::make_unique<Watcher>();
            w->login = QStringLiteral("W%1").arg(i, 2, 10, QLatin1Char('0'));
            w->process = new QProcess;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + QStringLiteral("/config"));
            env.insert(QStringLiteral("TZSNDMSG_SYSTEM_CONFIG"),
                       dir + QStringLiteral("/none.conf"));
            w->process->setProcessEnvironment(env);
            QStringList args{QStringLiteral("watch"),
                             QStringLiteral("--db"),
                             url,
                             QStringLiteral("--data"),
                             data,
                             QStringLiteral("--login"),
                             w->login,
                             QStringLiteral("--computer"),
                             QStringLiteral("WS") + w->login,
                             QStringLiteral("--state"),
                             dir + QStringLiteral("/state-") + w->login + QStringLiteral(".json"),
                             QStringLiteral("--file-check"),
                             QString::number(fileCheckMs)};
            if (config.pollOnly)
                args << QStringLiteral("--no-file-events");
            Watcher* raw = w.get();
            QObject::connect(w->process, &QProcess::readyReadStandardOutput, [raw] { read(*raw); });
            w->process->setProcessChannelMode(QProcess::SeparateChannels);
            w->process->start(program, args);
            watchers.push_back(std::move(w));
        }
        auto allReady = [&] {
            return std::all_of(watchers.begin(), watchers.end(),
                               [](const auto& w) { return w->ready; });
        };
        if (!waitUntil(allReady, 180000)) {
            std::fprintf(stderr, "%s with %d watchers: not all started\n", qPrintable(config.name),
                         n);
        }
        result.startSeconds = double(startClock.elapsed()) / 1000.0;
        QThread::msleep(300); // the last start's first look is over

        // Idle.
        auto askStats = [&](int expected) {
            for (const auto& w : watchers)
                ::kill(pid_t(w->process->processId()), SIGUSR1);
            waitUntil(
                [&] {
                    return std::all_of(watchers.begin(), watchers.end(),
                                       [&](const auto& w) { return w->stats.size() >= expected; });
                },
                30000);
        };
        askStats(1);
        QElapsedTimer idle;
        idle.start();
        waitUntil([] { return false; }, idleSeconds * 1000);
        result.idleSeconds = double(idle.elapsed()) / 1000.0;
        askStats(2);
        QList<double> rss, pss;
        for (const auto& w : watchers) {
            const double before = w->stats.value(0).value(QStringLiteral("statements")).toDouble();
            const double after = w->stats.value(1).value(QStringLiteral("statements")).toDouble();
            result.idleStatementsMax = std::max(result.idleStatementsMax, after - before);
            const qint64 pid = w->process->processId();
            rss << double(procKb(pid, "status", "VmRSS:")) / 1024.0;
            pss << double(procKb(pid, "smaps_rollup", "Pss:")) / 1024.0;
        }
        result.rssMedianMb = median(rss);
        result.rssMaxMb = rss.isEmpty() ? 0 : *std::max_element(rss.begin(), rss.end());
        result.pssMedianMb = median(pss);

        // Messages from this workstation to every watcher.
        measureMessages(result, url, data, persons, watchers);
        askStats(3);
        QList<double> perMessage;
        for (const auto& w : watchers) {
            const double before = w->stats.value(1).value(QStringLiteral("statements")).toDouble();
            const double after = w->stats.value(2).value(QStringLiteral("statements")).toDouble();
            perMessage << (after - before) / std::max(1, messages);
        }
        double sum = 0;
        for (double v : perMessage)
            sum += v;
        result.perMessageMean = perMessage.isEmpty() ? 0 : sum / double(perMessage.size());

        // SIGTERM: each ends cleanly.
        for (const auto& w : watchers)
            w->process->terminate();
        for (const auto& w : watchers) {
            w->process->waitForFinished(15000);
            if (w->process->exitStatus() == QProcess::NormalExit && w->process->exitCode() == 0)
                ++result.cleanExits;
            else
                w->process->kill();
            delete w->process;
        }
        if (admin) {
            admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + database +
                        QStringLiteral(" WITH (FORCE)"));
        }
        return result;
    }

    void measureMessages(Result& result, const QString& url, const QString& data,
                         const QList<qint32>& persons,
                         const std::vector<std::unique_ptr<Watcher>>& watchers)
    {
        const int n = int(watchers.size());
        tzglob::Config sc;
        sc.databaseUrl = url;
        sc.dataFolder = data;
        sc.loginName = QStringLiteral("SENDER");
        sc.computerName = QStringLiteral("SENDERPC");
        SenderServices sender(sc);
        QString error;
        if (!sender.open(&error)) {
            std::fprintf(stderr, "sender: %s\n", qPrintable(error));
            return;
        }
        QStringList ids;
        for (qint32 p : persons)
            ids << QString::number(p);
        for (int m = 0; m < messages; ++m) {
            const core::OutgoingMessage out = benchMessage(sender, ids.join(u',') + u',', m);
            const core::SaveResult saved = core::saveMessage(sender, out);
            if (!saved.ok) {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(saved.error));
                continue;
            }
            const qint64 committed = sender.committedMs;
            result.expected += n;
            waitUntil(
                [&] {
                    return std::all_of(watchers.begin(), watchers.end(), [&](const auto& w) {
                        return w->noticedMs.contains(saved.cmId);
                    });
                },
                10000);
            for (const auto& w : watchers)
                if (w->noticedMs.contains(saved.cmId))
                    result.latencies << double(w->noticedMs.value(saved.cmId) - committed);
            // The next save comes at a random phase of the watchers' periodic look.
            waitUntil([] { return false; }, gapMs + int(QDateTime::currentMSecsSinceEpoch() % 250));
        }
    }

private:
    bool init(const QString& url, const QString& data)
    {
        return initOffice(program, work, url, data);
    }

    static void read(Watcher& w)
    {
        w.pending += w.process->readAllStandardOutput();
        qsizetype at;
        while ((at = w.pending.indexOf('\n')) >= 0) {
            const QByteArray line = w.pending.left(at);
            w.pending.remove(0, at + 1);
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            const QString event = o.value(QStringLiteral("event")).toString();
            if (event == QLatin1String("ready"))
                w.ready = true;
            else if (event == QLatin1String("arrived"))
                w.noticedMs.insert(o.value(QStringLiteral("cmID")).toInt(),
                                   qint64(o.value(QStringLiteral("noticedMs")).toDouble()));
            else if (event == QLatin1String("stats"))
                w.stats << o;
        }
    }
};

QString ms(double v)
{
    return std::isnan(v) ? QStringLiteral("-") : QString::number(v, 'f', 0);
}

// One workstation's watcher on a thread of its own: its own services, connection and state.
class Station {
public:
    Station(const QString& url, const QString& data, const QString& login, const QString& dir)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context, [=, this] { open(url, data, login, dir); }, Qt::QueuedConnection);
    }
    ~Station()
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_watcher.reset();
                m_services.reset();
                m_context.moveToThread(QCoreApplication::instance()->thread());
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    bool ready() const { return m_ready.load(); }
    bool failed() const { return m_failed.load(); }
    // Statements run on this station's thread so far.
    quint64 statements()
    {
        quint64 n = 0;
        QMetaObject::invokeMethod(
            &m_context, [&n] { n = db::Internals::statementsRunOnThisThread(); },
            Qt::BlockingQueuedConnection);
        return n;
    }
    std::optional<qint64> noticedMs(qint32 cmId)
    {
        QMutexLocker guard(&m_lock);
        const auto it = m_noticed.constFind(cmId);
        return it == m_noticed.constEnd() ? std::nullopt : std::optional<qint64>(*it);
    }

private:
    void open(const QString& url, const QString& data, const QString& login, const QString& dir)
    {
        tzglob::Config config;
        config.databaseUrl = url;
        config.dataFolder = data;
        config.loginName = login;
        config.computerName = QStringLiteral("WS") + login;
        m_services = std::make_shared<tzglob::tzGlobal>(config);
        QString error;
        if (!m_services->open(&error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(login), qPrintable(error));
            m_failed = true;
            return;
        }
        OfficeWatcher::Options options;
        options.stateFile = dir + QStringLiteral("/state-") + login + QStringLiteral(".json");
        options.snoozeFile = dir + QStringLiteral("/snoozes/") + login + QStringLiteral(".json");
        options.fileCheckMs = 0; // PostgreSQL's notices alone
        options.fileSystemEvents = false;
        m_watcher = std::make_unique<OfficeWatcher>(m_services, options);
        QObject::connect(m_watcher.get(), &OfficeWatcher::messageArrived, &m_context,
                         [this](const OfficeNotice& n) {
                             const qint64 now = QDateTime::currentMSecsSinceEpoch();
                             QMutexLocker guard(&m_lock);
                             m_noticed.insert(n.cmID, now);
                         });
        QObject::connect(m_watcher.get(), &OfficeWatcher::logged, &m_context,
                         [login](const QString& text) {
                             std::fprintf(stderr, "%s: %s\n", qPrintable(login), qPrintable(text));
                         });
        if (!m_watcher->start(&error) || !m_watcher->isListening()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(login),
                         qPrintable(error.isEmpty() ? QStringLiteral("not listening") : error));
            m_failed = true;
            return;
        }
        m_ready = true;
    }

    QThread m_thread;
    QObject m_context;
    std::shared_ptr<tzglob::tzGlobal> m_services;
    std::unique_ptr<OfficeWatcher> m_watcher;
    std::atomic<bool> m_ready{false}, m_failed{false};
    QMutex m_lock;
    QHash<qint32, qint64> m_noticed;
};

struct Office {
    QString url, data;
    std::unique_ptr<SenderServices> sender;
    QList<qint32> persons; // of the watchers, in order
    std::vector<std::unique_ptr<Station>> stations;
};

struct ScaleResult {
    int offices = 0, perOffice = 0;
    QList<double> latencies;            // messages to a few
    QList<double> wholeOfficeLatencies; // one message to every watcher of an office
    int expected = 0, expectedWhole = 0;
    quint64 unaddressedStatements = 0;
    quint64 addressedStatements = 0;
    int addressedNotices = 0;
    int failed = 0;
    double startSeconds = 0;
    int connections = 0;        // the server's, as pg_stat_activity lists them (client backends)
    int watcherConnections = 0; // of them, the watchers' (each hears its notices on its own)
    double serverPssMb = 0;     // the server's processes, proportional set size summed
    double serverRssMb = 0;
    double clientRssMb = 0; // this program with all its watchers
    QString sharedBuffers;
};

// The server's processes: every backend pg_stat_activity lists and the postmaster above them.
void serverMemory(db::Database& admin, ScaleResult& r)
{
    db::Recordset rs = admin.query(
        QStringLiteral("SELECT pid, backend_type, application_name FROM pg_stat_activity"));
    QSet<qint64> pids;
    for (rs.moveFirst(); rs.isOpen() && !rs.eof(); rs.moveNext()) {
        pids.insert(rs.value(QStringLiteral("pid")).toLongLong());
        if (rs.value(QStringLiteral("backend_type")).toString() ==
            QLatin1String("client backend")) {
            ++r.connections;
            if (rs.value(QStringLiteral("application_name"))
                    .toString()
                    .startsWith(QLatin1String("tzsndmsg-watcher")))
                ++r.watcherConnections;
        }
    }
    if (!pids.isEmpty()) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(*pids.begin()));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            pids.insert(fields.value(1).toLongLong()); // the parent: the postmaster
        }
    }
    for (qint64 pid : std::as_const(pids)) {
        r.serverPssMb += std::max<qint64>(0, procKb(pid, "smaps_rollup", "Pss:")) / 1024.0;
        r.serverRssMb += std::max<qint64>(0, procKb(pid, "status", "VmRSS:")) / 1024.0;
    }
    r.sharedBuffers = admin.scalar(QStringLiteral("SHOW shared_buffers")).toString();
}

class ScaleBench {
public:
    QString program, pgServer, work;
    int messages = 40;
    int perMessage = 5; // addressees of a message
    int gapMs = 300;

    ScaleResult run(int offices, int perOffice)
    {
        ScaleResult r;
        r.offices = offices;
        r.perOffice = perOffice;
        auto admin = db::Database::open(pgServer);
        if (!admin) {
            std::fprintf(stderr, "cannot reach %s\n", qPrintable(pgServer));
            return r;
        }
        const QString database = QStringLiteral("watchscale_%1x%2").arg(offices).arg(perOffice);
        admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + database +
                    QStringLiteral(" WITH (FORCE)"));
        admin->exec(QStringLiteral("CREATE DATABASE ") + database);
        const QString dir = work + QStringLiteral("/scale-%1x%2").arg(offices).arg(perOffice);
        QDir(dir).removeRecursively();
        QDir().mkpath(dir + QStringLiteral("/snoozes"));

        std::vector<Office> group(static_cast<size_t>(offices));
        for (int o = 0; o < offices; ++o) {
            Office& office = group[size_t(o)];
            QUrl u(pgServer);
            u.setPath(u'/' + database);
            if (offices > 1)
                u.setQuery(QStringLiteral("schema=office%1").arg(o + 1, 2, 10, QLatin1Char('0')));
            office.url = u.toString();
            office.data = dir + QStringLiteral("/data%1/").arg(o + 1);
            if (!init(office.url, office.data)) {
                std::fprintf(stderr, "cannot make the office at %s\n", qPrintable(office.url));
                return r;
            }
            auto store = db::Database::open(office.url);
            for (int i = 0; i <= perOffice; ++i) {
                const QString login = i == 0 ? QStringLiteral("SENDER") : loginOf(i);
                const qint32 pid =
                    store
                        ->scalar(QStringLiteral(
                                     "INSERT INTO PATable (PLasNam, PFirNam, PDocIni, pTypEmp) "
                                     "VALUES (?, ?, ?, '1') RETURNING pID"),
                                 {login, QStringLiteral("Bench"), login.left(3)})
                        .toInt();
                store->exec(
                    QStringLiteral("INSERT INTO PWMTable (PWMUseNam, PWMPID) VALUES (?, ?)"),
                    {login, pid});
                if (i > 0)
                    office.persons << pid;
            }
            tzglob::Config sc;
            sc.databaseUrl = office.url;
            sc.dataFolder = office.data;
            sc.loginName = QStringLiteral("SENDER");
            sc.computerName = QStringLiteral("SENDERPC");
            office.sender = std::make_unique<SenderServices>(sc);
            QString error;
            if (!office.sender->open(&error)) {
                std::fprintf(stderr, "sender: %s\n", qPrintable(error));
                return r;
            }
        }

        QElapsedTimer startClock;
        startClock.start();
        for (int o = 0; o < offices; ++o) {
            Office& office = group[size_t(o)];
            const QString stationDir = dir + QStringLiteral("/office%1").arg(o + 1);
            QDir().mkpath(stationDir);
            for (int i = 1; i <= perOffice; ++i) {
                office.stations.push_back(
                    std::make_unique<Station>(office.url, office.data, loginOf(i), stationDir));
                // Workstations come in over the morning, not all in one second.
                if (i % 25 == 0)
                    waitUntil(
                        [&] {
                            return std::all_of(
                                office.stations.begin(), office.stations.end(),
                                [](const auto& s) { return s->ready() || s->failed(); });
                        },
                        60000);
            }
        }
        auto eachStation = [&](const std::function<void(Station&)>& f) {
            for (Office& office : group)
                for (auto& s : office.stations)
                    f(*s);
        };
        waitUntil(
            [&] {
                bool all = true;
                eachStation([&](Station& s) { all = all && (s.ready() || s.failed()); });
                return all;
            },
            600000);
        eachStation([&](Station& s) { r.failed += s.ready() ? 0 : 1; });
        r.startSeconds = double(startClock.elapsed()) / 1000.0;
        waitUntil([] { return false; }, 1000); // the first looks are over

        serverMemory(*admin, r);
        r.clientRssMb =
            double(procKb(QCoreApplication::applicationPid(), "status", "VmRSS:")) / 1024.0;

        // Messages to a few workstations of one office at a time.
        QRandomGenerator random(24);
        auto counts = [&] {
            std::vector<quint64> c;
            eachStation([&](Station& s) { c.push_back(s.statements()); });
            return c;
        };
        std::vector<quint64> before = counts();
        for (int m = 0; m <= messages; ++m) {
            const bool whole = m == messages; // the last goes to a whole office
            const int o = int(random.bounded(offices));
            Office& office = group[size_t(o)];
            QList<int> to;
            if (whole) {
                for (int i = 0; i < perOffice; ++i)
                    to << i;
            } else {
                while (to.size() < std::min(perMessage, perOffice)) {
                    const int i = int(random.bounded(perOffice));
                    if (!to.contains(i))
                        to << i;
                }
            }
            QStringList ids;
            for (int i : to)
                ids << QString::number(office.persons[i]);
            const qint32 cmId = send(*office.sender, ids.join(u',') + u',', m);
            if (cmId == 0)
                continue;
            const qint64 committed = office.sender->committedMs;
            waitUntil(
                [&] {
                    return std::all_of(to.begin(), to.end(), [&](int i) {
                        return office.stations[size_t(i)]->noticedMs(cmId).has_value();
                    });
                },
                15000);
            for (int i : to) {
                const auto at = office.stations[size_t(i)]->noticedMs(cmId);
                if (at)
                    (whole ? r.wholeOfficeLatencies : r.latencies) << double(*at - committed);
            }
            (whole ? r.expectedWhole : r.expected) += int(to.size());
            waitUntil([] { return false; }, gapMs);
            // Whoever was not addressed ran nothing for this message.
            const std::vector<quint64> after = counts();
            size_t at = 0;
            for (int oo = 0; oo < offices; ++oo)
                for (int i = 0; i < perOffice; ++i, ++at) {
                    const quint64 ran = after[at] - before[at];
                    if (oo == o && to.contains(i)) {
                        r.addressedStatements += ran;
                        ++r.addressedNotices;
                    } else {
                        r.unaddressedStatements += ran;
                    }
                }
            before = after;
        }

        for (Office& office : group) {
            office.stations.clear();
            office.sender.reset();
        }
        admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + database +
                    QStringLiteral(" WITH (FORCE)"));
        return r;
    }

private:
    static QString loginOf(int i) { return QStringLiteral("W%1").arg(i, 3, 10, QLatin1Char('0')); }

    qint32 send(SenderServices& sender, const QString& persons, int m)
    {
        const core::OutgoingMessage out = benchMessage(sender, persons, m);
        const core::SaveResult saved = core::saveMessage(sender, out);
        if (!saved.ok)
            std::fprintf(stderr, "save failed: %s\n", qPrintable(saved.error));
        return saved.ok ? saved.cmId : 0;
    }

    bool init(const QString& url, const QString& data)
    {
        return initOffice(program, work, url, data);
    }
};

void printScale(const ScaleResult& r, QJsonArray& json)
{
    const double p95 = percentile(r.latencies, 0.95);
    const int watchers = r.offices * r.perOffice;
    std::printf(
        "\n%d office(s) of %d workstations on one PostgreSQL server (%d watchers, threads of this "
        "program, each with its own connection)\n",
        r.offices, r.perOffice, watchers);
    std::printf("  %-52s %10s   %s\n", "figure", "measured", "target");
    std::printf("  %-52s %10s   %s\n", "arrival p50, a message to a few (ms)",
                qPrintable(ms(median(r.latencies))), "-");
    std::printf("  %-52s %10s   %s\n", "arrival p95, a message to a few (ms)", qPrintable(ms(p95)),
                watchers >= 500 ? (p95 < 250 ? "under 250: met" : "under 250: NOT met") : "-");
    std::printf("  %-52s %10s   %s\n", "arrival p95, a message to a whole office (ms)",
                qPrintable(ms(percentile(r.wholeOfficeLatencies, 0.95))), "-");
    std::printf("  %-52s %10lld   %s\n", "notices missed",
                qlonglong(r.expected + r.expectedWhole - r.latencies.size() -
                          r.wholeOfficeLatencies.size()),
                "0");
    std::printf("  %-52s %10llu   %s\n", "statements run by watchers not addressed",
                static_cast<unsigned long long>(r.unaddressedStatements),
                r.unaddressedStatements == 0 ? "0: met" : "0: NOT met");
    std::printf("  %-52s %10.2f   %s\n", "statements per addressed watcher and message",
                r.addressedNotices ? double(r.addressedStatements) / r.addressedNotices : 0.0, "1");
    std::printf("  %-52s %10d   %s\n", "watchers that did not start", r.failed, "0");
    std::printf("  %-52s %10.1f   %s\n", "start of all watchers (s)", r.startSeconds, "-");
    std::printf("  %-52s %10d   %s\n", "server connections (client backends)", r.connections, "-");
    std::printf("  %-52s %10d   %s\n", "  of them the watchers' (notices and statements)",
                r.watcherConnections, "-");
    std::printf("  %-52s %10.2f   %s\n", "connections per watcher",
                watchers ? double(r.connections) / watchers : 0.0, "-");
    std::printf("  %-52s %10.0f   %s\n", "server memory, PSS summed (MB)", r.serverPssMb, "-");
    std::printf("  %-52s %10.0f   %s\n",
                "server memory, RSS summed (MB, counts shared pages again)", r.serverRssMb, "-");
    std::printf("  %-52s %10.2f   %s\n", "server memory per connection, PSS (MB)",
                r.connections ? r.serverPssMb / r.connections : 0.0, "-");
    std::printf("  %-52s %10s   %s\n", "shared_buffers", qPrintable(r.sharedBuffers), "-");
    std::printf("  %-52s %10.0f   %s\n", "this program with its watchers, RSS (MB)", r.clientRssMb,
                "-");
    json.append(
        QJsonObject{{QStringLiteral("offices"), r.offices},
                    {QStringLiteral("perOffice"), r.perOffice},
                    {QStringLiteral("medianMs"), median(r.latencies)},
                    {QStringLiteral("p95Ms"), p95},
                    {QStringLiteral("wholeOfficeP95Ms"), percentile(r.wholeOfficeLatencies, 0.95)},
                    {QStringLiteral("unaddressedStatements"), double(r.unaddressedStatements)},
                    {QStringLiteral("addressedStatements"), double(r.addressedStatements)},
                    {QStringLiteral("addressedNotices"), r.addressedNotices},
                    {QStringLiteral("failed"), r.failed},
                    {QStringLiteral("connections"), r.connections},
                    {QStringLiteral("watcherConnections"), r.watcherConnections},
                    {QStringLiteral("serverPssMb"), r.serverPssMb},
                    {QStringLiteral("serverRssMb"), r.serverRssMb},
                    {QStringLiteral("clientRssMb"), r.clientRssMb},
                    {QStringLiteral("sharedBuffers"), r.sharedBuffers}});
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("program"), QStringLiteral("The tzsndmsg program."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("pg"),
                      QStringLiteral("A PostgreSQL server (its postgres database)."),
                      QStringLiteral("URL")});
    parser.addOption({QStringLiteral("work"), QStringLiteral("A folder for the offices."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("counts"), QStringLiteral("Watcher counts (default 1,10,50)."),
                      QStringLiteral("LIST")});
    parser.addOption({QStringLiteral("messages"), QStringLiteral("Messages per run (default 10)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("idle"), QStringLiteral("Idle seconds measured (default 20)."),
                      QStringLiteral("S")});
    parser.addOption({QStringLiteral("only"), QStringLiteral("postgresql,sqlite,sqlite-poll"),
                      QStringLiteral("LIST")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Write the results here."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("threads"),
                      QStringLiteral("Also N watchers as threads of this program on PostgreSQL, "
                                     "messages to a few of them."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("group"),
                      QStringLiteral("Only OFFICES offices of PER watchers (threads) on the "
                                     "PostgreSQL server, one schema each."),
                      QStringLiteral("OFFICES,PER")});
    parser.process(app);
    // A thousand watchers hold several thousand descriptors.
    struct rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }

    Bench bench;
    bench.program = parser.value(QStringLiteral("program"));
    bench.pgServer = parser.value(QStringLiteral("pg"));
    bench.work = parser.isSet(QStringLiteral("work"))
                     ? parser.value(QStringLiteral("work"))
                     : QDir::tempPath() + QStringLiteral("/tzsndmsg-watchbench");
    if (parser.isSet(QStringLiteral("counts"))) {
        bench.counts.clear();
        for (const QString& c : parser.value(QStringLiteral("counts")).split(u','))
            bench.counts << c.toInt();
    }
    if (parser.isSet(QStringLiteral("messages")))
        bench.messages = parser.value(QStringLiteral("messages")).toInt();
    if (parser.isSet(QStringLiteral("idle")))
        bench.idleSeconds = parser.value(QStringLiteral("idle")).toInt();
    if (bench.program.isEmpty()) {
        std::fprintf(stderr, "--program is needed\n");
        return 2;
    }
    QDir().mkpath(bench.work);

    ScaleBench scale;
    scale.program = bench.program;
    scale.pgServer = bench.pgServer;
    scale.work = bench.work;
    if (parser.isSet(QStringLiteral("messages")))
        scale.messages = std::max(bench.messages, 1);
    QJsonArray scaleJson;
    auto writeJson = [&](const QJsonArray& results) {
        if (!parser.isSet(QStringLiteral("json")))
            return;
        QFile f(parser.value(QStringLiteral("json")));
        if (f.open(QIODevice::WriteOnly))
            f.write(
                QJsonDocument(QJsonObject{{QStringLiteral("results"), results},
                                          {QStringLiteral("scale"), scaleJson},
                                          {QStringLiteral("messages"), bench.messages},
                                          {QStringLiteral("fileCheckMs"), bench.fileCheckMs},
                                          {QStringLiteral("idleSeconds"), bench.idleSeconds},
                                          {QStringLiteral("cpus"), QThread::idealThreadCount()}})
                    .toJson());
    };
    if (parser.isSet(QStringLiteral("group"))) {
        const QStringList group = parser.value(QStringLiteral("group")).split(u',');
        const int offices = group.value(0).toInt(), per = group.value(1).toInt();
        if (bench.pgServer.isEmpty() || offices < 1 || per < 1) {
            std::fprintf(stderr, "--group OFFICES,PER needs --pg\n");
            return 2;
        }
        std::fprintf(stderr, "== %d offices of %d watchers\n", offices, per);
        printScale(scale.run(offices, per), scaleJson);
        writeJson({});
        return 0;
    }

    QList<Config> configs;
    const QStringList only = parser.value(QStringLiteral("only")).split(u',', Qt::SkipEmptyParts);
    auto wanted = [&](const QString& name) { return only.isEmpty() || only.contains(name); };
    if (!bench.pgServer.isEmpty() && wanted(QStringLiteral("postgresql")))
        configs << Config{QStringLiteral("postgresql"), true, false};
    if (wanted(QStringLiteral("sqlite")))
        configs << Config{QStringLiteral("sqlite"), false, false};
    if (wanted(QStringLiteral("sqlite-poll")))
        configs << Config{QStringLiteral("sqlite-poll"), false, true};

    QList<Result> results;
    for (const Config& config : configs)
        for (int n : std::as_const(bench.counts)) {
            std::fprintf(stderr, "== %s, %d watcher(s)\n", qPrintable(config.name), n);
            results << bench.run(config, n);
        }

    QJsonArray json;
    if (!results.isEmpty()) {
        std::printf("\nCommit on one workstation to the notice on the others (%d messages each, "
                    "signal files looked at every %d ms)\n\n",
                    bench.messages, bench.fileCheckMs);
        std::printf("%-12s %8s %9s %9s %9s %7s %12s %12s %8s %8s %6s\n", "store", "watchers",
                    "median", "p95", "max", "missed", "idle st./h", "st./message", "RSS MB",
                    "PSS MB", "exits");
        for (const Result& r : results) {
            const double perHour =
                r.idleSeconds > 0 ? r.idleStatementsMax * 3600.0 / r.idleSeconds : 0;
            std::printf(
                "%-12s %8d %9s %9s %9s %7lld %12.0f %12.2f %8.1f %8.1f %3d/%-3d\n",
                qPrintable(r.config), r.watchers, qPrintable(ms(median(r.latencies))),
                qPrintable(ms(percentile(r.latencies, 0.95))),
                qPrintable(ms(r.latencies.isEmpty()
                                  ? std::nan("")
                                  : *std::max_element(r.latencies.begin(), r.latencies.end()))),
                qlonglong(r.expected - r.latencies.size()), perHour, r.perMessageMean,
                r.rssMedianMb, r.pssMedianMb, r.cleanExits, r.watchers);
            json.append(QJsonObject{{QStringLiteral("store"), r.config},
                                    {QStringLiteral("watchers"), r.watchers},
                                    {QStringLiteral("medianMs"), median(r.latencies)},
                                    {QStringLiteral("p95Ms"), percentile(r.latencies, 0.95)},
                                    {QStringLiteral("notices"), r.latencies.size()},
                                    {QStringLiteral("expected"), r.expected},
                                    {QStringLiteral("idleStatementsPerHour"), perHour},
                                    {QStringLiteral("statementsPerMessage"), r.perMessageMean},
                                    {QStringLiteral("rssMedianMb"), r.rssMedianMb},
                                    {QStringLiteral("rssMaxMb"), r.rssMaxMb},
                                    {QStringLiteral("pssMedianMb"), r.pssMedianMb},
                                    {QStringLiteral("cleanExits"), r.cleanExits},
                                    {QStringLiteral("startSeconds"), r.startSeconds}});
        }

        // Ratios within the run.
        auto find = [&](const QString& store, int n) -> const Result* {
            for (const Result& r : results)
                if (r.config == store && r.watchers == n)
                    return &r;
            return nullptr;
        };
        std::printf("\nRatios (p95)\n");
        const int most = bench.counts.isEmpty()
                             ? 0
                             : *std::max_element(bench.counts.begin(), bench.counts.end());
        const int fewest = bench.counts.isEmpty()
                               ? 0
                               : *std::min_element(bench.counts.begin(), bench.counts.end());
        for (const Config& c : configs) {
            const Result* a = find(c.name, fewest);
            const Result* b = find(c.name, most);
            if (a && b)
                std::printf("  %-12s %d watchers / %d watcher(s): %.2f\n", qPrintable(c.name), most,
                            fewest,
                            percentile(b->latencies, 0.95) / percentile(a->latencies, 0.95));
        }
        for (int n : std::as_const(bench.counts)) {
            const Result* pg = find(QStringLiteral("postgresql"), n);
            const Result* lite = find(QStringLiteral("sqlite"), n);
            const Result* poll = find(QStringLiteral("sqlite-poll"), n);
            if (pg && lite)
                std::printf("  %2d watchers: sqlite / postgresql %.2f", n,
                            percentile(lite->latencies, 0.95) / percentile(pg->latencies, 0.95));
            if (pg && poll)
                std::printf(", sqlite-poll / postgresql %.2f",
                            percentile(poll->latencies, 0.95) / percentile(pg->latencies, 0.95));
            if (pg && (lite || poll))
                std::printf("\n");
        }

        std::printf(
            "\nTargets: PostgreSQL p95 under 500 ms at 50 watchers; signal files (polled) under "
            "%d ms + 200 ms; idle watchers on PostgreSQL run no statement; an idle watcher uses "
            "under 30 MB.\n",
            bench.fileCheckMs);
    }
    if (parser.isSet(QStringLiteral("threads")) && !bench.pgServer.isEmpty()) {
        const int n = parser.value(QStringLiteral("threads")).toInt();
        std::fprintf(stderr, "== postgresql, %d watchers as threads\n", n);
        printScale(scale.run(1, n), scaleJson);
    }
    writeJson(json);
    return 0;
}
