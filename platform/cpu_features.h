// Processor features the runtime asks about.
#pragma once

namespace qavz::platform {

// CPUID leaf 1, EDX bit 23. False on processors without CPUID or not x86.
bool CpuHasMmx() noexcept;

}  // namespace qavz::platform
