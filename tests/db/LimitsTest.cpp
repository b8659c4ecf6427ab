// Addresses that would make a stray file, quoting on servers with either rule for backslashes,
// writers that wait for each other, and a server that stops answering.
#include "DbTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace tzsndmsg::db::test {
namespace {

TEST(ConnectionUrl, RefusesWhatWouldMakeAnotherFileThanAskedFor)
{
    QTemporaryDir dir;
    const QString base = "sqlite://" + dir.path();
    const QString refused[] = {
        base + "/office.db%00.evil", // cut at the zero byte
        base + "/office.db?mode=ro", // an option SQLite addresses do not take
        base + "/office.db?busy_timeout=soon",
        base + "/%20office.db", // a name that starts with a blank
        base + "/office%20",    // or ends with one
        base + "/",             // a folder
        base + "/..",
        base + "/%FF%FE.db", // not UTF-8
        base + "/line%0Abreak.db",
        "postgresql://u@h/db?sslmod=require", // a misspelt option is not silently ignored
        "postgresql://u@h/db?statement_timeout=0",
        "",
        "office.db",
        "sqlite://relative.db",
        "mysql://u@h/db",
        "postgresql://u@h:5432/",
        "postgresql:///db",
        "postgresql://u@h/db?sslmode=maybe",
        "postgresql://u@h/db?sslrootcert=/a;sslmode=disable",
        "postgresql://u@h/db?sslkey=",
        "sqlite:///tmp/x.db?sslmode=require",
        "postgresql://u@a,,b/db",
        "postgresql://u@a,x@b/db",
        "postgresql://u@a,b/db?target_session_attrs=writable",
    };
    for (const QString& url : refused) {
        QString error;
        EXPECT_FALSE(ConnectionUrl::parse(url, &error)) << url.toStdString();
        EXPECT_TRUE(error.startsWith("Bad database address")) << error.toStdString();
        EXPECT_FALSE(error.contains('\n'));
        EXPECT_EQ(Database::open(url), nullptr) << url.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    const auto sqlite = ConnectionUrl::parse(base + "/an office.db?busy_timeout=1500");
    ASSERT_TRUE(sqlite);
    EXPECT_EQ(sqlite->path, dir.path() + "/an office.db");
    EXPECT_EQ(sqlite->busyTimeoutMs, 1500);
    EXPECT_EQ(ConnectionUrl::parse(base + "/x.db")->busyTimeoutMs, kDefaultBusyTimeoutMs);
    const auto pg =
        ConnectionUrl::parse("postgresql://u@h/db?schema=s&busy_timeout=200&statement_timeout=900");
    ASSERT_TRUE(pg);
    EXPECT_EQ(std::tuple(pg->schema, pg->busyTimeoutMs, pg->statementTimeoutMs),
              std::tuple(QString("s"), 200, 900));

    // Only the set-up of an office creates its file.
    QString error;
    EXPECT_EQ(Database::open(base + "/new.db", &error, OpenMode::ExistingFile), nullptr);
    EXPECT_TRUE(error.contains("no such file")) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/new.db"));
}

// Texts a name or a login may hold, as the services quote them into a statement.
const QString kNastyTexts[] = {
    "O'Brien",   "back\\slash", "\\'); CREATE TABLE pwned (x int); --", "\\\\''\\",
    "tab\there", "line\nbreak", QString::fromUtf8("Zo\u00eb \u4e2d"),   "",
    "%_*?[]\"",
};

class Quoting : public DbTest {};

TEST_P(Quoting, EveryTextComesBackAsItWas)
{
    for (const QString& text : kNastyTexts) {
        QString error;
        const QVariant back = m_db->scalar("SELECT " + m_db->quote(text), {}, &error);
        EXPECT_EQ(back.toString(), text)
            << m_db->quote(text).toStdString() << ": " << error.toStdString();
    }
    EXPECT_EQ(m_db->quote(QString()), "''");
    EXPECT_FALSE(m_db->hasTable("pwned"));
}

// A server, database or role may turn standard_conforming_strings off; the connection turns it
// on again for itself, and the driver's escaping holds under either rule.
TEST_P(Quoting, HoldsWhereTheServerSaysBackslashesEscape)
{
    if (!isPostgres())
        GTEST_SKIP() << "PostgreSQL only";
    const QByteArray before = qgetenv("PGOPTIONS");
    qputenv("PGOPTIONS", "-c standard_conforming_strings=off");
    QString error;
    auto db = Database::open(m_url, &error);
    if (before.isNull())
        qunsetenv("PGOPTIONS");
    else
        qputenv("PGOPTIONS", before);
    ASSERT_TRUE(db) << error.toStdString();
    EXPECT_EQ(db->scalar("SHOW standard_conforming_strings").toString(), "on");
    for (const QString& text : kNastyTexts)
        EXPECT_EQ(db->scalar("SELECT " + db->quote(text)).toString(), text);

    // A bare connection of the driver with the rule off: its own escaping doubles backslashes.
    const auto url = ConnectionUrl::parse(m_url);
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase("QPSQL", "raw-off");
        raw.setHostName(url->host);
        raw.setPort(url->port);
        raw.setDatabaseName(url->database);
        raw.setUserName(url->user);
        raw.setConnectOptions("options='-c standard_conforming_strings=off'");
        ASSERT_TRUE(raw.open());
        QSqlQuery show(raw);
        ASSERT_TRUE(show.exec("SHOW standard_conforming_strings") && show.next());
        EXPECT_EQ(show.value(0).toString(), "off");
        for (const QString& text : kNastyTexts) {
            QSqlField field{QString(), QMetaType(QMetaType::QString)};
            field.setValue(text);
            QSqlQuery q(raw);
            ASSERT_TRUE(q.exec("SELECT " + raw.driver()->formatValue(field)) && q.next());
            EXPECT_EQ(q.value(0).toString(), text);
        }
    }
    QSqlDatabase::removeDatabase("raw-off");
}

TZ_DB_BACKENDS(Quoting);

class Waiting : public DbTest {};

// A write transaction that read before it wrote is not lost to a writer that came between: it
// holds the write lock from its start, and the other waits its turn.
TEST_P(Waiting, WritersTakeTurnsInsteadOfFailing)
{
    run("CREATE TABLE Turn (n INTEGER)");
    ASSERT_TRUE(m_db->transaction()) << m_db->lastError().toStdString();
    EXPECT_EQ(m_db->scalar("SELECT count(*) FROM Turn").toInt(), 0);
    bool otherOk = false;
    QString otherError;
    const QString url = m_url;
    std::thread other([&] {
        auto db = Database::open(url);
        otherOk = db && db->exec("INSERT INTO Turn (n) VALUES (2)", &otherError);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    run("INSERT INTO Turn (n) VALUES (1)");
    EXPECT_TRUE(m_db->commit()) << m_db->lastError().toStdString();
    other.join();
    EXPECT_TRUE(otherOk) << otherError.toStdString();
    EXPECT_EQ(m_db->scalar("SELECT count(*) FROM Turn").toInt(), 2);
}

// When the wait is over, the failure says what happened and what to do.
TEST_P(Waiting, AnExhaustedWaitFailsClearly)
{
    run("CREATE TABLE Turn (n INTEGER)");
    ASSERT_TRUE(m_db->transaction());
    run(isPostgres() ? "LOCK TABLE Turn IN EXCLUSIVE MODE" : "INSERT INTO Turn (n) VALUES (1)");
    QString error;
    auto impatient =
        Database::open(m_url + (m_url.contains('?') ? "&" : "?") + "busy_timeout=200", &error);
    ASSERT_TRUE(impatient) << error.toStdString();
    const bool began = impatient->transaction();
    EXPECT_FALSE(began && impatient->exec("INSERT INTO Turn (n) VALUES (2)", &error));
    if (!began)
        error = impatient->lastError();
    EXPECT_TRUE(error.startsWith("the database is busy")) << error.toStdString();
    m_db->rollback();
}

// A server that stops answering mid-statement: the statement fails once its time is up, and
// does not wait for ever.
TEST_P(Waiting, AServerThatStopsAnsweringIsGivenUp)
{
    if (!isPostgres())
        GTEST_SKIP() << "PostgreSQL only";
    if (::geteuid() != 0)
        GTEST_SKIP() << "stopping a server process needs root";
    QString error;
    auto db = Database::open(m_url + "&statement_timeout=1000", &error);
    ASSERT_TRUE(db) << error.toStdString();
    // The server side ends a statement that runs too long by itself.
    EXPECT_FALSE(db->exec("SELECT pg_sleep(3)", &error));
    EXPECT_TRUE(error.contains("did not finish the statement within 1 second"))
        << error.toStdString();

    const pid_t backend = pid_t(db->scalar("SELECT pg_backend_pid()").toLongLong());
    ASSERT_GT(backend, 0);
    struct Resume {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); }
    } resume{backend};
    ASSERT_EQ(::kill(backend, SIGSTOP), 0);
    EXPECT_FALSE(db->exec("SELECT 1", &error));
    EXPECT_TRUE(error.contains("did not answer within")) << error.toStdString();
    // The stopped session is given up; the server itself answers, so the next statement runs
    // on a new one.
    EXPECT_TRUE(db->exec("SELECT 1", &error)) << error.toStdString();
    EXPECT_NE(db->scalar("SELECT pg_backend_pid()").toLongLong(), qint64(backend));
}

// A session that went away is told by the statement that met it, not with a line of the
// driver's for every statement that follows; the next statement carries on with a new session.
TEST_P(Waiting, ALostConnectionIsToldByTheStatementsNotByTheDriver)
{
    if (!isPostgres())
        GTEST_SKIP() << "PostgreSQL only";
    const qint64 backend = m_db->scalar("SELECT pg_backend_pid()").toLongLong();
    auto other = Database::open(m_url);
    ASSERT_TRUE(other && other->scalar("SELECT pg_terminate_backend(?)", {backend}).toBool());
    static QStringList driverLines;
    driverLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { driverLines << text; });
    QString first, last;
    m_db->exec("SELECT 1", &first);
    for (int i = 0; i < 200; ++i)
        m_db->query("SELECT 1", &last);
    qInstallMessageHandler(previous);
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(last, QString());
    EXPECT_NE(m_db->scalar("SELECT pg_backend_pid()").toLongLong(), backend);
    EXPECT_LE(driverLines.size(), 1) << driverLines.join('\n').toStdString();
}

TZ_DB_BACKENDS(Waiting);

} // namespace
} // namespace tzsndmsg::db::test
