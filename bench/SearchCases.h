#pragma once

#include <QJsonObject>
#include <QString>
#include <memory>

namespace tzglob {
class tzGlobal;
}
namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::bench {

class Runner;
struct StoreSummary;

// The search: as the user types, in the typical employee's inbox and in every view, against the
// same statement run bare and the full-text lookup alone; and the whole-office send with the
// index against the same send without it (the index taken away for those runs only).
void addSearchCases(Runner& runner, const std::shared_ptr<tzglob::tzGlobal>& services,
                    const StoreSummary& summary);

// What the full-text index costs in store size: its tables or indexes against all the rest.
struct IndexSize {
    qint64 indexBytes = -1;
    qint64 storeBytes = -1; // everything, the index included
    double share() const
    {
        return storeBytes > indexBytes && indexBytes >= 0
                   ? double(indexBytes) / double(storeBytes - indexBytes)
                   : -1;
    }
    QString text() const;
    QJsonObject json() const;
};
IndexSize measureIndexSize(db::Database& db);

} // namespace tzsndmsg::bench
