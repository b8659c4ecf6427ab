#pragma once

#include <QVariant>

namespace tzsndmsg::db {
class Recordset;
class Reader;
} // namespace tzsndmsg::db

namespace tzsndmsg::common {

// A column of the current row, with a type-dependent empty value instead of Null.
// Reading errors (no current row, unknown column) give Null at first; asking the type of
// an unknown column then raises db::FieldError to the caller.
QVariant FieldValue(const db::Recordset& rs, const QString& column);
QVariant FieldValueOrZero(const db::Recordset& rs, const QString& column);

// The same tables, by ADO type code, for values read elsewhere.
QVariant FieldValueForNull(int adoTypeCode);
QVariant FieldValueOrZeroForNull(int adoTypeCode);

} // namespace tzsndmsg::common
