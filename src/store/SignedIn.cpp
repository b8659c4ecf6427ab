#include "tzsndmsg/SignedIn.h"

#include "Schema.h"
#include "db/Internals.h"
#include "db/PgPassword.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/Recordset.h"

#include <QCryptographicHash>
#include <QStringList>
#include <functional>

namespace tzsndmsg {

namespace {

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString ident(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The tables whose rows belong to people, each kept to what the views give a role; the staff,
// holiday and suite tables are read by everyone and written by supervisors only.
const char* const kKeptTables[] = {"CMTable",           "EVTable",   "BroChkTable",
                                   "LabOrderLinkTable", "NoteTable", "CannedTextTable"};
// The lookups the policies make, as views (see functionStatements).
const char* const kPolicyViews[] = {"tz_my_reaching", "tz_my_sent", "tz_my_events"};
const char* const kInboxChangesFunction = "tz_inbox_changes(integer,text,text,text,bigint,text)";
// Tables every role writes as it works (canned texts, notes filed from a message).
const char* const kStaffWrites[] = {"CMTable",           "EVTable",   "BroChkTable",
                                    "LabOrderLinkTable", "NoteTable", "CannedTextTable"};

struct Office {
    QString schema; // the connection's current schema
    QString tag;    // the prefix of the office's role names
    QString owner, staff, supervisor;
    bool superuser = false;
};

bool readOffice(db::Database& database, Office& office, QString* error)
{
    if (database.backend() != db::Backend::Postgres) {
        setError(error, QStringLiteral("a SQLite office cannot be signed in: anyone who can read "
                                       "its file reads every message (use PostgreSQL)"));
        return false;
    }
    QString why;
    db::Recordset rs = database.query(
        QStringLiteral("SELECT current_database(), current_schema(), "
                       "(SELECT rolsuper FROM pg_roles WHERE rolname = current_user)"),
        &why);
    if (!rs.isOpen() || rs.isEmpty()) {
        setError(error, QStringLiteral("cannot read the office's schema: %1").arg(why));
        return false;
    }
    rs.moveFirst();
    if (rs.value(1).isNull()) {
        setError(error, QStringLiteral("the office's schema does not exist"));
        return false;
    }
    office.schema = rs.value(1).toString();
    office.superuser = rs.value(2).toBool();
    QString tag = rs.value(0).toString();
    if (office.schema != QLatin1String("public"))
        tag += u'_' + office.schema;
    // Role names hold 63 bytes: room for ".<login>" (20 characters) after the office's part.
    if (tag.toUtf8().size() > 30) {
        const QByteArray hash = QCryptographicHash::hash(tag.toUtf8(), QCryptographicHash::Md5);
        QString head = tag.left(18);
        while (head.toUtf8().size() > 18)
            head.chop(1);
        tag = head + u'_' + QString::fromLatin1(hash.toHex().left(10));
    }
    office.tag = tag;
    office.owner = tag + QStringLiteral("_owner");
    office.staff = tag + QStringLiteral("_staff");
    office.supervisor = tag + QStringLiteral("_supervisor");
    return true;
}

// The functions the policies and the role upkeep use. Asked about another role than the one
// signed in (or one it is a member of), the message functions answer nothing. Those that read
// tables run as the owner (the policies of one table may then look at another without the server
// seeing a loop) with the search path fixed, and are STABLE: a policy calls them once a statement
// through a sub-select.
QStringList functionStatements(db::Database& database, const Office& o)
{
    const QString s = ident(o.schema);
    const QString path = QStringLiteral(" SET search_path = %1, pg_temp ").arg(s);
    const QString definer = QStringLiteral(" STABLE SECURITY DEFINER") + path;
    QStringList out;
    // Not inlined, and costly to the planner: the policies find the connected role's login by
    // the index below (compared in the index's collation) rather than by working the name out
    // for every login of the list.
    out << QStringLiteral("CREATE OR REPLACE FUNCTION %1.tz_role_of(login text) RETURNS name "
                          "LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE COST 1000 AS $f$ BEGIN RETURN "
                          "(%2 || lower(upper(btrim(login))))::name; END $f$")
               .arg(s, database.quote(o.tag + u'.'));
    // The login list by role, so that finding the connected role's person is one look-up.
    out << QStringLiteral("CREATE INDEX IF NOT EXISTS tz_ix_pwm_role ON %1.PWMTable "
                          "(tz_role_of(PWMUseNam))")
               .arg(s);
    // A person's own canned-text store: "MSGDB" and the first five digits of their id in base 36.
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_canned_store_of(pid integer) RETURNS "
               "text LANGUAGE plpgsql IMMUTABLE AS $f$ DECLARE n bigint := abs(pid); "
               "d text := ''; BEGIN IF n = 0 THEN RETURN 'MSGDB0'; END IF; WHILE n > 0 LOOP "
               "d := substr('0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ', mod(n, 36)::int + 1, 1) "
               "|| d; n := n / 36; END LOOP; IF pid < 0 THEN d := '-' || d; END IF; "
               "RETURN 'MSGDB' || left(d, 5); END $f$")
               .arg(s);
    out << QStringLiteral("CREATE OR REPLACE FUNCTION %1.tz_pid_of(r name) RETURNS integer "
                          "LANGUAGE plpgsql%2AS $f$ BEGIN RETURN (SELECT nullif(PWMPID, 0) FROM "
                          "PWMTable WHERE tz_role_of(PWMUseNam) = r COLLATE \"default\" ORDER BY "
                          "PWMID LIMIT 1); END $f$")
               .arg(s, definer);
    // Every login of the role's person: the sent items are the person's, whichever login sent.
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_logins_of(r name) RETURNS text[] "
               "LANGUAGE plpgsql%2AS $f$ DECLARE p integer; l text; BEGIN "
               "SELECT nullif(PWMPID, 0), upper(btrim(PWMUseNam)) INTO p, l FROM PWMTable "
               "WHERE tz_role_of(PWMUseNam) = r COLLATE \"default\" ORDER BY PWMID LIMIT 1; "
               "IF l IS NULL THEN RETURN '{}'; END IF; IF p IS NULL THEN RETURN ARRAY[l]; "
               "END IF; RETURN ARRAY(SELECT DISTINCT upper(btrim(PWMUseNam)) FROM PWMTable "
               "WHERE PWMPID = p AND PWMUseNam IS NOT NULL); END $f$")
               .arg(s, definer);
    out << QStringLiteral("CREATE OR REPLACE FUNCTION %1.tz_sent_by(r name, id integer) RETURNS "
                          "boolean LANGUAGE plpgsql%2AS $f$ BEGIN "
                          "IF NOT pg_has_role(session_user, r, 'MEMBER') THEN RETURN false; END "
                          "IF; RETURN EXISTS (SELECT 1 FROM CMTable "
                          "WHERE cmID = id AND cmWho = ANY (tz_logins_of(r))); END $f$")
               .arg(s, definer);
    out << QStringLiteral("CREATE OR REPLACE FUNCTION %1.tz_addressed_to(r name, id integer) "
                          "RETURNS boolean LANGUAGE plpgsql%2AS $f$ BEGIN "
                          "IF NOT pg_has_role(session_user, r, 'MEMBER') THEN RETURN false; END "
                          "IF; RETURN EXISTS (SELECT 1 FROM "
                          "BroChkTable WHERE BroChkLinID = id AND (BroChkPID = tz_pid_of(r) OR "
                          "BroChkToMac > '')); END $f$")
               .arg(s, definer);
    out << QStringLiteral("CREATE OR REPLACE FUNCTION %1.tz_event_of(r name, id integer) RETURNS "
                          "boolean LANGUAGE plpgsql%2AS $f$ BEGIN "
                          "IF NOT pg_has_role(session_user, r, 'MEMBER') THEN RETURN false; END "
                          "IF; RETURN EXISTS (SELECT 1 FROM EVTable "
                          "WHERE EvLinID = id AND EvTyp = 1 AND EvPID = tz_pid_of(r)); END $f$")
               .arg(s, definer);
    // The same as sets, for a client that wants them whole (the policies look a row up through
    // the views below instead). The logins first: in the statement, a function call would be
    // made row by row.
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_sent_ids(r name) RETURNS SETOF integer "
               "LANGUAGE plpgsql%2ROWS 2000 AS $f$ DECLARE l text[] := tz_logins_of(r); "
               "BEGIN IF pg_has_role(session_user, r, 'MEMBER') THEN RETURN QUERY SELECT "
               "cmID FROM CMTable WHERE cmWho = ANY (l); END IF; "
               "END $f$")
               .arg(s, definer);
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_reaching_ids(r name) RETURNS SETOF "
               "integer LANGUAGE sql%2ROWS 5000 AS $f$ SELECT BroChkLinID FROM "
               "BroChkTable WHERE BroChkPID = tz_pid_of(r) AND pg_has_role(session_user, r, "
               "'MEMBER') UNION ALL SELECT BroChkLinID FROM BroChkTable WHERE "
               "BroChkToMac > '' $f$")
               .arg(s, definer);
    out << QStringLiteral("CREATE OR REPLACE FUNCTION %1.tz_event_ids(r name) RETURNS SETOF "
                          "integer LANGUAGE sql%2ROWS 100 AS $f$ SELECT EvLinID FROM EVTable WHERE "
                          "EvTyp = 1 AND EvPID = tz_pid_of(r) AND pg_has_role(session_user, r, "
                          "'MEMBER') $f$")
               .arg(s, definer);
    // What the connected role's person reaches, sent and owns, as the policies look them up
    // row by row through the indexes. Views run as their owner, the tables' owner, whom the
    // policies do not bind, so the policies of one table may look at another; each view keeps
    // to the connected role's own rows (it grants nothing that role could not read anyway),
    // and as a barrier it lets no outside condition see a row before its own filter.
    const QString me = QStringLiteral("(SELECT tz_pid_of(current_user))");
    out << QStringLiteral("CREATE INDEX IF NOT EXISTS tz_ix_brochk_computer ON %1.BroChkTable "
                          "(BroChkLinID) WHERE BroChkToMac > ''")
               .arg(s);
    out << QStringLiteral("CREATE OR REPLACE VIEW %1.tz_my_reaching WITH (security_barrier) AS "
                          "SELECT BroChkLinID AS id FROM %1.BroChkTable WHERE BroChkPID = %2 "
                          "UNION ALL SELECT BroChkLinID FROM %1.BroChkTable WHERE BroChkToMac > ''")
               .arg(s, me);
    out << QStringLiteral("CREATE OR REPLACE VIEW %1.tz_my_sent WITH (security_barrier) AS SELECT "
                          "cmID AS id FROM %1.CMTable WHERE cmWho = ANY ((SELECT "
                          "tz_logins_of(current_user))::text[])")
               .arg(s);
    out << QStringLiteral(
               "CREATE OR REPLACE VIEW %1.tz_my_events WITH (security_barrier) AS SELECT "
               "EvLinID AS id FROM %1.EVTable WHERE EvTyp = 1 AND EvPID = %2")
               .arg(s, me);
    // The message this connection numbered last (its last header written), or null: the
    // addressee rows of a message just written are checked once a statement, not row by row.
    out << QStringLiteral("CREATE OR REPLACE FUNCTION %1.tz_last_message() RETURNS integer "
                          "LANGUAGE plpgsql STABLE AS $f$ BEGIN RETURN currval("
                          "pg_get_serial_sequence(%2, 'cmid')); EXCEPTION WHEN "
                          "object_not_in_prerequisite_state THEN RETURN NULL; END $f$")
               .arg(s, database.quote(s + QStringLiteral(".cmtable")));
    // The messages holding a word (the start of a word of the subject, the text or the sender),
    // found through the full-text index, of those the connected role may read: under row-level
    // security the server may not use the index before the policies (the word test is not
    // leakproof), and would test the words on every message the person reads. The same rules as
    // the header's policy, for the role that signed in; those the policies do not bind get all.
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_cm_hits(word text) RETURNS SETOF integer "
               "LANGUAGE plpgsql%2ROWS 1000 AS $f$ DECLARE p integer := tz_pid_of(session_user); "
               "l text[] := tz_logins_of(session_user); every boolean := "
               "pg_has_role(session_user, %3, 'MEMBER') OR pg_has_role(session_user, %4, "
               "'MEMBER') OR coalesce((SELECT rolbypassrls FROM pg_roles WHERE rolname = "
               "session_user), false); BEGIN RETURN QUERY SELECT m.cmID FROM CMTable m WHERE "
               "tz_cm_words(m.CMSubjec, m.cmDoc, m.cmWho) @@ tz_prefix_query(word) AND (every OR "
               "m.cmWho = ANY (l) OR EXISTS (SELECT 1 FROM BroChkTable r WHERE r.BroChkLinID = "
               "m.cmID AND r.BroChkPID = p) OR EXISTS (SELECT 1 FROM BroChkTable r WHERE "
               "r.BroChkLinID = m.cmID AND r.BroChkToMac > '') OR EXISTS (SELECT 1 FROM EVTable e "
               "WHERE e.EvLinID = m.cmID AND e.EvTyp = 1 AND e.EvPID = p)); END $f$")
               .arg(s, definer, database.quote(o.supervisor), database.quote(o.owner));
    // What a watcher reads on a change (the inbox's unread count from the start up to the
    // moment, and its rows above the floor or of the messages named), read as the owner: under
    // the policies the server tests every row of the inbox against each table's policy. The rows
    // are those of the person that signed in (`person` counts only if it is that person's) and,
    // for a role of the staff, of a computer, the rows every such role reads; the headers and
    // details come through them, as the policies give them. The same rules as the inbox view's
    // (MessageListQuery). The statement is made with the values written in, as the program writes
    // its own: planned for them, the person's and the computer's rows are found through their
    // indexes and the new rows through the addressee rows' key.
    const QString from = QStringLiteral(
        " FROM ((CMTable LEFT JOIN EVTable ON CMTable.cmID = EVTable.EvLinID) RIGHT JOIN "
        "BroChkTable ON CMTable.cmID = BroChkTable.BroChkLinID) WHERE EVTable.EvTyp = 0 AND "
        "(BroChkTable.BroChkPID = %L OR BroChkTable.BroChkToMac = %L) AND (CMTable.CMPurFla <= "
        "255 OR CMTable.CMPurFla IS NULL)");
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_inbox_changes(person integer, computer text, day "
               "text, tim text, above bigint, ids text) RETURNS TABLE(unreadcount bigint, tz_cm "
               "%1.CMTable, tz_ev %1.EVTable, tz_br %1.BroChkTable) LANGUAGE plpgsql%2AS $f$ "
               "DECLARE p integer := CASE WHEN person = tz_pid_of(session_user) THEN person END; "
               "c text := CASE WHEN computer > '' AND pg_has_role(session_user, %4, 'MEMBER') "
               "THEN computer END; BEGIN RETURN QUERY EXECUTE format('SELECT u.n, r.cm, r.ev, r.br "
               "FROM (SELECT count(*) AS n%3 AND (%L IS NULL OR EVTable.EvBroFla IS NULL OR "
               "EVTable.EvBroFla = 0 OR EVTable.EvBroStaDatFla IS NULL OR EVTable.EvBroStaDatFla = "
               "0 OR EVTable.EvBroStaDat IS NULL OR EVTable.EvBroStaDat NOT LIKE ''____-__-__'' OR "
               "EVTable.EvBroStaDat < %L OR (EVTable.EvBroStaDat = %L AND (EVTable.EvBroStaTim IS "
               "NULL OR EVTable.EvBroStaTim NOT LIKE ''__:__:__'' OR EVTable.EvBroStaTim <= %L))) "
               "AND (BroChkTable.BroChkDonDis IS NULL OR BroChkTable.BroChkDonDis <> -1)) u LEFT "
               "JOIN (SELECT CMTable AS cm, EVTable AS ev, BroChkTable AS br%3 AND (%s)) r ON "
               "true', "
               "p, c, day, day, day, tim, p, c, CASE WHEN above < 0 THEN 'true' WHEN "
               "cardinality(ids::integer[]) = 0 THEN format('BroChkTable.BroChkID > %L', above) "
               "ELSE format('BroChkTable.BroChkID > %L OR BroChkTable.BroChkLinID = ANY "
               "(%L::integer[])', above, ids::integer[]) END); END $f$")
               .arg(s, definer, from, database.quote(o.staff));
    for (const char* f : {"tz_cm_hits(text)", kInboxChangesFunction})
        out << QStringLiteral("REVOKE ALL ON FUNCTION %1.%2 FROM PUBLIC").arg(s, QLatin1String(f))
            << QStringLiteral("GRANT EXECUTE ON FUNCTION %1.%2 TO %3")
                   .arg(s, QLatin1String(f), ident(o.staff));
    for (const char* v : kPolicyViews)
        out << QStringLiteral("REVOKE ALL ON %1.%2 FROM PUBLIC").arg(s, QLatin1String(v))
            << QStringLiteral("GRANT SELECT ON %1.%2 TO %3")
                   .arg(s, QLatin1String(v), ident(o.staff));
    // Someone a message reached may purge it (the purge mark is the header's) and, confirming
    // it as payroll related, mark it so (never unmark it), but change nothing else of it.
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_cm_changes() RETURNS trigger LANGUAGE plpgsql%2AS "
               "$f$ DECLARE kept CMTable; BEGIN "
               "IF pg_has_role(current_user, %3, 'MEMBER') OR NOT pg_has_role(current_user, %4, "
               "'MEMBER') OR OLD.cmWho = ANY (tz_logins_of(current_user)) OR "
               "tz_event_of(current_user, OLD.cmID) THEN RETURN NEW; END IF; "
               "kept := OLD; kept.CMPurFla := NEW.CMPurFla; "
               "IF NEW.cmDocAftDis = -1 THEN kept.cmDocAftDis := -1; END IF; "
               "IF NEW.CMShoOnRep = -1 THEN kept.CMShoOnRep := -1; END IF; "
               "IF kept IS DISTINCT FROM NEW THEN RAISE EXCEPTION USING ERRCODE = '42501', "
               "MESSAGE = 'only its sender changes a message'; END IF; RETURN NEW; END $f$")
               .arg(s, path, database.quote(o.supervisor), database.quote(o.staff));
    // The logins' roles as the login list says; a supervisor runs it through the staff setup.
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_sync_roles() RETURNS void LANGUAGE plpgsql "
               "SECURITY DEFINER%2AS $f$ DECLARE l record; r record; BEGIN "
               "PERFORM pg_advisory_xact_lock(%5); "
               "FOR l IN SELECT tz_role_of(w.PWMUseNam) AS role, "
               "bool_or(p.pDatRel IS NOT NULL) AS released, "
               "bool_or(upper(btrim(w.PWMUseNam)) = 'SUPERVISOR' OR EXISTS (SELECT 1 FROM PWATable "
               "a WHERE upper(btrim(a.PWAUseNam)) = upper(btrim(w.PWMUseNam)) AND "
               "upper(btrim(a.PWARigNam)) = %6 AND coalesce(a.PWAWriFla, 0) <> 0)) AS sup "
               "FROM PWMTable w LEFT JOIN PATable p ON p.pID = w.PWMPID "
               "WHERE btrim(coalesce(w.PWMUseNam, '')) <> '' GROUP BY 1 LOOP "
               "IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = l.role) THEN "
               "EXECUTE format('CREATE ROLE %I NOLOGIN IN ROLE %I', l.role, %3); END IF; "
               "EXECUTE format('GRANT %I TO %I', %3, l.role); "
               "IF l.released THEN EXECUTE format('ALTER ROLE %I NOLOGIN', l.role); "
               "ELSE EXECUTE format('ALTER ROLE %I LOGIN', l.role); END IF; "
               "IF l.sup THEN EXECUTE format('GRANT %I TO %I', %4, l.role); "
               "ELSIF EXISTS (SELECT 1 FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid "
               "JOIN "
               "pg_roles m ON m.oid = a.member WHERE g.rolname = %4 AND m.rolname = l.role) THEN "
               "EXECUTE format('REVOKE %I FROM %I', %4, l.role); END IF; END LOOP; "
               // Roles of logins that are gone: their memberships, then themselves.
               "FOR r IN SELECT m.rolname FROM pg_roles m JOIN pg_auth_members a ON a.member = "
               "m.oid JOIN pg_roles g ON g.oid = a.roleid WHERE g.rolname = %3 AND "
               "left(m.rolname, %7) = %8 AND m.rolname NOT IN (SELECT tz_role_of(PWMUseNam) "
               "FROM PWMTable WHERE PWMUseNam IS NOT NULL) LOOP "
               "EXECUTE format('DROP ROLE %I', r.rolname); END LOOP; END $f$")
               .arg(s, path, database.quote(o.staff), database.quote(o.supervisor),
                    QString::number(store::kSetUpLock),
                    database.quote(QString::fromLatin1(kSupervisorRight).toUpper()),
                    QString::number((o.tag + u'.').size()), database.quote(o.tag + u'.'));
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_rename_role(old_login text, new_login text) "
               "RETURNS void LANGUAGE plpgsql SECURITY DEFINER%2AS $f$ BEGIN "
               "IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = tz_role_of(old_login)) AND NOT "
               "EXISTS (SELECT 1 FROM pg_roles WHERE rolname = tz_role_of(new_login)) THEN "
               "EXECUTE format('ALTER ROLE %I RENAME TO %I', tz_role_of(old_login), "
               "tz_role_of(new_login)); END IF; END $f$")
               .arg(s, path);
    out << QStringLiteral(
               "CREATE OR REPLACE FUNCTION %1.tz_set_password(login text, secret text) RETURNS "
               "void LANGUAGE plpgsql SECURITY DEFINER%2AS $f$ BEGIN "
               "IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = tz_role_of(login)) THEN "
               "RAISE EXCEPTION 'no role for the login %', upper(btrim(login)); END IF; "
               "EXECUTE format('ALTER ROLE %I PASSWORD %L', tz_role_of(login), secret); END $f$")
               .arg(s, path);
    for (const char* f :
         {"tz_sync_roles()", "tz_rename_role(text,text)", "tz_set_password(text,text)"})
        out << QStringLiteral("REVOKE ALL ON FUNCTION %1.%2 FROM PUBLIC").arg(s, QLatin1String(f))
            << QStringLiteral("GRANT EXECUTE ON FUNCTION %1.%2 TO %3")
                   .arg(s, QLatin1String(f), ident(o.supervisor));
    return out;
}

