#include "NotificationPopup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace tzsndmsg::app {

NotificationPopup::NotificationPopup(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("NotificationPopup"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::PointingHandCursor);
    setFixedWidth(360);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblTitle"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("cmdClose"));
    m_close->setText(QStringLiteral("\u00d7"));
    m_close->setToolTip(QStringLiteral("Close"));
    m_close->setAutoRaise(true);
    connect(m_close, &QToolButton::clicked, this, &QWidget::hide);
    m_subject = new QLabel(this);
    m_subject->setObjectName(QStringLiteral("lblSubject"));
    m_subject->setWordWrap(true);
    QFont subject = m_subject->font();
    subject.setPointSizeF(subject.pointSizeF() * 1.15);
    m_subject->setFont(subject);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lblText"));
    m_text->setWordWrap(true);
    m_footer = new QLabel(this);
    m_footer->setObjectName(QStringLiteral("lblFooter"));
    m_footer->setForegroundRole(QPalette::PlaceholderText); // muted, in the desktop's colours

    // Shown without taking the focus; once it has it (the desktop's window switching), its
    // actions answer their keys.
    setFocusPolicy(Qt::StrongFocus);
    auto action = [this](const char* name, const QString& text, const QString& accessible,
                         void (NotificationPopup::*signal)(const tzsndmsg::OfficeNotice&)) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(accessible);
        button->setCursor(Qt::ArrowCursor);
        connect(button, &QPushButton::clicked, this, [this, signal] { act(signal); });
        return button;
    };
    m_open = action("cmdOpen", QStringLiteral("&Open"), QStringLiteral("Open the message"),
                    &NotificationPopup::clicked);
    m_confirm =
        action("cmdConfirm", QStringLiteral("&Confirm"),
               QStringLiteral("Confirm reading the message"), &NotificationPopup::confirmRequested);
    m_snooze = action("cmdSnooze", QStringLiteral("&Snooze"),
                      QStringLiteral("Display this message 15 minutes later"),
                      &NotificationPopup::snoozeRequested);
    m_close->setAccessibleName(QStringLiteral("Close the notice"));
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    actions->addWidget(m_open);
    actions->addWidget(m_confirm);
    actions->addWidget(m_snooze);

    auto* top = new QHBoxLayout;
    top->addWidget(m_title, 1);
    top->addWidget(m_close, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 10, 10, 12);
    layout->addLayout(top);
    layout->addWidget(m_subject);
    layout->addWidget(m_text);
    layout->addWidget(m_footer);
    layout->addLayout(actions);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(20000);
    connect(m_timer, &QTimer::timeout, this, &QWidget::hide);
}

void NotificationPopup::setTimeout(int ms)
{
    m_timer->setInterval(ms);
}

QString NotificationPopup::titleOf(const OfficeNotice& n)
{
    const QString sender = n.senderName.isEmpty() ? n.sender : n.senderName;
    QString who = sender.isEmpty() ? QStringLiteral("the office") : sender;
    switch (n.kind) {
    case OfficeNotice::Kind::Arrived:
        return QStringLiteral("New message from %1").arg(who);
    case OfficeNotice::Kind::Started:
        return QStringLiteral("Message from %1").arg(who);
    case OfficeNotice::Kind::Repeated:
        return QStringLiteral("Again: message from %1").arg(who);
    case OfficeNotice::Kind::Reminder:
        return QStringLiteral("Reminder: message from %1").arg(who);
    case OfficeNotice::Kind::Snoozed:
        return QStringLiteral("Snoozed: message from %1").arg(who);
    }
    return who;
}

QString NotificationPopup::bodyOf(const OfficeNotice& n, int textLength)
{
    QString text = n.text.simplified();
    if (text.size() > textLength)
        text = text.left(textLength - 1).trimmed() + QStringLiteral("\u2026");
    const QString subject =
        n.subject.trimmed().isEmpty() ? QStringLiteral("(no subject)") : n.subject;
    return text.isEmpty() ? subject : subject + u'\n' + text;
}

