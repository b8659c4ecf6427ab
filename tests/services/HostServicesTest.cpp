#include "services/PathResolver.h"
#include "support/Files.h"
#include "support/Office.h"
#include "tzsndmsg/WorkstationConfig.h"
#include "tzsndmsg/db/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>
#include <QWidget>
#include <chrono>
#include <future>
#include <unistd.h>

using namespace tzsndmsg::testing;

namespace {

// A fresh office and its services for each test.
class HostServices : public ::testing::Test {
protected:
    Office office;
    std::shared_ptr<tzglob::tzGlobal> services = office.services();
};

} // namespace

TEST_F(HostServices, OpenRefusesWhatCannotServe)
{
    const QString missingFolder = office.tempPath() + "/no-such-folder";

    // An empty database: a schema of its own on the server, or a new SQLite file.
    QString emptyUrl = "sqlite://" + office.tempPath() + "/empty.db";
    const QString emptySchema = "t_empty_" + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (Office::usingPostgres()) {
        office.db()->exec("CREATE SCHEMA " + emptySchema);
        emptyUrl = qEnvironmentVariable("TZSNDMSG_TEST_PG") + "?schema=" + emptySchema;
    } else {
        ASSERT_TRUE(tzsndmsg::db::Database::open(emptyUrl)); // made, but nothing in it
    }
    // Opening never makes a SQLite file: a mistyped name is told, not created.
    const QString typo = office.tempPath() + "/offcie.db";
    const QString data = office.dataFolder();
    const struct Case {
        const char* name;
        QString url, folder;
        const char* reasonContains;
    } cases[] = {
        {"no database", QString(), data, "no database"},
        {"unknown kind of database", "mysql://x@y/z", data, "cannot open"},
        {"no schema", emptyUrl, data, "create the schema first"},
        {"no such SQLite file", "sqlite://" + typo, data, "no such file"},
        {"missing data folder", office.databaseUrl(), missingFolder, "does not exist"},
        {"no data folder", office.databaseUrl(), QString(), "no data folder"},
    };
    for (const Case& c : cases) {
        tzglob::Config config = services->config();
        config.databaseUrl = c.url;
        config.dataFolder = c.folder;
        tzglob::tzGlobal candidate(config);
        QString error;
        EXPECT_FALSE(candidate.open(&error)) << c.name;
        EXPECT_TRUE(error.contains(c.reasonContains)) << c.name << ": " << error.toStdString();
        EXPECT_FALSE(error.contains(QLatin1Char('\n'))) << c.name;
        EXPECT_EQ(candidate.messageStoreConnection(), nullptr) << c.name;
    }
    EXPECT_FALSE(QFileInfo::exists(typo));
    if (Office::usingPostgres())
        office.db()->exec("DROP SCHEMA " + emptySchema + " CASCADE");
}

TEST_F(HostServices, OpenSharesOneDatabaseAndNormalisesFolders)
{
    ASSERT_NE(services->messageStoreConnection(), nullptr);
    EXPECT_EQ(services->connectionByIndex(9), services->messageStoreConnection());
    EXPECT_EQ(services->connectionByIndex(3), services->suiteConnection());
    EXPECT_EQ(services->personsConnection(), services->messageStoreConnection());

    tzglob::Config config = services->config();
    config.dataFolder = office.dataFolder().chopped(1); // no trailing slash
    config.helpFolder = "/opt/help";
    config.computerName = "frontpc";
    tzglob::tzGlobal other(config);
    QString error;
    ASSERT_TRUE(other.open(&error)) << error.toStdString();
    EXPECT_EQ(other.dataFolder(), office.dataFolder());
    EXPECT_EQ(other.helpFolder(), "/opt/help/");
    EXPECT_EQ(other.computerName(), "FRONTPC");
    other.setLogin("NURSE");
    EXPECT_EQ(other.stationText(), "FRONTPC NURSE");
    EXPECT_EQ(services->stationText(), "WS1 FRONT");
}

