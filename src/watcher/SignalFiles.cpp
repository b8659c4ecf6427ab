#include "watcher/SignalFiles.h"

#include "core/SignalFile.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

namespace tzsndmsg::watcher {

namespace {

// A folder or plain file of one name where the path ends, not a link (lstat does not follow).
bool plainAt(const QString& path, bool folder)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode) && st.st_nlink == 1;
}

} // namespace

SignalFiles::SignalFiles(const QString& dataFolder, int checkMs, bool fileSystemEvents,
                         QObject* parent)
    : QObject(parent), m_checkMs(checkMs), m_events(fileSystemEvents)
{
    QString folder = QDir::fromNativeSeparators(dataFolder);
    while (folder.endsWith(u'/') && folder.size() > 1)
        folder.chop(1);
    m_dataFolder = folder;
    m_folder = folder + QStringLiteral("/TEMP");
}

SignalFiles::~SignalFiles() = default;

QString SignalFiles::pathOf(const QString& tag) const
{
    return m_folder + u'/' + tag + QStringLiteral(".STA");
}

QHash<QString, SignalFiles::Print> SignalFiles::prints()
{
    QHash<QString, Print> out;
    for (const QString& tag : tags())
        out.insert(tag, Print());
    const core::SignalOpen folder = core::openSignalFolder(m_dataFolder, false);
    if (!folder.refusal.isEmpty())
        tell(m_dataFolder, folder.refusal);
    if (!folder.fd.isOpen())
        return out;
    for (const QString& tag : tags()) {
        const core::SignalOpen file = core::openSignalFile(
            folder.fd.get(), tag + QStringLiteral(".STA"), core::SignalAccess::Read);
        if (!file.refusal.isEmpty())
            tell(m_folder, file.refusal);
        struct stat st {};
        if (!file.fd.isOpen() || ::fstat(file.fd.get(), &st) != 0)
            continue;
        Print& p = out[tag];
        p.exists = true;
        p.size = st.st_size;
        p.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        p.inode = quint64(st.st_ino);
        // Reading takes no lock: a writer holding its lock does not keep us out.
        QByteArray head(40, '\0');
        const ssize_t n = ::pread(file.fd.get(), head.data(), size_t(head.size()), 0);
        if (n > 0)
            p.head = head.left(n);
    }
    return out;
}

void SignalFiles::tell(const QString& where, const QString& refusal)
{
    const QString text = QStringLiteral("in %1, %2: it is neither followed nor read")
                             .arg(QDir::toNativeSeparators(where), refusal);
    if (m_told.contains(text))
        return;
    m_told.insert(text);
    emit refused(text);
}

void SignalFiles::start()
{
    stop();
    m_known = prints();
    if (m_events) {
        m_watcher = new QFileSystemWatcher(this);
        // A save writes a signal per row: one look at the files for the burst, not one per
        // write (fifty workstations woken fifty times each at the moment that counts).
        m_burst = new QTimer(this);
        m_burst->setSingleShot(true);
        m_burst->setInterval(BurstMs);
        connect(m_burst, &QTimer::timeout, this, [this] {
            watchPaths(); // a file deleted and made again is no longer watched
            check();
        });
        auto changed = [this] {
            if (!m_burst->isActive())
                m_burst->start();
        };
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
        watchPaths();
    }
    if (m_checkMs > 0) {
        m_timer = new QTimer(this);
        m_timer->setInterval(m_checkMs);
        connect(m_timer, &QTimer::timeout, this, [this] {
            if (m_watcher)
                watchPaths();
            check();
        });
        m_timer->start();
    }
}

void SignalFiles::stop()
{
    delete m_burst;
    m_burst = nullptr;
    delete m_watcher;
    m_watcher = nullptr;
    delete m_timer;
    m_timer = nullptr;
    m_known.clear();
}

void SignalFiles::acknowledge()
{
    m_known = prints();
}

void SignalFiles::watchPaths()
{
    if (!m_watcher)
        return;
    const QStringList files = m_watcher->files();
    const QStringList folders = m_watcher->directories();
    QStringList add;
    // The data folder too, so that a TEMP folder made later is found. Nothing through a link.
    if (!folders.contains(m_dataFolder) && QFile::exists(m_dataFolder))
        add << m_dataFolder;
    if (!folders.contains(m_folder) && plainAt(m_folder, true))
        add << m_folder;
    for (const QString& tag : tags()) {
        const QString path = pathOf(tag);
        if (!files.contains(path) && plainAt(path, false))
            add << path;
    }
    if (!add.isEmpty())
        m_watcher->addPaths(add);
}

void SignalFiles::check()
{
    const QHash<QString, Print> all = prints();
    for (const QString& tag : tags()) {
        const Print now = all.value(tag);
        auto known = m_known.find(tag);
        if (known == m_known.end() || !(*known == now)) {
            m_known.insert(tag, now);
            emit changed(tag);
        }
    }
}

} // namespace tzsndmsg::watcher
