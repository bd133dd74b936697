// The main window of a headless run, in this process: update and setorg from
// a script, the scaled update rectangle, snapshots, the debug output window,
// Alt+Enter and the display-mode switch with its pauses and media hook, the
// maximise command and dropped files.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/display_switch.h"
#include "graphics/pages.h"
#include "graphics/plane.h"
#include "host/debug_window.h"
#include "host/display_mode.h"
#include "host/runtime.h"
#include "host/script_threads.h"
#include "platform/snapshot.h"
#include "platform/video.h"
#include "tests/support/temp_files.h"

namespace qavz {
namespace {

using namespace std::chrono_literals;
using platform::EventKind;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// The page plane 0 holds while the script runs: a colour of its own for
// every pixel, 24 bits.
uint32_t PageColour(int32_t x, int32_t y) { return 0x800000u | uint32_t(y & 255) << 8 | uint32_t(x & 255); }

void FillPageZero() {
  Plane* page = PlaneAt(0);
  if (!page) page = CreatePlane(0, TheConfig().width, TheConfig().height, 24);
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(page->depth, 24);
  for (int32_t y = 0; y < page->height; ++y)
    for (int32_t x = 0; x < page->width; ++x) {
      uint8_t* p = page->Pixel(x, y);
      uint32_t c = PageColour(x, y);
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
    }
}

// Things seen while the run was on, recorded from the window thread.
std::mutex gSeenMutex;
std::vector<std::string> gSeen;
DebugListState gDebugAtExit;
std::string gDebugLineAtExit;

void See(const std::string& what) {
  std::lock_guard lock(gSeenMutex);
  gSeen.push_back(what);
}

// Plane 0 is filled once the services have started (the display set-up may
// have made a new one); the debug list is taken before the exit sequence.
void Observe(const char* step) {
  std::string name = step;
  if (name == "colour tables") FillPageZero();
  if (name == "stop media") {
    gDebugAtExit = DebugList();
    gDebugLineAtExit = DebugLine(2);
  }
}

void SeeBefore() {
  See("before full=" + std::to_string(IsFullScreen()) + " suspend=" + std::to_string(ThreadSuspendCount(0)));
}
void SeeAfter() {
  See("after full=" + std::to_string(IsFullScreen()) + " suspend=" + std::to_string(ThreadSuspendCount(0)));
}

void Push(EventKind kind, uint8_t key = 0, uint8_t modifiers = 0) {
  platform::Event event;
  event.kind = kind;
  event.key = key;
  event.modifiers = modifiers;
  platform::PushNullEvent(event);
}

template <typename Done>
bool WaitUntil(Done done) {
  for (int i = 0; i < 1000 && !done(); ++i) std::this_thread::sleep_for(10ms);
  return done();
}

class WindowView : public testing::Test {
 protected:
  void SetUp() override {
    gSeen.clear();
    gDebugAtExit = {};
    SetStepObserver(Observe);
    SetDisplaySwitchSettle(0);
    cwd = std::filesystem::current_path();
  }
  void TearDown() override {
    SetStepObserver(nullptr);
    SetDisplaySwitchSettle(500);
    std::filesystem::current_path(cwd);
    FreePlane(0);
    Display().originX.store(0);
  }
  // Runs GAME with `config` and `body` (the script after the natives).
  int Run(const std::string& config, const std::string& body, const std::string& snapshot = "") {
    WriteFile(dir / "GAME.cfg", "[General]\nDepth=24\n" + config);
    WriteFile(dir / "GAME/natives.h", ReadFile(QAVZ_SOURCE_DIR "/include/natives.h"));
    WriteFile(dir / "GAME/GAME.c", "#include \"natives.h\"\n" + body);
    RunOptions options;
    options.headless = true;
    options.snapshot = snapshot;
    options.runCommand = true;
    options.printResult = false;
    return RunRuntime(DerivePaths(dir / "GAME.EXE"), options);
  }
  uint32_t FramePixel(int32_t x, int32_t y) {
    const platform::Frame& frame = platform::WindowFrame(platform::kMainWindow);
    return frame.pixels[size_t(y) * size_t(frame.width) + size_t(x)];
  }
  platform::FrameBox LastClient() { return platform::NullPresented(platform::kMainWindow).last.client; }

