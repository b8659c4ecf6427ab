// The list, the row change, and new / load / save / validate / delete of a holiday.
#include "Ems_HolidayFrm.h"
#include "HolidayListModel.h"
#include "services/PathResolver.h"
#include "state/SharedState.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>

namespace tzsndmsg {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kDefaultIcon = QStringLiteral("icons\\FlagUsa.ico");
const QString kSetupTitle = QStringLiteral("Holiday setup");

int showBox(const QString& text, const QString& title, int buttons, int icon, int defaultButton = 0)
{
    ui::MessageBoxRequest request;
    request.text = text;
    request.title = title;
    request.buttons = buttons;
    request.icon = icon;
    request.defaultButton = defaultButton;
    return ui::MessageBox::show(request);
}

} // namespace

qint64 Ems_HolidayFrm::listId() const
{
    const holidays::HolidayListRow* row = m_model->row(m_row);
    return row ? row->id : 0;
}

bool Ems_HolidayFrm::readList(QString* error)
{
    auto rows = holidays::readHolidayList(*SharedState::current().GIC, error);
    if (!rows)
        return false;
    m_model->bind(*rows);
    m_listRead = true;
    return true;
}

void Ems_HolidayFrm::LoadHolidayList()
{
    if (!suite())
        return;
    QString error;
    const bool wasRefreshing = m_listRefreshing;
    m_listRefreshing = true;
    if (!readList(&error)) {
        m_listRefreshing = wasRefreshing;
        showBox(QStringLiteral("The holiday list could not be read.") + kCrLf + error, kSetupTitle,
                0, 16);
        return;
    }
    for (int c : {HolidayListModel::IdColumn, HolidayListModel::ObsOnColumn,
                  HolidayListModel::ObsWeeDayColumn, HolidayListModel::ObsMonColumn})
        m_tdbg->setColumnHidden(c, true);
    // Names and rules whole at the user's font: the list asks for the room they need, up to a
    // limit that keeps the window on the screen (a longer name shows in its tooltip).
    const int description = HolidayListModel::DescriptionColumn;
    const int widest = m_tdbg->fontMetrics().averageCharWidth() * 40;
    m_tdbg->resizeColumnToContents(description);
    m_tdbg->setColumnWidth(description, std::min(m_tdbg->columnWidth(description), widest));
    const int rules =
        static_cast<QAbstractItemView*>(m_tdbg)->sizeHintForColumn(HolidayListModel::DateColumn);
    const int wanted = m_tdbg->columnWidth(description) + std::min(rules, widest) +
                       2 * m_tdbg->frameWidth() + m_tdbg->verticalScrollBar()->sizeHint().width();
    m_tdbg->setMinimumWidth(std::max(m_tdbg->minimumWidth(), wanted));
    // A window kept from an earlier opening shows its holiday's row; else no row is current.
    m_row = m_currentHolidayID == 0 ? -1 : m_model->rowOfId(m_currentHolidayID);
    syncGridToList();
    m_listRefreshing = false;
}

void Ems_HolidayFrm::RefreshHolidayList()
{
    auto& st = SharedState::current();
    m_listRefreshing = true;
    if (st.GIC)
        st.GIC->setBusy(this, true);
    // Read again, the list stands on its first row; once never read, it loads as on opening.
    if (m_listRead && suite() && readList(nullptr)) {
        m_row = m_model->rowCount() > 0 ? 0 : -1;
    } else {
        LoadHolidayList();
        m_listRefreshing = true;
    }
    if (m_currentHolidayID != 0 && m_listRead)
        m_row = m_model->rowOfId(m_currentHolidayID);
    syncGridToList();
    if (st.GIC)
        st.GIC->setBusy(this, false);
    m_listRefreshing = false;
    applyRowChange();
}

void Ems_HolidayFrm::syncGridToList()
{
    m_syncingGrid = true;
    if (!m_model->row(m_row)) {
        m_tdbg->selectionModel()->clear();
    } else {
        const QModelIndex index = m_model->index(m_row, HolidayListModel::DescriptionColumn);
        m_tdbg->setCurrentIndex(index);
        m_tdbg->scrollTo(index);
    }
    m_syncingGrid = false;
}

