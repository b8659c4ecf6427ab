#pragma once

#include <tzsndmsg/OfficeWatcher.h>

// The watcher's counters, for the tests and benchmarks that measure it; not installed.
namespace tzsndmsg {

struct WatcherInternals {
    // Statements the watcher ran since it started (the notice subscription counted with them),
    // and how many times it read the store.
    static quint64 statementsRun(const OfficeWatcher& watcher);
    static quint64 looks(const OfficeWatcher& watcher);
};

} // namespace tzsndmsg
