// A seeded random driver over the SQL adapter, the quoting of texts and the date and number
// readers: each iteration makes an input from its own seed and checks what must hold for every
// input. Built with the sanitizers in ./test.sh, so that a read out of bounds or an undefined
// conversion fails as loudly as a broken property.
//   tzsndmsg_fuzz [--iterations N] [--seed S]
#include "common/VbFormat.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"
#include "tzsndmsg/db/SqlDialect.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <optional>

using namespace tzsndmsg;

namespace {

class Input {
public:
    explicit Input(quint32 seed) : m_random(seed) {}

    int below(int n) { return int(m_random.bounded(n)); }
    bool chance(int percent) { return below(100) < percent; }

    // Pieces of the given vocabulary and single characters, up to maxPieces of them.
    QString text(const QStringList& pieces, int maxPieces)
    {
        QString out;
        const int n = below(maxPieces + 1);
        for (int i = 0; i < n; ++i)
            out += chance(75) ? pieces.at(below(int(pieces.size()))) : QString(anyChar());
        return out;
    }

    QChar anyChar()
    {
        static const char16_t odd[] = {u'\'',     u'"',     u'\\',   u'[',    u']',    u'(',
                                       u')',      u';',     u'-',    u'*',    u'\n',   u'\r',
                                       u'\t',     u' ',     u'\x7f', u'\x01', u'\xe9', u'\x4e2d',
                                       u'\xfffd', u'\xd800' /* a lone surrogate */};
        if (chance(50))
            return QChar(odd[below(int(std::size(odd)))]);
        return QChar(char16_t(32 + below(95)));
    }

private:
    QRandomGenerator m_random;
};

int failures = 0;

void fail(const char* what, quint32 seed, const QString& input, const QString& detail = QString())
{
    ++failures;
    std::fprintf(
        stderr, "FAILED %s (seed %u)\n  input:  %s\n  detail: %s\n", what, seed,
        qPrintable(QString::fromLatin1(input.toUtf8().toPercentEncoding(" '\"[]()=,*;:/."))),
        qPrintable(detail));
}

// The single-quoted literals of a statement, as the adapter reads it ('' inside one, "..." and
// [...] are names); nullopt when one is left open.
std::optional<QStringList> literalsOf(const QString& s)
{
    QStringList literals;
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (c == u'\'' || c == u'"') {
            QString body;
            qsizetype j = i + 1;
            for (;; ++j) {
                if (j >= s.size())
                    return std::nullopt;
                if (s.at(j) == c) {
                    if (j + 1 < s.size() && s.at(j + 1) == c) {
                        body += c;
                        ++j;
                        continue;
                    }
                    break;
                }
                body += s.at(j);
            }
            if (c == u'\'')
                literals << body;
            i = j + 1;
        } else if (c == u'[') {
            const qsizetype close = s.indexOf(u']', i + 1);
            if (close < 0)
                return std::nullopt;
            i = close + 1;
        } else {
            ++i;
        }
    }
    literals.sort();
    return literals;
}

// The pieces statements are made of, separated by '|'.
const QStringList kSqlPieces =
    QString("SELECT |*| FROM |delete * from |DELETE  *  FROM |zelowin.dbo.|paTable|[Alias Name]|"
            "[a'b]|(|)| right JOIN | LEFT JOIN | INNER JOIN | ON |a.b=c.d|'lit''eral'|'\\'|"
            "\"ident\"|\"x\"\"y\"|,| |\n| WHERE |x=1| and | order by |t1|t2|CMTable.cmID|"
            "BroChkTable| union |--|/*|?|:name|''")
        .split(u'|');

void fuzzAdapter(Input& in, quint32 seed)
{
    const QString statement = in.text(kSqlPieces, 24);
    for (const db::Backend backend : {db::Backend::Sqlite, db::Backend::Postgres}) {
        const db::SqlDialect dialect(backend);
        const QString once = dialect.adapt(statement);
        if (dialect.adapt(once) != once)
            fail("adapting twice changes the statement", seed, statement, dialect.adapt(once));
        const auto before = literalsOf(statement);
        if (!before)
            continue;
        const auto after = literalsOf(once);
        if (!after || *after != *before)
            fail("the adapter changed a text literal", seed, statement, once);
    }
}

// Quoting: the literal reads back as the text, through the adapter unchanged, and on a real
// database every text without a zero character comes back whole.
void fuzzQuoting(Input& in, quint32 seed, db::Database* sqlite)
{
    const QString text = in.text({"'", "''", "\\", "\\'", "');", "DROP TABLE x;", "--", "\"", "%",
                                  "_", QString(QChar(0)), "\xc3\xa9"},
                                 16);
    const QString quoted = db::SqlDialect::quote(text);
    const auto literals = literalsOf(quoted);
    if (!literals || literals->size() != 1 || literals->first() != text)
        fail("a quoted text does not read back", seed, text, quoted);
    const QString select = "SELECT " + quoted + " AS v";
    if (db::SqlDialect(db::Backend::Sqlite).adapt(select) != select ||
        db::SqlDialect(db::Backend::Postgres).adapt(select) != select)
        fail("the adapter changes a quoted text", seed, text, select);
    // A lone surrogate cannot travel as UTF-8, a zero character ends a statement's text.
    if (!sqlite || text.contains(QChar(0)) || QString::fromUtf8(text.toUtf8()) != text ||
        !in.chance(20))
        return;
    QString error;
    const QVariant back = sqlite->scalar("SELECT " + sqlite->quote(text), {}, &error);
    if (back.toString() != text)
        fail("a quoted text came back changed from SQLite", seed, text,
             back.toString() + " " + error);
}

