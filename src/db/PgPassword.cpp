#include "PgPassword.h"

#include <QSqlDriver>
#include <QVariant>
#include <dlfcn.h>

namespace tzsndmsg::db::detail {

namespace {

// libpq is loaded by Qt's PostgreSQL driver; its hashing is reached where it is loaded, as the
// socket is, so that nothing here links libpq itself.
using EncryptOf = char* (*)(void*, const char*, const char*, const char*);
using FreeOf = void (*)(void*);

template <typename F> F libpqFunction(const char* name)
{
    void* library = ::dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
    return library ? reinterpret_cast<F>(::dlsym(library, name)) : nullptr;
}

} // namespace

QString postgresHashedPassword(const QSqlDatabase& db, const QString& role, const QString& password)
{
    const QSqlDriver* driver = db.driver();
    if (!driver)
        return {};
    const QVariant handle = driver->handle();
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return {};
    void* connection = *static_cast<void* const*>(handle.constData());
    const auto encrypt = libpqFunction<EncryptOf>("PQencryptPasswordConn");
    const auto release = libpqFunction<FreeOf>("PQfreemem");
    if (!connection || !encrypt || !release)
        return {};
    char* hashed =
        encrypt(connection, password.toUtf8().constData(), role.toUtf8().constData(), nullptr);
    if (!hashed)
        return {};
    QString out = QString::fromUtf8(hashed);
    release(hashed);
    return out;
}

} // namespace tzsndmsg::db::detail
