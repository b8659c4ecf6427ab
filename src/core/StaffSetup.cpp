#include "common/VbFormat.h"
#include "store/Schema.h"
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/db/RecordWriter.h"
#include "tzsndmsg/db/Recordset.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

namespace tzsndmsg {

namespace {

// Workstations that change staff at once take turns on PostgreSQL through this lock of the
// transaction; on SQLite the write lock every transaction takes when it begins does the same.
constexpr qint64 kStaffLock = 0x747a7374616666; // "tzstaff"

const QString kSupervisorLogin = QStringLiteral("SUPERVISOR");
const QString kProgramName = QStringLiteral("ZELOWIN");
// The employment status the lists leave out.
constexpr const char* kTerminated = "Terminated";

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString key(const QString& text)
{
    return text.trimmed().toUpper();
}

// A transaction of its own, or the caller's when one is open (the demo office seeds inside its
// own), with the staff lock taken.
class StaffTransaction {
public:
    explicit StaffTransaction(db::Database& database) : m_db(database)
    {
        m_own = !m_db.inTransaction();
        if (m_own && !m_db.transaction()) {
            m_error = QStringLiteral("cannot start a transaction: ") + m_db.lastError();
            return;
        }
        m_begun = true;
        // The set-up's lock first: a signed-in office's login change takes it again to keep the
        // roles, and the office's set-up holds it while it seeds people, so one order for both
        // (the locks are the server database's, shared by every office on it).
        if (m_db.backend() == db::Backend::Postgres)
            for (const qint64 lock : {store::kSetUpLock, kStaffLock})
                if (!m_db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(lock),
                               &m_error))
                    return;
        m_ok = true;
    }
    ~StaffTransaction()
    {
        if (m_own && m_begun && !m_done)
            m_db.rollback();
    }
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    bool commit(QString* error)
    {
        // In a signed-in office the logins' database roles change with the login list, in the
        // same transaction.
        if (m_db.backend() == db::Backend::Postgres && !syncOfficeRoles(m_db, error))
            return false;
        if (!m_own) {
            m_done = true;
            return true;
        }
        m_done = m_db.commit();
        if (!m_done)
            setError(error, QStringLiteral("cannot save the change: ") + m_db.lastError());
        return m_done;
    }

private:
    db::Database& m_db;
    QString m_error;
    bool m_own = false;
    bool m_begun = false;
    bool m_ok = false;
    bool m_done = false;
};

struct PersonRow {
    qint32 id = 0;
    QString last, first, initials;
    std::optional<QDate> released;
    QString department;
    bool employee = true;
};

struct LoginRow {
    qint64 rowId = 0;
    QString name; // trimmed, as stored
    qint32 person = 0;
};

// The office's people and logins as the checks need them; changes of a list are made here first.
struct OfficeStaff {
    QMap<qint32, PersonRow> people;
    QList<LoginRow> logins;

