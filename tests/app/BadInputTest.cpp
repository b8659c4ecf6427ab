// Bad input over the host program's commands: quotes, backslashes, SQL fragments, control
// characters, invalid UTF-8, huge texts and ids, odd addresses; and who a workstation is: a
// person's second login, a person who has left the office, configuration files that are wrong or
// are no files at all. Each row has its exit code and what the program says; none may crash,
// hang or leave a file behind, and no text may become part of a statement. On PostgreSQL every
// row runs with standard_conforming_strings off.
#include "support/Program.h"
#include "tzsndmsg/db/Database.h"

#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <functional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

// A backslash before the quote turns the rest into SQL when backslashes escape in literals.
const QString kInjection = u"\\'))); CREATE TABLE pwned (x int); --"_s;
const QString kQuotedLogin = u"O'BRIEN\\"_s;

struct Row {
    const char* name;
    QStringList args; // "printf:FORMAT" is that argument's bytes as printf(1) makes them
    int code;
    QString says; // said once: in the one line on stderr, or on stdout for code 0 (a warning:
                  // on stderr, but for `config`)
    std::function<void(Office&)> check = {};
    QByteArray file = {}; // the machine's configuration file; "fifo", "zero" and "dir" are kinds
};

// A command's words: given, or apart by blanks.
QStringList words(const QStringList& all)
{
    return all;
}
QStringList words(const QString& text)
{
    return text.split(u' ', Qt::SkipEmptyParts);
}

class BadInput : public ProgramTest {
protected:
    BadInput()
    {
        if (Office::usingPostgres())
            env.insert(u"PGOPTIONS"_s, u"-c standard_conforming_strings=off"_s);
    }
    void SetUp() override
    {
        QDir().mkpath(notData);
        ASSERT_EQ(ProgramTest::run({"init", "--demo"}).code, 0);
    }

    // Every file under the folders the program may write, with the files it may change.
    QSet<QString> files() const
    {
        QSet<QString> out;
        for (const QString& root : {home.path(), office.tempPath(), cwd.path()}) {
            QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (!path.endsWith(QLatin1String(".STA")) &&
                    !path.endsWith(QLatin1String("-wal")) && !path.endsWith(QLatin1String("-shm")))
                    out.insert(path);
            }
        }
        return out;
    }

    Outcome run(const Row& row)
    {
        QFile::remove(etc);
        QDir(etc).removeRecursively();
        if (row.file == "fifo")
            ::mkfifo(QFile::encodeName(etc).constData(), 0600);
        else if (row.file == "zero")
            QFile::link(u"/dev/zero"_s, etc);
        else if (row.file == "dir")
            QDir().mkpath(etc);
        else if (QFile f(etc); !row.file.isEmpty() && f.open(QIODevice::WriteOnly))
            f.write(row.file);
        // The file's data= is the data folder when no flag names one.
        const QStringList args = row.file.contains("data=")
                                     ? row.args + QStringList{"--db", office.databaseUrl()}
                                     : withOffice(row.args);
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(cwd.path());
        bool raw = false;
        for (const QString& a : args)
            raw = raw || a.startsWith(QLatin1String("printf:"));
        if (!raw) {
            p.start(QStringLiteral(TZSNDMSG_APP), args);
        } else {
            // Bytes that are not UTF-8 cannot travel in a QString: the shell makes them.
            QString script = u"exec \"$0\""_s;
            for (QString a : args) {
                const bool bytes = a.startsWith(QLatin1String("printf:"));
                if (bytes)
                    a = a.mid(7);
                a.replace(u'\'', u"'\\''"_s);
                script += bytes ? u" \"$(printf '%1')\""_s.arg(a) : u" '%1'"_s.arg(a);
            }
            p.start(u"/bin/sh"_s, {"-c", script, QStringLiteral(TZSNDMSG_APP)});
        }
        return HostRun::finish(p, 20000);
    }

    // The row run: its exit, what it said, and no file left behind but `picture`.
    void check(const Row& row, const QString& picture = {})
    {
        SCOPED_TRACE(row.name);
        const QSet<QString> before = files();
        const Outcome r = run(row);
        ASSERT_FALSE(r.hung);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.code, row.code) << r.out.toStdString() << r.err.toStdString();
        if (row.code == 0) {
            const bool warning = row.says.contains(u"warning"_s) && row.args.first() != u"config"_s;
            EXPECT_EQ((warning ? r.err : r.out).count(row.says), 1) << r.all().toStdString();
            for (const QString& line : r.said()) // a box told on stderr would be a failure
                EXPECT_TRUE(line.startsWith(QLatin1String("tzsndmsg: warning:")))
                    << line.toStdString();
        } else {
            EXPECT_EQ(r.said().size(), 1) << r.err.toStdString();
            EXPECT_TRUE(r.said().join(u'\n').contains(row.says)) << r.err.toStdString();
            EXPECT_TRUE(r.out.isEmpty()) << "a refusal prints no part of an answer";
        }
        QSet<QString> after = files();
        after.remove(picture);
        after.remove(etc);
        if (row.code == 0) // a watch that ran keeps what it told in its state
            after.removeIf(
                [&](const QString& path) { return path.startsWith(home.path() + "/state/"); });
        QFile::remove(picture);
        EXPECT_EQ(after - before, QSet<QString>()) << "a file left behind";
        if (row.check)
            row.check(office);
    }

    qint32 personOf(const char* lastName)
    {
        return office
            .scalar(u"SELECT pID FROM PATable WHERE PLasNam=?"_s, {QString::fromLatin1(lastName)})
            .toInt();
    }

    QTemporaryDir cwd;
    const QString etc = home.path() + "/etc.conf"; // the machine's, as the environment names it
    const QString notData = home.path() + "/documents/";
};

