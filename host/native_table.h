// The native table: the 261 handlers of every subsystem in script order. It
// lives at the top because it names a handler of every subsystem below.
#pragma once

#include "vm/native_table.h"

namespace qavz {

extern const NativeEntry kNativeTable[kNativeCount];

}  // namespace qavz
