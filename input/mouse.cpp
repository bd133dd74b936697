#include "input/mouse.h"

#include <atomic>

namespace qavz {

namespace {

// The window thread writes these and script threads read them; each is
// one word.
enum Count {
  kLeftPresses,
  kRightPresses,
  kMiddlePresses,
  kLeftDoubles,
  kRightDoubles,
  kMiddleDoubles,
  kCounts
};

std::atomic<int32_t> gCounts[kCounts];
std::atomic<int32_t> gWheel{0};
std::atomic<int32_t> gHeld{0};

struct Snapshot {
  std::atomic<int32_t> counts[kCounts];
  std::atomic<int32_t> wheel;
};
Snapshot gSnapshots[kSnapshotThreads];

// DirectInput's relative axes; window thread only.
int32_t gMotionX = 0, gMotionY = 0, gMotionZ = 0;

// Platform button number to the left, right, middle order of the counts.
int Side(int button) {
  switch (button) {
    case 1:
      return 0;
    case 3:
      return 1;
    case 2:
      return 2;
    default:
      return -1;
  }
}

Snapshot& For(int thread) { return gSnapshots[uint32_t(thread) < kSnapshotThreads ? thread : 0]; }

}  // namespace

void ResetMouse() {
  for (auto& count : gCounts) count.store(0);
  gWheel.store(0);
  gHeld.store(0);
  for (Snapshot& snapshot : gSnapshots) {
    for (auto& count : snapshot.counts) count.store(0);
    snapshot.wheel.store(0);
  }
  gMotionX = gMotionY = gMotionZ = 0;
}

void MouseButtonEvent(int button, bool down, bool doubleClick) {
  int side = Side(button);
  if (side < 0) return;
  int32_t bit = 1 << side;
  if (!down) {
    gHeld.fetch_and(~bit);
    return;
  }
  gCounts[kLeftPresses + side].fetch_add(1);
  if (doubleClick) gCounts[kLeftDoubles + side].fetch_add(1);
  gHeld.fetch_or(bit);
}

bool MouseMoveEvent(bool outside) {
  if (outside) {
    gHeld.store(0);
    return false;
  }
  return gHeld.load() != 0;
}

void MouseWheelEvent(int32_t delta) {
  gWheel.fetch_add(delta);
  gMotionZ += delta;
}

int32_t PointFlags(int thread) {
  const Snapshot& snapshot = For(thread);
  int32_t flags = gHeld.load();
  for (int side = 0; side < 3; ++side) {
    if (gCounts[kLeftPresses + side].load() != snapshot.counts[kLeftPresses + side].load())
      flags |= kPointLeftPressed << side;
    if (gCounts[kLeftDoubles + side].load() != snapshot.counts[kLeftDoubles + side].load())
      flags |= kPointLeftDoubled << side;
  }
  return flags;
}

int32_t TakePointWheel(int thread) {
  int32_t total = gWheel.load();
  int32_t delta = int32_t(uint32_t(total) - uint32_t(For(thread).wheel.exchange(total)));
  return delta;
}

void AcknowledgePoint(int thread) {
  Snapshot& snapshot = For(thread);
  for (int i = 0; i < kCounts; ++i) snapshot.counts[i].store(gCounts[i].load());
  snapshot.wheel.store(gWheel.load());
}

void AddMouseMotion(int32_t dx, int32_t dy) {
  gMotionX += dx;
  gMotionY += dy;
}

void TakeMouseMotion(int32_t* dx, int32_t* dy, int32_t* dz) {
  *dx = gMotionX;
  *dy = gMotionY;
  *dz = gMotionZ;
  gMotionX = gMotionY = gMotionZ = 0;
}

}  // namespace qavz
