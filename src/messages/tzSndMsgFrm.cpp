// Construction of the message window: every control with its system name, laid out.
#include "tzSndMsgFrm.h"

#include "ConfirmPanel.h"
#include "MessageList.h"
#include "MessageListModel.h"
#include "core/Recurrence.h"
#include "directory/StaffDirectory.h"
#include "ui/DateCombo.h"
#include "ui/ImageList.h"
#include "ui/ToolbarBuilder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

template <typename T> T* named(T* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QString indexed(const char* name, int index)
{
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(index);
}

} // namespace

tzSndMsgFrm::tzSndMsgFrm(QWidget* parent)
    : QDialog(parent), ImaList(std::make_unique<ui::ImageList>())
{
    setObjectName(QStringLiteral("tzSndMsgFrm"));
    setWindowTitle(QStringLiteral("Message"));
    setSizeGripEnabled(true);
    // The window keeps store kind 9 for its whole life.
    m_CMDBName = QStringLiteral("MESSAGE.MDB");
    buildWidgets();
    buildConfirmationsPanel();
    connectConfirmAndPurge();
    buildLive();
    connectList();
    setupTabOrderAndNames();
}

tzSndMsgFrm::~tzSndMsgFrm()
{
    // The list is a child, deleted after this window's members; as it goes it empties its
    // model, whose signals reach this window's handlers. Cut them first.
    if (m_messages) {
        if (MessageListModel* model = m_messages->model()) {
            model->disconnect(this);
            model->setConfirmationProvider({});
        }
        m_messages->disconnect(this);
    }
}

void tzSndMsgFrm::buildWidgets()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    TB = named(new QToolBar(this), QStringLiteral("TB"));
    TB_Small = named(new QToolBar(this), QStringLiteral("TB_Small"));
    for (QToolBar* bar : {TB, TB_Small}) {
        bar->setIconSize(QSize(24, 24));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        root->addWidget(bar);
    }
    m_tb = new ui::ToolbarBuilder(TB, ImaList.get());
    m_tbSmall = new ui::ToolbarBuilder(TB_Small, ImaList.get());
    m_tb->setParent(this);
    m_tbSmall->setParent(this);

    m_splitter = named(new QSplitter(Qt::Vertical, this), QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);

    // The list of the view.
    m_messages = new MessageList(m_splitter);
    TDBG = m_messages->grid();
    m_splitter->addWidget(m_messages);

    // The compose container: tab strip, the two form panels and the confirm panel.
    PicCompose = named(new QWidget(m_splitter), QStringLiteral("PicCompose"));
    auto* composeLayout = new QVBoxLayout(PicCompose);
    composeLayout->setContentsMargins(6, 6, 6, 6);
    composeLayout->setSpacing(4);
    TS = named(new QTabBar(PicCompose), QStringLiteral("TS"));
    TS->addTab(QStringLiteral("Message"));
    TS->addTab(QStringLiteral("Delivery and Repeat"));
    TS->setExpanding(false);
    TS->setDrawBase(false);
    composeLayout->addWidget(TS);
    PicPanels = named(new QStackedWidget(PicCompose), QStringLiteral("PicPanels"));
    PicTab[0] = buildComposePanel();
    PicTab[1] = buildOptionsPanel();
    PicPanels->addWidget(PicTab[0]);
    PicPanels->addWidget(PicTab[1]);
    composeLayout->addWidget(PicPanels, 1);
    PicConfirm = new ConfirmPanel(PicCompose);
    composeLayout->addWidget(PicConfirm);
    PicConfirm->hide();
    connect(TS, &QTabBar::tabBarClicked, this, [this](int index) { TS_Click(index); });
    connect(TS, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0)
            PicPanels->setCurrentIndex(index);
    });
    m_splitter->addWidget(PicCompose);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    root->addWidget(m_splitter, 1);

    SB = named(new QStatusBar(this), QStringLiteral("SB"));
    SB->setSizeGripEnabled(false);
    SB_Panel1 = named(new QLabel(SB), QStringLiteral("SB_Panel1"));
    SB_Panel1->setMinimumWidth(110);
    SB->addWidget(SB_Panel1);
    m_messages->setCounter(SB_Panel1);
    root->addWidget(SB);
}

