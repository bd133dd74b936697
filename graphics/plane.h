// Planes: the numbered off-screen bitmaps that every drawing native reads and
// writes, and the table of 1024 slots that holds them.
//
// A plane's pixel memory is a block of the machine address space, so scripts
// can reach pixel (0, 0) by the address ginfo gives them. Rows are stored
// bottom-up as in a bitmap file: row 0 (the top of the picture) is the last
// row in memory, and one row down the picture is -pitch bytes away. The record
// itself (size, colour table, clip) is host memory owned by the table.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "vm/arena.h"

namespace qavz {

// Left, top, right, bottom; right and bottom exclusive.
struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

constexpr int kPlaneSlots = 1024;

struct Plane {
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;           // bits per pixel: 1, 4, 8, 16 (5-5-5), 24 (B, G, R), 32 (B, G, R, A)
  int32_t pitch = 0;           // bytes per row: ((depth * width + 31) / 32) * 4
  Addr bits = 0;               // machine address of the pixel memory (the bottom row)
  uint8_t* host = nullptr;     // the same memory as a host pointer
  int32_t colourCount = 0;     // 2, 16 or 256 for depths 1, 4, 8; 0 above
  uint32_t colours[256] = {};  // colour table: RGB values (blue in bits 0-7), top byte 0
  Rect clip;                   // clip rectangle for drawing into this plane
  std::string name;            // file it was loaded from; empty for created planes

  // Row y of the picture (0 = top); valid for 0 <= y < height.
  uint8_t* Row(int32_t y) const { return host + size_t(height - 1 - y) * size_t(pitch); }
  Addr RowAddress(int32_t y) const { return bits + uint32_t(height - 1 - y) * uint32_t(pitch); }
  // The pixel's first byte, or null when (x, y) lies outside the plane
  // (both compared unsigned).
  uint8_t* Pixel(int32_t x, int32_t y) const {
    if (uint32_t(x) >= uint32_t(width) || uint32_t(y) >= uint32_t(height)) return nullptr;
    return Row(y) + size_t(int64_t(x) * depth / 8);
  }
  int32_t BytesPerPixel() const { return depth / 8; }
  size_t ImageBytes() const { return size_t(pitch) * size_t(height); }
};

// True for the six depths a plane can have.
bool ValidDepth(int32_t depth) noexcept;
// ((depth * width + 31) / 32) * 4, or -1 when it does not fit in 31 bits.
int64_t PlanePitch(int32_t width, int32_t depth) noexcept;
// The default colour table of a depth (3-3-2 cube for 8 bits, the 16 text
// colours for 4 bits, black and white for 1 bit) into `colours`; the count.
int32_t DefaultColours(int32_t depth, uint32_t* colours) noexcept;

// The plane in a slot, or null for an empty slot or a number outside
// 0..1023. Natives use it under NativeLock; the window thread paints under
// PlaneTableLock.
Plane* PlaneAt(int32_t slot) noexcept;
// The plane in the slot that `slot` is attached to, or null.
Plane* AttachedPlane(int32_t slot) noexcept;
// Attachment of a slot: the referenced slot, or -1.
int32_t Attachment(int32_t slot) noexcept;
void SetAttachment(int32_t slot, int32_t other) noexcept;

// A new zero-filled plane of the given size and depth in `slot` (freeing the
// plane there first), with the depth's default colour table and a clip of the
// whole plane. Null when the size, depth or memory does not allow it (the
// slot is then left empty); no message is reported here.
Plane* CreatePlane(int32_t slot, int32_t width, int32_t height, int32_t depth) noexcept;
// Frees the plane of the slot (not its attachment); nothing for an empty slot.
void FreePlane(int32_t slot) noexcept;
// The highest empty slot, searching from 1023 down to 0; -1 when all are used.
int32_t HighestFreeSlot() noexcept;

// Held by slot changes (create, free) and by the window thread while it reads
// the page it shows, so a page is never freed under a paint.
std::mutex& PlaneTableLock() noexcept;

// Largest plane accepted, in pixels per side and in bytes of pixel memory:
// beyond these a header or a galloc is refused instead of allocated.
constexpr int32_t kMaxPlaneSide = 32768;
constexpr uint64_t kMaxPlaneBytes = uint64_t(512) << 20;

}  // namespace qavz
