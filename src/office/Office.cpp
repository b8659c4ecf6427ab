#include "tzsndmsg/Office.h"

#include "store/Schema.h"
#include "store/StoreCheck.h"
#include "tzsndmsg/db/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace tzsndmsg {

bool createOffice(const QString& databaseUrl, const QString& dataFolder, QString* error)
{
    const auto url = db::ConnectionUrl::parse(databaseUrl, error);
    if (!url)
        return false;
    if (url->backend == db::Backend::Sqlite &&
        !QDir().mkpath(QFileInfo(url->path).absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create the folder of %1").arg(url->path);
        return false;
    }
    auto database = db::Database::open(databaseUrl, error);
    if (!database)
        return false;
    // An office of a group that shares one server lives in a schema of its own, made with it.
    if (url->backend == db::Backend::Postgres && !url->schema.isEmpty()) {
        QString ident = url->schema;
        ident.replace(u'"', QStringLiteral("\"\""));
        QString why;
        if (!database->exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS \"%1\"").arg(ident),
                            &why)) {
            if (error)
                *error = QStringLiteral("cannot create the schema %1: %2").arg(url->schema, why);
            return false;
        }
    }
    return createDataFolder(dataFolder, error) && createOfficeSchema(*database, error);
}

bool createOfficeSchema(db::Database& database, QString* error)
{
    QString reason;
    if (store::createSchema(database, &reason))
        return true;
    if (error)
        *error = QStringLiteral("cannot create the schema: %1").arg(reason);
    return false;
}

bool createDataFolder(const QString& dataFolder, QString* error)
{
    if (dataFolder.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("no data folder given");
        return false;
    }
    return store::initDataFolder(dataFolder, error);
}

bool checkOffice(const QString& databaseUrl, const QString& dataFolder, QList<OfficeDamage>& damage,
                 OfficeCheckDepth depth, QString* error)
{
    damage.clear();
    auto database = db::Database::open(databaseUrl, error, db::OpenMode::ExistingFile);
    if (!database)
        return false;
    if (!store::checkStore(*database, depth, damage, error))
        return false;
    // The whole check of a store with no damaged page names a table gone too: the office
    // cannot work without it. (The quick one runs before init makes what is missing; a damaged
    // store's list of tables may not be read at all.)
    if (depth == OfficeCheckDepth::Full && damage.isEmpty())
        for (const QString& table : store::schemaTableNames())
            if (!database->hasTable(table))
                damage.append(OfficeDamage{
                    QStringLiteral("the table %1 is missing (tzsndmsg init makes it again, empty)")
                        .arg(table)});
    if (!dataFolder.trimmed().isEmpty())
        store::checkDataFolderLayout(dataFolder, damage);
    return true;
}

bool repairSearchIndex(const QString& databaseUrl, QString* error)
{
    auto database = db::Database::open(databaseUrl, error, db::OpenMode::ExistingFile);
    return database && store::rebuildSearchIndex(*database, error);
}

bool isStoreDamage(const QString& reason)
{
    return db::isDamageText(reason);
}

bool addDemoOffice(db::Database& database, const QString& dataFolder, QString* error)
{
    const QString folder = QDir::cleanPath(dataFolder) + QLatin1Char('/');
    return store::seedDemoOffice(database, folder, error);
}

bool addDemoOffice(const QString& databaseUrl, const QString& dataFolder, QString* error)
{
    auto database = db::Database::open(databaseUrl, error);
    if (!database || !addDemoOffice(*database, dataFolder, error))
        return false;
    QSettings workstation(QDir::cleanPath(dataFolder) + QStringLiteral("/settings.ini"),
                          QSettings::IniFormat);
    workstation.beginGroup(QStringLiteral("Workstation"));
    if (!workstation.contains(QStringLiteral("LoginName")))
        workstation.setValue(QStringLiteral("LoginName"), QStringLiteral("ANNA"));
    if (!workstation.contains(QStringLiteral("ComputerName")))
        workstation.setValue(QStringLiteral("ComputerName"), QStringLiteral("FRONTDESK"));
    return true;
}

} // namespace tzsndmsg
