// Memory for machine code made at run time. Pages are writable until sealed
// and executable only after: no mapping is ever writable and executable at
// once.
#pragma once

#include <cstddef>

namespace qavz::platform {

// Page-aligned writable (not executable) memory of at least `size` bytes, or
// null when the system gives none.
void* AllocateCodePages(size_t size) noexcept;
// Makes the pages read-and-execute; false when the system refuses (then the
// memory must be freed and the code not run).
bool SealCodePages(void* at, size_t size) noexcept;
void FreeCodePages(void* at, size_t size) noexcept;

}  // namespace qavz::platform
