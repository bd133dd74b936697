// The devices a title's configuration selects, opened and closed by the host
// at fixed places of its start-up and exit sequences.
//
// Each device has back-ends picked at run time by name, like the video
// drivers. Sound, music and CD audio open the audio output (platform/
// audio_out.h: "openal", or "loopback" when headless or without a device);
// the network opens the system's sockets ("sockets"); the input devices open
// SDL's joysticks ("sdl"; keyboard and mouse come with the window), or "null"
// when headless.
#pragma once

namespace qavz::platform {

enum class Device {
  kNetwork,   // "Net": the socket layer
  kSound,     // "Sound": audio output for sound effects and streams
  kMusic,     // "Music": the MIDI synthesiser
  kInput,     // "Input": keyboard, mouse and joystick devices
  kJoystick,  // "Input" off: polled joysticks only
  kCd,        // "CD": CD audio
  kCount,
};

// Opens the device; false when it cannot (the device's subsystem reports
// that and leaves its feature unavailable). Opening an open device is true.
bool OpenDevice(Device device, bool headless);
void CloseDevice(Device device);
bool DeviceOpen(Device device);
// "null" or the back-end in use; "" while closed.
const char* DeviceBackend(Device device);

}  // namespace qavz::platform
