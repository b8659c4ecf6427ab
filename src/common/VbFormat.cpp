#include "VbFormat.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace tzsndmsg::common::vb {

namespace {

const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

QString monthName(int month)
{
    return QString::fromLatin1(kMonthNames[month - 1]);
}
QString dayName(int weekday1Sunday)
{
    return QString::fromLatin1(kDayNames[weekday1Sunday - 1]);
}

QString pad2(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

enum class Kind {
    Literal,
    Day,
    Day2,
    DayAbbr,
    DayName,
    ShortDate,
    LongDate,
    Weekday,
    WeekOfYear,
    Month,
    Month2,
    MonthAbbr,
    MonthName,
    Quarter,
    DayOfYear,
    Year2,
    Year4,
    Hour,
    Hour2,
    Minute,
    Minute2,
    Second,
    Second2,
    AmPmPair,   // AM/PM or A/P, output in the case the pattern gives
    AmPmSystem, // AMPM: the system's upper-case designators
    LongTime,
};

struct Token {
    Kind kind = Kind::Literal;
    QString text; // literal text, or the pattern text of an AM/PM token
};

bool startsWithCi(const QString& s, int pos, QLatin1StringView what)
{
    return s.mid(pos, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

int runLength(const QString& s, int pos, QChar letter)
{
    int n = 0;
    while (pos + n < s.size() && s.at(pos + n).toLower() == letter)
        ++n;
    return n;
}

// A run of one letter picks its form by length (kinds[0] for one letter, kinds[1] for two...);
// a longer run takes the longest form and leaves the rest to the next token. Returns the
// letters used.
int appendRun(QList<Token>& tokens, const QString& pattern, int pos,
              std::initializer_list<Kind> kinds)
{
    const int run = std::min(runLength(pattern, pos, pattern.at(pos).toLower()), int(kinds.size()));
    tokens.append({kinds.begin()[run - 1], {}});
    return run;
}

void addLiteral(QList<Token>& tokens, const QString& text)
{
    if (!tokens.isEmpty() && tokens.last().kind == Kind::Literal)
        tokens.last().text += text;
    else
        tokens.append({Kind::Literal, text});
}

QList<Token> tokenize(const QString& pattern)
{
    QList<Token> tokens;
    int i = 0;
    const int n = int(pattern.size());
    while (i < n) {
        const QChar c = pattern.at(i);
        const QChar lc = c.toLower();
        if (c == QLatin1Char('\\')) {
            if (i + 1 < n)
                addLiteral(tokens, pattern.mid(i + 1, 1));
            i += 2;
            continue;
        }
        if (c == QLatin1Char('"')) {
            const int end = int(pattern.indexOf(QLatin1Char('"'), i + 1));
            const int stop = end < 0 ? n : end;
            addLiteral(tokens, pattern.mid(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        if (startsWithCi(pattern, i, QLatin1StringView("am/pm"))) {
            tokens.append({Kind::AmPmPair, pattern.mid(i, 5)});
            i += 5;
            continue;
        }
        if (startsWithCi(pattern, i, QLatin1StringView("a/p"))) {
            tokens.append({Kind::AmPmPair, pattern.mid(i, 3)});
            i += 3;
            continue;
        }
        if (startsWithCi(pattern, i, QLatin1StringView("ampm"))) {
            tokens.append({Kind::AmPmSystem, {}});
            i += 4;
            continue;
        }
        switch (lc.unicode()) {
        case 'd':
            i += appendRun(tokens, pattern, i,
                           {Kind::Day, Kind::Day2, Kind::DayAbbr, Kind::DayName, Kind::ShortDate,
                            Kind::LongDate});
            continue;
        case 'w':
            i += appendRun(tokens, pattern, i, {Kind::Weekday, Kind::WeekOfYear});
            continue;
        case 'm':
            i += appendRun(tokens, pattern, i,
                           {Kind::Month, Kind::Month2, Kind::MonthAbbr, Kind::MonthName});
            continue;
        case 'q':
            tokens.append({Kind::Quarter, {}});
            ++i;
            continue;
        case 'y': {
            // Unlike the others, "yyy" is "yy" and a "y".
            const int run = runLength(pattern, i, lc);
            if (run >= 4) {
                tokens.append({Kind::Year4, {}});
                i += 4;
            } else if (run >= 2) {
                tokens.append({Kind::Year2, {}});
                i += 2;
            } else {
                tokens.append({Kind::DayOfYear, {}});
                ++i;
            }
            continue;
        }
        case 'h':
            i += appendRun(tokens, pattern, i, {Kind::Hour, Kind::Hour2});
            continue;
        case 'n':
            i += appendRun(tokens, pattern, i, {Kind::Minute, Kind::Minute2});
            continue;
        case 's':
            i += appendRun(tokens, pattern, i, {Kind::Second, Kind::Second2});
            continue;
        case 't':
            if (runLength(pattern, i, lc) >= 5) {
                tokens.append({Kind::LongTime, {}});
                i += 5;
                continue;
            }
            break;
        case 'c':
            // General Date: a date part and a time part, each only when present.
            tokens.append({Kind::ShortDate, QStringLiteral("c")});
            tokens.append({Kind::LongTime, QStringLiteral("c")});
            ++i;
            continue;
        default:
            break;
        }
        addLiteral(tokens, QString(c));
        ++i;
    }

    // "m" and "mm" right after an hour, or right before a second, are minutes.
    int lastTimeOrDate = -1;
    for (int k = 0; k < tokens.size(); ++k) {
        Token& t = tokens[k];
        if (t.kind == Kind::Literal)
            continue;
        if (t.kind == Kind::Month || t.kind == Kind::Month2) {
            bool minutes = lastTimeOrDate >= 0 && (tokens[lastTimeOrDate].kind == Kind::Hour ||
                                                   tokens[lastTimeOrDate].kind == Kind::Hour2);
            for (int j = k + 1; !minutes && j < tokens.size(); ++j) {
                if (tokens[j].kind == Kind::Literal)
                    continue;
                minutes = tokens[j].kind == Kind::Second || tokens[j].kind == Kind::Second2;
                break;
            }
            if (minutes)
                t.kind = t.kind == Kind::Month ? Kind::Minute : Kind::Minute2;
        }
        lastTimeOrDate = k;
    }
    return tokens;
}

QString amPmText(const QString& patternText, bool pm)
{
    // "AM/PM" -> "AM"/"PM" in the case the pattern wrote; "A/P" likewise one letter.
    const int slash = int(patternText.indexOf(QLatin1Char('/')));
    return pm ? patternText.mid(slash + 1) : patternText.left(slash);
}

QString longTime(const QTime& t)
{
    int h = t.hour() % 12;
    if (h == 0)
        h = 12;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(h)
        .arg(pad2(t.minute()), pad2(t.second()),
             t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString shortDate(const QDate& d)
{
    return QStringLiteral("%1/%2/%3").arg(d.month()).arg(d.day()).arg(d.year());
}

QString longDate(const QDate& d)
{
    return QStringLiteral("%1, %2 %3, %4")
        .arg(dayName(d.dayOfWeek() % 7 + 1), monthName(d.month()))
        .arg(d.day())
        .arg(d.year());
}

QString generalDate(AutoDate value)
{
    const bool hasDate = value.datePart().value() != 0.0;
    const bool hasTime = value.timePart().value() != 0.0;
    if (!hasDate)
        return longTime(value.time());
    if (!hasTime)
        return shortDate(value.date());
    return shortDate(value.date()) + QLatin1Char(' ') + longTime(value.time());
}

QString namedFormat(AutoDate value, const QString& pattern, bool* known)
{
    *known = true;
    const QString p = pattern.trimmed().toLower();
    if (p == QLatin1String("general date"))
        return generalDate(value);
    if (p == QLatin1String("short date"))
        return shortDate(value.date());
    if (p == QLatin1String("long date"))
        return longDate(value.date());
    if (p == QLatin1String("medium date"))
        return format(value, QStringLiteral("dd-mmm-yy"));
    if (p == QLatin1String("short time"))
        return format(value, QStringLiteral("hh:nn"));
    if (p == QLatin1String("medium time"))
        return format(value, QStringLiteral("hh:nn AMPM"));
    if (p == QLatin1String("long time"))
        return longTime(value.time());
    *known = false;
    return {};
}

// ---- parsing ---------------------------------------------------------------------------

int expandYear(int year, int digits)
{
    if (digits > 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

std::optional<int> monthFromName(const QString& word)
{
    if (word.size() < 3)
        return std::nullopt;
    for (int m = 1; m <= 12; ++m) {
        const QString name = monthName(m);
        if (name.compare(word, Qt::CaseInsensitive) == 0 ||
            (word.size() == 3 && name.left(3).compare(word, Qt::CaseInsensitive) == 0) ||
            (word.compare(QLatin1String("sept"), Qt::CaseInsensitive) == 0 && m == 9))
            return m;
    }
    return std::nullopt;
}

// A date written with its month's name; nullopt when the name is no month or the day is not in it.
std::optional<QDate> namedMonthDate(const QString& monthWord, const QString& day,
                                    const QString& year)
{
    const auto month = monthFromName(monthWord);
    if (!month)
        return std::nullopt;
    const QDate d(expandYear(year.toInt(), int(year.size())), *month, day.toInt());
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

std::optional<QDate> parseDatePart(const QString& text)
{
    static const QRegularExpression numeric(
        QStringLiteral("^(\\d{1,4})([/\\-.])(\\d{1,2})\\2(\\d{1,4})$"));
    static const QRegularExpression named(
        QStringLiteral("^(?:[A-Za-z]+,?\\s+)?([A-Za-z]+)\\.?\\s+(\\d{1,2}),?\\s+(\\d{4}|\\d{2})$"));
    static const QRegularExpression dayFirstNamed(
        QStringLiteral("^(\\d{1,2})[\\-\\s]([A-Za-z]+)[\\-\\s](\\d{4}|\\d{2})$"));

    auto m = numeric.match(text);
    if (m.hasMatch()) {
        const QString a = m.captured(1), b = m.captured(3), c = m.captured(4);
        QDate d;
        if (a.size() == 4) { // yyyy-mm-dd
            if (c.size() > 2)
                return std::nullopt;
            d = QDate(a.toInt(), b.toInt(), c.toInt());
        } else {
            if (a.size() > 2 || c.size() == 3)
                return std::nullopt;
            d = QDate(expandYear(c.toInt(), int(c.size())), a.toInt(), b.toInt());
        }
        if (!d.isValid())
            return std::nullopt;
        return d;
    }
    m = named.match(text);
    if (m.hasMatch())
        return namedMonthDate(m.captured(1), m.captured(2), m.captured(3));
    m = dayFirstNamed.match(text);
    if (m.hasMatch())
        return namedMonthDate(m.captured(2), m.captured(1), m.captured(3));
    return std::nullopt;
}

std::optional<QTime> parseTimePart(const QString& text)
{
    static const QRegularExpression re(QStringLiteral(
        "^(\\d{1,2})(?::(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d+))?)?)?\\s*([AaPp]\\.?[Mm]?\\.?)?$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const bool hasMinutes = m.capturedLength(2) > 0;
    const QString designator = m.captured(5);
    // A bare number is not a time; "9 am" is.
    if (!hasMinutes && designator.isEmpty())
        return std::nullopt;
    int hour = m.captured(1).toInt();
    const int minute = hasMinutes ? m.captured(2).toInt() : 0;
    const int second = m.capturedLength(3) > 0 ? m.captured(3).toInt() : 0;
    int msec = 0;
    if (m.capturedLength(4) > 0)
        msec = int(std::lround(QString(QStringLiteral("0.") + m.captured(4)).toDouble() * 1000));
    if (minute > 59 || second > 59)
        return std::nullopt;
    if (!designator.isEmpty()) {
        if (hour > 12)
            return std::nullopt;
        const bool pm = designator.at(0).toLower() == QLatin1Char('p');
        hour = hour % 12 + (pm ? 12 : 0);
    } else if (hour > 23) {
        return std::nullopt;
    }
    QTime t(hour, minute, second);
    if (msec >= 1000)
        return t.addSecs(1);
    return t.addMSecs(msec);
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

QString format(AutoDate value, const QString& pattern)
{
    bool known = false;
    QString named = namedFormat(value, pattern, &known);
    if (known)
        return named;

    const QList<Token> tokens = tokenize(pattern);
    bool twelveHour = false;
    for (const Token& t : tokens)
        if (t.kind == Kind::AmPmPair || t.kind == Kind::AmPmSystem)
            twelveHour = true;

    const QDate d = value.date();
    const QTime t = value.time();
    int hour = t.hour();
    if (twelveHour) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    const bool pm = t.hour() >= 12;
    const bool hasDate = value.datePart().value() != 0.0;
    const bool hasTime = value.timePart().value() != 0.0;

    QString out;
    for (const Token& tok : tokens) {
        switch (tok.kind) {
        case Kind::Literal:
            out += tok.text;
            break;
        case Kind::Day:
            out += QString::number(d.day());
            break;
        case Kind::Day2:
            out += pad2(d.day());
            break;
        case Kind::DayAbbr:
            out += dayName(d.dayOfWeek() % 7 + 1).left(3);
            break;
        case Kind::DayName:
            out += dayName(d.dayOfWeek() % 7 + 1);
            break;
        case Kind::ShortDate:
            if (tok.text == QLatin1String("c")) {
                if (hasDate)
                    out += shortDate(d);
            } else {
                out += shortDate(d);
            }
            break;
        case Kind::LongDate:
            out += longDate(d);
            break;
        case Kind::Weekday:
            out += QString::number(d.dayOfWeek() % 7 + 1);
            break;
        case Kind::WeekOfYear: {
            // Week 1 holds 1 January; weeks start on Sunday.
            const QDate jan1(d.year(), 1, 1);
            const int offset = jan1.dayOfWeek() % 7;
            out += QString::number((d.dayOfYear() - 1 + offset) / 7 + 1);
            break;
        }
        case Kind::Month:
            out += QString::number(d.month());
            break;
        case Kind::Month2:
            out += pad2(d.month());
            break;
        case Kind::MonthAbbr:
            out += monthName(d.month()).left(3);
            break;
        case Kind::MonthName:
            out += monthName(d.month());
            break;
        case Kind::Quarter:
            out += QString::number((d.month() - 1) / 3 + 1);
            break;
        case Kind::DayOfYear:
            out += QString::number(d.dayOfYear());
            break;
        case Kind::Year2:
            out += pad2(d.year() % 100);
            break;
        case Kind::Year4:
            out += QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
            break;
        case Kind::Hour:
            out += QString::number(hour);
            break;
        case Kind::Hour2:
            out += pad2(hour);
            break;
        case Kind::Minute:
            out += QString::number(t.minute());
            break;
        case Kind::Minute2:
            out += pad2(t.minute());
            break;
        case Kind::Second:
            out += QString::number(t.second());
            break;
        case Kind::Second2:
            out += pad2(t.second());
            break;
        case Kind::AmPmPair:
            out += amPmText(tok.text, pm);
            break;
        case Kind::AmPmSystem:
            out += pm ? QStringLiteral("PM") : QStringLiteral("AM");
            break;
        case Kind::LongTime:
            if (tok.text == QLatin1String("c")) {
                if (hasTime || !hasDate)
                    out += (hasDate ? QStringLiteral(" ") : QString()) + longTime(t);
            } else {
                out += longTime(t);
            }
            break;
        }
    }
    return out;
}

QString format(const QDateTime& value, const QString& pattern)
{
    if (!value.isValid())
        return {};
    return format(AutoDate::fromDateTime(value), pattern);
}

QString format(const QDate& value, const QString& pattern)
{
    if (!value.isValid())
        return {};
    return format(AutoDate::fromDate(value), pattern);
}

QString format(const QTime& value, const QString& pattern)
{
    if (!value.isValid())
        return {};
    return format(AutoDate::fromTime(value), pattern);
}

QString cstr(AutoDate value)
{
    return generalDate(value);
}

std::optional<AutoDate> parseDate(const QString& input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;

    if (auto d = parseDatePart(text))
        return AutoDate::fromDate(*d);
    if (auto t = parseTimePart(text))
        return AutoDate::fromTime(*t);

    // A date and a time: split at the first blank or ISO "T" after which a time parses.
    QString body = text;
    if (body.endsWith(QLatin1Char('Z'), Qt::CaseInsensitive))
        body.chop(1);
    for (int i = 1; i < body.size() - 1; ++i) {
        const QChar c = body.at(i);
        const bool isoT = (c == QLatin1Char('T') || c == QLatin1Char('t')) &&
                          body.at(i - 1).isDigit() && body.at(i + 1).isDigit();
        if (!isBlank(c) && !isoT)
            continue;
        const auto d = parseDatePart(body.left(i).trimmed());
        if (!d)
            continue;
        const auto t = parseTimePart(body.mid(i + 1).trimmed());
        if (!t)
            continue;
        return AutoDate::fromDateAndTime(*d, *t);
    }
    return std::nullopt;
}

bool isDate(const QString& text)
{
    return parseDate(text).has_value();
}

std::optional<AutoDate> toDate(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    if (value.canConvert<AutoDate>() && value.metaType() == QMetaType::fromType<AutoDate>())
        return value.value<AutoDate>();
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return AutoDate::fromDate(value.toDate());
    case QMetaType::QTime:
        return AutoDate::fromTime(value.toTime());
    case QMetaType::QDateTime:
        return AutoDate::fromDateTime(value.toDateTime());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return AutoDate(value.toDouble());
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return parseDate(value.toString());
    default:
        return std::nullopt;
    }
}

namespace {

// Scans a number at pos: sign, digits (group commas allowed when allowed), decimals, exponent.
// Returns the length scanned and the text without commas; 0 when no digit was found.
int scanNumber(const QString& s, int pos, bool allowGroups, QString* clean)
{
    int i = pos;
    const int n = int(s.size());
    QString out;
    if (i < n && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        out += s.at(i++);
    int digits = 0;
    while (i < n &&
           (s.at(i).isDigit() || (allowGroups && digits > 0 && s.at(i) == QLatin1Char(',') &&
                                  i + 1 < n && s.at(i + 1).isDigit()))) {
        if (s.at(i).isDigit()) {
            out += s.at(i);
            ++digits;
        }
        ++i;
    }
    if (i < n && s.at(i) == QLatin1Char('.')) {
        int j = i + 1;
        int frac = 0;
        QString f = QStringLiteral(".");
        while (j < n && s.at(j).isDigit()) {
            f += s.at(j++);
            ++frac;
        }
        if (frac > 0 || digits > 0) {
            out += f;
            digits += frac;
            i = j;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (s.at(i) == QLatin1Char('e') || s.at(i) == QLatin1Char('E'))) {
        int j = i + 1;
        QString e = QStringLiteral("e");
        if (j < n && (s.at(j) == QLatin1Char('+') || s.at(j) == QLatin1Char('-')))
            e += s.at(j++);
        int expDigits = 0;
        while (j < n && s.at(j).isDigit()) {
            e += s.at(j++);
            ++expDigits;
        }
        if (expDigits > 0) {
            out += e;
            i = j;
        }
    }
    *clean = out;
    return i - pos;
}

// The number a scanned text stands for; nullopt beyond the range of a double.
std::optional<double> finiteNumber(const QString& clean)
{
    bool ok = false;
    const double v = clean.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

bool isNumeric(const QString& text)
{
    return toNumber(text).has_value();
}

std::optional<double> toNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    QString clean;
    const int len = scanNumber(t, 0, true, &clean);
    if (len == 0 || len != t.size())
        return std::nullopt;
    return finiteNumber(clean);
}

std::optional<double> leadingNumber(const QString& text)
{
    int pos = 0;
    while (pos < text.size() && text.at(pos).isSpace())
        ++pos;
    QString clean;
    if (scanNumber(text, pos, false, &clean) == 0)
        return std::nullopt;
    return finiteNumber(clean);
}

qint64 roundHalfEven(double value)
{
    // A number beyond the whole numbers there are stops at the nearest end: converting it as it
    // is would be undefined, and gave the other end (a huge count became a negative one).
    constexpr double kLimit = 9223372036854775807.0;
    if (std::isnan(value))
        return 0;
    if (value >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (value <= -kLimit)
        return std::numeric_limits<qint64>::min();
    const double lower = std::floor(value);
    const double diff = value - lower;
    double result = lower;
    if (diff > 0.5)
        result = lower + 1;
    else if (diff == 0.5)
        result = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1;
    return static_cast<qint64>(result);
}

QString toText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.metaType() == QMetaType::fromType<AutoDate>())
        return cstr(value.value<AutoDate>());
    switch (value.metaType().id()) {
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return cstr(*toDate(value));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (std::trunc(d) == d && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 15);
    }
    default:
        return value.toString();
    }
}

} // namespace tzsndmsg::common::vb
