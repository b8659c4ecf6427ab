#include "core/MessageSearch.h"

#include "common/VbFormat.h"
#include "core/KeyList.h"
#include "core/LoginList.h"
#include "store/SearchIndex.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QHash>
#include <QSet>

namespace tzsndmsg {

namespace {

bool isWordChar(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

// One character as the index folds it: the letters it spells plainly so spelled, else accents
// dropped and lower case. Most text is ASCII.
QString foldedChar(char32_t c)
{
    if (c < 0x80)
        return QString(QChar(char16_t(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c)));
    static const QHash<char32_t, QString> plain = [] {
        QHash<char32_t, QString> out;
        for (const store::LetterFold& fold : store::letterFolds())
            out.insert(fold.letter, fold.plain);
        return out;
    }();
    if (const auto found = plain.constFind(c); found != plain.constEnd())
        return *found;
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
        if (folded.isEmpty() || seen.contains(folded))
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

QString searchWordsError(const QStringList& words)
{
    if (words.size() > kMaxSearchWords)
        return QStringLiteral("A search takes at most %1 words; %2 were typed.")
            .arg(kMaxSearchWords)
            .arg(words.size());
    for (const QString& word : words) {
        const qsizetype length = word.toUcs4().size();
        if (length > kMaxSearchWordLength)
            return QStringLiteral("A search word has at most %1 letters and digits; one typed "
                                  "has %2.")
                .arg(kMaxSearchWordLength)
                .arg(length);
    }
    return QString();
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
    case SearchView::Inbox:
        return QStringLiteral("Inbox");
    case SearchView::InboxHistory:
        return QStringLiteral("Inbox - History");
    case SearchView::SentItems:
        return QStringLiteral("Sent Items");
    case SearchView::SentHistory:
        return QStringLiteral("Sent Items - History");
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
// A person's addressee row. A computer's row names the employee who confirmed there, but the
// message was addressed to the computer.
const QString kPersonRow = QStringLiteral("coalesce(trim(tzR.BroChkToMac), '')=''");

// A computer whose name, or a part of it after "-", "_", "." or a blank, starts with the word.
QString computerStarts(const QString& row)
{
    return row +
           QStringLiteral(".cmID IN (SELECT tzR.BroChkLinID FROM BroChkTable tzR WHERE "
                          "tzR.BroChkToMac>'' and ") +
           kToOrCc +
           QStringLiteral(" and (' ' || replace(replace(replace(lower(tzR.BroChkToMac), '-', ' '), "
                          "'_', ' '), '.', ' ')) LIKE ? ESCAPE '!')");
}

// One word on SQLite: the message's own words, the sender by name, an addressee by name, a
// computer. An addressee is looked up from the message, a seek per person so named in the
// addressee index: a name's persons receive every whole-office message, and reading the rows
// of all of them would cost more than the view.
QString sqliteWord(const QString& row)
{
    return QStringLiteral(
               "(%1.cmID IN (SELECT rowid FROM CMWrdTable WHERE CMWrdTable MATCH ?)"
               " or %1.cmPid IN (SELECT rowid FROM PAWrdTable WHERE PAWrdTable MATCH ?)"
               " or EXISTS (SELECT 1 FROM BroChkTable tzR WHERE tzR.BroChkLinID=%1.cmID"
               " and tzR.BroChkPID IN (SELECT rowid FROM PAWrdTable WHERE PAWrdTable MATCH ?)"
               " and ")
               .arg(row) +
           kToOrCc + QStringLiteral(" and ") + kPersonRow + QStringLiteral(") or ") +
           computerStarts(row) + QStringLiteral(")");
}

// PostgreSQL: the messages whose own words hold a word (one bound value). Where the connection
// is kept to its rows by row-level security, the office's tz_cm_hits reads the index and keeps to
// the person's own messages: left to the policies, the server tests the words on every message
// the person may read (the word test is not leakproof, so the index cannot come first).
QString postgresHits(bool keptToCaller)
{
    return keptToCaller ? QStringLiteral("SELECT tzH.id FROM tz_cm_hits(?) tzH(id)")
                        : QStringLiteral("SELECT tzM.cmID FROM CMTable tzM WHERE "
                                         "tz_cm_words(tzM.CMSubjec, tzM.cmDoc, tzM.cmWho) @@ "
                                         "tz_prefix_query(?)");
}

bool hitsKeptToCaller(db::Database& db)
{
    if (db.backend() != db::Backend::Postgres)
        return false;
    const QVariant kept = db.scalar(QStringLiteral(
        "SELECT to_regprocedure('tz_cm_hits(text)') IS NOT NULL AND NOT coalesce((SELECT "
        "rolsuper OR rolbypassrls FROM pg_roles WHERE rolname = current_user), false)"));
    return kept.isValid() && kept.toBool();
}

bool hitsKeptToCaller(HostServices& services)
{
    const auto conn = services.messageStoreConnection();
    return conn && hitsKeptToCaller(*conn);
}

// The same on PostgreSQL, through the expression indexes; the persons so named as an array, so
// that their addressee rows are found through (BroChkPID, BroChkLinID).
QString postgresWord(const QString& row, bool keptToCaller)
{
    const QString persons = QStringLiteral(
        "SELECT tzP.pID FROM PATable tzP WHERE tz_pa_words(tzP.PFirNam, tzP.PLasNam, tzP.PDocIni) "
        "@@ tz_prefix_query(?)");
    return QStringLiteral("(%1.cmID IN (%3)"
                          " or %1.cmPid IN (%2)"
                          " or EXISTS (SELECT 1 FROM BroChkTable tzR WHERE tzR.BroChkLinID=%1.cmID"
                          " and tzR.BroChkPID = ANY (ARRAY(%2)) and ")
               .arg(row, persons, postgresHits(keptToCaller)) +
           kToOrCc + QStringLiteral(" and ") + kPersonRow + QStringLiteral(") or ") +
           computerStarts(row) + QStringLiteral(")");
}

QString quoteWith(HostServices& services, const QString& text)
{
    return services.quote(text);
}

// On PostgreSQL the view's rows come first and the words are tested on them: left to itself
// the planner tests the words on every message of the store and joins the view after.
QString postgresNarrowed(const QString& viewStatements, const QString& condition)
{
    return QStringLiteral("SELECT tzV.* FROM (") + viewStatements +
           QStringLiteral(" OFFSET 0) tzV WHERE ") + condition;
}

QString ftsString(const QString& folded)
{
    QString quoted = folded;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + QStringLiteral("\"*");
}

QString computerPattern(const QString& folded)
{
    return QStringLiteral("% ") + likeEscaped(folded) + u'%';
}

// SQLite: the messages a word can stand in when no person is so named, from the index and the
// addressee computers; `key` is the view's message key (the addressee row's link in an inbox),
// tested on the index entries of the view's rows before any row is read.
BoundStatement sqliteNarrowing(const QString& key, const QString& folded)
{
    return {key +
                QStringLiteral(" IN (SELECT rowid FROM CMWrdTable WHERE CMWrdTable MATCH ? UNION "
                               "ALL SELECT tzR.BroChkLinID FROM BroChkTable tzR WHERE "
                               "tzR.BroChkToMac>'' and ") +
                kToOrCc +
                QStringLiteral(" and (' ' || replace(replace(replace(lower(tzR.BroChkToMac), '-', "
                               "' '), '_', ' '), '.', ' ')) LIKE ? ESCAPE '!')"),
            {ftsString(folded), computerPattern(folded)}};
}

// PostgreSQL: the messages the narrowing word can stand in (no person is so named), read once
// for the statement as an array.
BoundStatement postgresCandidates(const QString& folded, bool keptToCaller)
{
    return {QStringLiteral("WITH tzC AS MATERIALIZED (SELECT ARRAY(") + postgresHits(keptToCaller) +
                QStringLiteral(" UNION ALL SELECT tzR.BroChkLinID FROM BroChkTable "
                               "tzR WHERE tzR.BroChkToMac>'' and ") +
                kToOrCc +
                QStringLiteral(" and (' ' || replace(replace(replace(lower(tzR.BroChkToMac), '-', "
                               "' '), '_', ' '), '.', ' ')) LIKE ? ESCAPE '!') AS ids) "),
            {folded, computerPattern(folded)}};
}

// ... and a view's rows kept to them. The planner is shown the way in: for an employee's inbox
// each side of its own "BroChkPid or BroChkToMac" test with the message among them, which the
// addressee indexes answer a message at a time; otherwise the message's key.
QString postgresNarrowing(const MessageListParams& view, HostServices& services)
{
    const QString among = QStringLiteral(" = ANY (ARRAY(SELECT unnest(ids) FROM tzC))");
    if (view.inboxView && view.currentEmployeeId != 0)
        return QStringLiteral("((BroChkPid=%1 and BroChkTable.BroChkLinID%3) or (BroChkToMac=%2 "
                              "and BroChkTable.BroChkLinID%3))")
            .arg(QString::number(view.currentEmployeeId),
                 services.quote(view.computerName.toUpper()), among);
    return QStringLiteral("CMTable.cmID") + among;
}

// The condition of a SQLite view's rows: its narrowing word first, then the others.
BoundStatement sqliteCondition(bool inboxView, const QStringList& words, int narrowing)
{
    QStringList others;
    for (int i = 0; i < words.size(); ++i)
        if (i != narrowing)
            others << words.at(i);
    BoundStatement rest = wordsCondition(db::Backend::Sqlite, others, QStringLiteral("CMTable"));
    if (narrowing < 0 || narrowing >= words.size())
        return rest;
    BoundStatement out = sqliteNarrowing(inboxView ? QStringLiteral("BroChkTable.BroChkLinID")
                                                   : QStringLiteral("CMTable.cmID"),
                                         foldedWord(words.at(narrowing)));
    if (!others.isEmpty()) {
        out.sql += QStringLiteral(" and ") + rest.sql;
        out.params << rest.params;
    }
    return out;
}

} // namespace

namespace {

BoundStatement wordsCondition(db::Backend backend, const QStringList& words, const QString& row,
                              bool keptToCaller)
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
        const QVariant indexed = sqlite ? QVariant(ftsString(folded)) : QVariant(folded);
        parts << (sqlite ? sqliteWord(row) : postgresWord(row, keptToCaller));
        out.params << indexed << indexed << indexed << QVariant(computerPattern(folded));
    }
    // No word at all finds nothing rather than everything.
    out.sql = parts.isEmpty() ? QStringLiteral("(1=0)") : parts.join(QStringLiteral(" and "));
    return out;
}

} // namespace

BoundStatement wordsCondition(db::Backend backend, const QStringList& words, const QString& row)
{
    return wordsCondition(backend, words, row, false);
}

int narrowingWord(db::Database& db, const QStringList& words)
{
    const bool sqlite = db.backend() == db::Backend::Sqlite;
    // Counting stops here: a word in more messages than this narrows little. (PostgreSQL
    // reads a row for each message it counts.)
    const qint64 enough = sqlite ? 20000 : 10000;
    const QString persons =
        sqlite ? QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM PAWrdTable WHERE PAWrdTable "
                                "MATCH ? LIMIT 1) tzN")
               : QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM PATable WHERE "
                                "tz_pa_words(PFirNam, PLasNam, PDocIni) @@ tz_prefix_query(?) "
                                "LIMIT 1) tzN");
    const QString messages =
        sqlite ? QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM CMWrdTable WHERE CMWrdTable "
                                "MATCH ? LIMIT ?) tzN")
               : QStringLiteral("SELECT count(*) FROM (") + postgresHits(hitsKeptToCaller(db)) +
                     QStringLiteral(" LIMIT ?) tzN");
    int best = -1;
    qint64 fewest = enough;
    for (int i = 0; i < words.size(); ++i) {
        const QString folded = foldedWord(words.at(i));
        if (folded.isEmpty())
            continue;
        const QVariant word = sqlite ? QVariant(ftsString(folded)) : QVariant(folded);
        const QVariant named = db.scalar(persons, {word});
        if (!named.isValid() || named.toLongLong() != 0)
            continue;
        const QVariant count = db.scalar(messages, {word, fewest});
        if (count.isValid() && (best < 0 || count.toLongLong() < fewest)) {
            best = i;
            fewest = count.toLongLong();
        }
    }
    return best;
}

