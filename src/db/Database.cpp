#include "tzsndmsg/db/Database.h"

#include "Deadline.h"
#include "Internals.h"
#include "ValueForms.h"
#include "tzsndmsg/db/Recordset.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <atomic>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tzsndmsg::db {

namespace {

std::atomic<quint64> g_statementsRun{0};
thread_local quint64 t_statementsRun = 0;

void countStatement()
{
    ++g_statementsRun;
    ++t_statementsRun;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString baseName(const QString& column)
{
    const qsizetype dot = column.lastIndexOf(u'.');
    return (dot >= 0 ? column.mid(dot + 1) : column).toLower();
}

bool prepareAndRun(QSqlQuery& q, const QString& statement, const QVariantList& params)
{
    countStatement();
    if (params.isEmpty())
        return q.exec(statement); // not prepared: a '?' or ':x' in a literal stays text
    if (!q.prepare(statement))
        return false;
    for (const QVariant& v : params)
        q.addBindValue(v);
    return q.exec();
}

} // namespace

namespace {

bool refuse(QString* error, const QString& url, const QString& why)
{
    setError(error, QStringLiteral("Bad database address \"%1\": %2").arg(url.simplified(), why));
    return false;
}

// A time in milliseconds from an address option: a whole number from 1 to a day.
bool readMilliseconds(const QString& text, int& out)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < 1 || value > 86400000)
        return false;
    out = int(value);
    return true;
}

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

// The options an address may carry; any other is refused, not ignored.
bool readOptions(const QString& query, ConnectionUrl& out, const QString& url, QString* error)
{
    const bool postgres = out.backend == Backend::Postgres;
    for (const auto& [key, value] : QUrlQuery(query).queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("busy_timeout")) {
            if (!readMilliseconds(value, out.busyTimeoutMs))
                return refuse(error, url, QStringLiteral("busy_timeout needs milliseconds"));
        } else if (postgres && key == QLatin1String("statement_timeout")) {
            if (!readMilliseconds(value, out.statementTimeoutMs))
                return refuse(error, url, QStringLiteral("statement_timeout needs milliseconds"));
        } else if (postgres && key == QLatin1String("schema")) {
            out.schema = value;
        } else if (postgres && key == QLatin1String("target_session_attrs")) {
            static const QStringList kinds{"any",     "read-write", "read-only",
                                           "primary", "standby",    "prefer-standby"};
            if (!kinds.contains(value))
                return refuse(
                    error, url,
                    QStringLiteral("target_session_attrs is one of %1").arg(kinds.join(u", ")));
            out.targetSessionAttrs = value;
        } else if (postgres && key == QLatin1String("sslmode")) {
            static const QStringList modes{"disable", "allow",     "prefer",
                                           "require", "verify-ca", "verify-full"};
            if (!modes.contains(value))
                return refuse(error, url,
                              QStringLiteral("sslmode is one of %1").arg(modes.join(u", ")));
            out.sslMode = value;
        } else if (postgres &&
                   (key == QLatin1String("sslrootcert") || key == QLatin1String("sslcert") ||
                    key == QLatin1String("sslkey") || key == QLatin1String("sslcrl"))) {
            // The driver reads ';' as the end of a parameter, whatever the quoting.
            if (value.trimmed().isEmpty() || value.contains(u';') || hasControlCharacter(value))
                return refuse(error, url,
                              QStringLiteral("%1 needs a file name without ';'").arg(key));
            (key == QLatin1String("sslrootcert") ? out.sslRootCert
             : key == QLatin1String("sslcert")   ? out.sslCert
             : key == QLatin1String("sslkey")    ? out.sslKey
                                                 : out.sslCrl) = value;
        } else {
            return refuse(error, url,
                          QStringLiteral("the option \"%1\" is not known here").arg(key));
        }
    }
    return true;
}

} // namespace

