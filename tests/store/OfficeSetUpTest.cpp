// Setting up an office with the public calls, as a host does before it opens its services.
#include "store/MessageStore.h"
#include "store/Schema.h"
#include "support/Files.h"
#include "support/Office.h"
#include "tzsndmsg/Office.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

using namespace tzsndmsg;
using tzsndmsg::testing::Office;

namespace {

const Office::Options bare{.createSchema = false, .initDataFolder = false};

bool servicesOpen(const QString& url, const QString& dataFolder, QString* error)
{
    tzglob::Config config;
    config.databaseUrl = url;
    config.dataFolder = dataFolder;
    config.loginName = "ANNA";
    config.computerName = "WS1";
    tzglob::tzGlobal services(config);
    return services.open(error);
}

TEST(OfficeSetUp, ANewOfficeOpensAndSettingItUpAgainKeepsItsRows)
{
    Office office(bare); // an empty database: SQLite, or a new schema on the test server
    const QString data = office.tempPath() + "/clinic/data"; // no "/" at the end
    QString error;
    ASSERT_TRUE(createOffice(office.databaseUrl(), data, &error)) << error.toStdString();
    for (const char* path : {"TEMP", "stp", "ICO/SMALL", "icons"})
        EXPECT_TRUE(QFileInfo(data + "/" + path).isDir()) << path;
    EXPECT_TRUE(QFileInfo::exists(data + "/stp/Machines.Ini"));
    for (const char* icon :
         {"ICO/SMALL/Send Message.ico", "ICO/SMALL/View History.ico", "icons/FlagUsa.ico"})
        EXPECT_FALSE(QImage(data + "/" + icon).isNull()) << icon;
    ASSERT_TRUE(servicesOpen(office.databaseUrl(), data, &error)) << error.toStdString();

    office.addEmployee("Alvarez", "Anna", "AA", "ANNA");
    ASSERT_TRUE(tzsndmsg::testing::writeFile(data + "/stp/Machines.Ini", "WS1\r\n"));
    ASSERT_TRUE(createOffice(office.databaseUrl(), data, &error)) << error.toStdString();
    EXPECT_EQ(office.count("PWMTable"), 1);
    EXPECT_EQ(tzsndmsg::testing::readAll(data + "/stp/Machines.Ini"), "WS1\r\n");
}

// One office of a group on one server: its schema is made with it, whatever its name.
TEST(OfficeSetUp, AnOfficeInASchemaOfItsOwnMakesTheSchema)
{
    if (!Office::usingPostgres())
        GTEST_SKIP() << "PostgreSQL only: a SQLite office is a file of its own";
    Office office(bare);
    const QString base = office.databaseUrl();
    const QString schema = QUrlQuery(QUrl(base)).queryItemValue("schema") + " north \"b\"";
    const QString url = base.left(base.indexOf('?')) + "?schema=" + QUrl::toPercentEncoding(schema);
    const QString data = office.tempPath() + "/north";
    QString error;
    ASSERT_TRUE(createOffice(url, data, &error)) << error.toStdString();
    EXPECT_TRUE(servicesOpen(url, data, &error)) << error.toStdString();
    EXPECT_EQ(office.count("information_schema.tables",
                           "table_schema = ? AND lower(table_name) = 'cmtable'", {schema}),
              1);
    EXPECT_TRUE(createOffice(url, data, &error)) << error.toStdString();
    office.exec(QString("DROP SCHEMA \"%1\" CASCADE").arg(QString(schema).replace("\"", "\"\"")));
}

TEST(OfficeSetUp, AStoreOfAnOlderVersionGetsWhatItLacks)
{
    Office office;
    office.addEmployee("Alvarez", "Anna", "AA", "ANNA");
    office.exec("drop table HDOCTable");
    office.exec("drop index ix_brochk_lin");
    ASSERT_TRUE(createOffice(office.databaseUrl(), office.dataFolder()));
    auto db = db::Database::open(office.databaseUrl());
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->hasTable("HDOCTable"));
    EXPECT_EQ(office.count("HDOCTable"), 0);
    EXPECT_EQ(office.count("PWMTable"), 1);
    // The index is back: creating it again under its name fails.
    QString error;
    EXPECT_FALSE(db->exec("CREATE INDEX ix_brochk_lin ON BroChkTable (BroChkLinID)", &error));
}

