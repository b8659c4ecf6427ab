// The open message window lists what another workstation saves while it is open, read again in
// place: the row chosen, the message read and anything typed stay.
#include "messages/MessageListModel.h"
#include "messages/tzSndMsgFrm.h"
#include "state/SharedState.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/tzSndMsgCls.h"
#include "watcher/WatcherFixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableView>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

// The list's row with that subject, -1 when none.
int rowOf(const tzSndMsgFrm& window, const QString& subject)
{
    const int column = [] {
        const auto& columns = MessageListModel::gridColumns();
        for (int i = 0; i < columns.size(); ++i)
            if (columns.at(i).caption == QLatin1String("Subject"))
                return i;
        return -1;
    }();
    const QAbstractItemModel* model = control<QTableView>(&window, "TDBG")->model();
    for (int r = 0; model && r < model->rowCount(); ++r)
        if (model->index(r, column).data().toString() == subject)
            return r;
    return -1;
}

// A click on the row, as a person picks a message.
void clickRow(tzSndMsgFrm& window, int row)
{
    const QRect cell =
        control<QTableView>(&window, "TDBG")
            ->visualRect(control<QTableView>(&window, "TDBG")->model()->index(row, 2));
    QTest::mouseClick(control<QTableView>(&window, "TDBG")->viewport(), Qt::LeftButton,
                      Qt::NoModifier, cell.center());
    pump(5);
}

class LiveList : public TwoWorkstations {
protected:
    LiveList() { setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 0))); }
    void TearDown() override { ui::MessageBox::setPrompter(nullptr); }
    FreshSharedState state; // before the offices go
    PrompterGuard boxes;    // no box may come
};

TEST_F(LiveList, TheOpenWindowListsWhatAnotherWorkstationSavesKeepingTheRowAndWhatIsTyped)
{
    for (const char* subject : {"Room 1 keys", "Room 2 autoclave", "Room 3 lamp"})
        send(*ws1, message(*ws1, anna, QString::fromLatin1(subject), QString::number(bob) + u','));
    // The same login at a second computer: what it sends is the open window's sent items too.
    auto ws3 = office.workstation(QStringLiteral("WS3"), QStringLiteral("BACK"));
    ws3->setFixedNow(ws2->currentDateTime());

    struct Case {
        const char* name;
        std::function<void(tzSndMsgFrm&)> typeIn; // what the person does and types
        const char* chosen;                       // the row picked then; null: none
        std::function<void()> saveElsewhere;      // what another workstation saves
        const char* arrived;                      // the row that must come
        std::function<void(tzSndMsgFrm&)> typedStays;
    } cases[] = {
        {"the inbox narrowed by words typed in the search box",
         [](tzSndMsgFrm& w) {
             QSignalSpy searched(&w, &tzSndMsgFrm::searchDone);
             control<QLineEdit>(&w, "txtSearch")->setFocus();
             QTest::keyClicks(control<QLineEdit>(&w, "txtSearch"), QStringLiteral("room"));
             ASSERT_TRUE(searched.wait(3000));
             ASSERT_EQ(control<QTableView>(&w, "TDBG")->model()->rowCount(), 3);
         },
         "Room 2 autoclave",
         [&] {
             send(*ws1, message(*ws1, anna, QStringLiteral("Room 9 supplies"),
                                QString::number(bob) + u','));
         },
         "Room 9 supplies",
         [](tzSndMsgFrm& w) {
             EXPECT_EQ(control<QLineEdit>(&w, "txtSearch")->text(), QStringLiteral("room"));
             EXPECT_TRUE(control<QLineEdit>(&w, "txtSearch")->hasFocus());
         }},
        {"a new message being written over the empty sent items",
         [](tzSndMsgFrm& w) {
             QTest::keyClick(&w, Qt::Key_3, Qt::ControlModifier); // the sent items
             pump(5);
             ASSERT_FALSE(w.isInboxView());
             ASSERT_EQ(control<QTableView>(&w, "TDBG")->model()->rowCount(), 0);
             control<QPlainTextEdit>(&w, "txtMsg")->setFocus();
             QTest::keyClicks(control<QPlainTextEdit>(&w, "txtMsg"),
                              QStringLiteral("Half written"));
             ASSERT_TRUE(w.hasUnsavedChanges());
         },
         nullptr,
         [&] {
             send(*ws3, message(*ws3, bob, QStringLiteral("Sent from WS3"),
                                QString::number(anna) + u','));
         },
         "Sent from WS3",
         [](tzSndMsgFrm& w) {
             EXPECT_EQ(control<QPlainTextEdit>(&w, "txtMsg")->toPlainText(),
                       QStringLiteral("Half written"));
             EXPECT_TRUE(w.hasUnsavedChanges());
             EXPECT_TRUE(control<QPlainTextEdit>(&w, "txtMsg")->hasFocus());
             EXPECT_EQ(w.shownRowCmId(), 0) << "commands act on the message written";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool driven = false;
        ModalScript script;
        script.then([&](QDialog& dialog) {
            auto& w = static_cast<tzSndMsgFrm&>(dialog);
            QTimer::singleShot(0, &w, [&] {
                w.activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(&w, 3000));
                EXPECT_TRUE(waitUntil([&] { return !w.isLoading() && w.isFullWindow(); }));
                pump(5);
                c.typeIn(w);
                qint32 chosen = 0;
                if (c.chosen) {
                    const int row = rowOf(w, QString::fromLatin1(c.chosen));
                    ASSERT_GE(row, 0);
                    clickRow(w, row);
                    control<QLineEdit>(&w, "txtSearch")->setFocus();
                    chosen = w.shownRowCmId();
                    ASSERT_NE(chosen, 0);
                }

                c.saveElsewhere();
                EXPECT_TRUE(waitUntil([&] {
                    return rowOf(w, QString::fromLatin1(c.arrived)) >= 0;
                })) << "the new message is listed";
                if (c.chosen) {
                    EXPECT_EQ(w.shownRowCmId(), chosen) << "the row chosen stays current and shown";
                    EXPECT_EQ(control<QLineEdit>(&w, "txtSubject")->text(),
                              QString::fromLatin1(c.chosen));
                    const QModelIndex current = control<QTableView>(&w, "TDBG")->currentIndex();
                    EXPECT_EQ(current.row(), rowOf(w, QString::fromLatin1(c.chosen)));
                    EXPECT_TRUE(control<QTableView>(&w, "TDBG")
                                    ->selectionModel()
                                    ->isRowSelected(current.row(), QModelIndex()));
                }
                c.typedStays(w);
                driven = true;
                w.Unload();
            });
            QTimer::singleShot(30000, &w, [&] { w.Unload(); });
            return dialog.exec();
        });
        tzSndMsgCls messages;
        messages.setGIC(ws2);
        messages.setSndMsgHistoryButtonVisible(true);
        messages.setMsgHisOn(true);
        messages.Message_Start();
        EXPECT_TRUE(driven);
    }
}

} // namespace
