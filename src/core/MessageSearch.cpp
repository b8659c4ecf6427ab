#include "core/MessageSearch.h"

#include "common/VbFormat.h"
#include "db/Database.h"
#include "db/Recordset.h"
#include "store/SearchIndex.h"
#include "tzsndmsg/HostServices.h"

#include <QSet>

namespace tzsndmsg {

namespace {

constexpr int kMaxWords = 16;

bool isWordChar(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

// One character as the index folds it: accents dropped, lower case. Most text is ASCII.
QString foldedChar(char32_t c)
{
    if (c < 0x80)
        return QString(QChar(char16_t(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c)));
    QString out;
    for (QChar d : QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D))
        if (d.category() != QChar::Mark_NonSpacing)
            out += d;
    return out.toLower();
}

} // namespace

QStringList searchWords(const QString& typed)
{
    QStringList words;
    QSet<QString> seen;
    QList<char32_t> word;
    const auto flush = [&] {
        if (word.isEmpty())
            return;
        const QString text = QString::fromUcs4(word.constData(), word.size());
        word.clear();
        const QString folded = core::foldedWord(text);
        if (folded.isEmpty() || seen.contains(folded) || words.size() >= kMaxWords)
            return;
        seen.insert(folded);
        words << text;
    };
    // Composed first, so that a letter typed with a separate accent stays one letter.
    for (char32_t c : typed.normalized(QString::NormalizationForm_C).toUcs4()) {
        if (isWordChar(c) && !(word.isEmpty() && QChar::isMark(c)))
            word << c;
        else
            flush();
    }
    flush();
    return words;
}

namespace core {

QString foldedWord(const QString& word)
{
    QString out;
    for (char32_t c : word.toUcs4())
        out += foldedChar(c);
    return out;
}

QVector<TextMatch> matchesIn(const QString& text, const QStringList& words)
{
    QVector<TextMatch> out;
    QStringList folded;
    for (const QString& w : words) {
        const QString f = foldedWord(w);
        if (!f.isEmpty())
            folded << f;
    }
    if (folded.isEmpty() || text.isEmpty())
        return out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // The next word of the text: letters, digits and their marks.
        const auto codeAt = [&](qsizetype at, int* units) -> char32_t {
            const QChar c = text.at(at);
            if (c.isHighSurrogate() && at + 1 < n && text.at(at + 1).isLowSurrogate()) {
                *units = 2;
                return QChar::surrogateToUcs4(c, text.at(at + 1));
            }
            *units = 1;
            return c.unicode();
        };
        int units = 1;
        char32_t c = codeAt(i, &units);
        if (!isWordChar(c) || QChar::isMark(c)) {
            i += units;
            continue;
        }
        // Fold the word as it goes, noting how far into the text each folded length reaches.
        const qsizetype start = i;
        QString foldedToken;
        QVector<qsizetype> endOf; // endOf[k]: text position after the character that made
                                  // the folded token k+1 long
        while (i < n) {
            c = codeAt(i, &units);
            if (!isWordChar(c))
                break;
            i += units;
            const QString f = foldedChar(c);
            foldedToken += f;
            for (qsizetype k = 0; k < f.size(); ++k)
                endOf << i;
            if (f.isEmpty() && !endOf.isEmpty())
                endOf.last() = i; // a mark belongs to the letter before it
        }
        qsizetype longest = 0;
        for (const QString& f : std::as_const(folded))
            if (foldedToken.startsWith(f))
                longest = std::max(longest, f.size());
        if (longest > 0)
            out << TextMatch{int(start), int(endOf.at(longest - 1) - start)};
    }
    return out;
}

QString searchViewName(int view)
{
    switch (SearchView(view)) {
    case SearchView::Inbox: return QStringLiteral("Inbox");
    case SearchView::InboxHistory: return QStringLiteral("Inbox - History");
    case SearchView::SentItems: return QStringLiteral("Sent Items");
    case SearchView::SentHistory: return QStringLiteral("Sent Items - History");
    }
    return QString();
}

namespace {

QString likeEscaped(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (c == u'!' || c == u'%' || c == u'_')
            out += u'!';
        out += c;
    }
    return out;
}

// Addressee rows of the To and Cc lists only, as every reader of recipients takes them.
const QString kToOrCc = QStringLiteral("(tzR.BroChkTyp=0 or tzR.BroChkTyp=1)");

// A computer whose name, or a part of it after "-", "_", "." or a blank, starts with the word.
const QString kComputerStarts = QStringLiteral(
    "CMTable.cmID IN (SELECT tzR.BroChkLinID FROM BroChkTable tzR WHERE tzR.BroChkToMac>'' and ") +
    kToOrCc +
    QStringLiteral(" and (' ' || replace(replace(replace(lower(tzR.BroChkToMac), '-', ' '), '_', ' '), "
                   "'.', ' ')) LIKE ? ESCAPE '!')");

QString sqliteWord()
{
    // The message's own words, the sender by name, an addressee by name, a computer.
    return QStringLiteral("(CMTable.cmID IN (SELECT rowid FROM CMFtsTable WHERE CMFtsTable MATCH ?)"
                          " or CMTable.cmPid IN (SELECT rowid FROM PAFtsTable WHERE PAFtsTable MATCH ?)"
                          " or CMTable.cmID IN (SELECT tzR.BroChkLinID FROM BroChkTable tzR WHERE ") +
           kToOrCc +
           QStringLiteral(" and tzR.BroChkPID IN (SELECT rowid FROM PAFtsTable WHERE PAFtsTable MATCH ?))"
                          " or ") +
           kComputerStarts + QStringLiteral(")");
}

QString postgresWord()
{
    const QString persons = QStringLiteral(
        "SELECT tzP.pID FROM PATable tzP WHERE tz_pa_words(tzP.PFirNam, tzP.PLasNam, tzP.PDocIni) "
        "@@ tz_prefix_query(?)");
    return QStringLiteral("(CMTable.cmID IN (SELECT tzM.cmID FROM CMTable tzM WHERE "
                          "tz_cm_words(tzM.CMSubjec, tzM.cmDoc, tzM.cmWho) @@ tz_prefix_query(?))"
                          " or CMTable.cmPid IN (") +
           persons +
           QStringLiteral(") or CMTable.cmID IN (SELECT tzR.BroChkLinID FROM BroChkTable tzR WHERE ") +
           kToOrCc + QStringLiteral(" and tzR.BroChkPID IN (") + persons + QStringLiteral(")) or ") +
           kComputerStarts + QStringLiteral(")");
}

QString quoteWith(HostServices& services, const QString& text) { return services.quote(text); }

} // namespace

