#include "tzsndmsg/WorkstationConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

namespace tzglob {

namespace {

const QString kDefault = QStringLiteral("default");

QString withSlash(QString folder)
{
    folder = QDir::fromNativeSeparators(folder.trimmed());
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString officeRoot()
{
    const QString home = qEnvironmentVariable("TZSNDMSG_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tzsndmsg");
}

QString defaultHelpFolder(const QString& root)
{
    if (QCoreApplication::instance()) {
        const QString installed = QCoreApplication::applicationDirPath() +
                                  QStringLiteral("/../share/tzsndmsg/help/");
        if (QFileInfo::exists(installed + QStringLiteral("index.html")))
            return QDir::cleanPath(installed) + QLatin1Char('/');
    }
    if (QFileInfo::exists(QStringLiteral("/usr/share/tzsndmsg/help/index.html")))
        return QStringLiteral("/usr/share/tzsndmsg/help/");
    return root + QStringLiteral("/help/");
}

} // namespace

QString WorkstationConfig::systemFile()
{
    const QString other = qEnvironmentVariable("TZSNDMSG_SYSTEM_CONFIG");
    return other.isEmpty() ? QStringLiteral("/etc/tzsndmsg.conf") : other;
}

QString WorkstationConfig::userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tzsndmsg/tzsndmsg.conf");
}

WorkstationConfig WorkstationConfig::load()
{
    WorkstationConfig c;
    const QString root = officeRoot();
    c.databaseUrl = {QStringLiteral("sqlite://") + root + QStringLiteral("/office.db"), kDefault};
    c.dataFolder = {root + QStringLiteral("/data/"), kDefault};
    c.helpFolder = {defaultHelpFolder(root), kDefault};
    c.loginName = {QStringLiteral("SUPERVISOR"), kDefault};
    c.computerName = {QSysInfo::machineHostName().toUpper(), kDefault};

    struct Key {
        const char* key;
        ConfigValue WorkstationConfig::*field;
        const char* environment;
    };
    const Key keys[] = {
        {"database", &WorkstationConfig::databaseUrl, "TZSNDMSG_DB_URL"},
        {"data", &WorkstationConfig::dataFolder, "TZSNDMSG_DATA"},
        {"help", &WorkstationConfig::helpFolder, "TZSNDMSG_HELP"},
        {"login", &WorkstationConfig::loginName, "TZSNDMSG_LOGIN"},
        {"computer", &WorkstationConfig::computerName, "TZSNDMSG_COMPUTER"},
    };

    // The data folder may come from any layer; its workstation settings lie under the files.
    auto layers = [&](bool dataOnly) {
        for (const QString& file : {systemFile(), userFile()}) {
            if (!QFileInfo(file).isFile())
                continue;
            if (!dataOnly)
                c.filesRead << file;
            QSettings settings(file, QSettings::IniFormat);
            for (const Key& k : keys) {
                const bool isData = k.field == &WorkstationConfig::dataFolder;
                const QString value = settings.value(QLatin1String(k.key)).toString().trimmed();
                if (!value.isEmpty() && isData == dataOnly)
                    c.*k.field = {value, file};
            }
        }
        for (const Key& k : keys) {
            const bool isData = k.field == &WorkstationConfig::dataFolder;
            const QString value = qEnvironmentVariable(k.environment).trimmed();
            if (!value.isEmpty() && isData == dataOnly)
                c.*k.field = {value, QStringLiteral("environment ") + QLatin1String(k.environment)};
        }
    };
    layers(true);
    c.applyDataFolderWorkstation();
    layers(false);
    return c;
}

void WorkstationConfig::applyDataFolderWorkstation()
{
    const QString file = withSlash(dataFolder.value) + QStringLiteral("settings.ini");
    if (!QFileInfo(file).isFile())
        return;
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Workstation"));
    const QString origin = file + QStringLiteral(" [Workstation]");
    auto take = [&](ConfigValue& field, const char* key) {
        const QString value = settings.value(QLatin1String(key)).toString().trimmed();
        if (!value.isEmpty() && field.origin == kDefault)
            field = {value, origin};
    };
    take(loginName, "LoginName");
    take(computerName, "ComputerName");
}

void WorkstationConfig::set(ConfigValue& field, const QString& value, const QString& origin)
{
    field = {value, origin};
    if (&field != &dataFolder)
        return;
    // Values that came from the previous data folder's settings belong to that folder.
    for (ConfigValue* own : {&loginName, &computerName})
        if (own->origin.endsWith(QLatin1String(" [Workstation]")))
            *own = {own == &loginName ? QStringLiteral("SUPERVISOR")
                                      : QSysInfo::machineHostName().toUpper(),
                    kDefault};
    applyDataFolderWorkstation();
}

Config WorkstationConfig::toConfig() const
{
    Config config;
    config.databaseUrl = databaseUrl.value.trimmed();
    config.dataFolder = withSlash(dataFolder.value);
    config.helpFolder = withSlash(helpFolder.value);
    config.loginName = loginName.value.trimmed().toUpper();
    config.computerName = computerName.value.trimmed().toUpper();
    return config;
}

} // namespace tzglob
