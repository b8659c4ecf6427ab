#include "DbTestSupport.h"
#include "tzsndmsg/db/RecordWriter.h"

namespace tzsndmsg::db::test {
namespace {

class RecordsetTest : public TablesTest {
protected:
    void createTables() override
    {
        run("CREATE TABLE CMTable (cmID " + keyDecl() +
            ", cmDat DATETEXT, cmTim TIMETEXT, "
            "CMSubjec VARCHAR(50), cmPid INTEGER, cmDoc LONGTEXT, cmAmt DOUBLE PRECISION, "
            "BroChkLasReaDatTim " +
            dateTimeDecl() + ")");
        // Query order (by key) differs from date order: years and noon are crossed.
        const QList<QStringList> rows = {
            {"01/02/2026", "9:00 AM", "b", "2"},       // 1
            {"12/31/2025", "1:00 PM", "O'Brien", "1"}, // 2
            {"01/02/2026", "8:30 AM", "a", "3"},       // 3
            {"", "", "", ""},                          // 4: no date, no time
            {"12/31/2025", "11:45 AM", "c", "1"},      // 5
            {"01/02/2026", "9:00 AM", "B", "2"},       // 6: same date and time as 1
        };
        for (const QStringList& r : rows) {
            qint64 key = 0;
            QString error;
            ASSERT_TRUE(writeRecord(*m_db, "CMTable", "cmID", key,
                                    {"cmDat", "cmTim", "CMSubjec", "cmPid"}, r, &error))
                << error.toStdString();
        }
    }

