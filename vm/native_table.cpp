#include "vm/native_table.h"

namespace qavz {

MachineContext* CurrentContext = nullptr;

std::mutex& NativeLock() noexcept {
  static std::mutex lock;
  return lock;
}

int32_t NativeUnbuilt(const char*) noexcept { return 0; }

}  // namespace qavz
