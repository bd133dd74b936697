#include "thread_harness.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "vm/assembler.h"
#include "vm/interpreter.h"

// Scripts write the shared block with plain stores while the test polls it:
// that sharing is the point of the block, so the sanitizer is told to accept
// races that involve the test's own accessors.
extern "C" const char* __tsan_default_suppressions() {
  return "race:qavz::test::ThreadTest::Shared\n"
         "race:qavz::test::ThreadTest::SetShared\n";
}

namespace qavz::test {

namespace {

std::mutex gProgramsMutex;
std::map<std::string, std::string> gPrograms;
std::atomic<int> gCloses{0};
Addr gShared = 0;

int TestCompiler(CompileRequest& request) {
  std::string text;
  {
    std::lock_guard lock(gProgramsMutex);
    auto it = gPrograms.find(request.sourcePath);
    if (it == gPrograms.end()) return 0;
    text = it->second;
  }
  AssembledProgram program;
  std::string error;
  if (request.dest == 0) {
    if (!Assemble(text, 0, 0, program, error)) return 0;
    request.codeSize = uint32_t(program.code.size());
    request.dataSize = program.dataSize;
    return 1;
  }
  if (!Assemble(text, request.dest, request.capacity, program, error)) return 0;
  uint8_t* out = TheArena().Span(request.dest, uint32_t(program.code.size()));
  if (!out) return 0;
  std::memcpy(out, program.code.data(), program.code.size());
  request.codeSize = uint32_t(program.code.size());
  request.dataSize = program.dataSize;
  return 1;
}

int32_t Answer(const Message& m) {
  if (m.id >= kMsgServiceFirst && m.id <= kMsgServiceLast) return HandleServiceRequest(m);
  if (m.id == kMsgClose) ++gCloses;
  if (m.id == kMsgLoadMain) LoadMainProgram(m.text.c_str());
  return 0;
}

}  // namespace

const char* const kNativeStubs = R"(
n_jump: trap 0
  ret
n_call: trap 1
  ret
n_exit: trap 2
  ret
n_setjmp: trap 3
  ret
n_longjmp: trap 4
  ret
n_thd_begin: trap 5
  ret
n_thd_end: trap 6
  ret
n_thd_suspend: trap 7
  ret
n_thd_resume: trap 8
  ret
n_sleep: trap 9
  ret
)";

std::string Substitute(const std::string& text) {
  std::string out = text;
  const std::string key = "%S%";
  for (size_t at = out.find(key); at != std::string::npos; at = out.find(key, at))
    out.replace(at, key.size(), std::to_string(gShared));
  return out + kNativeStubs;
}

void RegisterProgram(const std::string& path, const std::string& text) {
  std::lock_guard lock(gProgramsMutex);
  gPrograms[path] = Substitute(text);
}

MachineContext* BuildContext(const std::string& text, uint32_t stackSize) {
  std::string error;
  MachineContext* c = AssembleContext(Substitute(text), stackSize, &error);
  EXPECT_NE(c, nullptr) << error;
  return c;
}

void ThreadTest::SetUp() {
  BindMainThread();
  SetMessageHandler(&Answer);
  SetCompilerEntry(&TestCompiler);
  gShared = TheArena().Alloc(4096);
  ASSERT_NE(gShared, 0u);
  gCloses = 0;
  ActiveFlag().store(1);
  StartServices();
  ClearThreadTable();
}

void ThreadTest::TearDown() {
  StopAllThreads();
  PauseThreads(false);
  ShutdownServices();
  PumpMainMessages();
  EXPECT_EQ(RunningThreadCount(), 0);
  TheArena().Free(gShared);
  gShared = 0;
  ActiveFlag().store(1);
}

int32_t ThreadTest::Shared(int i) const { return TheArena().Word(gShared + 4u * uint32_t(i)); }
void ThreadTest::SetShared(int i, int32_t value) {
  TheArena().Write<int32_t>(gShared + 4u * uint32_t(i), value);
}
Addr ThreadTest::SharedAddr(int i) const { return gShared + 4u * uint32_t(i); }
int ThreadTest::Closes() const { return gCloses.load(); }

bool ThreadTest::WaitFor(const std::function<bool()>& done, int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return done();
    PumpMainMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void ThreadTest::PumpFor(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    PumpMainMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace qavz::test
