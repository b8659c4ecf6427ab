#include "core/ChangeNotice.h"

#include "db/Database.h"

namespace tzsndmsg::core {

namespace {

// PostgreSQL cuts channel names to 63 bytes; sender and listener cut alike.
const QString kChannel = QStringLiteral("left('tzsndmsg_' || current_schema(), 63)");

} // namespace

QString changeChannelStatement()
{
    return QStringLiteral("SELECT ") + kChannel;
}

bool notifyChange(db::Database& store, qint64 cmId, QString* error)
{
    if (store.backend() != db::Backend::Postgres || cmId <= 0)
        return true;
    return store.exec(QStringLiteral("SELECT pg_notify(") + kChannel + QStringLiteral(", ?)"),
                      {QString::number(cmId)}, error);
}

} // namespace tzsndmsg::core
