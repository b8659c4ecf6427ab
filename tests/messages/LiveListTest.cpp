// The open message window lists what another workstation saves while it is open, read again in
// place: the row chosen, the message read and anything typed stay.
#include "fixture.h"
#include "tzsndmsg/tzSndMsgCls.h"
#include "watcher/WatcherFixture.h"

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

// The list's row with that subject, -1 when none.
int rowWith(const QWidget& window, const QString& subject)
{
    return int(subjects(window).indexOf(subject));
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
             searchBox(w)->setFocus();
             ASSERT_TRUE(search(w, QStringLiteral("room")));
             ASSERT_EQ(model(w)->rowCount(), 3);
         },
         "Room 2 autoclave",
         [&] {
             send(*ws1, message(*ws1, anna, QStringLiteral("Room 9 supplies"),
                                QString::number(bob) + u','));
         },
         "Room 9 supplies",
         [](tzSndMsgFrm& w) {
             EXPECT_EQ(searchBox(w)->text(), QStringLiteral("room"));
             EXPECT_TRUE(searchBox(w)->hasFocus());
         }},
        {"a new message being written over the empty sent items",
         [](tzSndMsgFrm& w) {
             QTest::keyClick(&w, Qt::Key_3, Qt::ControlModifier); // the sent items
             pump(5);
             ASSERT_FALSE(w.isInboxView());
             ASSERT_EQ(model(w)->rowCount(), 0);
             textBox(w)->setFocus();
             QTest::keyClicks(textBox(w), QStringLiteral("Half written"));
             ASSERT_TRUE(w.hasUnsavedChanges());
         },
         nullptr,
         [&] {
             send(*ws3, message(*ws3, bob, QStringLiteral("Sent from WS3"),
                                QString::number(anna) + u','));
         },
         "Sent from WS3",
         [](tzSndMsgFrm& w) {
             EXPECT_EQ(textBox(w)->toPlainText(), QStringLiteral("Half written"));
             EXPECT_TRUE(w.hasUnsavedChanges());
             EXPECT_TRUE(textBox(w)->hasFocus());
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
                    const int row = rowWith(w, QString::fromLatin1(c.chosen));
                    ASSERT_GE(row, 0);
                    clickRow(w, row);
                    pump(5);
                    searchBox(w)->setFocus();
                    chosen = w.shownRowCmId();
                    ASSERT_NE(chosen, 0);
                }

                c.saveElsewhere();
                EXPECT_TRUE(waitUntil([&] {
                    return rowWith(w, QString::fromLatin1(c.arrived)) >= 0;
                })) << "the new message is listed";
                if (c.chosen) {
                    EXPECT_EQ(w.shownRowCmId(), chosen) << "the row chosen stays current and shown";
                    EXPECT_EQ(subjectBox(w)->text(), QString::fromLatin1(c.chosen));
                    const QModelIndex current = listView(w)->currentIndex();
                    EXPECT_EQ(current.row(), rowWith(w, QString::fromLatin1(c.chosen)));
                    EXPECT_TRUE(
                        listView(w)->selectionModel()->isRowSelected(current.row(), QModelIndex()));
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
