#include "HostConfig.h"

#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

namespace tzsndmsg::app {

namespace {

QString& commandName()
{
    static QString name;
    return name;
}

} // namespace

void setCommandName(const QString& command)
{
    commandName() = command;
}

void showHelpIfAsked(const QCommandLineParser& parser)
{
    if (!parser.isSet(QStringLiteral("help")))
        return;
    // Qt's text starts with its own usage line; the command's is given instead.
    QString options = parser.helpText();
    options = options.mid(qMax(0, options.indexOf(QStringLiteral("Options:"))));
    std::printf("usage: tzsndmsg %s [options]\n\n%s", qPrintable(commandName()),
                qPrintable(options));
    std::fflush(stdout);
    std::exit(0);
}

void addCommonOptions(QCommandLineParser& parser)
{
    parser.addOption(
        {QStringLiteral("db"), QStringLiteral("Database URL."), QStringLiteral("URL")});
    parser.addOption(
        {QStringLiteral("data"), QStringLiteral("Data folder."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("computer"), QStringLiteral("This workstation's name."),
                      QStringLiteral("NAME")});
    parser.addOption(
        {QStringLiteral("login"), QStringLiteral("Login name."), QStringLiteral("NAME")});
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")},
                      QStringLiteral("Show this command's options.")});
}

tzglob::WorkstationConfig resolvedConfig(const QCommandLineParser& parser, bool tellWarnings)
{
    tzglob::WorkstationConfig config = tzglob::WorkstationConfig::load();
    // The data folder first: it brings its own [Workstation] login and computer.
    if (parser.isSet(QStringLiteral("data")))
        config.set(config.dataFolder, parser.value(QStringLiteral("data")),
                   QStringLiteral("--data"));
    if (parser.isSet(QStringLiteral("db")))
        config.set(config.databaseUrl, parser.value(QStringLiteral("db")), QStringLiteral("--db"));
    if (parser.isSet(QStringLiteral("login")))
        config.set(config.loginName, parser.value(QStringLiteral("login")),
                   QStringLiteral("--login"));
    if (parser.isSet(QStringLiteral("computer")))
        config.set(config.computerName, parser.value(QStringLiteral("computer")),
                   QStringLiteral("--computer"));
    // A program run from its build tree shows the pages of the tree it was built from.
    if (config.helpFolder.origin == QLatin1String("default") &&
        !QFileInfo::exists(config.helpFolder.value + QStringLiteral("index.html")))
        config.helpFolder = {QStringLiteral(TZSNDMSG_SOURCE_HELP_DIR "/"),
                             QStringLiteral("default (source tree)")};
    if (!config.refused.isEmpty()) {
        std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(config.refused));
        std::exit(2);
    }
    // Each told once, however often a command reads the configuration.
    static QStringList told;
    for (const QString& warning : std::as_const(config.warnings)) {
        if (!tellWarnings || told.contains(warning))
            continue;
        told << warning;
        std::fprintf(stderr, "tzsndmsg: warning: %s\n", qPrintable(warning));
    }
    return config;
}

QString setIn(const tzglob::ConfigValue& value)
{
    if (value.origin.startsWith(QLatin1String("default")) ||
        value.origin.startsWith(QLatin1String("--")))
        return QString();
    return QStringLiteral(" (set in %1)").arg(value.origin);
}

tzglob::Config configFrom(const QCommandLineParser& parser)
{
    return resolvedConfig(parser).toConfig();
}

} // namespace tzsndmsg::app