    bool load(db::Database& database, QString* error)
    {
        QString why;
        db::Recordset persons = database.query(
            QStringLiteral("SELECT pID, PLasNam, PFirNam, PDocIni, pDatRel, pTypEmp FROM PATable"),
            &why);
        if (!persons.isOpen()) {
            setError(error, QStringLiteral("cannot read the persons: ") + why);
            return false;
        }
        for (persons.moveFirst(); !persons.eof(); persons.moveNext()) {
            PersonRow p;
            p.id = qint32(persons.value(QStringLiteral("pID")).toLongLong());
            p.last = persons.value(QStringLiteral("PLasNam")).toString().trimmed();
            p.first = persons.value(QStringLiteral("PFirNam")).toString().trimmed();
            p.initials = persons.value(QStringLiteral("PDocIni")).toString().trimmed();
            if (!persons.isNull(QStringLiteral("pDatRel"))) {
                const auto date = common::vb::toDate(persons.value(QStringLiteral("pDatRel")));
                p.released = date ? date->dateTime().date() : QDate();
            }
            p.employee =
                persons.value(QStringLiteral("pTypEmp")).toString().trimmed() == QLatin1String("1");
            people.insert(p.id, p);
        }
        // Each person's latest employment record that is not terminated, as the lists read it;
        // a released person's last one otherwise.
        db::Recordset records = database.query(
            QStringLiteral("SELECT EBTable.EBID, EBTable.EBPid, EBTable.EBDep, ESTable.ESSta "
                           "FROM EBTable INNER JOIN ESTable ON EBTable.EBID = ESTable.EBID "
                           "ORDER BY EBTable.EBID"),
            &why);
        if (!records.isOpen()) {
            setError(error, QStringLiteral("cannot read the employment records: ") + why);
            return false;
        }
        QSet<qint32> current;
        for (records.moveFirst(); !records.eof(); records.moveNext()) {
            const qint32 id = qint32(records.value(QStringLiteral("EBPid")).toLongLong());
            auto it = people.find(id);
            if (it == people.end())
                continue;
            const bool terminated =
                records.value(QStringLiteral("ESSta")).toString() == QLatin1String(kTerminated);
            if (terminated && current.contains(id))
                continue;
            if (!terminated)
                current.insert(id);
            it->department = records.value(QStringLiteral("EBDep")).toString().trimmed();
        }
        db::Recordset rows = database.query(
            QStringLiteral("SELECT PWMID, PWMUseNam, PWMPID FROM PWMTable ORDER BY PWMID"), &why);
        if (!rows.isOpen()) {
            setError(error, QStringLiteral("cannot read the login list: ") + why);
            return false;
        }
        for (rows.moveFirst(); !rows.eof(); rows.moveNext())
            logins.append({rows.value(QStringLiteral("PWMID")).toLongLong(),
                           rows.value(QStringLiteral("PWMUseNam")).toString().trimmed(),
                           qint32(rows.value(QStringLiteral("PWMPID")).toLongLong())});
        return true;
    }

    // A current person other than exceptId with these initials.
    const PersonRow* initialsHolder(const QString& initials, qint32 exceptId) const
    {
        const QString wanted = key(initials);
        for (const PersonRow& p : people)
            if (p.id != exceptId && !p.released && p.employee && key(p.initials) == wanted)
                return &p;
        return nullptr;
    }

    int loginIndex(const QString& name) const
    {
        const QString wanted = key(name);
        for (int i = 0; i < logins.size(); ++i)
            if (key(logins.at(i).name) == wanted)
                return i;
        return -1;
    }

