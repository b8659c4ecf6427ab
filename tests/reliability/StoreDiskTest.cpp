// The office's files on a disk that cannot be written or has no room: the commands that only
// read still read, a save is refused with the reason named, and SQLite's side files are not left
// behind.
#include "support/Program.h"
#include "tzsndmsg/db/Database.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::testing {
namespace {

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
