#include "Commands.h"
#include "HostConfig.h"
#include "tzsndmsg/Version.h"
#include "tzsndmsg/ui/Unattended.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char* const kUsage =
    "usage: tzsndmsg COMMAND [options]\n"
    "  init [--demo] [--signed-in]            create schema and data folder; --demo adds an "
    "office\n"
    "  secure [--off]                         sign the office in: a database role per login "
    "(PostgreSQL)\n"
    "  messages [--login NAME] [--history] [--patient ID] [--reminder-for appointment|absence ID]\n"
    "  events [--login NAME] [--event ID] [--export-ics FILE]\n"
    "  holidays [--login NAME] [--list YEAR]\n"
    "  setup [--login NAME]                   the office's people, logins and computers "
    "(supervisor)\n"
    "  send --subject S --body B [--link-type N --link-id N]\n"
    "  announce --text T [--to IDS] [--to-computers NAMES] [--category C --subcategory S]\n"
    "           [--start \"MM/DD/YYYY HH:MM\"]\n"
    "  inbox --login NAME [--all-categories] [--sent] [--history]\n"
    "  search --login NAME [--everywhere] [--all-categories] [--sent] [--history] WORDS...\n"
    "  confirmations --message ID             who has confirmed a message the login sent\n"
    "  confirm BROCHKID                       confirm a received message (its inbox row) as OK "
    "does\n"
    "  snooze BROCHKID [--minutes N]          tell a received message again later (15 minutes)\n"
    "  staff [--json]                         the office's people; staff add --last L --first F\n"
    "                                         --initials I [--department D] [--login NAME],\n"
    "                                         staff edit ID [--last ..] [--first ..] [--initials "
    "..]\n"
    "                                         [--department ..], staff release ID [--date D],\n"
    "                                         staff rehire ID\n"
    "  logins [--json]                        logins and rights; logins add NAME --person ID,\n"
    "                                         logins remove NAME, logins supervisor NAME on|off,\n"
    "                                         logins payroll NAME on|off, logins password NAME\n"
    "                                         (the password from standard input)\n"
    "  computers [--json]                     the computer list; computers add NAME,\n"
    "                                         computers remove NAME\n"
    "  check [--repair-index]                 the store's integrity, the search index, the data "
    "folder\n"
    "  config                                 show this workstation's settings and their origin\n"
    "  watch [--once]                         the office watcher: one JSON line per event\n"
    "  tray [--window] [--autostart]          the tray icon, notifications and menu of a "
    "workstation\n"
    "  import staff FILE.csv [--dry-run]      people from a CSV file, all or nothing\n"
    "  export staff FILE.csv                  the office's people to a CSV file\n"
    "common: --db URL  --data DIR  --computer NAME  --login NAME\n"
    "windows: --screenshot FILE   render the window as it first shows to a PNG and close it\n"
    "settings: /etc/tzsndmsg.conf, ~/.config/tzsndmsg/tzsndmsg.conf, then TZSNDMSG_DB_URL,\n"
    "  TZSNDMSG_DATA, TZSNDMSG_LOGIN, TZSNDMSG_COMPUTER, then the flags\n"
    "  tzsndmsg COMMAND --help                describes the command's options\n"
    "  tzsndmsg --version                     prints the version\n";

