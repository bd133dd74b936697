// The ThreadTable: 32 script threads, each running slices of the context on
// top of its own stack of contexts.
//
// The flags a slot shares with other threads (run flag, suspend count, wake
// time, top index) are relaxed atomics: a stale value only costs one more
// pass. Handing a slot to a new thread and seeing it end use acquire/release.
// The operating-system thread objects are touched only under gTableMutex.
#include "host/script_threads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/report_error.h"
#include "files/system_file.h"
#include "graphics/font_slots.h"
#include "host/message_queue.h"
#include "host/services.h"
#include "platform/clock.h"
#include "vm/interpreter.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

using SteadyClock = std::chrono::steady_clock;

// An idle thread (suspended or sleeping) waits on its slot's event; stop,
// resume and run-flag changes wake it. Faults set StopFlag without a wake-up,
// so the wait is bounded.
constexpr int kIdleWaitMs = 50;
// After the stop's settle time, how long a stop waits for threads that are
// still inside a host call (a read that never returns, a FIFO that never
// opens). Those are abandoned: they must not hold the process.
constexpr int kStuckWaitMs = 2000;
// A lone busy thread gives the processor away about once a millisecond (the
// clock is read every kYieldCheck slices) instead of making a system call
// per slice: a yield is only worth its cost when someone else is waiting.
constexpr unsigned kYieldCheck = 16;

struct ScriptThread {
  std::thread os;                       // under gTableMutex
  std::atomic<bool> inUse{false};       // the slot holds a thread ("handle")
  std::atomic<uint32_t> generation{0};  // bumped whenever the slot is (re)used or cleared
  std::atomic<int32_t> runFlag{0};
  std::atomic<int32_t> suspendCount{0};
  std::atomic<uint32_t> wakeTime{0};     // tick count, 0 = not sleeping
  std::atomic<int64_t> wakeDeadline{0};  // the same in steady nanoseconds (ticks are coarse)
  MachineContext* contexts[kContextDepth] = {};
  std::atomic<int32_t> top{-1};
  std::atomic<bool> ended{false};        // the thread procedure has finished
  std::atomic<bool> held{false};         // created suspended, not yet let go
  std::atomic<bool> isMain{false};       // runs the main program
  std::atomic<bool> pauseRaised{false};  // its count was raised by the deactivation pause
  // Left behind by a stop while stuck in a host call: the slot stays taken
  // and the thread ends, touching nothing, whenever that call returns.
  std::atomic<bool> abandoned{false};
  std::mutex idleMutex;
  std::condition_variable idleCv;
};

ScriptThread gTable[kThreadCount];
std::mutex gTableMutex;
std::atomic<int32_t> gRunning{0};
std::atomic<bool> gStoppingAll{false};
std::atomic<bool> gPaused{false};
std::atomic<int> gOutcome{int(RunOutcome::kRunning)};
std::atomic<int32_t> gMainResult{0};
std::atomic<bool> gMainStarted{false};  // this run's main thread has been started
std::atomic<int32_t> gAbandoned{0};
thread_local int tSlot = -1;  // the slot the calling thread runs, -1 elsewhere

bool Stopping() { return StopFlag().load(std::memory_order_acquire) != 0; }

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now().time_since_epoch()).count();
}

// Wakes the slot's thread if it waits idle. Taking the mutex between the
// change and the notification means the waiter cannot miss it.
void Nudge(ScriptThread& t) {
  { std::lock_guard lock(t.idleMutex); }
  t.idleCv.notify_all();
}

void LetGo(ScriptThread& t) {
  t.held.store(false, std::memory_order_release);
  t.held.notify_all();
}

// kFault and kExit replace a running or normally ended run; the first of
// them stays. kEnded replaces only a running one.
void SetOutcome(RunOutcome outcome) {
  int current = gOutcome.load();
  for (;;) {
    bool allowed = current == int(RunOutcome::kRunning) ||
                   (current == int(RunOutcome::kEnded) && outcome != RunOutcome::kEnded);
    if (!allowed || gOutcome.compare_exchange_weak(current, int(outcome))) return;
  }
}

void FreeThreadContext(MachineContext* context) {
  if (!context) return;
  CaptureSystemFileBefore(context);
  FreeContext(context);
}

// The image reference count is shared with the contexts of other threads
// (thd_begin clones under NativeLock), so the thread loop frees its own
// contexts under the same lock.
void FreeOwnContext(MachineContext* context) {
  std::lock_guard lock(NativeLock());
  FreeThreadContext(context);
}