std::optional<ConnectionUrl> ConnectionUrl::parse(const QString& url, QString* error)
{
    ConnectionUrl out;
    const QString trimmed = url.trimmed();
    if (trimmed.startsWith(QStringLiteral("sqlite://"), Qt::CaseInsensitive)) {
        out.backend = Backend::Sqlite;
        QString rest = trimmed.mid(9);
        const qsizetype question = rest.indexOf(u'?');
        if (question >= 0) {
            if (!readOptions(rest.mid(question + 1), out, url, error))
                return std::nullopt;
            rest.truncate(question);
        }
        const QByteArray bytes = QByteArray::fromPercentEncoding(rest.toUtf8());
        out.path = QString::fromUtf8(bytes);
        if (!out.path.startsWith(u'/')) {
            refuse(
                error, url,
                QStringLiteral("a SQLite address needs an absolute path (sqlite:///path/file.db)"));
            return std::nullopt;
        }
        // A name the file system would cut or change makes a file nobody asked for.
        if (out.path.toUtf8() != bytes) {
            refuse(error, url, QStringLiteral("the path is not valid UTF-8"));
            return std::nullopt;
        }
        if (hasControlCharacter(out.path)) {
            refuse(error, url, QStringLiteral("the path holds a control character"));
            return std::nullopt;
        }
        const QString fileName = out.path.mid(out.path.lastIndexOf(u'/') + 1);
        if (fileName.trimmed().isEmpty() || fileName != fileName.trimmed() ||
            fileName == QLatin1String(".") || fileName == QLatin1String("..")) {
            refuse(error, url, QStringLiteral("the path does not end in a file name"));
            return std::nullopt;
        }
        return out;
    }
    // A list of servers (host:port,host:port) is read here; QUrl reads the rest with the first.
    QString single = trimmed;
    if (const qsizetype schemeEnd = trimmed.indexOf(QLatin1String("://")); schemeEnd > 0) {
        const qsizetype start = schemeEnd + 3;
        qsizetype end = trimmed.indexOf(u'/', start);
        if (end < 0)
            end = trimmed.size();
        const QString authority = trimmed.mid(start, end - start);
        const qsizetype at = authority.lastIndexOf(u'@');
        const QString servers = authority.mid(at + 1);
        if (servers.contains(u',')) {
            for (const QString& entry : servers.split(u',')) {
                const QUrl one(QStringLiteral("postgresql://") + entry + QStringLiteral("/x"),
                               QUrl::StrictMode);
                if (entry.isEmpty() || !one.isValid() || one.host().isEmpty() ||
                    !one.userInfo().isEmpty()) {
                    refuse(error, url,
                           QStringLiteral("\"%1\" in the list of servers is not host:port")
                               .arg(entry));
                    return std::nullopt;
                }
                out.hosts << one.host();
                out.ports << one.port(5432);
            }
            single = trimmed.left(start) + authority.left(at + 1) + servers.section(u',', 0, 0) +
                     trimmed.mid(end);
        }
    }
    const QUrl u(single, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    if (u.isValid() &&
        (scheme == QLatin1String("postgresql") || scheme == QLatin1String("postgres"))) {
        out.backend = Backend::Postgres;
        out.user = u.userName();
        out.password = u.password();
        out.host = u.host();
        out.port = u.port(5432);
        if (out.hosts.isEmpty()) {
            out.hosts << out.host;
            out.ports << out.port;
        }
        out.database = u.path().mid(1);
        if (!readOptions(u.query(QUrl::FullyEncoded), out, url, error))
            return std::nullopt;
        if (out.host.isEmpty() || out.database.isEmpty() || out.database.contains(u'/') ||
            hasControlCharacter(out.database + out.user + out.schema)) {
            refuse(error, url, QStringLiteral("expected postgresql://user@host:port/dbname"));
            return std::nullopt;
        }
        return out;
    }
    refuse(error, url,
           QStringLiteral("use sqlite:///path/file.db or postgresql://user@host:port/dbname"));
    return std::nullopt;
}

namespace {

QString seconds(int milliseconds)
{
    const double s = milliseconds / 1000.0;
    return s == 1.0 ? QStringLiteral("1 second")
                    : QStringLiteral("%1 seconds").arg(QLocale::c().toString(s, 'g', 3));
}

// This process's connections to each SQLite file, so that files SQLite made beside it are
// tidied only when none of them is open any more.
QMutex g_sqliteFilesLock;
QHash<QString, int> g_sqliteFilesOpen;

void countOpen(const QString& path, int change)
{
    QMutexLocker guard(&g_sqliteFilesLock);
    if ((g_sqliteFilesOpen[path] += change) <= 0)
        g_sqliteFilesOpen.remove(path);
}

bool openHere(const QString& path)
{
    QMutexLocker guard(&g_sqliteFilesLock);
    return g_sqliteFilesOpen.contains(path);
}

bool canWrite(const QString& path)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
}

// Less room than a few pages of the shared-memory file and the log need.
bool nearlyFull(const QString& folder)
{
    struct statvfs room {};
    if (::statvfs(QFile::encodeName(folder).constData(), &room) != 0)
        return false;
    return quint64(room.f_bavail) * room.f_frsize < quint64(256) * 1024;
}

// SQLite makes its shared-memory file (and an empty log) when a connection first reads a
// write-ahead-log store, and leaves them when that fails, as it does on a full disk. Those this
// connection made are removed once no connection of this process is open on the file, and only
// while no other process uses them: every user of the shared memory holds a read lock on its
// byte 128, so a write lock there is had only when nobody else is attached.
void tidyAfterFailure(const QString& path, bool shmWasThere, bool walWasThere)
{
    if (shmWasThere || openHere(path))
        return;
    const QByteArray shm = QFile::encodeName(path + QStringLiteral("-shm"));
    const int fd = ::open(shm.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 128;
    lock.l_len = 1;
    if (::fcntl(fd, F_SETLK, &lock) == 0) {
        const QFileInfo wal(path + QStringLiteral("-wal"));
        if (!walWasThere && wal.exists() && !wal.isSymLink() && wal.size() == 0)
            ::unlink(QFile::encodeName(wal.filePath()).constData());
        ::unlink(shm.constData());
    }
    ::close(fd);
}

// A value inside a quoted libpq connection parameter.
QString connectionValue(const QString& text)
{
    QString v = text;
    v.replace(u'\\', QStringLiteral("\\\\"));
    v.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + v + u'\'';
}

} // namespace

QString ConnectionUrl::hostList() const
{
    return hosts.size() > 1 ? hosts.join(u',') : host;
}

QString ConnectionUrl::libpqParameters() const
{
    QStringList out;
    if (hosts.size() > 1) {
        QStringList each;
        for (int p : ports)
            each << QString::number(p);
        out << QStringLiteral("port=") + connectionValue(each.join(u','));
    }
    if (!targetSessionAttrs.isEmpty())
        out << QStringLiteral("target_session_attrs=") + connectionValue(targetSessionAttrs);
    const std::pair<const char*, const QString*> settings[] = {{"sslmode", &sslMode},
                                                               {"sslrootcert", &sslRootCert},
                                                               {"sslcert", &sslCert},
                                                               {"sslkey", &sslKey},
                                                               {"sslcrl", &sslCrl}};
    for (const auto& [name, value] : settings)
        if (!value->isEmpty())
            out << QLatin1String(name) + u'=' + connectionValue(*value);
    return out.join(u' ');
}

QString ConnectionUrl::effectiveSslMode() const
{
    if (!sslMode.isEmpty())
        return sslMode;
    const QString fromEnvironment = qEnvironmentVariable("PGSSLMODE");
    return fromEnvironment.isEmpty() ? QStringLiteral("prefer") : fromEnvironment;
}

struct Database::Private {
    QString connectionName;
    QString url;
    Backend backend = Backend::Sqlite;
    std::optional<SqlDialect> dialect;
    bool inTransaction = false;
    QStringList setup; // run after every open

    // Declared types, lower-case table -> ordered columns and types.
    bool schemaLoaded = false;
    struct Table {
        QString name;
        QStringList columns;
        QHash<QString, ColumnType> types; // lower-case column
    };
    QHash<QString, Table> tables;
    QHash<QString, ColumnType> byName; // lower-case column, first table wins

    // Statement text -> its prepared query on this connection.
    QHash<QString, std::shared_ptr<QSqlQuery>> prepared;
    quint64 schemaGeneration = 0;

    // SQLite: the file, whether it is opened read-only (it or its folder cannot be written),
    // and what was beside it before it was opened.
    QString path;
    bool readOnly = false;
    bool shmWasThere = false, walWasThere = false;
    mutable bool diskFull = false; // a statement failed for want of room
    bool counted = false;          // in the count of open connections to the file

    int busyTimeoutMs = kDefaultBusyTimeoutMs;
    int statementTimeoutMs = kDefaultStatementTimeoutMs;
    int socket = -1;         // PostgreSQL: cut by the watchdog when the server stops answering
    bool cut = false;        // it was: the connection is lost
    bool unanswered = false; // cut because the server did not answer its check
    bool lost = false;       // the driver closed the connection
    QString lastError;       // of transaction(), commit(), rollback()
    QString schemaError;     // why the schema could not be read

    QSqlDatabase db() const { return QSqlDatabase::database(connectionName, false); }

    Database* self = nullptr;

    // A connection whose server went away (a restart, a standby promoted in its place) is opened
    // again before the next statement, so a workstation carries on by itself. Never inside a
    // transaction: what it wrote is gone with the old session, and the caller must learn that.
    // The statement that met the loss was reported and is not repeated.
    void reviveIfLost()
    {
        if (backend != Backend::Postgres || inTransaction || !self)
            return;
        const QSqlDatabase handle = db();
        if (!handle.isValid() ||
            (handle.isOpen() && !cut && !detail::postgresConnectionBroken(handle)))
            return;
        // A server that is still away is asked again after a pause, not by every statement (a
        // window runs several in a row, and each try may wait for the connect timeout).
        if (revivalFailed.isValid() && !revivalFailed.hasExpired(kRevivalPauseMs))
            return;
        if (self->reopen()) // when it fails, the statement fails as on a lost connection
            revivalFailed.invalidate();
        else
            revivalFailed.start();
    }
    // A SQLite file removed or moved under an open connection: the connection would go on
    // writing into the removed file, and everything written would be lost with it.
    bool sqliteFileGone() const
    {
        return backend == Backend::Sqlite && !path.isEmpty() && !QFileInfo::exists(path);
    }
    QString fileGoneText() const
    {
        return QStringLiteral("The database file %1 is missing.").arg(path);
    }
    static constexpr int kRevivalPauseMs = 5000;
    QElapsedTimer revivalFailed;

    // The server side ends a statement at its timeout; this side waits a little longer, for a
    // server that no longer runs at all.
    int clientDeadlineMs() const
    {
        return socket >= 0 ? statementTimeoutMs + qBound(1000, statementTimeoutMs / 4, 15000) : 0;
    }

    // Runs one statement under the connection's deadline.
    template <typename Run> bool guarded(Run run)
    {
        // The driver closes a connection whose server went away, and would say so again for
        // every later statement; the caller is told with the statement's error instead.
        if (!db().isOpen()) {
            lost = true;
            return false;
        }
        detail::StatementDeadline deadline(socket, clientDeadlineMs());
        const bool ok = run();
        if (deadline.expired()) {
            cut = true;
            unanswered = deadline.unanswered();
        }
        return ok && !cut;
    }

    // The driver's error, said so that a person knows what happened and what to do.
    QString errorText(const QSqlError& e) const
    {
        QString text = e.text().simplified();
        if (text.isEmpty())
            text = QStringLiteral("unknown database error");
        if (lost && !cut)
            return QStringLiteral("the connection to the database is lost");
        if (cut && unanswered)
            return QStringLiteral("the database server stopped answering (it did not answer a "
                                  "check within %1); the connection to it was given up (%2)")
                .arg(seconds(detail::kCheckAnswerMs), text);
        if (cut)
            return QStringLiteral("the database server did not answer within %1; the "
                                  "connection to it was given up (%2)")
                .arg(seconds(clientDeadlineMs()), text);
        const QString code = e.nativeErrorCode();
        const bool busy = backend == Backend::Sqlite
                              ? code == QLatin1String("5") || code == QLatin1String("6") ||
                                    text.contains(QLatin1String("database is locked"))
                              : code == QLatin1String("55P03");
        if (busy)
            return QStringLiteral("the database is busy: another workstation held it for more "
                                  "than %1; try again (%2)")
                .arg(seconds(busyTimeoutMs), text);
        if (isDamage(code, text))
            return damageText(text);
        // SQLite's codes may be extended: the primary code is the low byte.
        const int primary = backend == Backend::Sqlite ? code.toInt() & 0xff : -1;
        if (primary == 13 || (primary == 10 && nearlyFull(QFileInfo(path).absolutePath()))) {
            diskFull = true;
            return QStringLiteral("the disk is full where the database is (%1); make room and "
                                  "try again (%2)")
                .arg(QFileInfo(path).absolutePath(), text);
        }
        if (primary == 8 ||
            (backend == Backend::Sqlite && text.contains(QLatin1String("readonly database"))))
            return QStringLiteral("the database is read-only here: %1 cannot be written (%2)")
                .arg(path, text);
        if (backend == Backend::Postgres && code == QLatin1String("57014"))
            return QStringLiteral("the database server did not finish the statement within %1 "
                                  "(%2)")
                .arg(seconds(statementTimeoutMs), text);
        return text;
    }
    QString errorText(const QSqlQuery& q) const { return errorText(q.lastError()); }

    // SQLite's "malformed" and "not a database" (the primary code of every extended form), and
    // PostgreSQL's data_corrupted and index_corrupted.
    bool isDamage(const QString& code, const QString& text) const
    {
        if (backend == Backend::Postgres)
            return code == QLatin1String("XX001") || code == QLatin1String("XX002");
        bool numeric = false;
        const int primary = code.toInt(&numeric) & 0xff;
        if ((numeric && primary == 26) || text.contains(QLatin1String("file is not a database")))
            return isSqliteFile(db().databaseName());
        return (numeric && primary == 11) ||
               text.contains(QLatin1String("database disk image is malformed"));
    }

    // A file that never was a database (a wrong address) is a set-up mistake, not damage.
    static bool isSqliteFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
    }

    bool runControl(const QString& statement)
    {
        QSqlQuery q(db());
        if (guarded([&] { return q.exec(statement); }))
            return true;
        lastError = errorText(q);
        return false;
    }
};

