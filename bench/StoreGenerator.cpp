#include "StoreGenerator.h"

#include "db/Internals.h"
#include "store/Schema.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace tzsndmsg::bench {

namespace {

// Small, portable draws over the standard engine: the same seed gives the same office with
// any standard library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_engine(seed) {}
    std::uint64_t next() { return m_engine(); }
    // 0 <= n < bound
    int below(int bound) { return bound <= 1 ? 0 : int(next() % std::uint64_t(bound)); }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    bool chance(double p) { return unit() < p; }

private:
    std::mt19937_64 m_engine;
};

const char* const kFirstNames[] = {
    "Anna", "Ben",    "Carla", "David",  "Erin",   "Frank", "Grace", "Henry", "Iris", "Jack",
    "Kara", "Liam",   "Maria", "Noah",   "Olivia", "Paul",  "Quinn", "Rosa",  "Sam",  "Tara",
    "Uma",  "Victor", "Wendy", "Xavier", "Yara",   "Zoe",   "Omar",  "Nina",  "Leo",  "Hana"};
const char* const kLastNames[] = {"Alvarez", "Brooks", "Chen",  "Dawson", "O'Neill", "Fischer",
                                  "Garcia",  "Hughes", "Ito",   "Jensen", "Klein",   "Lopez",
                                  "Moreno",  "Nguyen", "Owens", "Patel",  "Quist",   "Russo",
                                  "Schmidt", "Tanaka", "Usman", "Varga",  "Weber",   "Xu",
                                  "Young",   "Zimmer", "Baker", "Cruz",   "Diaz",    "Evans"};
// Spelled as the suite keeps them: not always in the same case.
const char* const kDepartments[] = {
    "front desk",  "Clinical",         "billing",      "administration", "Laboratory",
    "radiology",   "Pharmacy",         "scheduling",   "Nursing",        "medical records",
    "IT",          "Physical Therapy", "cardiology",   "Pediatrics",     "dermatology",
    "Orthopedics", "Oncology",         "Housekeeping", "Purchasing",     "Human Resources"};
const char* const kSubjects[] = {
    "Patient called", "Lab results",         "Schedule change",   "Staff meeting",
    "Chart ready",    "Call back please",    "Supplies",          "Insurance question",
    "Referral",       "Prescription refill", "Room change",       "Timesheets",
    "Printer",        "Fax received",        "Appointment moved", "Reminder"};
const char* const kWords[] = {
    "the",       "patient", "called", "about", "her",      "results", "please", "call",
    "back",      "after",   "lunch",  "room",  "schedule", "is",      "moved",  "to",
    "Thursday",  "chart",   "ready",  "for",   "review",   "at",      "front",  "desk",
    "insurance", "needs",   "a",      "new",   "referral", "from",    "doctor", "office",
    "supplies",  "arrived", "and",    "are",   "in",       "storage", "today",  "tomorrow"};
const char* const kOtherCategories[] = {"Appointment", "Absence", "Lab Order"};

QString dateText(const QDate& d)
{
    return QLocale::c().toString(d, QStringLiteral("yyyy-MM-dd"));
}
QString timeText(int secs)
{
    return QTime(0, 0).addSecs(secs).toString(QStringLiteral("HH:mm:ss"));
}

// Rows of one table written as multi-row INSERTs with bound values: one prepared statement
// per batch size, so millions of rows go in without the record writer's per-row work.
class BulkInserter {
public:
    BulkInserter(db::Database& db, QString table, QStringList columns, int batchRows = 200)
        : m_db(db), m_table(std::move(table)), m_columns(std::move(columns)), m_batchRows(batchRows)
    {
        m_pending.reserve(m_columns.size() * m_batchRows);
    }

    bool add(const QVariantList& row)
    {
        if (!m_error.isEmpty())
            return false;
        Q_ASSERT(row.size() == m_columns.size());
        m_pending.append(row);
        ++m_rows;
        if (m_pending.size() >= m_columns.size() * m_batchRows)
            return flush();
        return true;
    }

