#pragma once

#include "core/MessageListQuery.h"
#include "tzsndmsg/MessageSearch.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>
#include <functional>

namespace tzsndmsg {
namespace db {
enum class Backend;
class Database;
class Recordset;
} // namespace db
} // namespace tzsndmsg

namespace tzsndmsg::core {

// A word as the index keeps it: accents dropped, lower case.
QString foldedWord(const QString& word);

// Where the words start words of a text, as the search finds them: the start and length of
// each match, in order, not overlapping (for highlighting).
struct TextMatch {
    int start = 0;
    int length = 0;
    bool operator==(const TextMatch&) const = default;
};
QVector<TextMatch> matchesIn(const QString& text, const QStringList& words);

// The views of "search everywhere", in the order they are listed by.
enum class SearchView { Inbox = 0, InboxHistory = 1, SentItems = 2, SentHistory = 3 };
QString searchViewName(int view);

// A statement with its values, to be run as it stands (already in the database's dialect).
struct BoundStatement {
    QString sql;
    QVariantList params;
};

// The condition "the message holds every word": on CMTable's row, for the database given.
// Each word is a start of a word of the subject, the text or the sender's login (full-text
// index), of the sender's or an addressee's names or initials (the persons' index), or of an
// addressee computer's name.
// `row` names the row the condition stands on (CMTable, or the view's rows as a table).
BoundStatement wordsCondition(db::Backend backend, const QStringList& words, const QString& row);

// The word to test first: of the words no person is named by, the one in fewest messages
// (counted up to a point); -1 when there is none.
int narrowingWord(db::Database& db, const QStringList& words);

// A view's own statement narrowed to the messages that hold every word; the word `narrowing`
// (as narrowingWord gives it) is tested first, on the view's addressee index entries.
BoundStatement buildSearchStatement(HostServices& services, db::Backend backend,
                                    const MessageListParams& view, const QStringList& words,
                                    int narrowing = -1);

// Every view of the login at once (inbox of all categories, sent items, both histories), each
// row with its view in the column SearchView.
BoundStatement buildSearchEverywhereStatement(HostServices& services, db::Backend backend,
                                              const MessageListParams& login,
                                              const QStringList& words, int narrowing = -1);

// The statement a search runs on this connection: one of the above, narrowed as it best can.
BoundStatement searchStatement(HostServices& services, db::Database& db,
                               const MessageListParams& view, const QStringList& words,
                               bool everywhere);

// Runs a search statement on the message store and sorts it as the lists are sorted. Closed,
// with the reason, when the store rejects it (a store without the index says so).
db::Recordset runSearch(HostServices& services, const BoundStatement& statement,
                        const QString& sortOrder, QString* error);

// The view narrowed, and every view at once, as the window lists them.
db::Recordset searchView(HostServices& services, const MessageListParams& view,
                         const QStringList& words, const QString& sortOrder, QString* error);
db::Recordset searchEverywhere(HostServices& services, const MessageListParams& login,
                               const QStringList& words, const QString& sortOrder, QString* error);

// A row a window lists: its message and the message's sender.
struct ListedRow {
    qint32 message = 0;
    qint32 sender = 0;
};

// The rows of a list (a view as the window holds it), in its current order.
QVector<ListedRow> listedRowsOf(const db::Recordset& list);

// What a word stands for besides the message's own words: the persons it names (a first or
// last name or initials starting with it) and the addressee computers with a part of the name
// starting with it.
struct SearchWord {
    QString folded;
    QVector<qint32> persons;
    QStringList computers;
};

// Looks up what each word names. False, with the reason, when the store rejects it.
bool resolveSearchWords(db::Database& db, const QStringList& words, QVector<SearchWord>* out,
                        QString* error, QVector<BoundStatement>* ran = nullptr);

// A search of the rows a window lists, in the list's order: the messages among them that hold
// every word, found through the index a message set at a time, so that the view's own rules
// (and its statement) are not run again. The end of the list, where it opens, is searched
// first where testing all of it costs more than a screen (PostgreSQL; a word that names a person
// or a computer): its first screen comes from the last rows, the rest when finish() is called.
class ListedSearch {
public:
    ListedSearch(HostServices& services, const QStringList& words, QVector<ListedRow> rows);
    // Finds at least `screenRows` hits at the end of the list, or every hit. False, with the
    // reason, when the store rejects it.
    bool start(int screenRows, QString* error);
    // Tests the rows not tested yet: every one, or up to `rows` more before those tested.
    bool finish(QString* error);
    bool next(qsizetype rows, QString* error);
    bool finished() const { return m_started && m_testedFrom == 0; }
    // The rows from this position to the end have been tested.
    qsizetype testedFrom() const { return m_testedFrom; }
    // The message holds every word (of the rows tested).
    bool holds(qint32 message) const { return m_found.contains(message); }
    // The row at this position (in the list's order) was tested and holds every word.
    bool rowHolds(qsizetype position) const
    {
        return position >= m_testedFrom && position < m_rows.size() &&
               m_found.contains(m_rows.at(position).message);
    }
    // Rows tested that hold every word.
    int hitRows() const;
    // The statements run so far, in order (to time them bare).
    const QVector<BoundStatement>& statementsRun() const { return m_ran; }

private:
    bool test(db::Database& db, qsizetype from, qsizetype to, bool eachRow, QString* error);

    HostServices& m_services;
    QStringList m_words;
    QVector<ListedRow> m_rows;
    QVector<SearchWord> m_resolved;
    QSet<qint32> m_found;
    QVector<BoundStatement> m_ran;
    qsizetype m_testedFrom = 0;
    bool m_started = false;
};

} // namespace tzsndmsg::core
