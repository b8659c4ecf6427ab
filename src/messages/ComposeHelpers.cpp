#include "ComposeHelpers.h"

#include "common/VbFormat.h"

#include <QHash>

namespace tzsndmsg::compose {

QString base36(qint64 value)
{
    if (value == 0)
        return QStringLiteral("0");
    const bool negative = value < 0;
    quint64 rest = negative ? quint64(-(value + 1)) + 1 : quint64(value);
    QString digits;
    while (rest > 0) {
        const int digit = int(rest % 36);
        digits.prepend(digit < 10 ? QChar(u'0' + digit) : QChar(u'A' + digit - 10));
        rest /= 36;
    }
    return negative ? QLatin1Char('-') + digits : digits;
}

QString personalCannedStore(qint32 employeeId)
{
    return QStringLiteral("MSGDB") + base36(employeeId).left(5);
}

QString sentAgainPreview(const QString& body)
{
    QString preview = body.left(30).trimmed();
    if (body.size() > 30)
        preview += QStringLiteral("...");
    preview.remove(QLatin1Char('\n'));
    preview.remove(QLatin1Char('\r'));
    return preview;
}

QString prefixedSubject(const QString& subject, const QString& prefix)
{
    if (subject.left(3).toUpper() == prefix.left(3).toUpper())
        return subject;
    return prefix + subject;
}

QString quotedOriginal(const QString& author, const QString& toText, const QString& ccText,
                       const QString& subject, const QString& body)
{
    QString text = QStringLiteral("\n------ Original Message ------\n");
    text +=
        QStringLiteral("From: ") + author + QStringLiteral(", ") + QStringLiteral("To: ") + toText;
    if (!ccText.trimmed().isEmpty())
        text += QStringLiteral(", Cc: ") + ccText;
    text += QStringLiteral("/ ");
    text += subject.trimmed().isEmpty() ? QStringLiteral("Subject: (none)")
                                        : QStringLiteral("Subject: ") + subject.trimmed();
    text += QLatin1Char('\n') + body;
    return text;
}

const QList<ReminderChoice>& relativeReminderChoices()
{
    // The same for every window: written once a process.
    static const QList<ReminderChoice> choices = [] {
        QList<ReminderChoice> all;
        for (int minutes = 5; minutes <= 55; minutes += 5)
            all.append({QStringLiteral("%1 min").arg(minutes, 2, 10, QLatin1Char('0')), minutes});
        for (int minutes = 60; minutes <= 765; minutes += 15)
            all.append({QStringLiteral("%1 hr %2 min")
                            .arg(minutes / 60)
                            .arg(minutes % 60, 2, 10, QLatin1Char('0')),
                        minutes});
        return all;
    }();
    return choices;
}

QStringList freeReminderTimes(const QTime& now, const std::optional<QTime>& chosen, int interval)
{
    if (interval <= 0)
        interval = 15;
    QTime start = now;
    if (chosen && *chosen <= now)
        start = *chosen;
    int minutes = start.hour() * 60 + start.minute() + (start.second() > 0 ? 1 : 0);
    minutes = (minutes + interval - 1) / interval * interval;
    const int last = 23 * 60 + 44;
    QStringList times;
    for (int n = 0; n < 1440 / interval; ++n) {
        times << clockText(minutes, QStringLiteral("hh:nn am/pm"));
        if (minutes >= last)
            break;
        minutes += interval;
    }
    return times;
}

QString clockText(int minutes, const QString& pattern)
{
    constexpr int kDay = 24 * 60;
    const int ofDay = ((minutes % kDay) + kDay) % kDay;
    thread_local QHash<QString, QList<QString>> written;
    QList<QString>& texts = written[pattern];
    if (texts.isEmpty())
        texts.resize(kDay);
    QString& text = texts[ofDay];
    if (text.isNull())
        text = common::vb::format(QTime(0, 0).addSecs(qint64(ofDay) * 60), pattern);
    return text;
}

} // namespace tzsndmsg::compose
