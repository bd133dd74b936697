// What media playback needs of the window to show video: a picture drawn
// over a rectangle of the client area, on top of the page, until the next
// picture or until it is hidden. The host installs it; without one (headless,
// or a window that cannot show video) pictures are decoded and dropped.
#pragma once

#include <cstdint>

namespace qavz {

struct VideoOverlay {
  // Shows width x height XRGB pixels (blue in the low byte, top row first)
  // scaled into the client-area rectangle [left, right) x [top, bottom).
  // Called from the media thread; the pixels are copied before it returns.
  void (*show)(const uint32_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top,
               int32_t right, int32_t bottom) noexcept;
  // Takes the picture away; the page shows again.
  void (*hide)() noexcept;
  // The height of a menu bar shown over the page (full screen with the
  // menu hidden and shown again); 0 otherwise. May be null.
  int32_t (*menuOffset)() noexcept;
};

void InstallVideoOverlay(const VideoOverlay& overlay) noexcept;
void RemoveVideoOverlay() noexcept;
void ShowVideoPicture(const uint32_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top,
                      int32_t right, int32_t bottom) noexcept;
void HideVideoPicture() noexcept;
int32_t VideoMenuOffset() noexcept;

}  // namespace qavz
