#pragma once

#include "state/SharedState.h"

namespace tzsndmsg::testing {

// A test's own component state: fresh when the fixture is made, and given up, with the services
// it holds, when the fixture goes. Declare it after the fixture's office, so that it goes first
// and the office's database can be dropped behind it.
class FreshSharedState {
public:
    FreshSharedState() { SharedState::current() = SharedState{}; }
    ~FreshSharedState() { SharedState::current() = SharedState{}; }
    FreshSharedState(const FreshSharedState&) = delete;
    FreshSharedState& operator=(const FreshSharedState&) = delete;
};

} // namespace tzsndmsg::testing
