#include "tzsndmsg/ui/MessageBox.h"

#include "tzsndmsg/ui/Unattended.h"

#include <QApplication>
#include <QMessageBox>
#include <QMutex>
#include <QPushButton>

namespace tzsndmsg::ui {

namespace {

QMutex& prompterMutex()
{
    static QMutex mutex;
    return mutex;
}

std::shared_ptr<Prompter>& prompterSlot()
{
    static std::shared_ptr<Prompter> prompter;
    return prompter;
}

QMessageBox::Icon iconOf(int code)
{
    switch (code) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct ButtonSpec {
    QMessageBox::StandardButton button;
    int result;
};

QList<ButtonSpec> buttonsOf(int code)
{
    switch (code) {
    case 1:
        return {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
    case 3:
        return {
            {QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
    case 4:
        return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
    default:
        return {{QMessageBox::Ok, vbOK}};
    }
}

int showReal(const MessageBoxRequest& request)
{
    const QList<ButtonSpec> specs = buttonsOf(request.buttons);
    QMessageBox box(iconOf(request.icon), request.title, request.text, QMessageBox::NoButton,
                    QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                      : QApplication::activeWindow());
    for (const ButtonSpec& spec : specs)
        box.addButton(spec.button);
    const int defaultIndex = std::clamp(request.defaultButton / 256, 0, int(specs.size()) - 1);
    box.setDefaultButton(specs.at(defaultIndex).button);
    // Closing the box with Esc or the title bar answers Cancel where there is one, else the
    // only button (OK) or No.
    if (request.buttons == 1 || request.buttons == 3)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (request.buttons == 4)
        box.setEscapeButton(QMessageBox::No);
    else
        box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonSpec& spec : specs)
        if (spec.button == clicked)
            return spec.result;
    return request.buttons == 4 ? vbNo : request.buttons == 0 ? vbOK : vbCancel;
}

} // namespace

int MessageBox::show(const MessageBoxRequest& request)
{
    if (Unattended* unattended = Unattended::current())
        return unattended->answer(request);
    std::shared_ptr<Prompter> prompter;
    {
        QMutexLocker lock(&prompterMutex());
        prompter = prompterSlot();
    }
    // The prompter is held by a local reference, so it may replace itself while answering.
    if (prompter)
        return prompter->ask(request);
    return showReal(request);
}

void MessageBox::setPrompter(std::shared_ptr<Prompter> prompter)
{
    QMutexLocker lock(&prompterMutex());
    prompterSlot() = std::move(prompter);
}

} // namespace tzsndmsg::ui
