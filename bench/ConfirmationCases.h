#pragma once

namespace tzsndmsg::bench {

class Runner;

// The sent items with and without their "Confirmed" column: the list and the first screen of
// cells through the grid's model, and the window itself offscreen.
void addConfirmationCases(Runner& runner);

} // namespace tzsndmsg::bench
