// What the host application calls: SendMessage (the window, driven as a person would),
// AnnouncementSend (no window at all) and ShowMessageWindow with its subject and body.
#include "fixture.h"
#include "messages/ShowMessageWindow.h"
#include "tzsndmsg/tzSndMsgCls.h"

namespace tzsndmsg::testing {
namespace {

using Programmatic = ConfirmTest;

// Addresses the message shown (filled in with the host's texts: the component's test) to the
// person the picker is given and presses the small toolbar's send button.
void sendTo(ModalScript& modals, const QString& person)
{
    modals.then([=](QDialog& dialog) {
        auto& w = static_cast<tzSndMsgFrm&>(dialog);
        control<QPushButton>(&w, "CmdTo_0")->click();
        pressButton(w, "TB_Small", "MsgSend");
        return dialog.result();
    });
    modals.then(pickEntries({person}));
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
        ModalScript modals;
        sendTo(modals, "Bennet, Ben");
        // A handed-over services object: the login and location arguments are not used.
        const qint32 result =
            component.SendMessage("Results", "Potassium is high", c.type, 812, "NOBODY", 3);
        const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
        ASSERT_NE(cmId, 0);
        EXPECT_EQ(result, c.labOrder ? cmId : 0);
        EXPECT_EQ(header(cmId, "cmWho").toString(), "FRONT");
        EXPECT_EQ(header(cmId, "cmTyp").toInt(), c.storedType);
        EXPECT_EQ(header(cmId, "cmTraLinID").toInt(), c.labOrder ? 812 : 0);
        EXPECT_EQ(rowsOf(cmId), (Rows{{ben, 0, ""}}));
        EXPECT_EQ(office.count("LabOrderLinkTable", "LOMsgID=?", {cmId}), c.labOrder ? 1 : 0);
        EXPECT_EQ(component.ReplyFlag(), mfRegular);
        EXPECT_EQ(component.ReplyBCID(), 0);
        EXPECT_EQ(SharedState::current().GIC, office.services());
    }
}

// Without a services object the component makes its own from what the environment names and
// drops it after; with no office there, the user and the host's log are told what is missing.
TEST_F(Programmatic, SendMessageWithoutServicesMakesItsOwnOrSaysWhatIsMissing)
{
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg && text.contains("tzsndmsg"))
                warnings << text;
        });
    const QString nowhere = office.tempPath() + "/no-office-here";
    auto& st = SharedState::current();
    tzSndMsgCls component;
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named);
        qputenv("TZSNDMSG_HOME", (named ? office.tempPath() : nowhere).toUtf8());
        for (const char* name : {"TZSNDMSG_DB_URL", "TZSNDMSG_DATA"})
            qunsetenv(name);
        if (named) {
            qputenv("TZSNDMSG_DB_URL", office.databaseUrl().toUtf8());
            qputenv("TZSNDMSG_DATA", office.dataFolder().toUtf8());
        }
        st.GIC.reset();
        st.CurrentEmployeeID = front;
        ModalScript modals; // no message window opens without an office
        if (named)
            sendTo(modals, "Carter, Carl");
        else
            prompter->expect("The message window cannot open: this workstation has no office set "
                             "up for messages.",
                             "Send Message", 1);
        EXPECT_EQ(component.SendMessage("Supplies", "Gloves are low", StandardMessage, 0, "BEN", 1),
                  0);
        EXPECT_FALSE(st.GIC);
        EXPECT_EQ(office.count("CMTable"), named ? 1 : 0);
    }
    qInstallMessageHandler(previous);
    for (const char* name : {"TZSNDMSG_DB_URL", "TZSNDMSG_DATA", "TZSNDMSG_HOME"})
        qunsetenv(name);

    // What is missing, in the box and in the host's log.
    ASSERT_EQ(prompter->shown.size(), 1);
    EXPECT_EQ(prompter->shown[0].icon, 48);
    EXPECT_TRUE(prompter->shown[0].text.contains("no-office-here"))
        << prompter->shown[0].text.toStdString();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("no services object")) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].contains("no-office-here")) << warnings[0].toStdString();
    // Sent under the login given, to the person chosen.
    const qint32 cmId = office.scalar("select max(cmID) from CMTable").toInt();
    EXPECT_EQ(header(cmId, "cmWho").toString(), "BEN");
    EXPECT_EQ(header(cmId, "CMSubjec").toString(), "Supplies");
    EXPECT_EQ(rowsOf(cmId), (Rows{{carl, 0, ""}}));
}

