// Purging and unpurging messages from the views of the real window.
#include "fixture.h"

namespace tzsndmsg::testing {
namespace {

using Purge = ConfirmTest;

// Answers through the test's scripted prompter and notes the status bar's first panel each time.
class ProgressWatch : public ui::Prompter {
public:
    ProgressWatch(ScriptedPrompter& inner, const QLabel* panel) : m_inner(inner), m_panel(panel) {}
    int ask(const ui::MessageBoxRequest& request) override
    {
        panelTexts << m_panel->text();
        return m_inner.ask(request);
    }
    QStringList panelTexts;

private:
    ScriptedPrompter& m_inner;
    const QLabel* m_panel;
};

// Purged from the inbox, unpurged from the history after its question; which bits stay is the
// purge batch's own test.
TEST_F(Purge, PurgeAndUnpurgeToggleOnlyThePurgeBit)
{
    const qint32 cmId = seed({.who = "CARL", .pid = carl, .subject = "Read one", .purged = "3"},
                             {{front, 0, "", "-1"}});
    tzSndMsgFrm& w = openFull();
    for (int value : {259, 3}) {
        ASSERT_TRUE(show(w, cmId));
        // Nothing selected: the current row is the one.
        listView(w)->selectionModel()->clearSelection();
        if (w.isHistoryView())
            prompter->expect("Are you sure to UnPurge the selected items?", "UnPurge", 6);
        pressButton(w, "TB", "Purge");
        EXPECT_EQ(header(cmId, "CMPurFla").toInt(), value);
        EXPECT_EQ(rowOf(w, cmId), -1); // it left the view it was purged or unpurged from
        pressButton(w, "TB", "TDLstHis");
    }
    EXPECT_EQ(prompter->shown.last().buttons, 4);
    EXPECT_EQ(prompter->shown.last().defaultButton, 256);
}

TEST_F(Purge, OnlyReadRowsArePurgedAndTheUnreadAreToldOncePerRun)
{
    const qint32 read1 = seed({"CARL", carl, "read 1", "b"}, {{front, 0, "", "-1"}});
    const qint32 unread1 = seed({"CARL", carl, "unread 1", "b"}, {{front}});
    const qint32 read2 = seed({"CARL", carl, "read 2", "b"}, {{front, 0, "", "-1"}});
    const qint32 unread2 = seed({"CARL", carl, "unread 2", "b"}, {{front, 0, "", "0"}});
    tzSndMsgFrm& w = openFull();
    ASSERT_EQ(model(w)->rowCount(), 4);

    // One unread row selected: the singular text, nothing changes.
    QItemSelectionModel* selection = listView(w)->selectionModel();
    selection->clearSelection();
    selection->select(model(w)->index(rowOf(w, unread1), 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    prompter->expect("The selected message is unread and cannot be purged.\r\n\r\nUnread messages "
                     "appear in bold.",
                     "Unread Messages", 1);
    pressButton(w, "TB", "Purge");
    EXPECT_TRUE(header(unread1, "CMPurFla").isNull());
    ASSERT_EQ(model(w)->rowCount(), 4);

    // All selected: the read ones go, the plural text comes once, at the second row.
    auto watch = std::make_shared<ProgressWatch>(*prompter, control<QLabel>(&w, "SB_Panel1"));
    ui::MessageBox::setPrompter(watch);
    prompter->shown.clear();
    prompter->expect("One or more of the selected messages have not been read. Only messages that "
                     "have been read "
                     "will be purged.\r\n\r\nUnread messages appear in bold.",
                     "Unread Messages", 1);
    pressButton(w, "TB", "ChkAll");
    pressButton(w, "TB", "Purge");
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown[0].buttons, 0);
    EXPECT_EQ(watch->panelTexts, QStringList{"0 of 4"});
    EXPECT_EQ(header(read1, "CMPurFla").toInt(), 256);
    EXPECT_EQ(header(read2, "CMPurFla").toInt(), 256);
    EXPECT_TRUE(header(unread1, "CMPurFla").isNull());
    EXPECT_TRUE(header(unread2, "CMPurFla").isNull());
    EXPECT_EQ(model(w)->rowCount(), 2);
}

TEST_F(Purge, SentItemsAreAlwaysPurgedAndACancelledUnpurgeChangesNothing)
{
    const qint32 a = seed({"FRONT", front, "sent a", "b"}, {{ben}});
    const qint32 b = seed({"FRONT", front, "sent b", "b"}, {{carl, 0, "", "0"}});
    const qint32 old = seed({.who = "CARL", .pid = carl, .subject = "old", .purged = "256"},
                            {{front, 0, "", "-1"}});
    tzSndMsgFrm& w = openFull();
    pressButton(w, "TB", "MsgSItem");
    ASSERT_EQ(model(w)->rowCount(), 2);
    pressButton(w, "TB", "ChkAll");
    pressButton(w, "TB", "Purge");
    EXPECT_EQ(header(a, "CMPurFla").toInt(), 256);
    EXPECT_EQ(header(b, "CMPurFla").toInt(), 256);
    EXPECT_EQ(model(w)->rowCount(), 0);
    EXPECT_TRUE(prompter->shown.isEmpty());

    pressButton(w, "TB", "MsgIn");
    pressButton(w, "TB", "TDLstHis");
    ASSERT_TRUE(show(w, old));
    QSignalSpy refreshed(&w, &tzSndMsgFrm::listLoaded);
    prompter->expect("Are you sure to UnPurge the selected items?", "UnPurge", 7);
    pressButton(w, "TB", "Purge");
    EXPECT_EQ(header(old, "CMPurFla").toInt(), 256);
    EXPECT_EQ(refreshed.count(), 0);
}

TEST_F(Purge, ARowTheStoreRefusesIsSkipped)
{
    QList<qint32> cm;
    for (const char* subject : {"a", "locked", "c"})
        cm << seed({"CARL", carl, subject, "b"}, {{front, 0, "", "-1"}});
    QStringList ddl;
    if (office.usingPostgres())
        ddl << QString("CREATE FUNCTION no_purge() RETURNS trigger AS $$ BEGIN IF OLD.cmID = %1 "
                       "THEN RAISE EXCEPTION 'locked'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql")
                   .arg(cm[1])
            << "CREATE TRIGGER no_purge BEFORE UPDATE ON CMTable FOR EACH ROW EXECUTE FUNCTION "
               "no_purge()";
    else
        ddl << QString("CREATE TRIGGER no_purge BEFORE UPDATE ON CMTable WHEN OLD.cmID = %1 "
                       "BEGIN SELECT RAISE(ABORT, 'locked'); END")
                   .arg(cm[1]);
    for (const QString& statement : ddl) {
        QString error;
        ASSERT_TRUE(office.db()->exec(statement, &error)) << error.toStdString();
    }
    office.db()->forgetSchema();
    tzSndMsgFrm& w = openFull();
    pressButton(w, "TB", "ChkAll");
    pressButton(w, "TB", "Purge");
    // The updates before and after the refused one are kept, on either database.
    EXPECT_EQ(header(cm[0], "CMPurFla").toInt(), 256);
    EXPECT_TRUE(header(cm[1], "CMPurFla").isNull());
    EXPECT_EQ(header(cm[2], "CMPurFla").toInt(), 256);
    EXPECT_EQ(model(w)->rowCount(), 1);
}

} // namespace
} // namespace tzsndmsg::testing
