#include "Ems_HolidayFrm.h"

#include "HolidayListModel.h"
#include "state/Help.h"
#include "state/SharedState.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "ui/BusyPointer.h"
#include "ui/ScreenPlacement.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace tzsndmsg {

namespace {

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

QString ordinal(int day)
{
    const char* suffix = "th";
    if (day % 100 < 11 || day % 100 > 13) {
        switch (day % 10) {
        case 1:
            suffix = "st";
            break;
        case 2:
            suffix = "nd";
            break;
        case 3:
            suffix = "rd";
            break;
        default:
            break;
        }
    }
    return QString::number(day) + QLatin1String(suffix);
}

void addItems(QComboBox* combo, const QStringList& texts, const QList<int>& values)
{
    for (int i = 0; i < texts.size(); ++i)
        combo->addItem(texts.at(i), values.at(i));
}

// Taking the focus with no current row, a table makes its first row current. That is not the
// user choosing a holiday: loading it would let the next Save rename it. The row is given back.
class HolidayGrid : public QTableView {
public:
    using QTableView::QTableView;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        if (currentIndex().isValid() || !selectionModel()) {
            QTableView::focusInEvent(event);
            return;
        }
        {
            const QSignalBlocker quiet(selectionModel());
            QTableView::focusInEvent(event);
            selectionModel()->clearCurrentIndex();
        }
        viewport()->update();
    }
};

} // namespace

Ems_HolidayFrm::Ems_HolidayFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Ems_HolidayFrm"));
    setWindowTitle(QStringLiteral("Holiday Setup Screen"));
    buildUi();
    fillCombos();
    // The window opens with no holiday loaded and the controls as designed.
    m_opt[0]->setChecked(true);
    showPage(true);
    m_holidayEdited = false;
}

Ems_HolidayFrm::~Ems_HolidayFrm() = default;

