// The control-transfer and thread natives, run by assembled scripts through
// the real thread loop and the native dispatcher. The plain scenarios (call
// results, nested calls, stale buffers, suspended starts) are script tests:
// tests/scripts/threads_*.c.
#include <chrono>
#include <string>
#include <thread>

#include "core/config.h"
#include "host/script_threads.h"
#include "thread_harness.h"
#include "vm/interpreter.h"
#include "vm/native_table.h"

namespace qavz::test {
namespace {

using ControlNatives = ThreadTest;

// Stores r0 into shared word `word` (uses r1).
std::string Record(int word) {
  return "  movl r1, $%S%\n  add r1, $" + std::to_string(4 * word) + "\n  movl (r1), r0\n";
}

bool MainEnded() { return CurrentRunOutcome() != RunOutcome::kRunning && RunningThreadCount() == 0; }

TEST_F(ControlNatives, CallOrJumpToAMissingProgramReturnsZero) {
  RegisterProgram("main.c",
                  "  jmp main\nmain:\n  enter 0\n  movl r0, $9\n  push $path\n"
                  "  call n_call\n  add r7, $4\n" +
                      Record(0) + "  movl r0, $9\n  push $path\n  call n_jump\n  add r7, $4\n" + Record(1) +
                      "  leave 0\npath: .ascii \"missing.c\\0\"\n");
  SetShared(0, -1);
  SetShared(1, -1);
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor(MainEnded));
  EXPECT_EQ(Shared(0), 0);
  EXPECT_EQ(Shared(1), 0);
}

TEST_F(ControlNatives, JumpReplacesTheProgramInPlace) {
  RegisterProgram("next.c", "  jmp main\nmain:\n  enter 0\n" + Record(0) + "  leave 0\n");
  RegisterProgram("main.c",
                  "  jmp main\nmain:\n  enter 0\n  push $path\n  call n_jump\n"
                  "  add r7, $4\n  movl r0, $77\n" +
                      Record(1) + "  leave 0\npath: .ascii \"next.c\\0\"\n");
  uint64_t before = TheArena().LiveBytes();
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor(MainEnded));
  EXPECT_EQ(Shared(0), 1);  // jump's 1 lands in the new program's r0
  EXPECT_EQ(Shared(1), 0);  // the old program never continues
  EXPECT_EQ(CurrentRunOutcome(), RunOutcome::kEnded);
  PumpFor(10);
  EXPECT_EQ(TheArena().LiveBytes(), before);  // both programs freed
}

TEST_F(ControlNatives, MissingMainProgramIsACompileFailure) {
  LoadMainProgram("nothing.c");
  EXPECT_EQ(CurrentRunOutcome(), RunOutcome::kCompileFailed);
  EXPECT_EQ(RunningThreadCount(), 0);
}

// Which thread faults: the main one or the one it started.
class FaultStopsAll : public ThreadTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FaultStopsAll, WindowStaysOpen) {
  const std::string divide = "  movl r1, $0\n  movl r2, $5\n  div r2, r1\n";
  const bool inChild = GetParam();
  RegisterProgram(
      "main.c",
      "  jmp main\nmain:\n  enter 0\n  push $0\n  push $0\n  push $0\n  push $f\n"
      "  call n_thd_begin\n  add r7, $16\n  push $30\n  call n_sleep\n  add r7, $4\n" +
          std::string(inChild ? "wait:\n  push $1\n  call n_sleep\n  add r7, $4\n  jmp wait\n" : divide) +
          "  leave 0\nf:\n  enter 0\n  movl r3, $%S%\nloop:\n  add r4, $1\n"
          "  movl (r3), r4\n  cmp r4, $2000\n  jne loop\n" +
          (inChild ? divide : "  jmp loop\n"));
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor([] { return RunningThreadCount() == 0; }));
  EXPECT_GT(Shared(0), 0);
  EXPECT_EQ(CurrentRunOutcome(), RunOutcome::kFault);
  EXPECT_NE(StopFlag().load(), 0);  // stays set until a restart or the exit
  PumpFor(10);
  EXPECT_EQ(Closes(), 0);
}
INSTANTIATE_TEST_SUITE_P(MainOrChild, FaultStopsAll, ::testing::Bool());

// Where exit is called: 0 main, 1 a started thread, 2 a called program.
class ExitCloses : public ThreadTest, public ::testing::WithParamInterface<int> {};

