#include "TrayApp.h"

#include "NoticeJson.h"
#include "NotificationPopup.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/tzSndMsgCls.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace tzsndmsg::app {

namespace {

const QString kProduct = QStringLiteral("Office Messages");

QAction* addCommand(QMenu* menu, const QString& name, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    return action;
}

// Sound files go to the desktop's sound server, without waiting for it; the bell without one.
void playSound(const QString& sound)
{
    if (sound != QLatin1String("beep")) {
        for (const char* player : {"pw-play", "paplay", "aplay"}) {
            const QString program = QStandardPaths::findExecutable(QLatin1String(player));
            if (!program.isEmpty() && QProcess::startDetached(program, {sound}))
                return;
        }
    }
    QApplication::beep();
}

bool isArrival(const OfficeNotice& n)
{
    return n.kind != OfficeNotice::Kind::Reminder;
}

QString senderOf(const OfficeNotice& n)
{
    return n.senderName.isEmpty() ? n.sender : n.senderName;
}

QString subjectOf(const OfficeNotice& n)
{
    return n.subject.trimmed().isEmpty() ? QStringLiteral("(no subject)") : n.subject.simplified();
}

// "40 new messages", "2 reminders", "5 messages and reminders".
QString summaryTitle(const QList<OfficeNotice>& notices)
{
    const auto arrivals = std::count_if(notices.begin(), notices.end(), isArrival);
    const qsizetype n = notices.size();
    if (arrivals == n)
        return QStringLiteral("%1 new messages").arg(n);
    if (arrivals == 0)
        return QStringLiteral("%1 reminders").arg(n);
    return QStringLiteral("%1 messages and reminders").arg(n);
}

} // namespace

TrayApp::TrayApp(std::shared_ptr<HostServices> services, OfficeWatcher::Options options, Mode mode,
                 QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_mode(mode)
{
    m_watcher = std::make_unique<OfficeWatcher>(m_services, std::move(options));
    connect(m_watcher.get(), &OfficeWatcher::messageArrived, this, &TrayApp::notify);
    connect(m_watcher.get(), &OfficeWatcher::deliveryStarted, this, &TrayApp::notify);
    connect(m_watcher.get(), &OfficeWatcher::reminderDue, this, &TrayApp::notify);
    connect(m_watcher.get(), &OfficeWatcher::snoozeDue, this, &TrayApp::notify);
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
    connect(m_popup, &NotificationPopup::confirmRequested, this, &TrayApp::confirmNotice);
    connect(m_popup, &NotificationPopup::snoozeRequested, this, &TrayApp::snoozeNotice);
    m_gather = new QTimer(this);
    m_gather->setSingleShot(true);
    m_gather->setInterval(kGatherMs);
    connect(m_gather, &QTimer::timeout, this, &TrayApp::showGathered);
    // Quiet hours begin and end on the services' clock, looked at now and then.
    m_clock = new QTimer(this);
    m_clock->setInterval(30000);
    connect(m_clock, &QTimer::timeout, this, &TrayApp::clockChanged);
    m_trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    m_trayPoll = new QTimer(this);
    m_trayPoll->setInterval(2000);
    connect(m_trayPoll, &QTimer::timeout, this, &TrayApp::pollTray);
    m_player = playSound;
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
    m_recentMenu = m_menu->addMenu(QStringLiteral("Recent"));
    m_recentMenu->setObjectName(QStringLiteral("menuRecent"));
    m_recentMenu->menuAction()->setObjectName(QStringLiteral("actRecent"));
    // Yesterday's entries go when the menu is opened the next day.
    connect(m_recentMenu, &QMenu::aboutToShow, this, &TrayApp::fillRecentMenu);
    fillRecentMenu();
    connect(addCommand(m_menu, QStringLiteral("actEvents"), QStringLiteral("Office Events")),
            &QAction::triggered, this, &TrayApp::openEvents);
    connect(addCommand(m_menu, QStringLiteral("actHolidays"), QStringLiteral("Holidays")),
            &QAction::triggered, this, &TrayApp::openHolidays);
    m_menu->addSeparator();
    m_dnd = addCommand(m_menu, QStringLiteral("actDoNotDisturb"), QStringLiteral("Do Not Disturb"));
    m_dnd->setCheckable(true);
    connect(m_dnd, &QAction::toggled, this, [this] {
        clockChanged();
        setUnread(m_unread);
    });
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

void TrayApp::createIcon()
{
    m_icon = new QSystemTrayIcon;
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    openInbox();
            });
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, [this] { openNotice(m_lastShown); });
}

void TrayApp::showWindow()
{
    if (!m_window)
        buildWindow();
    setUnread(m_unread);
    m_window->adjustSize();
    m_window->show();
}

void TrayApp::setTrayAvailability(std::function<bool()> available, int pollMs)
{
    m_trayAvailable = std::move(available);
    m_trayPoll->setInterval(pollMs);
}

