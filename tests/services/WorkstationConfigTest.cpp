#include "tzsndmsg/WorkstationConfig.h"

#include "core/FileSystemHelpers.h"
#include "support/TestPrinters.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

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
        ASSERT_TRUE(tzsndmsg::testing::writeFile(path(relative), content));
    }

    QTemporaryDir dir;
    QHash<QByteArray, QByteArray> saved;
};

} // namespace

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