const QStringList kDatePieces = {
    "12", "1",  "31", "2026", "26", "0",  "99", "9999", "10000", "/",  "-",        ".",   ":",
    " ",  "  ", "AM", "PM",   "am", "pm", "a",  "p",    "T",     "Z",  "December", "Dec", "Monday",
    ",",  "00", "59", "60",   "24", "+",  "e5", "1899", "100",   "-1", "\t",
};

void fuzzDates(Input& in, quint32 seed)
{
    const QString text = in.text(kDatePieces, 10);
    const auto parsed = common::vb::parseDate(text);
    if (common::vb::isDate(text) != parsed.has_value())
        fail("isDate and parseDate disagree", seed, text);
    if (!parsed)
        return;
    // What is read and written back reads as the same moment, to the second.
    const QString shown = common::vb::cstr(*parsed);
    const auto again = common::vb::parseDate(shown);
    if (!again || common::vb::cstr(*again) != shown)
        fail("a date does not read back from its own text", seed, text, shown);
    for (const char* pattern :
         {"mm/dd/yyyy", "hh:nn ampm", "h:nn am/pm", "General Date", "Long Time"})
        common::vb::format(*parsed, QString::fromLatin1(pattern));
    // Stored as the record writer stores it: never a failure for a text column of dates.
    bool ok = false;
    db::convertText(text, db::ColumnType::DateText, &ok);
    if (!ok)
        fail("a date text column refused a text", seed, text);
}

const QStringList kNumberPieces =
    QString("0|1|9|12|-|+|.|,|e|E|308|400| |True|false|inf|nan|0x1F|1e30|99999999999999999999|"
            "2147483647|2147483648|-2147483649|&H10|1d2|$")
        .split(u'|');

void fuzzNumbers(Input& in, quint32 seed)
{
    const QString text = in.text(kNumberPieces, 8);
    const auto number = common::vb::toNumber(text);
    if (common::vb::isNumeric(text) && !number)
        fail("isNumeric says yes, toNumber has no number", seed, text);
    if (number) {
        if (!std::isfinite(*number))
            fail("a number text read as an infinite number", seed, text);
        // The nearest whole number, or the nearest one there is: never one of the other sign.
        const qint64 whole = common::vb::roundHalfEven(*number);
        const bool fits = std::fabs(*number) < 9.2e18;
        if ((fits && std::fabs(double(whole) - *number) > 0.5) ||
            (!fits && (whole < 0) != (*number < 0)))
            fail("a number rounds to a far whole number", seed, text, QString::number(whole));
    }
    if (const auto lead = common::vb::leadingNumber(text))
        common::vb::roundHalfEven(*lead);
    for (const db::ColumnType type :
         {db::ColumnType::Integer, db::ColumnType::SmallInt, db::ColumnType::BigInt,
          db::ColumnType::Double, db::ColumnType::Boolean, db::ColumnType::TimeText,
          db::ColumnType::DateTime}) {
        bool ok = true;
        QString why;
        const QVariant stored = db::convertText(text, type, &ok, &why);
        if (!ok && why.isEmpty())
            fail("a refused value has no reason", seed, text);
        if (ok && type == db::ColumnType::Integer && stored.isValid() &&
            (stored.toLongLong() > 2147483647LL || stored.toLongLong() < -2147483648LL))
            fail("a 32-bit column would get a larger number", seed, text, stored.toString());
        if (ok && type == db::ColumnType::DateTime && stored.isValid() &&
            !QDateTime::fromString(stored.toString(), "yyyy-MM-dd HH:mm:ss").isValid())
            fail("a date-time column would get a text that is no date-time", seed, text,
                 stored.toString());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 iterations = 20000;
    quint32 seed = 1;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == "--iterations")
            iterations = args.at(i + 1).toLongLong();
        else if (args.at(i) == "--seed")
            seed = args.at(i + 1).toUInt();
    }
    QTemporaryDir dir;
    auto sqlite = db::Database::open("sqlite://" + dir.path() + "/fuzz.db");

    for (qint64 i = 0; i < iterations && failures < 20; ++i) {
        const quint32 s = seed + quint32(i);
        Input in(s);
        switch (i % 4) {
        case 0:
            fuzzAdapter(in, s);
            break;
        case 1:
            fuzzQuoting(in, s, sqlite.get());
            break;
        case 2:
            fuzzDates(in, s);
            break;
        default:
            fuzzNumbers(in, s);
            break;
        }
    }
    std::printf("%lld iterations from seed %u: %d failure(s)\n", static_cast<long long>(iterations),
                seed, failures);
    return failures == 0 ? 0 : 1;
}
