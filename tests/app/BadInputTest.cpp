// Bad input over the host program's commands: quotes, backslashes, SQL fragments, control
// characters, invalid UTF-8, huge texts and ids, odd addresses. Each row has its exit code and
// what the program says; none may crash, hang or leave a file behind, and no text may become
// part of a statement. On PostgreSQL every row runs with standard_conforming_strings off.
#include "support/Program.h"
#include "tzsndmsg/db/Database.h"

#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <functional>

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
    QString says; // a part of the program's own line on stderr, or of stdout for code 0
    std::function<void(Office&)> check = {};
};

class BadInput : public ProgramTest {
protected:
    BadInput()
    {
        if (Office::usingPostgres())
            env.insert(u"PGOPTIONS"_s, u"-c standard_conforming_strings=off"_s);
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
        const QStringList args = withOffice(row.args);
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
        return HostRun::finish(p, 60000);
    }

    qint32 personOf(const char* lastName)
    {
        return office
            .scalar(u"SELECT pID FROM PATable WHERE PLasNam=?"_s, {QString::fromLatin1(lastName)})
            .toInt();
    }

    QString storedText(const QString& column, const QString& where, const QVariantList& params)
    {
        return office.scalar(u"SELECT "_s + column + u" FROM CMTable WHERE "_s + where, params)
            .toString();
    }

    QTemporaryDir cwd;
};

TEST_F(BadInput, EachCommandRefusesOrStoresItAsGivenAndLeavesNoTrace)
{
    ASSERT_EQ(ProgramTest::run({"init", "--demo"}).code, 0);
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
    // A command's words, for a row that needs no helper of its own.
    const auto words = [](const QStringList& all) { return all; };
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
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QSet<QString> before = files();
        const Outcome r = run(row);
        EXPECT_FALSE(r.hung);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.code, row.code) << r.err.toStdString();
        if (row.code == 0) {
            EXPECT_TRUE(r.out.contains(row.says)) << r.out.left(300).toStdString();
            for (const QString& line : r.said()) // a box told on stderr would be a failure
                EXPECT_TRUE(line.startsWith(QLatin1String("tzsndmsg: warning:")))
                    << line.toStdString();
        } else {
            EXPECT_EQ(r.said().size(), 1) << r.err.toStdString();
            EXPECT_TRUE(r.said().join(u'\n').contains(row.says)) << r.err.toStdString();
            EXPECT_TRUE(r.out.isEmpty()) << "a refusal prints no part of an answer";
        }
        QSet<QString> after = files();
        after.remove(screenshot);
        QFile::remove(screenshot);
        EXPECT_EQ(after - before, QSet<QString>()) << "a file left behind";
        if (row.check)
            row.check(office);
    }
    EXPECT_FALSE(office.db()->hasTable(u"pwned"_s));
    EXPECT_TRUE(office.db()->hasTable(u"CMTable"_s));
    EXPECT_EQ(QFile(notADatabase.fileName()).size(), 15);
    EXPECT_EQ(QFile(kept).size(), 4);
}

} // namespace
} // namespace tzsndmsg::testing
