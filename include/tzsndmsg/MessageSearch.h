#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace tzsndmsg {

class HostServices;

// Which messages a search looks through: one view of the login, as the message window lists it
// (by default the inbox of the category "Message"), or every view of the login at once.
struct MessageSearchScope {
    bool everywhere = false;    // the inbox of all categories, sent items and both histories
    bool sentItems = false;     // one view: the sent items rather than the inbox
    bool allCategories = false; // the inbox of all categories rather than "Message" only
    bool history = false;       // the view's purged messages
};

// A message found, as its row in the list shows it.
struct MessageSearchHit {
    qint32 messageId = 0;   // CMTable's cmID
    qint32 addresseeId = 0; // the inbox row's BroChkID; 0 for sent items
    QString view;           // "Inbox", "Inbox - History", "Sent Items" or "Sent Items - History"
    QString from;           // the sender's login
    QString toCc;           // initials and computers, "/ " before the Cc
    QString date, time;     // as the list shows them
    QString subject;
    QString comments;    // the start of the text, line breaks as blanks
    bool unread = false; // an inbox row not yet read
};

struct MessageSearchResult {
    QStringList words;              // what was looked for
    QVector<MessageSearchHit> hits; // in the list's order (date, time, id)
};

// The words a search looks for in what was typed: runs of letters and digits, each once. Quotes,
// backslashes and other signs only separate words.
QStringList searchWords(const QString& typed);

// The most words a search takes, and the most letters and digits of one word.
inline constexpr int kMaxSearchWords = 16;
inline constexpr int kMaxSearchWordLength = 100;

// Why these words cannot be searched for (too many, or a word too long), as a sentence to show;
// empty when they can.
QString searchWordsError(const QStringList& words);

// Finds the messages of the login's views that hold every word typed, in any order, each as
// the start of a word (case and accents ignored; "ß" is "ss", "ø" is "o", a ligature or a
// fullwidth letter its plain letters), in the subject, the text, the sender (login name, the
// person's names and initials) or the To/Cc names (persons addressed, by names and initials;
// computers by name). A search never lists a message the login's views would not list.
// False, with nothing found and the reason in *error, for a login the office does not know or
// whose person has left the office, nothing to search for, words beyond the limits above, a
// store without its search index (made by "tzsndmsg init"), a database error.
// Runs on the calling thread over the services' message store connection, so call it on the
// thread that opened the services.
bool searchMessages(HostServices& services, const QString& loginName, const QString& typed,
                    const MessageSearchScope& scope, MessageSearchResult& result,
                    QString* error = nullptr);

} // namespace tzsndmsg
