// The search box of the full message window, typed into as a user does.
#include "fixture.h"
#include "messages/SearchHighlightDelegate.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

class SearchWindow : public ConfirmTest {
protected:
    void SetUp() override
    {
        ConfirmTest::SetUp();
        // FRONT's inbox at WS1, her sent items, a purged message, and another person's.
        outage = seed({"BEN", ben, "Autoclave is out",
                       "The autoclave in room 2 failed its test.\r\n"
                       "Use the one at the front desk.",
                       "12/01/2026", "08:10 AM"},
                      {{front}, {carl, 1}});
        lunch = seed({"CARL", carl, "Lunch order", "Sandwiches from the café at noon", "12/02/2026",
                      "09:00 AM"},
                     {{front, 0, "", "-1"}});
        crown =
            seed({"BEN", ben, "Lab results", "The Jones crown is ready", "12/03/2026", "10:00 AM"},
                 {{0, 0, "WS1"}});
        repaired = seed({"BEN", ben, "Autoclave repaired", "Ready again", "11/20/2026", "10:00 AM",
                         "Message", "256", "256"},
                        {{front, 0, "", "-1"}});
        sent = seed({"FRONT", front, "Autoclave order", "Please order a new gasket", "11/25/2026",
                     "11:00 AM"},
                    {{ben}});
        seed({"BEN", ben, "Autoclave for Carl", "Not for the front desk", "12/04/2026", "09:00 AM"},
             {{carl}});
    }

    static QStringList marked(const tzSndMsgFrm& w)
    {
        QStringList out;
        for (const QTextEdit::ExtraSelection& s : textBox(w)->extraSelections())
            out << s.cursor.selectedText();
        return out;
    }

    qint32 outage = 0, lunch = 0, crown = 0, repaired = 0, sent = 0;
};

TEST_F(SearchWindow, TypingNarrowsTheViewEnterAtOnceAndEscBringsItBackOnItsMessage)
{
    tzSndMsgFrm& w = openFullShown();
    QAbstractItemModelTester tester(listView(w)->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QStringList view{"Autoclave is out", "Lunch order", "Lab results"};
    ASSERT_EQ(subjects(w), view);
    ASSERT_TRUE(show(w, lunch));

    // Ctrl+F puts the cursor in the box; the list waits for a pause in the typing.
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), searchBox(w));
    QSignalSpy done(&w, &tzSndMsgFrm::searchDone);
    QTest::keyClicks(searchBox(w), "AUTO");
    EXPECT_EQ(subjects(w), view);
    EXPECT_FALSE(w.isSearching());
    ASSERT_TRUE(done.wait(5 * tzSndMsgFrm::SearchPauseMs + 2000));
    EXPECT_EQ(subjects(w), QStringList{"Autoclave is out"}); // not another's, not the purged one
    EXPECT_EQ(textOf(w, "lblSearch"), "1 message found");
    EXPECT_EQ(textOf(w, "SB_Panel1"), "1 of 1");
    EXPECT_EQ(w.CMID(), outage);
    EXPECT_EQ(marked(w), QStringList{"auto"});            // in the message shown
    EXPECT_EQ(QApplication::focusWidget(), searchBox(w)); // typing goes on in the box

    // Accents ignored, and marked as written.
    searchBox(w)->clear();
    ASSERT_TRUE(search(w, "cafe"));
    EXPECT_EQ(subjects(w), QStringList{"Lunch order"});
    EXPECT_EQ(marked(w), QStringList{"café"});

    // Esc empties the box and lists the view on the message it showed; the window stays.
    QTest::keyClick(searchBox(w), Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(searchBox(w)->text().isEmpty());
    EXPECT_FALSE(w.isSearching());
    EXPECT_EQ(subjects(w), view);
    EXPECT_EQ(w.CMID(), lunch);
    EXPECT_EQ(textOf(w, "SB_Panel1"), "2 of 3");
    EXPECT_TRUE(marked(w).isEmpty());
    EXPECT_TRUE(prompter->shown.isEmpty());

    // Enter searches at once, and the words are marked in the list.
    QTest::mouseClick(searchBox(w), Qt::LeftButton);
    search(w, "autoclave", true); // no waiting, no button of the window pressed
    EXPECT_TRUE(w.isSearching());
    EXPECT_EQ(subjects(w), QStringList{"Autoclave is out"});
    EXPECT_TRUE(w.isVisible());

    // The grid paints the found word's start on the highlight colour.
    QCoreApplication::processEvents();
    const QImage grid = listView(w)->viewport()->grab().toImage();
    int marks = 0;
    for (int y = 0; y < grid.height(); ++y)
        for (int x = 0; x < grid.width(); ++x)
            marks += grid.pixelColor(x, y) == SearchHighlightDelegate::highlightColor();
    EXPECT_GT(marks, 50);

    // A box of signs only searches for nothing and says so; the view stays listed.
    searchBox(w)->clear();
    search(w, "'\"%;--", true);
    EXPECT_FALSE(w.isSearching());
    EXPECT_EQ(model(w)->rowCount(), 3);
    EXPECT_EQ(textOf(w, "lblSearch"), "Type letters or digits to search");
    EXPECT_EQ(office.count("CMTable"), 6);
}

