// The To and Cc lists: the picker and the canned texts.
#include "fixture.h"

#include <QTextCursor>

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
        pressOn(control<QLineEdit>(&w, "txtTo_1")); // the box opens the picker like Cc...
    }
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_1")->text(), "NN, WS2");
    EXPECT_TRUE(w.hasUnsavedChanges());
    w.markSaved(); // as saved

    QStringList preselected;
    ModalScript script;
    script.then(pickEntries({}, false, &preselected));
    control<QPushButton>(&w, "CmdTo_1")->click();
    preselected.sort();
    EXPECT_EQ(preselected, QStringList({"-Computer WS2", "Nurse, Ned--(NN)"}));
    EXPECT_EQ(w.toPids(1), ids({nurse}));
    EXPECT_EQ(w.toMachines(1), "WS2\n");
    EXPECT_EQ(control<QLineEdit>(&w, "txtTo_1")->text(), "NN, WS2");
    EXPECT_TRUE(w.toPids(0).isEmpty());
    EXPECT_FALSE(w.hasUnsavedChanges());
}

TEST_F(RecipientsTest, ThePickerOpensInsideTheScreenWhereverTheWindowIs)
{
    tzSndMsgFrm& w = open();
    ASSERT_TRUE(showActive(&w));
    const QRect area = w.screen()->availableGeometry();
    // The window dragged to the lower right corner: below the box there is no room.
    w.move(area.right() - w.width() / 2, area.bottom() - w.height() / 3);
    pump();
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        QRect placed, shown;
        ModalScript script;
        script.then([&](QDialog& picker) {
            placed = QRect(picker.pos(), picker.size());
            picker.show();
            pump();
            shown = picker.frameGeometry();
            picker.hide();
            return int(QDialog::Rejected);
        });
        control<QPushButton>(&w, nth("CmdTo", size_t(index)))->click();
        EXPECT_TRUE(area.contains(placed))
            << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
        EXPECT_TRUE(area.contains(shown));
        EXPECT_GT(placed.height(), 200) << "not shrunk to nothing";
    }
}

TEST_F(RecipientsTest, CannedTextsGoInAtTheCursor)
{
    QStringList asked;
    office.services()->setCannedTextHandler(
        [&asked](QObject*, const QString& caption, const QString& store) {
            asked << caption + "|" + store;
            return caption.contains("Office") ? QString() : QString("kind ");
        });
    tzSndMsgFrm& w = open();
    textBox(w)->setPlainText("Be patient.");
    QTextCursor cursor = textBox(w)->textCursor();
    cursor.setPosition(3);
    textBox(w)->setTextCursor(cursor);
    control<QPushButton>(&w, "CmdTo_2")->click();
    EXPECT_EQ(textBox(w)->toPlainText(), "Be kind patient.");
    EXPECT_EQ(textBox(w)->textCursor().position(), textBox(w)->toPlainText().size());
    control<QPushButton>(&w, "CmdTo_3")->click(); // nothing chosen: nothing changes
    EXPECT_EQ(textBox(w)->toPlainText(), "Be kind patient.");
    EXPECT_EQ(asked,
              (QStringList{"Select Personal Messages|MSGDB" + QString::number(front, 36).toUpper(),
                           "Select Office Messages|MSGDB-OFFI"}));
    office.services()->setCannedTextHandler(nullptr);
}

} // namespace
} // namespace tzsndmsg::testing
