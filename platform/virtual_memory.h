// Address-space reservation for the machine arena.
#pragma once

#include <cstddef>

namespace qavz::platform {

// Reserves `size` bytes of address space with no access and no backing.
void* ReserveAddressSpace(size_t size) noexcept;
void ReleaseAddressSpace(void* base, size_t size) noexcept;
// Makes pages readable and writable; fresh pages read as zero.
bool CommitPages(void* at, size_t size) noexcept;
// Gives the pages' memory back to the system; they read as zero afterwards
// but stay mapped, so a racing reader never faults the host.
void DecommitPages(void* at, size_t size) noexcept;

}  // namespace qavz::platform