Database::Database() : d(std::make_unique<Private>()) {}

Database::~Database()
{
    const QString name = d->connectionName;
    d->prepared.clear(); // finalised before the connection closes
    {
        QSqlDatabase db = d->db();
        if (db.isOpen()) {
            if (d->inTransaction)
                db.rollback();
            db.close();
        }
    }
    if (!name.isEmpty())
        QSqlDatabase::removeDatabase(name);
    if (d->backend == Backend::Sqlite && !d->path.isEmpty()) {
        if (d->counted)
            countOpen(d->path, -1);
        if (d->diskFull)
            tidyAfterFailure(d->path, d->shmWasThere, d->walWasThere);
    }
}

std::shared_ptr<Database> Database::open(const QString& url, QString* error, OpenMode mode)
{
    const auto parsed = ConnectionUrl::parse(url, error);
    if (!parsed)
        return nullptr;
    if (parsed->backend == Backend::Sqlite && mode == OpenMode::ExistingFile &&
        !QFileInfo(parsed->path).isFile()) {
        setError(error, QStringLiteral("Cannot open the database %1: there is no such file.")
                            .arg(parsed->path));
        return nullptr;
    }

    std::shared_ptr<Database> self(new Database());
    self->d->self = self.get();
    self->d->url = url;
    self->d->backend = parsed->backend;
    self->d->dialect.emplace(parsed->backend);
    self->d->busyTimeoutMs = parsed->busyTimeoutMs;
    self->d->statementTimeoutMs = parsed->statementTimeoutMs;
    self->d->connectionName =
        QStringLiteral("tzsndmsg-") + QUuid::createUuid().toString(QUuid::WithoutBraces);

    const bool sqlite = parsed->backend == Backend::Sqlite;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), self->d->connectionName);
        if (!db.isValid()) {
            setError(error,
                     QStringLiteral("The database driver for %1 is not installed.")
                         .arg(sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL")));
            return nullptr; // the destructor removes the connection
        }
        if (sqlite) {
            Private& p = *self->d;
            p.path = parsed->path;
            const QFileInfo file(p.path);
            const QString folder = file.absolutePath();
            p.shmWasThere = QFileInfo::exists(p.path + QStringLiteral("-shm"));
            p.walWasThere = QFileInfo::exists(p.path + QStringLiteral("-wal"));
            QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(parsed->busyTimeoutMs);
            QString name = p.path;
            // A store this process may not write (a read-only mount, folder or file) is read as
            // it is. Without write access to the folder SQLite cannot make its shared-memory
            // file, so unless a writer elsewhere keeps one there the file is read as unchanging.
            if (file.exists() && (!canWrite(p.path) || !canWrite(folder))) {
                p.readOnly = true;
                options += QStringLiteral(";QSQLITE_OPEN_READONLY");
                if (!canWrite(folder) && !(p.shmWasThere && p.walWasThere)) {
                    options += QStringLiteral(";QSQLITE_OPEN_URI");
                    QUrl uri = QUrl::fromLocalFile(p.path);
                    uri.setQuery(QStringLiteral("immutable=1"));
                    name = uri.toString(QUrl::FullyEncoded);
                }
            }
            db.setDatabaseName(name);
            db.setConnectOptions(options);
        } else {
            db.setHostName(parsed->hostList());
            if (parsed->hosts.size() < 2) // a list's ports go with the other parameters
                db.setPort(parsed->port);
            db.setDatabaseName(parsed->database);
            db.setUserName(parsed->user);
            db.setPassword(parsed->password);
            // Set when the session starts, so that they hold whatever the server, the database
            // or the role says (the driver reads the quoting rule once, at this point). A
            // server that stops answering is noticed by the keepalives and the user timeout.
            const QString options =
                (qEnvironmentVariable("PGOPTIONS") +
                 QStringLiteral(" -c standard_conforming_strings=on -c statement_timeout=%1 "
                                "-c lock_timeout=%2")
                     .arg(parsed->statementTimeoutMs)
                     .arg(parsed->busyTimeoutMs))
                    .trimmed();
            db.setConnectOptions((QStringLiteral("connect_timeout=10 keepalives=1 "
                                                 "keepalives_idle=10 keepalives_interval=5 "
                                                 "keepalives_count=3 tcp_user_timeout=30000 "
                                                 "options=") +
                                  connectionValue(options) + u' ' + parsed->libpqParameters())
                                     .trimmed());
        }
        if (!db.open()) {
            setError(error,
                     QStringLiteral("Cannot open the database %1: %2")
                         .arg(sqlite ? parsed->path : url, db.lastError().text().simplified()));
            return nullptr;
        }
    }

    if (sqlite) {
        countOpen(self->d->path, +1);
        self->d->counted = true;
    }
    QStringList setup;
    if (sqlite) {
        // A read-only file cannot change its journal; it is read as it is.
        if (!self->d->readOnly)
            QSqlQuery(self->d->db()).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        setup << QStringLiteral("PRAGMA busy_timeout=%1").arg(parsed->busyTimeoutMs)
              << QStringLiteral("PRAGMA foreign_keys=OFF")
              // A file that is not a database, or a damaged one, is refused here.
              << QStringLiteral("SELECT count(*) FROM sqlite_master");
    } else {
        self->d->socket = detail::postgresSocket(self->d->db());
        setup << QStringLiteral("SET client_min_messages TO warning");
        // A search with several words passes the planner's cost threshold for compiling with
        // JIT, which then costs more than the statement itself; the windows' statements are all
        // short. (Servers before version 11 have no JIT.)
        setup << QStringLiteral("SELECT set_config('jit', 'off', false) FROM pg_settings WHERE "
                                "name = 'jit'");
        if (!parsed->schema.isEmpty()) {
            QString ident = parsed->schema;
            ident.replace(u'"', QStringLiteral("\"\""));
            setup << QStringLiteral("SET search_path TO \"%1\"").arg(ident);
        }
    }
    for (const QString& s : setup) {
        QString e;
        if (!self->exec(s, &e)) {
            setError(error, QStringLiteral("Cannot set up the database connection: %1").arg(e));
            return nullptr;
        }
    }
    if (!sqlite && !self->quotingRuleHolds(error))
        return nullptr;
    self->d->setup = setup;
    return self;
}

