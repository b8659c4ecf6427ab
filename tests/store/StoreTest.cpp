#include "store/MessageStore.h"
#include "store/Schema.h"
#include "support/Office.h"

using namespace tzsndmsg;
using tzsndmsg::testing::Office;

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
    for (const auto& c : cases)
        if (c.indexed)
            EXPECT_EQ(int(db.columnTypeByName(QLatin1String(c.column))), int(c.type)) << c.column;
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
    store::DeleteMessage(*office.services(), gone);
    store::DeleteMessage(*office.services(), 0);
    EXPECT_EQ(office.rows("select cmID from CMTable"), QStringList{QString::number(keep)});
    EXPECT_EQ(office.rows("select EvLinID from EVTable"), QStringList{QString::number(keep)});
    EXPECT_EQ(office.rows("select BroChkLinID from BroChkTable"),
              QStringList{QString::number(keep)});
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
