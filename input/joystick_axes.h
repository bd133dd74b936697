// A joystick axis as a program reads it: -1000 .. +1000 with a dead zone
// round the centre, from the raw position the device reports.
#pragma once

#include <cstdint>

namespace qavz {

// Without DirectInput, from the device's range: half range = (maximum -
// minimum) / 2, at least 1, and centre = minimum + half range. The inner
// half of the travel on each side of the centre reads 0.
struct AxisCalibration {
  int32_t centre;
  int32_t half;
};
AxisCalibration CalibrateAxis(int32_t minimum, int32_t maximum);
int32_t PlainAxis(int32_t value, AxisCalibration calibration);

// With DirectInput: the range becomes -1000 .. +1000 and half of it, round
// the centre, is the dead zone; outside it the travel is scaled back to the
// full range.
int32_t DirectInputAxis(int32_t value, int32_t minimum, int32_t maximum);

}  // namespace qavz
