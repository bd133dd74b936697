#include "core/video_overlay.h"

#include <mutex>

namespace qavz {

namespace {

std::mutex gMutex;  // installing against drawing from the media thread
VideoOverlay gOverlay{};

}  // namespace

void InstallVideoOverlay(const VideoOverlay& overlay) noexcept {
  std::lock_guard lock(gMutex);
  gOverlay = overlay;
}

void RemoveVideoOverlay() noexcept {
  std::lock_guard lock(gMutex);
  gOverlay = VideoOverlay{};
}

void ShowVideoPicture(const uint32_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top,
                      int32_t right, int32_t bottom) noexcept {
  std::lock_guard lock(gMutex);
  if (gOverlay.show) gOverlay.show(pixels, width, height, left, top, right, bottom);
}

void HideVideoPicture() noexcept {
  std::lock_guard lock(gMutex);
  if (gOverlay.hide) gOverlay.hide();
}

int32_t VideoMenuOffset() noexcept {
  std::lock_guard lock(gMutex);
  return gOverlay.menuOffset ? gOverlay.menuOffset() : 0;
}

}  // namespace qavz
