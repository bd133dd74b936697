// The window, its events and the message box, behind drivers picked by name.
//
// Like SDL's video bootstrap, the drivers sit in one table and the first one
// that is available (or the one named by QAVZ_VIDEO) is used. "sdl" opens a
// real window; "null" keeps everything in memory and needs no display, so
// the runtime runs headless on it.
#pragma once

#include <cstdint>
#include <string>

namespace qavz::platform {

struct WindowSpec {
  int clientWidth = 640;
  int clientHeight = 480;
  std::string caption;   // UTF-8; empty with popup
  bool popup = false;    // no frame and no caption
  bool sizable = false;  // sizing border
  bool maximizable = false;
};

enum class EventKind : uint8_t {
  kNone,
  kWake,        // another thread queued work for the main thread
  kClose,       // the user asked to close the window
  kActivate,    // the application became the active one
  kDeactivate,  // another application became the active one
  kExposed,     // part of the client area must be painted again
  kResized,     // the client area has a new size (width, height)
};

struct Event {
  EventKind kind = EventKind::kNone;
  int32_t width = 0;
  int32_t height = 0;
};

struct VideoDriver {
  const char* name;
  bool (*available)();  // usable on this machine now
  bool (*init)();       // false: the driver cannot start
  // Why `available` or `init` said no, in the user's terms.
  const char* (*failure)();
  void (*quit)();
  bool (*createWindow)(const WindowSpec& spec);
  void (*destroyWindow)();
  bool (*windowExists)();
  void (*clientSize)(int* width, int* height);
  // The desktop's size in pixels and bits per pixel (the display, not the
  // window); false when the driver has no display.
  bool (*desktopMode)(int* width, int* height, int* bitsPerPixel);
  void (*setCaption)(const char* utf8);
  // The window as the windowing system names it (an X11 window id), for
  // extension libraries; 0 when there is none.
  uint32_t (*systemWindow)();
  void (*restoreAndRaise)();  // un-minimise and bring to the front
  // Full screen at the client size, or back to the window; false on failure
  // (the window is then left windowed).
  bool (*setFullScreen)(bool on);
  // Waits at most timeoutMs (-1: no limit) for one event; false on timeout.
  bool (*waitEvent)(Event* event, int timeoutMs);
  void (*wake)();  // thread-safe: ends a waitEvent with kWake
  // Modal box with an OK button owned by the window: 1 (OK) when shown and
  // closed, -1 when it cannot be shown.
  int (*messageBox)(const char* utf8Caption, const char* utf8Text);
};

// Picks the driver: `name` when given, else the first available one;
// headless always picks "null". Initialises it. A driver asked for by name
// that is unknown or cannot start is an error (null, with the reason in
// *error); without a name "null" is the last resort and never fails.
const VideoDriver* SelectVideoDriver(const char* name, bool headless, std::string* error);
// The driver chosen by SelectVideoDriver (the null driver before that).
const VideoDriver& Video();
// True when a driver other than "null" could open a window here.
bool DisplayAvailable();
// Shuts the current driver down and falls back to the null driver.
void QuitVideo();
bool VideoIsNull();
// Queues an event for the null driver's window (activation, close), as a
// user would cause it; thread-safe.
void PushNullEvent(const Event& event);

}  // namespace qavz::platform
