#include "Deadline.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <dlfcn.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

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

using StatusOf = int (*)(const void*);

StatusOf statusAccessor()
{
    static const StatusOf accessor = [] {
        void* library = ::dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
        return library ? reinterpret_cast<StatusOf>(::dlsym(library, "PQstatus")) : nullptr;
    }();
    return accessor;
}

// The PGconn behind an open PostgreSQL connection, or null.
const void* postgresConnection(const QSqlDatabase& db)
{
    const QSqlDriver* driver = db.driver();
    if (!driver)
        return nullptr;
    const QVariant handle = driver->handle();
    // Registered as "pg_conn*" (the struct behind libpq's PGconn typedef).
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<void* const*>(handle.constData());
}

enum class Cut { No, TimeUp, Unanswered };

class Watchdog {
public:
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        wake();
        if (m_thread.joinable())
            m_thread.join();
        for (auto& [id, entry] : m_armed)
            closeCheck(entry);
        if (m_wakeFd >= 0)
            ::close(m_wakeFd);
    }

    unsigned long long arm(int socket, Clock::time_point at)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_thread.joinable()) {
            m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
            m_thread = std::thread([this] { run(); });
        }
        const unsigned long long id = ++m_next;
        const Clock::time_point checkAt = Clock::now() + std::chrono::milliseconds(kCheckAfterMs);
        m_armed.emplace(id, Entry{socket, at, std::min(checkAt, at)});
        // Most statements end long before the thread would next look; it is woken only when
        // this one needs it sooner.
        if (std::min(checkAt, at) < m_plannedWake)
            wake();
        return id;
    }

    void disarm(unsigned long long id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_armed.find(id);
        if (found == m_armed.end())
            return;
        closeCheck(found->second);
        m_armed.erase(found);
    }

    Cut cut(unsigned long long id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto found = m_armed.find(id);
        return found != m_armed.end() ? found->second.cut : Cut::No;
    }

