// The null video driver: a window that exists only in memory, events that
// come only from other threads, and a message box that answers OK at once.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

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
};

NullState& S() {
  static NullState state;
  return state;
}

bool Available() { return true; }
bool Init() { return true; }

void Quit() {
  std::lock_guard lock(S().mutex);
  S().windowOpen = false;
  S().pendingWakes = 0;
  S().scripted.clear();
}

bool CreateWindow(const WindowSpec& spec) {
  std::lock_guard lock(S().mutex);
  S().spec = spec;
  S().windowOpen = true;
  return true;
}

void DestroyWindow() {
  std::lock_guard lock(S().mutex);
  S().windowOpen = false;
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
}

void RestoreAndRaise() {}

bool SetFullScreen(bool) {
  std::lock_guard lock(S().mutex);
  return S().windowOpen;
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
    *event = Event{EventKind::kWake};
  } else {
    *event = S().scripted.front();
    S().scripted.pop_front();
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

int MessageBox(const char*, const char*) { return 1; }

}  // namespace

void PushNullEvent(const Event& event) {
  {
    std::lock_guard lock(S().mutex);
    S().scripted.push_back(event);
  }
  S().changed.notify_one();
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
    .setFullScreen = SetFullScreen,
    .waitEvent = WaitEvent,
    .wake = Wake,
    .messageBox = MessageBox,
};

}  // namespace qavz::platform
