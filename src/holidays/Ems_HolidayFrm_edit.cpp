// The list, the row change, and new / load / save / validate / delete of a holiday.
#include "Ems_HolidayFrm.h"

#include "HolidayListModel.h"
#include "common/AutoDate.h"
#include "common/FieldValue.h"
#include "common/VbFormat.h"
#include "component/SharedState.h"
#include "db/Database.h"
#include "services/PathResolver.h"
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

QString listStatement()
{
    return QStringLiteral("Select hdocID as [ID], hdocDes as [Description], hdocUseDatFla as "
                          "[Date],hdocObsOn,hdocObsWeeDay,hdocObsMon") +
           QStringLiteral(" from hdocTable where hdocInAct<>-1 and hdocHolFla=-1 order by hdocDes");
}

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

qint64 listId(const db::Recordset& list)
{
    if (!list.isOpen() || list.bof() || list.eof())
        return 0;
    return list.value(QStringLiteral("ID")).toLongLong();
}

} // namespace

void Ems_HolidayFrm::LoadHolidayList()
{
    auto conn = suite();
    if (!conn)
        return;
    QString error;
    db::Recordset list =
        conn->query(SharedState::current().GIC->adaptSqlFor(*conn, listStatement()), &error);
    if (!list.isOpen()) {
        showBox(QStringLiteral("The holiday list could not be read.") + kCrLf + error, kSetupTitle,
                0, 16);
        return;
    }
    m_listRefreshing = true;
    m_list = list;
    m_model->bind(m_list);
    const int columns[] = {m_list.fieldIndex(QStringLiteral("ID")),
                           m_list.fieldIndex(QStringLiteral("hdocObsOn")),
                           m_list.fieldIndex(QStringLiteral("hdocObsWeeDay")),
                           m_list.fieldIndex(QStringLiteral("hdocObsMon"))};
    for (int c : columns)
        if (c >= 0)
            m_tdbg->setColumnHidden(c, true);
    const int description = m_list.fieldIndex(QStringLiteral("Description"));
    const int date = m_list.fieldIndex(QStringLiteral("Date"));
    if (description >= 0 && date >= 0) {
        // Names and rules whole at the user's font: the list asks for the room they need, up
        // to a limit that keeps the window on the screen (a longer name shows in its tooltip).
        const int widest = m_tdbg->fontMetrics().averageCharWidth() * 40;
        m_tdbg->resizeColumnToContents(description);
        m_tdbg->setColumnWidth(description, std::min(m_tdbg->columnWidth(description), widest));
        const int rules = static_cast<QAbstractItemView*>(m_tdbg)->sizeHintForColumn(date);
        const int wanted = m_tdbg->columnWidth(description) + std::min(rules, widest) +
                           2 * m_tdbg->frameWidth() + m_tdbg->verticalScrollBar()->sizeHint().width();
        m_tdbg->setMinimumWidth(std::max(m_tdbg->minimumWidth(), wanted));
    }
    // A window kept from an earlier opening shows its holiday's row; else no row is current.
    if (m_currentHolidayID == 0 || !m_list.find(QStringLiteral("ID=%1").arg(m_currentHolidayID))) {
        m_list.moveFirst();
        m_list.movePrevious();
    }
    syncGridToList();
    m_listRefreshing = false;
}

void Ems_HolidayFrm::RefreshHolidayList()
{
    auto& st = SharedState::current();
    m_listRefreshing = true;
    if (st.GIC)
        st.GIC->setBusy(this, true);
    QString error;
    if (m_list.isOpen() && m_list.requery(&error)) {
        m_model->bind(m_list);
    } else {
        LoadHolidayList();
        m_listRefreshing = true;
    }
    if (m_currentHolidayID != 0 && m_list.isOpen()) {
        m_list.moveFirst();
        m_list.find(QStringLiteral("ID=%1").arg(m_currentHolidayID));
    }
    syncGridToList();
    if (st.GIC)
        st.GIC->setBusy(this, false);
    m_listRefreshing = false;
    applyRowChange();
}

void Ems_HolidayFrm::syncGridToList()
{
    m_syncingGrid = true;
    if (!m_list.isOpen() || m_list.bof() || m_list.eof()) {
        m_tdbg->selectionModel()->clear();
    } else {
        const int description = std::max(0, m_list.fieldIndex(QStringLiteral("Description")));
        const QModelIndex index = m_model->index(m_list.absolutePosition() - 1, description);
        m_tdbg->setCurrentIndex(index);
        m_tdbg->scrollTo(index);
    }
    m_syncingGrid = false;
}

void Ems_HolidayFrm::onRowChange(const QModelIndex& current, const QModelIndex&)
{
    if (m_listRefreshing || m_syncingGrid || !current.isValid() || !m_list.isOpen())
        return;
    m_list.setAbsolutePosition(current.row() + 1);
    applyRowChange();
}

