// The host program under load and faults: many workstations sending at once, processes killed
// in the middle of a save, a database that is locked, read-only or damaged, a signal file held
// by another program. Every process runs under a time limit; a hang fails the test. What a
// process reports must match what the store holds: a send is there whole, or not at all.
#include "support/Program.h"
#include "tzsndmsg/db/Database.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tzsndmsg::testing {
namespace {

// A large save: the text and the addressees.
QString bodyOf(const QString& marker, int length)
{
    QString body = marker + QStringLiteral(": ");
    for (int i = 0; body.size() < length; ++i)
        body += QStringLiteral("line %1 of the announcement, with 'quotes' and \\ backslashes\n")
                    .arg(i);
    return body;
}

class Reliability : public ::testing::Test {
protected:
    Reliability() : office(programOffice()), host(HostRun::inHome(home.path())) {}

    void SetUp() override
    {
        const Outcome init = host.run({QStringLiteral("init"), QStringLiteral("--demo")}, url());
        ASSERT_EQ(init.code, 0) << init.err.toStdString();
    }

    QString data() const { return home.path() + QStringLiteral("/data/"); }
    QString url() const { return office.databaseUrl(); }
    QString urlWith(const QString& option) const
    {
        return url() + (url().contains(u'?') ? u'&' : u'?') + option;
    }

    QStringList announce(const QString& text, const QList<qint32>& to) const
    {
        return {QStringLiteral("announce"),
                QStringLiteral("--login"),
                QStringLiteral("MARIA"),
                QStringLiteral("--text"),
                text,
                QStringLiteral("--to"),
                idList(to)};
    }

    QList<qint32> addPersons(int count)
    {
        QList<qint32> ids;
        EXPECT_TRUE(office.db()->transaction());
        for (int i = 0; i < count; ++i)
            ids << office.addPerson(QStringLiteral("Temp%1").arg(i), QStringLiteral("Staff"),
                                    QStringLiteral("T%1").arg(i));
        EXPECT_TRUE(office.db()->commit());
        return ids;
    }

    // What the store holds of the messages whose text starts with the marker.
    struct Stored {
        int headers = 0;
        int details = 0;
        QList<qint32> persons; // of every addressee row
        QString text;
    };
    Stored stored(const QString& marker)
    {
        Stored s;
        db::Recordset rs =
            office.query(QStringLiteral("SELECT cmID, cmDoc FROM CMTable WHERE cmDoc LIKE ?"),
                         {marker + QStringLiteral(":%")});
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            ++s.headers;
            const qint64 id = rs.value(QStringLiteral("cmID")).toLongLong();
            s.text = rs.value(QStringLiteral("cmDoc")).toString();
            s.details += office.count(QStringLiteral("EVTable"), QStringLiteral("EvLinID=?"), {id});
            db::Recordset rows = office.query(
                QStringLiteral("SELECT BroChkPID FROM BroChkTable WHERE BroChkLinID=?"), {id});
            for (rows.moveFirst(); !rows.eof(); rows.moveNext())
                s.persons << qint32(rows.value(0).toLongLong());
        }
        return s;
    }

    // Sent whole (one header, its detail row, one row per addressee), or not there at all.
    void expectWholeOrAbsent(const QString& marker, bool sent, const QString& text,
                             const QList<qint32>& to)
    {
        SCOPED_TRACE(marker.toStdString());
        const Stored s = stored(marker);
        if (!sent) {
            EXPECT_EQ(s.headers, 0);
            EXPECT_TRUE(s.persons.isEmpty());
            return;
        }
        EXPECT_EQ(s.headers, 1);
        EXPECT_EQ(s.details, 1);
        EXPECT_EQ(s.text, text);
        QList<qint32> got = s.persons, want = to;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }

    void expectNoOrphans()
    {
        EXPECT_EQ(office.count(QStringLiteral("BroChkTable"),
                               QStringLiteral("BroChkLinID NOT IN (SELECT cmID FROM CMTable)")),
                  0);
        EXPECT_EQ(office.count(QStringLiteral("EVTable"),
                               QStringLiteral("EvLinID NOT IN (SELECT cmID FROM CMTable)")),
                  0);
        EXPECT_EQ(office.count(QStringLiteral("CMTable"),
                               QStringLiteral("cmCat='Message' AND cmID NOT IN "
                                              "(SELECT EvLinID FROM EVTable)")),
                  0);
    }