void Ems_HolidayFrm::buildUi()
{
    auto* root = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    root->addLayout(body, 1);

    m_model = new HolidayListModel(
        [this](const holidays::HolidayListRow& row) {
            return ruleText(row.fixedDate, row.obsOn, row.obsWeeDay, row.obsMon);
        },
        this);
    m_tdbg = new HolidayGrid(this);
    m_tdbg->setObjectName(QStringLiteral("TDBG"));
    m_tdbg->setModel(m_model);
    m_tdbg->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tdbg->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tdbg->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tdbg->setAlternatingRowColors(true);
    m_tdbg->verticalHeader()->setDefaultSectionSize(m_tdbg->fontMetrics().height() + 6);
    m_tdbg->verticalHeader()->hide();
    m_tdbg->horizontalHeader()->setStretchLastSection(true);
    m_tdbg->setAccessibleName(QStringLiteral("Holidays"));
    m_tdbg->setTabKeyNavigation(false);
    // Room for a name and a rule at the user's font.
    m_tdbg->setMinimumWidth(m_tdbg->fontMetrics().averageCharWidth() * 44);
    connect(m_tdbg->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &Ems_HolidayFrm::onRowChange);
    body->addWidget(m_tdbg, 1);

    auto* panel = new QGroupBox(this);
    auto* form = new QVBoxLayout(panel);
    body->addWidget(panel, 0);

    auto* nameRow = new QHBoxLayout;
    auto* nameLabel = new QLabel(QStringLiteral("Na&me of Holiday : "), panel);
    m_txt0 = new QLineEdit(panel);
    m_txt0->setObjectName(QStringLiteral("txt_0"));
    m_txt0->setAccessibleName(QStringLiteral("Name of Holiday"));
    nameLabel->setBuddy(m_txt0);
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_txt0, 1);
    form->addLayout(nameRow);

    auto* optRow = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    const QString optCaptions[2] = {QStringLiteral("Use &actual date"),
                                    QStringLiteral("Use &observed date")};
    for (int i = 0; i < 2; ++i) {
        m_opt[i] = new QRadioButton(optCaptions[i], panel);
        m_opt[i]->setObjectName(QStringLiteral("Opt_%1").arg(i));
        m_opt[i]->setAccessibleName(QString(optCaptions[i]).remove(QLatin1Char('&')));
        group->addButton(m_opt[i], i);
        optRow->addWidget(m_opt[i]);
    }
    optRow->addStretch(1);
    form->addLayout(optRow);

    // The lists read on as a sentence ("4th day of July"); each is named for what it picks.
    const QString cmbNames[7] = {QStringLiteral("Day of the month"),
                                 QStringLiteral("Month"),
                                 QStringLiteral("Alternate day if on Saturday"),
                                 QStringLiteral("Alternate day if on Sunday"),
                                 QStringLiteral("Week of the month"),
                                 QStringLiteral("Day of the week"),
                                 QStringLiteral("Month of the observed date")};
    for (int i = 0; i < 7; ++i) {
        m_cmb[i] = new QComboBox(panel);
        m_cmb[i]->setObjectName(QStringLiteral("CMB_%1").arg(i));
        m_cmb[i]->setAccessibleName(cmbNames[i]);
        m_cmb[i]->setMaxVisibleItems(12);
        m_cmb[i]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    const auto buddyLabel = [](const QString& text, QWidget* buddy, QWidget* parent) {
        auto* label = new QLabel(text, parent);
        label->setBuddy(buddy);
        return label;
    };

    m_pics = new QStackedWidget(panel);
    auto* page0 = new QFrame(m_pics);
    page0->setObjectName(QStringLiteral("pics_0"));
    auto* g0 = new QGridLayout(page0);
    auto* dayRow = new QHBoxLayout;
    dayRow->addWidget(m_cmb[0]);
    dayRow->addWidget(buddyLabel(QStringLiteral("day o&f"), m_cmb[1], page0));
    dayRow->addWidget(m_cmb[1], 1);
    g0->addLayout(dayRow, 0, 0, 1, 2);
    g0->addWidget(buddyLabel(QStringLiteral("Alternate day if on Sa&turday : "), m_cmb[2], page0),
                  1, 0);
    g0->addWidget(m_cmb[2], 1, 1);
    g0->addWidget(buddyLabel(QStringLiteral("Alternate day if on S&unday : "), m_cmb[3], page0), 2,
                  0);
    g0->addWidget(m_cmb[3], 2, 1);
    g0->setRowStretch(3, 1);

    auto* page1 = new QFrame(m_pics);
    page1->setObjectName(QStringLiteral("pics_1"));
    auto* g1 = new QGridLayout(page1);
    g1->addWidget(buddyLabel(QStringLiteral("on th&e"), m_cmb[4], page1), 0, 0);
    g1->addWidget(m_cmb[4], 0, 1);
    g1->addWidget(m_cmb[5], 0, 2);
    g1->addWidget(buddyLabel(QStringLiteral("o&f"), m_cmb[6], page1), 1, 0);
    g1->addWidget(m_cmb[6], 1, 1, 1, 2);
    g1->setColumnStretch(2, 1);
    g1->setRowStretch(2, 1);

    m_pics->addWidget(page0);
    m_pics->addWidget(page1);
    form->addWidget(m_pics);

    m_chkNotAppToParEmp =
        new QCheckBox(QStringLiteral("Do not apply this holiday to &part time employees."), panel);
    m_chkNotAppToParEmp->setObjectName(QStringLiteral("ChkNotAppToParEmp"));
    m_chkNotAppToParEmp->setAccessibleName(
        QStringLiteral("Do not apply this holiday to part time employees."));
    form->addWidget(m_chkNotAppToParEmp);

    auto* iconRow = new QHBoxLayout;
    m_picIcon = new QLabel(panel);
    m_picIcon->setObjectName(QStringLiteral("PicIcon"));
    m_picIcon->setAccessibleName(QStringLiteral("Holiday icon"));
    m_picIcon->setFixedSize(44, 44);
    m_picIcon->setFrameShape(QFrame::StyledPanel);
    m_picIcon->setAlignment(Qt::AlignCenter);
    m_picIcon->setCursor(Qt::PointingHandCursor);
    m_picIcon->installEventFilter(this);
    m_cmdIcon = new QPushButton(QStringLiteral("&Icon"), panel);
    m_cmdIcon->setObjectName(QStringLiteral("cmdIcon"));
    m_cmdIcon->setAccessibleName(QStringLiteral("Icon"));
    iconRow->addWidget(m_picIcon);
    iconRow->addWidget(m_cmdIcon);
    iconRow->addStretch(1);
    form->addLayout(iconRow);
    form->addStretch(1);

    auto* edRow = new QHBoxLayout;
    edRow->addStretch(1);
    const QString edCaptions[2] = {QStringLiteral("&Save"), QStringLiteral("&Cancel")};
    for (int i = 0; i < 2; ++i) {
        m_cmdEd[i] = new QPushButton(edCaptions[i], panel);
        m_cmdEd[i]->setObjectName(QStringLiteral("CmdEd_%1").arg(i));
        m_cmdEd[i]->setAccessibleName(QString(edCaptions[i]).remove(QLatin1Char('&')));
        edRow->addWidget(m_cmdEd[i]);
    }
    form->addLayout(edRow);

    auto* buttons = new QHBoxLayout;
    const QString captions[4] = {QStringLiteral("E&xit"), QStringLiteral("&Delete"),
                                 QStringLiteral("&New"), QStringLiteral("&Help")};
    for (int i = 0; i < 4; ++i) {
        m_cmd[i] = new QPushButton(captions[i], this);
        m_cmd[i]->setObjectName(QStringLiteral("cmd_%1").arg(i));
        m_cmd[i]->setAccessibleName(QString(captions[i]).remove(QLatin1Char('&')));
    }
    buttons->addWidget(m_cmd[2]);
    buttons->addWidget(m_cmd[1]);
    buttons->addStretch(1);
    buttons->addWidget(m_cmd[3]);
    buttons->addWidget(m_cmd[0]);
    root->addLayout(buttons);
    // The bottom row tabs as it reads, left to right.
    setTabOrder(m_cmdEd[1], m_cmd[2]);
    setTabOrder(m_cmd[2], m_cmd[1]);
    setTabOrder(m_cmd[1], m_cmd[3]);
    setTabOrder(m_cmd[3], m_cmd[0]);

    // Del deletes only from the list: in the name box it deletes a letter.
    auto* save = new QShortcut(QKeySequence::Save, this);
    auto* add = new QShortcut(QKeySequence::New, this);
    auto* remove = new QShortcut(QKeySequence::Delete, m_tdbg);
    remove->setContext(Qt::WidgetShortcut);
    const auto keyText = [](const QShortcut* shortcut) {
        return shortcut->key().toString(QKeySequence::NativeText);
    };
    m_cmdEd[0]->setToolTip(QStringLiteral("Save (%1)").arg(keyText(save)));
    m_cmd[2]->setToolTip(QStringLiteral("New (%1)").arg(keyText(add)));
    m_cmd[1]->setToolTip(QStringLiteral("Delete (%1 in the list)").arg(keyText(remove)));
    m_cmd[3]->setToolTip(QStringLiteral("Help (F1)"));
    m_cmd[0]->setToolTip(QStringLiteral("Exit (Alt+X)"));
    connect(save, &QShortcut::activated, m_cmdEd[0], &QPushButton::click);
    connect(add, &QShortcut::activated, m_cmd[2], &QPushButton::click);
    connect(remove, &QShortcut::activated, m_cmd[1], &QPushButton::click);

    // Enter in the name box must not press a button.
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(m_txt0, &QLineEdit::textChanged, this, [this] { setEdited(); });
    connect(m_opt[0], &QRadioButton::clicked, this, [this] {
        showPage(true);
        setEdited();
    });
    connect(m_opt[1], &QRadioButton::clicked, this, [this] {
        showPage(false);
        setEdited();
    });
    connect(m_opt[0], &QRadioButton::toggled, this, [this](bool on) { showPage(on); });
    for (QComboBox* c : m_cmb)
        connect(c, &QComboBox::currentIndexChanged, this, [this] { setEdited(); });
    connect(m_chkNotAppToParEmp, &QCheckBox::toggled, this, [this] { setEdited(); });
    connect(m_cmdIcon, &QPushButton::clicked, this, &Ems_HolidayFrm::ChooseIcon);
    connect(m_cmd[0], &QPushButton::clicked, this, &Ems_HolidayFrm::onExit);
    connect(m_cmd[1], &QPushButton::clicked, this, &Ems_HolidayFrm::DeleteHoliday);
    connect(m_cmd[2], &QPushButton::clicked, this, &Ems_HolidayFrm::onNew);
    connect(m_cmd[3], &QPushButton::clicked, this, [this] { ShowContextHelp(this); });
    connect(m_cmdEd[0], &QPushButton::clicked, this, [this] { SaveHoliday(false); });
    connect(m_cmdEd[1], &QPushButton::clicked, this, &Ems_HolidayFrm::onCancel);

    InstallHelpKey(this);
}

