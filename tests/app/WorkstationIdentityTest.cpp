// Who a workstation is, through the real program: a person's second login, a person who has
// left the office, and configuration files that are wrong or are no files at all.
#include "support/Program.h"

#include <sys/stat.h>

namespace tzsndmsg::testing {
namespace {

struct Row {
    const char* name;
    QString args; // words apart by blanks
    int code;
    QString says;         // said once: on stdout when the run succeeds (a warning: on stderr, but
                          // for `config`), else in the one line on stderr
    QByteArray file = {}; // the machine's configuration file; "fifo", "zero" and "dir" are kinds
};

class WorkstationIdentity : public ProgramTest {
protected:
    void SetUp() override
    {
        QDir().mkpath(notData);
        ASSERT_EQ(run({"init", "--demo"}).code, 0);
    }
    qint32 personOf(const char* last)
    {
        return office.scalar("SELECT pID FROM PATable WHERE PLasNam=?", {QString::fromLatin1(last)})
            .toInt();
    }
    QString announce(const QString& login, const QString& text, qint32 to)
    {
        EXPECT_EQ(
            run({"announce", "--login", login, "--text", text, "--to", QString::number(to)}).code,
            0);
        return office.scalar("SELECT max(cmID) FROM CMTable WHERE cmDoc=?", {text}).toString();
    }

    Outcome run(QStringList args, const QByteArray& file = {})
    {
        QFile::remove(etc);
        QDir(etc).removeRecursively();
        if (file == "fifo")
            ::mkfifo(QFile::encodeName(etc).constData(), 0600);
        else if (file == "zero")
            QFile::link("/dev/zero", etc);
        else if (file == "dir")
            QDir().mkpath(etc);
        else if (QFile f(etc); f.open(QIODevice::WriteOnly))
            f.write(file);
        // The file's data= is the data folder when no flag names one.
        args = file.contains("data=") ? args << "--db" << office.databaseUrl() : withOffice(args);
        return finishProgram(*startProgram(args, env), 20000);
    }
    void check(const Row& row)
    {
        SCOPED_TRACE(row.name);
        const QStringList args = row.args.split(u' ', Qt::SkipEmptyParts);
        const Outcome r = run(args, row.file);
        ASSERT_FALSE(r.hung);
        EXPECT_EQ(r.code, row.code) << r.out.toStdString() << r.err.toStdString();
        const bool out =
            row.code == 0 && (args.first() == "config" || !row.says.contains("warning"));
        EXPECT_EQ((out ? r.out : r.err).count(row.says), 1)
            << r.out.toStdString() << r.err.toStdString();
        if (row.code != 0) {
            EXPECT_EQ(r.said().size(), 1) << r.err.toStdString();
        }
    }

    const QString etc = home.path() + "/etc.conf"; // the machine's, as the environment names it
    const QString notData = home.path() + "/documents/";
};

TEST_F(WorkstationIdentity, EveryCommandTakesASecondLoginAsItsPerson)
{
    const qint32 anna = personOf("Alvarez"), ben = personOf("Brooks");
    office.addLogin("ANNA2", anna);
    const QString own = announce("ANNA2", "zebra from the second login", ben);
    announce("BEN", "quokka for Anna", anna);
    const Row rows[] = {
        {"own message", "confirmations --login ANNA2 --message " + own, 0, "from ANNA2"},
        {"by the first login", "confirmations --login ANNA --message " + own, 0, "from ANNA2"},
        {"another person", "confirmations --login BEN --message " + own, 1,
         "not among the sent items"},
        {"search", "search --login ANNA2 --everywhere zebra", 0, "1 message(s)"},
        {"watcher", "watch --once --login ANNA2", 0, "quokka for Anna"},
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
        {"inbox", "inbox --login kyle", 2, "\"KYLE\" is of a person who has left the office"},
        {"watch", "watch --once --login KYLE", 2, "has left the office"},
        {"send", "announce --login KYLE --text x --to " + anna, 2, "has left the office"},
        {"to him and another", "announce --login BEN --text x --to " + anna + "," + kyle, 1,
         "left the office: " + kyle},
        {"to him and nobody", "announce --login BEN --text x --to " + kyle + ",99999", 1,
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
        {"typo key", inbox, 0, "warning: " + etc + ":2: unknown key \"logn\"",
         "computer=EXAM-1\nlogn=DAVE\n"},
        {"section", inbox, 0, "warning: " + etc + ":1: section [Workstation] is not read",
         "[Workstation]\nlogin=DAVE\n"},
        {"no key", inbox, 0, "warning: " + etc + ":1: not a key=value line", "just words\n"},
        {"garbage", inbox, 0, "warning: " + etc + ":1: not a line of text",
         QByteArray("\x7f"
                    "ELF\x02\x00\xff\n",
                    8)},
        // The search reads the configuration twice; it is told once all the same.
        {"told once", "search --login BEN phone", 0, "warning: " + etc + ":1: unknown key",
         "db=x\n"},
        {"shown by config", "config", 0, "warning: " + etc + ":1: unknown key \"db\"", "db=x\n"},
        // The tray's keys: a value that is none is told with its line and left out.
        {"quiet hours", "config", 0, "quiet    22:00-6:30    (" + etc + ")", "quiet=22:00-6:30\n"},
        {"no hours", inbox, 0, "warning: " + etc + ":2: quiet=12-13 is not a range of hours",
         "sound=on\nquiet=12-13\n"},
        {"empty range", "config", 0, "warning: " + etc + ":1: quiet=9:00-9:00 is not a range",
         "quiet=9:00-9:00\n"},
        {"no sound", inbox, 0, "warning: " + etc + ":1: sound=loud is neither on, off nor the path",
         "sound=loud\n"},
        {"FIFO", inbox, 2, "the configuration file " + etc + " is a FIFO", "fifo"},
        {"FIFO, config", "config", 2, "is a FIFO", "fifo"},
        {"link to a device", inbox, 2, etc + " is a device", "zero"},
        {"folder", inbox, 2, etc + " is a folder", "dir"},
        {"refused login", "inbox", 2, "list (set in " + etc + ")", "login=NOBODY\n"},
        {"no data folder", inbox, 2,
         "is not a data folder (it has neither TEMP nor stp; tzsndmsg init makes "
         "one) (set in " +
             etc + ")",
         "data=" + documents + "\n"},
        {"no data folder to send from", "announce --login BEN --text x --to-computers PC", 2,
         "is not a data folder", "data=" + documents + "\n"},
        {"no data folder as a flag", "watch --once --login BEN --data " + notData, 2,
         "is not a data folder"},
    };
    for (const Row& row : rows) {
        check(row);
        EXPECT_TRUE(QDir(notData).isEmpty()) << "written into a folder that is no data folder";
    }
    EXPECT_EQ(run({"init", "--data", notData}).code, 0) << "init makes it a data folder";
    EXPECT_EQ(run({"inbox", "--login", "BEN", "--data", notData}).code, 0);
}

} // namespace
} // namespace tzsndmsg::testing
