// The host program under load and faults: many workstations sending at once, processes killed
// in the middle of a save, a database that is locked, read-only or damaged, a signal file held
// by another program, a disk that cannot be written or has no room. Every process runs under a time
// limit; a hang fails the test. What a process reports must match what the store holds: a send is
// there whole, or not at all.
#include "support/Program.h"
#include "tzsndmsg/db/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

// A large save: the text and the addressees.
QString bodyOf(const QString& marker, int length)
{
    QString body = marker + u": "_s;
    for (int i = 0; body.size() < length; ++i)
        body += u"line %1 of the announcement, with 'quotes' and \\ backslashes\n"_s.arg(i);
    return body;
}

class Reliability : public ::testing::Test {
protected:
    Reliability() : office(programOffice()), host(HostRun::inHome(home.path())) {}

    void SetUp() override
    {
        const Outcome init = host.run({"init", "--demo"}, url());
        ASSERT_EQ(init.code, 0) << init.err.toStdString();
    }

    QString data() const { return home.path() + u"/data/"_s; }
    QString url() const { return office.databaseUrl(); }
    QString urlWith(const QString& option) const
    {
        return url() + (url().contains(u'?') ? u'&' : u'?') + option;
    }

    QStringList announce(const QString& text, const QList<qint32>& to) const
    {
        return {"announce", "--login", "MARIA", "--text", text, "--to", idList(to)};
    }

    // Ben Brooks of the demo office, as the one addressee.
    QList<qint32> brooks()
    {
        return {office.scalar(u"SELECT pID FROM PATable WHERE PLasNam='Brooks'"_s).toInt()};
    }

    // From now on the program runs as another user, who may use the home and the office's
    // folders; `mode` is the chmod(1) mode given to the data folder, every file in it.
    void runAsNobody(const QString& mode)
    {
        for (const QString& path : {home.path(), office.tempPath()})
            ::chmod(QFile::encodeName(path).constData(), 0777);
        ASSERT_EQ(std::system(qPrintable(u"chmod -R %1 '%2'"_s.arg(mode, data()))), 0);
        host.setUser(u"nobody"_s);
    }

    QList<qint32> addPersons(int count)
    {
        QList<qint32> ids;
        EXPECT_TRUE(office.db()->transaction());
        for (int i = 0; i < count; ++i)
            ids << office.addPerson(u"Temp%1"_s.arg(i), u"Staff"_s, u"T%1"_s.arg(i));
        EXPECT_TRUE(office.db()->commit());
        return ids;
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
        texts << bodyOf(u"sender %1"_s.arg(i), 3000);
        running.push_back(host.start(announce(texts.last(), to), url()));
    }
    for (int i = 0; i < kSenders; ++i) {
        const Outcome r = HostRun::finish(*running[size_t(i)], 240000);
        EXPECT_EQ(r.code, 0) << "sender " << i << ": " << r.err.toStdString();
    }
    for (int i = 0; i < kSenders; ++i)
        expectWholeOrAbsent(*office.db(), u"sender %1"_s.arg(i), true, texts.at(i), to);
    expectNoOrphans(*office.db());
}

TEST_F(Reliability, AProcessKilledInTheMiddleOfALargeSaveLeavesNothingHalfWritten)
{
    const QList<qint32> to = addPersons(5000);
    // How long one such send takes here, to kill the others at points spread over it.
    QElapsedTimer clock;
    clock.start();
    const QString first = bodyOf(u"big 0"_s, 2000);
    ASSERT_EQ(host.run(announce(first, to), url(), 240000).code, 0);
    const qint64 whole = clock.elapsed();

    QRandomGenerator random(20261207);
    int killed = 0;
    for (int i = 1; i <= 12; ++i) {
        const QString text = bodyOf(u"big %1"_s.arg(i), 2000);
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
        const QString marker = u"big %1"_s.arg(i);
        if (r.code != 0) {
            ++killed;
            EXPECT_TRUE(r.crashed) << r.err.toStdString(); // the kill, not a failure of its own
        }
        expectWholeOrAbsent(*office.db(), marker,
                            r.code == 0 || storedWith(*office.db(), marker).headers > 0, text, to);
    }
    EXPECT_GT(killed, 0);
    expectWholeOrAbsent(*office.db(), u"big 0"_s, true, first, to);
    expectNoOrphans(*office.db());
    if (!office.usingPostgres()) {
        EXPECT_EQ(office.scalar(u"PRAGMA integrity_check"_s).toString(), "ok");
    }
    EXPECT_EQ(host.run({"inbox", "--login", "ANNA"}, url()).code, 0);
}

