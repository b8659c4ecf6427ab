#include "watcher/DueTimer.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <unistd.h>
#ifdef __linux__
#include <sys/timerfd.h>
#endif

namespace tzsndmsg::watcher {

DueTimer::DueTimer(QObject* parent) : QObject(parent)
{
#ifdef __linux__
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
#endif
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &DueTimer::readTimer);
    } else {
        m_fallback = new QTimer(this);
        m_fallback->setSingleShot(true);
        m_fallback->setTimerType(Qt::PreciseTimer);
        connect(m_fallback, &QTimer::timeout, this, &DueTimer::due);
    }
}

DueTimer::~DueTimer()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void DueTimer::startIn(qint64 ms)
{
    ms = std::max<qint64>(ms, 1);
    if (m_fallback) {
        // A plain timer counts only while the machine is awake: keep each wait short.
        m_fallback->start(int(std::min<qint64>(ms, qint64(60) * 1000)));
        return;
    }
#ifdef __linux__
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    itimerspec spec{};
    const qint64 ns = qint64(now.tv_nsec) + (ms % 1000) * 1000000;
    spec.it_value.tv_sec = now.tv_sec + time_t(ms / 1000) + time_t(ns / 1000000000);
    spec.it_value.tv_nsec = long(ns % 1000000000);
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr);
#endif
}

void DueTimer::stop()
{
    if (m_fallback) {
        m_fallback->stop();
        return;
    }
#ifdef __linux__
    itimerspec off{};
    ::timerfd_settime(m_fd, 0, &off, nullptr);
#endif
}

void DueTimer::readTimer()
{
    quint64 expirations = 0;
    const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
    if (n < 0 && errno == ECANCELED) {
        emit clockSet();
        return;
    }
    if (n == sizeof expirations && expirations > 0)
        emit due();
}

} // namespace tzsndmsg::watcher
