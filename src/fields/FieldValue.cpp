#include "FieldValue.h"

#include "common/AutoDate.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg::common {

namespace {

enum AdoType {
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBSTR = 8,
    adBoolean = 11,
    adDecimal = 14,
    adBigInt = 20,
    adFileTime = 64,
    adNumeric = 131,
    adChar = 129,
    adWChar = 130,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
};

enum class Empty { Null, Zero, ZeroDate, Midnight, False, EmptyText, Unlisted };

// What both tables agree on; the rows where they differ are resolved by the callers.
Empty commonEmpty(int code)
{
    switch (code) {
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDecimal:
    case adBigInt:
    case adNumeric:
        return Empty::Zero;
    case adDate:
    case adDBDate:
        return Empty::ZeroDate;
    case adDBTime:
        return Empty::Midnight;
    case adBoolean:
        return Empty::False;
    case adChar:
    case adWChar:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
        return Empty::EmptyText;
    default:
        return Empty::Unlisted;
    }
}

QVariant emptyValue(Empty kind)
{
    switch (kind) {
    case Empty::Zero:
        return QVariant(int(0));
    case Empty::ZeroDate:
    case Empty::Midnight:
        return QVariant::fromValue(AutoDate::zero());
    case Empty::False:
        return QVariant(false);
    case Empty::EmptyText:
        return QVariant(QStringLiteral(""));
    case Empty::Null:
    case Empty::Unlisted:
        return QVariant();
    }
    return QVariant();
}

bool isNullValue(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

// Step 1: any reading error leaves Null.
QVariant readOrNull(const db::Recordset& rs, const QString& column)
{
    try {
        return rs.value(column);
    } catch (const db::FieldError&) {
        return QVariant();
    }
}

} // namespace

QVariant FieldValueForNull(int adoTypeCode)
{
    switch (adoTypeCode) {
    case adDBTimeStamp:
    case adFileTime:
    case adBSTR:
        return QVariant();
    default:
        return emptyValue(commonEmpty(adoTypeCode));
    }
}

QVariant FieldValueOrZeroForNull(int adoTypeCode)
{
    switch (adoTypeCode) {
    case adDBTimeStamp:
        return emptyValue(Empty::ZeroDate);
    case adFileTime:
        return emptyValue(Empty::Midnight);
    case adBSTR:
        return emptyValue(Empty::EmptyText);
    default:
        break;
    }
    const Empty kind = commonEmpty(adoTypeCode);
    return emptyValue(kind == Empty::Unlisted ? Empty::Zero : kind);
}

QVariant FieldValue(const db::Recordset& rs, const QString& column)
{
    QVariant v = readOrNull(rs, column);
    if (!isNullValue(v))
        return v;
    // Not caught: an unknown column reaches the caller here.
    return FieldValueForNull(rs.fieldType(column));
}

QVariant FieldValueOrZero(const db::Recordset& rs, const QString& column)
{
    QVariant v = readOrNull(rs, column);
    if (!isNullValue(v))
        return v;
    return FieldValueOrZeroForNull(rs.fieldType(column));
}

} // namespace tzsndmsg::common