    QString loginOf(qint32 person) const
    {
        for (const LoginRow& l : logins)
            if (l.person == person && !l.name.isEmpty())
                return l.name;
        return QString();
    }
};

// Every change of the staff starts the same way: the lock taken, then the office read under it.
bool beginStaffChange(db::Database& database, const StaffTransaction& transaction,
                      OfficeStaff& office, QString* error)
{
    if (!transaction.ok()) {
        setError(error, transaction.error());
        return false;
    }
    return office.load(database, error);
}

QString describe(const PersonRow& p)
{
    return QStringLiteral("%1, %2 (id %3)").arg(p.last, p.first).arg(p.id);
}

// The problem with a login name for the person, or empty.
QString loginProblem(const OfficeStaff& office, const QString& name, qint32 person)
{
    if (QString why = staffTextProblem(StaffField::Login, name); !why.isEmpty())
        return why;
    if (key(name) == kSupervisorLogin && person != 0)
        return QStringLiteral("SUPERVISOR is the office's own login, of no person");
    const int at = office.loginIndex(name);
    if (at >= 0 && office.logins.at(at).person != person)
        return QStringLiteral("the login %1 is taken").arg(key(name));
    // A signed-in office makes a database role of each login, named in lower case after the
    // office's part (31 bytes at most) in the server's 63: two logins that would share a role
    // would let one person sign in as the other.
    const QString role = key(name).toLower();
    for (const LoginRow& l : office.logins)
        if (l.person != person && key(l.name).toLower() == role)
            return QStringLiteral("the login %1 is taken (as %2)").arg(key(name), key(l.name));
    if (role.toUtf8().size() > 32)
        return QStringLiteral("the login %1 is too long for a database role: 32 bytes at most "
                              "(20 plain letters, fewer of other alphabets)")
            .arg(key(name));
    if (person != 0) {
        const auto it = office.people.constFind(person);
        if (it != office.people.cend() && it->released)
            return QStringLiteral("%1 is released: a released person gets no login")
                .arg(describe(*it));
    }
    return QString();
}

// The fields as they are stored.
void normalize(StaffPersonFields& f)
{
    auto norm = [](std::optional<QString>& value, StaffField field) {
        if (value)
            value = normalizedStaffText(field, *value);
    };
    norm(f.last, StaffField::LastName);
    norm(f.first, StaffField::FirstName);
    norm(f.initials, StaffField::Initials);
    norm(f.department, StaffField::Department);
    norm(f.login, StaffField::Login);
}

// Checks a change against the office and makes it there; the reason when it cannot be made.
// Added people get ids below zero until they are written.
QString checkAndApply(OfficeStaff& office, StaffChange change, qint32 provisionalId)
{
    StaffPersonFields& f = change.fields;
    normalize(f);

    PersonRow* person = nullptr;
    if (change.kind == StaffChange::Kind::Add) {
        if (!f.last || f.last->isEmpty())
            return QStringLiteral("the last name is missing");
        if (!f.initials || f.initials->isEmpty())
            return QStringLiteral("the initials are missing");
        PersonRow p;
        p.id = provisionalId;
        person = &*office.people.insert(p.id, p);
    } else {
        auto it = office.people.find(change.personId);
        if (it == office.people.end() || !it->employee)
            return QStringLiteral("no person with id %1").arg(change.personId);
        person = &*it;
    }

    const struct {
        const std::optional<QString>& value;
        StaffField field;
    } texts[] = {{f.last, StaffField::LastName},
                 {f.first, StaffField::FirstName},
                 {f.initials, StaffField::Initials},
                 {f.department, StaffField::Department}};
    for (const auto& t : texts)
        if (t.value)
            if (QString why = staffTextProblem(t.field, *t.value); !why.isEmpty())
                return why;

    switch (change.kind) {
    case StaffChange::Kind::Release:
        if (change.releaseDate && !change.releaseDate->isValid())
            return QStringLiteral("the release date is not a date");
        person->released = change.releaseDate.value_or(QDate::currentDate());
        return QString();
    case StaffChange::Kind::Rehire:
        if (!person->released)
            return QStringLiteral("%1 is not released").arg(describe(*person));
        if (const PersonRow* other = office.initialsHolder(person->initials, person->id))
            return QStringLiteral("the initials %1 are now taken by %2")
                .arg(key(person->initials), describe(*other));
        person->released.reset();
        return QString();
    case StaffChange::Kind::Add:
    case StaffChange::Kind::Edit:
        break;
    }

    if (f.department && person->released && *f.department != person->department)
        return QStringLiteral("%1 is released: rehire before changing the department")
            .arg(describe(*person));
    if (f.initials && !person->released)
        if (const PersonRow* other = office.initialsHolder(*f.initials, person->id))
            return QStringLiteral("the initials %1 are taken by %2")
                .arg(key(*f.initials), describe(*other));
    if (f.login && !f.login->isEmpty())
        if (QString why = loginProblem(office, *f.login, person->id); !why.isEmpty())
            return why;

    if (f.last)
        person->last = *f.last;
    if (f.first)
        person->first = *f.first;
    if (f.initials)
        person->initials = *f.initials;
    if (f.department)
        person->department = *f.department;
    if (f.login) {
        // As written: none removes them all; a name the person holds stays; another renames the
        // person's first login, or is added.
        auto held = std::find_if(office.logins.begin(), office.logins.end(),
                                 [&](const LoginRow& l) { return l.person == person->id; });
        const int at = office.loginIndex(*f.login);
        const bool holds = at >= 0 && office.logins.at(at).person == person->id;
        if (f.login->isEmpty())
            office.logins.removeIf([&](const LoginRow& l) { return l.person == person->id; });
        else if (!holds && held != office.logins.end())
            held->name = *f.login;
        else if (!holds)
            office.logins.append({0, *f.login, person->id});
    }
    return QString();
}

// --- writing ----------------------------------------------------------------------------------

bool write(db::Database& database, const QString& table, const QString& keyColumn, qint64& id,
           const QStringList& names, const QStringList& texts, QString* error)
{
    QString why;
    if (db::writeRecord(database, table, keyColumn, id, names, texts, &why))
        return true;
    setError(error, QStringLiteral("cannot write %1: %2").arg(table, why));
    return false;
}

bool exec(db::Database& database, const QString& statement, const QVariantList& params,
          QString* error)
{
    QString why;
    if (database.exec(statement, params, &why))
        return true;
    setError(error, why);
    return false;
}

// Sent items are found by the login's name: a name that has sent messages stays with the person
// who sent them. False with the reason when `name` sent messages (those of another person than
// `holder`, when a holder is given): it may not be freed, renamed or given to someone else.
bool keepsItsSentItems(db::Database& database, const QString& name, qint32 holder, QString* error)
{
    QString why;
    const QVariant sent = database.scalar(
        holder != 0 ? QStringLiteral("SELECT count(*) FROM CMTable WHERE upper(trim(cmWho)) = ? "
                                     "AND coalesce(cmPid, 0) <> ?")
                    : QStringLiteral("SELECT count(*) FROM CMTable WHERE upper(trim(cmWho)) = ?"),
        holder != 0 ? QVariantList{key(name), holder} : QVariantList{key(name)}, &why);
    if (!why.isEmpty()) {
        setError(error, why);
        return false;
    }
    if (sent.toLongLong() == 0)
        return true;
    setError(error,
             holder != 0
                 ? QStringLiteral("the login %1 sent messages as another person: their sent "
                                  "items would be this person's")
                       .arg(key(name))
                 : QStringLiteral("the login %1 has sent messages, which its sent items find by "
                                  "its name: it keeps its name (release the person instead)")
                       .arg(key(name)));
    return false;
}

// A new employment record with its status row: the lists take a person's department from the
// latest record that has one.
bool writeEmployment(db::Database& database, qint32 person, const QString& department,
                     QString* error)
{
    qint64 record = 0;
    qint64 status = 0;
    return write(database, QStringLiteral("EBTable"), QStringLiteral("EBID"), record,
                 {QStringLiteral("EBPid"), QStringLiteral("EBDep")},
                 {QString::number(person), department}, error) &&
           write(database, QStringLiteral("ESTable"), QStringLiteral("ESID"), status,
                 {QStringLiteral("EBID"), QStringLiteral("ESSta")},
                 {QString::number(record), QStringLiteral("Active")}, error);
}

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

bool writeLoginOfPerson(db::Database& database, const OfficeStaff& before, qint32 person,
                        const QString& login, QString* error)
{
    QString held;
    qint64 heldRow = 0;
    for (const LoginRow& l : before.logins)
        if (l.person == person && person != 0) {
            held = l.name;
            heldRow = l.rowId;
            break;
        }
    if (login.isEmpty()) {
        for (const LoginRow& l : before.logins)
            if (l.person == person && person != 0 &&
                !(keepsItsSentItems(database, l.name, 0, error) &&
                  exec(database,
                       QStringLiteral("DELETE FROM PWATable WHERE upper(trim(PWAUseNam)) = ?"),
                       {key(l.name)}, error) &&
                  exec(database, QStringLiteral("DELETE FROM PWMTable WHERE PWMID = ?"), {l.rowId},
                       error)))
                return false;
        return true;
    }
    if (heldRow == 0) {
        qint64 row = 0;
        return (person == 0 || keepsItsSentItems(database, login, person, error)) &&
               write(database, QStringLiteral("PWMTable"), QStringLiteral("PWMID"), row,
                     {QStringLiteral("PWMUseNam"), QStringLiteral("PWMPID")},
                     {login, person ? QString::number(person) : QString()}, error);
    }
    for (const LoginRow& l : before.logins)
        if (l.person == person && key(l.name) == key(login))
            return true;
    // A new name for the login: its rights go with it, and in a signed-in office its role (with
    // its password).
    if (!keepsItsSentItems(database, held, 0, error) ||
        !keepsItsSentItems(database, login, person, error))
        return false;
    bool signedIn = false;
    if (!isSignedInOffice(database, signedIn, error) ||
        (signedIn &&
         !exec(database, QStringLiteral("SELECT tz_rename_role(?, ?)"), {held, login}, error)))
        return false;
    return exec(database, QStringLiteral("UPDATE PWMTable SET PWMUseNam = ? WHERE PWMID = ?"),
                {login, heldRow}, error) &&
           exec(
               database,
               QStringLiteral("UPDATE PWATable SET PWAUseNam = ? WHERE upper(trim(PWAUseNam)) = ?"),
               {login, key(held)}, error);
}

bool writeChange(db::Database& database, const OfficeStaff& before, const StaffChange& change,
                 qint32& addedId, QString* error)
{
    StaffPersonFields f = change.fields;
    normalize(f);

    qint64 id = change.personId;
    QStringList names, texts;
    auto set = [&](const char* column, const std::optional<QString>& value) {
        if (value) {
            names << QLatin1String(column);
            texts << *value;
        }
    };
    set("PLasNam", f.last);
    set("PFirNam", f.first);
    set("PDocIni", f.initials);

    switch (change.kind) {
    case StaffChange::Kind::Add:
        id = 0;
        names << QStringLiteral("pTypEmp") << QStringLiteral("pDatRel");
        texts << QStringLiteral("1") << QString();
        if (!f.first)
            set("PFirNam", QString());
        if (!write(database, QStringLiteral("PATable"), QStringLiteral("pID"), id, names, texts,
                   error))
            return false;
        addedId = qint32(id);
        if (f.department && !f.department->isEmpty() &&
            !writeEmployment(database, addedId, *f.department, error))
            return false;
        return !f.login || f.login->isEmpty() ||
               writeLoginOfPerson(database, before, addedId, *f.login, error);
    case StaffChange::Kind::Edit: {
        if (!names.isEmpty() && !write(database, QStringLiteral("PATable"), QStringLiteral("pID"),
                                       id, names, texts, error))
            return false;
        const PersonRow& was = before.people[change.personId];
        if (f.department && *f.department != was.department &&
            !writeEmployment(database, change.personId, *f.department, error))
            return false;
        return !f.login || writeLoginOfPerson(database, before, change.personId, *f.login, error);
    }
    case StaffChange::Kind::Release: {
        // The employment ends with the release: the departments of the lists are those of the
        // people who work here.
        const QDate date = change.releaseDate.value_or(QDate::currentDate());
        return write(database, QStringLiteral("PATable"), QStringLiteral("pID"), id,
                     {QStringLiteral("pDatRel")}, {dateText(date)}, error) &&
               exec(database,
                    QStringLiteral("UPDATE ESTable SET ESSta = ?, ESStaDat = ? WHERE EBID IN "
                                   "(SELECT EBID FROM EBTable WHERE EBPid = ?) AND "
                                   "(ESSta IS NULL OR ESSta <> ?)"),
                    {QLatin1String(kTerminated),
                     db::convertText(dateText(date), db::ColumnType::DateTime), id,
                     QLatin1String(kTerminated)},
                    error);
    }
    case StaffChange::Kind::Rehire: {
        // A new employment in the department the person left.
        const PersonRow& was = before.people[change.personId];
        return write(database, QStringLiteral("PATable"), QStringLiteral("pID"), id,
                     {QStringLiteral("pDatRel")}, {QString()}, error) &&
               (was.department.isEmpty() ||
                writeEmployment(database, change.personId, was.department, error));
    }
    }
    return false;
}

StaffPerson toPerson(const PersonRow& row, const OfficeStaff& office)
{
    StaffPerson p;
    p.id = row.id;
    p.last = row.last;
    p.first = row.first;
    p.initials = row.initials;
    p.department = row.department;
    p.login = office.loginOf(row.id);
    p.released = row.released;
    return p;
}

bool single(db::Database& database, const StaffChange& change, qint32* id, QString* error)
{
    QList<StaffProblem> problems;
    QList<qint32> added;
    QString why;
    if (applyStaffChanges(database, {change}, problems, false, &added, &why)) {
        if (id && !added.isEmpty())
            *id = added.first();
        return true;
    }
    setError(error, problems.isEmpty() ? why : problems.first().text);
    return false;
}

} // namespace