TEST_P(ExitCloses, TheApplication) {
  RegisterProgram("quit.c", "  jmp main\nmain:\n  enter 0\n  call n_exit\n  leave 0\n");
  const std::string idle = "idle:\n  push $1\n  call n_sleep\n  add r7, $4\n  jmp idle\n";
  const std::string begin = "  push $0\n  push $0\n  push $0\n  push $f\n  call n_thd_begin\n  add r7, $16\n";
  const std::string bodies[] = {
      "  call n_exit\n" + idle,
      begin + idle,
      "  push $path\n  call n_call\n  add r7, $4\n" + idle,
  };
  RegisterProgram("main.c", "  jmp main\nmain:\n  enter 0\n" + bodies[GetParam()] +
                                "f:\n  enter 0\n  call n_exit\n  leave 0\n  ret\n"
                                "path: .ascii \"quit.c\\0\"\n");
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor([&] { return Closes() == 1 && RunningThreadCount() == 0; }));
  EXPECT_EQ(CurrentRunOutcome(), RunOutcome::kExit);
}
INSTANTIATE_TEST_SUITE_P(Anywhere, ExitCloses, ::testing::Values(0, 1, 2));

// longjmp value -> what setjmp appears to return the second time.
class LongJump : public ThreadTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(LongJump, ReturnsTheValueOrOne) {
  // Word 0 counts setjmp's returns; word 1 + n holds the n-th result.
  RegisterProgram("main.c",
                  "  jmp main\nmain:\n  enter 0\n  push $buf\n  call n_setjmp\n  add r7, $4\n"
                  "  movl r1, $%S%\n  movl r2, (r1)\n  movl r3, r2\n  add r3, $1\n  movl (r1), r3\n"
                  "  movl r4, r2\n  add r4, r4\n  add r4, r4\n  add r4, r1\n  add r4, $4\n"
                  "  movl (r4), r0\n  cmp r2, $0\n  jne end\n  push $" +
                      std::to_string(GetParam().first) + "\n  push $buf\n  call n_longjmp\n  add r7, $8\n" +
                      Record(9) + "end:\n  leave 0\n.comm buf, 64\n");
  SetShared(9, 12345);
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor(MainEnded));
  EXPECT_EQ(Shared(0), 2);
  EXPECT_EQ(Shared(1), 0);
  EXPECT_EQ(Shared(2), GetParam().second);
  EXPECT_EQ(Shared(9), 12345);  // longjmp itself never returned
}
INSTANTIATE_TEST_SUITE_P(Values, LongJump,
                         ::testing::Values(std::pair{0, 1}, std::pair{5, 5}, std::pair{-3, -3}));

TEST_F(ControlNatives, LongJumpOutOfACalledProgramFreesIt) {
  // main: setjmp, hand the buffer over in word 5, call jumper.c, which
  // longjmps back with 9; main then idles until word 3 is set.
  RegisterProgram("jumper.c",
                  "  jmp main\nmain:\n  enter 0\n  movl r1, $%S%\n  add r1, $20\n"
                  "  movl r2, (r1)\n  push $9\n  push r2\n  call n_longjmp\n"
                  "  add r7, $8\n  movl r0, $222\n" +
                      Record(2) + "  leave 0\n");
  RegisterProgram("main.c",
                  "  jmp main\nmain:\n  enter 0\n  push $buf\n  call n_setjmp\n  add r7, $4\n"
                  "  cmp r0, $0\n  jne back\n  movl r1, $%S%\n  add r1, $20\n  movl r2, $buf\n"
                  "  movl (r1), r2\n  push $path\n  call n_call\n  add r7, $4\n  movl r0, $111\n" +
                      Record(0) + "  leave 0\nback:\n" + Record(1) +
                      "idle:\n  push $1\n  call n_sleep\n  add r7, $4\n  movl r1, $%S%\n"
                      "  add r1, $12\n  movl r2, (r1)\n  cmp r2, $0\n  je idle\n  leave 0\n"
                      "path: .ascii \"jumper.c\\0\"\n.comm buf, 64\n");
  uint64_t before = TheArena().LiveBytes();
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor([&] { return Shared(1) != 0; }));
  EXPECT_EQ(Shared(1), 9);
  EXPECT_EQ(Shared(0), 0);
  EXPECT_EQ(Shared(2), 0);
  {
    std::lock_guard lock(NativeLock());  // the script thread's contexts change only under it
    EXPECT_EQ(ThreadTopIndex(0), 0);
    MachineContext* main = ThreadContextAt(0, 0);
    ASSERT_NE(main, nullptr);
    // Only the main program's image and stack remain.
    EXPECT_EQ(TheArena().LiveBytes(),
              before + TheArena().BlockSize(main->imageBase) + TheArena().BlockSize(main->stackBase));
  }
  SetShared(3, 1);
  ASSERT_TRUE(WaitFor(MainEnded));
}

