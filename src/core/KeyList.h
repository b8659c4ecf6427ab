#pragma once

// A list of keys bound as one value, so that a statement's text and its parse do not grow with
// the list (a list of hundreds of "?" costs more to parse than to run).
#include "tzsndmsg/db/Database.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace tzsndmsg::core {

// The keys as one bound value: a JSON array for SQLite's json_each, an array literal for
// PostgreSQL. Only numbers reach it.
inline QVariant keysValue(db::Backend backend, const QList<qint32>& keys)
{
    QString text;
    text.reserve(keys.size() * 7 + 2);
    for (qint32 key : keys) {
        if (!text.isEmpty())
            text += u',';
        text += QString::number(key);
    }
    return backend == db::Backend::Sqlite ? u'[' + text + u']' : u'{' + text + u'}';
}

// The condition "column is one of the keys bound at its place" (no brackets: it passes through
// the dialect's rewriting of bracketed names).
inline QString keysAmong(db::Backend backend, const QString& column)
{
    return backend == db::Backend::Sqlite
               ? column + QStringLiteral(" IN (SELECT value FROM json_each(?))")
               : column + QStringLiteral(" = ANY (CAST(? AS integer ARRAY))");
}

} // namespace tzsndmsg::core
