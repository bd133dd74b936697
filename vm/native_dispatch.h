// The trap handler: runs native `index` for `context`.
#pragma once

#include <cstdint>

#include "vm/machine_context.h"
#include "vm/native_table.h"

namespace qavz {

// Refuses an index past the table (fault-like stop), checks the argument count
// in debug mode, then calls the handler under NativeLock with CurrentContext
// set and stores its result in r0 of whatever context CurrentContext names
// when the handler returns.
void DispatchNative(uint32_t index, MachineContext* context);

// The table DispatchNative calls through (kNativeCount rows); until one is
// installed every index is refused as one past the table.
void InstallNativeTable(const NativeEntry* table) noexcept;

// Number of words the caller pushed for the native call whose return address
// is at r7: the imm32 / 4 of the `add r7, imm32` that follows the call, or 0
// when none follows (or the return address cannot be read).
int32_t PushedArgumentWords(const MachineContext* context) noexcept;

}  // namespace qavz
