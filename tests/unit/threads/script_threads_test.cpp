// The ThreadTable: starting, suspension, pause, stopping and the run outcome.
#include "host/script_threads.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "thread_harness.h"
#include "vm/interpreter.h"
#include "vm/native_table.h"

namespace qavz::test {
namespace {

// Increments shared word `word` for ever.
std::string Counter(int word) {
  return "  movl r2, $%S%\n  add r2, $" + std::to_string(4 * word) +
         "\nloop:\n  add r1, $1\n  movl (r2), r1\n  jmp loop\n";
}

using ScriptThreads = ThreadTest;

TEST_F(ScriptThreads, ThirtyThirdThreadIsRefused) {
  for (int i = 0; i < kThreadCount; ++i) {
    MachineContext* c = BuildContext(Counter(i));
    ASSERT_EQ(StartThread(c, false), i);
  }
  MachineContext* extra = BuildContext(Counter(40));
  EXPECT_EQ(StartThread(extra, false), -1);
  FreeContext(extra);
  EXPECT_EQ(RunningThreadCount(), 32);
  EXPECT_TRUE(WaitFor([&] {
    for (int i = 0; i < kThreadCount; ++i)
      if (Shared(i) == 0) return false;
    return true;
  }));
}

TEST_F(ScriptThreads, EndedSlotIsReusedByTheNextStart) {
  MachineContext* quick = BuildContext("  enter 0\n  leave 0\n");
  ASSERT_EQ(StartThread(quick, false), 0);
  ASSERT_TRUE(WaitFor([] { return RunningThreadCount() == 0; }));
  EXPECT_TRUE(ValidThread(0));  // keeps its slot until swept
  MachineContext* next = BuildContext(Counter(0));
  EXPECT_EQ(StartThread(next, false), 0);
  EXPECT_TRUE(WaitFor([&] { return Shared(0) > 0; }));
}

TEST_F(ScriptThreads, SuspendCountsNestAndClampAtZero) {
  MachineContext* c = BuildContext(Counter(0));
  ASSERT_EQ(StartThread(c, false), 0);
  ASSERT_TRUE(WaitFor([&] { return Shared(0) > 0; }));
  EXPECT_EQ(RaiseSuspend(0), 1);
  EXPECT_EQ(RaiseSuspend(0), 2);
  PumpFor(20);
  int32_t frozen = Shared(0);
  PumpFor(40);
  EXPECT_EQ(Shared(0), frozen);
  EXPECT_EQ(LowerSuspend(0), 1);
  PumpFor(20);
  EXPECT_EQ(Shared(0), frozen);
  EXPECT_EQ(LowerSuspend(0), 0);
  EXPECT_TRUE(WaitFor([&] { return Shared(0) != frozen; }));
  EXPECT_EQ(LowerSuspend(0), 0);  // already 0: unchanged
  EXPECT_EQ(ThreadSuspendCount(0), 0);
}

TEST_F(ScriptThreads, InvalidIndicesAndStopFlagMakeEveryOperationFail) {
  for (int index : {-1, 5, 32}) {
    EXPECT_EQ(RaiseSuspend(index), -1);
    EXPECT_EQ(LowerSuspend(index), -1);
    EXPECT_EQ(SetWakeTime(index, 10), 0);
    EXPECT_EQ(StopThreadAndWait(index), 0);
    EXPECT_EQ(ReplaceTopContext(index, nullptr), 0);
  }
  MachineContext* c = BuildContext(Counter(0));
  ASSERT_EQ(StartThread(c, false), 0);
  StopFlag().store(1);
  EXPECT_EQ(RaiseSuspend(0), -1);
  EXPECT_EQ(LowerSuspend(0), -1);
  EXPECT_EQ(SetWakeTime(0, 10), 0);
  EXPECT_EQ(StopThreadAndWait(0), 0);
  MachineContext* other = BuildContext(Counter(1));
  EXPECT_EQ(StartThread(other, false), -1);
  EXPECT_EQ(StartThreadAt(other, other->imageBase, 0, 0, 0), -1);
  FreeContext(other);
  ASSERT_TRUE(WaitFor([] { return RunningThreadCount() == 0; }));
  StopFlag().store(0);
}

TEST_F(ScriptThreads, PauseNestsWithScriptSuspension) {
  ASSERT_EQ(StartThread(BuildContext(Counter(0)), false), 0);
  ASSERT_EQ(StartThread(BuildContext(Counter(1)), false), 1);
  ASSERT_TRUE(WaitFor([&] { return Shared(0) > 0 && Shared(1) > 0; }));
  EXPECT_EQ(RaiseSuspend(0), 1);  // the script suspends thread 0
  PauseThreads(true);
  PauseThreads(true);  // reported twice: counts once
  EXPECT_EQ(ThreadSuspendCount(0), 2);
  EXPECT_EQ(ThreadSuspendCount(1), 1);
  PumpFor(20);
  int32_t a = Shared(0), b = Shared(1);
  PumpFor(40);
  EXPECT_EQ(Shared(0), a);
  EXPECT_EQ(Shared(1), b);
  PauseThreads(false);
  PauseThreads(false);
  EXPECT_EQ(ThreadSuspendCount(0), 1);
  EXPECT_EQ(ThreadSuspendCount(1), 0);
  EXPECT_TRUE(WaitFor([&] { return Shared(1) != b; }));
  EXPECT_EQ(Shared(0), a);  // still suspended by its script
}

TEST_F(ScriptThreads, StopThreadAndWaitEndsAndFreesTheSlot) {
  uint64_t before = TheArena().LiveBytes();
  ASSERT_EQ(StartThread(BuildContext(Counter(0)), false), 0);
  ASSERT_TRUE(WaitFor([&] { return Shared(0) > 0; }));
  EXPECT_EQ(StopThreadAndWait(0), 1);
  EXPECT_FALSE(ValidThread(0));
  EXPECT_EQ(RunningThreadCount(), 0);
  EXPECT_EQ(TheArena().LiveBytes(), before);  // its contexts are gone
}

TEST_F(ScriptThreads, StoppingASuspendedStartLetsItEnd) {
  MachineContext* parent = BuildContext(Counter(0));
  int index = StartThreadAt(parent, parent->imageBase, 0, 1, 0);
  ASSERT_GE(index, 0);
  EXPECT_EQ(StopThreadAndWait(index), 1);
  EXPECT_EQ(RunningThreadCount(), 0);
  EXPECT_EQ(Shared(0), 0);
  FreeContext(parent);
}

TEST_F(ScriptThreads, StartAtPreparesTheStackAndSuspendCount) {
  MachineContext* parent = BuildContext(Counter(0), 8192);
  int index = StartThreadAt(parent, parent->imageBase + 4, 1234, 1, 2048);
  ASSERT_GE(index, 0);
  MachineContext* c = ThreadContextAt(index, 0);
  ASSERT_NE(c, nullptr);
  Addr end = c->stackBase + c->stackSize;
  EXPECT_EQ(c->stackSize, 2048u);
  EXPECT_EQ(c->imageBase, parent->imageBase);
  EXPECT_EQ(c->pc, parent->imageBase + 4);
  EXPECT_EQ(Addr(c->r[7]), end - 8);
  EXPECT_EQ(TheArena().Word(end - 8), -1);
  EXPECT_EQ(TheArena().Word(end - 4), 1234);
  EXPECT_EQ(ThreadSuspendCount(index), 1);
  EXPECT_EQ(int(c->threadIndex), index);
  StopAllThreads();
  FreeContext(parent);
}

TEST_F(ScriptThreads, PushAndReplaceKeepTheContextStackBounded) {
  MachineContext* c = BuildContext(Counter(0));
  ASSERT_EQ(StartThread(c, true), 0);  // held: never runs, so its stack is ours
  std::vector<MachineContext*> pushed;
  for (int depth = 1; depth < kContextDepth; ++depth) {
    MachineContext* next = CreateContext(16, 256);
    ASSERT_EQ(PushContext(0, next), 1) << depth;
    EXPECT_EQ(next->threadIndex, 0u);
  }
  EXPECT_EQ(ThreadTopIndex(0), kContextDepth - 1);
  MachineContext* overflow = CreateContext(16, 256);
  EXPECT_EQ(PushContext(0, overflow), 0);
  EXPECT_EQ(PushContext(0, nullptr), 0);
  EXPECT_EQ(ReplaceTopContext(0, overflow), 1);
  EXPECT_EQ(ThreadContextAt(0, kContextDepth - 1), overflow);
  EXPECT_EQ(DropContextsAbove(0, 0), 1);
  EXPECT_EQ(ThreadTopIndex(0), 0);
  EXPECT_EQ(ThreadContextAt(0, 0), c);
}

}  // namespace
}  // namespace qavz::test