BoundStatement buildSearchStatement(HostServices& services, db::Backend backend,
                                    const MessageListParams& view, const QStringList& words,
                                    int narrowing)
{
    const ListStatementParts parts =
        buildMessageListStatementParts(withClock(services, view), [&services](const QString& t) {
            return quoteWith(services, t);
        });
    const QString viewStatement = parts.columns + QStringLiteral(" FROM ") + parts.from +
                                  QStringLiteral(" WHERE ") + parts.where;
    if (backend == db::Backend::Postgres) {
        const bool kept = hitsKeptToCaller(services);
        if (narrowing < 0 || narrowing >= words.size()) {
            BoundStatement condition = wordsCondition(backend, words, QStringLiteral("tzV"), kept);
            condition.sql = services.adaptSql(postgresNarrowed(viewStatement, condition.sql));
            return condition;
        }
        QStringList others = words;
        others.removeAt(narrowing);
        BoundStatement out = postgresCandidates(foldedWord(words.at(narrowing)), kept);
        const BoundStatement rest = wordsCondition(backend, others, QStringLiteral("tzV"), kept);
        out.sql = services.adaptSql(
            out.sql + postgresNarrowed(viewStatement + QStringLiteral(" and ") +
                                           postgresNarrowing(view, services),
                                       others.isEmpty() ? QStringLiteral("true") : rest.sql));
        if (!others.isEmpty())
            out.params << rest.params;
        return out;
    }
    BoundStatement condition = sqliteCondition(view.inboxView, words, narrowing);
    condition.sql = services.adaptSql(parts.columns + QStringLiteral(" FROM ") + parts.from +
                                      QStringLiteral(" WHERE (") + parts.where +
                                      QStringLiteral(") and ") + condition.sql);
    return condition;
}

