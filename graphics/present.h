// Painting the main window from the ViewPage.
//
// The window shows a frame of XRGB8888 pixels that the platform layer keeps
// and scales. When the client area is exactly Width x Height (or the display
// is full screen) the frame is Width x Height and shows the page one to one,
// moved by the shift origin and the menu offset, with black where the moved
// page leaves the area uncovered; otherwise the frame is the whole page,
// stretched over the client area, and the shift origin is ignored. 8-bit
// pages are shown through the display palette, 1- and 4-bit pages through
// their own colour tables.
#pragma once

#include <cstdint>

#include "graphics/plane.h"

namespace qavz {

struct PaintRequest {
  Rect area;  // the part of the client area to paint
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  bool fullScreen = false;
};

// Paints the area from the page into the window's frame and presents it.
// Runs on the window thread; holds PlaneTableLock while it reads the page.
void PaintWindow(const PaintRequest& request) noexcept;

// The client area that shows the page rectangle `rect` (already clipped to
// Width x Height): the rectangle itself while the client area is Width x
// Height; otherwise scaled to the client area, right and bottom one further,
// and clipped to it. Empty (all 0) when nothing of it is in the client area.
Rect ClientAreaOf(const Rect& rect, int32_t width, int32_t height, int32_t clientWidth,
                  int32_t clientHeight) noexcept;

// The intersection of two rectangles; all 0 when they do not meet.
Rect Overlap(const Rect& a, const Rect& b) noexcept;
inline bool NoArea(const Rect& r) noexcept { return r.left >= r.right || r.top >= r.bottom; }

// Converts `count` pixels of page row y from column x on into XRGB8888.
// `palette` is the colour table used for depths 1, 4 and 8. The columns
// must lie inside the page.
void ConvertPageRow(const Plane& page, int32_t y, int32_t x, int32_t count, const uint32_t* palette,
                    uint32_t* out) noexcept;

}  // namespace qavz
