// Who has confirmed a sent message: the "Confirmed" column of the sent items, the panel under a
// sent message, and "Remind the Others".
#include "ComposeHelpers.h"
#include "MessageList.h"
#include "MessageListModel.h"
#include "common/VbFormat.h"
#include "core/Confirmations.h"
#include "state/SharedState.h"
#include "tzSndMsgFrm.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>

namespace tzsndmsg {

namespace {

int s_confirmationQueries = 0;

const QString kRemindTitle = QStringLiteral("Remind the Others");

// The mark of a message still waiting for someone's confirmation: an amber disc with "!".
QIcon drawAwaitedMark()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x9A, 0x5B, 0x00), 1));
    p.setBrush(QColor(0xF5, 0xA6, 0x23));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 4.5), QPointF(8, 9));
    p.drawPoint(QPointF(8, 11.8));
    p.end();
    return QIcon(pixmap);
}

// Drawn once a process, kept to its end (a picture outlives the application object).
const QIcon& awaitedMark()
{
    static const auto& mark = *new QIcon(drawAwaitedMark());
    return mark;
}

QTableWidgetItem* item(const QString& text)
{
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return cell;
}

} // namespace

int tzSndMsgFrm::confirmationQueryCount()
{
    return s_confirmationQueries;
}

void tzSndMsgFrm::buildConfirmationsPanel()
{
    PicConfirmations = new QWidget(PicCompose);
    PicConfirmations->setObjectName(QStringLiteral("PicConfirmations"));
    auto* v = new QVBoxLayout(PicConfirmations);
    v->setContentsMargins(0, 4, 0, 0);
    v->setSpacing(4);
    auto* top = new QHBoxLayout;
    lblConfirmations = new QLabel(PicConfirmations);
    lblConfirmations->setObjectName(QStringLiteral("lblConfirmations"));
    QFont bold = lblConfirmations->font();
    bold.setBold(true);
    lblConfirmations->setFont(bold);
    cmdRemindOthers = new QPushButton(QStringLiteral("Re&mind the Others"), PicConfirmations);
    cmdRemindOthers->setObjectName(QStringLiteral("cmdRemindOthers"));
    cmdRemindOthers->setToolTip(
        QStringLiteral("New message to everyone who has not confirmed this message yet"));
    cmdRemindOthers->setAutoDefault(false);
    top->addWidget(lblConfirmations, 1);
    top->addWidget(cmdRemindOthers);
    v->addLayout(top);

    lstConfirmations = new QTableWidget(0, 4, PicConfirmations);
    lstConfirmations->setObjectName(QStringLiteral("lstConfirmations"));
    lstConfirmations->setHorizontalHeaderLabels(
        {QStringLiteral("Addressee"), QStringLiteral("To/Cc"), QStringLiteral("Confirmed"),
         QStringLiteral("Confirmed by")});
    lstConfirmations->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstConfirmations->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstConfirmations->setSelectionMode(QAbstractItemView::SingleSelection);
    lstConfirmations->setTabKeyNavigation(false);
    lstConfirmations->setAlternatingRowColors(true);
    lstConfirmations->setWordWrap(false);
    lstConfirmations->verticalHeader()->setVisible(false);
    lstConfirmations->verticalHeader()->setDefaultSectionSize(
        lstConfirmations->fontMetrics().height() + 6);
    lstConfirmations->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lstConfirmations->horizontalHeader()->setHighlightSections(false);
    lstConfirmations->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    lstConfirmations->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics(lstConfirmations->font());
    lstConfirmations->setColumnWidth(
        0, metrics.horizontalAdvance(QStringLiteral("Anna Alvarez (the name)")));
    lstConfirmations->setColumnWidth(1, metrics.horizontalAdvance(QStringLiteral("To/Cc")) + 24);
    lstConfirmations->setColumnWidth(
        2, metrics.horizontalAdvance(QStringLiteral("12/31/2026 12:00 pm")) + 40);
    // Up to six addressees show at once, at least three when the font is large; more scroll.
    const int rowHeight = lstConfirmations->verticalHeader()->defaultSectionSize();
    const int headerHeight = lstConfirmations->horizontalHeader()->sizeHint().height() + 4;
    lstConfirmations->setMinimumHeight(headerHeight + 3 * rowHeight);
    lstConfirmations->setMaximumHeight(headerHeight + 6 * rowHeight);
    v->addWidget(lstConfirmations);

    if (auto* compose = qobject_cast<QVBoxLayout*>(PicCompose->layout()))
        compose->addWidget(PicConfirmations);
    PicConfirmations->hide();

    connect(cmdRemindOthers, &QPushButton::clicked, this, [this] { RemindOthers(); });
    connect(this, &tzSndMsgFrm::listLoaded, this, [this] {
        if (m_colConfirmed >= 0 && TDBG) {
            TDBG->setColumnHidden(m_colConfirmed, isInboxView());
            fitCommentsColumn();
        }
        // A refresh brings the confirmations made since.
        updateConfirmationsPanel(true);
    });
}