TEST_F(BadInput, EachCommandRefusesOrStoresItAsGivenAndLeavesNoTrace)
{
    // A login whose name ends in a backslash after a quote, with a person of its own.
    office.addEmployee(u"O'Brien"_s, u"Pat"_s, u"PO"_s, kQuotedLogin, u"front desk"_s);
    const QString ben = QString::number(personOf("Brooks"));
    const QString tmp = office.tempPath();
    QFile notADatabase(tmp + u"/notes.txt"_s);
    ASSERT_TRUE(notADatabase.open(QIODevice::WriteOnly));
    notADatabase.write("not a database\n");
    notADatabase.close();
    const QString huge = QString(100000, u'x') + u"'\\end"_s;
    const QString screenshot = cwd.path() + u"/shot.png"_s;
    const QString kept = writeFile(u"kept.txt"_s, "kept"), link = home.path() + u"/link.csv"_s;
    ASSERT_TRUE(QFile::link(kept, link));
    QStringList seventeen{"search", "--login", "ANNA"};
    for (int i = 1; i <= 17; ++i)
        seventeen << u"word%1"_s.arg(i);

    auto stored = [this](const QString& text) {
        return [this, text](Office& o) {
            EXPECT_EQ(o.count(u"CMTable"_s, u"cmDoc=?"_s, {text}), 1)
                << text.left(80).toStdString();
        };
    };
    const QString sqlText = u"it's \\'); DROP TABLE CMTable; -- \\\\ done"_s;
    const QString notListed = u"not in the office's login list"_s, sent = u"Announcement sent"_s;
    const QString offscreen = u"cannot be shown on the \"offscreen\""_s;
    const QString badIds = u"--to needs person ids"_s,
                  badStart = u"--start needs a date and time"_s;
    const auto announce = [](const QStringList& rest) {
        return QStringList{"announce", "--login", "MARIA", "--text"} + rest;
    };
    const auto anna = [](const QStringList& rest) {
        return QStringList{"inbox", "--login", "ANNA"} + rest;
    };
    const Row rows[] = {
        // Logins: bound where they are looked up, quoted where a view names them.
        {"login with a quote", {"inbox", "--login", "O'NEILL"}, 2, notListed},
        {"login with SQL", {"inbox", "--login", "x' OR '1'='1"}, 2, notListed},
        {"login with backslash injection", {"inbox", "--login", kInjection}, 2, notListed},
        {"blank login", {"inbox", "--login", ""}, 2, notListed},
        // Every command that reads for a login refuses one the office does not know.
        {"unknown login searching", words({"search", "--login", "NOBODY", "--everywhere", "staff"}),
         2, notListed},
        {"unknown login's confirmations",
         words({"confirmations", "--login", "NOBODY", "--message", "1"}), 2, notListed},
        {"unknown login watching", {"watch", "--once", "--login", "NOBODY"}, 2, notListed},
        {"blank login watching", {"watch", "--once", "--login", ""}, 2, notListed},
        {"login with a line break", {"inbox", "--login", "AN\nNA"}, 2, "control characters"},
        {"login not UTF-8", {"inbox", "--login", "printf:\\377\\376"}, 2, notListed},
        {"listed login ending in a backslash", words({"inbox", "--login", kQuotedLogin, "--sent"}),
         0, "Sent items of O'BRIEN\\"},
        {"supervisor's view naming that login", words({"inbox", "--login", "SUPERVISOR", "--sent"}),
         0, "Sent items"},
        // Computer names: quoted into the inbox statement.
        // With every category the injection's parentheses close the condition: a server that
        // let its backslash escape the quote would run the statement after it.
        {"computer with backslash injection", anna({"--all-categories", "--computer", kInjection}),
         0, "Inbox"},
        {"computer with a quote", anna({"--computer", "O'BRIEN-PC"}), 0, "Inbox"},
        {"computer with a control character", anna({"--computer", "PC\x01"}), 2,
         "control characters"},
        {"window list with backslash injection",
         {"messages", "--login", "ANNA", "--history", "--computer", kInjection, "--screenshot",
          screenshot},
         0,
         "Saved"},
        {"supervisor's window list naming the quoted login",
         words({"messages", "--login", "SUPERVISOR", "--history", "--screenshot", screenshot}), 0,
         "Saved"},
        // Texts: bound values, stored as given.
        {"text with SQL and backslashes", announce({sqlText, "--to", ben}), 0, sent,
         stored(sqlText)},
        {"category and subcategory with SQL",
         announce(
             {"cat: x", "--to", ben, "--category", "Message'); --", "--subcategory", kInjection}),
         0, sent,
         [&](Office& o) {
             EXPECT_EQ(
                 o.count("CMTable", "cmCat=? AND cmSubCat=?", {u"Message'); --"_s, kInjection}), 1);
         }},
        {"text with control characters", announce({"bell\a tab\t end", "--to", ben}), 0, sent,
         stored(u"bell\a tab\t end"_s)},
        {"text not UTF-8", announce({"printf:bytes \\377\\376 end", "--to", ben}), 0, sent,
         [](Office& o) { EXPECT_EQ(o.count("CMTable", "cmDoc LIKE ?", {u"bytes %end"_s}), 1); }},
        {"huge text", announce({huge, "--to", ben}), 0, sent, stored(huge)},
        {"computer names with SQL",
         announce({"mac: x", "--to-computers", "pc\\'); DROP TABLE x; --"}), 0, sent,
         [](Office& o) {
             EXPECT_EQ(o.count("BroChkTable", "BroChkToMac=?", {u"PC\\'); DROP TABLE X; --"_s}), 1);
         }},
        {"computer names with a line break", announce({"x", "--to-computers", "A\nB"}), 2,
         "control characters"},
        // Ids: whole numbers of persons only.
        {"id too large", announce({"x", "--to", "99999999999"}), 2, badIds},
        {"no such person", announce({"x", "--to", ben + ",2147483647"}), 1,
         "no such person: 2147483647"},
        {"negative id", announce({"x", "--to", "-5"}), 2, badIds},
        {"id with SQL", announce({"x", "--to", "1 OR 1=1"}), 2, badIds},
        {"no addressee", announce({"x", "--to", ",,,"}), 2, "needs --to or --to-computers"},
        // A delivery start: stored in the window's forms, or refused whole.
        {"delivery set to start later",
         announce({"later: x", "--to", ben, "--start", "12/24/2026 14:30"}), 0, sent,
         [](Office& o) {
             EXPECT_EQ(
                 o.count(
                     "EVTable",
                     "EvBroFla=-1 AND EvBroStaDatFla=-1 AND EvBroStaDat=? AND EvBroStaTim=? AND "
                     "EvLinID IN (SELECT cmID FROM CMTable WHERE cmDoc=?)",
                     {"2026-12-24", "14:30:00", "later: x"}),
                 1);
         }},
        {"start not a date", announce({"x", "--to", ben, "--start", "13/45/2026 10:00"}), 2,
         badStart},
        {"start without a time", announce({"x", "--to", ben, "--start", "12/24/2026"}), 2,
         badStart},
        {"start at no hour", announce({"x", "--to", ben, "--start", "12/24/2026 25:00"}), 2,
         badStart},
        {"year too large", {"holidays", "--list", "99999"}, 2, "--list needs a year"},
        {"event id too large",
         words({"events", "--event", "99999999999", "--screenshot", screenshot}), 2,
         "--event needs a whole number"},
        {"patient id with SQL",
         words({"messages", "--patient", "1;DROP", "--screenshot", screenshot}), 2,
         "--patient needs a whole number"},
        // The reminder's id is the word right after its kind, never another option's value.
        {"reminder's id apart from its kind",
         words({"messages", "--reminder-for", "appointment", "--screenshot", screenshot}), 2,
         "--reminder-for needs its kind and id together"},
        // Addresses and folders.
        {"SQLite address with an option",
         words({"init", "--db", "sqlite://" + tmp + "/x.db?mode=ro"}), 2, "is not known here"},
        {"SQLite address with a zero byte",
         words({"init", "--db", "sqlite://" + tmp + "/x.db%00y"}), 2, "control character"},
        {"SQLite address with a blank name", words({"init", "--db", "sqlite://" + tmp + "/%20"}), 2,
         "does not end in a file name"},
        {"SQLite address of a folder", anna({"--db", "sqlite://" + tmp + "/"}), 2, "file name"},
        {"SQLite address of no file", anna({"--db", "sqlite://" + tmp + "/typo.db"}), 2,
         "no such file"},
        {"check of a SQLite address of no file",
         words({"check", "--db", "sqlite://" + tmp + "/none.db"}), 2, "no such file"},
        {"staff of a SQLite address of no file",
         words({"staff", "--db", "sqlite://" + tmp + "/none.db"}), 2, "no such file"},
        {"SQLite address of a text file", anna({"--db", "sqlite://" + notADatabase.fileName()}), 2,
         "not a database"},
        {"relative SQLite address", {"init", "--db", "sqlite://office.db"}, 2, "absolute path"},
        {"address of another kind", anna({"--db", "file:///etc/passwd"}), 2,
         "Bad database address"},
        {"PostgreSQL address without a host", anna({"--db", "postgresql:///x"}), 2,
         "Bad database address"},
        {"PostgreSQL address with an unknown option",
         anna({"--db", "postgresql://u@h/db?sslmod=disable"}), 2, "is not known here"},
        {"PostgreSQL server not there", anna({"--db", "postgresql://postgres@127.0.0.1:1/x"}), 2,
         "cannot open"},
        {"missing data folder", anna({"--data", tmp + "/none/"}), 2, "is missing"},
        {"picture that cannot be written",
         words({"holidays", "--login", "MARIA", "--screenshot", "/proc/none/x.png"}), 1,
         "cannot write the picture"},
        {"unknown option", {"inbox", "--frobnicate"}, 2, "frobnicate"},
        {"check with an unknown option", {"check", "--stray"}, 2, "Unknown option 'stray'"},
        // Arguments each command refuses.
        {"search without words", {"search", "--login", "ANNA"}, 2, "search needs words"},
        {"search of signs only", words({"search", "--login", "ANNA", "'%", "--", "--"}), 2,
         "search needs words"},
        {"search everywhere and sent",
         words({"search", "--login", "ANNA", "--everywhere", "--sent", "x"}), 2,
         "leave out --sent"},
        {"search words too many", seventeen, 2, "A search takes at most 16 words; 17 were typed."},
        {"search word too long", words({"search", "--login", "ANNA", QString(101, u'x')}), 2,
         "A search word has at most 100 letters and digits; one typed has 101."},
        {"search words with SQL",
         words({"search", "--login", "ANNA", "--everywhere", "--", "'); DELETE FROM CMTable; --",
                "\\\"", "%_"}),
         0, "Search for", [](Office& o) { EXPECT_GE(o.count("CMTable"), 6); }},
        {"message id not a number", words({"confirmations", "--login", "ANNA", "--message", "12a"}),
         2, "--message needs a message id, not '12a'"},
        {"no message id",
         {"confirmations", "--login", "ANNA"},
         2,
         "confirmations needs --message ID"},
        {"a stray word", words({"confirmations", "--login", "ANNA", "--message", "1", "extra"}), 2,
         "unexpected argument 'extra'"},
        {"import of nothing", {"import"}, 2, "import needs: staff FILE.csv"},
        {"import of what is not staff",
         {"import", "people", "x.csv"},
         2,
         "import knows only staff, not 'people'"},
        {"import without a file", {"import", "staff"}, 2, "import staff needs the CSV file"},
        {"import of a missing file",
         {"import", "staff", home.path() + "/missing.csv"},
         2,
         "missing.csv does not exist"},
        {"import of a folder", {"import", "staff", home.path()}, 2, "is a folder"},
        {"import of two files",
         {"import", "staff", "a.csv", "b.csv"},
         2,
         "unexpected argument 'b.csv'"},
        {"import with an unknown option",
         {"import", "staff", "a.csv", "--dryrun"},
         2,
         "Unknown option 'dryrun'"},
        {"export without a file", {"export", "staff"}, 2, "export staff needs the CSV file"},
        {"export through a link", {"export", "staff", link}, 1, "symbolic link"},
        {"export into no folder",
         {"export", "staff", home.path() + "/no/folder/x.csv"},
         1,
         "cannot write"},
        {"watch every so often", {"watch", "--file-check", "often"}, 2, "--file-check"},
        {"watch with a stray word", {"watch", "--once", "extra"}, 2, "extra"},
        // Offscreen nobody would see the tray, or a window not rendered to a file.
        {"tray offscreen", {"tray"}, 2, offscreen},
        {"send offscreen", words({"send", "--subject", "Toner", "--body", "Ordered"}), 2,
         offscreen},
        {"holidays offscreen", {"holidays"}, 2, offscreen},
        {"setup offscreen", {"setup"}, 2, offscreen},
        // Refused before the window is drawn: no picture either.
        {"setup without the supervisor right",
         words({"setup", "--login", "ANNA", "--screenshot", cwd.path() + "/setup.png"}), 1,
         "supervisor right"},
        {"holidays of no year", {"holidays", "--list", "next"}, 2, "--list needs a whole number"},
        {"event id not a number", words({"events", "--event", "x1", "--screenshot", screenshot}), 2,
         "--event needs a whole number"},
    };
    for (const Row& row : rows)
        check(row, screenshot);
    EXPECT_FALSE(office.db()->hasTable(u"pwned"_s));
    EXPECT_TRUE(office.db()->hasTable(u"CMTable"_s));
    EXPECT_EQ(QFile(notADatabase.fileName()).size(), 15);
    EXPECT_EQ(QFile(kept).size(), 4);
}

