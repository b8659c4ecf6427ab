#include "EMS_EventsFrm.h"
#include "EventListModel.h"
#include "core/EventStore.h"
#include "state/SharedState.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>
#include <QTimer>

namespace tzsndmsg {

void EMS_EventsFrm::LoadEventList(const QString& order)
{
    auto& st = SharedState::current();
    // Order.
    if (m_EventListOrder.isEmpty())
        m_EventListOrder = QStringLiteral("CMDat, CMTim, CMID");
    if (!order.isEmpty()) {
        QString o = order;
        if (!o.toUpper().contains(QLatin1String("CMID")))
            o += QStringLiteral(", CMID");
        m_EventListOrder = o;
    }
    // Release the list and the cached connection.
    ++m_gridGuard;
    m_model->setRows({});
    m_rows.clear();
    m_listOpen = false;
    m_connection.reset();
    // The owner's events. Employee 0 without the whole office's view is a login the office
    // does not know: it owns nothing, not the events filed under person 0.
    m_listOwner = m_EventSupervisor ? std::nullopt : std::optional<qint32>(st.CurrentEmployeeID);
    // 4, 5. The rows, bound to the grid, on its last row.
    if (connection() && st.GIC) {
        if (auto rows = events::readEventList(*st.GIC, m_listOwner, m_EventListOrder)) {
            m_rows = *rows;
            m_listOpen = true;
        }
    }
    m_model->setRows(m_rows);
    --m_gridGuard;
    if (m_listOpen && !m_rows.isEmpty()) {
        const int last = m_model->rowCount() - 1;
        m_TDBG->setCurrentIndex(m_model->index(last, EventListModel::ColEvent));
    } else {
        showRowCounter();
    }
}

qint64 EMS_EventsFrm::gridCurrentCmId() const
{
    const QModelIndex current = m_TDBG->currentIndex();
    return current.isValid() ? m_model->cmIdAt(current.row()) : 0;
}

void EMS_EventsFrm::showRowCounter()
{
    const QModelIndex current = m_TDBG->currentIndex();
    if (!current.isValid() || !m_listOpen) {
        m_SBPanel->setText(m_listOpen ? QStringLiteral("0 of %1").arg(m_rows.size()) : QString());
        return;
    }
    m_SBPanel->setText(QStringLiteral("%1 of %2").arg(current.row() + 1).arg(m_rows.size()));
}

// Puts the grid on the row of the header id without loading it; no current row when the id is
// not listed.
void EMS_EventsFrm::positionGridOn(qint64 cmId)
{
    ++m_gridGuard;
    const int row = cmId ? m_model->rowOfCmId(cmId) : -1;
    if (row >= 0) {
        m_TDBG->setCurrentIndex(m_model->index(row, EventListModel::ColEvent));
    } else {
        m_TDBG->selectionModel()->clearSelection();
        m_TDBG->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    --m_gridGuard;
    showRowCounter();
}

void EMS_EventsFrm::chooseAfterSave(qint64 cmId)
{
    if (m_saving > 0) {
        QTimer::singleShot(0, this, [this, cmId] { chooseAfterSave(cmId); });
        return;
    }
    if (!m_listOpen)
        return;
    // The grid back on the event the panel shows, then moved as the user moved it.
    positionGridOn(m_CurrentEventID);
    const int row = m_model->rowOfCmId(cmId);
    if (row >= 0)
        m_TDBG->setCurrentIndex(m_model->index(row, EventListModel::ColEvent));
}

void EMS_EventsFrm::onGridRowChanged(int row, int previousRow)
{
    if (m_gridGuard > 0 || row < 0 || row == previousRow || !m_listOpen || row >= m_rows.size())
        return;
    // Writing an event's attendee rows lets the window paint: a row chosen then is taken up
    // when the save has ended, not loaded into the panel of the event being saved.
    if (m_saving > 0) {
        const qint64 chosen = m_model->cmIdAt(row);
        QTimer::singleShot(0, this, [this, chosen] { chooseAfterSave(chosen); });
        return;
    }
    auto& st = SharedState::current();
    const bool busy = !m_WindowLoading && st.GIC;
    if (busy)
        st.GIC->setBusy(this, true);
    const qint64 target = m_model->cmIdAt(row);
    if (m_ChangeFlag) {
        SaveEvent(true, false);
        releaseAfterWrite();
        // Saving a new event re-queries the grid; the row the user chose stays the one shown.
        if (m_model->cmIdAt(m_TDBG->currentIndex().row()) != target)
            positionGridOn(target);
    }
    showRowCounter();
    LoadEvent(0);
    Set_ChangeFalg(false);
    if (busy)
        st.GIC->setBusy(this, false);
}

QHash<qint64, QString> EMS_EventsFrm::ToCcTexts(const QList<qint64>& cmIds)
{
    auto& st = SharedState::current();
    auto db = connection();
    if (!db || !st.GIC)
        return {};
    return events::attendeeCellTexts(*st.GIC, *db, cmIds);
}

void EMS_EventsFrm::requeryList()
{
    auto& st = SharedState::current();
    if (m_listOpen && connection() && st.GIC) {
        if (auto rows = events::readEventList(*st.GIC, m_listOwner, m_EventListOrder))
            m_rows = *rows;
    }
    m_model->setRows(m_rows);
}

} // namespace tzsndmsg
