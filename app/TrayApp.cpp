#include "TrayApp.h"

#include "NotificationPopup.h"

#include "tzsndmsg/tzSndMsgCls.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace tzsndmsg::app {

namespace {

const QString kProduct = QStringLiteral("Office Messages");

QAction* addCommand(QMenu* menu, const QString& name, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    return action;
}

} // namespace

TrayApp::TrayApp(std::shared_ptr<HostServices> services, OfficeWatcher::Options options,
                 Mode mode, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_mode(mode)
{
    m_watcher = std::make_unique<OfficeWatcher>(m_services, std::move(options));
    connect(m_watcher.get(), &OfficeWatcher::messageArrived, this, &TrayApp::notify);
    connect(m_watcher.get(), &OfficeWatcher::deliveryStarted, this, &TrayApp::notify);
    connect(m_watcher.get(), &OfficeWatcher::reminderDue, this, &TrayApp::notify);
    connect(m_watcher.get(), &OfficeWatcher::unreadCountChanged, this, &TrayApp::setUnread);
    connect(m_watcher.get(), &OfficeWatcher::connectionLost, this, [this] {
        m_connected = false;
        setUnread(m_unread);
    });
    connect(m_watcher.get(), &OfficeWatcher::connectionRestored, this, [this] {
        m_connected = true;
        setUnread(m_unread);
    });
    m_popup = new NotificationPopup;
    connect(m_popup, &NotificationPopup::clicked, this, &TrayApp::openNotice);
    buildMenu();
}

TrayApp::~TrayApp()
{
    m_watcher->stop();
    delete m_icon;
    delete m_window;
    delete m_popup;
    delete m_menu;
}

void TrayApp::buildMenu()
{
    m_menu = new QMenu;
    m_menu->setObjectName(QStringLiteral("TrayMenu"));
    connect(addCommand(m_menu, QStringLiteral("actInbox"), QStringLiteral("Open Inbox")),
            &QAction::triggered, this, &TrayApp::openInbox);
    connect(addCommand(m_menu, QStringLiteral("actNewMessage"), QStringLiteral("New Message")),
            &QAction::triggered, this, &TrayApp::newMessage);
    connect(addCommand(m_menu, QStringLiteral("actEvents"), QStringLiteral("Office Events")),
            &QAction::triggered, this, &TrayApp::openEvents);
    connect(addCommand(m_menu, QStringLiteral("actHolidays"), QStringLiteral("Holidays")),
            &QAction::triggered, this, &TrayApp::openHolidays);
    m_menu->addSeparator();
    connect(addCommand(m_menu, QStringLiteral("actQuit"), QStringLiteral("Quit")),
            &QAction::triggered, this, &TrayApp::quitRequested);
}

void TrayApp::buildWindow()
{
    // Without a system tray: a small window that stays on top, its menu on a button.
    m_window = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    m_window->setObjectName(QStringLiteral("TrayWindow"));
    m_window->setWindowTitle(kProduct);
    auto* picture = new QLabel(m_window);
    picture->setObjectName(QStringLiteral("lblIcon"));
    m_windowText = new QLabel(m_window);
    m_windowText->setObjectName(QStringLiteral("lblUnread"));
    auto* open = new QToolButton(m_window);
    open->setObjectName(QStringLiteral("cmdInbox"));
    open->setText(QStringLiteral("Inbox"));
    connect(open, &QToolButton::clicked, this, &TrayApp::openInbox);
    auto* more = new QToolButton(m_window);
    more->setObjectName(QStringLiteral("cmdMenu"));
    more->setText(QStringLiteral("Menu"));
    more->setMenu(m_menu);
    more->setPopupMode(QToolButton::InstantPopup);
    auto* layout = new QHBoxLayout(m_window);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(picture);
    layout->addWidget(m_windowText, 1);
    layout->addWidget(open);
    layout->addWidget(more);
}

bool TrayApp::start(QString* error)
{
    const bool icon = m_mode == Mode::Icon ||
                      (m_mode == Mode::Auto && QSystemTrayIcon::isSystemTrayAvailable());
    if (icon) {
        m_icon = new QSystemTrayIcon;
        m_icon->setContextMenu(m_menu);
        connect(m_icon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger ||
                        reason == QSystemTrayIcon::DoubleClick)
                        openInbox();
                });
        connect(m_icon, &QSystemTrayIcon::messageClicked, this,
                [this] { openNotice(m_lastShown); });
    } else {
        buildWindow();
    }
    setUnread(0);
    if (!m_watcher->start(error))
        return false;
    if (m_icon) {
        m_icon->show();
    } else {
        m_window->adjustSize();
        m_window->show();
    }
    return true;
}

QString TrayApp::statusText() const
{
    if (!m_connected)
        return QStringLiteral("%1: the office database does not answer").arg(kProduct);
    if (m_unread == 0)
        return QStringLiteral("%1: no unread messages").arg(kProduct);
    return QStringLiteral("%1: %2 unread").arg(kProduct).arg(m_unread);
}