TEST_F(Reliability, ALockedDatabaseFailsTheSendClearlyAfterTheWait)
{
    auto holder = db::Database::open(url());
    ASSERT_TRUE(holder && holder->transaction())
        << (holder ? holder->lastError().toStdString() : "");
    if (office.usingPostgres()) {
        ASSERT_TRUE(holder->exec(u"LOCK TABLE CMTable IN EXCLUSIVE MODE"_s));
    }
    const QList<qint32> to = brooks();
    const QString text = u"locked: fire drill"_s;
    const Outcome r = host.run(announce(text, to), urlWith(u"busy_timeout=1500"_s));
    EXPECT_EQ(r.code, 1);
    expectOneLine(r, u"the database is busy"_s);
    holder.reset();
    expectWholeOrAbsent(*office.db(), u"locked"_s, false, text, to);

    // Once the other workstation is done, the same send goes through.
    EXPECT_EQ(host.run(announce(text, to), url()).code, 0);
    expectWholeOrAbsent(*office.db(), u"locked"_s, true, text, to);
}

TEST_F(Reliability, AReadOnlyDatabaseRefusesTheSendAndStillReads)
{
    const QList<qint32> to = brooks();
    if (office.usingPostgres()) {
        host.setEnv(u"PGOPTIONS"_s, u"-c default_transaction_read_only=on"_s);
    } else {
        if (::geteuid() != 0)
            GTEST_SKIP() << "runs the program as another user";
        // Another user, who may read the file and use its folder but not write the file.
        ASSERT_NO_FATAL_FAILURE(runAsNobody(u"a+rwX"_s));
        ::chmod(QFile::encodeName(office.tempPath() + u"/office.db"_s).constData(), 0644);
    }
    const QString text = u"readonly: fire drill"_s;
    const Outcome r = host.run(announce(text, to), url());
    EXPECT_EQ(r.code, 1);
    expectOneLine(r, u"read"_s);
    expectWholeOrAbsent(*office.db(), u"readonly"_s, false, text, to);

    const Outcome inbox = host.run({"inbox", "--login", "ANNA"}, url());
    EXPECT_EQ(inbox.code, 0) << inbox.err.toStdString();
    EXPECT_TRUE(inbox.out.contains(u"Room 2 autoclave"_s));

    // The office can still be checked where it can only be read.
    const Outcome check = host.run({u"check"_s}, url());
    EXPECT_EQ(check.code, 0) << check.err.toStdString();
    EXPECT_TRUE(check.out.contains(u"The office is sound"_s)) << check.out.toStdString();
}

// A data folder the workstation may only read: the inbox is read, a send is refused at set-up.
TEST_F(Reliability, AReadOnlyDataFolderStillShowsTheInbox)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "runs the program as another user";
    ASSERT_NO_FATAL_FAILURE(runAsNobody(u"a+rX,go-w"_s));
    if (!office.usingPostgres())
        ::chmod(QFile::encodeName(office.tempPath() + u"/office.db"_s).constData(), 0666);
    const Outcome inbox = host.run({"inbox", "--login", "ANNA"}, url());
    EXPECT_EQ(inbox.code, 0) << inbox.err.toStdString();
    const Outcome send = host.run(announce(u"x: y"_s, {1}), url());
    EXPECT_EQ(send.code, 2);
    expectOneLine(send, u"not writable"_s);
}

