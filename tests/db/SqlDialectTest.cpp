#include "tzsndmsg/db/SqlDialect.h"

#include "DbTestSupport.h"

namespace tzsndmsg::db::test {
namespace {

TEST(SqlDialect, RewritesTheOlderDialectAndLeavesLiteralsAlone)
{
    const SqlDialect dialect(Backend::Sqlite);
    const struct {
        const char *given, *expected;
    } cases[] = {
        {"delete * from cmtable where cmID=5", "delete from cmtable where cmID=5"},
        {"DELETE   *\n FROM EVtable where EVLinID=5", "delete from EVtable where EVLinID=5"},
        {"Delete*From x", "delete from x"},
        {"Select hdocID as [ID], hdocDes as [Description] from t",
         "Select hdocID as \"ID\", hdocDes as \"Description\" from t"},
        {"Select a from ZELOWIN.DBO.paTable left join zelowin.dbo.patable.pid",
         "Select a from paTable left join patable.pid"},
        {"select otherdb.dbo.x.y from otherdb.Dbo.x", "select x.y from x"},
        {"select * from t where a='delete * from [x] zelowin.dbo.y'",
         "select * from t where a='delete * from [x] zelowin.dbo.y'"},
        {"select * from t where a='O''Brien [x]' and [b c]=1",
         "select * from t where a='O''Brien [x]' and \"b c\"=1"},
        {"select \"[x]\" from t", "select \"[x]\" from t"},
        // SQLite plans a right join over the whole left side; the same rows as a left join
        // start from the indexed table.
        {"((A LEFT JOIN B ON A.x = B.y) right JOIN C ON A.x = C.z) where q In (1,2) and r is Null",
         "(C LEFT JOIN (A LEFT JOIN B ON A.x = B.y) ON A.x = C.z) where q In (1,2) and r is Null"},
        {"select * from (A right JOIN C ON A.x = C.z)",
         "select * from (A right JOIN C ON A.x = C.z)"},
        {"select A.* from (A) right JOIN C ON A.x = 'a) right JOIN D ON y'",
         "select A.* from C LEFT JOIN (A) ON A.x = 'a) right JOIN D ON y'"},
        {"select 'unterminated", "select 'unterminated"},
        {"select [unterminated", "select [unterminated"},
    };
    for (const auto& c : cases) {
        const QString once = dialect.adapt(QString::fromUtf8(c.given));
        EXPECT_EQ(once, QString::fromUtf8(c.expected)) << c.given;
        EXPECT_EQ(dialect.adapt(once), once) << "not idempotent: " << c.given;
    }
}

TEST(SqlDialect, PostgreSqlKeepsRightJoinsAndQuoteDoublesQuotes)
{
    const QString statement =
        "select A.a from ((A LEFT JOIN B ON A.x = B.y) right JOIN C ON A.x = C.z)";
    EXPECT_EQ(SqlDialect(Backend::Postgres).adapt(statement), statement);
    EXPECT_EQ(SqlDialect::quote("O'Brien"), "'O''Brien'");
    EXPECT_EQ(SqlDialect::quote(QString()), "''");
}

} // namespace
} // namespace tzsndmsg::db::test
