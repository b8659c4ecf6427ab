#include "EMS_EventsFrm.h"

#include "EventListModel.h"
#include "EventQueries.h"

#include "common/FieldValue.h"
#include "component/SharedState.h"
#include "db/Database.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>

namespace tzsndmsg {

void EMS_EventsFrm::LoadEventList(const QString& order)
{
    auto& st = SharedState::current();
    // 1. Order.
    if (m_EventListOrder.isEmpty())
        m_EventListOrder = QStringLiteral("CMDat, CMTim, CMID");
    if (!order.isEmpty()) {
        QString o = order;
        if (!o.toUpper().contains(QLatin1String("CMID")))
            o += QStringLiteral(", CMID");
        m_EventListOrder = o;
    }
    // 2. Release the list and the cached connection.
    ++m_gridGuard;
    m_model->setRecordset(db::Recordset());
    m_list.close();
    m_connection.reset();
    // 3. Owner filter (a number only). Employee 0 without the whole office's view is a login
    // the office does not know: it owns nothing, not the events filed under person 0.
    const QString owner =
        m_EventSupervisor            ? QString()
        : st.CurrentEmployeeID == 0 ? QStringLiteral(" and 1=0")
                                    : QStringLiteral(" and EvPID=") + QString::number(st.CurrentEmployeeID);
    // 4, 5. Statement, static read-only set, bound to the grid, on its last row.
    auto db = connection();
    if (db && st.GIC) {
        const QString sql =
            st.GIC->adaptSqlFor(*db, events::eventListStatement(owner, m_EventListOrder));
        m_list = db->query(sql);
    }
    m_model->setRecordset(m_list);
    --m_gridGuard;
    if (m_list.isOpen() && !m_list.isEmpty()) {
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
    if (!current.isValid() || !m_list.isOpen()) {
        m_SBPanel->setText(m_list.isOpen() ? QStringLiteral("0 of %1").arg(m_list.recordCount())
                                           : QString());
        return;
    }
    m_SBPanel->setText(QStringLiteral("%1 of %2").arg(current.row() + 1).arg(m_list.recordCount()));
}

// Puts the grid on the row of the header id without loading it; no current row when the id is
// not listed.
void EMS_EventsFrm::positionGridOn(qint64 cmId)
{
    ++m_gridGuard;
    const int row = cmId ? m_model->rowOfCmId(cmId) : -1;
    if (row >= 0) {
        m_TDBG->setCurrentIndex(m_model->index(row, EventListModel::ColEvent));
        m_list.setAbsolutePosition(row + 1);
        m_bookmark = m_list.bookmark();
    } else {
        m_TDBG->selectionModel()->clearSelection();
        m_TDBG->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    --m_gridGuard;
    showRowCounter();
}

void EMS_EventsFrm::onGridRowChanged(int row, int previousRow)
{
    if (m_gridGuard > 0 || row < 0 || row == previousRow || !m_list.isOpen() ||
        row >= m_list.recordCount())
        return;
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
    const int current = m_TDBG->currentIndex().isValid() ? m_TDBG->currentIndex().row() : row;
    m_list.setAbsolutePosition(current + 1);
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

} // namespace tzsndmsg
