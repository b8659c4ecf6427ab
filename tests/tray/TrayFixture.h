#pragma once

// The tray of the back office (ws2, Bob) on Monday 7 December 2026, 10:00, in the small window a
// desktop without a system tray gets; Anna sends from the front desk (ws1).
#include "NotificationPopup.h"
#include "TrayApp.h"
#include "state/SharedState.h"
#include "support/FreshSharedState.h"
#include "support/ScriptedPrompter.h"
#include "tzsndmsg/ui/MessageBox.h"
#include "watcher/WatcherFixture.h"

#include <memory>

namespace tzsndmsg::testing {

using namespace Qt::StringLiterals;

class TrayFixture : public TwoWorkstations {
protected:
    TrayFixture() { setNow(QDateTime(QDate(2026, 12, 7), QTime(10, 0))); }
    void TearDown() override { ui::MessageBox::setPrompter(nullptr); }
    FreshSharedState state; // before the offices go

    std::unique_ptr<app::TrayApp> startTray()
    {
        auto tray = std::make_unique<app::TrayApp>(ws2, options(u"tray"_s, Channel::Both),
                                                   app::TrayApp::Mode::Window);
        QString error;
        EXPECT_TRUE(tray->start(&error)) << error.toStdString();
        return tray;
    }

    // The tray's notice, once it tells the message given.
    app::NotificationPopup* noticeOf(app::TrayApp& tray, qint32 cmId)
    {
        app::NotificationPopup* popup = tray.popup();
        EXPECT_TRUE(waitUntil([&] { return popup->isVisible() && popup->notice().cmID == cmId; }));
        pump(5);
        return popup;
    }

    PrompterGuard boxes; // any box not expected fails the test
};

} // namespace tzsndmsg::testing
