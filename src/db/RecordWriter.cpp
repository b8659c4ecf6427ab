#include "tzsndmsg/db/RecordWriter.h"

#include "Internals.h"
#include "common/VbFormat.h"
#include "tzsndmsg/db/Database.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

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

// A number column's reading of a text: a blank text is NULL (nullopt, still ok); one that does
// not read as a number fails with the reason given (%1 is the text) and also gives nullopt.
std::optional<double> numberOrNull(const QString& text, const QString& trimmed,
                                   const QString& notANumber, bool* ok, QString* error)
{
    if (trimmed.isEmpty())
        return std::nullopt;
    const auto n = numberOf(trimmed);
    if (!n)
        fail(ok, error, notANumber.arg(text));
    return n;
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
    const QString notANumber = QStringLiteral("\"%1\" is not a number.");
    switch (type) {
    case ColumnType::Integer:
    case ColumnType::SmallInt:
    case ColumnType::BigInt: {
        const auto n = numberOrNull(text, trimmed, notANumber, ok, error);
        if (!n)
            return QVariant();
        const double rounded = std::nearbyint(*n); // the default mode rounds half to even
        const double limit = type == ColumnType::SmallInt  ? 32767.0
                             : type == ColumnType::Integer ? 2147483647.0
                                                           : 9.2e18;
        if (rounded > limit || rounded < -limit - 1) {
            fail(ok, error, QStringLiteral("%1 is too large for the column.").arg(text));
            return QVariant();
        }
        return QVariant(qint64(rounded));
    }
    case ColumnType::Double:
    case ColumnType::Numeric: {
        const auto n = numberOrNull(text, trimmed, notANumber, ok, error);
        return n ? QVariant(*n) : QVariant();
    }
    case ColumnType::Boolean: {
        const auto n = numberOrNull(text, trimmed,
                                    QStringLiteral("\"%1\" is neither True nor False."), ok, error);
        return n ? QVariant(*n != 0.0) : QVariant();
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
        const bool dateAlone =
            parsed->date() != QDate(1899, 12, 30) && parsed->time() == QTime(0, 0);
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

namespace {

// What one (table, key, columns) write resolves to on one connection: the schema's names, the
// declared types and the statements. Kept until the schema changes or the connection goes.
struct WritePlan {
    std::weak_ptr<Database> owner;
    quint64 generation = 0;
    QString keyName;
    QStringList names; // as the schema spells them
    QVector<ColumnType> types;
    QString insertSql, updateSql;
};

struct PlanCache {
    std::mutex lock;
    QHash<QString, std::shared_ptr<const WritePlan>> plans; // connection address + names
};

PlanCache& planCache()
{
    static PlanCache cache;
    return cache;
}

QString planKey(const Database& db, const QString& table, const QString& keyColumn,
                const QStringList& names)
{
    // As the caller spells them: another spelling only makes another (equal) plan.
    QString key = QString::number(quintptr(&db), 16) + u'\x1f' + table + u'\x1f' + keyColumn;
    for (const QString& n : names)
        key += u'\x1f' + n;
    return key;
}

std::shared_ptr<const WritePlan> makePlan(Database& db, const QString& table,
                                          const QString& keyColumn, const QStringList& names,
                                          QString* error)
{
    const auto failWith = [error](const QString& text) {
        if (error)
            *error = text;
        return std::shared_ptr<const WritePlan>();
    };
    if (!isIdentifier(table) || !db.hasTable(table))
        return failWith(QStringLiteral("There is no table %1.").arg(table));

    QHash<QString, QString> actual; // lower-case -> the name in the schema
    for (const QString& c : db.columns(table))
        actual.insert(c.toLower(), c);
    auto plan = std::make_shared<WritePlan>();
    plan->owner = db.weak_from_this();
    plan->generation = db.schemaGeneration();
    plan->keyName = actual.value(keyColumn.trimmed().toLower());
    if (plan->keyName.isEmpty())
        return failWith(QStringLiteral("%1 has no key column %2.").arg(table, keyColumn));

    QStringList quoted;
    QSet<QString> seen;
    for (const QString& given : names) {
        const QString lower = given.trimmed().toLower();
        const QString name = actual.value(lower);
        if (name.isEmpty())
            return failWith(QStringLiteral("%1 has no column %2.").arg(table, given));
        if (seen.contains(lower))
            return failWith(QStringLiteral("The column %1 of %2 is given twice.").arg(name, table));
        seen.insert(lower);
        plan->names << name;
        plan->types << db.columnType(table, name);
        quoted << quoteIdentifier(name);
    }

    const QString key = quoteIdentifier(plan->keyName);
    if (quoted.isEmpty()) {
        plan->insertSql =
            QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING %2").arg(table, key);
        plan->updateSql = QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?").arg(key, table);
    } else {
        QStringList marks, sets;
        for (const QString& c : quoted) {
            marks << QStringLiteral("?");
            sets << c + QStringLiteral(" = ?");
        }
        plan->insertSql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING %4")
                              .arg(table, quoted.join(u','), marks.join(u','), key);
        plan->updateSql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                              .arg(table, sets.join(QStringLiteral(", ")), key);
    }
    return plan;
}

std::shared_ptr<const WritePlan> planFor(Database& db, const QString& table,
                                         const QString& keyColumn, const QStringList& names,
                                         QString* error)
{
    const QString key = planKey(db, table, keyColumn, names);
    PlanCache& cache = planCache();
    {
        std::lock_guard<std::mutex> guard(cache.lock);
        const auto found = cache.plans.constFind(key);
        if (found != cache.plans.constEnd()) {
            const WritePlan& p = **found;
            // Same connection (not a new one at a freed address) and the same schema.
            if (p.owner.lock().get() == &db && p.generation == db.schemaGeneration())
                return *found;
        }
    }
    auto plan = makePlan(db, table, keyColumn, names, error);
    if (plan) {
        std::lock_guard<std::mutex> guard(cache.lock);
        // Plans of connections that are gone are dropped as new ones come.
        for (auto it = cache.plans.begin(); it != cache.plans.end();)
            it = it.value()->owner.expired() ? cache.plans.erase(it) : std::next(it);
        cache.plans.insert(key, plan);
    }
    return plan;
}

// Appends one row's texts to values, each converted for its column; false with the reason,
// naming the text, the column and the table, when one cannot be stored.
bool appendConverted(const WritePlan& plan, const QString& table, const QStringList& texts,
                     QVariantList& values, QString* error)
{
    for (qsizetype i = 0; i < texts.size(); ++i) {
        bool ok = true;
        QString why;
        const QVariant v = convertText(texts.at(i), plan.types.at(i), &ok, &why);
        if (!ok) {
            if (error)
                *error = QStringLiteral("Cannot store \"%1\" in the column %2 of %3: %4")
                             .arg(texts.at(i), plan.names.at(i), table, why);
            return false;
        }
        values << v;
    }
    return true;
}

} // namespace

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
                            .arg(table)
                            .arg(names.size())
                            .arg(texts.size()));
    const auto plan = planFor(db, table, keyColumn, names, error);
    if (!plan)
        return false;

    QVariantList values;
    values.reserve(texts.size() + 1);
    if (!appendConverted(*plan, table, texts, values, error))
        return false;
    const bool inserting = key == 0;
    if (!inserting)
        values << key;
    const QString& sql = inserting ? plan->insertSql : plan->updateSql;

    QSqlQuery* q = Internals::preparedStatement(db, sql, error);
    if (!q)
        return false;
    for (qsizetype i = 0; i < values.size(); ++i)
        q->bindValue(int(i), values.at(i));
    if (QString why; !Internals::execPrepared(db, *q, &why)) {
        q->finish();
        return failWith(QStringLiteral("Cannot write to %1: %2").arg(table, why));
    }

    if (inserting) {
        const bool back = q->next();
        const qint64 newKey = back ? q->value(0).toLongLong() : 0;
        q->finish();
        if (!back)
            return failWith(QStringLiteral("%1: the new row's key did not come back.").arg(table));
        key = newKey;
        return true;
    }
    const bool found = plan->names.isEmpty() ? q->next() : q->numRowsAffected() > 0;
    q->finish();
    if (!found)
        return failWith(QStringLiteral("There is no row of %1 with %2 = %3.")
                            .arg(table, plan->keyName)
                            .arg(key));
    return true;
}

bool insertRecords(Database& db, const QString& table, const QString& keyColumn,
                   const QStringList& names, const QList<QStringList>& rows, QString* error)
{
    const auto failWith = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (rows.isEmpty())
        return true;
    const auto plan = planFor(db, table, keyColumn, names, error);
    if (!plan)
        return false;
    if (plan->names.isEmpty())
        return failWith(QStringLiteral("%1: no columns to insert.").arg(table));
    const qsizetype width = plan->names.size();

    // Every text converted before anything is written.
    QVariantList values;
    values.reserve(rows.size() * width);
    for (const QStringList& texts : rows) {
        if (texts.size() != width)
            return failWith(QStringLiteral("%1: %2 column names but %3 values.")
                                .arg(table)
                                .arg(width)
                                .arg(texts.size()));
        if (!appendConverted(*plan, table, texts, values, error))
            return false;
    }

    QStringList quoted;
    for (const QString& name : plan->names)
        quoted << quoteIdentifier(name);
    const QString head =
        QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, quoted.join(u','));
    const QString tuple = u'(' + QStringList(int(width), QStringLiteral("?")).join(u',') + u')';
    // Statements of 64 rows, the rest in halves (64, 32, ... 1): a handful of statements kept
    // prepared for any number of rows, each well under the bound values a statement may have.
    constexpr qsizetype Most = 64;
    qsizetype at = 0;
    while (at < rows.size()) {
        qsizetype n = Most;
        while (n > rows.size() - at)
            n /= 2;
        QString sql = head;
        for (qsizetype r = 0; r < n; ++r)
            sql += (r ? QStringLiteral(",") : QString()) + tuple;
        QSqlQuery* q = Internals::preparedStatement(db, sql, error);
        if (!q)
            return false;
        const qsizetype first = at * width;
        for (qsizetype i = 0; i < n * width; ++i)
            q->bindValue(int(i), values.at(first + i));
        QString why;
        const bool done = Internals::execPrepared(db, *q, &why);
        q->finish();
        if (!done)
            return failWith(QStringLiteral("Cannot write to %1: %2").arg(table, why));
        at += n;
    }
    return true;
}

} // namespace tzsndmsg::db
