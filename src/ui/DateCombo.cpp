#include "DateCombo.h"

#include "common/VbFormat.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace tzsndmsg::ui {

DateCombo::DateCombo(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this)),
      m_popup(new QFrame(this, Qt::Popup))
{
    m_edit->setObjectName(QStringLiteral("dateEdit"));
    m_button->setObjectName(QStringLiteral("dropDown"));
    m_button->setArrowType(Qt::DownArrow);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_popup->setObjectName(QStringLiteral("calendarPopup"));
    m_popup->setFrameShape(QFrame::StyledPanel);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    auto* popupLayout = new QVBoxLayout(m_popup);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    setFocusProxy(m_edit);
    m_edit->installEventFilter(this);
    m_button->setToolTip(QStringLiteral("Calendar (Alt+Down or F4)"));

    connect(m_edit, &QLineEdit::textChanged, this, &DateCombo::changed);
    connect(m_button, &QToolButton::clicked, this, &DateCombo::showPopup);
}

QCalendarWidget* DateCombo::calendar() const
{
    if (m_calendar)
        return m_calendar;
    auto* self = const_cast<DateCombo*>(this);
    m_calendar = new QCalendarWidget(m_popup);
    m_calendar->setObjectName(QStringLiteral("calendar"));
    m_calendar->setGridVisible(true);
    if (m_rangeSet) {
        m_calendar->setMinimumDate(m_minimum.isValid() ? m_minimum : QDate(100, 1, 1));
        m_calendar->setMaximumDate(m_maximum.isValid() ? m_maximum : QDate(9999, 12, 31));
    }
    m_calendar->setAccessibleName(m_button->accessibleName());
    m_popup->layout()->addWidget(m_calendar);
    connect(m_calendar, &QCalendarWidget::clicked, self, &DateCombo::pickDate);
    connect(m_calendar, &QCalendarWidget::activated, self, &DateCombo::pickDate);
    return m_calendar;
}

QString DateCombo::text() const
{
    return m_edit->text();
}

void DateCombo::setText(const QString& text)
{
    m_edit->setText(text);
}

std::optional<common::AutoDate> DateCombo::date() const
{
    return common::vb::parseDate(text());
}

bool DateCombo::isValidDate() const
{
    const auto d = date();
    if (!d)
        return false;
    const QDate day = d->date();
    // A time of day alone reads as the zero date: no one means 12/30/1899 by "9:30 am".
    if (day == QDate(1899, 12, 30))
        return false;
    if (m_minimum.isValid() && day < m_minimum)
        return false;
    if (m_maximum.isValid() && day > m_maximum)
        return false;
    return true;
}

void DateCombo::setDate(const QDate& date)
{
    setText(date.isValid() ? common::vb::format(date, m_format) : QString());
}

void DateCombo::setDisplayFormat(const QString& pattern)
{
    m_format = pattern;
}

void DateCombo::setRange(const QDate& minimum, const QDate& maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    m_rangeSet = true;
    if (m_calendar) {
        m_calendar->setMinimumDate(minimum.isValid() ? minimum : QDate(100, 1, 1));
        m_calendar->setMaximumDate(maximum.isValid() ? maximum : QDate(9999, 12, 31));
    }
}

void DateCombo::setReadOnly(bool readOnly)
{
    m_edit->setReadOnly(readOnly);
    m_button->setEnabled(!readOnly);
}

bool DateCombo::isReadOnly() const
{
    return m_edit->isReadOnly();
}

bool DateCombo::isPopupVisible() const
{
    return m_popup->isVisible();
}

void DateCombo::showPopup()
{
    if (isReadOnly())
        return;
    // The calendar opens on the date the text names, else today.
    const auto current = date();
    QDate shown = current ? current->date() : QDate::currentDate();
    if (current && current->datePart().isZero())
        shown = QDate::currentDate();
    calendar()->setSelectedDate(shown);
    m_calendar->setCurrentPage(shown.year(), shown.month());

    m_popup->adjustSize();
    QPoint pos = mapToGlobal(QPoint(0, height()));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize size = m_popup->sizeHint();
        if (pos.y() + size.height() > area.bottom())
            pos.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        pos.setX(
            std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    }
    m_popup->move(pos);
    m_popup->show();
    m_calendar->setFocus();
}

void DateCombo::hidePopup()
{
    m_popup->hide();
}

bool DateCombo::event(QEvent* event)
{
    // Names are taken when shown: the label and the field's own name are set after it is made.
    if (event->type() == QEvent::Show || event->type() == QEvent::ParentChange)
        nameParts();
    return QWidget::event(event);
}

bool DateCombo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Down && mods == Qt::AltModifier) ||
            (key->key() == Qt::Key_F4 && mods == Qt::NoModifier)) {
            showPopup();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DateCombo::nameParts()
{
    QString name = accessibleName();
    if (name.isEmpty()) {
        for (const QLabel* label : window()->findChildren<QLabel*>()) {
            if (label->buddy() == this || label->buddy() == m_edit) {
                name = label->text().remove(QLatin1Char('&')).trimmed();
                while (name.endsWith(QLatin1Char(':')))
                    name.chop(1);
                name = name.trimmed();
                break;
            }
        }
    }
    if (name.isEmpty())
        name = QStringLiteral("Date");
    m_edit->setAccessibleName(name);
    m_button->setAccessibleName(name + QStringLiteral(" calendar"));
    if (m_calendar)
        m_calendar->setAccessibleName(name + QStringLiteral(" calendar"));
}

void DateCombo::pickDate(const QDate& date)
{
    hidePopup();
    m_edit->setFocus(Qt::PopupFocusReason);
    setDate(date);
    emit dateSelected(date);
}

} // namespace tzsndmsg::ui