TEST_F(Programmatic, AnnouncementsAreSentWithoutAWindow)
{
    ModalScript modals; // nothing is shown
    tzSndMsgCls component;
    component.setGIC(office.services());
    const QString b = QString::number(ben), c = QString::number(carl);
    QString text = "Fire drill at 3 pm", to = b + "," + c + "," + b, machines = "WS2\nws2\nWS3",
            category = "Announce", sub = "Safety";
    component.AnnouncementSend(text, to, machines, category, sub);
    ASSERT_EQ(office.count("CMTable"), 1);
    const qint32 cmId = office.scalar("select cmID from CMTable").toInt();
    office.expectColumns("select cmDoc, cmCat, cmSubCat, cmPid from CMTable", {},
                         "cmDoc=" + text +
                             "|cmCat=Announce|cmSubCat=Safety|cmPid=" + QString::number(front));
    // One row per person and computer; the caller's texts are left as they were.
    EXPECT_EQ(rowsOf(cmId), (Rows{{ben, 0, ""}, {carl, 0, ""}, {0, 0, "WS2"}, {0, 0, "WS3"}}));
    EXPECT_EQ(to, b + "," + c + "," + b);
    EXPECT_EQ(machines, "WS2\nws2\nWS3");
    EXPECT_TRUE(prompter->shown.isEmpty());

    // The supervisor announces as person 0.
    component.setGIC(office.workstation("WS1", "SUPERVISOR"));
    component.AnnouncementSend(text, to, machines, category, sub);
    const qint32 second = office.scalar("select max(cmID) from CMTable").toInt();
    EXPECT_EQ(header(second, "cmWho").toString(), "SUPERVISOR");
    EXPECT_EQ(header(second, "cmPid").toInt(), 0);

    // No login set up yet: sent all the same, and no set-up box that nobody could answer.
    office.exec("delete from PWMTable");
    component.setGIC(office.services());
    to = ids({carl}) + QString::number(ben);
    machines = "WS2\nWS3";
    component.AnnouncementSend(text, to, machines, category, sub);
    const qint32 third = office.scalar("select max(cmID) from CMTable").toInt();
    ASSERT_NE(third, second);
    EXPECT_EQ(rowsOf(third), (Rows{{carl, 0, ""}, {ben, 0, ""}, {0, 0, "WS2"}, {0, 0, "WS3"}}));
}

// The office's own services on the same database, waiting only briefly for a lock.
std::shared_ptr<tzglob::tzGlobal> impatient(Office& office)
{
    tzglob::Config config = office.services()->config();
    config.databaseUrl +=
        (config.databaseUrl.contains('?') ? "&" : "?") + QString("busy_timeout=300");
    auto services = std::make_shared<tzglob::tzGlobal>(config);
    QString error;
    EXPECT_TRUE(services->open(&error)) << error.toStdString();
    return services;
}

