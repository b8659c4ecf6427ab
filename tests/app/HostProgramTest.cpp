#include "support/Program.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

using namespace tzsndmsg::testing;

namespace {

// The host program on this test's own office database and data folder.
class HostProgram : public ProgramTest {};

} // namespace

TEST_F(HostProgram, InitDemoMakesAnOfficeWhoseInboxReadsAsText)
{
    const Outcome init = run({QStringLiteral("init"), QStringLiteral("--demo")});
    ASSERT_EQ(init.code, 0) << init.err.toStdString();
    EXPECT_TRUE(QFileInfo(data() + QStringLiteral("ICO/SMALL/Send Message.ico")).exists());

    const Outcome inbox = run({QStringLiteral("inbox"), QStringLiteral("--login"),
                           QStringLiteral("anna"), QStringLiteral("--computer"),
                           QStringLiteral("FRONTDESK")});
    ASSERT_EQ(inbox.code, 0) << inbox.err.toStdString();
    EXPECT_TRUE(inbox.out.contains(QStringLiteral("Room 2 autoclave"))) << inbox.out.toStdString();
    // Addressed to the workstation, not to Anna.
    EXPECT_TRUE(inbox.out.contains(QStringLiteral("Front desk printer")));
    // Purged messages are history, not inbox.
    EXPECT_FALSE(inbox.out.contains(QStringLiteral("Flu shots")));
    EXPECT_TRUE(inbox.out.contains(QStringLiteral("\n*"))) << "no unread mark";

    const Outcome history = run({QStringLiteral("inbox"), QStringLiteral("--login"),
                             QStringLiteral("ANNA"), QStringLiteral("--history")});
    ASSERT_EQ(history.code, 0);
    EXPECT_TRUE(history.out.contains(QStringLiteral("Flu shots")));

    const Outcome sent = run({QStringLiteral("inbox"), QStringLiteral("--login"), QStringLiteral("DAVE"),
                          QStringLiteral("--sent")});
    ASSERT_EQ(sent.code, 0);
    EXPECT_TRUE(sent.out.contains(QStringLiteral("Room 2 autoclave")));
    EXPECT_FALSE(sent.out.contains(QStringLiteral("Front desk printer")));
}

TEST_F(HostProgram, InitTwiceChangesNothing)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    auto db = tzsndmsg::db::Database::open(office.databaseUrl());
    ASSERT_TRUE(db);
    const qint64 messages = db->scalar(QStringLiteral("select count(*) from CMTable")).toLongLong();
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    EXPECT_EQ(db->scalar(QStringLiteral("select count(*) from CMTable")).toLongLong(), messages);
}

TEST_F(HostProgram, BadSetUpIsRefusedWithExitCodeTwo)
{
    const struct {
        QStringList args;
        bool common;
    } cases[] = {
        {{}, false},
        {{QStringLiteral("frobnicate")}, false},
        {{QStringLiteral("inbox"), QStringLiteral("--bogus")}, true},
        {{QStringLiteral("inbox"), QStringLiteral("--db"), QStringLiteral("nonsense://x"),
          QStringLiteral("--data"), QStringLiteral("/tmp")},
         false},
        {{QStringLiteral("inbox"), QStringLiteral("--data"),
          QStringLiteral("/nonexistent/tzsndmsg-data")},
         false},
        {{QStringLiteral("holidays"), QStringLiteral("--list"), QStringLiteral("next")}, true},
        {{QStringLiteral("events"), QStringLiteral("--event"), QStringLiteral("x1")}, true},
        // A window on the offscreen platform, not rendered to a file, would wait for ever.
        {{QStringLiteral("send"), QStringLiteral("--subject"), QStringLiteral("Toner"),
          QStringLiteral("--body"), QStringLiteral("Ordered")},
         true},
        {{QStringLiteral("holidays")}, true},
        {{QStringLiteral("setup")}, true},
    };
    for (const auto& c : cases) {
        const Outcome r = c.common ? run(c.args) : runAlone(c.args);
        EXPECT_EQ(r.code, 2) << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty()) << c.args.join(' ').toStdString();
    }
}

TEST_F(HostProgram, HolidaysOfAYearAreListedWithTheirDaysOff)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    const Outcome r = run({QStringLiteral("holidays"), QStringLiteral("--list"), QStringLiteral("2026")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    // The 4th of July 2026 is a Saturday: the office is closed on Friday the 3rd.
    const QString july = r.out.section(QStringLiteral("Independence Day"), 0, 0).section('\n', -1);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Independence Day")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("07/03/2026")) || july.contains(QStringLiteral("Jul 3")))
        << r.out.toStdString();
    EXPECT_LT(r.out.indexOf(QStringLiteral("Memorial Day")), r.out.indexOf(QStringLiteral("Labor Day")));
}

TEST_F(HostProgram, AnAnnouncementReachesAnotherLoginsInbox)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    auto db = tzsndmsg::db::Database::open(office.databaseUrl());
    ASSERT_TRUE(db);
    const qint64 ben =
        db->scalar(QStringLiteral("select PWMPID from PWMTable where PWMUseNam='BEN'")).toLongLong();
    ASSERT_GT(ben, 0);
    const Outcome announce = run({QStringLiteral("announce"), QStringLiteral("--text"),
                              QStringLiteral("Fire drill at 3 pm today"), QStringLiteral("--to"),
                              QString::number(ben), QStringLiteral("--login"),
                              QStringLiteral("MARIA")});
    ASSERT_EQ(announce.code, 0) << announce.err.toStdString();
    const Outcome inbox = run({QStringLiteral("inbox"), QStringLiteral("--login"), QStringLiteral("BEN"),
                           QStringLiteral("--computer"), QStringLiteral("EXAM-1")});
    ASSERT_EQ(inbox.code, 0);
    EXPECT_TRUE(inbox.out.contains(QStringLiteral("Fire drill at 3 pm today")))
        << inbox.out.toStdString();

    // A computer the list does not know may be a new one: sent to, and said once.
    const Outcome toNew = run({QStringLiteral("announce"), QStringLiteral("--text"), QStringLiteral("Printer moved"),
                               QStringLiteral("--to-computers"), QStringLiteral("exam-1,exam-9"),
                               QStringLiteral("--login"), QStringLiteral("MARIA")});
    ASSERT_EQ(toNew.code, 0) << toNew.err.toStdString();
    EXPECT_EQ(toNew.err.count(QStringLiteral("not in the computer list")), 1) << toNew.err.toStdString();
    EXPECT_TRUE(toNew.err.contains(QStringLiteral("EXAM-9"))) << toNew.err.toStdString();
    // The demo office has its own message to EXAM-1: count only this one's rows.
    EXPECT_EQ(db->scalar(QStringLiteral("select count(*) from BroChkTable where BroChkToMac in ('EXAM-1','EXAM-9') "
                                        "and BroChkLinID = (select max(cmID) from CMTable)"))
                  .toInt(),
              2);
}

