#include "platform/executable_memory.h"

#include <sys/mman.h>

namespace qavz::platform {

void* ReserveCodePages(size_t size) noexcept {
  if (size == 0) return nullptr;
  void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

bool OpenCodePages(void* at, size_t size) noexcept { return mprotect(at, size, PROT_READ | PROT_WRITE) == 0; }

bool SealCodePages(void* at, size_t size) noexcept { return mprotect(at, size, PROT_READ | PROT_EXEC) == 0; }

void FreeCodePages(void* at, size_t size) noexcept {
  if (at) munmap(at, size);
}

}  // namespace qavz::platform
