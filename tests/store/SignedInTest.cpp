// A signed-in office: each login's database role reads and writes only what the views give its
// person, through the program and through plain SQL alike.
#include "tzsndmsg/SignedIn.h"

#include "core/MessageListQuery.h"
#include "core/MessageWrite.h"
#include "store/Schema.h"
#include "support/Office.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/MessageSearch.h"
#include "tzsndmsg/Messages.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/db/Recordset.h"

#include <QElapsedTimer>
#include <QSet>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <thread>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

QList<MessageSearchHit> hits(HostServices& services, const QString& login, const QString& typed)
{
    MessageSearchResult result;
    QString error;
    EXPECT_TRUE(searchMessages(services, login, typed, {true}, result, &error))
        << error.toStdString();
    return result.hits;
}

class SignedIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!office.usingPostgres())
            GTEST_SKIP() << "roles and row-level security are PostgreSQL's; a SQLite office trusts "
                            "its workstations";
        anna = office.addEmployee("Ames", "Anna", "AA", "ANNA");
        ben = office.addEmployee("Burke", "Ben", "BB", "BEN");
        maria = office.addEmployee("Moss", "Maria", "MM", "MARIA");
        office.insert("PWATable", "PWAID", {"PWAUseNam", "PWARigNam", "PWAWriFla"},
                      {"MARIA", QString::fromLatin1(kSupervisorRight), -1});
        // Written before the office is signed in: they stay readable by whom they were for.
        m1 = message("ANNA", anna, "alpha from anna", ben);
        m2 = message("BEN", ben, "bravo from ben", anna);
        m3 = message("BEN", ben, "charlie to a computer", 0, "WS2");
        m4 = message("MARIA", maria, "delta for ben only", ben);
        office.insert("LabOrderLinkTable", "LOID", {"LOMsgID", "LOOrdID", "LOSender"},
                      {m4, 7, "MARIA"});
        QString error;
        ASSERT_TRUE(secureOffice(*office.db(), &error)) << error.toStdString();
        secured = true;
    }

    void TearDown() override
    {
        if (secured) {
            QString error;
            EXPECT_TRUE(unsecureOffice(*office.db(), &error)) << error.toStdString();
        }
    }

    qint32 message(const char* who, qint32 pid, const char* subject, qint32 to,
                   const char* computer = "")
    {
        const qint64 id = office.insert(
            "CMTable", "cmID", {"cmWho", "cmPid", "CMSubjec", "cmDoc", "cmCat", "cmDat", "cmTim"},
            {who, pid, subject, QString::fromLatin1(subject) + " body", "Message", "2026-12-05",
             "08:00:00"});
        office.insert("EVTable", "EVID", {"EvLinID", "EvTyp"}, {id, 0});
        office.insert("BroChkTable", "BroChkID",
                      {"BroChkLinID", "BroChkPID", "BroChkTyp", "BroChkToMac", "BroChkDonDis"},
                      {id, to, 0, computer, 0});
        return qint32(id);
    }

    QString roleOf(const QString& login) const
    {
        QString role, error;
        EXPECT_TRUE(roleOfLogin(*office.db(), login, role, &error)) << error.toStdString();
        return role;
    }

    QString roleUrl(const QString& login) const
    {
        QUrl url(office.databaseUrl());
        url.setUserName(roleOf(login));
        return url.toString();
    }

    std::shared_ptr<db::Database> connect(const QString& login)
    {
        QString error;
        auto db = db::Database::open(roleUrl(login), &error);
        EXPECT_TRUE(db) << error.toStdString();
        return db;
    }

    std::shared_ptr<tzglob::tzGlobal> workstation(const QString& login, const QString& configured)
    {
        tzglob::Config config;
        config.databaseUrl = roleUrl(login);
        config.dataFolder = office.dataFolder();
        config.loginName = configured;
        config.computerName = "WS1";
        auto services = std::make_shared<tzglob::tzGlobal>(config);
        QString error;
        EXPECT_TRUE(services->open(&error)) << error.toStdString();
        services->setFixedNow(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        return services;
    }

    static QSet<qint32> inbox(HostServices& services, const QString& login = {})
    {
        MessageViewRequest request;
        request.loginName = login;
        request.allCategories = true;
        QList<MessageViewRow> rows;
        QString error;
        EXPECT_TRUE(readMessageView(services, request, rows, &error)) << error.toStdString();
        QSet<qint32> ids;
        for (const MessageViewRow& row : rows)
            ids << row.messageId;
        return ids;
    }

    Office office;
    bool secured = false;
    qint32 anna = 0, ben = 0, maria = 0;
    qint32 m1 = 0, m2 = 0, m3 = 0, m4 = 0;
};

