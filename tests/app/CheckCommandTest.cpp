// tzsndmsg check on the demo office: a sound office, damaged pages of the store (written into the
// file as a failing disk would), a lost search index and a data folder that lacks a part.
#include "support/Program.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

using namespace tzsndmsg::testing;

namespace {

class CheckCommand : public ProgramTest {
protected:
    void SetUp() override { init({"--demo"}); }

    QString file() const { return QUrl(office.databaseUrl()).path(); }

    QByteArray fileHash() const
    {
        QFile f(file());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }

    // Overwrites the first page of a table's b-tree in the file, every row in the main file first.
    void damageRootPage(const QString& table)
    {
        office.scalar("PRAGMA wal_checkpoint(TRUNCATE)");
        const qint64 root =
            office.scalar("SELECT rootpage FROM sqlite_schema WHERE name = ?", {table})
                .toLongLong();
        const qint64 pageSize = office.scalar("PRAGMA page_size").toLongLong();
        ASSERT_GT(root, 1) << table.toStdString();
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek((root - 1) * pageSize));
        ASSERT_EQ(f.write(QByteArray(pageSize, char(0xA5))), pageSize);
    }
};

TEST_F(CheckCommand, ASoundOfficeIsSound)
{
    const Outcome check = run({"check"});
    EXPECT_EQ(check.code, 0) << check.all().toStdString();
    EXPECT_TRUE(check.out.startsWith("The office is sound")) << check.out.toStdString();
    EXPECT_EQ(run({"check", "--stray"}).code, 2);
    EXPECT_EQ(run({"check", "--db", "sqlite:///nowhere/office.db"}).code, 2);
}

TEST_F(CheckCommand, ADamagedPageIsNamedAndNeverTakenForAMissingSchema)
{
    TZ_SQLITE_ONLY(office) << ": pages of the file are SQLite's; the server keeps its own";
    const struct {
        const char* table; // whose first page is damaged
        const char* named; // what check says
        bool metBySend;    // an announcement writes into it
        bool metByInbox;   // the inbox reads it, or the schema it is part of
    } cases[] = {
        {"ApTable", "the table ApTable is damaged", false, false},
        {"CMTable", "the table CMTable is damaged", true, true},
        {"CMWrdTable_data", "the search index is damaged", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        QTemporaryDir copyDir;
        const QString pristine = copyDir.path() + "/office.db";
        office.scalar("PRAGMA wal_checkpoint(TRUNCATE)");
        ASSERT_TRUE(QFile::copy(file(), pristine));
        damageRootPage(c.table);

        const Outcome check = run({"check"});
        EXPECT_EQ(check.code, 1) << check.all().toStdString();
        EXPECT_TRUE(check.out.contains(c.named)) << check.out.toStdString();

        const QByteArray before = fileHash();
        const Outcome init = run({"init"});
        EXPECT_EQ(init.code, 1) << init.all().toStdString();
        EXPECT_TRUE(init.err.contains(c.named)) << init.err.toStdString();
        EXPECT_EQ(fileHash(), before) << "init wrote into a damaged store";

        const Outcome send =
            run({"announce", "--login", "MARIA", "--text", "after the damage", "--to", "1"});
        const Outcome inbox = run({"inbox", "--login", "ANNA"});
        for (const auto& [outcome, met] :
             {std::pair{send, c.metBySend}, std::pair{inbox, c.metByInbox}}) {
            EXPECT_FALSE(outcome.err.contains("create the schema")) << outcome.err.toStdString();
            if (!met)
                continue;
            EXPECT_EQ(outcome.code, 1) << outcome.err.toStdString();
            EXPECT_TRUE(outcome.err.contains("the store is damaged")) << outcome.err.toStdString();
            EXPECT_TRUE(outcome.err.contains("run tzsndmsg check")) << outcome.err.toStdString();
        }

        // Back to the sound file for the next case.
        ASSERT_TRUE(QFile::remove(file()));
        ASSERT_TRUE(QFile::copy(pristine, file()));
        QFile::remove(file() + "-wal");
        QFile::remove(file() + "-shm");
        ASSERT_TRUE(office.db()->reopen());
    }
}

// Each way the search index goes wrong is named by check and mended by --repair-index, after
// which the office is sound and the search finds the messages again.
TEST_F(CheckCommand, EachWayTheSearchIndexGoesWrongIsNamedAndRepaired)
{
    const auto repaired = [&](const QStringList& named, const QStringList& search,
                              const QString& found) {
        SCOPED_TRACE(named.first().toStdString());
        const Outcome check = run({"check"});
        EXPECT_EQ(check.code, 1) << check.all().toStdString();
        for (const QString& part : named)
            EXPECT_TRUE(check.out.contains(part)) << check.out.toStdString();
        const Outcome repair = run({"check", "--repair-index"});
        EXPECT_EQ(repair.code, 0) << repair.all().toStdString();
        EXPECT_TRUE(repair.out.contains("search index was built again"))
            << repair.out.toStdString();
        EXPECT_EQ(run({"check"}).code, 0);
        const Outcome searched = run(QStringList{"search", "--sent"} + search);
        EXPECT_TRUE(searched.out.contains(found)) << searched.all().toStdString();
    };
    // A message stored while the index was not kept: its words are not in it.
    const bool postgres = office.usingPostgres();
    const QString marks = "UPDATE pg_index SET indisready = %1, indisvalid = %2 WHERE indexrelid "
                          "= 'ix_cm_words'::regclass";
    postgres ? office.exec(marks.arg("false", "false"))
             : office.exec("DROP TRIGGER tr_cmtable_wrd_ai");
    ASSERT_EQ(run({"announce", "--login", "MARIA", "--text", "zanzibar quokka", "--to", "1"}).code,
              0);
    if (postgres)
        office.exec(marks.arg("true", "true"));
    else
        ASSERT_EQ(run({"init"}).code, 0); // the trigger is back; the index still lacks the words
    repaired({"the search index is damaged (the messages' words"}, {"--login", "MARIA", "zanzibar"},
             ": 1 message(s)");

    const QStringList autoclave{"--login", "DAVE", "autoclave"};
    office.dropSearchIndex();
    repaired({"the search index is missing", "run tzsndmsg check --repair-index"}, autoclave,
             "Room 2 autoclave");
    // Pages of the file are SQLite's; an index marked unusable is the server's own state.
    postgres ? office.exec(marks.arg("true", "false")) : damageRootPage("CMWrdTable_data");
    repaired({"the search index is damaged"}, autoclave, "Room 2 autoclave");
}

TEST_F(CheckCommand, WhatTheDataFolderLacksIsNamed)
{
    const struct {
        const char* removed;
        const char* named;
    } cases[] = {
        {"stp/Machines.Ini", "lacks stp/Machines.Ini"},
        {"ICO/SMALL/Help.ico", "lacks ICO/SMALL/Help.ico"},
        {"TEMP", "lacks TEMP/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.removed);
        const QString path = data() + c.removed;
        ASSERT_TRUE(QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path));
        const Outcome check = run({"check"});
        EXPECT_EQ(check.code, 1) << check.all().toStdString();
        EXPECT_TRUE(check.out.contains(c.named)) << check.out.toStdString();
        ASSERT_EQ(run({"init"}).code, 0);
    }
    EXPECT_EQ(run({"check"}).code, 0);
}

} // namespace
