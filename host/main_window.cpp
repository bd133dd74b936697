#include "host/main_window.h"

#include <algorithm>

#include "host/debug_window.h"
#include "host/services.h"
#include "host/window_menu.h"
#include "host/window_system.h"
#include "host/window_view.h"
#include "platform/text_encoding.h"
#include "platform/video.h"

namespace qavz {

bool CreateMainWindow(const Config& config) {
  platform::WindowSpec spec;
  spec.clientWidth = config.width;
  spec.clientHeight = config.height;
  spec.popup = config.title.empty();
  spec.caption = platform::ToUtf8(config.title);
  // The sizing border and the maximise box belong to the captioned style.
  spec.sizable = !spec.popup && config.resize != 0;
  spec.maximizable = !spec.popup && config.draw != 0;
  // The user cannot make the picture smaller than a quarter of each side.
  spec.minWidth = std::max(config.width / 4, 1);
  spec.minHeight = std::max(config.height / 4, 1);
  spec.acceptFiles = config.debugMode != 0;
  platform::WindowFrame(platform::kMainWindow) = {};
  ResetWindowView(config.width, config.height);
  if (!platform::Video().createWindow(spec)) return false;
  ResetWindowMenu();
  ConfigureMessageBoxes();
  if (config.debugMode != 0) CreateDebugWindow();
  // For extension libraries: no module handle here, the window's X11 id.
  SetHostHandles(0, platform::Video().systemWindow());
  PostMainMessage(Message{kMsgLoadMain, 0, 0, ThePaths().mainScript});
  return true;
}

}  // namespace qavz
