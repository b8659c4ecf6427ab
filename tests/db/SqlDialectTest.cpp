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

// Every statement shape the windows build, adapted and run on tables with the store's names.
class StatementShapes : public TablesTest {
protected:
    void createTables() override
    {
        // %1 the key column's declaration, %2 a date-time column's.
        QStringList ddl = {
            "CREATE TABLE CMTable (cmID %1, cmTyp INTEGER, cmTraLinID INTEGER, cmTim TIMETEXT, "
            "cmDat "
            "DATETEXT, cmWho VARCHAR(50), cmPid INTEGER, cmCat VARCHAR(50), cmSubCat VARCHAR(50), "
            "cmWhoMod VARCHAR(50), cmModDat DATETEXT, cmDoc LONGTEXT, CMSubjec VARCHAR(255), "
            "cmDocAftDis INTEGER, CMNeeCom INTEGER, CMShoOnRep INTEGER, cmConRec INTEGER, CMPurFla "
            "INTEGER, CMSerLev INTEGER, cmfFla1 INTEGER)",
            "CREATE TABLE EVTable (EVID %1, EvPID INTEGER, EvLinID INTEGER, EvTyp INTEGER, EvPri "
            "VARCHAR(10), EVAlaFla INTEGER, EVAlaStaDatFla INTEGER, EVAlaStaDat DATETEXT, "
            "EVAlaStaTim TIMETEXT, EvBroFla INTEGER, EvBroStaDatFla INTEGER, EvBroStaDat DATETEXT, "
            "EvBroStaTim TIMETEXT, evBroDat TIMETEXT, EvBroReaFla INTEGER, EvBroReaEve INTEGER, "
            "EvBroReaTyp INTEGER, EvBroNumOfTim INTEGER, EvBroEndDatFla INTEGER, EvBroEndDat "
            "DATETEXT)",
            "CREATE TABLE BroChkTable (BroChkID %1, BroChkLinID INTEGER, BroChkPID INTEGER, "
            "BroChkTyp INTEGER, BroChkToMac VARCHAR(50), BroChkAssPID INTEGER, BroChkSavToFla "
            "INTEGER, BroChkDonDis INTEGER, BroChkSno INTEGER, BroChkLasReaDatTim %2)",
            "CREATE TABLE PATable (pID %1, pDocIni VARCHAR(10), PLasNam VARCHAR(50), PFirNam "
            "VARCHAR(50), pTypEmp VARCHAR(5), pDatRel DATETEXT)",
            "CREATE TABLE PWMTable (PWMID %1, PWMPid INTEGER, PWMUseNam VARCHAR(50))",
            "CREATE TABLE EBTable (EBID %1, EBPid INTEGER, EBDep VARCHAR(50))",
            "CREATE TABLE ESTable (ESID %1, EBID INTEGER, ESSta VARCHAR(5))",
            "CREATE TABLE HDOCTable (hdocID %1, hdocDes VARCHAR(50), hdocUseDatFla INTEGER, "
            "hdocObsOn INTEGER, hdocObsWeeDay INTEGER, hdocObsMon INTEGER, hdocInAct INTEGER, "
            "hdocHolFla INTEGER)",
            "CREATE TABLE AbsTable (AbsID %1, AbsDat DATETEXT, AbsStaTim TIMETEXT)",
        };
        for (QString& statement : ddl)
            statement = statement.arg(keyDecl(), dateTimeDecl());
        QString error;
        ASSERT_TRUE(m_db->execScript(ddl, &error)) << error.toStdString();
        const QStringList rows = {
            "INSERT INTO PATable (pDocIni, PLasNam, PFirNam, pTypEmp) VALUES ('AB', 'Baker', "
            "'Ann', "
            "'1')",
            "INSERT INTO PATable (pDocIni, PLasNam, PFirNam, pTypEmp) VALUES ('CD', 'Cole', 'Dan', "
            "'1')",
            "INSERT INTO PWMTable (PWMPid, PWMUseNam) VALUES (1, 'ANNA')",
            "INSERT INTO EBTable (EBPid, EBDep) VALUES (1, 'front desk')",
            "INSERT INTO EBTable (EBPid, EBDep) VALUES (1, 'billing')",
            "INSERT INTO ESTable (EBID, ESSta) VALUES (2, 'A')",
            "INSERT INTO CMTable (cmTyp, cmTraLinID, cmTim, cmDat, cmWho, cmPid, cmCat, cmSubCat, "
            "CMSubjec, CMPurFla) VALUES (256, 0, '14:07:00', '2026-12-06', 'ANNA', 1, 'Message', "
            "'EMS', 'Hello', NULL)",
            "INSERT INTO EVTable (EvPID, EvLinID, EvTyp, EvPri) VALUES (1, 1, 0, 'False')",
            "INSERT INTO BroChkTable (BroChkLinID, BroChkPID, BroChkTyp, BroChkToMac) VALUES (1, "
            "2, "
            "0, '')",
            "INSERT INTO BroChkTable (BroChkLinID, BroChkPID, BroChkTyp, BroChkToMac) VALUES (1, "
            "0, "
            "1, 'PC1')",
            "INSERT INTO HDOCTable (hdocDes, hdocUseDatFla, hdocInAct, hdocHolFla) VALUES ('New "
            "Year', "
            "-1, 0, -1)",
            "INSERT INTO AbsTable (AbsDat, AbsStaTim) VALUES ('2026-12-06', '09:00:00')",
        };
        ASSERT_TRUE(m_db->execScript(rows, &error)) << error.toStdString();
    }

