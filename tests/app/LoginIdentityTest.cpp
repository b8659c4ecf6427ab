// Who a login is, through the real program: a person with two logins is one person in every
// command, and a person who has left the office is nobody, as a login and as an addressee.
#include "reliability/HostRun.h"

namespace tzsndmsg::testing {
namespace {

struct Row {
    const char* name;
    QStringList args;
    int code;
    QString says; // a part of stdout for code 0, of the program's one line on stderr otherwise
    QString never = {}; // a part stdout must not hold
};

class LoginIdentity : public ::testing::Test {
protected:
    LoginIdentity() : office(options()), host(home.path() + QStringLiteral("/data/"))
    {
        host.setEnv(QStringLiteral("TZSNDMSG_HOME"), home.path());
        host.setEnv(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        host.setEnv(QStringLiteral("XDG_STATE_HOME"), home.path() + QStringLiteral("/state"));
        host.setEnv(QStringLiteral("TZSNDMSG_SYSTEM_CONFIG"), home.path() + QStringLiteral("/etc.conf"));
    }
    static Office::Options options()
    {
        Office::Options o;
        o.createSchema = false;
        o.initDataFolder = false;
        return o;
    }
    void SetUp() override
    {
        ASSERT_EQ(run({"init", "--demo"}).code, 0);
        anna = personOf("Alvarez");
        ben = personOf("Brooks");
        kyle = personOf("Klein");
    }

    Outcome run(const QStringList& args) { return host.run(args, office.databaseUrl(), 60000); }

    qint32 personOf(const char* lastName)
    {
        return office.scalar("SELECT pID FROM PATable WHERE PLasNam=?", {QString::fromLatin1(lastName)})
            .toInt();
    }
    qint32 announce(const QString& login, const QString& text, qint32 to)
    {
        const Outcome r = run({"announce", "--login", login, "--text", text, "--to", QString::number(to)});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return office.scalar("SELECT max(cmID) FROM CMTable WHERE cmDoc=?", {text}).toInt();
    }

    void check(const Row& row)
    {
        SCOPED_TRACE(row.name);
        const Outcome r = run(row.args);
        ASSERT_FALSE(r.hung);
        EXPECT_EQ(r.code, row.code) << r.out.toStdString() << r.err.toStdString();
        if (row.code == 0) {
            EXPECT_TRUE(r.out.contains(row.says)) << r.out.toStdString();
        } else {
            EXPECT_EQ(r.said().size(), 1) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(row.says)) << r.err.toStdString();
        }
        if (!row.never.isEmpty()) {
            EXPECT_FALSE(r.out.contains(row.never)) << r.out.toStdString();
        }
    }

    QTemporaryDir home;
    Office office;
    HostRun host;
    qint32 anna = 0, ben = 0, kyle = 0;
};

TEST_F(LoginIdentity, EveryCommandTakesASecondLoginAsItsPerson)
{
    office.addLogin("ANNA2", anna);
    const QString own = QString::number(announce("ANNA2", "zebra from the second login", ben));
    const QString first = QString::number(announce("ANNA", "yak from the first login", ben));
    announce("BEN", "quokka for Anna", anna);
    const QString state = home.path() + QStringLiteral("/watch-state.json");

    const Row rows[] = {
        {"own message's confirmations", {"confirmations", "--login", "ANNA2", "--message", own}, 0,
         "from ANNA2"},
        {"the first login's message", {"confirmations", "--login", "ANNA2", "--message", first}, 0,
         "from ANNA:"},
        {"the second login's message from the first", {"confirmations", "--login", "ANNA", "--message", own},
         0, "from ANNA2"},
        {"another person's", {"confirmations", "--login", "BEN", "--message", own}, 1,
         "not among the sent items of BEN"},
        {"sent items", {"inbox", "--login", "ANNA2", "--sent"}, 0, "zebra from the second login"},
        {"sent items of the first login", {"inbox", "--login", "ANNA", "--sent"}, 0,
         "zebra from the second login"},
        {"search of the sent items", {"search", "--login", "ANNA2", "--sent", "zebra"}, 0, "1 message(s)"},
        {"search everywhere", {"search", "--login", "ANNA2", "--everywhere", "zebra"}, 0, "1 message(s)"},
        {"search by the first login", {"search", "--login", "ANNA", "--sent", "zebra"}, 0, "1 message(s)"},
        {"search by another person", {"search", "--login", "BEN", "--sent", "zebra"}, 0, "0 message(s)"},
        {"the watcher tells the person", {"watch", "--once", "--login", "ANNA2", "--state", state}, 0,
         "quokka for Anna"},
        {"the watcher tells nobody else", {"watch", "--once", "--login", "CARLA", "--state", state + "2"}, 0,
         "unread", "quokka for Anna"},
    };
    for (const Row& row : rows)
        check(row);
}

TEST_F(LoginIdentity, APersonWhoHasLeftIsNoLoginAndNoAddressee)
{
    // Kyle worked here until his release: messages came and went under his login.
    office.exec("UPDATE PATable SET pDatRel=NULL WHERE pID=?", {kyle});
    const QString fromKyle = QString::number(announce("KYLE", "sent by Kyle", ben));
    announce("BEN", "for Kyle", kyle);
    office.exec("UPDATE PATable SET pDatRel=? WHERE pID=?", {QStringLiteral("2026-04-30 00:00:00"), kyle});
    const int messages = office.count("CMTable");
    const QString state = home.path() + QStringLiteral("/watch-state.json");
    const QString gone = QStringLiteral("has left the office");

    const Row rows[] = {
        {"inbox", {"inbox", "--login", "KYLE", "--all-categories"}, 2, gone},
        {"sent items", {"inbox", "--login", "kyle", "--sent"}, 2, gone},
        {"search", {"search", "--login", "KYLE", "--everywhere", "kyle"}, 2, gone},
        {"confirmations", {"confirmations", "--login", "KYLE", "--message", fromKyle}, 2, gone},
        {"watch", {"watch", "--once", "--login", "KYLE", "--state", state}, 2, gone},
        {"announce", {"announce", "--login", "KYLE", "--text", "still here", "--to", QString::number(ben)}, 2,
         gone},
        {"announce to him", {"announce", "--login", "BEN", "--text", "x", "--to", QString::number(kyle)}, 1,
         "left the office: " + QString::number(kyle)},
        {"announce to him and others",
         {"announce", "--login", "BEN", "--text", "x", "--to", QString::number(anna) + "," + QString::number(kyle)},
         1, "left the office: " + QString::number(kyle)},
        {"announce to him and no one",
         {"announce", "--login", "BEN", "--text", "x", "--to", QString::number(kyle) + ",2147483647"}, 1,
         "no such person: 2147483647; left the office: " + QString::number(kyle)},
        // Those who stay are not touched.
        {"a current login", {"inbox", "--login", "BEN", "--sent"}, 0, "for Kyle"},
    };
    for (const Row& row : rows)
        check(row);
    EXPECT_EQ(office.count("CMTable"), messages) << "nothing sent, not even to the others";
}

} // namespace
} // namespace tzsndmsg::testing
