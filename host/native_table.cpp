#include "host/native_table.h"

namespace qavz {

const NativeEntry kNativeTable[kNativeCount] = {
#define QAVZ_NATIVE_ROW(name, argc) {#name, &Native_##name, argc},
    QAVZ_NATIVES(QAVZ_NATIVE_ROW)
#undef QAVZ_NATIVE_ROW
};

}  // namespace qavz