    bool flush()
    {
        if (m_pending.isEmpty())
            return true;
        const int rows = int(m_pending.size() / m_columns.size());
        QSqlQuery* q = nullptr;
        QSqlQuery partial(tzsndmsg::db::Internals::handle(m_db));
        if (rows == m_batchRows) {
            if (!m_full) {
                m_full = std::make_unique<QSqlQuery>(tzsndmsg::db::Internals::handle(m_db));
                if (!m_full->prepare(statement(rows)))
                    return fail(*m_full);
            }
            q = m_full.get();
        } else {
            if (!partial.prepare(statement(rows)))
                return fail(partial);
            q = &partial;
        }
        for (int i = 0; i < m_pending.size(); ++i)
            q->bindValue(i, m_pending.at(i));
        if (!q->exec())
            return fail(*q);
        m_pending.clear();
        return true;
    }

    qint64 rows() const { return m_rows; }
    QString error() const { return m_error; }

private:
    QString statement(int rows) const
    {
        QString one = QStringLiteral("(");
        for (int i = 0; i < m_columns.size(); ++i)
            one += i ? QStringLiteral(",?") : QStringLiteral("?");
        one += QLatin1Char(')');
        QStringList all;
        for (int r = 0; r < rows; ++r)
            all << one;
        return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
            .arg(m_table, m_columns.join(QLatin1Char(',')), all.join(QLatin1Char(',')));
    }

    bool fail(const QSqlQuery& q)
    {
        m_error = m_table + QStringLiteral(": ") + q.lastError().text().trimmed();
        return false;
    }

    db::Database& m_db;
    QString m_table;
    QStringList m_columns;
    int m_batchRows;
    QVariantList m_pending;
    std::unique_ptr<QSqlQuery> m_full;
    qint64 m_rows = 0;
    QString m_error;
};

struct Recipient {
    qint32 pid = 0;
    qint16 computer = 0; // 1-based computer number when pid is 0
    qint8 list = 0;      // 0 To, 1 Cc
};

struct Message {
    int day = 0;  // days before today
    int secs = 0; // time of day
    qint32 sender = 0;
    bool wholeOffice = false;
    std::uint64_t seed = 0; // texts, flags, read states
    std::vector<Recipient> to;
};

int recipientCount(Rng& rng)
{
    const double u = rng.unit();
    if (u < 0.40)
        return 1;
    if (u < 0.65)
        return 2;
    if (u < 0.80)
        return 3;
    if (u < 0.90)
        return 4;
    if (u < 0.95)
        return 5;
    return 6 + rng.below(5);
}

QString words(Rng& rng, int minChars, int maxChars)
{
    const int target = minChars + rng.below(maxChars - minChars + 1);
    QString text;
    text.reserve(target + 16);
    bool sentenceStart = true;
    while (text.size() < target) {
        QString w = QLatin1String(kWords[rng.below(int(std::size(kWords)))]);
        if (sentenceStart)
            w[0] = w.at(0).toUpper();
        text += w;
        sentenceStart = rng.chance(0.12);
        if (sentenceStart)
            text += rng.chance(0.3) ? QStringLiteral(".\r\n") : QStringLiteral(". ");
        else
            text += QLatin1Char(' ');
    }
    return text.trimmed();
}

QString computerName(int n)
{
    return QStringLiteral("WS%1").arg(n, 3, 10, QLatin1Char('0'));
}

// A working day and a time of day of the office, days before today.
void workingMoment(Rng& rng, const StoreSpec& spec, int& day, int& secs)
{
    const int span = std::max(1, spec.years * 365);
    for (;;) {
        day = rng.below(span);
        const int weekday = spec.today.addDays(-day).dayOfWeek();
        if (weekday <= 5 || rng.chance(0.05))
            break;
    }
    secs = 7 * 3600 + 30 * 60 + rng.below(10 * 60 + 30) * 60; // 7:30 am to 6:00 pm
}

class Generator {
public:
    Generator(db::Database& db, const QString& dataFolder, const StoreSpec& spec)
        : m_db(db), m_dataFolder(dataFolder), m_spec(spec)
    {
    }

