// The null video driver: windows that exist only in memory, frames kept
// there, events that come only from other threads, and message boxes that
// answer at once (their default button, or the answer a test set).
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <mutex>

#include "platform/message_box.h"
#include "platform/video.h"

namespace qavz::platform {

namespace {

struct NullState {
  std::mutex mutex;
  std::condition_variable changed;
  unsigned pendingWakes = 0;
  std::deque<Event> scripted;  // events a test or a tool queued
  bool windowOpen = false;
  WindowSpec spec;
  bool fullScreen = false;
  FullScreenScale scale = FullScreenScale::kFit;
  int savedWidth = 0, savedHeight = 0;  // the client area before full screen
  bool debugOpen = false;
  bool debugShown = false;
  NullPresentRecord presented[kWindowCount];
  NullCursorRecord cursor;
  NullWindowRecord window;
  int boxAnswer = 0;
};

NullState& S() {
  static NullState state;
  return state;
}

Event OfKind(EventKind kind) {
  Event event;
  event.kind = kind;
  return event;
}

// Mouse events taken from the queue move the pointer and its buttons, as
// a real pointer's would; those off the client area say so.
void TrackPointer(Event& event) {
  NullCursorRecord& cursor = S().cursor;
  bool mouse = event.kind == EventKind::kMouseMove || event.kind == EventKind::kMouseDown ||
               event.kind == EventKind::kMouseUp;
  if (!mouse || event.window != kMainWindow) return;
  cursor.x = event.width;
  cursor.y = event.height;
  event.outside = !S().windowOpen || event.width < 0 || event.height < 0 ||
                  event.width >= S().spec.clientWidth || event.height >= S().spec.clientHeight;
  static constexpr uint8_t kBits[] = {0, kButtonLeft, kButtonMiddle, kButtonRight, kButtonX1, kButtonX2};
  uint8_t bit = event.key < std::size(kBits) ? kBits[event.key] : 0;
  if (event.kind == EventKind::kMouseDown) cursor.buttons |= bit;
  if (event.kind == EventKind::kMouseUp) cursor.buttons &= uint8_t(~bit);
}

bool Available() { return true; }
bool Init() { return true; }

void Quit() {
  std::lock_guard lock(S().mutex);
  S().windowOpen = false;
  S().fullScreen = false;
  S().debugOpen = S().debugShown = false;
  S().pendingWakes = 0;
  S().scripted.clear();
  S().cursor = {};
}

// Like a real window, a new one is exposed once it is shown.
bool CreateWindow(const WindowSpec& spec) {
  {
    std::lock_guard lock(S().mutex);
    S().spec = spec;
    S().windowOpen = true;
    S().fullScreen = false;
    S().presented[kMainWindow] = {};
    S().cursor = {};
    S().window = NullWindowRecord{};
    S().window.caption = spec.caption;
    S().scripted.push_back(OfKind(EventKind::kExposed));
  }
  S().changed.notify_one();
  return true;
}

void DestroyWindow() {
  std::lock_guard lock(S().mutex);
  S().windowOpen = false;
  S().fullScreen = false;
  S().debugOpen = S().debugShown = false;
}

bool WindowExists() {
  std::lock_guard lock(S().mutex);
  return S().windowOpen;
}

void ClientSize(int* width, int* height) {
  std::lock_guard lock(S().mutex);
  *width = S().windowOpen ? S().spec.clientWidth : 0;
  *height = S().windowOpen ? S().spec.clientHeight : 0;
}

bool DesktopMode(int*, int*, int*) { return false; }
uint32_t SystemWindow() { return 0; }

void SetCaption(const char* utf8) {
  std::lock_guard lock(S().mutex);
  S().spec.caption = utf8;
  S().window.caption = utf8;
}

void RestoreAndRaise() {}

// The client area is the page's size in full screen and the one it had
// before afterwards, as with a real window.
bool SetFullScreen(bool on, FullScreenScale scale) {
  std::lock_guard lock(S().mutex);
  NullState& s = S();
  if (!s.windowOpen) return false;
  s.scale = scale;
  if (on && !s.fullScreen) {
    s.savedWidth = s.spec.clientWidth;
    s.savedHeight = s.spec.clientHeight;
  } else if (!on && s.fullScreen) {
    s.spec.clientWidth = s.savedWidth;
    s.spec.clientHeight = s.savedHeight;
  }
  s.fullScreen = on;
  return true;
}

bool WaitEvent(Event* event, int timeoutMs) {
  std::unique_lock lock(S().mutex);
  auto ready = [] { return S().pendingWakes > 0 || !S().scripted.empty(); };
  if (timeoutMs < 0) {
    S().changed.wait(lock, ready);
  } else if (!S().changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return false;
  }
  if (S().pendingWakes > 0) {
    --S().pendingWakes;
    *event = OfKind(EventKind::kWake);
  } else {
    *event = std::move(S().scripted.front());
    S().scripted.pop_front();
    if (event->kind == EventKind::kResized && event->window == kMainWindow) {
      S().spec.clientWidth = event->width;
      S().spec.clientHeight = event->height;
    }
    TrackPointer(*event);
  }
  return true;
}

void Wake() {
  {
    std::lock_guard lock(S().mutex);
    // One pending wake is enough: the loop drains every queued message.
    S().pendingWakes = 1;
  }
  S().changed.notify_one();
}

int MessageBox(const char*, const char*, unsigned type) {
  int answer;
  {
    std::lock_guard lock(S().mutex);
    answer = S().boxAnswer;
  }
  if (answer != 0) return answer;
  BoxSpec box = StandardBox("", "", type);
  return box.buttons[size_t(box.defaultButton)].result;
}

void SetMenuRows(int32_t rows) {
  std::lock_guard lock(S().mutex);
  S().window.menuRows = rows;
}

void PresentMenuLayer(const FrameBox& used) {
  std::lock_guard lock(S().mutex);
  S().window.menuLayerUsed = used;
  ++S().window.menuLayerPresents;
}

void SetDragTest(bool (*test)(int32_t, int32_t)) {
  std::lock_guard lock(S().mutex);
  S().window.dragTest = test;
}

void SetShape(const std::vector<FrameBox>* rectangles) {
  std::lock_guard lock(S().mutex);
  S().window.shaped = rectangles != nullptr;
  S().window.shape = rectangles ? *rectangles : std::vector<FrameBox>{};
}

void PresentFrame(int32_t window, const FramePresent& present) {
  if (uint32_t(window) >= uint32_t(kWindowCount)) return;
  std::lock_guard lock(S().mutex);
  NullPresentRecord& record = S().presented[window];
  ++record.count;
  record.last = present;
  record.fullScreen = window == kMainWindow && S().fullScreen;
  record.scale = S().scale;
}

bool CreateDebugWindow(const WindowSpec&) {
  std::lock_guard lock(S().mutex);
  S().debugOpen = true;
  S().debugShown = false;
  S().presented[kDebugWindow] = {};
  return true;
}

void DestroyDebugWindow() {
  std::lock_guard lock(S().mutex);
  S().debugOpen = S().debugShown = false;
}

void ShowDebugWindow(bool shown) {
  std::lock_guard lock(S().mutex);
  S().debugShown = S().debugOpen && shown;
}

bool DebugWindowShown() {
  std::lock_guard lock(S().mutex);
  return S().debugShown;
}

void SetCursor(PointerShape shape) {
  std::lock_guard lock(S().mutex);
  S().cursor.shape = shape;
}

void ClipCursor(const FrameBox* box) {
  std::lock_guard lock(S().mutex);
  S().cursor.clipped = box != nullptr;
  S().cursor.clip = box ? *box : FrameBox{};
}

void WarpCursor(int32_t x, int32_t y) {
  std::lock_guard lock(S().mutex);
  S().cursor.x = x;
  S().cursor.y = y;
}

bool CursorPosition(int32_t* x, int32_t* y) {
  std::lock_guard lock(S().mutex);
  *x = S().cursor.x;
  *y = S().cursor.y;
  return S().windowOpen;
}

uint8_t MouseButtons() {
  std::lock_guard lock(S().mutex);
  return S().cursor.buttons;
}

void CaptureMouse(bool on) {
  std::lock_guard lock(S().mutex);
  S().cursor.captured = on;
}

// No keyboard to ask: the layout is the one QAVZ_KEYBOARD names ("106"),
// else the 104-key one.
KeyboardLayout Layout() {
  const char* name = std::getenv("QAVZ_KEYBOARD");
  return name && std::strcmp(name, "106") == 0 ? KeyboardLayout::k106 : KeyboardLayout::k104;
}

}  // namespace

NullCursorRecord NullCursor() {
  std::lock_guard lock(S().mutex);
  return S().cursor;
}

void PushNullEvent(const Event& event) {
  {
    std::lock_guard lock(S().mutex);
    S().scripted.push_back(event);
  }
  S().changed.notify_one();
}

NullPresentRecord NullPresented(int32_t window) {
  std::lock_guard lock(S().mutex);
  return uint32_t(window) < uint32_t(kWindowCount) ? S().presented[window] : NullPresentRecord{};
}

NullWindowRecord NullWindow() {
  std::lock_guard lock(S().mutex);
  return S().window;
}

void SetNullBoxAnswer(int result) {
  std::lock_guard lock(S().mutex);
  S().boxAnswer = result;
}

extern const VideoDriver kNullVideo = {
    .name = "null",
    .available = Available,
    .init = Init,
    .failure = [] { return ""; },
    .quit = Quit,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .windowExists = WindowExists,
    .clientSize = ClientSize,
    .desktopMode = DesktopMode,
    .setCaption = SetCaption,
    .systemWindow = SystemWindow,
    .restoreAndRaise = RestoreAndRaise,
    .unmaximize = [] {},
    .setFullScreen = SetFullScreen,
    .waitEvent = WaitEvent,
    .wake = Wake,
    .messageBox = MessageBox,
    .presentFrame = PresentFrame,
    .createDebugWindow = CreateDebugWindow,
    .destroyDebugWindow = DestroyDebugWindow,
    .showDebugWindow = ShowDebugWindow,
    .debugWindowShown = DebugWindowShown,
    .setCursor = SetCursor,
    .clipCursor = ClipCursor,
    .warpCursor = WarpCursor,
    .cursorPosition = CursorPosition,
    .mouseButtons = MouseButtons,
    .captureMouse = CaptureMouse,
    .lockKeys = [] { return uint8_t(0); },
    .keyboardLayout = Layout,
    .setMenuRows = SetMenuRows,
    .presentMenuLayer = PresentMenuLayer,
    .setDragTest = SetDragTest,
    .setShape = SetShape,
};

}  // namespace qavz::platform