void NotificationPopup::showNotice(const OfficeNotice& n)
{
    if (holdsNotice()) {
        m_waiting << [this, n] { showNotice(n); };
        showWaiting();
        return;
    }
    m_more = isVisible() ? m_more + 1 : 0;
    m_stays = n.needsConfirmation;
    m_notice = n;
    m_title->setText(titleOf(n));
    m_subject->setText(n.subject.trimmed().isEmpty() ? QStringLiteral("(no subject)") : n.subject);
    const QString body = bodyOf(n);
    const qsizetype line = body.indexOf(u'\n');
    m_text->setText(line < 0 ? QString() : body.mid(line + 1));
    m_text->setVisible(line >= 0);
    QString footer = n.due.isValid() ? n.due.toString(QStringLiteral("h:mm ap, MMM d")) : QString();
    if (n.missed > 0)
        footer += QStringLiteral(" (%1 earlier repeat(s) missed)").arg(n.missed);
    if (m_more > 0)
        footer += QStringLiteral("  \u2022  %1 more").arg(m_more);
    if (n.needsConfirmation)
        footer += QStringLiteral("  \u2022  needs confirmation");
    footer += QStringLiteral("  \u2022  click to open");
    m_footerBase = footer;
    m_footer->setText(footer);
    if (!m_waiting.isEmpty())
        showWaiting();
    const bool message = n.BroChkID != 0;
    // A sender who asked that the whole message be confirmed as read: confirmed here only when
    // the notice shows all of it.
    const bool cut = n.text.simplified().size() > kNoticeText;
    m_confirm->setVisible(message && !n.needsWindow && !(n.needsConfirmation && cut));
    m_snooze->setVisible(message);
    adjustSize();
    place();
    show();
    raise();
    // A message that needs confirmation is not missed: it stays until acted on.
    if (m_timer->interval() > 0 && !n.needsConfirmation)
        m_timer->start();
    else
        m_timer->stop();
}

void NotificationPopup::showProblem(const QString& text)
{
    m_timer->stop();
    m_footer->setText(text);
    adjustSize();
    place();
    show();
}

void NotificationPopup::act(void (NotificationPopup::*signal)(const tzsndmsg::OfficeNotice&))
{
    if ((signal == &NotificationPopup::confirmRequested && !m_confirm->isVisibleTo(this)) ||
        (signal == &NotificationPopup::snoozeRequested && !m_snooze->isVisibleTo(this)))
        return;
    hide();
    emit(this->*signal)(m_notice);
}

void NotificationPopup::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_O:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        act(&NotificationPopup::clicked);
        return;
    case Qt::Key_C:
        act(&NotificationPopup::confirmRequested);
        return;
    case Qt::Key_S:
        act(&NotificationPopup::snoozeRequested);
        return;
    case Qt::Key_Escape:
        hide();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void NotificationPopup::showSummary(const QString& title, const QString& text,
                                    const QString& footer, bool stays)
{
    if (holdsNotice()) {
        m_waiting <<
            [this, title, text, footer, stays] { showSummary(title, text, footer, stays); };
        showWaiting();
        return;
    }
    m_stays = stays;
    m_more = 0;
    m_notice = OfficeNotice{};
    m_title->setText(title);
    const qsizetype line = text.indexOf(u'\n');
    m_subject->setText(text.left(line));
    m_text->setText(line < 0 ? QString() : text.mid(line + 1));
    m_text->setVisible(line >= 0);
    m_footerBase = footer;
    m_footer->setText(footer);
    if (!m_waiting.isEmpty())
        showWaiting();
    // A summary opens the inbox; its messages are confirmed or snoozed each on its own.
    m_confirm->setVisible(false);
    m_snooze->setVisible(false);
    adjustSize();
    place();
    show();
    attachToModal();
    raise();
    if (m_timer->interval() > 0 && !stays)
        m_timer->start();
    else
        m_timer->stop();
}