TEST_F(SignedIn, EachRoleCountsOnlyItsRowsWithPlainSql)
{
    struct Case {
        const char* login;
        int messages, details, addressees, links;
    };
    // ANNA: what she sent (m1 and its addressee row), what reached her (m2), the computer's (m3).
    // BEN: all four reach him or were sent by him. MARIA, the supervisor: every row.
    const Case cases[] = {{"ANNA", 3, 3, 3, 0}, {"BEN", 4, 4, 4, 1}, {"MARIA", 4, 4, 4, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.login);
        auto db = connect(c.login);
        ASSERT_TRUE(db);
        EXPECT_EQ(db->scalar("SELECT count(*) FROM CMTable").toInt(), c.messages);
        EXPECT_EQ(db->scalar("SELECT count(*) FROM EVTable").toInt(), c.details);
        EXPECT_EQ(db->scalar("SELECT count(*) FROM BroChkTable").toInt(), c.addressees);
        EXPECT_EQ(db->scalar("SELECT count(*) FROM LabOrderLinkTable").toInt(), c.links);
        // The search's look-up in the index keeps to the same messages ("body" is in each).
        EXPECT_EQ(db->scalar("SELECT count(*) FROM tz_cm_hits('body')").toInt(), c.messages);
        // Everyone reads the staff and the holidays.
        EXPECT_EQ(db->scalar("SELECT count(*) FROM PWMTable").toInt(), 3);
        EXPECT_TRUE(db->scalar("SELECT count(*) FROM HDOCTable").isValid());
    }
    auto anna = connect("ANNA");
    EXPECT_EQ(anna->scalar("SELECT count(*) FROM CMTable WHERE cmDoc LIKE '%delta%'").toInt(), 0);
    EXPECT_EQ(anna->scalar("SELECT count(*) FROM tz_cm_hits('delta')").toInt(), 0);
    // The policies' helpers answer for the role signed in only, not for one it names.
    const QString ben = roleOf("BEN");
    EXPECT_EQ(anna->scalar("SELECT count(*) FROM tz_sent_ids(?)", {ben}).toInt(), 0);
    // (the computer's message is everyone's)
    EXPECT_EQ(anna->scalar("SELECT count(*) FROM tz_reaching_ids(?)", {ben}).toInt(), 1);
    EXPECT_FALSE(anna->scalar("SELECT tz_addressed_to(?, ?)", {ben, m4}).toBool());
}

// What a watcher reads, as "unread count: cmID..." (each addressee row's message, in row order).
QString changes(db::Database& db, const QString& sql, const QVariantList& values = {})
{
    QString error;
    db::Recordset rs = db.query(sql, values, &error);
    EXPECT_TRUE(rs.isOpen()) << error.toStdString();
    QString out;
    QMap<qint32, qint32> rows;
    for (rs.moveFirst(); rs.isOpen() && !rs.eof(); rs.moveNext()) {
        out = rs.value("unreadCount").toString() + ":";
        if (!rs.isNull("BroChkID"))
            rows.insert(rs.value("BroChkID").toInt(), rs.value("cmID").toInt());
    }
    for (qint32 id : std::as_const(rows))
        out += u' ' + QString::number(id);
    return out;
}

