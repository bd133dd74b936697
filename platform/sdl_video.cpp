// The SDL video driver: the main window and the debug output window, each
// with a renderer and a streaming texture that its frame is uploaded into,
// SDL's event queue and SDL's message box. Every call but Wake runs on the
// main thread, which owns the windows.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_box.h"
#include "platform/video.h"

namespace qavz::platform {

namespace {

// A window with what it needs to show its frame.
struct Target {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  FramePlacement placement = FramePlacement::kOneToOne;
};

Target gTargets[kWindowCount];
SDL_Window*& gWindow = gTargets[kMainWindow].window;

bool gFullScreen = false;
FullScreenScale gScale = FullScreenScale::kFit;
int gSavedX = 0, gSavedY = 0, gSavedWidth = 0, gSavedHeight = 0;  // the window before full screen

std::vector<std::string> gDropped;  // files of the drop in progress

std::atomic<Uint32> gWakeType{0};  // 0 until Init registered it
// One wake event in SDL's queue at a time: the loop drains every queued
// message when it sees it, and a later message pushes a new one.
std::atomic<bool> gWakePending{false};

bool Available() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

const char* Failure() {
  if (!Available()) return "no display (DISPLAY and WAYLAND_DISPLAY are unset)";
  const char* reason = SDL_GetError();
  return reason && *reason ? reason : "SDL could not start its video subsystem";
}

bool Init() {
  // The host handles SIGINT and SIGTERM itself (it runs the exit sequence),
  // and closing a window is the host's business, not a quit.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Stretching repeats and drops pixels, as colour-on-colour stretching does.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // The window's class, as other programs find it ("QAVZ_MAIN").
  setenv("SDL_VIDEO_X11_WMCLASS", "QAVZ_MAIN", 1);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  Uint32 type = SDL_RegisterEvents(1);
  if (type == Uint32(-1)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  gWakeType.store(type);
  gWakePending.store(false);
  return true;
}

void DestroyTarget(Target& target) {
  if (target.texture) SDL_DestroyTexture(target.texture);
  if (target.renderer) SDL_DestroyRenderer(target.renderer);
  if (target.window) SDL_DestroyWindow(target.window);
  target = Target{};
}

void DestroyDebugWindow() { DestroyTarget(gTargets[kDebugWindow]); }

void DestroyWindow() {
  DestroyDebugWindow();
  DestroyTarget(gTargets[kMainWindow]);
  gFullScreen = false;
  gDropped.clear();
}

void Quit() {
  DestroyWindow();
  gWakeType.store(0);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

// A renderer of the window's own; the software one when no other starts.
bool AttachRenderer(Target& target) {
  target.renderer = SDL_CreateRenderer(target.window, -1, 0);
  if (!target.renderer) target.renderer = SDL_CreateRenderer(target.window, -1, SDL_RENDERER_SOFTWARE);
  return target.renderer != nullptr;
}

bool CreateWindow(const WindowSpec& spec) {
  SDL_EventState(SDL_DROPFILE, spec.acceptFiles ? SDL_ENABLE : SDL_DISABLE);
  SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
  // Created hidden so that the window manager learns its minimum size
  // before it is shown.
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (spec.popup) flags |= SDL_WINDOW_BORDERLESS;
  if (spec.sizable) flags |= SDL_WINDOW_RESIZABLE;
  Target& target = gTargets[kMainWindow];
  target.window = SDL_CreateWindow(spec.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   spec.clientWidth, spec.clientHeight, flags);
  if (!target.window) return false;
  // Without a renderer the window stays black; it still works as a window.
  // A renderer may make the window anew, so the size limit comes after it.
  AttachRenderer(target);
  if (spec.minWidth > 0 && spec.minHeight > 0)
    SDL_SetWindowMinimumSize(target.window, spec.minWidth, spec.minHeight);
  SDL_ShowWindow(target.window);
  SDL_RaiseWindow(target.window);  // shown and given the keyboard focus
  return true;
}

bool CreateDebugWindow(const WindowSpec& spec) {
  Target& target = gTargets[kDebugWindow];
  if (target.window) return true;
  target.window =
      SDL_CreateWindow(spec.caption.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                       spec.clientWidth, spec.clientHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (!target.window) return false;
  AttachRenderer(target);
  if (spec.minWidth > 0 && spec.minHeight > 0)
    SDL_SetWindowMinimumSize(target.window, spec.minWidth, spec.minHeight);
  return true;
}

void ShowDebugWindow(bool shown) {
  SDL_Window* window = gTargets[kDebugWindow].window;
  if (!window) return;
  if (shown) {
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
  } else {
    SDL_HideWindow(window);
  }
}

bool DebugWindowShown() {
  SDL_Window* window = gTargets[kDebugWindow].window;
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0;
}

bool WindowExists() { return gWindow != nullptr; }

void ClientSize(int* width, int* height) {
  *width = *height = 0;
  if (gWindow) SDL_GetWindowSize(gWindow, width, height);
}

bool DesktopMode(int* width, int* height, int* bitsPerPixel) {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(gWindow ? SDL_GetWindowDisplayIndex(gWindow) : 0, &mode) != 0) return false;
  *width = mode.w;
  *height = mode.h;
  *bitsPerPixel = int(SDL_BITSPERPIXEL(mode.format));
  return true;
}

uint32_t SystemWindow() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!gWindow || !SDL_GetWindowWMInfo(gWindow, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return uint32_t(info.info.x11.window);
}

void SetCaption(const char* utf8) {
  if (gWindow) SDL_SetWindowTitle(gWindow, utf8);
}

void RestoreAndRaise() {
  if (!gWindow) return;
  if (SDL_GetWindowFlags(gWindow) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(gWindow);
  SDL_RaiseWindow(gWindow);
}

void Unmaximize() {
  if (gWindow && (SDL_GetWindowFlags(gWindow) & SDL_WINDOW_MAXIMIZED)) SDL_RestoreWindow(gWindow);
}

// Back to the window at the place and size it had before full screen.
void LeaveFullScreen() {
  SDL_SetWindowFullscreen(gWindow, 0);
  SDL_SetWindowSize(gWindow, gSavedWidth, gSavedHeight);
  SDL_SetWindowPosition(gWindow, gSavedX, gSavedY);
  gFullScreen = false;
}

bool SetFullScreen(bool on, FullScreenScale scale) {
  if (!gWindow) return false;
  gScale = scale;
  if (on == gFullScreen) return true;
  if (on) {
    SDL_GetWindowPosition(gWindow, &gSavedX, &gSavedY);
    SDL_GetWindowSize(gWindow, &gSavedWidth, &gSavedHeight);
    if (SDL_SetWindowFullscreen(gWindow, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
      LeaveFullScreen();
      SDL_RaiseWindow(gWindow);
      return false;
    }
    gFullScreen = true;
  } else {
    LeaveFullScreen();
  }
  SDL_RaiseWindow(gWindow);
  return true;
}

// Makes the texture match the frame; true when it was (re)made, so all of
// the frame must be uploaded.
bool FitTexture(Target& target, const Frame& frame, bool* ok) {
  *ok = true;
  if (target.texture && target.textureWidth == frame.width && target.textureHeight == frame.height)
    return false;
  if (target.texture) SDL_DestroyTexture(target.texture);
  target.texture = SDL_CreateTexture(target.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     frame.width, frame.height);
  target.textureWidth = target.texture ? frame.width : 0;
  target.textureHeight = target.texture ? frame.height : 0;
  *ok = target.texture != nullptr;
  return true;
}

void Upload(Target& target, const Frame& frame, FrameBox box) {
  box.left = std::max(box.left, 0);
  box.top = std::max(box.top, 0);
  box.right = std::min(box.right, frame.width);
  box.bottom = std::min(box.bottom, frame.height);
  if (box.left >= box.right || box.top >= box.bottom) return;
  SDL_Rect rect{box.left, box.top, box.right - box.left, box.bottom - box.top};
  const uint32_t* first = frame.pixels.data() + size_t(box.top) * size_t(frame.width) + size_t(box.left);
  SDL_UpdateTexture(target.texture, &rect, first, frame.width * 4);
}

// Where the frame lands in the renderer's output.
SDL_Rect Destination(const Target& target, const Frame& frame, int32_t window) {
  int outWidth = 0, outHeight = 0;
  SDL_GetRendererOutputSize(target.renderer, &outWidth, &outHeight);
  if (window == kMainWindow && gFullScreen) {
    FrameBox box = FullScreenBox(frame.width, frame.height, outWidth, outHeight, gScale);
    return SDL_Rect{box.left, box.top, box.right - box.left, box.bottom - box.top};
  }
  if (target.placement == FramePlacement::kStretch) return SDL_Rect{0, 0, outWidth, outHeight};
  return SDL_Rect{0, 0, frame.width, frame.height};
}

void PresentFrame(int32_t window, const FramePresent& present) {
  if (uint32_t(window) >= uint32_t(kWindowCount)) return;
  Target& target = gTargets[window];
  const Frame& frame = WindowFrame(window);
  if (!target.window || !target.renderer || frame.width <= 0) return;
  bool ok = true;
  bool all = FitTexture(target, frame, &ok);
  if (!ok) return;
  Upload(target, frame, all ? FrameBox{0, 0, frame.width, frame.height} : present.changed);
  target.placement = present.placement;
  SDL_Rect destination = Destination(target, frame, window);
  // Black round the frame where it does not cover the whole window.
  int outWidth = 0, outHeight = 0;
  SDL_GetRendererOutputSize(target.renderer, &outWidth, &outHeight);
  if (destination.x > 0 || destination.y > 0 || destination.x + destination.w < outWidth ||
      destination.y + destination.h < outHeight) {
    SDL_SetRenderDrawColor(target.renderer, 0, 0, 0, 255);
    SDL_RenderClear(target.renderer);
  }
  SDL_RenderCopy(target.renderer, target.texture, nullptr, &destination);
  SDL_RenderPresent(target.renderer);
}

// Which of our windows an event is for: 0 (no window has the keyboard)
// counts as the main window; any other window, such as a message box that
// is gone, gives -1 and its event is dropped.
constexpr int32_t kForeignWindow = -1;

int32_t WindowOf(Uint32 windowId) {
  if (windowId == 0) return kMainWindow;
  SDL_Window* window = SDL_GetWindowFromID(windowId);
  for (int32_t id = 0; id < kWindowCount; ++id)
    if (window && window == gTargets[id].window) return id;
  return kForeignWindow;
}

uint8_t Modifiers(Uint16 mod) {
  return uint8_t(((mod & KMOD_SHIFT) ? kModShift : 0) | ((mod & KMOD_CTRL) ? kModCtrl : 0) |
                 ((mod & KMOD_ALT) ? kModAlt : 0));
}

struct KeyRow {
  SDL_Scancode scancode;
  uint8_t key;
};

// Keys that have no letter or digit, as virtual-key codes.
constexpr KeyRow kKeys[] = {
    {SDL_SCANCODE_BACKSPACE, kVkBack},  {SDL_SCANCODE_TAB, kVkTab},       {SDL_SCANCODE_RETURN, kVkReturn},
    {SDL_SCANCODE_KP_ENTER, kVkReturn}, {SDL_SCANCODE_LSHIFT, kVkShift},  {SDL_SCANCODE_RSHIFT, kVkShift},
    {SDL_SCANCODE_LCTRL, kVkControl},   {SDL_SCANCODE_RCTRL, kVkControl}, {SDL_SCANCODE_LALT, kVkMenu},
    {SDL_SCANCODE_RALT, kVkMenu},       {SDL_SCANCODE_PAUSE, kVkPause},   {SDL_SCANCODE_ESCAPE, kVkEscape},
    {SDL_SCANCODE_SPACE, kVkSpace},     {SDL_SCANCODE_PAGEUP, kVkPrior},  {SDL_SCANCODE_PAGEDOWN, kVkNext},
    {SDL_SCANCODE_END, kVkEnd},         {SDL_SCANCODE_HOME, kVkHome},     {SDL_SCANCODE_LEFT, kVkLeft},
    {SDL_SCANCODE_UP, kVkUp},           {SDL_SCANCODE_RIGHT, kVkRight},   {SDL_SCANCODE_DOWN, kVkDown},
    {SDL_SCANCODE_INSERT, kVkInsert},   {SDL_SCANCODE_DELETE, kVkDelete},
};

uint8_t VirtualKey(SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
    return uint8_t('A' + (scancode - SDL_SCANCODE_A));
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
    return uint8_t('1' + (scancode - SDL_SCANCODE_1));
  if (scancode == SDL_SCANCODE_0) return '0';
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
    return uint8_t(kVkF1 + (scancode - SDL_SCANCODE_F1));
  for (const KeyRow& row : kKeys)
    if (row.scancode == scancode) return row.key;
  return 0;
}

EventKind WindowEventKind(const SDL_WindowEvent& e, Event* event) {
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      return EventKind::kClose;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      return EventKind::kActivate;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      return EventKind::kDeactivate;
    case SDL_WINDOWEVENT_EXPOSED:
      return EventKind::kExposed;
    case SDL_WINDOWEVENT_MAXIMIZED:
      return EventKind::kMaximized;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      event->width = e.data1;
      event->height = e.data2;
      return EventKind::kResized;
    default:
      return EventKind::kNone;
  }
}

void TranslateKey(const SDL_KeyboardEvent& e, Event* event) {
  event->kind = e.type == SDL_KEYDOWN ? EventKind::kKeyDown : EventKind::kKeyUp;
  event->window = WindowOf(e.windowID);
  event->key = VirtualKey(e.keysym.scancode);
  event->modifiers = Modifiers(e.keysym.mod) | (e.repeat ? kModRepeat : 0);
}

void Translate(SDL_Event& e, Event* event) {
  switch (e.type) {
    case SDL_QUIT:
      event->kind = EventKind::kClose;
      break;
    case SDL_WINDOWEVENT:
      event->window = WindowOf(e.window.windowID);
      event->kind = WindowEventKind(e.window, event);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(e.key, event);
      break;
    case SDL_MOUSEBUTTONDOWN:
      event->kind = EventKind::kMouseDown;
      event->window = WindowOf(e.button.windowID);
      event->width = e.button.x;
      event->height = e.button.y;
      event->key = e.button.button;
      break;
    case SDL_MOUSEWHEEL:
      event->kind = EventKind::kMouseWheel;
      event->window = WindowOf(e.wheel.windowID);
      event->width = e.wheel.x;
      event->height = e.wheel.y;
      break;
    case SDL_DROPBEGIN:
      gDropped.clear();
      break;
    case SDL_DROPFILE:
      if (e.drop.file) gDropped.emplace_back(e.drop.file);
      SDL_free(e.drop.file);
      break;
    case SDL_DROPCOMPLETE:
      event->kind = EventKind::kDropFiles;
      event->window = WindowOf(e.drop.windowID);
      event->modifiers = Modifiers(Uint16(SDL_GetModState()));
      event->files = std::exchange(gDropped, {});
      break;
    default:
      break;
  }
}

bool WaitEvent(Event* event, int timeoutMs) {
  SDL_Event e;
  int got = timeoutMs < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeoutMs);
  if (!got) return false;
  *event = Event{};
  if (e.type == gWakeType.load()) {
    gWakePending.store(false);
    event->kind = EventKind::kWake;
  } else {
    Translate(e, event);
    if (event->window == kForeignWindow) *event = Event{};
  }
  return true;
}

void Wake() {
  Uint32 type = gWakeType.load();
  if (type == 0 || gWakePending.exchange(true)) return;
  SDL_Event e{};
  e.type = type;
  SDL_PushEvent(&e);
}

int MessageBox(const char* utf8Caption, const char* utf8Text) {
  return ShowMessageBox(StandardBox(utf8Caption, utf8Text, 0), gWindow);
}

}  // namespace

extern const VideoDriver kSdlVideo = {
    .name = "sdl",
    .available = Available,
    .init = Init,
    .failure = Failure,
    .quit = Quit,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .windowExists = WindowExists,
    .clientSize = ClientSize,
    .desktopMode = DesktopMode,
    .setCaption = SetCaption,
    .systemWindow = SystemWindow,
    .restoreAndRaise = RestoreAndRaise,
    .unmaximize = Unmaximize,
    .setFullScreen = SetFullScreen,
    .waitEvent = WaitEvent,
    .wake = Wake,
    .messageBox = MessageBox,
    .presentFrame = PresentFrame,
    .createDebugWindow = CreateDebugWindow,
    .destroyDebugWindow = DestroyDebugWindow,
    .showDebugWindow = ShowDebugWindow,
    .debugWindowShown = DebugWindowShown,
};

}  // namespace qavz::platform
