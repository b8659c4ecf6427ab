#include "EMS_EventsFrm.h"

#include "EventListModel.h"
#include "core/EventStore.h"
#include "directory/StaffDirectory.h"
#include "fields/OfficeHours.h"
#include "state/Help.h"
#include "state/SharedState.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "ui/BusyPointer.h"
#include "ui/CutTextDelegate.h"
#include "ui/DateCombo.h"
#include "ui/ToolbarBuilder.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tzsndmsg {

namespace {

// The grid's columns share its width: the date and the two times as wide as their texts, "Who"
// as a login, and "Event", "Description" and "To/ CC" the rest, so that the list reads without
// a sideways scroll on an office screen (1280 by 800). Below their least widths it scrolls.
class ColumnFitter : public QObject {
public:
    explicit ColumnFitter(QTableView* grid) : QObject(grid), m_grid(grid) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The viewport narrows too when the vertical scroll bar comes.
        if ((watched == m_grid || watched == m_grid->viewport()) &&
            (event->type() == QEvent::Resize || event->type() == QEvent::Show))
            fit();
        return false;
    }

    void fit()
    {
        QHeaderView* header = m_grid->horizontalHeader();
        const QFontMetrics metrics(m_grid->font());
        const int pad = 14;
        // Captions measured bold: the style may show the current column's so.
        QFont captionFont = header->font();
        captionFont.setBold(true);
        const QFontMetrics captionMetrics(captionFont);
        auto fitting = [&](const QString& sample, int column) {
            const QString caption = m_grid->model()->headerData(column, Qt::Horizontal).toString();
            return std::max(metrics.horizontalAdvance(sample),
                            captionMetrics.horizontalAdvance(caption)) +
                   pad;
        };
        const int date = fitting(QStringLiteral("12/28/2026"), EventListModel::ColDate);
        const int time = fitting(QStringLiteral("12:00 AM"), EventListModel::ColTime);
        const int eTime = fitting(QStringLiteral("12:00 AM"), EventListModel::ColETime);
        // A usual login; a longer one is cut and shown whole in its tooltip.
        const int who = fitting(QStringLiteral("MARIA"), EventListModel::ColWho);
        header->resizeSection(EventListModel::ColDate, date);
        header->resizeSection(EventListModel::ColTime, time);
        header->resizeSection(EventListModel::ColETime, eTime);
        header->resizeSection(EventListModel::ColWho, who);

        // Rows as tall as the font, and never fewer than a handful of them on show.
        const int row = metrics.height() + 8;
        if (m_grid->verticalHeader()->defaultSectionSize() != row)
            m_grid->verticalHeader()->setDefaultSectionSize(row);
        m_grid->setMinimumHeight(header->sizeHint().height() + kLeastRows * row +
                                 2 * m_grid->frameWidth());

        const int chars = metrics.averageCharWidth();
        // Never narrower than a few letters, nor than the column's own caption.
        auto least = [&](int column) { return std::max(chars * 8, fitting(QString(), column)); };
        const int room = m_grid->viewport()->width() - date - time - eTime - who;
        const int event = std::clamp(room * 36 / 100, least(EventListModel::ColEvent), chars * 32);
        const int toCc = std::clamp(room * 28 / 100, least(EventListModel::ColToCc), chars * 32);
        header->resizeSection(EventListModel::ColEvent, event);
        header->resizeSection(EventListModel::ColToCc, toCc);
        header->resizeSection(EventListModel::ColDescription,
                              std::max(least(EventListModel::ColDescription), room - event - toCc));
    }

private:
    static constexpr int kLeastRows = 6;
    QTableView* m_grid;
};

// Enter on a row of the grid opens that event for editing: the focus goes to its title.
class GridEnter : public QObject {
public:
    GridEnter(QTableView* grid, QWidget* editor) : QObject(grid), m_grid(grid), m_editor(editor) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_grid || event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !m_grid->currentIndex().isValid() ||
            !m_editor->isEnabled())
            return false;
        m_editor->setFocus(Qt::OtherFocusReason);
        return true;
    }

private:
    QTableView* m_grid;
    QWidget* m_editor;
};