// What each role of the staff may do with the rows of the kept tables, from the views' rules.
// `me` is the connected role; the functions are called through a sub-select, once a statement.
QStringList policyStatements(const Office& o)
{
    const QString staff = ident(o.staff);
    const QString myPid = QStringLiteral("(SELECT tz_pid_of(current_user))");
    const QString myLogins = QStringLiteral("(SELECT tz_logins_of(current_user))::text[]");
    struct Policy {
        const char* table;
        const char* name;
        const char* command;
        QString using_;
        QString check;
    };
    const QString sentCm = QStringLiteral("cmWho = ANY (%1)").arg(myLogins);
    const QString mineOrComputer = QStringLiteral("BroChkPID = %1 OR BroChkToMac > ''").arg(myPid);
    // Whether the message `column` names was sent by the role's person, reaches its person or a
    // computer, or is its person's event: one index look-up a row, after the row's own columns.
    // Where both are asked, "reaches" goes first: when the planner hashes them, the person's sent
    // messages are read whole (a scan of the headers), which the rows of an inbox never need.
    const auto sent = [](const char* column) {
        return QStringLiteral("EXISTS (SELECT 1 FROM tz_my_sent v WHERE v.id = %1)")
            .arg(QLatin1String(column));
    };
    const auto reaching = [](const char* column) {
        return QStringLiteral("EXISTS (SELECT 1 FROM tz_my_reaching v WHERE v.id = %1)")
            .arg(QLatin1String(column));
    };
    const auto ownEvent = [](const char* column) {
        return QStringLiteral("EXISTS (SELECT 1 FROM tz_my_events v WHERE v.id = %1)")
            .arg(QLatin1String(column));
    };
    const QString cmRead = sentCm + QStringLiteral(" OR ") + reaching("cmID") +
                           QStringLiteral(" OR ") + ownEvent("cmID");
    const QString evWrite =
        QStringLiteral("(EvTyp = 1 AND EvPID = %1) OR %2").arg(myPid, sent("EvLinID"));
    const QString wroteNote = QStringLiteral("upper(btrim(NTWho)) = ANY (%1)").arg(myLogins);
    const QString cannedStore = QStringLiteral("upper(btrim(coalesce(CTStoNam, '')))");
    const QString ownCanned =
        QStringLiteral("%1 = (SELECT tz_canned_store_of(coalesce(tz_pid_of(current_user), 0)))")
            .arg(cannedStore);
    const QString brochkWrite =
        sent("BroChkLinID") + QStringLiteral(" OR ") + ownEvent("BroChkLinID");
    // A whole office's addressee rows of the message the role has just written: the message
    // looked up once for the statement, the same test as sent() for every row.
    const QString justSent = QStringLiteral("BroChkLinID = (SELECT v.id FROM tz_my_sent v WHERE "
                                            "v.id = tz_last_message()) OR ");
    const QList<Policy> policies = {
        {"CMTable", "tz_read", "SELECT", cmRead, {}},
        {"CMTable",
         "tz_add",
         "INSERT",
         {},
         sentCm + QStringLiteral(" AND coalesce(cmPid, 0) IN (0, coalesce(%1, 0))").arg(myPid)},
        {"CMTable", "tz_change", "UPDATE", cmRead, cmRead},
        {"CMTable", "tz_remove", "DELETE", sentCm + QStringLiteral(" OR ") + ownEvent("cmID"), {}},
        {"EVTable",
         "tz_read",
         "SELECT",
         QStringLiteral("(EvTyp = 1 AND EvPID = %1) OR %2 OR %3")
             .arg(myPid, reaching("EvLinID"), sent("EvLinID")),
         {}},
        {"EVTable", "tz_add", "INSERT", {}, evWrite},
        {"EVTable", "tz_change", "UPDATE", evWrite, evWrite},
        {"EVTable", "tz_remove", "DELETE", evWrite, {}},
        {"BroChkTable",
         "tz_read",
         "SELECT",
         mineOrComputer + QStringLiteral(" OR ") + reaching("BroChkLinID") +
             QStringLiteral(" OR ") + sent("BroChkLinID"),
         {}},
        {"BroChkTable", "tz_add", "INSERT", {}, justSent + brochkWrite},
        {"BroChkTable", "tz_change", "UPDATE",
         mineOrComputer + QStringLiteral(" OR ") + ownEvent("BroChkLinID"),
         mineOrComputer + QStringLiteral(" OR ") + ownEvent("BroChkLinID")},
        {"BroChkTable", "tz_remove", "DELETE", brochkWrite, {}},
        {"LabOrderLinkTable",
         "tz_read",
         "SELECT",
         reaching("LOMsgID") + QStringLiteral(" OR ") + sent("LOMsgID"),
         {}},
        {"LabOrderLinkTable", "tz_add", "INSERT", {}, sent("LOMsgID")},
        // Notes: those the role wrote (into anyone's notes, a patient's among them) and those
        // filed into its person's own notes.
        {"NoteTable",
         "tz_read",
         "SELECT",
         QStringLiteral("%1 OR NTPid = %2").arg(wroteNote, myPid),
         {}},
        {"NoteTable", "tz_add", "INSERT", {}, wroteNote},
        {"NoteTable", "tz_change", "UPDATE", wroteNote, wroteNote},
        {"NoteTable", "tz_remove", "DELETE", wroteNote, {}},
        // Canned texts: the office's stores for all, a personal store for its person only.
        {"CannedTextTable",
         "tz_read",
         "SELECT",
         QStringLiteral("%1 !~ '^MSGDB[0-9A-Z]{1,5}$' OR %2").arg(cannedStore, ownCanned),
         {}},
        {"CannedTextTable", "tz_add", "INSERT", {}, ownCanned},
        {"CannedTextTable", "tz_change", "UPDATE", ownCanned, ownCanned},
        {"CannedTextTable", "tz_remove", "DELETE", ownCanned, {}},
    };
    QStringList out;
    out << QStringLiteral("DROP POLICY IF EXISTS tz_write ON EVTable");
    for (const char* table : kKeptTables) {
        out << QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(QLatin1String(table));
        out << QStringLiteral("DROP POLICY IF EXISTS tz_supervisor ON %1").arg(QLatin1String(table))
            << QStringLiteral("CREATE POLICY tz_supervisor ON %1 FOR ALL TO %2 USING (true) WITH "
                              "CHECK (true)")
                   .arg(QLatin1String(table), ident(o.supervisor));
    }
    for (const Policy& p : policies) {
        QString create = QStringLiteral("CREATE POLICY %1 ON %2 FOR %3 TO %4")
                             .arg(QLatin1String(p.name), QLatin1String(p.table),
                                  QLatin1String(p.command), staff);
        if (!p.using_.isEmpty())
            create += QStringLiteral(" USING (%1)").arg(p.using_);
        if (!p.check.isEmpty())
            create += QStringLiteral(" WITH CHECK (%1)").arg(p.check);
        out << QStringLiteral("DROP POLICY IF EXISTS %1 ON %2")
                   .arg(QLatin1String(p.name), QLatin1String(p.table))
            << create;
    }
    out << QStringLiteral("DROP TRIGGER IF EXISTS tz_cm_changes ON CMTable")
        << QStringLiteral("CREATE TRIGGER tz_cm_changes BEFORE UPDATE ON CMTable FOR EACH ROW "
                          "EXECUTE FUNCTION tz_cm_changes()");
    return out;
}

