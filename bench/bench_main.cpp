// tzsndmsg_bench: times the product's list, send, purge and picker work on a generated office
// against the bare database work each stands on, and prints the ratios.
#include "BareStatements.h"
#include "BenchRunner.h"
#include "ConfirmationCases.h"
#include "ProposedChanges.h"
#include "SearchCases.h"
#include "StoreGenerator.h"
#include "WholeListCases.h"
#include "WindowCases.h"
#include "WindowDriver.h"
#include "core/EventStore.h"
#include "core/MessageListQuery.h"
#include "core/MessageWrite.h"
#include "core/StationSignal.h"
#include "db/Internals.h"
#include "directory/StaffDirectory.h"
#include "messages/MessageListModel.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "store/Schema.h"
#include "tzsndmsg/MessageSearch.h"
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"
#include "tzsndmsg/db/Recordset.h"
#include "tzsndmsg/tzGlobal.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QTableView>
#include <QTextStream>
#include <QThread>
#include <QUrl>
#include <cstdio>

using namespace tzsndmsg;

namespace {

constexpr int kFirstScreen = 40;

// Every row of a bare statement, kept as a client that shows the rows must. `rawBytes` gets the
// size of the values; `lastIds` the cmID values of the last `lastCount` rows, last row first.
qint64 bareRows(db::Database& db, const QString& sql, const QVariantList& params,
                qint64* rawBytes = nullptr, QStringList* lastIds = nullptr, int lastCount = 0)
{
    QSqlRecord record;
    const auto rows = bench::readBare(db, sql, params, &record);
    if (!rows)
        return -1;
    if (rawBytes) {
        qint64 bytes = 0;
        for (const QVariantList& row : *rows)
            for (const QVariant& v : row)
                bytes += v.typeId() == QMetaType::QString ? v.toString().toUtf8().size() : 8;
        *rawBytes = bytes;
    }
    const int idColumn = record.indexOf(QStringLiteral("cmID"));
    if (lastIds && idColumn >= 0)
        for (auto it = rows->rbegin(); it != rows->rend() && lastIds->size() < lastCount; ++it)
            *lastIds << QString::number(it->at(idColumn).toLongLong());
    return qint64(rows->size());
}

struct Bench {
    std::shared_ptr<tzglob::tzGlobal> services;
    std::shared_ptr<db::Database> db;
    bench::StoreSummary summary;
    bool asWritten = false; // the views' statements as written instead of the form the window runs

    QString quote(const QString& t) const { return services->quote(t); }
    bool sqlite() const { return db->backend() == db::Backend::Sqlite; }

    core::MessageListParams params(bool inbox, bool history) const
    {
        const SharedState& st = SharedState::current();
        core::MessageListParams p;
        p.inboxView = inbox;
        p.msgCatOnly = true;
        p.history = history;
        p.currentEmployeeId = st.CurrentEmployeeID;
        p.loginNames = st.LoginNames;
        p.loginEmployeeIds = st.LoginEmployeeIDs;
        p.computerName = services->computerName();
        p.currentLoginName = services->currentLoginName();
        return p;
    }

    core::ListStatementForm form() const
    {
        return asWritten ? core::ListStatementForm::AsWritten : core::ListStatementForm::ToRun;
    }

    QString viewStatement(bool inbox, bool history) const
    {
        return services->adaptSql(core::buildMessageListStatement(
            params(inbox, history), [this](const QString& t) { return quote(t); }, form()));
    }

    // The view's list as the window reads it: the statement through the adapter, then the
    // client-side sort.
    db::Recordset viewList(bool inbox, bool history) const
    {
        return viewList(*services, inbox, history);
    }
    db::Recordset viewList(tzglob::tzGlobal& at, bool inbox, bool history) const
    {
        QString error;
        db::Recordset rs = core::queryView(at, params(inbox, history), QString(), &error, form());
        if (!rs.isOpen())
            std::fprintf(stderr, "view statement failed: %s\n", qPrintable(error));
        return rs;
    }

    // The "To/ CC" cells of one screen in one statement, as the window fetches them.
    QHash<qint32, QString> toCcOfScreen(const QList<qint32>& ids) const
    {
        return toCcOfScreen(*services, ids);
    }
    QHash<qint32, QString> toCcOfScreen(tzglob::tzGlobal& at, const QList<qint32>& ids) const
    {
        const QHash<qint32, QVector<core::RecipientRow>> rows = core::readRecipientRowsOf(at, ids);
        QHash<qint32, QString> out;
        for (qint32 id : ids)
            out.insert(id, core::toCcCellText(rows.value(id)));
        return out;
    }