    bool run(StoreSummary* summary, QString* error);

private:
    bool exec(const QString& sql, const QVariantList& params = {})
    {
        QString e;
        if (!m_db.exec(sql, params, &e)) {
            m_error = sql.left(120) + QStringLiteral(": ") + e;
            return false;
        }
        return true;
    }
    bool check(BulkInserter& ins)
    {
        if (ins.error().isEmpty())
            return true;
        m_error = ins.error();
        return false;
    }
    // Commits now and then so that no transaction grows without bound.
    bool checkpoint()
    {
        if (!m_db.commit() || !m_db.transaction()) {
            m_error = QStringLiteral("cannot commit a batch of generated rows");
            return false;
        }
        return true;
    }

    bool writeStaff();
    void planMessages(std::vector<Message>& all);
    bool writeMessages(const std::vector<Message>& all);
    bool writeEvents();
    bool writeHolidays();
    bool writeMeta();
    bool finishSequences();

    db::Database& m_db;
    QString m_dataFolder;
    StoreSpec m_spec;
    QString m_error;
    QStringList m_logins;           // index 1..employees
    std::vector<qint64> m_received; // per pid
    qint64 m_nextCmId = 1;
    qint64 m_nextEvId = 1;
    qint64 m_nextBcId = 1;
    StoreSummary m_summary;
};

bool Generator::writeStaff()
{
    Rng rng(m_spec.seed ^ 0x5157AFF0ULL);
    const int E = m_spec.employees;
    BulkInserter persons(m_db, QStringLiteral("PATable"),
                         {QStringLiteral("pID"), QStringLiteral("PLasNam"),
                          QStringLiteral("PFirNam"), QStringLiteral("PDocIni"),
                          QStringLiteral("pTypEmp"), QStringLiteral("PBirDat")});
    BulkInserter logins(
        m_db, QStringLiteral("PWMTable"),
        {QStringLiteral("PWMID"), QStringLiteral("PWMUseNam"), QStringLiteral("PWMPID")});
    BulkInserter records(
        m_db, QStringLiteral("EBTable"),
        {QStringLiteral("EBID"), QStringLiteral("EBPid"), QStringLiteral("EBDep")});
    BulkInserter statuses(m_db, QStringLiteral("ESTable"),
                          {QStringLiteral("ESID"), QStringLiteral("EBID"), QStringLiteral("ESSta"),
                           QStringLiteral("ESStaDat")});
    m_logins = QStringList{QString()};
    qint64 eb = 0;
    for (int i = 1; i <= E; ++i) {
        const QString first = QLatin1String(kFirstNames[(i - 1) % std::size(kFirstNames)]);
        const QString last = QLatin1String(
            kLastNames[((i - 1) / std::size(kFirstNames) * 7 + (i - 1)) % std::size(kLastNames)]);
        const QString initials =
            QString(first.at(0)) + QString(last.at(0)) + (i > 26 ? QString::number(i) : QString());
        const QDate born = QDate(1960, 1, 1).addDays(rng.below(40 * 365));
        persons.add({i, last, first, initials, QStringLiteral("1"), dateText(born)});
        m_logins << generatedLoginName(i);
        logins.add({i, m_logins.last(), i});
        // Every employee in a department; the first departments are the bigger ones.
        const int dep = i <= m_spec.departments ? i - 1
                                                : std::min(rng.below(m_spec.departments),
                                                           rng.below(m_spec.departments));
        if (rng.chance(0.1)) { // moved from another department: the latest record counts
            ++eb;
            records.add({eb, i, QLatin1String(kDepartments[(dep + 1) % m_spec.departments])});
            statuses.add({eb, eb, QStringLiteral("Transferred"),
                          dateText(m_spec.today.addDays(-900 - rng.below(500)))});
        }
        ++eb;
        records.add({eb, i, QLatin1String(kDepartments[dep])});
        statuses.add(
            {eb, eb, QStringLiteral("Active"), dateText(m_spec.today.addDays(-rng.below(3000)))});
    }
    logins.add({E + 1, QStringLiteral("SUPERVISOR"), E});
    for (BulkInserter* ins : {&persons, &logins, &records, &statuses})
        if (!ins->flush() || !check(*ins))
            return false;

    // The computers of the office, one line each as the picker reads them.
    QDir().mkpath(m_dataFolder + QStringLiteral("stp"));
    QFile machines(m_dataFolder + QStringLiteral("stp/Machines.Ini"));
    if (!machines.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write ") + machines.fileName();
        return false;
    }
    for (int c = 1; c <= m_spec.computers; ++c)
        machines.write((computerName(c) + QStringLiteral("\r\n")).toLatin1());
    return true;
}

