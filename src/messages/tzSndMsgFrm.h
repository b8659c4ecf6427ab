#pragma once

#include "MessageList.h"
#include "tzsndmsg/Confirmations.h"
#include "ui/DateCombo.h"

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QStyle>
#include <array>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTabBar;
class QTableView;
class QVBoxLayout;
class QTableWidget;
class QToolBar;
class QToolButton;
class QWidget;

namespace tzsndmsg {

namespace core {
class MessageRows;
struct MessageDetail;
struct OutgoingMessage;
struct ReminderColumns;
struct StoredMessage;
struct MessageListParams;
} // namespace core
namespace ui {
class ImageList;
class ToolbarBuilder;
} // namespace ui

class ConfirmPanel;

// The message window: compact compose form, growing into the full window with the message
// list, toolbars and status bar. Its controls are its own: tests and automation find them by
// objectName (toolbar buttons by their keys) and work them as a user does. One class over
// several files by concern:
//   tzSndMsgFrm.cpp            construction and layout of every control
//   tzSndMsgFrm_toolbar.cpp    toolbars, image list, commands, load/activate/close/keys
//   tzSndMsgFrm_views.cpp      the list's views and what the form shows of its rows, caption
// The list with its search box is a MessageList of its own.
//   tzSndMsgFrm_form/_recipients/_send.cpp and the others: the compose form
class tzSndMsgFrm : public QDialog {
    Q_OBJECT

public:
    static constexpr int StoreKind = 9; // the message store
    static constexpr int HelpContextId = 3007;
    static constexpr int MinimumListRows = 4;
    static constexpr int SearchPauseMs = MessageList::SearchPauseMs;
    static constexpr int LiveDelayMs = MessageList::LiveDelayMs;

    explicit tzSndMsgFrm(QWidget* parent = nullptr);
    ~tzSndMsgFrm() override;

    // The load handler (Form_Load), in its order.
    void load();
    // First activation (run by the first showEvent while loading; callable by automation).
    void firstActivation();
    // "Unload the window": closes without the ask-to-save question, releases the lists.
    void Unload();

    QString cmCat() const { return m_cmCat; }
    void setcmCat(const QString& value) { m_cmCat = value; }
    QString cmSubCat() const { return m_cmSubCat; }
    void setcmSubCat(const QString& value) { m_cmSubCat = value; }
    QString CMDBName() const { return m_CMDBName; }
    // The message shown: 0 for a message not yet saved.
    qint32 CMID() const { return m_CMID; }
    // The property's setter: stores the id and loads that message for viewing (id not 0).
    void setCMID(qint32 id);

    // The new message the host hands over: its subject and text, each when not empty.
    void setDraft(const QString& subject, const QString& body);
    // Addressee lists: index 0 To, 1 Cc; anything else throws std::out_of_range. Persons are
    // ids each followed by ",", computers names each followed by a line feed.
    QString toPids(int index) const;
    QString toMachines(int index) const;
    // hasUnsavedChanges() is true while anything typed is unsaved; markSaved() counts the
    // message on screen as saved; resetToNewMessage() puts the blank new message on the form.
    bool hasUnsavedChanges() const { return m_changed; }
    void markSaved();
    void resetToNewMessage();
    // The Purge command's work on the list's selected rows, without its refresh: toggles the
    // purge bit of every row that may change; unread inbox rows are told once per run and left
    // alone.
    void Purge_Selected();

    // The received message of an addressee row (a notice clicked), shown in this window: in the
    // inbox, of every category when the view shown does not list it, its row current. While a
    // message is being written here, or a dialog of the window is open over it, the row waits,
    // marked on the window (cmdWaiting), until the user asks (F6 or a click on the mark).
    void showArrival(qint32 broChkId);
    QList<qint32> waitingRows() const { return m_waiting; }

