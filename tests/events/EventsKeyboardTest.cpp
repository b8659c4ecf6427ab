#include "EventsFixture.h"
#include "events/EventListModel.h"
#include "support/Appearance.h"
#include "support/WindowWalk.h"
#include "ui/DateCombo.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <optional>

using namespace Qt::StringLiterals;

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

const QString kNoAttendees = u"Saving Event without Attendees"_s;
const QString kDeleteQuestion = u"Are you sure to delete the event?"_s;

} // namespace

// A new event from the list: Ctrl+N, typed, Ctrl+S, found again with the arrows and deleted
// with Del, as the front desk does it without the mouse.
TEST_F(EventsTest, AnEventIsCreatedSavedAndDeletedByKeyboardAlone)
{
    addEvent(u"Fire drill"_s, ann, u"12/10/2026"_s);
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);

    pressKey(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    EXPECT_EQ(w.CurrentEventID(), 0);
    typeText(u"Staff meeting"_s);
    pressKey(Qt::Key_Tab);
    EXPECT_EQ(focusedName(), u"txtEve_1"_s);
    typeText(u"Room 2"_s);
    // Del in a text field deletes a letter, never the event.
    pressKey(Qt::Key_Home);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(c<QPlainTextEdit>(u"txtEve_1"_s)->toPlainText(), u"oom 2"_s);
    {
        PrompterGuard prompts;
        prompts->expect(kNoAttendees, ui::vbYes);
        pressKey(Qt::Key_S, Qt::ControlModifier);
    }
    const qint32 saved = w.CurrentEventID();
    ASSERT_NE(saved, 0);
    EXPECT_FALSE(w.ChangeFlag());
    EXPECT_EQ(office.scalar(u"select CMSubjec from CMTable where cmID=?"_s, {saved}).toString(),
              u"Staff meeting"_s);
    EXPECT_EQ(w.listModel()->rowCount(), 2);

    // Back to the list past the title; the arrows move between events, each loaded as it comes.
    EXPECT_EQ(focusedName(), u"txtEve_1"_s);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    // Today's new event lists before the drill later this month.
    pressKey(Qt::Key_Down);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);
    pressKey(Qt::Key_Up);
    EXPECT_EQ(w.CurrentEventID(), saved);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Staff meeting"_s);

    // Del in the attendee initials, read-only as they are, leaves the event alone.
    for (int i = 0; i < 4; ++i)
        pressKey(Qt::Key_Tab);
    EXPECT_EQ(focusedName(), u"txtAtt_0"_s);
    {
        PrompterGuard noQuestion;
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(w.listModel()->rowCount(), 2);
    for (int i = 0; i < 4; ++i)
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);

    // Del asks what the button asks; No keeps the event.
    {
        PrompterGuard prompts;
        prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbNo);
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(office.scalar(u"select count(*) from CMTable where cmID=?"_s, {saved}).toInt(), 1);
    {
        PrompterGuard prompts;
        prompts->expect(kDeleteQuestion, u"Delete Event"_s, ui::vbYes);
        pressKey(Qt::Key_Delete);
    }
    EXPECT_EQ(office.scalar(u"select count(*) from CMTable where cmID=?"_s, {saved}).toInt(), 0);
    EXPECT_EQ(w.listModel()->rowCount(), 1);
    EXPECT_EQ(w.CurrentEventID(), 0);

    // Enter on a row opens that event at its title.
    pressKey(Qt::Key_Down);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    EXPECT_EQ(edit("txtEve_0")->text(), u"Fire drill"_s);
}