  TempDir dir;
  std::filesystem::path cwd;
};

// update returns 1 once the area is painted, 0 for a rectangle outside the
// page area, and repaints only the part that shows the rectangle.
TEST_F(WindowView, UpdatePaintsThePagesRectangleBeforeReturning) {
  int status = Run("", R"(
    int main() {
      int r[4], inside, outside, whole;
      sleep(200);
      r[0] = 700; r[1] = 0; r[2] = 800; r[3] = 10;
      outside = update(r);
      whole = update(0);
      r[0] = 5; r[1] = 6; r[2] = 30; r[3] = 20;
      inside = update(r);
      return inside * 100 + outside * 10 + whole;
    })");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainResult(), 101) << "inside, outside, whole";
  platform::FrameBox client = LastClient();
  EXPECT_EQ(client.left, 5);
  EXPECT_EQ(client.top, 6);
  EXPECT_EQ(client.right, 30);
  EXPECT_EQ(client.bottom, 20);
  for (int32_t y : {0, 100, 479})
    for (int32_t x : {0, 17, 639}) EXPECT_EQ(FramePixel(x, y), PageColour(x, y)) << x << "," << y;
}

// With Width 640 and a client area of 1280 x 960, update of (10, 10, 20, 20)
// paints the client area (20, 20, 41, 41), the page stretched over it.
TEST_F(WindowView, UpdateOfAScaledWindowPaintsTheScaledRectangle) {
  platform::Event resize;
  resize.kind = EventKind::kResized;
  resize.width = 1280;
  resize.height = 960;
  std::thread user([&] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    platform::PushNullEvent(resize);
  });
  int status = Run("Resize=1\n", R"(
    int main() {
      int r[4];
      sleep(300);
      r[0] = 10; r[1] = 10; r[2] = 20; r[3] = 20;
      return update(r);
    })");
  user.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainResult(), 1);
  platform::NullPresentRecord record = platform::NullPresented(platform::kMainWindow);
  EXPECT_EQ(record.last.placement, platform::FramePlacement::kStretch);
  EXPECT_EQ(record.last.client.left, 20);
  EXPECT_EQ(record.last.client.top, 20);
  EXPECT_EQ(record.last.client.right, 41);
  EXPECT_EQ(record.last.client.bottom, 41);
}

// setorg(16, 0) then update: page columns 16..639 at client 0..623, black
// at 624..639; the snapshot holds the same picture.
TEST_F(WindowView, SetorgShiftsThePictureAndTheSnapshotShowsIt) {
  std::string png = dir / "shot.png";
  int status = Run("", "int main() { setorg(16, 0); return update(0); }", png);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainResult(), 1);
  platform::Frame shot;
  std::string error;
  ASSERT_TRUE(platform::ReadPng(png, &shot, &error)) << error;
  ASSERT_EQ(shot.width, 640);
  ASSERT_EQ(shot.height, 480);
  for (int32_t y : {0, 200, 479}) {
    for (int32_t x = 0; x < 624; ++x) ASSERT_EQ(shot.pixels[size_t(y) * 640 + x], PageColour(x + 16, y)) << x;
    for (int32_t x = 624; x < 640; ++x) ASSERT_EQ(shot.pixels[size_t(y) * 640 + x], 0u) << x;
  }
  EXPECT_EQ(shot.pixels, platform::WindowFrame(platform::kMainWindow).pixels);
}

// F12 saves the picture into the user's pictures folder, named after the
// title; a key held down saves once.
TEST_F(WindowView, F12SavesASnapshotIntoThePicturesFolder) {
  std::string pictures = dir / "Pictures here";
  setenv("XDG_PICTURES_DIR", pictures.c_str(), 1);
  std::thread user([] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    std::this_thread::sleep_for(200ms);
    Push(EventKind::kKeyDown, platform::kVkF12);
    Push(EventKind::kKeyDown, platform::kVkF12, platform::kModRepeat);
    std::this_thread::sleep_for(300ms);
    Push(EventKind::kClose);
  });
  EXPECT_EQ(Run("", "int main() { update(0); for (;;) sleep(5); return 0; }"), 0);
  user.join();
  unsetenv("XDG_PICTURES_DIR");
  std::vector<std::filesystem::path> saved;
  for (const auto& entry : std::filesystem::directory_iterator(pictures)) saved.push_back(entry.path());
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].filename().string().substr(0, 5), "GAME-");
  EXPECT_EQ(saved[0].extension(), ".png");
  platform::Frame shot;
  ASSERT_TRUE(platform::ReadPng(saved[0].string(), &shot, nullptr));
  EXPECT_EQ(shot.pixels[size_t(7) * 640 + 9], PageColour(9, 7));
}