QWidget* tzSndMsgFrm::buildComposePanel()
{
    auto* panel = named(new QWidget, QStringLiteral("PicTab_0"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 4, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);

    // Recipients and canned texts.
    const char* toCaptions[2] = {"To...", "CC..."};
    for (int i = 0; i < 2; ++i) {
        CmdTo[i] =
            named(new QPushButton(QString::fromLatin1(toCaptions[i]), panel), indexed("CmdTo", i));
        CmdTo[i]->setAutoDefault(false);
        CmdTo[i]->setMinimumWidth(72);
        txtTo[i] = named(new QLineEdit(panel), indexed("txtTo", i));
        txtTo[i]->setReadOnly(true);
        txtTo[i]->setPlaceholderText(i == 0 ? QStringLiteral("Click To... to choose recipients")
                                            : QString());
        grid->addWidget(CmdTo[i], i, 0);
        grid->addWidget(txtTo[i], i, 1, 1, 2);
    }
    auto* canned = new QHBoxLayout;
    canned->setSpacing(4);
    const char* cannedCaptions[2] = {"Personal...", "Office..."};
    const char* cannedTips[2] = {"Personal Message Database", "Office Message Database"};
    for (int i = 2; i < 4; ++i) {
        CmdTo[i] = named(new QPushButton(QString::fromLatin1(cannedCaptions[i - 2]), panel),
                         indexed("CmdTo", i));
        CmdTo[i]->setToolTip(QString::fromLatin1(cannedTips[i - 2]));
        CmdTo[i]->setAutoDefault(false);
        canned->addWidget(CmdTo[i]);
    }
    grid->addLayout(canned, 0, 3, 2, 1, Qt::AlignTop);

    auto* subjectLabel = new QLabel(QStringLiteral("Su&bject:"), panel);
    txtSubject = named(new QLineEdit(panel), QStringLiteral("txtSubject"));
    subjectLabel->setBuddy(txtSubject);
    grid->addWidget(subjectLabel, 2, 0, Qt::AlignRight);
    grid->addWidget(txtSubject, 2, 1, 1, 3);

    txtMsg = named(new QPlainTextEdit(panel), QStringLiteral("txtMsg"));
    txtMsg->setTabChangesFocus(true);
    txtMsg->setMinimumHeight(120);
    txtMsg->setProperty("tag", QStringLiteral("False"));
    grid->addWidget(txtMsg, 3, 0, 1, 3);

    // The message's own settings, beside the text.
    auto* side = new QWidget(panel);
    side->setObjectName(QStringLiteral("PicOptions"));
    PicOptions = side;
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->setSpacing(6);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    Cmb_Emp_Name = named(new StaffCombo(side), QStringLiteral("Cmb_Emp_Name"));
    Cmb_Emp_Name->setMinimumContentsLength(16);
    Cmb_Emp_Name->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    form->addRow(QStringLiteral("From:"), Cmb_Emp_Name);
    DateCmb_Abs = named(new ui::DateCombo(side), QStringLiteral("DateCmb_Abs"));
    form->addRow(QStringLiteral("&Date:"), DateCmb_Abs);
    sideLayout->addLayout(form);

    auto* privacy = new QHBoxLayout;
    OptPub[0] =
        named(new QRadioButton(QStringLiteral("Public Message"), side), indexed("OptPub", 0));
    OptPub[1] =
        named(new QRadioButton(QStringLiteral("Private Message"), side), indexed("OptPub", 1));
    OptPub[0]->setChecked(true);
    privacy->addWidget(OptPub[0]);
    privacy->addWidget(OptPub[1]);
    privacy->addStretch();
    sideLayout->addLayout(privacy);

    const char* docCaptions[4] = {"Save to Recipient's Notes after Display", "Need Confirmation",
                                  "Payroll Related", "Return Receipt Requested"};
    for (int i = 0; i < 4; ++i) {
        chkDoc[i] =
            named(new QCheckBox(QString::fromLatin1(docCaptions[i]), side), indexed("chkDoc", i));
        sideLayout->addWidget(chkDoc[i]);
    }

    PicAla = named(new QWidget(side), QStringLiteral("PicAla"));
    auto* alaLayout = new QHBoxLayout(PicAla);
    alaLayout->setContentsMargins(0, 0, 0, 0);
    lblRem = named(new QLabel(QStringLiteral("R&eminder :"), PicAla), QStringLiteral("lblRem"));
    cmbAla = named(new QComboBox(PicAla), QStringLiteral("cmbAla"));
    cmbAla->setEditable(true);
    // What is typed is taken as typed: a number is minutes before the linked record, a time a
    // time of day. Completing "5" to the first entry starting with it ("50 min") would store
    // another reminder than the one typed.
    cmbAla->setCompleter(nullptr);
    cmbAla->setMinimumContentsLength(12);
    lblRem->setBuddy(cmbAla);
    alaLayout->addWidget(lblRem);
    alaLayout->addWidget(cmbAla, 1);
    sideLayout->addWidget(PicAla);

    CmbSaveTo = named(new QComboBox(side), QStringLiteral("CmbSaveTo"));
    CmbSaveTo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CmbSaveTo->setMinimumContentsLength(20);
    sideLayout->addWidget(CmbSaveTo);
    sideLayout->addStretch(1);
    // As wide as its captions need in the user's font; in large print it scrolls rather than
    // push the list off a small screen.
    side->setMinimumWidth(260);
    auto* sideScroll = named(new QScrollArea(panel), QStringLiteral("PicOptionsScroll"));
    sideScroll->setFrameShape(QFrame::NoFrame);
    sideScroll->setFocusPolicy(Qt::NoFocus);
    sideScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sideScroll->setWidgetResizable(true);
    sideScroll->setWidget(side);
    sideScroll->setMinimumWidth(side->minimumSizeHint().width() +
                                sideScroll->verticalScrollBar()->sizeHint().width());
    sideScroll->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Ignored);
    grid->addWidget(sideScroll, 3, 3);

    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(3, 1);
    return panel;
}

