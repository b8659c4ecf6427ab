#include "SqlDialect.h"

#include "Database.h"

#include <QRegularExpression>

namespace tzsndmsg::db {

namespace {

// Rewrites one stretch of statement text that holds no literal and no quoted identifier.
QString adaptPlain(QString text)
{
    static const QRegularExpression deleteStar(QStringLiteral(R"(\bdelete\s*\*\s*from\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dboPrefix(QStringLiteral(R"(\b[A-Za-z_][A-Za-z0-9_]*\.dbo\.)"),
                                              QRegularExpression::CaseInsensitiveOption);
    text.replace(deleteStar, QStringLiteral("delete from"));
    text.replace(dboPrefix, QString());
    return text;
}

} // namespace

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
    return out;
}

QString SqlDialect::quote(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\'', QStringLiteral("''"));
    return u'\'' + escaped + u'\'';
}

} // namespace tzsndmsg::db
