// The interpreter: bounded slices of one context.
#pragma once

#include <atomic>
#include <cstdint>

#include "vm/machine_context.h"

namespace qavz {

// Non-zero stops every slice and every script thread. It lives in the arena
// so scripts and extensions can read it by address (StopFlagAddress()).
std::atomic<int32_t>& StopFlag() noexcept;
Addr StopFlagAddress() noexcept;
// 1 while the application is active (starts at 1); read by script threads
// and extensions, also by address.
std::atomic<int32_t>& ActiveFlag() noexcept;
Addr ActiveFlagAddress() noexcept;

// Called by `trap` with the native index; ends the slice afterwards. The
// native dispatcher (DispatchNative) is installed from the start, so a
// machine runs natives even before the services install it again; null
// makes `trap` do nothing but end the slice.
using TrapHandler = void (*)(uint32_t index, MachineContext* context);
int SetTrapHandler(TrapHandler handler);

enum FaultKind { kNoFault = -1, kFaultDivide = 0, kFaultProgram = 1, kFaultStack = 2, kFaultOpcode = 3 };

// Runs at most 255 instructions of `context`. A machine fault sets state 2
// and StopFlag and is returned (kNoFault otherwise); reporting it is the
// caller's business.
int RunSlice(MachineContext* context);

// The fault's message exactly as the user sees it.
const char* FaultMessage(FaultKind kind) noexcept;

}  // namespace qavz
