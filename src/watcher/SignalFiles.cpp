#include "watcher/SignalFiles.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QTimer>

#include <sys/stat.h>

namespace tzsndmsg::watcher {

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

SignalFiles::Print SignalFiles::printOf(const QString& tag) const
{
    Print p;
    const QByteArray native = QFile::encodeName(pathOf(tag));
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return p;
    p.exists = true;
    p.size = st.st_size;
    p.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    p.inode = quint64(st.st_ino);
    // Reading takes no lock: a writer holding its lock does not keep us out.
    QFile file(pathOf(tag));
    if (file.open(QIODevice::ReadOnly))
        p.head = file.read(40);
    return p;
}

void SignalFiles::start()
{
    stop();
    for (const QString& tag : tags())
        m_known.insert(tag, printOf(tag));
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
    for (const QString& tag : tags())
        m_known.insert(tag, printOf(tag));
}

void SignalFiles::watchPaths()
{
    if (!m_watcher)
        return;
    const QStringList files = m_watcher->files();
    const QStringList folders = m_watcher->directories();
    QStringList add;
    // The data folder too, so that a TEMP folder made later is found.
    for (const QString& folder : {m_dataFolder, m_folder})
        if (!folders.contains(folder) && QFile::exists(folder))
            add << folder;
    for (const QString& tag : tags()) {
        const QString path = pathOf(tag);
        if (!files.contains(path) && QFile::exists(path))
            add << path;
    }
    if (!add.isEmpty())
        m_watcher->addPaths(add);
}

void SignalFiles::check()
{
    for (const QString& tag : tags()) {
        const Print now = printOf(tag);
        auto known = m_known.find(tag);
        if (known == m_known.end() || !(*known == now)) {
            m_known.insert(tag, now);
            emit changed(tag);
        }
    }
}

} // namespace tzsndmsg::watcher