void Generator::planMessages(std::vector<Message>& all)
{
    const int E = m_spec.employees;
    const auto plan = [&](Rng& rng, int count, bool background) {
        for (int n = 0; n < count; ++n) {
            Message m;
            workingMoment(rng, m_spec, m.day, m.secs);
            do
                m.sender = 1 + rng.below(E);
            while (background && m.sender == 1 && E > 1);
            m.seed = rng.next();
            m.wholeOffice = !background && rng.chance(m_spec.wholeOfficeShare);
            if (!m.wholeOffice) {
                const int k = std::min(recipientCount(rng), std::max(1, E - 2));
                while (int(m.to.size()) < k) {
                    const qint32 pid = 1 + rng.below(E);
                    if (pid == m.sender || (background && pid == 1))
                        continue;
                    if (std::any_of(m.to.begin(), m.to.end(),
                                    [pid](const Recipient& r) { return r.pid == pid; }))
                        continue;
                    Recipient r;
                    r.pid = pid;
                    r.list = !m.to.empty() && rng.chance(m_spec.ccShare) ? 1 : 0;
                    m.to.push_back(r);
                }
                if (rng.chance(m_spec.computerShare)) {
                    Recipient r;
                    r.computer = qint16(1 + rng.below(m_spec.computers));
                    if (background && r.computer == 1)
                        r.computer = m_spec.computers > 1 ? 2 : 0;
                    r.list = rng.chance(m_spec.ccShare) ? 1 : 0;
                    if (r.computer)
                        m.to.push_back(r);
                }
            }
            all.push_back(std::move(m));
        }
    };
    Rng main(m_spec.seed);
    plan(main, m_spec.messages, false);
    Rng extra(m_spec.seed ^ 0xBAC6D00DULL);
    plan(extra, int(std::lround(m_spec.messages * m_spec.backgroundFactor)), true);
    // Keys grow with time, as they do in a store that was used; ties keep the plan's order.
    std::stable_sort(all.begin(), all.end(), [](const Message& a, const Message& b) {
        return a.day != b.day ? a.day > b.day : a.secs < b.secs;
    });
}