    // What the window shows, for automation and tests.
    bool isLoading() const { return m_loading; }
    // All of TDBG, SB and TB visible.
    bool isFullWindow() const;
    bool isInboxView() const;
    bool isMsgCatOnly() const;
    QString sortOrder() const;
    // True when the view lists purged messages (tooltip of TDLstHis is not "View History").
    bool isHistoryView() const;
    // The list row the current message came from: BroChkID of the recipient row, 0 when none.
    qint32 currentBroChkID() const;
    // The list's current row when the form shows its message, else 0 (a hidden row, an empty
    // view): commands act on the message shown, never on a row the user cannot see.
    qint32 shownRowCmId() const;
    // The list shows the hits of a search rather than the view (the box above the list,
    // txtSearch, with "Search everywhere", chkSearchAll; Ctrl+F puts the cursor in the box,
    // Esc empties it and lists the view again on the message it showed).
    bool isSearching() const;
    // The words the list was last narrowed to (empty when it shows the view).
    QStringList searchedWords() const;
    // The hits listed are the end of the list only (a common word on a server's store): the
    // rest are read once the window is idle, or at once before a command on the whole list.
    bool isSearchPartial() const;
    // The rows a search finds before it lists them (its first screen; tests set it small).
    void setSearchScreenRows(int rows);
    // While the full window lists a view, a change of the office's store (a message saved or
    // confirmed at any workstation) reads the list again in place, once the window is free.
    bool isListLive() const;
    // Statements run by the grid since start (test and bench seams).
    static int recipientQueryCount();
    static int confirmationQueryCount();

signals:
    // The list was re-queried (tests and the host's automation wait on it).
    void listLoaded();
    // The main toolbar's "Purge" was pressed (inside the command frame): the purge and
    // unpurge code connects to it.
    void purgeRequested();
    // A search listed its hits, or the view came back (tests and automation wait on it).
    void searchDone();
    // A search listed its first screen; searchDone follows once every hit is listed.
    void searchScreenShown();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override; // Esc and the close box go through keyPressEvent/closeEvent

private:
    // The save routine with its questions (6 sent or nothing to send, 7 No, 2 Cancel).
    int SaveMessage(bool ask, bool allowCancel);
    // A message read into the form: by its addressee row, by id, or the list's current row.
    void LoadMessage(int storeKind, qint32 broChkId, qint32 cmId);

    // ---- toolbars and commands (tzSndMsgFrm_toolbar.cpp) ----
    void Setup_Toolbars();
    // The commands' keys, each shown in its button's tooltip.
    void setupCommandKeys();
    // Fills the image list from ICO/SMALL; one information box lists missing files.
    void Load_ImaList(ui::ImageList& list);
    QIcon platformIcon(QStyle::StandardPixmap which) const;
    // Main toolbar commands, key compared in upper case; other code presses a button here.
    void TB_ButtonClick(const QString& key);
    void TB_ButtonMenuClick(const QString& key);
    void TB_Small_ButtonClick(const QString& key);
    void TB_Small_ButtonMenuClick(const QString& key);
    // The button of a toolbar by key (nullptr when missing).
    QAction* tbButton(const QString& key) const;
    QAction* tbSmallButton(const QString& key) const;
    QString tbToolTip(const QString& key) const;
    void setTbToolTip(const QString& key, const QString& tip);

    // ---- views (tzSndMsgFrm_views.cpp) ----
    void Load_MsgList(const QString& SortOrder, bool InboxView, bool MsgCatOnly);
    void Setup_Grid();
    // The list's signals: the current row shown, Enter, the search's marks (constructor).
    void connectList();
    void Show_CurrentMsg();
    void Set_FormCaption(bool NewMessage);
    // After a send or delete: the current, previous or next row re-selected, else the last.
    void refreshInPlace();
    // "Delete" is enabled only while a saved message of the list is shown.
    void updateDeleteButton();
    // A view without rows shows no stored message: a message still on the form is not in it.
    void showNoRow();
    // What a view of this window is read by: its kind, the login and this workstation.
    core::MessageListParams viewParams(bool inboxView, bool msgCatOnly) const;
    void highlightShownMessage();