BoundStatement buildSearchEverywhereStatement(HostServices& services, db::Backend backend,
                                              const MessageListParams& login,
                                              const QStringList& words, int narrowing)
{
    const bool postgres = backend == db::Backend::Postgres;
    const bool narrowed = narrowing >= 0 && narrowing < words.size();
    QStringList others = words;
    if (postgres && narrowed)
        others.removeAt(narrowing);
    const bool kept = postgres && hitsKeptToCaller(services);
    const BoundStatement condition = wordsCondition(backend, others, QStringLiteral("tzV"), kept);
    BoundStatement out;
    QStringList branches;
    for (const SearchView view : {SearchView::Inbox, SearchView::InboxHistory,
                                  SearchView::SentItems, SearchView::SentHistory}) {
        MessageListParams p = login;
        p.inboxView = view == SearchView::Inbox || view == SearchView::InboxHistory;
        p.msgCatOnly = false;
        p.history = view == SearchView::InboxHistory || view == SearchView::SentHistory;
        const ListStatementParts parts =
            buildMessageListStatementParts(withClock(services, p), [&services](const QString& t) {
                return quoteWith(services, t);
            });
        // The sent items' rows get the inbox rows' addressee columns, empty.
        const QString branch =
            parts.columns +
            (p.inboxView ? QString()
                         : QStringLiteral(
                               ", NULL AS BroChkDonDis, NULL AS BroChkID, NULL AS BroChkLinID")) +
            QStringLiteral(", %1 AS SearchView FROM ").arg(int(view)) + parts.from +
            QStringLiteral(" WHERE ");
        if (postgres) {
            branches << branch + parts.where +
                            (narrowed ? QStringLiteral(" and ") + postgresNarrowing(p, services)
                                      : QString());
        } else {
            const BoundStatement own = sqliteCondition(p.inboxView, words, narrowing);
            branches << branch + QStringLiteral("(") + parts.where + QStringLiteral(") and ") +
                            own.sql;
            out.params << own.params;
        }
    }
    const QString united = branches.join(QStringLiteral(" UNION ALL "));
    if (postgres) {
        // The words tested once on the rows of all four views.
        const BoundStatement candidates =
            narrowed ? postgresCandidates(foldedWord(words.at(narrowing)), kept) : BoundStatement();
        out.sql = services.adaptSql(
            candidates.sql +
            postgresNarrowed(united, others.isEmpty() ? QStringLiteral("true") : condition.sql));
        out.params = candidates.params;
        if (!others.isEmpty())
            out.params << condition.params;
    } else {
        out.sql = services.adaptSql(united);
    }
    return out;
}