TEST_F(Reliability, ADamagedDatabaseIsReportedNeverHalfWritten)
{
    const QList<qint32> to = brooks();
    if (office.usingPostgres()) {
        // A store whose addressee table is gone: the header and detail rows are not kept alone.
        office.exec(u"ALTER TABLE BroChkTable RENAME TO BroChkGone"_s);
        const Outcome r = host.run(announce(u"damaged: x"_s, to), url());
        EXPECT_EQ(r.code, 1);
        expectOneLine(r, u"BroChkTable"_s);
        office.exec(u"ALTER TABLE BroChkGone RENAME TO BroChkTable"_s);
        expectWholeOrAbsent(*office.db(), u"damaged"_s, false, QString(), to);
        return;
    }
    // Every page of the file in the main file, then a damaged table page, then a damaged header.
    office.scalar(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
    const QString path = QUrl(url()).path();
    struct Damage {
        const char* name;
        qint64 offset;
        int length;
        QStringList reasons;
    } damages[] = {
        {"table pages", qint64{4096} * 3, 4096 * 6, {"malformed", "corrupt"}},
        {"file header", 0, 100, {u"not a database"_s}},
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
             {announce(u"damaged: x"_s, to), QStringList{"inbox", "--login", "ANNA"}}) {
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
    QDir().mkpath(data() + u"TEMP"_s);
    QProcess holder; // another program holds the addressee signal file, as flock(1) does
    holder.start(u"flock"_s, {"-x", data() + u"TEMP/CMBC.STA"_s, "sleep", "120"});
    ASSERT_TRUE(holder.waitForStarted());
    QThread::msleep(300);
    const QString text = bodyOf(u"held"_s, 200);
    // Before, 2 seconds per addressee row: 100 seconds for these 50. The limit is a hang guard.
    const Outcome r = host.run(announce(text, to), url(), 30000);
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(u"could not be written"_s), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"CMBC"_s)) << r.err.toStdString();
    expectWholeOrAbsent(*office.db(), u"held"_s, true, text, to);
}

TEST_F(Reliability, AnUnwritableSignalFolderIsToldOnceAndTheSaveStands)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "runs the program as another user";
    const QList<qint32> to = addPersons(20);
    if (!office.usingPostgres()) {
        ASSERT_EQ(std::system(qPrintable(u"chmod -R a+rwX '%1'"_s.arg(office.tempPath()))), 0);
    }
    ASSERT_NO_FATAL_FAILURE(runAsNobody(u"a+rwX"_s));
    ::chmod(QFile::encodeName(data() + u"TEMP"_s).constData(), 0555);
    const QString text = bodyOf(u"unwritable"_s, 200);
    const Outcome r = host.run(announce(text, to), url(), 30000);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(u"could not be written"_s), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"cannot be written"_s)) << r.err.toStdString();
    expectWholeOrAbsent(*office.db(), u"unwritable"_s, true, text, to);
}

