#include "graphics/filter_support.h"

#include <algorithm>
#include <new>

#include "graphics/colour.h"

namespace qavz {

Plane* BytePlane(int32_t slot) noexcept {
  Plane* plane = PlaneAt(slot);
  return plane && plane->depth >= 8 ? plane : nullptr;
}

bool RectArg(Addr address, const Plane& plane, Rect& out) noexcept {
  if (address == 0) {
    out = BoundsOf(plane);
    return true;
  }
  int32_t words[4];
  if (!TheArena().Read(address, words)) return false;
  out = Rect{words[0], words[1], words[2], words[3]};
  return true;
}

Rect Intersect(const Rect& a, const Rect& b) noexcept {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool ClipCopy(const Plane& dst, int32_t x, int32_t y, const Plane& src, const Rect& srcRect, Rect& dstArea,
              Rect& srcArea) noexcept {
  if (IsEmpty(srcRect)) return false;
  // Work in the source's coordinates: the destination clip shifted by the
  // copy's offset, so no sum can overflow 32 bits.
  int64_t dx = int64_t(x) - srcRect.left, dy = int64_t(y) - srcRect.top;
  Rect clip = ClipOf(dst);
  int64_t left = std::max<int64_t>({srcRect.left, 0, clip.left - dx});
  int64_t top = std::max<int64_t>({srcRect.top, 0, clip.top - dy});
  int64_t right = std::min<int64_t>({srcRect.right, src.width, clip.right - dx});
  int64_t bottom = std::min<int64_t>({srcRect.bottom, src.height, clip.bottom - dy});
  if (right <= left || bottom <= top) return false;
  srcArea = Rect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
  dstArea = Rect{int32_t(left + dx), int32_t(top + dy), int32_t(right + dx), int32_t(bottom + dy)};
  return true;
}

uint32_t KeyForDepth(int32_t key, int32_t depth) noexcept {
  if (uint32_t(key) >= 0x1000000u) return kNoKey;
  uint32_t colour = ColourForDepth(uint32_t(key), depth);
  if (depth == 16) return Pack555(colour);
  return colour & ColourMask(depth);
}

SourceSnapshot::SourceSnapshot(const Plane& src, const Plane& dst) noexcept {
  if (&src != &dst) {
    plane_ = &src;
    return;
  }
  bytes_.reset(new (std::nothrow) uint8_t[src.ImageBytes()]);
  if (!bytes_) return;
  std::memcpy(bytes_.get(), src.host, src.ImageBytes());
  copy_.width = src.width;
  copy_.height = src.height;
  copy_.depth = src.depth;
  copy_.pitch = src.pitch;
  copy_.host = bytes_.get();
  plane_ = &copy_;
}

}  // namespace qavz
