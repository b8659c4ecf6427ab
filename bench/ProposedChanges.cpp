#include "ProposedChanges.h"

#include "tzsndmsg/db/Database.h"

namespace tzsndmsg::bench {

QStringList proposedIndexStatements()
{
    return {
        QStringLiteral("DROP INDEX IF EXISTS ix_ev_pid"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ix_ev_events ON EVTable (EvPID) WHERE EvTyp=1")};
}

QStringList originalIndexStatements()
{
    return {QStringLiteral("DROP INDEX IF EXISTS ix_ev_events"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS ix_ev_pid ON EVTable (EvTyp, EvPID)")};
}

bool applyIndexes(db::Database& db, const QStringList& statements, QString* error)
{
    for (const QString& s : statements)
        if (!db.exec(s, error))
            return false;
    if (db.backend() == db::Backend::Postgres)
        db.exec(QStringLiteral("ANALYZE EVTable"));
    return true;
}

} // namespace tzsndmsg::bench
