// tzsndmsg staff, logins and computers: the office's people, their logins and rights, and the
// computer list, kept without SQL.
#include "Commands.h"
#include "HostConfig.h"
#include "tzsndmsg/Office.h"
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/db/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace tzsndmsg::app {

namespace {

// A sub-command: its name after the command's, the options it adds and the positional
// arguments it takes.
struct SubCommand {
    QString name; // empty: the listing
    QStringList positional;
    QList<QCommandLineOption> options;
    std::function<int(const QCommandLineParser&, const QStringList&)> run;
};

int dispatch(const QString& command, const QStringList& args, const QList<SubCommand>& subs)
{
    QString name;
    QStringList rest = args;
    if (!rest.isEmpty() && !rest.first().startsWith(QLatin1Char('-')))
        name = rest.takeFirst();
    for (const SubCommand& sub : subs) {
        if (sub.name != name)
            continue;
        setCommandName(name.isEmpty() ? command : command + QLatin1Char(' ') + name);
        QCommandLineParser parser;
        for (const QCommandLineOption& option : sub.options)
            parser.addOption(option);
        for (const QString& p : sub.positional)
            parser.addPositionalArgument(p, p);
        addCommonOptions(parser);
        if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + rest))
            return fail(2, parser.errorText());
        showHelpIfAsked(parser);
        const QStringList positional = parser.positionalArguments();
        if (positional.size() > sub.positional.size())
            return fail(2, QStringLiteral("unexpected argument '%1'")
                               .arg(positional.at(sub.positional.size())));
        if (positional.size() < sub.positional.size())
            return fail(2, QStringLiteral("%1 %2 needs %3")
                               .arg(command, name, sub.positional.join(QLatin1Char(' '))));
        return sub.run(parser, positional);
    }
    return fail(2,
                QStringLiteral("unknown %1 command '%2' (see tzsndmsg --help)").arg(command, name));
}

QCommandLineOption jsonOption()
{
    return {QStringLiteral("json"), QStringLiteral("One JSON array instead of the table.")};
}

// The data folder with its stp/ folder; empty (a line printed) when it is missing.
QString dataFolder(const QCommandLineParser& parser)
{
    QString folder = configFrom(parser).dataFolder;
    if (!QFileInfo(QDir(folder).filePath(QStringLiteral("stp"))).isDir()) {
        fail(2,
             QStringLiteral("data folder %1 has no stp folder (run: tzsndmsg init)").arg(folder));
        return QString();
    }
    return folder;
}

bool parseId(const QString& text, qint32& id)
{
    bool ok = false;
    id = text.toInt(&ok);
    if (!ok || id <= 0) {
        fail(2, QStringLiteral("a person id is a whole number above 0, not '%1'").arg(text));
        return false;
    }
    return true;
}