    int rowsOf(const QString& statement)
    {
        Recordset rs = open(statement);
        return rs.recordCount();
    }
};

TEST_P(StatementShapes, ListQueriesRunAsWritten)
{
    const QString inboxW =
        "(EvTable.EvTyp=0 and (CMTable.cmid in (SELECT CMTable.cmID"
        " FROM CMTable INNER JOIN BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID"
        " WHERE (((BroChkTable.BroChkPID)=2 or BroChkToMac='PC1'))))"
        ") and (BroChkPid=2 or BroChkToMac='PC1')";
    const QString inbox =
        "SELECT CMTable.*, EVTable.*, BroChkTable.BroChkDonDis, BroChkTable.BroChkID, "
        "BroChkTable.BroChkLinID FROM ((CMTable LEFT JOIN EVTable ON CMTable.cmID = "
        "EVTable.EVLinID) right JOIN BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID) WHERE ";
    const QString current = ") and ((CMTable.CMPurFla<=255) or (CMTable.CMPurFla is Null))";
    EXPECT_EQ(rowsOf(inbox + "((" + inboxW + ") and CMTable.CMCat='Message'" + current), 2);
    EXPECT_EQ(rowsOf(inbox + "(" + inboxW + ") and CMTable.CMPurFla>255"), 0);

    const QString sent =
        "SELECT CMTable.*, EVTable.* FROM (CMTable LEFT JOIN EVTable ON CMTable.cmID = "
        "EVTable.EVLinID) WHERE (((CMTable.cmTyp)>=0 or CMTable.cmTyp is null) and EvTable.EvTyp=0";
    EXPECT_EQ(rowsOf(sent + " and (cmWho='ANNA')" + current), 1);
    EXPECT_EQ(rowsOf(sent + " and cmWho in ('ANNA','O''BRIEN')" + current), 1);

    Recordset cells = open(
        "Select BroChkPID, BroChkTyp, BroChktoMac, zelowin.dbo.paTable.pDocIni from BROCHKTable "
        "left join zelowin.dbo.paTable on BroChkTable.BroChkPID=zelowin.dbo.patable.pid "
        "where BROCHKLINID=1");
    ASSERT_EQ(cells.recordCount(), 2);
    ASSERT_TRUE(cells.find("BroChkPID=2"));
    EXPECT_EQ(cells.value("pDocIni").toString(), "CD");

    Recordset events =
        open("SELECT CMTable.*, EVTable.* FROM CMTable LEFT JOIN EVTable ON CMTable.cmID = "
             "EVTable.EVLinID WHERE ((CMTable.cmTyp)>=0 or (CMTable.cmTyp is Null)) and "
             "EvTable.EvTyp=1 and EvPID=1 order by CMDat, CMTim, CMID");
    EXPECT_EQ(events.recordCount(), 0);
}

