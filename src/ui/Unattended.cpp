#include "tzsndmsg/ui/Unattended.h"

#include <QDialog>

namespace tzsndmsg::ui {

namespace {

thread_local Unattended* innermost = nullptr;

} // namespace

Unattended::Unattended(Answers answers) : m_answers(answers), m_outer(innermost)
{
    innermost = this;
}

Unattended::~Unattended()
{
    innermost = m_outer;
}

Unattended* Unattended::current()
{
    return innermost;
}

int Unattended::answer(const MessageBoxRequest& request)
{
    m_boxes.append(request);
    const bool proceed = m_answers == Answers::Proceed;
    switch (request.buttons) {
    case 1:
        return proceed ? vbOK : vbCancel;
    case 3:
        return proceed ? vbYes : vbCancel;
    case 4:
        return proceed ? vbYes : vbNo;
    default:
        return vbOK;
    }
}

int Unattended::reject(QDialog& dialog)
{
    m_dialogs.append(dialog.windowTitle().isEmpty() ? dialog.objectName() : dialog.windowTitle());
    return QDialog::Rejected;
}

QString Unattended::lastProblem() const
{
    for (auto it = m_boxes.crbegin(); it != m_boxes.crend(); ++it)
        if (it->icon == 16 || it->icon == 48)
            return it->text.simplified();
    return QString();
}

} // namespace tzsndmsg::ui
