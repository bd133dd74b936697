// The whole start-up and exit of a headless run, in this process, and the
// runtime's command line as a user meets it.
#include "host/runtime.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/message_queue.h"
#include "host/native_table.h"
#include "host/script_threads.h"
#include "platform/video.h"
#include "tests/support/temp_files.h"
#include "vm/interpreter.h"

namespace qavz {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> gSteps;
void Record(const char* step) { gSteps.push_back(step); }

class Runtime : public testing::Test {
 protected:
  void SetUp() override {
    gSteps.clear();
    SetStepObserver(Record);
    cwd = std::filesystem::current_path();
  }
  void TearDown() override {
    SetStepObserver(nullptr);
    std::filesystem::current_path(cwd);
  }
  int Run(const std::string& config) {
    WriteFile(dir / "GAME.cfg", config);
    RunOptions options;
    options.headless = true;
    return RunRuntime(DerivePaths(dir / "GAME.EXE"), options);
  }
  int Count(const std::string& step) { return int(std::count(gSteps.begin(), gSteps.end(), step)); }

  TempDir dir;
  std::filesystem::path cwd;
};

TEST_F(Runtime, StartsAndStopsEveryDeviceInOrder) {
  std::string config = "[General]\nDraw=1\nSound=1\nMusic=1\nInput=1\nCD=1\nNet=1\nFullScreen=1\n";
  EXPECT_EQ(Run(config), 0);
  std::vector<std::string> expected = {"read configuration",
                                       "current directory",
                                       "create window",
                                       "math tables",
                                       "Net",
                                       "Draw",
                                       "Sound",
                                       "Music",
                                       "Input",
                                       "CD",
                                       "external data",
                                       "services",
                                       "thread table",
                                       "colour tables",
                                       "random seed",
                                       "full screen",
                                       "message loop",
                                       "stop media",
                                       "stop threads",
                                       "shut services",
                                       "free external data",
                                       "release CD",
                                       "release Input",
                                       "release Music",
                                       "release Sound",
                                       "release Draw",
                                       "release Net",
                                       "free math tables",
                                       "write back"};
  EXPECT_EQ(gSteps, expected);
  EXPECT_EQ(ReadFile(dir / "GAME.cfg"), config) << "full screen at exit is written back as 1";
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.path())) << "the base directory";
}

TEST_F(Runtime, WithoutDevicesOnlyTheFixedStepsRunAndJoysticksArePolled) {
  EXPECT_EQ(Run(""), 0);
  std::vector<std::string> expected = {
      "read configuration", "current directory", "create window", "math tables",   "joystick",
      "external data",      "services",          "thread table",  "colour tables", "random seed",
      "message loop",       "stop media",        "stop threads",  "shut services", "free external data",
      "release joystick",   "free math tables",  "write back"};
  EXPECT_EQ(gSteps, expected);
}

TEST_F(Runtime, ClosingTwiceShutsDownOnce) {
  PostMainMessage(Message{kMsgClose, 0, 0, {}});
  PostMainMessage(Message{kMsgClose, 0, 0, {}});
  EXPECT_EQ(Run("[General]\nSound=1\n"), 0);
  EXPECT_EQ(Count("stop threads"), 1);
  EXPECT_EQ(Count("release Sound"), 1);
  EXPECT_EQ(Count("free math tables"), 1);
}

TEST_F(Runtime, FullScreenWithoutTheDisplayModeObjectStaysWindowed) {
  std::string config = "[General]\r\nFullScreen=1\r\n";
  EXPECT_EQ(Run(config), 0);
  EXPECT_EQ(ReadFile(dir / "GAME.cfg"), "[General]\r\nFullScreen=0\r\n");
}

// Focus changes while a script thread runs: with "Pause" on, the first
// deactivation pauses it and clears ActiveFlag, a repeated one does nothing,
// activation resumes it; with "Pause" off nothing changes.
struct FocusCase {
  int pause;
  int activeWhileAway, suspendWhileAway;
};
void PrintTo(const FocusCase& c, std::ostream* os) { *os << "Pause=" << c.pause; }

class RuntimeFocus : public Runtime, public testing::WithParamInterface<FocusCase> {};