bool TrayApp::start(QString* error)
{
    m_started.start();
    const bool icon = m_mode == Mode::Icon || (m_mode == Mode::Auto && m_trayAvailable());
    if (icon)
        createIcon();
    setUnread(0);
    if (!m_watcher->start(error))
        return false;
    loadHeld();
    m_clock->start();
    if (m_icon)
        m_icon->show();
    else if (m_mode == Mode::Window || m_graceMs <= 0)
        showWindow();
    // A desktop whose panel comes up after the tray: the window turns into the icon then.
    if (!m_icon && m_mode == Mode::Auto)
        m_trayPoll->start();
    return true;
}

void TrayApp::pollTray()
{
    if (m_icon) {
        m_trayPoll->stop();
        return;
    }
    if (!m_trayAvailable()) {
        if (!m_window && m_started.elapsed() >= m_graceMs)
            showWindow();
        return;
    }
    // Not while the window's menu or a window opened from it is in use: its buttons are on
    // the stack then. The next look switches.
    if (m_windowOpen || QApplication::activePopupWidget())
        return;
    m_trayPoll->stop();
    createIcon();
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
        m_window = nullptr;
        m_windowText = nullptr;
    }
    setUnread(m_unread);
    m_icon->show();
}

QString TrayApp::statusText() const
{
    if (!m_connected)
        return QStringLiteral("%1: the office database does not answer").arg(kProduct);
    const QString quiet = isQuiet() ? QStringLiteral(" (do not disturb)") : QString();
    if (m_unread == 0)
        return QStringLiteral("%1: no unread messages%2").arg(kProduct, quiet);
    return QStringLiteral("%1: %2 unread%3").arg(kProduct).arg(m_unread).arg(quiet);
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
    for (auto it = m_toldKeys.begin(); it != m_toldKeys.end();)
        it = now - it.value() > 60000 ? m_toldKeys.erase(it) : std::next(it);
    const QString key = QStringLiteral("%1/%2/%3")
                            .arg(notice.cmID)
                            .arg(int(notice.kind))
                            .arg(notice.due.toString(Qt::ISODate));
    if (m_toldKeys.contains(key))
        return;
    m_toldKeys.insert(key, now);

    addRecent(notice);
    if (isQuiet()) {
        m_held << notice;
        saveHeld();
        return;
    }
    m_gathered << notice;
    if (!m_gather->isActive())
        m_gather->start();
}

void TrayApp::showGathered()
{
    const QList<OfficeNotice> notices = std::exchange(m_gathered, {});
    if (notices.isEmpty())
        return;
    if (isQuiet()) {
        m_held << notices;
        saveHeld();
        return;
    }
    present(notices, false);
}

void TrayApp::present(const QList<OfficeNotice>& notices, bool afterQuiet)
{
    if (notices.size() == 1) {
        showOne(notices.first());
    } else {
        // Newest first, as in Recent: who wrote what, the rest counted.
        const QString title = summaryTitle(notices);
        QStringList lines;
        if (afterQuiet)
            lines << QStringLiteral("While notices were off:");
        qsizetype listed = 0;
        for (qsizetype i = notices.size() - 1; i >= 0 && listed < 3; --i, ++listed)
            lines << senderOf(notices[i]) + QStringLiteral(": ") + subjectOf(notices[i]);
        if (notices.size() > listed)
            lines << QStringLiteral("and %1 more").arg(notices.size() - listed);
        const QString body = lines.join(u'\n');
        // A message among them that needs confirmation is not to be missed: the summary stays,
        // in the tray's own notice (a desktop notification cannot be made to stay).
        const bool stays = std::any_of(notices.begin(), notices.end(),
                                       [](const OfficeNotice& n) { return n.needsConfirmation; });
        if (m_icon && QSystemTrayIcon::supportsMessages() && !stays) {
            m_lastShown = OfficeNotice{}; // a click on the desktop's notification opens the inbox
            m_icon->showMessage(title, body, QSystemTrayIcon::Information, 20000);
        } else
            m_popup->showSummary(
                title, body,
                QStringLiteral("All of them under Recent  \u2022  click to open the inbox"), stays);
        emit summarized(title, int(notices.size()));
    }
    ring();
}

