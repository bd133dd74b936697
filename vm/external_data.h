// The external data area: one zero-filled block of "HeapSize" bytes,
// allocated at start-up and kept until exit, that holds every global
// variable any program of the run declares `extern`.
#pragma once

#include <cstdint>

#include "vm/arena.h"

namespace qavz {

// Start-up and exit steps. "HeapSize" 0 allocates none.
void AllocateExternalData(uint32_t size);
void FreeExternalData();

// Machine address and size of the area; 0 and 0 when there is none.
Addr ExternalDataArea() noexcept;
uint32_t ExternalDataSize() noexcept;
// True between the start-up step and exit, also when the area could not be
// allocated (its size is then 0).
bool ExternalDataDecided() noexcept;

}  // namespace qavz