TEST_P(RuntimeFocus, PausesOnceAndResumes) {
  WriteFile(dir / "GAME/GAME.c", "int main() { for (;;) ; return 0; }\n");
  int activeAway = -1, suspendAway = -1, activeBack = -1, suspendBack = -1;
  std::thread user([&] {
    auto waitUntil = [](auto done) {
      for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(10ms);
    };
    auto push = [](platform::EventKind kind) {
      platform::Event event;
      event.kind = kind;
      platform::PushNullEvent(event);
    };
    waitUntil([] { return RunningThreadCount() > 0; });
    push(platform::EventKind::kDeactivate);
    push(platform::EventKind::kDeactivate);
    waitUntil([&] { return ThreadSuspendCount(0) == GetParam().suspendWhileAway; });
    std::this_thread::sleep_for(100ms);  // time for a wrong second pause to show
    activeAway = ActiveFlag().load();
    suspendAway = ThreadSuspendCount(0);
    push(platform::EventKind::kActivate);
    waitUntil([] { return ThreadSuspendCount(0) == 0 && ActiveFlag().load() == 1; });
    activeBack = ActiveFlag().load();
    suspendBack = ThreadSuspendCount(0);
    push(platform::EventKind::kClose);
  });
  EXPECT_EQ(Run("[General]\nPause=" + std::to_string(GetParam().pause) + "\n"), 0);
  user.join();
  EXPECT_EQ(activeAway, GetParam().activeWhileAway);
  EXPECT_EQ(suspendAway, GetParam().suspendWhileAway);
  EXPECT_EQ(activeBack, 1);
  EXPECT_EQ(suspendBack, 0);
}

INSTANTIATE_TEST_SUITE_P(PauseKey, RuntimeFocus, testing::Values(FocusCase{1, 0, 1}, FocusCase{0, 1, 0}));

// The binary, as a user runs it.
struct Outcome {
  int status;
  std::string out;
};

Outcome Shell(const std::string& command) {
  TempDir dir;
  std::string full = command + " >" + (dir / "out") + " 2>&1";
  int raw = std::system(full.c_str());
  return {WEXITSTATUS(raw), ReadFile(dir / "out")};
}

const std::string kQavz = QAVZ_BINARY;

TEST(CommandLineProcess, HelpVersionAndUsage) {
  EXPECT_EQ(Shell(kQavz + " --version").out, "qavz " QAVZ_VERSION "\n");
  Outcome help = Shell(kQavz + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("qavz run"), std::string::npos);
  Outcome bare = Shell(kQavz);
  EXPECT_EQ(bare.status, 2);
  EXPECT_NE(bare.out.find("usage:"), std::string::npos);
  EXPECT_EQ(Shell(kQavz + " run").status, 2);
}

TEST(CommandLineProcess, RunOfAProgramThatDoesNotCompileExitsWithOne) {
  TempDir dir;
  WriteFile(dir / "broken.c", "this is not a program {\n");
  EXPECT_EQ(Shell(kQavz + " run --headless --timeout 20000 " + (dir / "broken.c")).status, 1);
  EXPECT_EQ(Shell(kQavz + " run --headless " + (dir / "missing.c")).status, 1);
}

// A program with every native declared, in table order, before `body`.
std::string Program(const std::string& body) {
  std::string text;
  for (const NativeEntry& row : kNativeTable) text += std::string("#trap\nint ") + row.name + "();\n";
  return text + body;
}

struct RunCase {
  const char* name;
  const char* body;
  const char* options;
  int status;
  const char* output;  // standard output and error together
};
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class HeadlessRun : public testing::TestWithParam<RunCase> {};

