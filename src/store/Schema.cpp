#include "Schema.h"

#include "SearchIndex.h"
#include "tzsndmsg/db/Database.h"

#include <QStringList>

namespace tzsndmsg::store {

namespace {

// Logical types as the database layer reads them back (see db::ColumnType).
struct Column {
    const char* name;
    const char* type; // INTEGER, TEXT, LONGTEXT, DATETEXT, TIMETEXT, DATETIME
};

struct Table {
    const char* name;
    const char* key;
    std::initializer_list<Column> columns;
};

// The component's tables, the suite tables it reads or writes, and the services' own tables.
const std::initializer_list<Table>& tables()
{
    static const std::initializer_list<Table> all = {
        {"CMTable",
         "cmID",
         {{"cmTyp", "INTEGER"},
          {"cmTraLinID", "INTEGER"},
          {"cmTim", "TIMETEXT"},
          {"cmDat", "DATETEXT"},
          {"cmWho", "TEXT"},
          {"cmPid", "INTEGER"},
          {"cmCat", "TEXT"},
          {"cmSubCat", "TEXT"},
          {"cmWhoMod", "TEXT"},
          {"cmModDat", "DATETEXT"},
          {"cmDoc", "LONGTEXT"},
          {"CMSubjec", "TEXT"},
          {"cmDocAftDis", "INTEGER"},
          {"CMNeeCom", "INTEGER"},
          {"CMShoOnRep", "INTEGER"},
          {"cmConRec", "INTEGER"},
          {"CMPurFla", "INTEGER"},
          {"CMSerLev", "INTEGER"},
          {"cmfFla1", "INTEGER"}}},
        {"EVTable",
         "EVID",
         {{"EvPID", "INTEGER"},
          {"EvLinID", "INTEGER"},
          {"EvTyp", "INTEGER"},
          {"EvPri", "TEXT"},
          {"EVAlaFla", "INTEGER"},
          {"EVAlaStaDatFla", "INTEGER"},
          {"EVAlaStaDat", "DATETEXT"},
          {"EVAlaStaTim", "TIMETEXT"},
          {"EvBroFla", "INTEGER"},
          {"EvBroStaDatFla", "INTEGER"},
          {"EvBroStaDat", "DATETEXT"},
          {"EvBroStaTim", "TIMETEXT"},
          {"evBroDat", "TIMETEXT"},
          {"EvBroReaFla", "INTEGER"},
          {"EvBroReaEve", "INTEGER"},
          {"EvBroReaTyp", "INTEGER"},
          {"EvBroNumOfTim", "INTEGER"},
          {"EvBroEndDatFla", "INTEGER"},
          {"EvBroEndDat", "DATETEXT"}}},
        {"BroChkTable",
         "BroChkID",
         {{"BroChkLinID", "INTEGER"},
          {"BroChkPID", "INTEGER"},
          {"BroChkTyp", "INTEGER"},
          {"BroChkToMac", "TEXT"},
          {"BroChkAssPID", "INTEGER"},
          {"BroChkSavToFla", "INTEGER"},
          {"BroChkDonDis", "INTEGER"},
          {"BroChkSno", "INTEGER"},
          {"BroChkLasReaDatTim", "DATETIME"}}},
        {"PATable",
         "pID",
         {{"PLasNam", "TEXT"},
          {"PFirNam", "TEXT"},
          {"PDocIni", "TEXT"},
          {"pDatRel", "DATETIME"},
          {"PBirDat", "DATETIME"},
          {"pTypEmp", "TEXT"}}},
        {"PWMTable", "PWMID", {{"PWMUseNam", "TEXT"}, {"PWMPID", "INTEGER"}}},
        {"EBTable", "EBID", {{"EBPid", "INTEGER"}, {"EBDep", "TEXT"}}},
        {"ESTable", "ESID", {{"EBID", "INTEGER"}, {"ESSta", "TEXT"}, {"ESStaDat", "DATETIME"}}},
        {"AbsTable",
         "AbsID",
         {{"AbsPid", "INTEGER"},
          {"AbsDat", "DATETIME"},
          {"AbsStaTim", "TIMETEXT"},
          {"AbsEndTim", "TIMETEXT"},
          {"AbsRea", "TEXT"}}},
        {"ApTable",
         "ApID",
         {{"ApPid", "INTEGER"},
          {"apDat", "DATETIME"},
          {"apStaTim", "TIMETEXT"},
          {"ApDes", "TEXT"}}},
        {"TimTable",
         "TimID",
         {{"TimPid", "INTEGER"},
          {"TimDat", "DATETIME"},
          {"TimIn", "TIMETEXT"},
          {"TimOut", "TIMETEXT"}}},
        {"HDOCTable",
         "hdocID",
         {{"hdocDes", "TEXT"},
          {"hdocInAct", "INTEGER"},
          {"hdocUseDatFla", "INTEGER"},
          {"hdocObsOn", "INTEGER"},
          {"hdocObsWeeDay", "INTEGER"},
          {"hdocObsMon", "INTEGER"},
          {"hdocOnSat", "INTEGER"},
          {"hdocOnSun", "INTEGER"},
          {"hdocIcoFilNam", "TEXT"},
          {"hdocNotAppToParEmp", "INTEGER"},
          {"hdocHolFla", "INTEGER"},
          {"hdocOffColFla", "INTEGER"},
          {"hdocPayFla", "INTEGER"},
          {"hdocStaDat", "DATETIME"},
          {"hdocEndDat", "DATETIME"}}},
        {"PWATable",
         "PWAID",
         {{"PWAUseNam", "TEXT"},
          {"PWARigNam", "TEXT"},
          {"PWAWriFla", "INTEGER"},
          {"PWAProNam", "TEXT"}}},
        {"NoteTable",
         "NTID",
         {{"NTPid", "INTEGER"},
          {"NTKind", "TEXT"},
          {"NTTxt", "LONGTEXT"},
          {"NTSrc", "TEXT"},
          {"NTLinID", "INTEGER"},
          {"NTCat", "TEXT"},
          {"NTSubCat", "TEXT"},
          {"NTPayRel", "INTEGER"},
          {"NTSavAft", "INTEGER"},
          {"NTDat", "DATETIME"},
          {"NTWho", "TEXT"},
          {"NTTitle", "TEXT"}}},
        {"CannedTextTable",
         "CTKeyID", // not CTID: PostgreSQL reserves ctid
         {{"CTStoNam", "TEXT"}, {"CTTit", "TEXT"}, {"CTTxt", "LONGTEXT"}}},
        {"LabOrderLinkTable",
         "LOID",
         {{"LOMsgID", "INTEGER"},
          {"LOOrdID", "INTEGER"},
          {"LOSender", "TEXT"},
          {"LODat", "DATETIME"}}},
    };
    return all;
}

// The joins and filters of the list views, the picker and the event list.
// No index leads with EvTyp: every message row has EvTyp 0, and SQLite (without statistics)
// would start the inbox from such an index and read the whole store.
const char* const kIndexes[][3] = {
    {"ix_brochk_lin", "BroChkTable", "BroChkLinID"},
    {"ix_brochk_pid", "BroChkTable", "BroChkPID, BroChkLinID"},
    {"ix_brochk_mac", "BroChkTable", "BroChkToMac, BroChkLinID"},
    {"ix_ev_lin", "EVTable", "EvLinID"},
    {"ix_cm_who", "CMTable", "cmWho"},
    {"ix_cm_link", "CMTable", "cmTyp, cmTraLinID"},
    {"ix_pwm_pid", "PWMTable", "PWMPID"},
    {"ix_eb_pid", "EBTable", "EBPid"},
    {"ix_es_eb", "ESTable", "EBID"},
    {"ix_note_pid", "NoteTable", "NTPid"},
    {"ix_canned_store", "CannedTextTable", "CTStoNam"},
    {"ix_hdoc_des", "HDOCTable", "hdocDes"},
};

QString pgType(const QString& logical)
{
    if (logical == QLatin1String("INTEGER"))
        return QStringLiteral("integer");
    if (logical == QLatin1String("TEXT"))
        return QStringLiteral("text");
    if (logical == QLatin1String("DATETIME"))
        return QStringLiteral("timestamp");
    return logical.toLower(); // the domains longtext, datetext, timetext
}

} // namespace

QStringList schemaTableNames()
{
    QStringList names;
    for (const Table& table : tables())
        names << QLatin1String(table.name);
    return names;
}

QStringList schemaStatements(const db::Database& database)
{
    const bool pg = database.backend() == db::Backend::Postgres;
    QStringList out;
    if (pg) {
        // Domains carry the logical type of text columns that hold dates, times and memos.
        for (const char* domain : {"longtext", "datetext", "timetext"})
            out << QStringLiteral("DO $$ BEGIN CREATE DOMAIN %1 AS text; "
                                  "EXCEPTION WHEN duplicate_object THEN NULL; END $$")
                       .arg(QLatin1String(domain));
    }
    for (const Table& table : tables()) {
        QStringList cols;
        cols << (pg ? QStringLiteral("%1 integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                    : QStringLiteral("%1 INTEGER PRIMARY KEY AUTOINCREMENT"))
                    .arg(QLatin1String(table.key));
        for (const Column& c : table.columns)
            cols << QLatin1String(c.name) + QLatin1Char(' ') +
                        (pg ? pgType(QLatin1String(c.type)) : QLatin1String(c.type));
        out << QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
                   .arg(QLatin1String(table.name), cols.join(QStringLiteral(", ")));
    }
    for (const auto& ix : kIndexes)
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                   .arg(QLatin1String(ix[0]), QLatin1String(ix[1]), QLatin1String(ix[2]));
    // The event list's events by owner; stores made before keep working without the old index.
    out << QStringLiteral("DROP INDEX IF EXISTS ix_ev_pid")
        << QStringLiteral(
               "CREATE INDEX IF NOT EXISTS ix_ev_events ON EVTable (EvPID) WHERE EvTyp=1");
    // A watcher counts its unread rows on every message to it: the unread rows alone, not the
    // whole inbox (the condition is the count's own, word for word, so the planner matches it).
    for (const char* column : {"PID", "ToMac"})
        out << QStringLiteral(
                   "CREATE INDEX IF NOT EXISTS ix_brochk_%1_unread ON BroChkTable (BroChk%2) "
                   "WHERE BroChkDonDis is null or BroChkDonDis<>-1")
                   .arg(QString::fromLatin1(column).toLower(), QLatin1String(column));
    out << searchIndexStatements(database);
    return out;
}

QString setUpLockStatement(const db::Database& database)
{
    // Workstations that set up the office at once take turns: on PostgreSQL a lock of the
    // transaction, on SQLite the write lock its transactions take when they begin.
    return database.backend() == db::Backend::Postgres
               ? QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSetUpLock)
               : QString();
}

bool createSchema(db::Database& database, QString* error)
{
    const bool own = !database.inTransaction();
    if (own && !database.transaction()) {
        if (error)
            *error = QStringLiteral("Cannot start a transaction: %1").arg(database.lastError());
        return false;
    }
    // What the store holds is read under the set-up's lock (blank on SQLite, whose transaction
    // is the lock): another workstation may be setting it up at the same moment.
    const QString lock = setUpLockStatement(database);
    QStringList upgrade;
    bool ok = (lock.isEmpty() || database.exec(lock, error)) &&
              searchIndexUpgrade(database, &upgrade, error) &&
              database.execScript(upgrade + schemaStatements(database), error);
    if (own) {
        if (ok && !database.commit()) {
            if (error)
                *error = QStringLiteral("Cannot commit: %1").arg(database.lastError());
            ok = false;
        }
        if (!ok)
            database.rollback();
    }
    database.forgetSchema();
    return ok;
}

} // namespace tzsndmsg::store
