#pragma once

#include <QGroupBox>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tzsndmsg {

// The panel under a received message viewed from the row it came through: the reader confirms
// having read it (its text filed into the notes when the message asks for that), snoozes it,
// answers it, or puts it on the to-do list. The window says what is shown; the panel writes
// through the core and asks the window to answer and to read the list again.
class ConfirmPanel : public QGroupBox {
    Q_OBJECT

public:
    // The message shown and the list row it was opened from.
    struct Shown {
        qint32 broChkId = 0;
        qint32 linkId = 0;
        qint32 senderId = 0; // the sender as the row lists it
        QString to;
        QString cc;
        QString subject;
        QString body;
        QString category;
        QString subCategory;
        bool fileIntoNotes = false; // the message is filed into the reader's notes once read
        bool payrollMarked = false; // the message's own payroll mark
    };
    // Asked when a button is pressed: the message shown, or nothing when no row of the list is
    // shown (the panel then does nothing).
    using ShownSource = std::function<std::optional<Shown>()>;

    explicit ConfirmPanel(QWidget* parent = nullptr);

    void setShownSource(ShownSource source) { m_shown = std::move(source); }
    // A received message put on the form: the sender's line, the read check when the sender
    // asks for a confirmation, the payroll tick when the reader may still set it.
    void showMessage(const QString& fromLine, bool needsConfirmation, bool mayMarkPayroll);
    // The panel's controls in the window's tab order.
    QList<QWidget*> tabOrder() const;

signals:
    // A reply (flag 1), forward (2) or return receipt (3) of a row; autoSend sends it unseen.
    void answerRequested(qint32 broChkId, int flag, const QString& notes, bool autoSend);
    // The reader marked the message payroll related: its text is filed into notes from now on.
    void payrollMarked();
    // The list is read again (after every button's work).
    void refreshRequested();

private:
    // The buttons: 2 OK, 3 Snooze, 4 Reply, 5 Forward, 6 ToDoList.
    void buttonClicked(int index);
    void confirmReading(const Shown& shown);
    bool writeConfirmNote(const Shown& shown, qint32 personId, qint32 senderId, bool payroll);
    void addToTodoList(const Shown& shown);
    bool payrollTicked(const Shown& shown) const;

    QLabel* lblConfirm = nullptr; // "From <who> at <date> <time>"
    QCheckBox* ConfirmChkYes = nullptr;
    QCheckBox* ConfirmchkDoc2 = nullptr;        // "ConfirmchkDoc_2"
    std::array<QPushButton*, 7> ConfirmCmdTo{}; // indexes 2..6 are built
    ShownSource m_shown;
};

} // namespace tzsndmsg
