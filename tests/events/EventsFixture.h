#pragma once

#include "events/EMS_EventsFrm.h"
#include "ui/ToolbarBuilder.h"

#include "component/SharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>

namespace tzsndmsg::testing {

// A fresh office with two employees; "FRONT" (Ann Adams, Front Desk) is the current user.
class EventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedState::current() = SharedState{};
        auto& st = SharedState::current();
        st.GIC = office.services();
        ann = office.addEmployee(QStringLiteral("Adams"), QStringLiteral("Ann"),
                                 QStringLiteral("AA"), QStringLiteral("FRONT"),
                                 QStringLiteral("front desk"));
        bob = office.addEmployee(QStringLiteral("Baker"), QStringLiteral("Bob"),
                                 QStringLiteral("BB"), QStringLiteral("BOB"),
                                 QStringLiteral("clinic"));
        cat = office.addEmployee(QStringLiteral("Cole"), QStringLiteral("Cat"),
                                 QStringLiteral("CC"), QStringLiteral("CAT"),
                                 QStringLiteral("clinic"));
        st.CurrentEmployeeID = ann;
    }
    void TearDown() override
    {
        if (window && window->isVisible())
            window->hide();
        window.reset();
        expectNoVisibleWindows();
        SharedState::current() = SharedState{};
    }

    void grantSupervisor(const QString& login = QStringLiteral("FRONT"))
    {
        office.insert(QStringLiteral("PWATable"), QStringLiteral("PWAID"),
                      {QStringLiteral("PWAUseNam"), QStringLiteral("PWARigNam"),
                       QStringLiteral("PWAWriFla"), QStringLiteral("PWAProNam")},
                      {login, QStringLiteral("Tim_Sup_Rig"), -1, QStringLiteral("tzSndMsg")});
    }

    // An event as the window writes it; returns cmID (evId receives the detail key).
    qint64 addEvent(const QString& title, qint32 owner, const QString& date,
                    const QString& from = QStringLiteral("9:00:00 AM"),
                    const QString& to = QStringLiteral("10:00:00 AM"),
                    const QStringList& moreNames = {}, const QStringList& moreTexts = {},
                    qint64* evId = nullptr)
    {
        auto gic = office.services();
        qint64 cm = 0;
        EXPECT_TRUE(gic->writeRecord(
            9, QStringLiteral("cmTable"), QStringLiteral("cmID"), cm,
            {"cmTyp", "cmTraLinID", "cmTim", "cmDat", "cmWho", "cmPid", "cmCat", "cmSubCat",
             "cmWhoMod", "cmDoc", "CMSubjec"},
            {"512", "0", "8:00:00 AM", date, "FRONT", "0", "Events", "EMS", "FRONT",
             title + QStringLiteral(" notes"), title}));
        qint64 ev = 0;
        QStringList names{"Evpid", "EvLinID", "EvTyp", "EvBroStaDatFla", "EvBroStaDat",
                          "EvBroStaTim", "evBroDat", "EvBroFla", "evBroReaFla"};
        QStringList texts{QString::number(owner), QString::number(cm), "1", "-1", date, from,
                          to, "-1", "0"};
        for (int i = 0; i < moreNames.size(); ++i) {
            const int at = names.indexOf(moreNames[i], 0);
            if (at >= 0)
                texts[at] = moreTexts[i];
            else {
                names << moreNames[i];
                texts << moreTexts[i];
            }
        }
        EXPECT_TRUE(gic->writeRecord(9, QStringLiteral("evTable"), QStringLiteral("evID"), ev,
                                     names, texts));
        if (evId)
            *evId = ev;
        return cm;
    }

    void addAttendee(qint64 cm, qint32 pid, int typ, const QString& donDis = QStringLiteral("-1"))
    {
        qint64 key = 0;
        EXPECT_TRUE(office.services()->writeRecord(
            9, QStringLiteral("BroChkTable"), QStringLiteral("BroChkID"), key,
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
    QAction* button(const QString& key)
    {
        QAction* a = window->toolbarBuilder() ? window->toolbarBuilder()->action(key) : nullptr;
        if (!a)
            ADD_FAILURE() << "no toolbar button " << key.toStdString();
        return a;
    }

    Office office;
    std::unique_ptr<EMS_EventsFrm> window;
    qint32 ann = 0, bob = 0, cat = 0;
};

} // namespace tzsndmsg::testing