void Ems_HolidayFrm::onRowChange(const QModelIndex& current, const QModelIndex&)
{
    if (m_listRefreshing || m_syncingGrid || !current.isValid() || !m_listRead)
        return;
    if (m_model->row(current.row()))
        m_row = current.row();
    applyRowChange();
}

void Ems_HolidayFrm::applyRowChange()
{
    if (!m_model->row(m_row))
        return;
    const qint64 target = listId();
    if (target == m_currentHolidayID)
        return;
    if (SaveHoliday(true) != 2) {
        // A save re-queries the list onto the saved holiday; the user chose the other row.
        if (listId() != target && positionListOn(target))
            syncGridToList();
        LoadHoliday();
        return;
    }
    // Cancel keeps the user on the holiday in hand: the grid goes back to its row.
    positionListOn(m_currentHolidayID);
    syncGridToList();
}

bool Ems_HolidayFrm::positionListOn(qint64 id)
{
    if (!m_listRead)
        return false;
    m_row = id != 0 ? m_model->rowOfId(id) : -1;
    return m_row >= 0;
}

bool Ems_HolidayFrm::loadIcon(const QString& relativePath)
{
    QPixmap picture;
    const bool ok = !relativePath.trimmed().isEmpty() &&
                    picture.load(tzglob::resolvePath(applicationFolder(), relativePath));
    if (ok)
        m_picIcon->setPixmap(picture.scaled(m_picIcon->contentsRect().size(), Qt::KeepAspectRatio,
                                            Qt::SmoothTransformation));
    else
        m_picIcon->clear();
    return ok;
}

void Ems_HolidayFrm::setIconPath(const QString& path)
{
    m_iconPath = path;
    m_picIcon->setProperty("tag", path);
}

void Ems_HolidayFrm::NewHoliday()
{
    m_currentHolidayID = 0;
    m_txt0->clear();
    m_opt[0]->setChecked(true);
    showPage(true);
    for (int i : {0, 1, 4, 5, 6})
        m_cmb[i]->setCurrentIndex(-1);
    m_cmb[2]->setCurrentIndex(0);
    m_cmb[3]->setCurrentIndex(0);
    m_chkNotAppToParEmp->setChecked(false);
    setIconPath(kDefaultIcon);
    loadIcon(m_iconPath);
    setWindowTitle(QStringLiteral("Holiday Setup/ New"));
    m_holidayEdited = false;
}

void Ems_HolidayFrm::LoadHoliday()
{
    NewHoliday();
    const qint64 id = listId();
    if (id == 0 || !suite())
        return;
    const std::optional<holidays::Holiday> h =
        holidays::readHoliday(*SharedState::current().GIC, id);
    if (!h)
        return;
    m_currentHolidayID = qint32(id);
    m_txt0->setText(h->description);
    m_opt[0]->setChecked(h->fixedDate);
    m_opt[1]->setChecked(!h->fixedDate);
    showPage(h->fixedDate);
    if (h->fixedDate) {
        m_cmb[0]->setCurrentIndex(HolidayComboIndex(0, h->obsOn));
        m_cmb[1]->setCurrentIndex(HolidayComboIndex(1, h->obsMon));
        m_cmb[2]->setCurrentIndex(HolidayComboIndex(2, h->onSat));
        m_cmb[3]->setCurrentIndex(HolidayComboIndex(3, h->onSun));
    } else {
        m_cmb[4]->setCurrentIndex(HolidayComboIndex(4, h->obsOn));
        m_cmb[5]->setCurrentIndex(HolidayComboIndex(5, h->obsWeeDay));
        m_cmb[6]->setCurrentIndex(HolidayComboIndex(6, h->obsMon));
    }
    setIconPath(h->iconFile);
    m_chkNotAppToParEmp->setChecked(h->notForPartTimeStaff);
    if (!loadIcon(m_iconPath)) {
        setIconPath(kDefaultIcon);
        if (!loadIcon(m_iconPath))
            setIconPath(QString());
    }
    setWindowTitle(QStringLiteral("Holiday Setup/ ID = ") + QString::number(id));
    m_holidayEdited = false;
}

