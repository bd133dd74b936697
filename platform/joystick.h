// Game pads and joysticks, polled by the window thread.
//
// The back-end is the one the input device opened with (platform/devices.h):
// SDL's game controller interface for pads it knows the layout of, its plain
// joystick interface for the rest; "null" has none unless a test sets some.
#pragma once

#include <cstdint>
#include <vector>

namespace qavz::platform {

struct JoystickReading {
  int32_t x = 0, y = 0;                       // the stick, between minimum and maximum
  int32_t minimum = -32768, maximum = 32767;  // the range the device reports
  uint32_t buttons = 0;                       // bit n set while button n + 1 is held
};

// Joysticks attached now, in the order they were plugged in; a pad plugged
// in or pulled out shows at the next call.
int JoystickCount();
// False when there is no joystick `index`.
bool ReadJoystick(int index, JoystickReading* reading);

// The null back-end's joysticks, for tests.
void SetNullJoysticks(const std::vector<JoystickReading>& joysticks);

// The SDL back-end, opened and closed by platform/devices.cpp.
bool OpenSdlJoysticks();
void CloseSdlJoysticks();
int SdlJoystickCount();
bool ReadSdlJoystick(int index, JoystickReading* reading);

}  // namespace qavz::platform
