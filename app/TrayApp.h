#pragma once

#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/OfficeWatcher.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QToolButton;
class QWidget;

namespace tzsndmsg {
class tzSndMsgCls;
}

namespace tzsndmsg::app {

class NotificationPopup;

// What the tray keeps running at a workstation: the office watcher, a tray icon with the
// unread count and a notification for each arrival, due reminder and started delivery (or,
// without a system tray, a small window that stays on top and the tray's own notification),
// a click on a notification opening the message window on that message, and a menu: open
// inbox, new message, events, holidays, quit. Runs on the main thread.
class TrayApp : public QObject {
    Q_OBJECT

public:
    enum class Mode { Auto, Icon, Window };

    TrayApp(std::shared_ptr<HostServices> services, OfficeWatcher::Options options,
            Mode mode = Mode::Auto, QObject* parent = nullptr);
    ~TrayApp() override;

    // Starts the watcher and shows the icon or the window; false with the reason.
    bool start(QString* error);

    QMenu* menu() const { return m_menu; }
    QWidget* window() const { return m_window; } // null with a tray icon
    QSystemTrayIcon* icon() const { return m_icon; }
    NotificationPopup* popup() const { return m_popup; }
    OfficeWatcher* watcher() const { return m_watcher.get(); }
    bool usesIcon() const { return m_icon != nullptr; }
    qint64 unreadCount() const { return m_unread; }
    QString statusText() const;

    // The menu's commands.
    void openInbox();
    void newMessage();
    void openEvents();
    void openHolidays();
    // The message window on the notice's message, its confirm panel ready; when the message
    // window is open already, the message is shown there (or waits there while one is written).
    void openNotice(const OfficeNotice& notice);

    // The icon with the count drawn on it.
    static QIcon iconFor(qint64 unread);

Q_SIGNALS:
    void quitRequested();
    // A notice was shown (on the desktop or in the tray's own popup).
    void notified(const tzsndmsg::OfficeNotice& notice);

private:
    void notify(const OfficeNotice& notice);
    void setUnread(qint64 count);
    // Runs one of the component's windows; one at a time.
    void runWindow(const std::function<void(tzSndMsgCls&)>& open);
    void buildMenu();
    void buildWindow();

    std::shared_ptr<HostServices> m_services;
    std::unique_ptr<OfficeWatcher> m_watcher;
    Mode m_mode;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
    QWidget* m_window = nullptr;
    QLabel* m_windowText = nullptr;
    NotificationPopup* m_popup = nullptr;
    OfficeNotice m_lastShown;
    bool m_windowOpen = false;
    tzSndMsgCls* m_open = nullptr; // the instance whose window is open
    // A notice clicked while the events or holidays window was open: opened once it closes.
    std::optional<OfficeNotice> m_afterWindow;
    qint64 m_unread = 0;
    bool m_connected = true;
    // A message to the person and to the computer is told for both rows: shown once.
    QHash<QString, qint64> m_recent;
};

} // namespace tzsndmsg::app
