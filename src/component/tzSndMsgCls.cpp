#include "tzsndmsg/tzSndMsgCls.h"

#include "common/VbFormat.h"
#include "core/LoginList.h"
#include "core/MessageWrite.h"
#include "directory/StaffDirectory.h"
#include "events/EMS_EventsFrm.h"
#include "holidays/HolidayStart.h"
#include "messages/ShowMessageWindow.h"
#include "messages/tzSndMsgFrm.h"
#include "setup/SetupStart.h"
#include "state/Help.h"
#include "state/HostDialogs.h"
#include "state/SharedState.h"
#include "store/MessageStore.h"
#include "tzsndmsg/WorkstationConfig.h"
#include "tzsndmsg/tzGlobal.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"
#include "tzsndmsg/ui/Unattended.h"
#include "ui/BusyPointer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <stdexcept>

namespace tzsndmsg {

namespace {

void unload(std::unique_ptr<tzSndMsgFrm>& window)
{
    if (!window)
        return;
    window->Unload();
    window.reset();
}

// Where the office lives when the component has to make its own services object: the
// workstation's configuration, as the host program reads it.
tzglob::Config defaultConfig(const QString& loginName)
{
    tzglob::WorkstationConfig config = tzglob::WorkstationConfig::load();
    config.set(config.loginName, loginName, QStringLiteral("SendMessage"));
    return config.toConfig();
}

// SendMessage keeps its documented 0 when it cannot make an office of its own, but neither the
// host (its log) nor the user (who asked for the window) is left guessing why nothing opened.
void reportNoOffice(const QString& why)
{
    const QString reason =
        why.isEmpty() ? QStringLiteral("the office services did not start") : why;
    qWarning().noquote() << "tzsndmsg: SendMessage was given no services object and found no "
                            "office to open:"
                         << reason;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    ui::MessageBox::show(
        {QStringLiteral("The message window cannot open: this workstation has no office set up "
                        "for messages.") +
             QStringLiteral("\n\n") + reason + QStringLiteral("\n\n") +
             QStringLiteral("Ask the person who set up the office programs to set up the office "
                            "database and its data folder."),
         QStringLiteral("Send Message"), 0, 48, 0});
}

} // namespace

tzSndMsgCls::tzSndMsgCls()
{
    SharedState& state = SharedState::current();
    state.resetInstanceValues();
    installHostDialogs(state.GIC);
}

tzSndMsgCls::~tzSndMsgCls()
{
    unload(m_window);
}

std::shared_ptr<void> tzSndMsgCls::PV() const
{
    return SharedState::current().PV;
}
void tzSndMsgCls::setPV(std::shared_ptr<void> value)
{
    SharedState::current().PV = std::move(value);
}
std::shared_ptr<void> tzSndMsgCls::GC() const
{
    return SharedState::current().GC;
}
void tzSndMsgCls::setGC(std::shared_ptr<void> value)
{
    SharedState::current().GC = std::move(value);
}
std::shared_ptr<void> tzSndMsgCls::DAC() const
{
    return SharedState::current().DAC;
}
void tzSndMsgCls::setDAC(std::shared_ptr<void> value)
{
    SharedState::current().DAC = std::move(value);
}
std::shared_ptr<HostServices> tzSndMsgCls::GIC() const
{
    return SharedState::current().GIC;
}

void tzSndMsgCls::setGIC(std::shared_ptr<HostServices> services)
{
    SharedState& state = SharedState::current();
    state.GIC = std::move(services);
    if (!state.GIC)
        return;
    installHostDialogs(state.GIC);
    state.CurrentEmployeeID = state.GIC->employeeOfLogin(state.GIC->currentLoginName());
}

void tzSndMsgCls::setLocationID(qint32 locationId)
{
    if (auto services = SharedState::current().GIC)
        services->setLocation(locationId);
}

QVariant tzSndMsgCls::Event_Start()
{
    SetupHelpFile();
    try {
        ui::hourglass();
        auto window = std::make_unique<EMS_EventsFrm>();
        window->load();
        ui::showModal(*window);
    } catch (...) {
        // A window that fails to open leaves the caller where it was.
    }
    // The window ends its hourglass when it shows; one that was never shown cannot.
    ui::normalPointer();
    return QVariant();
}

void tzSndMsgCls::setSndMsgHistoryButtonVisible(bool visible)
{
    SharedState::current().SndMsgHistoryButtonVisible = visible;
}
bool tzSndMsgCls::MsgHisOn() const
{
    return SharedState::current().MsgHisOn;
}
void tzSndMsgCls::setMsgHisOn(bool on)
{
    SharedState::current().MsgHisOn = on;
}

QVariant tzSndMsgCls::Message_Stop()
{
    try {
        unload(m_window);
    } catch (...) {
        m_window.reset();
    }
    return QVariant();
}

// Kept for the main application's sake; the component has no use for them.
bool tzSndMsgCls::MultiUser() const
{
    return false;
}
void tzSndMsgCls::setMultiUser(bool) {}
QString tzSndMsgCls::Path() const
{
    return QString();
}
void tzSndMsgCls::setPath(const QString&) {}

QVariant tzSndMsgCls::Message_Start()
{
    SetupHelpFile();
    try {
        if (!m_window)
            m_window = std::make_unique<tzSndMsgFrm>();
        ShowMessageWindow(m_window, false);
    } catch (...) {
        m_window.reset();
    }
    return QVariant();
}

QVariant tzSndMsgCls::Message_ShowReceived(qint32 BroChkID)
{
    SharedState& st = SharedState::current();
    const bool msgHisOn = st.MsgHisOn;
    const bool historyButton = st.SndMsgHistoryButtonVisible;
    st.ShowBroChkID = BroChkID;
    st.MsgHisOn = true;
    st.SndMsgHistoryButtonVisible = true;
    Message_Start();
    st.ShowBroChkID = 0;
    st.MsgHisOn = msgHisOn;
    st.SndMsgHistoryButtonVisible = historyButton;
    return QVariant();
}

bool tzSndMsgCls::Message_ShowInOpenWindow(qint32 BroChkID)
{
    if (!m_window || !m_window->isVisible())
        return false;
    m_window->showArrival(BroChkID);
    return true;
}

qint32 tzSndMsgCls::SendMessage(QString Subject, QString BodyText, LinkIDTypes LinkType,
                                qint32 LinkToID, QString LoginName, qint32 LocationID)
{
    SharedState& state = SharedState::current();
    qint32 result = 0;
    std::shared_ptr<HostServices> own;
    std::unique_ptr<tzSndMsgFrm> window;
    {
        ui::BusyPointer busy;
        try {
            bool ready = true;
            if (!state.GIC) {
                auto global = std::make_shared<tzglob::tzGlobal>(defaultConfig(LoginName));
                QString error;
                own = global;
                state.GIC = global;
                ready = global->open(&error) && global->startUp();
                if (!ready) {
                    busy.release(); // the box is read with the normal pointer
                    reportNoOffice(error);
                }
                if (ready) {
                    global->setApplication(QCoreApplication::applicationDirPath() +
                                               QLatin1Char('/'),
                                           QStringLiteral("tzsndmsg"));
                    global->setLocation(LocationID);
                    global->setLogin(LoginName);
                    installHostDialogs(state.GIC);
                }
            }
            if (ready) {
                SetupHelpFile();
                window = std::make_unique<tzSndMsgFrm>();
                setLinkTyp(LinkType);
                setLinkID(LinkToID);
                setReplyBCID(0);
                setReplyFlag(mfRegular);
                setReplyAutoSend(false);
                setMsgHisOn(false);
                setSndMsgHistoryButtonVisible(false);
                result = ShowMessageWindow(window, false, Subject, BodyText);
            }
        } catch (...) {
            result = 0;
        }

        try {
            unload(window);
        } catch (...) {
        }
        if (own) {
            try {
                own->shutDown();
            } catch (...) {
            }
            if (state.GIC == own)
                state.GIC.reset();
            own.reset();
        }
    }
    return result;
}

QString tzSndMsgCls::LoginName() const
{
    return QString();
}
void tzSndMsgCls::setLoginName(const QString&) {}
qint32 tzSndMsgCls::PatientID() const
{
    return SharedState::current().PatientID;
}
void tzSndMsgCls::setPatientID(qint32 id)
{
    SharedState::current().PatientID = id;
}
bool tzSndMsgCls::DefaultSaveToPID() const
{
    return SharedState::current().DefaultSaveToPID;
}
void tzSndMsgCls::setDefaultSaveToPID(bool value)
{
    SharedState::current().DefaultSaveToPID = value;
}
qint32 tzSndMsgCls::ReplyBCID() const
{
    return SharedState::current().ReplyBCID;
}
void tzSndMsgCls::setReplyBCID(qint32 id)
{
    SharedState::current().ReplyBCID = id;
}
MessageFlag tzSndMsgCls::ReplyFlag() const
{
    return static_cast<MessageFlag>(SharedState::current().ReplyFlag);
}
void tzSndMsgCls::setReplyFlag(MessageFlag flag)
{
    SharedState::current().ReplyFlag = flag;
}
void tzSndMsgCls::setNotes(const QString& notes)
{
    SharedState::current().Notes = notes;
}
void tzSndMsgCls::setReminderFlag(bool flag)
{
    SharedState::current().ReminderFlag = flag;
}
void tzSndMsgCls::setReminderDate(const QDateTime& date)
{
    SharedState::current().ReminderDate = date;
}
void tzSndMsgCls::setReminderTime(const QDateTime& time)
{
    SharedState::current().ReminderTime = time;
}
void tzSndMsgCls::setReplyAutoSend(bool value)
{
    SharedState::current().ReplyAutoSend = value;
}
void tzSndMsgCls::setLinkTyp(LinkIDTypes type)
{
    SharedState::current().LinkTyp = type;
}
void tzSndMsgCls::setLinkID(qint32 id)
{
    SharedState::current().LinkID = id;
}

QVariant tzSndMsgCls::Holiday_Start()
{
    runHolidayWindow();
    return QVariant();
}

QVariant tzSndMsgCls::Setup_Start()
{
    runStaffSetupWindow(SharedState::current().GIC);
    return QVariant();
}

bool tzSndMsgCls::HolidayChanged() const
{
    return SharedState::current().HolidayChanged;
}
void tzSndMsgCls::setHolidayChanged(bool changed)
{
    SharedState::current().HolidayChanged = changed;
}
bool tzSndMsgCls::RightToEdit() const
{
    return SharedState::current().RightToEdit;
}
void tzSndMsgCls::setRightToEdit(bool value)
{
    SharedState::current().RightToEdit = value;
}
qint16 tzSndMsgCls::ClockInterval() const
{
    return SharedState::current().ClockInterval;
}
void tzSndMsgCls::setClockInterval(qint16 minutes)
{
    SharedState::current().ClockInterval = minutes;
}

void tzSndMsgCls::AnnouncementSend(QString& tx, QString& toID, QString& ToMac, QString& Cat,
                                   QString& subCat)
{
    AnnouncementSend(tx, toID, ToMac, Cat, subCat, QDateTime());
}

void tzSndMsgCls::AnnouncementSend(QString& tx, QString& toID, QString& ToMac, QString& Cat,
                                   QString& subCat, const QDateTime& startsAt)
{
    SharedState& state = SharedState::current();
    if (!state.GIC)
        throw SendError("AnnouncementSend: no services object (GIC) has been handed over.");
    // As the send of the window: no text, nothing to save.
    if (tx.trimmed().isEmpty())
        throw SendError("The announcement was not sent: Nothing to save because there is no "
                        "document.");

    // A person who has left the office sends nothing, whichever way the host asks.
    const core::ViewLogin sender =
        core::ResolveViewLogin(*state.GIC, state.GIC->currentLoginName());
    if (!sender.error.isEmpty())
        throw SendError(QStringLiteral("The announcement was not sent: the sender cannot be "
                                       "checked (%1)")
                            .arg(sender.error)
                            .simplified()
                            .toStdString());
    if (sender.released)
        throw SendError(QStringLiteral("The announcement was not sent: %1 is the login of a person "
                                       "who has left the office.")
                            .arg(sender.name)
                            .toStdString());

    // The addressees are checked before anything is written: an announcement is sent whole, to
    // the persons and computers asked for, or not at all.
    QList<qint32> found;
    QStringList unknown, released;
    QString error;
    if (!store::CheckPersonIds(*state.GIC, toID, found, unknown, &error, &released))
        throw SendError(("The announcement was not sent: the addressees cannot be checked (" +
                         error + QLatin1Char(')'))
                            .simplified()
                            .toStdString());
    if (!unknown.isEmpty() || !released.isEmpty()) {
        QStringList why;
        if (!unknown.isEmpty())
            why << QStringLiteral("no such person: ") + unknown.join(QStringLiteral(", "));
        if (!released.isEmpty())
            why << QStringLiteral("left the office: ") + released.join(QStringLiteral(", "));
        throw SendError(
            (QStringLiteral("The announcement was not sent: ") + why.join(QStringLiteral("; ")))
                .simplified()
                .toStdString());
    }
    // Computer names are upper case wherever a workstation compares them.
    QString machines;
    QStringList machineList;
    for (const QString& name : ToMac.toUpper().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!name.trimmed().isEmpty() && !machineList.contains(name.trimmed()))
            machineList << name.trimmed();
    for (const QString& name : machineList)
        machines += name + QLatin1Char('\n');
    if (found.isEmpty() && machines.isEmpty())
        throw SendError("The announcement was not sent: it has no addressee.");
    // Each addressee once; the lists end every entry with its separator.
    QString persons;
    QList<qint32> listed;
    for (qint32 id : found)
        if (!listed.contains(id)) {
            listed << id;
            persons += QString::number(id) + QLatin1Char(',');
        }

    // The login list as the window reads it; nothing here may ask anyone anything.
    ui::Unattended unattended(ui::Unattended::Answers::Proceed);
    try {
        LoadLoginNames();
    } catch (const std::exception&) {
    }
    state.AnnouncementMode = true;
    const QDate today = state.GIC->currentDate();
    core::OutgoingMessage message;
    message.headerChanged = true;
    message.link = core::messageLink(state.ReminderFlag, state.LinkTyp, state.LinkID);
    if (state.LinkTyp == 4)
        message.labOrderId = state.LinkID;
    message.cmDat = common::vb::format(today, QStringLiteral("mm/dd/yyyy"));
    message.senderId = sender.employeeId;
    message.announcement = true;
    message.cmCat = Cat;
    message.cmSubCat = subCat;
    message.cmDoc = tx;
    // Delivered from the moment asked for, else from now, "Unlimited" times.
    message.EvBroFla = true;
    message.EvBroStaDatFla = true;
    message.EvBroStaDat = common::vb::format(startsAt.isValid() ? startsAt.date() : today,
                                             QStringLiteral("mm/dd/yyyy"));
    message.EvBroStaTim =
        startsAt.isValid()
            ? common::vb::format(startsAt.time(), QStringLiteral("h:nn am/pm"))
            : common::vb::format(state.GIC->currentTime(), QStringLiteral("hh:nn ampm"));
    message.EvBroNumOfTim = -1;
    message.personIds[0] = persons;
    message.computers[0] = machines;
    if (state.PatientID != 0) {
        message.saveToPerson = state.PatientID;
        message.saveToChoice = state.DefaultSaveToPID ? 1 : 0;
    }

    const core::SaveResult saved = core::saveMessage(*state.GIC, message);
    if (!saved.ok)
        throw SendError((QStringLiteral("The announcement was not sent: The message could not be "
                                        "saved; nothing of it was written. ") +
                         saved.error)
                            .simplified()
                            .toStdString());
    if (saved.labOrderAccepted)
        state.LastSavedMessageID = saved.cmId;
}

} // namespace tzsndmsg