bool existingRoles(db::Database& database, const QStringList& names, QStringList& found,
                   QString* error)
{
    found.clear();
    QStringList quoted;
    for (const QString& n : names)
        quoted << database.quote(n);
    db::Reader rows = database.read(
        QStringLiteral("SELECT rolname FROM pg_roles WHERE rolname IN (%1)").arg(quoted.join(u',')),
        error);
    if (!rows.isValid())
        return false;
    while (rows.next())
        found << rows.value(0).toString();
    return true;
}

// The schema's own objects of a kind, not yet owned by `owner`, as "ALTER ... OWNER" statements.
bool ownershipStatements(db::Database& database, const Office& o, const QString& owner,
                         QStringList& out, QString* error)
{
    const QString s = database.quote(o.schema);
    db::Reader rows = database.read(
        QStringLiteral(
            "SELECT 'TABLE', quote_ident(c.relname) FROM pg_class c JOIN pg_namespace n ON n.oid "
            "= c.relnamespace WHERE n.nspname = %1 AND c.relkind IN ('r', 'p', 'v', 'm') AND "
            "pg_get_userbyid(c.relowner) <> %2 "
            "UNION ALL SELECT 'SEQUENCE', quote_ident(c.relname) FROM pg_class c JOIN "
            "pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = %1 AND c.relkind = 'S' "
            "AND pg_get_userbyid(c.relowner) <> %2 AND NOT EXISTS (SELECT 1 FROM pg_depend d "
            "WHERE d.objid = c.oid AND d.deptype IN ('a', 'i')) "
            "UNION ALL SELECT 'FUNCTION', p.oid::regprocedure::text FROM pg_proc p JOIN "
            "pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = %1 AND "
            "pg_get_userbyid(p.proowner) <> %2 "
            "UNION ALL SELECT 'DOMAIN', quote_ident(t.typname) FROM pg_type t JOIN pg_namespace "
            "n ON n.oid = t.typnamespace WHERE n.nspname = %1 AND t.typtype = 'd' AND "
            "pg_get_userbyid(t.typowner) <> %2")
            .arg(s, database.quote(owner)),
        error);
    if (!rows.isValid())
        return false;
    const QString schema = ident(o.schema);
    while (rows.next()) {
        const QString kind = rows.value(0).toString();
        QString name = rows.value(1).toString();
        // A function's text is already qualified where the search path does not find it.
        if (kind != QLatin1String("FUNCTION") || !name.contains(u'.'))
            name = schema + u'.' + name;
        out << QStringLiteral("ALTER %1 %2 OWNER TO %3").arg(kind, name, ident(owner));
    }
    if (o.schema != QLatin1String("public"))
        out << QStringLiteral("ALTER SCHEMA %1 OWNER TO %2").arg(schema, ident(owner));
    return true;
}

