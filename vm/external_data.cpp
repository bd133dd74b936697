#include "vm/external_data.h"

namespace qavz {

namespace {
Addr gArea = 0;
uint32_t gSize = 0;
bool gDecided = false;  // a run has set the area up (or found it could not)
}  // namespace

void AllocateExternalData(uint32_t size) {
  FreeExternalData();
  gDecided = true;
  if (size == 0) return;
  gArea = TheArena().Alloc(size);
  gSize = gArea ? size : 0;
}

void FreeExternalData() {
  if (gArea) TheArena().Free(gArea);
  gArea = 0;
  gSize = 0;
  gDecided = false;
}

Addr ExternalDataArea() noexcept { return gArea; }
uint32_t ExternalDataSize() noexcept { return gSize; }
bool ExternalDataDecided() noexcept { return gDecided; }

}  // namespace qavz
