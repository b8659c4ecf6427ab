// tzsndmsg search: the messages of a login's views that hold every word, as a table like the
// inbox command's.
#include "Commands.h"
#include "HostConfig.h"
#include "tzsndmsg/MessageSearch.h"
#include "tzsndmsg/tzGlobal.h"

#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <memory>

namespace tzsndmsg::app {

namespace {

int failed(int code, const QString& message)
{
    std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(message));
    return code;
}

QString scopeName(const MessageSearchScope& scope)
{
    if (scope.everywhere)
        return QStringLiteral("every view");
    QString name = scope.sentItems       ? QStringLiteral("Sent items")
                   : scope.allCategories ? QStringLiteral("Inbox - All Categories")
                                         : QStringLiteral("Inbox - Message Category Only");
    return scope.history ? name + QStringLiteral(" - History") : name;
}

} // namespace

int runSearch(const QStringList& args)
{
    QCommandLineParser parser;
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("everywhere"),
                      QStringLiteral("Every view: the inbox of all categories, sent items and both "
                                     "histories.")});
    parser.addOption(
        {QStringLiteral("all-categories"), QStringLiteral("The inbox of every category.")});
    parser.addOption({QStringLiteral("sent"), QStringLiteral("The sent items.")});
    parser.addOption({QStringLiteral("history"), QStringLiteral("The view's purged messages.")});
    parser.addPositionalArgument(QStringLiteral("WORDS"),
                                 QStringLiteral("Every word must start a word of the subject, the "
                                                "text, the sender or the To/CC names."),
                                 QStringLiteral("WORDS..."));
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args))
        return failed(2, parser.errorText());
    showHelpIfAsked(parser);
    const QString typed = parser.positionalArguments().join(QLatin1Char(' '));
    const QStringList words = searchWords(typed);
    if (words.isEmpty())
        return failed(2, QStringLiteral("search needs words of letters or digits"));
    if (const QString why = searchWordsError(words); !why.isEmpty())
        return failed(2, why);
    MessageSearchScope scope;
    scope.everywhere = parser.isSet(QStringLiteral("everywhere"));
    scope.sentItems = parser.isSet(QStringLiteral("sent"));
    scope.allCategories = parser.isSet(QStringLiteral("all-categories"));
    scope.history = parser.isSet(QStringLiteral("history"));
    if (scope.everywhere && (scope.sentItems || scope.allCategories || scope.history))
        return failed(2, QStringLiteral("--everywhere searches every view; leave out --sent, "
                                        "--all-categories and --history"));

    const tzglob::Config config = configFrom(parser);
    const auto services = openServices(parser, DataUse::ReadOnly);
    if (!services)
        return setUpExitCode();

    MessageSearchResult result;
    if (QString why; !searchMessages(*services, config.loginName, typed, scope, result, &why))
        return failed(1, why);

    QStringList headers;
    if (scope.everywhere)
        headers << QStringLiteral("View");
    headers << QStringLiteral("From") << QStringLiteral("To/ CC") << QStringLiteral("Date")
            << QStringLiteral("Time") << QStringLiteral("Subject") << QStringLiteral("Comments");
    QList<QStringList> rows;
    for (const MessageSearchHit& hit : result.hits) {
        QStringList cells;
        if (scope.everywhere)
            cells << hit.view;
        cells << hit.from << hit.toCc << hit.date << hit.time << hit.subject
              << hit.comments.left(60);
        rows << cells;
    }
    QVector<int> widths(headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        widths[c] = int(headers[c].size());
        for (const QStringList& row : rows)
            widths[c] = qMax(widths[c], int(row[c].size()));
    }
    QTextStream out(stdout);
    const auto line = [&](const QString& mark, const QStringList& cells) {
        QString text = mark;
        for (int c = 0; c < cells.size(); ++c)
            text += QLatin1Char(' ') + cells[c].leftJustified(widths[c]) +
                    (c + 1 < cells.size() ? QStringLiteral(" |") : QString());
        out << text << '\n'; // flushed once, at the end
    };
    out << "Search for \"" << result.words.join(QLatin1Char(' ')) << "\" in " << scopeName(scope)
        << " of " << config.loginName << " at " << services->computerName() << ": "
        << result.hits.size() << " message(s); * = unread" << Qt::endl;
    line(QStringLiteral(" "), headers);
    for (qsizetype i = 0; i < rows.size(); ++i)
        line(result.hits.at(i).unread ? QStringLiteral("*") : QStringLiteral(" "), rows.at(i));
    out.flush();
    return 0;
}

} // namespace tzsndmsg::app
