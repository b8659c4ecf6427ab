#include "EMS_EventsFrm.h"
#include "common/VbFormat.h"
#include "state/SharedState.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/DateCombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <algorithm>

namespace tzsndmsg {

namespace vb = common::vb;

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

void EMS_EventsFrm::FillTimeLists()
{
    const int step = SharedState::current().ClockInterval;
    m_step = step > 0 && step <= 1440 ? step : 15;
    const int count = 1440 / m_step + 1;
    for (QComboBox* list : m_cmbFroTim) {
        const QSignalBlocker block(list);
        list->clear();
        common::AutoDate t = common::AutoDate::zero();
        for (int i = 0; i < count; ++i) {
            list->addItem(vb::format(t.timePart(), QStringLiteral("hh:nn ampm")));
            t = t.addMinutes(m_step);
        }
        list->setCurrentIndex(-1);
    }
}

qint16 EMS_EventsFrm::TimeListIndex(const common::AutoDate& t) const
{
    const auto back = vb::parseDate(vb::format(t.timePart(), QStringLiteral("hh:nn ampm")));
    const int minutes = back ? std::abs(back->minutesOfDay()) : 0;
    return qint16((minutes + m_step - 1) / m_step);
}

void EMS_EventsFrm::RelabelRecurrenceUnits()
{
    if (!m_dCmbFro->isValidDate())
        return;
    const auto d = m_dCmbFro->date();
    if (!d)
        return;
    const QString day = core::weekdayName(d->date().dayOfWeek());
    HostServices* gic = services();
    for (int i = 0; i < m_cmbRea->count(); ++i) {
        const int value = m_cmbRea->itemData(i).toInt();
        if (value == core::ruWeekday) {
            m_cmbRea->setItemText(i, day);
        } else if (value >= core::ruFirstWeekday && value <= core::ruLastWeekday) {
            const QString text = m_cmbRea->itemText(i);
            int pos = 0;
            const QString first = gic ? gic->nextToken(text, QStringLiteral(" "), pos)
                                      : text.section(QLatin1Char(' '), 0, 0);
            m_cmbRea->setItemText(i,
                                  first + QLatin1Char(' ') + day + QStringLiteral(" of the month"));
        }
    }
}

void EMS_EventsFrm::applyRecurrenceEnabling()
{
    const bool recurring = m_ChkRea->isChecked();
    m_txtReaEve->setEnabled(recurring);
    m_cmbRea->setEnabled(recurring);
    for (QRadioButton* o : m_OptReaUnl)
        o->setEnabled(recurring);
    m_txtReaTim->setEnabled(recurring && m_OptReaUnl[1]->isChecked());
    m_dcmbUnt->setEnabled(recurring && m_OptReaUnl[2]->isChecked());
    showNextOccurrences();
}

void EMS_EventsFrm::optionClicked(int index)
{
    Set_ChangeFalg(true);
    m_txtReaTim->setEnabled(m_OptReaUnl[1]->isEnabled() && m_OptReaUnl[1]->isChecked());
    m_dcmbUnt->setEnabled(m_OptReaUnl[2]->isEnabled() && m_OptReaUnl[2]->isChecked());
    if (index == 1 && m_txtReaTim->isEnabled())
        m_txtReaTim->setFocus();
    else if (index == 2 && m_dcmbUnt->isEnabled())
        m_dcmbUnt->lineEdit()->setFocus();
}

void EMS_EventsFrm::setEndOption(int index)
{
    for (int i = 0; i < 3; ++i) {
        // Auto-exclusive buttons cannot all be cleared while exclusive.
        m_OptReaUnl[i]->setAutoExclusive(false);
        m_OptReaUnl[i]->setChecked(i == index);
        m_OptReaUnl[i]->setAutoExclusive(true);
    }
    applyRecurrenceEnabling();
}

int EMS_EventsFrm::endOption() const
{
    for (int i = 0; i < 3; ++i)
        if (m_OptReaUnl[i]->isChecked())
            return i;
    return -1;
}

void EMS_EventsFrm::loadRecurrence(const events::EventRepeat& repeat)
{
    m_ChkRea->setChecked(repeat.recurring);
    if (repeat.recurring) {
        m_txtReaEve->setText(vb::isNumeric(repeat.every) ? repeat.every : QStringLiteral("1"));
        const int entry = m_cmbRea->findData(repeat.unit);
        if (entry >= 0)
            m_cmbRea->setCurrentIndex(entry);
        const qint64 n = repeat.numberOfTimes.value_or(0);
        if (n >= 0) {
            setEndOption(1);
            m_txtReaTim->setText(QString::number(n));
        } else if (n == core::NumOfTimUntil) {
            setEndOption(2);
            m_dcmbUnt->setText(repeat.until);
        } else {
            setEndOption(0);
        }
    }
    applyRecurrenceEnabling();
}

QString EMS_EventsFrm::timeColumnText(int listIndex) const
{
    if (listIndex < 0 || listIndex >= m_cmbFroTim[0]->count())
        return QString();
    const QString entry = m_cmbFroTim[0]->itemText(listIndex);
    const auto t = vb::parseDate(entry);
    if (!t)
        return QString();
    const auto back = vb::parseDate(vb::format(*t, QStringLiteral("hh:nn am/pm")));
    return back ? vb::cstr(back->timePart()) : QString();
}

events::EventRepeat EMS_EventsFrm::repeatFromControls() const
{
    events::EventRepeat repeat;
    repeat.recurring = m_ChkRea->isChecked();
    repeat.every = m_txtReaEve->text();
    repeat.unit = m_cmbRea->currentIndex() >= 0 ? m_cmbRea->currentData().toInt() : -1;
    switch (endOption()) {
    case 0:
        repeat.numberOfTimes = core::NumOfTimUnlimited;
        break;
    case 1:
        if (const auto n = vb::toNumber(m_txtReaTim->text()))
            repeat.numberOfTimes = vb::roundHalfEven(*n);
        break;
    case 2:
        if (const auto until = m_dcmbUnt->date())
            repeat.until = vb::format(*until, QStringLiteral("mm/dd/yyyy"));
        repeat.numberOfTimes = core::NumOfTimUntil;
        break;
    default:
        break;
    }
    return repeat;
}

int EMS_EventsFrm::ValidateEvent()
{
    QString reasons;
    if (m_txtEve0->text().trimmed().isEmpty() && m_txtEve1->toPlainText().trimmed().isEmpty())
        reasons += CRLF + QStringLiteral("   Event Title/ Description fields is required.");
    if (!m_dCmbFro->isValidDate())
        reasons += CRLF + QStringLiteral("   Starting Date is riquired.");
    if (m_cmbFroTim[0]->currentIndex() < 0 && m_cmbFroTim[1]->currentIndex() < 0) {
        m_cmbFroTim[0]->setCurrentIndex(TimeListIndex(*vb::parseDate(QStringLiteral("9:00 am"))));
        m_cmbFroTim[1]->setCurrentIndex(TimeListIndex(*vb::parseDate(QStringLiteral("5:30 pm"))));
    }
    if (m_cmbFroTim[0]->currentIndex() < 0 || m_cmbFroTim[1]->currentIndex() < 0)
        reasons += CRLF + QStringLiteral("   From/ To time is required.");
    // An unselected list counts as index -1.
    if (m_cmbFroTim[0]->currentIndex() > m_cmbFroTim[1]->currentIndex())
        reasons += CRLF + QStringLiteral("   From time is after To time.");
    if (m_ChkRea->isChecked()) {
        // Val semantics: a word reads as 0; only a number out of range stays as typed.
        const double every = vb::leadingNumber(m_txtReaEve->text()).value_or(0.0);
        if (every < 1)
            m_txtReaEve->setText(QStringLiteral("1"));
        else if (every <= 2147483647.0)
            m_txtReaEve->setText(QString::number(vb::roundHalfEven(every)));
        if (m_cmbRea->currentIndex() < 0)
            reasons += CRLF + QStringLiteral("   Recurring selection is missing .");
        if (endOption() < 0)
            setEndOption(0);
        if (m_OptReaUnl[1]->isChecked() && !vb::isNumeric(m_txtReaTim->text())) {
            m_txtReaTim->clear();
            reasons += CRLF + QStringLiteral("   Number of Times field is missing.");
        }
        if (m_OptReaUnl[2]->isChecked() && !m_dcmbUnt->date()) {
            m_txtReaTim->clear();
            reasons += CRLF + QStringLiteral("   Until date is missing.");
        }
    }
    if (reasons.isEmpty())
        return ui::vbYes;
    return ui::MessageBox::show(
        {QStringLiteral("The following information is missing or incorrect:") + CRLF + reasons +
             CRLF + CRLF + QStringLiteral("Data will not be saved."),
         QStringLiteral("Event Editing"), 1, 0, 0});
}

core::RecurrenceRule EMS_EventsFrm::ruleFromControls() const
{
    core::RecurrenceRule r;
    if (const auto d = m_dCmbFro->date())
        r.start = d->date();
    r.recurring = m_ChkRea->isChecked();
    const double every = vb::leadingNumber(m_txtReaEve->text()).value_or(1.0);
    r.every = every >= 1 && every <= 1000000 ? int(vb::roundHalfEven(every)) : 1;
    r.unit = m_cmbRea->currentIndex() >= 0 ? m_cmbRea->currentData().toInt() : 0;
    switch (endOption()) {
    case 1: {
        const auto n = vb::toNumber(m_txtReaTim->text());
        r.numberOfTimes = n ? int(std::clamp<qint64>(vb::roundHalfEven(*n), -1000, 1000000000)) : 0;
        break;
    }
    case 2:
        r.numberOfTimes = core::NumOfTimUntil;
        if (const auto u = m_dcmbUnt->date())
            r.until = u->date();
        break;
    default:
        r.numberOfTimes = core::NumOfTimUnlimited;
        break;
    }
    return r;
}

void EMS_EventsFrm::showNextOccurrences()
{
    if (!m_lblNextOccurrences)
        return;
    const core::RecurrenceRule rule = ruleFromControls();
    if (!rule.recurring || !rule.start.isValid() || !rule.isKnownUnit()) {
        m_lblNextOccurrences->clear();
        // Its empty line would take a row of the panel's height for nothing.
        m_lblNextOccurrences->hide();
        return;
    }
    m_lblNextOccurrences->show();
    HostServices* gic = services();
    const QDate today = gic ? gic->currentDate() : QDate::currentDate();
    const QList<QDate> dates = core::nextOccurrences(rule, std::max(today, rule.start), 6);
    QStringList shown;
    for (const QDate& d : dates)
        shown << d.toString(QStringLiteral("ddd M/d/yyyy"));
    m_lblNextOccurrences->setText(shown.isEmpty() ? QStringLiteral("No further dates.")
                                                  : QStringLiteral("Next dates: ") +
                                                        shown.join(QStringLiteral(", ")));
}

} // namespace tzsndmsg