TEST_F(ControlNatives, LongJumpRefusesForeignOrUnreadableBuffers) {
  MachineContext* c = BuildContext("  enter 0\n  leave 0\n");
  ASSERT_EQ(StartThread(c, true), 0);  // held: its record is ours to use
  Addr buf = SharedAddr(16);
  MachineContext record = *c;
  record.r[0] = 0;
  record.r[7] = c->r[7];
  std::lock_guard lock(NativeLock());
  CurrentContext = c;
  auto jumpWith = [&](const MachineContext& r, Addr at) {
    TheArena().Write(buf, r);
    SetShared(0, int32_t(at));
    SetShared(1, 3);
    return Native_longjmp(SharedAddr(0));
  };
  MachineContext other = record;
  other.threadIndex = 1;
  EXPECT_EQ(jumpWith(other, buf), 0);
  other = record;
  other.r[0] = 1;  // deeper than the thread's stack
  EXPECT_EQ(jumpWith(other, buf), 0);
  other = record;
  other.imageBase += 4;
  EXPECT_EQ(jumpWith(other, buf), 0);
  other = record;
  other.r[7] = c->r[7] - 4;  // the function has returned
  EXPECT_EQ(jumpWith(other, buf), 0);
  EXPECT_EQ(jumpWith(record, 8), 0);  // buffer in unmapped memory
  other = record;
  other.programSize = 1u << 30;  // an edited size is not taken over
  other.pc = c->imageBase + 2;
  EXPECT_EQ(jumpWith(other, buf), 3);
  EXPECT_EQ(c->pc, c->imageBase + 2);
  EXPECT_NE(c->programSize, 1u << 30);
  CurrentContext = nullptr;
}

// thd_begin's stack size argument -> the new thread's stack size (0: main's).
class ThreadStack : public ThreadTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(ThreadStack, SizeIsRaisedToOneKilobyteOrInherited) {
  RegisterProgram("main.c", "  jmp main\nmain:\n  enter 0\n  push $" + std::to_string(GetParam().first) +
                                "\n  push $1\n  push $0\n  push $f\n  call n_thd_begin\n"
                                "  add r7, $16\n" +
                                Record(0) +
                                "idle:\n  push $1\n  call n_sleep\n  add r7, $4\n  jmp idle\n"
                                "f:\n  enter 0\n  leave 0\n  ret\n");
  SetShared(0, -2);
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor([&] { return Shared(0) != -2; }));
  ASSERT_EQ(Shared(0), 1);
  std::lock_guard lock(NativeLock());
  MachineContext* c = ThreadContextAt(1, 0);
  ASSERT_NE(c, nullptr);
  uint32_t expected = GetParam().second ? uint32_t(GetParam().second) : TheConfig().stackSize;
  EXPECT_EQ(c->stackSize, expected);
}
INSTANTIATE_TEST_SUITE_P(Sizes, ThreadStack,
                         ::testing::Values(std::pair{100, 1024}, std::pair{1, 1024}, std::pair{1023, 1024},
                                           std::pair{1024, 1024}, std::pair{5000, 5000}, std::pair{0, 0},
                                           std::pair{-8, 0}));

TEST_F(ControlNatives, ThreadNativesRejectInvalidIndices) {
  std::lock_guard lock(NativeLock());
  for (int index : {-1, 3, 32, 1000}) {
    SetShared(0, index);
    EXPECT_EQ(Native_thd_end(SharedAddr(0)), 0);
    EXPECT_EQ(Native_thd_suspend(SharedAddr(0)), -1);
    EXPECT_EQ(Native_thd_resume(SharedAddr(0)), -1);
  }
  // An argument block outside live memory.
  EXPECT_EQ(Native_thd_end(8), 0);
  EXPECT_EQ(Native_thd_suspend(8), -1);
  EXPECT_EQ(Native_sleep(8), 0);
  EXPECT_EQ(Native_thd_begin(8), -1);
  EXPECT_EQ(Native_setjmp(8), 0);
  EXPECT_EQ(Native_longjmp(8), 0);
  EXPECT_EQ(Native_jump(8), 0);
  EXPECT_EQ(Native_call(8), 0);
}

