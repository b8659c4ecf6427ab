#include "Commands.h"

#include "HostConfig.h"
#include "tzsndmsg/Events.h"
#include "tzsndmsg/Holidays.h"
#include "tzsndmsg/Messages.h"
#include "tzsndmsg/Office.h"
#include "tzsndmsg/SignedIn.h"
#include "tzsndmsg/Staff.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/tzSndMsgCls.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPixmap>
#include <QTemporaryFile>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace tzsndmsg::app {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

namespace {
QString g_lastFailure;
}

int fail(int code, const QString& message)
{
    std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(message));
    g_lastFailure = message;
    return code;
}

QString lastFailure()
{
    return g_lastFailure;
}

namespace {

// Parses the command's arguments; false (with the message printed) on a bad argument.
bool parse(QCommandLineParser& parser, const QStringList& args)
{
    addCommonOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args)) {
        fail(2, parser.errorText());
        return false;
    }
    showHelpIfAsked(parser);
    if (!parser.positionalArguments().isEmpty()) {
        fail(2,
             QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
        return false;
    }
    return true;
}

bool parseInt(const QCommandLineParser& parser, const QString& name, qint32& value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toInt(&ok);
    if (!ok)
        fail(2,
             QStringLiteral("--%1 needs a whole number, not '%2'").arg(name, parser.value(name)));
    return ok;
}

// Renders each window as it first shows into the file and closes it without saving; boxes
// that would wait for a person are answered with their first button and reported.
class ScreenshotMode {
public:
    explicit ScreenshotMode(const QString& file) : m_file(file)
    {
        if (m_file.isEmpty())
            return;
        struct Printer : ui::Prompter {
            int ask(const ui::MessageBoxRequest& r) override
            {
                std::fprintf(stderr, "tzsndmsg: [%s] %s\n", qPrintable(r.title),
                             qPrintable(r.text));
                switch (r.buttons) {
                case 1:
                    return 1;
                case 3:
                case 4:
                    return 7;
                default:
                    return 1;
                }
            }
        };
        ui::MessageBox::setPrompter(std::make_shared<Printer>());
        ui::setModalHandler([this](QDialog& dialog) {
            if (m_saved)
                return int(QDialog::Rejected);
            dialog.show();
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents();
            m_shown = true;
            m_saved = dialog.grab().save(m_file);
            dialog.hide();
            return int(QDialog::Rejected);
        });
    }
    ~ScreenshotMode()
    {
        if (m_file.isEmpty())
            return;
        ui::setModalHandler(nullptr);
        ui::MessageBox::setPrompter(nullptr);
    }
    bool active() const { return !m_file.isEmpty(); }
    int result() const
    {
        if (!active())
            return 0;
        if (m_shown && !m_saved)
            return fail(1, QStringLiteral("cannot write the picture to %1").arg(m_file));
        if (!m_saved)
            return fail(1, QStringLiteral("no window was shown to render into %1").arg(m_file));
        out() << "Saved " << m_file << Qt::endl;
        return 0;
    }

private:
    Q_DISABLE_COPY_MOVE(ScreenshotMode) // the modal handler holds this

    QString m_file;
    bool m_shown = false;
    bool m_saved = false;
};

// A window command's component on this workstation's services, its windows rendered into
// --screenshot when that is given. The screenshot mode is set before the component is made and
// outlives it.
struct WindowRun {
    WindowRun(const QCommandLineParser& parser, const std::shared_ptr<tzglob::tzGlobal>& services)
        : shot(parser.value(QStringLiteral("screenshot")))
    {
        component.setGIC(services);
    }

    ScreenshotMode shot;
    tzSndMsgCls component;
};

void addScreenshotOption(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Render the window to a PNG and close it."),
                      QStringLiteral("FILE")});
}

} // namespace

static bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

namespace {
int g_setUpExitCode = 2;
}

int setUpExitCode()
{
    return g_setUpExitCode;
}

