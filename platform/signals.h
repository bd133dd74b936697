// SIGINT and SIGTERM close the runtime as closing its window does.
#pragma once

namespace qavz::platform {

// Blocks SIGINT and SIGTERM in the calling thread (and so in every thread it
// starts afterwards: call it first) and calls `onSignal` on a watcher thread
// for the first of them. A second signal ends the process at once, for a run
// whose exit sequence hangs.
void WatchTerminationSignals(void (*onSignal)());
// True once the first of them has arrived (a modal loop closes on it).
bool TerminationRequested();

}  // namespace qavz::platform