// Each command's key is named in its button's tooltip, and a command the window does not
// allow now does not run by its key either.
TEST_F(EventsTest, ToolbarKeysAreShownAndFollowTheButtons)
{
    EMS_EventsFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    const struct {
        const char* key;
        QKeySequence sequence;
    } keys[] = {{"New", QKeySequence::New},
                {"Save", QKeySequence::Save},
                {"Delete", QKeySequence(Qt::Key_Delete)},
                {"Help", QKeySequence(Qt::Key_F1)},
                {"Close", QKeySequence(Qt::Key_Escape)}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        EXPECT_TRUE(button(QString::fromLatin1(k.key))
                        ->toolTip()
                        .contains(k.sequence.toString(QKeySequence::NativeText)));
    }
    // A new, unchanged event: nothing to save or delete, so the keys do nothing and ask nothing.
    PrompterGuard prompts;
    EXPECT_EQ(focusedName(), u"txtEve_0"_s);
    pressKey(Qt::Key_S, Qt::ControlModifier);
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), u"TDBG"_s);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
    // Esc closes as the close box does, asking first when there is a change.
    pressKey(Qt::Key_Tab);
    typeText(u"Half done"_s);
    prompts->expect(u"Save Current Change?"_s, ui::vbCancel);
    pressKey(Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    prompts->expect(u"Save Current Change?"_s, ui::vbNo);
    pressKey(Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(office.count(u"CMTable"_s), 0);
}

// Every way the window opens: where the focus starts, and Tab and Shift+Tab through every
// control once, in the order the eye reads the window (the list first, then the panel from top
// to bottom), each with a name a screen reader says.
TEST_F(EventsTest, TheFocusChainReadsLikeTheWindowAndNamesEveryStop)
{
    const QStringList recurring = {"evBroReaFla", "EvBroReaEve", "EvBroReaTyp", "EvBroNumOfTim"};
    const QStringList everyTwoWeeksFourTimes = {"-1", "2", "7", "4"};
    // From the title on; the repeat's own stops once it repeats.
    const QStringList panel = {"txtEve_1", "CmdTo_0",     "txtAtt_0",    "CmdTo_1", "txtAtt_1",
                               "dateEdit", "cmbFroTim_0", "cmbFroTim_1", "ChkRea_0"};
    const QStringList repeat = {"txtReaEve_0", "cmbRea_0", "OptReaUnl_0", "txtReaTim_0"};
    const struct {
        const char* name;
        bool single;
        bool withEvent;
        const char* first;
        QStringList forward;
    } cases[] = {{"list with a recurring event", false, true, "TDBG",
                  QStringList{"txtEve_0"} + panel + repeat},
                 {"empty list", false, false, "txtEve_0", panel + QStringList{"TDBG"}},
                 {"one event alone", true, true, "txtEve_0", panel + repeat}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        office.exec(u"delete from EVTable"_s);
        office.exec(u"delete from CMTable"_s);
        SharedState::current().LinkID = 0;
        if (k.withEvent) {
            const qint64 cm = addEvent(u"Fire drill"_s, ann, u"12/10/2026"_s, u"9:00:00 AM"_s,
                                       u"10:00:00 AM"_s, recurring, everyTwoWeeksFourTimes);
            if (k.single)
                alone(cm);
        }
        EMS_EventsFrm& w = open();
        ASSERT_TRUE(showActive(&w));
        EXPECT_EQ(focusedName(), QString::fromLatin1(k.first));
        expectTabRing(&w, k.forward);
        w.hide();
    }
}

// At the office's own font the grid's columns fit a 1280 by 800 screen without scrolling
// sideways, dates and times whole; at 16 pt, light and dark, the list keeps most of its columns
// whole and several rows, no caption is squeezed below what its text needs, and the next dates
// read in the palette's own text colour.
TEST_F(EventsTest, TheGridFitsAndALargeFontAndADarkPaletteLeaveEveryTextReadable)
{
    for (int i = 0; i < 12; ++i) // more rows than the grid shows: its vertical scroll bar comes
        addEvent(u"Quarterly fire extinguisher check %1"_s.arg(i), ann, u"12/%1/2026"_s.arg(10 + i),
                 u"9:00:00 AM"_s, u"10:00:00 AM"_s, {"evBroReaFla", "EvBroReaEve", "EvBroReaTyp"},
                 {"-1", "1", "-2"});
    const struct {
        const char* name;
        qreal points; // 0: the office's own
        QPalette palette;
    } looks[] = {{"plain", 0, QApplication::palette()},
                 {"light", 16, QApplication::style()->standardPalette()},
                 {"dark", 16, darkPalette()}};
    for (const auto& look : looks) {
        SCOPED_TRACE(look.name);
        std::optional<Appearance> appearance;
        if (look.points > 0)
            appearance.emplace(look.points, look.palette);
        EMS_EventsFrm& w = open();
        ASSERT_TRUE(showActive(&w));
        w.resize(1280 * 9 / 10 + 40, 800 * 9 / 10);
        pump();
        EXPECT_LE(w.minimumSizeHint().width(), w.width());
        EXPECT_LE(w.minimumSizeHint().height(), w.height());

        auto* grid = c<QTableView>(u"TDBG"_s);
        if (look.points == 0) {
            int total = 0;
            for (int col = 0; col < grid->model()->columnCount(); ++col)
                if (!grid->isColumnHidden(col))
                    total += grid->columnWidth(col);
            EXPECT_LE(total, grid->viewport()->width());
            EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
            const QFontMetrics metrics(grid->font());
            EXPECT_GE(grid->columnWidth(EventListModel::ColDate),
                      metrics.horizontalAdvance(u"12/28/2026"_s));
            EXPECT_GE(grid->columnWidth(EventListModel::ColETime),
                      metrics.horizontalAdvance(u"12:00 AM"_s));
        }
        // Columns on show whole, each wide enough for its caption.
        QFont bold = grid->horizontalHeader()->font();
        bold.setBold(true);
        int whole = 0;
        for (int col = 0; col < grid->model()->columnCount(); ++col) {
            if (grid->isColumnHidden(col))
                continue;
            const QString caption = grid->model()->headerData(col, Qt::Horizontal).toString();
            EXPECT_GT(grid->columnWidth(col), QFontMetrics(bold).horizontalAdvance(caption))
                << caption.toStdString();
            if (grid->columnViewportPosition(col) >= 0 &&
                grid->columnViewportPosition(col) + grid->columnWidth(col) <=
                    grid->viewport()->width())
                ++whole;
        }
        EXPECT_GE(whole, 5);
        const int rowHeight = grid->rowHeight(0);
        EXPECT_GE(rowHeight, grid->fontMetrics().height());
        EXPECT_GE(grid->viewport()->height() / rowHeight, 6);
        EXPECT_EQ(cutCaptions(&w), QStringList());

        auto* next = c<QLabel>(u"lblNextOccurrences"_s);
        EXPECT_FALSE(next->text().isEmpty());
        const QPalette p = next->palette();
        EXPECT_GE(contrast(p.color(next->foregroundRole()), p.color(next->backgroundRole())), 4.5);
        const QPalette g = grid->palette();
        EXPECT_GE(contrast(g.color(QPalette::Text), g.color(QPalette::Base)), 4.5);
        keepShot(&w, u"events-%1.png"_s.arg(QString::fromLatin1(look.name)));
        w.hide();
    }
}