QString normalizedStaffText(StaffField field, const QString& text)
{
    QString trimmed = text.trimmed();
    if (field == StaffField::Login || field == StaffField::ComputerName)
        return trimmed.toUpper();
    return trimmed;
}

QString staffTextProblem(StaffField field, const QString& text)
{
    struct Rule {
        const char* what;
        int longest;
        bool required;
    };
    static const QHash<StaffField, Rule> rules = {
        {StaffField::LastName, {"the last name", kMaxLastNameLength, true}},
        {StaffField::FirstName, {"the first name", kMaxFirstNameLength, false}},
        {StaffField::Initials, {"the initials", kMaxInitialsLength, true}},
        {StaffField::Department, {"the department", kMaxDepartmentLength, false}},
        {StaffField::Login, {"the login", kMaxLoginLength, true}},
        {StaffField::ComputerName, {"the computer name", kMaxComputerNameLength, true}},
    };
    const Rule rule = rules.value(field);
    const QString what = QLatin1String(rule.what);
    if (rule.required && text.isEmpty())
        return what + QStringLiteral(" is missing");
    if (text.size() > rule.longest)
        return QStringLiteral("%1 \"%2\" is longer than %3 characters")
            .arg(what, text.left(rule.longest) + QStringLiteral("..."))
            .arg(rule.longest);
    for (const QChar c : text) {
        const auto category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph || category == QChar::Other_Format ||
            category == QChar::Other_Surrogate || category == QChar::Other_NotAssigned)
            return what + QStringLiteral(" holds a control character");
    }
    if (text != text.trimmed())
        return what + QStringLiteral(" starts or ends with a blank");
    // Workstations name themselves without blanks; the list holds one name a line.
    if (field == StaffField::ComputerName &&
        text.contains(QRegularExpression(QStringLiteral("\\s"))))
        return what + QStringLiteral(" holds a blank");
    // Lists of computers given to an announcement are parted by commas.
    if (field == StaffField::ComputerName && text.contains(u','))
        return what + QStringLiteral(" holds a comma");
    return QString();
}

