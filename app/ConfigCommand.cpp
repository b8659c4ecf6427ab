// tzsndmsg config: what this workstation would use, and where each value came from.
#include "Commands.h"
#include "HostConfig.h"
#include "tzsndmsg/Office.h"
#include "tzsndmsg/db/Database.h"

#include <QTextStream>
#include <cstdio>

namespace tzsndmsg::app {

int runConfig(const QStringList& args)
{
    QCommandLineParser parser;
    addCommonOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args) ||
        !parser.positionalArguments().isEmpty()) {
        const QString reason = parser.errorText().isEmpty()
                                   ? QStringLiteral("unexpected argument '%1'")
                                         .arg(parser.positionalArguments().value(0))
                                   : parser.errorText();
        std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(reason));
        return 2;
    }
    showHelpIfAsked(parser);
    const tzglob::WorkstationConfig resolved = resolvedConfig(parser, false);
    const tzglob::Config config = resolved.toConfig();
    QTextStream out(stdout);
    auto line = [&](const char* name, const QString& value, const QString& origin) {
        out << QString::fromLatin1(name).leftJustified(9) << value << "    (" << origin << ")\n";
    };
    line("database", config.databaseUrl, resolved.databaseUrl.origin);
    line("data", config.dataFolder, resolved.dataFolder.origin);
    line("help", config.helpFolder, resolved.helpFolder.origin);
    line("login", config.loginName, resolved.loginName.origin);
    line("computer", config.computerName, resolved.computerName.origin);
    line("quiet", resolved.quiet.value.isEmpty() ? QStringLiteral("none") : resolved.quiet.value,
         resolved.quiet.origin);
    line("sound", resolved.sound.value, resolved.sound.origin);
    // A PostgreSQL office is asked how the connection crosses the network.
    QString bad;
    const auto url = db::ConnectionUrl::parse(config.databaseUrl, &bad);
    if (!url)
        out << "warning: " << bad << "\n";
    if (url && url->backend == db::Backend::Postgres) {
        ConnectionSecurity security;
        QString why;
        out << QStringLiteral("security").leftJustified(9)
            << (readConnectionSecurity(config.databaseUrl, security, &why)
                    ? security.describe()
                    : QStringLiteral("cannot connect to tell: ") + why.simplified())
            << "\n";
    }
    out << "files: " << tzglob::WorkstationConfig::systemFile() << ", "
        << tzglob::WorkstationConfig::userFile();
    out << (resolved.filesRead.isEmpty()
                ? QStringLiteral(" (none present)")
                : QStringLiteral(" (read: ") + resolved.filesRead.join(QStringLiteral(", ")) +
                      QLatin1Char(')'))
        << Qt::endl;
    for (const QString& warning : resolved.warnings)
        out << "warning: " << warning << "\n";
    out.flush();
    return 0;
}

} // namespace tzsndmsg::app
