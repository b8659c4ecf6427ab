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
#include <QScrollBar>
#include <QSqlQuery>
#include <QTableView>
#include <memory>

namespace tzsndmsg::bench {

namespace {

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

std::unique_ptr<tzSndMsgFrm> openInbox()
{
    auto w = std::make_unique<tzSndMsgFrm>();
    w->load();
    w->firstActivation();
    bench::press(*w, QStringLiteral("TB_Small"), QStringLiteral("MsgHisMsg"));
    w->resize(1280, 800);
    w->show();
    QApplication::processEvents(); // lays the grid out, so that it knows its screen
    bench::gridOf(*w)->viewport()->repaint();
    return w;
}

// Pages down from the first row to the last, painting each screen.
int scrollThrough(tzSndMsgFrm& w)
{
    QScrollBar* bar = bench::gridOf(w)->verticalScrollBar();
    int pages = 0;
    for (int v = bar->minimum();; v += std::max(1, bar->pageStep())) {
        bar->setValue(std::min(v, bar->maximum()));
        // Paints the new screen now; the events after it find nothing left to paint.
        bench::gridOf(w)->viewport()->repaint();
        QApplication::processEvents();
        ++pages;
        if (v >= bar->maximum())
            break;
    }
    return pages;
}

qint64 bareScreens(int screens, int rowsPerScreen, const StoreSummary& s)
{
    auto db = SharedState::current().GIC->messageStoreConnection();
    QSqlQuery q(tzsndmsg::db::Internals::handle(*db));
    q.setForwardOnly(true);
    q.prepare(bareInboxStatement(true, false, db->backend() == db::Backend::Sqlite));
    q.addBindValue(s.typicalPid);
    q.addBindValue(s.typicalComputer);
    q.exec();
    // All rows first: a second statement on the connection would end a forward-only read.
    QStringList all;
    while (q.next())
        all << QString::number(q.value(QStringLiteral("cmID")).toLongLong());
    q.finish();
    for (qsizetype at = 0; at < all.size() && screens-- > 0; at += rowsPerScreen) {
        QSqlQuery r(tzsndmsg::db::Internals::handle(*db));
        r.setForwardOnly(true);
        r.exec(bareRecipientsOf(all.mid(at, rowsPerScreen).join(u',')));
        while (r.next())
            r.value(0);
    }
    return all.size();
}

} // namespace

void addWindowCases(Runner& runner, const StoreSummary& summary)
{
    auto prompter = std::make_shared<CountingPrompter>();
    ui::MessageBox::setPrompter(prompter);
    ui::setModalHandler([](QDialog&) { return 0; });

    const auto queries = std::make_shared<int>(0);
    const auto screenRows = std::make_shared<int>(20);
    runner.add({QStringLiteral("Window: open the inbox offscreen (load, list, bind, first paint)"),
                QStringLiteral("bare statement + one recipient query for the screen"),
                [queries, screenRows] {
                    const int before = tzSndMsgFrm::recipientQueryCount();
                    auto w = openInbox();
                    *queries = tzSndMsgFrm::recipientQueryCount() - before;
                    const qint64 rows = bench::gridOf(*w)->model()->rowCount();
                    *screenRows = std::max(
                        1,
                        bench::gridOf(*w)->viewport()->height() /
                            std::max(1, bench::gridOf(*w)->verticalHeader()->defaultSectionSize()));
                    w->Unload();
                    return rows;
                },
                [summary] { return bareScreens(1, 40, summary); }});

    const auto window = std::make_shared<std::unique_ptr<tzSndMsgFrm>>();
    const auto pages = std::make_shared<int>(0);
    runner.add(
        {QStringLiteral("Window: scroll through the inbox page by page"),
         QStringLiteral("bare statement + one recipient query per page"),
         [window, pages] {
             *pages = scrollThrough(**window);
             return qint64(bench::gridOf(**window)->model()->rowCount());
         },
         [summary, pages, screenRows] {
             return bareScreens(std::max(1, *pages), *screenRows, summary);
         },
         [window] {
             (*window)->Unload();
             window->reset();
         },
         {},
         QStringLiteral("a freshly opened window each run (opened untimed), so every screen's "
                        "cells are fetched once"),
         [window] { *window = openInbox(); }});
    Q_UNUSED(queries);
}

} // namespace tzsndmsg::bench