// A window on a display that no X server answers is one line and exit 2, as no display is
// (the toolkit would abort).
TEST_F(BadInput, AWindowOnADisplayNoServerAnswersIsRefusedInOneLine)
{
    env.remove(u"QT_QPA_PLATFORM"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.insert(u"DISPLAY"_s, u":97"_s);
    for (const char* command : {"tray", "holidays"}) {
        const Outcome out = ProgramTest::run({QString::fromLatin1(command)});
        EXPECT_EQ(out.code, 2) << command << ": " << out.err.toStdString();
        EXPECT_EQ(out.err, u"tzsndmsg: no X server answers on the display :97\n"_s) << command;
    }
}

class WorkstationIdentity : public BadInput {
protected:
    QString announce(const QString& login, const QString& text, qint32 to)
    {
        EXPECT_EQ(ProgramTest::run(
                      {"announce", "--login", login, "--text", text, "--to", QString::number(to)})
                      .code,
                  0);
        return office.scalar("SELECT max(cmID) FROM CMTable WHERE cmDoc=?", {text}).toString();
    }
};

TEST_F(WorkstationIdentity, EveryCommandTakesASecondLoginAsItsPerson)
{
    const qint32 anna = personOf("Alvarez"), ben = personOf("Brooks");
    office.addLogin("ANNA2", anna);
    const QString own = announce("ANNA2", "zebra from the second login", ben);
    announce("BEN", "quokka for Anna", anna);
    const Row rows[] = {
        {"own message", words("confirmations --login ANNA2 --message " + own), 0, "from ANNA2"},
        {"by the first login", words("confirmations --login ANNA --message " + own), 0,
         "from ANNA2"},
        {"another person", words("confirmations --login BEN --message " + own), 1,
         "not among the sent items"},
        {"search", words("search --login ANNA2 --everywhere zebra"), 0, "1 message(s)"},
        {"watcher", words("watch --once --login ANNA2"), 0, "quokka for Anna"},
    };
    for (const Row& row : rows)
        check(row);
}

TEST_F(WorkstationIdentity, APersonWhoHasLeftIsNoLoginAndNoAddressee)
{
    const QString anna = QString::number(personOf("Alvarez")),
                  kyle = QString::number(personOf("Klein"));
    const int messages = office.count("CMTable");
    const Row rows[] = {
        {"inbox", words("inbox --login kyle"), 2,
         "\"KYLE\" is of a person who has left the office"},
        {"watch", words("watch --once --login KYLE"), 2, "has left the office"},
        {"send", words("announce --login KYLE --text x --to " + anna), 2, "has left the office"},
        {"to him and another", words("announce --login BEN --text x --to " + anna + "," + kyle), 1,
         "left the office: " + kyle},
        {"to him and nobody", words("announce --login BEN --text x --to " + kyle + ",99999"), 1,
         "no such person: 99999; left the office: " + kyle},
    };
    for (const Row& row : rows)
        check(row);
    EXPECT_EQ(office.count("CMTable"), messages) << "nothing sent, not even to the others";
}

TEST_F(WorkstationIdentity, WrongConfigurationIsToldAndWhatIsNoFileIsRefusedWithoutWaiting)
{
    const QString inbox = "inbox --login BEN";
    const QByteArray documents = notData.toUtf8();
    const Row rows[] = {
        {"typo key", words(inbox), 0, "warning: " + etc + ":2: unknown key \"logn\"", nullptr,
         "computer=EXAM-1\nlogn=DAVE\n"},
        {"section", words(inbox), 0, "warning: " + etc + ":1: section [Workstation] is not read",
         nullptr, "[Workstation]\nlogin=DAVE\n"},
        {"no key", words(inbox), 0, "warning: " + etc + ":1: not a key=value line", nullptr,
         "just words\n"},
        {"garbage", words(inbox), 0, "warning: " + etc + ":1: not a line of text", nullptr,
         QByteArray("\x7f"
                    "ELF\x02\x00\xff\n",
                    8)},
        // The search reads the configuration twice; it is told once all the same.
        {"told once", words("search --login BEN phone"), 0, "warning: " + etc + ":1: unknown key",
         nullptr, "db=x\n"},
        {"shown by config", words("config"), 0, "warning: " + etc + ":1: unknown key \"db\"",
         nullptr, "db=x\n"},
        // The tray's keys: a value that is none is told with its line and left out.
        {"quiet hours", words("config"), 0, "quiet    22:00-6:30    (" + etc + ")", nullptr,
         "quiet=22:00-6:30\n"},
        {"no hours", words(inbox), 0, "warning: " + etc + ":2: quiet=12-13 is not a range of hours",
         nullptr, "sound=on\nquiet=12-13\n"},
        {"empty range", words("config"), 0,
         "warning: " + etc + ":1: quiet=9:00-9:00 is not a range", nullptr, "quiet=9:00-9:00\n"},
        {"no sound", words(inbox), 0,
         "warning: " + etc + ":1: sound=loud is neither on, off nor the path", nullptr,
         "sound=loud\n"},
        {"FIFO", words(inbox), 2, "the configuration file " + etc + " is a FIFO", nullptr, "fifo"},
        {"FIFO, config", words("config"), 2, "is a FIFO", nullptr, "fifo"},
        {"link to a device", words(inbox), 2, etc + " is a device", nullptr, "zero"},
        {"folder", words(inbox), 2, etc + " is a folder", nullptr, "dir"},
        {"refused login", words("inbox"), 2, "list (set in " + etc + ")", nullptr,
         "login=NOBODY\n"},
        {"no data folder", words(inbox), 2,
         "is not a data folder (it has neither TEMP nor stp; tzsndmsg init makes "
         "one) (set in " +
             etc + ")",
         nullptr, "data=" + documents + "\n"},
        {"no data folder to send from", words("announce --login BEN --text x --to-computers PC"), 2,
         "is not a data folder", nullptr, "data=" + documents + "\n"},
        {"no data folder as a flag", words("watch --once --login BEN --data " + notData), 2,
         "is not a data folder"},
    };
    for (const Row& row : rows) {
        check(row);
        EXPECT_TRUE(QDir(notData).isEmpty()) << "written into a folder that is no data folder";
    }
    EXPECT_EQ(ProgramTest::run({"init", "--data", notData}).code, 0)
        << "init makes it a data folder";
    EXPECT_EQ(ProgramTest::run({"inbox", "--login", "BEN", "--data", notData}).code, 0);
}

} // namespace
} // namespace tzsndmsg::testing
