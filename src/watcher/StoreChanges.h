#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <tzsndmsg/HostServices.h>

class QTimer;

// That the office's store changed somewhere (a save or a confirmation at any workstation), heard
// as the office watcher hears it: the station signal files of the data folder and, on
// PostgreSQL, the notice each save sends, on a connection of its own. It runs no statement while
// nothing changes (one, when it starts, names the notices' channel) and reads nothing of the
// change: whoever listens reads what it shows again.
namespace tzsndmsg::watcher {

class ChangeListener;
class SignalFiles;

class StoreChanges : public QObject {
    Q_OBJECT

public:
    // fileCheckMs: the look at the signal files for folders that send no events (0: none).
    explicit StoreChanges(std::shared_ptr<HostServices> services, int fileCheckMs = 1000,
                          bool fileSystemEvents = true, QObject* parent = nullptr);
    ~StoreChanges() override;

    // False with the reason when there is no store to hear.
    bool start(QString* error = nullptr);
    void stop();
    bool isListening() const; // PostgreSQL's notices are heard
    // The signal files as they are now are no change: the caller has just read the store.
    void acknowledge();

Q_SIGNALS:
    void changed();

private:
    void listen();

    std::shared_ptr<HostServices> m_services;
    int m_fileCheckMs;
    bool m_fileEvents;
    SignalFiles* m_files = nullptr;
    ChangeListener* m_listener = nullptr;
    QTimer* m_retry = nullptr;
    QString m_url, m_channel;
    int m_retryMs = 0;
};

} // namespace tzsndmsg::watcher
