#include "BareStatements.h"
#include "ProposedChanges.h"
#include "StoreGenerator.h"
#include "core/MessageListQuery.h"
#include "db/Internals.h"
#include "support/Office.h"
#include "tzsndmsg/db/Recordset.h"
#include "tzsndmsg/db/SqlDialect.h"

#include <QSqlQuery>

using namespace tzsndmsg;
using namespace tzsndmsg::core;
using tzsndmsg::testing::Office;

namespace {

// Rows as text, in the list's order; rows of one message (a person and a computer row) are
// put in recipient-key order, which the list's sort leaves open.
QStringList listRows(db::Recordset rs)
{
    QVector<QPair<QString, QString>> rows; // cmID, row text
    const int n = rs.fieldCount();
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        QStringList values;
        for (int i = 0; i < n; ++i)
            values << rs.fieldNames().at(i).toLower() + u'=' + rs.value(i).toString();
        rows.append({rs.value("cmID").toString(), values.join(u'|')});
    }
    QStringList out;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        QStringList same;
        while (j < rows.size() && rows.at(j).first == rows.at(i).first)
            same << rows.at(j++).second;
        same.sort();
        out << same;
        i = j;
    }
    return out;
}

QStringList keysOf(const QStringList& rows, const QStringList& keyColumns)
{
    QStringList out;
    for (const QString& row : rows) {
        QStringList k;
        for (const QString& part : row.split(u'|'))
            for (const QString& key : keyColumns)
                if (part.startsWith(key + u'='))
                    k << part;
        out << k.join(u'|');
    }
    return out;
}

class GeneratedOffice : public ::testing::Test {
protected:
    void SetUp() override
    {
        bench::StoreSpec spec = bench::StoreSpec().scaled(0.01); // 1,000 messages, 300 staff
        QString error;
        ASSERT_TRUE(bench::generateStore(*office.db(), office.dataFolder(), spec, &summary, &error))
            << error.toStdString();
        params.loginNames << QString();
        params.loginEmployeeIds << 0;
        for (int i = 1; i <= summary.employees; ++i) {
            params.loginNames << bench::generatedLoginName(i);
            params.loginEmployeeIds << i;
        }
        params.computerName = summary.typicalComputer;
    }

    QStringList viewRows(const QString& statement)
    {
        QString error;
        db::Recordset rs = office.db()->query(statement, &error);
        EXPECT_TRUE(rs.isOpen()) << error.toStdString() << "\n" << statement.toStdString();
        rs.setSort(nextSortOrder(QString(), QString()));
        return listRows(rs);
    }

    QStringList bareKeys(const QString& sql, const QVariantList& values, const QStringList& keys)
    {
        QSqlQuery q(tzsndmsg::db::Internals::handle(*office.db()));
        EXPECT_TRUE(q.prepare(sql));
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values.at(i));
        EXPECT_TRUE(q.exec());
        QStringList out;
        while (q.next()) {
            QStringList k;
            for (const QString& key : keys)
                k << key + u'=' + q.value(q.record().indexOf(key)).toString();
            out << k.join(u'|');
        }
        return out;
    }

    Office office;
    bench::StoreSummary summary;
    MessageListParams params;
};

TEST_F(GeneratedOffice, FasterStatementsListTheSameRowsInTheSameOrder)
{
    const auto quote = [](const QString& t) { return db::SqlDialect::quote(t); };
    // The dialect's generic changes only: the statement as written, joins as they stand.
    const db::SqlDialect asWritten(db::Backend::Postgres);
    const QStringList keys{"cmid", "brochkid"};
    int compared = 0;
    const bool sqlite = office.db()->backend() == db::Backend::Sqlite;
    for (bool withProposedIndexes : {false, true}) {
        if (withProposedIndexes) {
            ASSERT_TRUE(bench::applyIndexes(*office.db(), bench::proposedIndexStatements()));
        }
        for (qint32 person : {summary.typicalPid, summary.busiestPid}) {
            for (bool inbox : {true, false})
                for (bool catOnly : {true, false})
                    for (bool history : {false, true}) {
                        if (!inbox && !catOnly)
                            continue; // the sent views have no category choice
                        MessageListParams p = params;
                        p.inboxView = inbox;
                        p.msgCatOnly = catOnly;
                        p.history = history;
                        p.currentEmployeeId = person;
                        const QString written = buildMessageListStatement(p, quote);
                        const QStringList asBuilt = viewRows(asWritten.adapt(written));
                        SCOPED_TRACE(written.toStdString());
                        if (inbox || !history) { // a login's purged sent items may be none
                            EXPECT_FALSE(asBuilt.isEmpty());
                        }
                        // As the store's adapter asks it, and in the form the window runs.
                        EXPECT_EQ(viewRows(office.db()->dialect().adapt(written)), asBuilt);
                        EXPECT_EQ(viewRows(office.db()->dialect().adapt(buildMessageListStatement(
                                      p, quote, ListStatementForm::ToRun))),
                                  asBuilt);
                        const QStringList bare =
                            inbox
                                ? bareKeys(bench::bareInboxStatement(catOnly, history, sqlite),
                                           {person, summary.typicalComputer}, {"cmID", "BroChkID"})
                                : bareKeys(bench::bareSentStatement(history, sqlite),
                                           {params.loginNames.at(person)}, {"cmID"});
                        EXPECT_EQ(bare.join(u'\n').toLower(),
                                  keysOf(asBuilt, inbox ? keys : QStringList{keys.first()})
                                      .join(u'\n')
                                      .toLower());
                        ++compared;
                    }
        }
    }
    EXPECT_EQ(compared, 2 * 2 * 6);
}

