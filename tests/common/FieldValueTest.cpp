#include "fields/FieldValue.h"

#include "common/AutoDate.h"
#include "support/TestPrinters.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using tzsndmsg::common::AutoDate;
using tzsndmsg::common::FieldValue;
using tzsndmsg::common::FieldValueForNull;
using tzsndmsg::common::FieldValueOrZero;
using tzsndmsg::common::FieldValueOrZeroForNull;
namespace db = tzsndmsg::db;

namespace {

const QVariant kNull;
const QVariant kZero(int(0));
const QVariant kZeroDate = QVariant::fromValue(AutoDate::zero());
const QVariant kFalse(false);
const QVariant kEmpty("");

// Same type and value; QVariant's own == would call 0 and "" equal.
void expectSame(const QVariant& actual, const QVariant& expected, const std::string& what)
{
    EXPECT_EQ(actual.isValid(), expected.isValid()) << what;
    if (!expected.isValid())
        return;
    EXPECT_EQ(actual.metaType(), expected.metaType()) << what << " type " << actual.typeName();
    EXPECT_EQ(actual, expected) << what;
}

} // namespace

TEST(FieldValueTables, EmptyValuePerTypeCode)
{
    const struct {
        int code;
        QVariant fieldValue, orZero;
    } cases[] = {
        {2, kZero, kZero},           {3, kZero, kZero},       {4, kZero, kZero},
        {5, kZero, kZero},           {6, kZero, kZero},       {14, kZero, kZero},
        {20, kZero, kZero},          {131, kZero, kZero},     {7, kZeroDate, kZeroDate},
        {133, kZeroDate, kZeroDate}, {135, kNull, kZeroDate}, {134, kZeroDate, kZeroDate},
        {64, kNull, kZeroDate},      {11, kFalse, kFalse},    {129, kEmpty, kEmpty},
        {130, kEmpty, kEmpty},       {200, kEmpty, kEmpty},   {201, kEmpty, kEmpty},
        {202, kEmpty, kEmpty},       {203, kEmpty, kEmpty},   {8, kNull, kEmpty},
        {205, kNull, kZero},         {0, kNull, kZero},       {72, kNull, kZero},
    };
    for (const auto& c : cases) {
        expectSame(FieldValueForNull(c.code), c.fieldValue, "FieldValue " + std::to_string(c.code));
        expectSame(FieldValueOrZeroForNull(c.code), c.orZero, "OrZero " + std::to_string(c.code));
    }
    // The time "12:00:00 AM" and the zero date are the same automation value.
    EXPECT_EQ(FieldValueForNull(134).value<AutoDate>().time(), QTime(0, 0));
}

// Past the last row comes the empty value of the column's declared type (the empty value of
// each code: above; each declared type's code: DatabaseTest).
TEST(FieldValueDb, ValuesUnchangedMissingColumnThrowsNoRowIsEmpty)
{
    QTemporaryDir dir;
    QString error;
    auto db = db::Database::open("sqlite:///" + dir.filePath("f.db"), &error);
    ASSERT_TRUE(db) << error.toStdString();
    ASSERT_TRUE(db->exec("CREATE TABLE FVTable (fvId INTEGER PRIMARY KEY, fvNum INTEGER, fvBig "
                         "BIGINT, fvDbl DOUBLE, fvTxt VARCHAR(20), fvMemo LONGTEXT, fvFla "
                         "BOOLEAN, fvWhen DATETIME)",
                         &error))
        << error.toStdString();
    ASSERT_TRUE(db->exec("INSERT INTO FVTable VALUES (2, 7, 9000000000, 2.5, 'abc', 'memo', 1, "
                         "'2026-12-06 14:07:00')",
                         &error))
        << error.toStdString();
    db::Recordset rs = db->query("SELECT * FROM FVTable", &error);
    ASSERT_TRUE(rs.isOpen()) << error.toStdString();
    for (const char* column : {"fvNum", "fvBig", "fvDbl", "fvTxt", "fvMemo", "fvFla", "fvWhen"}) {
        const QString name = QString::fromLatin1(column);
        expectSame(FieldValue(rs, name), rs.value(name), column);
        expectSame(FieldValueOrZero(rs, name), rs.value(name), column);
    }
    EXPECT_EQ(FieldValue(rs, "fvTxt").toString(), "abc");

    // A missing column reaches the caller.
    EXPECT_THROW(FieldValue(rs, "fvNothing"), db::FieldError);
    EXPECT_THROW(FieldValueOrZero(rs, "fvNothing"), db::FieldError);

    rs.moveNext();
    ASSERT_TRUE(rs.eof());
    expectSame(FieldValue(rs, "fvNum"), kZero, "eof fvNum");
    expectSame(FieldValue(rs, "fvTxt"), kEmpty, "eof fvTxt");
}