TEST_F(HostProgram, WindowsRenderToAFile)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    for (const QString& command :
         {QStringLiteral("holidays"), QStringLiteral("events"), QStringLiteral("messages"),
          QStringLiteral("setup")}) {
        const QString file = home.path() + QLatin1Char('/') + command + QStringLiteral(".png");
        const Outcome r = run({command, QStringLiteral("--login"), QStringLiteral("MARIA"),
                           QStringLiteral("--screenshot"), file});
        EXPECT_EQ(r.code, 0) << command.toStdString() << ": " << r.err.toStdString();
        const QImage image(file);
        EXPECT_GT(image.width(), 300) << command.toStdString();
    }
}

TEST_F(HostProgram, SetupIsRefusedToALoginWithoutTheSupervisorRight)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    const QString file = home.path() + QStringLiteral("/setup.png");
    const Outcome r = run({QStringLiteral("setup"), QStringLiteral("--login"), QStringLiteral("ANNA"),
                           QStringLiteral("--screenshot"), file});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("supervisor right"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(HostProgram, AWorkstationsSettingsFilesReplaceTheFlags)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    // The machine names the office; the user's file names the login; the environment the
    // computer. No flag is given.
    writeFile(QStringLiteral("etc.conf"),
              "database=" + office.databaseUrl().toUtf8() + "\ndata=" + data().toUtf8() +
                  "\nlogin=MARIA\n");
    writeFile(QStringLiteral("config/tzsndmsg/tzsndmsg.conf"), "login=ben\n");
    env.insert(QStringLiteral("TZSNDMSG_COMPUTER"), QStringLiteral("exam-1"));

    const Outcome config = runAlone({QStringLiteral("config")});
    ASSERT_EQ(config.code, 0) << config.err.toStdString();
    const auto lineOf = [&](const QString& key) {
        for (const QString& line : config.out.split(QLatin1Char('\n')))
            if (line.startsWith(key + QLatin1Char(' ')))
                return line;
        return QString();
    };
    EXPECT_TRUE(lineOf(QStringLiteral("database")).contains(QStringLiteral("etc.conf")));
    EXPECT_TRUE(lineOf(QStringLiteral("login")).contains(QStringLiteral("BEN")));
    EXPECT_TRUE(lineOf(QStringLiteral("login")).contains(QStringLiteral("config/tzsndmsg/tzsndmsg.conf")));
    EXPECT_TRUE(lineOf(QStringLiteral("computer")).contains(QStringLiteral("EXAM-1")));
    EXPECT_TRUE(lineOf(QStringLiteral("computer")).contains(QStringLiteral("TZSNDMSG_COMPUTER")));

    const Outcome inbox = runAlone({QStringLiteral("inbox")});
    ASSERT_EQ(inbox.code, 0) << inbox.err.toStdString();
    EXPECT_TRUE(inbox.out.contains(QStringLiteral("of BEN at EXAM-1"))) << inbox.out.toStdString();

    // A flag still wins over every file.
    const Outcome flagged = runAlone({QStringLiteral("config"), QStringLiteral("--login"),
                                 QStringLiteral("dave")});
    EXPECT_TRUE(flagged.out.contains(QStringLiteral("DAVE    (--login)"))) << flagged.out.toStdString();
}

TEST_F(HostProgram, EveryCommandDescribesItsOptionsAndTheProgramItsVersion)
{
    const Outcome version = runAlone({QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("tzsndmsg 1."))) << version.out.toStdString();
    for (const QString& command :
         {QStringLiteral("init"), QStringLiteral("messages"), QStringLiteral("events"),
          QStringLiteral("holidays"), QStringLiteral("send"), QStringLiteral("announce"),
          QStringLiteral("inbox"), QStringLiteral("config"), QStringLiteral("check"),
          QStringLiteral("staff"), QStringLiteral("logins"), QStringLiteral("computers"),
          QStringLiteral("setup")}) {
        // Window commands too: asking for help opens nothing.
        const Outcome help = runAlone({command, QStringLiteral("--help")});
        EXPECT_EQ(help.code, 0) << command.toStdString() << ": " << help.err.toStdString();
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: tzsndmsg ") + command))
            << help.out.toStdString();
        EXPECT_TRUE(help.out.contains(QStringLiteral("--db <URL>"))) << command.toStdString();
    }
}