void tzSndMsgFrm::setupConfirmationColumn()
{
    MessageListModel* model = m_messages->model();
    if (!model)
        return;
    if (m_colConfirmed < 0) {
        m_colConfirmed = MessageListModel::columnOf(MessageListModel::Kind::Confirmations);
        if (m_colConfirmed < 0)
            return;
        model->setConfirmationProvider([this](qint32 cmId) { return confirmationCountOf(cmId); });
        model->setAwaitedMark(awaitedMark());
        // Counts are kept for one reading of the list: a refresh reads them again.
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
            m_confirmCounts.clear();
            m_confirmCountsFailed = false;
        });
    }
    // Beside the subject, before "PR" and "Comments".
    QHeaderView* header = TDBG->horizontalHeader();
    const auto& columns = MessageListModel::gridColumns();
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).caption == QLatin1String("Subject")) {
            const int target = header->visualIndex(i) + 1;
            if (header->visualIndex(m_colConfirmed) != target)
                header->moveSection(header->visualIndex(m_colConfirmed), target);
        }
    TDBG->setColumnHidden(m_colConfirmed, isInboxView());
}

std::optional<ConfirmationCount> tzSndMsgFrm::confirmationCountOf(qint32 cmId)
{
    const auto cached = m_confirmCounts.constFind(cmId);
    if (cached != m_confirmCounts.constEnd())
        return *cached;
    auto& st = SharedState::current();
    if (!st.GIC || m_confirmCountsFailed || cmId == 0)
        return std::nullopt;
    // The screen's messages, this one among them, in one grouped statement.
    const QList<qint32> ids =
        m_messages->idsOnScreen(cmId, [this](qint32 id) { return m_confirmCounts.contains(id); });
    ++s_confirmationQueries;
    QHash<qint32, ConfirmationCount> counts;
    if (!readConfirmationCounts(*st.GIC, ids, counts)) {
        // The cells stay empty until the list is read again; painting does not retry.
        m_confirmCountsFailed = true;
        return std::nullopt;
    }
    for (qint32 id : std::as_const(ids))
        m_confirmCounts.insert(id, counts.value(id)); // a message gone since counts 0 of 0
    return m_confirmCounts.value(cmId);
}

void tzSndMsgFrm::updateConfirmationsPanel(bool reload)
{
    if (!PicConfirmations)
        return;
    auto& st = SharedState::current();
    // Only a message of the sent items, viewed read-only from its own row.
    const bool sent = st.GIC && !isInboxView() && isFullWindow() && m_bodyReadOnly && m_CMID != 0 &&
                      currentRowCmId() == m_CMID;
    if (!sent) {
        PicConfirmations->hide();
        m_confirmationsShown = 0;
        return;
    }
    if (reload || m_confirmationsShown != m_CMID) {
        m_confirmationsShown = m_CMID;
        lstConfirmations->setRowCount(0);
        QString error;
        const std::optional<MessageConfirmations> read =
            core::readConfirmations(*st.GIC, m_CMID, &error);
        if (!read) {
            lblConfirmations->setText(QStringLiteral("Who has confirmed cannot be read: ") + error);
            lblConfirmations->setStyleSheet(QString());
            cmdRemindOthers->setEnabled(false);
            PicConfirmations->show();
            return;
        }
        QString summary = confirmationCountText(read->count);
        if (read->count.awaited())
            summary += QStringLiteral(" - needs confirmation, %1 not confirmed yet")
                           .arg(read->count.pending());
        lblConfirmations->setText(summary);
        lblConfirmations->setStyleSheet(
            read->count.awaited()
                ? QStringLiteral("color: %1").arg(MessageListModel::awaitedTextColor().name())
                : QString());
        cmdRemindOthers->setEnabled(read->count.pending() > 0);

        lstConfirmations->setRowCount(int(read->addressees.size()));
        const QIcon& mark = awaitedMark();
        for (int r = 0; r < read->addressees.size(); ++r) {
            const AddresseeConfirmation& a = read->addressees.at(r);
            const QString name = a.computer ? a.name + QStringLiteral(" (computer)") : a.name;
            QTableWidgetItem* status = item(
                !a.confirmed ? QStringLiteral("Pending")
                : a.confirmedAt.isValid()
                    ? common::vb::format(a.confirmedAt, QStringLiteral("mm/dd/yyyy hh:nn am/pm"))
                    : QStringLiteral("Yes"));
            lstConfirmations->setItem(r, 0, item(name));
            lstConfirmations->setItem(r, 1,
                                      item(a.cc ? QStringLiteral("Cc") : QStringLiteral("To")));
            lstConfirmations->setItem(r, 2, status);
            lstConfirmations->setItem(r, 3, item(a.confirmedBy));
            if (!a.confirmed) {
                QFont boldFont = lstConfirmations->font();
                boldFont.setBold(true);
                status->setFont(boldFont);
                status->setForeground(MessageListModel::awaitedTextColor());
                if (read->count.needsConfirmation)
                    status->setIcon(mark);
            }
        }
    }
    PicConfirmations->show();
}

