#include "core/StationSignal.h"

#include "FileSystemHelpers.h"
#include "support/TestPrinters.h"
#include "tzsndmsg/tzGlobal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg {
namespace {

using testing::holdLock;
using testing::readAll;
using testing::Warnings;

// Services with a fixed clock; the station text is "<computer> <login>".
std::unique_ptr<tzglob::tzGlobal>
services(const QString& dataFolder, const QString& computer, const QString& login,
         const QDateTime& now = QDateTime(QDate(2026, 12, 6), QTime(14, 7)))
{
    tzglob::Config config;
    config.dataFolder = dataFolder;
    config.computerName = computer;
    config.loginName = login;
    auto global = std::make_unique<tzglob::tzGlobal>(config);
    global->setFixedNow(now);
    return global;
}

TEST(StationSignal, RecordIsFortyBytesOfDateAndStation)
{
    struct Case {
        const char *computer, *login;
        QDateTime now;
        QByteArray expected;
    };
    const QDateTime afternoon(QDate(2026, 12, 6), QTime(14, 7));
    const Case cases[] = {
        {"WS1", "FRONT", afternoon, "12/6/2026 2:07:00 PMWS1 FRONT           "},
        // Too long for the 20 bytes the date leaves: cut.
        {"RECEPTION-WORKSTATION-2", "FRONTDESK", afternoon,
         "12/6/2026 2:07:00 PMRECEPTION-WORKSTATIO"},
        // Midnight has no time part in the general date form.
        {"WS1", "FRONT", QDateTime(QDate(2026, 1, 15), QTime(0, 0)),
         "1/15/2026WS1 FRONT                      "},
        // One byte per character.
        {"WS\xC3\x9C", "ZO\xC3\x8B", afternoon,
         "12/6/2026 2:07:00 PMWS\xDC"
         " ZO\xCB"
         "             "},
    };
    for (const Case& c : cases) {
        auto global =
            services(QString(), QString::fromUtf8(c.computer), QString::fromUtf8(c.login), c.now);
        EXPECT_EQ(core::stationSignalRecord(*global), c.expected) << c.computer;
    }
}

TEST(StationSignal, WritesOverTheFirstFortyBytesWithoutShorteningAndCreatesTheFile)
{
    QTemporaryDir data;
    auto global = services(data.path() + QLatin1Char('/'), u"WS1"_s, u"FRONT"_s);
    // No TEMP folder yet: it and the file are made.
    ASSERT_TRUE(core::WriteStationSignal(*global, u"CMEV"_s));
    EXPECT_EQ(readAll(data.path() + u"/TEMP/CMEV.STA"_s), core::stationSignalRecord(*global));

    const QString path = data.path() + u"/TEMP/CMBC.STA"_s;
    ASSERT_TRUE(testing::writeFile(path, QByteArray(40, 'x') + QByteArray("tail that stays")));
    ASSERT_TRUE(core::WriteStationSignal(*global, u"CMBC"_s));
    EXPECT_EQ(readAll(path), QByteArray("12/6/2026 2:07:00 PMWS1 FRONT           tail that stays"));
}

TEST(StationSignal, MissingDataFolderGivesUpQuietlyAfterTheTimeout)
{
    QTemporaryDir base;
    const QString missing = base.path() + u"/no-such-office/"_s;
    auto global = services(missing, u"WS1"_s, u"FRONT"_s);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(core::WriteStationSignal(*global, u"CMCM"_s, 300));
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_FALSE(QDir(missing).exists()) << "a mistyped data folder must not be created";
}

TEST(StationSignal, FileLockedElsewhereIsLeftUnchangedAfterTwoSeconds)
{
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkdir(u"TEMP"_s));
    const QString path = data.path() + u"/TEMP/CMCM.STA"_s;
    const QByteArray before("held by another workstation");
    ASSERT_TRUE(testing::writeFile(path, before));
    auto global = services(data.path() + QLatin1Char('/'), u"WS1"_s, u"FRONT"_s);
    {
        const int held = holdLock(path);
        ASSERT_GE(held, 0);
        QElapsedTimer clock;
        clock.start();
        // The save's other signals, before and after it, are written; the held one waits alone.
        EXPECT_EQ(core::WriteStationSignals(*global, {u"CMEV"_s, u"CMCM"_s, u"CMBC"_s}), 2);
        const qint64 took = clock.elapsed();
        EXPECT_GE(took, 2000);
        EXPECT_LT(took, 10000) << "the writer must give up";
        EXPECT_EQ(readAll(path), before);
        for (const QString& tag : {u"CMEV"_s, u"CMBC"_s})
            EXPECT_EQ(readAll(data.path() + u"/TEMP/"_s + tag + u".STA"_s),
                      core::stationSignalRecord(*global));
        ::close(held);
    }
    // A lock released while the writer retries: it still writes.
    const int brief = holdLock(path);
    ASSERT_GE(brief, 0);
    std::thread releaser([brief] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::close(brief);
    });
    EXPECT_TRUE(core::WriteStationSignal(*global, u"CMCM"_s));
    releaser.join();
    EXPECT_EQ(readAll(path).left(40), core::stationSignalRecord(*global));
}

