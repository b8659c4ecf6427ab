// A staff list imported all or nothing through the staff rules, and exported as the office holds
// it.
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/StaffCsv.h"

#include <QHash>
#include <algorithm>

namespace tzsndmsg {

namespace {

QString nameOf(const QString& last, const QString& first, const QString& initials)
{
    QString name = last.trimmed();
    if (!first.trimmed().isEmpty())
        name += QStringLiteral(", ") + first.trimmed();
    return initials.trimmed().isEmpty() ? name
                                        : name + QStringLiteral(" (%1)").arg(initials.trimmed());
}

QString shown(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("(none)") : value;
}

// What the "released" column asks for.
struct Release {
    enum class Kind { Current, Released } kind = Kind::Current;
    std::optional<QDate> date; // none: an earlier date kept, today for one who works
};

std::optional<Release> releaseOf(const QString& text)
{
    const QString value = text.trimmed().toLower();
    if (value.isEmpty() || value == QLatin1String("-") || value == QLatin1String("no"))
        return Release{};
    if (value == QLatin1String("yes"))
        return Release{Release::Kind::Released, {}};
    const QDate date = QDate::fromString(value, Qt::ISODate);
    if (date.isValid())
        return Release{Release::Kind::Released, date};
    return std::nullopt;
}

// The changes one row asks for, with the line they came from.
struct Plan {
    QList<StaffChange> changes;
    QList<int> lines;

