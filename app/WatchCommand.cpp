// tzsndmsg watch: the office watcher without a display, one JSON line per event.
#include "Commands.h"
#include "HostConfig.h"
#include "NoticeJson.h"
#include "UnixSignals.h"
#include "tzsndmsg/OfficeWatcher.h"
#include "tzsndmsg/tzGlobal.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace tzsndmsg::app {

namespace {

constexpr unsigned OnceBoundSecs = 120;

void printLine(const QJsonObject& line)
{
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QJsonObject noticeLine(const OfficeNotice& n)
{
    QJsonObject line = noticeJson(n);
    // The machine's own clock, for measuring how long a notice took to arrive.
    line.insert(QStringLiteral("noticedMs"), double(QDateTime::currentMSecsSinceEpoch()));
    return line;
}

// The process's resident memory in kB (Linux), -1 when unknown.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// No box of the library may wait for a person: there is none here to answer it.
struct NoBoxes : ui::Prompter {
    int ask(const ui::MessageBoxRequest& r) override
    {
        std::fprintf(stderr, "tzsndmsg: watch: [%s] %s\n", qPrintable(r.title), qPrintable(r.text));
        return r.buttons == 0 ? 1 : 2;
    }
};

} // namespace

int runWatch(int argc, char** argv, const QStringList& args)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tzsndmsg"));

    QCommandLineParser parser;
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("once"),
                      QStringLiteral("Tell what is pending now (unseen messages, moments that fell "
                                     "due), then exit.")});
    parser.addOption({QStringLiteral("state"),
                      QStringLiteral("The file that keeps what was told (default under "
                                     "$XDG_STATE_HOME/tzsndmsg/)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("file-check"),
                      QStringLiteral("Look at the signal files every MS milliseconds (default "
                                     "1000; 0: only on file-system events)."),
                      QStringLiteral("MS")});
    parser.addOption({QStringLiteral("no-file-events"),
                      QStringLiteral("Do not use file-system events (as on a network share).")});
    parser.addOption(
        {QStringLiteral("no-notices"), QStringLiteral("Do not listen for PostgreSQL's notices.")});
    parser.addOption({QStringLiteral("stats"),
                      QStringLiteral("Print the statements run and the memory used on exit "
                                     "(also on SIGUSR1).")});
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args)) {
        std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    showHelpIfAsked(parser);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tzsndmsg: unexpected argument '%s'\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    OfficeWatcher::Options options;
    options.role = QStringLiteral("watch");
    options.stateFile = parser.value(QStringLiteral("state"));
    if (parser.isSet(QStringLiteral("file-check"))) {
        bool ok = false;
        options.fileCheckMs = parser.value(QStringLiteral("file-check")).toInt(&ok);
        if (!ok || options.fileCheckMs < 0) {
            std::fprintf(stderr, "tzsndmsg: --file-check needs milliseconds, not '%s'\n",
                         qPrintable(parser.value(QStringLiteral("file-check"))));
            return 2;
        }
    }
    options.fileSystemEvents = !parser.isSet(QStringLiteral("no-file-events"));
    options.notifications = !parser.isSet(QStringLiteral("no-notices"));
    const bool once = parser.isSet(QStringLiteral("once"));

    // One look only reads the office and its signal files.
    const auto services = openServices(parser, once ? DataUse::ReadOnly : DataUse::Write);
    if (!services)
        return setUpExitCode();
    ui::MessageBox::setPrompter(std::make_shared<NoBoxes>());

    OfficeWatcher watcher(services, options);
    auto tell = [](const OfficeNotice& n) { printLine(noticeLine(n)); };
    QObject::connect(&watcher, &OfficeWatcher::messageArrived, tell);
    QObject::connect(&watcher, &OfficeWatcher::deliveryStarted, tell);
    QObject::connect(&watcher, &OfficeWatcher::reminderDue, tell);
    QObject::connect(&watcher, &OfficeWatcher::snoozeDue, tell);
    QObject::connect(&watcher, &OfficeWatcher::unreadCountChanged, [](qint64 count) {
        printLine({{QStringLiteral("event"), QStringLiteral("unread")},
                   {QStringLiteral("count"), double(count)}});
    });
    bool lost = false;
    QObject::connect(&watcher, &OfficeWatcher::connectionLost, [&lost](const QString& reason) {
        lost = true;
        printLine({{QStringLiteral("event"), QStringLiteral("connection-lost")},
                   {QStringLiteral("reason"), reason}});
    });
    QObject::connect(&watcher, &OfficeWatcher::connectionRestored, [&lost] {
        lost = false;
        printLine({{QStringLiteral("event"), QStringLiteral("connection-restored")}});
    });
    QObject::connect(&watcher, &OfficeWatcher::logged, [](const QString& text) {
        std::fprintf(stderr, "tzsndmsg: watch: %s\n", qPrintable(text));
    });
    auto stats = [&watcher] {
        QJsonObject line = QJsonObject::fromVariantMap(watcher.stats());
        line.insert(QStringLiteral("event"), QStringLiteral("stats"));
        line.insert(QStringLiteral("rssKb"), double(residentKb()));
        printLine(line);
    };

    UnixSignals unixSignals;
    QObject::connect(&unixSignals, &UnixSignals::statsRequested, stats);
    QObject::connect(&unixSignals, &UnixSignals::terminateRequested, &app,
                     [] { QCoreApplication::exit(0); });

    // --once ends in any case: a server that stops answering mid-statement would hold it.
    if (once)
        ::alarm(OnceBoundSecs);
    QString error;
    if (!watcher.start(&error)) {
        std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(error));
        return 1;
    }
    int code = 0;
    if (once) {
        if (lost) {
            std::fprintf(stderr, "tzsndmsg: the office database does not answer\n");
            code = 1;
        }
    } else {
        printLine({{QStringLiteral("event"), QStringLiteral("ready")},
                   {QStringLiteral("login"), watcher.loginName()},
                   {QStringLiteral("computer"), watcher.computerName()},
                   {QStringLiteral("listening"), watcher.isListening()},
                   {QStringLiteral("state"), watcher.stateFile()}});
        code = app.exec();
    }
    if (parser.isSet(QStringLiteral("stats")))
        stats();
    watcher.stop();
    ui::MessageBox::setPrompter(nullptr);
    return code;
}

} // namespace tzsndmsg::app