    static void expectOneLine(const Outcome& r, const QString& contains)
    {
        EXPECT_FALSE(r.hung);
        EXPECT_FALSE(r.crashed);
        const QStringList said = r.said();
        ASSERT_EQ(said.size(), 1) << r.err.toStdString();
        EXPECT_TRUE(said.first().contains(contains, Qt::CaseInsensitive))
            << said.first().toStdString();
    }

    QTemporaryDir home;
    Office office;
    HostRun host;
};

TEST_F(Reliability, TwentyWorkstationsSendingAtOnceEachArriveOnceAndWhole)
{
    constexpr int kSenders = 20;
    const QList<qint32> to = addPersons(100);
    std::vector<std::unique_ptr<QProcess>> running;
    QStringList texts;
    for (int i = 0; i < kSenders; ++i) {
        texts << bodyOf(QStringLiteral("sender %1").arg(i), 3000);
        running.push_back(host.start(announce(texts.last(), to), url()));
    }
    for (int i = 0; i < kSenders; ++i) {
        const Outcome r = HostRun::finish(*running[size_t(i)], 240000);
        EXPECT_EQ(r.code, 0) << "sender " << i << ": " << r.err.toStdString();
    }
    for (int i = 0; i < kSenders; ++i)
        expectWholeOrAbsent(QStringLiteral("sender %1").arg(i), true, texts.at(i), to);
    expectNoOrphans();
}

TEST_F(Reliability, AProcessKilledInTheMiddleOfALargeSaveLeavesNothingHalfWritten)
{
    const QList<qint32> to = addPersons(5000);
    // How long one such send takes here, to kill the others at points spread over it.
    QElapsedTimer clock;
    clock.start();
    const QString first = bodyOf(QStringLiteral("big 0"), 2000);
    ASSERT_EQ(host.run(announce(first, to), url(), 240000).code, 0);
    const qint64 whole = clock.elapsed();

    QRandomGenerator random(20261207);
    int killed = 0;
    for (int i = 1; i <= 12; ++i) {
        const QString text = bodyOf(QStringLiteral("big %1").arg(i), 2000);
        auto p = host.start(announce(text, to), url());
        ASSERT_TRUE(p->waitForStarted());
        // The save is the last part of a run: most kills fall there, some before it.
        QThread::msleep(ulong(whole * random.bounded(30, 110) / 100));
        // Not yet reaped, so the id is still this process's even when it has just ended.
        if (const qint64 pid = p->processId(); pid > 0)
            ::kill(pid_t(pid), SIGKILL);
        const Outcome r = HostRun::finish(*p, 60000);
        // Done before the kill: stored. Killed: stored whole (the kill came after the commit)
        // or not at all, never in part.
        const QString marker = QStringLiteral("big %1").arg(i);
        if (r.code != 0) {
            ++killed;
            EXPECT_TRUE(r.crashed) << r.err.toStdString(); // the kill, not a failure of its own
        }
        expectWholeOrAbsent(marker, r.code == 0 || stored(marker).headers > 0, text, to);
    }
    EXPECT_GT(killed, 0);
    expectWholeOrAbsent(QStringLiteral("big 0"), true, first, to);
    expectNoOrphans();
    if (!office.usingPostgres()) {
        EXPECT_EQ(office.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), "ok");
    }
    EXPECT_EQ(host.run({QStringLiteral("inbox"), QStringLiteral("--login"), QStringLiteral("ANNA")},
                       url())
                  .code,
              0);
}

TEST_F(Reliability, ALockedDatabaseFailsTheSendClearlyAfterTheWait)
{
    auto holder = db::Database::open(url());
    ASSERT_TRUE(holder && holder->transaction())
        << (holder ? holder->lastError().toStdString() : "");
    if (office.usingPostgres()) {
        ASSERT_TRUE(holder->exec(QStringLiteral("LOCK TABLE CMTable IN EXCLUSIVE MODE")));
    }
    const QList<qint32> to = {
        office.scalar(QStringLiteral("SELECT pID FROM PATable WHERE PLasNam='Brooks'")).toInt()};
    const QString text = QStringLiteral("locked: fire drill");
    const Outcome r = host.run(announce(text, to), urlWith(QStringLiteral("busy_timeout=1500")));
    EXPECT_EQ(r.code, 1);
    expectOneLine(r, QStringLiteral("the database is busy"));
    holder.reset();
    expectWholeOrAbsent(QStringLiteral("locked"), false, text, to);

    // Once the other workstation is done, the same send goes through.
    EXPECT_EQ(host.run(announce(text, to), url()).code, 0);
    expectWholeOrAbsent(QStringLiteral("locked"), true, text, to);
}

