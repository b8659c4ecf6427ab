// tzsndmsg confirmations --message ID: who has confirmed one of the login's sent messages, as the
// panel under a sent message lists it; and the sent items' "Confirmed" column of `inbox --sent`.
// tzsndmsg confirm BROCHKID and snooze BROCHKID [--minutes N]: a received message confirmed or
// told again later without the window.
#include "Commands.h"
#include "HostConfig.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/tzGlobal.h"

#include <QFileInfo>
#include <QLocale>
#include <QTextStream>
#include <cstdio>

namespace tzsndmsg::app {

namespace {

// When the confirmation was recorded, as the window shows it.
QString whenText(const QDateTime& at)
{
    return QLocale::c().toString(at, QStringLiteral("MM/dd/yyyy hh:mm ap"));
}

} // namespace

bool confirmationCells(HostServices& services, const QList<qint32>& messageIds, QStringList& cells,
                       QList<bool>& awaited, QString* error)
{
    cells.clear();
    awaited.clear();
    QHash<qint32, ConfirmationCount> counts;
    if (!readConfirmationCounts(services, messageIds, counts, error))
        return false;
    for (qint32 id : messageIds) {
        const ConfirmationCount count = counts.value(id);
        cells << confirmationCountText(count);
        awaited << count.awaited();
    }
    return true;
}

int runConfirmations(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("message"),
                      QStringLiteral("The id of a message the login sent (its sent items or their "
                                     "history)."),
                      QStringLiteral("ID")});
    addCommonOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args))
        return fail(2, parser.errorText());
    showHelpIfAsked(parser);
    if (!parser.positionalArguments().isEmpty())
        return fail(
            2,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (!parser.isSet(QStringLiteral("message")))
        return fail(2, QStringLiteral("confirmations needs --message ID"));
    bool ok = false;
    const qint32 messageId = parser.value(QStringLiteral("message")).trimmed().toInt(&ok);
    if (!ok || messageId <= 0)
        return fail(2, QStringLiteral("--message needs a message id, not '%1'")
                           .arg(parser.value(QStringLiteral("message"))));

    const auto services = openServices(parser, DataUse::ReadOnly);
    if (!services)
        return setUpExitCode();

    QString error;
    MessageConfirmations read;
    if (!readSentMessageConfirmations(*services, messageId, QString(), read, &error))
        return fail(1, error);

    QTextStream out(stdout);
    out << "Message " << read.messageId << " \"" << read.subject << "\" from " << read.from << ": "
        << confirmationCountText(read.count);
    if (read.count.awaited())
        out << "; needs confirmation, " << read.count.pending() << " not confirmed yet";
    out << "\n";

    const QStringList headers{QStringLiteral("Addressee"), QStringLiteral("To/Cc"),
                              QStringLiteral("Confirmed"), QStringLiteral("Confirmed by")};
    QList<QStringList> rows;
    for (const AddresseeConfirmation& a : read.addressees)
        rows << QStringList{a.computer ? a.name + QStringLiteral(" (computer)") : a.name,
                            a.cc ? QStringLiteral("Cc") : QStringLiteral("To"),
                            !a.confirmed              ? QStringLiteral("Pending")
                            : a.confirmedAt.isValid() ? whenText(a.confirmedAt)
                                                      : QStringLiteral("Yes"),
                            a.confirmedBy};
    QVector<int> widths(headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        widths[c] = int(headers[c].size());
        for (const QStringList& row : std::as_const(rows))
            widths[c] = qMax(widths[c], int(row[c].size()));
    }
    auto line = [&](const QStringList& cells) {
        QString text;
        for (int c = 0; c < cells.size(); ++c)
            text += (c ? QStringLiteral(" | ") : QString()) +
                    (c + 1 < cells.size() ? cells[c].leftJustified(widths[c]) : cells[c]);
        out << text << "\n";
    };
    line(headers);
    for (const QStringList& row : std::as_const(rows))
        line(row);
    out.flush();
    return 0;
}

namespace {

// The one positional argument: the inbox row (BroChkID) of a received message.
bool parseRow(QCommandLineParser& parser, const QStringList& args, const QString& command,
              qint32& row, int& code)
{
    addCommonOptions(parser);
    parser.addPositionalArgument(QStringLiteral("BROCHKID"),
                                 QStringLiteral("The addressee row the message came through "
                                                "(BroChkID, as `watch` lines give it)."));
    code = 0;
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args)) {
        code = fail(2, parser.errorText());
        return false;
    }
    showHelpIfAsked(parser);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        code = fail(2, positional.isEmpty()
                           ? QStringLiteral("%1 needs the message's row id (BROCHKID)").arg(command)
                           : QStringLiteral("unexpected argument '%1'").arg(positional.at(1)));
        return false;
    }
    bool ok = false;
    row = positional.first().trimmed().toInt(&ok);
    if (!ok || row <= 0) {
        code = fail(
            2,
            QStringLiteral("%1 needs a message row id, not '%2'").arg(command, positional.first()));
        return false;
    }
    return true;
}

} // namespace

int runConfirm(const QStringList& args)
{
    QCommandLineParser parser;
    qint32 row = 0;
    int code = 0;
    if (!parseRow(parser, args, QStringLiteral("confirm"), row, code))
        return code;
    const auto services = openServices(parser);
    if (!services)
        return setUpExitCode();
    QString error;
    if (!confirmReceivedMessage(*services, row, &error))
        return fail(1, error);
    out() << "Confirmed message row " << row << "\n";
    out().flush();
    return 0;
}

int runSnooze(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("minutes"),
                      QStringLiteral("Tell it again after this many minutes (1 to %1; %2 when "
                                     "left out).")
                          .arg(MaxSnoozeMinutes)
                          .arg(DefaultSnoozeMinutes),
                      QStringLiteral("N")});
    qint32 row = 0;
    int code = 0;
    if (!parseRow(parser, args, QStringLiteral("snooze"), row, code))
        return code;
    int minutes = DefaultSnoozeMinutes;
    if (parser.isSet(QStringLiteral("minutes"))) {
        bool ok = false;
        const QString text = parser.value(QStringLiteral("minutes"));
        minutes = text.trimmed().toInt(&ok);
        if (!ok || minutes < 1 || minutes > MaxSnoozeMinutes)
            return fail(2, QStringLiteral("--minutes takes 1 to %1 minutes, not '%2'")
                               .arg(MaxSnoozeMinutes)
                               .arg(text));
    }
    const auto services = openServices(parser, DataUse::ReadOnly);
    if (!services)
        return setUpExitCode();
    QString error;
    if (!snoozeReceivedMessage(*services, row, minutes, &error))
        return fail(1, error);
    out() << "Message row " << row << " is told again in " << minutes << " minutes\n";
    out().flush();
    return 0;
}

} // namespace tzsndmsg::app
