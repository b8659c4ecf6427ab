#include "HolidayStart.h"

#include "Ems_HolidayFrm.h"
#include "state/Help.h"
#include "tzsndmsg/ui/Modal.h"
#include "ui/BusyPointer.h"

#include <QApplication>
#include <exception>
#include <memory>

namespace tzsndmsg {

namespace {

// Deleting a widget needs the application object; at process end, after it is gone, the
// window is left to the operating system.
struct WindowHolder {
    Ems_HolidayFrm* window = nullptr;
    ~WindowHolder()
    {
        if (window && QCoreApplication::instance())
            delete window;
    }
};

thread_local WindowHolder t_holder;

} // namespace

Ems_HolidayFrm& holidayWindow()
{
    if (!t_holder.window)
        t_holder.window = new Ems_HolidayFrm;
    return *t_holder.window;
}

bool hasHolidayWindow()
{
    return t_holder.window != nullptr;
}

void runHolidayWindow()
{
    SetupHelpFile();
    // Errors while loading or showing are not passed on to the host.
    try {
        ui::hourglass();
        Ems_HolidayFrm& window = holidayWindow();
        window.restorePointerOnActivation();
        window.load();
        ui::showModal(window);
        // Never shown (an automation drove it): put the pointer back here.
        window.restorePointerIfPending();
    } catch (const std::exception&) {
    }
}

void releaseHolidayWindow()
{
    delete t_holder.window;
    t_holder.window = nullptr;
}

} // namespace tzsndmsg
