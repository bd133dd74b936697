// `qavz run --watch`: the main program restarts, in the same window, when a
// source file any compile of the run has read changes.
#pragma once

#include <cstdint>

namespace qavz {

// Starts the watching thread (the window thread gets a restart message on a
// change); StopWatching ends it. Both on the window thread.
void StartWatching();
void StopWatching();

// Takes note of the sources the main program's compile just read, as they
// are now (does nothing unless watching). Called right after the load, so a
// change made after it is never taken for the state the program was built
// from.
void NoteCompiledSources();

// Restarts the main program as the host menu's restart does.
int32_t OnRestartMessage();

}  // namespace qavz