// Del in a read-only field stays with the field, as in any other text field: it never reaches
// the window's Delete.
class KeepDelete : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Delete)
            return false;
        event->accept();
        return true;
    }
};

} // namespace

namespace {

const char* const kProgramName = "tzSndMsg";

QLabel* caption(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// A date box is read as one field: its edit and its calendar button say whose they are.
void nameDateBox(ui::DateCombo* box, const QString& name)
{
    box->setAccessibleName(name);
    box->lineEdit()->setAccessibleName(name);
    box->dropDownButton()->setAccessibleName(name + QStringLiteral(" calendar"));
}

} // namespace

EMS_EventsFrm::EMS_EventsFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("EMS_EventsFrm"));
    setWindowTitle(QStringLiteral("Office Event"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildControls();
    connectChangeEvents();
}

EMS_EventsFrm::~EMS_EventsFrm()
{
    unloadWindow();
}

HostServices* EMS_EventsFrm::services() const
{
    return SharedState::current().GIC.get();
}

std::shared_ptr<db::Database> EMS_EventsFrm::connection()
{
    if (!m_connection && services())
        m_connection = services()->connectionByIndex(9);
    return m_connection;
}

void EMS_EventsFrm::releaseAfterWrite()
{
    if (auto db = connection(); db && services())
        services()->releaseAfterWrite(*db);
}

void EMS_EventsFrm::buildControls()
{
    m_TB = new QToolBar(this);
    m_TB->setObjectName(QStringLiteral("TB"));
    m_TB->setIconSize(QSize(24, 24));
    m_TB->setMovable(false);

    m_TS = new QTabBar(this);
    m_TS->setObjectName(QStringLiteral("TS"));
    m_TS->addTab(QStringLiteral("Event"));
    m_TS->addTab(QString());
    m_TS->hide();

    m_TDBG = new QTableView(this);
    m_TDBG->setObjectName(QStringLiteral("TDBG"));
    m_model = new EventListModel(this);
    m_model->setToCcProvider([this](const QList<qint64>& ids) { return ToCcTexts(ids); });
    m_TDBG->setModel(m_model);
    m_TDBG->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_TDBG->setSelectionMode(QAbstractItemView::SingleSelection);
    m_TDBG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_TDBG->setAlternatingRowColors(true);
    m_TDBG->setWordWrap(false);
    // Arrows move within the list; Tab leaves it.
    m_TDBG->setTabKeyNavigation(false);
    m_TDBG->setItemDelegate(new ui::CutTextDelegate(m_TDBG));
    m_TDBG->setAccessibleName(QStringLiteral("Events"));
    m_TDBG->setColumnHidden(EventListModel::ColCMID, true);
    auto* header = m_TDBG->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    auto* fitter = new ColumnFitter(m_TDBG);
    m_TDBG->installEventFilter(fitter);
    m_TDBG->viewport()->installEventFilter(fitter);
    fitter->fit();
    connect(m_TDBG->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                onGridRowChanged(current.isValid() ? current.row() : -1,
                                 previous.isValid() ? previous.row() : -1);
            });

    // The editing panel (first page).
    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("Frame_0"));
    auto* form = new QGridLayout(m_panel);
    form->setColumnStretch(1, 1);

    m_txtEve0 = new QLineEdit;
    m_txtEve0->setObjectName(QStringLiteral("txtEve_0"));
    m_txtEve0->setAccessibleName(QStringLiteral("Event title"));
    m_txtEve0->setMaxLength(255);
    m_TDBG->installEventFilter(new GridEnter(m_TDBG, m_txtEve0));
    m_txtEve1 = new QPlainTextEdit;
    m_txtEve1->setObjectName(QStringLiteral("txtEve_1"));
    m_txtEve1->setAccessibleName(QStringLiteral("Description"));
    m_txtEve1->setTabChangesFocus(true);
    form->addWidget(caption(QStringLiteral("Event &Title : "), m_txtEve0), 0, 0);
    form->addWidget(m_txtEve0, 0, 1, 1, 2);
    form->addWidget(caption(QStringLiteral("&Description : "), m_txtEve1), 1, 0, Qt::AlignTop);
    form->addWidget(m_txtEve1, 1, 1, 1, 2);
    form->setRowStretch(1, 1);

    const char* const cmdCaptions[] = {"&Attendees...", "&CC..."};
    const char* const cmdNames[] = {"Choose attendees", "Choose people to copy"};
    const char* const attNames[] = {"Attendees", "Copied to"};
    for (int i = 0; i < 2; ++i) {
        m_CmdTo[i] = new QPushButton(QString::fromLatin1(cmdCaptions[i]));
        m_CmdTo[i]->setObjectName(QStringLiteral("CmdTo_%1").arg(i));
        m_CmdTo[i]->setAccessibleName(QString::fromLatin1(cmdNames[i]));
        m_CmdTo[i]->setAutoDefault(false);
        m_txtAtt[i] = new QLineEdit;
        m_txtAtt[i]->setObjectName(QStringLiteral("txtAtt_%1").arg(i));
        m_txtAtt[i]->setAccessibleName(QString::fromLatin1(attNames[i]));
        m_txtAtt[i]->setReadOnly(true);
        m_txtAtt[i]->installEventFilter(new KeepDelete(m_txtAtt[i]));
        form->addWidget(m_CmdTo[i], 2 + i, 0);
        form->addWidget(m_txtAtt[i], 2 + i, 1, 1, 2);
        connect(m_CmdTo[i], &QPushButton::clicked, this, [this, i] { PickAttendees(i); });
    }

    // The date on a row of its own and the times below it, so that the panel stays narrow
    // enough for the list beside it in a large font.
    m_dCmbFro = new ui::DateCombo;
    m_dCmbFro->setObjectName(QStringLiteral("dCmbFro_0"));
    m_dCmbFro->setRange(QDate(100, 1, 1), QDate(9999, 12, 31));
    nameDateBox(m_dCmbFro, QStringLiteral("Event date"));
    form->addWidget(caption(QStringLiteral("o&n : "), m_dCmbFro), 4, 0);
    form->addWidget(m_dCmbFro, 4, 1, 1, 2);
    auto* times = new QHBoxLayout;
    const char* const timeCaptions[] = {"fro&m : ", "t&o : "};
    const char* const timeNames[] = {"Start time", "End time"};
    for (int i = 0; i < 2; ++i) {
        m_cmbFroTim[i] = new QComboBox;
        m_cmbFroTim[i]->setObjectName(QStringLiteral("cmbFroTim_%1").arg(i));
        m_cmbFroTim[i]->setAccessibleName(QString::fromLatin1(timeNames[i]));
        m_cmbFroTim[i]->setMaxVisibleItems(16);
        auto* label = caption(QString::fromLatin1(timeCaptions[i]), m_cmbFroTim[i]);
        if (i == 0)
            form->addWidget(label, 5, 0);
        else
            times->addWidget(label);
        times->addWidget(m_cmbFroTim[i], 1);
    }
    form->addLayout(times, 5, 1, 1, 2);

    // Recurrence.
    auto* rec = new QGroupBox;
    rec->setObjectName(QStringLiteral("fraRecurrence"));
    auto* recLayout = new QGridLayout(rec);
    m_ChkRea = new QCheckBox(QStringLiteral("&Recurring Every (in addition to first date) :"));
    m_ChkRea->setObjectName(QStringLiteral("ChkRea_0"));
    m_ChkRea->setAccessibleName(QStringLiteral("Recurring event"));
    m_txtReaEve = new QLineEdit;
    m_txtReaEve->setObjectName(QStringLiteral("txtReaEve_0"));
    m_txtReaEve->setAccessibleName(QStringLiteral("Repeat every how many"));
    m_cmbRea = new QComboBox;
    m_cmbRea->setObjectName(QStringLiteral("cmbRea_0"));
    m_cmbRea->setAccessibleName(QStringLiteral("Repeat unit"));
    const struct {
        const char* text;
        int value;
    } units[] = {{"Day(s)", 1},
                 {"Week(s)", 7},
                 {"Monday", -7},
                 {"Month", 30},
                 {"Quarter(s)", 91},
                 {"Year(s)", 365},
                 {"Monday through Friday", -15},
                 {"Saturday and Sunday", -13},
                 {"1st Monday of the month", -6},
                 {"2nd Monday of the month", -5},
                 {"3rd Monday of the month", -4},
                 {"4th Monday of the month", -3},
                 {"Last Monday of the month", -2}};
    for (const auto& u : units)
        m_cmbRea->addItem(QString::fromLatin1(u.text), u.value);
    m_cmbRea->setMaxVisibleItems(13);
    recLayout->addWidget(m_ChkRea, 0, 0, 1, 4);
    auto* every = new QHBoxLayout;
    every->addWidget(m_txtReaEve);
    every->addWidget(m_cmbRea, 1);
    recLayout->addLayout(every, 1, 0, 1, 4);

    const char* const optCaptions[] = {"&Unlimited", "&for", "Unt&il"};
    const char* const optNames[] = {"Repeat without end", "Repeat a number of times",
                                    "Repeat until a date"};
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_OptReaUnl[i] = new QRadioButton(QString::fromLatin1(optCaptions[i]));
        m_OptReaUnl[i]->setObjectName(QStringLiteral("OptReaUnl_%1").arg(i));
        m_OptReaUnl[i]->setAccessibleName(QString::fromLatin1(optNames[i]));
        group->addButton(m_OptReaUnl[i], i);
        connect(m_OptReaUnl[i], &QRadioButton::clicked, this, [this, i] { optionClicked(i); });
        connect(m_OptReaUnl[i], &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                Set_ChangeFalg(true);
                applyRecurrenceEnabling();
            }
        });
    }
    m_txtReaTim = new QLineEdit;
    m_txtReaTim->setObjectName(QStringLiteral("txtReaTim_0"));
    m_txtReaTim->setAccessibleName(QStringLiteral("Number of times"));
    // Counts are short: as wide as a few digits of the font in use.
    for (QLineEdit* count : {m_txtReaEve, m_txtReaTim})
        count->setMaximumWidth(count->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                               count->fontMetrics().averageCharWidth() * 2);
    m_dcmbUnt = new ui::DateCombo;
    m_dcmbUnt->setObjectName(QStringLiteral("dcmbUnt_0"));
    m_dcmbUnt->setRange(QDate(100, 1, 1), QDate(9999, 12, 31));
    nameDateBox(m_dcmbUnt, QStringLiteral("Last date"));
    // How it ends: without end or a number of times on one row, until a date below.
    auto* ends = new QGridLayout;
    auto* count = new QHBoxLayout;
    count->addWidget(m_OptReaUnl[0]);
    count->addSpacing(12);
    count->addWidget(m_OptReaUnl[1]);
    count->addWidget(m_txtReaTim);
    count->addWidget(caption(QStringLiteral("Time&s"), m_txtReaTim));
    count->addStretch(1);
    ends->addLayout(count, 0, 0, 1, 2);
    ends->addWidget(m_OptReaUnl[2], 1, 0);
    ends->addWidget(m_dcmbUnt, 1, 1);
    ends->setColumnStretch(1, 1);
    recLayout->addLayout(ends, 2, 0, 1, 4);

    // In the palette's own text colour: a grey would not read against every background.
    m_lblNextOccurrences = new QLabel;
    m_lblNextOccurrences->setObjectName(QStringLiteral("lblNextOccurrences"));
    m_lblNextOccurrences->setWordWrap(true);
    recLayout->addWidget(m_lblNextOccurrences, 3, 0, 1, 4);
    form->addWidget(rec, 6, 0, 1, 3);

    m_SB = new QStatusBar(this);
    m_SB->setObjectName(QStringLiteral("SB"));
    m_SB->setSizeGripEnabled(false);
    m_SBPanel = new QLabel;
    m_SBPanel->setObjectName(QStringLiteral("SB_Panel_1"));
    m_SBPanel->setMinimumWidth(
        m_SBPanel->fontMetrics().horizontalAdvance(QStringLiteral("9999 of 9999")));
    m_SB->addWidget(m_SBPanel);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->addWidget(m_TDBG);
    splitter->addWidget(m_panel);
    // A wider window widens the list; the panel keeps what its fields need.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setChildrenCollapsible(false);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 0, 4, 0);
    top->setSpacing(2);
    top->addWidget(m_TB);
    top->addWidget(m_TS);
    top->addWidget(splitter, 1);
    top->addWidget(m_SB);

    // Tab follows the screen: the list, then the panel from top to bottom, left to right.
    const QList<QWidget*> order = {
        m_TDBG,      m_txtEve0,      m_txtEve1,      m_CmdTo[0],     m_txtAtt[0],    m_CmdTo[1],
        m_txtAtt[1], m_dCmbFro,      m_cmbFroTim[0], m_cmbFroTim[1], m_ChkRea,       m_txtReaEve,
        m_cmbRea,    m_OptReaUnl[0], m_OptReaUnl[1], m_txtReaTim,    m_OptReaUnl[2], m_dcmbUnt};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void EMS_EventsFrm::connectChangeEvents()
{
    auto changed = [this] { Set_ChangeFalg(true); };
    connect(m_txtEve0, &QLineEdit::textChanged, this, changed);
    connect(m_txtEve1, &QPlainTextEdit::textChanged, this, changed);
    for (int i = 0; i < 2; ++i) {
        connect(m_txtAtt[i], &QLineEdit::textChanged, this, changed);
        connect(m_cmbFroTim[i], &QComboBox::currentIndexChanged, this, changed);
    }
    connect(m_dCmbFro, &ui::DateCombo::changed, this, [this] {
        Set_ChangeFalg(true);
        RelabelRecurrenceUnits();
        showNextOccurrences();
    });
    connect(m_ChkRea, &QCheckBox::stateChanged, this, [this] {
        applyRecurrenceEnabling();
        Set_ChangeFalg(true);
    });
    auto recurrence = [this] {
        Set_ChangeFalg(true);
        showNextOccurrences();
    };
    connect(m_txtReaEve, &QLineEdit::textChanged, this, recurrence);
    connect(m_cmbRea, &QComboBox::currentIndexChanged, this, recurrence);
    connect(m_txtReaTim, &QLineEdit::textChanged, this, recurrence);
    connect(m_dcmbUnt, &ui::DateCombo::changed, this, recurrence);
}

