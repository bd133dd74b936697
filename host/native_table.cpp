#include "host/native_table.h"

#include <cstring>
#include <new>

namespace qavz {

namespace {

// The natives whose failure result is -1 rather than 0.
constexpr const char* kFailWithMinusOne[] = {"thd_begin", "find_first", "file_getattr",
                                             "net_send",  "net_recv",   "dll_load"};

constexpr bool Same(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

constexpr int32_t FailureResult(const char* name) {
  for (const char* n : kFailWithMinusOne)
    if (Same(n, name)) return -1;
  return 0;
}

// One wrapper per row: a native that runs out of host memory (the only
// exception its code lets out) gives its failure result instead of ending
// the process; nothing else of the call is visible.
template <int32_t (*kNative)(Addr), int32_t kFailure>
int32_t Guarded(Addr args) noexcept {
  try {
    return kNative(args);
  } catch (...) {
    return kFailure;
  }
}

}  // namespace

const NativeEntry kNativeTable[kNativeCount] = {
#define QAVZ_NATIVE_ROW(name, argc) {#name, &Guarded<&Native_##name, FailureResult(#name)>, argc},
    QAVZ_NATIVES(QAVZ_NATIVE_ROW)
#undef QAVZ_NATIVE_ROW
};

// Every name of the list is a native: a misspelt one would silently fail with 0.
constexpr bool AllNamed() {
  for (const char* n : kFailWithMinusOne) {
    bool found = false;
#define QAVZ_NATIVE_NAME(name, argc) found = found || Same(n, #name);
    QAVZ_NATIVES(QAVZ_NATIVE_NAME)
#undef QAVZ_NATIVE_NAME
    if (!found) return false;
  }
  return true;
}
static_assert(AllNamed(), "every native failing with -1 is in the table");

}  // namespace qavz
