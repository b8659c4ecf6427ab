#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableView;

namespace tzsndmsg {

namespace db {
class Database;
}
class HolidayListModel;

// The holiday setup window: the office's holidays in HDOCTable, on the suite's connection.
class Ems_HolidayFrm : public QDialog {
    Q_OBJECT
public:
    explicit Ems_HolidayFrm(QWidget* parent = nullptr);
    ~Ems_HolidayFrm() override;

    // Form_Load: clears HolidayChanged, sizes and centres the window, lists the holidays.
    void load();

    void LoadHolidayList();
    void RefreshHolidayList();
    void NewHoliday();
    void LoadHoliday();
    // 6 go on, 7 the user said No, 2 stop.
    int SaveHoliday(bool AskToSave);
    // 1 valid, else the answer: 6 go on without saving, 7 stay.
    int ValidateHoliday();
    void DeleteHoliday();
    // The icon file dialog and its checks ("&Icon" or a click on the icon).
    void ChooseIcon();

    // The list index of a stored value in CMB(cmbIndex).
    static int HolidayComboIndex(int cmbIndex, qint64 value);
    // The "Date" cell of a list row: "4th day of July", "on the Fourth Thursday of November".
    QString ruleText(bool fixedDate, qint64 obsOn, qint64 obsWeeDay, qint64 obsMon) const;

    qint32 CurrentHolidayID() const { return m_currentHolidayID; }
    bool HolidayEdited() const { return m_holidayEdited; }
    QString iconPath() const { return m_iconPath; }

    // Holiday_Start sets the busy pointer; the first activation puts it back.
    void restorePointerOnActivation() { m_restorePointer = true; }
    bool pointerRestorePending() const { return m_restorePointer; }
    void restorePointerIfPending();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    void fillCombos();
    void setEdited() { m_holidayEdited = true; }
    void showPage(bool fixedDate);
    bool loadIcon(const QString& relativePath);
    void onRowChange(const QModelIndex& current, const QModelIndex& previous);
    // The row-change rule on the list's current row.
    void applyRowChange();
    // The list on the row of the ID; on no row when it is not listed.
    bool positionListOn(qint64 id);
    // Reads the list into the grid; false with the reason when it cannot be read.
    bool readList(QString* error);
    // The ID on the list's current row, 0 when none.
    qint64 listId() const;
    void setIconPath(const QString& path);
    // Puts the grid's current row on the list's current row without a row change.
    void syncGridToList();
    int comboValue(int cmbIndex) const;
    QString comboText(int cmbIndex, qint64 value) const;
    QString applicationFolder() const;
    std::shared_ptr<db::Database> suite() const;
    void onExit();
    void onNew();
    void onCancel();

    QLineEdit* m_txt0 = nullptr;
    QRadioButton* m_opt[2] = {};
    QStackedWidget* m_pics = nullptr;
    QComboBox* m_cmb[7] = {};
    QCheckBox* m_chkNotAppToParEmp = nullptr;
    QLabel* m_picIcon = nullptr;
    QPushButton* m_cmdIcon = nullptr;
    QPushButton* m_cmd[4] = {};
    QPushButton* m_cmdEd[2] = {};
    QTableView* m_tdbg = nullptr;
    HolidayListModel* m_model = nullptr;

    qint32 m_currentHolidayID = 0;
    bool m_holidayEdited = false;
    bool m_listRefreshing = false;
    bool m_syncingGrid = false;
    bool m_restorePointer = false;
    QString m_iconPath;
    // The list's current row (-1: none) and whether it was ever read.
    int m_row = -1;
    bool m_listRead = false;
};

} // namespace tzsndmsg