TEST(OfficeSetUp, WhatCannotBeSetUpIsRefusedWithTheReason)
{
    if (Office::usingPostgres())
        GTEST_SKIP() << "SQLite only";
    QTemporaryDir dir;
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const QString url = "sqlite://" + dir.path() + "/office.db";
    const QString data = dir.path() + "/data";
    // A data folder whose TEMP is a link to a folder elsewhere.
    const QString linked = dir.path() + "/linked", elsewhere = dir.path() + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(linked) && QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, linked + "/TEMP"));
    const struct {
        const char* name;
        QString url, data, reason;
    } cases[] = {
        {"an address of no database", "mysql://clinic/office", data, "Bad database address"},
        {"a relative SQLite path", "sqlite://office.db", data, "absolute path"},
        {"a database folder under a file", "sqlite://" + dir.path() + "/file/office.db", data,
         "cannot create the folder of " + dir.path() + "/file/office.db"},
        // Never the root folder's TEMP/ and stp/.
        {"no data folder", url, "", "no data folder given"},
        {"a data folder under a file", url, dir.path() + "/file/data", "cannot create folder"},
        {"a TEMP that is a link", url, linked, "TEMP in data folder " + linked + "/ is a link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(createOffice(c.url, c.data, &error));
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(data));
    EXPECT_TRUE(QDir(elsewhere).isEmpty()) << "nothing is written through the link";
}

// A believable office, seeded once, through a data folder named without its slash.
TEST(OfficeSetUp, TheDemoOfficeIsSeededOnceAndFindsItsDataFolderWithoutTheSlash)
{
    Office office;
    const QString folder = QDir::cleanPath(office.dataFolder());
    QString error;
    ASSERT_TRUE(addDemoOffice(*office.db(), folder, &error)) << error.toStdString();
    EXPECT_TRUE(tzsndmsg::testing::readAll(folder + "/stp/Machines.Ini").contains("FRONTDESK"));
    EXPECT_FALSE(QFileInfo::exists(folder + "stp"));
    const int logins = office.count("PWMTable");
    EXPECT_GE(logins, 10);
    EXPECT_EQ(office.count("PWMTable", "upper(PWMUseNam)='SUPERVISOR'"), 1);
    EXPECT_EQ(office.count("PATable", "pDatRel is not null"), 1);
    EXPECT_GE(office.count("CMTable", "cmCat='Events'"), 3);
    // The default login sees events: events list their author's own unless one is supervisor.
    EXPECT_GE(office.count("EVTable join PWMTable on EVTable.EvPID=PWMTable.PWMPID",
                           "EVTable.EvTyp=1 and PWMTable.PWMUseNam='ANNA'"),
              1);
    EXPECT_GE(office.count("HDOCTable"), 8);
    EXPECT_GE(office.count("BroChkTable", "BroChkTyp=1"), 1);
    EXPECT_GE(office.count("BroChkTable", "BroChkToMac<>''"), 1);
    // Seeding again adds nothing.
    ASSERT_TRUE(addDemoOffice(*office.db(), folder, &error));
    EXPECT_EQ(office.count("PWMTable"), logins);
}

TEST(OfficeSetUp, ADamagedSearchIndexIsNamedAsDamageAndRebuilt)
{
    if (Office::usingPostgres())
        GTEST_SKIP() << "SQLite only: pages of the file are SQLite's; the server keeps its own";
    Office office;
    office.addEmployee("Alvarez", "Anna", "AA", "ANNA");
    QList<OfficeDamage> damage;
    QString error;
    ASSERT_TRUE(checkOffice(office.databaseUrl(), office.dataFolder(), damage,
                            OfficeCheckDepth::Full, &error))
        << error.toStdString();
    EXPECT_TRUE(damage.isEmpty()) << damage.value(0).text.toStdString();

    // The index's first page overwritten, as a failing disk would.
    office.scalar("PRAGMA wal_checkpoint(TRUNCATE)");
    const qint64 root =
        office.scalar("SELECT rootpage FROM sqlite_schema WHERE name = 'PAWrdTable_data'")
            .toLongLong();
    const qint64 pageSize = office.scalar("PRAGMA page_size").toLongLong();
    {
        QFile file(QUrl(office.databaseUrl()).path());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek((root - 1) * pageSize));
        file.write(QByteArray(pageSize, char(0x5A)));
    }

    EXPECT_FALSE(servicesOpen(office.databaseUrl(), office.dataFolder(), &error));
    EXPECT_TRUE(isStoreDamage(error)) << error.toStdString();
    EXPECT_FALSE(error.contains("create the schema")) << error.toStdString();

    for (const OfficeCheckDepth depth : {OfficeCheckDepth::Quick, OfficeCheckDepth::Full}) {
        ASSERT_TRUE(checkOffice(office.databaseUrl(), QString(), damage, depth, &error))
            << error.toStdString();
        ASSERT_EQ(damage.size(), 1);
        EXPECT_TRUE(damage.first().searchIndex);
        EXPECT_TRUE(damage.first().text.contains("persons' names"))
            << damage.first().text.toStdString();
    }

    ASSERT_TRUE(repairSearchIndex(office.databaseUrl(), &error)) << error.toStdString();
    ASSERT_TRUE(checkOffice(office.databaseUrl(), office.dataFolder(), damage,
                            OfficeCheckDepth::Full, &error));
    EXPECT_TRUE(damage.isEmpty()) << damage.value(0).text.toStdString();
    ASSERT_TRUE(servicesOpen(office.databaseUrl(), office.dataFolder(), &error))
        << error.toStdString();
    EXPECT_EQ(
        office.scalar("SELECT count(*) FROM PAWrdTable WHERE PAWrdTable MATCH 'alvarez'").toInt(),
        1);
}

} // namespace