    static QList<qint64> ids(Recordset rs)
    {
        QList<qint64> out;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            out << rs.value("cmID").toLongLong();
        return out;
    }
};

TEST_P(RecordsetTest, SortsDatesAndTimesAsDatesAndTimesWithNullsFirst)
{
    Recordset rs = open("SELECT * FROM CMTable ORDER BY cmID");
    EXPECT_EQ(ids(rs), QList<qint64>({1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(rs.setSort("CMDat, CMTim, CMID"));
    // No date first, then the dates of 2025, then 2026; ties in query order.
    EXPECT_EQ(ids(rs), QList<qint64>({4, 5, 2, 3, 1, 6}));
    ASSERT_TRUE(rs.setSort("cmDat DESC, cmTim, cmID DESC"));
    EXPECT_EQ(ids(rs), QList<qint64>({3, 6, 1, 5, 2, 4}));
    ASSERT_TRUE(rs.setSort("CMSubjec"));
    // "" first; then case-insensitive a, b/B (stable), c, O'Brien.
    EXPECT_EQ(ids(rs), QList<qint64>({4, 3, 1, 6, 5, 2}));
    run("UPDATE CMTable SET cmPid = NULL WHERE cmID = 3");
    ASSERT_TRUE(rs.requery());
    EXPECT_EQ(rs.sort(), "CMSubjec");
    ASSERT_TRUE(rs.setSort("cmPid, cmID"));
    EXPECT_EQ(ids(rs), QList<qint64>({3, 4, 2, 5, 1, 6}));
    EXPECT_FALSE(rs.setSort("NoSuchColumn"));
    ASSERT_TRUE(rs.setSort(QString()));
    EXPECT_EQ(ids(rs), QList<qint64>({1, 2, 3, 4, 5, 6}));
}

TEST_P(RecordsetTest, FindSearchesForwardFromTheCurrentRow)
{
    Recordset rs = open("SELECT * FROM CMTable ORDER BY cmID");
    EXPECT_TRUE(rs.find("cmPid=2"));
    EXPECT_EQ(rs.value("cmID").toLongLong(), 1);
    EXPECT_TRUE(rs.find("cmPid=2")); // the current row counts
    EXPECT_EQ(rs.value("cmID").toLongLong(), 1);
    rs.moveNext();
    EXPECT_TRUE(rs.find("CMPID = 2"));
    EXPECT_EQ(rs.value("cmID").toLongLong(), 6);
    rs.moveNext();
    EXPECT_FALSE(rs.find("cmPid=2"));
    EXPECT_TRUE(rs.eof());

    const struct {
        const char* criteria;
        qint64 id; // 0: not found
    } cases[] = {
        {"CMSubjec='O''Brien'", 2},
        {"cmsubjec = 'o''brien'", 2},
        {"CMSubjec LIKE 'O''B*'", 2},
        {"CMSubjec like '*rie*'", 2},
        {"cmDat='12/31/2025'", 2},
        {"cmTim='11:45:00 AM'", 5},
        {"cmPid>2", 3},
        {"cmPid<>2", 2},
        {"cmPid<=1", 2},
        {"cmPid>=3", 3},
        {"cmPid<1", 0},
        {"CMSubjec='nobody'", 0},
        {"cmPid=null", 4},
    };
    for (const auto& c : cases) {
        rs.moveFirst();
        SCOPED_TRACE(c.criteria);
        EXPECT_EQ(rs.find(c.criteria), c.id != 0);
        EXPECT_EQ(rs.eof() ? 0 : rs.value("cmID").toLongLong(), c.id);
    }
    EXPECT_THROW(rs.find("nocolumn=1"), FieldError);
}

TEST_P(RecordsetTest, SortKeepsTheRowClonesShareRowsButNotPosition)
{
    Recordset rs = open("SELECT * FROM CMTable ORDER BY cmID");
    ASSERT_TRUE(rs.setAbsolutePosition(2));
    const Recordset::Bookmark mark = rs.bookmark();
    ASSERT_TRUE(rs.setSort("CMDat, CMTim, CMID"));
    EXPECT_EQ(rs.value("cmID").toLongLong(), 2);
    EXPECT_EQ(rs.absolutePosition(), 3);
    EXPECT_FALSE(rs.setBookmark(99));
    EXPECT_FALSE(rs.setBookmark(-1));

    rs.moveLast();
    Recordset copy = rs.clone();
    EXPECT_EQ(copy.absolutePosition(), 1);
    EXPECT_EQ(copy.recordCount(), 6);
    EXPECT_EQ(copy.value("cmID").toLongLong(), 4);
    EXPECT_EQ(rs.value("cmID").toLongLong(), 6);
    ASSERT_TRUE(copy.setBookmark(mark)); // bookmarks survive sorting and work on clones
    EXPECT_EQ(copy.value("cmID").toLongLong(), 2);
    // Sorting the clone leaves the original's order alone.
    ASSERT_TRUE(copy.setSort("cmID DESC"));
    rs.moveFirst();
    EXPECT_EQ(rs.value("cmID").toLongLong(), 4);
    rs.close();
    EXPECT_EQ(copy.recordCount(), 6);
}

// A subset keeps the rows asked for in the set's order and sort; requery reads its own
// statement, not the set's.
TEST_P(RecordsetTest, SubsetKeepsOrderAndSortAndRequeriesItsOwnStatement)
{
    Recordset rs = open("SELECT * FROM CMTable ORDER BY cmID");
    ASSERT_TRUE(rs.setSort("CMDat, CMTim, CMID")); // 4, 5, 2, 3, 1, 6
    Recordset odd = rs.subset([](int position) { return position % 2 == 1; },
                              "SELECT * FROM CMTable WHERE cmPid = ?", {2});
    EXPECT_EQ(ids(odd), QList<qint64>({5, 3, 6}));
    EXPECT_EQ(odd.sort(), rs.sort());
    EXPECT_EQ(odd.absolutePosition(), 1);
    EXPECT_EQ(odd.value("CMSubjec").toString(), "c");
    EXPECT_EQ(rs.recordCount(), 6); // the set itself is left as it was
    ASSERT_TRUE(odd.setSort("cmID DESC"));
    EXPECT_EQ(ids(odd), QList<qint64>({6, 5, 3}));
    ASSERT_TRUE(odd.requery());
    EXPECT_EQ(odd.sort(), "cmID DESC");
    EXPECT_EQ(ids(odd), QList<qint64>({6, 1}));
    EXPECT_TRUE(rs.subset([](int) { return false; }, QString(), {}).isEmpty());
    EXPECT_FALSE(Recordset().subset([](int) { return true; }, QString(), {}).isOpen());
}

TEST_P(RecordsetTest, PositionsBofAndEof)
{
    Recordset rs = open("SELECT * FROM CMTable ORDER BY cmID");
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), 1);
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), Recordset::PosBOF);
    EXPECT_THROW(rs.value("cmID"), FieldError);
    EXPECT_EQ(rs.bookmark(), -1);
    rs.moveLast();
    EXPECT_EQ(rs.absolutePosition(), 6);
    rs.moveNext();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.absolutePosition(), Recordset::PosEOF);
    rs.movePrevious();
    EXPECT_EQ(rs.absolutePosition(), 6);
    EXPECT_FALSE(rs.setAbsolutePosition(0));
    EXPECT_FALSE(rs.setAbsolutePosition(7));
    ASSERT_TRUE(rs.setAbsolutePosition(4));
    EXPECT_EQ(rs.value("cmID").toLongLong(), 4);

