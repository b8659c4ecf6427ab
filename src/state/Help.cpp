#include "state/Help.h"

#include "state/SharedState.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMutex>
#include <QPointer>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextStream>
#include <QUrl>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

const char* const HelpIdProperty = "helpContextId";

// The application's help file name: one per process, as the suite's own help file is.
QMutex g_helpMutex;
QString g_helpFile;

QWidget* activeForm()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

int helpIdOf(const QWidget* widget)
{
    if (!widget)
        return 0;
    bool ok = false;
    const int id = widget->property(HelpIdProperty).toInt(&ok);
    return ok ? id : 0;
}

// The one help window, kept while its owner lives and moved to the window that asks for help, so
// that it stays usable beside a modal window.
QPointer<QDialog> g_viewer;

QTextBrowser* viewerFor(QWidget* owner)
{
    if (!g_viewer) {
        auto* dialog = new QDialog(owner);
        dialog->setObjectName(QStringLiteral("HelpViewer"));
        dialog->setWindowTitle(QStringLiteral("Help"));
        dialog->setModal(false);
        dialog->resize(640, 520);
        auto* browser = new QTextBrowser(dialog);
        browser->setObjectName(QStringLiteral("HelpBrowser"));
        browser->setOpenExternalLinks(true);
        auto* layout = new QVBoxLayout(dialog);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        g_viewer = dialog;
    } else if (g_viewer->parentWidget() != owner) {
        const bool visible = g_viewer->isVisible();
        g_viewer->setParent(owner, g_viewer->windowFlags() | Qt::Dialog);
        if (visible)
            g_viewer->show();
    }
    return g_viewer->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
}

void present(QWidget* owner, const QString& page, const QString& missingText)
{
    QTextBrowser* browser = viewerFor(owner);
    if (page.isEmpty()) {
        browser->setHtml(missingText);
    } else {
        browser->setSearchPaths({QFileInfo(page).absolutePath()});
        const QUrl url = QUrl::fromLocalFile(page);
        if (browser->source() == url)
            browser->reload();
        else
            browser->setSource(url);
    }
    g_viewer->show();
    g_viewer->raise();
    g_viewer->activateWindow();
}

QString currentHelpFile()
{
    SetupHelpFile();
    return SharedState::current().HelpFile;
}

bool showTopic(QWidget* owner, int contextId)
{
    const QString page = helpPageFor(currentHelpFile(), contextId);
    if (page.isEmpty())
        return false;
    present(owner, page, QString());
    return true;
}

} // namespace

void SetupHelpFile()
{
    SharedState& state = SharedState::current();
    QMutexLocker lock(&g_helpMutex);
    if (g_helpFile.isEmpty() && state.GIC) {
        const bool qns = state.GIC->isQnsProductLine();
        const QString folder = state.GIC->helpFolder();
        g_helpFile = folder + (qns ? QStringLiteral("QNS.CHM") : QStringLiteral("ZELOWIN.CHM"));
    }
    state.HelpFile = g_helpFile;
}

void ResetHelpFile()
{
    QMutexLocker lock(&g_helpMutex);
    g_helpFile.clear();
    SharedState::current().HelpFile.clear();
}

QString helpPagesFolder(const QString& helpFile)
{
    if (helpFile.isEmpty())
        return QString();
    const QFileInfo info(QDir::fromNativeSeparators(helpFile));
    if (info.isDir())
        return info.absoluteFilePath();
    return info.absolutePath();
}

QString helpPageFor(const QString& helpFile, int contextId)
{
    const QString folder = helpPagesFolder(helpFile);
    if (folder.isEmpty() || contextId == 0)
        return QString();
    QFile map(folder + QStringLiteral("/map.txt"));
    if (!map.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream in(&map);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        bool ok = false;
        const int id = line.left(eq).trimmed().toInt(&ok);
        if (!ok || id != contextId)
            continue;
        const QString page = QDir(folder).filePath(line.mid(eq + 1).trimmed());
        return QFileInfo(page).isFile() ? page : QString();
    }
    return QString();
}

void SetHelpContext(QWidget* form, int contextId)
{
    if (!form)
        return;
    form->setProperty(HelpIdProperty, contextId);
    const auto children = form->findChildren<QWidget*>();
    for (QWidget* child : children)
        child->setProperty(HelpIdProperty, contextId);
}

void InstallHelpKey(QWidget* form)
{
    if (!form)
        return;
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), form);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, form, [form] { ShowContextHelp(form); });
}

void ShowContextHelp(QWidget* window)
{
    SetupHelpFile();
    QWidget* form = window ? window->window() : activeForm();
    QWidget* control = QApplication::focusWidget();
    if (control && form && control != form && !form->isAncestorOf(control))
        control = nullptr;
    int id = helpIdOf(control);
    if (id == 0)
        id = helpIdOf(form);
    if (id != 0)
        ShowHelpTopic(form, id);
    else
        ShowHelpContents(form);
}

void ShowHelpTopic(QWidget* window, int contextId)
{
    QWidget* owner = window ? window : activeForm();
    if (!showTopic(owner, contextId))
        ShowHelpContents(owner);
}

void ShowHelpContents(QWidget* window)
{
    SharedState& state = SharedState::current();
    QWidget* owner = window ? window : activeForm();
    if (!owner) {
        if (!state.HostMainForm && state.GIC)
            state.HostMainForm = state.GIC->mainWindow();
        if (auto* main = qobject_cast<QMainWindow*>(state.HostMainForm.data())) {
            if (auto* mdi = qobject_cast<QMdiArea*>(main->centralWidget()))
                owner = mdi->activeSubWindow();
        }
        if (!owner)
            owner = qobject_cast<QWidget*>(state.HostMainForm.data());
    }

    const QString helpFile = currentHelpFile();
    const QString folder = helpPagesFolder(helpFile);
    const QString index = folder.isEmpty() ? QString() : folder + QStringLiteral("/index.html");
    if (!index.isEmpty() && QFileInfo(index).isFile()) {
        present(owner, index, QString());
        return;
    }
    const QString where = folder.isEmpty() ? QStringLiteral("(no help folder is set up)")
                                           : QDir::toNativeSeparators(folder).toHtmlEscaped();
    present(owner, QString(),
            QStringLiteral("<h2>Help is not installed</h2><p>The help pages were not found in "
                           "%1. Ask the person who set up the office programs to install them."
                           "</p>")
                .arg(where));
}

} // namespace tzsndmsg
