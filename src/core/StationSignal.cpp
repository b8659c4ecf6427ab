#include "core/StationSignal.h"

#include "common/AutoDate.h"
#include "common/VbFormat.h"
#include "tzsndmsg/HostServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
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
    const QByteArray record = stationSignalRecord(services);
    const QString dataFolder = services.dataFolder();

    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const QString folder = signalFolder(dataFolder);
        if (!folder.isEmpty() &&
            writeLocked(folder + QLatin1Char('/') + tag + QStringLiteral(".STA"), record))
            return true;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(RetryPauseMs, left)));
    }
}

int WriteStationSignals(HostServices& services, const QStringList& tags, int timeoutMs)
{
    const QString folder = signalFolder(services.dataFolder());
    QHash<QString, int> open; // tag -> its file, open until the last write of the save
    int written = 0;
    for (const QString& tag : tags) {
        int fd = -1;
        if (!folder.isEmpty()) {
            fd = open.value(tag, -1);
            if (fd < 0) {
                fd = openSignalFile(folder + QLatin1Char('/') + tag + QStringLiteral(".STA"));
                if (fd >= 0)
                    open.insert(tag, fd);
            }
        }
        // Each write has its own record (its moment) and its own wait for the lock.
        const QByteArray record = stationSignalRecord(services);
        bool ok = fd >= 0 && writeLockedFd(fd, record);
        if (!ok) {
            // As one write alone would: retry (the folder or file may come back) until the time is up.
            QElapsedTimer clock;
            clock.start();
            while (!ok) {
                const qint64 left = timeoutMs - clock.elapsed();
                if (left <= 0)
                    break;
                QThread::msleep(static_cast<unsigned long>(qMin<qint64>(RetryPauseMs, left)));
                const QString again = signalFolder(services.dataFolder());
                ok = !again.isEmpty() &&
                     writeLocked(again + QLatin1Char('/') + tag + QStringLiteral(".STA"), record);
            }
        }
        if (ok)
            ++written;
    }
    for (const int fd : std::as_const(open))
        ::close(fd);
    return written;
}

} // namespace tzsndmsg::core