bool parseOnOff(const QString& text, bool& on)
{
    if (text.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
        on = true;
    else if (text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
        on = false;
    else {
        fail(2, QStringLiteral("say on or off, not '%1'").arg(text));
        return false;
    }
    return true;
}

void printJson(const QJsonArray& rows)
{
    out() << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
    out().flush();
}

// Columns padded to their widest cell.
void printTable(const QList<QStringList>& rows)
{
    QList<qsizetype> widths;
    for (const QStringList& row : rows)
        for (int i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = qMax(widths.at(i), row.at(i).size());
        }
    for (const QStringList& row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row.at(i).leftJustified(widths.at(i) + 2) : row.at(i);
        out() << line.trimmed() << Qt::endl;
    }
}

// The person's fields given as options.
StaffPersonFields fieldsFrom(const QCommandLineParser& parser, bool withLogin)
{
    StaffPersonFields f;
    auto take = [&](const char* option, std::optional<QString>& field) {
        if (parser.isSet(QLatin1String(option)))
            field = parser.value(QLatin1String(option));
    };
    take("last", f.last);
    take("first", f.first);
    take("initials", f.initials);
    take("department", f.department);
    if (withLogin)
        take("login", f.login);
    return f;
}

QList<QCommandLineOption> personOptions()
{
    return {{QStringLiteral("last"), QStringLiteral("Last name."), QStringLiteral("L")},
            {QStringLiteral("first"), QStringLiteral("First name."), QStringLiteral("F")},
            {QStringLiteral("initials"), QStringLiteral("Initials, unique among current staff."),
             QStringLiteral("I")},
            {QStringLiteral("department"),
             QStringLiteral("Department; a change starts a new employment record."),
             QStringLiteral("D")}};
}

int listStaffCommand(const QCommandLineParser& parser, const QStringList&)
{
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    QList<StaffPerson> people;
    QString error;
    if (!listStaff(*database, people, &error))
        return fail(1, error);
    auto released = [](const StaffPerson& p) {
        // Released on a date stored in a form not read here: released all the same.
        return !p.released             ? QString()
               : p.released->isValid() ? p.released->toString(Qt::ISODate)
                                       : QStringLiteral("yes");
    };
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray rows;
        for (const StaffPerson& p : std::as_const(people))
            rows.append(QJsonObject{{QStringLiteral("id"), p.id},
                                    {QStringLiteral("initials"), p.initials},
                                    {QStringLiteral("last"), p.last},
                                    {QStringLiteral("first"), p.first},
                                    {QStringLiteral("department"), p.department},
                                    {QStringLiteral("login"), p.login},
                                    {QStringLiteral("released"), p.released.has_value()},
                                    {QStringLiteral("releasedOn"),
                                     p.released ? QJsonValue(released(p)) : QJsonValue()}});
        printJson(rows);
        return 0;
    }
    QList<QStringList> rows{{QStringLiteral("ID"), QStringLiteral("INITIALS"),
                             QStringLiteral("LAST"), QStringLiteral("FIRST"),
                             QStringLiteral("DEPARTMENT"), QStringLiteral("LOGIN"),
                             QStringLiteral("RELEASED")}};
    for (const StaffPerson& p : std::as_const(people))
        rows.append({QString::number(p.id), p.initials, p.last, p.first, p.department, p.login,
                     p.released ? released(p) : QStringLiteral("-")});
    printTable(rows);
    return 0;
}

int addStaffCommand(const QCommandLineParser& parser, const QStringList&)
{
    if (!parser.isSet(QStringLiteral("last")) || !parser.isSet(QStringLiteral("initials")))
        return fail(2, QStringLiteral("staff add needs --last and --initials"));
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    qint32 id = 0;
    QString error;
    if (!addStaffPerson(*database, fieldsFrom(parser, true), &id, &error))
        return fail(1, error);
    out() << "Added person " << id << Qt::endl;
    return 0;
}

int editStaffCommand(const QCommandLineParser& parser, const QStringList& positional)
{
    qint32 id = 0;
    if (!parseId(positional.first(), id))
        return 2;
    const StaffPersonFields fields = fieldsFrom(parser, false);
    if (!fields.last && !fields.first && !fields.initials && !fields.department)
        return fail(2, QStringLiteral("staff edit needs what to change: --last, --first, "
                                      "--initials or --department"));
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    QString error;
    if (!editStaffPerson(*database, id, fields, &error))
        return fail(1, error);
    out() << "Changed person " << id << Qt::endl;
    return 0;
}

int releaseStaffCommand(const QCommandLineParser& parser, const QStringList& positional)
{
    qint32 id = 0;
    if (!parseId(positional.first(), id))
        return 2;
    std::optional<QDate> date;
    if (parser.isSet(QStringLiteral("date"))) {
        date = QDate::fromString(parser.value(QStringLiteral("date")), Qt::ISODate);
        if (!date->isValid())
            return fail(2, QStringLiteral("--date needs a date as YYYY-MM-DD, not '%1'")
                               .arg(parser.value(QStringLiteral("date"))));
    }
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    QString error;
    if (!releaseStaffPerson(*database, id, date, &error))
        return fail(1, error);
    out() << "Released person " << id << Qt::endl;
    return 0;
}

int rehireStaffCommand(const QCommandLineParser& parser, const QStringList& positional)
{
    qint32 id = 0;
    if (!parseId(positional.first(), id))
        return 2;
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    QString error;
    if (!rehireStaffPerson(*database, id, &error))
        return fail(1, error);
    out() << "Rehired person " << id << Qt::endl;
    return 0;
}

int listLoginsCommand(const QCommandLineParser& parser, const QStringList&)
{
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    QList<StaffLogin> logins;
    QString error;
    if (!listLogins(*database, logins, &error))
        return fail(1, error);
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray rows;
        for (const StaffLogin& l : std::as_const(logins))
            rows.append(QJsonObject{{QStringLiteral("name"), l.name},
                                    {QStringLiteral("personId"), l.personId},
                                    {QStringLiteral("person"), l.person},
                                    {QStringLiteral("released"), l.released},
                                    {QStringLiteral("supervisor"), l.supervisor},
                                    {QStringLiteral("payroll"), l.payroll}});
        printJson(rows);
        return 0;
    }
    auto yesNo = [](bool on) { return on ? QStringLiteral("yes") : QStringLiteral("-"); };
    QList<QStringList> rows{{QStringLiteral("LOGIN"), QStringLiteral("PERSON"),
                             QStringLiteral("SUPERVISOR"), QStringLiteral("PAYROLL"),
                             QStringLiteral("RELEASED")}};
    for (const StaffLogin& l : std::as_const(logins))
        rows.append({l.name.isEmpty() ? QStringLiteral("(blank)") : l.name,
                     l.personId ? QStringLiteral("%1 %2").arg(l.personId).arg(l.person)
                                : QStringLiteral("-"),
                     yesNo(l.supervisor), yesNo(l.payroll), yesNo(l.released)});
    printTable(rows);
    return 0;
}

