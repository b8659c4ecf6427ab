// Who a connection is in a signed-in office: read by the services when they open, below the
// store that signs the office in.
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg {

namespace {

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

bool isSignedInOffice(db::Database& database, bool& signedIn, QString* error)
{
    signedIn = false;
    if (database.backend() != db::Backend::Postgres)
        return true;
    const QVariant v = database.scalar(
        QStringLiteral("SELECT coalesce((SELECT relrowsecurity FROM pg_class WHERE oid = "
                       "to_regclass(quote_ident(current_schema()) || '.cmtable')), false) AND "
                       "to_regprocedure(quote_ident(current_schema()) || '.tz_sync_roles()') IS "
                       "NOT NULL"),
        {}, error);
    if (!v.isValid())
        return false;
    signedIn = v.toBool();
    return true;
}

bool readSignedInIdentity(db::Database& database, SignedInIdentity& identity, QString* error)
{
    identity = SignedInIdentity();
    if (!isSignedInOffice(database, identity.signedIn, error))
        return false;
    if (!identity.signedIn)
        return true;
    QString why;
    db::Recordset rs = database.query(
        QStringLiteral(
            "SELECT current_user::text, (SELECT rolsuper OR rolbypassrls FROM pg_roles "
            "WHERE rolname = current_user), (SELECT upper(btrim(PWMUseNam)) FROM "
            "PWMTable WHERE tz_role_of(PWMUseNam) = current_user COLLATE \"default\" ORDER BY "
            "PWMID LIMIT 1)"),
        &why);
    if (!rs.isOpen() || rs.isEmpty()) {
        setError(error, QStringLiteral("cannot read who is signed in: %1").arg(why));
        return false;
    }
    rs.moveFirst();
    identity.role = rs.value(0).toString();
    identity.unprotected = rs.value(1).toBool();
    identity.login = rs.value(2).isNull() ? QString() : rs.value(2).toString();
    return true;
}

} // namespace tzsndmsg
