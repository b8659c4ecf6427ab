#pragma once

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

namespace tzsndmsg::testing {

// A file's whole content; empty when it cannot be read.
inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file written whole with the bytes, its folder made first; false when it cannot be.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// An exclusive flock() lock through an open file of its own, as another workstation holds it;
// -1 when it cannot be taken.
inline int holdLock(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The warnings of the category "tzsndmsg" told while it lives.
struct Warnings {
    Warnings() { told().clear(); }
    ~Warnings() { qInstallMessageHandler(previous); }
    static QStringList& told()
    {
        static QStringList lines;
        return lines;
    }
    QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && QByteArrayView(context.category) == "tzsndmsg")
                told() << text;
        });
};

// A disk that is really full: a 64 KiB memory file system mounted on a folder while it lives,
// filled by fill(). Mounting takes root and a system that permits it.
struct SmallDisk {
    explicit SmallDisk(const QString& folder) : path(QFile::encodeName(folder))
    {
        mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") == 0;
        why = mounted ? "" : std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
    // True when the disk refused more for want of space.
    bool fill() const
    {
        const int fd = ::open((path + "/filler").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        while (fd >= 0 && ::write(fd, "f", 1) == 1) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }
    QByteArray path;
    bool mounted = false;
    std::string why;
};

} // namespace tzsndmsg::testing
