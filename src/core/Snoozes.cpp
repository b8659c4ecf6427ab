#include "core/Snoozes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>
#include <QUuid>
#include <cstdio>

namespace tzsndmsg::core {

namespace {

// A writer holds the lock for the time of one small write; a lock older than this was left
// by a process that died.
constexpr int LockWaitMs = 3000;
constexpr int StaleLockMs = 10000;
constexpr qint64 KeepToldSecs = 7LL * 24 * 60 * 60;

QString safeName(const QString& text)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]"));
    QString name = text.trimmed();
    name.replace(unsafe, QStringLiteral("_"));
    return name.isEmpty() ? QStringLiteral("_") : name.left(40);
}

QJsonObject toJson(const Snooze& s)
{
    return {{QStringLiteral("id"), s.id},
            {QStringLiteral("row"), s.row},
            {QStringLiteral("message"), s.message},
            {QStringLiteral("at"), s.at.toString(Qt::ISODateWithMs)},
            {QStringLiteral("made"), s.made.toString(Qt::ISODateWithMs)}};
}

QDateTime localMoment(const QJsonValue& value)
{
    QDateTime at = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (at.isValid())
        at.setTimeSpec(Qt::LocalTime);
    return at;
}

} // namespace

QString snoozeFilePath(const QString& login, const QString& computer, const QString& storeUrl)
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    const QByteArray store =
        QCryptographicHash::hash(storeUrl.toUtf8(), QCryptographicHash::Sha1).toHex().left(10);
    return base + QStringLiteral("/tzsndmsg/snoozes-") + safeName(login.toUpper()) + u'-' +
           safeName(computer.toUpper()) + u'-' + QString::fromLatin1(store) +
           QStringLiteral(".json");
}

bool readSnoozes(const QString& path, QList<Snooze>& snoozes, QString* error)
{
    snoozes.clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read the snoozes %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject() ||
        doc.object().value(QStringLiteral("version")).toInt() != 1) {
        if (error)
            *error = QStringLiteral("the snoozes %1 are not readable").arg(path);
        return false;
    }
    for (const QJsonValue v : doc.object().value(QStringLiteral("snoozes")).toArray()) {
        const QJsonObject o = v.toObject();
        Snooze s;
        s.id = o.value(QStringLiteral("id")).toString();
        s.row = o.value(QStringLiteral("row")).toInt();
        s.message = o.value(QStringLiteral("message")).toInt();
        s.at = localMoment(o.value(QStringLiteral("at")));
        s.made = localMoment(o.value(QStringLiteral("made")));
        if (!s.id.isEmpty() && s.row > 0 && s.message > 0 && s.at.isValid())
            snoozes << s;
    }
    return true;
}

bool addSnooze(const QString& path, const Snooze& snooze, const QDateTime& now, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(
            QStringLiteral("cannot make the folder %1 for the snoozes").arg(info.absolutePath()));
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(StaleLockMs);
    if (!lock.tryLock(LockWaitMs))
        return fail(QStringLiteral("the snoozes %1 are locked by another program").arg(path));

    QList<Snooze> snoozes;
    QString why;
    if (!readSnoozes(path, snoozes, &why)) {
        // A damaged list is put aside, not read again and not lost, and a new one begun.
        const QString aside = path + QStringLiteral(".damaged");
        QFile::remove(aside);
        if (!QFile::rename(path, aside))
            return fail(why);
        snoozes.clear();
    }
    Snooze added = snooze;
    if (added.id.isEmpty())
        added.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QJsonArray list;
    for (const Snooze& s : std::as_const(snoozes))
        if (s.at.secsTo(now) <= KeepToldSecs)
            list.append(toJson(s));
    list.append(toJson(added));
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("version"), 1},
                                                      {QStringLiteral("snoozes"), list}})
                                .toJson(QJsonDocument::Indented);

    const QString temporary = path + QStringLiteral(".new");
    QFile file(temporary);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(json) == json.size() && file.flush();
    file.close();
    if (!written || ::rename(QFile::encodeName(temporary).constData(),
                             QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        return fail(
            QStringLiteral("cannot write the snoozes %1: %2").arg(path, file.errorString()));
    }
    return true;
}

} // namespace tzsndmsg::core