bool Generator::writeMessages(const std::vector<Message>& all)
{
    const int E = m_spec.employees;
    BulkInserter headers(
        m_db, QStringLiteral("CMTable"),
        {QStringLiteral("cmID"), QStringLiteral("cmTyp"), QStringLiteral("cmTraLinID"),
         QStringLiteral("cmTim"), QStringLiteral("cmDat"), QStringLiteral("cmWho"),
         QStringLiteral("cmPid"), QStringLiteral("cmCat"), QStringLiteral("cmSubCat"),
         QStringLiteral("cmWhoMod"), QStringLiteral("cmDoc"), QStringLiteral("CMSubjec"),
         QStringLiteral("cmDocAftDis"), QStringLiteral("CMNeeCom"), QStringLiteral("CMShoOnRep"),
         QStringLiteral("cmConRec"), QStringLiteral("CMPurFla")},
        100);
    BulkInserter details(m_db, QStringLiteral("EVTable"),
                         {QStringLiteral("EVID"), QStringLiteral("EvPID"),
                          QStringLiteral("EvLinID"), QStringLiteral("EvTyp"),
                          QStringLiteral("EvPri"), QStringLiteral("EVAlaFla"),
                          QStringLiteral("EVAlaStaDatFla"), QStringLiteral("EVAlaStaDat"),
                          QStringLiteral("EVAlaStaTim"), QStringLiteral("EvBroFla"),
                          QStringLiteral("EvBroStaDatFla"), QStringLiteral("EvBroReaFla"),
                          QStringLiteral("EvBroReaEve"), QStringLiteral("EvBroReaTyp"),
                          QStringLiteral("EvBroNumOfTim"), QStringLiteral("EvBroEndDatFla")},
                         100);
    BulkInserter rows(m_db, QStringLiteral("BroChkTable"),
                      {QStringLiteral("BroChkID"), QStringLiteral("BroChkLinID"),
                       QStringLiteral("BroChkPID"), QStringLiteral("BroChkTyp"),
                       QStringLiteral("BroChkToMac"), QStringLiteral("BroChkAssPID"),
                       QStringLiteral("BroChkSavToFla"), QStringLiteral("BroChkDonDis"),
                       QStringLiteral("BroChkLasReaDatTim")},
                      300);

    // The window writes these for a message without a reminder (the zero date and time).
    const QString zeroDate = QStringLiteral("1899-12-30");
    const QString zeroTime = QStringLiteral("00:00:00");
    const QVariant null;
    qint64 sinceCommit = 0;
    for (const Message& m : all) {
        Rng rng(m.seed);
        const qint64 cm = m_nextCmId++;
        const QDate date = m_spec.today.addDays(-m.day);
        const QString login = m_logins.at(m.sender);
        const bool other = rng.chance(m_spec.otherCategoryShare);
        const QString category =
            other ? QLatin1String(kOtherCategories[rng.below(int(std::size(kOtherCategories)))])
                  : QStringLiteral("Message");
        const bool purged = m.day > 60 && rng.chance(m_spec.purgedShare);
        const QString subject = QLatin1String(kSubjects[rng.below(int(std::size(kSubjects)))]);
        headers.add({cm, 256, 0, timeText(m.secs), dateText(date), login, m.sender, category,
                     QStringLiteral("EMS"), login, words(rng, 40, 600), subject, 0,
                     rng.chance(0.05) ? -1 : 0, 0, rng.chance(0.03) ? -1 : 0,
                     purged ? QVariant(256) : null});
        details.add({m_nextEvId++, m.sender, cm, 0,
                     rng.chance(0.02) ? QStringLiteral("True") : QStringLiteral("False"), 0, 0,
                     zeroDate, zeroTime, 0, 0, 0, 0, -1, 0, 0});

        const auto addRow = [&](qint32 pid, const QString& computer, int list) {
            // Read unless recent; a purged message was read by everyone.
            const bool read = purged || rng.chance(m.day > 30 ? 0.98 : 0.5);
            QVariant readAt;
            if (read) {
                QDateTime at(date, QTime(0, 0).addSecs(m.secs));
                at = at.addSecs(300 + rng.below(48 * 3600));
                const QDateTime endOfToday(m_spec.today, QTime(9, 59));
                if (at > endOfToday)
                    at = endOfToday;
                readAt = QLocale::c().toString(at, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            }
            rows.add(
                {m_nextBcId++, cm, pid, list, computer, 0, 0, read ? QVariant(-1) : null, readAt});
            if (pid > 0)
                ++m_received[size_t(pid)];
            ++m_summary.recipientRows;
        };
        if (m.wholeOffice) {
            for (int pid = 1; pid <= E; ++pid)
                addRow(pid, QString(0, QChar()), 0);
        } else {
            for (const Recipient& r : m.to)
                addRow(r.pid, r.pid ? QString(0, QChar()) : computerName(r.computer), r.list);
        }
        ++m_summary.messages;
        sinceCommit += 2 + qint64(m.wholeOffice ? E : m.to.size());
        if (sinceCommit > 200000) {
            sinceCommit = 0;
            for (BulkInserter* ins : {&headers, &details, &rows})
                if (!ins->flush() || !check(*ins))
                    return false;
            if (!checkpoint())
                return false;
        }
    }
    for (BulkInserter* ins : {&headers, &details, &rows})
        if (!ins->flush() || !check(*ins))
            return false;
    return check(headers) && check(details) && check(rows);
}

bool Generator::writeEvents()
{
    Rng rng(m_spec.seed ^ 0xE7E27ULL);
    const int E = m_spec.employees;
    BulkInserter headers(
        m_db, QStringLiteral("CMTable"),
        {QStringLiteral("cmID"), QStringLiteral("cmTyp"), QStringLiteral("cmTraLinID"),
         QStringLiteral("cmTim"), QStringLiteral("cmDat"), QStringLiteral("cmWho"),
         QStringLiteral("cmPid"), QStringLiteral("cmCat"), QStringLiteral("cmSubCat"),
         QStringLiteral("cmWhoMod"), QStringLiteral("cmDoc"), QStringLiteral("CMSubjec")},
        100);
    BulkInserter details(
        m_db, QStringLiteral("EVTable"),
        {QStringLiteral("EVID"), QStringLiteral("EvPID"), QStringLiteral("EvLinID"),
         QStringLiteral("EvTyp"), QStringLiteral("EvBroFla"), QStringLiteral("EvBroStaDatFla"),
         QStringLiteral("EvBroStaDat"), QStringLiteral("EvBroStaTim"), QStringLiteral("evBroDat"),
         QStringLiteral("EvBroReaFla"), QStringLiteral("EvBroReaEve"),
         QStringLiteral("EvBroReaTyp"), QStringLiteral("EvBroNumOfTim")},
        100);
    BulkInserter attendees(m_db, QStringLiteral("BroChkTable"),
                           {QStringLiteral("BroChkID"), QStringLiteral("BroChkLinID"),
                            QStringLiteral("BroChkPID"), QStringLiteral("BroChkTyp")},
                           300);
    const QVariant null;
    for (int n = 0; n < m_spec.events; ++n) {
        const qint64 cm = m_nextCmId++;
        const qint32 owner = 1 + rng.below(E);
        int day = 0, secs = 0;
        workingMoment(rng, m_spec, day, secs);
        const QDate created = m_spec.today.addDays(-day);
        const QDate on = created.addDays(1 + rng.below(60));
        const int from = (8 + rng.below(9)) * 3600 + rng.below(4) * 15 * 60;
        const int to = from + (1 + rng.below(8)) * 15 * 60;
        const bool recurring = rng.chance(0.1);
        headers.add({cm, 512, 0, timeText(secs), dateText(created), m_logins.at(owner), 0,
                     QStringLiteral("Events"), QStringLiteral("EMS"), m_logins.at(owner),
                     words(rng, 20, 200),
                     QLatin1String(kSubjects[rng.below(int(std::size(kSubjects)))])});
        details.add({m_nextEvId++, owner, cm, 1, -1, -1, dateText(on), timeText(from), timeText(to),
                     recurring ? -1 : 0, recurring ? QVariant(1) : null,
                     recurring ? QVariant(7) : null,
                     recurring ? QVariant(rng.chance(0.5) ? -1 : 12) : null});
        const int people = rng.below(9);
        std::vector<qint32> chosen;
        for (int a = 0; a < people; ++a) {
            const qint32 pid = 1 + rng.below(E);
            if (std::find(chosen.begin(), chosen.end(), pid) != chosen.end())
                continue;
            chosen.push_back(pid);
            attendees.add({m_nextBcId++, cm, pid, 0});
        }
        ++m_summary.events;
    }
    for (BulkInserter* ins : {&headers, &details, &attendees})
        if (!ins->flush() || !check(*ins))
            return false;
    return true;
}

bool Generator::writeHolidays()
{
    struct Holiday {
        const char* name;
        bool fixed;
        int on, weekday, month, sat, sun;
        const char* icon;
    };
    const Holiday holidays[] = {
        {"New Year's Day", true, 1, 0, 1, 1, 2, "icons\\Star.ico"},
        {"Martin Luther King Jr. Day", false, 3, 2, 1, 0, 0, "icons\\FlagUsa.ico"},
        {"Presidents' Day", false, 3, 2, 2, 0, 0, "icons\\FlagUsa.ico"},
        {"Memorial Day", false, 0, 2, 5, 0, 0, "icons\\FlagUsa.ico"},
        {"Juneteenth", true, 19, 0, 6, 1, 2, "icons\\Star.ico"},
        {"Independence Day", true, 4, 0, 7, 1, 2, "icons\\FlagUsa.ico"},
        {"Labor Day", false, 1, 2, 9, 0, 0, "icons\\FlagUsa.ico"},
        {"Thanksgiving Day", false, 4, 5, 11, 0, 0, "icons\\Leaf.ico"},
        {"Christmas Day", true, 25, 0, 12, 1, 2, "icons\\Tree.ico"},
    };
    BulkInserter ins(m_db, QStringLiteral("HDOCTable"),
                     {QStringLiteral("hdocID"), QStringLiteral("hdocDes"),
                      QStringLiteral("hdocInAct"), QStringLiteral("hdocUseDatFla"),
                      QStringLiteral("hdocObsOn"), QStringLiteral("hdocObsWeeDay"),
                      QStringLiteral("hdocObsMon"), QStringLiteral("hdocOnSat"),
                      QStringLiteral("hdocOnSun"), QStringLiteral("hdocIcoFilNam"),
                      QStringLiteral("hdocNotAppToParEmp"), QStringLiteral("hdocHolFla"),
                      QStringLiteral("hdocOffColFla"), QStringLiteral("hdocPayFla"),
                      QStringLiteral("hdocStaDat"), QStringLiteral("hdocEndDat")});
    int id = 0;
    const QString zero = QStringLiteral("1899-12-30 00:00:00");
    for (const Holiday& h : holidays)
        ins.add({++id, QLatin1String(h.name), 1, h.fixed ? -1 : 0, h.on, h.weekday, h.month, h.sat,
                 h.sun, QLatin1String(h.icon), 0, -1, -1, -1, zero, zero});
    return ins.flush() && check(ins);
}

bool Generator::writeMeta()
{
    if (!exec(QStringLiteral("CREATE TABLE IF NOT EXISTS BenchMeta (metaKey TEXT PRIMARY KEY, "
                             "metaValue TEXT)")) ||
        !exec(QStringLiteral("DELETE FROM BenchMeta")))
        return false;
    const QList<QPair<QString, QString>> values = {
        {QStringLiteral("typicalPid"), QString::number(m_summary.typicalPid)},
        {QStringLiteral("typicalLogin"), m_summary.typicalLogin},
        {QStringLiteral("typicalComputer"), m_summary.typicalComputer},
        {QStringLiteral("busiestPid"), QString::number(m_summary.busiestPid)},
        {QStringLiteral("messages"), QString::number(m_summary.messages)},
        {QStringLiteral("recipientRows"), QString::number(m_summary.recipientRows)},
        {QStringLiteral("events"), QString::number(m_summary.events)},
        {QStringLiteral("employees"), QString::number(m_summary.employees)},
        {QStringLiteral("departments"), QString::number(m_summary.departments)},
        {QStringLiteral("scale"), m_summary.scaleText},
    };
    for (const auto& [k, v] : values)
        if (!exec(QStringLiteral("INSERT INTO BenchMeta (metaKey, metaValue) VALUES (?, ?)"),
                  {k, v}))
            return false;
    return true;
}

bool Generator::finishSequences()
{
    if (m_db.backend() != db::Backend::Postgres)
        return true; // AUTOINCREMENT follows explicit keys by itself
    const char* const keys[][2] = {{"CMTable", "cmID"},         {"EVTable", "EVID"},
                                   {"BroChkTable", "BroChkID"}, {"PATable", "pID"},
                                   {"PWMTable", "PWMID"},       {"EBTable", "EBID"},
                                   {"ESTable", "ESID"},         {"HDOCTable", "hdocID"}};
    for (const auto& k : keys) {
        const QString table = QString::fromLatin1(k[0]).toLower();
        const QString key = QString::fromLatin1(k[1]).toLower();
        if (!exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                                 "(SELECT coalesce(max(%2), 0) + 1 FROM %1), false)")
                      .arg(table, key)))
            return false;
    }
    return true;
}