TEST_F(SignedIn, TheWatchersReadThroughTheOwnersFunctionKeepsToTheRolesInbox)
{
    // Delivered from tomorrow: among the rows, not yet counted.
    const qint32 later = message("BEN", ben, "echo for anna tomorrow", anna);
    office.exec("UPDATE EVTable SET EvBroFla = -1, EvBroStaDatFla = -1, EvBroStaDat = "
                "'2026-12-07', EvBroStaTim = '08:00:00' WHERE EvLinID = ?",
                {later});
    const qint64 floor = office
                             .scalar("SELECT max(BroChkID) FROM BroChkTable WHERE "
                                     "BroChkLinID = ?",
                                     {m2})
                             .toLongLong();
    const auto num = [](qint32 id) { return QString::number(id); };
    struct Case {
        const char* login;
        qint32 person;
        qint64 after;
        QList<qint32> ids;
        QString expected;
    };
    // ANNA: m2 and the later one reach her, m3 is her computer's; BEN: m1, m4 and m3; MARIA,
    // the supervisor: her inbox is the computer's message alone, though she reads every row.
    const Case cases[] = {
        {"ANNA", anna, -1, {}, "2: " + num(m2) + " " + num(m3) + " " + num(later)},
        {"ANNA", anna, floor, {m2}, "2: " + num(m2) + " " + num(m3) + " " + num(later)},
        {"ANNA", anna, floor, {}, "2: " + num(m3) + " " + num(later)},
        {"BEN", ben, -1, {}, "3: " + num(m1) + " " + num(m3) + " " + num(m4)},
        {"MARIA", maria, -1, {}, "1: " + num(m3)},
        // Naming another person gives nothing of theirs: the computer's rows alone.
        {"ANNA", ben, -1, {}, "1: " + num(m3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.login) + " as " + std::to_string(c.person));
        auto services = workstation(c.login, {});
        auto db = services->messageStoreConnection();
        ASSERT_TRUE(core::inboxChangesKeptToCaller(*db));
        core::MessageListParams p;
        p.currentEmployeeId = c.person;
        p.computerName = "ws2";
        p.startedBy = QDateTime(QDate(2026, 12, 6), QTime(10, 0));
        const core::InboxChangesCall call = core::buildKeptInboxChangesCall(p, c.after, c.ids);
        const QString kept = changes(*db, services->adaptSqlFor(*db, call.text), call.values);
        EXPECT_EQ(kept, c.expected);
        // The same as the statement read through the policies, where that is the role's own.
        if (c.person == services->employeeOfLogin(c.login)) {
            EXPECT_EQ(changes(*db, services->adaptSqlFor(
                                       *db, core::buildInboxChangesStatement(
                                                p, [&](const QString& t) { return db->quote(t); },
                                                c.after, c.ids))),
                      kept);
        }
    }
    // The owner's plain connection is not kept to anyone's rows: it reads the statement.
    EXPECT_FALSE(core::inboxChangesKeptToCaller(*office.db()));
}

TEST_F(SignedIn, TheProgramsLoginIsTheRoleAndItsViewsStayWithinIt)
{
    // The configuration names MARIA; the server says ANNA.
    auto services = workstation("ANNA", "MARIA");
    EXPECT_TRUE(services->signedInOffice());
    EXPECT_EQ(services->currentLoginName(), "ANNA");
    EXPECT_FALSE(services->unprotectedRole());
    EXPECT_EQ(inbox(*services), QSet<qint32>({m2}));
    // Asking for BEN's inbox through ANNA's role shows only what ANNA may read of it.
    EXPECT_EQ(inbox(*services, "BEN"), QSet<qint32>({m1}));
    EXPECT_TRUE(hits(*services, "BEN", "delta").isEmpty());
    EXPECT_EQ(hits(*services, "ANNA", "bravo").size(), 1);
    QString why;
    MessageConfirmations sent;
    EXPECT_FALSE(readSentMessageConfirmations(*services, m4, "MARIA", sent, &why));
    EXPECT_TRUE(readSentMessageConfirmations(*services, m1, {}, sent, &why)) << why.toStdString();

    auto benAt = workstation("BEN", "");
    EXPECT_EQ(benAt->currentLoginName(), "BEN");
    EXPECT_EQ(inbox(*benAt), QSet<qint32>({m1, m4}));
    EXPECT_EQ(hits(*benAt, "BEN", "delta").size(), 1);
}

