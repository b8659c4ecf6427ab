// The rows a message window lists, and how it reads them: a view, a search on the store, or a
// search of the rows already listed.
#include "core/MessageRows.h"

#include "common/VbFormat.h"
#include "fields/FieldValue.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"

namespace tzsndmsg::core {

namespace vb = common::vb;

bool MessageRows::findMessage(qint32 cmId)
{
    return m_rows.find(QStringLiteral("cmID=") + QString::number(cmId));
}

bool MessageRows::findAddresseeRow(qint32 broChkId)
{
    return m_rows.find(QStringLiteral("BroChkID=") + QString::number(broChkId));
}

qint64 MessageRows::number(const QString& name) const
{
    const auto n = vb::toNumber(vb::toText(common::FieldValueOrZero(m_rows, name)));
    return n ? vb::roundHalfEven(*n) : 0;
}

MessageRows listView(HostServices& services, const MessageListParams& params,
                     const QString& sortOrder, QString* error)
{
    return MessageRows(queryView(services, params, sortOrder, error));
}

MessageRows listSearch(HostServices& services, const MessageListParams& params,
                       const QStringList& words, bool everywhere, const QString& sortOrder,
                       QString* error)
{
    return MessageRows(everywhere ? searchEverywhere(services, params, words, sortOrder, error)
                                  : searchView(services, params, words, sortOrder, error));
}

QHash<qint32, QString> toCcCellsOf(HostServices& services, const QList<qint32>& ids)
{
    QHash<qint32, QString> cells;
    if (readToCcCellsOf(services, ids, cells))
        return cells;
    const QHash<qint32, QVector<RecipientRow>> byMessage = readRecipientRowsOf(services, ids);
    for (qint32 id : ids)
        cells.insert(id, toCcCellText(byMessage.value(id)));
    return cells;
}

ListedRowsSearch::ListedRowsSearch(HostServices& services, db::Backend backend,
                                   const MessageListParams& view, const QStringList& words,
                                   const MessageRows& listed)
    : m_search(services, words, listedRowsOf(listed.recordset())),
      m_whole(buildSearchStatement(services, backend, view, words))
{
}

MessageRows ListedRowsSearch::hits(const MessageRows& listed) const
{
    const ListedSearch& found = m_search;
    return MessageRows(listed.recordset().subset([&found](int p) { return found.rowHolds(p); },
                                                 m_whole.sql, m_whole.params));
}

} // namespace tzsndmsg::core