// Letters that do not decompose are found and marked by their plain spelling; words beyond the
// limit are refused beside the box, with no box to answer, and what is listed stays; the words
// stay across views and writes.
TEST_F(SearchWindow, FoldsEveryLetterRefusesWordsBeyondTheLimitAndKeepsTheWordsAcrossViews)
{
    const qint32 street =
        seed({"BEN", ben, "Straße closed", "The Straße is closed; use the ﬁle room door.",
              "12/05/2026", "08:00 AM"},
             {{front}});
    tzSndMsgFrm& w = openFullShown();
    ASSERT_EQ(model(w)->rowCount(), 4);
    ASSERT_TRUE(search(w, "strasse FILE"));
    EXPECT_EQ(subjects(w), QStringList{"Straße closed"});
    EXPECT_EQ(w.CMID(), street);
    EXPECT_EQ(marked(w), (QStringList{"Straße", "ﬁle"}));

    // Too many words: refused beside the box.
    QString seventeen;
    for (int i = 1; i <= 15; ++i)
        seventeen += QString(" w%1").arg(i);
    const QString said = "A search takes at most 16 words; 17 were typed.";
    // Added to the words being searched: their hits stay listed.
    search(w, seventeen, true);
    EXPECT_EQ(textOf(w, "lblSearch"), said);
    EXPECT_EQ(subjects(w), QStringList{"Straße closed"});
    // Typed into an empty box: the view stays listed.
    QTest::keyClick(searchBox(w), Qt::Key_Escape);
    search(w, "strasse FILE" + seventeen, true);
    EXPECT_EQ(textOf(w, "lblSearch"), said);
    EXPECT_FALSE(w.isSearching());
    EXPECT_EQ(model(w)->rowCount(), 4);
    EXPECT_TRUE(prompter->shown.isEmpty());

    // The words stay across views and writes, and the view comes back up to date.
    QTest::keyClick(searchBox(w), Qt::Key_Escape);
    ASSERT_TRUE(search(w, "autoclave"));
    ASSERT_EQ(subjects(w), QStringList{"Autoclave is out"});

    // Another view: the same words narrow it.
    pressButton(w, "TB", "MsgSItem");
    EXPECT_EQ(subjects(w), QStringList{"Autoclave order"});
    pressButton(w, "TB", "TDLstHis");
    EXPECT_TRUE(subjects(w).isEmpty());
    EXPECT_EQ(textOf(w, "lblSearch"), "No message found");
    pressButton(w, "TB", "MsgIn");
    EXPECT_EQ(subjects(w), QStringList{"Autoclave is out"});

    // Purged from the hits: gone from them; in the history's hits instead.
    ASSERT_TRUE(show(w, outage));
    office.exec("update BroChkTable set BroChkDonDis=-1 where BroChkLinID=?", {outage});
    pressButton(w, "TB", "Refresh");
    listView(w)->selectRow(0);
    pressButton(w, "TB", "Purge");
    EXPECT_TRUE(subjects(w).isEmpty());
    pressButton(w, "TB", "TDLstHis");
    EXPECT_EQ(subjects(w), (QStringList{"Autoclave repaired", "Autoclave is out"}));

    // Deleted from the hits; the view read again when the search is cleared.
    ASSERT_TRUE(show(w, repaired));
    prompter->expect("Are you sure you want to delete this message?", "Delete Message", 6);
    pressButton(w, "TB", "Delete");
    EXPECT_EQ(subjects(w), QStringList{"Autoclave is out"});
    QTest::keyClick(searchBox(w), Qt::Key_Escape);
    EXPECT_EQ(subjects(w), QStringList{"Autoclave is out"}); // the history, without the deleted one
    EXPECT_EQ(office.count("CMTable", "cmID=?", {repaired}), 0);
}

