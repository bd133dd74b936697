// What the filters and effects share: plane and rectangle arguments, the
// clipping rules of an unscaled copy, key colours and raw pixel access.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "core/math_tables.h"
#include "graphics/plane.h"

namespace qavz {

// The plane in a slot when its pixels are whole bytes (depth 8 and up); null
// for an empty slot and for 1- and 4-bit planes, which no filter handles.
Plane* BytePlane(int32_t slot) noexcept;

// A rectangle argument: 0 is the whole plane; false when the four words are
// not readable script memory.
bool RectArg(Addr address, const Plane& plane, Rect& out) noexcept;

inline bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }
Rect Intersect(const Rect& a, const Rect& b) noexcept;
inline Rect BoundsOf(const Plane& p) { return Rect{0, 0, p.width, p.height}; }
// The plane's clip rectangle, never beyond its bounds.
inline Rect ClipOf(const Plane& p) { return Intersect(p.clip, BoundsOf(p)); }

// The areas of an unscaled copy of `srcRect` to (x, y): the destination cut
// to its clip rectangle, the source to its plane, both trimmed to agree.
// False when nothing is left.
bool ClipCopy(const Plane& dst, int32_t x, int32_t y, const Plane& src, const Rect& srcRect, Rect& dstArea,
              Rect& srcArea) noexcept;

// One pixel of 1 to 4 bytes as a little-endian value, and back.
inline uint32_t LoadPixel(const uint8_t* p, int bpp) {
  switch (bpp) {
    case 1:
      return p[0];
    case 2:
      return uint32_t(p[0] | p[1] << 8);
    case 3:
      return uint32_t(p[0] | p[1] << 8 | p[2] << 16);
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}
inline void StorePixel(uint8_t* p, int bpp, uint32_t v) {
  switch (bpp) {
    case 1:
      p[0] = uint8_t(v);
      return;
    case 2:
      p[0] = uint8_t(v);
      p[1] = uint8_t(v >> 8);
      return;
    case 3:
      p[0] = uint8_t(v);
      p[1] = uint8_t(v >> 8);
      p[2] = uint8_t(v >> 16);
      return;
    default:
      std::memcpy(p, &v, 4);
  }
}

// Key colours: any argument of 0x1000000 or more (so -1) means none.
constexpr uint32_t kNoKey = 0xFFFFFFFFu;
// The key as the pixels of a plane of `depth` hold it (index, 5-5-5 or RGB),
// or kNoKey.
uint32_t KeyForDepth(int32_t key, int32_t depth) noexcept;
// The bits of a pixel that carry its colour: what a key is compared with.
constexpr uint32_t ColourMask(int32_t depth) {
  return depth == 8 ? 0xFFu : depth == 16 ? 0x7FFFu : 0xFFFFFFu;
}

// The source of a filter that reads and writes: when the destination is the
// source plane itself, the filter reads a copy taken before it writes, so
// every output pixel sees the source as it was.
class SourceSnapshot {
 public:
  SourceSnapshot(const Plane& src, const Plane& dst) noexcept;
  // The plane to read, or null when the copy could not be made.
  const Plane* Get() const { return plane_; }

 private:
  const Plane* plane_ = nullptr;
  Plane copy_;
  std::unique_ptr<uint8_t[]> bytes_;
};

// The sine table in 16.16 (cosine at +512); null only when it could not be
// built. Angles are taken modulo 2048.
inline int32_t Sin(const int32_t* table, int32_t angle) { return table[angle & 2047]; }
inline int32_t Cos(const int32_t* table, int32_t angle) { return table[(angle & 2047) + 512]; }

}  // namespace qavz
