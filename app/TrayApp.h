#pragma once

#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/OfficeWatcher.h"
#include "tzsndmsg/WorkstationConfig.h"

#include <QElapsedTimer>
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
class QTimer;
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
// inbox, new message, the day's notices (Recent), events, holidays, do not disturb, quit.
// Notices that come together (the unread ones at start) are one summary that opens the inbox.
// In quiet hours and while "Do not disturb" is on nothing is shown or sounded; the count is kept
// and what came is told as one summary afterwards. The tray's own notice also confirms and
// snoozes; a message that needs confirmation always comes in it, since it stays until acted on.
// A floating window turns into the tray icon once the desktop's system tray appears. Runs on
// the main thread.
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
    // The notice's other actions, without a window; false (the reason on the notice) when the
    // message cannot be confirmed or snoozed from there.
    bool confirmNotice(const OfficeNotice& notice);
    bool snoozeNotice(const OfficeNotice& notice);

    // The icon with the count drawn on it.
    static QIcon iconFor(qint64 unread);

    // Notices told within this time of the first are shown together.
    static constexpr int kGatherMs = 300;
    // The Recent menu keeps at most this many of the day's notices.
    static constexpr int kRecentCap = 20;

    // The day's notices (the services' clock), newest first; the Recent menu lists them.
    QList<OfficeNotice> recent() const;
    QMenu* recentMenu() const { return m_recentMenu; }

    // Hours without notices (the configuration's quiet=), and the menu's "Do not disturb".
    void setQuietHours(std::optional<tzglob::WorkstationConfig::QuietHours> hours);
    void setDoNotDisturb(bool on);
    bool doNotDisturb() const;
    bool isQuiet() const;
    // Notices held back while quiet, told when it ends.
    int heldBack() const { return int(m_held.size()); }

    // The sound on arrival: a WorkstationConfig::soundOf() value ("beep", a file, empty: none).
    void setSound(const QString& sound);
    // What plays it; by default the desktop's bell, or a sound file through the sound server.
    void setSoundPlayer(std::function<void(const QString&)> player);

    // Whether the desktop has a system tray now, asked every pollMs while the tray floats as a
    // window (Mode::Auto only).
    void setTrayAvailability(std::function<bool()> available, int pollMs = 2000);
    // Started with the session: waits up to ms for the desktop's system tray before it floats.
    void setStartGrace(int ms) { m_graceMs = ms; }

    // The tray could not start: the reason in a notice (not a box that waits for an answer),
    // until closed or boundMs passed. Returns code.
    static int reportFailure(const QString& reason, int code, int boundMs);

public Q_SLOTS:
    // The clock moved (looked at every half minute; tests set it): quiet hours begin or end.
    void clockChanged();

Q_SIGNALS:
    void quitRequested();
    // A notice was shown (on the desktop or in the tray's own popup).
    void notified(const tzsndmsg::OfficeNotice& notice);
    // Several notices were shown as one, opening the inbox.
    void summarized(const QString& title, int count);

private:
    void notify(const OfficeNotice& notice);
    void showGathered();
    void present(const QList<OfficeNotice>& notices, bool afterQuiet);
    void showOne(const OfficeNotice& notice);
    void ring();
    void addRecent(const OfficeNotice& notice);
    void fillRecentMenu();
    void createIcon();
    void showWindow();
    void pollTray();
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
    OfficeNotice m_lastShown; // the desktop notification last shown (what its click opens)
    bool m_windowOpen = false;
    tzSndMsgCls* m_open = nullptr; // the instance whose window is open
    // A notice clicked while the events or holidays window was open: opened once it closes.
    std::optional<OfficeNotice> m_afterWindow;
    qint64 m_unread = 0;
    bool m_connected = true;
    // A message to the person and to the computer is told for both rows: shown once.
    QHash<QString, qint64> m_toldKeys;

    QMenu* m_recentMenu = nullptr;
    QList<OfficeNotice> m_recent; // newest first
    QList<OfficeNotice> m_gathered;
    QTimer* m_gather = nullptr;
    QList<OfficeNotice> m_held; // kept in heldFile() too: a logout in quiet time loses nothing
    QString heldFile() const;
    void saveHeld();
    void loadHeld();
    QAction* m_dnd = nullptr;
    std::optional<tzglob::WorkstationConfig::QuietHours> m_quietHours;
    QTimer* m_clock = nullptr;
    QString m_sound;
    std::function<void(const QString&)> m_player;
    std::function<bool()> m_trayAvailable;
    QTimer* m_trayPoll = nullptr;
    int m_graceMs = 0;
    QElapsedTimer m_started;
};

} // namespace tzsndmsg::app
