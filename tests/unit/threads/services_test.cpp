// Service requests, the extension information block, the SystemFile save and
// stopping threads that sit in requests.
#include "host/services.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>

#include "core/config.h"
#include "files/system_file.h"
#include "host/script_threads.h"
#include "thread_harness.h"
#include "vm/interpreter.h"
#include "vm/native_dispatch.h"
#include "vm/native_table.h"

namespace fs = std::filesystem;

namespace qavz::test {
namespace {

using Services = ThreadTest;

std::atomic<int32_t> gLastW{0}, gLastL{0};
int32_t Record(int32_t w, int32_t l) {
  gLastW = w;
  gLastL = l;
  return 77;
}

// id, argument 0, argument 1 -> expected wParam, lParam.
struct Placement {
  uint32_t id;
  int32_t wParam, lParam;
};
class ServicePlacement : public ThreadTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(ServicePlacement, ArgumentsGoWhereTheTableSays) {
  const Placement p = GetParam();
  ASSERT_TRUE(SetServiceOperation(p.id, &Record));
  SetShared(0, 11);
  SetShared(1, 22);
  gLastW = gLastL = -1;
  EXPECT_EQ(SendServiceRequest(p.id, SharedAddr(0)), 77);
  EXPECT_EQ(gLastW.load(), p.wParam);
  EXPECT_EQ(gLastL.load(), p.lParam);
  SetServiceOperation(p.id, nullptr);
  EXPECT_EQ(SendServiceRequest(p.id, SharedAddr(0)), 0);  // nothing installed
}
INSTANTIATE_TEST_SUITE_P(Rows, ServicePlacement,
                         ::testing::Values(Placement{1124, 11, 22}, Placement{1125, 0, 11},
                                           Placement{1126, 0, 0}, Placement{1132, 11, 0},
                                           Placement{1133, 11, 0}, Placement{1144, 0, 11},
                                           Placement{1154, 11, 0}, Placement{1164, 11, 22},
                                           Placement{1165, 11, 0}, Placement{1173, 11, 22},
                                           Placement{1184, 11, 0}, Placement{1193, 0, 11},
                                           Placement{1194, 11, 256}, Placement{1195, 11, 22},
                                           Placement{1196, 0, 11}, Placement{1204, 22, 0}));

TEST_F(Services, IdsOutsideTheTableAreRefused) {
  for (uint32_t id : {1123u, 1135u, 1143u, 1155u, 1200u, 1213u, 1215u}) {
    EXPECT_FALSE(SetServiceOperation(id, &Record)) << id;
    EXPECT_EQ(SendServiceRequest(id, 1, 2), 0) << id;
    EXPECT_EQ(HandleServiceRequest(Message{id, 1, 2, {}}), 0) << id;
  }
}

TEST_F(Services, ExtensionBlockHoldsFlagsHandlesAndScreen) {
  SetHostHandles(0x1111, 0x2222);
  Addr block = SharedAddr(8);
  SetShared(15, 0x5A5A);
  EXPECT_EQ(HandleServiceRequest(Message{1214, int32_t(block), 0, {}}), 0);
  const Config& config = TheConfig();
  EXPECT_EQ(Addr(Shared(8)), StopFlagAddress());
  EXPECT_EQ(Addr(Shared(9)), ActiveFlagAddress());
  EXPECT_EQ(Shared(10), 0x1111);
  EXPECT_EQ(Shared(11), 0x2222);
  EXPECT_EQ(Shared(12), config.width);
  EXPECT_EQ(Shared(13), config.height);
  EXPECT_EQ(Shared(14), config.depth);
  EXPECT_EQ(Shared(15), 0x5A5A);  // exactly seven words
  // Both flags are readable by address and follow the real flags.
  ActiveFlag().store(0);
  EXPECT_EQ(TheArena().Word(ActiveFlagAddress(), -1), 0);
  ActiveFlag().store(1);
  EXPECT_EQ(TheArena().Word(ActiveFlagAddress(), -1), 1);
  EXPECT_EQ(TheArena().Word(StopFlagAddress(), -1), 0);
}

TEST_F(Services, ExtensionBlockAtNullOrDeadAddressWritesNothing) {
  EXPECT_EQ(HandleServiceRequest(Message{1214, 0, 0, {}}), 0);
  EXPECT_EQ(HandleServiceRequest(Message{1214, 8, 0, {}}), 0);
  // A block that runs off the end of live memory is not half written.
  Addr page = TheArena().Alloc(4096);
  ASSERT_NE(page, 0u);
  Addr nearEnd = page + 4096 - 12;
  TheArena().Write<int32_t>(nearEnd, 99);
  EXPECT_EQ(HandleServiceRequest(Message{1214, int32_t(nearEnd), 0, {}}), 0);
  EXPECT_EQ(TheArena().Word(nearEnd), 99);
  TheArena().Free(page);
}

class SystemFileSave : public ThreadTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ThreadTest::SetUp();
    dir_ = fs::temp_directory_path() /
           ("qavz-sysfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id())));
    fs::create_directories(dir_);
    savedScript_ = ThePaths().mainScript;
    ThePaths().mainScript.clear();
  }
  void TearDown() override {
    ThePaths().mainScript = savedScript_;
    ThreadTest::TearDown();
    fs::remove_all(dir_);
  }
  std::string Contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
  std::string savedScript_;
};

// true: written by a restart; false: by the exit sequence.
TEST_P(SystemFileSave, BlockInAnEndedProgramIsStillWritten) {
  // The program publishes its save block's address in word 0, waits for
  // word 1, fills the block with "SAVE" and ends: its image is gone before
  // the services shut down.
  RegisterProgram("save.c",
                  "  jmp main\nmain:\n  enter 0\n  movl r1, $%S%\n  movl r2, $data\n"
                  "  movl (r1), r2\nwait:\n  push $1\n  call n_sleep\n  add r7, $4\n"
                  "  movl r1, $%S%\n  add r1, $4\n  movl r3, (r1)\n  cmp r3, $0\n  je wait\n"
                  "  movl r2, $data\n  movl r3, $0x45564153\n  movl (r2), r3\n  leave 0\n"
                  ".comm data, 8\n");
  fs::path file = dir_ / "game.sav";
  { std::ofstream(file, std::ios::binary) << "OLD!OLD!"; }
  LoadMainProgram("save.c");
  ASSERT_TRUE(WaitFor([&] { return Shared(0) != 0; }));
  BindSystemFile(file.string(), Addr(Shared(0)), 8);
  SetShared(1, 1);
  ASSERT_TRUE(WaitFor([] { return RunningThreadCount() == 0; }));
  EXPECT_EQ(Contents(file), "OLD!OLD!");  // nothing written before shut-down
  if (GetParam()) {
    RestartProgram();
  } else {
    StopAllThreads();
    ShutdownServices();
  }
  EXPECT_EQ(Contents(file), std::string("SAVE\0\0\0\0", 8));
  // The binding is gone: a second shut-down does not write again.
  { std::ofstream(file, std::ios::binary) << "NEW"; }
  ShutdownServices();
  EXPECT_EQ(Contents(file), "NEW");
}
INSTANTIATE_TEST_SUITE_P(RestartOrExit, SystemFileSave, ::testing::Bool());

TEST_P(SystemFileSave, ImageSharedWithALaterThreadKeepsItsLastWrite) {
  // main starts f and ends at once; f, sharing main's image, fills the block
  // only after main has gone.
  RegisterProgram("late.c",
                  "  jmp main\nmain:\n  enter 0\n  movl r1, $%S%\n  movl r2, $data\n  movl (r1), r2\n"
                  "  push $0\n  push $0\n  push $0\n  push $f\n  call n_thd_begin\n  add r7, $16\n"
                  "  leave 0\nf:\n  enter 0\nwait:\n  push $1\n  call n_sleep\n  add r7, $4\n"
                  "  movl r1, $%S%\n  add r1, $4\n  movl r3, (r1)\n  cmp r3, $0\n  je wait\n"
                  "  movl r2, $data\n  movl r3, $0x4554414C\n  movl (r2), r3\n  leave 0\n  ret\n"
                  ".comm data, 8\n");
  fs::path file = dir_ / "late.sav";
  LoadMainProgram("late.c");
  ASSERT_TRUE(WaitFor([&] { return Shared(0) != 0; }));
  BindSystemFile(file.string(), Addr(Shared(0)), 8);
  ASSERT_TRUE(WaitFor([] { return CurrentRunOutcome() == RunOutcome::kEnded; }));
  PumpFor(20);  // main's context is freed; the image lives on in f
  SetShared(1, 1);
  ASSERT_TRUE(WaitFor([] { return RunningThreadCount() == 0; }));
  StopAllThreads();
  ShutdownServices();
  EXPECT_EQ(Contents(file), std::string("LATE\0\0\0\0", 8));
}

TEST_P(SystemFileSave, UnwritableFileIsDroppedSilently) {
  SetShared(4, 0x41424344);
  BindSystemFile((dir_ / "missing-dir" / "x.sav").string(), SharedAddr(4), 4);
  ShutdownServices();
  EXPECT_FALSE(fs::exists(dir_ / "missing-dir"));
  // An unbound or cleared binding writes nothing.
  BindSystemFile((dir_ / "y.sav").string(), SharedAddr(4), 4);
  BindSystemFile("", SharedAddr(4), 4);
  ShutdownServices();
  EXPECT_FALSE(fs::exists(dir_ / "y.sav"));
  EXPECT_TRUE(fs::is_empty(dir_));  // no temporary file left behind
}

// A native that asks the window thread for device work: trap 500 sends
// request 1129 under NativeLock, as a CD native would.
std::atomic<int> gAnswered{0};
int32_t SlowDevice(int32_t, int32_t) {
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ++gAnswered;
  return 7;
}
void TrapWithDevice(uint32_t index, MachineContext* context) {
  if (index != 500) return DispatchNative(index, context);
  std::lock_guard lock(NativeLock());
  CurrentContext = context;
  int32_t result = SendServiceRequest(1129, 0, 0);
  if (CurrentContext) CurrentContext->r[0] = result;
  CurrentContext = nullptr;
}

TEST_F(Services, RequestsAreAnsweredWhileAllThreadsAreStopped) {
  SetServiceOperation(1129, &SlowDevice);
  SetTrapHandler(&TrapWithDevice);
  BeginRun();
  for (int round = 0; round < 5; ++round) {
    gAnswered = 0;
    // A wrong answer divides by zero, which would show as a fault.
    MachineContext* asker = BuildContext(
        "loop:\n  trap 500\n  cmp r0, $7\n  je loop\n"
        "  movl r1, $0\n  div r1, r1\n");
    ASSERT_EQ(StartThread(asker, false), 0);
    for (int i = 1; i < 8; ++i) ASSERT_EQ(StartThread(CloneContext(asker, 0), false), i);
    ASSERT_TRUE(WaitFor([] { return gAnswered > 20; }));
    // Both stops return only because they keep answering.
    if (round % 2) {
      for (int i = 0; i < 8; ++i) EXPECT_EQ(StopThreadAndWait(i), 1);
    } else {
      StopAllThreads();
    }
    EXPECT_EQ(RunningThreadCount(), 0);
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(ValidThread(i));
  }
  EXPECT_EQ(CurrentRunOutcome(), RunOutcome::kRunning);
  SetServiceOperation(1129, nullptr);
  SetTrapHandler(&DispatchNative);
}

TEST_F(Services, RestartStopsThreadsAndLoadsTheMainProgramAgain) {
  // main counts its runs in word 0 and idles until word 1 is set.
  RegisterProgram("again.c",
                  "  jmp main\nmain:\n  enter 0\n  movl r1, $%S%\n  movl r2, (r1)\n"
                  "  add r2, $1\n  movl (r1), r2\nidle:\n  push $1\n  call n_sleep\n"
                  "  add r7, $4\n  movl r1, $%S%\n  add r1, $4\n  movl r2, (r1)\n"
                  "  cmp r2, $0\n  je idle\n  leave 0\n");
  std::string saved = ThePaths().mainScript;
  ThePaths().mainScript = "again.c";
  LoadMainProgram("again.c");
  ASSERT_TRUE(WaitFor([&] { return Shared(0) == 1; }));
  RestartProgram();
  EXPECT_EQ(RunningThreadCount(), 0);  // the old run is gone before the reload
  EXPECT_TRUE(ServicesStarted());
  ASSERT_TRUE(WaitFor([&] { return Shared(0) == 2; }));  // message 1025 ran it again
  EXPECT_EQ(CurrentRunOutcome(), RunOutcome::kRunning);
  SetShared(1, 1);
  EXPECT_TRUE(WaitFor([] { return CurrentRunOutcome() == RunOutcome::kEnded; }));
  ThePaths().mainScript = saved;
}

TEST_F(Services, StartAndShutDownToggleTheServiceProcedure) {
  EXPECT_TRUE(ServicesStarted());
  ShutdownServices();
  EXPECT_FALSE(ServicesStarted());
  StartServices();
  EXPECT_TRUE(ServicesStarted());
}

}  // namespace
}  // namespace qavz::test
