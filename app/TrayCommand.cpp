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
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace tzsndmsg::app {

namespace {

int failed(int code, const QString& message)
{
    std::fprintf(stderr, "tzsndmsg: %s\n", qPrintable(message));
    return code;
}

// Renders what the tray shows into a PNG: the notification of the newest unread message (its
// watcher on a state of its own, so the workstation's is left as it is), or the menu.
int screenshot(const std::shared_ptr<tzglob::tzGlobal>& services, const QString& file, bool menu)
{
    QTemporaryDir state;
    OfficeWatcher::Options options;
    options.role = QStringLiteral("screenshot");
    options.stateFile = state.filePath(QStringLiteral("state.json"));
    options.fileCheckMs = 0;
    options.fileSystemEvents = false;
    options.notifications = false;
    TrayApp tray(services, options, TrayApp::Mode::Window);
    OfficeNotice newest;
    bool any = false;
    QObject::connect(&tray, &TrayApp::notified, [&](const OfficeNotice& n) {
        newest = n;
        any = true;
    });
    QString error;
    if (!tray.start(&error))
        return failed(1, error);
    QImage image;
    if (menu) {
        // The small window with its menu open under the menu button.
        QWidget* window = tray.window();
        window->adjustSize();
        QApplication::processEvents();
        const QImage top = window->grab().toImage();
        auto* button = window->findChild<QWidget*>(QStringLiteral("cmdMenu"));
        tray.menu()->popup(window->geometry().bottomLeft());
        QApplication::processEvents();
        const QImage list = tray.menu()->grab().toImage();
        tray.menu()->hide();
        const int x = button ? std::max(0, std::min(button->x(), top.width() - list.width())) : 0;
        image = QImage(std::max(top.width(), x + list.width()), top.height() + list.height(),
                       QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.drawImage(0, 0, top);
        painter.drawImage(x, top.height(), list);
    } else {
        if (!any)
            return failed(1, QStringLiteral("no unread message to show a notification of"));
        tray.popup()->setTimeout(0);
        tray.popup()->showNotice(newest);
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
                      QStringLiteral("With --screenshot: render the tray's window with its menu open.")});
    if (!parser.parse(QStringList{QStringLiteral("tzsndmsg")} + args))
        return failed(2, parser.errorText());
    showHelpIfAsked(parser);
    if (!parser.positionalArguments().isEmpty())
        return failed(2, QStringLiteral("unexpected argument '%1'")
                             .arg(parser.positionalArguments().first()));

    const auto services = openServices(parser);
    if (!services)
        return setUpExitCode();

    if (parser.isSet(QStringLiteral("screenshot")))
        return screenshot(services, parser.value(QStringLiteral("screenshot")),
                          parser.isSet(QStringLiteral("menu")));

    OfficeWatcher::Options options;
    options.role = QStringLiteral("tray");
    options.stateFile = parser.value(QStringLiteral("state"));
    TrayApp tray(services, options,
                 parser.isSet(QStringLiteral("window")) ? TrayApp::Mode::Window : TrayApp::Mode::Auto);
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
    if (!tray.start(&error))
        return failed(1, error);
    return QApplication::exec();
}

} // namespace tzsndmsg::app