bool applyStaffChanges(db::Database& database, const QList<StaffChange>& changes,
                       QList<StaffProblem>& problems, bool dryRun, QList<qint32>* addedIds,
                       QString* error)
{
    problems.clear();
    if (addedIds)
        addedIds->clear();
    StaffTransaction transaction(database);
    OfficeStaff before;
    if (!beginStaffChange(database, transaction, before, error))
        return false;
    OfficeStaff after = before;
    qint32 provisional = 0;
    for (int i = 0; i < changes.size(); ++i) {
        if (const QString why = checkAndApply(after, changes.at(i), --provisional); !why.isEmpty())
            problems.append({i, why});
    }
    if (!problems.isEmpty()) {
        setError(error, problems.first().text);
        return false;
    }
    if (dryRun) {
        if (addedIds)
            for (const StaffChange& change : changes)
                if (change.kind == StaffChange::Kind::Add)
                    addedIds->append(0);
        return true;
    }
    for (const StaffChange& change : changes) {
        qint32 added = 0;
        if (!writeChange(database, before, change, added, error))
            return false;
        if (addedIds && change.kind == StaffChange::Kind::Add)
            addedIds->append(added);
    }
    return transaction.commit(error);
}

bool listStaff(db::Database& database, QList<StaffPerson>& people, QString* error)
{
    people.clear();
    OfficeStaff office;
    if (!office.load(database, error))
        return false;
    QList<PersonRow> rows;
    for (const PersonRow& row : std::as_const(office.people))
        if (row.employee)
            rows.append(row);
    std::stable_sort(rows.begin(), rows.end(), [](const PersonRow& a, const PersonRow& b) {
        if (const int c = QString::localeAwareCompare(a.last, b.last))
            return c < 0;
        if (const int c = QString::localeAwareCompare(a.first, b.first))
            return c < 0;
        return a.id < b.id;
    });
    for (const PersonRow& row : std::as_const(rows))
        people.append(toPerson(row, office));
    return true;
}