TEST_F(SignedIn, WritesBeyondThePersonsOwnAreRefused)
{
    auto db = connect("ANNA");
    ASSERT_TRUE(db);
    const QString insert = "INSERT INTO CMTable (cmWho, cmPid, CMSubjec) VALUES (?, ?, 'x')",
                  confirm = "UPDATE BroChkTable SET BroChkDonDis = -1 WHERE BroChkLinID = ?",
                  purge = "UPDATE CMTable SET CMPurFla = 256 WHERE cmID = ?",
                  mine = "currval(pg_get_serial_sequence('cmtable', 'cmid'))";
    const struct {
        QString statement;
        QVariantList params;
        int rows; // what ANNA's statement changes; -1: refused
    } writes[] = {
        // As another person, or as oneself under another's person id: refused outright.
        {insert, {"BEN", ben}, -1},
        {insert, {"ANNA", ben}, -1},
        {insert, {"ANNA", anna}, 1},
        {"INSERT INTO BroChkTable (BroChkLinID, BroChkPID) VALUES (?, ?)", {m2, anna}, -1},
        // Her new message's rows pass, checked once for the statement; with a row of BEN's, none.
        {"INSERT INTO BroChkTable (BroChkLinID, BroChkPID) VALUES (" + mine + ", ?), (" + mine +
             ", ?)",
         {ben, maria},
         2},
        {"INSERT INTO BroChkTable (BroChkLinID, BroChkPID) VALUES (" + mine + ", ?), (?, ?)",
         {ben, m2, anna},
         -1},
        {"UPDATE CMTable SET CMSubjec = 'changed' WHERE cmID = ?", {m2}, -1},
        {"INSERT INTO HDOCTable (hdocDes) VALUES ('a day off')", {}, -1},
        {"INSERT INTO PWMTable (PWMUseNam, PWMPID) VALUES ('EVE', ?)", {anna}, -1},
        // Rows that are not hers are not there for her: nothing changes.
        {confirm, {m1}, 0}, // BEN's row
        {confirm, {m4}, 0},
        {purge, {m4}, 0},
        {"DELETE FROM CMTable WHERE cmID = ?", {m2}, 0}, // BEN's
        {"DELETE FROM BroChkTable WHERE BroChkLinID = ?", {m2}, 0},
        {confirm, {m2}, 1},                                                      // hers
        {"UPDATE BroChkTable SET BroChkSno = 1 WHERE BroChkLinID = ?", {m3}, 1}, // the computer's
        {purge, {m2}, 1},
        // Confirming a payroll-related message marks it on its header; clearing or any other
        // change stays the sender's.
        {"UPDATE CMTable SET cmDocAftDis = -1, CMShoOnRep = -1 WHERE cmID = ?", {m2}, 1},
        {"UPDATE CMTable SET CMShoOnRep = 0 WHERE cmID = ?", {m2}, -1},
        {"UPDATE CMTable SET cmDocAftDis = -1, CMSubjec = 'x' WHERE cmID = ?", {m2}, -1},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.statement.toStdString());
        int rows = -1;
        const bool ok = db->exec(w.statement, w.params, nullptr, &rows);
        EXPECT_EQ(ok ? rows : -1, w.rows);
    }
    EXPECT_EQ(office.count("BroChkTable", "BroChkLinID = ? AND BroChkDonDis = -1", {m1}), 0);
    EXPECT_EQ(office.count("CMTable", "cmID = ?", {m2}), 1);

    // The supervisor confirms and changes anyone's.
    auto supervisor = connect("MARIA");
    int rows = 0;
    EXPECT_TRUE(supervisor->exec(confirm, {m1}, nullptr, &rows));
    EXPECT_EQ(rows, 1);
    EXPECT_TRUE(supervisor->exec("INSERT INTO HDOCTable (hdocDes) VALUES ('a day off')"));
}