TEST_F(GeneratedOffice, GeneratedRowsTakeTheFormsTheWindowWrites)
{
    // Dates and times as the record writer stores them, flags as the window gives them.
    EXPECT_EQ(office.count("CMTable", "cmDat NOT LIKE '____-__-__' OR cmTim NOT LIKE '__:__:__'"),
              0);
    EXPECT_EQ(office.count("CMTable", "cmTyp <> 256 AND cmTyp <> 512"), 0);
    EXPECT_EQ(office.count("CMTable", "CMPurFla IS NOT NULL AND CMPurFla <> 256"), 0);
    EXPECT_EQ(office.count("BroChkTable", "BroChkDonDis IS NOT NULL AND BroChkDonDis <> -1"), 0);
    EXPECT_GT(office.count("BroChkTable", "BroChkDonDis IS NULL"), 0);
    EXPECT_GT(office.count("BroChkTable", "BroChkTyp = 1"), 0);
    EXPECT_GT(office.count("BroChkTable", "BroChkPID = 0 AND BroChkToMac LIKE 'WS%'"), 0);
    EXPECT_EQ(office.count("EVTable", "EvTyp = 0 AND (EvPri <> 'False' AND EvPri <> 'True')"), 0);
    EXPECT_EQ(office.count("PWMTable"), summary.employees + 1);
    // Every message has its detail row, so that the views list it.
    EXPECT_EQ(office.count("CMTable", "cmID NOT IN (SELECT EvLinID FROM EVTable)"), 0);
}

// The bench's bare statement with the names grouped returns the cells the library lists: the
// inboxes of the typical and the busiest employee, whole-office messages among them.
TEST_F(GeneratedOffice, TheBareGroupedStatementGivesTheCellsTheLibraryLists)
{
    const bool sqlite = office.db()->backend() == db::Backend::Sqlite;
    for (qint32 person : {summary.typicalPid, summary.busiestPid}) {
        SCOPED_TRACE(person);
        QSqlQuery q(db::Internals::handle(*office.db()));
        ASSERT_TRUE(q.prepare(
            bench::withBareToCcNames(bench::bareInboxStatement(true, false, sqlite), sqlite)));
        q.bindValue(0, person);
        q.bindValue(1, summary.typicalComputer);
        ASSERT_TRUE(q.exec());
        QHash<qint32, QString> bare;
        while (q.next())
            bare.insert(q.value("cmID").toInt(),
                        toCcCellFrom(q.value("toNames").toString(), q.value("ccNames").toString()));
        ASSERT_GT(bare.size(), 10);
        const QList<qint32> ids = bare.keys();
        QHash<qint32, QString> grouped;
        QString error;
        ASSERT_TRUE(readToCcCellsOf(*office.services(), ids, grouped, &error))
            << error.toStdString();
        const auto rowByRow = readRecipientRowsOf(*office.services(), ids);
        int longCells = 0;
        for (qint32 id : ids) {
            EXPECT_EQ(grouped.value(id), bare.value(id)) << id;
            EXPECT_EQ(toCcCellText(rowByRow.value(id)), bare.value(id)) << id;
            longCells += bare.value(id).size() > 500 ? 1 : 0;
        }
        EXPECT_GT(longCells, 0); // whole-office messages are among them
    }
}

TEST(StoreGenerator, SameSeedSameOffice)
{
    const bench::StoreSpec spec = bench::StoreSpec().scaled(0.002);
    QStringList digests;
    for (int run = 0; run < 2; ++run) {
        Office office;
        bench::StoreSummary s;
        QString error;
        ASSERT_TRUE(bench::generateStore(*office.db(), office.dataFolder(), spec, &s, &error))
            << error.toStdString();
        db::Recordset rs = office.query("SELECT count(*) AS n, sum(BroChkLinID * 7 + BroChkPID * 3 "
                                        "+ coalesce(BroChkDonDis, 5)) "
                                        "AS h FROM BroChkTable");
        rs.moveFirst();
        digests << rs.value("n").toString() + u'/' + rs.value("h").toString();
    }
    EXPECT_EQ(digests.at(0), digests.at(1));
}

} // namespace
