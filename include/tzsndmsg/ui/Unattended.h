#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <tzsndmsg/ui/MessageBox.h>

class QDialog;

namespace tzsndmsg::ui {

// While one lives on its thread, MessageBox::show and showModal show nothing and wait for no
// one: each box is kept (what it would have said) and answered as chosen here, each modal dialog
// is rejected. For work done from code where nobody may be there to answer (a send from code, a
// program without a display). The innermost one on the thread answers; use it on one thread.
class Unattended {
public:
    enum class Answers {
        Proceed, // OK and Yes: the caller asked for the work to be done
        Refuse,  // Cancel, No, or OK for a box that only tells
    };
    explicit Unattended(Answers answers);
    ~Unattended();
    Unattended(const Unattended&) = delete;
    Unattended& operator=(const Unattended&) = delete;

    // The boxes that were not shown, in order, and the titles of the dialogs that were not.
    const QList<MessageBoxRequest>& boxes() const { return m_boxes; }
    const QStringList& dialogs() const { return m_dialogs; }
    // The text of the last box with the critical or exclamation icon, on one line; empty when none.
    QString lastProblem() const;

    // The innermost scope on the calling thread, nullptr when none.
    static Unattended* current();
    int answer(const MessageBoxRequest& request);
    int reject(QDialog& dialog);

private:
    Answers m_answers;
    Unattended* m_outer = nullptr;
    QList<MessageBoxRequest> m_boxes;
    QStringList m_dialogs;
};

} // namespace tzsndmsg::ui
