// The staff list as CSV: read as spreadsheets write it, written as they read it.
#include "tzsndmsg/StaffCsv.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tzsndmsg {

namespace {

// Far above any office's staff list: a larger file is something else.
constexpr qint64 kLargestFile = qint64(32) * 1024 * 1024;
// A file with bad bytes on every line names the first of them, not thousands.
constexpr int kMostProblemsNamed = 50;

const char* const kColumnNames[kStaffColumnCount] = {
    "id", "initials", "last name", "first name", "department", "login", "released"};

QString headerKey(const QString& name)
{
    QString key;
    for (const QChar c : name.trimmed().toLower())
        if (!c.isSpace() && c != QLatin1Char('_') && c != QLatin1Char('-'))
            key += c;
    return key;
}

int columnOf(const QString& name)
{
    const QString key = headerKey(name);
    for (int i = 0; i < kStaffColumnCount; ++i)
        if (headerKey(QLatin1String(kColumnNames[i])) == key)
            return i;
    // The headings of the staff list and of its JSON.
    if (key == QLatin1String("last"))
        return int(StaffColumn::LastName);
    if (key == QLatin1String("first"))
        return int(StaffColumn::FirstName);
    if (key == QLatin1String("releasedon"))
        return int(StaffColumn::Released);
    return -1;
}

// The line ends (CRLF, LF or a lone CR) in [from, to).
int breaks(const QByteArray& bytes, qsizetype from, qsizetype to)
{
    int count = 0;
    for (qsizetype i = from; i < to; ++i)
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++count;
    return count;
}

int lineAt(const QByteArray& bytes, qsizetype offset)
{
    return 1 + breaks(bytes, 0, offset);
}

// The offsets of byte sequences that are not UTF-8 (overlong forms, surrogates and values past
// U+10FFFF included), one per sequence.
QList<qsizetype> badUtf8(const QByteArray& bytes)
{
    QList<qsizetype> bad;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int follow = 0;
        unsigned min = 0;
        unsigned value = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            follow = 1, min = 0x80, value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            follow = 2, min = 0x800, value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            follow = 3, min = 0x10000, value = c & 0x07;
        } else {
            bad << i++;
            continue;
        }
        int k = 1;
        for (; k <= follow && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k)
            value = (value << 6) | (p[i + k] & 0x3F);
        if (k <= follow || value < min || value > 0x10FFFF ||
            (value >= 0xD800 && value <= 0xDFFF)) {
            bad << i;
            i += k;
            continue;
        }
        i += k;
    }
    return bad;
}

// The file's kind when it is plainly not CSV text; empty when it may be.
QString otherFormat(const QByteArray& bytes)
{
    if (bytes.startsWith("PK\x03\x04"))
        return QStringLiteral(
            "the file is a zip archive (a spreadsheet's workbook?), not CSV text: "
            "save it from the spreadsheet as CSV UTF-8");
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        return QStringLiteral("the file is an old spreadsheet workbook, not CSV text: save it from "
                              "the spreadsheet as CSV UTF-8");
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringLiteral("the file is UTF-16 text: save it as CSV UTF-8");
    if (bytes.startsWith("%PDF"))
        return QStringLiteral("the file is a PDF document, not CSV text");
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        return QStringLiteral("the file holds binary data (a NUL byte on line %1), not CSV text")
            .arg(lineAt(bytes, nul));
    return {};
}

// One record of fields as the parser splits them, with where it starts and what was amiss.
struct Record {
    int line = 0;
    QStringList fields;
    QString problem;
};

// Splits the text into records: quoted fields may hold the separator, doubled quotes and line
// breaks; CRLF, LF and a lone CR each end a line. A quote inside an unquoted field is kept as
// written ("O"Neil" reads as O"Neil).
class Splitter {
public:
    Splitter(const QString& text, QChar separator) : m_text(text), m_separator(separator) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    Record next()
    {
        Record record;
        record.line = m_line;
        QString field;
        bool quoted = false;     // inside quotes
        bool wasQuoted = false;  // this field began with a quote
        bool afterQuote = false; // the closing quote was read
        int quoteLine = m_line;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos++];
            if (quoted) {
                if (c == QLatin1Char('"')) {
                    if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('"')) {
                        field += c;
                        ++m_pos;
                    } else {
                        quoted = false;
                        afterQuote = true;
                    }
                } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                    // A break inside a field reads as LF whatever the file's line ends.
                    if (c == QLatin1Char('\r') && m_pos < m_text.size() &&
                        m_text[m_pos] == QLatin1Char('\n'))
                        ++m_pos;
                    ++m_line;
                    field += QLatin1Char('\n');
                } else {
                    field += c;
                }
                continue;
            }
            if (c == m_separator) {
                record.fields << field;
                field.clear();
                wasQuoted = afterQuote = false;
                continue;
            }
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                if (c == QLatin1Char('\r') && m_pos < m_text.size() &&
                    m_text[m_pos] == QLatin1Char('\n'))
                    ++m_pos;
                ++m_line;
                record.fields << field;
                return record;
            }
            if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
                quoted = wasQuoted = true;
                quoteLine = m_line;
                continue;
            }
            if (afterQuote) {
                if (c.isSpace())
                    continue;
                if (record.problem.isEmpty())
                    record.problem = QStringLiteral("text after a closing quote (a quote inside a "
                                                    "quoted field is written twice: \"\")");
            }
            field += c;
        }
        if (quoted && record.problem.isEmpty())
            record.problem =
                QStringLiteral("a quote opened on line %1 is never closed").arg(quoteLine);
        record.fields << field;
        return record;
    }

