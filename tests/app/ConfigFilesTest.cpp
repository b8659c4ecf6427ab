// A workstation's configuration files through the real program: what is wrong in them is told
// once per file and line, a path that is no regular file is refused without waiting on it, a
// refused value names its file, and a folder that is no office's data folder is left alone.
#include "reliability/HostRun.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace tzsndmsg::testing {
namespace {

struct Row {
    const char* name;
    QByteArray content;  // the machine's file; see kind
    enum Kind { Text, Fifo, DeviceLink, Folder } kind = Text;
    QStringList args;    // --db is added; --data only when the file does not name one
    int code;
    QString says;        // a part of stderr (or of stdout for `config`)
    int times = 1;       // how often it is said
};

class ConfigFiles : public ::testing::Test {
protected:
    ConfigFiles() : office(options()) {}
    static Office::Options options()
    {
        Office::Options o;
        o.createSchema = false;
        o.initDataFolder = false;
        return o;
    }
    void SetUp() override
    {
        QDir().mkpath(home.path() + QStringLiteral("/config"));
        QDir().mkpath(notData());
        ASSERT_EQ(run({"init", "--demo", "--data", data()}).code, 0);
    }
    QString data() const { return home.path() + QStringLiteral("/data/"); }
    QString notData() const { return home.path() + QStringLiteral("/documents/"); }
    QString machineFile() const { return home.path() + QStringLiteral("/etc.conf"); }

    Outcome run(QStringList args, int limitMs = 20000) const
    {
        args << QStringLiteral("--db") << office.databaseUrl();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TZSNDMSG_HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("TZSNDMSG_SYSTEM_CONFIG"), machineFile());
        for (const char* name : {"TZSNDMSG_DB_URL", "TZSNDMSG_DATA", "TZSNDMSG_LOGIN", "TZSNDMSG_COMPUTER"})
            env.remove(QString::fromLatin1(name));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TZSNDMSG_APP), args);
        return HostRun::finish(p, limitMs);
    }

    void place(const Row& row) const
    {
        QFile::remove(machineFile());
        QDir(machineFile()).removeRecursively();
        switch (row.kind) {
        case Row::Text: {
            QFile file(machineFile());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(row.content);
            break;
        }
        case Row::Fifo:
            ASSERT_EQ(::mkfifo(QFile::encodeName(machineFile()).constData(), 0600), 0);
            break;
        case Row::DeviceLink:
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), machineFile()));
            break;
        case Row::Folder:
            ASSERT_TRUE(QDir().mkpath(machineFile()));
            break;
        }
    }

    QTemporaryDir home;
    Office office;
};

