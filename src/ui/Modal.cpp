#include "tzsndmsg/ui/Modal.h"

#include "tzsndmsg/ui/Unattended.h"

#include <QDialog>
#include <QFileDialog>
#include <QMutex>

namespace tzsndmsg::ui {

namespace {

QMutex& seamMutex()
{
    static QMutex mutex;
    return mutex;
}

std::function<int(QDialog&)>& modalHandler()
{
    static std::function<int(QDialog&)> handler;
    return handler;
}

std::function<QString(const FileDialogRequest&)>& fileDialogHandler()
{
    static std::function<QString(const FileDialogRequest&)> handler;
    return handler;
}

QString showRealFileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(request.parent, request.title, request.startFolder, request.filter);
    if (request.save) {
        dialog.setObjectName(QStringLiteral("FileSaveDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // Replacing a file is asked through the message boxes, where a host can answer it.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setObjectName(QStringLiteral("FileOpenDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (showModal(dialog) != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

} // namespace

int showModal(QDialog& dialog)
{
    if (Unattended* unattended = Unattended::current())
        return unattended->reject(dialog);
    std::function<int(QDialog&)> handler;
    {
        QMutexLocker lock(&seamMutex());
        handler = modalHandler();
    }
    if (handler)
        return handler(dialog);
    return dialog.exec();
}

void setModalHandler(std::function<int(QDialog&)> handler)
{
    QMutexLocker lock(&seamMutex());
    modalHandler() = std::move(handler);
}

QString getOpenFileName(const FileDialogRequest& request)
{
    std::function<QString(const FileDialogRequest&)> handler;
    {
        QMutexLocker lock(&seamMutex());
        handler = fileDialogHandler();
    }
    if (handler)
        return handler(request);
    return showRealFileDialog(request);
}

QString getSaveFileName(const FileDialogRequest& request)
{
    FileDialogRequest saving = request;
    saving.save = true;
    return getOpenFileName(saving);
}

void setFileDialogHandler(std::function<QString(const FileDialogRequest&)> handler)
{
    QMutexLocker lock(&seamMutex());
    fileDialogHandler() = std::move(handler);
}

} // namespace tzsndmsg::ui