BoundStatement wordsCondition(db::Backend backend, const QStringList& words)
{
    BoundStatement out;
    QStringList parts;
    const bool sqlite = backend == db::Backend::Sqlite;
    for (const QString& word : words) {
        const QString folded = foldedWord(word);
        if (folded.isEmpty())
            continue;
        // The word is only ever a bound value: an FTS5 string (its quotes doubled) with the
        // prefix mark, or the text PostgreSQL turns into 'word':*.
        QString ftsWord = folded;
        ftsWord.replace(u'"', QStringLiteral("\"\""));
        const QVariant indexed = sqlite ? QVariant(u'"' + ftsWord + QStringLiteral("\"*"))
                                        : QVariant(folded);
        parts << (sqlite ? sqliteWord() : postgresWord());
        out.params << indexed << indexed << indexed
                   << QVariant(QStringLiteral("% ") + likeEscaped(folded) + u'%');
    }
    // No word at all finds nothing rather than everything.
    out.sql = parts.isEmpty() ? QStringLiteral("(1=0)") : parts.join(QStringLiteral(" and "));
    return out;
}

BoundStatement buildSearchStatement(HostServices& services, db::Backend backend,
                                    const MessageListParams& view, const QStringList& words)
{
    const ListStatementParts parts = buildMessageListStatementParts(
        view, [&services](const QString& t) { return quoteWith(services, t); });
    BoundStatement condition = wordsCondition(backend, words);
    condition.sql = services.adaptSql(parts.columns + QStringLiteral(" FROM ") + parts.from +
                                      QStringLiteral(" WHERE (") + parts.where +
                                      QStringLiteral(") and ") + condition.sql);
    return condition;
}

