#include "watcher/ChangeListener.h"

#include "core/ChangeNotice.h"
#include "db/Deadline.h"
#include "tzsndmsg/db/Database.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QTimer>
#include <QUuid>
#include <cerrno>
#include <fcntl.h>

namespace tzsndmsg::watcher {

namespace {
// How often the connection's own state is looked at (no statement, no traffic).
constexpr int CheckEveryMs = 2000;
} // namespace

ChangeListener::ChangeListener(QObject* parent) : QObject(parent), m_check(new QTimer(this))
{
    connect(m_check, &QTimer::timeout, this, &ChangeListener::checkConnection);
}

ChangeListener::~ChangeListener()
{
    close();
}

bool ChangeListener::open(const QString& url, const QString& channel, QString* error)
{
    close();
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        close();
        return false;
    };
    const auto parsed = db::ConnectionUrl::parse(url, error);
    if (!parsed || parsed->backend != db::Backend::Postgres)
        return fail(QStringLiteral("notices need a PostgreSQL store"));

    m_name =
        QStringLiteral("tzsndmsg-listen-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_channel = channel;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    if (!db.isValid())
        return fail(QStringLiteral("The database driver for PostgreSQL is not installed."));
    db.setHostName(parsed->hostList());
    if (parsed->hosts.size() < 2) // a list's ports go with the other parameters
        db.setPort(parsed->port);
    db.setDatabaseName(parsed->database);
    db.setUserName(parsed->user);
    db.setPassword(parsed->password);
    // Keepalives: a server that vanishes without closing the connection is noticed within
    // about ten seconds, with no statement sent.
    // The process in its name: an administrator (or a test) can tell the watchers apart.
    db.setConnectOptions(QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=4;"
                                        "keepalives_interval=2;keepalives_count=2;"
                                        "application_name=tzsndmsg-watcher-%1 %2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(parsed->libpqParameters())
                             .trimmed());
    if (!db.open())
        return fail(QStringLiteral("cannot listen for notices: %1")
                        .arg(db.lastError().text().simplified()));
    m_driver = db.driver();
    bool listening = false;
    {
        // A server that froze since it let the connection in is given up like any statement's.
        db::detail::StatementDeadline deadline(
            db::detail::postgresSocket(db), db::detail::kCheckAfterMs + db::detail::kCheckAnswerMs);
        listening = m_driver->subscribeToNotification(channel) && !deadline.expired();
    }
    if (!listening)
        return fail(QStringLiteral("cannot listen for notices: %1")
                        .arg(m_driver->lastError().text().simplified()));
    connect(m_driver, &QSqlDriver::notification, this,
            [this](const QString& name, QSqlDriver::NotificationSource, const QVariant& payload) {
                if (name != m_channel)
                    return;
                const core::ChangeNotice notice = core::parseChangeNotice(payload.toString());
                // The plain id that follows a notice naming its addressees is for workstations
                // of the previous version.
                const bool companion =
                    !notice.carried && notice.cmId != 0 && notice.cmId == m_lastCarried;
                m_lastCarried = notice.carried ? notice.cmId : 0;
                if (!companion)
                    emit notified(notice);
            });
    // The driver reads the connection's socket when it has something; after it did, a closed
    // socket means the server went away.
    m_notifier = m_driver->findChild<QSocketNotifier*>();
    if (m_notifier) {
        m_socket = int(m_notifier->socket());
        connect(m_notifier, &QSocketNotifier::activated, this, &ChangeListener::socketActivity);
    } else {
        m_socket = db::detail::postgresSocket(db);
    }
    m_lostTold = false;
    m_lastCarried = 0;
    m_check->start(CheckEveryMs);
    return true;
}

void ChangeListener::checkConnection()
{
    if (m_name.isEmpty() || m_lostTold)
        return;
    // libpq gives up its socket when the connection broke; a disabled notifier hears no more.
    const int socket = db::detail::postgresSocket(QSqlDatabase::database(m_name, false));
    if (socket >= 0 && socket == m_socket && (!m_notifier || m_notifier->isEnabled()))
        return;
    m_lostTold = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    dropLost();
}

void ChangeListener::socketActivity()
{
    if (m_socket < 0 || m_lostTold)
        return;
    if (::fcntl(m_socket, F_GETFD) == -1 && errno == EBADF) {
        m_lostTold = true;
        if (m_notifier)
            m_notifier->setEnabled(false); // its socket is closed
        QMetaObject::invokeMethod(this, &ChangeListener::dropLost, Qt::QueuedConnection);
    }
}

void ChangeListener::dropLost()
{
    close();
    emit lost(QStringLiteral("the connection to the database server was closed"));
}

void ChangeListener::close()
{
    if (m_driver)
        disconnect(m_driver, nullptr, this, nullptr);
    m_check->stop();
    m_driver.clear();
    m_notifier.clear();
    m_socket = -1;
    if (m_name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
}

} // namespace tzsndmsg::watcher
