// Editing the reminder list cmbAla. (The lists themselves, Setup_Reminder and the reminder
// columns are part of the compose form.)
#include "common/VbFormat.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <functional>

namespace tzsndmsg {

namespace vb = common::vb;

namespace {

// Runs an action when the focus moves from the watched control to another control of the
// window: not to its own drop-down list, not when the whole window loses activation.
class FocusOutFilter : public QObject {
public:
    FocusOutFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), m_action(std::move(action))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                m_action();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_action;
};

} // namespace

void tzSndMsgFrm::connectReminderEditing()
{
    if (!cmbAla)
        return;
    cmbAla->installEventFilter(new FocusOutFilter(cmbAla, [this] { cmbAla_LostFocus(); }));
}

void tzSndMsgFrm::cmbAla_LostFocus()
{
    auto& st = SharedState::current();
    if (!cmbAla || st.ReminderFlag)
        return;
    const QString typed = cmbAla->currentText();
    const auto moment = typed.trimmed().isEmpty() ? std::nullopt : vb::parseDate(typed);
    const QString shown = moment ? vb::format(*moment, QStringLiteral("hh:nn am/pm")) : QString();
    if (shown != typed) {
        const int at = shown.isEmpty() ? -1 : cmbAla->findText(shown);
        cmbAla->setCurrentIndex(at);
        if (cmbAla->isEditable())
            cmbAla->setEditText(shown);
    }
    // Then as a click on the list.
    cmbAla->setProperty("tag", cmbAla->currentText());
    Set_ChangeFalg(true, 1);
}

} // namespace tzsndmsg
