// The mouse as the window procedure counts it (presses, double clicks, the
// wheel, the buttons held) and as each script thread last acknowledged it;
// and the movement DirectInput reports as relative.
#pragma once

#include <cstdint>

namespace qavz {

constexpr int kSnapshotThreads = 32;

// Point flags of getpoint.
enum : int32_t {
  kPointLeftHeld = 0x1,
  kPointRightHeld = 0x2,
  kPointMiddleHeld = 0x4,
  kPointLeftPressed = 0x10000,
  kPointRightPressed = 0x20000,
  kPointMiddlePressed = 0x40000,
  kPointLeftDoubled = 0x1000000,
  kPointRightDoubled = 0x2000000,
  kPointMiddleDoubled = 0x4000000,
};

// Counters, snapshots and movement back to zero.
void ResetMouse();

// Window thread. `button` as platform events number it (1 left, 2 middle,
// 3 right); a double click counts as a press too.
void MouseButtonEvent(int button, bool down, bool doubleClick);
// A move: returns whether the window should now capture the mouse. While a
// button is held the window captures it; a move off the client area ends
// the capture and lets go of every button; a move with none held ends it.
bool MouseMoveEvent(bool outside);
// Wheel movement in the platform's units (120 a notch, positive away).
void MouseWheelEvent(int32_t delta);

// Script threads: held bits plus each change bit whose count differs from
// `thread`'s snapshot.
int32_t PointFlags(int thread);
// The wheel movement since `thread` last asked; the snapshot moves on.
int32_t TakePointWheel(int thread);
// getpoint(0): the counts and the wheel become `thread`'s snapshot.
void AcknowledgePoint(int thread);

// DirectInput's relative axes: movement and wheel since the last call.
void AddMouseMotion(int32_t dx, int32_t dy);
void TakeMouseMotion(int32_t* dx, int32_t* dy, int32_t* dz);

}  // namespace qavz
