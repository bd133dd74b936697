#include "platform/virtual_memory.h"

#include <sys/mman.h>

namespace qavz::platform {

void* ReserveAddressSpace(size_t size) noexcept {
  void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void ReleaseAddressSpace(void* base, size_t size) noexcept { munmap(base, size); }

bool CommitPages(void* at, size_t size) noexcept { return mprotect(at, size, PROT_READ | PROT_WRITE) == 0; }

void DecommitPages(void* at, size_t size) noexcept { madvise(at, size, MADV_DONTNEED); }

}  // namespace qavz::platform