void EMS_EventsFrm::buildToolbar()
{
    m_builder = new ui::ToolbarBuilder(m_TB, &m_ImaList);
    m_builder->build(QStringLiteral(",New,Save,,Delete,,Help,Close,"),
                     QStringLiteral("3,0,0,3,0,3,0,0,"),
                     QStringLiteral(",New Event,Save,,Delete,,Help,Close,"));
    connect(m_builder, &ui::ToolbarBuilder::buttonClicked, this,
            [this](const QString& key) { TB_ButtonClick(key); });
    const bool rightToEdit = SharedState::current().RightToEdit;
    if (QAction* a = m_builder->action(QStringLiteral("New"))) {
        a->setVisible(toolbarTag() == QLatin1String("FULL"));
        a->setEnabled(rightToEdit);
    }
    for (const char* key : {"Save", "Delete"})
        if (QAction* a = m_builder->action(QString::fromLatin1(key)))
            a->setEnabled(rightToEdit);

    // The buttons never take the focus: each command has its key, named in its tooltip. Del
    // reaches the window only where no text field wants it: on the list or a button. Esc
    // closes through the dialog itself, as the close box does.
    const struct {
        const char* key;
        QKeySequence sequence;
    } keys[] = {{"New", QKeySequence(QKeySequence::New)},
                {"Save", QKeySequence(QKeySequence::Save)},
                {"Delete", QKeySequence(Qt::Key_Delete)},
                {"Help", QKeySequence(Qt::Key_F1)},
                {"Close", QKeySequence(Qt::Key_Escape)}};
    // The builder shows each key once after the button's own tooltip, which stays as given.
    for (const auto& k : keys) {
        const QString key = QString::fromLatin1(k.key);
        if (key == QLatin1String("Close"))
            m_builder->setShownKey(key, k.sequence);
        else
            m_builder->setShortcuts(key, {k.sequence});
    }
}