int addLoginCommand(const QCommandLineParser& parser, const QStringList& positional)
{
    if (!parser.isSet(QStringLiteral("person")))
        return fail(2, QStringLiteral("logins add needs --person ID"));
    qint32 person = 0;
    if (!parseId(parser.value(QStringLiteral("person")), person))
        return 2;
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    QString error;
    if (!addLogin(*database, positional.first(), person, &error))
        return fail(1, error);
    out() << "Added login " << normalizedStaffText(StaffField::Login, positional.first())
          << Qt::endl;
    return 0;
}

int removeLoginCommand(const QCommandLineParser& parser, const QStringList& positional)
{
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    QString error;
    if (!removeLogin(*database, positional.first(), &error))
        return fail(1, error);
    out() << "Removed login " << positional.first().trimmed().toUpper() << Qt::endl;
    return 0;
}

// The password comes from standard input only (a terminal, a pipe), never from the command line,
// where other accounts of the machine could read it.
int passwordCommand(const QCommandLineParser& parser, const QStringList& positional)
{
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    // At a terminal the password is asked for and not shown as it is typed.
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios before{};
    const bool hidden = terminal && ::tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        std::fprintf(stderr,
                     "Password for %s: ", qPrintable(positional.first().trimmed().toUpper()));
        std::fflush(stderr);
    }
    if (hidden) {
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QTextStream in(stdin);
    const QString password = in.readLine();
    if (hidden)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    if (terminal)
        std::fputc('\n', stderr);
    if (password.isEmpty())
        return fail(2, QStringLiteral("logins password reads the password from standard input; "
                                      "it was empty"));
    QString error;
    if (!setLoginPassword(*database, positional.first(), password, &error))
        return fail(database->backend() == db::Backend::Sqlite ? 2 : 1, error);
    out() << "Set the password of " << positional.first().trimmed().toUpper() << Qt::endl;
    return 0;
}

SubCommand rightCommand(const QString& name, const char* right, const QString& what)
{
    return {name,
            {QStringLiteral("NAME"), QStringLiteral("on|off")},
            {},
            [right, what](const QCommandLineParser& parser, const QStringList& positional) {
                bool on = false;
                if (!parseOnOff(positional.at(1), on))
                    return 2;
                auto database = openOfficeDatabase(parser);
                if (!database)
                    return 2;
                QString error;
                if (!setLoginRight(*database, positional.first(), QLatin1String(right), on, &error))
                    return fail(1, error);
                out() << positional.first().trimmed().toUpper() << (on ? " has " : " lacks ")
                      << what << Qt::endl;
                return 0;
            }};
}

