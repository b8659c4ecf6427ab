#pragma once

#include <QDateTime>
#include <QLockFile>
#include <QSet>
#include <QString>
#include <memory>

// What a workstation's watcher has told, kept in a small JSON file so that nothing is told
// twice across a restart: the addressee rows seen and the moment up to which due moments were
// told.
namespace tzsndmsg::watcher {

struct WatchState {
    // Every addressee row up to `floor` was seen; above it, those in `seen`. -1: nothing yet.
    qint64 floor = -1;
    QSet<qint32> seen;
    // The highest row seen and when (UTC): it becomes the floor once no save that started
    // before it can still commit a lower row.
    qint64 candidate = -1;
    QDateTime candidateAt;
    // Due moments up to here were told (the services' clock).
    QDateTime toldUpTo;
    // The snoozes told (or dropped: their row was confirmed or deleted), by id.
    QSet<QString> toldSnoozes;

    bool isFirstStart() const { return floor < 0 && seen.isEmpty() && !toldUpTo.isValid(); }
    bool isSeen(qint32 broChkId) const { return broChkId <= floor || seen.contains(broChkId); }
    qint64 highestSeen() const;
    // Moves the floor up to the candidate once it is `lagSecs` old, and names a new candidate.
    // The lag outlasts any save still able to commit a row below the candidate: on PostgreSQL
    // a row's id is taken when it is written, and its save's statements may each run a minute
    // (and wait for locks) before the commit shows it; a row under the floor is never read.
    static constexpr int kFloorLagSecs = 10 * 60;
    void advanceFloor(const QDateTime& nowUtc, int lagSecs = kFloorLagSecs);

    QByteArray toJson() const;
    static WatchState fromJson(const QByteArray& json, bool* ok);
};

// The state file, held by one watcher at a time.
class StateFile {
public:
    StateFile() = default;
    ~StateFile();
    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    // The default place: $XDG_STATE_HOME/tzsndmsg/<role>-<login>-<computer>-<store>.json.
    static QString defaultPath(const QString& role, const QString& login, const QString& computer,
                               const QString& storeUrl);

    // Takes the file's lock; false when another watcher holds it or the folder cannot be made.
    bool acquire(const QString& path, QString* error);
    void release();
    bool isHeld() const { return m_lock != nullptr; }
    QString path() const { return m_path; }

    // A missing file is a first start; an unreadable one is reported and read as a first start.
    WatchState load(QString* problem) const;
    // Written whole or not at all (replaced, not forced to the disk).
    bool save(const WatchState& state, QString* error) const;

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace tzsndmsg::watcher
