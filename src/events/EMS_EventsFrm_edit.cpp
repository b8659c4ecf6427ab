#include "EMS_EventsFrm.h"

#include "EventListModel.h"

#include "common/FieldValue.h"
#include "common/OfficeHours.h"
#include "common/VbFormat.h"
#include "component/SharedState.h"
#include "core/StationSignal.h"
#include "db/Database.h"
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

QString textOf(const QVariant& v)
{
    return common::vb::toText(v);
}

} // namespace

void EMS_EventsFrm::ClearEvent()
{
    auto& st = SharedState::current();
    // 1.
    m_CurrentEventID = 0;
    setWindowTitle(QStringLiteral("Event Setup"));
    m_txtEve0->clear();
    m_txtEve1->clear();
    for (int i = 0; i < 2; ++i) {
        m_txtAtt[i]->clear();
        m_AttendeeLists[i].clear();
    }
    // 2.
    const QDate today = st.GIC ? st.GIC->currentDate() : QDate::currentDate();
    m_dCmbFro->setDate(today);
    // 3.
    for (int i = 0; i < 2; ++i)
        m_cmbFroTim[i]->setCurrentIndex(-1);
    m_ChkRea->setChecked(false);
    m_txtReaEve->clear();
    m_cmbRea->setCurrentIndex(-1);
    setEndOption(0);
    m_txtReaTim->clear();
    m_dcmbUnt->setDate(today);
    applyRecurrenceEnabling();
    // 4.
    m_ChangeFlag = false;
    setPanelEnabled(st.RightToEdit);
    // 5. The office hours of the date's weekday.
    if (const auto d = m_dCmbFro->date(); d && m_dCmbFro->isValidDate()) {
        const int day = d->weekday() - 1;
        const auto& hours = common::officeHours();
        if (const auto start = common::vb::parseDate(hours.OfficeStartTimes[day]))
            m_cmbFroTim[0]->setCurrentIndex(TimeListIndex(*start));
        if (const auto close = common::vb::parseDate(hours.OfficeCloseTimes[day]))
            m_cmbFroTim[1]->setCurrentIndex(TimeListIndex(*close));
    }
    // 6.
    m_ChangeFlag = false;
    showNextOccurrences();
}