std::shared_ptr<db::Database> openOfficeDatabase(const QCommandLineParser& parser)
{
    const tzglob::Config config = configFrom(parser);
    QString error;
    auto database = db::Database::open(config.databaseUrl, &error, db::OpenMode::ExistingFile);
    if (!database) {
        fail(2, error);
        return nullptr;
    }
    if (!database->hasTable(QStringLiteral("PATable"))) {
        const QString why = database->schemaError();
        fail(2,
             why.isEmpty()
                 ? QStringLiteral("%1 holds no office (run: tzsndmsg init)").arg(config.databaseUrl)
                 : why);
        return nullptr;
    }
    return database;
}

std::shared_ptr<tzglob::tzGlobal> openServices(const QCommandLineParser& parser, DataUse use)
{
    const tzglob::WorkstationConfig resolved = resolvedConfig(parser);
    tzglob::Config config = resolved.toConfig();
    config.readOnlyDataFolder = use == DataUse::ReadOnly;
    if (hasControlCharacter(config.loginName) || hasControlCharacter(config.computerName)) {
        fail(2, QStringLiteral("a login or computer name cannot hold control characters") +
                    setIn(hasControlCharacter(config.loginName) ? resolved.loginName
                                                                : resolved.computerName));
        return nullptr;
    }
    const QFileInfo data(config.dataFolder);
    if (!data.isDir()) {
        fail(2, QStringLiteral("data folder %1 is missing (run: tzsndmsg init)")
                        .arg(config.dataFolder) +
                    setIn(resolved.dataFolder));
        return nullptr;
    }
    // A folder that is no office's: nothing of it is touched (no TEMP, no signal files).
    const QDir folder(config.dataFolder);
    if (!folder.exists(QStringLiteral("TEMP")) && !folder.exists(QStringLiteral("stp"))) {
        fail(2, QStringLiteral("%1 is not a data folder (it has neither TEMP nor stp; tzsndmsg "
                               "init makes one)")
                        .arg(config.dataFolder) +
                    setIn(resolved.dataFolder));
        return nullptr;
    }
    auto services = std::make_shared<tzglob::tzGlobal>(config);
    QString error;
    if (!services->open(&error)) {
        g_setUpExitCode = isStoreDamage(error) ? 1 : 2;
        fail(g_setUpExitCode,
             error + setIn(error.contains(config.dataFolder) ? resolved.dataFolder
                                                             : resolved.databaseUrl));
        return nullptr;
    }
    if (services->signedInOffice()) {
        // The server said who this is: the role is the login, and no flag names another.
        const QString role = services->signedInLogin();
        if (!role.isEmpty() && resolved.loginName.origin == QLatin1String("--login") &&
            config.loginName != role) {
            fail(2, QStringLiteral("this office is signed in: you are %1, and --login %2 names "
                                   "another login")
                        .arg(role, config.loginName));
            return nullptr;
        }
        if (services->unprotectedRole()) {
            static bool told = false;
            if (!told)
                std::fprintf(stderr,
                             "tzsndmsg: warning: the database role %s is a superuser or bypasses "
                             "row-level security: the office is not protected on this "
                             "workstation\n",
                             qPrintable(services->signedInRole()));
            told = true;
        } else if (role.isEmpty()) {
            fail(2, QStringLiteral("this office is signed in and the database role %1 is none of "
                                   "its logins")
                        .arg(services->signedInRole()));
            return nullptr;
        }
        config.loginName = services->currentLoginName();
    }
    // Whoever is not in the login list is nobody here, not the whole office.
    if (QString why; !services->isLogin(config.loginName, &why)) {
        if (!why.isEmpty()) {
            fail(2, QStringLiteral("cannot read the login list: %1").arg(why));
            return nullptr;
        }
        fail(2, QStringLiteral("the login \"%1\" is not in the office's login list")
                        .arg(config.loginName) +
                    setIn(resolved.loginName));
        return nullptr;
    }
    if (QString why; services->isReleasedLogin(config.loginName, &why) || !why.isEmpty()) {
        fail(2, why.isEmpty() ? QStringLiteral("the login \"%1\" is of a person who has left the "
                                               "office")
                                        .arg(config.loginName) +
                                    setIn(resolved.loginName)
                              : QStringLiteral("cannot read the persons: %1").arg(why));
        return nullptr;
    }
    return services;
}

