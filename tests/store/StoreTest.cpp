#include "store/MessageStore.h"
#include "store/Schema.h"
#include "support/Office.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

using namespace tzsndmsg;
using tzsndmsg::testing::Office;

TEST(Schema, DeclaresTheLogicalTypesTheReadersNeed)
{
    Office office;
    auto& db = *office.db();
    const struct {
        const char* table;
        const char* column;
        db::ColumnType type;
    } cases[] = {
        {"CMTable", "cmDat", db::ColumnType::DateText},
        {"CMTable", "cmTim", db::ColumnType::TimeText},
        {"CMTable", "cmDoc", db::ColumnType::LongText},
        {"CMTable", "CMPurFla", db::ColumnType::Integer},
        {"EVTable", "EvBroStaTim", db::ColumnType::TimeText},
        {"BroChkTable", "BroChkLasReaDatTim", db::ColumnType::DateTime},
        {"HDOCTable", "hdocStaDat", db::ColumnType::DateTime},
        {"PATable", "pTypEmp", db::ColumnType::Text},
    };
    for (const auto& c : cases)
        EXPECT_EQ(int(db.columnType(QLatin1String(c.table), QLatin1String(c.column))), int(c.type))
            << c.table << "." << c.column;
}

TEST(Schema, MessageDatesStoredAsTextSortInTimeOrder)
{
    Office office;
    auto& services = *office.services();
    const QStringList dates{QStringLiteral("01/02/2027"), QStringLiteral("12/31/2026"),
                            QStringLiteral("02/10/2026")};
    for (const QString& date : dates) {
        qint64 key = 0;
        ASSERT_TRUE(services.writeRecord(9, QStringLiteral("CMTable"), QStringLiteral("cmID"), key,
                                         {QStringLiteral("cmDat"), QStringLiteral("cmTim")},
                                         {date, QStringLiteral("01:05 PM")}));
    }
    db::Recordset rs = office.query(QStringLiteral("select cmDat from CMTable order by cmDat"));
    QStringList order;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        order << rs.value(QStringLiteral("cmDat")).toString();
    EXPECT_EQ(order, (QStringList{QStringLiteral("02/10/2026"), QStringLiteral("12/31/2026"),
                                  QStringLiteral("01/02/2027")}));
}

TEST(DataFolder, IsLaidOutWithReadableIcons)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(store::initDataFolder(dir.path(), &error)) << error.toStdString();
    for (const char* sub : {"TEMP", "stp", "ICO/SMALL", "icons"})
        EXPECT_TRUE(QFileInfo(dir.path() + QLatin1Char('/') + QLatin1String(sub)).isDir()) << sub;
    EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/stp/Machines.Ini")));
    for (const char* icon :
         {"ICO/SMALL/Send Message.ico", "ICO/SMALL/View History.ico", "icons/FlagUsa.ico"})
        EXPECT_FALSE(QImage(dir.path() + QLatin1Char('/') + QLatin1String(icon)).isNull()) << icon;
}

TEST(DataFolder, RefusesAFolderItCannotCreate)
{
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    QString error;
    EXPECT_FALSE(store::initDataFolder(dir.path() + QStringLiteral("/file/data"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DemoOffice, SeedsABelievableOfficeOnce)
{
    Office office;
    QString error;
    ASSERT_TRUE(store::seedDemoOffice(*office.db(), office.dataFolder(), &error))
        << error.toStdString();
    const int logins = office.count(QStringLiteral("PWMTable"));
    EXPECT_GE(logins, 10);
    EXPECT_EQ(
        office.count(QStringLiteral("PWMTable"), QStringLiteral("upper(PWMUseNam)='SUPERVISOR'")),
        1);
    EXPECT_EQ(office.count(QStringLiteral("PATable"), QStringLiteral("pDatRel is not null")), 1);
    EXPECT_GE(office.count(QStringLiteral("CMTable"), QStringLiteral("cmCat='Events'")), 3);
    // The default login sees events: events list their author's own unless one is supervisor.
    EXPECT_GE(office
                  .scalar(QStringLiteral("select count(*) from EVTable join PWMTable on "
                                         "EVTable.EvPID=PWMTable.PWMPID where EVTable.EvTyp=1 "
                                         "and PWMTable.PWMUseNam='ANNA'"))
                  .toInt(),
              1);
    EXPECT_GE(office.count(QStringLiteral("HDOCTable")), 8);
    EXPECT_GE(office.count(QStringLiteral("BroChkTable"), QStringLiteral("BroChkTyp=1")), 1);
    EXPECT_GE(office.count(QStringLiteral("BroChkTable"), QStringLiteral("BroChkToMac<>''")), 1);
    // Seeding again adds nothing.
    ASSERT_TRUE(store::seedDemoOffice(*office.db(), office.dataFolder(), &error));
    EXPECT_EQ(office.count(QStringLiteral("PWMTable")), logins);
}

TEST(MessageStore, DeleteMessageRemovesHeaderDetailAndAddressees)
{
    Office office;
    const qint64 keep = office.insert(QStringLiteral("CMTable"), QStringLiteral("cmID"),
                                      {QStringLiteral("CMSubjec")}, {QStringLiteral("keep")});
    const qint64 gone = office.insert(QStringLiteral("CMTable"), QStringLiteral("cmID"),
                                      {QStringLiteral("CMSubjec")}, {QStringLiteral("gone")});
    for (qint64 id : {keep, gone}) {
        office.insert(QStringLiteral("EVTable"), QStringLiteral("EVID"),
                      {QStringLiteral("EvLinID")}, {id});
        office.insert(QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"),
                      {QStringLiteral("BroChkLinID")}, {id});
    }
    store::DeleteMessage(*office.services(), gone);
    store::DeleteMessage(*office.services(), 0);
    EXPECT_EQ(office.count(QStringLiteral("CMTable")), 1);
    EXPECT_EQ(office.count(QStringLiteral("EVTable"), QStringLiteral("EvLinID=?"), {keep}), 1);
    EXPECT_EQ(office.count(QStringLiteral("EVTable")), 1);
    EXPECT_EQ(office.count(QStringLiteral("BroChkTable")), 1);
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
        QString to = QLatin1String(c.to), cc = QLatin1String(c.cc);
        store::RemoveToFromCc(*office.services(), to, cc, QLatin1String(c.sep));
        EXPECT_EQ(to, QLatin1String(c.toAfter)) << c.to << " / " << c.cc;
        EXPECT_EQ(cc, QLatin1String(c.ccAfter)) << c.to << " / " << c.cc;
    }
}