bool Database::quotingRuleHolds(QString* error)
{
    // Texts are quoted for this rule; a session without it is not used.
    const QVariant rule = scalar(QStringLiteral("SHOW standard_conforming_strings"));
    if (rule.toString() == QLatin1String("on"))
        return true;
    setError(error, QStringLiteral("Cannot set up the database connection: the server "
                                   "does not accept standard_conforming_strings=on."));
    return false;
}

bool Database::reopen(QString* error)
{
    d->prepared.clear();
    d->inTransaction = false;
    QSqlDatabase db = d->db();
    if (!db.isValid()) {
        setError(error, QStringLiteral("The connection is gone."));
        return false;
    }
    db.close();
    d->socket = -1;
    d->cut = false;
    d->unanswered = false;
    d->lost = false;
    // Opening a SQLite file that is not there would make an empty office in its place.
    if (d->backend == Backend::Sqlite && !QFileInfo::exists(d->path)) {
        setError(error, QStringLiteral("The database file %1 is missing.").arg(d->path));
        return false;
    }
    if (!db.open()) {
        setError(error, QStringLiteral("Cannot open the database again: %1")
                            .arg(db.lastError().text().simplified()));
        return false;
    }
    if (d->backend == Backend::Postgres)
        d->socket = detail::postgresSocket(db);
    for (const QString& s : std::as_const(d->setup)) {
        QString e;
        if (!exec(s, &e)) {
            setError(error, QStringLiteral("Cannot set up the database connection: %1").arg(e));
            db.close();
            return false;
        }
    }
    if (d->backend == Backend::Postgres && !quotingRuleHolds(error)) {
        db.close();
        return false;
    }
    return true;
}

