#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace tzsndmsg::testing {

// The warnings of the category "tzsndmsg" told while it lives.
class Warnings {
public:
    Warnings()
    {
        told().clear();
        m_previous = qInstallMessageHandler(&Warnings::keep);
    }
    ~Warnings() { qInstallMessageHandler(m_previous); }
    Warnings(const Warnings&) = delete;
    Warnings& operator=(const Warnings&) = delete;

    static QStringList& told()
    {
        static QStringList lines;
        return lines;
    }

private:
    static void keep(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg && QByteArrayView(context.category) == "tzsndmsg")
            told() << text;
    }
    QtMessageHandler m_previous = nullptr;
};

// A small memory file system mounted on an existing folder for the life of the object, to be
// filled up: a disk that is really full. Mounting takes root and a system that permits it.
class SmallDisk {
public:
    explicit SmallDisk(const QString& folder) : m_folder(QFile::encodeName(folder))
    {
        if (::mount("tmpfs", m_folder.constData(), "tmpfs", 0, "size=64k") == 0)
            m_mounted = true;
        else
            m_why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    std::string why() const { return m_why.toStdString(); }

    // Writes a file until the disk refuses more; true when it did so for want of space.
    bool fill() const
    {
        const QByteArray path = m_folder + "/filler";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        int error = 0;
        for (;;) {
            if (::write(fd, block.constData(), size_t(block.size())) < 0) {
                error = errno;
                break;
            }
        }
        // The last page may take a few bytes more.
        while (::write(fd, "f", 1) == 1) {
        }
        ::close(fd);
        return error == ENOSPC;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
    QString m_why;
};

} // namespace tzsndmsg::testing