TEST_P(HeadlessRun, EndsWithTheStatusOfHowTheProgramEnded) {
  TempDir dir;
  WriteFile(dir / "main.c", Program(GetParam().body));
  Outcome run = Shell(kQavz + " run --headless " + GetParam().options + " " + (dir / "main.c"));
  EXPECT_EQ(run.status, GetParam().status);
  EXPECT_EQ(run.out, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, HeadlessRun,
    testing::Values(
        RunCase{"Return", "int main() { log_out(\"sum %d\", 3 + 4); log_out(\"done\"); return -5; }",
                "--result", 0, "sum 7\ndone\nresult: -5\n"},
        RunCase{"ExitNative", "int main() { log_out(\"bye\"); exit(); log_out(\"never\"); return 1; }",
                "--result", 0, "bye\n"},
        RunCase{"Fault", "int zero; int main() { return 1 / zero; }", "--result", 2, "０で除算しました\n"},
        RunCase{"Timeout", "int main() { for (;;) ; return 0; }", "--timeout 300 --result", 3, ""},
        // A run whose threads have all ended ends, however they ended.
        RunCase{"MainEndsItself", "int main() { thd_end(0); return 7; }", "--result --timeout 20000", 0, ""},
        RunCase{"AnotherThreadEndsMain",
                "int f(int a) { thd_end(0); log_out(\"ended\"); return 0; }\n"
                "int main() { thd_begin(f, 0, 0, 0); for (;;) sleep(10); return 7; }",
                "--result --timeout 20000", 0, "ended\n"}),
    [](const testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

// A script switches to full screen through setsystem; the mode at exit is
// written back to the configuration it ran with.
TEST(CommandLineProcess, ScriptSwitchesToFullScreenAndTheModeIsWrittenBack) {
  TempDir dir;
  // Arguments are evaluated last first, so the switch gets a statement of its own.
  WriteFile(dir / "main.c", Program("int main() { int on; on = setsystem(\"FULLSCREEN\", 1); "
                                    "log_out(\"%d %d\", on, getsystem(\"fullscreen\")); "
                                    "log_out(\"%d\", setsystem(\"fullscreen\", 1)); return 0; }"));
  WriteFile(dir / "run.cfg", "[General]\nDraw=1\nFullScreen=0\n");
  Outcome run = Shell(kQavz + " run --headless --config " + (dir / "run.cfg") + " " + (dir / "main.c"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "1 1\n0\n") << "the switch gives 1, the same mode again 0";
  EXPECT_EQ(ReadFile(dir / "run.cfg"), "[General]\nDraw=1\nFullScreen=1\n");
}

// A script thread stuck in a host call (a read of a pipe nobody writes)
// neither keeps the timeout from ending the run nor holds the process.
TEST(CommandLineProcess, AThreadBlockedInANativeDoesNotHoldTheRun) {
  TempDir dir;
  WriteFile(dir / "main.c", Program("int main() { char b[16]; int f; f = fopen(\"/dev/stdin\", \"r\"); "
                                    "log_out(\"reading\"); fgets(b, 16, f); log_out(\"read\"); return 0; }"));
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  auto start = std::chrono::steady_clock::now();
  // Opened for reading and writing, the pipe never ends and never has data.
  Outcome run = Shell(kQavz + " run --headless --timeout 500 " + (dir / "main.c") + " 0<>" + (dir / "pipe"));
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "reading\n");
  EXPECT_LT(seconds, 15.0);
}

// A FIFO never opens as a data file, so neither a main source nor mload can
// wait for a writer that never comes.
TEST(CommandLineProcess, AFifoIsNeverOpenedAsADataFile) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "main.c").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir / "data.bin").c_str(), 0600), 0);
  EXPECT_EQ(Shell(kQavz + " run --headless --timeout 20000 " + (dir / "main.c")).status, 1);
  WriteFile(dir / "load.c", Program("int main() { log_out(\"%d\", mload(\"data.bin\", 0, 0)); return 0; }"));
  Outcome run = Shell(kQavz + " run --headless --timeout 20000 " + (dir / "load.c"));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("0\n"), std::string::npos) << run.out;
}

// A driver asked for by name either starts or ends the run with its reason;
// asking for headless overrides it.
TEST(CommandLineProcess, ANamedVideoDriverThatCannotStartIsAnError) {
  TempDir dir;
  WriteFile(dir / "main.c", "int main() { return 0; }\n");
  // Another copy running beside the test must not end this one first.
  WriteFile(dir / "run.cfg", "[General]\nMultipleRunning=1\n");
  std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QAVZ_HEADLESS QAVZ_VIDEO=";
  std::string run = " run --config " + (dir / "run.cfg") + " ";
  Outcome sdl = Shell(noDisplay + "sdl " + kQavz + run + (dir / "main.c"));
  EXPECT_EQ(sdl.status, 4);
  EXPECT_NE(sdl.out.find("video driver \"sdl\" cannot start: no display"), std::string::npos) << sdl.out;
  Outcome unknown = Shell(noDisplay + "vga " + kQavz + run + (dir / "main.c"));
  EXPECT_EQ(unknown.status, 4);
  EXPECT_NE(unknown.out.find("video driver \"vga\" is unknown"), std::string::npos) << unknown.out;
  EXPECT_EQ(Shell(noDisplay + "sdl " + kQavz + run + "--headless " + (dir / "main.c")).status, 0);
  EXPECT_EQ(Shell(noDisplay + "null " + kQavz + run + (dir / "main.c")).status, 0);
}

TEST(CommandLineProcess, AHeadlessTitleStartsAndStops) {
  TempDir dir;
  WriteFile(dir / "DEMO.cfg", "[General]\nTitle=Demo\nFullScreen=0\n");
  WriteFile(dir / "DEMO/DEMO.c", "int main() { return 0; }\n");
  EXPECT_EQ(Shell("timeout 20 " + kQavz + " " + dir.path()).status, 0);
  EXPECT_EQ(ReadFile(dir / "DEMO.cfg"), "[General]\nTitle=Demo\nFullScreen=0\n");
}

}  // namespace
}  // namespace qavz