TEST_P(StatementShapes, SingleRowReadsRunAsWritten)
{
    const QStringList oneRow = {
        "SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM ((CMTable LEFT JOIN EVTable ON "
        "CMTable.cmID "
        "= EVTable.EVLinID) LEFT JOIN BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID) WHERE "
        "((BroChkTable.BroChkID)= 1 )",
        "SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM CMTable LEFT JOIN EVTable ON CMTable.cmID "
        "= EVTable.EVLinID  WHERE (CMTable.cmID=1)",
        "SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM CMTable LEFT JOIN EVTable ON CMTable.cmID "
        "= EVTable.EVLinID  WHERE ((CMTable.cmTyp)>=0 or (CMTable.cmTyp is Null)) and (evID=1)",
        "Select * from BroChkTable where BroChkID=1;",
        "select * from paTable where pID=1;",
        "select * from AbsTable where AbsTable.AbsID=1",
        "select BroChkSavToFla, BroChkAssPID, BroChkPID from BroChkTable where BroChkID=1",
        "select cmPid from BroChkTable left join cmTable on BroChkTable.BroChkLinID=cmTable.CmID "
        "where BroChkID=1",
        "select * from CMTable where CMTyp=256 and CMTraLinID=0 and CMWho='ANNA'",
        "Select * from HDOCTable where hdocID=1;",
        "Select * from PaTable left Join PWMTable on PaTable.Pid=PWMTable.PWMPid where "
        "PaTable.pTypEmp='1' and PWMTable.PWMUseNam is null Order by "
        "PaTable.PLasNam,PaTable.PFirNam",
        "Select hdocID as [ID], hdocDes as [Description], hdocUseDatFla as [Date],hdocObsOn,"
        "hdocObsWeeDay,hdocObsMon from hdocTable where hdocInAct<>-1 and hdocHolFla=-1 order by "
        "hdocDes",
        "SELECT Max(EBTable.EBID) AS EBID, EBTable.EBPid FROM EBTable INNER JOIN ESTable ON "
        "EBTable.EBID = ESTable.EBID WHERE ESTable.ESSta='A' and EBTable.EBPid In (1,2) GROUP BY "
        "EBTable.EBPid ORDER BY Max(EBTable.EBID) DESC",
    };
    for (const QString& s : oneRow)
        EXPECT_EQ(rowsOf(s), 1) << s.toStdString();

    EXPECT_EQ(
        rowsOf(
            "Select * from BroChkTable where BroChkLinID=1 And (BroChkTyp = 0 Or BroChkTyp = 1)"),
        2);
    EXPECT_EQ(rowsOf("SELECT * FROM PATable WHERE PATable.pID In (1,2) ORDER BY PATable.pID;"), 2);

    Recordset holidays = open("Select hdocID as [ID], hdocDes as [Description] from hdocTable");
    EXPECT_EQ(holidays.fieldNames(), QStringList({"ID", "Description"}));
    // The same column twice: the first one is the one read by name.
    Recordset dup =
        open("SELECT CMTable.*, EVTable.*, CMTable.cmTyp FROM CMTable LEFT JOIN EVTable "
             "ON CMTable.cmID = EVTable.EVLinID  WHERE (CMTable.cmID=1)");
    EXPECT_EQ(dup.value("CMTYP").toLongLong(), 256);
    EXPECT_EQ(dup.value("cmdat").toString(), "12/06/2026");
}

TEST_P(StatementShapes, WritesRunAsWritten)
{
    const SqlDialect& dialect = m_db->dialect();
    QString error;
    int affected = -1;
    ASSERT_TRUE(m_db->exec(dialect.adapt("Update CMTable Set cmPurFla=256 Where CMID=1"), &error,
                           &affected))
        << error.toStdString();
    EXPECT_EQ(affected, 1);
    for (const char* s :
         {"delete * from cmtable where cmID=1", "delete * from brochktable where BroChkLinID=1",
          "delete * from EVtable where EVLinID=1", "delete * from HDOCTable where hdocID=1;"}) {
        affected = -1;
        EXPECT_TRUE(m_db->exec(dialect.adapt(QString::fromLatin1(s)), &error, &affected))
            << s << error.toStdString();
        EXPECT_GE(affected, 1) << s;
    }
    EXPECT_EQ(m_db->scalar("SELECT count(*) FROM BroChkTable").toLongLong(), 0);
}

TZ_DB_BACKENDS(StatementShapes);

} // namespace
} // namespace tzsndmsg::db::test