// Waits while the thread must not run: until `deadlineNs` (a sleep) or, with
// 0, until resumed; always until a stop and at most kIdleWaitMs.
void IdleWait(ScriptThread& t, int64_t deadlineNs) {
  auto wake = [&] {
    if (StopFlag().load(std::memory_order_relaxed) || !t.runFlag.load(std::memory_order_relaxed)) return true;
    return deadlineNs == 0 && t.suspendCount.load(std::memory_order_relaxed) <= 0;
  };
  int64_t waitNs = int64_t(kIdleWaitMs) * 1000000;
  if (deadlineNs != 0) waitNs = std::clamp<int64_t>(deadlineNs - NowNs(), 0, waitNs);
  std::unique_lock lock(t.idleMutex);
  t.idleCv.wait_for(lock, std::chrono::nanoseconds(waitNs), wake);
}

// True (after waiting a while) when the slot's wake time has not come yet.
bool Sleeping(ScriptThread& t) {
  uint32_t wake = t.wakeTime.load(std::memory_order_relaxed);
  if (wake == 0) return false;
  int64_t deadline = t.wakeDeadline.load(std::memory_order_relaxed);
  int32_t leftMs = int32_t(wake - platform::TickCount());
  if (leftMs > 0 || NowNs() < deadline) {
    IdleWait(t, std::max(deadline, NowNs() + int64_t(std::max(leftMs, 0)) * 1000000));
    return true;
  }
  t.wakeTime.store(0, std::memory_order_relaxed);
  return false;
}

// Sleep 0 between slices for a lone thread of the active application,
// otherwise 1 ms, so several threads or an inactive application never spin.
struct Pacer {
  unsigned passes = 0;
  uint32_t lastYield = 0;
};

void Pace(Pacer& p) {
  bool alone =
      ActiveFlag().load(std::memory_order_relaxed) != 0 && gRunning.load(std::memory_order_relaxed) <= 1;
  if (!alone) {
    platform::SleepMilliseconds(1);
  } else if (++p.passes % kYieldCheck == 0) {
    uint32_t now = platform::TickCount();
    if (now != p.lastYield) {
      p.lastYield = now;
      std::this_thread::yield();
    }
  }
}

enum class LoopEnd { kFinished, kClosed, kStopped };

LoopEnd RunLoop(ScriptThread& t) {
  Pacer pacer;
  while (!Stopping() && t.runFlag.load(std::memory_order_relaxed) && !t.abandoned.load()) {
    int top = t.top.load(std::memory_order_relaxed);
    MachineContext* c = t.contexts[top];
    if (c->state == kStopped) {
      // `exit`: the whole application closes.
      SetOutcome(RunOutcome::kExit);
      StopFlag().store(1, std::memory_order_release);
      PostMainMessage(Message{kMsgClose, 0, 0, {}});
      return LoopEnd::kClosed;
    }
    if (c->state == kEnded) {
      if (top == 0) {
        if (t.isMain.load()) {
          gMainResult.store(c->r[0]);
          SetOutcome(RunOutcome::kEnded);
        }
        return LoopEnd::kFinished;
      }
      // A called program returns its r0 to its caller.
      std::lock_guard lock(NativeLock());
      int32_t result = c->r[0];
      FreeThreadContext(c);
      t.contexts[top] = nullptr;
      t.contexts[top - 1]->r[0] = result;
      t.top.store(top - 1, std::memory_order_relaxed);
      continue;
    }
    if (Sleeping(t)) continue;
    if (t.suspendCount.load(std::memory_order_relaxed) > 0) {
      IdleWait(t, 0);
      continue;
    }
    int fault = RunSlice(c);
    if (fault != kNoFault) ReportError(kLevelFault, "%s", FaultMessage(FaultKind(fault)));
    Pace(pacer);
  }
  return LoopEnd::kStopped;
}

void ThreadProc(int index) {
  tSlot = index;
  ScriptThread& t = gTable[index];
  t.held.wait(true, std::memory_order_acquire);
  int top = t.top.load(std::memory_order_relaxed);
  if (top >= 0 && t.contexts[top] && !t.abandoned.load()) {
    std::this_thread::yield();
    if (RunLoop(t) == LoopEnd::kStopped && Stopping() && !gStoppingAll.load()) SetOutcome(RunOutcome::kFault);
    // A stop gave up on this thread: what it held belongs to nobody now.
    if (t.abandoned.load()) return;
    platform::SleepMilliseconds(5);
    for (top = t.top.load(std::memory_order_relaxed); top >= 0; --top) {
      FreeOwnContext(t.contexts[top]);
      t.contexts[top] = nullptr;
      t.top.store(top - 1, std::memory_order_relaxed);
    }
  }
  gRunning.fetch_sub(1);
  t.ended.store(true, std::memory_order_release);
}

