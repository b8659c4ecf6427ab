// The compose form: loading a stored message, the blank new message, replies and forwards,
// and the reminder list.
#include "ComposeHelpers.h"
#include "ConfirmPanel.h"
#include "MessageList.h"
#include "common/VbFormat.h"
#include "core/Message.h"
#include "core/MessageRows.h"
#include "directory/StaffDirectory.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "ui/DateCombo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextCursor>
#include <algorithm>

namespace tzsndmsg {

namespace vb = common::vb;

namespace {

const QString kTag = QStringLiteral("tag");

// Selects the entry with that text, else shows the text in an editable box.
void setComboText(QComboBox* combo, const QString& value)
{
    if (!combo)
        return;
    const int at = value.isEmpty() ? -1 : combo->findText(value);
    combo->setCurrentIndex(at);
    if (combo->isEditable())
        combo->setEditText(value);
}

void setChecked(QAbstractButton* box, bool on)
{
    if (box)
        box->setChecked(on);
}

// Stops the change marks for the life of the object.
class SuspendMarks {
public:
    explicit SuspendMarks(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~SuspendMarks() { m_flag = m_old; }

private:
    bool& m_flag;
    bool m_old;
};

// The office setting read as a yes/no value.
bool settingIsTrue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    return !(text == QLatin1String("false") || text == QLatin1String("0") ||
             text == QLatin1String("no") || text == QLatin1String("n"));
}

} // namespace

QString tzSndMsgFrm::currentLoginName() const
{
    auto& st = SharedState::current();
    return st.GIC ? st.GIC->currentLoginName().trimmed().toUpper() : QString();
}

void tzSndMsgFrm::LoadMessage(int storeKind, qint32 broChkId, qint32 cmId)
{
    auto& st = SharedState::current();
    if (!st.GIC)
        return;
    HostServices& gic = *st.GIC;
    if (st.ReplyFlag < 1 && !m_suspendMarks)
        st.ReplyBCID = 0;
    m_openReminderId = 0;

    std::optional<core::StoredMessage> message;
    if (broChkId != 0) {
        message = core::readMessageOfAddressee(gic, broChkId);
    } else if (cmId != 0) {
        message = core::readMessage(gic, cmId);
    } else {
        const qint32 rowId = currentRowCmId();
        if (rowId == 0)
            return;
        message = core::readLiveMessage(gic, rowId);
    }
    if (!message)
        return;
    const core::MessageHeader& header = message->header;

    try {
        SuspendMarks suspend(m_suspendMarks);
        fillFromMessage(*message, broChkId);

        m_CMDBName = storeKind == 9   ? QStringLiteral("MESSAGE.MDB")
                     : storeKind == 3 ? QStringLiteral("COMMENT.MDB")
                                      : QString();

        if (broChkId == 0) {
            m_CMID = header.cmID;
            setBodyReadOnly(true);
            if (m_messages->hasCurrentRow())
                m_listPosition = m_messages->currentPosition();
            if (QAction* del = tbButton(QStringLiteral("Delete")))
                del->setEnabled(true);
        } else {
            setBodyReadOnly(false);
            bool quote = st.ReplyFlag == 2 || st.ReplyFlag == 3;
            if (st.ReplyFlag == 1)
                quote = settingIsTrue(gic.readSetting(QStringLiteral("DEFAULT_OFFICE_SETUP"),
                                                      QStringLiteral("IncOriMsg"), 0, true));
            const QString toText = txtTo[0] ? txtTo[0]->text() : QString();
            const QString ccText = txtTo[1] ? txtTo[1]->text() : QString();
            const qint32 authorId = header.cmPid;
            txtMsg->setPlainText(quote ? compose::quotedOriginal(gic.personName(authorId), toText,
                                                                 ccText, header.CMSubjec,
                                                                 header.cmDoc)
                                       : QString());
            m_toPids[0] = authorId != 0 ? QString::number(authorId) + QLatin1Char(',') : QString();
            m_toPids[1].clear();
            m_toMachines[0].clear();
            m_toMachines[1].clear();
            RefreshToBoxes();
            // An answer goes now and once: the original's delivery start, repeats and
            // reminder were the original's (a reply to a weekly message would repeat weekly).
            clearSchedule();
            updateRepeatControls();
            if (QAction* del = tbButton(QStringLiteral("Delete")))
                del->setEnabled(false);
            m_CMID = 0;
        }
    } catch (const std::exception&) {
        // A load that fails part way leaves what was filled.
    }
    Set_ChangeFalg(false, 0);
}

void tzSndMsgFrm::fillFromMessage(const core::StoredMessage& message, qint32 broChkId)
{
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;
    const core::MessageHeader& header = message.header;

    txtMsg->setPlainText(header.cmDoc);
    txtMsg->setProperty("tag",
                        header.cmDocAftDis ? QStringLiteral("True") : QStringLiteral("False"));

    // The confirm panel's parts.
    const auto date = vb::parseDate(header.cmDat);
    const auto time = vb::parseDate(header.cmTim);
    const QString fromLine =
        QStringLiteral("From ") + header.cmWho + QStringLiteral(" at ") +
        // the date written as in the list and the Date box
        (date ? vb::format(*date, QStringLiteral("mm/dd/yyyy")) : header.cmDat) +
        QStringLiteral(" ") +
        (time ? vb::format(*time, QStringLiteral("Medium Time")) : header.cmTim);
    const qint32 recipientRow = broChkId != 0 ? broChkId : currentBroChkID();
    bool confirmed = false;
    if (recipientRow != 0) {
        // The row is most often among the To and Cc rows just read with the message.
        const auto inHand = std::find_if(
            message.addressees.cbegin(), message.addressees.cend(),
            [recipientRow](const core::Addressee& a) { return a.BroChkID == recipientRow; });
        if (inHand != message.addressees.cend()) {
            confirmed = inHand->isRead();
        } else {
            const auto row = core::readAddressee(gic, recipientRow);
            confirmed = row && row->isRead();
        }
    }
    const QString login = currentLoginName();
    const bool mayMark =
        !confirmed &&
        gic.checkAnyRight(login,
                          {QStringLiteral("Tim_Sup_Rig"), QStringLiteral("Tim_Mar_Pay_Rel_Mes")},
                          QStringLiteral("PWAWriFla"), QStringLiteral("tzSndMsg"));
    PicConfirm->showMessage(fromLine, header.CMNeeCom, mayMark);

    const bool isPrivate = message.detail.EvPri;
    setChecked(OptPub[1], isPrivate);
    setChecked(OptPub[0], !isPrivate);
    SelectEmployeeOfLogin(Cmb_Emp_Name, currentLoginName());
    if (DateCmb_Abs)
        DateCmb_Abs->setText(vb::format(gic.currentDate(), QStringLiteral("mm/dd/yyyy")));
    txtSubject->setText(header.CMSubjec);
    const std::array<bool, 4> flags{header.cmDocAftDis, header.CMNeeCom, header.CMShoOnRep,
                                    header.cmConRec};
    const bool receipt = broChkId != 0 && st.ReplyFlag == 3;
    for (size_t i = 0; i < flags.size(); ++i)
        setChecked(chkDoc[i], !receipt && flags[i]);

    // The record the message is linked to.
    st.ReminderFlag = false;
    st.LinkTyp = header.linkType();
    st.LinkID = header.cmTraLinID;
    st.ReminderFlag = header.isLinkedReminder();
    if (st.LinkTyp == 1 || st.LinkTyp == 2) {
        if (const auto record = core::readLinkedRecord(gic, st.LinkTyp, st.LinkID)) {
            st.ReminderDate = record->date.dateTime();
            st.ReminderTime = record->time.dateTime();
        } else {
            st.ReminderFlag = false;
        }
    }

    fillReminderAndBroadcast(message.detail);

    // Recipients, from the rows of a message that has its detail row.
    for (int i = 0; i < 2; ++i) {
        m_toPids[size_t(i)].clear();
        m_toMachines[size_t(i)].clear();
    }
    bool saveToChosen = false;
    for (const core::Addressee& row : message.addressees) {
        const size_t list = row.BroChkTyp == 1 ? 1 : 0;
        // A computer confirmed there holds the employee too; it stays the computer addressed.
        if (row.BroChkPID != 0 && row.BroChkToMac.trimmed().isEmpty())
            m_toPids[list] += QString::number(row.BroChkPID) + QLatin1Char(',');
        else
            m_toMachines[list] += row.BroChkToMac + QLatin1Char('\n');
        if (!saveToChosen && CmbSaveTo) {
            if (row.BroChkSavToFla >= 0 && row.BroChkSavToFla < CmbSaveTo->count())
                CmbSaveTo->setCurrentIndex(row.BroChkSavToFla);
            saveToChosen = true;
        }
    }
    const bool rebuilt = RefreshToBoxes();
    if (st.ReminderFlag && !rebuilt)
        BuildReminderChoices(true);
}

void tzSndMsgFrm::fillReminderAndBroadcast(const core::MessageDetail& detail)
{
    auto& st = SharedState::current();
    const QString today = vb::format(st.GIC->currentDate(), QStringLiteral("mm/dd/yyyy"));

    // The reminder.
    if (cmbAla)
        cmbAla->setProperty("tag", QString());
    const bool alarm = detail.EVAlaFla;
    const bool alarmDated = detail.EVAlaStaDatFla;
    if (lblRem)
        lblRem->setProperty("tag", alarm ? (alarmDated ? QStringLiteral("-1") : QStringLiteral("0"))
                                         : QString());
    if (alarm && alarmDated) {
        if (PicAla)
            PicAla->setProperty("tag", detail.EVAlaStaDat);
        const auto time = vb::parseDate(detail.EVAlaStaTim);
        const QString shown = time ? vb::format(*time, QStringLiteral("hh:nn am/pm")) : QString();
        if (cmbAla) {
            cmbAla->setProperty("tag", shown);
            setComboText(cmbAla, shown);
        }
    } else {
        if (PicAla)
            PicAla->setProperty("tag", today);
        setComboText(cmbAla, QString());
    }

    // The broadcast and repeat settings of group 0.
    auto dateText = [](const QString& value) {
        return value.trimmed().isEmpty() ? QStringLiteral("__/__/__") : value;
    };
    setChecked(ChkBro[0], detail.EvBroFla);
    setChecked(ChkFro[0], detail.EvBroStaDatFla);
    if (dCmbFro[0])
        dCmbFro[0]->setText(dateText(detail.EvBroStaDat));
    const auto start = vb::parseDate(detail.EvBroStaTim);
    setComboText(cmbFroTim[0],
                 start ? vb::format(*start, QStringLiteral("h:nn am/pm")) : QString());
    setChecked(ChkRea[0], detail.EvBroReaFla);
    if (txtReaEve[0])
        txtReaEve[0]->setText(detail.EvBroReaEve != 0 ? QString::number(detail.EvBroReaEve)
                                                      : QString());
    if (cmbRea[0]) {
        int at = -1;
        if (detail.EvBroReaTyp && *detail.EvBroReaTyp != -1)
            for (int i = 0; i < cmbRea[0]->count() && at < 0; ++i)
                if (itemValue(cmbRea[0], i) == *detail.EvBroReaTyp)
                    at = i;
        cmbRea[0]->setCurrentIndex(at);
    }
    const qint64 times = detail.EvBroNumOfTim;
    // The two options are exclusive: 0 reads back as "for" with no number.
    setChecked(times == -1 ? OptReaUnl[0] : OptReaForTim[0], true);
    if (txtReaTim[0])
        txtReaTim[0]->setText(times > 0 ? QString::number(times) : QString());
    setChecked(ChkUnt[0], detail.EvBroEndDatFla);
    if (dcmbUnt[0])
        dcmbUnt[0]->setText(dateText(detail.EvBroEndDat));
    updateRepeatControls();
}

void tzSndMsgFrm::setBodyReadOnly(bool readOnly)
{
    m_bodyReadOnly = readOnly;
    if (txtMsg)
        txtMsg->setReadOnly(readOnly);
    updateConfirmPanel();
}

void tzSndMsgFrm::setDraft(const QString& subject, const QString& body)
{
    if (!subject.isEmpty())
        txtSubject->setText(subject);
    if (!body.isEmpty())
        txtMsg->setPlainText(body);
}

void tzSndMsgFrm::resetToNewMessage()
{
    auto& st = SharedState::current();
    {
        SuspendMarks suspend(m_suspendMarks);
        m_CMID = 0;
        m_shownRowCmId = 0;
        m_openReminderId = 0;
        setBodyReadOnly(false);
        txtMsg->clear();
        txtMsg->setProperty("tag", QStringLiteral("False"));
        txtSubject->clear();
        for (int i = 0; i < 2; ++i) {
            m_toPids[size_t(i)].clear();
            m_toMachines[size_t(i)].clear();
            if (txtTo[size_t(i)])
                txtTo[size_t(i)]->clear();
        }
        for (QCheckBox* box : chkDoc)
            setChecked(box, false);
        setChecked(OptPub[0], true);
        setChecked(OptPub[1], false);
        if (st.GIC && DateCmb_Abs)
            DateCmb_Abs->setText(vb::format(st.GIC->currentDate(), QStringLiteral("mm/dd/yyyy")));
        SelectEmployeeOfLogin(Cmb_Emp_Name, currentLoginName());

        clearSchedule();
        fillSaveToList();
        if (QAction* del = tbButton(QStringLiteral("Delete")))
            del->setEnabled(false);
        BuildReminderChoices(st.ReminderFlag);
        updateRepeatControls();
    }
    Set_ChangeFalg(false, 0);
}

void tzSndMsgFrm::clearSchedule()
{
    auto& st = SharedState::current();
    for (int g = 0; g < 2; ++g) {
        const size_t i = size_t(g);
        setChecked(ChkBro[i], false);
        setChecked(ChkFro[i], false);
        setChecked(ChkUnt[i], false);
        setChecked(ChkRea[i], false);
        if (dCmbFro[i])
            dCmbFro[i]->setText(QStringLiteral("__/__/__"));
        if (dcmbUnt[i])
            dcmbUnt[i]->setText(QStringLiteral("__/__/__"));
        setComboText(cmbFroTim[i], QString());
        if (cmbRea[i])
            cmbRea[i]->setCurrentIndex(-1);
        if (txtReaEve[i])
            txtReaEve[i]->clear();
        if (txtReaTim[i])
            txtReaTim[i]->clear();
        setChecked(OptReaUnl[i], true); // as the window is built
    }
    setComboText(cmbAla, QString());
    if (cmbAla)
        cmbAla->setProperty("tag", QString());
    if (PicAla && st.GIC)
        PicAla->setProperty("tag", vb::format(st.GIC->currentDate(), QStringLiteral("mm/dd/yyyy")));
    if (lblRem)
        lblRem->setProperty("tag", QString());
}

void tzSndMsgFrm::fillSaveToList()
{
    if (!CmbSaveTo)
        return;
    auto& st = SharedState::current();
    CmbSaveTo->clear();
    if (st.PatientID == 0 || !st.GIC)
        return;
    CmbSaveTo->addItem(QStringLiteral("Save to Recipient's Notes after Display"), 0);
    QString name = st.GIC->personName(st.PatientID).trimmed();
    if (name.isEmpty())
        name = QStringLiteral("Patient ID ") + QString::number(st.PatientID);
    CmbSaveTo->addItem(QStringLiteral("Save to ") + name + QStringLiteral("'s Notes after Display"),
                       st.PatientID);
    CmbSaveTo->setCurrentIndex(st.DefaultSaveToPID ? 1 : 0);
}

void tzSndMsgFrm::StartReplyOrForward(qint32 broChkId)
{
    if (broChkId == 0)
        return;
    auto& st = SharedState::current();
    HostServices& gic = *st.GIC;
    const bool freeze = !m_suspendMarks;
    if (freeze)
        gic.freezeWindow(this);
    if (m_changed && SaveMessage(true, true) == 2) {
        if (freeze)
            gic.freezeWindow(nullptr);
        return;
    }
    LoadMessage(StoreKind, broChkId, 0);
    setChecked(chkDoc[3], false);
    txtMsg->setPlainText(st.Notes + txtMsg->toPlainText());

    const QString subject = txtSubject->text();
    switch (st.ReplyFlag) {
    case 1:
        txtSubject->setText(compose::prefixedSubject(subject, QStringLiteral("RE: ")));
        setWindowTitle(QStringLiteral("Reply Message"));
        break;
    case 3:
        txtSubject->setText(compose::prefixedSubject(subject, QStringLiteral("RR: ")));
        setWindowTitle(QStringLiteral("Return Receipt"));
        break;
    case 2:
        txtSubject->setText(compose::prefixedSubject(subject, QStringLiteral("FW: ")));
        m_toPids[0].clear();
        m_toMachines[0].clear();
        RefreshToBox(0);
        setWindowTitle(QStringLiteral("Forward Message"));
        break;
    default:
        break;
    }
    m_CMID = 0;
    Set_ChangeFalg(false, 0);
    if (freeze)
        gic.freezeWindow(nullptr);
}

void tzSndMsgFrm::BuildReminderChoices(bool relative)
{
    if (!cmbAla)
        return;
    auto& st = SharedState::current();
    const QString before = cmbAla->currentText();
    const bool wasChosen =
        cmbAla->currentIndex() > 0 && cmbAla->itemText(cmbAla->currentIndex()) == before;
    const bool oldBlock = cmbAla->blockSignals(true);
    cmbAla->clear();
    cmbAla->addItem(QString());
    if (relative) {
        // A reminder opened again offers the moment it has (date kept in PicAla's tag) as a
        // choice of its own, first: sent without another choice, it keeps that moment.
        const QString stored = cmbAla->property("tag").toString().trimmed();
        const bool hasStored = !stored.isEmpty() && vb::parseDate(stored).has_value();
        if (hasStored)
            cmbAla->addItem(stored);
        for (const auto& choice : compose::relativeReminderChoices())
            cmbAla->addItem(choice.text, choice.minutes);
        // A choice made, or a number typed, before the list was rebuilt stays.
        int again = wasChosen ? cmbAla->findText(before) : -1;
        if (again < 0 && hasStored && before == stored)
            again = 1;
        cmbAla->setCurrentIndex(again);
        if (again < 0 && cmbAla->isEditable())
            cmbAla->setEditText(vb::isNumeric(before) ? before : QString());
    } else {
        const QTime now = st.GIC ? st.GIC->currentTime() : QTime::currentTime();
        std::optional<QTime> chosen;
        const QString tag = cmbAla->property("tag").toString();
        if (const auto moment = vb::parseDate(tag); moment && !tag.trimmed().isEmpty()) {
            chosen = moment->time();
            const QString shown = vb::format(*chosen, QStringLiteral("hh:nn am/pm"));
            cmbAla->addItem(shown);
            cmbAla->setCurrentIndex(1);
        } else {
            cmbAla->setCurrentIndex(-1);
            if (cmbAla->isEditable())
                cmbAla->setEditText(QString());
        }
        const int keep = cmbAla->currentIndex();
        for (const QString& entry : compose::freeReminderTimes(now, chosen, st.ClockInterval))
            cmbAla->addItem(entry);
        cmbAla->setCurrentIndex(keep);
    }
    cmbAla->blockSignals(oldBlock);
}

void tzSndMsgFrm::Setup_Reminder()
{
    auto& st = SharedState::current();
    if (!st.ReminderFlag || !st.GIC)
        return;
    HostServices& gic = *st.GIC;
    const QString login = gic.currentLoginName();
    const qint32 existing = st.LinkTyp >= 1 && st.LinkID != 0
                                ? core::findLinkedReminder(gic, st.LinkTyp, st.LinkID, login)
                                : 0;
    if (existing != 0) {
        if (existing == m_CMID)
            return;
        gic.freezeWindow(this);
        if (m_changed && SaveMessage(true, true) == 2) {
            gic.freezeWindow(nullptr);
            return;
        }
        LoadMessage(StoreKind, 0, existing);
        setBodyReadOnly(false); // the user's own reminder is open for editing
        if (m_CMID == existing)
            m_openReminderId = existing; // sending updates it: one reminder per record
        st.ReminderFlag = true;
        Set_ChangeFalg(false, 0);
        gic.freezeWindow(nullptr);
        return;
    }
    txtMsg->setPlainText(st.Notes);
    BuildReminderChoices(true);
    setWindowTitle(QStringLiteral("New Reminder for ") + login + QStringLiteral(" on ") +
                   vb::format(st.ReminderDate.date(), QStringLiteral("mm/dd/yy")) +
                   QStringLiteral(" at ") +
                   vb::format(st.ReminderTime.time(), QStringLiteral("hh:nn am/pm")));
}

void tzSndMsgFrm::updateRepeatControls()
{
    for (size_t i = 0; i < 2; ++i) {
        const bool from = ChkFro[i] && ChkFro[i]->isChecked();
        if (dCmbFro[i])
            dCmbFro[i]->setEnabled(from);
        if (cmbFroTim[i])
            cmbFroTim[i]->setEnabled(from);
        const bool until = ChkUnt[i] && ChkUnt[i]->isChecked();
        if (dcmbUnt[i])
            dcmbUnt[i]->setEnabled(until);
    }
}

} // namespace tzsndmsg