TEST_F(Reliability, AReadOnlyDatabaseRefusesTheSendAndStillReads)
{
    const QList<qint32> to = {
        office.scalar(QStringLiteral("SELECT pID FROM PATable WHERE PLasNam='Brooks'")).toInt()};
    if (office.usingPostgres()) {
        host.setEnv(QStringLiteral("PGOPTIONS"),
                    QStringLiteral("-c default_transaction_read_only=on"));
    } else {
        if (::geteuid() != 0)
            GTEST_SKIP() << "runs the program as another user";
        // Another user, who may read the file and use its folder but not write the file.
        const QString folder = QFileInfo(QUrl(url()).path()).absolutePath();
        for (const QString& path : {home.path(), folder, office.tempPath()})
            ::chmod(QFile::encodeName(path).constData(), 0777);
        ::chmod(QFile::encodeName(folder + QStringLiteral("/office.db")).constData(), 0644);
        ASSERT_EQ(std::system(qPrintable(QStringLiteral("chmod -R a+rwX '%1'").arg(data()))), 0);
        host.setUser(QStringLiteral("nobody"));
    }
    const QString text = QStringLiteral("readonly: fire drill");
    const Outcome r = host.run(announce(text, to), url());
    EXPECT_EQ(r.code, 1);
    expectOneLine(r, QStringLiteral("read"));
    expectWholeOrAbsent(QStringLiteral("readonly"), false, text, to);

    const Outcome inbox = host.run(
        {QStringLiteral("inbox"), QStringLiteral("--login"), QStringLiteral("ANNA")}, url());
    EXPECT_EQ(inbox.code, 0) << inbox.err.toStdString();
    EXPECT_TRUE(inbox.out.contains(QStringLiteral("Room 2 autoclave")));

    // The office can still be checked where it can only be read.
    const Outcome check = host.run({QStringLiteral("check")}, url());
    EXPECT_EQ(check.code, 0) << check.err.toStdString();
    EXPECT_TRUE(check.out.contains(QStringLiteral("The office is sound")))
        << check.out.toStdString();
}

// A data folder the workstation may only read: the inbox is read, a send is refused at set-up.
TEST_F(Reliability, AReadOnlyDataFolderStillShowsTheInbox)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "runs the program as another user";
    for (const QString& path : {home.path(), office.tempPath()})
        ::chmod(QFile::encodeName(path).constData(), 0777);
    ASSERT_EQ(std::system(qPrintable(QStringLiteral("chmod -R a+rX,go-w '%1'").arg(data()))), 0);
    if (!office.usingPostgres())
        ::chmod(QFile::encodeName(office.tempPath() + QStringLiteral("/office.db")).constData(),
                0666);
    host.setUser(QStringLiteral("nobody"));
    const Outcome inbox = host.run(
        {QStringLiteral("inbox"), QStringLiteral("--login"), QStringLiteral("ANNA")}, url());
    EXPECT_EQ(inbox.code, 0) << inbox.err.toStdString();
    const Outcome send = host.run(announce(QStringLiteral("x: y"), {1}), url());
    EXPECT_EQ(send.code, 2);
    expectOneLine(send, QStringLiteral("not writable"));
}

TEST_F(Reliability, ADamagedDatabaseIsReportedNeverHalfWritten)
{
    const QList<qint32> to = {
        office.scalar(QStringLiteral("SELECT pID FROM PATable WHERE PLasNam='Brooks'")).toInt()};
    if (office.usingPostgres()) {
        // A store whose addressee table is gone: the header and detail rows are not kept alone.
        office.exec(QStringLiteral("ALTER TABLE BroChkTable RENAME TO BroChkGone"));
        const Outcome r = host.run(announce(QStringLiteral("damaged: x"), to), url());
        EXPECT_EQ(r.code, 1);
        expectOneLine(r, QStringLiteral("BroChkTable"));
        office.exec(QStringLiteral("ALTER TABLE BroChkGone RENAME TO BroChkTable"));
        expectWholeOrAbsent(QStringLiteral("damaged"), false, QString(), to);
        return;
    }
    // Every page of the file in the main file, then a damaged table page, then a damaged header.
    office.scalar(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    const QString path = QUrl(url()).path();
    struct Damage {
        const char* name;
        qint64 offset;
        int length;
        QStringList reasons;
    } damages[] = {
        {"table pages",
         4096 * 3,
         4096 * 6,
         {QStringLiteral("malformed"), QStringLiteral("corrupt")}},
        {"file header", 0, 100, {QStringLiteral("not a database")}},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.seek(d.offset);
            file.write(QByteArray(d.length, char(0xA5)));
        }
        for (const QStringList& args :
             {announce(QStringLiteral("damaged: x"), to),
              QStringList{QStringLiteral("inbox"), QStringLiteral("--login"),
                          QStringLiteral("ANNA")}}) {
            const Outcome r = host.run(args, url());
            EXPECT_TRUE(r.code == 1 || r.code == 2) << r.code << " " << r.err.toStdString();
            ASSERT_EQ(r.said().size(), 1) << r.err.toStdString();
            bool named = false;
            for (const QString& reason : d.reasons)
                named = named || r.said().first().contains(reason);
            EXPECT_TRUE(named) << r.said().first().toStdString();
        }
    }
}