// Moves the thread objects of ended slots out (to be joined outside the
// lock) and frees those slots. Caller holds gTableMutex.
void SweepEnded(std::vector<std::thread>& closed) {
  for (ScriptThread& t : gTable) {
    if (t.inUse.load() && t.ended.load(std::memory_order_acquire)) {
      closed.push_back(std::move(t.os));
      t.inUse.store(false);
      t.generation.fetch_add(1);
    }
  }
}

void JoinAll(std::vector<std::thread>& threads) {
  for (std::thread& th : threads)
    if (th.joinable()) th.join();
}

// Resets a slot whose thread is gone. Caller holds gTableMutex.
void ZeroSlot(ScriptThread& t) {
  t.inUse.store(false);
  t.generation.fetch_add(1);
  t.runFlag.store(0);
  t.suspendCount.store(0);
  t.wakeTime.store(0);
  t.wakeDeadline.store(0);
  std::fill(std::begin(t.contexts), std::end(t.contexts), nullptr);
  t.top.store(-1);
  t.ended.store(false);
  t.held.store(false);
  t.isMain.store(false);
  t.pauseRaised.store(false);
}

// Gives up on a thread that did not end in time. Its slot stays taken (the
// thread still refers to it) and is never handed out again in this process.
// Caller holds gTableMutex.
void Abandon(ScriptThread& t) {
  t.abandoned.store(true);
  if (t.os.joinable()) t.os.detach();
  gRunning.fetch_sub(1);
  gAbandoned.fetch_add(1);
}

int StartSlot(MachineContext* context, bool suspended, bool isMain) {
  if (Stopping() || !context) return -1;
  std::vector<std::thread> closed;
  int index = -1;
  {
    std::lock_guard lock(gTableMutex);
    SweepEnded(closed);
    for (int i = 0; i < kThreadCount && index < 0; ++i)
      if (!gTable[i].inUse.load() && !gTable[i].abandoned.load()) index = i;
    if (index >= 0) {
      ScriptThread& t = gTable[index];
      context->threadIndex = uint32_t(index);
      std::fill(std::begin(t.contexts), std::end(t.contexts), nullptr);
      t.contexts[0] = context;
      t.top.store(0);
      t.runFlag.store(1);
      t.suspendCount.store(0);
      t.wakeTime.store(0);
      t.wakeDeadline.store(0);
      t.ended.store(false);
      t.held.store(suspended);
      t.isMain.store(isMain);
      t.pauseRaised.store(false);
      t.generation.fetch_add(1);
      // Counted from here, not from inside the thread, so nobody sees no
      // thread running while this one is about to start.
      gRunning.fetch_add(1);
      // Valid before it runs: its first native may already ask about itself.
      t.inUse.store(true, std::memory_order_release);
      try {
        t.os = std::thread(ThreadProc, index);
      } catch (...) {
        gRunning.fetch_sub(1);
        ZeroSlot(t);
        index = -1;
      }
    }
  }
  JoinAll(closed);
  return index;
}

// Waits until the slot's thread (of generation `gen`) has ended. A script
// thread waiting inside a native lets NativeLock go meanwhile: the thread it
// waits for may be blocked on that lock in its own native call. It gives up
// when it is being stopped itself, so two threads ending each other cannot
// wait for ever.
bool WaitForEnd(ScriptThread& t, uint32_t gen) {
  bool onScript = tSlot >= 0;
  bool onMain = !onScript && OnMainThread();
  MachineContext* caller = onScript ? CurrentContext : nullptr;
  if (onScript) NativeLock().unlock();
  bool done = false;
  for (;;) {
    if (t.ended.load(std::memory_order_acquire) || t.generation.load() != gen) {
      done = true;
      break;
    }
    if (onScript && (Stopping() || !gTable[tSlot].runFlag.load())) break;
    if (onMain) PumpMainMessages();
    platform::SleepMilliseconds(1);
  }
  if (onScript) {
    NativeLock().lock();
    CurrentContext = caller;
  }
  return done;
}