void TrayApp::showOne(const OfficeNotice& notice)
{
    // The desktop's notification goes by itself: one that needs confirmation is the tray's own.
    if (m_icon && QSystemTrayIcon::supportsMessages() && !notice.needsConfirmation) {
        // What a click on the desktop's notification opens: only its own message.
        m_lastShown = notice;
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

void TrayApp::ring()
{
    if (!m_sound.isEmpty() && m_player)
        m_player(m_sound);
}

void TrayApp::setSound(const QString& sound)
{
    m_sound = sound;
}

void TrayApp::setSoundPlayer(std::function<void(const QString&)> player)
{
    m_player = std::move(player);
}

void TrayApp::setQuietHours(std::optional<tzglob::WorkstationConfig::QuietHours> hours)
{
    m_quietHours = hours;
    clockChanged();
}

void TrayApp::setDoNotDisturb(bool on)
{
    m_dnd->setChecked(on);
}

bool TrayApp::doNotDisturb() const
{
    return m_dnd->isChecked();
}

bool TrayApp::isQuiet() const
{
    return m_dnd->isChecked() ||
           (m_quietHours && m_quietHours->contains(m_services->currentTime()));
}

void TrayApp::clockChanged()
{
    if (isQuiet() || m_held.isEmpty())
        return;
    present(std::exchange(m_held, {}), true);
    saveHeld();
}

QString TrayApp::heldFile() const
{
    const QString state = m_watcher->stateFile();
    return state.isEmpty() ? QString() : state + QStringLiteral(".held");
}

void TrayApp::saveHeld()
{
    const QString path = heldFile();
    if (path.isEmpty())
        return;
    if (m_held.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QJsonArray held;
    for (const OfficeNotice& n : std::as_const(m_held))
        held.append(noticeJson(n));
    // Whole or not at all: a file cut short would lose what it held.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(held).toJson(QJsonDocument::Compact));
    if (!file.commit())
        std::fprintf(stderr, "tray: cannot keep the notices held back in %s\n", qPrintable(path));
}

void TrayApp::loadHeld()
{
    // What quiet time held back when the tray last ended: the watcher has told it already.
    QFile file(heldFile());
    if (heldFile().isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const QJsonArray held = QJsonDocument::fromJson(file.readAll()).array();
    for (const auto& v : held)
        if (const OfficeNotice n = noticeFromJson(v.toObject()); n.cmID != 0)
            m_held << n;
    file.close();
    clockChanged();
}

QList<OfficeNotice> TrayApp::recent() const
{
    const QDate today = m_services->currentDate();
    QList<OfficeNotice> out;
    for (const OfficeNotice& n : m_recent)
        if (n.told.date() == today)
            out << n;
    return out;
}

void TrayApp::addRecent(const OfficeNotice& notice)
{
    m_recent.prepend(notice);
    if (!notice.told.isValid())
        m_recent.first().told = m_services->currentDateTime();
    m_recent = recent();
    if (m_recent.size() > kRecentCap)
        m_recent.resize(kRecentCap);
    fillRecentMenu();
}

void TrayApp::fillRecentMenu()
{
    m_recentMenu->clear();
    m_recent = recent();
    if (m_recent.isEmpty()) {
        m_recentMenu->addAction(QStringLiteral("No notices today"))->setEnabled(false);
        return;
    }
    for (const OfficeNotice& n : std::as_const(m_recent)) {
        QString text = n.told.toString(QStringLiteral("h:mm ap")) + QStringLiteral("   ");
        if (n.kind == OfficeNotice::Kind::Reminder)
            text += QStringLiteral("Reminder: ");
        text += senderOf(n) + QStringLiteral(": ") + subjectOf(n);
        if (text.size() > 70)
            text = text.left(69) + QStringLiteral("\u2026");
        text.replace(u'&', QStringLiteral("&&"));
        QAction* entry = m_recentMenu->addAction(text);
        entry->setObjectName(QStringLiteral("actRecentEntry"));
        // Opened once the menu is done with the entry: the list may be rebuilt meanwhile.
        connect(entry, &QAction::triggered, this,
                [this, n] { QTimer::singleShot(0, this, [this, n] { openNotice(n); }); });
    }
}

int TrayApp::reportFailure(const QString& reason, int code, int boundMs)
{
    NotificationPopup notice;
    notice.setTimeout(boundMs);
    notice.showSummary(QStringLiteral("%1 could not start").arg(kProduct), reason,
                       QStringLiteral("Tell whoever looks after the office's computers"));
    // Ends when it is closed, clicked or its time is up; nothing waits for an answer.
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&notice, &NotificationPopup::clicked, &loop, &QEventLoop::quit);
    if (auto* close = notice.findChild<QToolButton*>(QStringLiteral("cmdClose")))
        connect(close, &QToolButton::clicked, &loop, &QEventLoop::quit);
    connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    bound.start(boundMs);
    loop.exec();
    return code;
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

bool TrayApp::confirmNotice(const OfficeNotice& notice)
{
    // Every row it was told through: the person's and her computer's.
    QList<qint32> rows = notice.rows;
    if (rows.isEmpty() && notice.BroChkID != 0)
        rows << notice.BroChkID;
    QString problem;
    bool confirmed = false;
    for (qint32 row : std::as_const(rows)) {
        QString error;
        if (confirmReceivedMessage(*m_services, row, &error))
            confirmed = true;
        else if (problem.isEmpty())
            problem = error;
    }
    if (!confirmed)
        m_popup->showProblem(QStringLiteral("Not confirmed: %1").arg(problem));
    m_watcher->lookNow();
    return confirmed;
}

bool TrayApp::snoozeNotice(const OfficeNotice& notice)
{
    QString error;
    if (!snoozeReceivedMessage(*m_services, notice.BroChkID, DefaultSnoozeMinutes, &error)) {
        m_popup->showProblem(QStringLiteral("Not snoozed: %1").arg(error));
        return false;
    }
    return true;
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
