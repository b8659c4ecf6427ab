#pragma once

#include "tzsndmsg/db/Recordset.h"

#include <QStringList>

namespace tzsndmsg::testing {

// Each row as its columns' texts joined by '|', a NULL as "<null>": a row compared in one line.
inline QStringList rowTexts(db::Recordset& rs)
{
    QStringList out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        QStringList values;
        for (int i = 0; i < rs.fieldCount(); ++i)
            values << (rs.value(i).isValid() ? rs.value(i).toString() : "<null>");
        out << values.join(u'|');
    }
    return out;
}

} // namespace tzsndmsg::testing
