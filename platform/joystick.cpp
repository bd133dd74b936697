#include "platform/joystick.h"

#include <cstring>
#include <mutex>

#include "platform/devices.h"

namespace qavz::platform {

namespace {

std::mutex gNullMutex;
std::vector<JoystickReading> gNullJoysticks;

bool SdlInUse() {
  return std::strcmp(DeviceBackend(Device::kInput), "sdl") == 0 ||
         std::strcmp(DeviceBackend(Device::kJoystick), "sdl") == 0;
}

}  // namespace

int JoystickCount() {
  if (SdlInUse()) return SdlJoystickCount();
  std::lock_guard lock(gNullMutex);
  return int(gNullJoysticks.size());
}

bool ReadJoystick(int index, JoystickReading* reading) {
  if (SdlInUse()) return ReadSdlJoystick(index, reading);
  std::lock_guard lock(gNullMutex);
  *reading = JoystickReading{};
  if (index < 0 || size_t(index) >= gNullJoysticks.size()) return false;
  *reading = gNullJoysticks[size_t(index)];
  return true;
}

void SetNullJoysticks(const std::vector<JoystickReading>& joysticks) {
  std::lock_guard lock(gNullMutex);
  gNullJoysticks = joysticks;
}

}  // namespace qavz::platform