bool Generator::run(StoreSummary* summary, QString* error)
{
    const auto failed = [&] {
        if (m_db.inTransaction())
            m_db.rollback();
        if (error)
            *error = m_error;
        return false;
    };
    if (m_spec.employees < 3 || m_spec.departments < 1 ||
        m_spec.departments > int(std::size(kDepartments)) || m_spec.computers < 1 ||
        m_spec.messages < 1) {
        m_error = QStringLiteral("the office needs at least 3 employees, 1 to %1 departments, a "
                                 "computer and a message")
                      .arg(std::size(kDepartments));
        return failed();
    }
    QString e;
    if (!store::createSchema(m_db, &e) || !store::initDataFolder(m_dataFolder, &e)) {
        m_error = e;
        return failed();
    }
    const QVariant existing = m_db.scalar(QStringLiteral("SELECT count(*) FROM CMTable"));
    if (existing.toLongLong() > 0) {
        m_error = QStringLiteral("the store is not empty");
        return failed();
    }
    if (m_db.backend() == db::Backend::Sqlite) {
        // Only for this connection: the file keeps its own settings.
        exec(QStringLiteral("PRAGMA synchronous=OFF"));
        exec(QStringLiteral("PRAGMA cache_size=-65536"));
    }
    m_received.assign(size_t(m_spec.employees) + 1, 0);
    m_summary.employees = m_spec.employees;
    m_summary.scaleText = m_spec.label;
    m_summary.departments = m_spec.departments;
    if (!m_db.transaction()) {
        m_error = QStringLiteral("cannot start a transaction");
        return failed();
    }
    if (!writeStaff())
        return failed();
    std::vector<Message> all;
    planMessages(all);
    if (!writeMessages(all))
        return failed();
    all.clear();
    all.shrink_to_fit();
    if (!writeEvents() || !writeHolidays())
        return failed();

    m_summary.typicalPid = 1;
    m_summary.typicalLogin = m_logins.at(1);
    m_summary.typicalComputer = computerName(1);
    m_summary.busiestPid =
        qint32(std::max_element(m_received.begin(), m_received.end()) - m_received.begin());
    if (!writeMeta() || !finishSequences())
        return failed();
    if (!m_db.commit()) {
        m_error = QStringLiteral("cannot commit the generated office");
        return failed();
    }
    // PostgreSQL's autovacuum would gather statistics soon after a load like this; SQLite has
    // none unless the program asks, and the program does not.
    if (m_db.backend() == db::Backend::Postgres && !exec(QStringLiteral("ANALYZE")))
        return failed();
    if (summary)
        *summary = m_summary;
    return true;
}

} // namespace

