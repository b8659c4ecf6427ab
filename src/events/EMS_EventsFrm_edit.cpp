#include "EMS_EventsFrm.h"
#include "EventListModel.h"
#include "common/VbFormat.h"
#include "core/EventStore.h"
#include "fields/OfficeHours.h"
#include "state/SharedState.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/DateCombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableView>

namespace tzsndmsg {

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

void EMS_EventsFrm::ClearEvent()
{
    auto& st = SharedState::current();
    m_CurrentEventID = 0;
    setWindowTitle(QStringLiteral("Event Setup"));
    m_txtEve0->clear();
    m_txtEve1->clear();
    for (int i = 0; i < 2; ++i) {
        m_txtAtt[i]->clear();
        m_AttendeeLists[i].clear();
    }
    const QDate today = st.GIC ? st.GIC->currentDate() : QDate::currentDate();
    m_dCmbFro->setDate(today);
    for (int i = 0; i < 2; ++i)
        m_cmbFroTim[i]->setCurrentIndex(-1);
    m_ChkRea->setChecked(false);
    m_txtReaEve->clear();
    m_cmbRea->setCurrentIndex(-1);
    setEndOption(0);
    m_txtReaTim->clear();
    m_dcmbUnt->setDate(today);
    applyRecurrenceEnabling();
    m_ChangeFlag = false;
    setPanelEnabled(st.RightToEdit);
    // The office hours of the date's weekday.
    if (const auto d = m_dCmbFro->date(); d && m_dCmbFro->isValidDate()) {
        const int day = d->weekday() - 1;
        const auto& hours = common::officeHours();
        if (const auto start = common::vb::parseDate(hours.OfficeStartTimes[day]))
            m_cmbFroTim[0]->setCurrentIndex(TimeListIndex(*start));
        if (const auto close = common::vb::parseDate(hours.OfficeCloseTimes[day]))
            m_cmbFroTim[1]->setCurrentIndex(TimeListIndex(*close));
    }
    m_ChangeFlag = false;
    showNextOccurrences();
}

void EMS_EventsFrm::LoadEvent(qint32 id)
{
    auto& st = SharedState::current();
    ClearEvent();
    // The event of the detail id, or of the grid's row.
    std::optional<events::EventRecord> event;
    if (connection() && st.GIC)
        event = events::readEvent(*st.GIC, id != 0 ? qint64(id) : gridCurrentCmId(), id != 0);
    if (event) {
        // The panel.
        m_txtEve0->setText(event->title);
        m_txtEve1->setPlainText(event->description);
        m_dCmbFro->setText(event->date);
        for (int i = 0; i < 2; ++i) {
            const QVariant t = i == 0 ? event->from : event->to;
            const auto time = common::vb::toDate(t);
            m_cmbFroTim[i]->setCurrentIndex(
                time && !common::vb::toText(t).trimmed().isEmpty() ? TimeListIndex(*time) : -1);
        }
        // 12:00 AM after a later start is the end of the day: the list's last entry, as it was
        // chosen (both are stored as midnight). The first entry would fail the next save.
        if (m_cmbFroTim[1]->currentIndex() == 0 && m_cmbFroTim[0]->currentIndex() > 0)
            m_cmbFroTim[1]->setCurrentIndex(m_cmbFroTim[1]->count() - 1);
        loadRecurrence(event->repeat);
        // Attendees.
        m_AttendeeLists[0] = event->attendees[0];
        m_AttendeeLists[1] = event->attendees[1];
        ShowAttendeeInitials(0);
        ShowAttendeeInitials(1);
        m_CurrentEventID = qint32(event->cmId);
        if (id != 0)
            st.RightToEdit = event->ownerId == st.CurrentEmployeeID || m_EventSupervisor;
    } else if (id != 0) {
        // The event is gone: nothing to show, nothing to change.
        st.RightToEdit = m_EventSupervisor;
    }
    // Another user's event stays read-only.
    setPanelEnabled(st.RightToEdit);
    RelabelRecurrenceUnits();
    showNextOccurrences();
    m_ChangeFlag = true; // so that the call below always clears it, even while loading
    const bool loading = m_WindowLoading;
    m_WindowLoading = false;
    Set_ChangeFalg(false);
    m_WindowLoading = loading;
    EnableToolbar(true);
}

void EMS_EventsFrm::showWriteError(const QString& error)
{
    ui::MessageBox::show({QStringLiteral("The event could not be saved:") + CRLF + CRLF + error,
                          QStringLiteral("Event Editing"), 0, 16, 0});
}

int EMS_EventsFrm::SaveEvent(bool AskToSave, bool CanCancel)
{
    auto& st = SharedState::current();
    if (!m_ChangeFlag)
        return ui::vbYes;
    if (AskToSave) {
        const int answer =
            ui::MessageBox::show({QStringLiteral("Save Current Change?"),
                                  QStringLiteral("Save Message"), CanCancel ? 3 : 4, 0, 0});
        if (answer != ui::vbYes)
            return answer;
    }
    // A user who may not edit this event never writes it.
    if (!st.RightToEdit || !st.GIC)
        return ui::vbYes;
    const int valid = ValidateEvent();
    if (valid != ui::vbYes)
        return valid;
    const bool isNew = m_CurrentEventID == 0;
    QString error;
    ++m_saving;
    const WriteResult written = writeEvent(&error);
    --m_saving;
    switch (written) {
    case WriteDeclined:
        // Declining to save without attendees keeps the user on the event where that is
        // possible; New and Close would otherwise throw the edit away.
        return CanCancel ? ui::vbCancel : ui::vbNo;
    case WriteVanished:
        return ui::vbYes;
    case WriteFailed:
        // Kept in the panel, still marked changed: nothing is lost and the user may retry.
        showWriteError(error);
        return ui::vbCancel;
    default:
        break;
    }
    releaseAfterWrite();
    if (toolbarTag() == QLatin1String("FULL") && m_listOpen) {
        ++m_gridGuard;
        requeryList();
        --m_gridGuard;
        positionGridOn(m_CurrentEventID);
        if (!isNew)
            Set_ChangeFalg(false);
        EnableToolbar(true);
    }
    Set_ChangeFalg(false);
    st.HolidayChanged = true;
    return ui::vbYes;
}

// Steps 3 to 8 of the save.
EMS_EventsFrm::WriteResult EMS_EventsFrm::writeEvent(QString* error)
{
    auto& st = SharedState::current();
    if (!connection()) {
        *error = QStringLiteral("The message store cannot be opened.");
        return WriteFailed;
    }
    // A new event without attendees is everyone's: the user says so first.
    if (m_CurrentEventID == 0 && m_AttendeeLists[0].trimmed().isEmpty()) {
        const int answer = ui::MessageBox::show(
            {QStringLiteral("Saving Event without Attendees will result in Event being "
                            "applied to all employees.") +
                 CRLF + CRLF + QStringLiteral("Do you wish to continue?"),
             windowTitle(), 4, 64, 0});
        if (answer != ui::vbYes)
            return WriteDeclined;
    }
    m_txtEve0->setText(m_txtEve0->text().trimmed());
    m_txtEve1->setPlainText(m_txtEve1->toPlainText().trimmed());

    events::EventToSave event;
    event.cmId = m_CurrentEventID;
    event.title = m_txtEve0->text();
    event.description = m_txtEve1->toPlainText();
    const auto date = m_dCmbFro->date();
    event.date = date ? common::vb::format(*date, QStringLiteral("mm/dd/yyyy")) : m_dCmbFro->text();
    event.from = timeColumnText(m_cmbFroTim[0]->currentIndex());
    event.to = timeColumnText(m_cmbFroTim[1]->currentIndex());
    event.repeat = repeatFromControls();
    event.attendees = {m_AttendeeLists[0], m_AttendeeLists[1]};
    event.ownerId = st.CurrentEmployeeID;
    event.linkType = st.ReminderFlag ? st.LinkTyp : 512;
    event.linkId = st.ReminderFlag ? st.LinkID : 0;

    const events::EventSaveResult saved = events::saveEvent(*st.GIC, event);
    if (saved.vanished)
        return WriteVanished;
    m_CurrentEventID = qint32(saved.cmId);
    if (saved.attendees) {
        m_AttendeeLists[0] = (*saved.attendees)[0];
        m_AttendeeLists[1] = (*saved.attendees)[1];
        ShowAttendeeInitials(0);
        ShowAttendeeInitials(1);
        m_model->forgetToCc(m_CurrentEventID);
    }
    if (!saved.ok) {
        *error = saved.error;
        return WriteFailed;
    }
    return WriteDone;
}

} // namespace tzsndmsg
