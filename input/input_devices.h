// The input devices of a run, owned by the window thread: the back-end the
// configuration chose ("Input" on: DirectInput's keyboard, mouse and
// joysticks; off: the plain keyboard state and polled joysticks), what the
// window procedure tells them, and the service operations of getkey,
// getjoy and getmouse.
#pragma once

#include <cstdint>
#include <span>

#include "platform/video.h"

namespace qavz {

enum class InputBackEnd : uint8_t { kPlain, kDirectInput };

// Start-up, once the platform device is open (or failed to: `deviceOpen`
// false leaves the DirectInput devices absent, reported once). Empties the
// typed-character ring and the mouse counters and shows the arrow cursor.
void StartInput(InputBackEnd backEnd, bool deviceOpen);
// Exit: the devices go, the cursor is shown and freed.
void StopInput();

// Window thread: the main window's key, text, mouse and activation events
// (key events of the debug output window count for the key state only).
void HandleInputEvent(const platform::Event& event);
// The layout keys are numbered by now.
platform::KeyboardLayout CurrentKeyboardLayout();

// The service operations behind requests 1194..1196, for the host to
// install. Each runs on the window thread.
struct InputService {
  uint32_t id;
  int32_t (*operation)(int32_t wParam, int32_t lParam);
};
std::span<const InputService> InputServices();

// Joysticks the natives can read (at most four).
constexpr int kMaxJoysticks = 4;

}  // namespace qavz
