// Opening the message window with the host's subject and body.
#include "fixture.h"
#include "messages/ShowMessageWindow.h"

using namespace tzsndmsg;
using namespace tzsndmsg::testing;

namespace {

using ShowWindow = MessagesTest;

TEST_F(ShowWindow, OpensModallyWithSubjectAndBodyAndReleasesTheWindow)
{
    atWorkstation(office.addEmployee("Front", "Fran", "FF", "FRONT", "Front Desk"));
    for (bool noShow : {false, true}) {
        SCOPED_TRACE(noShow);
        SharedState::current().LastSavedMessageID = 99;
        ModalScript modal;
        if (!noShow)
            modal.then([](QDialog& dialog) {
                auto* w = static_cast<tzSndMsgFrm*>(&dialog);
                EXPECT_EQ(control<QLineEdit>(w, "txtSubject")->text(), "Lab order 12");
                EXPECT_EQ(control<QPlainTextEdit>(w, "txtMsg")->toPlainText(), "Crown is back");
                EXPECT_FALSE(w->isFullWindow());
                EXPECT_TRUE(control<QComboBox>(w, "CmbSaveTo")->isHidden()); // no patient in hand
                w->Unload();
                return int(QDialog::Rejected);
            });
        std::unique_ptr<tzSndMsgFrm> shown;
        bool opened = false;
        EXPECT_EQ(ShowMessageWindow(shown, noShow, "Lab order 12", "Crown is back", &opened), 0);
        EXPECT_TRUE(opened);
        EXPECT_EQ(modal.shown, noShow ? 0 : 1);
        EXPECT_FALSE(shown); // released
        if (!noShow) {
            EXPECT_EQ(SharedState::current().LastSavedMessageID, 0);
        }
    }
}

} // namespace
