#include "core/StationSignal.h"

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "tzsndmsg/HostServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tzsndmsg::core {

namespace {

constexpr int RecordLength = 40;
constexpr int RetryPauseMs = 50;

// A signal file counts as locked while another open file holds an flock() lock on it, shared or
// exclusive; our writer takes an exclusive one, never waiting.
int openSignalFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    return ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
}

// One write under an exclusive lock taken without waiting, released at once.
bool writeLockedFd(int fd, const QByteArray& record)
{
    bool ok = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        qsizetype done = 0;
        ok = true;
        while (done < record.size()) {
            const ssize_t n =
                ::pwrite(fd, record.constData() + done, size_t(record.size() - done), off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            done += n;
        }
        ::flock(fd, LOCK_UN);
    }
    return ok;
}

bool writeLocked(const QString& path, const QByteArray& record)
{
    const int fd = openSignalFile(path);
    if (fd < 0)
        return false;
    const bool ok = writeLockedFd(fd, record);
    ::close(fd);
    return ok;
}

// The TEMP folder of the data folder; created inside an existing data folder when missing.
QString signalFolder(const QString& dataFolder)
{
    QString folder = QDir::fromNativeSeparators(dataFolder);
    while (folder.endsWith(QLatin1Char('/')) && folder.size() > 1)
        folder.chop(1);
    if (folder.isEmpty())
        return QString();
    QDir data(folder);
    if (!data.exists())
        return QString();
    if (!data.exists(QStringLiteral("TEMP")))
        data.mkdir(QStringLiteral("TEMP"));
    return data.filePath(QStringLiteral("TEMP"));
}

Q_LOGGING_CATEGORY(lcSignals, "tzsndmsg")

// Told once per folder and process: a save goes on without its signals, and a workstation that
// saves all day would otherwise say it all day.
void reportUnwritten(const QString& dataFolder, const QString& folder, const QStringList& tags)
{
    static QMutex lock;
    static QSet<QString> told;
    const QString where = folder.isEmpty() ? dataFolder : folder;
    {
        QMutexLocker guard(&lock);
        if (told.contains(where))
            return;
        told.insert(where);
    }
    QString why;
    if (folder.isEmpty())
        why = QStringLiteral("the data folder is missing");
    else if (!QFileInfo(folder).isWritable())
        why = QStringLiteral("the folder cannot be written");
    else
        why = QStringLiteral("held by another program");
    qCWarning(lcSignals).noquote()
        << QStringLiteral("warning: the station signal %1 in %2 could not be written (%3); the "
                          "message is saved, other workstations see it at their next refresh")
               .arg(tags.join(QStringLiteral(", ")), where, why);
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

    QElapsedTimer clock;
    clock.start();
    QString folder;
    for (;;) {
        folder = signalFolder(services.dataFolder());
        if (!folder.isEmpty())
            pending.removeIf([&](const QString& tag) {
                return writeLocked(folder + QLatin1Char('/') + tag + QStringLiteral(".STA"), record);
            });
        const qint64 left = timeoutMs - clock.elapsed();
        if (pending.isEmpty() || left <= 0)
            break;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(RetryPauseMs, left)));
    }
    if (!pending.isEmpty())
        reportUnwritten(services.dataFolder(), folder, pending);

    int written = 0;
    for (const QString& tag : tags)
        if (!pending.contains(tag))
            ++written;
    return written;
}

} // namespace tzsndmsg::core
