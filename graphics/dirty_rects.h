// The dirty-rectangle list: areas of a page that changed, copied together by
// drt_copy.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/plane.h"

namespace qavz {

constexpr int kMaxDirtyRects = 2048;

// Empties the list (drt_init, and the display set-up of every run).
void ClearDirtyRects() noexcept;

// Sweeps `area` row by row and calls `copy(y, left, right)` for the spans of
// that row covered by `rects` (each already inside `area`), every pixel of
// their union once, left to right and top to bottom.
using SpanFunction = std::function<void(int32_t y, int32_t left, int32_t right)>;
void SweepDirtySpans(const Rect& area, std::vector<Rect> rects, const SpanFunction& copy);

}  // namespace qavz