TEST_F(HostServices, EmployeeOfLoginIgnoresCaseAndBlanks)
{
    const qint32 smith = office.addEmployee("Smith", "John", "JS", " front ");
    const qint32 ohara = office.addEmployee("O'Hara", "Kate", "KO", "O'HARA");
    office.addLogin("NOBODY", QVariant(QMetaType::fromType<int>()));

    EXPECT_EQ(services->employeeOfLogin("FRONT"), smith);
    EXPECT_EQ(services->employeeOfLogin("Front"), smith);
    EXPECT_EQ(services->employeeOfLogin("o'hara"), ohara);
    EXPECT_EQ(services->employeeOfLogin("nobody"), 0);
    EXPECT_EQ(services->employeeOfLogin("stranger"), 0);
    EXPECT_EQ(services->employeeOfLogin("x' or '1'='1"), 0);
}

TEST_F(HostServices, RightsComeFromTheWriteFlag)
{
    const QStringList columns = {"PWAUseNam", "PWARigNam", "PWAWriFla", "PWAProNam"};
    office.insert("PWATable", "PWAID", columns, {"nurse", "Tim_Sup_Rig", -1, "tzSndMsg"});
    office.insert("PWATable", "PWAID", columns, {"CLERK", "Tim_Sup_Rig", 0, "tzSndMsg"});
    office.insert("PWATable", "PWAID", columns,
                  {" Clerk ", "Msg_Cho_Sen", QVariant(QMetaType::fromType<int>()), "tzSndMsg"});
    office.insert("PWATable", "PWAID", columns, {"DESK", "Msg_Cho_Sen", -1, "tzSndMsg"});

    const struct Case {
        const char *login, *right, *column;
        bool holds;
    } cases[] = {
        {"NURSE", "Tim_Sup_Rig", "PWAWriFla", true},
        {"Nurse", "TIM_SUP_RIG", "PWAWriFla", true},
        {"NURSE", "Tim_Mar_Pay_Rel_Mes", "PWAWriFla", false},
        {"CLERK", "Tim_Sup_Rig", "PWAWriFla", false}, // flag 0
        {"CLERK", "Msg_Cho_Sen", "PWAWriFla", false}, // flag null
        {"supervisor", "Anything_At_All", "PWAWriFla", true},
        {"SUPERVISOR", "Tim_Sup_Rig", "PWARigNam", false}, // only the write flag is a column
        {"NURSE", "Tim_Sup_Rig", "1=1 or PWAWriFla", false},
        {"nurse' or '1'='1", "Tim_Sup_Rig", "PWAWriFla", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(services->checkRight(c.login, c.right, c.column, "tzSndMsg"), c.holds)
            << c.login << " / " << c.right << " / " << c.column;
        // Among others not held, in either order: the same answer.
        EXPECT_EQ(services->checkAnyRight(c.login, {"No_Such_Right", c.right, "Msg_Cho_Sen"},
                                          c.column, "tzSndMsg"),
                  c.holds)
            << c.login << " / " << c.right << " / " << c.column;
    }
    EXPECT_FALSE(services->checkAnyRight("NURSE", {}, "PWAWriFla", "tzSndMsg"));

    EXPECT_TRUE(services->loginMayChooseSender("Supervisor"));
    EXPECT_TRUE(services->loginMayChooseSender("desk"));
    EXPECT_FALSE(services->loginMayChooseSender("CLERK"));
    EXPECT_FALSE(services->loginMayChooseSender("NURSE"));
}

TEST_F(HostServices, PersonNameAndLatestDepartment)
{
    const qint32 smith = office.addEmployee("Smith", " John ", "JS", "FRONT", "Billing");
    office.addEmployment(smith, "  Front Desk ");
    const qint32 lone = office.addPerson("Lone", "", "L");

    EXPECT_EQ(services->personName(smith), "John Smith");
    EXPECT_EQ(services->personName(lone), "Lone");
    EXPECT_EQ(services->personName(99999), QString());
    // Several at once, as the one-at-a-time lookup names them; unknown and unnamed left out.
    const qint32 unnamed = office.addPerson("", "  ", "U");
    const QHash<qint32, QString> expected{{smith, "John Smith"}, {lone, "Lone"}};
    EXPECT_EQ(services->personNames({smith, 99999, lone, 0, smith, unnamed}), expected);
    EXPECT_EQ(services->tzsndmsg::HostServices::personNames({smith, 99999, lone, 0, unnamed}),
              expected);
    EXPECT_EQ(services->personDepartment(smith), "Front Desk");
    EXPECT_EQ(services->personDepartment(lone), QString());
}

TEST_F(HostServices, TextHelpers)
{
    const QString list = "12,7,,30";
    int pos = 0;
    QStringList tokens;
    for (int i = 0; i < 4; ++i)
        tokens << services->nextToken(list, ",", pos);
    EXPECT_EQ(tokens, QStringList({"12", "7", "", "30"}));
    EXPECT_EQ(pos, list.size());
    EXPECT_EQ(services->nextToken(list, ",", pos), QString()); // exhausted
    pos = 0;
    EXPECT_EQ(services->nextToken("WS1\r\nFRONT\r\n", "\r\n", pos), "WS1");
    EXPECT_EQ(pos, 5);

    const struct SplitCase {
        QString text;
        int maxCount;
        QStringList parts;
    } splits[] = {
        {"a,b,c", -1, {"a", "b", "c"}}, {"a,b,", -1, {"a", "b", ""}},
        {"a,b,c,d", 2, {"a", "b,c,d"}}, {"", -1, {}},
        {"abc", -1, {"abc"}},
    };
    for (const SplitCase& c : splits)
        EXPECT_EQ(services->split(c.text, ",", c.maxCount), c.parts) << c.text.toStdString();

    EXPECT_EQ(services->replaceText("a-b-c", "-", "--"), "a--b--c");
    EXPECT_EQ(services->replaceText("abc", "", "x"), "abc");
    EXPECT_EQ(services->quote("O'Brien"), "'O''Brien'");
}

TEST_F(HostServices, StatusFilterLeavesOutTerminatedRecords)
{
    const qint32 active = office.addEmployee("Active", "A", "AA", "A1", "Front");
    const qint32 gone = office.addEmployee("Gone", "G", "GG", "G1", "Back");
    office.exec("UPDATE ESTable SET ESSta='Terminated' WHERE EBID IN "
                "(SELECT EBID FROM EBTable WHERE EBPid=?)",
                {gone});
    office.exec("UPDATE ESTable SET ESSta=NULL WHERE EBID IN "
                "(SELECT EBID FROM EBTable WHERE EBPid=?)",
                {active});
    const QString filter = services->statusFilter("ESTable", "pdlTable");
    EXPECT_TRUE(filter.endsWith(QString("and ")));
    const QString sql = services->adaptSql(
        "SELECT EBTable.EBPid FROM EBTable INNER JOIN ESTable ON EBTable.EBID = ESTable.EBID "
        "WHERE " +
        filter + "EBTable.EBPid In (" + QString::number(active) + "," + QString::number(gone) +
        ")");
    EXPECT_EQ(office.rows(sql), QStringList{QString::number(active)});
    EXPECT_EQ(services->statusFilter("pdlTable", "x"), QString());
}

TEST_F(HostServices, WriteRecordGoesToTheStoreOfItsKind)
{
    qint64 key = 0;
    QString error;
    ASSERT_TRUE(services->writeRecord(3, "HDOCTable", "hdocID", key, {"hdocDes", "hdocInAct"},
                                      {"New Year's Day", "0"}, &error))
        << error.toStdString();
    EXPECT_GT(key, 0);
    EXPECT_EQ(office.count("HDOCTable", "hdocDes=?", {"New Year's Day"}), 1);
    const qint64 first = key;
    ASSERT_TRUE(services->writeRecord(3, "HDOCTable", "hdocID", key, {"hdocDes"}, {"Renamed"}));
    EXPECT_EQ(key, first);
    EXPECT_EQ(office.count("HDOCTable", "hdocDes=?", {"Renamed"}), 1);
    services->releaseAfterWrite(*services->messageStoreConnection());

    key = 0;
    EXPECT_FALSE(services->writeRecord(9, "CMTable", "CMID", key, {"NoSuchColumn"}, {"x"}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(HostServices, FileExistsMatchesPathsWithoutCase)
{
    ASSERT_TRUE(writeFile(office.dataFolder() + "Pictures/Holiday/FlagUsa.ICO", "x"));

    const struct Case {
        QString path;
        bool exists;
    } cases[] = {
        {"pictures\\holiday\\flagusa.ico", true},
        {"PICTURES/HOLIDAY/FLAGUSA.ICO", true},
        {"Pictures\\Holiday\\FlagUsa.ICO", true},
        {"pictures\\holiday", false}, // a folder is not a file
        {"pictures\\holiday\\flagcan.ico", false},
        {"", false},
        {office.dataFolder() + "PICTURES\\HOLIDAY\\flagusa.ico", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(services->fileExists(c.path), c.exists) << c.path.toStdString();

    EXPECT_EQ(tzglob::resolvePath(office.dataFolder(), "PICTURES\\holiday\\flagusa.ico"),
              office.dataFolder() + "Pictures/Holiday/FlagUsa.ICO");
    EXPECT_EQ(tzglob::resolvePath(office.dataFolder(), "pictures\\none\\flag.ico"),
              office.dataFolder() + "Pictures/none/flag.ico");
}

TEST_F(HostServices, RemoveComputerNameWaitsForAnotherWorkstationsEditAndKeepsIt)
{
    office.writeMachinesIni("FRONTDESK\r\nEXAM-1\r\n");
    const QString ini = office.dataFolder() + "stp/Machines.Ini";
    // Another workstation is adding a computer: it holds the list's lock while it writes.
    const int held = holdLock(office.dataFolder() + "stp/Machines.lock");
    ASSERT_GE(held, 0);
    auto removal =
        std::async(std::launch::async, [&] { return services->removeComputerName("exam-1"); });
    EXPECT_EQ(removal.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    office.writeMachinesIni("FRONTDESK\r\nEXAM-1\r\nLAB\r\n");
    ::close(held);

    EXPECT_TRUE(removal.get());
    EXPECT_EQ(readAll(ini), QByteArray("FRONTDESK\r\nLAB\r\n"));
}

TEST_F(HostServices, SettingsByKind)
{
    const QString s = "QNS_OFFICE_SETUP";
    services->writeSetting(s, "OFFICE_LUNCH_LENGTH", "45");
    services->writeSetting(s, "OFFICE_START_TIME_1", "13:15");
    services->writeSetting(s, "OFFICE_CLOSE_TIME_1", "soon");
    services->writeSetting(s, "WORDS", "lunch");
    services->writeSetting("DEFAULT_OFFICE_SETUP", "OFFICE_LUNCH_LENGTH", "60");

    EXPECT_EQ(services->readSetting(s, "OFFICE_LUNCH_LENGTH", 1, 30), QVariant(45));
    EXPECT_EQ(services->readSetting("DEFAULT_OFFICE_SETUP", "OFFICE_LUNCH_LENGTH", 1, 30),
              QVariant(60));
    EXPECT_EQ(services->readSetting(s, "WORDS", 1, 30), QVariant(30)); // not a number
    EXPECT_EQ(services->readSetting(s, "MISSING", 1, 30), QVariant(30));
    EXPECT_EQ(services->readSetting(s, "OFFICE_START_TIME_1", 2, "9:00:00 AM"), QVariant("13:15"));
    EXPECT_EQ(services->readSetting(s, "OFFICE_CLOSE_TIME_1", 2, "5:30:00 PM"),
              QVariant("soon")); // the caller validates times
    EXPECT_EQ(services->readSetting(s, "OFFICE_START_TIME_0", 2, "9:00:00 AM"),
              QVariant("9:00:00 AM"));
    EXPECT_EQ(services->readSetting(s, "WORDS", 0, QVariant()).toString(), "lunch");
    EXPECT_TRUE(QFile::exists(office.dataFolder() + "settings.ini"));

    // Another workstation reads the same file.
    auto other = office.workstation("WS2", "DESK");
    EXPECT_EQ(other->readSetting(s, "OFFICE_LUNCH_LENGTH", 1, 30), QVariant(45));
}

TEST_F(HostServices, NotesAndTodosAreFiled)
{
    const qint32 smith = office.addEmployee("Smith", "John", "JS", "FRONT");

    tzsndmsg::NoteEntry note;
    note.text = "From: SUPERVISOR\r\nSubject: Bob's 'payroll'";
    note.source = "CM";
    note.messageId = 42;
    note.category = "Message";
    note.subCategory = "General";
    note.payrollRelated = true;
    note.saveAfterDisplay = false;
    QString error;
    ASSERT_TRUE(services->writeNote(smith, note, &error)) << error.toStdString();

    tzsndmsg::NoteEntry todo;
    todo.text = "Call back";
    todo.source = "CM";
    todo.category = "ToDo";
    todo.subCategory = "Comment";
    todo.date = QDate(2026, 12, 7);
    todo.loginName = "DESK";
    todo.title = "Call Mrs. O'Neil";
    ASSERT_TRUE(services->writeTodo(smith, todo, &error)) << error.toStdString();

    EXPECT_EQ(
        office.rows("SELECT NTPid, NTKind, NTTxt, NTSrc, NTLinID, NTCat, NTPayRel, NTSavAft, "
                    "NTWho FROM NoteTable WHERE NTKind = 'Note'"),
        QStringList{QString("%1|Note|%2|CM|42|Message|-1|0|FRONT").arg(smith).arg(note.text)});
    EXPECT_EQ(office.rows("SELECT NTSubCat, NTWho, NTTitle FROM NoteTable WHERE NTKind = 'ToDo'"),
              QStringList{"Comment|DESK|" + todo.title});
    auto rs = office.query("SELECT NTDat FROM NoteTable ORDER BY NTID");
    ASSERT_EQ(rs.recordCount(), 2);
    rs.moveFirst();
    EXPECT_EQ(rs.value(0).toDateTime(), QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
    rs.moveNext();
    EXPECT_EQ(rs.value(0).toDateTime().date(), QDate(2026, 12, 7));
}

TEST_F(HostServices, SeamsWithoutAHostHandlerAndCannedTextsByStore)
{
    QString title = "Subject";
    EXPECT_FALSE(services->openTodoDialog(nullptr, title));
    EXPECT_EQ(services->chooseCannedText(nullptr, "Select Office Messages", "MSGDB-OFFI"),
              QString());

    const QStringList columns = {"CTStoNam", "CTTit", "CTTxt"};
    office.insert("CannedTextTable", "CTKeyID", columns, {"MSGDB-OFFI", "Lunch", "Gone to lunch"});
    office.insert("CannedTextTable", "CTKeyID", columns, {"msgdb-offi", "Back", "Back at 2"});
    office.insert("CannedTextTable", "CTKeyID", columns, {"MSGDB1", "Mine", "Personal text"});
    const auto texts = services->cannedTexts("MSGDB-OFFI");
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts.at(0).first, "Back");
    EXPECT_EQ(texts.at(1).second, "Gone to lunch");
    EXPECT_TRUE(services->cannedTexts("nothing").isEmpty());

    // Without a host handler the lab-order link is recorded and accepted.
    EXPECT_TRUE(services->announceLabOrderMessage("FRONT", 17, 9001));
    EXPECT_EQ(office.rows("SELECT LOMsgID, LOOrdID, LOSender FROM LabOrderLinkTable"),
              QStringList{"17|9001|FRONT"});

    services->setLabOrderHandler([](const QString&, qint64, qint64) { return false; });
    EXPECT_FALSE(services->announceLabOrderMessage("FRONT", 18, 9002));
    EXPECT_EQ(office.count("LabOrderLinkTable"), 1);
}

TEST_F(HostServices, BusyNestsAndFreezeRestoresPainting)
{
    EXPECT_FALSE(services->isBusy());
    services->setBusy(nullptr, true);
    services->setBusy(nullptr, true);
    services->setBusy(nullptr, false);
    EXPECT_TRUE(services->isBusy());
    services->setBusy(nullptr, false);
    services->setBusy(nullptr, false); // one too many does not go below idle
    EXPECT_FALSE(services->isBusy());
    services->setBusy(nullptr, true);
    EXPECT_TRUE(services->isBusy());

    QWidget a, b;
    services->freezeWindow(&a);
    EXPECT_FALSE(a.updatesEnabled());
    services->freezeWindow(&b); // one window at a time
    EXPECT_TRUE(a.updatesEnabled());
    EXPECT_FALSE(b.updatesEnabled());
    services->freezeWindow(nullptr);
    EXPECT_TRUE(b.updatesEnabled());
}

namespace {

// A host that writes only what every host must: its connections, folders, login and people.
class LeanHost : public tzsndmsg::HostServices {
public:
    LeanHost(std::shared_ptr<tzsndmsg::db::Database> db, QString folder)
        : m_db(std::move(db)), m_folder(std::move(folder))
    {
    }
    std::shared_ptr<tzsndmsg::db::Database> personsConnection() override { return m_db; }
    std::shared_ptr<tzsndmsg::db::Database> suiteConnection() override { return m_db; }
    std::shared_ptr<tzsndmsg::db::Database> messageStoreConnection() override { return m_db; }
    QString dataFolder() const override { return m_folder; }
    QString helpFolder() const override { return QString(); }
    void setLogin(const QString&) override {}
    QString currentLoginName() const override { return QString("FRONT"); }
    QString computerName() const override { return QString("WS1"); }
    qint32 employeeOfLogin(const QString&) override { return 0; }
    bool checkRight(const QString&, const QString&, const QString&, const QString&) override
    {
        return false;
    }
    bool loginMayChooseSender(const QString&) override { return false; }
    QString personName(qint32 id) override { return id == 1 ? QString("Ann") : QString(); }
    QString personDepartment(qint32) override { return QString(); }
    bool writeNote(qint32, const tzsndmsg::NoteEntry&, QString*) override { return false; }
    bool writeTodo(qint32, const tzsndmsg::NoteEntry&, QString*) override { return false; }

private:
    std::shared_ptr<tzsndmsg::db::Database> m_db;
    QString m_folder;
};

// Points every layer of the workstation's configuration into a temporary folder.
class WorkstationConfigTest : public ::testing::Test {
protected:
    WorkstationConfigTest()
    {
        const QByteArray root = dir.path().toUtf8();
        set("TZSNDMSG_HOME", root + "/home");
        set("XDG_CONFIG_HOME", root + "/config");
        set("TZSNDMSG_SYSTEM_CONFIG", root + "/etc.conf");
        for (const char* name : {"TZSNDMSG_DB_URL", "TZSNDMSG_DATA", "TZSNDMSG_HELP",
                                 "TZSNDMSG_LOGIN", "TZSNDMSG_COMPUTER"})
            set(name);
    }
    ~WorkstationConfigTest() override
    {
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            set(it.key().constData(), it.value());
    }

    // Sets a variable, or unsets it given a null value; the first value of each is kept to be
    // given back.
    void set(const char* name, const QByteArray& value = {})
    {
        if (!saved.contains(name))
            saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    void write(const QString& relative, const QByteArray& content)
    {
        ASSERT_TRUE(writeFile(path(relative), content));
    }

    QTemporaryDir dir;
    QHash<QByteArray, QByteArray> saved;
};

} // namespace

// What a host does not write works over its one database as the office's own services do.
TEST_F(HostServices, ALeanHostGetsTheDefaultsOverItsDatabase)
{
    LeanHost host(office.db(), services->dataFolder());
    EXPECT_TRUE(host.startUp());
    EXPECT_EQ(host.connectionByIndex(9), office.db());
    EXPECT_EQ(host.stationText(), "WS1 FRONT");
    EXPECT_EQ(host.personNames({1, 2, 1}), (QHash<qint32, QString>{{1, QString("Ann")}}));
    EXPECT_EQ(host.readSetting("QNS_OFFICE_SETUP", "OFFICE_LUNCH_LENGTH", 1, 30), QVariant(30));
    EXPECT_EQ(host.currentDateTime().time().msec(), 0) << "the clock counts whole seconds";

    // The record writer and the adapter on the host's connection, quoting by its driver.
    qint64 key = 0;
    QString error;
    ASSERT_TRUE(host.writeRecord(9, "PWMTable", "PWMID", key, {"PWMUseNam", "PWMPID"},
                                 {"O'NEIL", "0"}, &error))
        << error.toStdString();
    EXPECT_GT(key, 0);
    const QString sql =
        host.adaptSql("SELECT count(*) FROM PWMTable WHERE PWMUseNam=" + host.quote("O'NEIL"));
    EXPECT_EQ(office.db()->scalar(sql).toInt(), 1);

    // Nothing of the suite's own: no dialogs, no lab link, no main window.
    QString title;
    EXPECT_FALSE(host.openTodoDialog(nullptr, title));
    EXPECT_TRUE(host.chooseCannedText(nullptr, "x", "y").isEmpty());
    EXPECT_FALSE(host.announceLabOrderMessage("FRONT", 1, 2));
    EXPECT_EQ(host.mainWindow(), nullptr);
}

TEST_F(WorkstationConfigTest, EachLayerOverTheOneBefore)
{
    using tzglob::WorkstationConfig;
    auto config = WorkstationConfig::load();
    EXPECT_EQ(config.toConfig().databaseUrl, "sqlite://" + path("home/office.db"));
    EXPECT_EQ(config.toConfig().dataFolder, path("home/data/"));
    EXPECT_EQ(config.loginName.value, "SUPERVISOR");
    EXPECT_EQ(config.databaseUrl.origin, "default");

    // The office's shared folder names a login; the machine's file overrides the data folder and
    // the computer; the user's file the login; the environment the database.
    write("shared/settings.ini", "[Workstation]\nLoginName=anna\nComputerName=FRONTDESK\n");
    write("etc.conf", "data=" + path("shared").toUtf8() + "\ncomputer=front-2\n");
    config = WorkstationConfig::load();
    EXPECT_EQ(config.toConfig().loginName, "ANNA");
    EXPECT_TRUE(config.loginName.origin.endsWith("settings.ini [Workstation]"));
    EXPECT_EQ(config.toConfig().computerName, "FRONT-2");
    EXPECT_EQ(config.computerName.origin, path("etc.conf"));

    write("config/tzsndmsg/tzsndmsg.conf", "login=ben\ndatabase=sqlite:///from/user.db\n");
    set("TZSNDMSG_DB_URL", "postgresql://clinic@server:5432/office");
    config = WorkstationConfig::load();
    EXPECT_EQ(config.toConfig().loginName, "BEN");
    EXPECT_EQ(config.toConfig().databaseUrl, "postgresql://clinic@server:5432/office");
    EXPECT_EQ(config.databaseUrl.origin, "environment TZSNDMSG_DB_URL");
    EXPECT_EQ(config.filesRead,
              QStringList({path("etc.conf"), path("config/tzsndmsg/tzsndmsg.conf")}));
}

TEST_F(WorkstationConfigTest, AnotherDataFolderBringsItsOwnWorkstation)
{
    using tzglob::WorkstationConfig;
    write("home/data/settings.ini", "[Workstation]\nLoginName=ANNA\nComputerName=FRONTDESK\n");
    write("other/settings.ini", "[Workstation]\nLoginName=DAVE\n");
    auto config = WorkstationConfig::load();
    ASSERT_EQ(config.toConfig().loginName, "ANNA");

    config.set(config.dataFolder, path("other"), "--data");
    EXPECT_EQ(config.toConfig().dataFolder, path("other/"));
    EXPECT_EQ(config.toConfig().loginName, "DAVE");
    // The first folder's computer belonged to it; the new folder names none.
    EXPECT_EQ(config.computerName.origin, "default");

    // A login from a settings file is the workstation's own, whatever the folder.
    write("etc.conf", "login=maria\n");
    config = WorkstationConfig::load();
    config.set(config.dataFolder, path("other"), "--data");
    EXPECT_EQ(config.toConfig().loginName, "MARIA");
}

TEST_F(WorkstationConfigTest, AFileThatCannotBeReadIsSkipped)
{
    QDir().mkpath(path("etc.conf")); // a folder where the file should be
    write("config/tzsndmsg/tzsndmsg.conf", QByteArray("\xff\xfe\x00garbage=\n[", 13));
    const auto config = tzglob::WorkstationConfig::load();
    EXPECT_EQ(config.databaseUrl.origin, "default");
    EXPECT_EQ(config.toConfig().loginName, "SUPERVISOR");
    // Skipped, but not without a word.
    EXPECT_EQ(config.refused, "the configuration file " + path("etc.conf") + " is a folder");
    EXPECT_EQ(
        config.warnings,
        QStringList({path("config/tzsndmsg/tzsndmsg.conf") + ":1: not a line of text; ignored",
                     path("config/tzsndmsg/tzsndmsg.conf") + ":2: not a key=value line; ignored"}));
}