// Deleting a message someone else wrote is refused by the server without an error: the delete
// says so, and the message stays whole.
TEST_F(SignedIn, ADeleteTheServerRefusesIsReported)
{
    auto anna = workstation("ANNA", "");
    const int rows = office.count("BroChkTable", "BroChkLinID = ?", {m2});
    QString why;
    EXPECT_FALSE(core::deleteMessage(*anna, m2, &why));
    EXPECT_TRUE(why.contains("only the person who wrote it")) << why.toStdString();
    EXPECT_EQ(office.count("CMTable", "cmID = ?", {m2}), 1);
    EXPECT_EQ(office.count("BroChkTable", "BroChkLinID = ?", {m2}), rows);
}

TEST_F(SignedIn, SecuringTwiceKeepsItAndOpeningRestoresTheOffice)
{
    QString error;
    ASSERT_TRUE(secureOffice(*office.db(), &error)) << error.toStdString();
    EXPECT_EQ(connect("ANNA")->scalar("SELECT count(*) FROM CMTable").toInt(), 3);
    bool on = false;
    ASSERT_TRUE(isSignedInOffice(*office.db(), on));
    EXPECT_TRUE(on);

    const QString annaRole = roleOf("ANNA");
    ASSERT_FALSE(annaRole.isEmpty());
    ASSERT_TRUE(unsecureOffice(*office.db(), &error)) << error.toStdString();
    secured = false;
    ASSERT_TRUE(isSignedInOffice(*office.db(), on));
    EXPECT_FALSE(on);
    EXPECT_EQ(office.count("CMTable"), 4);
    EXPECT_EQ(
        office.db()->scalar("SELECT count(*) FROM pg_roles WHERE rolname = ?", {annaRole}).toInt(),
        0);
    auto services = office.services();
    EXPECT_EQ(inbox(*services, "BEN"), QSet<qint32>({m1, m4}));
    // A second time is no error either.
    EXPECT_TRUE(unsecureOffice(*office.db(), &error)) << error.toStdString();
}

TEST_F(SignedIn, TheLoginListKeepsTheRolesAndTheirPasswords)
{
    auto roleState = [&](const QString& login) {
        return office.db()
            ->scalar("SELECT CASE WHEN rolcanlogin THEN 'login' ELSE 'nologin' END FROM pg_roles "
                     "WHERE rolname = tz_role_of(?)",
                     {login})
            .toString();
    };
    QString error;
    const qint32 eve = office.addPerson("Eve", "Evans", "EE");
    ASSERT_TRUE(addLogin(*office.db(), "eve", eve, &error)) << error.toStdString();
    EXPECT_EQ(roleState("EVE"), "login");
    ASSERT_TRUE(releaseStaffPerson(*office.db(), eve, {}, &error)) << error.toStdString();
    EXPECT_EQ(roleState("EVE"), "nologin");
    ASSERT_TRUE(rehireStaffPerson(*office.db(), eve, &error)) << error.toStdString();
    StaffPersonFields rename;
    rename.login = "EVA";
    ASSERT_TRUE(editStaffPerson(*office.db(), eve, rename, &error)) << error.toStdString();
    EXPECT_EQ(roleState("EVE"), "");
    EXPECT_EQ(roleState("EVA"), "login");
    ASSERT_TRUE(removeLogin(*office.db(), "EVA", &error)) << error.toStdString();
    EXPECT_EQ(roleState("EVA"), "");

    // A supervisor at the setup window keeps the roles too, through the owner's functions.
    auto supervisor = connect("MARIA");
    const qint32 fay = office.addPerson("Fay", "Fox", "FF");
    ASSERT_TRUE(addLogin(*supervisor, "FAY", fay, &error)) << error.toStdString();
    EXPECT_EQ(roleState("FAY"), "login");
    ASSERT_TRUE(releaseStaffPerson(*supervisor, fay, {}, &error)) << error.toStdString();
    EXPECT_EQ(roleState("FAY"), "nologin");
    // A person's role changes no login.
    EXPECT_FALSE(removeLogin(*connect("BEN"), "FAY", &error));
    EXPECT_EQ(roleState("FAY"), "nologin");

    // The supervisor right is the supervisor role.
    ASSERT_TRUE(setLoginRight(*office.db(), "BEN", kSupervisorRight, true, &error));
    EXPECT_EQ(connect("BEN")->scalar("SELECT count(*) FROM CMTable").toInt(), 4);
    ASSERT_TRUE(setLoginRight(*office.db(), "MARIA", kSupervisorRight, false, &error));
    // What she sent, and the computer's message.
    EXPECT_EQ(connect("MARIA")->scalar("SELECT count(*) FROM CMTable").toInt(), 2);

    // A role's password is set hashed.
    ASSERT_TRUE(setLoginPassword(*office.db(), "ANNA", "correct horse", &error))
        << error.toStdString();
    const QString stored =
        office.db()
            ->scalar("SELECT rolpassword FROM pg_authid WHERE rolname = tz_role_of('ANNA')")
            .toString();
    EXPECT_TRUE(stored.startsWith("SCRAM-SHA-256$") || stored.startsWith("md5"))
        << stored.toStdString();
    // A person sets their own; not another's.
    auto anna = connect("ANNA");
    EXPECT_TRUE(setLoginPassword(*anna, "ANNA", "another one", &error)) << error.toStdString();
    EXPECT_FALSE(setLoginPassword(*anna, "BEN", "not hers", &error));
    // A supervisor (BEN now) sets anyone's, through the owner's function.
    EXPECT_TRUE(setLoginPassword(*connect("BEN"), "MARIA", "for maria", &error))
        << error.toStdString();
}