TEST_F(Reliability, ASignalFileHeldByAnotherProgramCostsOneShortWait)
{
    const QList<qint32> to = addPersons(50);
    QDir().mkpath(data() + QStringLiteral("TEMP"));
    QProcess holder; // another program holds the addressee signal file, as flock(1) does
    holder.start(QStringLiteral("flock"),
                 {QStringLiteral("-x"), data() + QStringLiteral("TEMP/CMBC.STA"),
                  QStringLiteral("sleep"), QStringLiteral("120")});
    ASSERT_TRUE(holder.waitForStarted());
    QThread::msleep(300);
    const QString text = bodyOf(QStringLiteral("held"), 200);
    // Before, 2 seconds per addressee row: 100 seconds for these 50. The limit is a hang guard.
    const Outcome r = host.run(announce(text, to), url(), 30000);
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QStringLiteral("could not be written")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("CMBC"))) << r.err.toStdString();
    expectWholeOrAbsent(QStringLiteral("held"), true, text, to);
}

TEST_F(Reliability, AnUnwritableSignalFolderIsToldOnceAndTheSaveStands)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "runs the program as another user";
    const QList<qint32> to = addPersons(20);
    for (const QString& path : {home.path(), office.tempPath()})
        ::chmod(QFile::encodeName(path).constData(), 0777);
    if (!office.usingPostgres()) {
        const QString folder = QFileInfo(QUrl(url()).path()).absolutePath();
        ASSERT_EQ(std::system(qPrintable(QStringLiteral("chmod -R a+rwX '%1'").arg(folder))), 0);
    }
    ASSERT_EQ(std::system(qPrintable(
                  QStringLiteral("chmod -R a+rwX '%1' && chmod 555 '%1TEMP'").arg(data()))),
              0);
    host.setUser(QStringLiteral("nobody"));
    const QString text = bodyOf(QStringLiteral("unwritable"), 200);
    const Outcome r = host.run(announce(text, to), url(), 30000);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QStringLiteral("could not be written")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot be written"))) << r.err.toStdString();
    expectWholeOrAbsent(QStringLiteral("unwritable"), true, text, to);
}

// Several workstations setting up the same new office at once: one office, no failure.
TEST(SetUpAtOnce, SeveralWorkstationsMakeOneOffice)
{
    for (const bool demo : {false, true}) {
        SCOPED_TRACE(demo ? "init --demo" : "init");
        QTemporaryDir home;
        Office office(programOffice());
        const HostRun host = HostRun::inHome(home.path());
        QStringList args{QStringLiteral("init")};
        if (demo)
            args << QStringLiteral("--demo");
        std::vector<std::unique_ptr<QProcess>> running;
        for (int i = 0; i < 5; ++i)
            running.push_back(host.start(args, office.databaseUrl()));
        for (auto& p : running) {
            const Outcome r = HostRun::finish(*p, 120000);
            EXPECT_EQ(r.code, 0) << r.err.toStdString();
        }
        EXPECT_EQ(office.count(QStringLiteral("PWMTable"), QStringLiteral("PWMUseNam='ANNA'")),
                  demo ? 1 : 0);
        EXPECT_EQ(office.count(QStringLiteral("PATable"), QStringLiteral("PLasNam='Alvarez'")),
                  demo ? 1 : 0);
        EXPECT_EQ(office.count(QStringLiteral("CMTable"),
                               QStringLiteral("CMSubjec='Staff meeting moved'")),
                  demo ? 1 : 0);
        EXPECT_EQ(
            office.count(QStringLiteral("HDOCTable"), QStringLiteral("hdocDes='Christmas Day'")),
            demo ? 1 : 0);
        QFile machines(home.path() + QStringLiteral("/data/stp/Machines.Ini"));
        ASSERT_TRUE(machines.open(QIODevice::ReadOnly));
        EXPECT_EQ(machines.readAll(), demo ? QByteArray("FRONTDESK\r\nEXAM-1\r\n") : QByteArray());
    }
}

} // namespace
} // namespace tzsndmsg::testing
