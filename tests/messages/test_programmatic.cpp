// The two sends on the host application's behalf: SendMessage (the window, driven as a person
// would) and AnnouncementSend (no window at all).
#include "fixture.h"

#include "tzsndmsg/tzSndMsgCls.h"

namespace tzsndmsg::testing {
namespace {

using Programmatic = ConfirmTest;

// Addresses the message shown to the person and presses the small toolbar's send button.
ModalScript::Handler sendTo(qint32 person, QString* subject = nullptr, QString* body = nullptr)
{
    return [=](QDialog& dialog) {
        auto& w = static_cast<tzSndMsgFrm&>(dialog);
        if (subject)
            *subject = w.txtSubject->text();
        if (body)
            *body = w.txtMsg->toPlainText();
        w.ToListPid(0, ids({person}));
        w.TB_Small_ButtonClick("MsgSend");
        return dialog.result();
    };
}

TEST_F(Programmatic, SendMessageReturnsTheIdOnlyForALabOrder)
{
    struct Case {
        const char* name;
        LinkIDTypes type;
        bool labOrder;
        int storedType;
    } cases[] = {{"lab order", LabLinkOrder, true, 4}, {"standard", StandardMessage, false, 256}};
    // The lab order first: the standard send after it must not return the earlier id.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tzSndMsgCls component;
        component.setGIC(office.services());
        QString subject, body;
        ModalScript modals;
        modals.then(sendTo(ben, &subject, &body));
        // A handed-over services object: the login and location arguments are not used.
        const qint32 result = component.SendMessage("Results", "Potassium is high", c.type, 812, "NOBODY", 3);
        EXPECT_EQ(subject, "Results");
        EXPECT_EQ(body, "Potassium is high");
        const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
        ASSERT_NE(cmId, 0);
        EXPECT_EQ(result, c.labOrder ? cmId : 0);
        EXPECT_EQ(header(cmId, "cmWho").toString(), "FRONT");
        EXPECT_EQ(header(cmId, "cmTyp").toInt(), c.storedType);
        if (c.labOrder) {
            EXPECT_EQ(header(cmId, "cmTraLinID").toInt(), 812);
        }
        EXPECT_EQ(rowsOf(cmId), (Rows{{ben, 0, ""}}));
        EXPECT_EQ(office.count("LabOrderLinkTable", "LOMsgID=?", {cmId}), c.labOrder ? 1 : 0);
        EXPECT_EQ(component.ReplyFlag(), mfRegular);
        EXPECT_EQ(component.ReplyBCID(), 0);
        EXPECT_EQ(SharedState::current().GIC, office.services());
    }
}

TEST_F(Programmatic, SendMessageWithoutServicesMakesAndDropsItsOwn)
{
    qputenv("TZSNDMSG_DB_URL", office.databaseUrl().toUtf8());
    qputenv("TZSNDMSG_DATA", office.dataFolder().toUtf8());
    qputenv("TZSNDMSG_HOME", office.tempPath().toUtf8());
    auto& st = SharedState::current();
    tzSndMsgCls component;
    st.GIC.reset();
    st.CurrentEmployeeID = front;
    ModalScript modals;
    modals.then(sendTo(carl));
    const qint32 result = component.SendMessage("Supplies", "Gloves are low", StandardMessage, 0, "BEN", 1);
    for (const char* name : {"TZSNDMSG_DB_URL", "TZSNDMSG_DATA", "TZSNDMSG_HOME"})
        qunsetenv(name);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(st.GIC);
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(cmId, 0);
    EXPECT_EQ(header(cmId, "cmWho").toString(), "BEN");
    EXPECT_EQ(header(cmId, "CMSubjec").toString(), "Supplies");
    EXPECT_EQ(rowsOf(cmId), (Rows{{carl, 0, ""}}));
}

TEST_F(Programmatic, SendMessageWithoutServicesOrOfficeTellsTheHostAndTheUser)
{
    const QString nowhere = office.tempPath() + "/no-office-here";
    qputenv("TZSNDMSG_HOME", nowhere.toUtf8());
    for (const char* name : {"TZSNDMSG_DB_URL", "TZSNDMSG_DATA"})
        qunsetenv(name);
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg && text.contains("tzsndmsg"))
                warnings << text;
        });
    auto& st = SharedState::current();
    tzSndMsgCls component;
    st.GIC.reset();
    ModalScript none; // no message window opens
    prompter->expect("The message window cannot open: this workstation has no office set up for messages.",
                     "Send Message", 1);
    const qint32 result = component.SendMessage("Supplies", "Gloves are low", StandardMessage, 0, "BEN", 1);
    qInstallMessageHandler(previous);
    qunsetenv("TZSNDMSG_HOME");

    EXPECT_EQ(result, 0);
    EXPECT_FALSE(st.GIC);
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown[0].icon, 48);
    // What is missing, in the box and in the host's log.
    EXPECT_TRUE(prompter->shown[0].text.contains("no-office-here")) << prompter->shown[0].text.toStdString();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("no services object")) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].contains("no-office-here")) << warnings[0].toStdString();
    EXPECT_EQ(office.count("CMTable"), 0);
}