QWidget* tzSndMsgFrm::buildOptionsPanel()
{
    auto* panel = named(new QWidget, QStringLiteral("PicTab_1"));
    auto* outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 4, 0, 0);
    auto* row = new QHBoxLayout;
    outer->addLayout(row);
    outer->addStretch(1);
    row->setSpacing(10);
    const char* titles[2] = {"Broadcast", "Alarm"};
    for (int i = 0; i < 2; ++i) {
        auto* box = named(new QGroupBox(QString::fromLatin1(titles[i]), panel),
                          i == 0 ? QStringLiteral("fraBro") : QStringLiteral("fraAla"));
        (i == 0 ? fraBro : fraAla) = box;
        auto* g = new QGridLayout(box);
        g->setHorizontalSpacing(6);
        g->setVerticalSpacing(6);

        ChkBro[i] = named(new QCheckBox(QStringLiteral("Broadcast:"), box), indexed("ChkBro", i));
        g->addWidget(ChkBro[i], 0, 0, 1, 4);

        ChkFro[i] = named(new QCheckBox(QStringLiteral("From :"), box), indexed("ChkFro", i));
        dCmbFro[i] = named(new ui::DateCombo(box), indexed("dCmbFro", i));
        cmbFroTim[i] = named(new QComboBox(box), indexed("cmbFroTim", i));
        cmbFroTim[i]->setEditable(true);
        cmbFroTim[i]->setMinimumContentsLength(8);
        g->addWidget(ChkFro[i], 1, 0);
        g->addWidget(dCmbFro[i], 1, 1);
        g->addWidget(cmbFroTim[i], 1, 2, 1, 2);

        ChkUnt[i] = named(new QCheckBox(QStringLiteral("Until :"), box), indexed("ChkUnt", i));
        dcmbUnt[i] = named(new ui::DateCombo(box), indexed("dcmbUnt", i));
        g->addWidget(ChkUnt[i], 2, 0);
        g->addWidget(dcmbUnt[i], 2, 1);

        ChkRea[i] =
            named(new QCheckBox(QStringLiteral("Repeat Every:"), box), indexed("ChkRea", i));
        txtReaEve[i] = named(new QLineEdit(box), indexed("txtReaEve", i));
        txtReaEve[i]->setMaximumWidth(60);
        cmbRea[i] = named(new QComboBox(box), indexed("cmbRea", i));
        // Each entry carries its unit with the events window's values, so that the unit chosen
        // is what is stored (EvBroReaTyp) and read back.
        const struct {
            const char* text;
            int unit;
        } units[] = {{"Day(s)", core::ruDays},
                     {"Week(s)", core::ruWeeks},
                     {"Month(s)", core::ruMonth},
                     {"Quarter(s)", core::ruQuarters},
                     {"Year(s)", core::ruYears}};
        for (const auto& unit : units)
            cmbRea[i]->addItem(QString::fromLatin1(unit.text), unit.unit);
        cmbRea[i]->setCurrentIndex(-1);
        g->addWidget(ChkRea[i], 3, 0);
        g->addWidget(txtReaEve[i], 3, 1, Qt::AlignLeft);
        g->addWidget(cmbRea[i], 3, 2, 1, 2);

        OptReaUnl[i] =
            named(new QRadioButton(QStringLiteral("Unlimited"), box), indexed("OptReaUnl", i));
        OptReaForTim[i] =
            named(new QRadioButton(QStringLiteral("for"), box), indexed("OptReaForTim", i));
        txtReaTim[i] = named(new QLineEdit(box), indexed("txtReaTim", i));
        txtReaTim[i]->setMaximumWidth(60);
        OptReaUnl[i]->setChecked(true);
        auto* times = new QHBoxLayout;
        times->addWidget(OptReaUnl[i]);
        times->addSpacing(12);
        times->addWidget(OptReaForTim[i]);
        times->addWidget(txtReaTim[i]);
        times->addWidget(new QLabel(QStringLiteral("Times"), box));
        times->addStretch();
        g->addLayout(times, 4, 1, 1, 3);
        g->setColumnStretch(3, 1);
        row->addWidget(box, 1);
    }
    return panel;
}