bool inTransaction(db::Database& database, QString* error,
                   const std::function<bool(QString*)>& work)
{
    const bool own = !database.inTransaction();
    if (own && !database.transaction()) {
        setError(error, QStringLiteral("cannot start a transaction: %1").arg(database.lastError()));
        return false;
    }
    QString why;
    bool ok =
        database.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(store::kSetUpLock),
                      &why) &&
        work(&why);
    if (own) {
        if (ok && !database.commit()) {
            why = QStringLiteral("cannot commit: %1").arg(database.lastError());
            ok = false;
        }
        if (!ok)
            database.rollback();
    }
    database.forgetSchema();
    if (!ok)
        setError(error, why);
    return ok;
}

} // namespace

bool secureOffice(const QString& databaseUrl, QString* error)
{
    auto database = db::Database::open(databaseUrl, error);
    return database && secureOffice(*database, error);
}

bool secureOffice(db::Database& database, QString* error)
{
    Office o;
    if (!readOffice(database, o, error))
        return false;
    if (!database.hasTable(QStringLiteral("CMTable"))) {
        setError(error, QStringLiteral("the database has no office yet (run tzsndmsg init)"));
        return false;
    }
    return inTransaction(database, error, [&](QString* why) {
        QStringList found;
        if (!existingRoles(database, {o.owner, o.staff, o.supervisor}, found, why))
            return false;
        QStringList script;
        if (!found.contains(o.owner))
            script << QStringLiteral("CREATE ROLE %1 NOLOGIN CREATEROLE").arg(ident(o.owner));
        if (!found.contains(o.staff))
            script << QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(ident(o.staff));
        if (!found.contains(o.supervisor))
            script << QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(ident(o.supervisor));
        // The owner keeps the logins' roles: it grants the office's roles to them.
        script << QStringLiteral("GRANT %1, %2 TO %3 WITH ADMIN OPTION")
                      .arg(ident(o.staff), ident(o.supervisor), ident(o.owner));
        if (!o.superuser)
            script << QStringLiteral("GRANT %1 TO CURRENT_USER").arg(ident(o.owner));
        if (!database.execScript(script, why))
            return false;
        script.clear();
        if (!ownershipStatements(database, o, o.owner, script, why))
            return false;
        const QString s = ident(o.schema);
        script << QStringLiteral("REVOKE ALL ON ALL TABLES IN SCHEMA %1 FROM PUBLIC").arg(s)
               << QStringLiteral("REVOKE ALL ON ALL SEQUENCES IN SCHEMA %1 FROM PUBLIC").arg(s)
               << QStringLiteral("REVOKE CREATE ON SCHEMA %1 FROM PUBLIC").arg(s)
               << QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(s, ident(o.staff))
               << QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA %1 TO %2")
                      .arg(s, ident(o.staff))
               << QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA %1 TO %2")
                      .arg(s, ident(o.staff))
               << QStringLiteral("GRANT INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %1 TO %2")
                      .arg(s, ident(o.supervisor));
        for (const char* table : kStaffWrites)
            script << QStringLiteral("GRANT INSERT, UPDATE, DELETE ON %1 TO %2")
                          .arg(QLatin1String(table), ident(o.staff));
        script << functionStatements(database, o);
        // The functions are the owner's: made by it, so that they read as it reads.
        QStringList owned;
        if (!database.execScript(script, why) ||
            !ownershipStatements(database, o, o.owner, owned, why) ||
            !database.execScript(owned, why))
            return false;
        return database.execScript(policyStatements(o), why) &&
               database.exec(QStringLiteral("SELECT tz_sync_roles()"), why);
    });
}

