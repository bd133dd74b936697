// The dirty-rectangle list: areas of a page that changed, copied together by
// drt_copy.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/plane.h"

namespace qavz {

constexpr int kMaxDirtyRects = 2048;
// The list's real capacity: drt_set stops at 2048, but a sprite redraw adds
// up to two boxes per sprite and must not lose any of them.
constexpr int kDirtyRectCapacity = 4 * kMaxDirtyRects;

// Empties the list (drt_init, and the display set-up of every run).
void ClearDirtyRects() noexcept;

// Appends a rectangle for the sprite system and returns the area that was
// added to the list: the rectangle itself, or, when the list is full, its
// union with the last entry, which that union replaces.
Rect AppendDirtyRect(const Rect& rect) noexcept;
int DirtyRectCount() noexcept;
const Rect& DirtyRectAt(int index) noexcept;

// A sprite redraw consumes the list: MarkDirtyRectsRestored notes the
// rectangles present after a redraw, and the next redraw starts with
// DropRestoredDirtyRects, which removes those and keeps whatever was added
// since. Between the two a script can still hand the list to drt_copy.
void MarkDirtyRectsRestored() noexcept;
void DropRestoredDirtyRects() noexcept;

// drt_copy: the source rectangle (null: the whole source) of plane `srcSlot`
// placed at (x, y) of plane `dstSlot`, copied only inside the listed
// rectangles, each pixel once. The native's result.
int32_t CopyDirtyRects(int32_t dstSlot, int32_t x, int32_t y, int32_t srcSlot, const Rect* srcRect);

// Sweeps `area` row by row and calls `copy(y, left, right)` for the spans of
// that row covered by `rects` (each already inside `area`), every pixel of
// their union once, left to right and top to bottom.
using SpanFunction = std::function<void(int32_t y, int32_t left, int32_t right)>;
void SweepDirtySpans(const Rect& area, std::vector<Rect> rects, const SpanFunction& copy);

}  // namespace qavz
