#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <utility>
#include <vector>

namespace tzsndmsg {
class HostServices;
namespace db {
class Database;
}
} // namespace tzsndmsg

namespace tzsndmsg::core {

// Purging and unpurging messages: the purge bit (256) of CMPurFla toggled on each, in as few
// transactions as possible through one prepared statement. A toggle that fails is dropped and
// the ones before it are kept. Nothing is held open past finish() or the batch's end.
class PurgeBatch {
public:
    explicit PurgeBatch(HostServices& services);
    ~PurgeBatch();
    PurgeBatch(const PurgeBatch&) = delete;
    PurgeBatch& operator=(const PurgeBatch&) = delete;

    // Toggles the purge bit of a message whose CMPurFla reads `purgeMark`. False when the store
    // refused it.
    bool toggle(qint64 cmId, qint64 purgeMark);
    // Commits what is pending (before anything asks the user, so that no lock waits on them).
    bool finish();
    // Opens the next transaction after finish().
    void begin();

private:
    bool update(qint64 value, qint64 id);

    std::shared_ptr<db::Database> m_store;
    QString m_statement;
    bool m_inTransaction = false;
    std::vector<std::pair<qint64, qint64>> m_done; // (value, id) run in this transaction
};

} // namespace tzsndmsg::core
