#include "Deadline.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include <dlfcn.h>
#include <sys/socket.h>

namespace tzsndmsg::db::detail {

namespace {

using Clock = std::chrono::steady_clock;

// The client library is already loaded by Qt's PostgreSQL driver; only its socket accessor is
// looked up, so nothing more is linked.
using SocketOf = int (*)(const void*);

SocketOf socketAccessor()
{
    static const SocketOf accessor = [] {
        void* library = ::dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
        return library ? reinterpret_cast<SocketOf>(::dlsym(library, "PQsocket")) : nullptr;
    }();
    return accessor;
}

class Watchdog {
public:
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    unsigned long long arm(int socket, Clock::time_point at)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        const unsigned long long id = ++m_next;
        m_armed.emplace(id, Entry{socket, at, false});
        m_wake.notify_all();
        return id;
    }

    bool disarm(unsigned long long id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_armed.find(id);
        if (found == m_armed.end())
            return false;
        const bool expired = found->second.expired;
        m_armed.erase(found);
        return expired;
    }

    bool expired(unsigned long long id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_armed.find(id);
        return found != m_armed.end() && found->second.expired;
    }

private:
    struct Entry {
        int socket;
        Clock::time_point at;
        bool expired;
    };

    void run()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_stop) {
            const Clock::time_point now = Clock::now();
            std::optional<Clock::time_point> next;
            for (auto& [id, entry] : m_armed) {
                if (entry.expired)
                    continue;
                if (entry.at <= now) {
                    ::shutdown(entry.socket, SHUT_RDWR);
                    entry.expired = true;
                } else if (!next || entry.at < *next) {
                    next = entry.at;
                }
            }
            if (next)
                m_wake.wait_until(lock, *next);
            else
                m_wake.wait(lock);
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_stop = false;
    unsigned long long m_next = 0;
    std::unordered_map<unsigned long long, Entry> m_armed;
};

Watchdog& watchdog()
{
    static Watchdog instance;
    return instance;
}

} // namespace

int postgresSocket(const QSqlDatabase& db)
{
    const QSqlDriver* driver = db.driver();
    if (!driver)
        return -1;
    const QVariant handle = driver->handle();
    // Registered as "pg_conn*" (the struct behind libpq's PGconn typedef).
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "pg_conn*") != 0 &&
                              qstrcmp(handle.typeName(), "PGconn*") != 0))
        return -1;
    const void* connection = *static_cast<void* const*>(handle.constData());
    const SocketOf socketOf = socketAccessor();
    return connection && socketOf ? socketOf(connection) : -1;
}

StatementDeadline::StatementDeadline(int socket, int milliseconds)
{
    if (socket >= 0 && milliseconds > 0)
        m_id = watchdog().arm(socket, Clock::now() + std::chrono::milliseconds(milliseconds));
}

StatementDeadline::~StatementDeadline()
{
    if (m_id)
        watchdog().disarm(m_id);
}

bool StatementDeadline::expired() const { return m_id && watchdog().expired(m_id); }

} // namespace tzsndmsg::db::detail
