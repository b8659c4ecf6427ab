// Purging and unpurging messages from the views of the real window.
#include "test_confirm_fixture.h"

#include <QItemSelectionModel>
#include <QSignalSpy>

namespace tzsndmsg::testing::confirm {
namespace {

using Purge = ConfirmFixture;

const QString kPlural = "One or more of the selected messages have not been read. Only messages that "
                        "have been read will be purged.\r\n\r\nUnread messages appear in bold.";
const QString kSingular = "The selected message is unread and cannot be purged.\r\n\r\n"
                          "Unread messages appear in bold.";

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

void selectRows(tzSndMsgFrm& w, const QList<int>& rows)
{
    QItemSelectionModel* selection = w.TDBG->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(w.TDBG->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

TEST_F(Purge, PurgeAndUnpurgeToggleOnlyThePurgeBit)
{
    struct Case {
        QString stored;
        bool inHistory;
        int first, second;
    } cases[] = {{"", false, 256, 0}, {"3", false, 259, 3}, {"257", true, 1, 257}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        Seed m{"CARL", carl, "Read one", "body"};
        m.purged = c.stored;
        const qint32 cmId = seed(m, {{front, QString(), "-1"}});
        auto w = openInbox();
        for (int value : {c.first, c.second}) {
            const bool history = w->isHistoryView();
            if (history != (value == c.first ? c.inHistory : !c.inHistory))
                w->TB_ButtonClick("TDLstHis");
            ASSERT_TRUE(show(*w, cmId));
            // Nothing selected: the current row is the one.
            w->TDBG->selectionModel()->clearSelection();
            if (w->isHistoryView())
                prompter->expect("Are you sure to UnPurge the selected items?", "UnPurge", 6);
            w->TB_ButtonClick("Purge");
            EXPECT_EQ(header(cmId, "CMPurFla").toInt(), value);
            EXPECT_EQ(rowOf(*w, cmId), -1); // it left the view it was purged or unpurged from
        }
        const auto& question = prompter->shown.last();
        EXPECT_EQ(question.buttons, 4);
        EXPECT_EQ(question.defaultButton, 256);
        w->Unload();
    }
}

TEST_F(Purge, MixedSelectionPurgesTheReadRowsAndWarnsOnce)
{
    const qint32 read1 = seed({"CARL", carl, "read 1", "b"}, {{front, QString(), "-1"}});
    const qint32 unread1 = seed({"CARL", carl, "unread 1", "b"}, {{front}});
    const qint32 read2 = seed({"CARL", carl, "read 2", "b"}, {{front, QString(), "-1"}});
    const qint32 unread2 = seed({"CARL", carl, "unread 2", "b"}, {{front, QString(), "0"}});
    auto w = openInbox();
    ASSERT_EQ(w->TDBG->model()->rowCount(), 4);
    auto watch = std::make_shared<ProgressWatch>(*prompter, w->SB_Panel1);
    ui::MessageBox::setPrompter(watch);
    prompter->expect(QString(), "Unread Messages", 1);
    w->TB_ButtonClick("ChkAll");
    w->TB_ButtonClick("Purge");

    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown[0].text, kPlural);
    EXPECT_EQ(prompter->shown[0].icon, 64);
    EXPECT_EQ(prompter->shown[0].buttons, 0);
    EXPECT_EQ(watch->panelTexts, QStringList{"0 of 4"}); // told at the second row
    EXPECT_EQ(header(read1, "CMPurFla").toInt(), 256);
    EXPECT_EQ(header(read2, "CMPurFla").toInt(), 256);
    EXPECT_TRUE(header(unread1, "CMPurFla").isNull());
    EXPECT_TRUE(header(unread2, "CMPurFla").isNull());
    EXPECT_EQ(w->TDBG->model()->rowCount(), 2);
    w->Unload();
}

TEST_F(Purge, ASingleUnreadRowGetsTheSingularText)
{
    seed({"CARL", carl, "read", "b"}, {{front, QString(), "-1"}});
    const qint32 unread = seed({"CARL", carl, "unread", "b"}, {{front}});
    auto w = openInbox();
    selectRows(*w, {rowOf(*w, unread)});
    prompter->expect(kSingular, "Unread Messages", 1);
    w->TB_ButtonClick("Purge");
    EXPECT_TRUE(header(unread, "CMPurFla").isNull());
    EXPECT_GE(rowOf(*w, unread), 0);
    w->Unload();
}

TEST_F(Purge, SentItemsAreAlwaysPurged)
{
    const qint32 a = seed({"FRONT", front, "sent a", "b"}, {{ben}});
    const qint32 b = seed({"FRONT", front, "sent b", "b"}, {{carl, QString(), "0"}});
    auto w = openInbox();
    w->TB_ButtonClick("MsgSItem");
    ASSERT_EQ(w->TDBG->model()->rowCount(), 2);
    w->TB_ButtonClick("ChkAll");
    w->TB_ButtonClick("Purge");
    EXPECT_EQ(header(a, "CMPurFla").toInt(), 256);
    EXPECT_EQ(header(b, "CMPurFla").toInt(), 256);
    EXPECT_EQ(w->TDBG->model()->rowCount(), 0);
    EXPECT_TRUE(prompter->shown.isEmpty());
    w->Unload();
}

TEST_F(Purge, CancelledUnpurgeChangesNothingAndDoesNotRefresh)
{
    Seed m{"CARL", carl, "old", "b"};
    m.purged = "256";
    const qint32 cmId = seed(m, {{front, QString(), "-1"}});
    auto w = openInbox();
    w->TB_ButtonClick("TDLstHis");
    ASSERT_TRUE(show(*w, cmId));
    QSignalSpy refreshed(w.get(), &tzSndMsgFrm::listLoaded);
    prompter->expect("Are you sure to UnPurge the selected items?", "UnPurge", 7);
    w->TB_ButtonClick("Purge");
    EXPECT_EQ(header(cmId, "CMPurFla").toInt(), 256);
    EXPECT_EQ(refreshed.count(), 0);
    w->Unload();
}

TEST_F(Purge, ARowTheStoreRefusesIsSkipped)
{
    const qint32 a = seed({"CARL", carl, "a", "b"}, {{front, QString(), "-1"}});
    const qint32 locked = seed({"CARL", carl, "locked", "b"}, {{front, QString(), "-1"}});
    const qint32 c = seed({"CARL", carl, "c", "b"}, {{front, QString(), "-1"}});
    QStringList ddl;
    if (office.usingPostgres())
        ddl << QStringLiteral("CREATE FUNCTION no_purge() RETURNS trigger AS $$ BEGIN IF OLD.cmID = %1 "
                              "THEN RAISE EXCEPTION 'locked'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql")
                   .arg(locked)
            << "CREATE TRIGGER no_purge BEFORE UPDATE ON CMTable FOR EACH ROW EXECUTE FUNCTION no_purge()";
    else
        ddl << QStringLiteral("CREATE TRIGGER no_purge BEFORE UPDATE ON CMTable WHEN OLD.cmID = %1 "
                              "BEGIN SELECT RAISE(ABORT, 'locked'); END")
                   .arg(locked);
    for (const QString& statement : ddl) {
        QString error;
        ASSERT_TRUE(office.db()->exec(statement, &error)) << error.toStdString();
    }
    office.db()->forgetSchema();
    auto w = openInbox();
    w->TB_ButtonClick("ChkAll");
    w->TB_ButtonClick("Purge");
    EXPECT_EQ(header(a, "CMPurFla").toInt(), 256);
    EXPECT_TRUE(header(locked, "CMPurFla").isNull());
    EXPECT_EQ(header(c, "CMPurFla").toInt(), 256);
    EXPECT_EQ(w->TDBG->model()->rowCount(), 1);
    w->Unload();
}

} // namespace
} // namespace tzsndmsg::testing::confirm