// The set-up's lock and the staff lock belong to the server's database, so offices on one server
// share them: a login change waits for a set-up in progress before it takes the staff lock, or
// the two would each hold the lock the other waits for.
TEST_F(SignedIn, ALoginChangeWaitsForASetUpWithoutHoldingTheStaffLock)
{
    const qint32 gus = office.addPerson("Gus", "Gray", "GG");
    auto setUp = connect("MARIA");
    ASSERT_TRUE(setUp->transaction());
    ASSERT_TRUE(
        setUp->exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(store::kSetUpLock)));
    const QString url = office.databaseUrl();
    std::atomic<int> pid = 0;
    bool added = false;
    QString error;
    std::thread change([&] {
        auto db = db::Database::open(url, &error);
        if (!db)
            return;
        pid = db->scalar("SELECT pg_backend_pid()").toInt();
        added = addLogin(*db, "GUS", gus, &error);
    });
    // The advisory locks the change holds, and whether it waits for one.
    auto locks = [&](bool granted) {
        return setUp
            ->scalar("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND pid = ? AND "
                     "granted = ?",
                     {pid.load(), granted})
            .toInt();
    };
    QElapsedTimer clock;
    clock.start();
    while ((pid == 0 || locks(false) == 0) && clock.elapsed() < 8000)
        QThread::msleep(20);
    EXPECT_EQ(locks(false), 1) << "the change does not wait for the set-up";
    EXPECT_EQ(locks(true), 0) << "the change holds the staff lock while it waits";
    setUp->commit();
    change.join();
    EXPECT_TRUE(added) << error.toStdString();
}