// Someone who may write the data folder puts something else where a signal file or TEMP belongs:
// the writer refuses it at once, says why in its one warning, writes the other files and touches
// nothing outside.
TEST(StationSignal, LinksAndOddFilesInPlaceOfASignalAreRefusedAndNothingOutsideIsTouched)
{
    using enum testing::OddSignal;
    struct Case {
        const char* name;
        testing::OddSignal kind;
        const char* reason;
    } cases[] = {
        {"symbolic link to another file", LinkToFile, "CMCM.STA is a link"},
        {"symbolic link to a missing file", DanglingLink, "CMCM.STA is a link"},
        {"TEMP a link to another folder", TempLinkedToFolder, "TEMP is a link"},
        {"hard link to another file", HardLink, "CMCM.STA is a hard link"},
        {"FIFO", Fifo, "CMCM.STA is not a plain file"},
        {"folder", Folder, "CMCM.STA is not a plain file"},
    };
    const QByteArray precious("the first forty bytes of a file that is not ours, and more");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir data, outside;
        const QString temp = data.path() + u"/TEMP"_s;
        const QString sta = temp + u"/CMCM.STA"_s;
        const QString victim = outside.path() + u"/victim"_s;
        const bool linked = c.kind == LinkToFile || c.kind == HardLink;
        ASSERT_TRUE(testing::plantOddSignal(c.kind, data.path(), outside.path(), victim,
                                            linked ? precious : QByteArray()));
        // A reader at the other end, so that a writer that opens it does not wait forever.
        const int reader = c.kind == Fifo ? ::open(QFile::encodeName(sta).constData(),
                                                   O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                                          : -1;
        ASSERT_TRUE(c.kind != Fifo || reader >= 0);

        auto global = services(data.path() + QLatin1Char('/'), u"WS1"_s, u"FRONT"_s);
        Warnings warnings;
        QElapsedTimer clock;
        clock.start();
        const int written = core::WriteStationSignals(*global, {u"CMCM"_s, u"CMEV"_s});
        EXPECT_LT(clock.elapsed(), 1500) << "a refusal is not waited out";

        const QString told = warnings.told().join(u'\n');
        EXPECT_EQ(warnings.told().size(), 1) << told.toStdString();
        EXPECT_TRUE(told.contains(QLatin1String(c.reason))) << told.toStdString();
        EXPECT_FALSE(told.contains(u"held by another program"_s));
        if (c.kind == TempLinkedToFolder) {
            EXPECT_EQ(written, 0);
            EXPECT_TRUE(QDir(outside.path()).isEmpty()) << "nothing is written through TEMP";
        } else {
            EXPECT_EQ(written, 1);
            EXPECT_EQ(readAll(temp + u"/CMEV.STA"_s), core::stationSignalRecord(*global))
                << "the other signals of the save are written";
            QDir others(outside.path());
            EXPECT_EQ(others.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      linked ? QStringList{u"victim"_s} : QStringList{});
            if (linked) {
                EXPECT_EQ(readAll(victim), precious);
            }
        }
        if (c.kind == Folder) {
            EXPECT_TRUE(QDir(sta).isEmpty());
        }
        if (reader >= 0) {
            char byte = 0;
            EXPECT_LT(::read(reader, &byte, 1), 1) << "nothing is written into the FIFO";
            ::close(reader);
        }
    }
}

} // namespace
} // namespace tzsndmsg
