// Change marks, the save routine's questions and the writes of a new message.
#include "tzSndMsgFrm.h"

#include "ComposeHelpers.h"
#include "common/VbFormat.h"
#include "component/SharedState.h"
#include "component/StationSignal.h"
#include "db/Database.h"
#include "directory/StaffDirectory.h"
#include "store/MessageStore.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/DateCombo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolBar>

namespace tzsndmsg {

namespace vb = common::vb;

namespace {

const QString kSendTitle = QStringLiteral("Send Message");

QString flag(bool on) { return on ? QStringLiteral("-1") : QStringLiteral("0"); }
bool ticked(const QAbstractButton* box) { return box && box->isChecked(); }
// A check box's own value: 1 ticked, 0 not.
QString boxValue(const QAbstractButton* box) { return ticked(box) ? QStringLiteral("1") : QStringLiteral("0"); }

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

struct Column {
    QStringList names, texts;
    void add(const QString& name, const QString& text)
    {
        names << name;
        texts << text;
    }
};

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
        for (QAbstractButton* button : {static_cast<QAbstractButton*>(ChkBro[i]),
                                        static_cast<QAbstractButton*>(ChkFro[i]),
                                        static_cast<QAbstractButton*>(ChkUnt[i]),
                                        static_cast<QAbstractButton*>(ChkRea[i]),
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

void tzSndMsgFrm::SendMessage()
{
    m_suspendMarks = false;
    Set_ChangeFalg(true, 0);
    Set_ChangeFalg(true, 1);
    TB_Small_ButtonClick(QStringLiteral("MsgSend"));
}

int tzSndMsgFrm::SaveMessage(bool ask, bool allowCancel)
{
    using ui::MessageBox;
    auto& st = SharedState::current();
    const qint32 shownId = m_CMID;
    const bool toolbarShown = shownIn(TB, this);
    const QString body = txtMsg ? txtMsg->toPlainText() : QString();

    if (m_CMID != 0) {
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
        const int answer = MessageBox::show({QStringLiteral("Would you like to send current message?"),
                                             kSendTitle, allowCancel ? 3 : 4, 32, 0});
        if (answer != ui::vbYes)
            return answer;
    }

    // A message with recipients is delivered from now on.
    const bool hasRecipients = (txtTo[0] && !txtTo[0]->text().trimmed().isEmpty()) ||
                               (txtTo[1] && !txtTo[1]->text().trimmed().isEmpty());
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
        if (body.trimmed().isEmpty())
            MessageBox::show({QStringLiteral("Nothing to save because there is no document"),
                              kSendTitle, 0, 64, 0});
        finishSave();
        return ui::vbYes;
    }

    if ((!txtTo[0] || txtTo[0]->text().trimmed().isEmpty()) && !st.ReminderFlag) {
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

    QString error;
    if (!writeMessage(&error)) {
        MessageBox::show({QStringLiteral("The message could not be saved; nothing of it was "
                                         "written.\n\n") +
                              error,
                          kSendTitle, 0, 16, 0});
        m_CMID = shownId;
        return ui::vbCancel;
    }
    finishSave();
    return ui::vbYes;
}

void tzSndMsgFrm::finishSave()
{
    Set_ChangeFalg(false, 0);
    refreshInPlace();
}

// Header, detail and addressee rows in one transaction; the station signals once it holds.
bool tzSndMsgFrm::writeMessage(QString* error)
{
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;
    auto store = gic.messageStoreConnection();
    if (!store) {
        *error = QStringLiteral("The message store is not open.");
        return false;
    }

    const qint32 sender =
        Cmb_Emp_Name && Cmb_Emp_Name->currentIndex() >= 0
            ? itemValue(Cmb_Emp_Name, Cmb_Emp_Name->currentIndex())
            : 0;
    const QString login = gic.currentLoginName();
    QStringList tags; // station signals, one per row written
    qint64 cmId = 0;
    bool labOrder = false;

    {
        db::Transaction transaction(*store);
        if (!transaction.ok()) {
            *error = QStringLiteral("A transaction could not be started on the message store: ") +
                     transaction.error();
            return false;
        }

        Column header;
        qint32 type = 256, link = 0;
        if (st.ReminderFlag) {
            type = st.LinkTyp;
            link = st.LinkID;
        } else if (st.LinkTyp == 4) {
            type = 4;
            link = st.LinkID;
        }
        labOrder = st.LinkTyp == 4;
        header.add(QStringLiteral("cmTyp"), QString::number(type));
        header.add(QStringLiteral("cmTraLinID"), QString::number(link));
        header.add(QStringLiteral("cmTim"), vb::format(gic.currentTime(), QStringLiteral("hh:nn ampm")));
        header.add(QStringLiteral("cmDat"), DateCmb_Abs ? DateCmb_Abs->text() : QString());
        header.add(QStringLiteral("cmWho"), login);
        const bool announcedBySupervisor =
            login.trimmed().toUpper() == QLatin1String("SUPERVISOR") && st.AnnouncementMode;
        header.add(QStringLiteral("cmPid"), QString::number(announcedBySupervisor ? 0 : sender));
        header.add(QStringLiteral("cmCat"), m_cmCat);
        header.add(QStringLiteral("cmSubCat"), m_cmSubCat);
        header.add(QStringLiteral("cmWhoMod"), login);
        header.add(QStringLiteral("cmDoc"), txtMsg->toPlainText());
        header.add(QStringLiteral("CMSubjec"), txtSubject->text().trimmed());
        header.add(QStringLiteral("cmDocAftDis"), flag(ticked(chkDoc[0])));
        header.add(QStringLiteral("CMNeeCom"), flag(ticked(chkDoc[1])));
        header.add(QStringLiteral("CMShoOnRep"), flag(ticked(chkDoc[2])));
        header.add(QStringLiteral("cmConRec"), flag(ticked(chkDoc[3])));
        if (!gic.writeRecord(StoreKind, QStringLiteral("CMTable"), QStringLiteral("cmID"), cmId,
                             header.names, header.texts, error))
            return false;
        tags << QStringLiteral("CMCM");

        if (!m_changeMarks[1].isEmpty() && cmId != 0) {
            const bool saveToShown = shownIn(CmbSaveTo, this);
            const qint32 saveToPerson =
                saveToShown && CmbSaveTo->count() > 1 ? itemValue(CmbSaveTo, 1) : 0;
            const int saveToChoice = saveToShown ? qMax(0, CmbSaveTo->currentIndex()) : 0;

            Column detail;
            detail.add(QStringLiteral("Evpid"), QString::number(sender));
            detail.add(QStringLiteral("EvLinID"), QString::number(cmId));
            detail.add(QStringLiteral("EvTyp"), QStringLiteral("0"));
            const QStringList alarm = reminderColumns();
            detail.add(QStringLiteral("EVAlaFla"), alarm[0]);
            detail.add(QStringLiteral("EVAlaStaDatFla"), alarm[1]);
            detail.add(QStringLiteral("EVAlaStaDat"), alarm[2]);
            detail.add(QStringLiteral("EVAlaStaTim"), alarm[3]);
            // Private messages get their detail row too, so that they are listed.
            detail.add(QStringLiteral("EvPri"),
                       ticked(OptPub[1]) ? QStringLiteral("True") : QStringLiteral("False"));
            detail.add(QStringLiteral("EvBroFla"), flag(ticked(ChkBro[0])));
            detail.add(QStringLiteral("EvBroStaDatFla"), flag(ticked(ChkFro[0])));
            if (dCmbFro[0] && dCmbFro[0]->isValidDate())
                detail.add(QStringLiteral("EvBroStaDat"), dCmbFro[0]->text());
            if (cmbFroTim[0] && isTime(cmbFroTim[0]->currentText()))
                detail.add(QStringLiteral("EvBroStaTim"), cmbFroTim[0]->currentText());
            detail.add(QStringLiteral("EvBroReaFla"), boxValue(ChkRea[0]));
            const auto every = txtReaEve[0] ? typedNumber(txtReaEve[0]->text()) : std::nullopt;
            detail.add(QStringLiteral("EvBroReaEve"), QString::number(every.value_or(0)));
            detail.add(QStringLiteral("EvBroReatyp"),
                       cmbRea[0] && cmbRea[0]->currentIndex() >= 0
                           ? QString::number(itemValue(cmbRea[0], cmbRea[0]->currentIndex()))
                           : QStringLiteral("-1"));
            qint64 times = 0;
            if (ticked(OptReaUnl[0]))
                times = -1;
            else if (ticked(OptReaForTim[0]) && txtReaTim[0])
                times = typedNumber(txtReaTim[0]->text()).value_or(0);
            detail.add(QStringLiteral("EvBroNumOfTim"), QString::number(times));
            detail.add(QStringLiteral("EvBroEndDatFla"), boxValue(ChkUnt[0]));
            if (dcmbUnt[0] && dcmbUnt[0]->isValidDate())
                detail.add(QStringLiteral("EvBroEndDat"), dcmbUnt[0]->text());
            qint64 evId = 0;
            if (!gic.writeRecord(StoreKind, QStringLiteral("EvTable"), QStringLiteral("EVID"), evId,
                                 detail.names, detail.texts, error))
                return false;
            tags << QStringLiteral("CMEV");

            // A person or computer in both lists keeps only its To row.
            store::RemoveToFromCc(gic, m_toPids[0], m_toPids[1], QStringLiteral(","));
            store::RemoveToFromCc(gic, m_toMachines[0], m_toMachines[1], QStringLiteral("\n"));
            for (int list = 0; list < 2; ++list) {
                auto addRow = [&](const QString& person, const QString& machine) {
                    qint64 key = 0;
                    if (!gic.writeRecord(
                            StoreKind, QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"),
                            key,
                            {QStringLiteral("BroChkLinID"), QStringLiteral("BroChkPid"),
                             QStringLiteral("BroChkTyp"), QStringLiteral("BroChkAssPID"),
                             QStringLiteral("BroChkSavToFla"), QStringLiteral("BroChkToMac")},
                            {QString::number(cmId), person, QString::number(list),
                             QString::number(saveToPerson), QString::number(saveToChoice), machine},
                            error))
                        return false;
                    tags << QStringLiteral("CMBC");
                    return true;
                };
                const QString& pids = m_toPids[size_t(list)];
                if (pids.size() > 1) {
                    int pos = 0;
                    for (QString id = gic.nextToken(pids, QStringLiteral(","), pos); !id.isEmpty();
                         id = gic.nextToken(pids, QStringLiteral(","), pos))
                        if (!addRow(id.trimmed(), QString()))
                            return false;
                }
                const QString& machines = m_toMachines[size_t(list)];
                int pos = 0;
                for (QString name = gic.nextToken(machines, QStringLiteral("\n"), pos);
                     !name.isEmpty(); name = gic.nextToken(machines, QStringLiteral("\n"), pos))
                    if (!addRow(QStringLiteral("0"), name))
                        return false;
            }
        }

        if (!transaction.commit()) {
            *error = QStringLiteral("The message store did not accept the message: ") +
                     transaction.error();
            return false;
        }
    }

    m_CMID = qint32(cmId);
    gic.releaseAfterWrite(*store);
    WriteStationSignals(gic, tags);

    if (labOrder && cmId != 0) {
        // The lab-order link is told only of a message that is really stored.
        try {
            const qint32 person = gic.employeeOfLogin(login);
            const QString who = person != 0 ? QString::number(person) : login;
            if (gic.announceLabOrderMessage(who, cmId, st.LinkID))
                st.LastSavedMessageID = qint32(cmId);
        } catch (...) {
        }
    }
    return true;
}

// EVAlaFla, EVAlaStaDatFla, EVAlaStaDat, EVAlaStaTim of the reminder on screen.
QStringList tzSndMsgFrm::reminderColumns() const
{
    auto& st = SharedState::current();
    const QString none = vb::cstr(common::AutoDate::zero());
    if (!shownIn(cmbAla, this))
        return {QStringLiteral("0"), QStringLiteral("0"), none, none};
    const QString shown = cmbAla->currentText();

    // A free reminder: a date kept in PicAla's tag and a time of day.
    const QString day = PicAla ? PicAla->property("tag").toString() : QString();
    const auto time = vb::parseDate(shown);
    const auto date = vb::parseDate(day);
    if (time && !shown.trimmed().isEmpty() && date && !day.trimmed().isEmpty()) {
        const QString timeText = vb::format(*time, QStringLiteral("hh:nn am/pm"));
        const auto asTime = vb::parseDate(timeText);
        return {QStringLiteral("-1"), QStringLiteral("-1"), vb::cstr(date->datePart()),
                vb::cstr(asTime ? asTime->timePart() : time->timePart())};
    }

    // A reminder before the linked record: a chosen entry or a typed number of minutes.
    std::optional<qint64> minutes;
    const int index = cmbAla->currentIndex();
    if (index >= 0 && cmbAla->itemText(index) == shown && !shown.trimmed().isEmpty() &&
        cmbAla->itemData(index).isValid())
        minutes = cmbAla->itemData(index).toLongLong();
    else
        minutes = typedNumber(shown);
    if (minutes) {
        const common::AutoDate moment =
            common::AutoDate::fromDateAndTime(st.ReminderDate.date(), st.ReminderTime.time())
                .addMinutes(-int(*minutes));
        const auto day2 = vb::parseDate(vb::format(moment, QStringLiteral("mm/dd/yyyy")));
        const auto time2 = vb::parseDate(vb::format(moment, QStringLiteral("hh:nn am/pm")));
        return {QStringLiteral("-1"), QStringLiteral("-1"),
                vb::cstr(day2 ? day2->datePart() : moment.datePart()),
                vb::cstr(time2 ? time2->timePart() : moment.timePart())};
    }
    return {QStringLiteral("0"), QStringLiteral("0"), none, none};
}

} // namespace tzsndmsg