void EMS_EventsFrm::LoadEvent(qint32 id)
{
    auto& st = SharedState::current();
    // 1.
    ClearEvent();
    // 2.
    QString where;
    if (id != 0) {
        where = QStringLiteral(" WHERE ((CMTable.cmTyp)>=0 or (CMTable.cmTyp is Null)) and (evID=") +
                QString::number(id) + QStringLiteral(")");
    } else {
        const qint64 cmId = gridCurrentCmId();
        where = QStringLiteral(" WHERE ((CMTable.cmTyp)>=0 or (CMTable.cmTyp is Null)) and (cmID=") +
                QString::number(cmId) + QStringLiteral(")");
    }
    auto db = connection();
    db::Recordset rs;
    if (db && st.GIC)
        rs = db->query(st.GIC->adaptSqlFor(
            *db, QStringLiteral("SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM CMTable LEFT JOIN "
                                "EVTable") +
                     QStringLiteral(" ON CMTable.cmID = EVTable.EVLinID ") + where));
    const bool found = rs.isOpen() && !rs.isEmpty();
    if (found) {
        rs.moveFirst();
        // 3. The panel.
        auto field = [&rs](const char* name) {
            try {
                return common::FieldValueOrZero(rs, QString::fromLatin1(name));
            } catch (const db::FieldError&) {
                return QVariant();
            }
        };
        m_txtEve0->setText(textOf(field("cmSubjec")));
        m_txtEve1->setPlainText(textOf(field("cmDoc")));
        m_dCmbFro->setText(textOf(field("evBroStaDat")));
        for (int i = 0; i < 2; ++i) {
            const QVariant t = field(i == 0 ? "evBroStaTim" : "evBroDat");
            const auto time = common::vb::toDate(t);
            m_cmbFroTim[i]->setCurrentIndex(
                time && !textOf(t).trimmed().isEmpty() ? TimeListIndex(*time) : -1);
        }
        // 12:00 AM after a later start is the end of the day: the list's last entry, as it was
        // chosen (both are stored as midnight). The first entry would fail the next save.
        if (m_cmbFroTim[1]->currentIndex() == 0 && m_cmbFroTim[0]->currentIndex() > 0)
            m_cmbFroTim[1]->setCurrentIndex(m_cmbFroTim[1]->count() - 1);
        loadRecurrence(rs);
        // 4. Attendees.
        const qint64 cmId = field("CMID").toLongLong();
        readAttendeeLists(cmId);
        // 5.
        m_CurrentEventID = qint32(cmId);
        if (id != 0) {
            st.RightToEdit = field("EvPID").toLongLong() == st.CurrentEmployeeID ||
                             m_EventSupervisor;
        } else {
            m_bookmark = m_list.isOpen() ? m_list.bookmark() : -1;
        }
    } else if (id != 0) {
        // The event is gone: nothing to show, nothing to change.
        st.RightToEdit = m_EventSupervisor;
    }
    // Another user's event stays read-only.
    setPanelEnabled(st.RightToEdit);
    RelabelRecurrenceUnits();
    showNextOccurrences();
    // 6.
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
    // 1.
    if (!m_ChangeFlag)
        return ui::vbYes;
    if (AskToSave) {
        const int answer = ui::MessageBox::show({QStringLiteral("Save Current Change?"),
                                                 QStringLiteral("Save Message"),
                                                 CanCancel ? 3 : 4, 0, 0});
        if (answer != ui::vbYes)
            return answer;
    }
    // A user who may not edit this event never writes it.
    if (!st.RightToEdit || !st.GIC)
        return ui::vbYes;
    // 2.
    const int valid = ValidateEvent();
    if (valid != ui::vbYes)
        return valid;
    const bool isNew = m_CurrentEventID == 0;
    QString error;
    switch (writeEvent(&error)) {
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
    // 9.
    releaseAfterWrite();
    if (toolbarTag() == QLatin1String("FULL") && m_list.isOpen()) {
        ++m_gridGuard;
        m_list.requery();
        m_model->setRecordset(m_list);
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
    HostServices& gic = *st.GIC;
    auto db = connection();
    if (!db) {
        *error = QStringLiteral("The message store cannot be opened.");
        return WriteFailed;
    }
    const QString login = gic.currentLoginName();
    QStringList names, texts;
    if (m_CurrentEventID != 0) {
        // 3. Existing event.
        m_txtEve0->setText(m_txtEve0->text().trimmed());
        m_txtEve1->setPlainText(m_txtEve1->toPlainText().trimmed());
        const QVariant found = db->scalar(gic.adaptSqlFor(
            *db, QStringLiteral("Select cmID from CMTable where cmID=") +
                     QString::number(m_CurrentEventID)));
        if (!found.isValid() || found.isNull())
            return WriteVanished;
        names << QStringLiteral("cmModDat");
        texts << common::vb::format(gic.currentDate(), QStringLiteral("Short Date"));
    } else {
        // 4. New event.
        if (m_AttendeeLists[0].trimmed().isEmpty()) {
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
        names << QStringLiteral("cmTyp") << QStringLiteral("cmTraLinID") << QStringLiteral("cmTim")
              << QStringLiteral("cmDat") << QStringLiteral("cmWho") << QStringLiteral("cmPid")
              << QStringLiteral("cmCat") << QStringLiteral("cmSubCat");
        texts << QString::number(st.ReminderFlag ? st.LinkTyp : 512)
              << QString::number(st.ReminderFlag ? st.LinkID : 0)
              << common::vb::cstr(common::AutoDate::fromTime(gic.currentTime()))
              << common::vb::format(gic.currentDate(), QStringLiteral("mm/dd/yyyy")) << login
              << QStringLiteral("0") << QStringLiteral("Events") << QStringLiteral("EMS");
    }
    // 5. Common header fields.
    names << QStringLiteral("cmWhoMod") << QStringLiteral("cmDoc") << QStringLiteral("CMSubjec");
    texts << login << m_txtEve1->toPlainText().trimmed() << m_txtEve0->text().trimmed();
    qint64 key = m_CurrentEventID;
    if (!gic.writeRecord(9, QStringLiteral("cmTable"), QStringLiteral("cmID"), key, names, texts,
                         error)) {
        if (error->isEmpty())
            *error = QStringLiteral("The event header was not written.");
        return WriteFailed;
    }
    m_CurrentEventID = qint32(key);
    core::WriteStationSignal(gic, QStringLiteral("CMCM"));
    // 6.
    if (m_CurrentEventID == 0)
        return WriteDone;
    // 7. Detail row.
    names.clear();
    texts.clear();
    const QVariant evId = db->scalar(gic.adaptSqlFor(
        *db, QStringLiteral("Select evID from EVtable where EVLINID=") +
                 QString::number(m_CurrentEventID)));
    qint64 evKey = evId.isValid() && !evId.isNull() ? evId.toLongLong() : 0;
    if (evKey == 0) {
        names << QStringLiteral("Evpid") << QStringLiteral("EvLinID") << QStringLiteral("EvTyp");
        texts << QString::number(st.CurrentEmployeeID) << QString::number(m_CurrentEventID)
              << QStringLiteral("1");
    }
    names << QStringLiteral("EvBroStaDatFla") << QStringLiteral("EvBroStaDat")
          << QStringLiteral("EvBroStaTim") << QStringLiteral("evBroDat");
    const auto date = m_dCmbFro->date();
    texts << QStringLiteral("-1")
          << (date ? common::vb::format(*date, QStringLiteral("mm/dd/yyyy")) : m_dCmbFro->text())
          << timeColumnText(m_cmbFroTim[0]->currentIndex())
          << timeColumnText(m_cmbFroTim[1]->currentIndex());
    recurrenceColumns(names, texts);
    names << QStringLiteral("EvBroFla");
    texts << QStringLiteral("-1");
    if (!gic.writeRecord(9, QStringLiteral("evTable"), QStringLiteral("evID"), evKey, names, texts,
                         error)) {
        if (error->isEmpty())
            *error = QStringLiteral("The event's date and times were not written.");
        return WriteFailed;
    }
    core::WriteStationSignal(gic, QStringLiteral("CMEV"));
    // 8. Attendee rows.
    const bool rowsWritten = writeAttendeeRows(m_CurrentEventID, error);
    m_model->forgetToCc(m_CurrentEventID);
    return rowsWritten ? WriteDone : WriteFailed;
}

} // namespace tzsndmsg