    Recordset none = open("SELECT * FROM CMTable WHERE cmID < 0");
    EXPECT_EQ(std::tuple(none.isOpen(), none.bof(), none.eof(), none.recordCount(),
                         none.absolutePosition()),
              std::tuple(true, true, true, 0, Recordset::PosUnknown));
    EXPECT_THROW(none.value("cmID"), FieldError);
    EXPECT_TRUE(none.hasField("cmid"));

    Recordset closed;
    EXPECT_TRUE(closed.eof());
    EXPECT_THROW(closed.value(0), FieldError);
}

TEST_P(RecordsetTest, ValuesNamesAndTypeCodes)
{
    run("UPDATE CMTable SET cmAmt = 2.5, BroChkLasReaDatTim = '2026-12-06 14:07:00' WHERE cmID = "
        "1");
    Recordset rs =
        open("SELECT CMTable.*, count(*) OVER () AS cnt, 'x' AS lit, 'later' AS CMSubjec FROM "
             "CMTable ORDER BY cmID");
    EXPECT_TRUE(rs.hasField("CMSUBJEC"));
    EXPECT_EQ(rs.fieldIndex("cmsubjec"), rs.fieldIndex("CMTable.CMSubjec"));
    EXPECT_EQ(rs.value("CMSubjec").toString(), "b"); // of a name twice, the first
    EXPECT_EQ(rs.fieldIndex("nope"), -1);
    EXPECT_THROW(rs.value("nope"), FieldError);
    EXPECT_THROW(rs.fieldType("nope"), FieldError);
    EXPECT_EQ(rs.value("cmDat").toString(), "01/02/2026");
    EXPECT_EQ(rs.value("cmTim").toString(), "9:00:00 AM");
    EXPECT_EQ(rs.value("BroChkLasReaDatTim").toDateTime(),
              QDateTime(QDate(2026, 12, 6), QTime(14, 7)));
    EXPECT_EQ(rs.value("cnt").toLongLong(), 6);
    EXPECT_EQ(rs.value("cnt").metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(rs.value("cmPid").metaType().id(), QMetaType::LongLong);
    // Table columns carry their declared type; computed ones get their code from the value.
    const struct {
        const char* column;
        ColumnType type;
        int code;
    } cases[] = {
        {"cmID", ColumnType::Integer, 3},     {"cmTim", ColumnType::TimeText, 202},
        {"cmDoc", ColumnType::LongText, 203}, {"BroChkLasReaDatTim", ColumnType::DateTime, 7},
        {"cnt", ColumnType::Unknown, 3},      {"lit", ColumnType::Unknown, 202},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        EXPECT_EQ(rs.columnType(c.column), c.type);
        EXPECT_EQ(rs.fieldType(c.column), c.code);
    }
    rs.setAbsolutePosition(4);
    EXPECT_TRUE(rs.isNull("cmPid"));
    EXPECT_FALSE(rs.value("cmPid").isValid());
    EXPECT_FALSE(rs.isNull("cmDat")); // an empty text stays text
    EXPECT_TRUE(rs.isNull("cmDoc"));
}

TEST_P(RecordsetTest, ReadersNestAndConvertLikeRecordsets)
{
    QString error;
    Reader outer = m_db->read(
        "SELECT cmID, cmDat, cmTim FROM CMTable WHERE cmPid = ? ORDER BY cmID", {2}, &error);
    ASSERT_TRUE(outer.isValid()) << error.toStdString();
    EXPECT_THROW(outer.value("cmID"), FieldError);
    QList<qint64> seen;
    while (outer.next()) {
        seen << outer.value("CMID").toLongLong();
        EXPECT_EQ(outer.value("cmDat").toString(), "01/02/2026");
        EXPECT_EQ(outer.value("cmTim").toString(), "9:00:00 AM");
        // A lookup per row on the same connection must not lose the outer rows.
        Reader inner =
            m_db->read("SELECT CMSubjec FROM CMTable WHERE cmID = ?", {seen.last()}, &error);
        ASSERT_TRUE(inner.next()) << error.toStdString();
        EXPECT_FALSE(inner.isNull("CMSubjec"));
        EXPECT_EQ(m_db->scalar("SELECT count(*) FROM CMTable").toLongLong(), 6);
    }
    EXPECT_EQ(seen, QList<qint64>({1, 6}));
    EXPECT_THROW(outer.value("nope"), FieldError);

    Reader bad = m_db->read("SELECT * FROM NoSuchTable", &error);
    EXPECT_FALSE(bad.isValid());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(bad.next());
}

TZ_DB_BACKENDS(RecordsetTest);

} // namespace
} // namespace tzsndmsg::db::test