TEST_F(SearchWindow, SearchEverywhereListsEachHitWithItsView)
{
    tzSndMsgFrm& w = openFullShown();
    clickCheck(w, "chkSearchAll");
    ASSERT_TRUE(control<QCheckBox>(&w, "chkSearchAll")->isChecked());
    ASSERT_TRUE(search(w, "autoc"));
    const int viewColumn = MessageListModel::columnOf(MessageListModel::Kind::View);
    EXPECT_FALSE(listView(w)->isColumnHidden(viewColumn));
    EXPECT_EQ(listView(w)->horizontalHeader()->visualIndex(viewColumn),
              listView(w)->horizontalHeader()->visualIndex(2) - 1); // just before "From"
    EXPECT_EQ(column(w, viewColumn), (QStringList{"Inbox - History", "Sent Items", "Inbox"}));
    EXPECT_EQ(subjects(w),
              (QStringList{"Autoclave repaired", "Autoclave order", "Autoclave is out"}));
    EXPECT_EQ(textOf(w, "lblSearch"), "3 messages found in every view");
    // Unread only where it came to her; purging among several views is left to the views.
    EXPECT_FALSE(boldRow(w, 1));
    EXPECT_TRUE(boldRow(w, 2));
    EXPECT_FALSE(buttonOf(w, "TB", "Purge")->isEnabled());
    // A received hit is confirmed from its row as in the inbox.
    ASSERT_TRUE(show(w, outage));
    EXPECT_TRUE(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w));
    ASSERT_TRUE(show(w, sent));
    EXPECT_FALSE(control<QWidget>(&w, "PicConfirm")->isVisibleTo(&w));

    // Back to the view's own search, then to the view.
    clickCheck(w, "chkSearchAll");
    EXPECT_EQ(subjects(w), QStringList{"Autoclave is out"});
    EXPECT_TRUE(listView(w)->isColumnHidden(viewColumn));
    EXPECT_TRUE(buttonOf(w, "TB", "Purge")->isEnabled());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_EQ(model(w)->rowCount(), 3);
    EXPECT_TRUE(w.isVisible());
    // With nothing left to clear, Esc closes the window as before.
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
}

// The demo office's front desk looking for what was said about staff.
// A word in most of a long inbox: the first screen is the end of the list (on a server's store
// it comes before the rest is read), then every hit. "Select All" asked before the rest is
// listed selects every hit; Esc before it drops the rest.
TEST_F(SearchWindow, ACommonWordListsTheEndOfTheListFirstThenEveryHit)
{
    qint32 newest = 0;
    for (int i = 0; i < 120; ++i)
        newest = seed({"BEN", ben, QString("Insurance claim %1").arg(i),
                       i % 4 ? "Billing" : "Call the patient back",
                       QDate(2025, 1, 1).addDays(i).toString("MM/dd/yyyy"), "09:00 AM"},
                      {{front}});
    tzSndMsgFrm& w = openFullShown();
    w.setSearchScreenRows(10);
    for (const bool escape : {false, true}) {
        QSignalSpy screen(&w, &tzSndMsgFrm::searchScreenShown);
        QSignalSpy done(&w, &tzSndMsgFrm::searchDone);
        QTest::keyClicks(searchBox(w), "insurance");
        ASSERT_TRUE(screen.wait(5 * tzSndMsgFrm::SearchPauseMs + 2000));
        const QStringList first = subjects(w);
        ASSERT_GE(first.size(), 10);
        EXPECT_EQ(w.CMID(), newest); // the list opens on its last hit
        // A server's store tests the last rows one by one first; SQLite reads every hit at once.
        EXPECT_EQ(w.isSearchPartial(), office.usingPostgres());
        if (w.isSearchPartial()) {
            EXPECT_LT(first.size(), 120);
            EXPECT_EQ(textOf(w, "lblSearch"),
                      QString("%1 found so far, searching on...").arg(first.size()));
        }
        if (escape) {
            QTest::keyClick(searchBox(w), Qt::Key_Escape);
            QTest::qWait(50);
            EXPECT_FALSE(w.isSearching());
            EXPECT_FALSE(w.isSearchPartial());
            EXPECT_EQ(model(w)->rowCount(), 123);
            break;
        }
        pressButton(w, "TB", "ChkAll");
        EXPECT_FALSE(w.isSearchPartial());
        EXPECT_EQ(model(w)->rowCount(), 120);
        EXPECT_EQ(listView(w)->selectionModel()->selectedRows().size(), 120);
        EXPECT_EQ(subjects(w).mid(120 - first.size()), first); // the first screen was its end
        EXPECT_EQ(textOf(w, "lblSearch"), "120 messages found");
        EXPECT_EQ(w.CMID(), newest);
        EXPECT_EQ(done.size(), 1);
        searchBox(w)->clear();
        QCoreApplication::processEvents();
    }
}

class SearchWindowDemo : public DemoFrontDesk {};

TEST_F(SearchWindowDemo, FindsInTheDemoOfficeWithTheViewOfEachHit)
{
    tzSndMsgFrm& w = openFull(1120, 760);
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    clickCheck(w, "chkSearchAll");
    QTest::mouseClick(searchBox(w), Qt::LeftButton);
    ASSERT_TRUE(search(w, "staff"));
    EXPECT_EQ(column(w, MessageListModel::columnOf(MessageListModel::Kind::View)),
              (QStringList{"Inbox - History", "Inbox"}));
    EXPECT_EQ(subjects(w), (QStringList{"Flu shots for staff", "Staff meeting moved"}));
    clickRow(w, 1);
    EXPECT_EQ(subjectBox(w)->text(), "Staff meeting moved");
    ASSERT_EQ(textBox(w)->extraSelections().size(), 1);
    EXPECT_EQ(textBox(w)->extraSelections().first().cursor.selectedText(), "staff");
    keepShot(&w, "messages-search.png");
}

} // namespace
