// tzsndmsg watch and tzsndmsg tray through the real program: JSON lines, exit codes, signals.
#include "support/Program.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
            out << line.value(QStringLiteral("event")).toString();
        return out;
    }
    // Reads a running process's lines until one has the event (or the time is up).
    static QJsonObject waitForEvent(QProcess& p, QList<QJsonObject>& seen, const QString& event,
                                    int ms = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            while (p.canReadLine()) {
                const QJsonObject line = QJsonDocument::fromJson(p.readLine()).object();
                seen << line;
                if (line.value(QStringLiteral("event")).toString() == event)
                    return line;
            }
            p.waitForReadyRead(100);
        }
        return {};
    }

    qint32 personOf(const QString& login)
    {
        auto db = tzsndmsg::db::Database::open(office.databaseUrl());
        return db->scalar(QStringLiteral("select PWMPID from PWMTable where PWMUseNam=?"), {login})
            .toInt();
    }

};

TEST_F(WatchProgram, OnceTellsWhatIsPendingThenNothingMore)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    const QStringList anna{QStringLiteral("watch"), QStringLiteral("--once"), QStringLiteral("--login"),
                           QStringLiteral("ANNA"), QStringLiteral("--computer"),
                           QStringLiteral("FRONTDESK")};
    const Told first = tell(anna);
    ASSERT_EQ(first.code, 0) << first.err.toStdString();
    const QStringList told = events(first.lines);
    EXPECT_GE(told.count(QStringLiteral("arrived")), 2) << told.join(u' ').toStdString();
    ASSERT_EQ(told.last(), QStringLiteral("unread"));
    const QJsonObject arrival = first.lines.first();
    EXPECT_FALSE(arrival.value(QStringLiteral("subject")).toString().isEmpty());
    EXPECT_GT(arrival.value(QStringLiteral("BroChkID")).toInt(), 0);
    EXPECT_TRUE(arrival.value(QStringLiteral("late")).toBool()) << "sent days before the first start";

    const Told again = tell(anna);
    ASSERT_EQ(again.code, 0);
    EXPECT_EQ(events(again.lines), QStringList{QStringLiteral("unread")}) << "nothing told twice";
    EXPECT_EQ(again.lines.last().value(QStringLiteral("count")),
              first.lines.last().value(QStringLiteral("count")));
}

TEST_F(WatchProgram, TellsAMessageFromAnotherWorkstationAndEndsCleanlyOnSigterm)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    const auto watch = start({QStringLiteral("watch"), QStringLiteral("--login"), QStringLiteral("DAVE"),
                  QStringLiteral("--computer"), QStringLiteral("LAB"), QStringLiteral("--stats")});
    QList<QJsonObject> seen;
    ASSERT_FALSE(waitForEvent(*watch, seen, QStringLiteral("ready")).isEmpty())
        << watch->readAllStandardError().toStdString();

    // A second watcher of the same login and computer is refused.
    const Outcome second = run({QStringLiteral("watch"), QStringLiteral("--once"),
                                QStringLiteral("--login"), QStringLiteral("DAVE"),
                                QStringLiteral("--computer"), QStringLiteral("LAB")});
    EXPECT_EQ(second.code, 1);
    EXPECT_TRUE(second.err.contains(QStringLiteral("another watcher"))) << second.err.toStdString();

    // To Dave and to his computer: one line with both rows, the first as BroChkID.
    const Outcome sent = run({QStringLiteral("announce"), QStringLiteral("--text"),
                              QStringLiteral("Courier at the back door"), QStringLiteral("--to"),
                              QString::number(personOf(QStringLiteral("DAVE"))),
                              QStringLiteral("--to-computers"), QStringLiteral("LAB")});
    ASSERT_EQ(sent.code, 0) << sent.err.toStdString();
    const QJsonObject arrived = waitForEvent(*watch, seen, QStringLiteral("arrived"));
    EXPECT_EQ(arrived.value(QStringLiteral("text")).toString(),
              QStringLiteral("Courier at the back door"));
    EXPECT_FALSE(arrived.value(QStringLiteral("late")).toBool());
    const QJsonArray rows = arrived.value(QStringLiteral("BroChkIDs")).toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).toInt(), arrived.value(QStringLiteral("BroChkID")).toInt());
    EXPECT_NE(rows.at(0).toInt(), rows.at(1).toInt());
    // The sender by name, the login beside it.
    {
        auto db = tzsndmsg::db::Database::open(office.databaseUrl());
        const QVariant id = arrived.value(QStringLiteral("cmID")).toVariant();
        const QString login = db->scalar(QStringLiteral("select cmWho from CMTable where cmID=?"), {id}).toString();
        const QString name =
            db->scalar(QStringLiteral("select PFirNam || ' ' || PLasNam from PATable where pID=?"),
                       {arrived.value(QStringLiteral("senderId")).toVariant()})
                .toString();
        ASSERT_FALSE(login.isEmpty());
        ASSERT_FALSE(name.trimmed().isEmpty());
        EXPECT_EQ(arrived.value(QStringLiteral("senderLogin")).toString(), login);
        EXPECT_EQ(arrived.value(QStringLiteral("sender")).toString(), name);
    }

    watch->terminate();
    ASSERT_TRUE(watch->waitForFinished(10000));
    EXPECT_EQ(watch->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch->exitCode(), 0);
    const QList<QJsonObject> last = jsonLines(watch->readAllStandardOutput());
    ASSERT_FALSE(last.isEmpty());
    EXPECT_EQ(last.last().value(QStringLiteral("event")).toString(), QStringLiteral("stats"));
    EXPECT_FALSE(events(last).contains(QStringLiteral("arrived"))) << "told once";
}

TEST_F(WatchProgram, BadArgumentsAndAMissingOfficeAreRefused)
{
    const struct {
        QStringList args;
        int code;
    } cases[] = {
        {{QStringLiteral("watch"), QStringLiteral("--file-check"), QStringLiteral("often")}, 2},
        {{QStringLiteral("watch"), QStringLiteral("--once"), QStringLiteral("extra")}, 2},
        {{QStringLiteral("watch"), QStringLiteral("--once")}, 2}, // no office made yet
        {{QStringLiteral("tray")}, 2},                            // offscreen: nobody would see it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Outcome r = run(c.args);
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
}

TEST_F(WatchProgram, TrayRendersItsNotificationAndItsMenu)
{
    ASSERT_EQ(run({QStringLiteral("init"), QStringLiteral("--demo")}).code, 0);
    for (const QString what : {QString(), QStringLiteral("--menu"), QStringLiteral("--summary")}) {
        SCOPED_TRACE(what.isEmpty() ? "notification" : qPrintable(what));
        const QString file = home.filePath(what.mid(2) + QStringLiteral("shot.png"));
        QStringList args{QStringLiteral("tray"), QStringLiteral("--login"), QStringLiteral("ANNA"),
                         QStringLiteral("--computer"), QStringLiteral("FRONTDESK"),
                         QStringLiteral("--screenshot"), file};
        if (!what.isEmpty())
            args << what;
        const Outcome r = run(args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QImage image(file);
        EXPECT_GT(image.width(), 100);
        EXPECT_GT(image.height(), 40);
    }
    // The workstation's own state is untouched by a render.
    EXPECT_FALSE(QFileInfo::exists(home.path() + QStringLiteral("/state/tzsndmsg")) &&
                 !QDir(home.path() + QStringLiteral("/state/tzsndmsg"))
                      .entryList({QStringLiteral("tray-*")})
                      .isEmpty());
}

} // namespace
