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

// Stored dates and times are read by hand: every row of a list carries several, and Qt's
// format parser (with a zone lookup per try for date-times) cost more than the rest of the row.

// The number in text[from, from + n) when all of it is ASCII digits, else -1.
int digitsAt(QStringView text, qsizetype from, qsizetype n)
{
    int value = 0;
    for (qsizetype i = from; i < from + n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// "yyyy-MM-dd" at the start of text.
QDate isoDateAt(QStringView text)
{
    if (text.size() < 10 || text[4] != u'-' || text[7] != u'-')
        return {};
    const int y = digitsAt(text, 0, 4), m = digitsAt(text, 5, 2), d = digitsAt(text, 8, 2);
    return y >= 0 && m >= 0 && d >= 0 && QDate::isValid(y, m, d) ? QDate(y, m, d) : QDate();
}

// "HH:mm", "HH:mm:ss" or "HH:mm:ss.zzz" (the whole of text).
QTime isoTime(QStringView text)
{
    const qsizetype n = text.size();
    if ((n != 5 && n != 8 && n != 12) || text[2] != u':')
        return {};
    const int h = digitsAt(text, 0, 2), m = digitsAt(text, 3, 2);
    int s = 0, ms = 0;
    if (n >= 8 && (text[5] != u':' || (s = digitsAt(text, 6, 2)) < 0))
        return {};
    if (n == 12 && (text[8] != u'.' || (ms = digitsAt(text, 9, 3)) < 0))
        return {};
    return h >= 0 && m >= 0 && QTime::isValid(h, m, s, ms) ? QTime(h, m, s, ms) : QTime();
}

// "yyyy-MM-dd", or with " " or "T" and a time: a local date-time.
QDateTime parseStoredDateTime(const QString& text)
{
    const QDate date = isoDateAt(text);
    if (!date.isValid())
        return {};
    if (text.size() == 10)
        return QDateTime(date, QTime(0, 0));
    if (text[10] != u' ' && text[10] != u'T')
        return {};
    const QTime time = isoTime(QStringView(text).mid(11));
    if (!time.isValid() || (text[10] == u'T' && text.size() == 16))
        return {};
    return QDateTime(date, time);
}

QString twoDigits(int v)
{
    return QString(QChar(u'0' + v / 10)) + QChar(u'0' + v % 10);
}

} // namespace

QDate dateOfListText(const QString& text)
{
    // The form readers give, read by hand; anything else as a person may have typed it.
    if (text.size() == 10 && text[2] == u'/' && text[5] == u'/') {
        const int m = digitsAt(text, 0, 2), d = digitsAt(text, 3, 2), y = digitsAt(text, 6, 4);
        if (m >= 0 && d >= 0 && y >= 0)
            return QDate::isValid(y, m, d) ? QDate(y, m, d) : QDate();
    }
    return QDate::fromString(text, QStringLiteral("MM/dd/yyyy"));
}

QTime timeOfListText(const QString& text)
{
    const qsizetype n = text.size();
    if ((n == 10 || n == 11) && text[n - 9] == u':' && text[n - 6] == u':' && text[n - 3] == u' ' &&
        text[n - 1] == u'M' && (text[n - 2] == u'A' || text[n - 2] == u'P')) {
        const int h = digitsAt(text, 0, n - 9), m = digitsAt(text, n - 8, 2),
                  s = digitsAt(text, n - 5, 2);
        if (h >= 1 && h <= 12 && m >= 0 && s >= 0)
            return QTime::isValid(h % 12 + (text[n - 2] == u'P' ? 12 : 0), m, s)
                       ? QTime(h % 12 + (text[n - 2] == u'P' ? 12 : 0), m, s)
                       : QTime();
    }
    return QLocale::c().toTime(text, QStringLiteral("h:mm:ss AP"));
}

QVariant readForm(const QVariant& raw, bool isNull, ColumnType type)
{
    if (isNull || !raw.isValid() || raw.isNull())
        return QVariant();
    const QMetaType meta = raw.metaType();
    const bool isString = meta.id() == QMetaType::QString;
    switch (type) {
    case ColumnType::DateText:
        if (isString) {
            const QString s = raw.toString();
            // "yyyy-MM-dd" as "MM/dd/yyyy".
            if (s.size() == 10 && isoDateAt(s).isValid())
                return s.mid(5, 2) + u'/' + s.mid(8, 2) + u'/' + s.left(4);
            return s;
        }
        if (meta.id() == QMetaType::QDate)
            return QLocale::c().toString(raw.toDate(), QStringLiteral("MM/dd/yyyy"));
        break;
    case ColumnType::TimeText:
        if (isString) {
            const QString s = raw.toString();
            // "HH:mm:ss" as "h:mm:ss AP".
            const QTime time = s.size() == 8 ? isoTime(s) : QTime();
            if (time.isValid()) {
                const int h12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
                return QString::number(h12) + u':' + twoDigits(time.minute()) + u':' +
                       twoDigits(time.second()) +
                       (time.hour() < 12 ? QLatin1String(" AM") : QLatin1String(" PM"));
            }
            return s;
        }
        if (meta.id() == QMetaType::QTime)
            return QLocale::c().toString(raw.toTime(), QStringLiteral("h:mm:ss AP"));
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
            const double v = QLocale::c().toDouble(raw.toString(), &ok);
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
