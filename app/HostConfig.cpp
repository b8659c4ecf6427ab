#include "HostConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tzsndmsg::app {

namespace {

QString appDataRoot()
{
    const QString env = qEnvironmentVariable("TZSNDMSG_HOME");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tzsndmsg");
}

} // namespace

QString defaultDataFolder() { return appDataRoot() + QStringLiteral("/data/"); }

QString defaultDatabaseUrl()
{
    return QStringLiteral("sqlite://") + appDataRoot() + QStringLiteral("/office.db");
}

QString defaultHelpFolder()
{
    // Installed pages beside the program, else the pages of the source tree it was built from.
    const QString installed = QCoreApplication::applicationDirPath() +
                              QStringLiteral("/../share/tzsndmsg/help/");
    if (QFileInfo::exists(installed + QStringLiteral("index.html")))
        return QDir::cleanPath(installed) + QLatin1Char('/');
    return QStringLiteral(TZSNDMSG_SOURCE_HELP_DIR "/");
}

void addCommonOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("db"), QStringLiteral("Database URL."), QStringLiteral("URL")});
    parser.addOption(
        {QStringLiteral("data"), QStringLiteral("Data folder."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("computer"), QStringLiteral("This workstation's name."),
                      QStringLiteral("NAME")});
    parser.addOption(
        {QStringLiteral("login"), QStringLiteral("Login name."), QStringLiteral("NAME")});
}

tzglob::Config configFrom(const QCommandLineParser& parser)
{
    tzglob::Config config;
    config.dataFolder = parser.isSet(QStringLiteral("data"))
                            ? parser.value(QStringLiteral("data"))
                            : defaultDataFolder();
    if (!config.dataFolder.endsWith(QLatin1Char('/')))
        config.dataFolder += QLatin1Char('/');
    config.databaseUrl = parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db"))
                                                            : defaultDatabaseUrl();
    config.helpFolder = defaultHelpFolder();

    QSettings workstation(config.dataFolder + QStringLiteral("settings.ini"),
                          QSettings::IniFormat);
    workstation.beginGroup(QStringLiteral("Workstation"));
    config.loginName = parser.isSet(QStringLiteral("login"))
                           ? parser.value(QStringLiteral("login"))
                           : workstation.value(QStringLiteral("LoginName"),
                                               QStringLiteral("SUPERVISOR"))
                                 .toString();
    QString computer = parser.value(QStringLiteral("computer"));
    if (computer.isEmpty())
        computer = workstation.value(QStringLiteral("ComputerName")).toString();
    if (computer.isEmpty())
        computer = QSysInfo::machineHostName();
    config.computerName = computer.toUpper();
    config.loginName = config.loginName.trimmed().toUpper();
    return config;
}

} // namespace tzsndmsg::app
