// Choosing a holiday's icon: a file in the application folder is kept where it is; a file from
// elsewhere is copied into its icons folder. The stored path is Windows-style and relative.
#include "Ems_HolidayFrm.h"
#include "services/PathResolver.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

namespace tzsndmsg {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kIconTitle = QStringLiteral("Icon file");

void inform(const QString& text)
{
    ui::MessageBoxRequest request;
    request.text = text;
    request.title = kIconTitle;
    request.icon = 64;
    ui::MessageBox::show(request);
}

} // namespace

void Ems_HolidayFrm::ChooseIcon()
{
    const QString appFolder = applicationFolder();
    if (appFolder.isEmpty())
        return;
    ui::FileDialogRequest request;
    request.parent = this;
    request.title = QStringLiteral("Please select a icon file");
    request.filter = QStringLiteral("Icon files (*.ico *.Ico *.ICO)");
    request.defaultExtension = QStringLiteral("Ico");
    request.fileName = QString(m_iconPath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    request.fileName = request.fileName.mid(request.fileName.lastIndexOf(QLatin1Char('/')) + 1);
    request.startFolder = tzglob::resolvePath(appFolder, QStringLiteral("Icons"));
    const QString chosen = ui::getOpenFileName(request);
    if (chosen.isEmpty())
        return;

    const QFileInfo info(chosen);
    const QString fileName = info.fileName();
    if (!fileName.toUpper().endsWith(QStringLiteral(".ICO"))) {
        inform(fileName.toUpper() + QStringLiteral(" is not an icon file.") + kCrLf +
               QStringLiteral("You can only select a file with an ICO extension."));
        return;
    }

    // Compare clean absolute paths; the suite's folders ignore case.
    const QString folder =
        QDir::cleanPath(QFileInfo(appFolder).absoluteFilePath()) + QLatin1Char('/');
    const QString full = QDir::cleanPath(info.absoluteFilePath());
    QString newPath;
    if (!full.toUpper().startsWith(folder.toUpper())) {
        newPath = QStringLiteral("icons\\") + fileName;
        const QString target = tzglob::resolvePath(appFolder, newPath);
        if (QFileInfo::exists(target)) {
            inform(fileName + QStringLiteral(" already exists in ") + folder +
                   QStringLiteral("ICONS file folder.") + kCrLf +
                   QStringLiteral("Please rename the source icon file name and select it again."));
            return;
        }
        // The icons folder as it is spelt on disk, made when missing.
        QString iconsFolder = tzglob::resolvePath(appFolder, QStringLiteral("icons"));
        QDir().mkpath(iconsFolder);
        if (!QFile::copy(full, QDir(iconsFolder).filePath(fileName))) {
            inform(QStringLiteral("The icon file could not be copied to ") + iconsFolder +
                   QStringLiteral("."));
            return;
        }
    } else {
        newPath = full.mid(folder.size()).replace(QLatin1Char('/'), QLatin1Char('\\'));
    }

    setIconPath(newPath);
    m_picIcon->setStyleSheet(QStringLiteral("QLabel#PicIcon { background: palette(base); }"));
    loadIcon(m_iconPath);
    setEdited();
}

} // namespace tzsndmsg
