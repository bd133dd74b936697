#include "platform/devices.h"

#include <atomic>

#include "platform/audio_out.h"

namespace qavz::platform {

namespace {

struct DeviceBackendRow {
  bool (*open)(bool headless);
  void (*close)();
  const char* (*name)();
};

bool OpenNothing(bool) { return true; }
void CloseNothing() {}
const char* NullName() { return "null"; }

// Sound, music and CD audio all play through the one audio output.
bool OpenAudio(bool headless) { return AcquireAudioOutput(headless); }
void CloseAudio() { ReleaseAudioOutput(); }

// The system's sockets (platform/sockets.h) need no start: the row only
// marks the socket layer open.
const char* SocketsName() { return "sockets"; }

constexpr DeviceBackendRow kNull = {OpenNothing, CloseNothing, NullName};
constexpr DeviceBackendRow kSockets = {OpenNothing, CloseNothing, SocketsName};
constexpr DeviceBackendRow kAudio = {OpenAudio, CloseAudio, AudioOutputBackend};

// One row per device, in Device order.
constexpr const DeviceBackendRow* kBackends[] = {
    &kSockets,  // kNetwork
    &kAudio,    // kSound
    &kAudio,    // kMusic
    &kNull,     // kInput
    &kNull,     // kJoystick
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
