// The To and Cc lists: the picker, lists set by code, and the canned texts.
#include "fixture.h"

#include <QTextCursor>

#include <stdexcept>

namespace tzsndmsg::testing {
namespace {

using RecipientsTest = ComposeTest;

TEST_F(RecipientsTest, ReopeningShowsTheChoicesAndCancelKeepsThem)
{
    office.writeMachinesIni("ws2\r\n");
    tzSndMsgFrm& w = open();
    {
        ModalScript script;
        script.then(pickEntries({"Nurse, Ned", "-Computer WS2"}));
        pressOn(w.txtTo[1]); // the box opens the picker like Cc...
    }
    EXPECT_EQ(w.txtTo[1]->text(), "NN, WS2");
    EXPECT_EQ(w.m_changeMarks[0], "C");
    w.Set_ChangeFalg(false, 0);

    QStringList preselected;
    ModalScript script;
    script.then(pickEntries({}, false, &preselected));
    w.CmdTo[1]->click();
    preselected.sort();
    EXPECT_EQ(preselected, QStringList({"-Computer WS2", "Nurse, Ned--(NN)"}));
    EXPECT_EQ(w.m_toPids[1], ids({nurse}));
    EXPECT_EQ(w.m_toMachines[1], "WS2\n");
    EXPECT_EQ(w.txtTo[1]->text(), "NN, WS2");
    EXPECT_TRUE(w.m_toPids[0].isEmpty());
    EXPECT_FALSE(w.m_changed);
}

TEST_F(RecipientsTest, ListsByCodeAndTheDisplay)
{
    const qint32 noInitials = office.addPerson("Temp", "Tim", QString());
    tzSndMsgFrm& w = open();
    EXPECT_THROW(w.ToListPid(2, "1,"), std::out_of_range);
    EXPECT_THROW(w.toListMachine(-1, "WS1\n"), std::out_of_range);

    w.toListMachine(0, "WS1\nWS9");
    w.ToListPid(0, QString::number(noInitials) + "," + QString::number(nurse));
    // The person without initials stays listed but is not shown.
    EXPECT_EQ(w.txtTo[0]->text(), "NN, WS1, WS9");
    EXPECT_EQ(w.m_toPids[0], QString::number(noInitials) + "," + QString::number(nurse));
    EXPECT_FALSE(w.m_changed); // lists set by code do not mark the message
}

TEST_F(RecipientsTest, CannedTextsGoInAtTheCursor)
{
    QStringList asked;
    office.services()->setCannedTextHandler([&asked](QObject*, const QString& caption, const QString& store) {
        asked << caption + "|" + store;
        return caption.contains("Office") ? QString() : QString("kind ");
    });
    tzSndMsgFrm& w = open();
    w.txtMsg->setPlainText("Be patient.");
    QTextCursor cursor = w.txtMsg->textCursor();
    cursor.setPosition(3);
    w.txtMsg->setTextCursor(cursor);
    w.CmdTo[2]->click();
    EXPECT_EQ(w.txtMsg->toPlainText(), "Be kind patient.");
    EXPECT_EQ(w.txtMsg->textCursor().position(), w.txtMsg->toPlainText().size());
    w.CmdTo[3]->click(); // nothing chosen: nothing changes
    EXPECT_EQ(w.txtMsg->toPlainText(), "Be kind patient.");
    EXPECT_EQ(asked, (QStringList{"Select Personal Messages|MSGDB" + QString::number(front, 36).toUpper(),
                                  "Select Office Messages|MSGDB-OFFI"}));
    office.services()->setCannedTextHandler(nullptr);
}

} // namespace
} // namespace tzsndmsg::testing
