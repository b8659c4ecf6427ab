#pragma once

#include "core/ChangeNotice.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QTimer;
class QSqlDriver;

// PostgreSQL's notices of saved and confirmed messages, heard on a connection of the watcher's
// own (a notice needs no statement to arrive). The connection going away is noticed from its
// socket, without a statement: libpq closes the socket when the server is gone (or keepalives
// find it dead), and the connection's state is looked at every few seconds, as the socket's
// notifier is disabled once its socket is closed and tells nothing more.
namespace tzsndmsg::watcher {

class ChangeListener : public QObject {
    Q_OBJECT

public:
    explicit ChangeListener(QObject* parent = nullptr);
    ~ChangeListener() override;

    // Opens the connection to the store's server (the URL as the services' store has it) and
    // listens on the channel; false with the reason.
    bool open(const QString& url, const QString& channel, QString* error);
    void close();
    bool isOpen() const { return !m_name.isEmpty(); }

Q_SIGNALS:
    void notified(const tzsndmsg::core::ChangeNotice& notice);
    void lost(const QString& reason);

private:
    void socketActivity();
    void checkConnection();
    void dropLost();

    QString m_name; // the QSqlDatabase connection name
    QString m_channel;
    QPointer<QSqlDriver> m_driver;
    QPointer<QSocketNotifier> m_notifier;
    QTimer* m_check = nullptr;
    int m_socket = -1;
    bool m_lostTold = false;
    qint32 m_lastCarried = 0; // the message of the last notice, when it named its addressees
};

} // namespace tzsndmsg::watcher
