#include "tzsndmsg/db/RecordWriter.h"

#include "DbTestSupport.h"
#include "db/Internals.h"

namespace tzsndmsg::db::test {
namespace {

class RecordWriterTest : public TablesTest {
protected:
    void createTables() override
    {
        run("CREATE TABLE MsgTable (msgID " + keyDecl() +
            ", msgDat DATETEXT, msgTim TIMETEXT, "
            "msgWho VARCHAR(50), msgDoc LONGTEXT, msgFla INTEGER, msgSno SMALLINT, msgAmt DOUBLE "
            "PRECISION, "
            "msgLasRea " +
            dateTimeDecl() + ")");
    }

    qint64 insert(const QStringList& names, const QStringList& texts)
    {
        qint64 key = 0;
        QString error;
        EXPECT_TRUE(writeRecord(*m_db, "MsgTable", "msgID", key, names, texts, &error))
            << error.toStdString();
        return key;
    }

    qint64 count() { return m_db->scalar("SELECT count(*) FROM MsgTable").toLongLong(); }
};

TEST_P(RecordWriterTest, ValueFormsRoundTrip)
{
    const struct {
        const char *column, *given;
        QVariant read; // invalid: NULL
    } cases[] = {
        {"msgDat", "12/06/2026", "12/06/2026"},
        {"msgDat", "12/6/26", "12/06/2026"},
        {"msgDat", "2026-12-06", "12/06/2026"},
        {"msgDat", "next week", "next week"},
        {"msgDat", "", ""},
        {"msgDat", "12:00:00 AM", "12/30/1899"},
        {"msgDat", "2:00 PM", "12/30/1899"},
        {"msgTim", "2:07 PM", "2:07:00 PM"},
        {"msgTim", "09:05 am", "9:05:00 AM"},
        {"msgTim", "12:00:00 AM", "12:00:00 AM"},
        {"msgTim", "soon", "soon"},
        {"msgTim", "12/06/2026 2:07 PM", "2:07:00 PM"},
        {"msgTim", "12/06/2026", "12/06/2026"},
        {"msgTim", "", ""},
        {"msgFla", "-1", qint64(-1)},
        {"msgFla", " 12 ", qint64(12)},
        {"msgFla", "True", qint64(-1)},
        {"msgFla", "false", qint64(0)},
        // Whole columns round half to even.
        {"msgFla", "12.5", qint64(12)},
        {"msgFla", "13.5", qint64(14)},
        {"msgFla", "-2.5", qint64(-2)},
        {"msgFla", "1,000", qint64(1000)},
        {"msgFla", "", QVariant()},
        {"msgSno", "7", qint64(7)},
        {"msgAmt", "2.25", 2.25},
        {"msgWho", "O'Brien", "O'Brien"},
        {"msgWho", "", ""},
        {"msgWho", "x'); DROP TABLE MsgTable; --", "x'); DROP TABLE MsgTable; --"},
        {"msgDoc", "line one\r\nline \"two\"", "line one\r\nline \"two\""},
        {"msgLasRea", "12/06/2026 2:07 PM", QDateTime(QDate(2026, 12, 6), QTime(14, 7))},
        {"msgLasRea", "", QVariant()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " <- \"" + c.given + "\"");
        const QString column = c.column;
        const qint64 key = insert({column}, {QString::fromUtf8(c.given)});
        ASSERT_GT(key, 0);
        Recordset rs = open("SELECT * FROM MsgTable WHERE msgID = " + QString::number(key));
        ASSERT_EQ(rs.recordCount(), 1);
        // Numbers compare by value whatever their width; text stays text, NULL stays NULL.
        EXPECT_EQ(rs.value(column), c.read);
    }
    EXPECT_EQ(count(), qint64(std::size(cases)));

    // Dates and times are stored in a form that sorts.
    EXPECT_EQ(
        m_db->scalar("SELECT count(*) FROM MsgTable WHERE msgDat = '2026-12-06' AND msgTim IS NULL")
            .toLongLong(),
        3);
    EXPECT_EQ(m_db->scalar("SELECT count(*) FROM MsgTable WHERE msgTim = '14:07:00'").toLongLong(),
              2);
}

TEST_P(RecordWriterTest, BadInputIsRefusedAndNothingIsWritten)
{
    const qint64 existing = insert({"msgWho", "msgFla"}, {"ANNA", "5"});
    const struct {
        const char* what;
        qint64 key;
        QStringList names, texts;
        const char* mentions;
    } cases[] = {
        {"non-number insert", 0, {"msgWho", "msgFla"}, {"BOB", "abc"}, "abc"},
        {"non-number update", existing, {"msgWho", "msgFla"}, {"BOB", "12x"}, "msgFla"},
        {"two decimal points", 0, {"msgFla"}, {"1.2.3"}, "1.2.3"},
        {"too large", 0, {"msgSno"}, {"40000"}, "msgSno"},
        {"unknown column", 0, {"msgWho", "msgNope"}, {"BOB", "1"}, "msgNope"},
        {"missing row", existing + 100, {"msgWho"}, {"BOB"}, "MsgTable"},
        {"names and values differ", 0, {"msgWho", "msgFla"}, {"BOB"}, "MsgTable"},
        {"not a date-time", 0, {"msgLasRea"}, {"whenever"}, "whenever"},
    };
    for (const auto& c : cases) {
        qint64 key = c.key;
        QString error;
        EXPECT_FALSE(writeRecord(*m_db, "MsgTable", "msgID", key, c.names, c.texts, &error))
            << c.what;
        EXPECT_TRUE(error.contains(c.mentions, Qt::CaseInsensitive))
            << c.what << ": " << error.toStdString();
        EXPECT_EQ(key, c.key) << c.what;
    }
    qint64 key = 0;
    QString error;
    EXPECT_FALSE(writeRecord(*m_db, "NoTable", "id", key, {}, {}, &error));
    EXPECT_FALSE(writeRecord(*m_db, "MsgTable; DROP TABLE MsgTable", "msgID", key, {}, {}, &error));

    EXPECT_EQ(count(), 1);
    Recordset rs = open("SELECT * FROM MsgTable");
    EXPECT_EQ(rs.value("msgWho").toString(), "ANNA");
    EXPECT_EQ(rs.value("msgFla").toLongLong(), 5);
}

// The writer keeps its statements: they serve on after a refused write in a transaction, for
// each key in turn (an update keeps the key, whatever the names' case), after a column is added,
// and a second connection keeps its own.
TEST_P(RecordWriterTest, KeptStatementsServeAfterFailuresSchemaChangesAndOnOtherConnections)
{
    QList<qint64> keys;
    QString error;
    {
        Transaction t(*m_db);
        for (const char* who : {"ANNA", "BOB"})
            keys << insert({"msgWho", "msgFla"}, {who, "1"});
        qint64 key = 0;
        EXPECT_FALSE(writeRecord(*m_db, "MsgTable", "msgID", key, {"msgWho", "msgFla"},
                                 {"CARL", "x"}, &error));
        keys << insert({"msgWho", "msgFla"}, {"DAN", "1"});
        ASSERT_TRUE(t.commit());
    }
    for (qint64 key : keys) {
        const qint64 given = key;
        ASSERT_TRUE(writeRecord(*m_db, "msgtable", "MSGID", key, {"MSGFLA"}, {QString::number(key)},
                                &error))
            << error.toStdString();
        EXPECT_EQ(key, given);
    }
    EXPECT_EQ(rows("SELECT msgWho, msgFla - msgID FROM MsgTable ORDER BY msgID"),
              (QStringList{"ANNA|0", "BOB|0", "DAN|0"}));

    run("ALTER TABLE MsgTable ADD COLUMN msgNote integer");
    const qint64 noted = insert({"msgWho", "msgNote"}, {"EVE", " 41.6 "});
    EXPECT_EQ(m_db->scalar("SELECT msgNote FROM MsgTable WHERE msgID = ?", {noted}).toInt(), 42);

    auto other = Database::open(m_url, &error);
    ASSERT_TRUE(other) << error.toStdString();
    for (Database* on : {other.get(), m_db.get(), other.get()}) {
        qint64 key = 0;
        EXPECT_TRUE(writeRecord(*on, "MsgTable", "msgID", key, {"msgWho"}, {"FAY"}, &error))
            << error.toStdString();
    }
    EXPECT_EQ(m_db->scalar("SELECT count(*) FROM MsgTable WHERE msgWho = 'FAY'").toInt(), 3);
}

// Many rows in a few statements are stored as one row at a time stores them: the same values,
// the same stored forms, keys in the order given; a bad text anywhere writes nothing.
TEST_P(RecordWriterTest, ManyRowsAtOnceAreStoredAsOneAtATime)
{
    const QStringList names{"msgWho", "msgFla", "msgDat", "msgTim", "msgAmt", "msgSno"};
    const QList<QStringList> forms{
        {"ANNA", "0", "12/06/2026", "2:07 PM", "2.25", "7"},
        {"", "-1", "", "", "", ""},
        {"O'Brien", "True", "next week", "soon", "1,000", " 3 "},
        {"WS2", "12.5", "2026-12-06", "12:00:00 AM", "-0.5", "0"},
    };
    // The columns as stored, and on SQLite, which keeps a type per value, the types too.
    QStringList columns{"msgWho, msgFla, msgDat, msgTim, msgAmt, msgSno"};
    if (!isPostgres())
        columns << "typeof(msgWho), typeof(msgFla), typeof(msgDat), typeof(msgAmt), typeof(msgSno)";
    const auto stored = [this](const QString& selected, qint64 from, qint64 to) {
        return rows(
            QString("SELECT %1 FROM MsgTable WHERE msgID >= %2 AND msgID < %3 ORDER BY msgID")
                .arg(selected)
                .arg(from)
                .arg(to));
    };
    for (const int n : {1, 3, 64, 65, 150}) {
        SCOPED_TRACE(n);
        QList<QStringList> rows;
        for (int i = 0; i < n; ++i) {
            QStringList row = forms.at(i % forms.size());
            row[0] += QString::number(i); // each row its own, to see the order
            rows << row;
        }
        const qint64 firstOne =
            m_db->scalar("SELECT coalesce(max(msgID), 0) FROM MsgTable").toLongLong() + 1;
        for (const QStringList& row : rows)
            insert(names, row);
        const qint64 firstMany = m_db->scalar("SELECT max(msgID) FROM MsgTable").toLongLong() + 1;
        QString error;
        ASSERT_TRUE(insertRecords(*m_db, "MsgTable", "msgID", names, rows, &error))
            << error.toStdString();
        const qint64 end = m_db->scalar("SELECT max(msgID) FROM MsgTable").toLongLong() + 1;
        EXPECT_EQ(end - firstMany, n);
        for (const QString& c : columns)
            EXPECT_EQ(stored(c, firstMany, end), stored(c, firstOne, firstMany));
    }

    const qint64 before = count();
    QList<QStringList> bad(100, forms.first());
    bad[70][1] = "abc";
    QString error;
    EXPECT_FALSE(insertRecords(*m_db, "MsgTable", "msgID", names, bad, &error));
    EXPECT_TRUE(error.contains("abc")) << error.toStdString();
    EXPECT_FALSE(insertRecords(*m_db, "MsgTable", "msgID", names, {{"ANNA"}}, &error));
    EXPECT_FALSE(insertRecords(*m_db, "MsgTable", "msgID", {"msgNope"}, {{"x"}}, &error));
    EXPECT_EQ(count(), before);
    EXPECT_TRUE(insertRecords(*m_db, "MsgTable", "msgID", names, {}, &error));
}

// Number columns: a blank is NULL and no failure; other text that does not read as a number is
// refused with the column kind's reason, and nothing is reported for what is accepted. Also the
// forms the tables above have no column for.
TEST(ConvertText, NumberColumnsTakeBlanksAsNullAndRefuseOtherText)
{
    const struct {
        ColumnType type;
        const char* text;
        QVariant stored;    // invalid: NULL
        const char* reason; // nullptr: accepted
    } cases[] = {
        {ColumnType::Integer, " ", QVariant(), nullptr},
        {ColumnType::SmallInt, "", QVariant(), nullptr},
        {ColumnType::BigInt, " 2.5 ", qint64(2), nullptr},
        {ColumnType::Integer, "x1", QVariant(), "\"x1\" is not a number."},
        {ColumnType::SmallInt, "-32769", QVariant(), "-32769 is too large for the column."},
        {ColumnType::Double, "", QVariant(), nullptr},
        {ColumnType::Numeric, " 1.25 ", 1.25, nullptr},
        {ColumnType::Double, "false", 0.0, nullptr},
        {ColumnType::Numeric, "abc ", QVariant(), "\"abc \" is not a number."},
        {ColumnType::Boolean, "\t", QVariant(), nullptr},
        {ColumnType::Boolean, "0", false, nullptr},
        {ColumnType::Boolean, "-1", true, nullptr},
        {ColumnType::Boolean, "yes", QVariant(), "\"yes\" is neither True nor False."},
        {ColumnType::Boolean, "true", true, nullptr},
        {ColumnType::DateText, "12/06/2026 2:07 PM", "12/06/2026 2:07 PM", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" as type " + std::to_string(int(c.type)));
        bool ok = c.reason != nullptr; // the opposite of what should come back
        QString error = "untouched";
        EXPECT_EQ(convertText(c.text, c.type, &ok, &error), c.stored);
        EXPECT_EQ(ok, !c.reason);
        EXPECT_EQ(error, c.reason ? c.reason : "untouched");
        // Without a place for the outcome the refusal is still NULL.
        EXPECT_EQ(convertText(c.text, c.type), c.stored);
    }
}

TZ_DB_BACKENDS(RecordWriterTest);

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
