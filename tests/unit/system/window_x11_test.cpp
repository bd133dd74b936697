// The system natives as another X client sees them: a title run in this
// process on the SDL driver, keys sent to its window as xdotool sends them
// (X key events to the window), and its caption and outline read back. The
// menu bar is chosen from by keyboard and the script sees the command; the
// window's outline follows setrgn. Skipped without a display (CI starts
// Xvfb).
#include <gtest/gtest.h>
// Xlib after GoogleTest: its None and Bool macros clash with GoogleTest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "host/message_queue.h"
#include "host/runtime.h"
#include "tests/support/temp_files.h"
#include "tests/support/wait_for.h"

namespace qavz {
namespace {

using namespace std::chrono_literals;

int IgnoreXErrors(::Display*, XErrorEvent*) { return 0; }

using test::WaitFor;

class WindowX11 : public testing::Test {
 protected:
  void SetUp() override {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name || !(display = XOpenDisplay(nullptr))) GTEST_SKIP() << "no X display";
    XSetErrorHandler(IgnoreXErrors);
    cwd = std::filesystem::current_path();
  }
  void TearDown() override {
    if (!display) return;
    std::filesystem::current_path(cwd);
    XCloseDisplay(display);
  }

  // Runs the title in this process while `user` looks at it from another
  // thread; the window closes when `user` returns.
  void Run(const std::string& config, const std::string& body, const std::function<void()>& user) {
    // Pause off: another test's window on the same display may take the
    // focus, and a paused title would stop before it gets anywhere.
    test::WriteFile(dir / "SYS.cfg", "[General]\nMultipleRunning=1\nPause=0\n" + config);
    test::WriteFile(dir / "SYS/natives.h", test::ReadFile(QAVZ_SOURCE_DIR "/include/natives.h"));
    test::WriteFile(dir / "SYS/SYS.c", "#include \"natives.h\"\n" + body);
    std::thread looker([&] {
      user();
      PostMainMessage(Message{kMsgClose, 0, 0, {}});
    });
    RunOptions options;
    RunRuntime(DerivePaths(dir / "SYS.EXE"), options);
    looker.join();
  }

  // The _NET_WM_PID of a window, or -1.
  long Pid(::Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, w, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success &&
        data && count == 1)
      pid = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return pid;
  }

  // The viewable top-level window of this process captioned `caption`, waited for (a start
  // on a busy machine may take long): the script sets the caption when it
  // has got that far.
  ::Window WaitForCaption(const std::string& caption, std::chrono::milliseconds limit = 30s) {
    ::Window found = 0;
    WaitFor(
        [&] {
          ::Window root, parent, *children = nullptr;
          unsigned count = 0;
          XSync(display, False);
          if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return false;
          for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            XWindowAttributes a;
            if (Pid(children[i]) == getpid() && XFetchName(display, children[i], &name) && name &&
                caption == name && XGetWindowAttributes(display, children[i], &a) &&
                a.map_state == IsViewable)
              found = children[i];
            if (name) XFree(name);
          }
          if (children) XFree(children);
          return found != 0;
        },
        limit);
    // Into the corner, off the centre where the other window tests on the
    // same display take their screenshots.
    if (found) {
      XMoveWindow(display, found, 0, 0);
      XSync(display, False);
    }
    return found;
  }

  // Sends `keys` to the focused window until the script shows `caption`:
  // other clients of a shared display may take the focus meanwhile, which
  // ends the menu's tracking as it should, so a lost attempt is made again
  // (Esc first ends what it left open).
  bool KeysUntil(::Window w, const std::function<void()>& keys, const std::string& caption) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      XSetInputFocus(display, w, RevertToParent, CurrentTime);
      Tap(w, XK_Escape);
      Tap(w, XK_Escape);
      keys();
      if (WaitForCaption(caption, 2s)) return true;
    }
    return false;
  }

  void SendKey(::Window w, KeySym symbol, bool press, unsigned state) {
    XKeyEvent e{};
    e.type = press ? KeyPress : KeyRelease;
    e.display = display;
    e.window = w;
    e.root = DefaultRootWindow(display);
    e.time = CurrentTime;
    e.same_screen = True;
    e.keycode = XKeysymToKeycode(display, symbol);
    e.state = state;
    XSendEvent(display, w, True, press ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
    XFlush(display);
  }
  void Tap(::Window w, KeySym symbol, unsigned state = 0) {
    SendKey(w, symbol, true, state);
    SendKey(w, symbol, false, state);
  }
  // Alt held round `symbol`: the access key of a bar item.
  void AltKey(::Window w, KeySym symbol) {
    SendKey(w, XK_Alt_L, true, 0);
    Tap(w, symbol, Mod1Mask);
    SendKey(w, XK_Alt_L, false, Mod1Mask);
  }

  // The window's outline: the area and bounding box of its rectangles;
  // false when it has none (the whole window).
  bool Outline(::Window w, long* area, XRectangle* bounds) {
    Bool shaped = False, clipShaped = False;
    int x, y, cx, cy;
    unsigned width, height, cw, ch;
    XSync(display, False);
    if (!XShapeQueryExtents(display, w, &shaped, &x, &y, &width, &height, &clipShaped, &cx, &cy, &cw, &ch) ||
        !shaped)
      return false;
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(display, w, ShapeBounding, &count, &ordering);
    *area = 0;
    int left = 1 << 20, top = 1 << 20, right = -(1 << 20), bottom = -(1 << 20);
    for (int i = 0; i < count; ++i) {
      *area += long(rects[i].width) * long(rects[i].height);
      left = std::min(left, int(rects[i].x));
      top = std::min(top, int(rects[i].y));
      right = std::max(right, rects[i].x + int(rects[i].width));
      bottom = std::max(bottom, rects[i].y + int(rects[i].height));
    }
    if (rects) XFree(rects);
    *bounds = count ? XRectangle{short(left), short(top), (unsigned short)(right - left),
                                 (unsigned short)(bottom - top)}
                    : XRectangle{};
    return true;
  }

  ::Display* display = nullptr;
  test::TempDir dir;
  std::filesystem::path cwd;
};

