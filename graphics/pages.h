// The pages and palettes of the display: which plane the window shows
// (ViewPage) and which one sprites draw into (ActivePage), the shift origin,
// the menu offset, and the script and display palettes.
//
// Natives change these on script threads under NativeLock; the window thread
// reads them when it paints, without that lock. They are plain shared values:
// a change is seen by the next paint.
#pragma once

#include <atomic>
#include <cstdint>

namespace qavz {

struct DisplayState {
  std::atomic<int32_t> viewPage{0};
  std::atomic<int32_t> activePage{0};
  std::atomic<int32_t> originX{0};  // setorg
  std::atomic<int32_t> originY{0};
  // Added to the origin when painting: the menu bar's height while the
  // auto-hidden menu shows over a full-screen picture, else 0.
  std::atomic<int32_t> menuOffsetX{0};
  std::atomic<int32_t> menuOffsetY{0};
  // The palette scripts read and write (RGB values).
  std::atomic<uint32_t> scriptPalette[256] = {};
  // The palette every 8-bit ViewPage is shown through (RGB values, top byte 0).
  std::atomic<uint32_t> displayPalette[256] = {};
};

DisplayState& Display() noexcept;

}  // namespace qavz
