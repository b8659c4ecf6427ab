#pragma once

#include "holidays/Ems_HolidayFrm.h"
#include "holidays/HolidayStart.h"
#include "state/SharedState.h"
#include "support/FreshSharedState.h"
#include "support/GuiDriver.h"
#include "support/Office.h"
#include "support/ScriptedPrompter.h"

#include <QTableView>
#include <functional>
#include <gtest/gtest.h>

namespace tzsndmsg::testing {

using namespace Qt::StringLiterals;

inline const QString kFlag = u"icons\\FlagUsa.ico"_s;

// The window as the tray opens it, shown and active, driven while it is shown, then let go.
inline void withHolidayWindow(const std::function<void(Ems_HolidayFrm&)>& drive)
{
    ModalScript modal;
    modal.then([&](QDialog& dialog) {
        auto& w = static_cast<Ems_HolidayFrm&>(dialog);
        EXPECT_TRUE(showActive(&w));
        drive(w);
        w.hide();
        return int(QDialog::Rejected);
    });
    runHolidayWindow();
    releaseHolidayWindow();
}

// A fresh office whose services the holiday window uses, and holidays stored as it stores them.
class HolidayFixture : public ::testing::Test {
protected:
    void SetUp() override { SharedState::current().GIC = office.services(); }
    void TearDown() override { expectNoVisibleWindows(); }

    qint64 seed(const QString& name, int useDat, int obsOn, int weekday, int month, int sat = 0,
                int sun = 0, const QString& icon = kFlag)
    {
        return office.insert(
            u"HDOCTable"_s, u"hdocID"_s,
            {"hdocDes", "hdocInAct", "hdocUseDatFla", "hdocObsOn", "hdocObsWeeDay", "hdocObsMon",
             "hdocOnSat", "hdocOnSun", "hdocIcoFilNam", "hdocNotAppToParEmp", "hdocHolFla",
             "hdocOffColFla", "hdocPayFla"},
            {name, 1, useDat, obsOn, weekday, month, sat, sun, icon, 0, -1, -1, -1});
    }
    // The name on the list's current row, "" when none.
    static QString currentName(Ems_HolidayFrm& w)
    {
        auto* grid = control<QTableView>(&w, "TDBG");
        const QModelIndex i = grid->currentIndex();
        return i.isValid() ? grid->model()->index(i.row(), 1).data().toString() : QString();
    }

    Office office;
    FreshSharedState state; // after the office: it goes first
};

} // namespace tzsndmsg::testing
