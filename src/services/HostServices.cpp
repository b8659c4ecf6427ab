#include "tzsndmsg/HostServices.h"

#include "PathResolver.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"
#include "tzsndmsg/db/SqlDialect.h"

#include <QFileInfo>
#include <algorithm>

// The defaults a host may override: what serves a host over one office database.
namespace tzsndmsg {

using db::Database;

HostServices::~HostServices() = default;

// --- life --------------------------------------------------------------------------------------

bool HostServices::startUp()
{
    const auto store = messageStoreConnection();
    return store && store->isOpen();
}

void HostServices::shutDown() {}
void HostServices::setApplication(const QString& /*folder*/, const QString& /*programName*/) {}
void HostServices::setLocation(qint32 /*locationId*/) {}

bool HostServices::checkAnyRight(const QString& loginName, const QStringList& rights,
                                 const QString& column, const QString& programName)
{
    return std::any_of(rights.cbegin(), rights.cend(), [&](const QString& right) {
        return checkRight(loginName, right, column, programName);
    });
}

// --- connections and statements ----------------------------------------------------------------

QString HostServices::adaptSql(const QString& statement, int mode)
{
    const auto store = messageStoreConnection();
    if (store)
        return store->dialect().adapt(statement, mode);
    return db::SqlDialect(db::Backend::Sqlite).adapt(statement, mode);
}

QString HostServices::statusFilter(const QString& /*table*/, const QString& /*alias*/)
{
    return QString();
}

// --- clock -------------------------------------------------------------------------------------

QDateTime HostServices::currentDateTime() const
{
    const QDateTime now = QDateTime::currentDateTime();
    const QTime time = now.time();
    // The suite's clock counts whole seconds.
    return QDateTime(now.date(), QTime(time.hour(), time.minute(), time.second()));
}

std::shared_ptr<Database> HostServices::connectionByIndex(int index)
{
    return index == 9 ? messageStoreConnection() : suiteConnection();
}

QString HostServices::adaptSqlFor(Database& connection, const QString& statement, int mode)
{
    return connection.dialect().adapt(statement, mode);
}

bool HostServices::writeRecord(int storeKind, const QString& table, const QString& keyColumn,
                               qint64& key, const QStringList& names, const QStringList& texts,
                               QString* error)
{
    auto db = storeKind == 9 ? messageStoreConnection() : suiteConnection();
    if (!db) {
        if (error)
            *error = QStringLiteral("the services are not open");
        return false;
    }
    return db::writeRecord(*db, table, keyColumn, key, names, texts, error);
}

void HostServices::releaseAfterWrite(Database& /*connection*/)
{
    // Writes are committed as they run, and SQLite hands its write-ahead log back to the
    // database file by itself every thousand pages: a checkpoint after every save only made
    // saving slower.
}

QDate HostServices::currentDate() const
{
    return currentDateTime().date();
}
QTime HostServices::currentTime() const
{
    return currentDateTime().time();
}

// --- text helpers ------------------------------------------------------------------------------

QString HostServices::nextToken(const QString& list, const QString& separator, int& position)
{
    if (position < 0)
        position = 0;
    if (position >= list.size())
        return QString();
    if (separator.isEmpty()) {
        QString rest = list.mid(position);
        position = list.size();
        return rest;
    }
    const qsizetype at = list.indexOf(separator, position);
    if (at < 0) {
        QString rest = list.mid(position);
        position = list.size();
        return rest;
    }
    QString token = list.mid(position, at - position);
    position = int(at + separator.size());
    return token;
}

QStringList HostServices::split(const QString& text, const QString& separator, int maxCount)
{
    if (text.isEmpty() || maxCount == 0)
        return {};
    if (separator.isEmpty())
        return {text};
    QStringList parts;
    qsizetype from = 0;
    while (true) {
        // The last allowed entry holds the rest of the text.
        if (maxCount > 0 && parts.size() == maxCount - 1) {
            parts << text.mid(from);
            break;
        }
        const qsizetype at = text.indexOf(separator, from);
        if (at < 0) {
            parts << text.mid(from);
            break;
        }
        parts << text.mid(from, at - from);
        from = at + separator.size();
    }
    return parts;
}

QString HostServices::replaceText(const QString& text, const QString& find,
                                  const QString& replacement)
{
    if (find.isEmpty())
        return text;
    QString result = text;
    return result.replace(find, replacement);
}

// Quoted by the store's own driver: PostgreSQL's rules for a backslash depend on the session.
QString HostServices::quote(const QString& text)
{
    const auto store = messageStoreConnection();
    return store ? store->quote(text) : db::SqlDialect::quote(text);
}

bool HostServices::fileExists(const QString& path)
{
    if (path.trimmed().isEmpty())
        return false;
    return QFileInfo(tzglob::resolvePath(dataFolder(), path)).isFile();
}

// --- files, workstation, settings --------------------------------------------------------------

QString HostServices::stationText()
{
    return computerName() + QLatin1Char(' ') + currentLoginName();
}

// --- window-side services ----------------------------------------------------------------------

void HostServices::setBusy(QObject* /*window*/, bool busy)
{
    if (busy)
        ++m_busyDepth;
    else if (m_busyDepth > 0)
        --m_busyDepth;
}

bool HostServices::isBusy() const
{
    return m_busyDepth > 0;
}

void HostServices::freezeWindow(QObject* window)
{
    // One window at a time is frozen, as with the system's own window lock.
    if (m_frozen && m_frozen != window)
        m_frozen->setProperty("updatesEnabled", true);
    if (!window) {
        m_frozen = nullptr;
        return;
    }
    window->setProperty("updatesEnabled", false);
    m_frozen = window;
}

QHash<qint32, QString> HostServices::personNames(const QList<qint32>& personIds)
{
    QHash<qint32, QString> names;
    for (qint32 id : personIds)
        if (!names.contains(id)) {
            const QString name = personName(id);
            if (!name.isEmpty())
                names.insert(id, name);
        }
    return names;
}

bool HostServices::removeComputerName(const QString& /*name*/)
{
    return false;
}

QVariant HostServices::readSetting(const QString& /*section*/, const QString& /*key*/, int /*kind*/,
                                   const QVariant& defaultValue)
{
    return defaultValue;
}

void HostServices::setLunchLength(const QString& /*minutes*/) {}

QObject* HostServices::mainWindow()
{
    return nullptr;
}
bool HostServices::isQnsProductLine()
{
    return false;
}

bool HostServices::openTodoDialog(QObject* /*owner*/, QString& /*title*/)
{
    return false;
}

QString HostServices::chooseCannedText(QObject* /*owner*/, const QString& /*caption*/,
                                       const QString& /*storeName*/)
{
    return QString();
}

bool HostServices::announceLabOrderMessage(const QString& /*sender*/, qint64 /*messageId*/,
                                           qint64 /*labOrderId*/)
{
    return false;
}

} // namespace tzsndmsg
