#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
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

// What someone who may write the data folder puts where its TEMP/CMCM.STA belongs.
enum class OddSignal { LinkToFile, DanglingLink, TempLinkedToFolder, HardLink, Fifo, Folder };

// Puts it in `data`; `victim`, outside the data folder, is written with `bytes` first unless they
// are none or the link dangles. False when the file system refuses.
inline bool plantOddSignal(OddSignal kind, const QString& data, const QString& outside,
                           const QString& victim, const QByteArray& bytes)
{
    const QString temp = data + QStringLiteral("/TEMP"), sta = temp + QStringLiteral("/CMCM.STA");
    const bool linked = kind == OddSignal::TempLinkedToFolder
                            ? QFile::link(outside, temp)
                            : QDir(data).mkdir(QStringLiteral("TEMP"));
    if (!linked ||
        (kind != OddSignal::DanglingLink && !bytes.isEmpty() && !writeFile(victim, bytes)))
        return false;
    switch (kind) {
    case OddSignal::LinkToFile:
    case OddSignal::DanglingLink:
        return QFile::link(victim, sta);
    case OddSignal::HardLink:
        return ::link(QFile::encodeName(victim).constData(), QFile::encodeName(sta).constData()) ==
               0;
    case OddSignal::Fifo:
        return ::mkfifo(QFile::encodeName(sta).constData(), 0666) == 0;
    case OddSignal::Folder:
        return QDir(temp).mkdir(QStringLiteral("CMCM.STA"));
    case OddSignal::TempLinkedToFolder:
        return true;
    }
    return false;
}

// An icon file of one colour, its folder made.
inline void writeIcon(const QString& path, QColor colour = Qt::red, int side = 16)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    EXPECT_TRUE(image.save(path, "ICO")) << path.toStdString();
}

} // namespace tzsndmsg::testing
