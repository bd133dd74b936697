// The main window's picture as another X client sees it: a run in this
// process on the SDL driver, its plane 0 filled once the services started,
// a script calling update and setorg, and screenshots taken with XGetImage.
// Also the window's minimum size, the stretched picture of a resized
// window, Alt+Enter twice and the debug output window. Skipped without a
// display (CI starts Xvfb).
#include <gtest/gtest.h>
// Xlib after GoogleTest: its None and Bool macros clash with GoogleTest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "core/config.h"
#include "graphics/pages.h"
#include "graphics/plane.h"
#include "host/display_mode.h"
#include "host/message_queue.h"
#include "host/runtime.h"
#include "host/script_threads.h"
#include "tests/support/temp_files.h"
#include "tests/support/wait_for.h"

namespace qavz {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

uint32_t PageColour(int32_t x, int32_t y) {
  return 0x400000u | uint32_t((y * 2) & 255) << 8 | uint32_t((x * 2) & 255);
}

// Plane 0 gets its picture once the services have started.
void Observe(const char* step) {
  if (std::string(step) != "colour tables") return;
  Plane* page = PlaneAt(0);
  if (!page) page = CreatePlane(0, TheConfig().width, TheConfig().height, 24);
  if (!page || page->depth != 24) return;
  for (int32_t y = 0; y < page->height; ++y)
    for (int32_t x = 0; x < page->width; ++x) {
      uint8_t* p = page->Pixel(x, y);
      uint32_t c = PageColour(x, y);
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
    }
}

int IgnoreXErrors(::Display*, XErrorEvent*) { return 0; }

using test::WaitFor;

class WindowPicture : public testing::Test {
 protected:
  void SetUp() override {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name || !(display = XOpenDisplay(nullptr))) GTEST_SKIP() << "no X display";
    XSetErrorHandler(IgnoreXErrors);
    SetStepObserver(Observe);
    SetDisplaySwitchSettle(50);
    cwd = std::filesystem::current_path();
  }
  void TearDown() override {
    if (!display) return;
    SetStepObserver(nullptr);
    SetDisplaySwitchSettle(500);
    std::filesystem::current_path(cwd);
    FreePlane(0);
    qavz::Display().originX.store(0);
    XCloseDisplay(display);
  }

  // Runs the title in this process while `user` looks at it from another
  // thread; the window closes when `user` returns.
  void Run(const std::string& config, const std::string& body, const std::function<void()>& user) {
    // Pause off: another test's window on the same display may take the
    // focus, and a paused title would never draw.
    WriteFile(dir / "PIC.cfg", "[General]\nMultipleRunning=1\nPause=0\nDepth=24\n" + config);
    WriteFile(dir / "PIC/natives.h", ReadFile(QAVZ_SOURCE_DIR "/include/natives.h"));
    WriteFile(dir / "PIC/PIC.c", "#include \"natives.h\"\n" + body);
    std::thread looker([&] {
      user();
      PostMainMessage(Message{kMsgClose, 0, 0, {}});
    });
    RunOptions options;
    RunRuntime(DerivePaths(dir / "PIC.EXE"), options);
    looker.join();
  }

