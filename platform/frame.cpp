// The frames the windows show, in memory whatever the driver.
#include <algorithm>
#include <new>

#include "platform/video.h"

namespace qavz::platform {

bool Frame::Resize(int32_t w, int32_t h) {
  width = height = 0;
  pixels.clear();
  if (w <= 0 || h <= 0) return false;
  try {
    pixels.assign(size_t(w) * size_t(h), 0);
  } catch (const std::bad_alloc&) {
    pixels = {};
    return false;
  }
  width = w;
  height = h;
  return true;
}

Frame& WindowFrame(int32_t window) {
  static Frame frames[kWindowCount];
  return frames[uint32_t(window) < uint32_t(kWindowCount) ? window : kMainWindow];
}

Frame& MenuLayer() {
  static Frame layer;
  return layer;
}

FrameBox FullScreenBox(int32_t frameWidth, int32_t frameHeight, int32_t screenWidth, int32_t screenHeight,
                       FullScreenScale scale) {
  if (scale == FullScreenScale::kStretch || frameWidth <= 0 || frameHeight <= 0)
    return FrameBox{0, 0, screenWidth, screenHeight};
  int64_t factor = std::min(screenWidth / frameWidth, screenHeight / frameHeight);
  int64_t width, height;
  if (factor >= 1) {
    width = frameWidth * factor;
    height = frameHeight * factor;
  } else if (int64_t(screenWidth) * frameHeight <= int64_t(screenHeight) * frameWidth) {
    width = screenWidth;  // the screen is narrower than the frame: bars above and below
    height = int64_t(frameHeight) * screenWidth / frameWidth;
  } else {
    height = screenHeight;
    width = int64_t(frameWidth) * screenHeight / frameHeight;
  }
  int32_t left = int32_t((screenWidth - width) / 2), top = int32_t((screenHeight - height) / 2);
  return FrameBox{left, top, left + int32_t(width), top + int32_t(height)};
}

}  // namespace qavz::platform
