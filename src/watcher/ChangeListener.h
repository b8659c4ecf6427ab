#pragma once

#include "core/ChangeNotice.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QSocketNotifier;
class QTimer;
class QSqlDriver;

namespace tzsndmsg::db {
class Database;
}

// PostgreSQL's notices of saved and confirmed messages, heard on a connection (a notice needs
// no statement to arrive): one of the listener's own, or the store connection the caller runs
// its statements on (the driver hands on a notice that came in while a statement ran once that
// statement is done). The connection going away is noticed from its socket, without a
// statement: libpq closes the socket when the server is gone (or keepalives find it dead), and
// the connection's state is looked at every few seconds, as the socket's notifier is disabled
// once its socket is closed and tells nothing more. A store connection opened again by its
// holder (the database layer does so by itself after a failover) listens no more: that is
// told as its loss too.
namespace tzsndmsg::watcher {

class ChangeListener : public QObject {
    Q_OBJECT

public:
    explicit ChangeListener(QObject* parent = nullptr);
    ~ChangeListener() override;

    // Opens a connection of its own to the store's server (the URL as the services' store has
    // it) and listens on the channel; false with the reason.
    bool open(const QString& url, const QString& channel, QString* error);
    // Listens on the store's own connection (the thread's, as the store is); close() ends the
    // listening and leaves the connection open. False with the reason.
    bool listenOn(const std::shared_ptr<db::Database>& store, const QString& channel,
                  QString* error);
    void close();
    bool isOpen() const { return !m_name.isEmpty(); }

Q_SIGNALS:
    void notified(const tzsndmsg::core::ChangeNotice& notice);
    void lost(const QString& reason);

private:
    bool subscribe(const QString& channel, QString* error);
    void socketActivity();
    void checkConnection();
    void dropLost();

    QString m_name;                      // the QSqlDatabase connection name
    bool m_own = false;                  // the connection is the listener's, closed with it
    std::weak_ptr<db::Database> m_store; // else the store it listens on
    QString m_channel;
    QPointer<QSqlDriver> m_driver;
    QPointer<QSocketNotifier> m_notifier;
    QTimer* m_check = nullptr;
    int m_socket = -1;
    bool m_lostTold = false;
    qint32 m_lastCarried = 0; // the message of the last notice, when it named its addressees
};

} // namespace tzsndmsg::watcher
