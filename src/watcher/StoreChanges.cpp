#include "watcher/StoreChanges.h"

#include "core/ChangeNotice.h"
#include "tzsndmsg/db/Database.h"
#include "watcher/ChangeListener.h"
#include "watcher/SignalFiles.h"

#include <QTimer>
#include <algorithm>

namespace tzsndmsg::watcher {

namespace {
// A server that went away is asked again after a pause that grows to two minutes: asking an
// unreachable server holds the caller's thread up to the connection's timeout (5 s), and the
// signal files still tell meanwhile.
constexpr int RetryFirstMs = 5000;
constexpr int RetryMaxMs = 120000;
} // namespace

StoreChanges::StoreChanges(std::shared_ptr<HostServices> services, int fileCheckMs,
                           bool fileSystemEvents, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_fileCheckMs(fileCheckMs),
      m_fileEvents(fileSystemEvents)
{
}

StoreChanges::~StoreChanges()
{
    stop();
}

bool StoreChanges::start(QString* error)
{
    stop();
    const auto store = m_services ? m_services->messageStoreConnection() : nullptr;
    if (!store) {
        if (error)
            *error = QStringLiteral("no message store is open");
        return false;
    }
    m_files = new SignalFiles(m_services->dataFolder(), m_fileCheckMs, m_fileEvents, this);
    connect(m_files, &SignalFiles::changed, this, &StoreChanges::changed);
    m_files->start();
    if (store->backend() != db::Backend::Postgres)
        return true;
    QString why;
    const QVariant channel = store->scalar(core::changeChannelStatement(), {}, &why);
    if (!channel.isValid())
        return true; // the signal files still tell
    m_url = store->url();
    m_channel = channel.toString();
    m_listener = new ChangeListener(this);
    connect(m_listener, &ChangeListener::notified, this, &StoreChanges::changed);
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &StoreChanges::listen);
    connect(m_listener, &ChangeListener::lost, this, [this] {
        m_retryMs = RetryFirstMs;
        m_retry->start(m_retryMs);
    });
    listen();
    return true;
}

void StoreChanges::listen()
{
    if (!m_listener)
        return;
    if (m_listener->open(m_url, m_channel, nullptr)) {
        if (m_retryMs != 0) {
            m_retryMs = 0;
            emit changed(); // whatever was saved while the server was away
        }
        return;
    }
    m_retryMs = std::min(std::max(m_retryMs, RetryFirstMs / 2) * 2, RetryMaxMs);
    m_retry->start(m_retryMs);
}

void StoreChanges::stop()
{
    delete m_retry;
    m_retry = nullptr;
    delete m_listener;
    m_listener = nullptr;
    delete m_files;
    m_files = nullptr;
    m_retryMs = 0;
}

bool StoreChanges::isListening() const
{
    return m_listener && m_listener->isOpen();
}

void StoreChanges::acknowledge()
{
    if (m_files)
        m_files->acknowledge();
}

} // namespace tzsndmsg::watcher
