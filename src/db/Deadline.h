#pragma once

class QSqlDatabase;

// Internal to the database layer.
namespace tzsndmsg::db::detail {

// The socket of an open PostgreSQL connection; -1 for other drivers or when it cannot be known.
int postgresSocket(const QSqlDatabase& db);

// A PostgreSQL server that stops answering (hung, not gone) leaves the driver waiting on its
// socket for ever, and a server-side statement timeout cannot fire in a server that does not
// run. While a guard is armed, once its time is up the socket is shut down from a watchdog
// thread: the driver's wait returns with a lost connection and the statement fails.
class StatementDeadline {
public:
    StatementDeadline(int socket, int milliseconds); // does nothing for socket < 0 or ms <= 0
    ~StatementDeadline();
    StatementDeadline(const StatementDeadline&) = delete;
    StatementDeadline& operator=(const StatementDeadline&) = delete;
    // The time ran out and the connection was cut.
    bool expired() const;

private:
    unsigned long long m_id = 0;
};

} // namespace tzsndmsg::db::detail