QString EMS_EventsFrm::toolbarTag() const
{
    return m_TB->property("Tag").toString();
}

void EMS_EventsFrm::load()
{
    auto& st = SharedState::current();
    ui::hourglass();
    // Office hours; loading until the first activation.
    if (st.GIC)
        common::LoadOfficeSetup(*st.GIC);
    m_WindowLoading = true;
    m_firstActivation = true;

    // Mode.
    if (st.LinkID != 0) {
        m_TB->setProperty("Tag", QStringLiteral("PARTIAL"));
        m_SingleEventID = st.LinkID;
    } else {
        m_TB->setProperty("Tag", QStringLiteral("FULL"));
        m_SingleEventID = 0;
    }

    // Rights. Employee 0 supervises only as a listed login without a person; the login
    // list is read here for that, an unknown login is nobody's supervisor.
    st.RightToEdit = true;
    LoadLoginNames();
    const bool wholeOffice =
        st.CurrentEmployeeID == 0 && st.GIC &&
        IsWholeOfficeLogin(st.LoginNames, st.LoginEmployeeIDs, st.GIC->currentLoginName());
    m_EventSupervisor =
        wholeOffice ||
        (st.GIC &&
         st.GIC->checkRight(st.GIC->currentLoginName(), QStringLiteral("Tim_Sup_Rig"),
                            QStringLiteral("PWAWriFla"), QString::fromLatin1(kProgramName)));
    st.HolidayChanged = false;

    // Icons, logins, time lists, toolbar.
    if (st.GIC) {
        const QList<ui::ImageList::Entry> entries = {
            {QStringLiteral("Patient"), QStringLiteral("Patient")},
            {QStringLiteral("Delete"), QStringLiteral("Delete")},
            {QStringLiteral("Cancel"), QStringLiteral("Cancel")},
            {QStringLiteral("OKay"), QStringLiteral("OKay")},
            {QStringLiteral("Help"), QStringLiteral("Help")},
            {QStringLiteral("Close"), QStringLiteral("Close")}};
        ui::Load_ImaList(m_ImaList, st.GIC->dataFolder(), entries);
        // New and Save have no picture of their own key: they show the person and the tick.
        m_ImaList.add(QStringLiteral("New"), m_ImaList.icon(QStringLiteral("Patient")));
        m_ImaList.add(QStringLiteral("Save"), m_ImaList.icon(QStringLiteral("OKay")));
        setWindowIcon(m_ImaList.icon(QStringLiteral("Patient")));
    }
    LoadLoginNames();
    FillTimeLists();
    buildToolbar();

    // The mode's shape and its first content.
    m_TS->hide();
    m_TS->setTabVisible(1, false);
    m_TS->setTabEnabled(1, false);
    m_panel->show();
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (m_SingleEventID == 0)
            resize(std::min(area.width(), 1280) * 9 / 10 + 40,
                   std::min(area.height(), 800) * 9 / 10);
        else
            resize(std::min(area.width(), 620), std::min(area.height(), 560));
    }
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({width() * 62 / 100, width() * 38 / 100});
    if (m_SingleEventID == 0) {
        m_TDBG->show();
        TB_ButtonClick(QStringLiteral("New"));
        LoadEventList(QString());
        EnableToolbar(true);
    } else {
        m_TDBG->hide();
        LoadEvent(m_SingleEventID);
    }

    // Help.
    SetHelpContext(this, 3027);
}

