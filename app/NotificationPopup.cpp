#include "NotificationPopup.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

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
    QPalette muted = m_footer->palette();
    muted.setColor(QPalette::WindowText, QColor(0x55, 0x5f, 0x6d));
    m_footer->setPalette(muted);

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
    m_confirm = action("cmdConfirm", QStringLiteral("&Confirm"),
                       QStringLiteral("Confirm reading the message"),
                       &NotificationPopup::confirmRequested);
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
    const QString who = sender.isEmpty() ? QStringLiteral("the office") : sender;
    switch (n.kind) {
    case OfficeNotice::Kind::Arrived: return QStringLiteral("New message from %1").arg(who);
    case OfficeNotice::Kind::Started: return QStringLiteral("Message from %1").arg(who);
    case OfficeNotice::Kind::Repeated: return QStringLiteral("Again: message from %1").arg(who);
    case OfficeNotice::Kind::Reminder: return QStringLiteral("Reminder: message from %1").arg(who);
    case OfficeNotice::Kind::Snoozed: return QStringLiteral("Snoozed: message from %1").arg(who);
    }
    return who;
}

QString NotificationPopup::bodyOf(const OfficeNotice& n, int textLength)
{
    QString text = n.text.simplified();
    if (text.size() > textLength)
        text = text.left(textLength - 1).trimmed() + QStringLiteral("\u2026");
    const QString subject = n.subject.trimmed().isEmpty() ? QStringLiteral("(no subject)") : n.subject;
    return text.isEmpty() ? subject : subject + u'\n' + text;
}

void NotificationPopup::showNotice(const OfficeNotice& n)
{
    m_more = isVisible() ? m_more + 1 : 0;
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
    m_footer->setText(footer);
    const bool message = n.BroChkID != 0;
    m_confirm->setVisible(message && !n.needsWindow);
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
    case Qt::Key_Enter: act(&NotificationPopup::clicked); return;
    case Qt::Key_C: act(&NotificationPopup::confirmRequested); return;
    case Qt::Key_S: act(&NotificationPopup::snoozeRequested); return;
    case Qt::Key_Escape: hide(); return;
    default: QWidget::keyPressEvent(event);
    }
}

void NotificationPopup::showSummary(const QString& title, const QString& text,
                                    const QString& footer)
{
    m_more = 0;
    m_notice = OfficeNotice{};
    m_title->setText(title);
    const qsizetype line = text.indexOf(u'\n');
    m_subject->setText(text.left(line));
    m_text->setText(line < 0 ? QString() : text.mid(line + 1));
    m_text->setVisible(line >= 0);
    m_footer->setText(footer);
    // A summary opens the inbox; its messages are confirmed or snoozed each on its own.
    m_confirm->setVisible(false);
    m_snooze->setVisible(false);
    adjustSize();
    place();
    show();
    raise();
    if (m_timer->interval() > 0)
        m_timer->start();
}

void NotificationPopup::place()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.right() - width() - 16, area.bottom() - height() - 16);
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
    p.fillRect(rect(), QColor(0xfb, 0xfc, 0xfe));
    p.setPen(QColor(0xb8, 0xc4, 0xd6));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    // A stripe in the notice's colour: reminders stand out from arrivals.
    const bool standsOut = m_notice.kind == OfficeNotice::Kind::Reminder ||
                           m_notice.kind == OfficeNotice::Kind::Snoozed;
    const QColor stripe = standsOut ? QColor(0xe0, 0x8a, 0x1e) : QColor(0x2f, 0x6f, 0xb8);
    p.fillRect(QRect(0, 0, 5, height()), stripe);
}

} // namespace tzsndmsg::app
