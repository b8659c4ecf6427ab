// Toolbars, the image list, the commands and the window's life: load, first activation,
// closing, unloading, keys and layout.
#include "ComposeHelpers.h"
#include "MessageList.h"
#include "MessageListModel.h"
#include "ShowMessageWindow.h"
#include "core/MessageRows.h"
#include "core/MessageWrite.h"
#include "directory/StaffDirectory.h"
#include "state/Help.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/BusyPointer.h"
#include "ui/ImageList.h"
#include "ui/ScreenPlacement.h"
#include "ui/ToolbarBuilder.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <exception>

namespace tzsndmsg {

namespace {
const QString kMainKeys = QStringLiteral(
    ",MsgNew,,MsgSend,,Delete,,Refresh,,MsgIn,MsgSItem,,ChkAll,Purge,TDLstHis,,Help,Close,");
const QString kMainStyles = QStringLiteral("3,0,3,0,3,0,3,0,3,5,0,3,0,0,0,3,0,0,");
const QString kMainTips =
    QStringLiteral(",New Message,,Send Message,,Delete,,Refresh,,Message Inbox,"
                   "Message Sent Items,,Select All,Purge,View History,,Help,Close,");
const QString kSmallKeys = QStringLiteral(",MsgHis,,MsgSend,,Help,Close,");
const QString kSmallStyles = QStringLiteral("3,5,3,0,3,0,0,");
const QString kSmallTips = QStringLiteral(",Message History,,Send Message,,Help,Close,");
const QString kViewHistory = QStringLiteral("View History");
const QString kDefaultSort = QStringLiteral("CMDat, CMTim, CMID");
} // namespace

QAction* tzSndMsgFrm::tbButton(const QString& key) const
{
    return m_tb ? m_tb->action(key) : nullptr;
}

QAction* tzSndMsgFrm::tbSmallButton(const QString& key) const
{
    return m_tbSmall ? m_tbSmall->action(key) : nullptr;
}

QString tzSndMsgFrm::tbToolTip(const QString& key) const
{
    // Before the toolbar is built the view counts as the current one.
    if (!m_tb || !m_tb->action(key))
        return key.compare(QLatin1String("TDLstHis"), Qt::CaseInsensitive) == 0 ? kViewHistory
                                                                                : QString();
    return m_tb->toolTip(key);
}

void tzSndMsgFrm::setTbToolTip(const QString& key, const QString& tip)
{
    if (m_tb)
        m_tb->setToolTip(key, tip);
}

void tzSndMsgFrm::Load_ImaList(ui::ImageList& list)
{
    auto& st = SharedState::current();
    const QString folder = st.GIC ? st.GIC->dataFolder() : QString();
    ui::Load_ImaList(list, folder);
    // "Delete" removes a message for everyone, "Purge" only files it in the history: the data
    // folder's own Delete picture (a red cross), not a second waste bin. It is not one of the
    // window's listed files, so its absence is not reported; a platform picture stands in.
    if (!list.contains(QStringLiteral("Delete"))) {
        ui::ImageList own;
        const QString icons = ui::findFileNoCase(folder, QStringLiteral("ICO/SMALL"));
        if (!icons.isEmpty())
            own.load(icons, {{QStringLiteral("Delete"), QStringLiteral("Delete")}});
        list.add(QStringLiteral("Delete"), own.contains(QStringLiteral("Delete"))
                                               ? own.icon(QStringLiteral("Delete"))
                                               : platformIcon(QStyle::SP_DialogCancelButton));
    }
    // "Refresh" has no file of its own: the platform's picture serves.
    if (!list.contains(QStringLiteral("Refresh")))
        list.add(QStringLiteral("Refresh"), platformIcon(QStyle::SP_BrowserReload));
}

QIcon tzSndMsgFrm::platformIcon(QStyle::StandardPixmap which) const
{
    // Asked of the style once while it lasts: every window opened shows the same pictures.
    static QPointer<QStyle> askedOf;
    static auto& icons = *new QHash<int, QIcon>;
    if (askedOf != style()) {
        icons.clear();
        askedOf = style();
    }
    const auto known = icons.constFind(int(which));
    if (known != icons.cend())
        return *known;
    return *icons.insert(int(which), style()->standardIcon(which));
}

void tzSndMsgFrm::Setup_Toolbars()
{
    QString error;
    TB->clear();
    TB_Small->clear();
    m_tb->build(kMainKeys, kMainStyles, kMainTips, &error);
    m_tb->addMenuEntry(QStringLiteral("MsgIn"), QStringLiteral("MsgInMsg"),
                       QStringLiteral("Message Category Only"));
    m_tb->addMenuEntry(QStringLiteral("MsgIn"), QStringLiteral("MsgInAllCat"),
                       QStringLiteral("All Categories"));
    m_tbSmall->build(kSmallKeys, kSmallStyles, kSmallTips, &error);
    m_tbSmall->addMenuEntry(QStringLiteral("MsgHis"), QStringLiteral("MsgHisMsg"),
                            QStringLiteral("Message Category Only"));
    m_tbSmall->addMenuEntry(QStringLiteral("MsgHis"), QStringLiteral("MsgHisAll"),
                            QStringLiteral("All Categories"));

    setupCommandKeys();

    const bool history = SharedState::current().SndMsgHistoryButtonVisible;
    if (QAction* his = m_tbSmall->action(QStringLiteral("MsgHis"))) {
        his->setVisible(history);
        his->setEnabled(history);
    }
    disconnect(m_tb, nullptr, this, nullptr);
    disconnect(m_tbSmall, nullptr, this, nullptr);
    connect(m_tb, &ui::ToolbarBuilder::buttonClicked, this,
            [this](const QString& key) { TB_ButtonClick(key); });
    connect(m_tb, &ui::ToolbarBuilder::menuEntryClicked, this,
            [this](const QString&, const QString& entry) { TB_ButtonMenuClick(entry); });
    connect(m_tbSmall, &ui::ToolbarBuilder::buttonClicked, this,
            [this](const QString& key) { TB_Small_ButtonClick(key); });
    connect(m_tbSmall, &ui::ToolbarBuilder::menuEntryClicked, this,
            [this](const QString&, const QString& entry) { TB_Small_ButtonMenuClick(entry); });
}

void tzSndMsgFrm::setupCommandKeys()
{
    using K = QKeySequence;
    const QList<K> send{K(Qt::CTRL | Qt::Key_Return), K(Qt::CTRL | Qt::Key_Enter)};
    // A toolbar's keys work while it is shown: the small one's in the compact window, the
    // main one's in the full window.
    m_tb->setShortcuts(QStringLiteral("MsgNew"), {K(K::New)});
    m_tb->setShortcuts(QStringLiteral("MsgSend"), send);
    m_tb->setShortcuts(QStringLiteral("Refresh"), {K(Qt::Key_F5)});
    m_tb->setShortcuts(QStringLiteral("MsgIn"), {K(Qt::CTRL | Qt::Key_1)});
    m_tb->setShortcuts(QStringLiteral("MsgSItem"), {K(Qt::CTRL | Qt::Key_3)});
    m_tb->setShortcuts(QStringLiteral("ChkAll"), {K(Qt::CTRL | Qt::SHIFT | Qt::Key_A)});
    m_tb->setShortcuts(QStringLiteral("Purge"), {K(Qt::CTRL | Qt::SHIFT | Qt::Key_P)});
    m_tb->setShortcuts(QStringLiteral("TDLstHis"), {K(Qt::CTRL | Qt::Key_H)});
    m_tbSmall->setShortcuts(QStringLiteral("MsgSend"), send);
    m_tbSmall->setShortcuts(QStringLiteral("MsgHis"), {K(Qt::CTRL | Qt::Key_H)});
    for (ui::ToolbarBuilder* bar : {m_tb, m_tbSmall}) {
        bar->setShownKey(QStringLiteral("Help"), K(Qt::Key_F1));
        bar->setShownKey(QStringLiteral("Close"), K(Qt::Key_Escape));
    }
    // Del deletes from the list only: in a text box it deletes a letter.
    for (QAction* old : TDBG->actions())
        TDBG->removeAction(old);
    if (QAction* del = tbButton(QStringLiteral("Delete"))) {
        del->setShortcutContext(Qt::WidgetShortcut);
        TDBG->addAction(del);
        m_tb->setShortcuts(QStringLiteral("Delete"), {K(K::Delete)});
    }
    // The inbox of every category from its menu, while the list is shown.
    for (QAction* old : m_messages->actions())
        m_messages->removeAction(old);
    if (QAction* all = m_tb->menuEntry(QStringLiteral("MsgInAllCat"))) {
        all->setShortcut(K(Qt::CTRL | Qt::Key_2));
        m_messages->addAction(all);
    }
}

void tzSndMsgFrm::TB_ButtonClick(const QString& key)
{
    const QString k = key.toUpper();
    // "Select All" selects every hit, not only the first screen's.
    if (k == QLatin1String("CHKALL"))
        m_messages->completeSearch();
    setEnabled(false);
    TB->setEnabled(false);
    // The message shown: the current row's when the form shows it; a reminder opened again
    // keeps its own, so that sending it saves it over itself.
    if (m_openReminderId == 0 || m_CMID != m_openReminderId)
        m_CMID = shownRowCmId();
    auto& st = SharedState::current();

    bool frameEnds = true;
    if (k == QLatin1String("REFRESH")) {
        ui::BusyPointer wait;
        if (st.GIC)
            st.GIC->setBusy(this, true);
        Load_MsgList(sortOrder(), isInboxView(), isMsgCatOnly());
        if (st.GIC)
            st.GIC->setBusy(this, false);
        setTbToolTip(QStringLiteral("ChkAll"), QStringLiteral("Select All"));
    } else if (k == QLatin1String("MSGIN")) {
        TB_ButtonMenuClick(QStringLiteral("MsgInMsg"));
    } else if (k == QLatin1String("MSGSITEM")) {
        for (const char* b : {"MsgSItem", "MsgIn"})
            if (QAction* a = tbButton(QString::fromLatin1(b)))
                a->setEnabled(true);
        ui::BusyPointer wait;
        if (st.GIC)
            st.GIC->setBusy(this, true);
        setTbToolTip(QStringLiteral("TDLstHis"), kViewHistory);
        setTbToolTip(QStringLiteral("Purge"), QStringLiteral("Purge"));
        Load_MsgList(kDefaultSort, false, false);
        if (st.GIC)
            st.GIC->setBusy(this, false);
    } else if (k == QLatin1String("TDLSTHIS")) {
        ui::BusyPointer wait;
        if (tbToolTip(QStringLiteral("TDLstHis")) == kViewHistory) {
            setTbToolTip(QStringLiteral("Purge"), QStringLiteral("UnPurge"));
            setTbToolTip(QStringLiteral("TDLstHis"), QStringLiteral("Back"));
        } else {
            setTbToolTip(QStringLiteral("Purge"), QStringLiteral("Purge"));
            setTbToolTip(QStringLiteral("TDLstHis"), kViewHistory);
        }
        Load_MsgList(sortOrder(), isInboxView(), isMsgCatOnly());
        setTbToolTip(QStringLiteral("ChkAll"), QStringLiteral("Select All"));
    } else if (k == QLatin1String("CHKALL")) {
        ui::BusyPointer wait;
        if (m_messages->rowCount() > 0) {
            const bool select = tbToolTip(QStringLiteral("ChkAll")) == QLatin1String("Select All");
            setTbToolTip(QStringLiteral("ChkAll"),
                         select ? QStringLiteral("Deselect All") : QStringLiteral("Select All"));
            m_messages->selectAll(select);
        }
    } else if (k == QLatin1String("MSGSEND")) {
        sendCurrentMessage();
    } else if (k == QLatin1String("MSGNEW")) {
        frameEnds = false;
        newMessageWindow();
    } else if (k == QLatin1String("PURGE")) {
        frameEnds = false;
        emit purgeRequested();
    } else if (k == QLatin1String("CLOSE")) {
        frameEnds = false;
        setEnabled(true);
        TB->setEnabled(true);
        close();
    } else if (k == QLatin1String("HELP")) {
        ShowContextHelp(this);
    } else if (k == QLatin1String("DELETE")) {
        deleteCurrentMessage();
    }

    // "Close", "MsgNew" and "Purge" end through their own paths; the window is enabled again
    // in any case so that nothing is left locked.
    TB->setEnabled(true);
    setEnabled(true);
    if (frameEnds && !m_unloaded && !TDBG->isHidden())
        TDBG->setFocus();
}

void tzSndMsgFrm::TB_ButtonMenuClick(const QString& key)
{
    const QString k = key.toUpper();
    if (k != QLatin1String("MSGINMSG") && k != QLatin1String("MSGINALLCAT"))
        return;
    auto& st = SharedState::current();
    for (const char* b : {"MsgSItem", "MsgIn"})
        if (QAction* a = tbButton(QString::fromLatin1(b)))
            a->setEnabled(true);
    ui::BusyPointer wait;
    setEnabled(false);
    if (st.GIC)
        st.GIC->setBusy(this, true);
    setTbToolTip(QStringLiteral("TDLstHis"), kViewHistory);
    setTbToolTip(QStringLiteral("Purge"), QStringLiteral("Purge"));
    Load_MsgList(kDefaultSort, true, k == QLatin1String("MSGINMSG"));
    if (st.GIC)
        st.GIC->setBusy(this, false);
    setEnabled(true);
    // Disabling the window took the focus: back on the list.
    if (!m_unloaded && !TDBG->isHidden())
        TDBG->setFocus(Qt::OtherFocusReason);
}

void tzSndMsgFrm::TB_Small_ButtonClick(const QString& key)
{
    const QString k = key.toUpper();
    if (k == QLatin1String("MSGHIS")) {
        TB_Small_ButtonMenuClick(QStringLiteral("MsgHisMsg"));
    } else if (k == QLatin1String("MSGSEND")) {
        m_sent = false;
        TB_ButtonClick(QStringLiteral("MsgSend"));
        if (m_sent && !isFullWindow())
            TB_ButtonClick(QStringLiteral("Close"));
    } else if (k == QLatin1String("HELP")) {
        TB_ButtonClick(QStringLiteral("Help"));
    } else if (k == QLatin1String("CLOSE")) {
        TB_ButtonClick(QStringLiteral("Close"));
    }
}

void tzSndMsgFrm::TB_Small_ButtonMenuClick(const QString& key)
{
    const QString k = key.toUpper();
    if (k != QLatin1String("MSGHISMSG") && k != QLatin1String("MSGHISALL"))
        return;
    if (SaveMessage(true, true) == 2)
        return;
    Set_ChangeFalg(false, 0);
    ui::BusyPointer wait;
    QCoreApplication::processEvents();
    auto& st = SharedState::current();
    if (st.GIC)
        st.GIC->setBusy(this, true);
    growToFull();
    TB_ButtonMenuClick(k == QLatin1String("MSGHISALL") ? QStringLiteral("MsgInAllCat")
                                                       : QStringLiteral("MsgInMsg"));
    if (st.GIC)
        st.GIC->setBusy(this, false);
    // The full window starts on its list.
    TDBG->setFocus(Qt::OtherFocusReason);
}

void tzSndMsgFrm::growToFull()
{
    TB->show();
    TB->setEnabled(true);
    m_messages->show();
    TDBG->show();
    TDBG->setEnabled(true);
    SB->show();
    SB->setEnabled(true);
    TB_Small->hide();
    if (m_splitter->count() > 1)
        m_splitter->handle(1)->show();

    // Room for the toolbar, the tab strip and the list, never taller than the screen.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const int w = std::min(avail.width() - 40, std::max(width(), 1120));
    const int h = std::min(avail.height() - 40, 860);
    resize(std::max(w, 640), std::max(h, 480));
    // However large the font, the list keeps a few rows.
    TDBG->setMinimumHeight(TDBG->horizontalHeader()->sizeHint().height() +
                           TDBG->horizontalScrollBar()->sizeHint().height() +
                           MinimumListRows * TDBG->verticalHeader()->defaultSectionSize() +
                           2 * TDBG->frameWidth());
    const int formHeight = std::max(PicCompose->sizeHint().height(), height() * 45 / 100);
    m_splitter->setSizes({std::max(height() - formHeight, 160), formHeight});
    ui::centreOnScreen(this);
    TS_Click(TS->currentIndex());
    fitCommentsColumn();
    m_messages->startLive();
}

void tzSndMsgFrm::layoutCompact()
{
    TB->hide();
    TB->setEnabled(false);
    m_messages->hide();
    TDBG->hide();
    TDBG->setEnabled(false);
    SB->hide();
    SB->setEnabled(false);
    TB_Small->show();
    if (m_splitter->count() > 1)
        m_splitter->handle(1)->hide();
    adjustSize();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    resize(std::min(std::max(sizeHint().width(), 820), avail.width() - 40),
           std::min(std::max(sizeHint().height(), 540), avail.height() - 40));
}

void tzSndMsgFrm::sendCurrentMessage()
{
    m_sent = false;
    bool marked = false;
    const bool changed = m_changed;
    const auto marks = m_changeMarks;
    if (m_CMID != 0) {
        marked = true;
        Set_ChangeFalg(true, 0);
        Set_ChangeFalg(true, 1);
    }
    ui::BusyPointer wait;
    const int result = SaveMessage(false, false);
    if (result != 6) {
        m_sent = false;
        if (marked) {
            m_changed = changed;
            m_changeMarks = marks;
        }
    } else {
        m_sent = true;
        refreshInPlace();
    }
}

void tzSndMsgFrm::newMessageWindow()
{
    auto& st = SharedState::current();
    const bool historyButton = st.SndMsgHistoryButtonVisible;
    const bool defaultSaveTo = st.DefaultSaveToPID;
    const qint32 patient = st.PatientID;
    // A new tzSndMsgCls instance on the same shared state, then its Message_Start.
    st.resetInstanceValues();
    st.MsgHisOn = false;
    st.DefaultSaveToPID = defaultSaveTo;
    st.PatientID = patient;
    st.SndMsgHistoryButtonVisible = false;
    try {
        SetupHelpFile();
        std::unique_ptr<tzSndMsgFrm> second;
        ShowMessageWindow(second, false);
    } catch (const std::exception&) {
    }
    st.SndMsgHistoryButtonVisible = historyButton;
    st.DefaultSaveToPID = defaultSaveTo;
    st.PatientID = patient;
    TB_ButtonClick(QStringLiteral("Refresh"));
}

void tzSndMsgFrm::deleteCurrentMessage()
{
    // Nothing shown, nothing to delete: no question.
    if (m_CMID == 0)
        return;
    const int answer =
        ui::MessageBox::show({QStringLiteral("Are you sure you want to delete this message?"),
                              QStringLiteral("Delete Message"), 4, 32, 0});
    if (answer != 6)
        return;
    auto& st = SharedState::current();
    QString error;
    if (st.GIC && !core::deleteMessage(*st.GIC, m_CMID, &error)) {
        // Still stored: it stays shown, and the list says what is there.
        ui::MessageBox::show(
            {QStringLiteral("The message could not be deleted.") + QStringLiteral("\n\n") + error,
             QStringLiteral("Delete Message"), 0, 48, 0});
        refreshInPlace();
        return;
    }
    resetToNewMessage();
    if (!m_loading && st.ReplyBCID != 0)
        st.ReplyBCID = 0;
    refreshInPlace();
}

void tzSndMsgFrm::load()
{
    auto& st = SharedState::current();
    m_loading = true;
    m_unloaded = false;
    // 1. Category, sub-category and help context.
    m_cmCat = QStringLiteral("Message");
    m_cmSubCat = QStringLiteral("EMS");
    SetHelpContext(this, HelpContextId);
    // 2. Pictures.
    Load_ImaList(*ImaList);
    // 3. The "save to" list only with a patient in hand.
    CmbSaveTo->setVisible(st.PatientID != 0);
    if (st.PatientID != 0)
        CmbSaveTo->raise();
    // 4. Compact shape.
    layoutCompact();
    // 5. The sender list by the login's permission.
    const QString login = st.GIC ? st.GIC->currentLoginName() : QString();
    Cmb_Emp_Name->setEnabled(st.GIC && st.GIC->loginMayChooseSender(login));
    // 6. Toolbars.
    Setup_Toolbars();
    // 7. Time lists, one entry every ClockInterval minutes from midnight.
    const int step = st.ClockInterval > 0 ? st.ClockInterval : 15;
    for (QComboBox* list : cmbFroTim) {
        QStringList times;
        for (int minutes = 0; minutes < 24 * 60; minutes += step)
            times << compose::clockText(minutes, QStringLiteral("h:nn am/pm"));
        list->clear();
        list->addItems(times);
        list->setCurrentIndex(-1);
    }
    // 8. Icon, caption, the sender list.
    if (ImaList->contains(QStringLiteral("Msg")))
        setWindowIcon(ImaList->icon(QStringLiteral("Msg")));
    setWindowTitle(QStringLiteral("Message"));
    // The sender list reads the staff when it is first opened; it shows the login's own entry.
    if (auto* staff = dynamic_cast<StaffCombo*>(Cmb_Emp_Name))
        staff->setStaff(st.LoginEmployeeIDs);
    else
        FillStaffList(Cmb_Emp_Name, st.LoginEmployeeIDs);
    // 9. Size to the form; the grid's columns.
    layoutCompact();
    Setup_Grid();
    connectFormSignals();
    // 10. A blank new message.
    resetToNewMessage();
    Set_FormCaption(true);
    // 11. Reply, forward or reminder prepared from the shared state.
    if (st.ReplyBCID != 0)
        StartReplyOrForward(st.ReplyBCID);
    else if (st.ReminderFlag)
        Setup_Reminder();
    // 12. Current tab; centred.
    TS_Click(TS->currentIndex());
    ui::centreOnScreen(this, QGuiApplication::primaryScreen());
    // 13. Sent while loading, without showing the window.
    if (st.ReplyAutoSend) {
        m_loading = false;
        Set_ChangeFalg(true, 0);
        Set_ChangeFalg(true, 1);
        TB_Small_ButtonClick(QStringLiteral("MsgSend"));
    }
}

void tzSndMsgFrm::firstActivation()
{
    if (!m_loading)
        return;
    auto& st = SharedState::current();
    updateRepeatControls();
    m_loading = false;
    fitCommentsColumn();
    ui::normalPointer();
    QTextCursor cursor = txtMsg->textCursor();
    cursor.movePosition(QTextCursor::Start);
    txtMsg->setTextCursor(cursor);
    if (st.ReplyBCID != 0) {
        txtMsg->setFocus();
    } else {
        // A new message starts on its addressees.
        CmdTo[0]->setFocus(Qt::OtherFocusReason);
    }
    if (st.ReplyBCID == 0 && st.ReminderFlag) {
        Set_ChangeFalg(true, 0);
        Set_ChangeFalg(true, 1);
    }
    if (st.ShowBroChkID != 0) {
        // Every category, so that the message is listed whatever its category.
        const qint32 shown = st.ShowBroChkID;
        st.ShowBroChkID = 0;
        TB_Small_ButtonMenuClick(QStringLiteral("MsgHisAll"));
        showReceivedRow(shown);
    } else if (st.MsgHisOn) {
        TB_Small_ButtonClick(QStringLiteral("MsgHis"));
    }
}

void tzSndMsgFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_loading && !m_firstShowDone) {
        m_firstShowDone = true;
        // After the window is on screen, as an activation comes after the show.
        QMetaObject::invokeMethod(
            this, [this] { firstActivation(); }, Qt::QueuedConnection);
    }
}

