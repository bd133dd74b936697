// The main window as another X client sees it: size, caption, frame, the
// single-instance rule and closing by signal. Runs under a real display
// (CI starts Xvfb); skipped without one.
#include <gtest/gtest.h>
// Xlib after GoogleTest: its None and Bool macros clash with GoogleTest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A started runtime: `qavz TITLE` with a real display; optionally with its
// standard error in a file and one more environment variable.
struct Runtime {
  pid_t pid = -1;
  explicit Runtime(const std::string& title, const std::string& stderrFile = "", const char* env = nullptr) {
    pid = fork();
    if (pid == 0) {
      setpgid(0, 0);  // its own group: anything it starts is found and ended with it
      unsetenv("QAVZ_HEADLESS");
      if (env) putenv(const_cast<char*>(env));
      if (!stderrFile.empty()) freopen(stderrFile.c_str(), "w", stderr);
      execl(QAVZ_BINARY, QAVZ_BINARY, title.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  // Exit status, or -1 when it has not ended within `limit`.
  int Wait(std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }
  ~Runtime() {
    if (pid > 0) {
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

// A window that goes away while it is being looked at is not a failure.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no X display";
    XSetErrorHandler(IgnoreXErrors);
    // Created now, so the runtime's window gets its frame hints even on a
    // server without a window manager.
    motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    std::string pattern = (fs::temp_directory_path() / "qavz-window-XXXXXX").string();
    dir = mkdtemp(pattern.data());
  }
  void TearDown() override {
    if (display) XCloseDisplay(display);
    if (!dir.empty()) fs::remove_all(dir);
  }

  std::string Title(const std::string& name, const std::string& settings) {
    std::ofstream(dir + "/" + name + ".cfg", std::ios::binary) << "[General]\r\n" << settings;
    return dir + "/" + name + ".EXE";
  }

  long Cardinal(::Window w, const char* name) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long value = -1;
    if (XGetWindowProperty(display, w, XInternAtom(display, name, False), 0, 1, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data && count == 1)
      value = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return value;
  }

  // Top-level windows of class "QAVZ_MAIN" belonging to process `pid`.
  std::vector<::Window> WindowsOf(pid_t pid) {
    std::vector<::Window> found;
    ::Window root, parent, *children = nullptr;
    unsigned count = 0;
    XSync(display, False);
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i) {
      XClassHint hint{};
      if (!XGetClassHint(display, children[i], &hint)) continue;
      bool ours = hint.res_class && std::string(hint.res_class) == "QAVZ_MAIN";
      XFree(hint.res_name);
      XFree(hint.res_class);
      if (ours && Cardinal(children[i], "_NET_WM_PID") == pid) found.push_back(children[i]);
    }
    if (children) XFree(children);
    return found;
  }

  // The window once it is mapped: its caption and hints are set before it shows, not before it exists.
  ::Window WaitForWindow(pid_t pid) {
    for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;) {
      for (::Window w : WindowsOf(pid)) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, w, &a) && a.map_state == IsViewable) return w;
      }
      std::this_thread::sleep_for(20ms);
    }
    return 0;
  }

  std::string Utf8Property(::Window w, const char* name) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, w, XInternAtom(display, name, False), 0, 1024, False,
                           XInternAtom(display, "UTF8_STRING", False), &type, &format, &count, &after,
                           &data) == Success &&
        data)
      value.assign(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    return value;
  }

  // The decorations field of _MOTIF_WM_HINTS: 0 asks for no frame at all.
  long Decorations(::Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long decorations = -1;
    if (XGetWindowProperty(display, w, motifHints, 0, 5, False, motifHints, &type, &format, &count, &after,
                           &data) == Success &&
        data && count >= 3)
      decorations = reinterpret_cast<long*>(data)[2];
    if (data) XFree(data);
    return decorations;
  }

  // The error box of the runtime's window `owner`, waiting up to `limit`.
  ::Window WaitForBox(::Window owner, std::chrono::milliseconds limit) {
    ::Window box = 0;
    for (auto end = std::chrono::steady_clock::now() + limit;
         !box && std::chrono::steady_clock::now() < end;) {
      ::Window root, parent, *children = nullptr;
      unsigned count = 0;
      XSync(display, False);
      XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
      for (unsigned i = 0; i < count && !box; ++i) {
        ::Window transientFor = 0;
        if (Utf8Property(children[i], "_NET_WM_NAME") == "QAV ERROR : Error" &&
            XGetTransientForHint(display, children[i], &transientFor))
          box = transientFor == owner ? children[i] : 0;
      }
      if (children) XFree(children);
      if (!box) std::this_thread::sleep_for(20ms);
    }
    return box;
  }

  // Pixels of a window clearly darker than the box's face, per row.
  std::vector<int> InkPerRow(::Window w) {
    XWindowAttributes a;
    std::vector<int> rows;
    if (!XGetWindowAttributes(display, w, &a)) return rows;
    XImage* image = XGetImage(display, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image) return rows;
    rows.assign(size_t(a.height), 0);
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) {
        unsigned long p = XGetPixel(image, x, y);
        if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 96) ++rows[size_t(y)];
      }
    XDestroyImage(image);
    return rows;
  }

  Display* display = nullptr;
  Atom motifHints = 0;
  std::string dir;
};