void CloseSlotIf(ScriptThread& t, uint32_t gen) {
  std::thread closing;
  {
    std::lock_guard lock(gTableMutex);
    if (!t.inUse.load() || t.generation.load() != gen || !t.ended.load()) return;
    closing = std::move(t.os);
    t.inUse.store(false);
    t.generation.fetch_add(1);
  }
  if (closing.joinable()) closing.join();
}

// Stops every thread but the caller's own and frees their slots, answering
// the window thread's messages while it waits.
void StopAndCloseAll(int settleMs) {
  gStoppingAll.store(true);
  StopFlag().store(1, std::memory_order_release);
  auto endedOrAbandoned = [](int i) {
    return i == tSlot || !gTable[i].inUse.load() || gTable[i].abandoned.load() ||
           gTable[i].ended.load(std::memory_order_acquire);
  };
  auto allEnded = [&] {
    for (int i = 0; i < kThreadCount; ++i)
      if (!endedOrAbandoned(i)) return false;
    return true;
  };
  bool onMain = tSlot < 0 && OnMainThread();
  for (ScriptThread& t : gTable) Nudge(t);
  // Give the threads time to see the flag before they are let go.
  for (int waited = 0; waited < settleMs && !allEnded(); ++waited) {
    if (onMain) PumpMainMessages();
    platform::SleepMilliseconds(1);
  }
  for (int i = 0; i < kThreadCount; ++i)
    if (i != tSlot && gTable[i].inUse.load()) LetGo(gTable[i]);
  for (int waited = 0; waited < kStuckWaitMs && !allEnded(); ++waited) {
    if (onMain) PumpMainMessages();
    platform::SleepMilliseconds(1);
  }
  std::vector<std::thread> closed;
  {
    std::lock_guard lock(gTableMutex);
    for (int i = 0; i < kThreadCount; ++i) {
      if (i == tSlot || gTable[i].abandoned.load()) continue;
      if (!endedOrAbandoned(i)) {
        Abandon(gTable[i]);
        continue;
      }
      if (gTable[i].inUse.load()) closed.push_back(std::move(gTable[i].os));
      ZeroSlot(gTable[i]);
    }
  }
  JoinAll(closed);
}

}  // namespace

int StartThread(MachineContext* context, bool suspended) { return StartSlot(context, suspended, false); }

int StartMainThread(MachineContext* context) {
  int index = StartSlot(context, false, true);
  if (index >= 0) gMainStarted.store(true);
  return index;
}

int StartThreadAt(MachineContext* parent, Addr entry, int32_t argument, int32_t suspendCount,
                  int32_t stackSize) {
  if (Stopping() || !parent) return -1;
  MachineContext* c = CloneContext(parent, stackSize);
  if (!c) return -1;
  Addr end = c->stackBase + c->stackSize;
  c->pc = entry;
  c->r[7] = int32_t(end - 8);
  Arena& arena = TheArena();
  if (c->stackSize < 8 || !arena.Write<int32_t>(end - 8, -1) || !arena.Write<int32_t>(end - 4, argument)) {
    FreeContext(c);
    return -1;
  }
  int index = StartThread(c, true);
  if (index < 0) {
    FreeContext(c);
    return -1;
  }
  gTable[index].suspendCount.store(suspendCount);
  LetGo(gTable[index]);
  return index;
}

bool ValidThread(int index) {
  return index >= 0 && index < kThreadCount && gTable[index].inUse.load(std::memory_order_acquire);
}

int StopThreadAndWait(int index) {
  if (Stopping() || !ValidThread(index)) return 0;
  ScriptThread& t = gTable[index];
  uint32_t gen = t.generation.load();
  t.runFlag.store(0);
  Nudge(t);
  LetGo(t);
  // Waiting for itself could never finish: the thread ends when the native
  // that asked returns, and a later start sweeps the slot.
  if (index == tSlot) return 1;
  if (WaitForEnd(t, gen)) CloseSlotIf(t, gen);
  return 1;
}

int RequestThreadEnd(int index) {
  if (Stopping() || !ValidThread(index)) return 0;
  ScriptThread& t = gTable[index];
  t.runFlag.store(0);
  Nudge(t);
  LetGo(t);
  return 1;
}

int RaiseSuspend(int index) {
  if (Stopping() || !ValidThread(index)) return -1;
  return gTable[index].suspendCount.fetch_add(1) + 1;
}

int LowerSuspend(int index) {
  if (Stopping() || !ValidThread(index)) return -1;
  ScriptThread& t = gTable[index];
  int32_t count = t.suspendCount.load();
  do {
    if (count <= 0) return 0;
  } while (!t.suspendCount.compare_exchange_weak(count, count - 1));
  if (count - 1 <= 0) Nudge(t);
  return count - 1;
}