void NotificationPopup::place()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect home(area.right() - width() - 16, area.bottom() - height() - 16, width(), height());
    if (!m_over || !m_over->isVisible()) {
        move(home.topLeft());
        return;
    }
    // With a window of the component open the notice goes where it covers none of it: a
    // corner of the screen's available area, or beside the window. A window that fills the
    // screen keeps its buttons, boxes and toolbars clear; the lower right corner is preferred.
    const QRect frame = m_over->frameGeometry();
    QList<QRect> controls;
    const auto widgets = m_over->findChildren<QWidget*>();
    for (const QWidget* w : widgets) {
        if (!w->isVisible() || w->window() != m_over ||
            !(qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QToolBar*>(w) ||
              qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
              qobject_cast<const QTabBar*>(w)))
            continue;
        controls << QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
    }
    QList<QPoint> candidates{home.topLeft(),
                             {home.left(), area.top() + 16},
                             {area.left() + 16, home.top()},
                             {area.left() + 16, area.top() + 16},
                             {frame.right() + 8, frame.bottom() - height()},
                             {frame.left() - width() - 8, frame.bottom() - height()},
                             {home.left(), frame.bottom() + 8},
                             {home.left(), frame.top() - height() - 8}};
    for (int y = area.top() + 16; y + height() <= area.bottom() - 16; y += 16)
        candidates << QPoint(home.left(), y) << QPoint(area.left() + 16, y);
    auto overlap = [](const QRect& a, const QRect& b) {
        const QRect both = a.intersected(b);
        return both.isEmpty() ? 0LL : qint64(both.width()) * both.height();
    };
    QPoint best = home.topLeft();
    qint64 bestCost = -1;
    for (QPoint at : std::as_const(candidates)) {
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
        const QRect r(at, size());
        qint64 onControls = 0;
        for (const QRect& c : std::as_const(controls))
            onControls += overlap(r, c);
        // Covering a control costs more than covering the rest of the window.
        const qint64 cost = onControls * 64 + overlap(r, frame);
        if (bestCost < 0 || cost < bestCost) {
            bestCost = cost;
            best = at;
        }
    }
    move(best);
}

void NotificationPopup::attachToModal()
{
    // A modal window blocks every other window but its own children: the notice is made one of
    // the topmost modal window's, so that it can still be clicked and closed.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == this || (modal && modal->window() == this))
        modal = nullptr;
    if (m_over != modal) {
        if (m_over)
            m_over->removeEventFilter(this);
        m_over = modal;
        if (m_over)
            m_over->installEventFilter(this);
    }
    if (QWindow* handle = windowHandle())
        handle->setTransientParent(modal ? modal->window()->windowHandle() : nullptr);
    if (isVisible())
        place();
}

void NotificationPopup::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // After the action the notice was closed for.
    if (!m_waiting.isEmpty())
        QMetaObject::invokeMethod(this, &NotificationPopup::showNext, Qt::QueuedConnection);
}

void NotificationPopup::showWaiting()
{
    m_footer->setText(m_footerBase +
                      QStringLiteral("  \u2022  %1 more waiting").arg(m_waiting.size()));
    adjustSize();
    place();
}

void NotificationPopup::showNext()
{
    if (isVisible() || m_waiting.isEmpty())
        return;
    m_stays = false;
    m_waiting.takeFirst()();
}

bool NotificationPopup::event(QEvent* event)
{
    // A window of the component opened (or a box of it over that) while the notice shows.
    if (event->type() == QEvent::WindowBlocked)
        QMetaObject::invokeMethod(this, &NotificationPopup::attachToModal, Qt::QueuedConnection);
    return QWidget::event(event);
}

bool NotificationPopup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_over && isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::Show))
        place();
    return QWidget::eventFilter(watched, event);
}

void NotificationPopup::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    hide();
    emit clicked(m_notice);
}

void NotificationPopup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The desktop's colours, so that its text stays readable on a dark desktop too.
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    // A stripe in the notice's colour: reminders stand out from arrivals.
    const bool standsOut = m_notice.kind == OfficeNotice::Kind::Reminder ||
                           m_notice.kind == OfficeNotice::Kind::Snoozed;
    const QColor stripe = standsOut ? QColor(0xe0, 0x8a, 0x1e) : QColor(0x2f, 0x6f, 0xb8);
    p.fillRect(QRect(0, 0, 5, height()), stripe);
}

} // namespace tzsndmsg::app
