// The window thread's loop: platform events and queued messages until quit.
#include <algorithm>
#include <atomic>

#include "host/debug_window.h"
#include "host/main_window.h"
#include "host/pause.h"
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

}  // namespace

void PostQuit(int code) {
  gQuitCode = code;
  gQuit.store(true);
}

int RunMessageLoop(const LoopOptions& options, bool& timedOut) {
  gQuit.store(false);
  ResetWindowEvents();
  ResetPause();
  ActiveFlag().store(1);  // a run starts active
  timedOut = false;
  bool closing = false;
  uint32_t start = platform::TickCount();
  for (;;) {
    PumpMainMessages();
    if (gQuit.load()) break;
    FlushDebugWindow();
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
    if (platform::Video().waitEvent(&event, int(wait))) HandleWindowEvent(event);
  }
  return gQuitCode;
}

}  // namespace qavz