int runInit(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("demo"), QStringLiteral("Add the demo office.")});
    parser.addOption(
        {QStringLiteral("signed-in"),
         QStringLiteral("Sign the office in: a database role per login (PostgreSQL).")});
    if (!parse(parser, args))
        return 2;
    const tzglob::Config config = configFrom(parser);

    QString error;
    // A store that is there is checked before anything is written into it.
    const auto url = db::ConnectionUrl::parse(config.databaseUrl, &error);
    if (!url)
        return fail(2, error);
    if (parser.isSet(QStringLiteral("signed-in")) && url->backend != db::Backend::Postgres)
        return fail(2, QStringLiteral("a SQLite office cannot be signed in: anyone who can read "
                                      "its file reads every message (use PostgreSQL)"));
    if (url->backend == db::Backend::Postgres || QFileInfo::exists(url->path)) {
        QList<OfficeDamage> damage;
        if (!checkOffice(config.databaseUrl, QString(), damage, OfficeCheckDepth::Quick, &error))
            return fail(isStoreDamage(error) ? 1 : 2, error);
        for (const OfficeDamage& part : std::as_const(damage))
            fail(1, part.text);
        if (!damage.isEmpty())
            return fail(1, QStringLiteral("the office was left as it is: run tzsndmsg check"));
    }
    if (!createOffice(config.databaseUrl, config.dataFolder, &error))
        return fail(isStoreDamage(error) ? 1 : 2, error);

    if (parser.isSet(QStringLiteral("demo"))) {
        if (!addDemoOffice(config.databaseUrl, config.dataFolder, &error))
            return fail(1, QStringLiteral("cannot add the demo office: %1").arg(error));
    }
    if (parser.isSet(QStringLiteral("signed-in"))) {
        if (!secureOffice(config.databaseUrl, &error))
            return fail(1, QStringLiteral("cannot sign the office in: %1").arg(error));
    }
    out() << "Office ready: " << config.databaseUrl << " with data folder " << config.dataFolder
          << Qt::endl;
    return 0;
}

int runMessages(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("history"), QStringLiteral("Open on the inbox list.")});
    parser.addOption(
        {QStringLiteral("patient"), QStringLiteral("Patient in context."), QStringLiteral("ID")});
    parser.addOption({QStringLiteral("reminder-for"),
                      QStringLiteral("appointment or absence, then its id."),
                      QStringLiteral("KIND")});
    addScreenshotOption(parser);
    // "--reminder-for KIND ID" (or "--reminder-for=KIND ID"): the id is the word right after
    // the kind, never another option or its value.
    QStringList rest = args;
    QString linkedIdText;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const bool joined = rest.at(i).startsWith(QLatin1String("--reminder-for="));
        if (!joined && rest.at(i) != QLatin1String("--reminder-for"))
            continue;
        const qsizetype idAt = i + (joined ? 1 : 2);
        if (idAt >= rest.size() || rest.at(idAt).startsWith(u'-'))
            return fail(2, QStringLiteral("--reminder-for needs its kind and id together "
                                          "(--reminder-for appointment 12)"));
        linkedIdText = rest.takeAt(idAt);
        break;
    }
    if (!parse(parser, rest))
        return 2;
    qint32 patient = 0;
    if (!parseInt(parser, QStringLiteral("patient"), patient))
        return 2;
    qint32 linkedId = 0;
    bool appointment = false;
    if (parser.isSet(QStringLiteral("reminder-for"))) {
        const QString kind = parser.value(QStringLiteral("reminder-for"));
        bool ok = false;
        linkedId = linkedIdText.toInt(&ok);
        if (!ok || linkedId <= 0 ||
            (kind != QLatin1String("appointment") && kind != QLatin1String("absence")))
            return fail(2, QStringLiteral("--reminder-for needs appointment or absence and an id"));
        appointment = kind == QLatin1String("appointment");
    }
    auto services = openServices(parser);
    if (!services)
        return setUpExitCode();

    WindowRun run(parser, services);
    tzSndMsgCls& messages = run.component;
    messages.setSndMsgHistoryButtonVisible(true);
    messages.setPatientID(patient);
    messages.setMsgHisOn(parser.isSet(QStringLiteral("history")));
    if (linkedId) {
        const LinkIDTypes linkType = appointment ? ZELOAppointment : QNSAppointment;
        ReminderMoment moment;
        if (QString why; !readReminderMoment(*services, linkType, linkedId, moment, &why))
            return fail(1, why);
        messages.setReminderFlag(true);
        messages.setLinkTyp(linkType);
        messages.setLinkID(linkedId);
        messages.setReminderDate(moment.date);
        messages.setReminderTime(moment.time);
    }
    messages.Message_Start();
    messages.Message_Stop();
    return run.shot.result();
}