TEST_F(MainWindow, HasTheConfiguredClientAreaAndCaption) {
  // "ゲーム 320" in Shift-JIS, as a title's configuration file holds it.
  Runtime qavz(Title(
      "GAME", "Title=\x83\x51\x81\x5B\x83\x80 320\r\nWidth=320\r\nHeight=240\r\nMultipleRunning=1\r\n"));
  ::Window w = WaitForWindow(qavz.pid);
  ASSERT_NE(w, 0u) << "no window appeared";
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(display, w, &a));
  EXPECT_EQ(a.width, 320);
  EXPECT_EQ(a.height, 240);
  EXPECT_EQ(Utf8Property(w, "_NET_WM_NAME"), "ゲーム 320");
  EXPECT_NE(Decorations(w), 0) << "a captioned window keeps its frame";
  // Centred on the screen.
  int screenWidth = DisplayWidth(display, DefaultScreen(display));
  int screenHeight = DisplayHeight(display, DefaultScreen(display));
  ::Window child;
  int x = 0, y = 0;
  XTranslateCoordinates(display, w, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  EXPECT_EQ(x, (screenWidth - 320) / 2);
  EXPECT_EQ(y, (screenHeight - 240) / 2);
}

TEST_F(MainWindow, AnEmptyTitleGivesAFramelessPopup) {
  Runtime qavz(Title("POP", "Width=200\r\nHeight=100\r\nMultipleRunning=1\r\n"));
  ::Window w = WaitForWindow(qavz.pid);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(Decorations(w), 0);
  EXPECT_EQ(Utf8Property(w, "_NET_WM_NAME"), "");
}

std::string BrokenTitle(const std::string& dir) {
  fs::create_directories(dir + "/BOX");
  std::ofstream(dir + "/BOX/BOX.c") << "int main() { return 1 +; }\n";
  return "Title=Box owner\r\nWidth=160\r\nHeight=120\r\nError=1\r\nMultipleRunning=1\r\n";
}

// A compile error at level 1 with "Error" 1: the box, as the user sees it,
// with its Japanese message drawn in a font the set-up installs.
TEST_F(MainWindow, ErrorBoxIsOwnedByTheMainWindowAndShownUnderTheLevelRule) {
  Runtime qavz(Title("BOX", BrokenTitle(dir)));
  ::Window owner = WaitForWindow(qavz.pid);
  ASSERT_NE(owner, 0u);
  ::Window box = WaitForBox(owner, 20s);
  ASSERT_NE(box, 0u) << "no box captioned \"QAV ERROR : Error\" owned by the main window";
  std::this_thread::sleep_for(300ms);  // drawn
  std::vector<int> ink = InkPerRow(box);
  int inkedRows = int(std::count_if(ink.begin(), ink.end(), [](int n) { return n > 0; }));
  int total = std::accumulate(ink.begin(), ink.end(), 0);
  EXPECT_GE(inkedRows, 20) << "two lines of text at least";
  EXPECT_GE(total, 400) << "the message's glyphs are drawn, not left blank";
}

// SIGTERM while the box is up closes the box and runs the exit sequence, as
// closing the window does; nothing of the runtime stays behind.
TEST_F(MainWindow, ATerminationSignalClosesTheBoxAndTheRuntime) {
  Runtime qavz(Title("BOX", BrokenTitle(dir)));
  ::Window owner = WaitForWindow(qavz.pid);
  ASSERT_NE(owner, 0u);
  ASSERT_NE(WaitForBox(owner, 20s), 0u);
  pid_t group = qavz.pid;
  kill(qavz.pid, SIGTERM);
  EXPECT_EQ(qavz.Wait(5s), 0) << "ended normally, without a second signal";
  EXPECT_EQ(WaitForBox(owner, 100ms), 0u);
  EXPECT_EQ(kill(-group, 0), -1) << "no process of the runtime's group is left";
}

// Without any usable font the box cannot be drawn: the message goes to
// standard error and the run goes on as though OK had been pressed.
TEST_F(MainWindow, ABoxThatCannotBeShownReachesStandardErrorAndTheRunGoesOn) {
  std::ofstream(dir + "/empty.conf") << "<?xml version=\"1.0\"?><fontconfig></fontconfig>\n";
  static std::string env;
  env = "FONTCONFIG_FILE=" + dir + "/empty.conf";
  Runtime qavz(Title("BOX", BrokenTitle(dir)), dir + "/stderr.txt", env.c_str());
  ::Window owner = WaitForWindow(qavz.pid);
  ASSERT_NE(owner, 0u);
  std::string err;
  for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
    err = ReadFile(dir + "/stderr.txt");
    if (err.find("BOX.c(1)") != std::string::npos) break;
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_NE(err.find("BOX.c(1)"), std::string::npos) << err;
  EXPECT_EQ(WaitForBox(owner, 200ms), 0u);
  EXPECT_EQ(WindowsOf(qavz.pid).size(), 1u) << "the window stays, as after OK";
  kill(qavz.pid, SIGTERM);
  EXPECT_EQ(qavz.Wait(5s), 0);
}

TEST_F(MainWindow, ASecondInstanceExitsWithoutAWindowAndSignalsCloseNormally) {
  std::string title = Title("ONE", "Title=Only one\r\nWidth=160\r\nHeight=120\r\nFullScreen=00\r\n");
  Runtime first(title);
  ASSERT_NE(WaitForWindow(first.pid), 0u);
  Runtime second(dir + "/ONE.cfg");
  EXPECT_EQ(second.Wait(20s), 0);
  EXPECT_TRUE(WindowsOf(second.pid).empty());
  EXPECT_EQ(WindowsOf(first.pid).size(), 1u) << "the first copy stays";

  kill(first.pid, SIGTERM);
  EXPECT_EQ(first.Wait(20s), 0) << "SIGTERM runs the exit sequence and ends normally";
  EXPECT_EQ(ReadFile(dir + "/ONE.cfg"),
            "[General]\r\nTitle=Only one\r\nWidth=160\r\nHeight=120\r\nFullScreen=0\r\n")
      << "the write-back after the message loop ran";
}

}  // namespace