BoundStatement searchStatement(HostServices& services, db::Database& db,
                               const MessageListParams& view, const QStringList& words,
                               bool everywhere)
{
    const int narrowing = narrowingWord(db, words);
    return everywhere
               ? buildSearchEverywhereStatement(services, db.backend(), view, words, narrowing)
               : buildSearchStatement(services, db.backend(), view, words, narrowing);
}

namespace {

// Words beyond the limits are refused with the reason rather than searched for in part.
bool searchable(const QStringList& words, QString* error)
{
    const QString why = searchWordsError(words);
    if (!why.isEmpty() && error)
        *error = why;
    return why.isEmpty();
}

bool hasSearchIndex(db::Database& db)
{
    if (db.backend() == db::Backend::Sqlite)
        return db.hasTable(QLatin1String(store::kMessageFtsTable)) &&
               db.hasTable(QLatin1String(store::kPersonFtsTable));
    const QVariant found =
        db.scalar(QStringLiteral("SELECT to_regprocedure('tz_prefix_query(text)') IS NOT NULL AND "
                                 "to_regclass('ix_cm_words') "
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
    if (!searchable(words, error))
        return {};
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return {};
    }
    return runSearch(services, searchStatement(services, *conn, view, words, false), sortOrder,
                     error);
}

db::Recordset searchEverywhere(HostServices& services, const MessageListParams& login,
                               const QStringList& words, const QString& sortOrder, QString* error)
{
    if (!searchable(words, error))
        return {};
    auto conn = services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return {};
    }
    return runSearch(services, searchStatement(services, *conn, login, words, true), sortOrder,
                     error);
}

namespace {

// Of `keys`, the messages whose own words hold every word given. PostgreSQL either tests each
// message (its words computed from its row) or intersects the index with the keys; SQLite reads
// the words' entries once and keeps those among the keys.
BoundStatement textAmong(db::Backend backend, const QStringList& folded,
                         const QVector<qint32>& keys, bool eachRow)
{
    if (backend == db::Backend::Sqlite) {
        QStringList phrases;
        for (const QString& word : folded)
            phrases << ftsString(word);
        return {QStringLiteral("SELECT tzF.r FROM (SELECT rowid AS r FROM CMWrdTable WHERE "
                               "CMWrdTable MATCH ?) tzF WHERE +") +
                    keysAmong(backend, QStringLiteral("tzF.r")),
                {phrases.join(u' '), keysValue(backend, keys)}};
    }
    const QString query =
        u'(' + QStringList(folded.size(), QStringLiteral("tz_prefix_query(?)")).join(" && ") + u')';
    QVariantList words;
    for (const QString& word : folded)
        words << word;
    if (eachRow)
        return {QStringLiteral("SELECT tzM.cmID FROM (SELECT cmID, CMSubjec, cmDoc, cmWho FROM "
                               "CMTable WHERE ") +
                    keysAmong(backend, QStringLiteral("cmID")) +
                    QStringLiteral(" OFFSET 0) tzM WHERE tz_cm_words(tzM.CMSubjec, tzM.cmDoc, "
                                   "tzM.cmWho) @@ ") +
                    query,
                QVariantList{keysValue(backend, keys)} + words};
    return {
        QStringLiteral("SELECT cmID FROM CMTable WHERE tz_cm_words(CMSubjec, cmDoc, cmWho) @@ ") +
            query + QStringLiteral(" and ") + keysAmong(backend, QStringLiteral("cmID")),
        words + QVariantList{keysValue(backend, keys)}};
}

// Of `keys`, the messages with a To or Cc addressee among the persons or computers given.
BoundStatement addresseesAmong(db::Backend backend, const QVector<qint32>& persons,
                               const QStringList& computers, const QVector<qint32>& keys)
{
    BoundStatement out;
    QString who;
    if (!persons.isEmpty()) {
        QStringList ids;
        for (qint32 id : persons)
            ids << QString::number(id);
        who = QStringLiteral("BroChkPID IN (") + ids.join(u',') +
              QStringLiteral(") and coalesce(trim(BroChkToMac), '')=''");
    } else {
        who = QStringLiteral("BroChkToMac IN (") +
              QStringList(computers.size(), QStringLiteral("?")).join(u',') + u')';
        for (const QString& name : computers)
            out.params << name;
    }
    if (backend == db::Backend::Sqlite) {
        // Each key sought among the rows of those persons (or computers): left to itself SQLite
        // reads every addressee row of each key, and a whole-office message has hundreds.
        out.sql = QStringLiteral("SELECT DISTINCT BroChkLinID FROM json_each(?) tzK CROSS JOIN "
                                 "BroChkTable WHERE BroChkLinID = tzK.value and ") +
                  who + QStringLiteral(" and (BroChkTyp=0 or BroChkTyp=1)");
        out.params.prepend(keysValue(backend, keys));
        return out;
    }
    out.sql = QStringLiteral("SELECT DISTINCT BroChkLinID FROM BroChkTable WHERE ") + who +
              QStringLiteral(" and (BroChkTyp=0 or BroChkTyp=1) and ") +
              keysAmong(backend, QStringLiteral("BroChkLinID"));
    out.params << keysValue(backend, keys);
    return out;
}

} // namespace

QVector<ListedRow> listedRowsOf(const db::Recordset& list)
{
    QVector<ListedRow> rows;
    if (!list.isOpen())
        return rows;
    rows.reserve(list.recordCount());
    db::Recordset cursor = list.clone();
    const int message = cursor.fieldIndex(QStringLiteral("cmID"));
    const int sender = cursor.fieldIndex(QStringLiteral("cmPid"));
    if (message < 0 || sender < 0)
        return rows;
    for (; !cursor.eof(); cursor.moveNext())
        rows << ListedRow{qint32(cursor.value(message).toLongLong()),
                          qint32(cursor.value(sender).toLongLong())};
    return rows;
}

bool resolveSearchWords(db::Database& db, const QStringList& words, QVector<SearchWord>* out,
                        QString* error, QVector<BoundStatement>* ran)
{
    const bool sqlite = db.backend() == db::Backend::Sqlite;
    const QString persons =
        sqlite ? QStringLiteral("SELECT rowid FROM PAWrdTable WHERE PAWrdTable MATCH ?")
               : QStringLiteral("SELECT pID FROM PATable WHERE tz_pa_words(PFirNam, PLasNam, "
                                "PDocIni) @@ tz_prefix_query(?)");
    const QString computers = QStringLiteral(
        "SELECT DISTINCT BroChkToMac FROM BroChkTable WHERE BroChkToMac>'' and (' ' || "
        "replace(replace(replace(lower(BroChkToMac), '-', ' '), '_', ' '), '.', ' ')) LIKE ? "
        "ESCAPE '!'");
    out->clear();
    for (const QString& word : words) {
        SearchWord resolved;
        resolved.folded = foldedWord(word);
        if (resolved.folded.isEmpty())
            continue;
        QString reason;
        const QVariantList name{sqlite ? QVariant(ftsString(resolved.folded))
                                       : QVariant(resolved.folded)};
        const QVariantList pattern{computerPattern(resolved.folded)};
        if (ran)
            *ran << BoundStatement{persons, name} << BoundStatement{computers, pattern};
        db::Reader named = db.read(persons, name, &reason);
        if (!named.isValid()) {
            if (error)
                *error = reason;
            return false;
        }
        while (named.next())
            resolved.persons << qint32(named.value(0).toLongLong());
        db::Reader machines = db.read(computers, pattern, &reason);
        if (!machines.isValid()) {
            if (error)
                *error = reason;
            return false;
        }
        while (machines.next())
            resolved.computers << machines.value(0).toString();
        *out << resolved;
    }
    // The longest word first: it is likely the rarest, and each word after tests only the
    // messages the words before it were found in.
    std::stable_sort(out->begin(), out->end(), [](const SearchWord& a, const SearchWord& b) {
        return a.folded.size() > b.folded.size();
    });
    return true;
}

ListedSearch::ListedSearch(HostServices& services, const QStringList& words,
                           QVector<ListedRow> rows)
    : m_services(services), m_words(words), m_rows(std::move(rows)), m_testedFrom(m_rows.size())
{
}

int ListedSearch::hitRows() const
{
    int n = 0;
    for (qsizetype i = m_testedFrom; i < m_rows.size(); ++i)
        n += int(m_found.contains(m_rows.at(i).message));
    return n;
}

bool ListedSearch::test(db::Database& db, qsizetype from, qsizetype to, bool eachRow,
                        QString* error)
{
    const db::Backend backend = db.backend();
    QSet<qint32> candidates;
    for (qsizetype i = from; i < to; ++i)
        candidates.insert(m_rows.at(i).message);
    const auto run = [&](const BoundStatement& statement, QSet<qint32>& into) {
        QString reason;
        db::Reader found = db.read(statement.sql, statement.params, &reason);
        m_ran << statement;
        if (!found.isValid()) {
            if (error)
                *error = reason;
            return false;
        }
        while (found.next())
            into.insert(qint32(found.value(0).toLongLong()));
        return true;
    };
    // The words that name no person and no computer are tested together, in one statement.
    QStringList textOnly;
    for (const SearchWord& word : std::as_const(m_resolved))
        if (word.persons.isEmpty() && word.computers.isEmpty())
            textOnly << word.folded;
    if (!textOnly.isEmpty() && !candidates.isEmpty()) {
        QSet<qint32> holding;
        if (!run(textAmong(backend, textOnly, QVector<qint32>(candidates.begin(), candidates.end()),
                           eachRow),
                 holding))
            return false;
        candidates.intersect(holding);
    }
    for (const SearchWord& word : std::as_const(m_resolved)) {
        if (candidates.isEmpty())
            break;
        if (word.persons.isEmpty() && word.computers.isEmpty())
            continue;
        QSet<qint32> holding;
        // Sent by a person the word names: known from the row itself.
        if (!word.persons.isEmpty())
            for (qsizetype i = from; i < to; ++i)
                if (word.persons.contains(m_rows.at(i).sender) &&
                    candidates.contains(m_rows.at(i).message))
                    holding.insert(m_rows.at(i).message);
        const auto untested = [&] {
            QVector<qint32> keys;
            for (qint32 id : std::as_const(candidates))
                if (!holding.contains(id))
                    keys << id;
            return keys;
        };
        QVector<qint32> keys = untested();
        if (!keys.isEmpty() && !run(textAmong(backend, {word.folded}, keys, eachRow), holding))
            return false;
        if (!word.persons.isEmpty() && !(keys = untested()).isEmpty() &&
            !run(addresseesAmong(backend, word.persons, {}, keys), holding))
            return false;
        if (!word.computers.isEmpty() && !(keys = untested()).isEmpty() &&
            !run(addresseesAmong(backend, {}, word.computers, keys), holding))
            return false;
        candidates.intersect(holding);
    }
    if (m_resolved.isEmpty())
        candidates.clear(); // no word at all finds nothing rather than everything
    m_found.unite(candidates);
    m_testedFrom = std::min(m_testedFrom, from);
    return true;
}

bool ListedSearch::start(int screenRows, QString* error)
{
    m_found.clear();
    m_ran.clear();
    m_testedFrom = m_rows.size();
    m_started = true;
    if (!searchable(m_words, error))
        return false;
    auto conn = m_services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return false;
    }
    QString reason;
    if (!resolveSearchWords(*conn, m_words, &m_resolved, &reason, &m_ran)) {
        conn->forgetSchema();
        if (error)
            *error = hasSearchIndex(*conn) ? reason
                                           : QStringLiteral("The message store has no search "
                                                            "index yet: run \"tzsndmsg init\" "
                                                            "once to build it.");
        return false;
    }
    const qsizetype n = m_rows.size();
    const bool postgres = conn->backend() == db::Backend::Postgres;
    bool named = false;
    for (const SearchWord& word : std::as_const(m_resolved))
        named = named || !word.persons.isEmpty() || !word.computers.isEmpty();
    // The end of the list first where testing all of it costs more than a screen: on
    // PostgreSQL a word's text is tested on the rows themselves (reading the index of a word in
    // most messages costs more than testing a screen of them); on both, a name is sought among
    // the addressees of each message (a whole-office message has hundreds). A word in most of
    // the last rows fills the screen there; a rarer one is left to the index for the whole list.
    constexpr qsizetype kFirstPart = 64;
    constexpr qsizetype kMostOneByOne = 256;
    if ((postgres || named) && n > kFirstPart) {
        if (!test(*conn, n - kFirstPart, n, true, error))
            return false;
        const int found = hitRows();
        if (found >= screenRows)
            return true;
        if (found >= 8) {
            // Dense enough to fill the screen from a few rows more.
            const qsizetype more =
                qsizetype(double(screenRows - found) * double(kFirstPart) / found * 1.25) + 1;
            if (more <= kMostOneByOne) {
                if (!test(*conn, std::max<qsizetype>(0, n - kFirstPart - more), n - kFirstPart,
                          true, error))
                    return false;
                if (hitRows() >= screenRows || m_testedFrom == 0)
                    return true;
            }
        }
        return finish(error);
    }
    return test(*conn, 0, n, postgres, error);
}