int runEvents(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption(
        {QStringLiteral("event"), QStringLiteral("Open one event."), QStringLiteral("ID")});
    parser.addOption({QStringLiteral("export-ics"),
                      QStringLiteral("Write the office events as iCalendar."),
                      QStringLiteral("FILE")});
    addScreenshotOption(parser);
    if (!parse(parser, args))
        return 2;
    qint32 eventId = 0;
    if (!parseInt(parser, QStringLiteral("event"), eventId))
        return 2;
    // Exporting only reads the office: a read-only data folder will do.
    auto services = openServices(
        parser, parser.isSet(QStringLiteral("export-ics")) ? DataUse::ReadOnly : DataUse::Write);
    if (!services)
        return setUpExitCode();

    if (parser.isSet(QStringLiteral("export-ics"))) {
        QString error;
        int skipped = 0;
        const QString file = parser.value(QStringLiteral("export-ics"));
        if (!exportEventsIcs(*services, file, &error, &skipped))
            return fail(1, error);
        out() << "Wrote " << file;
        if (skipped)
            out() << " (" << skipped << " event(s) without a date left out)";
        out() << Qt::endl;
        return 0;
    }

    WindowRun run(parser, services);
    run.component.setLinkID(eventId);
    run.component.Event_Start();
    return run.shot.result();
}

int runHolidays(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("list"), QStringLiteral("Print the holidays of a year."),
                      QStringLiteral("YEAR")});
    addScreenshotOption(parser);
    if (!parse(parser, args))
        return 2;
    qint32 year = 0;
    if (!parseInt(parser, QStringLiteral("list"), year))
        return 2;
    if (parser.isSet(QStringLiteral("list")) && (year < 1 || year > 9999))
        return fail(2, QStringLiteral("--list needs a year from 1 to 9999"));
    auto services = openServices(parser, parser.isSet(QStringLiteral("list")) ? DataUse::ReadOnly
                                                                              : DataUse::Write);
    if (!services)
        return setUpExitCode();

    if (parser.isSet(QStringLiteral("list"))) {
        QString error;
        QList<DayOff> days;
        if (!readDaysOff(*services, year, days, &error))
            return fail(1, error);
        out() << daysOffText(days, year);
        out().flush();
        return 0;
    }

    WindowRun run(parser, services);
    run.component.Holiday_Start();
    return run.shot.result();
}

int runSetup(const QStringList& args)
{
    QCommandLineParser parser;
    addScreenshotOption(parser);
    if (!parse(parser, args))
        return 2;
    auto services = openServices(parser);
    if (!services)
        return setUpExitCode();
    // Refused here with a line and an exit code; the window's own refusal is for hosts.
    if (!services->checkRight(services->currentLoginName(), QLatin1String(kSupervisorRight),
                              QStringLiteral("PWAWriFla"), QStringLiteral("tzSndMsg")))
        return fail(1,
                    QStringLiteral("the login \"%1\" has not got the supervisor right: only a "
                                   "supervisor sets up the office's people, logins and computers")
                        .arg(services->currentLoginName()));

    WindowRun run(parser, services);
    run.component.Setup_Start();
    return run.shot.result();
}

