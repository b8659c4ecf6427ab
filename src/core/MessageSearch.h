#pragma once

#include "core/MessageListQuery.h"
#include "tzsndmsg/MessageSearch.h"

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

} // namespace tzsndmsg::core
