// The watcher's look at the signal files when something else stands in their place: it follows no
// link, reads no FIFO, and hears nothing of files outside the data folder.
#include "watcher/SignalFiles.h"

#include "support/Files.h"
#include "support/TestPrinters.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tzsndmsg::watcher {
namespace {

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size();
}

TEST(SignalFiles, LinksAndOddFilesAreNotFollowedReadOrHeard)
{
    using enum testing::OddSignal;
    struct Case {
        const char* name;
        testing::OddSignal kind;
        const char* reason;
    } cases[] = {
        {"symbolic link to another file", LinkToFile, "CMCM.STA is a link"},
        {"TEMP a link to another folder", TempLinkedToFolder, "TEMP is a link"},
        {"hard link to another file", HardLink, "CMCM.STA is a hard link"},
        {"FIFO", Fifo, "CMCM.STA is not a plain file"},
        {"folder", Folder, "CMCM.STA is not a plain file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir data, outside;
        const QString sta = data.path() + u"/TEMP/CMCM.STA"_s;
        // The file outside the data folder whose changes must not be heard.
        const QString victim =
            outside.path() + (c.kind == TempLinkedToFolder ? u"/CMCM.STA"_s : u"/victim"_s);
        ASSERT_TRUE(testing::plantOddSignal(c.kind, data.path(), outside.path(), victim,
                                            QByteArray(40, 'v')));
        // Both ends of a FIFO held here, with bytes waiting: a reader that opens it takes them.
        int pipe = -1;
        const QByteArray waiting(100, 'p');
        if (c.kind == Fifo) {
            pipe = ::open(QFile::encodeName(sta).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            ASSERT_GE(pipe, 0);
            ASSERT_EQ(::write(pipe, waiting.constData(), size_t(waiting.size())), waiting.size());
        }

        // A FIFO is looked at once only; a reader stuck on it is let go after 3 seconds by
        // closing the writing end here, and the test fails.
        SignalFiles files(data.path(), c.kind == Fifo ? 0 : 50, c.kind != Fifo);
        QSignalSpy changed(&files, &SignalFiles::changed);
        QSignalSpy refused(&files, &SignalFiles::refused);
        std::atomic<bool> started = false, stuck = false;
        std::thread rescuer;
        if (pipe >= 0)
            rescuer = std::thread([&] {
                for (int i = 0; i < 300 && !started; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (!started) {
                    stuck = true;
                    ::close(pipe);
                }
            });
        files.start();
        started = true;
        if (rescuer.joinable())
            rescuer.join();
        EXPECT_FALSE(stuck) << "the look at the files waited on the FIFO";
        settle(c.kind == Fifo ? 50 : 200);
        ASSERT_TRUE(append(victim, "changed outside"));
        settle(c.kind == Fifo ? 50 : 400);
        files.stop();
        EXPECT_EQ(changed.count(), 0) << "a change outside the data folder is no signal";
        // Told once, however often the files are looked at.
        EXPECT_EQ(refused.count(), 1);
        const QString told = refused.isEmpty() ? QString() : refused.first().first().toString();
        EXPECT_TRUE(told.contains(QLatin1String(c.reason))) << told.toStdString();
        if (pipe >= 0 && !stuck) {
            QByteArray left(200, '\0');
            const ssize_t n = ::read(pipe, left.data(), size_t(left.size()));
            EXPECT_EQ(n, waiting.size()) << "the FIFO is not read";
            ::close(pipe);
        }
    }
}

} // namespace
} // namespace tzsndmsg::watcher
