// Purge and unpurge: the purge bit (256) of CMPurFla on the selected messages.
#include "tzSndMsgFrm.h"

#include "MessageListModel.h"
#include "common/FieldValue.h"
#include "common/VbFormat.h"
#include "component/SharedState.h"
#include "db/Database.h"
#include "db/Internals.h"
#include "db/Recordset.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/BusyPointer.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSqlQuery>
#include <QTableView>

#include <exception>
#include <utility>
#include <vector>

namespace tzsndmsg {

namespace vb = common::vb;

namespace {

constexpr qint64 kPurgeBit = 256;

qint64 numberOf(const db::Recordset& rs, const QString& column)
{
    const auto n = vb::toNumber(vb::toText(common::FieldValueOrZero(rs, column)));
    return n ? vb::roundHalfEven(*n) : 0;
}

// The updates of one run in as few transactions as possible, through one prepared statement;
// an update that fails is dropped and the ones before it are kept.
class PurgeBatch {
public:
    PurgeBatch(HostServices& gic, std::shared_ptr<db::Database> store)
        : m_store(std::move(store))
    {
        if (m_store)
            m_statement = gic.adaptSqlFor(*m_store,
                                          QStringLiteral("Update CMTable Set cmPurFla=? Where CMID=?"));
        begin();
    }
    ~PurgeBatch() { finish(); }

    bool run(qint64 value, qint64 id)
    {
        if (!m_store)
            return false;
        if (update(value, id)) {
            if (m_inTransaction)
                m_done.push_back({value, id});
            return true;
        }
        if (m_inTransaction) {
            // Some databases give up the whole transaction after a failed statement: start it
            // again with the updates that had worked.
            m_store->rollback();
            const auto done = std::exchange(m_done, {});
            begin();
            for (const auto& again : done)
                if (update(again.first, again.second) && m_inTransaction)
                    m_done.push_back(again);
        }
        return false;
    }

    // Commits what is pending (before a message box, so that no lock waits on the user).
    bool finish()
    {
        bool ok = true;
        if (m_store && m_inTransaction) {
            ok = m_store->commit();
            if (!ok)
                m_store->rollback();
        }
        m_inTransaction = false;
        m_done.clear();
        return ok;
    }

    void begin()
    {
        m_inTransaction = m_store && !m_store->inTransaction() && m_store->transaction();
    }

private:
    bool update(qint64 value, qint64 id)
    {
        QSqlQuery* q = db::Internals::preparedStatement(*m_store, m_statement);
        if (!q)
            return false;
        q->bindValue(0, value);
        q->bindValue(1, id);
        const bool ok = db::Internals::execPrepared(*m_store, *q);
        q->finish();
        return ok;
    }

    std::shared_ptr<db::Database> m_store;
    QString m_statement;
    bool m_inTransaction = false;
    std::vector<std::pair<qint64, qint64>> m_done; // (value, id) run in this transaction
};

} // namespace

void tzSndMsgFrm::PurgeCommand()
{
    if (!m_list || !m_list->isOpen() || m_list->isEmpty() || m_list->bof() || m_list->eof())
        return;
    if (selectedBookmarks().isEmpty() && m_model && TDBG->selectionModel()) {
        const int row = m_model->rowOfBookmark(m_list->bookmark());
        if (row >= 0)
            TDBG->selectionModel()->select(m_model->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    if (tbToolTip(QStringLiteral("Purge")) == QLatin1String("UnPurge")) {
        const int answer = ui::MessageBox::show({QStringLiteral("Are you sure to UnPurge the selected items?"),
                                                 QStringLiteral("UnPurge"), 4, 0, 256});
        if (answer != ui::vbYes)
            return;
    }
    ui::BusyPointer wait;
    Purge_Selected();
    TB_ButtonClick(QStringLiteral("Refresh"));
}

void tzSndMsgFrm::Purge_Selected()
{
    auto& st = SharedState::current();
    if (!st.GIC || !m_list || !m_list->isOpen())
        return;
    HostServices& gic = *st.GIC;
    db::Recordset cursor = m_list->clone();
    const QList<qint64> marks = selectedBookmarks();
    const int n = int(marks.size());
    auto store = gic.messageStoreConnection();
    bool told = false;
    bool saved = true;
    const auto showProgress = [this, n](int k) {
        if (SB_Panel1)
            SB_Panel1->setText(QString::number(k) + QStringLiteral(" of ") + QString::number(n));
    };
    {
        PurgeBatch batch(gic, store);
        for (int k = 0; k < n; ++k) {
            try {
                if (cursor.setBookmark(marks.at(k))) {
                    // Inbox rows only once read; sent items always.
                    const bool mayChange =
                        !m_inboxView || numberOf(cursor, QStringLiteral("BroChkDonDis")) != 0;
                    if (mayChange) {
                        const qint64 value = numberOf(cursor, QStringLiteral("CMPurFla")) ^ kPurgeBit;
                        const qint64 id = numberOf(cursor, QStringLiteral("cmID"));
                        batch.run(value, id);
                    } else if (!told) {
                        told = true;
                        saved = batch.finish() && saved;
                        if (k > 0)
                            showProgress(k - 1);
                        ui::MessageBox::show(
                            {(n == 1 ? QStringLiteral("The selected message is unread and cannot be purged.")
                                     : QStringLiteral("One or more of the selected messages have not "
                                                      "been read. Only messages that have been read "
                                                      "will be purged.")) +
                                 QStringLiteral("\r\n\r\nUnread messages appear in bold."),
                             QStringLiteral("Unread Messages"), 0, 64, 0});
                        batch.begin();
                    }
                }
            } catch (const std::exception&) {
                // The row is skipped; the others still run.
            }
            // The counter is only seen when events are let through: it is set then.
            if (k % 50 == 0) {
                showProgress(k);
                QCoreApplication::processEvents();
            }
        }
        saved = batch.finish() && saved;
    }
    if (!saved)
        ui::MessageBox::show({QStringLiteral("The message store did not accept the changes; "
                                             "some of the selected messages were not changed."),
                              QStringLiteral("Purge"), 0, 48, 0});
    if (SB_Panel1)
        SB_Panel1->clear();
}

} // namespace tzsndmsg
