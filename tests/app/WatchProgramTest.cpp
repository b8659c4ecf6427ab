// tzsndmsg watch and tzsndmsg tray through the real program: JSON lines, exit codes, signals.
#include "support/Program.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

using namespace tzsndmsg::testing;

namespace {

class WatchProgram : public ProgramTest {
protected:
    // A run with the JSON lines it printed.
    struct Told : Outcome {
        QList<QJsonObject> lines;
    };
    Told tell(const QStringList& args) const
    {
        Told told{run(args), {}};
        told.lines = jsonLines(told.out.toUtf8());
        return told;
    }
    static QList<QJsonObject> jsonLines(const QByteArray& out)
    {
        QList<QJsonObject> lines;
        for (const QByteArray& line : out.split('\n'))
            if (!line.trimmed().isEmpty())
                lines << QJsonDocument::fromJson(line).object();
        return lines;
    }
    static QStringList events(const QList<QJsonObject>& lines)
    {
        QStringList out;
        for (const QJsonObject& line : lines)
            out << line.value("event").toString();
        return out;
    }
    qint32 personOf(const QString& login)
    {
        return office.scalar("select PWMPID from PWMTable where PWMUseNam=?", {login}).toInt();
    }
};

TEST_F(WatchProgram, OnceTellsWhatIsPendingThenNothingMore)
{
    ASSERT_EQ(run({"init", "--demo"}).code, 0);
    const QStringList anna{"watch", "--once", "--login", "ANNA", "--computer", "FRONTDESK"};
    const Told first = tell(anna);
    ASSERT_EQ(first.code, 0) << first.err.toStdString();
    const QStringList told = events(first.lines);
    EXPECT_GE(told.count("arrived"), 2) << told.join(u' ').toStdString();
    ASSERT_EQ(told.last(), "unread");
    const QJsonObject arrival = first.lines.first();
    EXPECT_FALSE(arrival.value("subject").toString().isEmpty());
    EXPECT_GT(arrival.value("BroChkID").toInt(), 0);
    EXPECT_TRUE(arrival.value("late").toBool()) << "sent days before the first start";

    const Told again = tell(anna);
    ASSERT_EQ(again.code, 0);
    EXPECT_EQ(events(again.lines), QStringList{"unread"}) << "nothing told twice";
    EXPECT_EQ(again.lines.last().value("count"), first.lines.last().value("count"));
}

TEST_F(WatchProgram, TellsAMessageFromAnotherWorkstationAndEndsCleanlyOnSigterm)
{
    ASSERT_EQ(run({"init", "--demo"}).code, 0);
    const auto watch = start({"watch", "--login", "DAVE", "--computer", "LAB", "--stats"});
    QList<QJsonObject> seen;
    ASSERT_FALSE(waitForEvent(*watch, seen, "ready").isEmpty())
        << watch->readAllStandardError().toStdString();

    // A second watcher of the same login and computer is refused.
    const Outcome second = run({"watch", "--once", "--login", "DAVE", "--computer", "LAB"});
    EXPECT_EQ(second.code, 1);
    EXPECT_TRUE(second.err.contains("another watcher")) << second.err.toStdString();

    // To Dave and to his computer: one line with both rows, the first as BroChkID.
    const Outcome sent = run({"announce", "--text", "Courier at the back door", "--to",
                              QString::number(personOf("DAVE")), "--to-computers", "LAB"});
    ASSERT_EQ(sent.code, 0) << sent.err.toStdString();
    const QJsonObject arrived = waitForEvent(*watch, seen, "arrived");
    EXPECT_EQ(arrived.value("text").toString(), "Courier at the back door");
    EXPECT_FALSE(arrived.value("late").toBool());
    const QJsonArray rows = arrived.value("BroChkIDs").toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).toInt(), arrived.value("BroChkID").toInt());
    EXPECT_NE(rows.at(0).toInt(), rows.at(1).toInt());
    // The sender by name, the login beside it.
    EXPECT_EQ(
        office.rows("select cmWho, PFirNam || ' ' || PLasNam from CMTable, PATable where "
                    "cmID=? and pID=?",
                    {arrived.value("cmID").toVariant(), arrived.value("senderId").toVariant()}),
        QStringList{arrived.value("senderLogin").toString() + '|' +
                    arrived.value("sender").toString()});
    EXPECT_FALSE(arrived.value("senderLogin").toString().isEmpty());
    EXPECT_FALSE(arrived.value("sender").toString().trimmed().isEmpty());

    watch->terminate();
    ASSERT_TRUE(watch->waitForFinished(10000));
    EXPECT_EQ(watch->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch->exitCode(), 0);
    const QList<QJsonObject> last = jsonLines(watch->readAllStandardOutput());
    ASSERT_FALSE(last.isEmpty());
    EXPECT_EQ(last.last().value("event").toString(), "stats");
    EXPECT_FALSE(events(last).contains("arrived")) << "told once";
}

TEST_F(WatchProgram, AnOfficeNotMadeYetIsRefused)
{
    const Outcome r = run({"watch", "--once"});
    EXPECT_EQ(r.code, 2) << r.err.toStdString();
    EXPECT_FALSE(r.err.isEmpty());
}

TEST_F(WatchProgram, TrayRendersItsNotificationAndItsMenu)
{
    ASSERT_EQ(run({"init", "--demo"}).code, 0);
    for (const QString& what : {QString(), u"--menu"_s, u"--summary"_s}) {
        SCOPED_TRACE(what.isEmpty() ? "notification" : qPrintable(what));
        const QString file = home.filePath(what.mid(2) + "shot.png");
        QStringList args{"tray",      "--login",      "ANNA", "--computer",
                         "FRONTDESK", "--screenshot", file};
        if (!what.isEmpty())
            args << what;
        const Outcome r = run(args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QImage image(file);
        EXPECT_GT(image.width(), 100);
        EXPECT_GT(image.height(), 40);
    }
    // The workstation's own state is untouched by a render.
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/state/tzsndmsg") &&
                 !QDir(home.path() + "/state/tzsndmsg").entryList({"tray-*"}).isEmpty());
}

} // namespace
