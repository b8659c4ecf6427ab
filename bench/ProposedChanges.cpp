#include "ProposedChanges.h"

#include "db/Database.h"

#include <QRegularExpression>
#include <QVector>

namespace tzsndmsg::bench {

namespace {

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

QString rewriteRightJoins(const QString& statement)
{
    static const QRegularExpression join(
        QStringLiteral(R"(\)\s+right\s+join\s+([A-Za-z_][A-Za-z0-9_.]*)\s+on\s+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression stop(
        QStringLiteral(R"(^\s*\b(where|order|group|having|left|right|inner|join|full|cross|union)\b)"),
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

QStringList proposedIndexStatements()
{
    return {QStringLiteral("DROP INDEX IF EXISTS ix_ev_pid"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS ix_ev_events ON EVTable (EvPID) WHERE EvTyp=1")};
}

QStringList originalIndexStatements()
{
    return {QStringLiteral("DROP INDEX IF EXISTS ix_ev_events"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS ix_ev_pid ON EVTable (EvTyp, EvPID)")};
}

bool applyIndexes(db::Database& db, const QStringList& statements, QString* error)
{
    for (const QString& s : statements)
        if (!db.exec(s, error))
            return false;
    if (db.backend() == db::Backend::Postgres)
        db.exec(QStringLiteral("ANALYZE EVTable"));
    return true;
}

} // namespace tzsndmsg::bench
