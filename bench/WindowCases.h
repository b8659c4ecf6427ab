#pragma once

namespace tzsndmsg::bench {

class Runner;
struct StoreSummary;

// The message window itself, offscreen: opening the inbox of the typical employee and
// scrolling through it, with the recipient queries the grid ran.
void addWindowCases(Runner& runner, const StoreSummary& summary);

} // namespace tzsndmsg::bench