int runSend(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("subject"), QStringLiteral("Subject."), QStringLiteral("S")});
    parser.addOption({QStringLiteral("body"), QStringLiteral("Text."), QStringLiteral("B")});
    parser.addOption(
        {QStringLiteral("link-type"), QStringLiteral("Link kind."), QStringLiteral("N")});
    parser.addOption(
        {QStringLiteral("link-id"), QStringLiteral("Linked record."), QStringLiteral("N")});
    addScreenshotOption(parser);
    if (!parse(parser, args))
        return 2;
    if (!parser.isSet(QStringLiteral("subject")) || !parser.isSet(QStringLiteral("body")))
        return fail(2, QStringLiteral("send needs --subject and --body"));
    qint32 linkType = 0, linkId = 0;
    if (!parseInt(parser, QStringLiteral("link-type"), linkType) ||
        !parseInt(parser, QStringLiteral("link-id"), linkId))
        return 2;
    auto services = openServices(parser);
    if (!services)
        return setUpExitCode();

    WindowRun run(parser, services);
    const qint32 saved = run.component.SendMessage(
        parser.value(QStringLiteral("subject")), parser.value(QStringLiteral("body")),
        LinkIDTypes(linkType), linkId, services->currentLoginName(), 0);
    run.component.Message_Stop();
    if (run.shot.active())
        return run.shot.result();
    out() << "Saved lab-order message id: " << saved << Qt::endl;
    return 0;
}

