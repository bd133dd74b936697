#include "graphics/difference_image.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/data_files.h"
#include "vm/native_table.h"

namespace qavz {

namespace {

int32_t Le32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

bool HeaderFits(const Plane& plane, int64_t x, int64_t y, const uint8_t* data, size_t size) {
  if (size < kDifferenceHeaderBytes || std::memcmp(data, "DIFF", 4) != 0) return false;
  // Depths 1 and 4 have no whole bytes per pixel for the runs to copy.
  if (Le32(data + 12) != plane.depth || plane.depth < 8) return false;
  const uint8_t* r = data + kDifferenceRectAt;
  int64_t left = Le32(r), top = Le32(r + 4), right = Le32(r + 8), bottom = Le32(r + 12);
  if (left >= right || top >= bottom) return false;
  return x + left >= 0 && x + right <= plane.width && y + top >= 0 && y + bottom <= plane.height;
}

// Decodes the run codes from the origin (x, y); copies pixels only when
// `apply`. False when the data ends before the end code or a literal run
// would reach a pixel outside the plane (including past its row's end).
bool WalkRuns(Plane& plane, int64_t x, int64_t y, const uint8_t* data, size_t size, bool apply) {
  const size_t pixelBytes = size_t(plane.BytesPerPixel());
  int64_t column = x, row = y;
  size_t at = kDifferenceHeaderBytes;
  while (at < size) {
    uint8_t skip = data[at++];
    if (skip != 0) {
      column += skip;
      continue;
    }
    if (at == size) return false;
    uint8_t code = data[at++];
    if (code == 0) {  // end of line: back to the origin's column, one row down
      column = x;
      ++row;
      continue;
    }
    if (code == 1) return true;  // end of image
    int64_t count = code - 1;
    size_t bytes = size_t(count) * pixelBytes;
    if (size - at < bytes) return false;
    if (row < 0 || row >= plane.height || column < 0 || column + count > plane.width) return false;
    if (apply) std::memcpy(plane.Pixel(int32_t(column), int32_t(row)), data + at, bytes);
    at += bytes;
    column += count;
  }
  return false;
}

// Copies the image's rectangle to script memory at `rect` when both exist.
void CopyRectOut(Addr rect, const uint8_t* data, size_t size) {
  if (rect == 0 || size < kDifferenceHeaderBytes) return;
  if (uint8_t* out = TheArena().Span(rect, 16)) std::memmove(out, data + kDifferenceRectAt, 16);
}

}  // namespace

bool ApplyDifference(Plane& plane, int32_t x, int32_t y, const uint8_t* data, size_t size) noexcept {
  if (!data || !HeaderFits(plane, x, y, data, size)) return false;
  // A dry run first, so a refused image leaves the plane as it was.
  if (!WalkRuns(plane, x, y, data, size, false)) return false;
  return WalkRuns(plane, x, y, data, size, true);
}

int32_t Native_dload(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  std::string name;
  if (!plane || !TheArena().ReadString(ArgAddr(args, 3), name)) return 0;
  std::vector<uint8_t> file;
  if (LoadDataFile(name.c_str(), file) != DataFileResult::kOk) return 0;
  CopyRectOut(ArgAddr(args, 4), file.data(), file.size());
  return ApplyDifference(*plane, Arg(args, 1), Arg(args, 2), file.data(), file.size()) ? 1 : 0;
}

int32_t Native_dcopy(Addr args) {
  Plane* plane = PlaneAt(Arg(args, 0));
  if (!plane) return 0;
  // The image's length is not given: it may extend as far as live memory
  // does, and every read stays inside that.
  Addr image = ArgAddr(args, 3);
  uint32_t extent = TheArena().LiveExtent(image);
  const uint8_t* data = extent ? TheArena().Span(image, extent) : nullptr;
  if (!data) return 0;
  CopyRectOut(ArgAddr(args, 4), data, extent);
  return ApplyDifference(*plane, Arg(args, 1), Arg(args, 2), data, extent) ? 1 : 0;
}

}  // namespace qavz