quint64 Database::statementsRun()
{
    return g_statementsRun.load();
}
quint64 Database::statementsRunOnThisThread()
{
    return t_statementsRun;
}

Backend Database::backend() const
{
    return d->backend;
}
const SqlDialect& Database::dialect() const
{
    return *d->dialect;
}
QString Database::url() const
{
    return d->url;
}
QSqlDatabase Database::handle() const
{
    return d->db();
}
bool Database::isOpen() const
{
    return d->db().isOpen();
}

bool Database::exec(const QString& statement, QString* error, int* rowsAffected)
{
    return exec(statement, QVariantList(), error, rowsAffected);
}

bool Database::exec(const QString& statement, const QVariantList& params, QString* error,
                    int* rowsAffected)
{
    d->reviveIfLost();
    if (!d->inTransaction && d->sqliteFileGone()) {
        setError(error, d->fileGoneText());
        return false;
    }
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    if (!d->guarded([&] { return prepareAndRun(q, statement, params); })) {
        setError(error, d->errorText(q));
        return false;
    }
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    if (detail::isDdl(statement))
        forgetSchema();
    return true;
}

bool Database::execScript(const QStringList& statements, QString* error)
{
    const bool own = !d->inTransaction;
    if (own && !transaction()) {
        setError(error, QStringLiteral("Cannot start a transaction: %1").arg(d->lastError));
        return false;
    }
    for (const QString& s : statements) {
        if (s.trimmed().isEmpty())
            continue;
        QString e;
        if (!exec(s, &e)) {
            if (own)
                rollback();
            setError(error, e + QStringLiteral(" [") + s.simplified().left(200) + u']');
            forgetSchema();
            return false;
        }
    }
    if (own && !commit()) {
        setError(error, QStringLiteral("Cannot commit: %1").arg(d->lastError));
        rollback();
        return false;
    }
    return true;
}

