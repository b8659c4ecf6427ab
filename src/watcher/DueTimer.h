#pragma once

#include <QObject>

class QSocketNotifier;
class QTimer;

// One single-shot timer at a moment of the wall clock: it fires after the machine wakes when
// the moment passed while it slept, and tells when the system clock is set (a clock set
// forward or back changes which moment is next). Linux's timerfd; a plain timer elsewhere.
namespace tzsndmsg::watcher {

class DueTimer : public QObject {
    Q_OBJECT

public:
    explicit DueTimer(QObject* parent = nullptr);
    ~DueTimer() override;

    // Fires `ms` from now on the wall clock (the earlier arming is replaced).
    void startIn(qint64 ms);
    void stop();

Q_SIGNALS:
    void due();
    void clockSet();

private:
    void readTimer();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_fallback = nullptr;
};

} // namespace tzsndmsg::watcher