void tzSndMsgFrm::RemindOthers()
{
    auto& st = SharedState::current();
    if (!st.GIC || !PicConfirmations || PicConfirmations->isHidden())
        return;
    // The sent message the form shows, never a row that is not shown.
    const qint32 cmId = shownRowCmId();
    if (cmId == 0 || isInboxView())
        return;
    if (m_changed && SaveMessage(true, true) == 2)
        return;
    HostServices& gic = *st.GIC;

    // Read again: whoever confirmed since the panel was filled is not reminded.
    QString error;
    const std::optional<MessageConfirmations> original = core::readConfirmations(gic, cmId, &error);
    if (!original) {
        ui::MessageBox::show(
            {QStringLiteral("Who has confirmed this message cannot be read.\n\n") + error,
             kRemindTitle, 0, 48, 0});
        return;
    }
    const core::AddresseeLists pending = core::pendingAddressees(*original);
    if (pending.isEmpty()) {
        ui::MessageBox::show(
            {QStringLiteral("Everyone has confirmed this message."), kRemindTitle, 0, 64, 0});
        updateConfirmationsPanel(true);
        return;
    }

    // What the form shows of the original: the quote names its To and Cc as a reply does, and the
    // new message keeps its settings but the return receipt.
    const QString toText = txtTo[0] ? txtTo[0]->text() : QString();
    const QString ccText = txtTo[1] ? txtTo[1]->text() : QString();
    std::array<bool, 3> flags{};
    for (size_t i = 0; i < flags.size(); ++i)
        flags[i] = chkDoc[i] && chkDoc[i]->isChecked();
    const bool isPrivate = OptPub[1] && OptPub[1]->isChecked();

    // A plain message, linked to no record.
    st.ReminderFlag = false;
    st.LinkTyp = 0;
    st.LinkID = 0;
    resetToNewMessage();
    const bool wasSuspended = m_suspendMarks;
    m_suspendMarks = true;
    m_toPids = pending.personIds;
    m_toMachines = pending.computers;
    RefreshToBox(0);
    RefreshToBox(1);
    txtSubject->setText(compose::prefixedSubject(original->subject, QStringLiteral("RE: ")));
    txtMsg->setPlainText(compose::quotedOriginal(gic.personName(original->senderId), toText, ccText,
                                                 original->subject, original->text));
    for (size_t i = 0; i < flags.size(); ++i)
        if (chkDoc[i])
            chkDoc[i]->setChecked(flags[i]);
    if (chkDoc[3])
        chkDoc[3]->setChecked(false);
    if (OptPub[0] && OptPub[1]) {
        OptPub[1]->setChecked(isPrivate);
        OptPub[0]->setChecked(!isPrivate);
    }
    m_suspendMarks = wasSuspended;
    Set_FormCaption(true);
    // Ready to send: the send command writes it as it stands.
    Set_ChangeFalg(true, 0);
    Set_ChangeFalg(true, 1);

    QTextCursor cursor = txtMsg->textCursor();
    cursor.movePosition(QTextCursor::Start);
    txtMsg->setTextCursor(cursor);
    txtMsg->setFocus();
}

} // namespace tzsndmsg