bool unsecureOffice(db::Database& database, QString* error)
{
    Office o;
    if (!readOffice(database, o, error))
        return false;
    return inTransaction(database, error, [&](QString* why) {
        const QVariant me = database.scalar(QStringLiteral("SELECT current_user::text"), {}, why);
        if (!me.isValid())
            return false;
        QStringList script;
        if (!ownershipStatements(database, o, me.toString(), script, why))
            return false;
        for (const QString& name : {QStringLiteral("tz_read"), QStringLiteral("tz_add"),
                                    QStringLiteral("tz_change"), QStringLiteral("tz_remove"),
                                    QStringLiteral("tz_write"), QStringLiteral("tz_supervisor")})
            for (const char* table : kKeptTables)
                script << QStringLiteral("DROP POLICY IF EXISTS %1 ON %2")
                              .arg(name, QLatin1String(table));
        for (const char* table : kKeptTables)
            script << QStringLiteral("ALTER TABLE %1 DISABLE ROW LEVEL SECURITY")
                          .arg(QLatin1String(table));
        script << QStringLiteral("DROP TRIGGER IF EXISTS tz_cm_changes ON CMTable");
        for (const char* v : kPolicyViews)
            script << QStringLiteral("DROP VIEW IF EXISTS %1.%2")
                          .arg(ident(o.schema), QLatin1String(v));
        script << QStringLiteral("DROP INDEX IF EXISTS %1.tz_ix_pwm_role").arg(ident(o.schema));
        script
            << QStringLiteral("DROP INDEX IF EXISTS %1.tz_ix_brochk_computer").arg(ident(o.schema));
        for (const char* f :
             {"tz_cm_changes()", "tz_sync_roles()", "tz_rename_role(text,text)",
              "tz_set_password(text,text)", "tz_sent_by(name,integer)",
              "tz_addressed_to(name,integer)", "tz_event_of(name,integer)", "tz_sent_ids(name)",
              "tz_reaching_ids(name)", "tz_event_ids(name)", "tz_last_message()",
              "tz_cm_hits(text)", kInboxChangesFunction, "tz_logins_of(name)", "tz_pid_of(name)",
              "tz_role_of(text)", "tz_canned_store_of(integer)"})
            script << QStringLiteral("DROP FUNCTION IF EXISTS %1.%2")
                          .arg(ident(o.schema), QLatin1String(f));
        if (!database.execScript(script, why))
            return false;
        // The policies go with the roles they name; the roles of the logins with them.
        db::Reader logins = database.read(
            QStringLiteral("SELECT m.rolname FROM pg_roles m JOIN pg_auth_members a ON a.member = "
                           "m.oid JOIN pg_roles g ON g.oid = a.roleid WHERE g.rolname = ?"),
            {o.staff}, why);
        if (!logins.isValid())
            return false;
        QStringList roles;
        while (logins.next())
            roles << logins.value(0).toString();
        roles.removeAll(o.supervisor);
        roles.removeAll(o.owner);
        roles << o.staff << o.supervisor << o.owner;
        QStringList found;
        if (!existingRoles(database, roles, found, why))
            return false;
        script.clear();
        for (const QString& r : std::as_const(found))
            script << QStringLiteral("DROP OWNED BY %1").arg(ident(r));
        for (const QString& r : std::as_const(found))
            script << QStringLiteral("DROP ROLE %1").arg(ident(r));
        return database.execScript(script, why);
    });
}