Recordset Database::query(const QString& statement, QString* error)
{
    return query(statement, QVariantList(), error);
}

Recordset Database::query(const QString& statement, const QVariantList& params, QString* error)
{
    d->reviveIfLost();
    columnTypeByName(QString()); // the declared types are read before, never while, rows arrive
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    Recordset rows;
    // The driver may fetch a forward-only result's rows as they are read: they are read under
    // the statement's deadline too.
    const bool ok = d->guarded([&] {
        if (!prepareAndRun(q, statement, params))
            return false;
        rows = Recordset::fromQuery(shared_from_this(), q, statement, params);
        return q.lastError().type() == QSqlError::NoError;
    });
    if (!ok) {
        setError(error, d->errorText(q));
        return Recordset();
    }
    return rows;
}

Reader Database::read(const QString& statement, QString* error)
{
    return read(statement, QVariantList(), error);
}

Reader Database::read(const QString& statement, const QVariantList& params, QString* error)
{
    d->reviveIfLost();
    columnTypeByName(QString());
    auto q = std::make_unique<QSqlQuery>(d->db());
    // PostgreSQL streams a forward-only result row by row and drops it when another statement
    // runs on the connection; readers are nested (a lookup per row), so take the whole result.
    q->setForwardOnly(d->backend == Backend::Sqlite);
    if (!d->guarded([&] { return prepareAndRun(*q, statement, params); })) {
        setError(error, d->errorText(*q));
        return Reader();
    }
    return Reader::fromQuery(shared_from_this(), std::move(q));
}

