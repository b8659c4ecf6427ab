#include "tzsndmsg/db/Recordset.h"

#include "Internals.h"
#include "ValueForms.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>
#include <QTime>
#include <algorithm>
#include <numeric>

namespace tzsndmsg::db {

namespace {

// Column names, their declared types and a case-insensitive index where the first name wins.
struct Columns {
    QStringList names;
    QList<ColumnType> types;
    QList<QMetaType> metaTypes;
    QHash<QString, int> index;
    // Names as callers spell them: a grid asks for the same few names for every cell.
    mutable QHash<QString, int> asGiven;

    void load(Database& db, const QSqlRecord& record)
    {
        for (int i = 0; i < record.count(); ++i) {
            const QString name = record.fieldName(i);
            names << name;
            types << db.columnTypeByName(name);
            metaTypes << record.field(i).metaType();
            const QString key = name.toLower();
            if (!index.contains(key))
                index.insert(key, i);
        }
    }

    int find(const QString& name) const
    {
        const auto given = asGiven.constFind(name);
        if (given != asGiven.constEnd())
            return given.value();
        const int found = findByKey(name);
        if (asGiven.size() < 512)
            asGiven.insert(name, found);
        return found;
    }

    int findByKey(const QString& name) const
    {
        QString key = name.trimmed().toLower();
        if (key.size() > 1 && ((key.startsWith(u'[') && key.endsWith(u']')) ||
                               (key.startsWith(u'"') && key.endsWith(u'"'))))
            key = key.mid(1, key.size() - 2);
        auto it = index.constFind(key);
        if (it != index.constEnd())
            return it.value();
        const qsizetype dot = key.lastIndexOf(u'.');
        if (dot >= 0) {
            it = index.constFind(key.mid(dot + 1));
            if (it != index.constEnd())
                return it.value();
        }
        return -1;
    }
};

[[noreturn]] void missingField(const QString& name)
{
    throw FieldError("Item cannot be found in the collection corresponding to the requested name "
                     "or ordinal: " +
                     name.toStdString());
}

[[noreturn]] void noCurrentRow()
{
    throw FieldError("Either BOF or EOF is True, or the current record has been deleted.");
}

// A value reduced to something that orders as the system orders it.
struct SortKey {
    int kind = 0; // 0 null, 1 number, 2 moment, 3 text
    double number = 0;
    QString text;
};

SortKey sortKey(const QVariant& v, ColumnType type)
{
    SortKey k;
    if (!v.isValid() || v.isNull())
        return k;
    const int id = v.metaType().id();
    if (id == QMetaType::QString) {
        const QString s = v.toString();
        // An empty date or time field means no date: it sorts with the nulls.
        if ((type == ColumnType::DateText || type == ColumnType::TimeText) && s.trimmed().isEmpty())
            return k;
        if (type == ColumnType::DateText) {
            const QDate d = detail::dateOfListText(s);
            if (d.isValid())
                return {2, double(d.toJulianDay()), {}};
        } else if (type == ColumnType::TimeText) {
            const QTime t = detail::timeOfListText(s);
            if (t.isValid())
                return {2, double(t.msecsSinceStartOfDay()), {}};
        }
        return {3, 0, s};
    }
    if (id == QMetaType::Bool)
        return {1, v.toBool() ? -1.0 : 0.0, {}};
    if (id == QMetaType::QDateTime)
        return {2, double(v.toDateTime().toMSecsSinceEpoch()), {}};
    if (id == QMetaType::QDate)
        return {2, double(v.toDate().toJulianDay()), {}};
    if (id == QMetaType::QTime)
        return {2, double(v.toTime().msecsSinceStartOfDay()), {}};
    bool ok = false;
    const double n = v.toDouble(&ok);
    if (ok)
        return {1, n, {}};
    return {3, 0, v.toString()};
}

int compareKeys(const SortKey& a, const SortKey& b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind ? -1 : 1;
    if (a.kind == 1 || a.kind == 2)
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    if (a.kind == 3)
        return a.text.compare(b.text, Qt::CaseInsensitive);
    return 0;
}

// One parsed "column op value" of find.
struct Criterion {
    int column = -1;
    QString op;
    QVariant value; // double or QString
    bool isNull = false;
};

bool parseCriterion(const QString& text, const Columns& cols, Criterion& out)
{
    static const QRegularExpression re(
        QStringLiteral(
            R"(^\s*(\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_.]*)\s*(<=|>=|<>|=|<|>|\blike\b)\s*(.*?)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    out.column = cols.find(m.captured(1));
    if (out.column < 0)
        missingField(m.captured(1));
    out.op = m.captured(2).toLower();
    QString v = m.captured(3);
    if (v.size() >= 2 &&
        ((v.startsWith(u'\'') && v.endsWith(u'\'')) || (v.startsWith(u'#') && v.endsWith(u'#')))) {
        const QChar q = v.at(0);
        v = v.mid(1, v.size() - 2);
        if (q == u'\'')
            v.replace(QStringLiteral("''"), QStringLiteral("'"));
        out.value = v;
        return true;
    }
    if (v.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0) {
        out.isNull = true;
        return true;
    }
    bool ok = false;
    const double n = QLocale::c().toDouble(v, &ok);
    out.value = ok ? QVariant(n) : QVariant(v);
    return true;
}

bool matches(const QVariant& field, const Criterion& c)
{
    const bool fieldNull = !field.isValid() || field.isNull();
    if (c.isNull)
        return c.op == QLatin1String("=") ? fieldNull : (c.op == QLatin1String("<>") && !fieldNull);
    if (fieldNull)
        return false;
    if (c.op == QLatin1String("like")) {
        QString pattern = QRegularExpression::escape(c.value.toString());
        pattern.replace(QStringLiteral("\\*"), QStringLiteral(".*"));
        pattern.replace(QStringLiteral("%"), QStringLiteral(".*"));
        const QRegularExpression re(QRegularExpression::anchoredPattern(pattern),
                                    QRegularExpression::CaseInsensitiveOption |
                                        QRegularExpression::DotMatchesEverythingOption);
        return re.match(field.toString()).hasMatch();
    }
    int cmp = 0;
    if (c.value.metaType().id() == QMetaType::Double) {
        bool ok = false;
        const double f = field.metaType().id() == QMetaType::Bool ? (field.toBool() ? -1.0 : 0.0)
                                                                  : field.toDouble(&ok);
        if (field.metaType().id() != QMetaType::Bool && !ok)
            return false;
        const double v = c.value.toDouble();
        cmp = f < v ? -1 : (f > v ? 1 : 0);
    } else {
        cmp = field.toString().compare(c.value.toString(), Qt::CaseInsensitive);
    }
    if (c.op == QLatin1String("="))
        return cmp == 0;
    if (c.op == QLatin1String("<>"))
        return cmp != 0;
    if (c.op == QLatin1String("<"))
        return cmp < 0;
    if (c.op == QLatin1String(">"))
        return cmp > 0;
    if (c.op == QLatin1String("<="))
        return cmp <= 0;
    return cmp >= 0;
}

} // namespace

struct Recordset::Data {
    std::shared_ptr<Database> db;
    QString statement;
    QVariantList params;
    Columns columns;
    std::vector<QVariantList> rows;
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(const Recordset&) = default;
Recordset& Recordset::operator=(const Recordset&) = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

Recordset Recordset::fromQuery(std::shared_ptr<Database> db, QSqlQuery& query,
                               const QString& statement, const QVariantList& params)
{
    auto data = std::make_shared<Data>();
    data->statement = statement;
    data->params = params;
    data->columns.load(*db, query.record());
    const int n = int(data->columns.names.size());
    while (query.next()) {
        QVariantList row;
        row.reserve(n);
        for (int i = 0; i < n; ++i)
            row << detail::readForm(query.value(i), query.isNull(i), data->columns.types.at(i));
        data->rows.push_back(std::move(row));
    }
    // A value type the driver could not tell from the declaration is taken from the rows.
    for (int i = 0; i < n; ++i) {
        for (const QVariantList& row : data->rows) {
            if (row.at(i).isValid()) {
                data->columns.metaTypes[i] = row.at(i).metaType();
                break;
            }
        }
    }
    data->db = std::move(db);

    Recordset rs;
    rs.m_data = std::move(data);
    auto order = std::make_shared<std::vector<int>>(rs.m_data->rows.size());
    std::iota(order->begin(), order->end(), 0);
    rs.m_order = std::move(order);
    rs.m_pos = 0;
    return rs;
}

bool Recordset::isOpen() const
{
    return bool(m_data);
}

void Recordset::close()
{
    m_data.reset();
    m_order.reset();
    m_pos = -1;
    m_sort.clear();
}

QString Recordset::statement() const
{
    return m_data ? m_data->statement : QString();
}

bool Recordset::requery(QString* error)
{
    if (!m_data || !m_data->db) {
        if (error)
            *error = QStringLiteral("The recordset is not open.");
        return false;
    }
    QString e;
    Recordset fresh = m_data->db->query(m_data->statement, m_data->params, &e);
    if (!fresh.isOpen()) {
        if (error)
            *error = e;
        return false;
    }
    const QString sortOrder = m_sort;
    *this = std::move(fresh);
    if (!sortOrder.isEmpty())
        setSort(sortOrder);
    moveFirst();
    return true;
}

int Recordset::recordCount() const
{
    return m_data ? int(m_data->rows.size()) : 0;
}
bool Recordset::isEmpty() const
{
    return recordCount() == 0;
}
bool Recordset::bof() const
{
    return isEmpty() || m_pos < 0;
}
bool Recordset::eof() const
{
    return isEmpty() || m_pos >= recordCount();
}

void Recordset::moveFirst()
{
    m_pos = 0;
}

void Recordset::moveLast()
{
    m_pos = isEmpty() ? 0 : recordCount() - 1;
}

void Recordset::moveNext()
{
    if (m_pos < recordCount())
        ++m_pos;
}

void Recordset::movePrevious()
{
    if (m_pos >= 0)
        --m_pos;
}

int Recordset::absolutePosition() const
{
    if (isEmpty())
        return PosUnknown;
    if (m_pos < 0)
        return PosBOF;
    if (m_pos >= recordCount())
        return PosEOF;
    return m_pos + 1;
}

bool Recordset::setAbsolutePosition(int position)
{
    if (position < 1 || position > recordCount())
        return false;
    m_pos = position - 1;
    return true;
}

Recordset::Bookmark Recordset::bookmark() const
{
    if (bof() || eof())
        return -1;
    return (*m_order)[size_t(m_pos)];
}

bool Recordset::setBookmark(Bookmark mark)
{
    if (!m_data || mark < 0 || mark >= recordCount())
        return false;
    if (m_sort.isEmpty()) {
        m_pos = int(mark);
        return true;
    }
    const auto it = std::find(m_order->begin(), m_order->end(), int(mark));
    if (it == m_order->end())
        return false;
    m_pos = int(it - m_order->begin());
    return true;
}

bool Recordset::find(const QString& criteria)
{
    if (!m_data)
        return false;
    Criterion c;
    if (!parseCriterion(criteria, m_data->columns, c))
        throw FieldError("Bad search criteria: " + criteria.toStdString());
    const int n = recordCount();
    for (int p = qMax(m_pos, 0); p < n; ++p) {
        if (matches(m_data->rows[size_t((*m_order)[size_t(p)])].at(c.column), c)) {
            m_pos = p;
            return true;
        }
    }
    m_pos = n;
    return false;
}

bool Recordset::setSort(const QString& order)
{
    if (!m_data)
        return false;
    struct Part {
        int column;
        bool descending;
    };
    QList<Part> parts;
    for (const QString& piece : order.split(u',', Qt::SkipEmptyParts)) {
        QStringList words = piece.simplified().split(u' ');
        if (words.isEmpty() || words.first().isEmpty())
            continue;
        bool descending = false;
        if (words.size() > 1) {
            const QString dir = words.last().toUpper();
            if (dir == QLatin1String("DESC") || dir == QLatin1String("ASC")) {
                descending = dir == QLatin1String("DESC");
                words.removeLast();
            }
        }
        const int column = m_data->columns.find(words.join(u' '));
        if (column < 0)
            return false;
        parts << Part{column, descending};
    }

    const Bookmark current = bookmark();
    const size_t n = m_data->rows.size();
    auto fresh = std::make_shared<std::vector<int>>(n);
    std::iota(fresh->begin(), fresh->end(), 0);
    if (!parts.isEmpty()) {
        std::vector<std::vector<SortKey>> keys(n);
        for (size_t r = 0; r < n; ++r) {
            keys[r].reserve(size_t(parts.size()));
            for (const Part& p : parts)
                keys[r].push_back(
                    sortKey(m_data->rows[r].at(p.column), m_data->columns.types.at(p.column)));
        }
        std::stable_sort(fresh->begin(), fresh->end(), [&](int a, int b) {
            for (qsizetype i = 0; i < parts.size(); ++i) {
                const int cmp = compareKeys(keys[size_t(a)][size_t(i)], keys[size_t(b)][size_t(i)]);
                if (cmp != 0)
                    return parts[i].descending ? cmp > 0 : cmp < 0;
            }
            return false;
        });
    }
    m_order = std::move(fresh);
    m_sort = parts.isEmpty() ? QString() : order.trimmed();
    if (current >= 0)
        setBookmark(current);
    return true;
}

QString Recordset::sort() const
{
    return m_sort;
}

Recordset Recordset::subset(const std::function<bool(int position)>& keep, const QString& statement,
                            const QVariantList& params) const
{
    if (!m_data)
        return {};
    auto data = std::make_shared<Data>();
    data->db = m_data->db;
    data->statement = statement;
    data->params = params;
    data->columns = m_data->columns;
    for (size_t p = 0; p < m_order->size(); ++p)
        if (keep(int(p)))
            data->rows.push_back(m_data->rows[size_t((*m_order)[p])]); // values shared
    Recordset out;
    out.m_data = std::move(data);
    out.m_order = std::make_shared<std::vector<int>>(out.m_data->rows.size());
    std::iota(out.m_order->begin(), out.m_order->end(), 0);
    out.m_pos = 0;
    out.m_sort = m_sort;
    return out;
}

Recordset Recordset::clone() const
{
    Recordset copy(*this);
    copy.m_pos = 0;
    return copy;
}

int Recordset::fieldCount() const
{
    return m_data ? int(m_data->columns.names.size()) : 0;
}
QStringList Recordset::fieldNames() const
{
    return m_data ? m_data->columns.names : QStringList();
}
bool Recordset::hasField(const QString& name) const
{
    return fieldIndex(name) >= 0;
}
int Recordset::fieldIndex(const QString& name) const
{
    return m_data ? m_data->columns.find(name) : -1;
}

QVariant Recordset::value(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        missingField(name);
    return value(index);
}

QVariant Recordset::value(int index) const
{
    if (index < 0 || index >= fieldCount())
        missingField(QString::number(index));
    if (bof() || eof())
        noCurrentRow();
    return m_data->rows[size_t((*m_order)[size_t(m_pos)])].at(index);
}

bool Recordset::isNull(const QString& name) const
{
    const QVariant v = value(name);
    return !v.isValid() || v.isNull();
}

ColumnType Recordset::columnType(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        missingField(name);
    return m_data->columns.types.at(index);
}

int Recordset::fieldType(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        missingField(name);
    const ColumnType type = m_data->columns.types.at(index);
    if (type != ColumnType::Unknown)
        return adoTypeCode(type);
    return detail::adoTypeCodeOfMetaType(m_data->columns.metaTypes.at(index));
}

// Reader

struct Reader::Data {
    std::shared_ptr<Database> db;
    std::unique_ptr<QSqlQuery> query; // released before the connection
    Columns columns;
    bool onRow = false;
};

Reader::Reader() = default;
Reader::~Reader() = default;
Reader::Reader(Reader&&) noexcept = default;
Reader& Reader::operator=(Reader&&) noexcept = default;

Reader Reader::fromQuery(std::shared_ptr<Database> db, std::unique_ptr<QSqlQuery> query)
{
    Reader r;
    r.d = std::make_unique<Data>();
    r.d->columns.load(*db, query->record());
    r.d->db = std::move(db);
    r.d->query = std::move(query);
    return r;
}

bool Reader::isValid() const
{
    return d && d->query;
}

bool Reader::next()
{
    if (!isValid())
        return false;
    d->onRow = d->query->next();
    return d->onRow;
}

bool Reader::hasField(const QString& name) const
{
    return d && d->columns.find(name) >= 0;
}

QVariant Reader::value(const QString& name) const
{
    const int index = d ? d->columns.find(name) : -1;
    if (index < 0)
        missingField(name);
    return value(index);
}

QVariant Reader::value(int index) const
{
    if (!d || index < 0 || index >= int(d->columns.names.size()))
        missingField(QString::number(index));
    if (!d->onRow)
        noCurrentRow();
    return detail::readForm(d->query->value(index), d->query->isNull(index),
                            d->columns.types.at(index));
}

bool Reader::isNull(const QString& name) const
{
    const QVariant v = value(name);
    return !v.isValid() || v.isNull();
}

int Reader::fieldCount() const
{
    return d ? int(d->columns.names.size()) : 0;
}
QStringList Reader::fieldNames() const
{
    return d ? d->columns.names : QStringList();
}

} // namespace tzsndmsg::db