TEST_F(WindowView, ASnapshotThatCannotBeWrittenFailsTheRun) {
  EXPECT_EQ(Run("", "int main() { return 0; }", dir / "no/such/folder/shot.png"), kStatusSnapshotFailed);
}

// log_out appends, the widest line sets the extent to its width + 5,
// log_clear empties the list; F8 shows the window.
TEST_F(WindowView, DebugOutputWindowTakesTheLinesAndF8ShowsIt) {
  std::thread user([] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    Push(EventKind::kKeyDown, platform::kVkF8);
  });
  int status = Run("DebugMode=1\n", R"(
    int main() {
      int a, b;
      log_out("one");
      log_out("a longer line");
      log_out("two");
      a = log_clear();
      log_out("after %d", a);
      b = log_out("wide wide wide");
      log_out("Mixed: \x83\x51\x81\x5B\x83\x80 ok");
      log_out("abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 !?.,;:'+-*/=<>");
      log_out("x");
      sleep(300);
      return b;
    })");
  user.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(MainResult(), 1);
  EXPECT_EQ(gDebugAtExit.lines, 5u);
  // Drawn wider than the list (and clipped to it); 79 characters of 8 pixels.
  EXPECT_EQ(gDebugAtExit.widest, 79 * 8);
  EXPECT_EQ(gDebugAtExit.extent, 79 * 8 + 5);
  EXPECT_EQ(gDebugLineAtExit, "Mixed: ゲーム ok") << "Shift-JIS comes as UTF-8";
  EXPECT_TRUE(gDebugAtExit.shown);
  EXPECT_GT(platform::NullPresented(platform::kDebugWindow).count, 0u) << "shown, so drawn";
}

TEST_F(WindowView, WithoutDebugModeTheLogNativesReportNoWindow) {
  // Headless, standard output stands in for the window.
  EXPECT_EQ(Run("", "int main() { return log_out(\"x\") * 10 + log_clear(); }"), 0);
  EXPECT_EQ(MainResult(), 11);
  EXPECT_EQ(gDebugAtExit.lines, 0u) << "no debug window without DebugMode";
}

// Alt+Enter twice: full screen and back, each switch with everything paused
// around the media hook.
TEST_F(WindowView, AltEnterSwitchesWithEverythingPausedAroundTheHook) {
  DisplaySwitchHook hook{SeeBefore, SeeAfter};
  ASSERT_TRUE(AddDisplaySwitchHook(hook));
  std::thread user([] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    Push(EventKind::kKeyUp, platform::kVkReturn, platform::kModAlt);
    WaitUntil([] { return IsFullScreen(); });
    Push(EventKind::kKeyUp, platform::kVkReturn);  // Enter alone does nothing
    Push(EventKind::kKeyUp, platform::kVkReturn, platform::kModAlt);
    WaitUntil([] {
      std::lock_guard lock(gSeenMutex);
      return gSeen.size() >= 4;
    });
    See("end suspend=" + std::to_string(ThreadSuspendCount(0)));
    Push(EventKind::kClose);
  });
  int status = Run("Draw=1\n", "int main() { for (;;) sleep(5); return 0; }");
  user.join();
  RemoveDisplaySwitchHook(hook);
  EXPECT_EQ(status, 0);
  std::vector<std::string> expected = {"before full=0 suspend=1", "after full=1 suspend=1",
                                       "before full=1 suspend=1", "after full=0 suspend=1", "end suspend=0"};
  EXPECT_EQ(gSeen, expected);
}

// Our own key chooses how full screen fills the screen; the page is shown
// one to one into the frame either way.
struct ScaleCase {
  const char* config;
  platform::FullScreenScale scale;
};
class WindowScale : public WindowView, public testing::WithParamInterface<ScaleCase> {};

TEST_P(WindowScale, FullScreenScaleKeyPicksTheScaling) {
  std::atomic<bool> full{false};
  platform::NullPresentRecord record;
  std::thread user([&] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    Push(EventKind::kKeyUp, platform::kVkReturn, platform::kModAlt);
    full = WaitUntil([] { return platform::NullPresented(platform::kMainWindow).fullScreen; });
    record = platform::NullPresented(platform::kMainWindow);
    Push(EventKind::kClose);
  });
  EXPECT_EQ(Run(GetParam().config, "int main() { for (;;) sleep(5); return 0; }"), 0);
  user.join();
  EXPECT_TRUE(full.load());
  EXPECT_EQ(record.scale, GetParam().scale);
  EXPECT_EQ(record.last.placement, platform::FramePlacement::kOneToOne);
}