private:
    const QString& m_text;
    QChar m_separator;
    qsizetype m_pos = 0;
    int m_line = 1;
};

// "," or ";", whichever the header row (outside quotes) holds more of.
QChar separatorOf(const QString& text)
{
    int commas = 0, semicolons = 0;
    bool quoted = false;
    bool started = false; // blank lines before the header do not count
    for (const QChar c : text) {
        if (!started && c.isSpace())
            continue;
        started = true;
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

bool allEmpty(const QStringList& fields)
{
    for (const QString& f : fields)
        if (!f.trimmed().isEmpty())
            return false;
    return true;
}

// A spreadsheet takes a cell that starts with one of these for a formula to run: such a cell is
// written behind an apostrophe (which the spreadsheet shows as text), read back without it.
bool startsAFormula(QStringView value)
{
    return !value.isEmpty() && QStringView(u"=+-@\t\r").contains(value.front());
}

QByteArray quoted(const QString& value)
{
    const bool needs = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char(';')) ||
                       value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\n')) ||
                       value.contains(QLatin1Char('\r')) ||
                       (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needs)
        return value.toUtf8();
    QString out = value;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + out.toUtf8() + '"';
}

} // namespace

QString staffColumnName(StaffColumn column)
{
    return QLatin1String(kColumnNames[int(column)]);
}

QStringList staffColumnNames()
{
    QStringList names;
    for (const char* name : kColumnNames)
        names << QLatin1String(name);
    return names;
}

QString StaffCsvProblem::text() const
{
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(reason) : reason;
}

bool readStaffCsv(const QByteArray& input, StaffCsv& csv, QList<StaffCsvProblem>& problems)
{
    csv = StaffCsv{};
    const int problemsBefore = problems.size();
    QByteArray bytes = input;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.trimmed().isEmpty()) {
        problems << StaffCsvProblem{0, QStringLiteral("the file is empty: a header row naming the "
                                                      "columns is needed (%1)")
                                           .arg(staffColumnNames().join(QStringLiteral(", ")))};
        return false;
    }
    if (const QString other = otherFormat(bytes); !other.isEmpty()) {
        problems << StaffCsvProblem{0, other};
        return false;
    }
    const QList<qsizetype> bad = badUtf8(bytes);
    if (!bad.isEmpty()) {
        int line = 1;
        int lastLine = 0;
        qsizetype counted = 0;
        for (const qsizetype offset : bad) {
            line += breaks(bytes, counted, offset);
            counted = offset;
            if (line == lastLine)
                continue;
            lastLine = line;
            if (problems.size() - problemsBefore == kMostProblemsNamed) {
                problems << StaffCsvProblem{0, QStringLiteral("and more lines that are not UTF-8")};
                break;
            }
            problems << StaffCsvProblem{
                line, QStringLiteral("not UTF-8 text (the byte 0x%1): save the file as CSV UTF-8")
                          .arg(QString::number(uchar(bytes[offset]), 16).toUpper())};
        }
        return false;
    }
    const QString text = QString::fromUtf8(bytes);
    const QString start = text.trimmed();
    if (start.startsWith(QLatin1Char('{')) || start.startsWith(QLatin1Char('['))) {
        problems << StaffCsvProblem{0, QStringLiteral("the file is JSON, not CSV text")};
        return false;
    }

    csv.separator = separatorOf(text);
    Splitter splitter(text, csv.separator);
    Record header;
    do
        header = splitter.next();
    while (allEmpty(header.fields) && !splitter.atEnd());
    if (!header.problem.isEmpty()) {
        problems << StaffCsvProblem{header.line, header.problem};
        return false;
    }
    QList<int> seen;
    for (const QString& name : std::as_const(header.fields)) {
        const int column = columnOf(name);
        if (column < 0) {
            problems << StaffCsvProblem{
                header.line,
                QStringLiteral("unknown column \"%1\" (the columns are: %2)")
                    .arg(name.trimmed(), staffColumnNames().join(QStringLiteral(", ")))};
        } else if (seen.contains(column)) {
            problems << StaffCsvProblem{
                header.line,
                QStringLiteral("the column \"%1\" is named twice").arg(kColumnNames[column])};
        }
        seen << column;
    }
    for (const StaffColumn needed : {StaffColumn::Initials, StaffColumn::LastName})
        if (!seen.contains(int(needed)))
            problems << StaffCsvProblem{
                header.line,
                QStringLiteral("the column \"%1\" is missing").arg(staffColumnName(needed))};
    if (problems.size() > problemsBefore)
        return false;
    for (const int column : std::as_const(seen))
        csv.columns << StaffColumn(column);

    while (!splitter.atEnd()) {
        const Record record = splitter.next();
        if (allEmpty(record.fields) && record.problem.isEmpty())
            continue;
        if (!record.problem.isEmpty()) {
            problems << StaffCsvProblem{record.line, record.problem};
            continue;
        }
        if (record.fields.size() != seen.size()) {
            problems << StaffCsvProblem{
                record.line, QStringLiteral("%1 field(s) where the header has %2 (a separator or a "
                                            "quote amiss?)")
                                 .arg(record.fields.size())
                                 .arg(seen.size())};
            continue;
        }
        StaffCsvRow row;
        row.line = record.line;
        for (int i = 0; i < seen.size(); ++i) {
            QString field = record.fields[i].isNull() ? QLatin1String("") : record.fields[i];
            if (field.startsWith(u'\'') && startsAFormula(QStringView(field).mid(1)))
                field.remove(0, 1);
            row.fields[seen[i]] = field;
        }
        csv.rows << row;
    }
    return problems.size() == problemsBefore;
}