private:
    struct Entry {
        int socket;
        Clock::time_point at;      // given up, answering or not
        Clock::time_point checkAt; // the next check starts
        int check = -1;            // the check's own connection
        bool asked = false;        // its question is sent
        Clock::time_point answerBy{};
        Cut cut = Cut::No;
    };

    void wake() const
    {
        if (m_wakeFd >= 0) {
            const uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write(m_wakeFd, &one, sizeof one);
        }
    }

    static void closeCheck(Entry& entry)
    {
        if (entry.check >= 0)
            ::close(entry.check);
        entry.check = -1;
        entry.asked = false;
    }

    static void giveUp(Entry& entry, Cut why)
    {
        closeCheck(entry);
        ::shutdown(entry.socket, SHUT_RDWR);
        entry.cut = why;
    }

    // Connects to the address the statement's connection is connected to.
    static void startCheck(Entry& entry, Clock::time_point now)
    {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = -1;
        if (::getpeername(entry.socket, reinterpret_cast<sockaddr*>(&peer), &length) == 0)
            fd = ::socket(peer.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            // Nothing to check with (no descriptor left, say): the guard's own time decides.
            entry.checkAt = entry.at;
            return;
        }
        if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), length) != 0 &&
            errno != EINPROGRESS) {
            ::close(fd);
            giveUp(entry, Cut::Unanswered); // nothing listens at the server's address
            return;
        }
        entry.check = fd;
        entry.asked = false;
        entry.answerBy = now + std::chrono::milliseconds(kCheckAnswerMs);
    }

    // The check's connection has something: it is open (then the question goes), or the server
    // answered, closed it or refused it.
    static void checkProgress(Entry& entry, short events, Clock::time_point now)
    {
        if (!entry.asked) {
            int failure = 0;
            socklen_t size = sizeof failure;
            if (::getsockopt(entry.check, SOL_SOCKET, SO_ERROR, &failure, &size) != 0 ||
                failure != 0) {
                giveUp(entry, Cut::Unanswered);
                return;
            }
            if (!(events & POLLOUT))
                return;
            // The protocol's request for TLS: the server answers it with one byte before anything
            // else, and says nothing in its log when the asker then leaves.
            const unsigned char request[8] = {0, 0, 0, 8, 0x04, 0xd2, 0x16, 0x2f};
            [[maybe_unused]] const auto n =
                ::send(entry.check, request, sizeof request, MSG_NOSIGNAL);
            entry.asked = true;
            return;
        }
        closeCheck(entry); // an answer, or the server closed it: either way it runs
        entry.checkAt = std::min(now + std::chrono::milliseconds(kCheckAfterMs), entry.at);
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        std::vector<pollfd> fds;
        std::vector<unsigned long long> ids;
        while (!m_stop) {
            const Clock::time_point now = Clock::now();
            fds.assign(1, pollfd{m_wakeFd, POLLIN, 0});
            ids.assign(1, 0);
            std::optional<Clock::time_point> next;
            auto consider = [&](Clock::time_point t) {
                if (!next || t < *next)
                    next = t;
            };
            for (auto& [id, entry] : m_armed) {
                if (entry.cut != Cut::No)
                    continue;
                if (entry.at <= now) {
                    giveUp(entry, Cut::TimeUp);
                    continue;
                }
                if (entry.check >= 0 && entry.answerBy <= now) {
                    giveUp(entry, Cut::Unanswered);
                    continue;
                }
                if (entry.check < 0 && entry.checkAt <= now && entry.checkAt < entry.at)
                    startCheck(entry, now);
                if (entry.cut != Cut::No)
                    continue;
                consider(entry.at);
                if (entry.check >= 0) {
                    consider(entry.answerBy);
                    fds.push_back(pollfd{entry.check, short(entry.asked ? POLLIN : POLLOUT), 0});
                    ids.push_back(id);
                } else if (entry.checkAt < entry.at) {
                    consider(entry.checkAt);
                }
            }
            int timeout = -1;
            m_plannedWake = Clock::time_point::max();
            if (next) {
                m_plannedWake = *next;
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
                timeout = int(std::clamp<long long>(wait, 0, 60000));
            }
            if (m_wakeFd < 0) // cannot be woken: look again soon
                timeout = timeout < 0 ? 1000 : std::min(timeout, 1000);
            lock.unlock();
            ::poll(fds.data(), nfds_t(fds.size()), timeout);
            lock.lock();
            uint64_t drained = 0;
            [[maybe_unused]] const auto n = ::read(m_wakeFd, &drained, sizeof drained);
            const Clock::time_point after = Clock::now();
            for (size_t i = 1; i < fds.size(); ++i) {
                const auto found = m_armed.find(ids[i]);
                // A check closed meanwhile (the statement ended) may have had its number reused.
                if (fds[i].revents == 0 || found == m_armed.end() ||
                    found->second.check != fds[i].fd || found->second.cut != Cut::No)
                    continue;
                checkProgress(found->second, fds[i].revents, after);
            }
        }
    }

    std::mutex m_lock;
    std::thread m_thread;
    int m_wakeFd = -1;
    bool m_stop = false;
    Clock::time_point m_plannedWake = Clock::time_point::min();
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
    const void* connection = postgresConnection(db);
    const SocketOf socketOf = socketAccessor();
    return connection && socketOf ? socketOf(connection) : -1;
}

bool postgresConnectionBroken(const QSqlDatabase& db)
{
    const void* connection = postgresConnection(db);
    const StatusOf statusOf = statusAccessor();
    constexpr int ConnectionBad = 1; // libpq's CONNECTION_BAD
    return connection && statusOf && statusOf(connection) == ConnectionBad;
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

bool StatementDeadline::expired() const
{
    return m_id && watchdog().cut(m_id) != Cut::No;
}

bool StatementDeadline::unanswered() const
{
    return m_id && watchdog().cut(m_id) == Cut::Unanswered;
}

} // namespace tzsndmsg::db::detail
