#include "core/SignalFile.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tzsndmsg::core {

namespace {

// A folder is only a place to open names in: no permission to list it is needed.
#ifdef O_PATH
constexpr int FolderAccess = O_PATH;
#else
constexpr int FolderAccess = O_RDONLY;
#endif

QString refusalOf(const struct stat& st, const QString& name, bool folder)
{
    if (S_ISLNK(st.st_mode))
        return name + QStringLiteral(" is a link");
    if (folder && !S_ISDIR(st.st_mode))
        return name + QStringLiteral(" is not a folder");
    if (!folder && !S_ISREG(st.st_mode))
        return name + QStringLiteral(" is not a plain file");
    if (!folder && st.st_nlink != 1)
        return name + QStringLiteral(" is a hard link");
    return QString();
}

// After a failed open: what stands there now, when it is something to refuse.
QString refusalAt(int folder, const QByteArray& name, bool isFolder)
{
    struct stat st {};
    if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return QString();
    return refusalOf(st, QFile::decodeName(name), isFolder);
}

} // namespace

Fd& Fd::operator=(Fd&& other) noexcept
{
    if (this != &other) {
        reset();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void Fd::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

SignalOpen openSignalFolder(const QString& dataFolder, bool create)
{
    SignalOpen out;
    QString root = QDir::fromNativeSeparators(dataFolder);
    while (root.endsWith(QLatin1Char('/')) && root.size() > 1)
        root.chop(1);
    const Fd data(root.isEmpty() ? -1
                                 : ::open(QFile::encodeName(root).constData(),
                                          FolderAccess | O_DIRECTORY | O_CLOEXEC));
    if (!data.isOpen()) {
        out.noDataFolder = true;
        out.error = root.isEmpty() ? ENOENT : errno;
        return out;
    }
    // mkdirat() makes nothing where a link stands, even one to nowhere.
    if (create && ::mkdirat(data.get(), "TEMP", 0777) != 0 && errno != EEXIST) {
        out.error = errno;
        return out;
    }
    out.fd = Fd(::openat(data.get(), "TEMP", FolderAccess | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!out.fd.isOpen()) {
        out.error = errno;
        out.refusal = refusalAt(data.get(), "TEMP", true);
    }
    return out;
}

SignalOpen openSignalFile(int folder, const QString& name, SignalAccess access)
{
    SignalOpen out;
    const QByteArray native = QFile::encodeName(name);
    // Never waiting: a FIFO opened for writing would wait for a reader, a device could do worse.
    const int flags = (access == SignalAccess::Write ? O_WRONLY : O_RDONLY) | O_NOFOLLOW |
                      O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    struct stat st {};
    if (::fstatat(folder, native.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        out.error = errno;
        if (out.error != ENOENT || access == SignalAccess::Read)
            return out;
        // O_EXCL creates no file at the end of a link; a file made here is plain and ours alone.
        out.fd = Fd(::openat(folder, native.constData(), flags | O_CREAT | O_EXCL, 0666));
        if (out.fd.isOpen()) {
            out.error = 0;
            out.created = true;
            return out;
        }
        out.error = errno;
        if (out.error != EEXIST ||
            ::fstatat(folder, native.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return out;
    }
    out.refusal = refusalOf(st, name, false);
    if (!out.refusal.isEmpty())
        return out;
    out.fd = Fd(::openat(folder, native.constData(), flags));
    if (!out.fd.isOpen()) {
        out.error = errno;
        out.refusal = refusalAt(folder, native, false);
        return out;
    }
    // What was opened, not what the name showed a moment before.
    if (::fstat(out.fd.get(), &st) != 0) {
        out.error = errno;
        out.fd.reset();
        return out;
    }
    out.refusal = refusalOf(st, name, false);
    if (!out.refusal.isEmpty())
        out.fd.reset();
    out.error = 0;
    return out;
}

} // namespace tzsndmsg::core
