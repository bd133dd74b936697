// The window thread's loop: platform events and queued messages until quit.
#include <algorithm>
#include <atomic>

#include "core/config.h"
#include "core/service_hooks.h"
#include "host/main_window.h"
#include "host/script_threads.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "vm/interpreter.h"

namespace qavz {

namespace {

// How often a run that ends with its threads looks at them.
constexpr int kEndPollMs = 5;

std::atomic<bool> gQuit{false};
int gQuitCode = 0;
bool gPaused = false;

// With "Pause" on, losing the focus pauses sound, the time base and the
// script threads, and regaining it resumes them; a repeated notification of
// the same state does nothing, so the pause never nests by accident.
void Activate(bool active) {
  if (!TheConfig().pause || active != gPaused) return;
  gPaused = !active;
  ActiveFlag().store(active ? 1 : 0);
  PauseDevices(gPaused);
  PauseTimeBase(gPaused);
  PauseThreads(gPaused);
}

void HandleEvent(const platform::Event& event) {
  switch (event.kind) {
    case platform::EventKind::kClose:
      SendMainMessage(Message{kMsgClose, 0, 0, {}});
      break;
    case platform::EventKind::kActivate:
      Activate(true);
      break;
    case platform::EventKind::kDeactivate:
      Activate(false);
      break;
    default:
      break;  // kWake: the queue is pumped on the next pass
  }
}

}  // namespace

void PostQuit(int code) {
  gQuitCode = code;
  gQuit.store(true);
}

int RunMessageLoop(const LoopOptions& options, bool& timedOut) {
  gQuit.store(false);
  gPaused = false;
  ActiveFlag().store(1);  // a run starts active
  timedOut = false;
  bool closing = false;
  uint32_t start = platform::TickCount();
  for (;;) {
    PumpMainMessages();
    if (gQuit.load()) break;
    int64_t elapsed = int64_t(uint32_t(platform::TickCount() - start));
    if (!closing && options.timeoutMs >= 0 && elapsed >= options.timeoutMs) timedOut = true;
    if (!closing && (timedOut || (options.exitWhenEnded && RunHasEnded()))) {
      closing = true;
      PostMainMessage(Message{kMsgClose, 0, 0, {}});
      continue;
    }
    int64_t wait = options.exitWhenEnded ? kEndPollMs : -1;
    if (!closing && options.timeoutMs >= 0) {
      int64_t left = options.timeoutMs - elapsed;
      wait = wait < 0 ? left : std::min(wait, left);
    }
    platform::Event event;
    if (platform::Video().waitEvent(&event, int(wait))) HandleEvent(event);
  }
  return gQuitCode;
}

}  // namespace qavz