void Ems_HolidayFrm::fillCombos()
{
    QStringList days, months;
    QList<int> dayValues, monthValues;
    for (int d = 1; d <= 31; ++d) {
        days << ordinal(d);
        dayValues << d;
    }
    for (int m = 0; m < 12; ++m) {
        months << QLatin1String(kMonths[m]);
        monthValues << m + 1;
    }
    addItems(m_cmb[0], days, dayValues);
    addItems(m_cmb[1], months, monthValues);
    addItems(m_cmb[2],
             {QStringLiteral("No alternate day"), QStringLiteral("Friday prior"),
              QStringLiteral("Monday after")},
             {0, 1, 2});
    addItems(m_cmb[3],
             {QStringLiteral("No alternate date"), QStringLiteral("Friday prior"),
              QStringLiteral("Monday after")},
             {0, 1, 2});
    addItems(m_cmb[4],
             {QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third"),
              QStringLiteral("Fourth"), QStringLiteral("Last")},
             {1, 2, 3, 4, 0});
    addItems(m_cmb[5],
             {QStringLiteral("Monday"), QStringLiteral("Tuesday"), QStringLiteral("Wednesday"),
              QStringLiteral("Thursday"), QStringLiteral("Friday"), QStringLiteral("Saturday"),
              QStringLiteral("Sunday")},
             {2, 3, 4, 5, 6, 7, 1});
    addItems(m_cmb[6], months, monthValues);
    for (int i : {0, 1, 4, 5, 6})
        m_cmb[i]->setCurrentIndex(-1);
    // A narrow window must not cut a choice ("No alternate date"): the lists keep their width.
    for (QComboBox* c : m_cmb)
        c->setMinimumWidth(c->sizeHint().width());
}