QVariant Database::scalar(const QString& statement, const QVariantList& params, QString* error)
{
    Reader r = read(statement, params, error);
    if (!r.isValid() || !r.next())
        return QVariant();
    return r.value(0);
}

bool Database::transaction()
{
    if (d->inTransaction) {
        d->lastError = QStringLiteral("a transaction is already open");
        return false;
    }
    d->reviveIfLost();
    if (d->sqliteFileGone()) {
        d->lastError = d->fileGoneText();
        return false;
    }
    d->inTransaction =
        d->runControl(d->backend == Backend::Sqlite ? QStringLiteral("BEGIN IMMEDIATE")
                                                    : QStringLiteral("BEGIN"));
    return d->inTransaction;
}

bool Database::commit()
{
    if (!d->inTransaction) {
        d->lastError = QStringLiteral("no transaction is open");
        return false;
    }
    const bool ok = d->runControl(QStringLiteral("COMMIT"));
    // PostgreSQL ends a transaction whose commit failed; SQLite keeps it for a retry or a
    // rollback.
    if (ok || d->backend == Backend::Postgres)
        d->inTransaction = false;
    return ok;
}

bool Database::rollback()
{
    if (!d->inTransaction)
        return false;
    d->inTransaction = false;
    return d->runControl(QStringLiteral("ROLLBACK"));
}

bool Database::inTransaction() const
{
    return d->inTransaction;
}

QString Database::lastError() const
{
    return d->lastError;
}

bool Database::execPrepared(QSqlQuery& query, QString* error)
{
    countStatement();
    if (d->guarded([&] { return query.exec(); }))
        return true;
    setError(error, d->errorText(query));
    return false;
}

QString Database::quote(const QString& text) const
{
    QSqlField field{QString(), QMetaType(QMetaType::QString)};
    field.setValue(text.isNull() ? QStringLiteral("") : text);
    const QSqlDatabase db = d->db();
    if (!db.driver())
        return SqlDialect::quote(text);
    return db.driver()->formatValue(field);
}

ColumnType Database::columnType(const QString& table, const QString& column)
{
    const QString t = baseName(table);
    if (!hasTable(t))
        return ColumnType::Unknown;
    return d->tables.value(t).types.value(baseName(column), ColumnType::Unknown);
}

