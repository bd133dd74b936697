#include "core/video_overlay.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace qavz {

namespace {

struct Picture {
  std::mutex mutex;
  bool shown = false;
  std::vector<uint32_t> pixels;
  VideoPictureState state;
};

Picture& P() {
  static Picture picture;
  return picture;
}

std::atomic<decltype(VideoWindow::requestPaint)> gRequestPaint{nullptr};
std::atomic<decltype(VideoWindow::menuOffset)> gMenuOffset{nullptr};
std::atomic<void (*)()> gAreaListener{nullptr};

void RequestPaint(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left >= right || top >= bottom) return;
  if (auto paint = gRequestPaint.load()) paint(left, top, right, bottom);
}

}  // namespace

void InstallVideoWindow(const VideoWindow& window) noexcept {
  gRequestPaint.store(window.requestPaint);
  gMenuOffset.store(window.menuOffset);
}

void ShowVideoPicture(const uint32_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top,
                      int32_t right, int32_t bottom) noexcept {
  if (!pixels || width <= 0 || height <= 0) return;
  Picture& p = P();
  VideoPictureState before;
  bool wasShown;
  {
    std::lock_guard lock(p.mutex);
    try {
      p.pixels.assign(pixels, pixels + size_t(width) * size_t(height));
    } catch (...) {
      return;  // no memory for the picture: the last one stays
    }
    before = p.state;
    wasShown = p.shown;
    p.shown = true;
    p.state = VideoPictureState{width, height, left, top, right, bottom, before.pictures + 1};
  }
  if (wasShown &&
      (before.left != left || before.top != top || before.right != right || before.bottom != bottom))
    RequestPaint(before.left, before.top, before.right, before.bottom);
  RequestPaint(left, top, right, bottom);
}

void HideVideoPicture() noexcept {
  Picture& p = P();
  VideoPictureState before;
  {
    std::lock_guard lock(p.mutex);
    if (!p.shown) return;
    p.shown = false;
    before = p.state;
  }
  RequestPaint(before.left, before.top, before.right, before.bottom);
}

int32_t VideoMenuOffset() noexcept {
  auto offset = gMenuOffset.load();
  return offset ? offset() : 0;
}

void SetVideoAreaListener(void (*listener)()) noexcept { gAreaListener.store(listener); }

void NotifyVideoAreaChanged() noexcept {
  if (auto listener = gAreaListener.load()) listener();
}

void DrawVideoPicture(uint32_t* frame, int32_t frameWidth, int32_t frameHeight, int32_t clientWidth,
                      int32_t clientHeight, int32_t clipLeft, int32_t clipTop, int32_t clipRight,
                      int32_t clipBottom) noexcept {
  if (!frame || frameWidth <= 0 || frameHeight <= 0 || clientWidth <= 0 || clientHeight <= 0) return;
  Picture& p = P();
  std::lock_guard lock(p.mutex);
  if (!p.shown) return;
  const VideoPictureState& s = p.state;
  // The rectangle in frame pixels.
  auto x = [&](int32_t v) { return int64_t(v) * frameWidth / clientWidth; };
  auto y = [&](int32_t v) { return int64_t(v) * frameHeight / clientHeight; };
  const int64_t left = x(s.left), right = x(s.right), top = y(s.top), bottom = y(s.bottom);
  if (left >= right || top >= bottom) return;
  const int64_t fromX = std::max<int64_t>({left, clipLeft, 0}),
                toX = std::min<int64_t>({right, clipRight, frameWidth});
  const int64_t fromY = std::max<int64_t>({top, clipTop, 0}),
                toY = std::min<int64_t>({bottom, clipBottom, frameHeight});
  // Nearest picture pixel for each frame pixel.
  for (int64_t fy = fromY; fy < toY; ++fy) {
    const uint32_t* row = p.pixels.data() + size_t((fy - top) * s.height / (bottom - top)) * size_t(s.width);
    uint32_t* out = frame + size_t(fy) * size_t(frameWidth);
    for (int64_t fx = fromX; fx < toX; ++fx) out[fx] = row[(fx - left) * s.width / (right - left)] & 0xFFFFFF;
  }
}

bool CurrentVideoPicture(VideoPictureState* state) noexcept {
  Picture& p = P();
  std::lock_guard lock(p.mutex);
  if (state) *state = p.state;
  return p.shown;
}

}  // namespace qavz
