#pragma once

namespace tzsndmsg {

class Ems_HolidayFrm;

// The holiday window of the calling thread: made on first use and kept loaded between
// openings, so a later opening finds the values its fields kept.
Ems_HolidayFrm& holidayWindow();
// Whether the calling thread has made its holiday window yet.
bool hasHolidayWindow();
// Holiday_Start's work: busy pointer, load the thread's window, show it modally; returns
// when it closes. The window is not released.
void runHolidayWindow();
// Drops the thread's holiday window (tests; a host shutting down before its application).
void releaseHolidayWindow();

} // namespace tzsndmsg