bool readStaffPerson(db::Database& database, qint32 id, StaffPerson& person, QString* error)
{
    OfficeStaff office;
    if (!office.load(database, error))
        return false;
    const auto it = office.people.constFind(id);
    if (it == office.people.cend() || !it->employee) {
        setError(error, QStringLiteral("no person with id %1").arg(id));
        return false;
    }
    person = toPerson(*it, office);
    return true;
}

bool addStaffPerson(db::Database& database, const StaffPersonFields& fields, qint32* id,
                    QString* error)
{
    StaffChange change;
    change.kind = StaffChange::Kind::Add;
    change.fields = fields;
    return single(database, change, id, error);
}

bool editStaffPerson(db::Database& database, qint32 id, const StaffPersonFields& fields,
                     QString* error)
{
    StaffChange change;
    change.kind = StaffChange::Kind::Edit;
    change.personId = id;
    change.fields = fields;
    return single(database, change, nullptr, error);
}

bool releaseStaffPerson(db::Database& database, qint32 id, std::optional<QDate> date,
                        QString* error)
{
    StaffChange change;
    change.kind = StaffChange::Kind::Release;
    change.personId = id;
    change.releaseDate = date;
    return single(database, change, nullptr, error);
}

bool rehireStaffPerson(db::Database& database, qint32 id, QString* error)
{
    StaffChange change;
    change.kind = StaffChange::Kind::Rehire;
    change.personId = id;
    return single(database, change, nullptr, error);
}

