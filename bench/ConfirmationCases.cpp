#include "ConfirmationCases.h"

#include "BenchRunner.h"
#include "WindowDriver.h"
#include "core/MessageListQuery.h"
#include "messages/MessageListModel.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "tzsndmsg/Confirmations.h"
#include "tzsndmsg/HostServices.h"
#include "tzsndmsg/db/Recordset.h"

#include <QApplication>
#include <QTableView>
#include <cstdio>
#include <memory>

namespace tzsndmsg::bench {

namespace {

constexpr int kFirstScreen = 40;

core::MessageListParams sentItems()
{
    const SharedState& st = SharedState::current();
    core::MessageListParams p;
    p.inboxView = false;
    p.currentEmployeeId = st.CurrentEmployeeID;
    p.loginNames = st.LoginNames;
    p.loginEmployeeIds = st.LoginEmployeeIDs;
    p.computerName = st.GIC->computerName();
    p.currentLoginName = st.GIC->currentLoginName();
    return p;
}

// The sent items as the window lists them, and the cells of the first screen (the end of the
// list, where the grid opens): "To/ CC" in one statement, and with the column the counts in one
// more.
qint64 openSentItems(bool withConfirmations)
{
    HostServices& gic = *SharedState::current().GIC;
    QString error;
    core::MessageRows list = core::listView(gic, sentItems(), QString(), &error);
    if (!list.isOpen()) {
        std::fprintf(stderr, "sent items statement failed: %s\n", qPrintable(error));
        return -1;
    }
    MessageListModel model;
    model.setList(&list, false);
    const int rows = model.rowCount();
    QList<qint32> screen;
    for (int r = std::max(0, rows - kFirstScreen); r < rows; ++r)
        screen << model.cmIdAt(r);
    const QHash<qint32, QVector<core::RecipientRow>> recipients =
        core::readRecipientRowsOf(gic, screen);
    QHash<qint32, QString> toCc;
    for (qint32 id : std::as_const(screen))
        toCc.insert(id, core::toCcCellText(recipients.value(id)));
    model.setToCcProvider([&toCc](qint32 id) { return toCc.value(id); });
    QHash<qint32, ConfirmationCount> counts;
    if (withConfirmations) {
        if (!readConfirmationCounts(gic, screen, counts, &error)) {
            std::fprintf(stderr, "count statement failed: %s\n", qPrintable(error));
            return -1;
        }
        model.setConfirmationProvider(
            [&counts](qint32 id) -> std::optional<ConfirmationCount> { return counts.value(id); });
    }
    const int toCcColumn = MessageListModel::columnOf(MessageListModel::Kind::ToCc);
    const int comments = MessageListModel::columnOf(MessageListModel::Kind::Comments);
    const int confirmed = MessageListModel::columnOf(MessageListModel::Kind::Confirmations);
    for (int r = std::max(0, rows - kFirstScreen); r < rows; ++r) {
        model.data(model.index(r, toCcColumn));
        model.data(model.index(r, comments));
        if (withConfirmations) {
            model.data(model.index(r, confirmed));
            model.data(model.index(r, confirmed), Qt::DecorationRole);
        }
    }
    return rows;
}

std::unique_ptr<tzSndMsgFrm> openOnInbox()
{
    auto w = std::make_unique<tzSndMsgFrm>();
    w->load();
    w->firstActivation();
    bench::press(*w, QStringLiteral("TB_Small"), QStringLiteral("MsgHisMsg"));
    w->resize(1280, 800);
    w->show();
    QApplication::processEvents();
    return w;
}

// The sent items chosen in an open window and painted; the column hidden for the baseline.
qint64 showSentItems(tzSndMsgFrm& w, bool withConfirmations)
{
    bench::press(w, QStringLiteral("TB"), QStringLiteral("MsgSItem"));
    if (!withConfirmations)
        bench::gridOf(w)->setColumnHidden(
            MessageListModel::columnOf(MessageListModel::Kind::Confirmations), true);
    bench::gridOf(w)->viewport()->repaint();
    return bench::gridOf(w)->model()->rowCount();
}

} // namespace

void addConfirmationCases(Runner& runner)
{
    runner.add({QStringLiteral("Sent items open with the \"Confirmed\" column (list, sort, bind, "
                               "first screen of cells)"),
                QStringLiteral("the same without the column"),
                [] { return openSentItems(true); },
                [] { return openSentItems(false); },
                {},
                {},
                QStringLiteral("the column costs one grouped count statement for the screen")});

    // Each run opens its window on the inbox untimed, then times choosing the sent items.
    const auto window = std::make_shared<std::unique_ptr<tzSndMsgFrm>>();
    const auto baselineWindow = std::make_shared<std::unique_ptr<tzSndMsgFrm>>();
    const auto close = [](const std::shared_ptr<std::unique_ptr<tzSndMsgFrm>>& w) {
        if (*w)
            (*w)->Unload();
        w->reset();
    };
    runner.add(
        {QStringLiteral("Window: choose the sent items (list, bind, panel, first paint) with "
                        "the \"Confirmed\" column"),
         QStringLiteral("the same with the column hidden"),
         [window] { return showSentItems(**window, true); },
         [baselineWindow] { return showSentItems(**baselineWindow, false); },
         [window, close] { close(window); },
         [baselineWindow, close] {
             close(baselineWindow);
             *baselineWindow = openOnInbox(); // for the next run, untimed
         },
         QStringLiteral("both read the panel of the message the view opens on"),
         [window, baselineWindow] {
             *window = openOnInbox();
             if (!*baselineWindow)
                 *baselineWindow = openOnInbox();
         }});
}

} // namespace tzsndmsg::bench
