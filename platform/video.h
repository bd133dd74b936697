// The window, its events and the message box, behind drivers picked by name.
//
// Like SDL's video bootstrap, the drivers sit in one table and the first one
// that is available (or the one named by QAVZ_VIDEO) is used. "sdl" opens a
// real window; "null" keeps everything in memory and needs no display, so
// the runtime runs headless on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavz::platform {

struct WindowSpec {
  int clientWidth = 640;
  int clientHeight = 480;
  std::string caption;   // UTF-8; empty with popup
  bool popup = false;    // no frame and no caption
  bool sizable = false;  // sizing border
  bool maximizable = false;
  int minWidth = 0;  // smallest client area the user may size it to
  int minHeight = 0;
  bool acceptFiles = false;  // files dropped on it arrive as kDropFiles
};

// The runtime's windows: the main window and the debug output window.
enum WindowId : int32_t { kMainWindow = 0, kDebugWindow = 1, kWindowCount = 2 };

enum class EventKind : uint8_t {
  kNone,
  kWake,        // another thread queued work for the main thread
  kClose,       // the user asked to close the window
  kActivate,    // the application became the active one
  kDeactivate,  // another application became the active one
  kExposed,     // part of the client area must be painted again
  kResized,     // the client area has a new size (width, height)
  kMaximized,   // the window manager maximised the window
  kKeyDown,     // key pressed (scancode, and its virtual-key code), with the modifiers held
  kKeyUp,       // key released
  kText,        // text typed or committed by an input method (UTF-8 in `text`)
  kMouseDown,   // button (1 left, 2 middle, 3 right, 4 and 5 extra) pressed at (x, y)
  kMouseUp,     // button released at (x, y)
  kMouseMove,   // pointer at (x, y), moved by (dx, dy) since the last move
  kMouseWheel,  // wheel turned by (x, y) notches, y > 0 away from the user
  kDropFiles,   // files (host paths) dropped, with the modifiers held then
};

// Modifier bits of key and drop events; kModRepeat marks a key held down.
enum : uint8_t { kModShift = 1, kModCtrl = 2, kModAlt = 4, kModRepeat = 8 };

// Virtual-key codes: the numbering of the runtime's key-state buffer.
enum : uint8_t {
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkMenu = 0x12,
  kVkPause = 0x13,
  kVkEscape = 0x1B,
  kVkSpace = 0x20,
  kVkPrior = 0x21,
  kVkNext = 0x22,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkInsert = 0x2D,
  kVkDelete = 0x2E,
  kVkF1 = 0x70,
  kVkF8 = 0x77,
  kVkF12 = 0x7B,
};

struct Event {
  EventKind kind = EventKind::kNone;
  int32_t width = 0;  // kResized; x of mouse events (client coordinates)
  // kResized; y of mouse events. The main window's client area lies below
  // the menu rows (y < 0 is on the menu bar); in full screen its pixels are
  // those of the frame.
  int32_t height = 0;
  int32_t window = kMainWindow;
  // kKeyDown, kKeyUp: virtual-key code (the host fills it from `scancode`
  // when that is set); kMouseDown, kMouseUp: button.
  uint8_t key = 0;
  uint8_t modifiers = 0;  // kMod* bits
  // kKeyDown, kKeyUp: the key's place on the keyboard as a USB HID keyboard
  // usage id (4 is A, 0x87 the Japanese Ro key); 0 when unknown.
  uint16_t scancode = 0;
  uint8_t clicks = 0;      // kMouseDown: 2 for a double click, 3 for a triple one...
  bool outside = false;    // mouse events: the pointer is off the client area
  int32_t dx = 0, dy = 0;  // kMouseMove: relative movement
  // kMouseWheel: the vertical turn in 1/120 notches, positive away from the
  // user whatever way the system scrolls; finer than a notch on touchpads.
  int32_t wheel = 0;
  std::string text;                // kText
  std::vector<std::string> files;  // kDropFiles
};

// The cursor shown over the client area.
enum class PointerShape : uint8_t { kArrow, kHidden };

// Which keyboard the user types on, as far as the layout in force tells:
// the 104-key US one or the 106-key Japanese one.
enum class KeyboardLayout : uint8_t { k104, k106 };

// Lock-key states of LockKeys().
enum : uint8_t { kLockCaps = 1, kLockNum = 2, kLockScroll = 4 };

// Mouse buttons as MouseButtons() reports them.
enum : uint8_t { kButtonLeft = 1, kButtonRight = 2, kButtonMiddle = 4, kButtonX1 = 8, kButtonX2 = 16 };

// What a window shows: XRGB8888 pixels, top row first, kept in memory by
// every driver so the last presented picture can be saved.
struct Frame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  // Resizes to width x height; the pixels become black. False when the
  // memory is not there (the frame is then empty).
  bool Resize(int32_t w, int32_t h);
};
// The frame of a window; the window thread writes it and then presents it.
Frame& WindowFrame(int32_t window);

// The main window's menu layer: ARGB pixels (alpha in the top byte, 0 where
// nothing is drawn) over the menu rows and the client area below them, one
// to one in a window and scaled with the frame in full screen. The window
// thread writes it and then presents it.
Frame& MenuLayer();

