#include "tzsndmsg/Staff.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tzsndmsg {

namespace {

// How long an edit waits for another workstation's edit of the list.
constexpr int kLockWaitMs = 10000;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString listPath(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("stp/Machines.Ini"));
}

// One line of the file with the line end it had, so that an edit keeps the others byte for byte.
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

// The line end new lines get: the file's first one, else carriage return and line feed, as the
// list is kept.
QByteArray lineEndOf(const QList<Line>& lines)
{
    for (const Line& line : lines)
        if (!line.end.isEmpty())
            return line.end;
    return "\r\n";
}

// An exclusive lock on stp/Machines.lock for the life of the object.
class ListLock {
public:
    explicit ListLock(const QString& dataFolder)
    {
        const QByteArray path =
            QFile::encodeName(QDir(dataFolder).filePath(QStringLiteral("stp/Machines.lock")));
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
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
    QByteArray content;
    for (const Line& line : lines)
        content += line.text + line.end;
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

bool listComputers(const QString& dataFolder, QStringList& names, QString* error)
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

bool addComputer(const QString& dataFolder, const QString& name, QString* error)
{
    const QString wanted = normalizedStaffText(StaffField::ComputerName, name);
    if (const QString why = staffTextProblem(StaffField::ComputerName, wanted); !why.isEmpty()) {
        setError(error, why);
        return false;
    }
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
    const QByteArray end = lineEndOf(lines);
    if (!lines.isEmpty() && lines.last().end.isEmpty())
        lines.last().end = end;
    lines.append({wanted.toLocal8Bit(), end});
    return writeLines(path, lines, error);
}

bool removeComputer(const QString& dataFolder, const QString& name, QString* error)
{
    const QString wanted = normalizedStaffText(StaffField::ComputerName, name);
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
    if (lines.size() == before) {
        setError(error, QStringLiteral("the computer %1 is not listed").arg(wanted));
        return false;
    }
    return writeLines(path, lines, error);
}

} // namespace tzsndmsg
