// The window-thread services: ServiceRequest dispatch by message id, the
// per-run start-up and shut-down of native state, and the SystemFile save.
#pragma once

#include <cstdint>

#include "core/service_request.h"
#include "host/message_queue.h"
#include "host/script_threads.h"
#include "vm/arena.h"

namespace qavz {

// Answers a ServiceRequest (ids 1124..1214) on the window thread; 0 for ids
// outside the table or whose device operation is not installed.
int32_t HandleServiceRequest(const Message& message);

// A device operation behind one id; runs on the window thread.
using ServiceOperation = int32_t (*)(int32_t wParam, int32_t lParam);
// Device subsystems install their operations at start-up, before any script
// thread runs. False for an id that is not in the table.
bool SetServiceOperation(uint32_t id, ServiceOperation operation);

// Makes the table above the way natives send requests (SendServiceRequest
// in core/service_request.h). Called at start-up.
void InstallServiceRequests() noexcept;

// Handles reported in the extensions' information block (request 1214).
void SetHostHandles(uint32_t instance, uint32_t window);

// True between service start-up and shut-down (the service procedure is
// installed over the main window's).
bool ServicesStarted();

}  // namespace qavz
