// tzsndmsg secure and a workstation of a signed-in office: the login is the connected role.
#include "support/Program.h"
#include "tzsndmsg/SignedIn.h"

#include <QProcess>
#include <QUrl>

using namespace tzsndmsg::testing;
using tzsndmsg::isSignedInOffice;

namespace {

class SignedInProgram : public ProgramTest {
protected:
    // The roles are the server's, not the schema's: a test that stops early drops them too.
    void TearDown() override
    {
        bool on = false;
        if (office.usingPostgres() && office.db() && isSignedInOffice(*office.db(), on) && on) {
            EXPECT_TRUE(tzsndmsg::unsecureOffice(*office.db()));
        }
    }

    // The program signed in as the login's role.
    Outcome as(const QString& login, const QStringList& args)
    {
        QUrl url(office.databaseUrl());
        url.setUserName("postgres_" + url.query().section('=', 1) + "." + login);
        return run(args + QStringList{"--db", url.toString()});
    }
    Outcome typed(const QStringList& args, const QByteArray& input)
    {
        auto p = start(args);
        p->write(input);
        p->closeWriteChannel();
        return finishProgram(*p);
    }
};

TEST_F(SignedInProgram, SqliteRefusesToBeSignedIn)
{
    if (office.usingPostgres())
        GTEST_SKIP() << "the refusal is SQLite's";
    ASSERT_EQ(run({"init"}).code, 0);
    for (const QStringList& args : {QStringList{"secure"}, QStringList{"init", "--signed-in"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("a SQLite office cannot be signed in")) << r.err.toStdString();
    }
}

TEST_F(SignedInProgram, TheRoleIsTheLoginAndAnotherIsRefused)
{
    if (!office.usingPostgres())
        GTEST_SKIP() << "signing in is PostgreSQL's (roles and row-level security)";
    ASSERT_NO_FATAL_FAILURE(init({"--demo", "--signed-in"}));
    // Two workstations at once, and again: each finds it done or waits its turn.
    auto first = start({"secure"});
    auto second = start({"secure"});
    for (QProcess* p : {first.get(), second.get()}) {
        const Outcome again = finishProgram(*p);
        EXPECT_EQ(again.code, 0) << again.err.toStdString();
    }

    const Outcome mine = as("anna", {"inbox", "--all-categories"});
    EXPECT_EQ(mine.code, 0) << mine.err.toStdString();
    EXPECT_TRUE(mine.out.contains("of ANNA at")) << mine.out.toStdString();
    const Outcome other = as("anna", {"inbox", "--login", "MARIA"});
    EXPECT_EQ(other.code, 2);
    EXPECT_EQ(other.err.trimmed(), "tzsndmsg: this office is signed in: you are ANNA, and --login "
                                   "MARIA names another login");
    const Outcome same = as("anna", {"inbox", "--login", "anna"});
    EXPECT_EQ(same.code, 0) << same.err.toStdString();

    // The administrator's superuser role reads every row: told once.
    const Outcome admin = run({"inbox", "--login", "MARIA"});
    EXPECT_EQ(admin.code, 0) << admin.err.toStdString();
    EXPECT_EQ(admin.err.count("the office is not protected"), 1) << admin.err.toStdString();

    const Outcome password = typed({"logins", "password", "ANNA"}, "a long secret\n");
    EXPECT_EQ(password.code, 0) << password.err.toStdString();
    const Outcome empty = typed({"logins", "password", "ANNA"}, "");
    EXPECT_EQ(empty.code, 2);

    const Outcome off = run({"secure", "--off"});
    EXPECT_EQ(off.code, 0) << off.err.toStdString();
    const Outcome gone = as("anna", {"inbox"});
    EXPECT_EQ(gone.code, 2);
    EXPECT_EQ(gone.err.trimmed().count('\n'), 0) << gone.err.toStdString();
}

} // namespace
