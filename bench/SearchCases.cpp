#include "SearchCases.h"

#include "BareStatements.h"
#include "BenchRunner.h"
#include "StoreGenerator.h"
#include "core/MessageListQuery.h"
#include "core/MessageSearch.h"
#include "core/MessageWrite.h"
#include "messages/MessageListModel.h"
#include "state/SharedState.h"
#include "store/Schema.h"
#include "tzsndmsg/MessageSearch.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"
#include "tzsndmsg/tzGlobal.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cstdio>
#include <tuple>

namespace tzsndmsg::bench {

namespace {

constexpr int kFirstScreen = 40;

// Every value of a bare statement, as a client that shows the rows reads them; `lastIds` gets
// the cmID of the last `screen` rows in the database's order.
qint64 readAll(db::Database& db, const QString& sql, const QVariantList& params,
               QStringList* lastIds = nullptr, int screen = 0)
{
    QSqlRecord record;
    auto rows = readBare(db, sql, params, &record);
    if (!rows)
        return -1;
    const int idColumn = record.indexOf(QStringLiteral("cmID"));
    if (lastIds && idColumn >= 0) {
        // The screen the list opens on: the last rows by date, time and id (the generated
        // store keeps ISO dates and times, which sort as text).
        const int date = record.indexOf(QStringLiteral("cmDat"));
        const int time = record.indexOf(QStringLiteral("cmTim"));
        std::sort(rows->begin(), rows->end(), [=](const QVariantList& a, const QVariantList& b) {
            const auto key = [=](const QVariantList& r) {
                return std::make_tuple(r.at(date).toString(), r.at(time).toString(),
                                       r.at(idColumn).toLongLong());
            };
            return key(a) < key(b);
        });
        for (auto it = rows->rbegin(); it != rows->rend() && lastIds->size() < screen; ++it)
            *lastIds << QString::number(it->at(idColumn).toLongLong());
    }
    return qint64(rows->size());
}

core::MessageListParams typicalInbox(tzglob::tzGlobal& services)
{
    const SharedState& st = SharedState::current();
    core::MessageListParams p;
    p.inboxView = true;
    p.msgCatOnly = true;
    p.currentEmployeeId = st.CurrentEmployeeID;
    p.loginNames = st.LoginNames;
    p.loginEmployeeIds = st.LoginEmployeeIDs;
    p.computerName = services.computerName();
    p.currentLoginName = services.currentLoginName();
    return p;
}

// What the window does with the hits before the user sees them: bound to the grid, the first
// screen (the last rows, where the list opens) with its "To/ CC" cells in one statement, its
// "Comments" cells, and the words found in the texts it marks.
qint64 firstScreen(tzglob::tzGlobal& services, db::Recordset& hits, const QStringList& words)
{
    core::MessageRows list(std::move(hits));
    MessageListModel model;
    model.setList(&list, true);
    const int rows = model.rowCount();
    QList<qint32> screen;
    for (int r = std::max(0, rows - kFirstScreen); r < rows; ++r)
        screen << model.cmIdAt(r);
    const QHash<qint32, QVector<core::RecipientRow>> recipients =
        core::readRecipientRowsOf(services, screen);
    model.setToCcProvider(
        [&recipients](qint32 id) { return core::toCcCellText(recipients.value(id)); });
    const int toCc = MessageListModel::columnOf(MessageListModel::Kind::ToCc);
    const int comments = MessageListModel::columnOf(MessageListModel::Kind::Comments);
    int marks = 0;
    for (int r = std::max(0, rows - kFirstScreen); r < rows; ++r)
        for (int column : {2, toCc, 6, comments})
            marks += int(core::matchesIn(model.index(r, column).data().toString(), words).size());
    Q_UNUSED(marks);
    return rows;
}

// The message words' index alone, every word a word's start, across the whole store.
QPair<QString, QVariantList> indexLookup(db::Backend backend, const QStringList& words)
{
    QStringList parts;
    QVariantList params;
    for (const QString& w : words) {
        const QString folded = core::foldedWord(w);
        if (backend == db::Backend::Sqlite) {
            parts << u'"' + folded + QStringLiteral("\"*");
        } else {
            parts << QStringLiteral("tz_prefix_query(?)");
            params << folded;
        }
    }
    if (backend == db::Backend::Sqlite)
        return {QStringLiteral("SELECT rowid FROM CMWrdTable WHERE CMWrdTable MATCH ?"),
                {parts.join(u' ')}};
    return {
        QStringLiteral("SELECT cmID FROM CMTable WHERE tz_cm_words(CMSubjec, cmDoc, cmWho) @@ (") +
            parts.join(QStringLiteral(" && ")) + u')',
        params};
}

// The search index of CMTable taken away and put back, on a connection of its own so that
// the services' connection keeps what it prepared.
void withoutMessageIndex(const QString& url, bool drop)
{
    auto db = db::Database::open(url);
    if (!db)
        return;
    QString error;
    if (drop) {
        const QStringList statements =
            db->backend() == db::Backend::Sqlite
                ? QStringList{QStringLiteral("DROP TRIGGER IF EXISTS tr_cmtable_wrd_ai"),
                              QStringLiteral("DROP TRIGGER IF EXISTS tr_cmtable_wrd_ad"),
                              QStringLiteral("DROP TRIGGER IF EXISTS tr_cmtable_wrd_bu"),
                              QStringLiteral("DROP TRIGGER IF EXISTS tr_cmtable_wrd_au")}
                : QStringList{QStringLiteral("DROP INDEX IF EXISTS ix_cm_words")};
        if (!db->execScript(statements, &error))
            std::fprintf(stderr, "cannot take the index away: %s\n", qPrintable(error));
    } else if (!store::createSchema(*db, &error)) {
        std::fprintf(stderr, "cannot put the index back: %s\n", qPrintable(error));
    }
}

void addTypedCases(Runner& runner, const std::shared_ptr<tzglob::tzGlobal>& services)
{
    struct Typed {
        const char* text;
        const char* what;
        bool everywhere;
    };
    const Typed typed[] = {
        {"pres", "a word's start, in 6% of the subjects", false},
        {"prescription refill", "two words of a subject", false},
        {"insurance", "a word in most texts", false},
        {"garcia", "a last name: sender, To and Cc", false},
        {"pres", "a word's start, every view", true},
        {"p", "one letter", false},
    };
    for (const Typed& t : typed) {
        const QStringList words = searchWords(QLatin1String(t.text));
        const QString name = QStringLiteral("Search \"%1\" (%2): hits, sort, grid, first screen")
                                 .arg(QLatin1String(t.text), QLatin1String(t.what));
        const bool everywhere = t.everywhere;
        runner.add({name, QStringLiteral("the same statement + one recipient query, bare"),
                    [services, words, everywhere] {
                        QString error;
                        const core::MessageListParams p = typicalInbox(*services);
                        db::Recordset list =
                            everywhere
                                ? core::searchEverywhere(*services, p, words, QString(), &error)
                                : core::searchView(*services, p, words, QString(), &error);
                        if (!list.isOpen()) {
                            std::fprintf(stderr, "search failed: %s\n", qPrintable(error));
                            return qint64(-1);
                        }
                        return firstScreen(*services, list, words);
                    },
                    [services, words, everywhere] {
                        // The hits and the screen's recipients, bare.
                        auto db = services->messageStoreConnection();
                        const core::MessageListParams p = typicalInbox(*services);
                        const core::BoundStatement s =
                            core::searchStatement(*services, *db, p, words, everywhere);
                        QStringList screen;
                        const qint64 n = readAll(*db, s.sql, s.params, &screen, kFirstScreen);
                        if (!screen.isEmpty())
                            readAll(*db, bareRecipientsOf(screen.join(u',')), {});
                        return n;
                    }});
        if (everywhere)
            continue;
        runner.add({QStringLiteral("  part: Search index lookup alone, whole store (\"%1\")")
                        .arg(QLatin1String(t.text)),
                    QString(), [services, words] {
                        auto db = services->messageStoreConnection();
                        const auto [sql, params] = indexLookup(db->backend(), words);
                        return readAll(*db, sql, params);
                    }});
    }
}

// A search typed in the open inbox, as the window runs it: the view is listed already (read
// untimed, once); its rows' messages are narrowed through the index, the end of the list first,
// and the first screen listed; then every hit.
void addListedCases(Runner& runner, const std::shared_ptr<tzglob::tzGlobal>& services)
{
    const auto view = std::make_shared<db::Recordset>();
    const auto openView = [services, view] {
        if (view->isOpen())
            return;
        QString error;
        *view = core::queryView(*services, typicalInbox(*services), QString(), &error);
        if (!view->isOpen())
            std::fprintf(stderr, "inbox failed: %s\n", qPrintable(error));
    };
    struct Typed {
        const char* text;
        const char* what;
    };
    const Typed typed[] = {
        {"pres", "a word's start, in 6% of the subjects"},
        {"prescription refill", "two words of a subject"},
        {"insurance", "a word in most texts"},
        {"garcia", "a last name: sender, To and Cc"},
        {"p", "one letter"},
    };
    for (const Typed& t : typed) {
        const QStringList words = searchWords(QLatin1String(t.text));
        for (const bool whole : {false, true}) {
            // What the last run ran and listed, for the bare run of the same statements.
            const auto ran = std::make_shared<QVector<core::BoundStatement>>();
            const auto screen = std::make_shared<QStringList>();
            const auto op = [services, view, words, whole, ran, screen] {
                core::ListedSearch search(*services, words, core::listedRowsOf(*view));
                QString error;
                if (!search.start(kFirstScreen, &error) || (whole && !search.finish(&error))) {
                    std::fprintf(stderr, "search failed: %s\n", qPrintable(error));
                    return qint64(-1);
                }
                db::Recordset hits =
                    view->subset([&search](int p) { return search.rowHolds(p); }, QString(), {});
                *ran = search.statementsRun();
                screen->clear();
                db::Recordset last = hits.clone();
                last.moveLast();
                for (int i = 0; i < kFirstScreen && !last.bof(); ++i, last.movePrevious())
                    *screen << last.value(QStringLiteral("cmID")).toString();
                return firstScreen(*services, hits, words);
            };
            Case c{QStringLiteral("Search \"%1\" (%2) typed in the open inbox: %3")
                       .arg(QLatin1String(t.text), QLatin1String(t.what),
                            whole ? QStringLiteral("every hit") : QStringLiteral("first screen")),
                   QStringLiteral("the same statements + one recipient query, bare"), op,
                   [services, ran, screen] {
                       auto db = services->messageStoreConnection();
                       qint64 n = 0;
                       for (const core::BoundStatement& s : std::as_const(*ran))
                           n += readAll(*db, s.sql, s.params);
                       if (!screen->isEmpty())
                           readAll(*db, bareRecipientsOf(screen->join(u',')), {});
                       return n;
                   }};
            c.opSetup = openView;
            c.baselineSetup = [openView, op, ran] {
                openView();
                if (ran->isEmpty())
                    op();
            };
            runner.add(c);
        }
    }
}

void addSendCases(Runner& runner, const std::shared_ptr<tzglob::tzGlobal>& services,
                  const StoreSummary& summary)
{
    auto db = services->messageStoreConnection();
    const QString url = db->url();
    const auto firstNewId = std::make_shared<qint64>(0);
    const auto undo = [db, firstNewId] {
        for (const char* sql :
             {"DELETE FROM BroChkTable WHERE BroChkLinID >= ?",
              "DELETE FROM EVTable WHERE EvLinID >= ?", "DELETE FROM CMTable WHERE cmID >= ?"})
            db->exec(QString::fromLatin1(sql), {*firstNewId});
        if (db->backend() == db::Backend::Sqlite)
            db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    };
    QVector<qint32> office;
    for (qint32 id : SharedState::current().LoginEmployeeIDs)
        if (id != 0 && !office.contains(id))
            office << id;
    // The window's save of a message to the whole office.
    core::OutgoingMessage message;
    message.headerChanged = true;
    message.cmDat = QStringLiteral("12/06/2026");
    message.senderId = summary.typicalPid;
    message.cmCat = QStringLiteral("Message");
    message.cmDoc = QStringLiteral("The autoclave in room 2 is out of order until Monday. Please "
                                   "use the one in room 4 and log every cycle.");
    message.CMSubjec = QStringLiteral("Autoclave out of order");
    message.EvBroFla = true;
    message.EvBroStaDatFla = true;
    message.EvBroStaDat = QStringLiteral("12/06/2026");
    message.EvBroStaTim = QStringLiteral("10:00 AM");
    message.EvBroNumOfTim = -1;
    for (qint32 pid : office)
        message.personIds[0] += QString::number(pid) + u',';
    const auto send = [services, message, office, firstNewId] {
        const core::SaveResult saved = core::saveMessage(*services, message);
        *firstNewId = saved.cmId;
        return saved.ok && saved.cmId != 0 ? qint64(office.size() + 2) : qint64(-1);
    };
    // A workstation's connection sends on an index it has used before: after the index is taken
    // away or put back, one send untimed, so that neither side times the connection's first
    // statement on the changed table.
    const auto warm = [send, undo] {
        send();
        undo();
    };
    Case c{QStringLiteral("Whole-office send with the search index (%1 addressees)")
               .arg(office.size()),
           QStringLiteral("the same send without the index"),
           send,
           send,
           undo,
           [undo, url, warm] {
               undo();
               withoutMessageIndex(url, false);
               warm();
           },
           QStringLiteral("baseline runs with the index taken away (untimed) and put back after; "
                          "each side sends once untimed after the change")};
    c.baselineSetup = [url, warm] {
        withoutMessageIndex(url, true);
        warm();
    };
    runner.add(c);
}

} // namespace

void addSearchCases(Runner& runner, const std::shared_ptr<tzglob::tzGlobal>& services,
                    const StoreSummary& summary)
{
    addTypedCases(runner, services);
    addListedCases(runner, services);
    addSendCases(runner, services, summary);
}

IndexSize measureIndexSize(db::Database& db)
{
    IndexSize size;
    if (db.backend() == db::Backend::Sqlite) {
        size.indexBytes =
            db.scalar(QStringLiteral(
                          "SELECT coalesce(sum(pgsize), 0) FROM dbstat WHERE name LIKE "
                          "'CMWrdTable%' OR name LIKE 'PAWrdTable%' OR name LIKE '%SrchIdxTable%'"))
                .toLongLong();
        size.storeBytes = db.scalar(QStringLiteral("SELECT sum(pgsize) FROM dbstat")).toLongLong();
    } else {
        size.indexBytes = db.scalar(QStringLiteral("SELECT pg_relation_size('ix_cm_words') + "
                                                   "pg_relation_size('ix_pa_words')"))
                              .toLongLong();
        size.storeBytes =
            db.scalar(
                  QStringLiteral("SELECT sum(pg_total_relation_size(c.oid)) FROM pg_class c JOIN "
                                 "pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = "
                                 "current_schema() AND c.relkind = 'r'"))
                .toLongLong();
    }
    return size;
}

QString IndexSize::text() const
{
    return QStringLiteral("search index %1 MiB for a store of %2 MiB without it: +%3 %")
        .arg(double(indexBytes) / 1048576.0, 0, 'f', 1)
        .arg(double(storeBytes - indexBytes) / 1048576.0, 0, 'f', 1)
        .arg(share() * 100.0, 0, 'f', 1);
}

QJsonObject IndexSize::json() const
{
    return {{QStringLiteral("index_bytes"), indexBytes},
            {QStringLiteral("store_bytes_with_index"), storeBytes},
            {QStringLiteral("share_of_store_without_index"), share()}};
}

} // namespace tzsndmsg::bench
