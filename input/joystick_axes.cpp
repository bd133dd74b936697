#include "input/joystick_axes.h"

#include <algorithm>

namespace qavz {

AxisCalibration CalibrateAxis(int32_t minimum, int32_t maximum) {
  int64_t half = std::max<int64_t>((int64_t(maximum) - minimum) / 2, 1);
  return AxisCalibration{int32_t(minimum + half), int32_t(half)};
}

// A half range of 1 would leave a quarter of 0 to divide by; a quarter of at
// least 1 keeps the ends at +-1000 instead.
int32_t PlainAxis(int32_t value, AxisCalibration c) {
  int64_t q = std::max<int64_t>(c.half / 2, 1);
  int64_t v = value, centre = c.centre;
  if (v < centre - q) return int32_t((v + q - centre) * 1000 / q);
  if (v > centre + q) return int32_t((v - centre - q) * 1000 / q);
  return 0;
}

// DirectInput's dead zone of 5000 (in 1/10000 of the range from the centre)
// on a range of -1000 .. +1000.
int32_t DirectInputAxis(int32_t value, int32_t minimum, int32_t maximum) {
  if (maximum <= minimum) return 0;
  int64_t span = int64_t(maximum) - minimum;
  int64_t v = std::clamp<int64_t>(value, minimum, maximum);
  int64_t linear = -1000 + (v - minimum) * 2000 / span;  // -1000 .. +1000
  constexpr int64_t kDeadZone = 500;
  if (linear > -kDeadZone && linear < kDeadZone) return 0;
  int64_t beyond = linear > 0 ? linear - kDeadZone : linear + kDeadZone;
  return int32_t(beyond * 1000 / (1000 - kDeadZone));
}

}  // namespace qavz
