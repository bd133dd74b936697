#include "host/pause.h"

#include "core/service_hooks.h"
#include "host/script_threads.h"

namespace qavz {

namespace {
int gDepth = 0;
}  // namespace

void PauseEverything() {
  if (gDepth++ > 0) return;
  PauseDevices(true);
  PauseTimeBase(true);
  PauseThreads(true);
}

void ResumeEverything() {
  if (gDepth == 0 || --gDepth > 0) return;
  PauseThreads(false);
  PauseTimeBase(false);
  PauseDevices(false);
}

bool EverythingPaused() { return gDepth > 0; }

void ResetPause() { gDepth = 0; }

}  // namespace qavz
