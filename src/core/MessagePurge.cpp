#include "core/MessagePurge.h"

#include "db/Internals.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"

#include <QSqlQuery>

namespace tzsndmsg::core {

namespace {
constexpr qint64 kPurgeBit = 256;
}

PurgeBatch::PurgeBatch(HostServices& services) : m_store(services.messageStoreConnection())
{
    if (m_store)
        m_statement = services.adaptSqlFor(
            *m_store, QStringLiteral("Update CMTable Set cmPurFla=? Where CMID=?"));
    begin();
}

PurgeBatch::~PurgeBatch()
{
    finish();
}

bool PurgeBatch::toggle(qint64 cmId, qint64 purgeMark)
{
    if (!m_store)
        return false;
    const qint64 value = purgeMark ^ kPurgeBit;
    if (update(value, cmId)) {
        if (m_inTransaction)
            m_done.push_back({value, cmId});
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

bool PurgeBatch::finish()
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

void PurgeBatch::begin()
{
    m_inTransaction = m_store && !m_store->inTransaction() && m_store->transaction();
}

bool PurgeBatch::update(qint64 value, qint64 id)
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

} // namespace tzsndmsg::core
