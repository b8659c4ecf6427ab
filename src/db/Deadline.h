#pragma once

class QSqlDatabase;

// Internal to the database layer (and the watcher's listening for notices).
namespace tzsndmsg::db::detail {

// The socket of an open PostgreSQL connection; -1 for other drivers or when it cannot be known.
int postgresSocket(const QSqlDatabase& db);
// The server went away under an open PostgreSQL connection (libpq says it is broken).
bool postgresConnectionBroken(const QSqlDatabase& db);

// A statement that has run this long has the server checked: a fresh connection to the
// server's address asks it one question (does it speak TLS) that its main process answers at
// once, however busy its sessions are. A server that does not answer the check in time has
// stopped (a hung machine, a frozen process): the statement's connection is given up. A frozen
// server is thus given up at most kCheckAfterMs + kCheckAnswerMs after its last answer.
constexpr int kCheckAfterMs = 5000;
constexpr int kCheckAnswerMs = 10000;

// A PostgreSQL server that stops answering (hung, not gone) leaves the driver waiting on its
// socket for ever, and a server-side statement timeout cannot fire in a server that does not
// run. While a guard is armed, the server is checked as above, and once it fails the check or
// the guard's own time is up the socket is shut down from a watchdog thread: the driver's wait
// returns with a lost connection and the statement fails.
class StatementDeadline {
public:
    StatementDeadline(int socket, int milliseconds); // does nothing for socket < 0 or ms <= 0
    ~StatementDeadline();
    StatementDeadline(const StatementDeadline&) = delete;
    StatementDeadline& operator=(const StatementDeadline&) = delete;
    // The connection was cut: the time ran out, or the server failed its check.
    bool expired() const;
    // It was cut because the server did not answer its check.
    bool unanswered() const;

private:
    unsigned long long m_id = 0;
};

} // namespace tzsndmsg::db::detail