bool syncOfficeRoles(db::Database& database, QString* error)
{
    bool signedIn = false;
    if (!isSignedInOffice(database, signedIn, error))
        return false;
    if (!signedIn)
        return true;
    QString why;
    if (!database.exec(QStringLiteral("SELECT tz_sync_roles()"), &why)) {
        setError(error, QStringLiteral("cannot keep the logins' database roles: %1").arg(why));
        return false;
    }
    return true;
}

bool roleOfLogin(db::Database& database, const QString& login, QString& role, QString* error)
{
    role.clear();
    bool signedIn = false;
    if (!isSignedInOffice(database, signedIn, error))
        return false;
    if (!signedIn)
        return true;
    QString why;
    role = database.scalar(QStringLiteral("SELECT tz_role_of(?)::text"), {login}, &why).toString();
    if (!why.isEmpty()) {
        setError(error, why);
        return false;
    }
    return true;
}

bool setLoginPassword(db::Database& database, const QString& login, const QString& password,
                      QString* error)
{
    bool signedIn = false;
    if (!isSignedInOffice(database, signedIn, error))
        return false;
    if (!signedIn) {
        setError(error, database.backend() == db::Backend::Postgres
                            ? QStringLiteral("the office is not signed in (run tzsndmsg secure)")
                            : QStringLiteral("a SQLite office has no passwords: anyone who can "
                                             "read its file reads every message"));
        return false;
    }
    if (password.isEmpty()) {
        setError(error, QStringLiteral("the password is empty"));
        return false;
    }
    QString role;
    if (!roleOfLogin(database, login, role, error) || role.isEmpty())
        return false;
    const QString hashed =
        db::detail::postgresHashedPassword(db::Internals::handle(database), role, password);
    if (hashed.isEmpty()) {
        setError(error, QStringLiteral("the client library cannot hash the password"));
        return false;
    }
    QString why;
    const QVariant self = database.scalar(
        QStringLiteral("SELECT current_user = tz_role_of(?) OR (SELECT rolsuper OR rolcreaterole "
                       "FROM pg_roles WHERE rolname = current_user)"),
        {login}, &why);
    bool ok = self.isValid();
    if (ok && self.toBool())
        // A hashed secret is what the server stores; the text is not the password.
        ok = database.exec(
            QStringLiteral("ALTER ROLE %1 PASSWORD %2").arg(ident(role), database.quote(hashed)),
            &why);
    else if (ok)
        ok = database.exec(QStringLiteral("SELECT tz_set_password(?, ?)"), {login, hashed}, &why);
    if (!ok)
        setError(error, QStringLiteral("cannot set the password of %1: %2")
                            .arg(login.trimmed().toUpper(), why));
    return ok;
}

} // namespace tzsndmsg