bool readStaffCsvFile(const QString& path, StaffCsv& csv, QList<StaffCsvProblem>& problems)
{
    csv = StaffCsv{};
    const QFileInfo info(path);
    QString reason;
    if (!info.exists())
        reason = QStringLiteral("%1 does not exist").arg(path);
    else if (info.isDir())
        reason = QStringLiteral("%1 is a folder, not a CSV file").arg(path);
    else if (info.size() > kLargestFile)
        reason = QStringLiteral("%1 is %2 MB, too large for a staff list")
                     .arg(path)
                     .arg(info.size() / (qint64(1024) * 1024));
    if (!reason.isEmpty()) {
        problems << StaffCsvProblem{0, reason};
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problems << StaffCsvProblem{
            0, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
        return false;
    }
    const QByteArray bytes = file.read(kLargestFile + 1);
    if (file.error() != QFileDevice::NoError) {
        problems << StaffCsvProblem{
            0, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
        return false;
    }
    return readStaffCsv(bytes, csv, problems);
}

QByteArray staffCsvText(const QList<StaffCsvRow>& rows)
{
    QByteArray out = "\xEF\xBB\xBF";
    QList<QByteArray> fields;
    for (const char* name : kColumnNames)
        fields << name;
    out += fields.join(',') + "\r\n";
    for (const StaffCsvRow& row : rows) {
        fields.clear();
        for (const QString& value : row.fields)
            fields << quoted(startsAFormula(value) ? u'\'' + value : value);
        out += fields.join(',') + "\r\n";
    }
    return out;
}

bool writeStaffCsvFile(const QString& path, const QList<StaffCsvRow>& rows, QString* error)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QByteArray target = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode))
            return fail(QStringLiteral("%1 is a symbolic link: not written through it; name the "
                                       "file itself")
                            .arg(path));
        if (!S_ISREG(st.st_mode))
            return fail(QStringLiteral("%1 is not a regular file").arg(path));
    } else if (errno != ENOENT) {
        return fail(QStringLiteral("cannot write %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    const QString folder = QFileInfo(path).absolutePath();
    QByteArray temporary = QFile::encodeName(folder) + "/." +
                           QFile::encodeName(QFileInfo(path).fileName()) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail(QStringLiteral("cannot write in %1: %2")
                        .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    // mkstemp makes the file for its owner only; an export is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const QByteArray text = staffCsvText(rows);
    qsizetype written = 0;
    int failure = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + written, size_t(text.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failure = errno;
            break;
        }
        written += n;
    }
    if (!failure && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && ::rename(temporary.constData(), target.constData()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(temporary.constData());
        return fail(QStringLiteral("cannot write %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(failure))));
    }
    return true;
}

} // namespace tzsndmsg