ColumnType Database::columnTypeByName(const QString& column)
{
    if (!d->schemaLoaded)
        hasTable(QString());
    return d->byName.value(baseName(column), ColumnType::Unknown);
}

QStringList Database::columns(const QString& table)
{
    const QString t = baseName(table);
    if (!hasTable(t))
        return {};
    return d->tables.value(t).columns;
}

bool Database::hasTable(const QString& table)
{
    const QString t = table.toLower();
    if (d->schemaLoaded && (t.isEmpty() || d->tables.contains(t)))
        return !t.isEmpty();
    // Not known (or nothing loaded yet): read the schema again, a table may be new.
    ++d->schemaGeneration;
    d->tables.clear();
    d->byName.clear();
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    const QString sql =
        d->backend == Backend::Sqlite
            ? QStringLiteral(
                  "SELECT m.name, p.name, p.type FROM sqlite_master m, pragma_table_info(m.name) p "
                  "WHERE m.type IN ('table','view') ORDER BY m.name, p.cid")
            : QStringLiteral(
                  "SELECT table_name, column_name, coalesce(domain_name, data_type) "
                  "FROM information_schema.columns WHERE table_schema = current_schema() "
                  "ORDER BY table_name, ordinal_position");
    countStatement();
    d->schemaError.clear();
    // The rows are read under the deadline too: the driver may fetch them as they are read.
    const bool read = d->guarded([&] {
        if (!q.exec(sql))
            return false;
        while (q.next()) {
            const QString tableName = q.value(0).toString();
            const QString columnName = q.value(1).toString();
            const ColumnType type = detail::columnTypeFromName(q.value(2).toString());
            auto& entry = d->tables[tableName.toLower()];
            entry.name = tableName;
            entry.columns << columnName;
            entry.types.insert(columnName.toLower(), type);
            if (!d->byName.contains(columnName.toLower()))
                d->byName.insert(columnName.toLower(), type);
        }
        return q.lastError().type() == QSqlError::NoError;
    });
    // A damaged page met half way is not the end of the schema.
    if (!read) {
        d->schemaError = d->errorText(q);
        d->tables.clear();
        d->byName.clear();
        return false;
    }
    d->schemaLoaded = true;
    return !t.isEmpty() && d->tables.contains(t);
}

QSqlQuery* Database::preparedStatement(const QString& statement, QString* error)
{
    d->reviveIfLost(); // a revived connection has none of the old statements
    if (!d->inTransaction && d->sqliteFileGone()) {
        setError(error, d->fileGoneText());
        return nullptr;
    }
    if (const auto found = d->prepared.constFind(statement); found != d->prepared.constEnd())
        return found->get();
    auto q = std::make_shared<QSqlQuery>(d->db());
    q->setForwardOnly(true);
    if (!d->guarded([&] { return q->prepare(statement); })) {
        setError(error, d->errorText(*q));
        return nullptr;
    }
    d->prepared.insert(statement, q);
    return q.get();
}

quint64 Database::schemaGeneration() const
{
    return d->schemaGeneration;
}

QString Database::schemaError() const
{
    return d->schemaError;
}

QString damageText(const QString& reason)
{
    return QStringLiteral("%1 (%2): run tzsndmsg check").arg(QLatin1String(kDamagedStore), reason);
}

bool isDamageText(const QString& reason)
{
    return reason.contains(QLatin1String(kDamagedStore));
}

void Database::forgetSchema()
{
    ++d->schemaGeneration;
    d->prepared.clear();
    d->schemaLoaded = false;
    d->tables.clear();
    d->byName.clear();
}

Transaction::Transaction(Database& db) : m_db(db)
{
    m_ok = m_db.transaction();
}

Transaction::~Transaction()
{
    if (m_ok && !m_done)
        m_db.rollback();
}

bool Transaction::commit()
{
    if (!m_ok || m_done)
        return false;
    m_done = m_db.commit();
    return m_done;
}

int adoTypeCode(ColumnType type)
{
    switch (type) {
    case ColumnType::Integer:
        return 3;
    case ColumnType::SmallInt:
        return 2;
    case ColumnType::BigInt:
        return 20;
    case ColumnType::Double:
        return 5;
    case ColumnType::Numeric:
        return 131;
    case ColumnType::Boolean:
        return 11;
    case ColumnType::Text:
        return 202;
    case ColumnType::LongText:
        return 203;
    case ColumnType::DateText:
        return 202;
    case ColumnType::TimeText:
        return 202;
    case ColumnType::DateTime:
        return 7;
    case ColumnType::Binary:
        return 205;
    case ColumnType::Unknown:
        break;
    }
    return 0;
}

} // namespace tzsndmsg::db
