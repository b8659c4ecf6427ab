#include "core/StationSignal.h"

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "core/SignalFile.h"
#include "tzsndmsg/HostServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tzsndmsg::core {

namespace {

constexpr int RecordLength = 40;
constexpr int RetryPauseMs = 50;

bool diskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

QString causeOf(int error, bool fileExisted)
{
    if (diskFull(error))
        return QStringLiteral("the disk is full");
    if (error == EWOULDBLOCK)
        return QStringLiteral("held by another program");
    if (error == EACCES || error == EPERM || error == EROFS)
        return fileExisted ? QStringLiteral("the file cannot be written")
                           : QStringLiteral("the folder cannot be written");
    return qt_error_string(error);
}

// One try at one file. A file that stands refused, or a full disk, is not waited out.
struct Attempt {
    enum Outcome { Written, Again, GivenUp } outcome = Again;
    QString why;
};

// 0, or the errno of the write.
int writeRecord(int fd, const QByteArray& record)
{
    qsizetype done = 0;
    while (done < record.size()) {
        const ssize_t n =
            ::pwrite(fd, record.constData() + done, size_t(record.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += n;
    }
    return 0;
}

// A file this save made but could not fill goes again: an empty signal file is no signal.
void removeMade(int folder, const QByteArray& name, int fd)
{
    struct stat made {
    }, there{};
    if (::fstat(fd, &made) == 0 &&
        ::fstatat(folder, name.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        made.st_dev == there.st_dev && made.st_ino == there.st_ino)
        ::unlinkat(folder, name.constData(), 0);
}

// A signal file counts as locked while another open file holds an flock() lock on it, shared or
// exclusive; our writer takes an exclusive one, never waiting, and writes over the first 40 bytes
// without shortening the file.
Attempt writeSignal(int folder, const QString& tag, const QByteArray& record)
{
    const QString name = tag + QStringLiteral(".STA");
    const SignalOpen file = openSignalFile(folder, name, SignalAccess::Write);
    if (!file.refusal.isEmpty())
        return {Attempt::GivenUp, file.refusal};
    if (!file.fd.isOpen()) {
        struct stat st {};
        const bool existed =
            ::fstatat(folder, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        return {diskFull(file.error) ? Attempt::GivenUp : Attempt::Again,
                causeOf(file.error, existed)};
    }
    const int fd = file.fd.get();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return {Attempt::Again, causeOf(errno, true)};
    const int error = writeRecord(fd, record);
    if (error != 0 && file.created)
        removeMade(folder, QFile::encodeName(name), fd);
    ::flock(fd, LOCK_UN);
    if (error == 0)
        return {Attempt::Written, QString()};
    return {diskFull(error) ? Attempt::GivenUp : Attempt::Again, causeOf(error, !file.created)};
}

Q_LOGGING_CATEGORY(lcSignals, "tzsndmsg")

// Told once per folder and process: a save goes on without its signals, and a workstation that
// saves all day would otherwise say it all day.
void reportUnwritten(const QString& where, const QStringList& tags, const QStringList& causes)
{
    static QMutex lock;
    static QSet<QString> told;
    {
        QMutexLocker guard(&lock);
        if (told.contains(where))
            return;
        told.insert(where);
    }
    qCWarning(lcSignals).noquote()
        << QStringLiteral("warning: the station signal %1 in %2 could not be written (%3); the "
                          "message is saved, other workstations see it at their next refresh")
               .arg(tags.join(QStringLiteral(", ")), where, causes.join(QStringLiteral("; ")));
}

QString folderName(const QString& dataFolder, bool dataFolderThere)
{
    QString folder = QDir::fromNativeSeparators(dataFolder);
    while (folder.endsWith(QLatin1Char('/')) && folder.size() > 1)
        folder.chop(1);
    return dataFolderThere ? folder + QStringLiteral("/TEMP") : folder;
}

} // namespace

QByteArray stationSignalRecord(HostServices& services)
{
    const auto now = common::AutoDate::fromDateTime(services.currentDateTime());
    QString text = common::vb::cstr(now) + services.stationText();
    text = text.leftJustified(RecordLength, QLatin1Char(' '), true);
    return text.toLatin1();
}

bool WriteStationSignal(HostServices& services, const QString& tag, int timeoutMs)
{
    return WriteStationSignals(services, {tag}, timeoutMs) == 1;
}

int WriteStationSignals(HostServices& services, const QStringList& tags, int timeoutMs)
{
    // Each file once: the records of one save differ at most in their second, and the last
    // writer wins anyway. One wait for the whole save, however many rows it wrote.
    QStringList pending;
    for (const QString& tag : tags)
        if (!pending.contains(tag))
            pending << tag;
    const QByteArray record = stationSignalRecord(services);

    QStringList givenUp;
    QHash<QString, QString> why;
    bool dataFolderThere = true;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const SignalOpen folder = openSignalFolder(services.dataFolder(), true);
        dataFolderThere = !folder.noDataFolder;
        if (folder.fd.isOpen()) {
            pending.removeIf([&](const QString& tag) {
                const Attempt attempt = writeSignal(folder.fd.get(), tag, record);
                why.insert(tag, attempt.why);
                if (attempt.outcome == Attempt::GivenUp)
                    givenUp << tag;
                return attempt.outcome != Attempt::Again;
            });
        } else {
            const QString cause = !folder.refusal.isEmpty() ? folder.refusal
                                  : folder.noDataFolder
                                      ? QStringLiteral("the data folder is missing")
                                      : causeOf(folder.error, false);
            for (const QString& tag : std::as_const(pending))
                why.insert(tag, cause);
            if (!folder.refusal.isEmpty() || diskFull(folder.error)) {
                givenUp << pending;
                pending.clear();
            }
        }
        const qint64 left = timeoutMs - clock.elapsed();
        if (pending.isEmpty() || left <= 0)
            break;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(RetryPauseMs, left)));
    }

    const QStringList unwritten = givenUp + pending;
    if (!unwritten.isEmpty()) {
        QStringList causes;
        for (const QString& tag : unwritten)
            if (!causes.contains(why.value(tag)))
                causes << why.value(tag);
        reportUnwritten(folderName(services.dataFolder(), dataFolderThere), unwritten, causes);
    }

    int written = 0;
    for (const QString& tag : tags)
        if (!unwritten.contains(tag))
            ++written;
    return written;
}

} // namespace tzsndmsg::core
