#include "platform/devices.h"

#include <atomic>

namespace qavz::platform {

namespace {

struct DeviceBackendRow {
  const char* name;
  bool (*open)();
  void (*close)();
};

bool OpenNothing() { return true; }
void CloseNothing() {}

// The back-ends of every device, "null" last (always available).
constexpr DeviceBackendRow kNullBackend = {"null", OpenNothing, CloseNothing};

std::atomic<const DeviceBackendRow*> gOpen[int(Device::kCount)];

}  // namespace

bool OpenDevice(Device device, bool /*headless*/) {
  auto& slot = gOpen[int(device)];
  if (slot.load()) return true;
  const DeviceBackendRow* backend = &kNullBackend;
  if (!backend->open()) return false;
  slot.store(backend);
  return true;
}

void CloseDevice(Device device) {
  if (const DeviceBackendRow* backend = gOpen[int(device)].exchange(nullptr)) backend->close();
}

bool DeviceOpen(Device device) { return gOpen[int(device)].load() != nullptr; }

const char* DeviceBackend(Device device) {
  const DeviceBackendRow* backend = gOpen[int(device)].load();
  return backend ? backend->name : "";
}

}  // namespace qavz::platform