void Ems_HolidayFrm::load()
{
    auto& st = SharedState::current();
    st.HolidayChanged = false;
    m_holidayEdited = false;
    LoadHolidayList();
    // At a large font the controls' own sizes (the list's included) win over the designed size.
    const QSize hint = sizeHint();
    resize(std::max(840, hint.width()), std::max(460, hint.height()));
    ui::centreOnScreen(this, QGuiApplication::primaryScreen());
    SetHelpContext(this, HelpEventsAndHolidays);
}

void Ems_HolidayFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    restorePointerIfPending();
}

void Ems_HolidayFrm::restorePointerIfPending()
{
    if (!m_restorePointer)
        return;
    m_restorePointer = false;
    ui::normalPointer();
}

void Ems_HolidayFrm::closeEvent(QCloseEvent* event)
{
    // Closing other than through Exit asks nothing; unsaved edits are dropped.
    event->accept();
    QDialog::closeEvent(event);
}

bool Ems_HolidayFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        ChooseIcon();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Ems_HolidayFrm::showPage(bool fixedDate)
{
    m_pics->setCurrentIndex(fixedDate ? 0 : 1);
}

std::shared_ptr<db::Database> Ems_HolidayFrm::suite() const
{
    auto& st = SharedState::current();
    return st.GIC ? st.GIC->suiteConnection() : nullptr;
}

QString Ems_HolidayFrm::applicationFolder() const
{
    auto& st = SharedState::current();
    QString folder = st.GIC ? st.GIC->dataFolder() : QString();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

int Ems_HolidayFrm::HolidayComboIndex(int cmbIndex, qint64 value)
{
    switch (cmbIndex) {
    case 0:
    case 1:
    case 6:
        return int(value - 1);
    case 4:
        return value == 0 ? 4 : int(value - 1);
    case 5:
        return value == 1 ? 6 : int(value - 2);
    default: // 2, 3
        return int(value);
    }
}

QString Ems_HolidayFrm::comboText(int cmbIndex, qint64 value) const
{
    return m_cmb[cmbIndex]->itemText(HolidayComboIndex(cmbIndex, value));
}

int Ems_HolidayFrm::comboValue(int cmbIndex) const
{
    return m_cmb[cmbIndex]->currentData().toInt();
}

QString Ems_HolidayFrm::ruleText(bool fixedDate, qint64 obsOn, qint64 obsWeeDay,
                                 qint64 obsMon) const
{
    if (fixedDate)
        return comboText(0, obsOn) + QStringLiteral(" day of ") + comboText(1, obsMon);
    return QStringLiteral("on the ") + comboText(4, obsOn) + QLatin1Char(' ') +
           comboText(5, obsWeeDay) + QStringLiteral(" of ") + comboText(6, obsMon);
}

void Ems_HolidayFrm::onExit()
{
    if (SaveHoliday(true) != 2)
        done(QDialog::Accepted);
}

void Ems_HolidayFrm::onNew()
{
    if (SaveHoliday(true) != 2)
        NewHoliday();
}

void Ems_HolidayFrm::onCancel()
{
    if (SaveHoliday(true) == 2)
        return;
    // LoadHoliday reads the list's current row: make it the holiday in hand.
    if (m_currentHolidayID != 0 && positionListOn(m_currentHolidayID)) {
        syncGridToList();
        LoadHoliday();
    } else {
        NewHoliday();
    }
}

} // namespace tzsndmsg
