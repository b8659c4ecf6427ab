// What a window hears of the office's store while it is open: a save at another workstation,
// through the signal files or PostgreSQL's notices, with no statement while nothing changes.
#include "watcher/StoreChanges.h"

#include "db/Internals.h"
#include "tzsndmsg/db/Database.h"
#include "watcher/WatcherFixture.h"

#include <QCoreApplication>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

using StoreChangesTest = TwoWorkstations;

TEST_F(StoreChangesTest, ASaveElsewhereIsHeardAndNothingRunsWhileIdle)
{
    struct Case {
        const char* name;
        int fileCheckMs;
        bool fileEvents;
        bool postgresOnly;
    } cases[] = {
        {"the signal files' events", 0, true, false},
        {"the look at the signal files of a folder without events", 200, false, false},
        {"PostgreSQL's notices alone (a data folder of its own)", 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.postgresOnly && !office.usingPostgres())
            continue; // SQLite sends no notices: its windows hear the signal files
        watcher::StoreChanges changes(ws2, c.fileCheckMs, c.fileEvents);
        ASSERT_TRUE(changes.start());
        EXPECT_EQ(changes.isListening(), office.usingPostgres());
        QSignalSpy heard(&changes, &watcher::StoreChanges::changed);
        Told::settle(300);
        const quint64 idle = db::Internals::statementsRun();
        Told::settle(600);
        EXPECT_EQ(db::Internals::statementsRun(), idle) << "no statement while idle";
        EXPECT_EQ(heard.size(), 0);

        sendToBob(u"Lunch"_s);
        EXPECT_TRUE(heard.wait(5000) || !heard.isEmpty());
    }
}

TEST_F(StoreChangesTest, WhatTheReaderAcknowledgedIsNoChange)
{
    if (office.usingPostgres())
        GTEST_SKIP() << "a save's notice comes whatever the files say; SQLite hears files only";
    watcher::StoreChanges changes(ws2, 200, true);
    ASSERT_TRUE(changes.start());
    QSignalSpy heard(&changes, &watcher::StoreChanges::changed);
    send(*ws2, message(*ws2, bob, u"Own"_s, QString::number(anna) + u','));
    changes.acknowledge(); // the window read its list again right after its own save
    Told::settle(600);
    EXPECT_EQ(heard.size(), 0);
}

TEST_F(StoreChangesTest, NoticesAreHeardAgainAfterTheListeningConnectionWasCut)
{
    if (!office.usingPostgres())
        GTEST_SKIP() << "SQLite has no listening connection to cut";
    watcher::StoreChanges changes(ws2, 0, false); // the notices alone
    ASSERT_TRUE(changes.start());
    ASSERT_TRUE(changes.isListening());
    QSignalSpy heard(&changes, &watcher::StoreChanges::changed);
    office.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                               "WHERE application_name = ?"),
                {u"tzsndmsg-watcher-%1"_s.arg(QCoreApplication::applicationPid())});
    ASSERT_TRUE(waitUntil([&] { return !changes.isListening(); }, 5000)) << "the cut is noticed";
    ASSERT_TRUE(waitUntil([&] { return changes.isListening(); }, 10000)) << "listening again";
    EXPECT_FALSE(heard.isEmpty()) << "what was saved meanwhile is to be read";

    heard.clear();
    sendToBob(u"After"_s);
    EXPECT_TRUE(heard.wait(5000) || !heard.isEmpty());
}

} // namespace
