#include "watcher/ChangeListener.h"

#include "core/ChangeNotice.h"
#include "db/Deadline.h"
#include "db/Internals.h"
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
#include <utility>

namespace tzsndmsg::watcher {

namespace {
// How often the connection's own state is looked at (no statement, no traffic).
constexpr int CheckEveryMs = 2000;

// The process in the connection's name: an administrator (or a test) can tell the watchers'
// connections apart.
QString applicationName()
{
    return QStringLiteral("tzsndmsg-watcher-%1").arg(QCoreApplication::applicationPid());
}
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
    m_own = true;
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
    db.setConnectOptions(QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=4;"
                                        "keepalives_interval=2;keepalives_count=2;"
                                        "application_name=%1 %2")
                             .arg(applicationName(), parsed->libpqParameters())
                             .trimmed());
    if (!db.open())
        return fail(QStringLiteral("cannot listen for notices: %1")
                        .arg(db.lastError().text().simplified()));
    return subscribe(channel, error);
}

bool ChangeListener::listenOn(const std::shared_ptr<db::Database>& store, const QString& channel,
                              QString* error)
{
    close();
    if (!store || store->backend() != db::Backend::Postgres) {
        if (error)
            *error = QStringLiteral("notices need a PostgreSQL store");
        return false;
    }
    QString why;
    if (!store->exec(QStringLiteral("SELECT set_config('application_name', %1, false)")
                         .arg(store->quote(applicationName())),
                     &why)) {
        if (error)
            *error = QStringLiteral("cannot listen for notices: %1").arg(why);
        return false;
    }
    m_name = db::Internals::handle(*store).connectionName();
    m_own = false;
    m_store = store;
    return subscribe(channel, error);
}

bool ChangeListener::subscribe(const QString& channel, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        close();
        return false;
    };
    const QSqlDatabase db = QSqlDatabase::database(m_name, false);
    m_channel = channel;
    m_driver = db.driver();
    if (!m_driver || !db.isOpen())
        return fail(QStringLiteral("cannot listen for notices: the connection is closed"));
    bool listening = false;
    {
        // A server that froze since it let the connection in is given up like any statement's.
        db::detail::StatementDeadline deadline(
            db::detail::postgresSocket(db), db::detail::kCheckAfterMs + db::detail::kCheckAnswerMs);
        // One left subscribed on this connection by an earlier listener still listens.
        listening = m_driver->subscribedToNotifications().contains(channel) ||
                    (m_driver->subscribeToNotification(channel) && !deadline.expired());
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
    // A connection opened again since (its socket may have the same number) has no listening.
    const bool subscribed = m_driver && m_driver->subscribedToNotifications().contains(m_channel);
    if (socket >= 0 && socket == m_socket && subscribed && (!m_notifier || m_notifier->isEnabled()))
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
    const QPointer<QSqlDriver> driver = std::exchange(m_driver, nullptr);
    m_notifier.clear();
    m_socket = -1;
    const QString name = std::exchange(m_name, QString());
    if (name.isEmpty())
        return;
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!m_own) {
        // The store's connection stays with the store. Its listening ends while it works and
        // runs no transaction of another's (an UNLISTEN would be undone with it).
        const auto store = std::exchange(m_store, {}).lock();
        if (store && driver && db.isOpen() && !store->inTransaction() &&
            !db::detail::postgresConnectionBroken(db) &&
            driver->subscribedToNotifications().contains(m_channel)) {
            db::detail::StatementDeadline deadline(db::detail::postgresSocket(db),
                                                   db::detail::kCheckAfterMs +
                                                       db::detail::kCheckAnswerMs);
            driver->unsubscribeFromNotification(m_channel);
        }
        return;
    }
    if (db.isOpen())
        db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

} // namespace tzsndmsg::watcher
