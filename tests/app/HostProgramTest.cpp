#include "support/Files.h"
#include "support/Program.h"
#include "tzsndmsg/SignedIn.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

using namespace tzsndmsg::testing;
using tzsndmsg::isSignedInOffice;

namespace {

// The host program on this test's own demo office, made by its own init.
class HostProgram : public ProgramTest {
protected:
    void SetUp() override { init({"--demo"}); }

    // A message from Dave to Anna, sent on the day given.
    qint64 toAnna(const QString& subject, const QString& day)
    {
        const QVariant anna = office.scalar("select pID from PATable where PFirNam='Anna'");
        const QVariant dave = office.scalar("select pID from PATable where PFirNam='David'");
        const qint64 id = office.insert(
            "CMTable", "cmID",
            {"cmTyp", "cmDat", "cmTim", "cmWho", "cmPid", "cmCat", "CMSubjec", "cmDoc"},
            {256, day, "09:05:00", "DAVE", dave, "Message", subject, "See the subject."});
        office.insert("EVTable", "EVID", {"EvPID", "EvLinID", "EvTyp"}, {dave, id, 0});
        office.insert("BroChkTable", "BroChkID", {"BroChkLinID", "BroChkPID", "BroChkTyp"},
                      {id, anna, 0});
        return id;
    }

    QString file() const { return QUrl(office.databaseUrl()).path(); }

    QByteArray fileHash() const
    {
        return QCryptographicHash::hash(readAll(file()), QCryptographicHash::Sha256);
    }

    // Overwrites the first page of a table's b-tree in the file, every row in the main file first.
    void damageRootPage(const QString& table)
    {
        office.scalar("PRAGMA wal_checkpoint(TRUNCATE)");
        const qint64 root =
            office.scalar("SELECT rootpage FROM sqlite_schema WHERE name = ?", {table})
                .toLongLong();
        const qint64 pageSize = office.scalar("PRAGMA page_size").toLongLong();
        ASSERT_GT(root, 1) << table.toStdString();
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek((root - 1) * pageSize));
        ASSERT_EQ(f.write(QByteArray(pageSize, char(0xA5))), pageSize);
    }
};
// tzsndmsg search on the demo office, run as a workstation runs it.
using SearchCommand = HostProgram;
// tzsndmsg check on the demo office: a sound office, damaged pages of the store (written into
// the file as a failing disk would), a lost search index and a data folder that lacks a part.
using CheckCommand = HostProgram;

// tzsndmsg secure and a workstation of a signed-in office: the login is the connected role.
class SignedInProgram : public ProgramTest {
protected:
    // The roles are the server's, not the schema's: a test that stops early drops them too.
    void TearDown() override
    {
        bool on = false;
        if (office.usingPostgres() && office.db() && isSignedInOffice(*office.db(), on) && on) {
            EXPECT_TRUE(tzsndmsg::unsecureOffice(*office.db()));
        }
    }

    // The program signed in as the login's role.
    Outcome as(const QString& login, const QStringList& args)
    {
        QUrl url(office.databaseUrl());
        url.setUserName("postgres_" + url.query().section('=', 1) + "." + login);
        return run(args + QStringList{"--db", url.toString()});
    }
    Outcome typed(const QStringList& args, const QByteArray& input)
    {
        auto p = start(args);
        p->write(input);
        p->closeWriteChannel();
        return finishProgram(*p);
    }
};

} // namespace

TEST_F(HostProgram, InitDemoMakesAnOfficeWhoseInboxReadsAsText)
{
    EXPECT_TRUE(QFileInfo(data() + "ICO/SMALL/Send Message.ico").exists());

    const Outcome inbox = run({"inbox", "--login", "anna", "--computer", "FRONTDESK"});
    ASSERT_EQ(inbox.code, 0) << inbox.err.toStdString();
    EXPECT_TRUE(inbox.out.contains("Room 2 autoclave")) << inbox.out.toStdString();
    // Addressed to the workstation, not to Anna.
    EXPECT_TRUE(inbox.out.contains("Front desk printer"));
    // Purged messages are history, not inbox.
    EXPECT_FALSE(inbox.out.contains("Flu shots"));
    EXPECT_TRUE(inbox.out.contains("\n*")) << "no unread mark";

    const Outcome history = run({"inbox", "--login", "ANNA", "--history"});
    ASSERT_EQ(history.code, 0);
    EXPECT_TRUE(history.out.contains("Flu shots"));
}