    QVariantList who() const { return {summary.typicalPid, summary.typicalComputer}; }
};

// The inbox open: list, sort, binding to the grid model and the unbound cells of the first
// screen, through the given workstation's services.
qint64 inboxOpen(const Bench& b, tzglob::tzGlobal& at)
{
    core::MessageRows list(b.viewList(at, true, false));
    MessageListModel model;
    model.setList(&list, true);
    const int toCc = MessageListModel::columnOf(MessageListModel::Kind::ToCc);
    const int comments = MessageListModel::columnOf(MessageListModel::Kind::Comments);
    // The grid opens on the last row: the first screen is the end of the list. As the
    // window does, the screen's recipients come in one statement.
    const int rows = model.rowCount();
    QList<qint32> screen;
    for (int r = std::max(0, rows - kFirstScreen); r < rows; ++r)
        screen << model.cmIdAt(r);
    const QHash<qint32, QString> cells = b.toCcOfScreen(at, screen);
    model.setToCcProvider([&cells](qint32 id) { return cells.value(id); });
    for (int r = std::max(0, rows - kFirstScreen); r < rows; ++r) {
        model.data(model.index(r, toCc));
        model.data(model.index(r, comments));
    }
    return qint64(rows);
}

void addListCases(bench::Runner& runner, Bench& b)
{
    struct View {
        const char* name;
        bool inbox, history;
    };
    for (const View v : {View{"Inbox", true, false}, View{"Inbox history", true, true},
                         View{"Sent items", false, false}, View{"Sent history", false, true}}) {
        const QString name = QString::fromLatin1(v.name);
        const QString bare = v.inbox ? bench::bareInboxStatement(true, v.history, b.sqlite())
                                     : bench::bareSentStatement(v.history, b.sqlite());
        const QVariantList params = v.inbox ? b.who() : QVariantList{b.summary.typicalLogin};
        runner.add({name + QStringLiteral(" statement as the window runs it + client sort"),
                    QStringLiteral("bare equivalent, sorted by the database"),
                    [&b, v] { return qint64(b.viewList(v.inbox, v.history).recordCount()); },
                    [&b, bare, params] { return bareRows(*b.db, bare, params); }});
    }

    // Inbox open: list, sort, binding to the grid model and the unbound cells of the first
    // screen, against the bare statement and one batch query for the first screen's recipients.
    runner.add({QStringLiteral("Inbox open (list, sort, bind, first screen of cells)"),
                QStringLiteral("bare statement + one recipient query for the screen"),
                [&b] { return inboxOpen(b, *b.services); },
                [&b] {
                    // The screen's ids come from the rows read: the bare work is one more query.
                    QStringList ids;
                    const qint64 n =
                        bareRows(*b.db, bench::bareInboxStatement(true, false, b.sqlite()), b.who(),
                                 nullptr, &ids, kFirstScreen);
                    if (!ids.isEmpty())
                        bareRows(*b.db, bench::bareRecipientsOf(ids.join(u',')), {});
                    return n;
                }});
}

QVector<qint32> wholeOffice()
{
    QVector<qint32> office;
    for (qint32 id : SharedState::current().LoginEmployeeIDs)
        if (id != 0 && !office.contains(id))
            office << id;
    return office;
}

// The product's save path, the one the window's SaveMessage hands its message to: the
// message as the window composes it after its send questions (delivered from now on).
core::OutgoingMessage wholeOfficeMessage(const Bench& b, const QVector<qint32>& office)
{
    core::OutgoingMessage message;
    message.headerChanged = true;
    message.cmDat = QStringLiteral("12/06/2026");
    message.senderId = b.summary.typicalPid;
    message.cmCat = QStringLiteral("Message");
    message.cmDoc = QStringLiteral("The office closes at 1 pm on Friday for the fire "
                                   "inspection. Please reschedule afternoon patients.");
    message.CMSubjec = QStringLiteral("Office closes early");
    message.EvBroFla = true;
    message.EvBroStaDatFla = true;
    message.EvBroStaDat = QStringLiteral("12/06/2026");
    message.EvBroStaTim = QStringLiteral("10:00 AM");
    message.EvBroNumOfTim = -1;
    for (qint32 pid : office)
        message.personIds[0] += QString::number(pid) + u',';
    return message;
}

void addSendCase(bench::Runner& runner, Bench& b)
{
    // Sending one message to the whole office, as the window's save path writes it: header,
    // detail and one addressee row per employee through the services' record writer in one
    // transaction, then one station signal per row written.
    const auto firstNewId = std::make_shared<qint64>(0);
    const auto deleteFrom = [&b, firstNewId] {
        for (const char* sql :
             {"DELETE FROM BroChkTable WHERE BroChkLinID >= ?",
              "DELETE FROM EVTable WHERE EvLinID >= ?", "DELETE FROM CMTable WHERE cmID >= ?"})
            b.db->exec(QString::fromLatin1(sql), {*firstNewId});
        // Each run starts with an empty write-ahead log, so that no run pays for a checkpoint
        // the one before it left due.
        if (b.db->backend() == db::Backend::Sqlite)
            b.db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    };
    const QVector<qint32> office = wholeOffice();
    const QString login = b.summary.typicalLogin;
    const QString sender = QString::number(b.summary.typicalPid);
    const core::OutgoingMessage message = wholeOfficeMessage(b, office);
    const QString body = message.cmDoc;
    const auto bareSend = [&b, office, login, sender, body, firstNewId](bool together) {
        return [&b, office, login, sender, body, firstNewId, together] {
            QSqlDatabase handle = tzsndmsg::db::Internals::handle(*b.db);
            QSqlQuery h(handle), d(handle), r(handle);
            db::Transaction t(*b.db);
            h.prepare(QStringLiteral(
                "INSERT INTO CMTable (cmTyp, cmTraLinID, cmTim, cmDat, cmWho, cmPid, cmCat, "
                "cmSubCat, cmWhoMod, cmDoc, CMSubjec, cmDocAftDis, CMNeeCom, CMShoOnRep, cmConRec) "
                "VALUES (256, 0, '10:00:00', '2026-12-06', ?, ?, 'Message', '', ?, ?, ?, 0, 0, 0, "
                "0) "
                "RETURNING cmID"));
            h.addBindValue(login);
            h.addBindValue(sender.toInt());
            h.addBindValue(login);
            h.addBindValue(body);
            h.addBindValue(QStringLiteral("Office closes early"));
            h.exec();
            h.next();
            const qint64 cm = h.value(0).toLongLong();
            h.finish();
            *firstNewId = cm;
            d.prepare(QStringLiteral(
                "INSERT INTO EVTable (EvPID, EvLinID, EvTyp, EVAlaFla, EVAlaStaDatFla, "
                "EVAlaStaDat, "
                "EVAlaStaTim, EvPri, EvBroFla, EvBroStaDatFla, EvBroReaFla, EvBroReaEve, "
                "EvBroReaTyp, EvBroNumOfTim, EvBroEndDatFla) VALUES (?, ?, 0, 0, 0, '1899-12-30', "
                "'00:00:00', 'False', 0, 0, 0, 0, -1, 0, 0)"));
            d.addBindValue(sender.toInt());
            d.addBindValue(cm);
            d.exec();
            const QString insert = QStringLiteral(
                "INSERT INTO BroChkTable (BroChkLinID, BroChkPID, BroChkTyp, BroChkAssPID, "
                "BroChkSavToFla, BroChkToMac) VALUES ");
            const QString row = QStringLiteral("(?, ?, 0, 0, 0, '')");
            if (together) {
                // Every row in one statement.
                QStringList rows;
                for (qsizetype i = 0; i < office.size(); ++i)
                    rows << row;
                r.prepare(insert + rows.join(u','));
                int at = 0;
                for (qint32 pid : office) {
                    r.bindValue(at++, cm);
                    r.bindValue(at++, pid);
                }
                r.exec();
            } else {
                r.prepare(insert + row);
                for (qint32 pid : office) {
                    r.bindValue(0, cm);
                    r.bindValue(1, pid);
                    r.exec();
                }
            }
            t.commit();
            return qint64(office.size() + 2);
        };
    };
    bench::Case send{
        QStringLiteral("Whole-office send through the message core (%1 addressees, %2 signals)")
            .arg(office.size())
            .arg(office.size() + 2),
        QStringLiteral("bare inserts in one transaction"),
        [&b, message, office, firstNewId] {
            const core::SaveResult saved = core::saveMessage(*b.services, message);
            *firstNewId = saved.cmId;
            return saved.ok && saved.cmId != 0 ? qint64(office.size() + 2) : qint64(-1);
        },
        bareSend(false),
        deleteFrom,
        deleteFrom,
        QStringLiteral("the record writer, the commit and the station signals of the save")};
    send.target = 1.3;
    runner.add(send);
    // Against the same bare work with the rows together, as the save now sends them.
    bench::Case together = send;
    together.name = QStringLiteral("  the same send, against the rows sent together");
    together.baselineName = QStringLiteral("bare inserts, the addressees in one statement");
    together.baseline = bareSend(true);
    together.note.clear();
    runner.add(together);

    // Its parts alone, to show where the time goes: the rows through the record writer in one
    // transaction, and the station signals of one such save.
    runner.add(
        {QStringLiteral("  part: the %1 rows through the record writer (the addressees together), "
                        "one transaction")
             .arg(office.size() + 2),
         QString(),
         [&b, office, login, sender, body, firstNewId] {
             auto& gic = *b.services;
             db::Transaction t(*b.db);
             qint64 cm = 0;
             gic.writeRecord(
                 9, QStringLiteral("CMTable"), QStringLiteral("cmID"), cm,
                 {QStringLiteral("cmTyp"), QStringLiteral("cmTim"), QStringLiteral("cmDat"),
                  QStringLiteral("cmWho"), QStringLiteral("cmPid"), QStringLiteral("cmCat"),
                  QStringLiteral("cmDoc"), QStringLiteral("CMSubjec")},
                 {QStringLiteral("256"), QStringLiteral("10:00 AM"), QStringLiteral("12/06/2026"),
                  login, sender, QStringLiteral("Message"), body,
                  QStringLiteral("Office closes early")});
             *firstNewId = cm;
             qint64 ev = 0;
             gic.writeRecord(
                 9, QStringLiteral("EvTable"), QStringLiteral("EVID"), ev,
                 {QStringLiteral("Evpid"), QStringLiteral("EvLinID"), QStringLiteral("EvTyp")},
                 {sender, QString::number(cm), QStringLiteral("0")});
             QList<QStringList> rows;
             for (qint32 pid : office)
                 rows << QStringList{QString::number(cm), QString::number(pid), QStringLiteral("0"),
                                     QStringLiteral("0"), QStringLiteral("0"),  QString()};
             db::insertRecords(*b.db, QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"),
                               {QStringLiteral("BroChkLinID"), QStringLiteral("BroChkPid"),
                                QStringLiteral("BroChkTyp"), QStringLiteral("BroChkAssPID"),
                                QStringLiteral("BroChkSavToFla"), QStringLiteral("BroChkToMac")},
                               rows);
             t.commit();
             return qint64(office.size() + 2);
         },
         {},
         deleteFrom});
    runner.add({QStringLiteral("  part: the %1 station signals of one save").arg(office.size() + 2),
                QString(), [&b, office] {
                    QStringList tags{QStringLiteral("CMCM"), QStringLiteral("CMEV")};
                    for (int i = 0; i < office.size(); ++i)
                        tags << QStringLiteral("CMBC");
                    return qint64(core::WriteStationSignals(*b.services, tags));
                }});
}

void addPurgeCase(bench::Runner& runner, Bench& b)
{
    // 1,000 read messages of the typical inbox, as a selection in the grid would give them.
    auto ids = std::make_shared<QVector<qint64>>();
    {
        QSqlQuery q(tzsndmsg::db::Internals::handle(*b.db));
        q.prepare(
            QStringLiteral("SELECT DISTINCT BroChkLinID FROM BroChkTable INNER JOIN CMTable "
                           "ON CMTable.cmID = BroChkTable.BroChkLinID WHERE BroChkPID = ? "
                           "AND BroChkDonDis = -1 AND CMPurFla IS NULL ORDER BY BroChkLinID"));
        q.addBindValue(b.summary.typicalPid);
        q.exec();
        while (q.next() && ids->size() < 4000) // candidates: the grid's rows pick 1,000
            ids->append(q.value(0).toLongLong());
    }
    const auto restore = [&b, ids] {
        QStringList list;
        for (qint64 id : *ids)
            list << QString::number(id);
        b.db->exec(QStringLiteral("UPDATE CMTable SET CMPurFla = NULL WHERE cmID IN (") +
                   list.join(u',') + u')');
        if (b.db->backend() == db::Backend::Sqlite)
            b.db->exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    };
    // The window's own purge: the inbox open in the grid, the rows of those messages selected,
    // then Purge_Selected (the refresh that follows it in the window is not timed).
    const auto window = std::make_shared<std::unique_ptr<tzSndMsgFrm>>();
    const auto selected = std::make_shared<int>(0);
    const auto openAndSelect = [window, ids, selected] {
        if (*window)
            return;
        *window = std::make_unique<tzSndMsgFrm>();
        tzSndMsgFrm& w = **window;
        w.load();
        w.firstActivation();
        bench::press(w, QStringLiteral("TB_Small"), QStringLiteral("MsgHisMsg"));
        auto* model = qobject_cast<MessageListModel*>(bench::gridOf(w)->model());
        const QSet<qint64> wanted(ids->cbegin(), ids->cend());
        QSet<qint64> taken;
        QVector<qint64> chosen;
        QItemSelection rows;
        for (int r = 0; model && r < model->rowCount() && chosen.size() < 1000; ++r) {
            const qint64 id = model->cmIdAt(r);
            if (wanted.contains(id) && !taken.contains(id) && !model->isUnread(r)) {
                rows.select(model->index(r, 0), model->index(r, model->columnCount() - 1));
                taken.insert(id);
                chosen << id;
            }
        }
        *selected = int(chosen.size());
        *ids = chosen; // the bare updates and the restore touch the same messages
        bench::gridOf(w)->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
    };
    runner.add({QStringLiteral("Purge %1 selected rows from the window (one transaction)")
                    .arg(std::min<qsizetype>(1000, ids->size())),
                QStringLiteral("bare updates in one transaction"),
                [window, selected] {
                    (*window)->Purge_Selected();
                    return qint64(*selected);
                },
                [&b, ids] {
                    db::Transaction t(*b.db);
                    QSqlQuery q(tzsndmsg::db::Internals::handle(*b.db));
                    q.prepare(QStringLiteral("UPDATE CMTable SET CMPurFla = ? WHERE cmID = ?"));
                    for (qint64 id : *ids) {
                        q.bindValue(0, 256);
                        q.bindValue(1, id);
                        q.exec();
                    }
                    t.commit();
                    return qint64(ids->size());
                },
                restore, restore,
                QStringLiteral(
                    "the window's grid selection of the same messages; Purge_Selected is timed"),
                openAndSelect});
}

void addPickerAndEventCases(bench::Runner& runner, Bench& b)
{
    runner.add(
        {QStringLiteral("Picker FillStaffList (%1 employees, %2 departments)")
             .arg(b.summary.employees)
             .arg(b.summary.departments),
         QStringLiteral("two bare queries"),
         [] {
             QListWidget list;
             FillStaffList(&list, SharedState::current().LoginEmployeeIDs);
             return qint64(list.count());
         },
         [&b] {
             QStringList ids;
             for (qint32 id : SharedState::current().LoginEmployeeIDs)
                 if (id)
                     ids << QString::number(id);
             const QString in = ids.join(u',');
             qint64 n = bareRows(
                 *b.db,
                 QStringLiteral(
                     "SELECT EBTable.EBPid, EBTable.EBDep FROM EBTable WHERE EBTable.EBID IN "
                     "(SELECT Max(EBTable.EBID) FROM EBTable INNER JOIN ESTable ON "
                     "EBTable.EBID = ESTable.EBID WHERE (ESTable.ESSta IS NULL OR "
                     "ESTable.ESSta <> 'Terminated') AND EBTable.EBPid IN (") +
                     in + QStringLiteral(") GROUP BY EBTable.EBPid) ORDER BY EBTable.EBID DESC"),
                 {});
             n += bareRows(*b.db,
                           QStringLiteral("SELECT * FROM PATable WHERE pID IN (") + in +
                               QStringLiteral(") ORDER BY pID"),
                           {});
             return n;
         }});

    runner.add({QStringLiteral("Events list + \"To/ CC\" of the first screen"),
                QStringLiteral("bare list + one attendee query"),
                [&b] {
                    auto& gic = *b.services;
                    db::Recordset rs =
                        b.db->query(gic.adaptSqlFor(*b.db, events::eventListStatement({}, {})));
                    // The event grid's cells of the first screen, as the window reads them.
                    QList<qint64> screen;
                    for (rs.moveFirst(); !rs.eof() && screen.size() < kFirstScreen; rs.moveNext())
                        screen << rs.value(QStringLiteral("cmID")).toLongLong();
                    events::attendeeCellTexts(gic, *b.db, screen);
                    return qint64(rs.recordCount());
                },
                [&b] {
                    // The list's own statement, read bare (the database's plan is the same for
                    // both).
                    QSqlQuery q(tzsndmsg::db::Internals::handle(*b.db));
                    q.setForwardOnly(true);
                    q.exec(b.services->adaptSqlFor(*b.db, events::eventListStatement({}, {})));
                    qint64 n = 0;
                    QStringList ids;
                    std::vector<QVariantList> rows;
                    const int columns = q.record().count(); // once: a record per call is costly
                    while (q.next()) {
                        QVariantList row;
                        row.reserve(columns);
                        for (int c = 0; c < columns; ++c)
                            row << q.value(c);
                        if (n++ < kFirstScreen)
                            ids << QString::number(q.value(0).toLongLong());
                        rows.push_back(std::move(row));
                    }
                    if (!ids.isEmpty())
                        bareRows(
                            *b.db,
                            QStringLiteral("SELECT BroChkLinID, BroChkTyp, PLasNam, PFirNam FROM "
                                           "BroChkTable LEFT JOIN PATable ON PATable.pID = "
                                           "BroChkTable.BroChkPID WHERE BroChkLinID IN (") +
                                ids.join(u',') + QStringLiteral(") ORDER BY BroChkLinID, BroChkID"),
                            {});
                    return n;
                }});
}

// Signed in against not signed in: the same work through a workstation connected as the
// typical person's own role (row-level security applies) and through the office's plain
// connection, which it does not.
void addSignedInCases(bench::Runner& runner, Bench& b, std::shared_ptr<tzglob::tzGlobal> signedIn)
{
    runner.add({QStringLiteral("Inbox open (list, sort, bind, first screen of cells)"),
                QStringLiteral("not signed in"), [&b, signedIn] { return inboxOpen(b, *signedIn); },
                [&b] { return inboxOpen(b, *b.services); }});

    const QVector<qint32> office = wholeOffice();
    const core::OutgoingMessage message = wholeOfficeMessage(b, office);
    const auto firstNewId = std::make_shared<qint64>(0);
    const auto deleteFrom = [&b, firstNewId] {
        for (const char* sql :
             {"DELETE FROM BroChkTable WHERE BroChkLinID >= ?",
              "DELETE FROM EVTable WHERE EvLinID >= ?", "DELETE FROM CMTable WHERE cmID >= ?"})
            b.db->exec(QString::fromLatin1(sql), {*firstNewId});
    };
    const auto send = [message, office, firstNewId](tzglob::tzGlobal& at) {
        const core::SaveResult saved = core::saveMessage(at, message);
        *firstNewId = saved.cmId;
        return saved.ok && saved.cmId != 0 ? qint64(office.size() + 2) : qint64(-1);
    };
    runner.add({QStringLiteral("Whole-office send through the message core (%1 addressees)")
                    .arg(office.size()),
                QStringLiteral("not signed in"), [send, signedIn] { return send(*signedIn); },
                [send, &b] { return send(*b.services); }, deleteFrom, deleteFrom});

    // What a watcher reads after a save: the person's unread count and their rows above the
    // last one it saw (here the newest two of the person's rows are new).
    const qint64 floor =
        b.db->scalar(QStringLiteral("SELECT min(BroChkID) FROM (SELECT BroChkID FROM "
                                    "BroChkTable WHERE BroChkPID = ? ORDER BY "
                                    "BroChkID DESC LIMIT 3) x"),
                     {b.summary.typicalPid})
            .toLongLong();
    // As the watcher reads it: through the office's function where the policies bind the role
    // (asked once a connection, as the watcher asks).
    const auto arrival = [&b, floor](tzglob::tzGlobal& at, bool kept) {
        core::MessageListParams p = b.params(true, false);
        p.startedBy = QDateTime(QDate(2026, 12, 6), QTime(10, 0));
        auto db = at.messageStoreConnection();
        if (kept) {
            const core::InboxChangesCall call = core::buildKeptInboxChangesCall(p, floor);
            return bareRows(*db, at.adaptSqlFor(*db, call.text), call.values);
        }
        const QString sql = core::buildInboxChangesStatement(
            p, [&at](const QString& t) { return at.quote(t); }, floor);
        return bareRows(*db, at.adaptSqlFor(*db, sql), {});
    };
    const bool signedInKept = core::inboxChangesKeptToCaller(*signedIn->messageStoreConnection());
    const bool plainKept = core::inboxChangesKeptToCaller(*b.services->messageStoreConnection());
    runner.add({QStringLiteral("The live office's arrival statement (unread count + new rows)"),
                QStringLiteral("not signed in"),
                [arrival, signedIn, signedInKept] { return arrival(*signedIn, signedInKept); },
                [arrival, &b, plainKept] { return arrival(*b.services, plainKept); }});

    // The search as the command line and the window's search run it: the hits of a word.
    struct Typed {
        const char* text;
        bool everywhere;
    };
    for (const Typed t : {Typed{"pres", false}, Typed{"garcia", false}, Typed{"pres", true}}) {
        const auto search = [&b, t](tzglob::tzGlobal& at) {
            MessageSearchScope scope;
            scope.everywhere = t.everywhere;
            MessageSearchResult found;
            QString why;
            if (!searchMessages(at, b.summary.typicalLogin, QString::fromLatin1(t.text), scope,
                                found, &why)) {
                std::fprintf(stderr, "search failed: %s\n", qPrintable(why));
                return qint64(-1);
            }
            return qint64(found.hits.size());
        };
        runner.add({QStringLiteral("Search \"%1\" (%2)")
                        .arg(QLatin1String(t.text),
                             t.everywhere ? QStringLiteral("every view") : QStringLiteral("inbox")),
                    QStringLiteral("not signed in"),
                    [search, signedIn] { return search(*signedIn); },
                    [search, &b] { return search(*b.services); }});
    }
}

QString machineText()
{
    QString cpu;
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("model name")) {
                cpu = QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
    return QSysInfo::prettyProductName() + QStringLiteral(", ") + cpu +
           QStringLiteral(", %1 cores").arg(QThread::idealThreadCount());
}

int runSignedIn(Bench& b, tzglob::Config config, int reps, const QStringList& only,
                const QString& jsonFile)
{
    QTextStream out(stdout), err(stderr);
    QString error;
    if (!secureOffice(*b.db, &error)) {
        err << "cannot sign the office in: " << error << "\n";
        return 1;
    }
    // Opened again whatever happens below: the cached store stays an open office.
    struct Reopen {
        Bench& b;
        ~Reopen()
        {
            QString why;
            if (!unsecureOffice(*b.db, &why))
                std::fprintf(stderr, "cannot open the office again: %s\n", qPrintable(why));
        }
    } reopen{b};
    QUrl url(config.databaseUrl);
    QString role;
    if (!roleOfLogin(*b.db, b.summary.typicalLogin, role, &error)) {
        err << "cannot find the role of " << b.summary.typicalLogin << ": " << error << "\n";
        return 1;
    }
    url.setUserName(role);
    url.setPassword(QString());
    config.databaseUrl = url.toString();
    auto signedIn = std::make_shared<tzglob::tzGlobal>(config);
    if (!signedIn->open(&error)) {
        err << "cannot sign in as " << url.userName() << ": " << error << "\n";
        return 1;
    }
    signedIn->setFixedNow(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    bench::Runner runner(reps);
    addSignedInCases(runner, b, signedIn);
    err << "Running signed in as " << url.userName()
        << " against not signed in: " << b.summary.messages << " messages\n";
    err.flush();
    runner.run(only);
    constexpr double kTarget = 1.2;
    out << "\nPostgreSQL, " << b.summary.messages << " messages, " << b.summary.recipientRows
        << " recipient rows, " << b.summary.employees << " employees; signed in as "
        << url.userName() << " (row-level security) against not signed in; target within "
        << kTarget << "x; " << QDateTime::currentDateTime().toString(Qt::ISODate) << "; "
        << machineText() << "\n\n"
        << "| Operation | rows | signed in ms | not signed in ms | ratio | target |\n"
        << "|---|---:|---:|---:|---:|---|\n";
    for (const bench::Result& r : runner.results())
        out << "| " << r.name << " | " << r.opRows << " | " << QString::number(r.opMedian, 'f', 1)
            << " | " << QString::number(r.baselineMedian, 'f', 1) << " | "
            << QString::number(r.ratio(), 'f', 2) << "x | "
            << (r.ratio() <= kTarget ? QStringLiteral("within 1.2x") : QStringLiteral("over 1.2x"))
            << " |\n";
    if (!jsonFile.isEmpty()) {
        QJsonObject o = runner.json();
        o.insert(QStringLiteral("database"), QStringLiteral("postgresql"));
        o.insert(QStringLiteral("signed_in_against_not"), true);
        o.insert(QStringLiteral("target_ratio"), kTarget);
        o.insert(QStringLiteral("date"), QDateTime::currentDateTime().toString(Qt::ISODate));
        o.insert(QStringLiteral("machine"), machineText());
        QFile f(jsonFile);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err << "cannot write " << f.fileName() << "\n";
            return 1;
        }
        f.write(QJsonDocument(o).toJson());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Times the product's work against the bare "
                                               "database work on a generated office."));
    p.addHelpOption();
    p.addOption({QStringLiteral("db"), QStringLiteral("Database URL of a generated office."),
                 QStringLiteral("url")});
    p.addOption(
        {QStringLiteral("data"), QStringLiteral("Its data folder."), QStringLiteral("dir")});
    p.addOption({QStringLiteral("repetitions"), QStringLiteral("Timed runs per case (default 5)."),
                 QStringLiteral("N"), QStringLiteral("5")});
    p.addOption({QStringLiteral("json"), QStringLiteral("Write the results here."),
                 QStringLiteral("file")});
    p.addOption({QStringLiteral("only"), QStringLiteral("Comma-separated parts of case names."),
                 QStringLiteral("names")});
    p.addOption({QStringLiteral("as-written"),
                 QStringLiteral("Run the views' statements as written rather than in the form "
                                "the window runs (to compare).")});
    p.addOption({QStringLiteral("memory-probe"),
                 QStringLiteral("Open the inbox once in this fresh process and print its rows and "
                                "peak memory growth in KiB (the run starts it in a child).")});
    p.addOption(
        {QStringLiteral("signed-in"),
         QStringLiteral("PostgreSQL: sign the office in, time the inbox open, a whole-office "
                        "send and the arrival statement as the typical person's own role "
                        "against the plain connection, and open the office again.")});
    p.addOption({QStringLiteral("print-statements"),
                 QStringLiteral("Print the views' statements as adapted, and exit.")});
    p.process(app);
    QTextStream out(stdout), err(stderr);
    if (!p.isSet(QStringLiteral("db")) || !p.isSet(QStringLiteral("data"))) {
        err << "usage: tzsndmsg_bench --db URL --data DIR [--repetitions N] [--json FILE] [--only "
               "NAMES]\n";
        return 2;
    }
    const int reps = std::max(1, p.value(QStringLiteral("repetitions")).toInt());

