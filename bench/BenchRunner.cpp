#include "BenchRunner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace tzsndmsg::bench {

namespace {

double timed(const std::function<qint64()>& f, qint64* rows)
{
    QElapsedTimer t;
    t.start();
    *rows = f();
    return double(t.nsecsElapsed()) / 1e6;
}

qint64 statusValue(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            const QByteArray digits =
                line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0);
            return digits.toLongLong();
        }
    }
    return -1;
}

} // namespace

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

qint64 resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
    return currentMemoryKiB();
}

qint64 peakMemoryKiB()
{
    return statusValue("VmHWM:");
}
qint64 currentMemoryKiB()
{
    return statusValue("VmRSS:");
}

void Runner::run(const QStringList& filters)
{
    for (const Case& c : m_cases) {
        if (!filters.isEmpty() &&
            std::none_of(filters.begin(), filters.end(),
                         [&](const QString& f) { return c.name.contains(f, Qt::CaseInsensitive); }))
            continue;
        std::fprintf(stderr, "  %s ...\n", qPrintable(c.name));
        Result r;
        r.name = c.name;
        r.baselineName = c.baselineName;
        r.note = c.note;
        r.target = c.target;
        const auto once = [](const std::function<qint64()>& f, const std::function<void()>& down,
                             qint64* rows) {
            const double ms = timed(f, rows);
            if (down)
                down();
            return ms;
        };
        qint64 rows = 0;
        if (c.opSetup)
            c.opSetup();
        once(c.op, c.opTeardown, &rows); // warm caches and prepared statements
        if (c.baseline) {
            if (c.baselineSetup)
                c.baselineSetup();
            once(c.baseline, c.baselineTeardown, &rows);
        }
        for (int i = 0; i < m_repetitions; ++i) {
            if (c.opSetup)
                c.opSetup();
            r.opMs << once(c.op, c.opTeardown, &r.opRows);
            if (c.baseline) {
                if (c.baselineSetup)
                    c.baselineSetup();
                r.baselineMs << once(c.baseline, c.baselineTeardown, &r.baselineRows);
            }
        }
        r.opMedian = median(r.opMs);
        r.baselineMedian = median(r.baselineMs);
        m_results << r;
    }
}

QString Runner::table() const
{
    QString out;
    QTextStream s(&out);
    s << QStringLiteral(
             "| Operation | rows | ms (median of %1) | Baseline | rows | baseline ms | ratio |\n")
             .arg(m_repetitions);
    s << "|---|---:|---:|---|---:|---:|---:|\n";
    for (const Result& r : m_results) {
        s << "| " << r.name << " | " << r.opRows << " | " << QString::number(r.opMedian, 'f', 1)
          << " | " << r.baselineName << " | "
          << (r.baselineMs.isEmpty() ? QString() : QString::number(r.baselineRows)) << " | "
          << (r.baselineMs.isEmpty() ? QStringLiteral("-")
                                     : QString::number(r.baselineMedian, 'f', 1))
          << " | "
          << (r.baselineMs.isEmpty() ? QStringLiteral("-")
                                     : QString::number(r.ratio(), 'f', 2) + u'x')
          << " |\n";
    }
    return out;
}

QString Runner::targets() const
{
    QString out;
    QTextStream s(&out);
    for (const Result& r : m_results) {
        if (r.target <= 0 || r.baselineMs.isEmpty())
            continue;
        s << r.name << ": " << QString::number(r.opMedian, 'f', 1) << " ms, " << r.baselineName
          << ' ' << QString::number(r.baselineMedian, 'f', 1) << " ms, "
          << QString::number(r.ratio(), 'f', 2) << "x (target " << QString::number(r.target, 'f', 1)
          << "x" << (r.ratio() <= r.target ? QString() : QStringLiteral(", MISSED")) << ")\n";
    }
    return out;
}

QJsonObject Runner::json() const
{
    QJsonArray results;
    for (const Result& r : m_results) {
        QJsonArray op, base;
        for (double v : r.opMs)
            op << v;
        for (double v : r.baselineMs)
            base << v;
        QJsonObject o{{QStringLiteral("operation"), r.name},
                      {QStringLiteral("rows"), r.opRows},
                      {QStringLiteral("ms"), op},
                      {QStringLiteral("median_ms"), r.opMedian}};
        if (!r.baselineMs.isEmpty()) {
            o.insert(QStringLiteral("baseline"), r.baselineName);
            o.insert(QStringLiteral("baseline_rows"), r.baselineRows);
            o.insert(QStringLiteral("baseline_ms"), base);
            o.insert(QStringLiteral("baseline_median_ms"), r.baselineMedian);
            o.insert(QStringLiteral("ratio"), r.ratio());
        }
        if (!r.note.isEmpty())
            o.insert(QStringLiteral("note"), r.note);
        if (r.target > 0)
            o.insert(QStringLiteral("target_ratio"), r.target);
        results << o;
    }
    return {{QStringLiteral("repetitions"), m_repetitions}, {QStringLiteral("results"), results}};
}

} // namespace tzsndmsg::bench
