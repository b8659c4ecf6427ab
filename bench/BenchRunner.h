#pragma once

#include <QJsonObject>
#include <QString>
#include <QVector>
#include <functional>

namespace tzsndmsg::bench {

// One operation of the product next to the bare database work it stands on. Each part
// returns the number of rows it produced (or wrote); teardowns put the store back untimed.
struct Case {
    QString name;
    QString baselineName;
    std::function<qint64()> op;
    std::function<qint64()> baseline;
    std::function<void()> opTeardown;
    std::function<void()> baselineTeardown;
    QString note;
    std::function<void()> opSetup;       // untimed, before each run of the operation
    std::function<void()> baselineSetup; // untimed, before each run of the baseline
    double target = 0;                   // the ratio the operation should stay within (0: none)
};

struct Result {
    QString name, baselineName, note;
    QVector<double> opMs, baselineMs;
    double opMedian = 0, baselineMedian = 0;
    qint64 opRows = 0, baselineRows = 0;
    double target = 0;
    double ratio() const { return baselineMedian > 0 ? opMedian / baselineMedian : 0; }
};

// Times each case: one warm run, then `repetitions` runs of the operation and of its baseline,
// interleaved so that a busy neighbour slows both alike; reports medians.
class Runner {
public:
    explicit Runner(int repetitions) : m_repetitions(repetitions) {}
    void add(Case c) { m_cases.push_back(std::move(c)); }
    // Cases whose name contains one of the filters (all when empty).
    void run(const QStringList& filters = {});
    const QVector<Result>& results() const { return m_results; }
    QString table() const;
    // One line per case with a target: "name: N ms, baseline M ms, R x (target T x)".
    QString targets() const;
    QJsonObject json() const;

private:
    int m_repetitions;
    QVector<Case> m_cases;
    QVector<Result> m_results;
};

double median(QVector<double> values);

// Peak resident memory since the last reset (Linux), in KiB; -1 when unknown.
qint64 resetPeakMemory();
qint64 peakMemoryKiB();
qint64 currentMemoryKiB();

} // namespace tzsndmsg::bench
