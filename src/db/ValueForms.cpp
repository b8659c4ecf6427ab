#include "ValueForms.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

namespace tzsndmsg::db::detail {

ColumnType columnTypeFromName(const QString& declared)
{
    QString name = declared.trimmed().toLower();
    const qsizetype paren = name.indexOf(u'(');
    if (paren >= 0)
        name = name.left(paren).trimmed();
    if (name == QLatin1String("integer") || name == QLatin1String("int") ||
        name == QLatin1String("int4") || name == QLatin1String("mediumint"))
        return ColumnType::Integer;
    if (name == QLatin1String("smallint") || name == QLatin1String("int2") ||
        name == QLatin1String("tinyint"))
        return ColumnType::SmallInt;
    if (name == QLatin1String("bigint") || name == QLatin1String("int8"))
        return ColumnType::BigInt;
    if (name == QLatin1String("double") || name == QLatin1String("real") ||
        name == QLatin1String("float") || name == QLatin1String("double precision") ||
        name == QLatin1String("float8") || name == QLatin1String("float4"))
        return ColumnType::Double;
    if (name == QLatin1String("numeric") || name == QLatin1String("decimal"))
        return ColumnType::Numeric;
    if (name == QLatin1String("boolean") || name == QLatin1String("bool"))
        return ColumnType::Boolean;
    if (name == QLatin1String("text") || name == QLatin1String("varchar") ||
        name == QLatin1String("character varying") || name == QLatin1String("char") ||
        name == QLatin1String("character") || name == QLatin1String("nvarchar"))
        return ColumnType::Text;
    if (name == QLatin1String("longtext"))
        return ColumnType::LongText;
    if (name == QLatin1String("datetext"))
        return ColumnType::DateText;
    if (name == QLatin1String("timetext"))
        return ColumnType::TimeText;
    if (name == QLatin1String("datetime") || name.startsWith(QLatin1String("timestamp")))
        return ColumnType::DateTime;
    if (name == QLatin1String("blob") || name == QLatin1String("bytea"))
        return ColumnType::Binary;
    return ColumnType::Unknown;
}

namespace {

bool isIntegral(QMetaType t)
{
    switch (t.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

QDateTime parseStoredDateTime(const QString& text)
{
    static const char* const forms[] = {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss",
                                        "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss.zzz",
                                        "yyyy-MM-dd HH:mm", "yyyy-MM-dd"};
    for (const char* form : forms) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(form));
        if (dt.isValid())
            return dt;
    }
    return {};
}

} // namespace

QVariant readForm(const QVariant& raw, bool isNull, ColumnType type)
{
    if (isNull || !raw.isValid() || raw.isNull())
        return QVariant();
    const QMetaType meta = raw.metaType();
    const bool isString = meta.id() == QMetaType::QString;
    const QLocale c = QLocale::c();
    switch (type) {
    case ColumnType::DateText:
        if (isString) {
            const QString s = raw.toString();
            if (s.size() == 10 && s.at(4) == u'-' && s.at(7) == u'-') {
                const QDate date = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
                if (date.isValid())
                    return c.toString(date, QStringLiteral("MM/dd/yyyy"));
            }
            return s;
        }
        if (meta.id() == QMetaType::QDate)
            return c.toString(raw.toDate(), QStringLiteral("MM/dd/yyyy"));
        break;
    case ColumnType::TimeText:
        if (isString) {
            const QString s = raw.toString();
            if (s.size() == 8 && s.at(2) == u':' && s.at(5) == u':') {
                const QTime time = QTime::fromString(s, QStringLiteral("HH:mm:ss"));
                if (time.isValid())
                    return c.toString(time, QStringLiteral("h:mm:ss AP"));
            }
            return s;
        }
        if (meta.id() == QMetaType::QTime)
            return c.toString(raw.toTime(), QStringLiteral("h:mm:ss AP"));
        break;
    case ColumnType::DateTime:
        if (isString) {
            const QDateTime dt = parseStoredDateTime(raw.toString());
            return dt.isValid() ? QVariant(dt) : raw;
        }
        if (meta.id() == QMetaType::QDate)
            return QDateTime(raw.toDate(), QTime(0, 0));
        break;
    case ColumnType::Boolean:
        if (meta.id() == QMetaType::Bool)
            return raw;
        if (isIntegral(meta))
            return QVariant(raw.toLongLong() != 0);
        break;
    case ColumnType::Double:
    case ColumnType::Numeric:
        if (isString) {
            bool ok = false;
            const double v = c.toDouble(raw.toString(), &ok);
            if (ok)
                return v;
        }
        break;
    default:
        break;
    }
    if (isIntegral(meta))
        return QVariant(qint64(raw.toLongLong()));
    return raw;
}

int adoTypeCodeOfMetaType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return 3;
    case QMetaType::Double:
    case QMetaType::Float:
        return 5;
    case QMetaType::Bool:
        return 11;
    case QMetaType::QString:
    case QMetaType::QChar:
        return 202;
    case QMetaType::QDateTime:
        return 135;
    case QMetaType::QDate:
        return 133;
    case QMetaType::QTime:
        return 134;
    case QMetaType::QByteArray:
        return 205;
    default:
        return 0;
    }
}

bool isDdl(const QString& statement)
{
    static const QRegularExpression ddl(QStringLiteral(R"(^\s*(create|alter|drop)\b)"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(statement).hasMatch();
}

} // namespace tzsndmsg::db::detail