int computersCommand(const QCommandLineParser& parser, const QStringList& positional,
                     const QString& action)
{
    const QString folder = dataFolder(parser);
    if (folder.isEmpty())
        return 2;
    QString error;
    if (action == QLatin1String("add") || action == QLatin1String("remove")) {
        const bool add = action == QLatin1String("add");
        if (!(add ? addComputer(folder, positional.first(), &error)
                  : removeComputer(folder, positional.first(), &error)))
            return fail(1, error);
        out() << (add ? "Added computer " : "Removed computer ")
              << normalizedStaffText(StaffField::ComputerName, positional.first()) << Qt::endl;
        return 0;
    }
    QStringList names;
    if (!listComputers(folder, names, &error))
        return fail(1, error);
    if (parser.isSet(QStringLiteral("json"))) {
        printJson(QJsonArray::fromStringList(names));
        return 0;
    }
    for (const QString& name : std::as_const(names))
        out() << name << Qt::endl;
    return 0;
}

} // namespace

int runStaff(const QStringList& args)
{
    // --login is one of the common options: for staff add it names the new person's login.
    return dispatch(
        QStringLiteral("staff"), args,
        {{QString(), {}, {jsonOption()}, listStaffCommand},
         {QStringLiteral("add"), {}, personOptions(), addStaffCommand},
         {QStringLiteral("edit"), {QStringLiteral("ID")}, personOptions(), editStaffCommand},
         {QStringLiteral("release"),
          {QStringLiteral("ID")},
          {{QStringLiteral("date"), QStringLiteral("The last day, YYYY-MM-DD (today)."),
            QStringLiteral("D")}},
          releaseStaffCommand},
         {QStringLiteral("rehire"), {QStringLiteral("ID")}, {}, rehireStaffCommand}});
}

int runLogins(const QStringList& args)
{
    return dispatch(
        QStringLiteral("logins"), args,
        {{QString(), {}, {jsonOption()}, listLoginsCommand},
         {QStringLiteral("add"),
          {QStringLiteral("NAME")},
          {{QStringLiteral("person"), QStringLiteral("The person's id (see tzsndmsg staff)."),
            QStringLiteral("ID")}},
          addLoginCommand},
         {QStringLiteral("remove"), {QStringLiteral("NAME")}, {}, removeLoginCommand},
         {QStringLiteral("password"), {QStringLiteral("NAME")}, {}, passwordCommand},
         rightCommand(QStringLiteral("supervisor"), kSupervisorRight,
                      QStringLiteral("the supervisor right")),
         rightCommand(QStringLiteral("payroll"), kPayrollMessagesRight,
                      QStringLiteral("the payroll-related messages right"))});
}

int runSecure(const QStringList& args)
{
    setCommandName(QStringLiteral("secure"));
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("off"),
                      QStringLiteral("Open the office again (its owner or the administrator).")});
    addCommonOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args))
        return fail(2, parser.errorText());
    showHelpIfAsked(parser);
    if (!parser.positionalArguments().isEmpty())
        return fail(
            2,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    auto database = openOfficeDatabase(parser);
    if (!database)
        return 2;
    if (database->backend() != db::Backend::Postgres)
        return fail(2, QStringLiteral("a SQLite office cannot be signed in: anyone who can read "
                                      "its file reads every message (use PostgreSQL)"));
    const bool off = parser.isSet(QStringLiteral("off"));
    QString error;
    if (!(off ? unsecureOffice(*database, &error) : secureOffice(*database, &error)))
        return fail(1, error);
    out() << (off ? "The office is open: the database's roles no longer keep each person to "
                    "their own messages"
                  : "The office is signed in: each login is a database role of the server")
          << Qt::endl;
    // Signing in is worth little while passwords and messages may cross the network in clear.
    if (!off)
        for (const QString& risk : plainConnectionRisks(*database))
            std::fprintf(stderr, "tzsndmsg: warning: %s\n", qPrintable(risk));
    return 0;
}

int runComputers(const QStringList& args)
{
    auto action = [](const QString& name) {
        return [name](const QCommandLineParser& parser, const QStringList& positional) {
            return computersCommand(parser, positional, name);
        };
    };
    return dispatch(
        QStringLiteral("computers"), args,
        {{QString(), {}, {jsonOption()}, action(QString())},
         {QStringLiteral("add"), {QStringLiteral("NAME")}, {}, action(QStringLiteral("add"))},
         {QStringLiteral("remove"),
          {QStringLiteral("NAME")},
          {},
          action(QStringLiteral("remove"))}});
}

} // namespace tzsndmsg::app
