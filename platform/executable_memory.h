// Memory for machine code made at run time. Pages are writable until sealed
// and executable only after: no mapping is ever writable and executable at
// once.
#pragma once

#include <cstddef>

namespace qavz::platform {

// A page-aligned range of `size` bytes of address space with no access and
// nothing committed, or null when the system gives none.
void* ReserveCodePages(size_t size) noexcept;
// Makes reserved pages writable (not executable) so that code can be
// written into them; false when the system refuses.
bool OpenCodePages(void* at, size_t size) noexcept;
// Makes the pages read-and-execute; false when the system refuses (then the
// code must not be run).
bool SealCodePages(void* at, size_t size) noexcept;
// Returns a whole reservation.
void FreeCodePages(void* at, size_t size) noexcept;

}  // namespace qavz::platform
