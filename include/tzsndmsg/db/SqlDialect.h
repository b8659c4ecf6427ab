#pragma once

#include <QString>

namespace tzsndmsg::db {

enum class Backend;

// Turns the component's statements, written in an older dialect (delete * from, [Alias],
// zelowin.dbo. prefixes, nested LEFT/right JOINs), into the dialect of the open database.
// Adapting an adapted statement changes nothing. String literals are never touched. It never
// fails: what it does not know passes unchanged. A host's HostServices::adaptSql can hand the
// statement to Database::dialect().adapt(). Any thread.
class SqlDialect {
public:
    explicit SqlDialect(Backend backend);
    Backend backend() const { return m_backend; }
    QString adapt(const QString& statement, int mode = 1) const;
    // A text as an SQL literal: 'O''Brien'.
    static QString quote(const QString& text);

private:
    Backend m_backend;
};

} // namespace tzsndmsg::db
