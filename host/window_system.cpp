#include "host/window_system.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/config.h"
#include "core/ini.h"
#include "core/system_link.h"
#include "graphics/plane_shape.h"
#include "host/window_menu.h"
#include "platform/text_encoding.h"
#include "platform/video.h"

namespace qavz {

namespace {

// setrgn's rectangles on their way to the window thread; the sender waits
// for the answer, so one outline is in flight at a time.
std::mutex gShapeMutex;
bool gShapeWhole = true;
std::vector<platform::FrameBox> gShapeWaiting;

// setdrag: the plane and the colour that drag the window.
std::atomic<int32_t> gDragPlane{-1};
std::atomic<uint32_t> gDragColour{kNoKey};

bool WindowExists() { return platform::Video().windowExists(); }

int32_t Send(Message message) noexcept {
  try {
    return SendMainMessage(std::move(message));
  } catch (...) {
    return 0;  // no memory for the message: as if there were no window
  }
}

void InstallMenu() noexcept { Send(Message{kMsgInstallMenu, 0, 0, {}}); }
int32_t DrawMenuBar() noexcept { return Send(Message{kMsgDrawMenuBar, 0, 0, {}}); }
int32_t SetCaption(const std::string& text) noexcept { return Send(Message{kMsgCaption, 0, 0, text}); }

int32_t ShowBox(uint32_t type, const std::string& caption, const std::string& text) noexcept {
  try {
    return Send(Message{kMsgMessageBox, int32_t(type), 0, caption + '\0' + text});
  } catch (...) {
    return 0;
  }
}

// setrgn, on the script thread under NativeLock: the plane is read here,
// the outline set by the window thread. A slot without a plane gives the
// window its rectangle back; a plane without a pixel to show leaves the
// outline as it is.
int32_t SetShape(int32_t slot, int32_t index) noexcept {
  bool change = true;
  try {
    std::vector<platform::FrameBox> boxes;
    const Plane* plane = PlaneAt(slot);
    if (plane) {
      for (const Rect& r : OpaqueRuns(*plane, TransparentKey(plane->depth, index)))
        boxes.push_back(platform::FrameBox{r.left, r.top, r.right, r.bottom});
      change = !boxes.empty();
    }
    std::lock_guard lock(gShapeMutex);
    gShapeWhole = plane == nullptr;
    gShapeWaiting = std::move(boxes);
  } catch (...) {
    change = false;  // no memory for the rectangles: the outline stays as it was
  }
  return Send(Message{kMsgWindowShape, change ? 1 : 0, 0, {}});
}

// setdrag: the setting is kept even without a window, as the natives keep
// theirs; the window learns it on the window thread.
int32_t SetDrag(int32_t slot, int32_t index) noexcept {
  gDragPlane.store(slot);
  if (index >= 0 && index < 256) gDragColour.store(PaletteColour(index));
  return Send(Message{kMsgDragArea, 0, 0, {}});
}

}  // namespace

void InstallWindowSystem() noexcept {
  InstallSystemLink(SystemLink{InstallMenu, DrawMenuBar, SetCaption, ShowBox, SetShape, SetDrag});
}

void ConfigureMessageBoxes() {
  const char* answer = std::getenv("QAVZ_MBOX_ANSWER");
  int32_t value =
      answer && *answer ? std::atoi(answer) : IniGetInt(ThePaths().configFile, "qavz", "MessageBoxAnswer", 0);
  platform::SetNullBoxAnswer(value);
}

int32_t OnInstallMenu(const Message&) {
  InstallBuiltMenu();
  return 0;
}

int32_t OnDrawMenuBar(const Message&) { return RedrawMenuBar(); }

int32_t OnCaption(const Message& message) {
  if (!WindowExists()) return 0;
  platform::Video().setCaption(platform::ToUtf8(message.text).c_str());
  return 1;
}

// A box that cannot be shown answers 0, as a failed box does.
int32_t OnMessageBox(const Message& message) {
  if (!WindowExists()) return 0;
  size_t split = message.text.find('\0');
  std::string caption = message.text.substr(0, split);
  std::string text = split == std::string::npos ? std::string() : message.text.substr(split + 1);
  int result = platform::Video().messageBox(platform::ToUtf8(caption).c_str(), platform::ToUtf8(text).c_str(),
                                            uint32_t(message.wParam));
  return result < 0 ? 0 : result;
}

// wParam 0: the outline stays (a plane with nothing to show); the answer
// still tells whether there is a window.
int32_t OnWindowShape(const Message& message) {
  if (!WindowExists()) return 0;
  if (message.wParam == 0) return 1;
  std::vector<platform::FrameBox> boxes;
  bool whole;
  {
    std::lock_guard lock(gShapeMutex);
    whole = gShapeWhole;
    boxes.swap(gShapeWaiting);
  }
  platform::Video().setShape(whole ? nullptr : &boxes);
  return 1;
}

int32_t OnDragArea(const Message&) {
  if (!WindowExists()) return 0;
  platform::Video().setDragTest(DragAt);
  return 1;
}

// A client point of the drag plane shown in the drag colour. The window
// thread reads the plane under PlaneTableLock, so it is not freed meanwhile.
bool DragAt(int32_t x, int32_t y) {
  std::lock_guard lock(PlaneTableLock());
  const Plane* plane = PlaneAt(gDragPlane.load());
  return plane && PixelShowsColour(*plane, x, y, gDragColour.load());
}

}  // namespace qavz