// The host's own menu first (View > Window is 40003), then the script's:
// each command the script sees it shows in the caption.
constexpr char kMenus[] = R"(
int main()
{
	int c;
	caption("Host");
	while (menu_get() != 40003)
		sleep(10);
	menu_init();
	menu_add(0, 100, "&Game", 0);
	menu_add(100, 101, "&Start", 0);
	menu_add(100, 102, "&Options", 0);
	menu_add(0, 200, "&Help", 0);
	menu_add(200, 201, "&About", 0);
	menu_build();
	caption("Ready");
	for (;;) {
		c = menu_get();
		if (c == 201)
			caption("About");
		if (c == 101)
			caption("Start");
		sleep(10);
	}
	return 0;
}
)";

TEST_F(WindowX11, KeysChooseMenuItemsThatTheScriptSees) {
  Run("Title=Menus\nMenu=1\nWidth=200\nHeight=120\n", kMenus, [&] {
    ::Window w = WaitForCaption("Host");
    ASSERT_NE(w, 0u) << "no window";
    XWindowAttributes a{};
    XGetWindowAttributes(display, w, &a);
    EXPECT_GT(a.height, 120) << "the bar is added above the client area";
    EXPECT_EQ(a.width, 200);
    ASSERT_TRUE(KeysUntil(
        w,
        [&] {
          AltKey(w, XK_v);
          Tap(w, XK_w);
        },
        "Ready"))
        << "the host's own command 40003 did not reach menu_get";
    XWindowAttributes b{};
    XGetWindowAttributes(display, w, &b);
    EXPECT_EQ(b.height, a.height) << "the script's bar replaces the host's in the same rows";
    // Alt alone highlights Game; Right moves to Help, Down opens it on
    // About, Enter chooses.
    EXPECT_TRUE(KeysUntil(
        w,
        [&] {
          Tap(w, XK_Alt_L);
          Tap(w, XK_Right);
          Tap(w, XK_Down);
          Tap(w, XK_Return);
        },
        "About"))
        << "arrows and Enter";
    EXPECT_TRUE(KeysUntil(
        w,
        [&] {
          AltKey(w, XK_g);
          Tap(w, XK_s);
        },
        "Start"))
        << "access keys";
  });
}

// A 64 x 48 plane, green but for a red box: green (palette entry 7) is
// transparent, so only the box is left of the window.
constexpr char kShape[] = R"(
int box[4];
int main()
{
	galloc(1, 64, 48, 24);
	pal_set(7, 0x00FF00);
	pal_change();
	gfill(1, 0, 0x00FF00);
	box[0] = 10; box[1] = 5; box[2] = 30; box[3] = 20;
	gfill(1, box, 0xFF0000);
	setrgn(1, 7);
	caption("Shaped");
	for (;;)
		sleep(10);
	return 0;
}
)";

TEST_F(WindowX11, SetrgnLeavesThePlanesOpaquePixelsOfTheWindow) {
  Run("Title=Shape\nWidth=64\nHeight=48\n", kShape, [&] {
    ::Window w = WaitForCaption("Shaped");
    ASSERT_NE(w, 0u) << "no window";
    long area = 0;
    XRectangle bounds{};
    ASSERT_TRUE(Outline(w, &area, &bounds)) << "the window has no outline";
    EXPECT_EQ(area, 20 * 15);
    EXPECT_EQ(bounds.x, 10);
    EXPECT_EQ(bounds.y, 5);
    EXPECT_EQ(bounds.width, 20);
    EXPECT_EQ(bounds.height, 15);
  });
}

// A plane number that holds no plane gives the window its rectangle back.
constexpr char kUnshape[] = R"(
int main()
{
	galloc(1, 64, 48, 24);
	setrgn(1, 7);
	setrgn(99, 0);
	caption("Whole");
	for (;;)
		sleep(10);
	return 0;
}
)";

TEST_F(WindowX11, SetrgnWithoutAPlaneRestoresTheRectangle) {
  Run("Title=Shape\nWidth=64\nHeight=48\n", kUnshape, [&] {
    ::Window w = WaitForCaption("Whole");
    ASSERT_NE(w, 0u) << "no window";
    long area = 0;
    XRectangle bounds{};
    if (Outline(w, &area, &bounds)) {
      XWindowAttributes a{};
      XGetWindowAttributes(display, w, &a);
      EXPECT_EQ(area, long(a.width) * long(a.height)) << "an outline that is the whole window";
    }
  });
}

}  // namespace
}  // namespace qavz
