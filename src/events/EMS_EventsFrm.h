#pragma once

#include "common/AutoDate.h"
#include "core/EventStore.h"
#include "core/Recurrence.h"
#include "ui/ImageList.h"

#include <QDialog>
#include <QString>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabBar;
class QTableView;
class QToolBar;
class QWidget;

namespace tzsndmsg::db {
class Database;
}
namespace tzsndmsg::ui {
class DateCombo;
class ToolbarBuilder;
} // namespace tzsndmsg::ui

namespace tzsndmsg {

class HostServices;
class EventListModel;

// The office events window: a list of events beside an editing panel ("FULL"), or one event
// alone ("PARTIAL") when the shared LinkID names its evID. Event_Start loads it and shows it
// with ui::showModal.
class EMS_EventsFrm : public QDialog {
    Q_OBJECT
public:
    explicit EMS_EventsFrm(QWidget* parent = nullptr);
    ~EMS_EventsFrm() override;

    // Form_Load: office hours, mode, rights, icons, logins, time lists, toolbar, first list.
    void load();

    void LoadEventList(const QString& order);
    void LoadEvent(qint32 id);
    void ClearEvent();
    // 6 saved or nothing to save, 7 No, 2 Cancel, 1 validation failed and the user chose OK.
    int SaveEvent(bool AskToSave, bool CanCancel);
    // 6 valid, else the answer to the list of reasons (1 OK, 2 Cancel).
    int ValidateEvent();
    void Set_ChangeFalg(bool value);
    void EnableToolbar(bool enabled);
    void PickAttendees(int index);
    void ShowAttendeeInitials(int index);
    void FillTimeLists();
    qint16 TimeListIndex(const common::AutoDate& t) const;
    void RelabelRecurrenceUnits();
    // The toolbar's commands, by key ("New", "Save", "Delete", "Help", "Close").
    void TB_ButtonClick(const QString& key);

    // The "To/ CC" cells of event headers: attendee names, "/ " and copy names.
    QHash<qint64, QString> ToCcTexts(const QList<qint64>& cmIds);

    // State, for the host and the tests.
    qint32 CurrentEventID() const { return m_CurrentEventID; }
    QString AttendeeList(int index) const { return m_AttendeeLists[index & 1]; }
    bool ChangeFlag() const { return m_ChangeFlag; }
    bool EventSupervisor() const { return m_EventSupervisor; }
    bool WindowLoading() const { return m_WindowLoading; }
    qint32 SingleEventID() const { return m_SingleEventID; }
    QString EventListOrder() const { return m_EventListOrder; }
    QString toolbarTag() const;
    ui::ToolbarBuilder* toolbarBuilder() const { return m_builder; }
    EventListModel* listModel() const { return m_model; }
    // The rule the recurrence controls describe now.
    core::RecurrenceRule ruleFromControls() const;

    // Esc: as the close box.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // EMS_EventsFrm.cpp
    void buildControls();
    void buildToolbar();
    void connectChangeEvents();
    void setPanelEnabled(bool enabled);
    void closeByOwnCommand();
    void unloadWindow();
    HostServices* services() const;
    std::shared_ptr<db::Database> connection();
    void releaseAfterWrite();

    // EMS_EventsFrm_list.cpp
    void onGridRowChanged(int row, int previousRow);
    void positionGridOn(qint64 cmId);
    // A row chosen while a save was writing, chosen again once it has ended.
    void chooseAfterSave(qint64 cmId);
    void showRowCounter();
    qint64 gridCurrentCmId() const;

    // EMS_EventsFrm_edit.cpp
    enum WriteResult { WriteDone, WriteDeclined, WriteVanished, WriteFailed };
    WriteResult writeEvent(QString* error);
    // Reads the grid's rows again; on failure the rows stay as they were.
    void requeryList();
    void showWriteError(const QString& error);

    // EMS_EventsFrm_recurrence.cpp
    void applyRecurrenceEnabling();
    void optionClicked(int index);
    void setEndOption(int index); // -1: none chosen
    int endOption() const;
    void loadRecurrence(const events::EventRepeat& repeat);
    events::EventRepeat repeatFromControls() const;
    QString timeColumnText(int listIndex) const;
    void showNextOccurrences();

    // Window state.
    qint32 m_CurrentEventID = 0;
    QString m_AttendeeLists[2];
    bool m_ChangeFlag = false;
    bool m_WindowLoading = false;
    bool m_EventSupervisor = false;
    qint32 m_SingleEventID = 0;
    QString m_EventListOrder;
    bool m_listOpen = false; // the grid's rows were read
    QList<events::EventListRow> m_rows;
    std::optional<qint32> m_listOwner; // whose events the grid lists; none: every one
    std::shared_ptr<db::Database> m_connection;
    bool m_firstActivation = true;
    bool m_closingByOwnCommand = false;
    bool m_unloaded = false;
    int m_gridGuard = 0; // >0 while the window moves the grid itself
    int m_saving = 0;    // >0 while an event is being written
    int m_step = 15;

    // Controls.
    ui::ImageList m_ImaList;
    QToolBar* m_TB = nullptr;
    ui::ToolbarBuilder* m_builder = nullptr;
    QTableView* m_TDBG = nullptr;
    EventListModel* m_model = nullptr;
    QStatusBar* m_SB = nullptr;
    QLabel* m_SBPanel = nullptr;
    QTabBar* m_TS = nullptr;
    QWidget* m_panel = nullptr;
    QLineEdit* m_txtEve0 = nullptr;
    QPlainTextEdit* m_txtEve1 = nullptr;
    QLineEdit* m_txtAtt[2] = {nullptr, nullptr};
    QPushButton* m_CmdTo[2] = {nullptr, nullptr};
    ui::DateCombo* m_dCmbFro = nullptr;
    QComboBox* m_cmbFroTim[2] = {nullptr, nullptr};
    QCheckBox* m_ChkRea = nullptr;
    QLineEdit* m_txtReaEve = nullptr;
    QComboBox* m_cmbRea = nullptr;
    QRadioButton* m_OptReaUnl[3] = {nullptr, nullptr, nullptr};
    QLineEdit* m_txtReaTim = nullptr;
    ui::DateCombo* m_dcmbUnt = nullptr;
    QLabel* m_lblNextOccurrences = nullptr;
};

} // namespace tzsndmsg
