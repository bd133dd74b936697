// The table's rows never throw: a native that runs out of host memory gives
// its failure result and the process goes on.
#include "host/native_table.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/script_memory.h"

namespace qavz {
namespace {

// Virtual memory the process maps now, in bytes.
uint64_t MappedBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  uint64_t kb = 0;
  while (status >> key)
    if (key == "VmSize:" && status >> kb) return kb * 1024;
  return 0;
}

// In a child whose address space can grow by only 64 MiB, a native that
// copies 256 MiB of script text into host memory: the row gives 0 (the
// settings natives' failure result) instead of ending the child.
TEST(NativeTable, RunningOutOfHostMemoryGivesTheFailureResult) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers stop the process on a failed allocation themselves";
#endif
  constexpr uint32_t kTextBytes = 256u << 20;
  test::ScriptMemory m(4096);
  Addr text = TheArena().Alloc(kTextBytes + 1);
  ASSERT_NE(text, 0u);
  std::memset(TheArena().Span(text, kTextBytes), 'x', kTextBytes);
  Addr args = m.Args({int32_t(m.Str("s")), int32_t(m.Str("k")), int32_t(text)});
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = MappedBytes() + (64u << 20);
    setrlimit(RLIMIT_AS, &limit);
    int32_t result = kNativeTable[kNative_ini_sets].handler(args);
    _exit(result == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  TheArena().Free(text);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died (signal " << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace qavz