  // The top-level window of this process captioned `caption`.
  ::Window Find(const std::string& caption) {
    ::Window root, parent, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    XSync(display, False);
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(display, children[i], &name) && name && caption == name) found = children[i];
      if (name) XFree(name);
    }
    if (children) XFree(children);
    return found;
  }
  ::Window WaitForWindow(const std::string& caption) {
    ::Window w = 0;
    WaitFor([&] { return (w = Find(caption)) != 0 && Viewable(w); });
    return w;
  }
  bool Viewable(::Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(display, w, &a) && a.map_state == IsViewable;
  }
  XWindowAttributes Attributes(::Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(display, w, &a);
    return a;
  }
  void Origin(::Window w, int* x, int* y) {
    ::Window child;
    XTranslateCoordinates(display, w, DefaultRootWindow(display), 0, 0, x, y, &child);
  }

  // True when every pixel of the window's client area is what `want`
  // says, as XGetImage reads it.
  bool Shows(::Window w, int width, int height, const std::function<uint32_t(int, int)>& want) {
    XSync(display, False);
    XImage* image = XGetImage(display, w, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return false;
    bool same = true;
    for (int y = 0; y < height && same; ++y)
      for (int x = 0; x < width && same; ++x) same = (XGetPixel(image, x, y) & 0xFFFFFF) == want(x, y);
    XDestroyImage(image);
    return same;
  }
  uint32_t PixelAt(::Window w, int x, int y) {
    XImage* image = XGetImage(display, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFF;
    uint32_t pixel = uint32_t(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
  }

  bool WindowManagerRuns() {
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display),
                       XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False, AnyPropertyType,
                       &type, &format, &count, &after, &data);
    if (data) XFree(data);
    return count > 0;
  }

  void SendKey(::Window w, KeySym symbol, bool press, unsigned state) {
    XKeyEvent e{};
    e.type = press ? KeyPress : KeyRelease;
    e.display = display;
    e.window = w;
    e.root = DefaultRootWindow(display);
    e.subwindow = 0;
    e.time = CurrentTime;
    e.same_screen = True;
    e.keycode = XKeysymToKeycode(display, symbol);
    e.state = state;
    XSendEvent(display, w, True, press ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
    XFlush(display);
  }
  void AltEnter(::Window w) {
    SendKey(w, XK_Alt_L, true, 0);
    SendKey(w, XK_Return, true, Mod1Mask);
    SendKey(w, XK_Return, false, Mod1Mask);
    SendKey(w, XK_Alt_L, false, Mod1Mask);
  }

  ::Display* display = nullptr;
  TempDir dir;
  std::filesystem::path cwd;
};

constexpr char kIdle[] = "int main() { update(0); for (;;) sleep(10); return 0; }";

TEST_F(WindowPicture, UpdateShowsThePagePixelForPixel) {
  bool shown = false;
  Run("Title=Picture\nWidth=160\nHeight=120\n", kIdle, [&] {
    ::Window w = WaitForWindow("Picture");
    ASSERT_NE(w, 0u) << "no window";
    shown = WaitFor([&] { return Shows(w, 160, 120, PageColour); });
  });
  EXPECT_TRUE(shown) << "the window does not show plane 0";
}

// The script draws plane 0 itself, through the address ginfo gives it.
TEST_F(WindowPicture, AScriptFillsPageZeroThroughGinfoAndUpdateShowsIt) {
  bool shown = false, noPage = false;
  Run("Title=Drawn\nWidth=160\nHeight=120\n", R"(
    int info[5];
    int main() {
      int x, y;
      char *p;
      if (!ginfo(0, info) || info[3] == 0 || info[2] != 24)
        return 7;
      for (y = 0; y < info[1]; y++)
        for (x = 0; x < info[0]; x++) {
          p = (char *)(info[3] + y * info[4] + x * 3);
          p[0] = x * 3;
          p[1] = y * 5;
          p[2] = 0x20;
        }
      update(0);
      for (;;)
        sleep(10);
      return 0;
    })",
      [&] {
        ::Window w = WaitForWindow("Drawn");
        ASSERT_NE(w, 0u);
        auto drawn = [](int x, int y) {
          return 0x200000u | uint32_t((y * 5) & 255) << 8 | uint32_t((x * 3) & 255);
        };
        WaitFor([&] {
          noPage = CurrentRunOutcome() == RunOutcome::kEnded && MainResult() == 7;
          return noPage || (shown = Shows(w, 160, 120, drawn));
        });
      });
  if (noPage) GTEST_SKIP() << "ginfo gives no page 0 yet";
  EXPECT_TRUE(shown) << "the window does not show what the script drew";
}

TEST_F(WindowPicture, SetorgLeavesABlackStripOnTheRight) {
  bool shown = false;
  Run("Title=Shifted\nWidth=160\nHeight=120\n",
      "int main() { setorg(16, 0); update(0); for (;;) sleep(10); return 0; }", [&] {
        ::Window w = WaitForWindow("Shifted");
        ASSERT_NE(w, 0u);
        shown = WaitFor([&] {
          return Shows(w, 160, 120, [](int x, int y) { return x < 144 ? PageColour(x + 16, y) : 0u; });
        });
      });
  EXPECT_TRUE(shown);
}

