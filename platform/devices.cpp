#include "platform/devices.h"

#include <atomic>

#include "platform/audio_out.h"
#include "platform/joystick.h"

namespace qavz::platform {

namespace {

struct DeviceBackendRow {
  bool (*open)(bool headless);
  void (*close)();
  const char* (*name)();
};

bool OpenNothing(bool) { return true; }
void CloseNothing() {}

// Sound, music and CD audio all play through the one audio output.
bool OpenAudio(bool headless) { return AcquireAudioOutput(headless); }
void CloseAudio() { ReleaseAudioOutput(); }

// The system's sockets (platform/sockets.h) need no start: the row only
// marks the socket layer open.
const char* SocketsName() { return "sockets"; }

// Keyboard and mouse come with the window; joysticks are SDL's ("sdl")
// unless the run is headless or SDL's joystick support does not start.
std::atomic<bool> gSdlPads{false};
bool OpenPads(bool headless) {
  if (!headless && OpenSdlJoysticks()) gSdlPads.store(true);
  return true;
}
void ClosePads() {
  if (gSdlPads.exchange(false)) CloseSdlJoysticks();
}
const char* PadsName() { return gSdlPads.load() ? "sdl" : "null"; }

constexpr DeviceBackendRow kSockets = {OpenNothing, CloseNothing, SocketsName};
constexpr DeviceBackendRow kAudio = {OpenAudio, CloseAudio, AudioOutputBackend};
constexpr DeviceBackendRow kPads = {OpenPads, ClosePads, PadsName};

// One row per device, in Device order.
constexpr const DeviceBackendRow* kBackends[] = {
    &kSockets,  // kNetwork
    &kAudio,    // kSound
    &kAudio,    // kMusic
    &kPads,     // kInput
    &kPads,     // kJoystick
    &kAudio,    // kCd
};
static_assert(std::size(kBackends) == size_t(Device::kCount), "one back-end row per device");

std::atomic<const DeviceBackendRow*> gOpen[int(Device::kCount)];

}  // namespace

bool OpenDevice(Device device, bool headless) {
  auto& slot = gOpen[int(device)];
  if (slot.load()) return true;
  const DeviceBackendRow* backend = kBackends[int(device)];
  if (!backend->open(headless)) return false;
  slot.store(backend);
  return true;
}

void CloseDevice(Device device) {
  if (const DeviceBackendRow* backend = gOpen[int(device)].exchange(nullptr)) backend->close();
}

bool DeviceOpen(Device device) { return gOpen[int(device)].load() != nullptr; }

const char* DeviceBackend(Device device) {
  const DeviceBackendRow* backend = gOpen[int(device)].load();
  return backend ? backend->name() : "";
}

}  // namespace qavz::platform
