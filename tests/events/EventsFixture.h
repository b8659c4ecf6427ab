#pragma once

#include "core/Recurrence.h"
#include "events/EMS_EventsFrm.h"
#include "state/SharedState.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"
#include "ui/ToolbarBuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <memory>

namespace tzsndmsg::testing {

using namespace Qt::StringLiterals;

// A recurring rule for the expansion and export tests.
inline core::RecurrenceRule rule(QDate start, int unit, int every = 1,
                                 int times = core::NumOfTimUnlimited, QDate until = {})
{
    core::RecurrenceRule r;
    r.start = start;
    r.recurring = true;
    r.unit = unit;
    r.every = every;
    r.numberOfTimes = times;
    r.until = until;
    return r;
}

// A fresh office with two employees; "FRONT" (Ann Adams, Front Desk) is the current user.
class EventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& st = SharedState::current();
        st.GIC = office.services();
        ann = office.addEmployee(u"Adams"_s, u"Ann"_s, u"AA"_s, u"FRONT"_s, u"front desk"_s);
        bob = office.addEmployee(u"Baker"_s, u"Bob"_s, u"BB"_s, u"BOB"_s, u"clinic"_s);
        cat = office.addEmployee(u"Cole"_s, u"Cat"_s, u"CC"_s, u"CAT"_s, u"clinic"_s);
        st.CurrentEmployeeID = ann;
    }
    void TearDown() override
    {
        if (window && window->isVisible())
            window->hide();
        window.reset();
        expectNoVisibleWindows();
    }

    void grantSupervisor(const QString& login = u"FRONT"_s)
    {
        office.insert(u"PWATable"_s, u"PWAID"_s,
                      {"PWAUseNam", "PWARigNam", "PWAWriFla", "PWAProNam"},
                      {login, u"Tim_Sup_Rig"_s, -1, u"tzSndMsg"_s});
    }

    // An event as the window writes it; returns cmID. Extra columns replace or add to the usual
    // ones.
    qint64 addEvent(const QString& title, qint32 owner, const QString& date,
                    const QString& from = u"9:00:00 AM"_s, const QString& to = u"10:00:00 AM"_s,
                    const QStringList& moreNames = {}, const QStringList& moreTexts = {})
    {
        auto gic = office.services();
        qint64 cm = 0;
        EXPECT_TRUE(gic->writeRecord(9, u"cmTable"_s, u"cmID"_s, cm,
                                     {"cmTyp", "cmTraLinID", "cmTim", "cmDat", "cmWho", "cmPid",
                                      "cmCat", "cmSubCat", "cmWhoMod", "cmDoc", "CMSubjec"},
                                     {"512", "0", "8:00:00 AM", date, "FRONT", "0", "Events", "EMS",
                                      "FRONT", title + u" notes"_s, title}));
        QStringList names{"Evpid",       "EvLinID",  "EvTyp",    "EvBroStaDatFla", "EvBroStaDat",
                          "EvBroStaTim", "evBroDat", "EvBroFla", "evBroReaFla"};
        QStringList texts{
            QString::number(owner), QString::number(cm), "1", "-1", date, from, to, "-1", "0"};
        for (int i = 0; i < moreNames.size(); ++i) {
            const int at = names.indexOf(moreNames[i]);
            if (at >= 0) {
                texts[at] = moreTexts[i];
            } else {
                names << moreNames[i];
                texts << moreTexts[i];
            }
        }
        qint64 ev = 0;
        EXPECT_TRUE(gic->writeRecord(9, u"evTable"_s, u"evID"_s, ev, names, texts));
        return cm;
    }
    // The window to open on this event alone, as a host opens it by its detail key.
    void alone(qint64 cm)
    {
        SharedState::current().LinkID =
            office.scalar(u"select EVID from EVTable where EvLinID=?"_s, {cm}).toInt();
    }

    void addAttendee(qint64 cm, qint32 pid, int typ, const QString& donDis = u"-1"_s)
    {
        qint64 key = 0;
        EXPECT_TRUE(office.services()->writeRecord(
            9, u"BroChkTable"_s, u"BroChkID"_s, key,
            {"BroChkLinID", "BroChkPid", "BroChkTyp", "BroChkDonDis", "BroChkSno"},
            {QString::number(cm), QString::number(pid), QString::number(typ), donDis, "3"}));
    }

    EMS_EventsFrm& open()
    {
        window = std::make_unique<EMS_EventsFrm>();
        window->load();
        window->show();
        pump();
        return *window;
    }

    template <typename T> T* c(const QString& name) { return control<T>(window.get(), name); }
    QLineEdit* edit(const char* name) { return c<QLineEdit>(QString::fromLatin1(name)); }
    QComboBox* combo(const char* name) { return c<QComboBox>(QString::fromLatin1(name)); }
    QAction* button(const QString& key)
    {
        QAction* a = window->toolbarBuilder() ? window->toolbarBuilder()->action(key) : nullptr;
        if (!a)
            ADD_FAILURE() << "no toolbar button " << key.toStdString();
        return a;
    }
    // A toolbar command through its button.
    void press(const QString& key) { button(key)->trigger(); }

    Office office;
    tzsndmsg::testing::FreshSharedState state; // after the office: it goes first
    std::unique_ptr<EMS_EventsFrm> window;
    qint32 ann = 0, bob = 0, cat = 0;
};

} // namespace tzsndmsg::testing
