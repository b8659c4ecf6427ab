// tzsndmsg check: the store's integrity, the search index's and the data folder's layout.
#include "Commands.h"
#include "HostConfig.h"
#include "tzsndmsg/Office.h"

#include <QTextStream>
#include <cstdio>

namespace tzsndmsg::app {

int runCheck(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("repair-index"),
                      QStringLiteral("Build the search index again from the messages and names.")});
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
    const tzglob::Config config = configFrom(parser);
    QTextStream out(stdout);
    auto said = [](const QString& text) {
        std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(text));
    };

    QString error;
    if (parser.isSet(QStringLiteral("repair-index"))) {
        if (!repairSearchIndex(config.databaseUrl, &error)) {
            said(error);
            return isStoreDamage(error) ? 1 : 2;
        }
        out << "The search index was built again from the messages and names." << Qt::endl;
    }

    QList<OfficeDamage> damage;
    if (!checkOffice(config.databaseUrl, config.dataFolder, damage, OfficeCheckDepth::Full,
                     &error)) {
        said(error);
        return isStoreDamage(error) ? 1 : 2;
    }
    if (damage.isEmpty()) {
        out << "The office is sound: " << config.databaseUrl << " with data folder "
            << config.dataFolder << Qt::endl;
        return 0;
    }
    for (const OfficeDamage& part : std::as_const(damage))
        out << part.text << Qt::endl;
    said(QStringLiteral("%1 damaged part(s) found").arg(damage.size()));
    return 1;
}

} // namespace tzsndmsg::app
