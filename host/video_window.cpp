#include "host/video_window.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/video_overlay.h"
#include "graphics/pages.h"
#include "host/window_view.h"

namespace qavz {

namespace {

// The client area still to paint for the video, and whether a message for
// it is on its way: one message covers any number of pictures.
std::mutex gMutex;
int32_t gDirty[4] = {0, 0, 0, 0};
bool gPosted = false;

void RequestPaint(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept {
  bool post;
  {
    std::lock_guard lock(gMutex);
    if (gDirty[0] >= gDirty[2] || gDirty[1] >= gDirty[3]) {
      gDirty[0] = left, gDirty[1] = top, gDirty[2] = right, gDirty[3] = bottom;
    } else {
      gDirty[0] = std::min(gDirty[0], left), gDirty[1] = std::min(gDirty[1], top);
      gDirty[2] = std::max(gDirty[2], right), gDirty[3] = std::max(gDirty[3], bottom);
    }
    post = !gPosted;
    gPosted = true;
  }
  if (!post) return;
  try {
    PostMainMessage(Message{kMsgVideoPaint, 0, 0, {}});
  } catch (...) {
    std::lock_guard lock(gMutex);
    gPosted = false;  // no memory for the message: the next picture asks again
  }
}

int32_t MenuOffset() noexcept { return Display().menuOffsetY.load(); }

}  // namespace

void InstallVideoWindow() noexcept { qavz::InstallVideoWindow(VideoWindow{RequestPaint, MenuOffset}); }

int32_t OnVideoPaintMessage(const Message&) {
  int32_t area[4];
  {
    std::lock_guard lock(gMutex);
    std::copy(gDirty, gDirty + 4, area);
    gDirty[0] = gDirty[1] = gDirty[2] = gDirty[3] = 0;
    gPosted = false;
  }
  if (area[0] < area[2] && area[1] < area[3]) PaintClientArea(area[0], area[1], area[2], area[3]);
  return 1;
}

}  // namespace qavz
