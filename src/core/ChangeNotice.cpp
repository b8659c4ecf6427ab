#include "core/ChangeNotice.h"

#include "tzsndmsg/db/Database.h"

#include <QStringList>
#include <QUrl>
#include <algorithm>

namespace tzsndmsg::core {

namespace {

// PostgreSQL cuts channel names to 63 bytes; sender and listener cut alike.
const QString kChannel = QStringLiteral("left('tzsndmsg_' || current_schema(), 63)");
const QString kForm = QStringLiteral("2");

QString ranges(const QSet<qint32>& ids)
{
    QList<qint32> sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    QStringList out;
    for (qsizetype i = 0; i < sorted.size();) {
        qsizetype j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1)
            ++j;
        out << (j == i ? QString::number(sorted[i])
                       : QString::number(sorted[i]) + u'-' + QString::number(sorted[j]));
        i = j + 1;
    }
    return out.join(u',');
}

// False on anything that is not a list of ids and ranges.
bool readRanges(const QString& text, QSet<qint32>& ids)
{
    if (text.isEmpty())
        return true;
    for (const QString& part : text.split(u',')) {
        const qsizetype dash = part.indexOf(u'-', 1);
        bool okFrom = false, okTo = false;
        const qint32 from = (dash < 0 ? part : part.left(dash)).toInt(&okFrom);
        const qint32 to = dash < 0 ? from : part.mid(dash + 1).toInt(&okTo);
        if (!okFrom || (dash >= 0 && !okTo) || to < from || qint64(to) - from > 100000)
            return false;
        for (qint64 id = from; id <= to; ++id)
            ids.insert(qint32(id));
    }
    return true;
}

} // namespace

bool ChangeNotice::concerns(qint32 employeeId, const QString& computer) const
{
    if (!carried)
        return true;
    return (employeeId != 0 && persons.contains(employeeId)) ||
           (!computer.isEmpty() && computers.contains(computer.toUpper()));
}

ChangeNotice parseChangeNotice(const QString& payload)
{
    ChangeNotice notice;
    bool ok = false;
    const qint32 plain = payload.toInt(&ok);
    if (ok) {
        notice.cmId = plain > 0 ? plain : 0;
        return notice;
    }
    const QStringList parts = payload.split(u';');
    if (parts.size() != 4 || parts[0] != kForm)
        return notice; // a form of a later version: look, as for any change
    const qint32 id = parts[1].toInt(&ok);
    if (!ok || id <= 0)
        return notice;
    notice.cmId = id;
    if (!readRanges(parts[2], notice.persons)) {
        notice.persons.clear();
        return notice;
    }
    if (!parts[3].isEmpty())
        for (const QString& name : parts[3].split(u','))
            notice.computers.insert(QUrl::fromPercentEncoding(name.toLatin1()).toUpper());
    notice.carried = true;
    return notice;
}

QString changeNoticePayload(qint32 cmId, const QSet<qint32>& persons,
                            const QSet<QString>& computers, int limit)
{
    QStringList names;
    for (const QString& name : computers)
        if (!name.isEmpty())
            names << QString::fromLatin1(name.toUpper().toUtf8().toPercentEncoding());
    names.sort();
    names.removeDuplicates();
    const QString payload =
        kForm + u';' + QString::number(cmId) + u';' + ranges(persons) + u';' + names.join(u',');
    return payload.size() <= limit ? payload : QString(); // ASCII: characters are bytes
}

QString changeChannelStatement()
{
    return QStringLiteral("SELECT ") + kChannel;
}

bool notifyChange(db::Database& store, qint64 cmId, QString* error)
{
    if (store.backend() != db::Backend::Postgres || cmId <= 0)
        return true;
    return store.exec(QStringLiteral("SELECT pg_notify(") + kChannel + QStringLiteral(", ?)"),
                      {QString::number(cmId)}, error);
}

bool notifyChange(db::Database& store, qint64 cmId, const QSet<qint32>& persons,
                  const QSet<QString>& computers, QString* error)
{
    if (store.backend() != db::Backend::Postgres || cmId <= 0 || cmId > INT_MAX)
        return true;
    const QString carried = changeNoticePayload(qint32(cmId), persons, computers);
    if (carried.isEmpty())
        return notifyChange(store, cmId, error);
    // One statement, one transaction: the two arrive together and in this order.
    return store.exec(QStringLiteral("SELECT pg_notify(") + kChannel +
                          QStringLiteral(", ?), pg_notify(") + kChannel + QStringLiteral(", ?)"),
                      {carried, QString::number(cmId)}, error);
}

} // namespace tzsndmsg::core
