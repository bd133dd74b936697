// Keys typed on a real display reach the script: a held key through getkey
// in either numbering, typed text (Japanese included) through the character
// ring as Shift-JIS, then clicks and the wheel through getpoint. Runs the runtime under the X display the
// test command starts and types with xdotool; skipped without either.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/support/temp_files.h"

namespace qavz {
namespace {

using namespace std::chrono_literals;

constexpr char kScript[] = R"(#include "natives.h"
char keys[256];
char text[256];
int point[4];
int main()
{
    int t, n, c, index, wheel;
    index = ini_geti("Test", "Index", 0);
    log_out("ready");
    for (t = 0; t < 20000 && !(keys[index] & 0x80); t++) {
        getkey(keys);
        sleep(1);
    }
    log_out("down %d", keys[index] & 0xFF);
    for (t = 0; t < 20000 && (keys[index] & 0x80); t++) {
        getkey(keys);
        sleep(1);
    }
    key_init();
    log_out("type");
    n = 0;
    for (t = 0; t < 20000 && n < 200; t++) {
        c = key_get();
        if (!c) {
            sleep(1);
            continue;
        }
        if (c == '.')
            break;
        if (c < 0)
            log_out("byte %d", c);
        text[n++] = c;
    }
    text[n] = 0;
    log_out("typed %s", text);
    log_out("click");
    wheel = 0;
    for (t = 0; t < 20000; t++) {
        getpoint(point);
        wheel += point[2];
        if ((point[3] & 0x1000000) && !(point[3] & 7) && wheel)
            break;
        sleep(1);
    }
    log_out("point %d %d %d %d", point[0], point[1], wheel, point[3]);
    return 0;
}
)";

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

struct TypingCase {
  int input, index, down;
};
void PrintTo(const TypingCase& c, std::ostream* os) { *os << "Input=" << c.input; }

class Typing : public testing::TestWithParam<TypingCase> {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display";
    if (!Shell("command -v xdotool")) GTEST_SKIP() << "no xdotool";
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  void Start(const std::string& title) {
    out = dir / "out.txt";
    pid = fork();
    if (pid == 0) {
      unsetenv("QAVZ_HEADLESS");
      if (!freopen(out.c_str(), "w", stdout)) _exit(126);
      execl(QAVZ_BINARY, QAVZ_BINARY, title.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  // Waits until the runtime printed `line`.
  bool WaitFor(const std::string& line) {
    for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;) {
      if (test::ReadFile(out).find(line + "\n") != std::string::npos) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  test::TempDir dir;
  std::string out;
  pid_t pid = -1;
};

TEST_P(Typing, KeysAndTextReachTheScript) {
  const TypingCase& c = GetParam();
  test::WriteFile(dir / "TYPE.cfg",
                  "[General]\nTitle=typing\nDebugMode=1\nPause=0\nMultipleRunning=1\nInput=" +
                      std::to_string(c.input) + "\n[Test]\nIndex=" + std::to_string(c.index) + "\n");
  test::WriteFile(dir / "TYPE/natives.h", test::ReadFile(QAVZ_SOURCE_DIR "/include/natives.h"));
  test::WriteFile(dir / "TYPE/TYPE.c", kScript);
  Start(dir / "TYPE.EXE");
  ASSERT_TRUE(WaitFor("ready"));
  // The keyboard goes to the runtime's window, with the pointer over it.
  std::string window = "$(xdotool search --sync --onlyvisible --pid " + std::to_string(pid) + " | head -n 1)";
  ASSERT_TRUE(Shell("xdotool windowfocus --sync " + window + " mousemove --window %1 20 20"));
  ASSERT_TRUE(Shell("xdotool keydown a"));
  EXPECT_TRUE(WaitFor("down " + std::to_string(c.down)));
  ASSERT_TRUE(Shell("xdotool keyup a"));
  ASSERT_TRUE(WaitFor("type"));
  ASSERT_TRUE(Shell("xdotool type --delay 20 'Hi, qavz! \xE3\x81\x82.'"));
  ASSERT_TRUE(WaitFor("typed Hi, qavz! \xE3\x81\x82"));  // shown as UTF-8 again
  std::string lines = test::ReadFile(out);
  EXPECT_NE(lines.find("byte -126\nbyte -96\n"), std::string::npos) << lines;
  // A double click and a wheel notch away from the user: both presses and
  // the double click stay flagged until acknowledged, no button is held.
  ASSERT_TRUE(WaitFor("click"));
  ASSERT_TRUE(
      Shell("xdotool mousemove --window " + window + " 100 50 click --repeat 2 --delay 80 1 click 4"));
  EXPECT_TRUE(WaitFor("point 100 50 120 " + std::to_string(0x10000 | 0x1000000))) << test::ReadFile(out);
}

INSTANTIATE_TEST_SUITE_P(InputKey, Typing,
                         testing::Values(TypingCase{0, 0x41, 0x81}, TypingCase{1, 0x1E, 0x80}));

}  // namespace
}  // namespace qavz