void tzSndMsgFrm::setupTabOrderAndNames()
{
    // Top to bottom, left to right: the search bar above the list, the canned-text buttons
    // beside the To row, the message's settings beside its text, then the panels below.
    QList<QWidget*> order = m_messages->tabOrder();
    order << TS << CmdTo[0] << txtTo[0] << CmdTo[2] << CmdTo[3] << CmdTo[1] << txtTo[1]
          << txtSubject << txtMsg << Cmb_Emp_Name << DateCmb_Abs << OptPub[0] << OptPub[1];
    for (QCheckBox* c : chkDoc)
        order << c;
    order << cmbAla << CmbSaveTo;
    for (int i = 0; i < 2; ++i)
        order << ChkBro[i] << ChkFro[i] << dCmbFro[i] << cmbFroTim[i] << ChkUnt[i] << dcmbUnt[i]
              << ChkRea[i] << txtReaEve[i] << cmbRea[i] << OptReaUnl[i] << OptReaForTim[i]
              << txtReaTim[i];
    order << PicConfirm->tabOrder();
    order << cmdRemindOthers << lstConfirmations;
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));

    auto name = [](QWidget* w, const QString& text) { w->setAccessibleName(text); };
    name(TS, QStringLiteral("Message pages"));
    name(CmdTo[0], QStringLiteral("Choose To addressees"));
    name(CmdTo[1], QStringLiteral("Choose CC addressees"));
    name(CmdTo[2], QStringLiteral("Personal message texts"));
    name(CmdTo[3], QStringLiteral("Office message texts"));
    name(txtTo[0], QStringLiteral("To"));
    name(txtTo[1], QStringLiteral("CC"));
    name(txtSubject, QStringLiteral("Subject"));
    name(txtMsg, QStringLiteral("Message text"));
    name(Cmb_Emp_Name, QStringLiteral("From"));
    name(DateCmb_Abs, QStringLiteral("Date"));
    name(DateCmb_Abs->lineEdit(), QStringLiteral("Date"));
    name(cmbAla, QStringLiteral("Reminder"));
    name(CmbSaveTo, QStringLiteral("Save to"));
    name(lstConfirmations, QStringLiteral("Confirmations of the addressees"));
    for (int i = 0; i < 2; ++i) {
        const QString group = i == 0 ? QStringLiteral("Broadcast") : QStringLiteral("Alarm");
        name(ChkBro[i], group);
        name(ChkFro[i], group + QStringLiteral(" from"));
        name(dCmbFro[i], group + QStringLiteral(" from date"));
        name(dCmbFro[i]->lineEdit(), group + QStringLiteral(" from date"));
        name(cmbFroTim[i], group + QStringLiteral(" from time"));
        name(ChkUnt[i], group + QStringLiteral(" until"));
        name(dcmbUnt[i], group + QStringLiteral(" until date"));
        name(dcmbUnt[i]->lineEdit(), group + QStringLiteral(" until date"));
        name(ChkRea[i], group + QStringLiteral(" repeats"));
        name(txtReaEve[i], group + QStringLiteral(" repeats every"));
        name(cmbRea[i], group + QStringLiteral(" repeat unit"));
        name(OptReaUnl[i], group + QStringLiteral(" repeats without end"));
        name(OptReaForTim[i], group + QStringLiteral(" repeats a number of times"));
        name(txtReaTim[i], group + QStringLiteral(" number of times"));
    }
    // Every other button is read by its caption.
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        if (!b->accessibleName().isEmpty() || b->text().isEmpty())
            continue;
        QString caption = b->text();
        caption.remove(QLatin1Char('&'));
        name(b, caption.trimmed());
    }
}

void tzSndMsgFrm::TS_Click(int index)
{
    // A tab of zero width cannot be chosen.
    if (index < 0 || index >= TS->count() || TS->tabRect(index).width() == 0)
        return;
    PicPanels->setCurrentIndex(index);
}

} // namespace tzsndmsg
