#include "services/ComputerListFile.h"

#include "services/PathResolver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tzglob {

namespace {

// How long an edit waits for another workstation's edit of the list.
constexpr int kLockWaitMs = 10000;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// The file as the suite names it, matched without regard to case.
QString listPath(const QString& dataFolder)
{
    return resolvePath(dataFolder, QStringLiteral("stp\\Machines.Ini"));
}

// One line of the file and the line end it had.
struct Line {
    QByteArray text;
    QByteArray end; // "\r\n", "\n", "\r" or empty for a last line without one
};

QList<Line> splitLines(const QByteArray& content)
{
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < content.size(); ++i) {
        const char c = content.at(i);
        if (c != '\n' && c != '\r')
            continue;
        Line line{content.mid(start, i - start), QByteArray(1, c)};
        if (c == '\r' && i + 1 < content.size() && content.at(i + 1) == '\n') {
            line.end = "\r\n";
            ++i;
        }
        lines.append(line);
        start = i + 1;
    }
    if (start < content.size())
        lines.append({content.mid(start), QByteArray()});
    return lines;
}

QString nameOf(const Line& line)
{
    return QString::fromLocal8Bit(line.text).trimmed().toUpper();
}

// An exclusive lock on stp/Machines.lock for the life of the object.
class ListLock {
public:
    explicit ListLock(const QString& dataFolder)
    {
        const QByteArray path = QFile::encodeName(
            QFileInfo(listPath(dataFolder)).dir().filePath(QStringLiteral("Machines.lock")));
        // Read access is all a lock needs: every user who may change the list can take it,
        // whoever made the file. One made here is left open to all of them, whatever the umask.
        m_fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (m_fd >= 0)
            (void)::fchmod(m_fd, 0666); // refused, harmlessly, when another user made it
        if (m_fd < 0) {
            m_error =
                QStringLiteral("cannot open the computer list's lock %1: %2")
                    .arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        const QDeadlineTimer deadline(kLockWaitMs);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
                m_error = QStringLiteral("the computer list is being changed elsewhere; try again");
                return;
            }
            QThread::msleep(20);
        }
        m_locked = true;
    }
    ~ListLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    bool locked() const { return m_locked; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    bool m_locked = false;
    QString m_error;
};

// Reads the list's lines; a missing file has none. A link is refused: the list is rewritten by
// renaming a new file over it, which would replace the link rather than what it points to.
bool readLines(const QString& path, QList<Line>& lines, QString* error)
{
    lines.clear();
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        setError(error, QStringLiteral("cannot read %1: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(
            error,
            QStringLiteral("%1 is not a plain file (a link or a folder): left as it is").arg(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    lines = splitLines(file.readAll());
    return true;
}

bool writeLines(const QString& path, const QList<Line>& lines, QString* error)
{
    // Lines are separated by carriage return and line feed, as the list is read wherever the
    // office keeps it; a last line without an end stays so.
    QByteArray content;
    for (qsizetype i = 0; i < lines.size(); ++i)
        content += lines[i].text +
                   (i + 1 == lines.size() && lines[i].end.isEmpty() ? QByteArray() : "\r\n");
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace

bool readComputerList(const QString& dataFolder, QStringList& names, QString* error)
{
    names.clear();
    QList<Line> lines;
    if (!readLines(listPath(dataFolder), lines, error))
        return false;
    for (const Line& line : std::as_const(lines))
        if (const QString name = nameOf(line); !name.isEmpty())
            names << name;
    return true;
}

bool addToComputerList(const QString& dataFolder, const QString& name, QString* error)
{
    const QString wanted = name.trimmed().toUpper();
    ListLock lock(dataFolder);
    if (!lock.locked()) {
        setError(error, lock.error());
        return false;
    }
    const QString path = listPath(dataFolder);
    QList<Line> lines;
    if (!readLines(path, lines, error))
        return false;
    for (const Line& line : std::as_const(lines))
        if (nameOf(line) == wanted) {
            setError(error, QStringLiteral("the computer %1 is listed already").arg(wanted));
            return false;
        }
    if (!lines.isEmpty())
        lines.last().end = "\r\n";
    lines.append({wanted.toLocal8Bit(), "\r\n"});
    return writeLines(path, lines, error);
}

bool removeFromComputerList(const QString& dataFolder, const QString& name, bool* removed,
                            QString* error)
{
    const QString wanted = name.trimmed().toUpper();
    if (removed)
        *removed = false;
    const QFileInfo list(listPath(dataFolder));
    if (!list.exists() && !list.isSymLink())
        return true; // no list, so the name is in none
    ListLock lock(dataFolder);
    if (!lock.locked()) {
        setError(error, lock.error());
        return false;
    }
    const QString path = listPath(dataFolder);
    QList<Line> lines;
    if (!readLines(path, lines, error))
        return false;
    const qsizetype before = lines.size();
    lines.removeIf([&](const Line& line) { return !wanted.isEmpty() && nameOf(line) == wanted; });
    if (lines.size() == before)
        return true;
    if (removed)
        *removed = true;
    return writeLines(path, lines, error);
}

} // namespace tzglob