INSTANTIATE_TEST_SUITE_P(Keys, WindowScale,
                         testing::Values(ScaleCase{"Draw=1\n", platform::FullScreenScale::kFit},
                                         ScaleCase{"Draw=1\n[qavz]\nFullScreenScale=Stretch\n",
                                                   platform::FullScreenScale::kStretch},
                                         ScaleCase{"Draw=1\n[qavz]\nFullScreenScale=fit\n",
                                                   platform::FullScreenScale::kFit}));

TEST_F(WindowView, WithoutTheDisplayModeObjectAltEnterDoesNothing) {
  DisplaySwitchHook hook{SeeBefore, SeeAfter};
  AddDisplaySwitchHook(hook);
  std::thread user([] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    Push(EventKind::kKeyUp, platform::kVkReturn, platform::kModAlt);
    std::this_thread::sleep_for(200ms);
    Push(EventKind::kClose);
  });
  EXPECT_EQ(Run("", "int main() { for (;;) sleep(5); return 0; }"), 0);
  user.join();
  RemoveDisplaySwitchHook(hook);
  EXPECT_TRUE(gSeen.empty());
}

// The maximise command goes full screen without "Resize", and stays a
// window's business with it.
struct MaximiseCase {
  const char* config;
  bool fullScreen;
};
class WindowMaximise : public WindowView, public testing::WithParamInterface<MaximiseCase> {};

TEST_P(WindowMaximise, GoesFullScreenOnlyWithoutResize) {
  std::atomic<int> fullAfter{-1};
  std::thread user([&] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    Push(EventKind::kMaximized);
    std::this_thread::sleep_for(300ms);
    fullAfter = IsFullScreen() ? 1 : 0;
    Push(EventKind::kClose);
  });
  EXPECT_EQ(Run(GetParam().config, "int main() { for (;;) sleep(5); return 0; }"), 0);
  user.join();
  EXPECT_EQ(fullAfter.load(), GetParam().fullScreen ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Configs, WindowMaximise,
                         testing::Values(MaximiseCase{"Draw=1\n", true},
                                         MaximiseCase{"Draw=1\nResize=1\n", false}, MaximiseCase{"", false}));

// Dropped files in debug mode stop the program and compile each ".c" file
// (any letter case) as a check; Shift asks for the listing.
struct DropCase {
  const char* config;
  uint8_t modifiers;
  bool listing;
  bool stops;
};
class WindowDrop : public WindowView, public testing::WithParamInterface<DropCase> {};

TEST_P(WindowDrop, CompilesDroppedSourcesWithTheListingSwitches) {
  WriteFile(dir / "drop/CHECK.C", "int main() { return 1 + 2; }\n");
  WriteFile(dir / "drop/NOTES.txt", "not a program\n");
  std::atomic<int> running{-1};
  std::thread user([&] {
    WaitUntil([] { return RunningThreadCount() > 0; });
    platform::Event drop;
    drop.kind = EventKind::kDropFiles;
    drop.modifiers = GetParam().modifiers;
    drop.files = {dir / "drop/CHECK.C", dir / "drop/NOTES.txt"};
    platform::PushNullEvent(drop);
    if (GetParam().stops) WaitUntil([] { return RunningThreadCount() == 0; });
    std::this_thread::sleep_for(300ms);
    running = RunningThreadCount();
    Push(EventKind::kClose);
  });
  EXPECT_EQ(Run(GetParam().config, "int main() { for (;;) sleep(5); return 0; }"), 0);
  user.join();
  EXPECT_EQ(running.load(), GetParam().stops ? 0 : 1);
  EXPECT_EQ(std::filesystem::exists(dir / "CHECK.txt"), GetParam().listing);
  EXPECT_FALSE(std::filesystem::exists(dir / "NOTES.txt"));
  if (GetParam().listing && (GetParam().modifiers & platform::kModCtrl)) {
    EXPECT_NE(ReadFile(dir / "CHECK.txt").find("*\tint main() { return 1 + 2; }"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Modifiers, WindowDrop,
                         testing::Values(DropCase{"DebugMode=1\n", 0, false, true},
                                         DropCase{"DebugMode=1\n", platform::kModShift, true, true},
                                         DropCase{"DebugMode=1\n", platform::kModShift | platform::kModCtrl,
                                                  true, true},
                                         DropCase{"", platform::kModShift, false, false}));

}  // namespace
}  // namespace qavz
