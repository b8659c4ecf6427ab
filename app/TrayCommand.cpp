// tzsndmsg tray: the office watcher in the system tray, for a workstation that keeps it running.
#include "Commands.h"
#include "HostConfig.h"
#include "NotificationPopup.h"
#include "TrayApp.h"
#include "UnixSignals.h"
#include "tzsndmsg/OfficeWatcher.h"
#include "tzsndmsg/tzGlobal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace tzsndmsg::app {

namespace {

// How long a tray that could not start shows why before it ends.
constexpr int kFailureShownMs = 60000;

int failed(int code, const QString& message)
{
    std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(message));
    return code;
}

// Renders what the tray shows into a PNG: the notification of the newest unread message, the
// summary of them all as the tray shows it at start, or the window with its menu and the Recent
// list open (its watcher on a state of its own, so the workstation's is left as it is).
int screenshot(const std::shared_ptr<tzglob::tzGlobal>& services, const QString& file, bool menu,
               bool summary)
{
    QTemporaryDir state;
    OfficeWatcher::Options options;
    options.role = QStringLiteral("screenshot");
    options.stateFile = state.filePath(QStringLiteral("state.json"));
    options.fileCheckMs = 0;
    options.fileSystemEvents = false;
    options.notifications = false;
    TrayApp tray(services, options, TrayApp::Mode::Window);
    tray.setSoundPlayer(nullptr);
    QString error;
    if (!tray.start(&error))
        return failed(1, error);
    tray.popup()->setTimeout(0);
    QImage image;
    if (menu) {
        // The small window, its menu open under the menu button and Recent open beside it.
        QWidget* window = tray.window();
        window->adjustSize();
        QApplication::processEvents();
        const QImage top = window->grab().toImage();
        auto* button = window->findChild<QWidget*>(QStringLiteral("cmdMenu"));
        tray.menu()->popup(window->geometry().bottomLeft());
        QApplication::processEvents();
        const QImage list = tray.menu()->grab().toImage();
        const QRect recentRow = tray.menu()->actionGeometry(tray.recentMenu()->menuAction());
        tray.menu()->hide();
        tray.recentMenu()->popup(QPoint(0, 0));
        QApplication::processEvents();
        const QImage recent = tray.recentMenu()->grab().toImage();
        tray.recentMenu()->hide();
        const int x = button ? std::max(0, std::min(button->x(), top.width() - list.width())) : 0;
        const int recentX = x + list.width() - 4;
        const int recentY = top.height() + recentRow.top();
        image = QImage(std::max(top.width(), recentX + recent.width()),
                       std::max(top.height() + list.height(), recentY + recent.height()),
                       QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.drawImage(0, 0, top);
        painter.drawImage(x, top.height(), list);
        painter.drawImage(recentX, recentY, recent);
    } else if (summary) {
        QElapsedTimer clock;
        clock.start();
        while (!tray.popup()->isVisible() && clock.elapsed() < 3LL * TrayApp::kGatherMs)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!tray.popup()->isVisible() || tray.popup()->notice().BroChkID != 0)
            return failed(1, QStringLiteral("fewer than two unread messages to sum up"));
        image = tray.popup()->grab().toImage();
    } else {
        if (tray.recent().isEmpty())
            return failed(1, QStringLiteral("no unread message to show a notification of"));
        tray.popup()->showNotice(tray.recent().first());
        QApplication::processEvents();
        image = tray.popup()->grab().toImage();
    }
    if (!image.save(file))
        return failed(1, QStringLiteral("cannot write %1").arg(file));
    std::printf("Saved %s\n", qPrintable(file));
    return 0;
}

} // namespace

int runTray(const QStringList& args)
{
    QCommandLineParser parser;
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("state"),
                      QStringLiteral("The file that keeps what was told (default under "
                                     "$XDG_STATE_HOME/tzsndmsg/)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("window"),
                      QStringLiteral("A small window that stays on top instead of a tray icon.")});
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Render the notification of the newest unread message to a "
                                     "PNG and exit."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("menu"),
                      QStringLiteral("With --screenshot: render the tray's window with its menu "
                                     "and Recent open.")});
    parser.addOption({QStringLiteral("summary"),
                      QStringLiteral("With --screenshot: render the one notice the unread messages "
                                     "are told in at start.")});
    parser.addOption({QStringLiteral("autostart"),
                      QStringLiteral("Started with the session: wait up to 20 s for the desktop's "
                                     "system tray before floating as a window.")});
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args))
        return failed(2, parser.errorText());
    showHelpIfAsked(parser);
    if (!parser.positionalArguments().isEmpty())
        return failed(
            2,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    const bool render = parser.isSet(QStringLiteral("screenshot"));
    const auto services = openServices(parser);
    if (!services)
        return render ? setUpExitCode()
                      : TrayApp::reportFailure(lastFailure(), setUpExitCode(), kFailureShownMs);

    if (render)
        return screenshot(services, parser.value(QStringLiteral("screenshot")),
                          parser.isSet(QStringLiteral("menu")),
                          parser.isSet(QStringLiteral("summary")));
    const tzglob::WorkstationConfig config = resolvedConfig(parser);

    OfficeWatcher::Options options;
    options.role = QStringLiteral("tray");
    options.stateFile = parser.value(QStringLiteral("state"));
    TrayApp tray(services, options,
                 parser.isSet(QStringLiteral("window")) ? TrayApp::Mode::Window
                                                        : TrayApp::Mode::Auto);
    if (const auto quiet = tzglob::WorkstationConfig::quietHours(config.quiet.value))
        tray.setQuietHours(quiet);
    tray.setSound(tzglob::WorkstationConfig::soundOf(config.sound.value));
    if (parser.isSet(QStringLiteral("autostart")))
        tray.setStartGrace(20000);
    QObject::connect(tray.watcher(), &OfficeWatcher::logged, [](const QString& text) {
        std::fprintf(stderr, "tzsndmsg: tray: %s\n", qPrintable(text));
    });
    QObject::connect(&tray, &TrayApp::quitRequested, qApp, &QCoreApplication::quit);
    UnixSignals unixSignals;
    // Every event loop ends, an open window's too, without closing it first: closing asks
    // whether to send what was typed, and at a logout nobody answers.
    QObject::connect(&unixSignals, &UnixSignals::terminateRequested, qApp,
                     [] { QCoreApplication::exit(0); });
    QApplication::setQuitOnLastWindowClosed(false);
    QString error;
    if (!tray.start(&error)) {
        failed(1, error);
        return TrayApp::reportFailure(error, 1, kFailureShownMs);
    }
    return QApplication::exec();
}

} // namespace tzsndmsg::app
