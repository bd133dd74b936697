// Bitmap files: decoding one into a plane (gload) and encoding a rectangle of
// a plane as one (gsave).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "graphics/plane.h"

namespace qavz {

// Decodes the bitmap file held in `data` into a new plane in `slot`, which is
// emptied first. The 14-byte file header is optional; the information header
// is the 40-byte one or the 12-byte core one (with 3-byte colour entries).
// Null, and the slot left empty, for anything else: other header sizes,
// compressed or top-down bitmaps, unknown depths, sizes beyond the plane
// limits, or a file too short for the colour table and pixels it announces.
// Reports nothing.
Plane* LoadBitmap(int32_t slot, const uint8_t* data, size_t size) noexcept;

// The whole bitmap file for the part of `plane` inside `area`, which must be
// a non-empty rectangle inside the plane: file header, 40-byte information
// header, the colour table of depths 1, 4 and 8, then the rows from the
// bottom of the area up, each padded to a multiple of 4 bytes. Null bytes
// when memory runs out.
struct EncodedBitmap {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
};
EncodedBitmap EncodeBitmap(const Plane& plane, const Rect& area) noexcept;

}  // namespace qavz
