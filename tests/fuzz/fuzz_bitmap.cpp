// Bitmap and difference files from untrusted bytes. The first byte picks the
// reader. A bitmap either is refused or gives a plane whose saved file loads
// back to the same pixels; a difference image either is refused with the
// plane untouched or writes only inside the plane.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/bitmap_file.h"
#include "graphics/difference_image.h"
#include "graphics/pixel_index.h"
#include "graphics/plane.h"

using namespace qavz;

namespace {

bool SamePixels(const Plane& a, const Plane& b) {
  if (a.width != b.width || a.height != b.height || a.depth != b.depth) return false;
  for (int32_t y = 0; y < a.height; ++y) {
    if (a.depth >= 8) {
      if (std::memcmp(a.Row(y), b.Row(y), size_t(a.width) * size_t(a.BytesPerPixel())) != 0) return false;
      continue;
    }
    for (int32_t x = 0; x < a.width; ++x)
      if (ReadIndex(a, x, y) != ReadIndex(b, x, y)) return false;
  }
  return std::memcmp(a.colours, b.colours, sizeof a.colours) == 0;
}

void Bitmap(const uint8_t* data, size_t size) {
  Plane* plane = LoadBitmap(1, data, size);
  if (!plane) {
    if (PlaneAt(1)) __builtin_trap();
    return;
  }
  // Saving is bounded to keep each run short.
  if (plane->ImageBytes() <= (1u << 16)) {
    EncodedBitmap file = EncodeBitmap(*plane, Rect{0, 0, plane->width, plane->height});
    Plane* back = file.bytes ? LoadBitmap(2, file.bytes.get(), file.size) : nullptr;
    if (!back || !SamePixels(*plane, *back)) __builtin_trap();
  }
  FreePlane(1);
  FreePlane(2);
}

void Difference(const uint8_t* data, size_t size) {
  if (size < 3) return;
  static const int32_t kDepths[] = {8, 16, 24, 32};
  int32_t depth = kDepths[data[0] & 3];
  int32_t x = int8_t(data[1]), y = int8_t(data[2]);
  Plane* plane = CreatePlane(3, 37, 23, depth);
  if (!plane) __builtin_trap();
  std::memset(plane->host, 0xA5, plane->ImageBytes());
  std::vector<uint8_t> before(plane->host, plane->host + plane->ImageBytes());
  // The image keeps the fuzzer's exact buffer, so a read past it is caught.
  if (!ApplyDifference(*plane, x, y, data + 3, size - 3) &&
      std::memcmp(before.data(), plane->host, before.size()) != 0)
    __builtin_trap();
  FreePlane(3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1)
    Difference(data + 1, size - 1);
  else
    Bitmap(data + 1, size - 1);
  return 0;
}