// --- logins and rights ------------------------------------------------------------------------

bool listLogins(db::Database& database, QList<StaffLogin>& logins, QString* error)
{
    logins.clear();
    OfficeStaff office;
    if (!office.load(database, error))
        return false;
    QString why;
    db::Recordset rights = database.query(
        QStringLiteral("SELECT PWAUseNam, PWARigNam, PWAWriFla FROM PWATable"), &why);
    if (!rights.isOpen()) {
        setError(error, QStringLiteral("cannot read the rights: ") + why);
        return false;
    }
    QSet<QString> supervisors, payroll;
    for (rights.moveFirst(); !rights.eof(); rights.moveNext()) {
        if (rights.isNull(QStringLiteral("PWAWriFla")) ||
            rights.value(QStringLiteral("PWAWriFla")).toLongLong() == 0)
            continue;
        const QString right = key(rights.value(QStringLiteral("PWARigNam")).toString());
        const QString login = key(rights.value(QStringLiteral("PWAUseNam")).toString());
        if (right == key(QLatin1String(kSupervisorRight)))
            supervisors.insert(login);
        else if (right == key(QLatin1String(kPayrollMessagesRight)))
            payroll.insert(login);
    }
    for (const LoginRow& row : std::as_const(office.logins)) {
        StaffLogin l;
        l.name = row.name;
        l.personId = row.person;
        if (const auto it = office.people.constFind(row.person); it != office.people.cend()) {
            l.person = it->first.isEmpty() ? it->last : it->last + QStringLiteral(", ") + it->first;
            l.released = it->released.has_value();
        }
        l.supervisor = key(row.name) == kSupervisorLogin || supervisors.contains(key(row.name));
        l.payroll = key(row.name) == kSupervisorLogin || payroll.contains(key(row.name));
        logins.append(l);
    }
    std::stable_sort(logins.begin(), logins.end(), [](const StaffLogin& a, const StaffLogin& b) {
        return key(a.name) < key(b.name);
    });
    return true;
}