BoundStatement buildSearchEverywhereStatement(HostServices& services, db::Backend backend,
                                              const MessageListParams& login,
                                              const QStringList& words)
{
    const BoundStatement condition = wordsCondition(backend, words);
    BoundStatement out;
    QStringList branches;
    for (const SearchView view : {SearchView::Inbox, SearchView::InboxHistory, SearchView::SentItems,
                                  SearchView::SentHistory}) {
        MessageListParams p = login;
        p.inboxView = view == SearchView::Inbox || view == SearchView::InboxHistory;
        p.msgCatOnly = false;
        p.history = view == SearchView::InboxHistory || view == SearchView::SentHistory;
        const ListStatementParts parts = buildMessageListStatementParts(
            p, [&services](const QString& t) { return quoteWith(services, t); });
        // The sent items' rows get the inbox rows' addressee columns, empty.
        branches << parts.columns +
                        (p.inboxView ? QString()
                                     : QStringLiteral(", NULL AS BroChkDonDis, NULL AS BroChkID, "
                                                      "NULL AS BroChkLinID")) +
                        QStringLiteral(", %1 AS SearchView FROM ").arg(int(view)) + parts.from +
                        QStringLiteral(" WHERE (") + parts.where + QStringLiteral(") and ") +
                        condition.sql;
        out.params << condition.params;
    }
    out.sql = services.adaptSql(branches.join(QStringLiteral(" UNION ALL ")));
    return out;
}

namespace {

bool hasSearchIndex(db::Database& db)
{
    if (db.backend() == db::Backend::Sqlite)
        return db.hasTable(QLatin1String(store::kMessageFtsTable)) &&
               db.hasTable(QLatin1String(store::kPersonFtsTable));
    const QVariant found = db.scalar(QStringLiteral(
        "SELECT to_regprocedure('tz_prefix_query(text)') IS NOT NULL AND to_regclass('ix_cm_words') "
        "IS NOT NULL AND to_regclass('ix_pa_words') IS NOT NULL"));
    return found.isValid() && found.toBool();
}

} // namespace

db::Recordset runSearch(HostServices& services, const BoundStatement& statement,
                        const QString& sortOrder, QString* error)
{
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return {};
    }
    QString reason;
    db::Recordset list = conn->query(statement.sql, statement.params, &reason);
    if (!list.isOpen()) {
        conn->forgetSchema(); // what this connection knew of the tables may be older than the store
        if (error)
            *error = hasSearchIndex(*conn)
                         ? reason
                         : QStringLiteral("The message store has no search index yet: run "
                                          "\"tzsndmsg init\" once to build it.");
        return list;
    }
    if (!list.isEmpty())
        list.setSort(nextSortOrder(QString(), sortOrder));
    return list;
}

db::Recordset searchView(HostServices& services, const MessageListParams& view,
                         const QStringList& words, const QString& sortOrder, QString* error)
{
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return {};
    }
    return runSearch(services, buildSearchStatement(services, conn->backend(), view, words),
                     sortOrder, error);
}

db::Recordset searchEverywhere(HostServices& services, const MessageListParams& login,
                               const QStringList& words, const QString& sortOrder, QString* error)
{
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return {};
    }
    return runSearch(services,
                     buildSearchEverywhereStatement(services, conn->backend(), login, words),
                     sortOrder, error);
}