// A send from code that cannot be stored throws SendError with the reason and stores nothing;
// no box and no dialog is shown (the fixture's prompter and ModalScript fail the test on any).
TEST_F(Programmatic, AnnouncementFailuresReachTheCallerWithoutABox)
{
    struct Case {
        const char* name;
        QString to;
        QString machines;
        QString reason;                               // part of what() expected
        std::function<std::function<void()>()> spoil; // breaks the store, returns the mend
        QString text = QStringLiteral("Fire drill at 3 pm");
    };
    const auto none = [] { return std::function<void()>([] {}); };
    std::shared_ptr<db::Database> holder; // another workstation's connection
    const Case cases[] = {
        {"no such person", ids({ben}) + "999", "", "no such person: 999", none},
        {"not a person id", "12x", "", "no such person: 12x", none},
        {"person 0", "0,", "", "no such person: 0", none},
        {"no addressee", "", "\n", "no addressee", none},
        {"no text", ids({ben}), "", "no document", none, " \r\n "},
        {"store held by another writer", ids({ben}), "", "the database is busy",
         [&] {
             holder = db::Database::open(office.databaseUrl());
             EXPECT_TRUE(holder && holder->transaction());
             holder->exec(office.usingPostgres() ? "LOCK TABLE CMTable IN EXCLUSIVE MODE"
                                                 : "UPDATE PWMTable SET PWMPID=PWMPID");
             return std::function<void()>([&] { holder.reset(); });
         }},
        {"read-only store", ids({ben}), "WS2", "read",
         [&] {
             auto db = SharedState::current().GIC->messageStoreConnection();
             db->exec(office.usingPostgres() ? "SET default_transaction_read_only = on"
                                             : "PRAGMA query_only = 1");
             return std::function<void()>([db] {
                 db->exec(db->backend() == db::Backend::Postgres
                              ? "SET default_transaction_read_only = off"
                              : "PRAGMA query_only = 0");
             });
         }},
        {"damaged store", ids({ben}), "", "brochktable",
         [&] {
             office.exec("ALTER TABLE BroChkTable RENAME TO BroChkGone");
             return std::function<void()>(
                 [&] { office.exec("ALTER TABLE BroChkGone RENAME TO BroChkTable"); });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModalScript modals;
        tzSndMsgCls component;
        component.setGIC(impatient(office));
        const int before = office.count("CMTable");
        const std::function<void()> mend = c.spoil();
        QString text = c.text, to = c.to, machines = c.machines, cat = "Message", sub = "EMS";
        try {
            component.AnnouncementSend(text, to, machines, cat, sub);
            ADD_FAILURE() << "sent";
        } catch (const SendError& e) {
            const QString what = QString::fromUtf8(e.what());
            EXPECT_TRUE(what.contains(c.reason, Qt::CaseInsensitive)) << what.toStdString();
            EXPECT_FALSE(what.contains('\n')) << what.toStdString();
        }
        mend();
        EXPECT_EQ(office.count("CMTable"), before);
        EXPECT_EQ(office.count("EVTable"), before);
        EXPECT_TRUE(prompter->shown.isEmpty());
        EXPECT_EQ(modals.shown, 0);
    }
    // The store mended, the same call goes through.
    tzSndMsgCls component;
    component.setGIC(office.services());
    QString text = "Fire drill at 3 pm", to = ids({ben}), machines, cat = "Message", sub = "EMS";
    component.AnnouncementSend(text, to, machines, cat, sub);
    EXPECT_EQ(office.count("CMTable"), 1);
}

// Every column of the rows a message wrote, keyed columns left out, the addressee rows in order.
QStringList writtenRows(Office& office, qint32 cmId)
{
    const QStringList keys{"cmid", "evid", "evlinid", "brochkid", "brochklinid"};
    QStringList out;
    auto add = [&](const QString& statement) {
        db::Recordset rs = office.query(statement, {cmId});
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            QStringList row;
            for (const QString& name : rs.fieldNames())
                if (!keys.contains(name.toLower()))
                    row << name.toLower() + "=" +
                               (rs.isNull(name) ? "<null>" : rs.value(name).toString());
            row.sort();
            out << row.join("|");
        }
    };
    add("select * from CMTable where cmID=?");
    add("select * from EVTable where EvLinID=?");
    add("select * from BroChkTable where BroChkLinID=? order by BroChkPID, BroChkToMac");
    return out;
}

// An announcement writes what the window writes for the same text, addressees and start.
TEST_F(Programmatic, AnAnnouncementWritesWhatTheWindowWrites)
{
    office.writeMachinesIni("ws2\r\n");
    struct Case {
        const char* name;
        QDateTime startsAt;
        qint32 patient = 0;
    } cases[] = {
        {"delivered now", {}},
        {"delivered from a later moment", QDateTime(QDate(2026, 12, 9), QTime(14, 30))},
        {"a patient in hand", {}, 77},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        atWorkstation(front);
        SharedState::current().PatientID = c.patient;
        const QString text = "Fire drill at 3 pm\nUse the back stairs";

        // The window, filled in and sent as a person does.
        tzSndMsgFrm& w = open();
        ASSERT_TRUE(showActive(&w));
        textBox(w)->setPlainText(text);
        pick(w, 0, {"Bennet, Ben", "Carter, Carl", "-Computer WS2"});
        if (c.startsAt.isValid()) {
            control<QCheckBox>(&w, "ChkBro_0")->setChecked(true);
            control<QCheckBox>(&w, "ChkFro_0")->setChecked(true);
            control<ui::DateCombo>(&w, "dCmbFro_0")
                ->setText(c.startsAt.date().toString("MM/dd/yyyy"));
            control<QComboBox>(&w, "cmbFroTim_0")
                ->setEditText(c.startsAt.time().toString("h:mm ap"));
        }
        pressButton(w, "TB_Small", "MsgSend");
        const qint32 byWindow = office.scalar("select max(cmID) from CMTable").toInt();
        ASSERT_NE(byWindow, 0);
        window.reset();

        // The announcement of the same.
        tzSndMsgCls component;
        component.setGIC(office.services());
        SharedState::current().PatientID = c.patient;
        SharedState::current().DefaultSaveToPID = false;
        QString body = text, to = ids({ben, carl}), machines = "ws2", cat = "Message", sub = "EMS";
        component.AnnouncementSend(body, to, machines, cat, sub, c.startsAt);
        const qint32 byCode = office.scalar("select max(cmID) from CMTable").toInt();
        ASSERT_NE(byCode, byWindow);

        EXPECT_EQ(writtenRows(office, byCode), writtenRows(office, byWindow));
        EXPECT_EQ(rowsOf(byCode), (Rows{{ben, 0, ""}, {carl, 0, ""}, {0, 0, "WS2"}}));
    }
}

// Opening the message window with the host's subject and body.
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
} // namespace tzsndmsg::testing
