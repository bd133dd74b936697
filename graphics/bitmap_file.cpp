#include "graphics/bitmap_file.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/pixel_index.h"

namespace qavz {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kCoreHeaderBytes = 12;

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// The information header widened to the 40-byte form, plus where its colour
// table lies and how wide an entry is.
struct BitmapHeader {
  int64_t width = 0, height = 0;
  uint32_t bitCount = 0, compression = 0, imageSize = 0, coloursUsed = 0;
  size_t tableAt = 0;
  uint32_t entryBytes = 4;
};

bool ReadHeader(const uint8_t* data, size_t size, size_t at, BitmapHeader& h) {
  if (size < at || size - at < 4) return false;
  const uint8_t* p = data + at;
  uint32_t headerBytes = Le32(p);
  if (headerBytes != kInfoHeaderBytes && headerBytes != kCoreHeaderBytes) return false;
  if (size - at < headerBytes) return false;
  if (headerBytes == kInfoHeaderBytes) {
    h.width = int32_t(Le32(p + 4));
    h.height = int32_t(Le32(p + 8));
    h.bitCount = Le16(p + 14);
    h.compression = Le32(p + 16);
    h.imageSize = Le32(p + 20);
    h.coloursUsed = Le32(p + 32);
  } else {
    h.width = Le16(p + 4);
    h.height = Le16(p + 6);
    h.bitCount = Le16(p + 10);
    h.entryBytes = 3;
  }
  h.tableAt = at + headerBytes;
  return true;
}

int32_t ColourCountOf(uint32_t depth) { return depth <= 8 ? 1 << depth : 0; }

}  // namespace

Plane* LoadBitmap(int32_t slot, const uint8_t* data, size_t size) noexcept {
  FreePlane(slot);
  size_t headerAt = 0;
  bool hasOffset = size >= 2 && data[0] == 'B' && data[1] == 'M';
  if (hasOffset) {
    if (size < kFileHeaderBytes) return nullptr;
    headerAt = kFileHeaderBytes;
  }
  BitmapHeader h;
  if (!ReadHeader(data, size, headerAt, h)) return nullptr;
  // Run-length and other compressed forms, and top-down rows (a negative
  // height), have no plane layout.
  if (h.compression != 0 || h.width <= 0 || h.height <= 0) return nullptr;
  if (h.width > kMaxPlaneSide || h.height > kMaxPlaneSide) return nullptr;
  int32_t depth = int32_t(h.bitCount);
  if (!ValidDepth(depth)) return nullptr;
  uint64_t pitch = uint64_t(PlanePitch(int32_t(h.width), depth));
  uint64_t imageBytes = pitch * uint64_t(h.height);
  if (imageBytes > kMaxPlaneBytes) return nullptr;

  // The sizes the header announces, checked against the file before anything
  // is allocated: the colour table, then the pixels it says follow.
  uint64_t tableEntries = h.coloursUsed ? h.coloursUsed : uint64_t(ColourCountOf(h.bitCount));
  uint64_t tableEnd = h.tableAt + tableEntries * h.entryBytes;
  if (tableEnd > size) return nullptr;
  uint64_t pixelsAt = hasOffset ? Le32(data + 10) : tableEnd;
  uint64_t pixelBytes = h.imageSize ? std::min<uint64_t>(h.imageSize, imageBytes) : imageBytes;
  if (pixelsAt > size || size - pixelsAt < pixelBytes) return nullptr;

  Plane* plane = CreatePlane(slot, int32_t(h.width), int32_t(h.height), depth);
  if (!plane) return nullptr;
  // Entries beyond the table the file gives stay black.
  std::fill(plane->colours, plane->colours + 256, 0u);
  uint64_t kept = std::min<uint64_t>(tableEntries, uint64_t(plane->colourCount));
  for (uint64_t i = 0; i < kept; ++i) {
    const uint8_t* e = data + h.tableAt + i * h.entryBytes;
    plane->colours[i] = h.entryBytes == 4 ? Le32(e) : Le16(e) | uint32_t(e[2]) << 16;
  }
  std::memcpy(plane->host, data + pixelsAt, size_t(pixelBytes));
  return plane;
}

EncodedBitmap EncodeBitmap(const Plane& plane, const Rect& area) noexcept {
  int32_t width = area.right - area.left, height = area.bottom - area.top;
  uint32_t rowBytes = uint32_t(PlanePitch(width, plane.depth));
  uint32_t imageBytes = rowBytes * uint32_t(height);
  uint32_t pixelsAt = uint32_t(kFileHeaderBytes + kInfoHeaderBytes + 4 * plane.colourCount);
  EncodedBitmap file;
  file.size = size_t(pixelsAt) + imageBytes;
  file.bytes.reset(new (std::nothrow) uint8_t[file.size]());
  if (!file.bytes) return {};
  uint8_t* out = file.bytes.get();
  auto put16 = [&](size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, uint32_t(file.size));
  put32(10, pixelsAt);
  put32(14, kInfoHeaderBytes);
  put32(18, uint32_t(width));
  put32(22, uint32_t(height));
  put16(26, 1);
  put16(28, uint32_t(plane.depth));
  put32(34, imageBytes);
  put32(46, uint32_t(plane.colourCount));
  put32(50, uint32_t(plane.colourCount));
  for (int32_t i = 0; i < plane.colourCount; ++i) put32(54 + 4 * size_t(i), plane.colours[i]);

  // Sub-byte pixels are repacked through a one-row view of the output, as the
  // area need not begin on a byte boundary.
  Plane packed;
  packed.depth = plane.depth;
  packed.height = 1;
  uint8_t* row = out + pixelsAt;
  for (int32_t y = area.bottom - 1; y >= area.top; --y, row += rowBytes) {
    if (plane.depth >= 8) {
      std::memcpy(row, plane.Pixel(area.left, y), size_t(width) * size_t(plane.BytesPerPixel()));
      continue;
    }
    packed.host = row;
    for (int32_t x = 0; x < width; ++x) WriteIndex(packed, x, 0, ReadIndex(plane, area.left + x, y));
  }
  return file;
}

}  // namespace qavz
