#include "MessageStore.h"

#include "db/Database.h"
#include "tzsndmsg/HostServices.h"

namespace tzsndmsg::store {

void DeleteMessage(HostServices& services, qint64 cmId)
{
    if (cmId == 0)
        return;
    auto connection = services.messageStoreConnection();
    if (!connection)
        return;
    const QString id = QString::number(cmId);
    // Each statement runs even when the one before failed.
    for (const QString& statement :
         {QStringLiteral("delete * from cmtable where cmID=") + id,
          QStringLiteral("delete * from brochktable where BroChkLinID=") + id,
          QStringLiteral("delete * from EVtable where EVLinID=") + id})
        connection->exec(services.adaptSqlFor(*connection, statement));
}

void RemoveToFromCc(HostServices& services, QString& to, QString& cc, const QString& separator)
{
    // Only blanks are trimmed: a computer list ends in a line feed that is part of the list.
    QString toText = to;
    while (toText.startsWith(QLatin1Char(' ')))
        toText.remove(0, 1);
    while (toText.endsWith(QLatin1Char(' ')))
        toText.chop(1);
    const QString ccOriginal = cc;
    toText.prepend(separator);
    QString ccText = separator + cc;

    int position = 0;
    for (;;) {
        const QString entry = services.nextToken(ccOriginal, separator, position);
        if (entry.isEmpty())
            break;
        const QString key = separator + entry + separator;
        const int at = ccText.indexOf(key);
        if (toText.contains(key) && at >= 0)
            ccText.remove(at + separator.size(), entry.size() + separator.size());
    }
    to = toText.mid(separator.size());
    cc = ccText.mid(separator.size());
}

} // namespace tzsndmsg::store
