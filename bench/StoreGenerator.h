#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

namespace tzsndmsg::db {
class Database;
}

namespace tzsndmsg::bench {

// The size and mix of a generated office. Defaults: a busy office after four years of use
// (100,000 messages, about 1.75 million recipient rows, 300 employees in 20 departments).
struct StoreSpec {
    int employees = 300;
    int departments = 20;
    int computers = 30;
    int messages = 100000;
    int years = 4;
    int events = 2000;
    double wholeOfficeShare = 0.05;   // messages to every employee
    double computerShare = 0.03;      // other messages that also go to a computer
    double ccShare = 0.15;            // recipient rows of other messages on the Cc list
    double otherCategoryShare = 0.03; // headers whose cmCat is not "Message"
    double purgedShare = 0.06;        // messages older than two months with CMPurFla 256
    // Messages added on top that never reach the typical employee, her computer or her login:
    // a bigger store with the same inbox (factor 3 makes a store 4 times as large).
    double backgroundFactor = 0.0;
    std::uint64_t seed = 20261206;
    QDate today = QDate(2026, 12, 6); // the fixed "today" of the office
    QString label;                    // kept in the summary (the scale asked for)

    // Messages and events shrunk by the factor (with small floors); the staff, departments
    // and computers stay, so a shrunken store is a younger office, not a smaller one.
    StoreSpec scaled(double scale) const;
};

// What the benchmarks need to know of a generated office (kept in the store's BenchMeta table).
struct StoreSummary {
    qint32 typicalPid = 0; // an employee who receives a typical number of messages
    QString typicalLogin;
    QString typicalComputer;  // the workstation she works at
    qint32 busiestPid = 0;    // the employee with the most received rows
    qint64 messages = 0;      // CMTable rows of category "Message" and others (no events)
    qint64 recipientRows = 0; // BroChkTable rows of messages
    qint64 events = 0;
    int employees = 0;
    int departments = 0;
    QString scaleText; // as asked, for the report
};

// Fills an empty database (schema created here) and the data folder's stp/Machines.Ini.
// Deterministic: the same spec gives the same rows on both databases.
bool generateStore(db::Database& db, const QString& dataFolder, const StoreSpec& spec,
                   StoreSummary* summary, QString* error);

// Reads the summary a generation left in the store; false when the store was not generated.
bool readStoreSummary(db::Database& db, StoreSummary* summary);

// The login name the generator gives employee number i (1-based).
QString generatedLoginName(int index);

} // namespace tzsndmsg::bench