StoreSpec StoreSpec::scaled(double scale) const
{
    StoreSpec s = *this;
    const auto shrink = [scale](int n, int floor) {
        return std::max(floor, int(std::lround(n * scale)));
    };
    // The office keeps its staff and computers: the picker, the whole-office send and a
    // typical inbox's share of the store stay as in a real office; the volume shrinks.
    s.messages = shrink(messages, 200);
    s.events = shrink(events, 20);
    return s;
}

QString generatedLoginName(int index)
{
    return QString::fromLatin1(kFirstNames[(index - 1) % std::size(kFirstNames)]).toUpper() +
           QStringLiteral("%1").arg(index, 3, 10, QLatin1Char('0'));
}

bool generateStore(db::Database& db, const QString& dataFolder, const StoreSpec& spec,
                   StoreSummary* summary, QString* error)
{
    QString folder = dataFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    Generator g(db, folder, spec);
    return g.run(summary, error);
}

bool readStoreSummary(db::Database& db, StoreSummary* summary)
{
    if (!db.hasTable(QStringLiteral("BenchMeta")))
        return false;
    QString error;
    db::Reader r = db.read(QStringLiteral("SELECT metaKey, metaValue FROM BenchMeta"), &error);
    if (!r.isValid())
        return false;
    QHash<QString, QString> v;
    while (r.next())
        v.insert(r.value(0).toString(), r.value(1).toString());
    if (!v.contains(QStringLiteral("typicalPid")))
        return false;
    StoreSummary s;
    s.typicalPid = v.value(QStringLiteral("typicalPid")).toInt();
    s.typicalLogin = v.value(QStringLiteral("typicalLogin"));
    s.typicalComputer = v.value(QStringLiteral("typicalComputer"));
    s.busiestPid = v.value(QStringLiteral("busiestPid")).toInt();
    s.messages = v.value(QStringLiteral("messages")).toLongLong();
    s.recipientRows = v.value(QStringLiteral("recipientRows")).toLongLong();
    s.events = v.value(QStringLiteral("events")).toLongLong();
    s.employees = v.value(QStringLiteral("employees")).toInt();
    s.departments = v.value(QStringLiteral("departments")).toInt();
    s.scaleText = v.value(QStringLiteral("scale"));
    if (summary)
        *summary = s;
    return true;
}

} // namespace tzsndmsg::bench
