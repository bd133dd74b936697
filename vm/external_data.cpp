#include "vm/external_data.h"

namespace qavz {

namespace {
Addr gArea = 0;
uint32_t gSize = 0;
}  // namespace

void AllocateExternalData(uint32_t size) {
  FreeExternalData();
  if (size == 0) return;
  gArea = TheArena().Alloc(size);
  gSize = gArea ? size : 0;
}

void FreeExternalData() {
  if (gArea) TheArena().Free(gArea);
  gArea = 0;
  gSize = 0;
}

Addr ExternalDataArea() noexcept { return gArea; }
uint32_t ExternalDataSize() noexcept { return gSize; }

}  // namespace qavz