struct FrameBox {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

enum class FramePlacement : uint8_t {
  kOneToOne,  // pixel for pixel from the client area's top left corner
  kStretch,   // scaled over the whole client area
};

struct FramePresent {
  FramePlacement placement = FramePlacement::kOneToOne;
  FrameBox changed;  // the part of the frame written since the last present
  FrameBox client;   // the part of the client area painted
};

// In full screen the frame is scaled into the screen: by the largest whole
// factor that fits (black bars round it), by the largest fitting factor
// keeping its shape where no whole one fits, or stretched over all of it.
enum class FullScreenScale : uint8_t { kFit, kStretch };
// Where a frame of frameWidth x frameHeight lands on a screen of
// screenWidth x screenHeight, centred.
FrameBox FullScreenBox(int32_t frameWidth, int32_t frameHeight, int32_t screenWidth, int32_t screenHeight,
                       FullScreenScale scale);

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
  void (*unmaximize)();       // back from maximised to the window's size
  // Full screen at the desktop's resolution with the frame scaled into it,
  // or back to the window at its place and size before; false on failure
  // (the window is then left windowed).
  bool (*setFullScreen)(bool on, FullScreenScale scale);
  // Waits at most timeoutMs (-1: no limit) for one event; false on timeout.
  bool (*waitEvent)(Event* event, int timeoutMs);
  void (*wake)();  // thread-safe: ends a waitEvent with kWake
  // Modal box owned by the window with the buttons of a Windows box type
  // (StandardBox): the chosen button's result, -1 when it cannot be shown.
  int (*messageBox)(const char* utf8Caption, const char* utf8Text, unsigned type);
  // Shows WindowFrame(window) after `present.changed` of it was written.
  void (*presentFrame)(int32_t window, const FramePresent& present);
  // The debug output window: created hidden, beside the main window.
  bool (*createDebugWindow)(const WindowSpec& spec);
  void (*destroyDebugWindow)();
  void (*showDebugWindow)(bool shown);
  bool (*debugWindowShown)();

  // Input, on the window thread. Client coordinates are pixels of the client
  // area as the program sees it: in full screen, of the picture scaled into
  // the screen.
  void (*setCursor)(PointerShape shape);
  // Confines the pointer to `box` of the client area; null frees it.
  void (*clipCursor)(const FrameBox* box);
  void (*warpCursor)(int32_t x, int32_t y);
  // Where the pointer is, even off the client area; false without a window.
  bool (*cursorPosition)(int32_t* x, int32_t* y);
  uint8_t (*mouseButtons)();  // kButton* bits held now, anywhere on the screen
  // While captured, the window gets the pointer's moves even off its area.
  void (*captureMouse)(bool on);
  uint8_t (*lockKeys)();  // kLock* bits on now
  KeyboardLayout (*keyboardLayout)();

  // The menu bar, outline and dragging, on the window thread.
  // Rows above the client area for the menu bar (0: none). In a window the
  // window grows by them and the client area keeps its size; in full screen
  // they cover the top of the screen and the frame moves down under them.
  void (*setMenuRows)(int32_t rows);
  // Shows `used` of MenuLayer() over the window (an empty box shows none).
  void (*presentMenuLayer)(const FrameBox& used);
  // A left press at a client point for which `test` is true moves the
  // window instead of reaching the program (null: no such points).
  void (*setDragTest)(bool (*test)(int32_t x, int32_t y));
  // The window's outline: the union of client rectangles (null: the whole
  // window again).
  void (*setShape)(const std::vector<FrameBox>* rectangles);
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
// user would cause it; thread-safe. A kResized event also gives the window
// its new client size when it is taken from the queue.
void PushNullEvent(const Event& event);
// What the null driver was last asked to present, for tests.
struct NullPresentRecord {
  uint64_t count = 0;  // frames presented since the window was created
  FramePresent last;
  bool fullScreen = false;
  FullScreenScale scale = FullScreenScale::kFit;  // as full screen was asked for
};
NullPresentRecord NullPresented(int32_t window);
// The null driver's pointer, for tests: moved by kMouseMove events as they
// are taken from the queue and by warpCursor.
struct NullCursorRecord {
  PointerShape shape = PointerShape::kArrow;
  bool clipped = false;
  FrameBox clip;
  int32_t x = 0, y = 0;
  bool captured = false;
  uint8_t buttons = 0;  // held, from kMouseDown and kMouseUp events taken
};
NullCursorRecord NullCursor();
// The rest of the null main window, for tests.
struct NullWindowRecord {
  std::string caption;
  int32_t menuRows = 0;
  FrameBox menuLayerUsed;
  uint64_t menuLayerPresents = 0;
  bool shaped = false;
  std::vector<FrameBox> shape;
  bool (*dragTest)(int32_t x, int32_t y) = nullptr;
};
NullWindowRecord NullWindow();
// What the null driver's message boxes answer: `result`, or (0) the box's
// default button.
void SetNullBoxAnswer(int result);

}  // namespace qavz::platform
