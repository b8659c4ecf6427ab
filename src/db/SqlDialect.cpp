#include "tzsndmsg/db/SqlDialect.h"

#include "Internals.h"
#include "tzsndmsg/db/Database.h"

#include <QRegularExpression>
#include <QVector>

namespace tzsndmsg::db {

namespace {

// Rewrites one stretch of statement text that holds no literal and no quoted identifier.
QString adaptPlain(QString text)
{
    static const QRegularExpression deleteStar(QStringLiteral(R"(\bdelete\s*\*\s*from\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dboPrefix(QStringLiteral(R"(\b[A-Za-z_][A-Za-z0-9_]*\.dbo\.)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const bool hadText = !text.isEmpty();
    text.replace(deleteStar, QStringLiteral("delete from"));
    text.replace(dboPrefix, QString());
    // Between two literals a prefix that goes must leave a gap: 'a''b' would be one literal.
    if (hadText && text.isEmpty())
        text = QStringLiteral(" ");
    return text;
}

// True for each character inside a quoted literal or identifier.
QVector<bool> quotedMask(const QString& s)
{
    QVector<bool> mask(s.size(), false);
    QChar open;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (open.isNull()) {
            if (c == u'\'' || c == u'"') {
                open = c;
                mask[i] = true;
            }
        } else {
            mask[i] = true;
            if (c == open) {
                if (i + 1 < s.size() && s.at(i + 1) == open)
                    mask[++i] = true;
                else
                    open = QChar();
            }
        }
    }
    return mask;
}

bool selectsBareStar(const QString& s)
{
    static const QRegularExpression star(QStringLiteral(R"((^|\bselect\s+|,)\s*\*)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const qsizetype from = s.indexOf(QRegularExpression(QStringLiteral(R"(\bfrom\b)"),
                                                        QRegularExpression::CaseInsensitiveOption));
    return star.match(from < 0 ? s : s.left(from)).hasMatch();
}

} // namespace

// SQLite does not reduce a RIGHT JOIN to an inner join when the WHERE rejects its null rows,
// so "(<joins>) right JOIN <table> ON <c>" scanned every row of <joins>; the same rows as
// "<table> LEFT JOIN (<joins>) ON <c>", which it reduces and starts from the indexed side.
// Kept as is when the select list has a bare "*", whose column order would change.
QString rewriteRightJoins(const QString& statement)
{
    static const QRegularExpression join(
        QStringLiteral(R"(\)\s+right\s+join\s+([A-Za-z_][A-Za-z0-9_.]*)\s+on\s+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression stop(
        QStringLiteral(
            R"(^\s*\b(where|order|group|having|left|right|inner|join|full|cross|union)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    if (selectsBareStar(statement))
        return statement;
    QString s = statement;
    for (int guard = 0; guard < 8; ++guard) {
        const QVector<bool> quoted = quotedMask(s);
        QRegularExpressionMatch m;
        qsizetype at = 0;
        for (;;) {
            m = join.match(s, at);
            if (!m.hasMatch() || !quoted.at(m.capturedStart()))
                break;
            at = m.capturedStart() + 1;
        }
        if (!m.hasMatch())
            break;
        // The left operand: the parenthesised group that ends where the match starts.
        const qsizetype close = m.capturedStart();
        qsizetype open = -1;
        int depth = 0;
        for (qsizetype i = close; i >= 0; --i) {
            if (quoted.at(i))
                continue;
            if (s.at(i) == u')')
                ++depth;
            else if (s.at(i) == u'(' && --depth == 0) {
                open = i;
                break;
            }
        }
        if (open < 0)
            return statement;
        // The condition: up to the end of the enclosing group or the next clause or join.
        const qsizetype condStart = m.capturedEnd();
        qsizetype condEnd = s.size();
        depth = 0;
        for (qsizetype i = condStart; i < s.size(); ++i) {
            if (quoted.at(i))
                continue;
            const QChar c = s.at(i);
            if (c == u'(')
                ++depth;
            else if (c == u')' && depth-- == 0) {
                condEnd = i;
                break;
            } else if (depth == 0 && c.isSpace() && stop.match(s.mid(i, 12)).hasMatch()) {
                condEnd = i;
                break;
            }
        }
        const QString table = m.captured(1);
        const QString left = s.mid(open, close - open + 1);
        const QString condition = s.mid(condStart, condEnd - condStart).trimmed();
        s = s.left(open) + table + QStringLiteral(" LEFT JOIN ") + left + QStringLiteral(" ON ") +
            condition + s.mid(condEnd);
    }
    return s;
}

SqlDialect::SqlDialect(Backend backend) : m_backend(backend) {}

QString SqlDialect::adapt(const QString& statement, int mode) const
{
    Q_UNUSED(mode);
    QString out;
    out.reserve(statement.size() + 8);
    QString plain;
    const auto flushPlain = [&] {
        out += adaptPlain(plain);
        plain.clear();
    };
    const qsizetype n = statement.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = statement.at(i);
        if (c == u'\'' || c == u'"') {
            // A literal or a quoted identifier, copied as it stands ('' and "" are escapes).
            flushPlain();
            qsizetype j = i + 1;
            while (j < n) {
                if (statement.at(j) == c) {
                    if (j + 1 < n && statement.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = qMin(j + 1, n);
            out += statement.mid(i, end - i);
            i = end;
        } else if (c == u'[') {
            const qsizetype close = statement.indexOf(u']', i + 1);
            if (close < 0) {
                plain += statement.mid(i);
                break;
            }
            flushPlain();
            QString name = statement.mid(i + 1, close - i - 1);
            name.replace(u'"', QStringLiteral("\"\""));
            out += u'"' + name + u'"';
            i = close + 1;
        } else {
            plain += c;
            ++i;
        }
    }
    flushPlain();
    if (m_backend == Backend::Sqlite)
        out = rewriteRightJoins(out);
    return out;
}

QString SqlDialect::quote(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

} // namespace tzsndmsg::db