int SetWakeTime(int index, uint32_t milliseconds) {
  if (Stopping() || !ValidThread(index)) return 0;
  ScriptThread& t = gTable[index];
  int32_t ms = int32_t(milliseconds);
  uint32_t wake = platform::TickCount() + milliseconds;
  t.wakeDeadline.store(NowNs() + int64_t(std::max(ms, 0)) * 1000000, std::memory_order_relaxed);
  t.wakeTime.store(wake == 0 ? 1 : wake, std::memory_order_relaxed);  // 0 means "not sleeping"
  return 1;
}

int ReplaceTopContext(int index, MachineContext* context) {
  if (Stopping() || !ValidThread(index) || !context) return 0;
  ScriptThread& t = gTable[index];
  int top = t.top.load(std::memory_order_relaxed);
  if (top < 0) return 0;
  context->threadIndex = uint32_t(index);
  FreeThreadContext(t.contexts[top]);
  t.contexts[top] = context;
  return 1;
}

int PushContext(int index, MachineContext* context) {
  if (Stopping() || !ValidThread(index) || !context) return 0;
  ScriptThread& t = gTable[index];
  int top = t.top.load(std::memory_order_relaxed);
  if (top < 0 || top > kContextDepth - 2) return 0;
  context->threadIndex = uint32_t(index);
  t.contexts[top + 1] = context;
  t.top.store(top + 1, std::memory_order_relaxed);
  return 1;
}

int ThreadTopIndex(int index) {
  return ValidThread(index) ? gTable[index].top.load(std::memory_order_relaxed) : -1;
}

MachineContext* ThreadContextAt(int index, int depth) {
  if (!ValidThread(index) || depth < 0 || depth > ThreadTopIndex(index)) return nullptr;
  return gTable[index].contexts[depth];
}

int DropContextsAbove(int index, int depth) {
  if (!ValidThread(index) || depth < 0) return 0;
  ScriptThread& t = gTable[index];
  for (int top = t.top.load(std::memory_order_relaxed); top > depth; --top) {
    FreeThreadContext(t.contexts[top]);
    t.contexts[top] = nullptr;
    t.top.store(top - 1, std::memory_order_relaxed);
  }
  return 1;
}

int32_t ThreadSuspendCount(int index) {
  return index >= 0 && index < kThreadCount ? gTable[index].suspendCount.load() : 0;
}

void StopAllThreads() {
  StopAndCloseAll(500);
  StopFlag().store(0, std::memory_order_release);
  gStoppingAll.store(false);
}

void ClearThreadTable() {
  bool any = false;
  for (ScriptThread& t : gTable) any = any || t.inUse.load();
  if (any) {
    StopAndCloseAll(0);
  } else {
    std::lock_guard lock(gTableMutex);
    for (ScriptThread& t : gTable) ZeroSlot(t);
  }
  StopFlag().store(0, std::memory_order_release);
  gStoppingAll.store(false);
}

int RunningThreadCount() { return gRunning.load(); }

// Deactivation and activation arrive once each, but the platform may report
// one twice; only a change counts. Activation lowers only the counts that
// the deactivation raised, so a thread started meanwhile and suspended by
// its script stays suspended.
void PauseThreads(bool pause) {
  if (gPaused.exchange(pause) == pause) return;
  for (int i = 0; i < kThreadCount; ++i) {
    if (pause) {
      if (RaiseSuspend(i) >= 0) gTable[i].pauseRaised.store(true);
    } else if (gTable[i].pauseRaised.exchange(false)) {
      LowerSuspend(i);
    }
  }
}

void BeginRun() {
  gOutcome.store(int(RunOutcome::kRunning));
  gMainResult.store(0);
  gMainStarted.store(false);
}

bool RunHasEnded() {
  bool started = gMainStarted.load() || CurrentRunOutcome() != RunOutcome::kRunning;
  return started && gRunning.load() == 0;
}

int AbandonedThreadCount() { return gAbandoned.load(); }

void MarkCompileFailed() { gOutcome.store(int(RunOutcome::kCompileFailed)); }

RunOutcome CurrentRunOutcome() { return RunOutcome(gOutcome.load()); }

int32_t MainResult() { return gMainResult.load(); }

// The current font slot belongs to the text subsystem.
void ResetThreadFontSelection(int index) { ResetFontSelection(index); }

}  // namespace qavz
