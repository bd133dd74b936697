#include "vm/native_table.h"

namespace qavz {

const NativeEntry kNativeTable[kNativeCount] = {
#define QAVZ_NATIVE_ROW(name, argc) {#name, &Native_##name, argc},
    QAVZ_NATIVES(QAVZ_NATIVE_ROW)
#undef QAVZ_NATIVE_ROW
};

int32_t NativeUnbuilt(const char*) noexcept { return 0; }

}  // namespace qavz
