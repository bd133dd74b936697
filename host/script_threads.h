// Script threads and the services natives get from the window thread.
#pragma once

#include <cstdint>
#include <string>

#include "vm/machine_context.h"

namespace qavz {

constexpr int kThreadCount = 32;
constexpr int kContextDepth = 32;

// Thread operations; every one fails while StopFlag is set.
int StartThread(MachineContext* context, bool suspended);  // index or -1
int StartThreadAt(MachineContext* parent, Addr entry, int32_t argument, int32_t suspendCount,
                  int32_t stackSize);  // index or -1
int StopThreadAndWait(int index);      // 1, 0 for an invalid index
int RaiseSuspend(int index);           // new count, -1 invalid
int LowerSuspend(int index);           // new count, 0 if already <= 0, -1 invalid
int SetWakeTime(int index, uint32_t milliseconds);
int ReplaceTopContext(int index, MachineContext* context);
int PushContext(int index, MachineContext* context);
void StopAllThreads();
void ClearThreadTable();
int RunningThreadCount();
// Pause on deactivation: raise (true) or lower (false) every slot's count.
void PauseThreads(bool pause);

// Services: start (shuts down first), shut down, load the main program
// (message 1025), restart.
void StartServices();
void ShutdownServices();
void LoadMainProgram(const char* path);
void RestartProgram();

// True once this run's main program has been started (or failed to load)
// and no script thread runs any more, however they ended.
bool RunHasEnded();
// Threads that a stop gave up on because they stayed inside a host call
// (they keep their slots for the rest of the process).
int AbandonedThreadCount();

// How the run ended, for `qavz run`: set by the thread machinery.
enum class RunOutcome { kRunning, kEnded, kFault, kExit, kCompileFailed };
RunOutcome CurrentRunOutcome();
// main's return value (r0 of the context at the bottom of thread 0's stack
// when it ended), for `qavz run --result`.
int32_t MainResult();

// --- For the control natives and the services (not for other callers) ---

// True for 0..31 with a slot that holds a thread.
bool ValidThread(int index);
// Index of the running context in the slot's context stack; -1 if invalid.
int ThreadTopIndex(int index);
// Context at `depth` of a valid slot's stack, or null. While the slot's thread
// runs, its stack changes only under NativeLock: read it there.
MachineContext* ThreadContextAt(int index, int depth);
// Frees the contexts above `depth` (called programs abandoned by longjmp).
// Only the slot's own thread may do this. 1, or 0 when refused.
int DropContextsAbove(int index, int depth);
// Clears a valid slot's run flag without waiting: the thread ends at its next
// check. 1, or 0 for an invalid index (or while StopFlag is set).
int RequestThreadEnd(int index);
// Suspend count of a slot (for pacing checks and tests); 0 if out of range.
int32_t ThreadSuspendCount(int index);
// Starts the main program's thread: its end decides the run outcome.
int StartMainThread(MachineContext* context);
// Run outcome bookkeeping for LoadMainProgram.
void BeginRun();
void MarkCompileFailed();
// Each slot has its own current font selection; thd_begin sets it back to
// slot 0 when it hands a slot to a new thread.
void ResetThreadFontSelection(int index);

}  // namespace qavz