void tzSndMsgFrm::closeEvent(QCloseEvent* event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (SaveMessage(true, true) == 2) {
        event->ignore();
        TB->setEnabled(true);
        setEnabled(true);
        return;
    }
    unloadWindow();
    event->accept();
    QDialog::closeEvent(event);
}

void tzSndMsgFrm::reject()
{
    // The close box and Esc reach closeEvent/keyPressEvent; a reject from elsewhere asks too.
    if (m_unloaded)
        QDialog::reject();
    else
        close();
}

void tzSndMsgFrm::Unload()
{
    unloadWindow();
    done(QDialog::Rejected);
}

void tzSndMsgFrm::unloadWindow()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_messages->stopLive();
    try {
        Set_ChangeFalg(false, 0);
    } catch (const std::exception&) {
    }
    m_messages->releaseRows();
}

void tzSndMsgFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        event->accept();
        ShowContextHelp(this);
        return;
    }
    if (m_messages->takeEscape(event))
        return;
    if (event->key() != Qt::Key_Escape) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    if (m_messages->isBusy() || m_loading)
        return;
    if (!TB_Small->isHidden())
        TB_Small_ButtonClick(QStringLiteral("Close"));
    else if (!TB->isHidden())
        TB_ButtonClick(QStringLiteral("Close"));
}

void tzSndMsgFrm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitCommentsColumn();
}

} // namespace tzsndmsg