    // ---- compose form, recipients, reply/forward, saving ----
    void StartReplyOrForward(qint32 broChkId);
    // Change marks: panes 0 header, 1 detail, 2 alarm group.
    void Set_ChangeFalg(bool state, int pane);
    // The reminder list: times of day, or amounts of time before a linked record.
    void BuildReminderChoices(bool relative);
    void RefreshToBox(int index);
    // Both boxes, the initials of both lists in one read; true when the reminder list was
    // built again with them.
    bool RefreshToBoxes();
    QList<qint32> toBoxIds(int index) const;
    void showToBox(int index, const QList<qint32>& ids, const QHash<qint32, QString>& initials);
    bool rebuildRemindersForSender();
    void Setup_Reminder();
    // First activation: the From and Until boxes of the repeat settings brought up to date.
    void updateRepeatControls();
    // Connects the compose controls' change signals to the change marks (called by load()).
    void connectFormSignals();
    // The To/Cc picker (0, 1) and the canned-text buttons (2 personal, 3 office).
    void CmdTo_Click(int index);
    // The current login's name, trimmed and upper case (as the login list holds it).
    QString currentLoginName() const;
    void connectRecipientControls();
    void insertCannedText(int index);
    void fillFromMessage(const core::StoredMessage& message, qint32 broChkId);
    void fillReminderAndBroadcast(const core::MessageDetail& detail);
    void setBodyReadOnly(bool readOnly);
    // The delivery, repeat and reminder controls as a new message has them.
    void clearSchedule();
    void fillSaveToList();
    void finishSave();
    // The message on screen as the core writes it.
    core::OutgoingMessage composedMessage() const;
    core::ReminderColumns reminderOnScreen() const;

    // ---- confirming, reminders, purge (tzSndMsgFrm_confirm.cpp, _reminders.cpp, _purge.cpp) ----
    // Reply (flag 1), forward (2) or return receipt (3) of a recipient row, made by a nested
    // message window; with autoSend the nested window sends itself without showing.
    void Answer_Msg(qint32 broChkId, int flag, const QString& notes, bool autoSend);
    // The confirm panel is shown for a received message viewed from an inbox view.
    void updateConfirmPanel();
    // cmbAla left: a valid time reformatted "hh:nn am/pm", anything else cleared, then as a click.
    void cmbAla_LostFocus();
    // The "Purge" command (toolbar key "PURGE"): purges, or unpurges in the history views.
    void PurgeCommand();
    // Connects the confirm panel, cmbAla's leaving and the purge command (constructor).
    void connectConfirmAndPurge();
    void connectReminderEditing();

    // ---- who has confirmed a sent message (tzSndMsgFrm_confirmations.cpp) ----
    // The "Confirmed" cell of a sent message: read with the other messages of the screen in one
    // statement and kept until the list is read again; none when the store cannot be read.
    std::optional<ConfirmationCount> confirmationCountOf(qint32 cmId);
    // The panel under a sent message viewed from the sent items or their history; reload reads
    // its rows again even when it already shows that message.
    void updateConfirmationsPanel(bool reload);
    // "Remind the Others": a new message to the addressees of the sent message shown who have not
    // confirmed yet, quoting it as a reply does, ready to send.
    void RemindOthers();
    QWidget* PicConfirmations = nullptr;
    QLabel* lblConfirmations = nullptr;
    QTableWidget* lstConfirmations = nullptr;
    QPushButton* cmdRemindOthers = nullptr;
    void buildConfirmationsPanel();
    void setupConfirmationColumn();                   // called by Setup_Grid
    QHash<qint32, ConfirmationCount> m_confirmCounts; // by CMID, cleared when the list is read
    bool m_confirmCountsFailed = false;
    qint32 m_confirmationsShown = 0; // the message whose rows the panel holds
    int m_colConfirmed = -1;

    // ---- the list kept up to date, messages shown from outside (tzSndMsgFrm_live.cpp) ----
    void refreshListLive();
    void showWaiting();
    QPushButton* cmdWaiting = nullptr;
    void buildLive();
    bool isFreeForList() const;
    bool isWriting() const;
    bool showArrivalNow(qint32 broChkId);
    void updateWaitingMark();
    bool m_inLive = false;
    QList<qint32> m_waiting;

