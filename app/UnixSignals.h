#pragma once

#include <QObject>

class QSocketNotifier;

namespace tzsndmsg::app {

// SIGTERM, SIGINT and SIGUSR1 turned into Qt signals on the main thread (a handler only writes
// to a pipe). A second SIGTERM or SIGINT ends the process at once, and a process that has not
// ended ten seconds after the first one is ended by the system: it never hangs on its way out.
class UnixSignals : public QObject {
    Q_OBJECT

public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

Q_SIGNALS:
    void terminateRequested();
    void statsRequested(); // SIGUSR1

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tzsndmsg::app
