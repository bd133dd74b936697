// Starting and stopping many busy threads never deadlocks or leaks.
#include <string>

#include "host/script_threads.h"
#include "thread_harness.h"
#include "vm/native_table.h"

namespace qavz::test {
namespace {

using Stress = ThreadTest;

TEST_F(Stress, StartAndStopThirtyTwoBusyThreadsRepeatedly) {
  uint64_t before = TheArena().LiveBytes();
  // Busy: counts and calls sleep(0) so stops also land inside natives.
  MachineContext* parent = BuildContext(
      "loop:\n  add r1, $1\n  push $0\n  call n_sleep\n"
      "  add r7, $4\n  jmp loop\n");
  ASSERT_NE(parent, nullptr);
  for (int round = 0; round < 300; ++round) {
    for (int i = 0; i < kThreadCount; ++i) {
      MachineContext* clone;
      {
        // The image count is shared with the ending threads, as in thd_begin.
        std::lock_guard lock(NativeLock());
        clone = CloneContext(parent, 4096);
      }
      ASSERT_EQ(StartThread(clone, false), i);
    }
    if (round % 30 == 0) {
      for (int i = kThreadCount - 1; i >= 0; --i) ASSERT_EQ(StopThreadAndWait(i), 1);
    } else {
      StopAllThreads();
    }
    ASSERT_EQ(RunningThreadCount(), 0) << round;
  }
  FreeContext(parent);
  EXPECT_EQ(TheArena().LiveBytes(), before);
}

}  // namespace
}  // namespace qavz::test