TEST_F(SignedIn, NotesAndCannedTextsStayWithTheirPeople)
{
    const auto store = [](qint32 pid) {
        return "MSGDB" + QString::number(pid, 36).toUpper().left(5);
    };
    const qint32 patient = 900;
    // ANNA's note on a patient; BEN's notes, one filed into ANNA's notes and one into his own.
    office.insert("NoteTable", "NTID", {"NTPid", "NTWho", "NTTxt"}, {patient, "ANNA", "results"});
    const qint64 intoAnnas =
        office.insert("NoteTable", "NTID", {"NTPid", "NTWho", "NTTxt"}, {anna, "BEN", "for anna"});
    const qint64 bens =
        office.insert("NoteTable", "NTID", {"NTPid", "NTWho", "NTTxt"}, {ben, "ben ", "own"});
    for (const QString& name : {QString("MSGDB-OFFI"), store(anna), store(ben)})
        office.insert("CannedTextTable", "CTKeyID", {"CTStoNam", "CTTit", "CTTxt"},
                      {name, "t", "text of " + name});

    struct Case {
        const char* login;
        int notes, canned;
    };
    // Each reads what they wrote and what was filed into their own notes, the office's canned
    // texts and their own; the supervisor reads every row.
    for (const Case& c : {Case{"ANNA", 2, 2}, Case{"BEN", 2, 2}, Case{"MARIA", 3, 3}}) {
        SCOPED_TRACE(c.login);
        auto db = connect(c.login);
        ASSERT_TRUE(db);
        EXPECT_EQ(db->scalar("SELECT count(*) FROM NoteTable").toInt(), c.notes);
        EXPECT_EQ(db->scalar("SELECT count(*) FROM CannedTextTable").toInt(), c.canned);
    }

    auto db = connect("ANNA");
    ASSERT_TRUE(db);
    const QString note = "INSERT INTO NoteTable (NTPid, NTWho, NTTxt) VALUES (?, ?, 'x')";
    const QString canned =
        "INSERT INTO CannedTextTable (CTStoNam, CTTit, CTTxt) VALUES (?, 't', 'x')";
    const struct Write {
        QString statement;
        QVariantList params;
        int rows; // -1: refused
    } writes[] = {
        {note, {ben, "BEN"}, -1}, // in another's name
        {note, {ben, "ANNA"}, 1}, // into another's notes, as herself
        {"UPDATE NoteTable SET NTTxt = 'changed' WHERE NTID = ?", {intoAnnas}, 0}, // BEN wrote it
        {"DELETE FROM NoteTable WHERE NTID = ?", {bens}, 0},
        {canned, {store(ben)}, -1},
        {canned, {"MSGDB-OFFI"}, -1}, // the office's store is the supervisor's
        {canned, {store(anna)}, 1},
        {"UPDATE CannedTextTable SET CTTxt = 'changed' WHERE CTStoNam = ?", {store(ben)}, 0},
    };
    for (const Write& w : writes) {
        SCOPED_TRACE(w.statement.toStdString() + " " + w.params.first().toString().toStdString());
        int rows = -1;
        const bool ok = db->exec(w.statement, w.params, nullptr, &rows);
        EXPECT_EQ(ok ? rows : -1, w.rows);
    }
    EXPECT_EQ(office.count("NoteTable", "NTTxt = 'changed'"), 0);
    EXPECT_EQ(office.count("CannedTextTable", "CTTxt = 'changed'"), 0);

    // The program files a note into another's notes, as the message window does on a confirm.
    auto services = workstation("ANNA", "");
    NoteEntry entry;
    entry.text = "filed";
    entry.source = "CM";
    QString error;
    EXPECT_TRUE(services->writeNote(ben, entry, &error)) << error.toStdString();
    EXPECT_EQ(services->cannedTexts(store(anna)).size(), 2);
    EXPECT_TRUE(services->cannedTexts(store(ben)).isEmpty());

    auto supervisor = connect("MARIA");
    int rows = 0;
    EXPECT_TRUE(supervisor->exec("UPDATE NoteTable SET NTTxt = 'seen' WHERE NTID = ?", {bens},
                                 nullptr, &rows));
    EXPECT_EQ(rows, 1);
    EXPECT_TRUE(supervisor->exec(canned, {"MSGDB-OFFI"}));
}

TEST(SignedInSqlite, SecuringASqliteOfficeIsRefused)
{
    Office office;
    if (office.usingPostgres())
        GTEST_SKIP() << "the refusal is SQLite's";
    QString error;
    EXPECT_FALSE(secureOffice(*office.db(), &error));
    EXPECT_TRUE(error.startsWith("a SQLite office cannot be signed in")) << error.toStdString();
    bool on = true;
    EXPECT_TRUE(isSignedInOffice(*office.db(), on));
    EXPECT_FALSE(on);
}

} // namespace