void TrayApp::setUnread(qint64 count)
{
    m_unread = count;
    const QIcon icon = iconFor(m_connected ? count : -1);
    if (m_icon) {
        m_icon->setIcon(icon);
        m_icon->setToolTip(statusText());
    }
    if (m_window) {
        m_window->setWindowIcon(icon);
        if (auto* picture = m_window->findChild<QLabel*>(QStringLiteral("lblIcon")))
            picture->setPixmap(icon.pixmap(32, 32));
        m_windowText->setText(m_connected ? (count == 0 ? QStringLiteral("No unread messages")
                                                        : QStringLiteral("%1 unread").arg(count))
                                          : QStringLiteral("No connection"));
        m_window->setToolTip(statusText());
    }
}

void TrayApp::notify(const OfficeNotice& notice)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (auto it = m_recent.begin(); it != m_recent.end();)
        it = now - it.value() > 60000 ? m_recent.erase(it) : std::next(it);
    const QString key = QStringLiteral("%1/%2/%3")
                            .arg(notice.cmID)
                            .arg(int(notice.kind))
                            .arg(notice.due.toString(Qt::ISODate));
    if (m_recent.contains(key))
        return;
    m_recent.insert(key, now);

    m_lastShown = notice;
    if (m_icon && QSystemTrayIcon::supportsMessages()) {
        m_icon->showMessage(NotificationPopup::titleOf(notice), NotificationPopup::bodyOf(notice),
                            notice.kind == OfficeNotice::Kind::Reminder
                                ? QSystemTrayIcon::Warning
                                : QSystemTrayIcon::Information,
                            20000);
    } else {
        m_popup->showNotice(notice);
    }
    emit notified(notice);
}

void TrayApp::runWindow(const std::function<void(tzSndMsgCls&)>& open)
{
    if (m_windowOpen) {
        // One window of the component at a time: bring the open one forward.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
        }
        return;
    }
    m_windowOpen = true;
    {
        tzSndMsgCls component;
        component.setGIC(m_services);
        m_open = &component;
        open(component);
        m_open = nullptr;
        component.Message_Stop();
    }
    m_windowOpen = false;
    // What the person did there (read, sent) shows in the count at once.
    m_watcher->lookNow();
    if (m_afterWindow) {
        const OfficeNotice notice = *m_afterWindow;
        m_afterWindow.reset();
        QTimer::singleShot(0, this, [this, notice] { openNotice(notice); });
    }
}

void TrayApp::openInbox()
{
    runWindow([](tzSndMsgCls& messages) {
        messages.setSndMsgHistoryButtonVisible(true);
        messages.setMsgHisOn(true);
        messages.Message_Start();
    });
}

void TrayApp::newMessage()
{
    runWindow([](tzSndMsgCls& messages) {
        messages.setSndMsgHistoryButtonVisible(true);
        messages.setMsgHisOn(false);
        messages.Message_Start();
    });
}

void TrayApp::openEvents()
{
    runWindow([](tzSndMsgCls& component) {
        component.setLinkID(0);
        component.Event_Start();
    });
}

void TrayApp::openHolidays()
{
    runWindow([](tzSndMsgCls& component) { component.Holiday_Start(); });
}

void TrayApp::openNotice(const OfficeNotice& notice)
{
    if (m_windowOpen && notice.BroChkID != 0) {
        if (m_open && m_open->Message_ShowInOpenWindow(notice.BroChkID))
            return;
        // The events or holidays window: the message opens once it is closed.
        m_afterWindow = notice;
    }
    if (notice.BroChkID == 0) {
        openInbox();
        return;
    }
    const qint32 row = notice.BroChkID;
    runWindow([row](tzSndMsgCls& messages) { messages.Message_ShowReceived(row); });
}

QIcon TrayApp::iconFor(qint64 unread)
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // An envelope; grey while the office's database does not answer.
    const QColor body = unread < 0 ? QColor(0x9a, 0xa1, 0xab) : QColor(0x2f, 0x6f, 0xb8);
    const QRectF envelope(4, 14, 50, 36);
    p.setPen(QPen(body.darker(130), 2));
    p.setBrush(body);
    p.drawRoundedRect(envelope, 4, 4);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath flap;
    flap.moveTo(envelope.left() + 4, envelope.top() + 5);
    flap.lineTo(envelope.center().x(), envelope.top() + 22);
    flap.lineTo(envelope.right() - 4, envelope.top() + 5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
    if (unread > 0) {
        const QString count = unread > 99 ? QStringLiteral("99+") : QString::number(unread);
        const QRectF badge(32, 2, 30, 30);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd6, 0x2f, 0x2f));
        p.drawEllipse(badge);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(count.size() > 2 ? 12 : 17);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(badge, Qt::AlignCenter, count);
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace tzsndmsg::app
