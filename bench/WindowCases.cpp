#include "WindowCases.h"

#include "BareStatements.h"
#include "BenchRunner.h"
#include "StoreGenerator.h"
#include "WindowDriver.h"
#include "db/Internals.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "tzsndmsg/db/Database.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "tzsndmsg/ui/Modal.h"

#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>
#include <limits>
#include <memory>

namespace tzsndmsg::bench {

namespace {

// The pages the scroll case turns (fewer when the inbox is shorter).
constexpr int kPages = 10;

// Nobody sits at the benchmark: any box is answered OK and counted.
class CountingPrompter : public ui::Prompter {
public:
    int ask(const ui::MessageBoxRequest&) override
    {
        ++asked;
        return 1;
    }
    int asked = 0;
};

// The window on the inbox, shown and laid out, nothing painted yet: its list read and bound,
// the grid's rows and scroll range known.
std::unique_ptr<tzSndMsgFrm> openInbox()
{
    auto w = std::make_unique<tzSndMsgFrm>();
    w->load();
    w->firstActivation();
    bench::press(*w, QStringLiteral("TB_Small"), QStringLiteral("MsgHisMsg"));
    w->resize(1280, 800);
    w->show();
    if (w->layout())
        w->layout()->activate();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    bench::gridOf(*w)->doItemsLayout();
    return w;
}

// The window painted once, as it first comes on screen: every control, and the list's screen with
// its "To/ CC" cells read for it.
void paintWindow()
{
    const int before = tzSndMsgFrm::recipientQueryCount();
    QApplication::processEvents();
    if (tzSndMsgFrm::recipientQueryCount() == before)
        std::fprintf(stderr, "    the first paint read no \"To/ CC\" cells\n");
}

// From wherever the grid is, `pages` pages down, painting each screen.
int scrollPages(tzSndMsgFrm& w, int pages)
{
    QScrollBar* bar = bench::gridOf(w)->verticalScrollBar();
    int turned = 0;
    while (turned < pages && bar->value() < bar->maximum()) {
        bar->setValue(std::min(bar->value() + std::max(1, bar->pageStep()), bar->maximum()));
        // The new screen painted once, as the event loop paints it after a page key.
        const int before = tzSndMsgFrm::recipientQueryCount();
        QApplication::processEvents();
        if (tzSndMsgFrm::recipientQueryCount() == before)
            std::fprintf(stderr, "    page %d read no \"To/ CC\" cells\n", turned + 1);
        ++turned;
    }
    return turned;
}

int screenRows(tzSndMsgFrm& w)
{
    QTableView* grid = bench::gridOf(w);
    return std::max(1, grid->viewport()->height() /
                           std::max(1, grid->verticalHeader()->defaultSectionSize()));
}

// The ids of the inbox's rows in the list's order, every value of the list read as a client
// that shows the rows reads them.
QStringList bareInbox(const StoreSummary& s)
{
    auto db = SharedState::current().GIC->messageStoreConnection();
    QSqlRecord record;
    const auto rows =
        readBare(*db, bareInboxStatement(true, false, db->backend() == db::Backend::Sqlite),
                 {s.typicalPid, s.typicalComputer}, &record);
    QStringList ids;
    const int at = record.indexOf(QStringLiteral("cmID"));
    if (rows)
        for (const QVariantList& row : *rows)
            ids << QString::number(row.value(at).toLongLong());
    return ids;
}

// The message the window opens on, as its form shows it: the row with its detail, and its
// recipient rows.
void bareMessage(const QString& cmId)
{
    auto db = SharedState::current().GIC->messageStoreConnection();
    readBare(*db,
             QStringLiteral("SELECT CMTable.*, EVTable.* FROM CMTable INNER JOIN EVTable ON "
                            "CMTable.cmID = EVTable.EVLinID WHERE CMTable.cmID = ?"),
             {cmId.toLongLong()});
    readBare(*db, bareRecipientsOf(cmId), {});
}

// The "To/ CC" names of the screens from `first` on, each screen's grouped by the database in
// one bare statement, every value read. Returns the list rows covered.
qint64 bareScreens(const QStringList& ids, qsizetype first, int screens, int rowsPerScreen)
{
    auto db = SharedState::current().GIC->messageStoreConnection();
    const bool sqlite = db->backend() == db::Backend::Sqlite;
    qint64 rows = 0;
    for (qsizetype at = first; at < ids.size() && screens-- > 0; at += rowsPerScreen) {
        const QStringList screen = ids.mid(at, rowsPerScreen);
        readBare(*db,
                 withBareToCcNames(QStringLiteral("SELECT cmID FROM CMTable WHERE cmID IN (") +
                                       screen.join(u',') + u')',
                                   sqlite),
                 {});
        rows += screen.size();
    }
    return rows;
}

} // namespace

void addWindowCases(Runner& runner, const StoreSummary& summary)
{
    auto prompter = std::make_shared<CountingPrompter>();
    ui::MessageBox::setPrompter(prompter);
    ui::setModalHandler([](QDialog&) { return 0; });

    const auto screen = std::make_shared<int>(20);
    const auto ids = std::make_shared<QStringList>();
    const auto statements = std::make_shared<quint64>(0);
    const auto window = std::make_shared<std::unique_ptr<tzSndMsgFrm>>();
    const auto close = [window] {
        (*window)->Unload();
        window->reset();
    };
    runner.add({QStringLiteral("Window: open the inbox (list read and bound, window laid out, "
                               "not painted)"),
                QStringLiteral("bare inbox statement and the newest message's row and recipients, "
                               "every value read"),
                [window, screen, statements] {
                    const quint64 before = db::Internals::statementsRun();
                    *window = openInbox();
                    if (*statements == 0)
                        *statements = db::Internals::statementsRun() - before;
                    *screen = screenRows(**window);
                    return qint64(bench::gridOf(**window)->model()->rowCount());
                },
                [summary, ids] {
                    *ids = bareInbox(summary);
                    if (!ids->isEmpty())
                        bareMessage(ids->constLast());
                    return qint64(ids->size());
                },
                [close, statements] {
                    close();
                    // Once: how many statements an open runs.
                    if (*statements != std::numeric_limits<quint64>::max())
                        std::fprintf(stderr, "    the open ran %llu statements\n",
                                     static_cast<unsigned long long>(*statements));
                    *statements = std::numeric_limits<quint64>::max();
                },
                {},
                QStringLiteral("the window made, loaded and shown each run; closed untimed"),
                {},
                {},
                1.5});

    // The last screen is the one the window opens on (it shows the newest message).
    // The list's ids, when the open case did not run before.
    const auto fillIds = [ids, summary] {
        if (ids->isEmpty())
            *ids = bareInbox(summary);
    };
    const auto lastScreen = [ids, screen] { return std::max<qsizetype>(0, ids->size() - *screen); };
    runner.add(
        {QStringLiteral("Window: first paint of the opened inbox (every control, the "
                        "list's screen with its To/ CC)"),
         QStringLiteral("bare statement of the screen's To/ CC names, grouped by the database"),
         [window, screen] {
             paintWindow();
             return qint64(std::min(*screen, bench::gridOf(**window)->model()->rowCount()));
         },
         [ids, screen, lastScreen] { return bareScreens(*ids, lastScreen(), 1, *screen); },
         close,
         {},
         QStringLiteral("a freshly opened window each run (opened untimed)"),
         [window, screen] {
             *window = openInbox();
             *screen = screenRows(**window);
         },
         fillIds});

    // Pages down from the first row: a fresh window on its first screen, painted, untimed.
    const auto pages = std::make_shared<int>(kPages);
    runner.add(
        {QStringLiteral("Window: scroll the inbox %1 pages down (each screen painted)").arg(kPages),
         QStringLiteral("bare statement of each screen's To/ CC names, grouped by the database"),
         [window, pages, screen] {
             *pages = scrollPages(**window, kPages);
             return qint64(*pages) * *screen;
         },
         [ids, screen, pages] { return bareScreens(*ids, *screen, *pages, *screen); },
         close,
         {},
         QStringLiteral("a freshly opened window each run on its first screen, painted "
                        "untimed; every screen's cells are read once"),
         [window, screen] {
             *window = openInbox();
             *screen = screenRows(**window);
             bench::gridOf(**window)->scrollToTop();
             paintWindow();
         },
         fillIds,
         2.0});
}

} // namespace tzsndmsg::bench
