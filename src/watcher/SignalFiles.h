#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

// The station signal files of a data folder (TEMP/CMCM.STA, CMEV.STA, CMBC.STA), watched through
// the file system's events and, since shared folders on a network often deliver none, by a look
// at each file every few seconds. A change is any difference in a file's first 40 bytes, size,
// modification time or identity: a file deleted, recreated or truncated counts. A link, a FIFO or
// a second name of another file where a signal file or TEMP belongs is never followed or read:
// it is told once and counts as missing.
namespace tzsndmsg::watcher {

class SignalFiles : public QObject {
    Q_OBJECT

public:
    SignalFiles(const QString& dataFolder, int checkMs, bool fileSystemEvents,
                QObject* parent = nullptr);
    ~SignalFiles() override;

    void start();
    void stop();
    // The files as they are now are what the next change is measured against: called just
    // before the store is read, so a write after it is a new change and one before it is not.
    void acknowledge();

    static QStringList tags()
    {
        return {QStringLiteral("CMCM"), QStringLiteral("CMEV"), QStringLiteral("CMBC")};
    }

Q_SIGNALS:
    void changed(const QString& tag);
    void refused(const QString& text);

private:
    struct Print {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        quint64 inode = 0;
        QByteArray head; // the first 40 bytes; empty when the file cannot be read
        bool operator==(const Print&) const = default;
    };
    QHash<QString, Print> prints();
    void tell(const QString& where, const QString& refusal);
    QString pathOf(const QString& tag) const;
    void check();
    void watchPaths();

    QString m_folder; // .../TEMP
    QString m_dataFolder;
    int m_checkMs;
    bool m_events;
    static constexpr int BurstMs = 10;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_burst = nullptr;
    QTimer* m_timer = nullptr;
    QHash<QString, Print> m_known;
    QSet<QString> m_told;
};

} // namespace tzsndmsg::watcher
