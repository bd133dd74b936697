// A headless run fed with the events a user would cause: the script sees a
// held key through getkey in the numbering the configuration chose, typed
// text and keys through key_get, and the pointer in page coordinates
// through getpoint.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "host/runtime.h"
#include "host/script_threads.h"
#include "platform/video.h"
#include "tests/support/temp_files.h"

namespace qavz {
namespace {

using namespace std::chrono_literals;
using platform::Event;
using platform::EventKind;

constexpr char kScript[] = R"(#include "natives.h"
char keys[256];
int point[4];
int main()
{
    int index, t, n, c;
    index = ini_geti("Test", "Index", 0);
    for (t = 0; t < 5000 && !(keys[index] & 0x80); t++) {
        getkey(keys);
        sleep(1);
    }
    log_out("down %d", keys[index] & 0xFF);
    for (t = 0; t < 5000 && (keys[index] & 0x80); t++) {
        getkey(keys);
        sleep(1);
    }
    log_out("up %d", keys[index] & 0xFF);
    n = 0;
    for (t = 0; t < 5000 && n < 4; t++) {
        c = key_get();
        if (c) {
            log_out("char %d", c);
            n++;
        } else {
            sleep(1);
        }
    }
    getpoint(point);
    log_out("point %d %d %d", point[0], point[1], point[3]);
    return n;
}
)";

void Push(Event event) { platform::PushNullEvent(event); }

Event Of(EventKind kind) {
  Event e;
  e.kind = kind;
  return e;
}

Event KeyEvent(EventKind kind, uint16_t usage) {
  Event e = Of(kind);
  e.scancode = usage;
  return e;
}

struct RunCase {
  int input;
  int index;
  int down, up;  // the key's byte while held and after
};
void PrintTo(const RunCase& c, std::ostream* os) { *os << "Input=" << c.input; }

class ScriptedInput : public testing::TestWithParam<RunCase> {};

TEST_P(ScriptedInput, KeysTextAndPointerReachTheScript) {
  const RunCase& c = GetParam();
  test::TempDir dir;
  test::WriteFile(dir / "GAME.cfg", "[General]\nInput=" + std::to_string(c.input) +
                                        "\nWidth=640\nHeight=480\n[Test]\nIndex=" + std::to_string(c.index) +
                                        "\n");
  test::WriteFile(dir / "GAME/natives.h", test::ReadFile(QAVZ_SOURCE_DIR "/include/natives.h"));
  test::WriteFile(dir / "GAME/GAME.c", kScript);
  std::thread user([] {
    for (int i = 0; i < 500 && RunningThreadCount() == 0; ++i) std::this_thread::sleep_for(10ms);
    Event resized = Of(EventKind::kResized);
    resized.width = 320;
    resized.height = 240;
    Push(resized);
    Event move = Of(EventKind::kMouseMove);
    move.width = 160;
    move.height = 60;
    Push(move);
    Event press = Of(EventKind::kMouseDown);
    press.key = 1;
    press.width = 160;
    press.height = 60;
    Push(press);
    Push(KeyEvent(EventKind::kKeyDown, 0x04));  // A
    std::this_thread::sleep_for(100ms);
    Event text = Of(EventKind::kText);
    text.text = "a";
    Push(text);
    text.text = "\xE3\x81\x82";  // hiragana A: 0x82 0xA0
    Push(text);
    Push(KeyEvent(EventKind::kKeyUp, 0x04));
    Push(KeyEvent(EventKind::kKeyDown, 0x28));  // Enter types 13 by itself
  });
  testing::internal::CaptureStdout();
  RunOptions options;
  options.headless = true;
  std::filesystem::path cwd = std::filesystem::current_path();
  RunRuntime(DerivePaths(dir / "GAME.EXE"), options);
  std::filesystem::current_path(cwd);  // the run moved into the title's folder, which goes
  std::string out = testing::internal::GetCapturedStdout();
  user.join();
  EXPECT_EQ(out, "down " + std::to_string(c.down) + "\nup " + std::to_string(c.up) +
                     "\nchar 97\nchar -126\nchar -96\nchar 13\npoint 320 120 65537\n");
  EXPECT_EQ(MainResult(), 4);
}

INSTANTIATE_TEST_SUITE_P(InputKey, ScriptedInput,
                         testing::Values(RunCase{0, 0x41, 0x81, 0x01},    // virtual key, toggled by the press
                                         RunCase{1, 0x1E, 0x80, 0x00}));  // scan code

}  // namespace
}  // namespace qavz