bool addLogin(db::Database& database, const QString& name, qint32 personId, QString* error)
{
    const QString login = normalizedStaffText(StaffField::Login, name);
    StaffTransaction transaction(database);
    OfficeStaff office;
    if (!beginStaffChange(database, transaction, office, error))
        return false;
    if (personId == 0 && login != kSupervisorLogin) {
        setError(error, QStringLiteral("a login needs a person"));
        return false;
    }
    if (personId != 0) {
        const auto it = office.people.constFind(personId);
        if (it == office.people.cend() || !it->employee) {
            setError(error, QStringLiteral("no person with id %1").arg(personId));
            return false;
        }
    }
    if (QString why = loginProblem(office, login, personId);
        !why.isEmpty() || office.loginIndex(login) >= 0) {
        setError(error, why.isEmpty() ? QStringLiteral("the login %1 is taken").arg(login) : why);
        return false;
    }
    qint64 row = 0;
    return (personId == 0 || keepsItsSentItems(database, login, personId, error)) &&
           write(database, QStringLiteral("PWMTable"), QStringLiteral("PWMID"), row,
                 {QStringLiteral("PWMUseNam"), QStringLiteral("PWMPID")},
                 {login, personId ? QString::number(personId) : QString()}, error) &&
           transaction.commit(error);
}

bool removeLogin(db::Database& database, const QString& name, QString* error)
{
    StaffTransaction transaction(database);
    OfficeStaff office;
    if (!beginStaffChange(database, transaction, office, error))
        return false;
    if (key(name).isEmpty() || office.loginIndex(name) < 0) {
        setError(error, QStringLiteral("no login %1").arg(key(name)));
        return false;
    }
    return keepsItsSentItems(database, name, 0, error) &&
           exec(database, QStringLiteral("DELETE FROM PWATable WHERE upper(trim(PWAUseNam)) = ?"),
                {key(name)}, error) &&
           exec(database, QStringLiteral("DELETE FROM PWMTable WHERE upper(trim(PWMUseNam)) = ?"),
                {key(name)}, error) &&
           transaction.commit(error);
}

bool setLoginRight(db::Database& database, const QString& name, const QString& right, bool on,
                   QString* error)
{
    const QString rightName = right.trimmed();
    if (rightName.isEmpty() || staffTextProblem(StaffField::Department, rightName).size()) {
        setError(error, QStringLiteral("\"%1\" is not a right").arg(right));
        return false;
    }
    StaffTransaction transaction(database);
    OfficeStaff office;
    if (!beginStaffChange(database, transaction, office, error))
        return false;
    const int at = office.loginIndex(name);
    if (key(name).isEmpty() || at < 0) {
        setError(error, QStringLiteral("no login %1").arg(key(name)));
        return false;
    }
    const QVariantList match{key(name), key(rightName)};
    if (!exec(database,
              QStringLiteral("DELETE FROM PWATable WHERE upper(trim(PWAUseNam)) = ? AND "
                             "upper(trim(PWARigNam)) = ?"),
              match, error))
        return false;
    qint64 row = 0;
    if (on &&
        !write(database, QStringLiteral("PWATable"), QStringLiteral("PWAID"), row,
               {QStringLiteral("PWAUseNam"), QStringLiteral("PWARigNam"),
                QStringLiteral("PWAWriFla"), QStringLiteral("PWAProNam")},
               {office.logins.at(at).name, rightName, QStringLiteral("-1"), kProgramName}, error))
        return false;
    return transaction.commit(error);
}

} // namespace tzsndmsg
