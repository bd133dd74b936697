#include "platform/signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace qavz::platform {

namespace {
std::atomic<bool> gRequested{false};
}  // namespace

bool TerminationRequested() { return gRequested.load(); }

void WatchTerminationSignals(void (*onSignal)()) {
  static bool watching = false;
  if (watching) return;
  watching = true;
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set, onSignal] {
    int signal = 0;
    bool first = true;
    while (sigwait(&set, &signal) == 0) {
      if (!first) _exit(128 + signal);
      first = false;
      gRequested.store(true);
      onSignal();
    }
  }).detach();
}

}  // namespace qavz::platform
