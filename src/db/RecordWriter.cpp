#include "RecordWriter.h"

#include "Database.h"
#include "common/VbFormat.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <limits>

namespace tzsndmsg::db {

namespace {

void fail(bool* ok, QString* error, const QString& text)
{
    if (ok)
        *ok = false;
    if (error)
        *error = text;
}

// The automation reading of a number text: blanks around, sign, decimals, True/False.
std::optional<double> numberOf(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return -1.0;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return 0.0;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString nonNull(const QString& text)
{
    return text.isNull() ? QString(0, QChar()) : text;
}

bool isIdentifier(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

QString quoteIdentifier(const QString& name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

} // namespace

QVariant convertText(const QString& text, ColumnType type, bool* ok, QString* error)
{
    if (ok)
        *ok = true;
    const QString trimmed = text.trimmed();
    switch (type) {
    case ColumnType::Integer:
    case ColumnType::SmallInt:
    case ColumnType::BigInt: {
        if (trimmed.isEmpty())
            return QVariant();
        const auto n = numberOf(trimmed);
        if (!n) {
            fail(ok, error, QStringLiteral("\"%1\" is not a number.").arg(text));
            return QVariant();
        }
        const double rounded = std::nearbyint(*n); // the default mode rounds half to even
        const double limit = type == ColumnType::SmallInt ? 32767.0
                           : type == ColumnType::Integer  ? 2147483647.0
                                                          : 9.2e18;
        if (rounded > limit || rounded < -limit - 1) {
            fail(ok, error, QStringLiteral("%1 is too large for the column.").arg(text));
            return QVariant();
        }
        return QVariant(qint64(rounded));
    }
    case ColumnType::Double:
    case ColumnType::Numeric: {
        if (trimmed.isEmpty())
            return QVariant();
        const auto n = numberOf(trimmed);
        if (!n) {
            fail(ok, error, QStringLiteral("\"%1\" is not a number.").arg(text));
            return QVariant();
        }
        return QVariant(*n);
    }
    case ColumnType::Boolean: {
        if (trimmed.isEmpty())
            return QVariant();
        const auto n = numberOf(trimmed);
        if (!n) {
            fail(ok, error, QStringLiteral("\"%1\" is neither True nor False.").arg(text));
            return QVariant();
        }
        return QVariant(*n != 0.0);
    }
    case ColumnType::DateText: {
        const auto parsed = common::vb::parseDate(trimmed);
        if (!parsed)
            return nonNull(text);
        const QDate date = parsed->date();
        const QTime time = parsed->time();
        const bool dateAlone = time == QTime(0, 0);
        const bool timeAlone = date == QDate(1899, 12, 30);
        // A date with a time of day keeps its text: cutting the time would lose it.
        if (!dateAlone && !timeAlone)
            return nonNull(text);
        return QLocale::c().toString(date, QStringLiteral("yyyy-MM-dd"));
    }
    case ColumnType::TimeText: {
        const auto parsed = common::vb::parseDate(trimmed);
        if (!parsed)
            return nonNull(text);
        const bool dateAlone = parsed->date() != QDate(1899, 12, 30) && parsed->time() == QTime(0, 0);
        if (dateAlone)
            return nonNull(text);
        return QLocale::c().toString(parsed->time(), QStringLiteral("HH:mm:ss"));
    }
    case ColumnType::DateTime: {
        if (trimmed.isEmpty())
            return QVariant();
        const auto parsed = common::vb::parseDate(trimmed);
        if (!parsed) {
            fail(ok, error, QStringLiteral("\"%1\" is not a date and time.").arg(text));
            return QVariant();
        }
        return QLocale::c().toString(parsed->dateTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case ColumnType::Binary:
        if (text.isEmpty())
            return QVariant();
        return text.toUtf8();
    case ColumnType::Text:
    case ColumnType::LongText:
    case ColumnType::Unknown:
        break;
    }
    return nonNull(text);
}

bool writeRecord(Database& db, const QString& table, const QString& keyColumn, qint64& key,
                 const QStringList& names, const QStringList& texts, QString* error)
{
    const auto failWith = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (names.size() != texts.size())
        return failWith(QStringLiteral("%1: %2 column names but %3 values.")
                            .arg(table).arg(names.size()).arg(texts.size()));
    if (!isIdentifier(table) || !db.hasTable(table))
        return failWith(QStringLiteral("There is no table %1.").arg(table));

    QHash<QString, QString> actual; // lower-case -> the name in the schema
    for (const QString& c : db.columns(table))
        actual.insert(c.toLower(), c);
    const QString keyName = actual.value(keyColumn.trimmed().toLower());
    if (keyName.isEmpty())
        return failWith(QStringLiteral("%1 has no key column %2.").arg(table, keyColumn));

    QStringList columns;
    QVariantList values;
    QSet<QString> seen;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString lower = names.at(i).trimmed().toLower();
        const QString name = actual.value(lower);
        if (name.isEmpty())
            return failWith(QStringLiteral("%1 has no column %2.").arg(table, names.at(i)));
        if (seen.contains(lower))
            return failWith(QStringLiteral("The column %1 of %2 is given twice.").arg(name, table));
        seen.insert(lower);
        bool ok = true;
        QString why;
        const QVariant v = convertText(texts.at(i), db.columnType(table, name), &ok, &why);
        if (!ok)
            return failWith(QStringLiteral("Cannot store \"%1\" in the column %2 of %3: %4")
                                .arg(texts.at(i), name, table, why));
        columns << quoteIdentifier(name);
        values << v;
    }

    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    QString sql;
    if (key == 0) {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        sql = columns.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING %2").arg(table, quoteIdentifier(keyName))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
                  .arg(table, columns.join(u','), marks.join(u','), quoteIdentifier(keyName));
    } else if (columns.isEmpty()) {
        sql = QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?").arg(quoteIdentifier(keyName), table);
        values << key;
    } else {
        QStringList sets;
        for (const QString& c : columns)
            sets << c + QStringLiteral(" = ?");
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                  .arg(table, sets.join(QStringLiteral(", ")), quoteIdentifier(keyName));
        values << key;
    }
    if (!q.prepare(sql))
        return failWith(q.lastError().text().trimmed());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        return failWith(QStringLiteral("Cannot write to %1: %2").arg(table, q.lastError().text().trimmed()));

    if (key == 0) {
        if (!q.next())
            return failWith(QStringLiteral("%1: the new row's key did not come back.").arg(table));
        key = q.value(0).toLongLong();
        q.finish();
        return true;
    }
    const bool found = columns.isEmpty() ? q.next() : q.numRowsAffected() > 0;
    q.finish();
    if (!found)
        return failWith(QStringLiteral("There is no row of %1 with %2 = %3.").arg(table, keyName).arg(key));
    return true;
}

} // namespace tzsndmsg::db