TEST_F(HostProgram, NoCommandOrAnUnknownOneIsRefusedWithExitCodeTwo)
{
    for (const QStringList& args : {QStringList{}, QStringList{"frobnicate"}}) {
        const Outcome r = runAlone(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty()) << args.join(' ').toStdString();
    }
}

TEST_F(HostProgram, HolidaysOfAYearAreListedWithTheirDaysOff)
{
    const Outcome r = run({"holidays", "--list", "2026"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    // The 4th of July 2026 is a Saturday: the office is closed on Friday the 3rd.
    const QString july = r.out.section("Independence Day", 0, 0).section('\n', -1);
    EXPECT_TRUE(r.out.contains("Independence Day"));
    EXPECT_TRUE(r.out.contains("07/03/2026") || july.contains("Jul 3")) << r.out.toStdString();
    EXPECT_LT(r.out.indexOf("Memorial Day"), r.out.indexOf("Labor Day"));
}

TEST_F(HostProgram, AnAnnouncementToAComputerNotListedIsSentAndSaidOnce)
{
    // A computer the list does not know may be a new one: sent to, and said once.
    const Outcome toNew = run({"announce", "--text", "Printer moved", "--to-computers",
                               "exam-1,exam-9", "--login", "MARIA"});
    ASSERT_EQ(toNew.code, 0) << toNew.err.toStdString();
    EXPECT_EQ(toNew.err.count("not in the computer list"), 1) << toNew.err.toStdString();
    EXPECT_TRUE(toNew.err.contains("EXAM-9")) << toNew.err.toStdString();
    // The demo office has its own message to EXAM-1: count only this one's rows.
    EXPECT_EQ(office.count("BroChkTable", "BroChkToMac in ('EXAM-1','EXAM-9') and BroChkLinID = "
                                          "(select max(cmID) from CMTable)"),
              2);
}

TEST_F(HostProgram, WindowsRenderToAFile)
{
    for (const QString& command : QStringList{"holidays", "events", "messages", "setup"}) {
        const QString file = home.path() + QLatin1Char('/') + command + ".png";
        const Outcome r = run({command, "--login", "MARIA", "--screenshot", file});
        EXPECT_EQ(r.code, 0) << command.toStdString() << ": " << r.err.toStdString();
        const QImage image(file);
        EXPECT_GT(image.width(), 300) << command.toStdString();
    }
}

TEST_F(HostProgram, AWorkstationsSettingsFilesReplaceTheFlags)
{
    // The machine names the office; the user's file names the login; the environment the
    // computer. No flag is given.
    writeFile("etc.conf", "database=" + office.databaseUrl().toUtf8() +
                              "\ndata=" + data().toUtf8() + "\nlogin=MARIA\n");
    writeFile("config/tzsndmsg/tzsndmsg.conf", "login=ben\n");
    env.insert("TZSNDMSG_COMPUTER", "exam-1");

    const Outcome config = runAlone({"config"});
    ASSERT_EQ(config.code, 0) << config.err.toStdString();
    // Each setting's line: its value and where it came from.
    for (const char* line :
         {"^database .*etc\\.conf", "^login .*BEN.*config/tzsndmsg/tzsndmsg\\.conf",
          "^computer .*EXAM-1.*TZSNDMSG_COMPUTER"})
        EXPECT_TRUE(config.out.contains(
            QRegularExpression(QString::fromLatin1(line), QRegularExpression::MultilineOption)))
            << line << "\n"
            << config.out.toStdString();

    const Outcome inbox = runAlone({"inbox"});
    ASSERT_EQ(inbox.code, 0) << inbox.err.toStdString();
    EXPECT_TRUE(inbox.out.contains("of BEN at EXAM-1")) << inbox.out.toStdString();

    // A flag still wins over every file.
    const Outcome flagged = runAlone({"config", "--login", "dave"});
    EXPECT_TRUE(flagged.out.contains("DAVE    (--login)")) << flagged.out.toStdString();
}

TEST_F(HostProgram, EveryCommandDescribesItsOptionsAndTheProgramItsVersion)
{
    const Outcome version = runAlone({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.out.startsWith("tzsndmsg 1.")) << version.out.toStdString();
    // Window commands too: asking for help opens nothing.
    const QString commands = "init|messages|events|holidays|send|announce|inbox|config|check|setup|"
                             "staff|staff add|staff edit|staff release|staff rehire|logins|logins "
                             "add|logins remove|logins supervisor|logins payroll|computers|"
                             "computers add|computers remove";
    for (const QString& command : commands.split('|')) {
        const Outcome help = runAlone(command.split(' ') + QStringList{"--help"});
        EXPECT_EQ(help.code, 0) << command.toStdString() << ": " << help.err.toStdString();
        EXPECT_TRUE(help.out.startsWith("usage: tzsndmsg " + command + " [options]"))
            << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("--db <URL>")) << command.toStdString();
    }
    // The staff file's commands name the file.
    for (const char* command : {"import", "export"}) {
        const Outcome help = runAlone({command, "--help"});
        EXPECT_EQ(help.code, 0);
        EXPECT_TRUE(help.out.startsWith(QString("usage: tzsndmsg %1 staff FILE.csv").arg(command)))
            << help.out.toStdString();
        EXPECT_EQ(help.out.contains("--dry-run"), QByteArray(command) == "import");
    }
    const Outcome usage = runAlone({"--help"});
    EXPECT_TRUE(usage.out.contains("import staff FILE.csv [--dry-run]"));
    EXPECT_TRUE(usage.out.contains("export staff FILE.csv"));
}

TEST_F(SearchCommand, PrintsTheHitsOfTheLoginsViews)
{
    const Outcome inbox =
        run({"search", "--login", "anna", "--computer", "FRONTDESK", "room", "AUTOC"});
    ASSERT_EQ(inbox.code, 0) << inbox.err.toStdString();
    const QStringList lines = inbox.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << inbox.out.toStdString(); // the title, the headers, two rows
    EXPECT_EQ(lines.at(0), "Search for \"room AUTOC\" in Inbox - Message Category Only of ANNA at "
                           "FRONTDESK: 2 message(s); * = unread");
    EXPECT_TRUE(lines.at(1).contains("From") && lines.at(1).contains("To/ CC"));
    // Once to Anna and once to her workstation, as the inbox lists it; unread both times.
    EXPECT_TRUE(lines.at(2).startsWith("* DAVE ") && lines.at(2).contains("Room 2 autoclave"));
    EXPECT_TRUE(lines.at(3).startsWith("* DAVE ") && lines.at(3).contains("Room 2 autoclave"));

    const Outcome everywhere = run({"search", "--login", "ANNA", "--everywhere", "staff"});
    ASSERT_EQ(everywhere.code, 0) << everywhere.err.toStdString();
    EXPECT_TRUE(everywhere.out.contains(
        QRegularExpression(R"(\n  Inbox +\| MARIA +\|.*Staff meeting moved)")))
        << everywhere.out.toStdString();
    EXPECT_TRUE(
        everywhere.out.contains(QRegularExpression(R"(\n  Inbox - History +\| MARIA .*Flu shots)")))
        << everywhere.out.toStdString();

    // The sender's sent items; Anna never sees Dave's message to Grace about it.
    const Outcome sent = run({"search", "--login", "DAVE", "--sent", "autoclave"});
    ASSERT_EQ(sent.code, 0);
    EXPECT_TRUE(sent.out.contains("Room 2 autoclave"));
    const Outcome patel = run({"search", "--login", "ANNA", "--everywhere", "patel"});
    ASSERT_EQ(patel.code, 0);
    EXPECT_TRUE(patel.out.contains("Sent Items")) << patel.out.toStdString();
    EXPECT_TRUE(
        run({"search", "--login", "BEN", "--everywhere", "patel"}).out.contains(": 0 message(s)"));
}

// The text lists write a date as the windows do: two digits for the month and the day.
TEST_F(SearchCommand, TheListsWriteDatesAsTheWindowsDo)
{
    toAnna("Quarterly figures", "2026-02-04");
    const Outcome search = run({"search", "--login", "ANNA", "quarterly"});
    const Outcome inbox = run({"inbox", "--login", "ANNA"});
    for (const Outcome& r : {search, inbox}) {
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString line = r.out.split('\n').filter("Quarterly figures").value(0);
        EXPECT_TRUE(line.contains("| 02/04/2026 |")) << r.out.toStdString();
        // Every date of the list in the one form: no one-digit month or day.
        EXPECT_FALSE(r.out.contains(
            QRegularExpression(R"((^|[^0-9])([0-9]{1,2}/[0-9]|[0-9]/[0-9]{1,2})/[0-9]{4})")))
            << r.out.toStdString();
    }
}

TEST_F(CheckCommand, ADamagedPageIsNamedAndNeverTakenForAMissingSchema)
{
    TZ_SQLITE_ONLY(office) << ": pages of the file are SQLite's; the server keeps its own";
    const struct {
        const char* table; // whose first page is damaged
        const char* named; // what check says
        bool metBySend;    // an announcement writes into it
        bool metByInbox;   // the inbox reads it, or the schema it is part of
    } cases[] = {
        {"ApTable", "the table ApTable is damaged", false, false},
        {"CMTable", "the table CMTable is damaged", true, true},
        {"CMWrdTable_data", "the search index is damaged", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        QTemporaryDir copyDir;
        const QString pristine = copyDir.path() + "/office.db";
        office.scalar("PRAGMA wal_checkpoint(TRUNCATE)");
        ASSERT_TRUE(QFile::copy(file(), pristine));
        damageRootPage(c.table);

        const Outcome check = run({"check"});
        EXPECT_EQ(check.code, 1) << check.all().toStdString();
        EXPECT_TRUE(check.out.contains(c.named)) << check.out.toStdString();

        const QByteArray before = fileHash();
        const Outcome init = run({"init"});
        EXPECT_EQ(init.code, 1) << init.all().toStdString();
        EXPECT_TRUE(init.err.contains(c.named)) << init.err.toStdString();
        EXPECT_EQ(fileHash(), before) << "init wrote into a damaged store";

        const Outcome send =
            run({"announce", "--login", "MARIA", "--text", "after the damage", "--to", "1"});
        const Outcome inbox = run({"inbox", "--login", "ANNA"});
        for (const auto& [outcome, met] :
             {std::pair{send, c.metBySend}, std::pair{inbox, c.metByInbox}}) {
            EXPECT_FALSE(outcome.err.contains("create the schema")) << outcome.err.toStdString();
            if (!met)
                continue;
            EXPECT_EQ(outcome.code, 1) << outcome.err.toStdString();
            EXPECT_TRUE(outcome.err.contains("the store is damaged")) << outcome.err.toStdString();
            EXPECT_TRUE(outcome.err.contains("run tzsndmsg check")) << outcome.err.toStdString();
        }

        // Back to the sound file for the next case.
        ASSERT_TRUE(QFile::remove(file()));
        ASSERT_TRUE(QFile::copy(pristine, file()));
        QFile::remove(file() + "-wal");
        QFile::remove(file() + "-shm");
        ASSERT_TRUE(office.db()->reopen());
    }
}

// Each way the search index goes wrong is named by check and mended by --repair-index, after
// which the office is sound and the search finds the messages again.
TEST_F(CheckCommand, EachWayTheSearchIndexGoesWrongIsNamedAndRepaired)
{
    const auto repaired = [&](const QStringList& named, const QStringList& search,
                              const QString& found) {
        SCOPED_TRACE(named.first().toStdString());
        const Outcome check = run({"check"});
        EXPECT_EQ(check.code, 1) << check.all().toStdString();
        for (const QString& part : named)
            EXPECT_TRUE(check.out.contains(part)) << check.out.toStdString();
        const Outcome repair = run({"check", "--repair-index"});
        EXPECT_EQ(repair.code, 0) << repair.all().toStdString();
        EXPECT_TRUE(repair.out.contains("search index was built again"))
            << repair.out.toStdString();
        EXPECT_EQ(run({"check"}).code, 0);
        const Outcome searched = run(QStringList{"search", "--sent"} + search);
        EXPECT_TRUE(searched.out.contains(found)) << searched.all().toStdString();
    };
    // A message stored while the index was not kept: its words are not in it.
    const bool postgres = office.usingPostgres();
    const QString marks = "UPDATE pg_index SET indisready = %1, indisvalid = %2 WHERE indexrelid "
                          "= 'ix_cm_words'::regclass";
    postgres ? office.exec(marks.arg("false", "false"))
             : office.exec("DROP TRIGGER tr_cmtable_wrd_ai");
    ASSERT_EQ(run({"announce", "--login", "MARIA", "--text", "zanzibar quokka", "--to", "1"}).code,
              0);
    if (postgres)
        office.exec(marks.arg("true", "true"));
    else
        ASSERT_EQ(run({"init"}).code, 0); // the trigger is back; the index still lacks the words
    repaired({"the search index is damaged (the messages' words"}, {"--login", "MARIA", "zanzibar"},
             ": 1 message(s)");

    const QStringList autoclave{"--login", "DAVE", "autoclave"};
    office.dropSearchIndex();
    repaired({"the search index is missing", "run tzsndmsg check --repair-index"}, autoclave,
             "Room 2 autoclave");
    // Pages of the file are SQLite's; an index marked unusable is the server's own state.
    postgres ? office.exec(marks.arg("true", "false")) : damageRootPage("CMWrdTable_data");
    repaired({"the search index is damaged"}, autoclave, "Room 2 autoclave");
}

// What init leaves out is named; made again by init, the office is sound.
TEST_F(CheckCommand, WhatTheDataFolderLacksIsNamedAndASoundOfficeIsSound)
{
    const struct {
        const char* removed;
        const char* named;
    } cases[] = {
        {"stp/Machines.Ini", "lacks stp/Machines.Ini"},
        {"ICO/SMALL/Help.ico", "lacks ICO/SMALL/Help.ico"},
        {"TEMP", "lacks TEMP/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.removed);
        const QString path = data() + c.removed;
        ASSERT_TRUE(QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path));
        const Outcome check = run({"check"});
        EXPECT_EQ(check.code, 1) << check.all().toStdString();
        EXPECT_TRUE(check.out.contains(c.named)) << check.out.toStdString();
        ASSERT_EQ(run({"init"}).code, 0);
    }
    // A table gone from the store is named as well.
    office.exec("DROP TABLE HDOCTable");
    const Outcome gone = run({"check"});
    EXPECT_EQ(gone.code, 1) << gone.all().toStdString();
    EXPECT_TRUE(gone.out.contains("the table HDOCTable is missing")) << gone.out.toStdString();
    ASSERT_EQ(run({"init"}).code, 0);
    const Outcome sound = run({"check"});
    EXPECT_EQ(sound.code, 0) << sound.all().toStdString();
    EXPECT_TRUE(sound.out.startsWith("The office is sound")) << sound.out.toStdString();
}

TEST_F(SignedInProgram, SqliteRefusesToBeSignedIn)
{
    if (office.usingPostgres())
        GTEST_SKIP() << "the refusal is SQLite's";
    ASSERT_EQ(run({"init"}).code, 0);
    for (const QStringList& args : {QStringList{"secure"}, QStringList{"init", "--signed-in"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("a SQLite office cannot be signed in")) << r.err.toStdString();
    }
}

TEST_F(SignedInProgram, TheRoleIsTheLoginAndAnotherIsRefused)
{
    if (!office.usingPostgres())
        GTEST_SKIP() << "signing in is PostgreSQL's (roles and row-level security)";
    ASSERT_NO_FATAL_FAILURE(init({"--demo", "--signed-in"}));
    // Two workstations at once, and again: each finds it done or waits its turn.
    auto first = start({"secure"});
    auto second = start({"secure"});
    for (QProcess* p : {first.get(), second.get()}) {
        const Outcome again = finishProgram(*p);
        EXPECT_EQ(again.code, 0) << again.err.toStdString();
    }

    const Outcome mine = as("anna", {"inbox", "--all-categories"});
    EXPECT_EQ(mine.code, 0) << mine.err.toStdString();
    EXPECT_TRUE(mine.out.contains("of ANNA at")) << mine.out.toStdString();
    const Outcome other = as("anna", {"inbox", "--login", "MARIA"});
    EXPECT_EQ(other.code, 2);
    EXPECT_EQ(other.err.trimmed(), "tzsndmsg: this office is signed in: you are ANNA, and --login "
                                   "MARIA names another login");
    const Outcome same = as("anna", {"inbox", "--login", "anna"});
    EXPECT_EQ(same.code, 0) << same.err.toStdString();

    // The administrator's superuser role reads every row: told once.
    const Outcome admin = run({"inbox", "--login", "MARIA"});
    EXPECT_EQ(admin.code, 0) << admin.err.toStdString();
    EXPECT_EQ(admin.err.count("the office is not protected"), 1) << admin.err.toStdString();

    const Outcome password = typed({"logins", "password", "ANNA"}, "a long secret\n");
    EXPECT_EQ(password.code, 0) << password.err.toStdString();
    const Outcome empty = typed({"logins", "password", "ANNA"}, "");
    EXPECT_EQ(empty.code, 2);

    const Outcome off = run({"secure", "--off"});
    EXPECT_EQ(off.code, 0) << off.err.toStdString();
    const Outcome gone = as("anna", {"inbox"});
    EXPECT_EQ(gone.code, 2);
    EXPECT_EQ(gone.err.trimmed().count('\n'), 0) << gone.err.toStdString();
}
