// The SDL video driver: one real window, SDL's event queue, SDL's message box.
// Every call but Wake runs on the main thread, which owns the window.
#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>
#include <cstdlib>

#include "platform/message_box.h"
#include "platform/video.h"

namespace qavz::platform {

namespace {

SDL_Window* gWindow = nullptr;
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
  // The host handles SIGINT and SIGTERM itself (it runs the exit sequence).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
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

void DestroyWindow() {
  if (gWindow) SDL_DestroyWindow(gWindow);
  gWindow = nullptr;
}

void Quit() {
  DestroyWindow();
  gWakeType.store(0);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

bool CreateWindow(const WindowSpec& spec) {
  Uint32 flags = SDL_WINDOW_SHOWN;
  if (spec.popup) flags |= SDL_WINDOW_BORDERLESS;
  if (spec.sizable) flags |= SDL_WINDOW_RESIZABLE;
  gWindow = SDL_CreateWindow(spec.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             spec.clientWidth, spec.clientHeight, flags);
  if (!gWindow) return false;
  SDL_RaiseWindow(gWindow);  // shown and given the keyboard focus
  return true;
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

bool SetFullScreen(bool on) {
  if (!gWindow) return false;
  if (SDL_SetWindowFullscreen(gWindow, on ? SDL_WINDOW_FULLSCREEN : 0) == 0) return true;
  SDL_SetWindowFullscreen(gWindow, 0);
  return false;
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
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      event->width = e.data1;
      event->height = e.data2;
      return EventKind::kResized;
    default:
      return EventKind::kNone;
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
  } else if (e.type == SDL_QUIT) {
    event->kind = EventKind::kClose;
  } else if (e.type == SDL_WINDOWEVENT) {
    event->kind = WindowEventKind(e.window, event);
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
    .setFullScreen = SetFullScreen,
    .waitEvent = WaitEvent,
    .wake = Wake,
    .messageBox = MessageBox,
};

}  // namespace qavz::platform
