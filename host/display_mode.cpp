// The display-mode switch as far as start-up and exit need it: the pause,
// menu and media steps around it come with the main window's own work.
#include "host/display_mode.h"

#include <atomic>

#include "host/services.h"
#include "platform/video.h"
#include "vm/system_variables.h"

namespace qavz {

namespace {

constexpr uint32_t kMsgSetFullScreen = 1204;  // the service request of setsystem "fullscreen"

bool gDisplayModeObject = false;
std::atomic<bool> gFullScreen{false};  // read by getsystem on script threads
ScreenInfo gDesktop{};

ScreenInfo Desktop() { return gDesktop; }
int32_t FullScreenNow() { return gFullScreen.load() ? 1 : 0; }

// setsystem "fullscreen" runs on a script thread: the switch itself is the
// window thread's, through the service request.
int32_t RequestFullScreen(int32_t mode) { return SendServiceRequest(kMsgSetFullScreen, mode, 0); }
int32_t SwitchOnWindowThread(int32_t mode, int32_t) { return SwitchDisplayMode(mode != 0); }

}  // namespace

void ResetDisplayMode() {
  gDisplayModeObject = false;
  gFullScreen.store(false);
  // The desktop as it is when the window opens; without a display the
  // system variables keep their headless values.
  int width, height, depth;
  bool known = platform::Video().desktopMode(&width, &height, &depth);
  gDesktop = ScreenInfo{width, height, depth};
  SetScreenInfoSource(known ? Desktop : nullptr);
  SetFullScreenHooks(FullScreenNow, RequestFullScreen);
  SetServiceOperation(kMsgSetFullScreen, SwitchOnWindowThread);
}

void CreateDisplayModeObject() { gDisplayModeObject = true; }

// The state stays as it was: the write-back after the loop records the mode
// that was in force at exit.
void ReleaseDisplayModeObject() {
  if (gFullScreen.load()) platform::Video().setFullScreen(false);
  gDisplayModeObject = false;
}

int SwitchDisplayMode(bool fullScreen) {
  if (!gDisplayModeObject) return 0;
  if (fullScreen == gFullScreen.load()) return 1;
  bool ok = platform::Video().setFullScreen(fullScreen);
  gFullScreen.store(fullScreen && ok);
  return 1;
}

bool IsFullScreen() { return gFullScreen.load(); }

}  // namespace qavz
