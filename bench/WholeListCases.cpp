#include "WholeListCases.h"

#include "BareStatements.h"
#include "BenchRunner.h"
#include "StoreGenerator.h"
#include "core/MessageListQuery.h"
#include "core/MessageSearch.h"
#include "state/SharedState.h"
#include "tzsndmsg/MessageSearch.h"
#include "tzsndmsg/Messages.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/tzGlobal.h"

#include <QProcess>
#include <cstdio>

namespace tzsndmsg::bench {

namespace {

constexpr double kTarget = 1.5;

qint64 bareCount(db::Database& db, const QString& sql, const QVariantList& params)
{
    const auto rows = readBare(db, sql, params);
    return rows ? qint64(rows->size()) : -1;
}

// The host program's table: its lines after the title and the header.
qint64 runProgram(const QStringList& args)
{
    QProcess program;
    program.start(QStringLiteral(TZSNDMSG_APP), args);
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "tzsndmsg did not start\n");
        return -1;
    }
    QByteArray out;
    while (program.state() != QProcess::NotRunning && program.waitForReadyRead(60000))
        out += program.readAllStandardOutput();
    program.waitForFinished(60000);
    out += program.readAllStandardOutput();
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0) {
        std::fprintf(stderr, "tzsndmsg %s failed: %s\n", qPrintable(args.first()),
                     program.readAllStandardError().constData());
        return -1;
    }
    return std::max<qint64>(0, out.count('\n') - 2);
}

} // namespace

void addWholeListCases(Runner& runner, const std::shared_ptr<tzglob::tzGlobal>& services,
                       const StoreSummary& summary, const QString& databaseUrl,
                       const QString& dataFolder)
{
    auto db = services->messageStoreConnection();
    const bool sqlite = db->backend() == db::Backend::Sqlite;
    const QString login = summary.typicalLogin;
    const QVariantList who{summary.typicalPid, summary.typicalComputer};
    const QString bareInbox = withBareToCcNames(bareInboxStatement(true, false, sqlite), sqlite);
    const QString bareName = QStringLiteral("one bare statement with the names grouped");

    const auto inboxBare = [db, bareInbox, who] { return bareCount(*db, bareInbox, who); };
    Case inbox{QStringLiteral("Inbox whole list with To/CC (readMessageView)"), bareName,
               [services] {
                   QList<MessageViewRow> rows;
                   QString error;
                   if (!readMessageView(*services, MessageViewRequest{}, rows, &error)) {
                       std::fprintf(stderr, "readMessageView: %s\n", qPrintable(error));
                       return qint64(-1);
                   }
                   return qint64(rows.size());
               },
               inboxBare};
    inbox.target = kTarget;
    runner.add(inbox);
    runner.add({QStringLiteral("  part: the same list without To/CC"), QString(), [services] {
                    MessageViewRequest request;
                    request.withToCc = false;
                    QList<MessageViewRow> rows;
                    readMessageView(*services, request, rows);
                    return qint64(rows.size());
                }});

    // The cells as they were built before: every recipient row of the listed messages read
    // (500 messages a statement) and joined in the program.
    runner.add({QStringLiteral("  part: the same cells from every recipient row, joined in the "
                               "program"),
                QString(), [services] {
                    MessageViewRequest request;
                    request.withToCc = false;
                    QList<MessageViewRow> rows;
                    readMessageView(*services, request, rows);
                    QList<qint32> ids;
                    for (const MessageViewRow& row : std::as_const(rows))
                        if (ids.isEmpty() || ids.last() != row.messageId)
                            ids << row.messageId;
                    qint64 cells = 0;
                    for (qsizetype at = 0; at < ids.size(); at += 500) {
                        const QList<qint32> batch = ids.mid(at, 500);
                        const auto recipients = core::readRecipientRowsOf(*services, batch);
                        for (qint32 id : batch)
                            cells += core::toCcCellText(recipients.value(id)).isEmpty() ? 0 : 1;
                    }
                    return qint64(rows.size());
                }});

    // A last name: the sender and the To and Cc rows of the inbox's messages.
    const QString word = QStringLiteral("garcia");
    const core::MessageListParams params = [&] {
        const SharedState& st = SharedState::current();
        core::MessageListParams p;
        p.currentEmployeeId = st.CurrentEmployeeID;
        p.loginNames = st.LoginNames;
        p.loginEmployeeIds = st.LoginEmployeeIDs;
        p.computerName = services->computerName();
        p.currentLoginName = services->currentLoginName();
        return p;
    }();
    const auto searchBare = [services, db, params, word, sqlite] {
        const core::BoundStatement s =
            core::searchStatement(*services, *db, params, searchWords(word), false);
        return bareCount(*db, withBareToCcNames(s.sql, sqlite), s.params);
    };
    Case search{
        QStringLiteral("Search \"%1\" whole list with To/CC (searchMessages)").arg(word), bareName,
        [services, login, word] {
            MessageSearchResult result;
            QString why;
            if (!searchMessages(*services, login, word, MessageSearchScope{}, result, &why)) {
                std::fprintf(stderr, "searchMessages: %s\n", qPrintable(why));
                return qint64(-1);
            }
            return qint64(result.hits.size());
        },
        searchBare};
    search.target = kTarget;
    runner.add(search);

    // The commands as a script runs them: a process each, started, reading the store, printing.
    const QStringList common{QStringLiteral("--db"),       databaseUrl,
                             QStringLiteral("--data"),     dataFolder,
                             QStringLiteral("--login"),    login,
                             QStringLiteral("--computer"), summary.typicalComputer};
    Case inboxCommand{
        QStringLiteral("tzsndmsg inbox, whole process"), bareName,
        [common] { return runProgram(QStringList{QStringLiteral("inbox")} + common); }, inboxBare};
    inboxCommand.target = kTarget;
    inboxCommand.note = QStringLiteral("the process's start, services and printing included");
    runner.add(inboxCommand);
    Case searchCommand{QStringLiteral("tzsndmsg search %1, whole process").arg(word), bareName,
                       [common, word] {
                           return runProgram(QStringList{QStringLiteral("search")} + common +
                                             QStringList{word});
                       },
                       searchBare};
    searchCommand.target = kTarget;
    searchCommand.note = inboxCommand.note;
    runner.add(searchCommand);
}

} // namespace tzsndmsg::bench