// A window resized to twice the page's size shows the page stretched; it
// cannot be made smaller than a quarter of each side.
TEST_F(WindowPicture, AResizedWindowShowsThePageStretchedAndKeepsItsMinimum) {
  bool stretched = false;
  long minWidth = -1, minHeight = -1;
  Run("Title=Sized\nWidth=160\nHeight=120\nResize=1\n", kIdle, [&] {
    ::Window w = WaitForWindow("Sized");
    ASSERT_NE(w, 0u);
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(display, w, &hints, &supplied) && (hints.flags & PMinSize)) {
      minWidth = hints.min_width;
      minHeight = hints.min_height;
    }
    XResizeWindow(display, w, 320, 240);
    XSync(display, False);
    stretched =
        WaitFor([&] { return Shows(w, 320, 240, [](int x, int y) { return PageColour(x / 2, y / 2); }); });
  });
  EXPECT_TRUE(stretched);
  EXPECT_EQ(minWidth, 40);
  EXPECT_EQ(minHeight, 30);
}

// Alt+Enter goes full screen (the page scaled into the screen) and Alt+Enter
// again brings the window back to its place and size.
TEST_F(WindowPicture, AltEnterTwiceReturnsTheWindowToItsPlace) {
  int x0 = -1, y0 = -1, x2 = -2, y2 = -2, width2 = 0, height2 = 0, fullWidth = 0, fullHeight = 0;
  bool full = false;
  Run("Title=Switch\nWidth=160\nHeight=120\nDraw=1\n", kIdle, [&] {
    ::Window w = WaitForWindow("Switch");
    ASSERT_NE(w, 0u);
    WaitFor([&] { return Shows(w, 160, 120, PageColour); });
    Origin(w, &x0, &y0);
    AltEnter(w);
    full = WaitFor([&] { return IsFullScreen(); });
    std::this_thread::sleep_for(300ms);
    XWindowAttributes a = Attributes(w);
    fullWidth = a.width;
    fullHeight = a.height;
    AltEnter(w);
    WaitFor([&] { return !IsFullScreen(); });
    WaitFor([&] {
      Origin(w, &x2, &y2);
      XWindowAttributes a = Attributes(w);
      width2 = a.width;
      height2 = a.height;
      return x2 == x0 && y2 == y0 && width2 == 160 && height2 == 120;
    });
  });
  EXPECT_TRUE(full) << "Alt+Enter did not switch to full screen";
  // Only a window manager makes a window full screen; a bare server leaves
  // it as it is.
  if (WindowManagerRuns()) {
    EXPECT_EQ(fullWidth, DisplayWidth(display, DefaultScreen(display)));
    EXPECT_EQ(fullHeight, DisplayHeight(display, DefaultScreen(display)));
  }
  EXPECT_EQ(x2, x0);
  EXPECT_EQ(y2, y0);
  EXPECT_EQ(width2, 160);
  EXPECT_EQ(height2, 120);
}

// The debug output window starts hidden; F8 shows it with its list.
TEST_F(WindowPicture, F8ShowsTheDebugOutputWindow) {
  bool hiddenAtFirst = false, shownByF8 = false, hiddenAgain = false;
  uint32_t listPaper = 0;
  Run("Title=Debugging\nWidth=160\nHeight=120\nDebugMode=1\n",
      "int main() { log_out(\"hello\"); for (;;) sleep(10); return 0; }", [&] {
        ::Window w = WaitForWindow("Debugging");
        ASSERT_NE(w, 0u);
        ::Window debug = 0;
        WaitFor([&] { return (debug = Find("Debug Output")) != 0; });
        ASSERT_NE(debug, 0u) << "no debug output window";
        hiddenAtFirst = !Viewable(debug);
        SendKey(w, XK_F8, true, 0);
        SendKey(w, XK_F8, false, 0);
        shownByF8 = WaitFor([&] { return Viewable(debug); });
        WaitFor([&] { return (listPaper = PixelAt(debug, 20, 60)) == 0xFFFFFF; });
        SendKey(debug, XK_F8, true, 0);
        SendKey(debug, XK_F8, false, 0);
        hiddenAgain = WaitFor([&] { return !Viewable(debug); });
      });
  EXPECT_TRUE(hiddenAtFirst);
  EXPECT_TRUE(shownByF8);
  EXPECT_EQ(listPaper, 0xFFFFFFu) << "the list box's white paper";
  EXPECT_TRUE(hiddenAgain) << "F8 in the debug window hides it";
}

}  // namespace
}  // namespace qavz
