#include "host/window_view.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "core/config.h"
#include "core/window_link.h"
#include "graphics/present.h"
#include "host/display_mode.h"
#include "platform/snapshot.h"
#include "platform/video.h"

namespace qavz {

namespace {

// Written by the window thread, read by natives on script threads.
std::atomic<int32_t> gClientWidth{0};
std::atomic<int32_t> gClientHeight{0};

// update on a script thread: the window thread paints, the native waits.
void RepaintForNative(int32_t left, int32_t top, int32_t right, int32_t bottom, bool whole) noexcept {
  try {
    Message message{kMsgRepaint, whole ? 1 : 0, 0, {}};
    message.area[0] = left;
    message.area[1] = top;
    message.area[2] = right;
    message.area[3] = bottom;
    SendMainMessage(std::move(message));
  } catch (...) {
    // Out of memory for the message: the window keeps its picture.
  }
}

void ClientSizeForNatives(int32_t* width, int32_t* height) noexcept { LogicalClientSize(width, height); }

}  // namespace

void InstallWindowView() noexcept { InstallWindowLink(WindowLink{RepaintForNative, ClientSizeForNatives}); }

void ResetWindowView(int32_t width, int32_t height) { RecordClientSize(width, height); }

void RecordClientSize(int32_t width, int32_t height) {
  gClientWidth.store(width);
  gClientHeight.store(height);
}

void LogicalClientSize(int32_t* width, int32_t* height) {
  const Config& config = TheConfig();
  int32_t w = gClientWidth.load(), h = gClientHeight.load();
  if (IsFullScreen() || w <= 0 || h <= 0) {
    w = config.width;
    h = config.height;
  }
  *width = w;
  *height = h;
}

void PaintClientArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!platform::Video().windowExists()) return;
  PaintRequest request;
  request.area = Rect{left, top, right, bottom};
  LogicalClientSize(&request.clientWidth, &request.clientHeight);
  request.fullScreen = IsFullScreen();
  PaintWindow(request);
}

void PaintWholeWindow() { PaintClientArea(0, 0, INT32_MAX, INT32_MAX); }

// The page rectangle comes moved by the menu offset and clipped to Width x
// Height; the client area may be sized differently.
int32_t OnRepaintMessage(const Message& message) {
  if (message.wParam != 0) {
    PaintWholeWindow();
    return 1;
  }
  int32_t clientWidth, clientHeight;
  LogicalClientSize(&clientWidth, &clientHeight);
  const Config& config = TheConfig();
  Rect page{message.area[0], message.area[1], message.area[2], message.area[3]};
  Rect area = ClientAreaOf(page, config.width, config.height, clientWidth, clientHeight);
  if (!NoArea(area)) PaintClientArea(area.left, area.top, area.right, area.bottom);
  return 1;
}

bool SaveSnapshot(const std::string& path, std::string* error) {
  return platform::WritePng(path, platform::WindowFrame(platform::kMainWindow), error);
}

std::string SnapshotToPictures() {
  namespace fs = std::filesystem;
  std::string folder = platform::PicturesFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "qavz: no pictures folder for the snapshot (HOME is unset)\n");
    return {};
  }
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
  std::string title = ThePaths().name.empty() ? "qavz" : ThePaths().name;
  std::string base = (fs::path(folder) / (title + "-" + stamp)).string();
  std::string path = base + ".png";
  std::error_code ignored;
  for (int n = 2; fs::exists(path, ignored) && n < 1000; ++n) path = base + "-" + std::to_string(n) + ".png";
  std::string error;
  if (!SaveSnapshot(path, &error)) {
    std::fprintf(stderr, "qavz: snapshot not saved: %s\n", error.c_str());
    return {};
  }
  std::fprintf(stderr, "qavz: snapshot saved as %s\n", path.c_str());
  return path;
}

}  // namespace qavz
