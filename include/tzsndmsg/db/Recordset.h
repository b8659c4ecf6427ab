#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <stdexcept>
#include <tzsndmsg/db/Database.h>
#include <vector>

namespace tzsndmsg::db {

// Raised for a column that does not exist or a read without a current row.
class FieldError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A client-side, static, read-only set of rows with a current position (Database::query gives
// one). Clones share the rows and keep their own position. Column names are matched without
// regard to case. Use it on the thread of its connection.
//
// Values come back as the column's declared type says: a DateText column gives its date as
// "MM/dd/yyyy" text (or the stored text when it is not a date), a TimeText column gives
// "h:mm:ss AP" text, a DateTime column a QDateTime, integers qint64-compatible QVariants.
class Recordset {
public:
    using Bookmark = qint64;
    // absolutePosition() at BOF / EOF / when closed or empty
    static constexpr int PosUnknown = -1;
    static constexpr int PosBOF = -2;
    static constexpr int PosEOF = -3;

    Recordset();
    ~Recordset();
    Recordset(const Recordset&);
    Recordset& operator=(const Recordset&);
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    bool isOpen() const;
    void close();
    QString statement() const;
    // Runs the statement again on its connection; keeps the sort; moves to the first row.
    bool requery(QString* error = nullptr);

    int recordCount() const;
    bool isEmpty() const;
    bool bof() const;
    bool eof() const;
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    int absolutePosition() const; // 1-based
    bool setAbsolutePosition(int position);
    Bookmark bookmark() const;       // stable across sorts, shared with clones
    bool setBookmark(Bookmark mark); // false when the mark is not a row of this set

    // Criteria "column=value" (also <, >, <=, >=, <>; text values in quotes, LIKE with *).
    // Searches forward from the current row (inclusive); when not found the set is at EOF.
    bool find(const QString& criteria);
    // Client-side sort: "CMDat, CMTim, CMID", "CmSubjec DESC". Empty restores the query order.
    // DateText and TimeText columns sort as dates and times. Keeps the current row.
    bool setSort(const QString& order);
    QString sort() const;

    Recordset clone() const; // shares rows, positioned on the first row
    // The rows whose position (0-based, in the current order) `keep` accepts, in that order and
    // under the same sort, on the first row; requery runs `statement`, which reads them afresh.
    Recordset subset(const std::function<bool(int position)>& keep, const QString& statement,
                     const QVariantList& params) const;

    int fieldCount() const;
    QStringList fieldNames() const;
    bool hasField(const QString& name) const;
    int fieldIndex(const QString& name) const; // -1 when missing
    // Throws FieldError for a missing column or when there is no current row.
    QVariant value(const QString& name) const;
    QVariant value(int index) const;
    bool isNull(const QString& name) const;
    // Declared type of a column and its ADO code; throws FieldError for a missing column.
    ColumnType columnType(const QString& name) const;
    int fieldType(const QString& name) const;

private:
    friend class Database;
    static Recordset fromQuery(std::shared_ptr<Database> db, QSqlQuery& query,
                               const QString& statement, const QVariantList& params);
    struct Data;
    std::shared_ptr<Data> m_data;
    std::shared_ptr<std::vector<int>> m_order; // row indices in current sort order
    int m_pos = -1;                            // index into m_order; -1 BOF, size EOF
    QString m_sort;
};

// A forward-only, read-only reader (Database::read gives one): next() moves to the first row, then
// on; false at the end or when the reader is not valid. Use it on the thread of its connection.
class Reader {
public:
    Reader();
    ~Reader();
    Reader(Reader&&) noexcept;
    Reader& operator=(Reader&&) noexcept;
    bool isValid() const;
    bool next();
    bool hasField(const QString& name) const;
    QVariant value(const QString& name) const; // throws FieldError when missing
    QVariant value(int index) const;
    bool isNull(const QString& name) const;
    int fieldCount() const;
    QStringList fieldNames() const;

private:
    friend class Database;
    static Reader fromQuery(std::shared_ptr<Database> db, std::unique_ptr<QSqlQuery> query);
    struct Data;
    std::unique_ptr<Data> d;
};

} // namespace tzsndmsg::db
