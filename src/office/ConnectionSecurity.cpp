// How a workstation's connection to the office server is protected on the network.
#include "tzsndmsg/Office.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

namespace tzsndmsg {

QString ConnectionSecurity::describe() const
{
    if (!encrypted)
        return QStringLiteral("not encrypted (sslmode=%1): messages cross the network in clear")
            .arg(mode);
    QString text = QStringLiteral("encrypted (%1, sslmode=%2), ").arg(protocol, mode);
    if (hostNameChecked)
        text += QStringLiteral("server verified by its certificate and name");
    else if (serverVerified)
        text += QStringLiteral("server's certificate verified, its name not checked");
    else
        text += QStringLiteral("server not verified: use sslmode=verify-full with sslrootcert");
    if (clientCertificate)
        text += QStringLiteral(", client certificate shown");
    return text;
}

bool readConnectionSecurity(const QString& databaseUrl, ConnectionSecurity& security,
                            QString* error)
{
    security = ConnectionSecurity{};
    const auto url = db::ConnectionUrl::parse(databaseUrl, error);
    if (!url)
        return false;
    if (url->backend != db::Backend::Postgres) {
        if (error)
            *error = QStringLiteral("a SQLite office is a file: no connection to protect");
        return false;
    }
    const auto database = db::Database::open(databaseUrl, error);
    if (!database)
        return false;
    db::Recordset rs =
        database->query(QStringLiteral("SELECT ssl, version, client_dn FROM pg_stat_ssl "
                                       "WHERE pid = pg_backend_pid()"),
                        error);
    if (!rs.isOpen())
        return false;
    security.mode = url->effectiveSslMode();
    rs.moveFirst();
    if (!rs.eof()) {
        security.encrypted = rs.value(QStringLiteral("ssl")).toBool();
        security.protocol = rs.value(QStringLiteral("version")).toString();
        security.clientCertificate = !rs.isNull(QStringLiteral("client_dn"));
    }
    // libpq refuses the connection when a verifying mode fails, so a connection made in one was
    // verified.
    security.serverVerified = security.encrypted && (security.mode == QLatin1String("verify-ca") ||
                                                     security.mode == QLatin1String("verify-full"));
    security.hostNameChecked = security.encrypted && security.mode == QLatin1String("verify-full");
    return true;
}

QStringList plainConnectionRisks(db::Database& database)
{
    QStringList risks;
    if (database.backend() != db::Backend::Postgres)
        return risks;
    QString why;
    const bool tls =
        database.scalar(QStringLiteral("SELECT current_setting('ssl')"), {}, &why).toString() ==
        QLatin1String("on");
    const QString tlsOff = QStringLiteral("the server has TLS off (ssl = off): every connection "
                                          "from another machine is in clear");
    db::Recordset rules =
        database.query(QStringLiteral("SELECT line_number, type, address, auth_method "
                                      "FROM pg_hba_file_rules ORDER BY line_number"),
                       &why);
    if (!rules.isOpen()) {
        if (!tls)
            risks << tlsOff;
        risks << QStringLiteral("the server's authentication lines could not be read (%1): check "
                                "that only hostssl lines admit other machines")
                     .arg(why.simplified());
        return risks;
    }
    static const QStringList loopback{QStringLiteral("127.0.0.1"), QStringLiteral("::1"),
                                      QStringLiteral("localhost")};
    QStringList plainLines;
    bool network = false;
    for (rules.moveFirst(); !rules.eof(); rules.moveNext()) {
        const QString type = rules.value(QStringLiteral("type")).toString();
        const QString address = rules.value(QStringLiteral("address")).toString();
        if (type == QLatin1String("local") || loopback.contains(address) ||
            rules.value(QStringLiteral("auth_method")).toString() == QLatin1String("reject"))
            continue;
        network = true;
        if (type == QLatin1String("host") || type == QLatin1String("hostnossl"))
            plainLines << QStringLiteral("line %1 of the server's authentication file admits %2 "
                                         "without TLS (%3): use hostssl")
                              .arg(rules.value(QStringLiteral("line_number")).toString(),
                                   address.isEmpty() ? QStringLiteral("any address") : address,
                                   type);
    }
    // A server that only this machine may reach sends nothing over the network.
    if (!tls && network)
        risks << tlsOff;
    return risks + plainLines;
}

} // namespace tzsndmsg