bool ListedSearch::next(qsizetype rows, QString* error)
{
    if (!m_started)
        return start(0, error);
    if (m_testedFrom == 0)
        return true;
    auto conn = m_services.messageStoreConnection();
    if (!conn) {
        if (error)
            *error = QStringLiteral("The message store is not open.");
        return false;
    }
    qsizetype from = std::max<qsizetype>(0, m_testedFrom - std::max<qsizetype>(1, rows));
    // The rows of one message (to the person and to the computer) are tested together.
    while (from > 0 && m_rows.at(from - 1).message == m_rows.at(from).message)
        --from;
    return test(*conn, from, m_testedFrom, false, error);
}

bool ListedSearch::finish(QString* error)
{
    return next(m_rows.size(), error);
}

} // namespace core

bool searchMessages(HostServices& services, const QString& loginName, const QString& typed,
                    const MessageSearchScope& scope, MessageSearchResult& result, QString* error)
{
    result = MessageSearchResult();
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    result.words = searchWords(typed);
    if (result.words.isEmpty())
        return fail(QStringLiteral("Nothing to search for: the words need letters or digits."));
    if (const QString why = searchWordsError(result.words); !why.isEmpty())
        return fail(why);
    core::MessageListParams params;
    const core::ViewLogin login = core::ResolveViewLogin(services, loginName);
    if (const QString why = core::viewLoginRefusal(login); !why.isEmpty())
        return fail(why);
    core::setViewLogin(params, login, services.computerName());
    params.inboxView = !scope.sentItems;
    params.msgCatOnly = !scope.allCategories;
    params.history = scope.history;

    QString why;
    const db::Recordset list =
        scope.everywhere ? core::searchEverywhere(services, params, result.words, QString(), &why)
                         : core::searchView(services, params, result.words, QString(), &why);
    if (!list.isOpen())
        return fail(why);
    const bool inboxRows = scope.everywhere || params.inboxView;
    const QVector<core::ViewRow> rows = core::viewRowsOf(services, list, inboxRows, true);
    const int fixedView =
        int(params.inboxView
                ? (params.history ? core::SearchView::InboxHistory : core::SearchView::Inbox)
                : (params.history ? core::SearchView::SentHistory : core::SearchView::SentItems));
    db::Recordset cursor = list.clone();
    cursor.moveFirst();
    result.hits.reserve(rows.size());
    for (const core::ViewRow& row : rows) {
        MessageSearchHit hit;
        hit.messageId = row.cmID;
        hit.addresseeId = row.BroChkID;
        hit.view = core::searchViewName(
            scope.everywhere ? cursor.value(QStringLiteral("SearchView")).toInt() : fixedView);
        cursor.moveNext();
        hit.from = row.cmWho;
        hit.toCc = row.toCc;
        const auto date = common::vb::parseDate(row.cmDat);
        const auto time = common::vb::parseDate(row.cmTim);
        hit.date = date ? common::vb::format(*date, QStringLiteral("mm/dd/yyyy")) : row.cmDat;
        hit.time = time ? common::vb::format(*time, QStringLiteral("Short Time")) : row.cmTim;
        hit.subject = row.CMSubjec;
        hit.comments = core::commentsCellText(row.cmDoc);
        hit.unread = row.unread;
        result.hits << hit;
    }
    if (error)
        error->clear(); // as the other readers leave it
    return true;
}

} // namespace tzsndmsg