    // ---- controls, by their system names (each its objectName) ----
    QLineEdit* txtSubject = nullptr;
    QPlainTextEdit* txtMsg = nullptr;
    QComboBox* Cmb_Emp_Name = nullptr;
    ui::DateCombo* DateCmb_Abs = nullptr;
    std::array<QRadioButton*, 2> OptPub{};
    std::array<QCheckBox*, 4> chkDoc{};
    std::array<QLineEdit*, 2> txtTo{};
    std::array<QPushButton*, 4> CmdTo{};
    // Broadcast/repeat group (index 0) and alarm group (index 1).
    std::array<QCheckBox*, 2> ChkBro{};
    std::array<QCheckBox*, 2> ChkFro{};
    std::array<QCheckBox*, 2> ChkUnt{};
    std::array<QCheckBox*, 2> ChkRea{};
    std::array<ui::DateCombo*, 2> dCmbFro{};
    std::array<ui::DateCombo*, 2> dcmbUnt{};
    std::array<QComboBox*, 2> cmbFroTim{};
    std::array<QComboBox*, 2> cmbRea{};
    std::array<QLineEdit*, 2> txtReaEve{};
    std::array<QLineEdit*, 2> txtReaTim{};
    std::array<QRadioButton*, 2> OptReaUnl{};
    std::array<QRadioButton*, 2> OptReaForTim{};
    QComboBox* cmbAla = nullptr;
    QWidget* PicAla = nullptr; // its "tag" property holds the free reminder's date
    QLabel* lblRem = nullptr;  // its "tag" property holds EVAlaStaDatFla
    QComboBox* CmbSaveTo = nullptr;
    // Confirm panel, hidden until a received message is shown.
    ConfirmPanel* PicConfirm = nullptr;
    // The compose container (both form panels) and the panels the tab strip switches.
    QWidget* PicCompose = nullptr;
    QStackedWidget* PicPanels = nullptr;
    std::array<QWidget*, 2> PicTab{};
    QWidget* PicOptions = nullptr; // sender, date, privacy, marks, reminder, save-to
    QGroupBox* fraBro = nullptr;   // broadcast and repeat, group 0
    QGroupBox* fraAla = nullptr;   // the alarm group, index 1
    // Frame.
    QToolBar* TB = nullptr;
    QToolBar* TB_Small = nullptr;
    MessageList* m_messages = nullptr; // the list with its search box, TDBG's side of the splitter
    QTableView* TDBG = nullptr;        // the list's grid
    QStatusBar* SB = nullptr;
    QLabel* SB_Panel1 = nullptr; // the record counter "3 of 25"
    QTabBar* TS = nullptr;
    std::unique_ptr<ui::ImageList> ImaList;
    ui::ToolbarBuilder* m_tb = nullptr;      // builds and keys TB
    ui::ToolbarBuilder* m_tbSmall = nullptr; // builds and keys TB_Small
    QSplitter* m_splitter = nullptr;

    // ---- building and the frame (tzSndMsgFrm.cpp, tzSndMsgFrm_toolbar.cpp) ----
    void buildWidgets();
    // Tab order as the window reads, top to bottom and left to right, and a name for every
    // control a screen reader reaches (constructor, once every panel is built).
    void setupTabOrderAndNames();
    QWidget* buildComposePanel();
    QWidget* buildOptionsPanel();
    void layoutCompact();
    void growToFull();
    void TS_Click(int index);
    void unloadWindow(); // Unload: marks cleared, the list's rows released
    void deleteCurrentMessage();
    void sendCurrentMessage(); // main toolbar "MsgSend"
    void newMessageWindow();
    void showReceivedRow(qint32 broChkId);
    qint32 currentRowCmId() const;
    void fitCommentsColumn();

    // ---- window state ----
    QString m_cmCat;
    QString m_cmSubCat;
    QString m_CMDBName;
    qint32 m_CMID = 0;

    bool m_loading = false;
    bool m_firstShowDone = false;
    bool m_unloaded = false;

    // Change marks: panes 0 header, 1 detail, 2 alarm group; "C" or empty.
    std::array<QString, 3> m_changeMarks;
    bool m_changed = false;      // any mark set since the last clear
    bool m_suspendMarks = false; // the window fills its controls itself
    bool m_sent = false;         // set by "MsgSend" after a successful send
    bool m_bodyReadOnly = false; // a received message is shown
    int m_listPosition = 0;      // position of the message shown in the list
    qint32 m_shownRowCmId = 0;   // CMID of the list row whose message the form shows; 0 none
    qint32 m_openReminderId = 0; // the user's own linked reminder opened again: saved in place

    // Addressee lists: persons "12,7," and computers "PC1\nPC2\n", index 0 To, 1 Cc.
    std::array<QString, 2> m_toPids;
    std::array<QString, 2> m_toMachines;
};

} // namespace tzsndmsg