// Several workstations setting up the same new office at once: one office, no failure.
TEST(SetUpAtOnce, SeveralWorkstationsMakeOneOffice)
{
    for (const bool demo : {false, true}) {
        SCOPED_TRACE(demo ? "init --demo" : "init");
        QTemporaryDir home;
        Office office(programOffice());
        const HostRun host = HostRun::inHome(home.path());
        const QStringList args = demo ? QStringList{"init", "--demo"} : QStringList{"init"};
        std::vector<std::unique_ptr<QProcess>> running(5);
        for (auto& p : running)
            p = host.start(args, office.databaseUrl());
        for (auto& p : running) {
            const Outcome r = HostRun::finish(*p, 120000);
            EXPECT_EQ(r.code, 0) << r.err.toStdString();
        }
        EXPECT_EQ(office.count(u"PWMTable"_s, u"PWMUseNam='ANNA'"_s), demo ? 1 : 0);
        EXPECT_EQ(office.count(u"PATable"_s, u"PLasNam='Alvarez'"_s), demo ? 1 : 0);
        EXPECT_EQ(office.count(u"CMTable"_s, u"CMSubjec='Staff meeting moved'"_s), demo ? 1 : 0);
        EXPECT_EQ(office.count(u"HDOCTable"_s, u"hdocDes='Christmas Day'"_s), demo ? 1 : 0);
        QFile machines(home.path() + u"/data/stp/Machines.Ini"_s);
        ASSERT_TRUE(machines.open(QIODevice::ReadOnly));
        EXPECT_EQ(machines.readAll(), demo ? QByteArray("FRONTDESK\r\nEXAM-1\r\n") : QByteArray());
    }
}

// The office's files on a disk that cannot be written or has no room: the commands that only
// read still read, a save is refused with the reason named, and SQLite's side files are not left
// behind.

// Mounts made by a test, undone in reverse order when it ends.
class Mounts {
public:
    ~Mounts()
    {
        for (auto it = m_targets.rbegin(); it != m_targets.rend(); ++it)
            if (::umount2(it->constData(), 0) != 0)
                ::umount2(it->constData(), MNT_DETACH);
    }

    bool tmpfs(const QString& folder, const char* size, QString* why)
    {
        const QByteArray target = QFile::encodeName(folder);
        const QByteArray options = QByteArray("size=") + size;
        return done(target, ::mount("tmpfs", target.constData(), "tmpfs", 0, options.constData()),
                    why);
    }

    // The folder, as it is, made read-only at its own path.
    bool readOnly(const QString& folder, QString* why)
    {
        const QByteArray target = QFile::encodeName(folder);
        if (!done(target,
                  ::mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr), why))
            return false;
        if (::mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                    nullptr) != 0) {
            *why = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        return true;
    }

    void undoLast()
    {
        if (!m_targets.isEmpty())
            ::umount2(m_targets.takeLast().constData(), MNT_DETACH);
    }

private:
    bool done(const QByteArray& target, int result, QString* why)
    {
        if (result != 0) {
            *why = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_targets << target;
        return true;
    }

    QList<QByteArray> m_targets;
};

// Fills the file system of the folder: no byte more can be written there.
void fill(const QString& folder)
{
    QFile filler(folder + u"/filler"_s);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, '\0');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class StoreDisk : public ::testing::Test {
protected:
    StoreDisk() : office(programOffice()), host(HostRun::inHome(home.path())) {}

    // SQLite: a file in a folder of the test's own, which it may mount over.
    QString url() const
    {
        return office.usingPostgres() ? office.databaseUrl()
                                      : u"sqlite://"_s + store.path() + u"/office.db"_s;
    }

    QStringList announce(const QString& text) const
    {
        return {"announce", "--login", "MARIA", "--text", text, "--to", "1"};
    }

    void init()
    {
        const Outcome r = host.run({"init", "--demo"}, url());
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
    }

    Office office;
    QTemporaryDir home{u"/tmp/tzsndmsg-disk-XXXXXX"_s};
    QTemporaryDir store{u"/tmp/tzsndmsg-store-XXXXXX"_s};
    QTemporaryDir elsewhere;
    HostRun host;
    Mounts mounts;
};