TEST(Schema, DeclaresTheLogicalTypesTheReadersNeed)
{
    Office office;
    auto& db = *office.db();
    const struct {
        const char *table, *column;
        db::ColumnType type;
        bool indexed = false; // a column the search index's tables name too
    } cases[] = {
        {"CMTable", "cmDat", db::ColumnType::DateText},
        {"CMTable", "cmTim", db::ColumnType::TimeText},
        {"CMTable", "cmDoc", db::ColumnType::LongText, true},
        {"CMTable", "CMPurFla", db::ColumnType::Integer},
        {"EVTable", "EvBroStaTim", db::ColumnType::TimeText},
        {"BroChkTable", "BroChkLasReaDatTim", db::ColumnType::DateTime},
        {"HDOCTable", "hdocStaDat", db::ColumnType::DateTime},
        {"PATable", "pTypEmp", db::ColumnType::Text},
        {"CMTable", "CMSubjec", db::ColumnType::Text, true},
        {"CMTable", "cmWho", db::ColumnType::Text, true},
        {"PATable", "PLasNam", db::ColumnType::Text, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(int(db.columnType(QLatin1String(c.table), QLatin1String(c.column))), int(c.type))
            << c.table << "." << c.column;
    db.forgetSchema(); // read by name alone, the type is still the table's
    for (const auto& c : cases) {
        if (c.indexed) {
            EXPECT_EQ(int(db.columnTypeByName(QLatin1String(c.column))), int(c.type)) << c.column;
        }
    }
}

TEST(Schema, MessageDatesStoredAsTextSortInTimeOrder)
{
    Office office;
    auto& services = *office.services();
    const QStringList dates{"01/02/2027", "12/31/2026", "02/10/2026"};
    for (const QString& date : dates) {
        qint64 key = 0;
        ASSERT_TRUE(services.writeRecord(9, "CMTable", "cmID", key, {"cmDat", "cmTim"},
                                         {date, "01:05 PM"}));
    }
    EXPECT_EQ(office.rows("select cmDat from CMTable order by cmDat"),
              (QStringList{"02/10/2026", "12/31/2026", "01/02/2027"}));
}

TEST(MessageStore, DeleteMessageRemovesHeaderDetailAndAddressees)
{
    Office office;
    const qint64 keep = office.insert("CMTable", "cmID", {"CMSubjec"}, {"keep"});
    const qint64 gone = office.insert("CMTable", "cmID", {"CMSubjec"}, {"gone"});
    for (qint64 id : {keep, gone}) {
        office.insert("EVTable", "EVID", {"EvLinID"}, {id});
        office.insert("BroChkTable", "BroChkID", {"BroChkLinID"}, {id});
    }
    EXPECT_TRUE(store::DeleteMessage(*office.services(), gone));
    EXPECT_TRUE(store::DeleteMessage(*office.services(), 0));
    const QStringList kept{QString::number(keep)};
    EXPECT_EQ(office.rows("select cmID from CMTable"), kept);
    EXPECT_EQ(office.rows("select EvLinID from EVTable"), kept);
    EXPECT_EQ(office.rows("select BroChkLinID from BroChkTable"), kept);

    // A statement that fails deletes nothing: no header left without its addressees.
    office.exec("DROP TABLE EVTable");
    QString why;
    EXPECT_FALSE(store::DeleteMessage(*office.services(), keep, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(office.rows("select cmID from CMTable"), kept);
    EXPECT_EQ(office.rows("select BroChkLinID from BroChkTable"), kept);
}

TEST(MessageStore, RemoveToFromCcLeavesEachAddresseeInOneList)
{
    Office office;
    const struct {
        const char *to, *cc, *sep, *toAfter, *ccAfter;
    } cases[] = {
        {"12,7,", "7,3,", ",", "12,7,", "3,"},
        {"12,", "12,", ",", "12,", ""},
        {"12,", "3,4,", ",", "12,", "3,4,"},
        {"", "3,", ",", "", "3,"},
        {"1,", "11,1,", ",", "1,", "11,"}, // a prefix of another id is not that id
        {"WS1\n", "WS2\nWS1\n", "\n", "WS1\n", "WS2\n"},
        {"WS1\nWS2\n", "WS2\n", "\n", "WS1\nWS2\n", ""},
    };
    for (const auto& c : cases) {
        QString to = c.to, cc = c.cc;
        store::RemoveToFromCc(*office.services(), to, cc, c.sep);
        EXPECT_EQ(to + " / " + cc, QString(c.toAfter) + " / " + c.ccAfter) << c.to << " / " << c.cc;
    }
}
