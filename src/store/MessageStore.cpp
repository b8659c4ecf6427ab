#include "MessageStore.h"

#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QSet>

namespace tzsndmsg::store {

bool DeleteMessage(HostServices& services, qint64 cmId, QString* error)
{
    QString why;
    const auto done = [&] {
        if (error)
            *error = why;
        return why.isEmpty();
    };
    if (cmId == 0)
        return done();
    auto connection = services.messageStoreConnection();
    if (!connection) {
        why = QStringLiteral("The message store is not open.");
        return done();
    }
    // All or nothing: a header kept while its rows went would be a message to nobody.
    db::Transaction transaction(*connection);
    if (!transaction.ok()) {
        why = transaction.error();
        return done();
    }
    for (const QString& statement :
         {QStringLiteral("delete * from cmtable where cmID=?"),
          QStringLiteral("delete * from brochktable where BroChkLinID=?"),
          QStringLiteral("delete * from EVtable where EVLinID=?")})
        if (!connection->exec(services.adaptSqlFor(*connection, statement), {cmId}, &why))
            return done();
    // A row the login may not delete is not there for its statement: no error, and the
    // message stays.
    const QVariant kept = connection->scalar(
        services.adaptSqlFor(*connection,
                             QStringLiteral("select count(*) from cmtable where cmID=?")),
        {cmId}, &why);
    if (why.isEmpty() && kept.toLongLong() > 0)
        why = QStringLiteral("The store kept it: in an office where each person signs in, only "
                             "the person who wrote it or a supervisor deletes it.");
    if (why.isEmpty() && !transaction.commit())
        why = transaction.error();
    return done();
}

bool CheckPersonIds(HostServices& services, const QString& list, QList<qint32>& found,
                    QStringList& unknown, QString* error, QStringList* released)
{
    found.clear();
    unknown.clear();
    if (released)
        released->clear();
    QList<qint32> ids;
    for (const QString& entry : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint32 id = entry.trimmed().toInt(&ok);
        if (ok && id > 0)
            ids << id;
        else if (!entry.trimmed().isEmpty())
            unknown << entry.trimmed();
    }
    if (ids.isEmpty())
        return true;
    auto persons = services.personsConnection();
    if (!persons) {
        if (error)
            *error = QStringLiteral("the persons table cannot be read");
        return false;
    }
    // Numbers only reach the statement; a long list goes in parts.
    QSet<qint32> existing, gone;
    constexpr qsizetype kPart = 500;
    for (qsizetype at = 0; at < ids.size(); at += kPart) {
        QStringList part;
        for (qint32 id : ids.mid(at, kPart))
            part << QString::number(id);
        QString why;
        db::Reader reader = persons->read(
            services.adaptSqlFor(*persons,
                                 QStringLiteral("SELECT pID, pDatRel FROM PATable WHERE pID IN (") +
                                     part.join(QLatin1Char(',')) + QLatin1Char(')')),
            &why);
        if (!reader.isValid()) {
            if (error)
                *error = why;
            return false;
        }
        while (reader.next()) {
            const qint32 id = qint32(reader.value(0).toLongLong());
            existing.insert(id);
            if (!reader.value(1).isNull())
                gone.insert(id);
        }
    }
    for (qint32 id : ids) {
        if (!existing.contains(id))
            unknown << QString::number(id);
        else if (gone.contains(id))
            (released ? *released : unknown) << QString::number(id);
        else
            found << id;
    }
    return true;
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