    void add(StaffChange change, int line)
    {
        changes << std::move(change);
        lines << line;
    }
};

// What two changes ask for alike: "the initials AB are", "the login ANNA is"; empty when nothing.
QString sameValue(const StaffChange& a, const StaffChange& b)
{
    const auto same = [](const std::optional<QString>& x, const std::optional<QString>& y,
                         StaffField field) {
        return x && y && !x->trimmed().isEmpty() &&
               normalizedStaffText(field, *x) == normalizedStaffText(field, *y);
    };
    if (same(a.fields.initials, b.fields.initials, StaffField::Initials))
        return QStringLiteral("the initials %1 are")
            .arg(normalizedStaffText(StaffField::Initials, *a.fields.initials));
    if (same(a.fields.login, b.fields.login, StaffField::Login))
        return QStringLiteral("the login %1 is")
            .arg(normalizedStaffText(StaffField::Login, *a.fields.login));
    return QString();
}

// The index of the change of the file that a refused change clashes with, or -1 when it is
// refused on its own account (by the office as it stands). The staff rules decide: the change
// alone must pass and fail beside the other.
int clashingChange(db::Database& database, const QList<StaffChange>& changes,
                   const QList<StaffProblem>& refused, int index)
{
    // A file full of clashes names the first ones this way and the rest as the rules put them.
    constexpr int kMostLookedInto = 50;
    int place = 0;
    while (place < refused.size() && refused[place].index != index)
        ++place;
    if (place >= kMostLookedInto)
        return -1;
    QList<StaffProblem> problems;
    if (!applyStaffChanges(database, {changes[index]}, problems, true) || !problems.isEmpty())
        return -1;
    for (int other = 0; other < changes.size(); ++other) {
        if (other == index || sameValue(changes[index], changes[other]).isEmpty())
            continue;
        applyStaffChanges(database, {changes[other], changes[index]}, problems, true);
        if (problems.size() == 1 && problems.front().index == 1)
            return other;
    }
    return -1;
}

bool importRows(db::Database& database, const StaffCsv& csv, bool dryRun, StaffImportReport& report,
                QString* error)
{
    QList<StaffPerson> people;
    if (!listStaff(database, people, error))
        return false;
    QHash<qint32, StaffPerson> byId;
    for (const StaffPerson& p : std::as_const(people))
        byId.insert(p.id, p);

    auto problem = [&](int line, const QString& reason) {
        report.problems << StaffCsvProblem{line, reason};
    };

    // Two rows for one person: neither is taken, both are named.
    QHash<qint32, QList<int>> linesOfId;
    for (const StaffCsvRow& row : csv.rows) {
        bool number = false;
        const qint32 id = row.field(StaffColumn::Id).trimmed().toInt(&number);
        if (number)
            linesOfId[id] << row.line;
    }

    Plan plan;
    QStringList added, changed, released, rehired;
    int unchanged = 0;
    for (const StaffCsvRow& row : csv.rows) {
        const int problemsBefore = report.problems.size();
        const QString idText =
            csv.has(StaffColumn::Id) ? row.field(StaffColumn::Id).trimmed() : QString();
        qint32 id = 0;
        if (!idText.isEmpty()) {
            bool number = false;
            id = idText.toInt(&number);
            if (!number || id <= 0)
                problem(row.line,
                        QStringLiteral("the id \"%1\" is not a person's number").arg(idText));
            else if (!byId.contains(id))
                problem(row.line, QStringLiteral("no person with id %1").arg(id));
            else
                for (const int other : linesOfId.value(id))
                    if (other != row.line)
                        problem(row.line, QStringLiteral("the person with id %1 is on line %2 too")
                                              .arg(id)
                                              .arg(other));
        }
        // Without the column, nobody's release changes.
        std::optional<Release> release;
        if (csv.has(StaffColumn::Released)) {
            release = releaseOf(row.field(StaffColumn::Released));
            if (!release)
                problem(row.line, QStringLiteral("\"%1\" in the released column is neither a date "
                                                 "(yyyy-mm-dd), \"yes\" nor \"no\"")
                                      .arg(row.field(StaffColumn::Released).trimmed()));
        }
        if (report.problems.size() > problemsBefore)
            continue;

        struct Column {
            StaffColumn column;
            StaffField field;
            std::optional<QString> StaffPersonFields::*target;
            QString StaffPerson::*current;
            const char* label;
        };
        static const Column columns[] = {
            {StaffColumn::Initials, StaffField::Initials, &StaffPersonFields::initials,
             &StaffPerson::initials, "initials"},
            {StaffColumn::LastName, StaffField::LastName, &StaffPersonFields::last,
             &StaffPerson::last, "last name"},
            {StaffColumn::FirstName, StaffField::FirstName, &StaffPersonFields::first,
             &StaffPerson::first, "first name"},
            {StaffColumn::Department, StaffField::Department, &StaffPersonFields::department,
             &StaffPerson::department, "department"},
            {StaffColumn::Login, StaffField::Login, &StaffPersonFields::login, &StaffPerson::login,
             "login"},
        };

        const QString line = QStringLiteral("line %1: ").arg(row.line);
        if (id == 0) {
            if (release && release->kind == Release::Kind::Released) {
                problem(row.line,
                        QStringLiteral("a person without an id is added as current staff: "
                                       "leave \"released\" empty, and release them after "
                                       "the import"));
                continue;
            }
            StaffChange change;
            change.kind = StaffChange::Kind::Add;
            for (const Column& c : columns)
                if (csv.has(c.column))
                    change.fields.*c.target = row.field(c.column);
            // An empty login cell adds no login (an empty text would ask to remove one).
            if (change.fields.login && change.fields.login->trimmed().isEmpty())
                change.fields.login.reset();
            plan.add(change, row.line);
            added << line + nameOf(row.field(StaffColumn::LastName),
                                   row.field(StaffColumn::FirstName),
                                   row.field(StaffColumn::Initials));
            continue;
        }

        const StaffPerson& person = byId[id];
        const QString who = QStringLiteral("id %1 %2")
                                .arg(id)
                                .arg(nameOf(person.last, person.first, person.initials));
        // A rehire comes before the edit (a released person's login is refused), a release after.
        const bool rehires = release && release->kind == Release::Kind::Current && person.released;
        if (rehires) {
            StaffChange change;
            change.kind = StaffChange::Kind::Rehire;
            change.personId = id;
            plan.add(change, row.line);
            rehired << line + who;
        }
        StaffChange edit;
        edit.kind = StaffChange::Kind::Edit;
        edit.personId = id;
        QStringList differences;
        for (const Column& c : columns) {
            if (!csv.has(c.column))
                continue;
            const QString wanted = normalizedStaffText(c.field, row.field(c.column));
            const QString now = person.*c.current;
            if (wanted == now)
                continue;
            edit.fields.*c.target = row.field(c.column);
            differences << QStringLiteral("%1 %2 -> %3")
                               .arg(QLatin1String(c.label), shown(now), shown(wanted));
        }
        if (!differences.isEmpty()) {
            plan.add(edit, row.line);
            changed << line + who + QStringLiteral(": ") + differences.join(QStringLiteral("; "));
        }
        bool releases = false;
        if (release && release->kind == Release::Kind::Released) {
            releases = release->date ? person.released != release->date : !person.released;
            if (releases) {
                StaffChange change;
                change.kind = StaffChange::Kind::Release;
                change.personId = id;
                change.releaseDate = release->date;
                plan.add(change, row.line);
                released << line + who + QStringLiteral(" on ") +
                                (release->date ? release->date->toString(Qt::ISODate)
                                               : QDate::currentDate().toString(Qt::ISODate));
            }
        }
        if (differences.isEmpty() && !releases && !rehires)
            ++unchanged;
    }

    // The staff rules see every change, those of good rows too when some rows are bad already,
    // so that one run names every bad line.
    const bool checkOnly = dryRun || !report.problems.isEmpty();
    QList<StaffProblem> refused;
    QString failure;
    if (!applyStaffChanges(database, plan.changes, refused, checkOnly, nullptr, &failure) &&
        refused.isEmpty()) {
        if (error)
            *error = failure;
        return false;
    }
    for (const StaffProblem& p : std::as_const(refused)) {
        const int other = clashingChange(database, plan.changes, refused, p.index);
        if (other < 0) {
            problem(plan.lines.value(p.index), p.text);
            continue;
        }
        // Both rows are bad: neither is the one to keep.
        const QString what = sameValue(plan.changes[p.index], plan.changes[other]);
        problem(plan.lines.value(p.index),
                QStringLiteral("%1 on line %2 too").arg(what).arg(plan.lines.value(other)));
        problem(plan.lines.value(other),
                QStringLiteral("%1 on line %2 too").arg(what).arg(plan.lines.value(p.index)));
    }
    if (!report.problems.isEmpty()) {
        std::stable_sort(
            report.problems.begin(), report.problems.end(),
            [](const StaffCsvProblem& a, const StaffCsvProblem& b) { return a.line < b.line; });
        return false;
    }
    report.added = added;
    report.changed = changed;
    report.released = released;
    report.rehired = rehired;
    report.unchanged = unchanged;
    return true;
}

} // namespace

bool importStaffCsv(db::Database& database, const QByteArray& bytes, bool dryRun,
                    StaffImportReport& report, QString* error)
{
    report = StaffImportReport{};
    StaffCsv csv;
    // Rows that read are checked too when others did not, so that one run names every bad line;
    // without a usable header there is nothing to check them against.
    if (!readStaffCsv(bytes, csv, report.problems) && csv.columns.isEmpty())
        return false;
    return importRows(database, csv, dryRun, report, error) && report.problems.isEmpty();
}

bool importStaffCsvFile(db::Database& database, const QString& path, bool dryRun,
                        StaffImportReport& report, QString* error)
{
    report = StaffImportReport{};
    StaffCsv csv;
    if (!readStaffCsvFile(path, csv, report.problems) && csv.columns.isEmpty())
        return false;
    return importRows(database, csv, dryRun, report, error) && report.problems.isEmpty();
}

bool exportStaffCsvFile(db::Database& database, const QString& path, int* count, QString* error)
{
    QList<StaffPerson> people;
    if (!listStaff(database, people, error))
        return false;
    QList<StaffCsvRow> rows;
    for (const StaffPerson& p : std::as_const(people)) {
        StaffCsvRow row;
        row.field(StaffColumn::Id) = QString::number(p.id);
        row.field(StaffColumn::Initials) = p.initials;
        row.field(StaffColumn::LastName) = p.last;
        row.field(StaffColumn::FirstName) = p.first;
        row.field(StaffColumn::Department) = p.department;
        row.field(StaffColumn::Login) = p.login;
        // A release date stored in a form not read here is still a release: "yes" keeps it as
        // it is when the file comes back, where an empty cell would rehire the person.
        row.field(StaffColumn::Released) = !p.released ? QString()
                                           : p.released->isValid()
                                               ? p.released->toString(Qt::ISODate)
                                               : QStringLiteral("yes");
        rows << row;
    }
    if (!writeStaffCsvFile(path, rows, error))
        return false;
    if (count)
        *count = int(rows.size());
    return true;
}

} // namespace tzsndmsg