int runAnnounce(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("text"), QStringLiteral("Text."), QStringLiteral("T")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("Person ids, comma separated."),
                      QStringLiteral("IDS")});
    parser.addOption({QStringLiteral("to-computers"),
                      QStringLiteral("Computer names, comma separated."), QStringLiteral("NAMES")});
    parser.addOption(
        {QStringLiteral("category"), QStringLiteral("Category."), QStringLiteral("C")});
    parser.addOption(
        {QStringLiteral("subcategory"), QStringLiteral("Sub-category."), QStringLiteral("S")});
    parser.addOption({QStringLiteral("start"),
                      QStringLiteral("Delivery starts then, not at once (MM/DD/YYYY HH:MM)."),
                      QStringLiteral("WHEN")});
    if (!parse(parser, args))
        return 2;
    if (!parser.isSet(QStringLiteral("text")))
        return fail(2, QStringLiteral("announce needs --text"));
    QDateTime startsAt;
    if (parser.isSet(QStringLiteral("start"))) {
        const QString when = parser.value(QStringLiteral("start")).simplified();
        startsAt = QLocale::c().toDateTime(when, QStringLiteral("M/d/yyyy H:mm"));
        if (!startsAt.isValid())
            return fail(2, QStringLiteral("--start needs a date and time as MM/DD/YYYY HH:MM "
                                          "(24-hour), not '%1'")
                               .arg(parser.value(QStringLiteral("start"))));
    }
    QStringList ids;
    for (const QString& id :
         parser.value(QStringLiteral("to")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = id.trimmed().toInt(&ok);
        if (!ok || value <= 0)
            return fail(2, QStringLiteral("--to needs person ids, not '%1'").arg(id));
        ids << QString::number(value);
    }
    QStringList computers;
    for (const QString& name :
         parser.value(QStringLiteral("to-computers")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (hasControlCharacter(name))
            return fail(2, QStringLiteral("--to-computers needs computer names, without control "
                                          "characters"));
        if (!name.trimmed().isEmpty())
            computers << name.trimmed().toUpper();
    }
    if (ids.isEmpty() && computers.isEmpty())
        return fail(2, QStringLiteral("announce needs --to or --to-computers"));
    auto services = openServices(parser);
    if (!services)
        return setUpExitCode();
    // A computer the list does not know may be a new one: sent to, but said.
    const QStringList known = services->computerNames();
    for (const QString& name : std::as_const(computers))
        if (!known.contains(name))
            std::fprintf(stderr,
                         "tzsndmsg: warning: computer %s is not in the computer list "
                         "(stp/Machines.Ini); the announcement is addressed to it all the same\n",
                         qPrintable(name));

    QString text = parser.value(QStringLiteral("text"));
    QString toId = ids.join(QLatin1Char(','));
    QString toMac =
        computers.isEmpty() ? QString() : computers.join(QLatin1Char('\n')) + QLatin1Char('\n');
    QString category = parser.isSet(QStringLiteral("category"))
                           ? parser.value(QStringLiteral("category"))
                           : QStringLiteral("Message");
    QString subCategory = parser.isSet(QStringLiteral("subcategory"))
                              ? parser.value(QStringLiteral("subcategory"))
                              : QStringLiteral("EMS");
    try {
        tzSndMsgCls messages;
        messages.setGIC(services);
        messages.AnnouncementSend(text, toId, toMac, category, subCategory, startsAt);
    } catch (const std::exception& e) {
        return fail(1, QString::fromUtf8(e.what()).simplified());
    }
    out() << "Announcement sent." << Qt::endl;
    return 0;
}

int runInbox(const QStringList& args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("all-categories"), QStringLiteral("Every category.")});
    parser.addOption({QStringLiteral("sent"), QStringLiteral("Sent items.")});
    parser.addOption({QStringLiteral("history"), QStringLiteral("Purged messages.")});
    if (!parse(parser, args))
        return 2;
    auto services = openServices(parser, DataUse::ReadOnly);
    if (!services)
        return setUpExitCode();

    MessageViewRequest view;
    view.folder =
        parser.isSet(QStringLiteral("sent")) ? MessageFolder::SentItems : MessageFolder::Inbox;
    view.allCategories = parser.isSet(QStringLiteral("all-categories"));
    view.history = parser.isSet(QStringLiteral("history"));
    QList<MessageViewRow> viewRows;
    QString error;
    if (!readMessageView(*services, view, viewRows, &error))
        return fail(1, QStringLiteral("cannot read the list: %1").arg(error));

    struct Row {
        QStringList cells;
        QString mark = QStringLiteral(" ");
    };
    QList<Row> rows;
    for (const MessageViewRow& message : viewRows)
        rows.append({{message.from, message.toCc, message.dateText, message.timeText,
                      message.subject, message.comments.left(60)},
                     message.unread ? QStringLiteral("*") : QStringLiteral(" ")});

    QStringList headers{QStringLiteral("From"),    QStringLiteral("To/ CC"),
                        QStringLiteral("Date"),    QStringLiteral("Time"),
                        QStringLiteral("Subject"), QStringLiteral("Comments")};
    const bool inbox = view.folder == MessageFolder::Inbox;
    if (!inbox) {
        // How far each sent message got, after its subject as the window shows it.
        QList<qint32> ids;
        for (const MessageViewRow& message : viewRows)
            ids << message.messageId;
        QStringList cells;
        QList<bool> awaited;
        if (!confirmationCells(*services, ids, cells, awaited, &error))
            return fail(1, QStringLiteral("cannot read who has confirmed: %1").arg(error));
        headers.insert(5, QStringLiteral("Confirmed"));
        for (int r = 0; r < rows.size(); ++r) {
            rows[r].cells.insert(5, cells.at(r));
            if (awaited.at(r))
                rows[r].mark = QStringLiteral("!");
        }
    }
    QVector<int> widths(headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        widths[c] = headers[c].size();
        for (const Row& row : rows)
            widths[c] = qMax(widths[c], int(row.cells[c].size()));
    }
    auto line = [&](const QString& mark, const QStringList& cells) {
        QString text = mark;
        for (int c = 0; c < cells.size(); ++c)
            text += QLatin1Char(' ') + cells[c].leftJustified(widths[c]) +
                    (c + 1 < cells.size() ? QStringLiteral(" |") : QString());
        // One write for many lines: a flush per line made a long list a write per row.
        out() << text << '\n';
    };
    out() << (inbox ? QStringLiteral("Inbox") : QStringLiteral("Sent items"))
          << (inbox ? (view.allCategories ? QStringLiteral(" - All Categories")
                                          : QStringLiteral(" - Message Category Only"))
                    : QString())
          << (view.history ? QStringLiteral(" - History") : QString()) << " of "
          << services->currentLoginName() << " at " << services->computerName() << ": "
          << rows.size() << " message(s); "
          << (inbox ? "* = unread" : "! = needs confirmation, not everyone has confirmed")
          << Qt::endl;
    line(QStringLiteral(" "), headers);
    for (const Row& row : rows)
        line(row.mark, row.cells);
    out().flush();
    return 0;
}

} // namespace tzsndmsg::app
