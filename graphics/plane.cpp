#include "graphics/plane.h"

#include <array>
#include <memory>
#include <new>

namespace qavz {

namespace {

struct Slot {
  std::unique_ptr<Plane> plane;
  int32_t attachment = -1;
};

std::array<Slot, kPlaneSlots>& Slots() {
  static std::array<Slot, kPlaneSlots> slots;
  return slots;
}

bool InTable(int32_t slot) { return uint32_t(slot) < uint32_t(kPlaneSlots); }

void Release(std::unique_ptr<Plane>& plane) {
  if (!plane) return;
  TheArena().Free(plane->bits);
  plane.reset();
}

}  // namespace

bool ValidDepth(int32_t depth) noexcept {
  return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

int64_t PlanePitch(int32_t width, int32_t depth) noexcept {
  int64_t pitch = (int64_t(depth) * width + 31) / 32 * 4;
  return pitch > INT32_MAX ? -1 : pitch;
}

int32_t DefaultColours(int32_t depth, uint32_t* colours) noexcept {
  auto rgb = [](uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; };
  switch (depth) {
    case 1:
      colours[0] = 0;
      colours[1] = 0xFFFFFF;
      return 2;
    case 4:
      // Bit 0 blue, bit 1 green, bit 2 red, bit 3 intensity: 127 without it,
      // the full 255 with it.
      for (uint32_t i = 0; i < 16; ++i) {
        uint32_t on = (i & 8) ? 255 : 127;
        colours[i] = rgb((i & 4) ? on : 0, (i & 2) ? on : 0, (i & 1) ? on : 0);
      }
      return 16;
    case 8:
      for (uint32_t i = 0; i < 256; ++i)
        colours[i] = rgb(((i >> 5) & 7) * 255 / 7, ((i >> 2) & 7) * 255 / 7, (i & 3) * 85);
      return 256;
    default:
      return 0;
  }
}

std::mutex& PlaneTableLock() noexcept {
  static std::mutex lock;
  return lock;
}

Plane* PlaneAt(int32_t slot) noexcept { return InTable(slot) ? Slots()[slot].plane.get() : nullptr; }

int32_t Attachment(int32_t slot) noexcept { return InTable(slot) ? Slots()[slot].attachment : -1; }

void SetAttachment(int32_t slot, int32_t other) noexcept {
  if (InTable(slot)) Slots()[slot].attachment = InTable(other) ? other : -1;
}

Plane* AttachedPlane(int32_t slot) noexcept { return PlaneAt(Attachment(slot)); }

Plane* CreatePlane(int32_t slot, int32_t width, int32_t height, int32_t depth) noexcept {
  if (!InTable(slot)) return nullptr;
  FreePlane(slot);
  if (!ValidDepth(depth) || width <= 0 || height <= 0 || width > kMaxPlaneSide || height > kMaxPlaneSide)
    return nullptr;
  int64_t pitch = PlanePitch(width, depth);
  uint64_t bytes = uint64_t(pitch) * uint64_t(height);
  if (pitch <= 0 || bytes > kMaxPlaneBytes) return nullptr;
  std::unique_ptr<Plane> plane(new (std::nothrow) Plane);
  if (!plane) return nullptr;
  Addr bits = TheArena().Alloc(uint32_t(bytes));
  if (bits == 0) return nullptr;
  plane->width = width;
  plane->height = height;
  plane->depth = depth;
  plane->pitch = int32_t(pitch);
  plane->bits = bits;
  plane->host = TheArena().Span(bits, uint32_t(bytes));
  plane->colourCount = DefaultColours(depth, plane->colours);
  plane->clip = Rect{0, 0, width, height};
  std::lock_guard lock(PlaneTableLock());
  Slots()[slot].plane = std::move(plane);
  return Slots()[slot].plane.get();
}

void FreePlane(int32_t slot) noexcept {
  if (!InTable(slot)) return;
  std::unique_ptr<Plane> gone;
  {
    std::lock_guard lock(PlaneTableLock());
    gone = std::move(Slots()[slot].plane);
  }
  Release(gone);
}

int32_t HighestFreeSlot() noexcept {
  for (int32_t slot = kPlaneSlots - 1; slot >= 0; --slot)
    if (!Slots()[slot].plane) return slot;
  return -1;
}

}  // namespace qavz