void EMS_EventsFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_firstActivation) {
        m_firstActivation = false;
        m_WindowLoading = false;
        ui::normalPointer();
        // The list when it has events, else the new event's title.
        if (m_SingleEventID == 0 && m_TDBG->currentIndex().isValid())
            m_TDBG->setFocus(Qt::ActiveWindowFocusReason);
        else if (m_txtEve0->isEnabled())
            m_txtEve0->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void EMS_EventsFrm::setPanelEnabled(bool enabled)
{
    m_panel->setEnabled(enabled);
}

void EMS_EventsFrm::EnableToolbar(bool enabled)
{
    if (!m_builder)
        return;
    const bool rightToEdit = SharedState::current().RightToEdit;
    for (const QString& key : m_builder->buttonKeys()) {
        QAction* a = m_builder->action(key);
        const QString k = key.toUpper();
        if (k == QLatin1String("NEW"))
            a->setEnabled(rightToEdit && enabled);
        else if (k == QLatin1String("SAVE"))
            a->setEnabled(rightToEdit && m_ChangeFlag && enabled);
        else if (k == QLatin1String("DELETE"))
            a->setEnabled(m_CurrentEventID != 0 && rightToEdit && enabled);
        else
            a->setEnabled(enabled);
    }
}

void EMS_EventsFrm::Set_ChangeFalg(bool value)
{
    if (value == m_ChangeFlag || m_WindowLoading)
        return;
    m_ChangeFlag = value;
    if (value && m_builder) {
        QAction* save = m_builder->action(QStringLiteral("Save"));
        if (save && !save->isEnabled())
            save->setEnabled(SharedState::current().RightToEdit);
    }
}

void EMS_EventsFrm::TB_ButtonClick(const QString& key)
{
    EnableToolbar(false);
    const QString k = key.toUpper();
    const bool single = toolbarTag() == QLatin1String("PARTIAL");
    if (k == QLatin1String("NEW")) {
        if (SaveEvent(true, true) != ui::vbCancel) {
            ClearEvent();
            // A new event is typed at once, from its title.
            if (isVisible() && m_txtEve0->isEnabled())
                m_txtEve0->setFocus(Qt::ShortcutFocusReason);
        }
    } else if (k == QLatin1String("SAVE")) {
        const int result = SaveEvent(false, true);
        releaseAfterWrite();
        if (single && result != ui::vbCancel) {
            closeByOwnCommand();
            return;
        }
    } else if (k == QLatin1String("DELETE")) {
        const int answer =
            ui::MessageBox::show({QStringLiteral("Are you sure to delete the event?"),
                                  QStringLiteral("Delete Event"), 4, 32, 0});
        QString error;
        if (answer == ui::vbYes && services() &&
            !events::deleteEvent(*services(), m_CurrentEventID, &error)) {
            // Still stored: the panel keeps it.
            releaseAfterWrite();
            ui::MessageBox::show(
                {QStringLiteral("The event could not be deleted.") + QStringLiteral("\n\n") + error,
                 QStringLiteral("Delete Event"), 0, 48, 0});
        } else if (answer == ui::vbYes) {
            releaseAfterWrite();
            ClearEvent();
            if (!single) {
                ++m_gridGuard;
                requeryList();
                positionGridOn(m_CurrentEventID);
                --m_gridGuard;
                showRowCounter();
            }
            SharedState::current().HolidayChanged = true;
            if (single) {
                closeByOwnCommand();
                return;
            }
        }
    } else if (k == QLatin1String("HELP")) {
        ShowContextHelp(this);
    } else if (k == QLatin1String("CLOSE")) {
        if (SaveEvent(true, true) != ui::vbCancel) {
            closeByOwnCommand();
            return;
        }
    }
    EnableToolbar(true);
}

void EMS_EventsFrm::closeByOwnCommand()
{
    m_closingByOwnCommand = true;
    unloadWindow();
    QDialog::done(QDialog::Accepted);
}

void EMS_EventsFrm::closeEvent(QCloseEvent* event)
{
    if (!m_closingByOwnCommand) {
        if (SaveEvent(true, event->spontaneous()) == ui::vbCancel) {
            event->ignore();
            EnableToolbar(true);
            return;
        }
        unloadWindow();
    }
    // QDialog's own close handling rejects the dialog: that must not ask again.
    m_closingByOwnCommand = true;
    QDialog::closeEvent(event);
}

void EMS_EventsFrm::reject()
{
    // Esc acts as the close box.
    if (!m_closingByOwnCommand && SaveEvent(true, true) == ui::vbCancel)
        return;
    m_closingByOwnCommand = true;
    unloadWindow();
    QDialog::reject();
}

void EMS_EventsFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        ShowContextHelp(this);
        return;
    }
    QDialog::keyPressEvent(event);
}

void EMS_EventsFrm::unloadWindow()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_model)
        m_model->setRows({});
    m_rows.clear();
    m_listOpen = false;
    m_connection.reset();
}

} // namespace tzsndmsg
