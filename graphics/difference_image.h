// Difference images ("DIFF"): runs of changed pixels laid over a plane, from
// a file (dload) or from script memory (dcopy).
//
// Layout, little-endian: "DIFF", 8 unused bytes, the depth of the pixels in
// the runs, the changed rectangle (left, top, right, bottom) relative to the
// origin, then the run codes from offset 32.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/plane.h"

namespace qavz {

constexpr size_t kDifferenceHeaderBytes = 32;
constexpr size_t kDifferenceRectAt = 16;

// Applies the difference image in `data` to `plane` with the image's origin
// at (x, y). False, and the plane untouched, unless the magic matches, the
// depth is the plane's (8, 16, 24 or 32), the rectangle is not empty and lies
// inside the plane when placed at (x, y), and every run code stays inside
// the data and writes only pixels of the plane before the end code.
bool ApplyDifference(Plane& plane, int32_t x, int32_t y, const uint8_t* data, size_t size) noexcept;

}  // namespace qavz
