#include "watcher/WatchState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>

namespace tzsndmsg::watcher {

namespace {

QString moment(const QDateTime& at)
{
    return at.isValid() ? at.toString(Qt::ISODateWithMs) : QString();
}

QDateTime momentOf(const QJsonValue& value, Qt::TimeSpec spec)
{
    QDateTime at = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (at.isValid())
        at.setTimeSpec(spec);
    return at;
}

QString safeName(const QString& text)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]"));
    QString name = text.trimmed();
    name.replace(unsafe, QStringLiteral("_"));
    return name.isEmpty() ? QStringLiteral("_") : name.left(40);
}

} // namespace

qint64 WatchState::highestSeen() const
{
    qint64 high = floor;
    for (qint32 id : seen)
        high = std::max<qint64>(high, id);
    return high;
}

void WatchState::advanceFloor(const QDateTime& nowUtc, int lagSecs)
{
    if (candidate >= 0 && candidateAt.isValid() && candidateAt.secsTo(nowUtc) >= lagSecs) {
        floor = std::max(floor, candidate);
        for (auto it = seen.begin(); it != seen.end();)
            it = *it <= floor ? seen.erase(it) : std::next(it);
        candidate = -1;
    }
    const qint64 high = highestSeen();
    if (candidate < 0 && high > floor) {
        candidate = high;
        candidateAt = nowUtc;
    }
}

QByteArray WatchState::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("version"), 1);
    o.insert(QStringLiteral("floor"), double(floor));
    QList<qint32> ids(seen.begin(), seen.end());
    std::sort(ids.begin(), ids.end());
    QJsonArray list;
    for (qint32 id : ids)
        list.append(id);
    o.insert(QStringLiteral("seen"), list);
    o.insert(QStringLiteral("candidate"), double(candidate));
    o.insert(QStringLiteral("candidateAt"), moment(candidateAt));
    o.insert(QStringLiteral("toldUpTo"), moment(toldUpTo));
    QStringList snoozes(toldSnoozes.begin(), toldSnoozes.end());
    snoozes.sort();
    o.insert(QStringLiteral("toldSnoozes"), QJsonArray::fromStringList(snoozes));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

WatchState WatchState::fromJson(const QByteArray& json, bool* ok)
{
    WatchState s;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    *ok = error.error == QJsonParseError::NoError && doc.isObject() &&
          doc.object().value(QStringLiteral("version")).toInt() == 1;
    if (!*ok)
        return s;
    const QJsonObject o = doc.object();
    s.floor = qint64(o.value(QStringLiteral("floor")).toDouble(-1));
    for (const QJsonValue v : o.value(QStringLiteral("seen")).toArray())
        s.seen.insert(v.toInt());
    s.candidate = qint64(o.value(QStringLiteral("candidate")).toDouble(-1));
    s.candidateAt = momentOf(o.value(QStringLiteral("candidateAt")), Qt::UTC);
    s.toldUpTo = momentOf(o.value(QStringLiteral("toldUpTo")), Qt::LocalTime);
    for (const QJsonValue v : o.value(QStringLiteral("toldSnoozes")).toArray())
        s.toldSnoozes.insert(v.toString());
    return s;
}

StateFile::~StateFile()
{
    release();
}

QString StateFile::defaultPath(const QString& role, const QString& login, const QString& computer,
                               const QString& storeUrl)
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    const QByteArray store =
        QCryptographicHash::hash(storeUrl.toUtf8(), QCryptographicHash::Sha1).toHex().left(10);
    return base + QStringLiteral("/tzsndmsg/") + safeName(role) + u'-' + safeName(login.toUpper()) +
           u'-' + safeName(computer.toUpper()) + u'-' + QString::fromLatin1(store) +
           QStringLiteral(".json");
}

bool StateFile::acquire(const QString& path, QString* error)
{
    release();
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot make the folder %1 for the watcher's state")
                         .arg(info.absolutePath());
        return false;
    }
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    if (!lock->tryLock(0)) {
        if (error) {
            qint64 pid = 0;
            QString host, app;
            lock->getLockInfo(&pid, &host, &app);
            *error = lock->error() == QLockFile::LockFailedError
                         ? QStringLiteral("another watcher (process %1) already tells this login "
                                          "at this computer (%2)")
                               .arg(pid)
                               .arg(path)
                         : QStringLiteral("cannot lock the watcher's state %1").arg(path);
        }
        return false;
    }
    m_lock = std::move(lock);
    m_path = path;
    return true;
}

void StateFile::release()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}

WatchState StateFile::load(QString* problem) const
{
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem =
                QStringLiteral("cannot read the watcher's state %1; starting afresh").arg(m_path);
        return {};
    }
    bool ok = false;
    WatchState state = WatchState::fromJson(file.readAll(), &ok);
    if (!ok) {
        if (problem)
            *problem = QStringLiteral("the watcher's state %1 is not readable; starting afresh")
                           .arg(m_path);
        return {};
    }
    return state;
}

bool StateFile::save(const WatchState& state, QString* error) const
{
    // A file beside it, renamed over it: a reader sees the old state or the new one, whole. It
    // is not forced to the disk: that would put a disk flush before every notice (fifty
    // workstations flushing at once are slow), and only a power cut right after a notice loses it.
    const QString temporary = m_path + QStringLiteral(".new");
    QFile file(temporary);
    const QByteArray json = state.toJson();
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(json) == json.size() && file.flush();
    file.close();
    if (!written || ::rename(QFile::encodeName(temporary).constData(),
                             QFile::encodeName(m_path).constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot write the watcher's state %1: %2")
                         .arg(m_path, file.errorString());
        QFile::remove(temporary);
        return false;
    }
    return true;
}

} // namespace tzsndmsg::watcher