TEST_F(StoreDisk, TheReadingCommandsReadFromAReadOnlyMount)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    ASSERT_NO_FATAL_FAILURE(init());
    QString why;
    if (!mounts.readOnly(home.path() + u"/data"_s, &why))
        GTEST_SKIP() << "cannot mount here: " << why.toStdString();
    // On SQLite the store's folder too (on PostgreSQL the store is the server's).
    if (!office.usingPostgres()) {
        ASSERT_TRUE(mounts.readOnly(store.path(), &why)) << why.toStdString();
    }

    const QString ics = elsewhere.path() + u"/office.ics"_s;
    const struct {
        QStringList args;
        const char* shows;
    } readers[] = {
        {{"inbox", "--login", "ANNA"}, "Room 2 autoclave"},
        {{"search", "--login", "ANNA", "autoclave"}, "autoclave"},
        {{"confirmations", "--login", "MARIA", "--message", "1"}, "confirmed"},
        {{"holidays", "--list", "2026"}, "New Year's Day"},
        {{"events", "--export-ics", ics}, "Wrote"},
        {{"watch", "--once", "--login", "ANNA"}, "\"event\""},
    };
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.args.join(u' ').toStdString());
        const Outcome r = host.run(reader.args, url());
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QLatin1String(reader.shows))) << r.out.toStdString();
    }
    EXPECT_TRUE(QFileInfo(ics).size() > 0);
    if (!office.usingPostgres()) {
        EXPECT_EQ(filesIn(store.path()), QStringList{u"office.db"_s});

        // With the data folder writable again, a save to the read-only store says so.
        mounts.undoLast();
        mounts.undoLast();
        ASSERT_TRUE(mounts.readOnly(store.path(), &why)) << why.toStdString();
        const Outcome send = host.run(announce(u"read-only mount: drill"_s), url());
        EXPECT_EQ(send.code, 1) << send.err.toStdString();
        expectOneLine(send, u"read-only"_s);
    }
}

// Whether another program has the store open decides whether SQLite's side files are there
// before the save: they are that program's, and stay; files the save itself made go with it.
struct FullCase {
    const char* name;
    bool heldOpen;
    int expectedCode; // 2: the store could not even be opened
};

void PrintTo(const FullCase& c, std::ostream* out)
{
    *out << c.name;
}

class FullDisk : public StoreDisk, public ::testing::WithParamInterface<FullCase> {};

TEST_P(FullDisk, TheSaveNamesTheFullDiskAndLeavesNoFileBehind)
{
    if (office.usingPostgres())
        GTEST_SKIP() << "the disk under a PostgreSQL store is the server's";
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    QString why;
    if (!mounts.tmpfs(store.path(), "2m", &why))
        GTEST_SKIP() << "cannot mount here: " << why.toStdString();
    ASSERT_NO_FATAL_FAILURE(init());
    const FullCase& c = GetParam();
    ASSERT_EQ(filesIn(store.path()), QStringList{u"office.db"_s});

    std::shared_ptr<db::Database> holder;
    if (c.heldOpen) {
        holder = db::Database::open(url(), &why);
        ASSERT_TRUE(holder) << why.toStdString();
        ASSERT_TRUE(holder->scalar(u"SELECT count(*) FROM CMTable"_s).isValid());
    }
    const QStringList before = filesIn(store.path());
    ASSERT_NO_FATAL_FAILURE(fill(store.path()));

    const QString text = u"full disk: drill"_s;
    const Outcome r = host.run(announce(text), url());
    EXPECT_EQ(r.code, c.expectedCode) << r.err.toStdString();
    expectOneLine(r, u"the disk is full"_s);
    QStringList after = before + QStringList{u"filler"_s};
    after.sort();
    EXPECT_EQ(filesIn(store.path()), after);

    // With room again the same save goes through, once.
    QFile::remove(store.path() + u"/filler"_s);
    EXPECT_EQ(host.run(announce(text), url()).code, 0);
    holder = db::Database::open(url(), &why);
    ASSERT_TRUE(holder) << why.toStdString();
    EXPECT_EQ(holder->scalar(u"SELECT count(*) FROM CMTable WHERE cmDoc = ?"_s, {text}).toInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(Reliability, FullDisk,
                         ::testing::Values(FullCase{"NobodyHasTheStoreOpen", false, 2},
                                           FullCase{"AnotherProgramHasItOpen", true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tzsndmsg::testing