// A display named ":N" (this machine's X server N) that no server answers: Qt would abort on
// it. Only what can be told for certain is told: an X server listens on its socket (a file, or
// the same name in the abstract namespace); other displays are left to Qt.
bool localDisplayIsGone(const QByteArray& display)
{
    const QByteArray number = display.startsWith(':') ? display.mid(1).split('.').value(0) : "";
    bool ok = false;
    number.toUInt(&ok);
    if (!ok || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    const QByteArray path = "/tmp/.X11-unix/X" + number;
    for (const bool abstract : {false, true}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int offset = abstract ? 1 : 0; // an abstract name starts with a zero byte
        std::memcpy(address.sun_path + offset, path.constData(), size_t(path.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + path.size());
        const bool answered =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
        ::close(fd);
        if (answered)
            return false;
    }
    return true;
}

bool opensWindow(const QString& command, const QStringList& args)
{
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h")))
        return false;
    if (command == QLatin1String("messages") || command == QLatin1String("send") ||
        command == QLatin1String("tray") || command == QLatin1String("setup"))
        return true;
    if (command == QLatin1String("events"))
        return !args.contains(QStringLiteral("--export-ics"));
    if (command == QLatin1String("holidays"))
        return !args.contains(QStringLiteral("--list"));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        // The library's version: the one this program really runs with.
        std::printf("tzsndmsg %s\n", qPrintable(tzsndmsg::libraryVersion()));
        return 0;
    }
    const QString command = QString::fromLocal8Bit(argv[1]);
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    // Commands without a window run offscreen; a window needs a display unless it is only
    // rendered to a file.
    const bool window = opensWindow(command, args);
    const bool screenshot = args.contains(QStringLiteral("--screenshot"));
    const bool haveDisplay = qEnvironmentVariableIsSet("DISPLAY") ||
                             qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
                             qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!window || (screenshot && !haveDisplay))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!screenshot && (platform == "offscreen" || platform == "minimal")) {
        // Nobody could answer the window: it would wait for ever.
        std::fputs("tzsndmsg: the window cannot be shown on the \"offscreen\" or \"minimal\" "
                   "platform (use --screenshot FILE, or a display)\n",
                   stderr);
        return 2;
    } else if (!haveDisplay) {
        std::fputs("tzsndmsg: no display to show the window on (set DISPLAY, or use --screenshot "
                   "FILE or the inbox command)\n",
                   stderr);
        return 2;
    } else if ((platform.isEmpty() || platform == "xcb") &&
               localDisplayIsGone(qgetenv("DISPLAY"))) {
        std::fprintf(stderr, "tzsndmsg: no X server answers on the display %s\n",
                     qgetenv("DISPLAY").constData());
        return 2;
    }

    // A private runtime folder when the session has none, and the zone file named once, so that
    // converting stored date-times does not look the zone up again for every value.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = QDir::tempPath().toLocal8Bit() + "/tzsndmsg-runtime-" +
                                   QByteArray::number(uint(getuid()));
        QDir().mkpath(QString::fromLocal8Bit(runtime));
        QFile::setPermissions(QString::fromLocal8Bit(runtime), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    if (!qEnvironmentVariableIsSet("TZ") && QFile::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");

    if (command == QLatin1String("watch")) {
        tzsndmsg::app::setCommandName(command);
        return tzsndmsg::app::runWatch(argc, argv, args);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tzsndmsg"));
    QApplication::setOrganizationName(QStringLiteral("tzsndmsg"));

    using namespace tzsndmsg::app;
    setCommandName(command);
    // A command without a window has nobody to answer a box: none is shown, each is told.
    struct Unattended : tzsndmsg::ui::Unattended {
        Unattended() : tzsndmsg::ui::Unattended(Answers::Refuse) {}
        ~Unattended()
        {
            for (const auto& box : boxes())
                std::fprintf(stderr, "tzsndmsg: %s%s\n",
                             box.title.isEmpty() ? ""
                                                 : qPrintable(QLatin1Char('[') + box.title + "] "),
                             qPrintable(box.text.simplified()));
        }
    };
    std::optional<Unattended> unattended;
    if (!window)
        unattended.emplace();

    if (command == QLatin1String("init"))
        return runInit(args);
    if (command == QLatin1String("secure"))
        return runSecure(args);
    if (command == QLatin1String("messages"))
        return runMessages(args);
    if (command == QLatin1String("events"))
        return runEvents(args);
    if (command == QLatin1String("holidays"))
        return runHolidays(args);
    if (command == QLatin1String("setup"))
        return runSetup(args);
    if (command == QLatin1String("send"))
        return runSend(args);
    if (command == QLatin1String("announce"))
        return runAnnounce(args);
    if (command == QLatin1String("inbox"))
        return runInbox(args);
    if (command == QLatin1String("check"))
        return runCheck(args);
    if (command == QLatin1String("config"))
        return runConfig(args);
    if (command == QLatin1String("tray"))
        return runTray(args);
    if (command == QLatin1String("import"))
        return runImport(args);
    if (command == QLatin1String("export"))
        return runExport(args);
    if (command == QLatin1String("search"))
        return runSearch(args);
    if (command == QLatin1String("confirmations"))
        return runConfirmations(args);
    if (command == QLatin1String("confirm"))
        return runConfirm(args);
    if (command == QLatin1String("snooze"))
        return runSnooze(args);
    if (command == QLatin1String("staff"))
        return runStaff(args);
    if (command == QLatin1String("logins"))
        return runLogins(args);
    if (command == QLatin1String("computers"))
        return runComputers(args);
    std::fprintf(stderr, "tzsndmsg: unknown command '%s'\n%s", argv[1], kUsage);
    return 2;
}
