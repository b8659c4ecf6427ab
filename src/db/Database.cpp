#include "Database.h"

#include "Recordset.h"
#include "ValueForms.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

namespace tzsndmsg::db {

namespace {

QString queryError(const QSqlQuery& q)
{
    const QSqlError e = q.lastError();
    QString text = e.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("unknown database error");
    return text;
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
    if (params.isEmpty())
        return q.exec(statement); // not prepared: a '?' or ':x' in a literal stays text
    if (!q.prepare(statement))
        return false;
    for (const QVariant& v : params)
        q.addBindValue(v);
    return q.exec();
}

} // namespace

std::optional<ConnectionUrl> ConnectionUrl::parse(const QString& url, QString* error)
{
    ConnectionUrl out;
    const QString trimmed = url.trimmed();
    if (trimmed.startsWith(QStringLiteral("sqlite://"), Qt::CaseInsensitive)) {
        out.backend = Backend::Sqlite;
        out.path = QUrl::fromPercentEncoding(trimmed.mid(9).toUtf8());
        if (!out.path.startsWith(u'/')) {
            setError(error, QStringLiteral("Bad database address \"%1\": a SQLite address needs an "
                                           "absolute path (sqlite:///path/file.db).")
                                .arg(url));
            return std::nullopt;
        }
        return out;
    }
    const QUrl u(trimmed, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    if (u.isValid() && (scheme == QLatin1String("postgresql") || scheme == QLatin1String("postgres"))) {
        out.backend = Backend::Postgres;
        out.user = u.userName();
        out.password = u.password();
        out.host = u.host();
        out.port = u.port(5432);
        out.database = u.path().mid(1);
        out.schema = QUrlQuery(u).queryItemValue(QStringLiteral("schema"), QUrl::FullyDecoded);
        if (out.host.isEmpty() || out.database.isEmpty() || out.database.contains(u'/')) {
            setError(error, QStringLiteral("Bad database address \"%1\": expected "
                                           "postgresql://user@host:port/dbname.")
                                .arg(url));
            return std::nullopt;
        }
        return out;
    }
    setError(error, QStringLiteral("Bad database address \"%1\": use sqlite:///path/file.db or "
                                   "postgresql://user@host:port/dbname.")
                        .arg(url));
    return std::nullopt;
}

struct Database::Private {
    QString connectionName;
    QString url;
    Backend backend = Backend::Sqlite;
    std::optional<SqlDialect> dialect;
    bool inTransaction = false;

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

    QSqlDatabase db() const { return QSqlDatabase::database(connectionName, false); }
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
}

std::shared_ptr<Database> Database::open(const QString& url, QString* error)
{
    const auto parsed = ConnectionUrl::parse(url, error);
    if (!parsed)
        return nullptr;

    std::shared_ptr<Database> self(new Database());
    self->d->url = url;
    self->d->backend = parsed->backend;
    self->d->dialect.emplace(parsed->backend);
    self->d->connectionName =
        QStringLiteral("tzsndmsg-") + QUuid::createUuid().toString(QUuid::WithoutBraces);

    const bool sqlite = parsed->backend == Backend::Sqlite;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE")
                                                           : QStringLiteral("QPSQL"),
                                                    self->d->connectionName);
        if (!db.isValid()) {
            setError(error, QStringLiteral("The database driver for %1 is not installed.")
                                .arg(sqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL")));
            return nullptr; // the destructor removes the connection
        }
        if (sqlite) {
            db.setDatabaseName(parsed->path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        } else {
            db.setHostName(parsed->host);
            db.setPort(parsed->port);
            db.setDatabaseName(parsed->database);
            db.setUserName(parsed->user);
            db.setPassword(parsed->password);
            db.setConnectOptions(QStringLiteral("connect_timeout=5"));
        }
        if (!db.open()) {
            setError(error, QStringLiteral("Cannot open the database %1: %2")
                                .arg(sqlite ? parsed->path : url,
                                     db.lastError().text().simplified()));
            return nullptr;
        }
    }

    QStringList setup;
    if (sqlite) {
        setup << QStringLiteral("PRAGMA journal_mode=WAL") << QStringLiteral("PRAGMA busy_timeout=5000")
              << QStringLiteral("PRAGMA foreign_keys=OFF");
    } else {
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
    return self;
}

Backend Database::backend() const { return d->backend; }
const SqlDialect& Database::dialect() const { return *d->dialect; }
QString Database::url() const { return d->url; }
QSqlDatabase Database::handle() const { return d->db(); }
bool Database::isOpen() const { return d->db().isOpen(); }

bool Database::exec(const QString& statement, QString* error, int* rowsAffected)
{
    return exec(statement, QVariantList(), error, rowsAffected);
}

bool Database::exec(const QString& statement, const QVariantList& params, QString* error,
                    int* rowsAffected)
{
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    if (!prepareAndRun(q, statement, params)) {
        setError(error, queryError(q));
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
        setError(error, QStringLiteral("Cannot start a transaction: %1")
                            .arg(d->db().lastError().text().simplified()));
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
        setError(error, QStringLiteral("Cannot commit: %1").arg(d->db().lastError().text().simplified()));
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
    columnTypeByName(QString()); // the declared types are read before, never while, rows arrive
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    if (!prepareAndRun(q, statement, params)) {
        setError(error, queryError(q));
        return Recordset();
    }
    return Recordset::fromQuery(shared_from_this(), q, statement, params);
}

Reader Database::read(const QString& statement, QString* error)
{
    return read(statement, QVariantList(), error);
}

Reader Database::read(const QString& statement, const QVariantList& params, QString* error)
{
    columnTypeByName(QString());
    auto q = std::make_unique<QSqlQuery>(d->db());
    // PostgreSQL streams a forward-only result row by row and drops it when another statement
    // runs on the connection; readers are nested (a lookup per row), so take the whole result.
    q->setForwardOnly(d->backend == Backend::Sqlite);
    if (!prepareAndRun(*q, statement, params)) {
        setError(error, queryError(*q));
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
    if (d->inTransaction)
        return false;
    d->inTransaction = d->db().transaction();
    return d->inTransaction;
}

bool Database::commit()
{
    if (!d->inTransaction)
        return false;
    const bool ok = d->db().commit();
    if (ok)
        d->inTransaction = false;
    return ok;
}

bool Database::rollback()
{
    if (!d->inTransaction)
        return false;
    d->inTransaction = false;
    return d->db().rollback();
}

bool Database::inTransaction() const { return d->inTransaction; }

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
    const QString sql = d->backend == Backend::Sqlite
        ? QStringLiteral("SELECT m.name, p.name, p.type FROM sqlite_master m, pragma_table_info(m.name) p "
                         "WHERE m.type IN ('table','view') ORDER BY m.name, p.cid")
        : QStringLiteral("SELECT table_name, column_name, coalesce(domain_name, data_type) "
                         "FROM information_schema.columns WHERE table_schema = current_schema() "
                         "ORDER BY table_name, ordinal_position");
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
    d->schemaLoaded = true;
    return !t.isEmpty() && d->tables.contains(t);
}

QSqlQuery* Database::preparedStatement(const QString& statement, QString* error)
{
    if (const auto found = d->prepared.constFind(statement); found != d->prepared.constEnd())
        return found->get();
    auto q = std::make_shared<QSqlQuery>(d->db());
    q->setForwardOnly(true);
    if (!q->prepare(statement)) {
        setError(error, queryError(*q));
        return nullptr;
    }
    d->prepared.insert(statement, q);
    return q.get();
}

quint64 Database::schemaGeneration() const { return d->schemaGeneration; }

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
    case ColumnType::Integer: return 3;
    case ColumnType::SmallInt: return 2;
    case ColumnType::BigInt: return 20;
    case ColumnType::Double: return 5;
    case ColumnType::Numeric: return 131;
    case ColumnType::Boolean: return 11;
    case ColumnType::Text: return 202;
    case ColumnType::LongText: return 203;
    case ColumnType::DateText: return 202;
    case ColumnType::TimeText: return 202;
    case ColumnType::DateTime: return 7;
    case ColumnType::Binary: return 205;
    case ColumnType::Unknown: break;
    }
    return 0;
}

} // namespace tzsndmsg::db
