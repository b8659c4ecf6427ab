#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

namespace tzsndmsg::ui {

// Every modal show of the component's windows and dialogs goes through here: the dialog's
// result. Call on the QApplication's thread; the handler is one for the process.
int showModal(QDialog& dialog);
// A test or an automation drives the dialog instead of a person: the handler gets each window
// (its objectName is its class name: "tzSndMsgFrm", "EMS_EmpList", ...), may show it, works its
// controls by their objectNames and returns its result; dialogs it opens come to it in turn.
// nullptr restores exec().
void setModalHandler(std::function<int(QDialog&)> handler);

// The file-open dialog seam.
struct FileDialogRequest {
    QWidget* parent = nullptr;
    QString title;
    QString filter;           // for example "Icon files (*.ico *.Ico)"
    QString defaultExtension; // without the dot
    QString fileName;         // proposed file name
    QString startFolder;
    bool save = false; // a file to write (getSaveFileName); the caller asks before replacing one
};
// The chosen file's full path; empty when cancelled. Same thread and handler rules as above;
// a handler answers instead of the dialog, nullptr restores it.
QString getOpenFileName(const FileDialogRequest& request);
// The same for a file to write: the request reaches the handler with save set.
QString getSaveFileName(const FileDialogRequest& request);
void setFileDialogHandler(std::function<QString(const FileDialogRequest&)> handler);

} // namespace tzsndmsg::ui