    Bench b;
    QString error;
    b.db = db::Database::open(p.value(QStringLiteral("db")), &error);
    if (!b.db) {
        err << error << "\n";
        return 2;
    }
    if (!bench::readStoreSummary(*b.db, &b.summary)) {
        err << "the database holds no generated office (run tzsndmsg_storegen first)\n";
        return 2;
    }
    QString data = p.value(QStringLiteral("data"));
    if (!data.endsWith(u'/'))
        data += u'/';
    tzglob::Config config;
    config.databaseUrl = p.value(QStringLiteral("db"));
    config.dataFolder = data;
    config.helpFolder = data + QStringLiteral("help/");
    config.loginName = b.summary.typicalLogin;
    config.computerName = b.summary.typicalComputer;
    b.services = std::make_shared<tzglob::tzGlobal>(config);
    if (!b.services->open(&error)) {
        err << error << "\n";
        return 2;
    }
    b.services->setFixedNow(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    // The benchmarks and the services share one connection, as the window does.
    b.db = b.services->messageStoreConnection();
    SharedState& st = SharedState::current();
    st.GIC = b.services;
    LoadLoginNames();
    st.CurrentEmployeeID = b.summary.typicalPid;
    b.asWritten = p.isSet(QStringLiteral("as-written"));
    // The store's indexes as the product's schema makes them (a store generated before the
    // schema changed is brought up to it).
    if (!bench::applyIndexes(*b.db, bench::proposedIndexStatements(), &error)) {
        err << "cannot set the indexes: " << error << "\n";
        return 1;
    }
    // A store generated before the search index gets it as init gives it to any store.
    {
        QElapsedTimer upgrade;
        upgrade.start();
        if (!store::createSchema(*b.db, &error)) {
            err << "cannot bring the schema up to date: " << error << "\n";
            return 1;
        }
        if (upgrade.elapsed() > 1000)
            err << "Schema brought up to date (the search index built) in " << upgrade.elapsed()
                << " ms\n";
    }

    if (p.isSet(QStringLiteral("print-statements"))) {
        out << "-- inbox\n"
            << b.viewStatement(true, false) << ";\n-- sent items\n"
            << b.viewStatement(false, false) << ";\n-- bare inbox\n"
            << bench::bareInboxStatement(true, false, b.sqlite()) << ";\n";
        return 0;
    }

    if (p.isSet(QStringLiteral("memory-probe"))) {
        // A fresh process: its resident peak is reset to what it holds now, so the growth is
        // the inbox open's own (list, sort, model, first screen of cells).
        const qint64 restingKiB = bench::resetPeakMemory();
        qint64 rows = 0;
        {
            core::MessageRows list(b.viewList(true, false));
            MessageListModel model;
            model.setList(&list, true);
            rows = model.rowCount();
            QList<qint32> screen;
            for (int r = std::max(0, int(rows) - kFirstScreen); r < rows; ++r)
                screen << model.cmIdAt(r);
            const QHash<qint32, QString> cells = b.toCcOfScreen(screen);
            model.setToCcProvider([&cells](qint32 id) { return cells.value(id); });
            const int toCc = MessageListModel::columnOf(MessageListModel::Kind::ToCc);
            const int comments = MessageListModel::columnOf(MessageListModel::Kind::Comments);
            for (int r = std::max(0, int(rows) - kFirstScreen); r < rows; ++r) {
                model.data(model.index(r, toCc));
                model.data(model.index(r, comments));
            }
            out << "memory " << rows << ' ' << (bench::peakMemoryKiB() - restingKiB) << ' '
                << (bench::currentMemoryKiB() - restingKiB) << "\n";
        }
        return 0;
    }

    if (p.isSet(QStringLiteral("signed-in"))) {
        if (b.sqlite()) {
            err << "a SQLite office cannot be signed in\n";
            return 2;
        }
        return runSignedIn(b, config, reps,
                           p.value(QStringLiteral("only")).split(u',', Qt::SkipEmptyParts),
                           p.value(QStringLiteral("json")));
    }

    bench::Runner runner(reps);
    addListCases(runner, b);
    addSendCase(runner, b);
    addPurgeCase(runner, b);
    addPickerAndEventCases(runner, b);
    bench::addWindowCases(runner, b.summary);
    bench::addSearchCases(runner, b.services, b.summary);
    bench::addConfirmationCases(runner);
    bench::addWholeListCases(runner, b.services, b.summary, p.value(QStringLiteral("db")), data);
    const QStringList only = p.value(QStringLiteral("only")).split(u',', Qt::SkipEmptyParts);

    const bool pg = b.db->backend() == db::Backend::Postgres;
    err << "Running on " << (pg ? "PostgreSQL" : "SQLite")
        << (b.asWritten ? " (statements as written)" : "") << ": " << b.summary.messages
        << " messages, " << b.summary.recipientRows << " recipient rows, typical employee "
        << b.summary.typicalLogin << "\n";
    err.flush();
    runner.run(only);

    // Memory of one inbox open, in a fresh child process, next to the raw size of its rows.
    qint64 rawBytes = 0;
    bareRows(*b.db, bench::bareInboxStatement(true, false, b.sqlite()), b.who(), &rawBytes);
    qint64 rows = -1, peak = -1, held = -1;
    {
        QProcess child;
        QStringList args{QStringLiteral("--db"), p.value(QStringLiteral("db")),
                         QStringLiteral("--data"), p.value(QStringLiteral("data")),
                         QStringLiteral("--memory-probe")};
        if (b.asWritten)
            args << QStringLiteral("--as-written");
        child.start(QCoreApplication::applicationFilePath(), args);
        if (child.waitForFinished(600000)) {
            const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
            if (words.size() == 4 && words.at(0) == "memory") {
                rows = words.at(1).toLongLong();
                peak = words.at(2).toLongLong();
                held = words.at(3).toLongLong();
            }
        }
        if (peak < 0)
            err << "the memory probe failed: " << child.readAllStandardError() << "\n";
    }

    out << "\n"
        << (pg ? "PostgreSQL" : "SQLite") << (b.asWritten ? " with the statements as written" : "")
        << ", " << b.summary.messages << " messages, " << b.summary.recipientRows
        << " recipient rows, " << b.summary.employees << " employees; "
        << QDateTime::currentDateTime().toString(Qt::ISODate) << "; " << machineText() << "\n\n"
        << runner.table() << "\n"
        << runner.targets() << "\nInbox open of " << rows << " rows (fresh process): peak memory +"
        << peak << " KiB, still held with the list open +" << held
        << " KiB; raw size of its values " << rawBytes / 1024 << " KiB\n";
    const bench::IndexSize indexSize = bench::measureIndexSize(*b.db);
    out << "Store size: " << indexSize.text() << "\n";

    if (p.isSet(QStringLiteral("json"))) {
        QJsonObject o = runner.json();
        o.insert(QStringLiteral("database"),
                 pg ? QStringLiteral("postgresql") : QStringLiteral("sqlite"));
        o.insert(QStringLiteral("date"), QDateTime::currentDateTime().toString(Qt::ISODate));
        o.insert(QStringLiteral("machine"), machineText());
        o.insert(QStringLiteral("scale"), b.summary.scaleText);
        o.insert(QStringLiteral("statements_as_written"), b.asWritten);
        o.insert(QStringLiteral("store"),
                 QJsonObject{{QStringLiteral("messages"), b.summary.messages},
                             {QStringLiteral("recipient_rows"), b.summary.recipientRows},
                             {QStringLiteral("events"), b.summary.events},
                             {QStringLiteral("employees"), b.summary.employees},
                             {QStringLiteral("departments"), b.summary.departments},
                             {QStringLiteral("typical_login"), b.summary.typicalLogin}});
        o.insert(QStringLiteral("search_index_size"), indexSize.json());
        o.insert(QStringLiteral("inbox_memory"),
                 QJsonObject{{QStringLiteral("rows"), rows},
                             {QStringLiteral("peak_kib"), peak},
                             {QStringLiteral("held_kib"), held},
                             {QStringLiteral("raw_kib"), rawBytes / 1024}});
        QFile f(p.value(QStringLiteral("json")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err << "cannot write " << f.fileName() << "\n";
            return 1;
        }
        f.write(QJsonDocument(o).toJson());
    }
    return 0;
}