TEST_F(ConfigFiles, WhatIsWrongIsToldAndWhatCannotBeAFileIsRefused)
{
    const QString file = machineFile();
    const QByteArray notData = this->notData().toUtf8();
    const QStringList inbox{"inbox", "--login", "BEN"};
    const QStringList search{"search", "--login", "BEN", "phone"};
    const Row rows[] = {
        {"a typo key", "db=sqlite:///elsewhere.db\n", Row::Text, inbox, 0, file + ":1: unknown key \"db\""},
        {"a typo key after a good one", "computer=EXAM-1\nlogn=DAVE\n", Row::Text, inbox, 0,
         file + ":2: unknown key \"logn\""},
        {"a key in another letter case", "Login=DAVE\n", Row::Text, inbox, 0, file + ":1: unknown key \"Login\""},
        {"keys under a section", "computer=EXAM-1\n[Workstation]\nlogin=DAVE\n", Row::Text, inbox, 0,
         file + ":2: section [Workstation] is not read"},
        {"an empty value", "login=\n", Row::Text, inbox, 0, file + ":1: login= is empty"},
        {"a line without a key", "; the front desk\njust some words\n", Row::Text, inbox, 0,
         file + ":2: not a key=value line"},
        {"binary garbage", QByteArray("\x7f" "ELF\x02\x01\x01\x00\xff\xfe\n", 11), Row::Text, inbox, 0,
         file + ":1: not a line of text"},
        // Read twice by the search (its words and its services): told once all the same.
        {"told once a run", "logn=DAVE\n", Row::Text, search, 0, file + ":1: unknown key \"logn\""},
        {"shown by config", "logn=DAVE\n", Row::Text, {"config"}, 0, "warning: " + file + ":1: unknown key"},
        {"a FIFO", {}, Row::Fifo, inbox, 2, "the configuration file " + file + " is a FIFO"},
        {"a FIFO, config", {}, Row::Fifo, {"config"}, 2, "is a FIFO"},
        {"a link to a device", {}, Row::DeviceLink, inbox, 2, "the configuration file " + file + " is a device"},
        {"a folder", {}, Row::Folder, inbox, 2, "the configuration file " + file + " is a folder"},
        // Refused values name the file they came from.
        {"a login nobody has", "login=NOBODY\n", Row::Text, {"inbox"}, 2,
         "\"NOBODY\" is not in the office's login list (set in " + file + ")"},
        {"a missing data folder", "data=" + notData + "none\n", Row::Text, {"inbox", "--login", "BEN"}, 2,
         "is missing (run: tzsndmsg init) (set in " + file + ")"},
        {"a folder that is no data folder", "data=" + notData + "\n", Row::Text, {"inbox", "--login", "BEN"}, 2,
         "is not a data folder (it has neither TEMP nor stp; tzsndmsg init makes one) (set in " + file + ")"},
        {"no data folder to send from", "data=" + notData + "\n", Row::Text,
         {"announce", "--login", "BEN", "--text", "x", "--to-computers", "EXAM-1"}, 2, "is not a data folder"},
        {"no data folder given as a flag", {}, Row::Text,
         {"watch", "--once", "--login", "BEN", "--data", this->notData()}, 2, "is not a data folder"},
    };
    const int messages = office.count("CMTable");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        place(row);
        QStringList args = row.args;
        if (!row.content.contains("data=") && !args.contains("--data"))
            args << "--data" << data();
        const Outcome r = run(args);
        ASSERT_FALSE(r.hung) << "waited on the file";
        EXPECT_EQ(r.code, row.code) << r.out.toStdString() << r.err.toStdString();
        const QString told = row.args.first() == "config" && row.code == 0 ? r.out : r.err;
        EXPECT_EQ(told.count(row.says), row.times) << told.toStdString();
        if (row.code != 0) {
            EXPECT_EQ(r.said().size(), 1) << r.err.toStdString();
        }
        EXPECT_EQ(QDir(this->notData()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList())
            << "a folder that is no data folder was written into";
    }
    EXPECT_EQ(office.count("CMTable"), messages);

    // Only init makes a data folder of it.
    QFile::remove(machineFile());
    const Outcome init = run({"init", "--data", this->notData()});
    EXPECT_EQ(init.code, 0) << init.err.toStdString();
    EXPECT_TRUE(QDir(this->notData()).exists("TEMP"));
    const Outcome inboxThere = run({"inbox", "--login", "BEN", "--data", this->notData()});
    EXPECT_EQ(inboxThere.code, 0) << inboxThere.err.toStdString();
}

// A file written as QSettings writes it is read as before and says nothing.
TEST_F(ConfigFiles, AValidFileIsReadWithoutAWord)
{
    Row row{"valid", "; the machine's settings\r\n[General]\r\ncomputer = \"EXAM-1\"\r\nlogin=ben\r\n\r\n",
            Row::Text, {}, 0, {}};
    place(row);
    const Outcome r = run({"inbox", "--data", data()});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("of BEN at EXAM-1")) << r.out.toStdString();
    EXPECT_TRUE(r.said().isEmpty()) << r.err.toStdString();
}

} // namespace
} // namespace tzsndmsg::testing
