// The display-mode switch as far as start-up and exit need it: the pause,
// menu and media steps around it come with the main window's own work.
#include "host/display_mode.h"

#include "platform/video.h"

namespace qavz {

namespace {
bool gDisplayModeObject = false;
bool gFullScreen = false;
}  // namespace

void ResetDisplayMode() {
  gDisplayModeObject = false;
  gFullScreen = false;
}

void CreateDisplayModeObject() { gDisplayModeObject = true; }

// The state stays as it was: the write-back after the loop records the mode
// that was in force at exit.
void ReleaseDisplayModeObject() {
  if (gFullScreen) platform::Video().setFullScreen(false);
  gDisplayModeObject = false;
}

int SwitchDisplayMode(bool fullScreen) {
  if (!gDisplayModeObject) return 0;
  if (fullScreen == gFullScreen) return 1;
  bool ok = platform::Video().setFullScreen(fullScreen);
  gFullScreen = fullScreen && ok;
  return 1;
}

bool IsFullScreen() { return gFullScreen; }

}  // namespace qavz