int Ems_HolidayFrm::ValidateHoliday()
{
    QString reasons;
    if (m_txt0->text().isEmpty())
        reasons += QStringLiteral("[Name of Holiday] cannot be blank.") + kCrLf;
    if (m_opt[0]->isChecked()) {
        if (m_cmb[0]->currentIndex() < 0 || m_cmb[1]->currentIndex() < 0)
            reasons += QStringLiteral("Day and month cannot be empty.") + kCrLf;
    } else if (m_cmb[4]->currentIndex() < 0 || m_cmb[5]->currentIndex() < 0 ||
               m_cmb[6]->currentIndex() < 0) {
        reasons += QStringLiteral("Observed day of week and month cannot be empty.") + kCrLf;
    }
    if (reasons.isEmpty())
        return 1;
    return showBox(QStringLiteral("Please double check the data for the following reason:") +
                       kCrLf + kCrLf + reasons + kCrLf +
                       QStringLiteral("Would you like to proceed without saving current editing?"),
                   kSetupTitle, 4, 0, 256);
}

int Ems_HolidayFrm::SaveHoliday(bool AskToSave)
{
    if (!m_holidayEdited)
        return 6;
    if (AskToSave) {
        const int answer = showBox(QStringLiteral("Would you like to save the changes?"),
                                   QStringLiteral("Save Changes"), 3, 32);
        if (answer != 6)
            return answer;
    }
    const int valid = ValidateHoliday();
    if (valid == 7)
        return 2;
    if (valid == 6)
        return 6;

    m_holidayEdited = false;
    const bool isNew = m_currentHolidayID == 0;
    holidays::Holiday holiday;
    holiday.id = m_currentHolidayID;
    holiday.description = m_txt0->text();
    holiday.fixedDate = m_opt[0]->isChecked();
    if (holiday.fixedDate) {
        holiday.obsOn = comboValue(0);
        holiday.obsMon = comboValue(1);
        holiday.onSat = comboValue(2);
        holiday.onSun = comboValue(3);
    } else {
        holiday.obsOn = comboValue(4);
        holiday.obsWeeDay = comboValue(5);
        holiday.obsMon = comboValue(6);
    }
    holiday.iconFile = m_iconPath;
    holiday.notForPartTimeStaff = m_chkNotAppToParEmp->isChecked();

    auto& st = SharedState::current();
    QString error;
    const std::optional<qint64> saved =
        st.GIC ? holidays::saveHoliday(*st.GIC, holiday, &error) : std::nullopt;
    if (!saved) {
        // Nothing was written: keep the edit and the user where they are.
        m_holidayEdited = true;
        showBox(QStringLiteral("The holiday could not be saved.") + kCrLf + error, kSetupTitle, 0,
                16);
        return 2;
    }
    m_currentHolidayID = qint32(*saved);
    if (isNew)
        setWindowTitle(QStringLiteral("Holiday Setup/ ID = ") + QString::number(*saved));
    RefreshHolidayList();
    st.HolidayChanged = true;
    return 6;
}

void Ems_HolidayFrm::DeleteHoliday()
{
    const qint64 id = listId();
    if (id == 0 || !suite())
        return;
    const QString description = m_model->row(m_row)->description.trimmed();
    if (showBox(QStringLiteral("Would you like to delete ") + description + QStringLiteral("?"),
                QStringLiteral("Delete Holiday Setup"), 4, 0, 256) != 6)
        return;
    auto& st = SharedState::current();
    QString error;
    if (!holidays::deleteHoliday(*st.GIC, id, &error)) {
        showBox(QStringLiteral("The holiday could not be deleted.") + kCrLf + error, kSetupTitle, 0,
                16);
        return;
    }
    // The panel must not go on editing a row that no longer exists.
    if (id == m_currentHolidayID)
        NewHoliday();
    RefreshHolidayList();
    st.HolidayChanged = true;
}

} // namespace tzsndmsg