TEST_F(Programmatic, AnAnnouncementWritesOneRowPerPersonAndComputer)
{
    ModalScript modals; // nothing is shown
    tzSndMsgCls component;
    component.setGIC(office.services());
    const QString b = QString::number(ben), c = QString::number(carl);
    QString text = "Fire drill at 3 pm", to = b + "," + c + "," + b, machines = "WS2\nws2\nWS3",
            category = "Announce", sub = "Safety";
    component.AnnouncementSend(text, to, machines, category, sub);
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    EXPECT_EQ(rowsOf(cmId), (Rows{{ben, 0, ""}, {carl, 0, ""}, {0, 0, "WS2"}, {0, 0, "WS3"}}));
    EXPECT_EQ(office.count("BroChkTable", "BroChkLinID=?", {cmId}), 4);
    EXPECT_EQ(to, b + "," + c + "," + b) << "the caller's text is left as it was";

    // Ben's inbox lists it once.
    atWorkstation(ben, office.workstation("WS9", "BEN"));
    tzSndMsgFrm& w = openFull("MsgHisAll");
    EXPECT_EQ(subjects(w).size(), 1);
    EXPECT_TRUE(bold(w, cmId));
    w.Unload();
}

TEST_F(Programmatic, AnnouncementsAreSentWithoutAWindow)
{
    ModalScript modals; // nothing is shown
    tzSndMsgCls component;
    component.setGIC(office.services());
    QString text = "Fire drill at 3 pm", to = QString::number(ben), machines, category = "Announce", sub = "Safety";
    component.AnnouncementSend(text, to, machines, category, sub);
    ASSERT_EQ(office.count("CMTable"), 1);
    const qint32 cmId = office.scalar("select cmID from CMTable").toInt();
    expectColumns("select cmDoc, cmCat, cmSubCat, cmPid from CMTable", {},
                  {{"cmDoc", text}, {"cmCat", "Announce"}, {"cmSubCat", "Safety"}, {"cmPid", QString::number(front)}});
    EXPECT_EQ(rowsOf(cmId), (Rows{{ben, 0, ""}}));
    // The arguments are left as they were.
    EXPECT_EQ(to, QString::number(ben));
    EXPECT_TRUE(machines.isEmpty());
    EXPECT_TRUE(prompter->shown.isEmpty());

    // The supervisor announces as person 0.
    component.setGIC(office.workstation("WS1", "SUPERVISOR"));
    component.AnnouncementSend(text, to, machines, category, sub);
    const qint32 second = office.scalar("select max(cmID) from CMTable").toInt();
    EXPECT_EQ(header(second, "cmWho").toString(), "SUPERVISOR");
    EXPECT_EQ(header(second, "cmPid").toInt(), 0);

    // No login set up yet: the set-up box, and it is sent all the same.
    office.exec("delete from PWMTable");
    component.setGIC(office.services());
    prompter->expect("Please setup employee information and login name first.", QString(), 1);
    to = ids({carl}) + QString::number(ben);
    machines = "WS2\nWS3";
    component.AnnouncementSend(text, to, machines, category, sub);
    const qint32 third = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(third, second);
    EXPECT_EQ(rowsOf(third), (Rows{{carl, 0, ""}, {ben, 0, ""}, {0, 0, "WS2"}, {0, 0, "WS3"}}));
}

} // namespace
} // namespace tzsndmsg::testing
