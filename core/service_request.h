// How a native reaches a device: a ServiceRequest to the window thread.
//
// The request table (ids 1124..1214, where each id's two parameters come
// from) and the message queue belong to the host; the native subsystems sit
// below it, so the host installs the sender here at start-up and natives call
// through it. Without a host (unit tests of one subsystem) a request answers 0.
#pragma once

#include <cstdint>

namespace qavz {

// Work for the window thread that is not a numbered request: the window
// belongs to that thread, so natives that touch it (the cursor) hand it over.
using WindowCall = int32_t (*)(int32_t a, int32_t b) noexcept;

struct ServiceSender {
  // Request `id` with wParam and lParam taken from the native's arguments at
  // machine address `args`, as the host's table places them.
  int32_t (*fromArgs)(uint32_t id, uint32_t args) noexcept;
  // Request `id` with explicit parameters.
  int32_t (*explicitParams)(uint32_t id, int32_t wParam, int32_t lParam) noexcept;
  // Runs `call` on the window thread and waits for its result.
  int32_t (*onWindowThread)(WindowCall call, int32_t a, int32_t b) noexcept;
};

void InstallServiceSender(const ServiceSender& sender) noexcept;

// Called on a script thread under NativeLock; waits for the window thread's
// answer. 0 for an unknown id or when no host is installed.
int32_t SendServiceRequest(uint32_t id, uint32_t args) noexcept;
int32_t SendServiceRequest(uint32_t id, int32_t wParam, int32_t lParam) noexcept;
// `call` on the window thread; without a host, on the calling thread.
int32_t RunOnWindowThread(WindowCall call, int32_t a, int32_t b) noexcept;

}  // namespace qavz