void Ems_HolidayFrm::applyRowChange()
{
    if (!m_list.isOpen() || m_list.bof() || m_list.eof())
        return;
    const qint64 target = listId(m_list);
    if (target == m_currentHolidayID)
        return;
    if (SaveHoliday(true) != 2) {
        // A save re-queries the list onto the saved holiday; the user chose the other row.
        if (listId(m_list) != target && positionListOn(target))
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
    if (!m_list.isOpen())
        return false;
    m_list.moveFirst();
    if (id != 0 && m_list.find(QStringLiteral("ID=%1").arg(id)))
        return true;
    m_list.moveFirst();
    m_list.movePrevious();
    return false;
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
    const qint64 id = listId(m_list);
    auto conn = suite();
    if (id == 0 || !conn)
        return;
    QString error;
    const QString sql = SharedState::current().GIC->adaptSqlFor(
        *conn, QStringLiteral("Select * from HDOCTable where hdocID=") + QString::number(id) +
                   QStringLiteral(";"));
    db::Recordset rs = conn->query(sql, &error);
    if (!rs.isOpen() || rs.isEmpty())
        return;
    rs.moveFirst();
    auto number = [&rs](const char* column) {
        return common::FieldValueOrZero(rs, QLatin1String(column)).toLongLong();
    };
    m_currentHolidayID = qint32(id);
    m_txt0->setText(common::FieldValue(rs, QStringLiteral("hdocDes")).toString());
    const bool fixedDate = number("hdocUseDatFla") != 0;
    m_opt[0]->setChecked(fixedDate);
    m_opt[1]->setChecked(!fixedDate);
    showPage(fixedDate);
    if (fixedDate) {
        m_cmb[0]->setCurrentIndex(HolidayComboIndex(0, number("hdocObsOn")));
        m_cmb[1]->setCurrentIndex(HolidayComboIndex(1, number("hdocObsMon")));
        m_cmb[2]->setCurrentIndex(HolidayComboIndex(2, number("hdocOnSat")));
        m_cmb[3]->setCurrentIndex(HolidayComboIndex(3, number("hdocOnSun")));
    } else {
        m_cmb[4]->setCurrentIndex(HolidayComboIndex(4, number("hdocObsOn")));
        m_cmb[5]->setCurrentIndex(HolidayComboIndex(5, number("hdocObsWeeDay")));
        m_cmb[6]->setCurrentIndex(HolidayComboIndex(6, number("hdocObsMon")));
    }
    setIconPath(common::FieldValue(rs, QStringLiteral("hdocIcoFilNam")).toString());
    m_chkNotAppToParEmp->setChecked(number("hdocNotAppToParEmp") != 0);
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
    QStringList names, texts;
    auto put = [&names, &texts](const char* name, const QString& text) {
        names << QLatin1String(name);
        texts << text;
    };
    auto number = [](qint64 value) { return QString::number(value); };
    if (isNew) {
        const QString zeroDate = common::vb::cstr(common::AutoDate::zero());
        put("hdocHolFla", number(-1));
        put("hdocOffColFla", number(-1));
        put("hdocPayFla", number(-1));
        put("hdocStaDat", zeroDate);
        put("hdocEndDat", zeroDate);
    }
    const bool fixedDate = m_opt[0]->isChecked();
    put("hdocDes", m_txt0->text());
    put("hdocInAct", number(1));
    put("hdocUseDatFla", number(fixedDate ? -1 : 0));
    if (fixedDate) {
        put("hdocObsWeeDay", number(0));
        put("hdocObsOn", number(comboValue(0)));
        put("hdocObsMon", number(comboValue(1)));
        put("hdocOnSat", number(comboValue(2)));
        put("hdocOnSun", number(comboValue(3)));
    } else {
        put("hdocObsOn", number(comboValue(4)));
        put("hdocObsWeeDay", number(comboValue(5)));
        put("hdocObsMon", number(comboValue(6)));
        put("hdocOnSat", number(0));
        put("hdocOnSun", number(0));
    }
    put("hdocIcoFilNam", m_iconPath);
    put("hdocNotAppToParEmp", number(m_chkNotAppToParEmp->isChecked() ? 1 : 0));

    auto& st = SharedState::current();
    qint64 key = m_currentHolidayID;
    QString error;
    if (!st.GIC || !st.GIC->writeRecord(0, QStringLiteral("HDOCTable"), QStringLiteral("hdocID"),
                                        key, names, texts, &error)) {
        // Nothing was written: keep the edit and the user where they are.
        m_holidayEdited = true;
        showBox(QStringLiteral("The holiday could not be saved.") + kCrLf + error, kSetupTitle, 0,
                16);
        return 2;
    }
    m_currentHolidayID = qint32(key);
    if (isNew)
        setWindowTitle(QStringLiteral("Holiday Setup/ ID = ") + QString::number(key));
    RefreshHolidayList();
    st.HolidayChanged = true;
    return 6;
}

void Ems_HolidayFrm::DeleteHoliday()
{
    const qint64 id = listId(m_list);
    auto conn = suite();
    if (id == 0 || !conn)
        return;
    const QString description = m_list.value(QStringLiteral("Description")).toString().trimmed();
    if (showBox(QStringLiteral("Would you like to delete ") + description + QStringLiteral("?"),
                QStringLiteral("Delete Holiday Setup"), 4, 0, 256) != 6)
        return;
    auto& st = SharedState::current();
    QString error;
    const QString sql = st.GIC->adaptSqlFor(
        *conn, QStringLiteral("delete * from HDOCTable where hdocID=") + QString::number(id) +
                   QStringLiteral(";"));
    if (!conn->exec(sql, &error)) {
        showBox(QStringLiteral("The holiday could not be deleted.") + kCrLf + error, kSetupTitle,
                0, 16);
        return;
    }
    // The panel must not go on editing a row that no longer exists.
    if (id == m_currentHolidayID)
        NewHoliday();
    RefreshHolidayList();
    st.HolidayChanged = true;
}

} // namespace tzsndmsg
