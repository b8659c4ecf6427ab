#pragma once

#include <QList>
#include <QString>
#include <QTime>
#include <optional>

// Pieces of the compose form that need no window: texts built from values.
namespace tzsndmsg::compose {

// Digits 0-9 then A-Z, most significant first; "0" for zero; negative numbers get "-".
QString base36(qint64 value);
// The personal canned-text store of an employee: "MSGDB" and the first five base-36 digits.
QString personalCannedStore(qint32 employeeId);
inline QString officeCannedStore()
{
    return QStringLiteral("MSGDB-OFFI");
}

// "(preview)" of the send-again question: the first 30 characters trimmed, "..." when the
// body is longer, line breaks removed.
QString sentAgainPreview(const QString& body);

// The subject with the prefix ("RE: ", "FW: ", "RR: ") unless its first three characters,
// upper-cased, are already the prefix's.
QString prefixedSubject(const QString& subject, const QString& prefix);

// The quoted original of a reply, forward or receipt.
QString quotedOriginal(const QString& author, const QString& toText, const QString& ccText,
                       const QString& subject, const QString& body);

struct ReminderChoice {
    QString text;
    int minutes = 0;
};
// The 59 amounts of time before a linked record: 05 min .. 55 min, 1 hr 00 min .. 12 hr 45 min.
const QList<ReminderChoice>& relativeReminderChoices();
// The free reminder times "hh:nn am/pm": from the chosen time (when not later than now) or
// now, rounded up to the interval, up to the first entry at or after 11:44 pm.
QStringList freeReminderTimes(const QTime& now, const std::optional<QTime>& chosen, int interval);
// The moment `minutes` after midnight (a day further wraps) as `pattern` writes it. Each text is
// written once a thread: the time lists ask for the same few hundred at every open.
QString clockText(int minutes, const QString& pattern);

} // namespace tzsndmsg::compose
