// Change marks, the save routine's questions and the writes of a new message.
#include "ComposeHelpers.h"
#include "common/VbFormat.h"
#include "core/MessageWrite.h"
#include "directory/StaffDirectory.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/DateCombo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolBar>

namespace tzsndmsg {

namespace vb = common::vb;

namespace {

const QString kSendTitle = QStringLiteral("Send Message");

bool ticked(const QAbstractButton* box)
{
    return box && box->isChecked();
}

// A control's own visible setting, whether or not its window or tab page is on screen.
bool shownIn(const QWidget* widget, const QWidget* /*window*/)
{
    return widget && !widget->isHidden();
}

bool isTime(const QString& text)
{
    return !text.trimmed().isEmpty() && vb::parseDate(text).has_value();
}

// A whole number typed into a box, none when it is not numeric.
std::optional<qint64> typedNumber(const QString& text)
{
    if (!vb::isNumeric(text))
        return std::nullopt;
    const auto n = vb::toNumber(text);
    return n ? std::optional<qint64>(vb::roundHalfEven(*n)) : std::nullopt;
}

} // namespace

void tzSndMsgFrm::Set_ChangeFalg(bool state, int pane)
{
    if (m_suspendMarks)
        return;
    if (state) {
        if (pane >= 0 && pane < int(m_changeMarks.size()))
            m_changeMarks[size_t(pane)] = QStringLiteral("C");
        if (SharedState::current().ReplyBCID != 0)
            m_changeMarks[1] = QStringLiteral("C");
        m_changed = true;
    } else if (m_changed) {
        m_changeMarks[0].clear();
        m_changeMarks[1].clear();
        m_changed = false;
    }
}

void tzSndMsgFrm::markSaved()
{
    if (m_changed)
        Set_ChangeFalg(false, 0);
}

void tzSndMsgFrm::connectFormSignals()
{
    auto mark = [this](std::initializer_list<int> panes) {
        return [this, panes = QList<int>(panes)] {
            for (int pane : panes)
                Set_ChangeFalg(true, pane);
        };
    };
    auto markText = [&](QLineEdit* edit, std::initializer_list<int> panes) {
        if (edit)
            connect(edit, &QLineEdit::textChanged, this, mark(panes));
    };
    auto markButton = [&](QAbstractButton* button, std::initializer_list<int> panes) {
        if (button)
            connect(button, &QAbstractButton::toggled, this, mark(panes));
    };
    auto markCombo = [&](QComboBox* combo, std::initializer_list<int> panes) {
        if (!combo)
            return;
        connect(combo, &QComboBox::currentIndexChanged, this, mark(panes));
        if (combo->isEditable())
            connect(combo, &QComboBox::editTextChanged, this, mark(panes));
    };
    auto markDate = [&](ui::DateCombo* date, std::initializer_list<int> panes) {
        if (date)
            connect(date, &ui::DateCombo::changed, this, mark(panes));
    };

    // Pane 0, the header.
    markText(txtSubject, {0});
    if (txtMsg)
        connect(txtMsg, &QPlainTextEdit::textChanged, this, mark({0}));
    markCombo(Cmb_Emp_Name, {0});
    markDate(DateCmb_Abs, {0});
    for (QRadioButton* option : OptPub)
        markButton(option, {0, 1});
    for (QCheckBox* box : chkDoc)
        markButton(box, {0, 1});

    // The broadcast group marks pane 1, the alarm group pane 2.
    for (int g = 0; g < 2; ++g) {
        const size_t i = size_t(g);
        const int pane = g + 1;
        for (QAbstractButton* button :
             {static_cast<QAbstractButton*>(ChkBro[i]), static_cast<QAbstractButton*>(ChkFro[i]),
              static_cast<QAbstractButton*>(ChkUnt[i]), static_cast<QAbstractButton*>(ChkRea[i]),
              static_cast<QAbstractButton*>(OptReaUnl[i]),
              static_cast<QAbstractButton*>(OptReaForTim[i])})
            markButton(button, {pane});
        markDate(dCmbFro[i], {pane});
        markDate(dcmbUnt[i], {pane});
        markCombo(cmbFroTim[i], {pane});
        markCombo(cmbRea[i], {pane});
        markText(txtReaEve[i], {pane});
        markText(txtReaTim[i], {pane});
        if (ChkFro[i])
            connect(ChkFro[i], &QAbstractButton::toggled, this, [this] { updateRepeatControls(); });
        if (ChkUnt[i])
            connect(ChkUnt[i], &QAbstractButton::toggled, this, [this] { updateRepeatControls(); });
    }

    if (cmbAla) {
        connect(cmbAla, &QComboBox::activated, this, [this] {
            if (!SharedState::current().ReminderFlag)
                cmbAla->setProperty("tag", cmbAla->currentText());
            Set_ChangeFalg(true, 1);
        });
        if (cmbAla->isEditable())
            connect(cmbAla, &QComboBox::editTextChanged, this, mark({1}));
    }
    markCombo(CmbSaveTo, {1});

    connectRecipientControls();
}

int tzSndMsgFrm::SaveMessage(bool ask, bool allowCancel)
{
    using ui::MessageBox;
    auto& st = SharedState::current();
    const qint32 shownId = m_CMID;
    const bool toolbarShown = shownIn(TB, this);
    const QString body = txtMsg ? txtMsg->toPlainText() : QString();
    // The user's own linked reminder, opened again, is saved over itself, not sent again.
    const bool reminderInPlace = m_CMID != 0 && m_CMID == m_openReminderId && st.ReminderFlag;

    if (m_CMID != 0 && !reminderInPlace) {
        if (!m_changed || (toolbarShown && m_bodyReadOnly))
            return ui::vbYes;
        const int answer = MessageBox::show(
            {QStringLiteral("The selected message (") + compose::sentAgainPreview(body) +
                 QStringLiteral(") was already sent.") + QStringLiteral("\n\n") +
                 QStringLiteral("Would you like to send it again?"),
             kSendTitle, 4, 32, 0});
        if (answer != ui::vbYes)
            return ui::vbNo;
        m_CMID = 0;
    } else if (!ask) {
        if (!m_changed)
            return ui::vbYes;
    } else {
        if (!m_changed || (toolbarShown && m_bodyReadOnly) || !shownIn(PicCompose, this))
            return ui::vbYes;
        const int answer =
            MessageBox::show({QStringLiteral("Would you like to send current message?"), kSendTitle,
                              allowCancel ? 3 : 4, 32, 0});
        if (answer != ui::vbYes)
            return answer;
    }

    // A person or computer chosen is a recipient, whether or not the box can name it.
    auto chosen = [this](size_t list) {
        return m_toPids[list].trimmed().size() > 1 || !m_toMachines[list].trimmed().isEmpty() ||
               (txtTo[list] && !txtTo[list]->text().trimmed().isEmpty());
    };
    // A message with recipients is delivered from now on.
    const bool hasRecipients = chosen(0) || chosen(1);
    if (hasRecipients) {
        if (ChkBro[0] && !ChkBro[0]->isChecked()) {
            ChkBro[0]->setChecked(true);
            Set_ChangeFalg(true, 1);
        }
        if (ChkFro[0] && !ChkFro[0]->isChecked()) {
            ChkFro[0]->setChecked(true);
            Set_ChangeFalg(true, 1);
        }
        if (dCmbFro[0] && !dCmbFro[0]->isValidDate()) {
            dCmbFro[0]->setText(vb::format(st.GIC->currentDate(), QStringLiteral("mm/dd/yyyy")));
            Set_ChangeFalg(true, 1);
        }
        if (cmbFroTim[0] && !isTime(cmbFroTim[0]->currentText())) {
            const QString now = vb::format(st.GIC->currentTime(), QStringLiteral("hh:nn ampm"));
            const int at = cmbFroTim[0]->findText(now);
            cmbFroTim[0]->setCurrentIndex(at);
            if (cmbFroTim[0]->isEditable())
                cmbFroTim[0]->setEditText(now);
            else if (at < 0) {
                cmbFroTim[0]->addItem(now);
                cmbFroTim[0]->setCurrentIndex(cmbFroTim[0]->count() - 1);
            }
            Set_ChangeFalg(true, 1);
        }
    }

    if (m_changeMarks[0].isEmpty()) {
        // Nothing to send: the window stays as it is, what was set in it kept.
        if (body.trimmed().isEmpty()) {
            MessageBox::show({QStringLiteral("Nothing to save because there is no document"),
                              kSendTitle, 0, 64, 0});
            return ui::vbOK;
        }
        finishSave();
        return ui::vbYes;
    }

    if (!chosen(0) && !st.ReminderFlag) {
        const int answer = MessageBox::show(
            {QStringLiteral("You have entered a message, but you have not selected a recipient "
                            "name(s).") +
                 QStringLiteral("\n\n") +
                 QStringLiteral("To send a message, you must select a name(s) by clicking on the "
                                "[To...] button.") +
                 QStringLiteral("\n\n") + QStringLiteral("Are you sure you want to continue?"),
             QStringLiteral("Save Message"), allowCancel ? 3 : 4, 32, 256});
        if (answer != ui::vbYes)
            return ui::vbCancel;
    }

    // The message's date is stored as its text: one that is not a date would be listed and
    // sorted as written. Nothing is sent; the window keeps what was typed.
    if (DateCmb_Abs && !DateCmb_Abs->isValidDate()) {
        MessageBox::show({QStringLiteral("The message date \"") + DateCmb_Abs->text() +
                              QStringLiteral("\" is not a date.\n\nType it as mm/dd/yyyy or "
                                             "choose it from the calendar."),
                          kSendTitle, 0, 48, 0});
        m_CMID = shownId;
        if (DateCmb_Abs->isVisible())
            DateCmb_Abs->setFocus();
        return ui::vbCancel;
    }
    const core::SaveResult saved = core::saveMessage(*st.GIC, composedMessage());
    if (!saved.ok) {
        MessageBox::show({QStringLiteral("The message could not be saved; nothing of it was "
                                         "written.\n\n") +
                              saved.error,
                          kSendTitle, 0, 16, 0});
        m_CMID = shownId;
        return ui::vbCancel;
    }
    m_CMID = saved.cmId;
    if (saved.labOrderAccepted)
        st.LastSavedMessageID = saved.cmId;
    finishSave();
    return ui::vbYes;
}

void tzSndMsgFrm::finishSave()
{
    Set_ChangeFalg(false, 0);
    refreshInPlace();
}

core::OutgoingMessage tzSndMsgFrm::composedMessage() const
{
    auto& st = SharedState::current();
    core::OutgoingMessage m;
    m.headerChanged = !m_changeMarks[0].isEmpty();
    // The user's own linked reminder, opened again, is saved over itself.
    if (m_CMID != 0 && m_CMID == m_openReminderId)
        m.replaceId = m_CMID;

    const qint32 sender = Cmb_Emp_Name && Cmb_Emp_Name->currentIndex() >= 0
                              ? itemValue(Cmb_Emp_Name, Cmb_Emp_Name->currentIndex())
                              : 0;
    m.link = core::messageLink(st.ReminderFlag, st.LinkTyp, st.LinkID);
    if (st.LinkTyp == 4)
        m.labOrderId = st.LinkID;
    m.cmDat = DateCmb_Abs ? DateCmb_Abs->text() : QString();
    m.senderId = sender;
    m.announcement = st.AnnouncementMode;
    m.cmCat = m_cmCat;
    m.cmSubCat = m_cmSubCat;
    m.cmDoc = txtMsg->toPlainText();
    m.CMSubjec = txtSubject->text();
    m.cmDocAftDis = ticked(chkDoc[0]);
    m.CMNeeCom = ticked(chkDoc[1]);
    m.CMShoOnRep = ticked(chkDoc[2]);
    m.cmConRec = ticked(chkDoc[3]);

    m.reminder = reminderOnScreen();
    m.EvPri = ticked(OptPub[1]);
    m.EvBroFla = ticked(ChkBro[0]);
    m.EvBroStaDatFla = ticked(ChkFro[0]);
    if (dCmbFro[0] && dCmbFro[0]->isValidDate())
        m.EvBroStaDat = dCmbFro[0]->text();
    if (cmbFroTim[0] && isTime(cmbFroTim[0]->currentText()))
        m.EvBroStaTim = cmbFroTim[0]->currentText();
    m.EvBroReaFla = ticked(ChkRea[0]);
    m.EvBroReaEve = txtReaEve[0] ? typedNumber(txtReaEve[0]->text()).value_or(0) : 0;
    m.EvBroReaTyp = cmbRea[0] && cmbRea[0]->currentIndex() >= 0
                        ? itemValue(cmbRea[0], cmbRea[0]->currentIndex())
                        : -1;
    if (ticked(OptReaUnl[0]))
        m.EvBroNumOfTim = -1;
    else if (ticked(OptReaForTim[0]) && txtReaTim[0])
        m.EvBroNumOfTim = typedNumber(txtReaTim[0]->text()).value_or(0);
    m.EvBroEndDatFla = ticked(ChkUnt[0]);
    if (dcmbUnt[0] && dcmbUnt[0]->isValidDate())
        m.EvBroEndDat = dcmbUnt[0]->text();

    m.personIds = m_toPids;
    m.computers = m_toMachines;
    if (shownIn(CmbSaveTo, this)) {
        m.saveToPerson = CmbSaveTo->count() > 1 ? itemValue(CmbSaveTo, 1) : 0;
        m.saveToChoice = qMax(0, CmbSaveTo->currentIndex());
    }
    return m;
}

// The reminder columns of what cmbAla and PicAla's date hold.
core::ReminderColumns tzSndMsgFrm::reminderOnScreen() const
{
    auto& st = SharedState::current();
    if (!shownIn(cmbAla, this))
        return core::noReminderColumns();
    const QString shown = cmbAla->currentText();

    // A free reminder: a date kept in PicAla's tag and a time of day.
    const QString day = PicAla ? PicAla->property("tag").toString() : QString();
    if (const auto free = core::freeReminderColumns(day, shown))
        return *free;

    // A reminder before the linked record: a chosen entry or a typed number of minutes.
    std::optional<qint64> minutes;
    const int index = cmbAla->currentIndex();
    if (index >= 0 && cmbAla->itemText(index) == shown && !shown.trimmed().isEmpty() &&
        cmbAla->itemData(index).isValid())
        minutes = cmbAla->itemData(index).toLongLong();
    else
        minutes = typedNumber(shown);
    if (minutes)
        return core::linkedReminderColumns(st.ReminderDate.date(), st.ReminderTime.time(),
                                           *minutes);
    return core::noReminderColumns();
}

} // namespace tzsndmsg
