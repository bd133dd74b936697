// Processor and operating-system facts behind the system variables.
#pragma once

#include <cstdint>

namespace qavz::platform {

// CPUID, tested once (the identification flag on 32-bit x86; always present
// on x86-64). Vendor string of leaf 0 (12 bytes + NUL) and leaf 1 EDX.
struct CpuIdentity {
  bool hasCpuid = false;
  char vendor[13] = {};
  uint32_t featureEdx = 0;
};
const CpuIdentity& QueryCpuIdentity() noexcept;

// Time-stamp counter, or 0 where the processor has none.
uint64_t ReadTimeStampCounter() noexcept;

// Operating-system version as numbers: the kernel release "6.1.0-13-amd64"
// gives major 6, minor 1, build 0 (the third number).
struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
};
OsVersion QueryOsVersion() noexcept;

}  // namespace qavz::platform
