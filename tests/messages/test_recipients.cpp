#include "test_form_fixture.h"

#include "tzsndmsg/tzGlobal.h"

#include <QTextCursor>

#include <stdexcept>

namespace tzsndmsg::testing {
namespace {

using RecipientsTest = ComposeTest;

TEST_F(RecipientsTest, PickerResults)
{
    office.writeMachinesIni("ws2\r\nfront-pc\r\n");
    tzSndMsgFrm& w = open();
    const QString all = QString::number(front) + QLatin1Char(',') + QString::number(nurse) +
                        QLatin1Char(',') + QString::number(doctor) + QLatin1Char(',');
    struct Case {
        QStringList picks;
        QString pids;
        QString machines;
    } cases[] = {
        // The whole office with single persons: everyone once.
        {{QStringLiteral("Entire Office"), QStringLiteral("Nurse, Ned")}, all, {}},
        // A department: every person shown whose department matches, whatever its case.
        {{QStringLiteral(" Clinical Department")},
         QString::number(nurse) + QLatin1Char(',') + QString::number(doctor) + QLatin1Char(','),
         {}},
        // A person chosen also through the department is listed once.
        {{QStringLiteral("Nurse, Ned"), QStringLiteral(" Clinical Department")},
         QString::number(nurse) + QLatin1Char(',') + QString::number(doctor) + QLatin1Char(','),
         {}},
        {{QStringLiteral("-Computer WS2"), QStringLiteral("Front, Fay")},
         QString::number(front) + QLatin1Char(','), QStringLiteral("WS2\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picks.join(QLatin1Char('|')).toStdString());
        ModalScript script;
        script.then(pickEntries(c.picks));
        w.CmdTo_Click(1);
        EXPECT_EQ(w.m_toPids[1], c.pids);
        EXPECT_EQ(w.m_toMachines[1], c.machines);
        EXPECT_EQ(w.m_changeMarks[0], QStringLiteral("C"));
    }
    EXPECT_EQ(w.txtTo[1]->text(), QStringLiteral("FF, WS2"));
}

TEST_F(RecipientsTest, ReopeningShowsTheChoicesAndCancelKeepsThem)
{
    office.writeMachinesIni("ws2\r\n");
    tzSndMsgFrm& w = open();
    {
        ModalScript script;
        script.then(pickEntries({QStringLiteral("Nurse, Ned"), QStringLiteral("-Computer WS2")}));
        pressOn(w.txtTo[0]); // the box opens the picker like To...
    }
    EXPECT_EQ(w.txtTo[0]->text(), QStringLiteral("NN, WS2"));
    w.Set_ChangeFalg(false, 0);

    QStringList preselected;
    ModalScript script;
    script.then(pickEntries({}, false, &preselected));
    w.CmdTo[0]->click();
    preselected.sort();
    EXPECT_EQ(preselected, QStringList({QStringLiteral("-Computer WS2"), QStringLiteral("Nurse, Ned--(NN)")}));
    EXPECT_EQ(w.m_toPids[0], QString::number(nurse) + QLatin1Char(','));
    EXPECT_EQ(w.m_toMachines[0], QStringLiteral("WS2\n"));
    EXPECT_EQ(w.txtTo[0]->text(), QStringLiteral("NN, WS2"));
    EXPECT_FALSE(w.m_changed);
}

TEST_F(RecipientsTest, ListsByCodeAndTheDisplay)
{
    const qint32 noInitials = office.addPerson(QStringLiteral("Temp"), QStringLiteral("Tim"), QString());
    tzSndMsgFrm& w = open();
    EXPECT_THROW(w.ToListPid(2, QStringLiteral("1,")), std::out_of_range);
    EXPECT_THROW(w.toListMachine(-1, QStringLiteral("WS1\n")), std::out_of_range);

    w.toListMachine(0, QStringLiteral("WS1\nWS9"));
    w.ToListPid(0, QString::number(noInitials) + QLatin1Char(',') + QString::number(nurse));
    // The person without initials stays listed but is not shown.
    EXPECT_EQ(w.txtTo[0]->text(), QStringLiteral("NN, WS1, WS9"));
    EXPECT_EQ(w.m_toPids[0], QString::number(noInitials) + QLatin1Char(',') + QString::number(nurse));
    EXPECT_FALSE(w.m_changed); // lists set by code do not mark the message
}

TEST_F(RecipientsTest, CannedTextsGoInAtTheCursor)
{
    QStringList asked;
    office.services()->setCannedTextHandler(
        [&asked](QObject*, const QString& caption, const QString& store) {
            asked << caption + QLatin1Char('|') + store;
            return caption.contains(QStringLiteral("Office")) ? QString() : QStringLiteral("kind ");
        });
    tzSndMsgFrm& w = open();
    w.txtMsg->setPlainText(QStringLiteral("Be patient."));
    QTextCursor cursor = w.txtMsg->textCursor();
    cursor.setPosition(3);
    w.txtMsg->setTextCursor(cursor);
    w.CmdTo[2]->click();
    EXPECT_EQ(w.txtMsg->toPlainText(), QStringLiteral("Be kind patient."));
    EXPECT_EQ(w.txtMsg->textCursor().position(), w.txtMsg->toPlainText().size());
    w.CmdTo[3]->click(); // nothing chosen: nothing changes
    EXPECT_EQ(w.txtMsg->toPlainText(), QStringLiteral("Be kind patient."));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0], QStringLiteral("Select Personal Messages|MSGDB") + QString::number(front, 36).toUpper());
    EXPECT_EQ(asked[1], QStringLiteral("Select Office Messages|MSGDB-OFFI"));
    office.services()->setCannedTextHandler(nullptr);
}

} // namespace
} // namespace tzsndmsg::testing