void readLoginList(HostServices& services, QStringList& names, QVector<qint32>& employeeIds)
{
    names = QStringList{QString()};
    employeeIds = QVector<qint32>{0};
    bool haveSupervisor = false;
    auto persons = services.personsConnection();
    if (persons) {
        db::Reader reader = persons->read(services.adaptSql(QStringLiteral("SELECT * FROM PWMTable")));
        try {
            while (reader.isValid() && reader.next()) {
                const QString name = reader.isNull(QStringLiteral("PWMUseNam"))
                                         ? QString()
                                         : reader.value(QStringLiteral("PWMUseNam")).toString().trimmed().toUpper();
                names << name;
                employeeIds << (reader.isNull(QStringLiteral("PWMPID"))
                                    ? 0
                                    : qint32(reader.value(QStringLiteral("PWMPID")).toLongLong()));
                haveSupervisor = haveSupervisor || name == QLatin1String("SUPERVISOR");
            }
        } catch (const db::FieldError&) {
        }
    }
    if (!haveSupervisor) {
        names << QStringLiteral("SUPERVISOR");
        employeeIds << 0;
    }
}

} // namespace core

MessageSearchResult searchMessages(HostServices& services, const QString& loginName,
                                   const QString& typed, const MessageSearchScope& scope)
{
    MessageSearchResult result;
    result.words = searchWords(typed);
    if (result.words.isEmpty()) {
        result.error = QStringLiteral("Nothing to search for: the words need letters or digits.");
        return result;
    }
    core::MessageListParams params;
    core::readLoginList(services, params.loginNames, params.loginEmployeeIds);
    const QString login = loginName.trimmed().toUpper();
    const qsizetype at = login.isEmpty() ? -1 : params.loginNames.indexOf(login, 1);
    if (at < 1) {
        result.error = QStringLiteral("There is no login \"%1\" in this office.").arg(loginName.trimmed());
        return result;
    }
    params.currentEmployeeId = params.loginEmployeeIds.value(at);
    params.currentLoginName = login;
    params.computerName = services.computerName();
    params.inboxView = !scope.sentItems;
    params.msgCatOnly = !scope.allCategories;
    params.history = scope.history;

    QString error;
    const db::Recordset list =
        scope.everywhere ? core::searchEverywhere(services, params, result.words, QString(), &error)
                         : core::searchView(services, params, result.words, QString(), &error);
    if (!list.isOpen()) {
        result.error = error;
        return result;
    }
    const bool inboxRows = scope.everywhere || params.inboxView;
    const QVector<core::ViewRow> rows = core::viewRowsOf(services, list, inboxRows, true);
    const int fixedView = int(params.inboxView
                                  ? (params.history ? core::SearchView::InboxHistory : core::SearchView::Inbox)
                                  : (params.history ? core::SearchView::SentHistory
                                                    : core::SearchView::SentItems));
    db::Recordset cursor = list.clone();
    cursor.moveFirst();
    result.hits.reserve(rows.size());
    for (const core::ViewRow& row : rows) {
        MessageSearchHit hit;
        hit.messageId = row.cmID;
        hit.addresseeId = row.BroChkID;
        hit.view = core::searchViewName(scope.everywhere ? cursor.value(QStringLiteral("SearchView")).toInt()
                                                         : fixedView);
        cursor.moveNext();
        hit.from = row.cmWho;
        hit.toCc = row.toCc;
        const auto date = common::vb::parseDate(row.cmDat);
        const auto time = common::vb::parseDate(row.cmTim);
        hit.date = date ? common::vb::format(*date, QStringLiteral("Short Date")) : row.cmDat;
        hit.time = time ? common::vb::format(*time, QStringLiteral("Short Time")) : row.cmTim;
        hit.subject = row.CMSubjec;
        hit.comments = core::commentsCellText(row.cmDoc);
        hit.unread = row.unread;
        result.hits << hit;
    }
    result.ok = true;
    return result;
}

} // namespace tzsndmsg
