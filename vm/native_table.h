// The native table and what every native handler needs to see.
#pragma once

#include <cstdint>
#include <mutex>

#include "vm/arena.h"
#include "vm/machine_context.h"
#include "vm/native_list.h"

namespace qavz {

// A handler gets the machine address of argument 0 (argument i at +4 * i) and
// returns the signed 32-bit result that lands in r0. Table entries never
// throw: each row wraps its native, whose only exception is running out of
// host memory, and turns that into the native's failure result.
using NativeHandler = int32_t (*)(Addr args) noexcept;
// A native as its subsystem defines it (Native_gload), before the wrapper.
using NativeFunction = int32_t (*)(Addr args);

struct NativeEntry {
  const char* name;
  NativeHandler handler;
  int32_t argCount;  // -1 = variadic
};

constexpr int kNativeCount = 261;

// Every handler is named after its native: Native_gload, Native_sp_set, ...
#define QAVZ_DECLARE_NATIVE(name, argc) int32_t Native_##name(Addr args);
QAVZ_NATIVES(QAVZ_DECLARE_NATIVE)
#undef QAVZ_DECLARE_NATIVE

// Native indices as constants: kNative_gload == 36.
enum NativeIndex : int {
#define QAVZ_NATIVE_INDEX(name, argc) kNative_##name,
  QAVZ_NATIVES(QAVZ_NATIVE_INDEX)
#undef QAVZ_NATIVE_INDEX
};
static_assert(kNative_log_out == kNativeCount - 1, "the table has 261 rows");

// Argument i of a native call as a signed word; 0 when the argument block
// lies outside live memory (a call that pushed too few words near the stack
// end must not read past the stack).
inline int32_t Arg(Addr args, int i) noexcept { return TheArena().Word(args + 4u * uint32_t(i), 0); }
inline Addr ArgAddr(Addr args, int i) noexcept { return Addr(Arg(args, i)); }

// Serialises every native call of every script thread.
std::mutex& NativeLock() noexcept;
// The context whose native call is in progress; valid only under NativeLock.
// Control natives replace it; the dispatcher stores the result into whatever
// it points to when the handler returns.
extern MachineContext* CurrentContext;

// Marks a native whose subsystem is not built yet: returns 0, claims nothing.
int32_t NativeUnbuilt(const char* name) noexcept;
#define QAVZ_UNBUILT_NATIVE(name) \
  int32_t Native_##name(::qavz::Addr) { return ::qavz::NativeUnbuilt(#name); }

}  // namespace qavz
