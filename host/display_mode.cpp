// The display-mode object ("Draw") and the switch between the window and
// full screen, with the pauses around it.
#include "host/display_mode.h"

#include <atomic>
#include <cctype>
#include <string>

#include "core/config.h"
#include "core/display_switch.h"
#include "core/ini.h"
#include "host/pause.h"
#include "host/services.h"
#include "host/window_menu.h"
#include "host/window_view.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "vm/system_variables.h"

namespace qavz {

namespace {

constexpr uint32_t kMsgSetFullScreen = 1204;  // the service request of setsystem "fullscreen"
// The switch waits this long before and after the change, so that devices
// and the display settle.
constexpr uint32_t kSettleMs = 500;

bool gDisplayModeObject = false;
std::atomic<bool> gFullScreen{false};  // read by getsystem on script threads
platform::FullScreenScale gScale = platform::FullScreenScale::kFit;
ScreenInfo gDesktop{};
uint32_t gSettleMs = kSettleMs;

ScreenInfo Desktop() { return gDesktop; }
int32_t FullScreenNow() { return gFullScreen.load() ? 1 : 0; }

// setsystem "fullscreen" runs on a script thread: the switch itself is the
// window thread's, through the service request.
int32_t RequestFullScreen(int32_t mode) { return SendServiceRequest(kMsgSetFullScreen, mode, 0); }
int32_t SwitchOnWindowThread(int32_t mode, int32_t) { return SwitchDisplayMode(mode != 0); }

// Our own key: how full screen fills the screen ("fit", the default, or
// "stretch").
platform::FullScreenScale ScaleFromConfiguration() {
  std::string value = IniGetString(ThePaths().configFile, "qavz", "FullScreenScale", "fit");
  for (char& ch : value) ch = char(std::tolower(uint8_t(ch)));
  return value == "stretch" ? platform::FullScreenScale::kStretch : platform::FullScreenScale::kFit;
}

// The change itself; a failed switch to full screen leaves the window.
void ChangeMode(bool fullScreen) {
  bool ok = platform::Video().setFullScreen(fullScreen, gScale);
  gFullScreen.store(fullScreen && ok);
  PaintWholeWindow();
}

}  // namespace

void ResetDisplayMode() {
  gDisplayModeObject = false;
  gFullScreen.store(false);
  gScale = ScaleFromConfiguration();
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
  if (gFullScreen.load()) platform::Video().setFullScreen(false, gScale);
  gDisplayModeObject = false;
}

// The whole switch: everything paused and media closed, a pause, the mode
// change, another pause, media reopened and everything resumed. A request
// that changes nothing returns at once and pauses nothing.
int SwitchDisplayMode(bool fullScreen) {
  if (!gDisplayModeObject) return 0;
  if (fullScreen == gFullScreen.load()) return 1;
  MenuBeforeDisplaySwitch(fullScreen);
  PauseEverything();
  RunBeforeDisplaySwitch();
  platform::SleepMilliseconds(gSettleMs);
  ChangeMode(fullScreen);
  MenuAfterDisplaySwitch();
  platform::SleepMilliseconds(gSettleMs);
  RunAfterDisplaySwitch();
  ResumeEverything();
  return 1;
}

bool IsFullScreen() { return gFullScreen.load(); }

void SetDisplaySwitchSettle(uint32_t milliseconds) { gSettleMs = milliseconds; }

}  // namespace qavz