TEST_F(ControlNatives, SleepHoldsOneThreadWhileAnotherRuns) {
  // The started thread counts in word 0; main marks word 1 before and word 2
  // after sleep(100).
  RegisterProgram("main.c",
                  "  jmp main\nmain:\n  enter 0\n  push $0\n  push $0\n  push $0\n  push $f\n"
                  "  call n_thd_begin\n  add r7, $16\n  movl r0, $1\n" +
                      Record(1) + "  push $100\n  call n_sleep\n  add r7, $4\n  movl r0, $1\n" + Record(2) +
                      "  leave 0\nf:\n  enter 0\n  movl r3, $%S%\nloop:\n  add r4, $1\n"
                      "  movl (r3), r4\n  push $0\n  call n_sleep\n  add r7, $4\n  jmp loop\n");
  // Timed from before the start: the moment this thread sees word 1 may come
  // late on a loaded machine, but the whole run can never be shorter than the sleep.
  auto start = std::chrono::steady_clock::now();
  LoadMainProgram("main.c");
  ASSERT_TRUE(WaitFor([&] { return Shared(1) == 1; }));
  int32_t counted = Shared(0);
  ASSERT_TRUE(WaitFor([&] { return Shared(2) == 1; }));
  auto held = std::chrono::steady_clock::now() - start;
  EXPECT_GE(held, std::chrono::milliseconds(95));
  EXPECT_GT(Shared(0), counted + 10);
}

TEST_F(ControlNatives, ThdEndOfItsOwnIndexEndsTheThreadWhenTheNativeReturns) {
  MachineContext* c = BuildContext(
      "  enter 0\n  push $0\n  call n_thd_end\n  add r7, $4\n"
      "  movl r0, $1\n" +
      Record(0) + "  leave 0\n");
  ASSERT_EQ(StartThread(c, false), 0);
  ASSERT_TRUE(WaitFor([] { return RunningThreadCount() == 0; }));
  EXPECT_EQ(Shared(0), 0);
}

TEST_F(ControlNatives, ThdEndStopsAThreadBusyInNatives) {
  // Threads 0 and 1 call sleep(0) in a loop; thread 2 ends both and records
  // the two results.
  MachineContext* busy = BuildContext("loop:\n  push $0\n  call n_sleep\n  add r7, $4\n  jmp loop\n");
  ASSERT_EQ(StartThread(busy, false), 0);
  ASSERT_EQ(StartThread(CloneContext(busy, 0), false), 1);
  MachineContext* ender =
      BuildContext("  push $0\n  call n_thd_end\n  add r7, $4\n" + Record(0) +
                   "  push $1\n  call n_thd_end\n  add r7, $4\n" + Record(1) + "  enter 0\n  leave 0\n");
  ASSERT_EQ(StartThread(ender, false), 2);
  ASSERT_TRUE(WaitFor([] { return RunningThreadCount() == 0; }));
  EXPECT_EQ(Shared(0), 1);
  EXPECT_EQ(Shared(1), 1);
}

TEST_F(ControlNatives, TwoThreadsEndingEachOtherNeverDeadlock) {
  // f(other): thd_end(other), then idle. Started together, each may be
  // waiting for the other inside its native; at least one must end.
  MachineContext* parent = BuildContext(
      "  jmp f\nf:\n  enter 0\n  movl r1, 8(r6)\n  push r1\n"
      "  call n_thd_end\n  add r7, $4\nidle:\n  push $1\n"
      "  call n_sleep\n  add r7, $4\n  jmp idle\n");
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(StartThreadAt(parent, parent->imageBase + 5, 1, 1, 0), 0);
    ASSERT_EQ(StartThreadAt(parent, parent->imageBase + 5, 0, 1, 0), 1);
    LowerSuspend(0);
    LowerSuspend(1);
    ASSERT_TRUE(WaitFor([] { return RunningThreadCount() <= 1; })) << round;
    StopAllThreads();
  }
  FreeContext(parent);
}

}  // namespace
}  // namespace qavz::test
